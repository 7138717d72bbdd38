#include "platform/crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

namespace kor::plat {

Md5 md5(std::string_view data) {
  Md5 out{};
  unsigned len = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &len, EVP_md5(), nullptr);
  return out;
}

Sha256 sha256(std::string_view data) {
  Sha256 out{};
  unsigned len = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &len, EVP_sha256(), nullptr);
  return out;
}

Sha256 pbkdf2Sha256(std::string_view password, std::string_view salt, uint32_t iterations) {
  Sha256 out{};
  PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                    reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()),
                    static_cast<int>(iterations), EVP_sha256(), static_cast<int>(out.size()), out.data());
  return out;
}

void aes256Ctr(const Sha256& key, const std::array<uint8_t, 16>& iv, uint8_t* data, size_t n) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  if (!ctx) throw std::bad_alloc();
  int outl = 0;
  EVP_EncryptInit_ex(ctx, EVP_aes_256_ctr(), nullptr, key.data(), iv.data());
  size_t done = 0;
  while (done < n) {
    int chunk = static_cast<int>(n - done > (1u << 30) ? (1u << 30) : n - done);
    EVP_EncryptUpdate(ctx, data + done, &outl, data + done, chunk);
    done += static_cast<size_t>(chunk);
  }
  EVP_CIPHER_CTX_free(ctx);
}

void randomBytes(uint8_t* out, size_t n) { RAND_bytes(out, static_cast<int>(n)); }

}  // namespace kor::plat
