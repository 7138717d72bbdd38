// Table encryption with a password.
//
// Scheme (docs/engine.md, "Encryption"):
// - Header byte 15 is 1 while the records are encrypted. Bytes 16..23 of the
//   header hold a random 8-byte salt, bytes 24..27 a password check value.
// - Key: PBKDF2-HMAC-SHA256 of the password with the salt, kIterations
//   rounds, 32 bytes. Check value: the first 4 bytes of SHA-256 of "check"
//   followed by the key; it tells a wrong password.
// - A record's field bytes (all but the deleted flag) are encrypted with
//   AES-256 in counter mode, the counter block made of the tag "REC1", the
//   record number and a block count: the length stays the same, so record
//   offsets, the record count and the deleted flag stay readable and pack
//   works without the key.
// - FPT memo data is encrypted the same way with the tag "MEMO" and the
//   block number; the block header (type, length) stays plain.
// - The header, the field descriptors and the memo file header stay plain.
// The primitives come from the platform layer (platform/crypto.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kor::tables {

class Cipher {
 public:
  static constexpr uint32_t kIterations = 20000;

  // Derives the key from a password and the table's salt.
  static Cipher derive(std::string_view password, const uint8_t salt[8]);
  static void randomSalt(uint8_t salt[8]);

  const std::array<uint8_t, 4>& check() const { return check_; }

  // Counter mode: the same call encrypts and decrypts, in place.
  void record(uint32_t recno, uint8_t* data, size_t n) const;
  void memo(uint32_t block, uint8_t* data, size_t n) const;

 private:
  void ctr(uint32_t tag, uint32_t number, uint8_t* data, size_t n) const;
  std::array<uint8_t, 32> key_{};
  std::array<uint8_t, 4> check_{};
};

}  // namespace kor::tables
