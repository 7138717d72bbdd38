// Table encryption with a password.
//
// Scheme (docs/engine.md, "Encryption"):
// - Header byte 15 is 1 while the records are encrypted. Bytes 16..23 of the
//   header hold a random 8-byte salt, bytes 24..27 a password check value.
// - Key derivation: PBKDF2-HMAC-SHA256 of the password with the salt,
//   kIterations rounds, 100 bytes: 64 for the record key (AES-256-XTS, two
//   keys), 32 for the memo key (AES-256-CTR), 4 for the check value that
//   tells a wrong password.
// - A record's field bytes (all but the deleted flag) are encrypted with
//   AES-256-XTS, the record number as the tweak: the length stays the same,
//   so record offsets, the record count and the deleted flag stay readable
//   and pack works without the key. Records shorter than 16 field bytes, too
//   short for XTS, use AES-256-CTR with the record number in the counter.
// - FPT memo data is encrypted with AES-256-CTR, the block number in the
//   counter; the block header (type, length) stays plain.
// - The header, the field descriptors and the memo file header stay plain.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kor::tables {

class Cipher {
 public:
  static constexpr int kIterations = 20000;

  // Derives the keys from a password and the table's salt.
  static Cipher derive(std::string_view password, const uint8_t salt[8]);
  static void randomSalt(uint8_t salt[8]);

  const std::array<uint8_t, 4>& check() const { return check_; }

  // In place; the same call decrypts with encrypt = false.
  bool record(uint32_t recno, uint8_t* data, size_t n, bool encrypt) const;
  // CTR: encrypting and decrypting are the same operation.
  bool memo(uint32_t block, uint8_t* data, size_t n) const;

 private:
  bool ctr(const uint8_t* key, uint32_t tag, uint32_t number, uint8_t* data, size_t n) const;
  std::array<uint8_t, 64> xtsKey_{};
  std::array<uint8_t, 32> ctrKey_{};
  std::array<uint8_t, 4> check_{};
};

}  // namespace kor::tables
