// Digests and ciphers, from the operating system's crypto library (OpenSSL's
// libcrypto on POSIX, CNG on Windows).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kor::plat {

using Md5 = std::array<uint8_t, 16>;
using Sha256 = std::array<uint8_t, 32>;

Md5 md5(std::string_view data);
// The digest as lower-case hexadecimal digits (32 for MD5).
std::string hexDigest(const uint8_t* digest, size_t n);
inline std::string md5Hex(std::string_view data) {
  Md5 d = md5(data);
  return hexDigest(d.data(), d.size());
}
Sha256 sha256(std::string_view data);
// PBKDF2 with HMAC-SHA256.
Sha256 pbkdf2Sha256(std::string_view password, std::string_view salt, uint32_t iterations);
// AES-256 in counter mode over `data` in place: the 16-byte counter block
// starts at `iv` (its last 8 bytes count blocks, big-endian, from `iv`'s).
// Encrypting and decrypting are the same operation.
void aes256Ctr(const Sha256& key, const std::array<uint8_t, 16>& iv, uint8_t* data, size_t n);
// Random bytes from the system's generator.
void randomBytes(uint8_t* out, size_t n);

}  // namespace kor::plat
