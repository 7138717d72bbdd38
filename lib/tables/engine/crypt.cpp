#include "tables/engine/crypt.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstring>
#include <memory>

namespace kor::tables {

namespace {

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using Ctx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

void putBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

bool run(const EVP_CIPHER* cipher, const uint8_t* key, const uint8_t iv[16], uint8_t* data, size_t n, bool enc) {
  Ctx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return false;
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key, iv, enc ? 1 : 0) != 1) return false;
  int out = 0;
  if (EVP_CipherUpdate(ctx.get(), data, &out, data, static_cast<int>(n)) != 1) return false;
  int fin = 0;
  if (EVP_CipherFinal_ex(ctx.get(), data + out, &fin) != 1) return false;
  return static_cast<size_t>(out + fin) == n;
}

}  // namespace

Cipher Cipher::derive(std::string_view password, const uint8_t salt[8]) {
  uint8_t out[100];
  PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt, 8, kIterations, EVP_sha256(),
                    sizeof out, out);
  Cipher c;
  std::memcpy(c.xtsKey_.data(), out, 64);
  std::memcpy(c.ctrKey_.data(), out + 64, 32);
  std::memcpy(c.check_.data(), out + 96, 4);
  // XTS refuses two equal key halves; PBKDF2 output makes that a 2^-256
  // event, but make it impossible.
  if (std::memcmp(c.xtsKey_.data(), c.xtsKey_.data() + 32, 32) == 0) c.xtsKey_[63] ^= 0x5A;
  return c;
}

void Cipher::randomSalt(uint8_t salt[8]) {
  if (RAND_bytes(salt, 8) != 1) {
    // No entropy source: a salt from the clock still keeps tables apart.
    uint64_t t = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(salt)) ^ 0x9E3779B97F4A7C15ull;
    std::memcpy(salt, &t, 8);
  }
}

bool Cipher::ctr(const uint8_t* key, uint32_t tag, uint32_t number, uint8_t* data, size_t n) const {
  uint8_t iv[16] = {};
  putBe32(iv, tag);
  putBe32(iv + 4, number);
  return run(EVP_aes_256_ctr(), key, iv, data, n, true);
}

bool Cipher::record(uint32_t recno, uint8_t* data, size_t n, bool encrypt) const {
  if (n == 0) return true;
  if (n < 16) return ctr(ctrKey_.data(), 0x52454331u /* "REC1" */, recno, data, n);
  uint8_t tweak[16] = {};
  putBe32(tweak + 12, recno);
  return run(EVP_aes_256_xts(), xtsKey_.data(), tweak, data, n, encrypt);
}

bool Cipher::memo(uint32_t block, uint8_t* data, size_t n) const {
  if (n == 0) return true;
  return ctr(ctrKey_.data(), 0x4D454D4Fu /* "MEMO" */, block, data, n);
}

}  // namespace kor::tables
