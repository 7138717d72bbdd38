#include "tables/engine/crypt.h"

#include <cstring>
#include <string>

#include "platform/crypto.h"

namespace kor::tables {

namespace {
void putBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
}  // namespace

Cipher Cipher::derive(std::string_view password, const uint8_t salt[8]) {
  Cipher c;
  plat::Sha256 key = plat::pbkdf2Sha256(password, std::string_view(reinterpret_cast<const char*>(salt), 8), kIterations);
  std::memcpy(c.key_.data(), key.data(), 32);
  std::string checkInput = "check";
  checkInput.append(reinterpret_cast<const char*>(key.data()), key.size());
  plat::Sha256 check = plat::sha256(checkInput);
  std::memcpy(c.check_.data(), check.data(), 4);
  return c;
}

void Cipher::randomSalt(uint8_t salt[8]) { plat::randomBytes(salt, 8); }

void Cipher::ctr(uint32_t tag, uint32_t number, uint8_t* data, size_t n) const {
  if (n == 0) return;
  std::array<uint8_t, 16> iv{};
  putBe32(iv.data(), tag);
  putBe32(iv.data() + 4, number);
  plat::Sha256 key;
  std::memcpy(key.data(), key_.data(), 32);
  plat::aes256Ctr(key, iv, data, n);
}

void Cipher::record(uint32_t recno, uint8_t* data, size_t n) const { ctr(0x52454331u /* REC1 */, recno, data, n); }

void Cipher::memo(uint32_t block, uint8_t* data, size_t n) const { ctr(0x4D454D4Fu /* MEMO */, block, data, n); }

}  // namespace kor::tables
