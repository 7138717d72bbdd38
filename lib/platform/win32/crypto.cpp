#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "platform/crypto.h"

namespace kor::plat {

namespace {

template <size_t N>
std::array<uint8_t, N> digest(LPCWSTR alg, std::string_view data) {
  std::array<uint8_t, N> out{};
  BCRYPT_ALG_HANDLE h = nullptr;
  if (BCryptOpenAlgorithmProvider(&h, alg, nullptr, 0) != 0) return out;
  BCryptHash(h, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())), static_cast<ULONG>(data.size()),
             out.data(), static_cast<ULONG>(N));
  BCryptCloseAlgorithmProvider(h, 0);
  return out;
}

}  // namespace

Md5 md5(std::string_view data) { return digest<16>(BCRYPT_MD5_ALGORITHM, data); }
Sha256 sha256(std::string_view data) { return digest<32>(BCRYPT_SHA256_ALGORITHM, data); }

Sha256 pbkdf2Sha256(std::string_view password, std::string_view salt, uint32_t iterations) {
  Sha256 out{};
  BCRYPT_ALG_HANDLE h = nullptr;
  if (BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG) != 0) return out;
  BCryptDeriveKeyPBKDF2(h, reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
                        static_cast<ULONG>(password.size()), reinterpret_cast<PUCHAR>(const_cast<char*>(salt.data())),
                        static_cast<ULONG>(salt.size()), iterations, out.data(), static_cast<ULONG>(out.size()), 0);
  BCryptCloseAlgorithmProvider(h, 0);
  return out;
}

// Counter mode built on the block cipher in ECB mode: each 16-byte counter
// block is encrypted and XORed into the data.
void aes256Ctr(const Sha256& key, const std::array<uint8_t, 16>& iv, uint8_t* data, size_t n) {
  BCRYPT_ALG_HANDLE alg = nullptr;
  BCRYPT_KEY_HANDLE k = nullptr;
  if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_AES_ALGORITHM, nullptr, 0) != 0) return;
  BCryptSetProperty(alg, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                    sizeof(BCRYPT_CHAIN_MODE_ECB), 0);
  BCryptGenerateSymmetricKey(alg, &k, nullptr, 0, const_cast<PUCHAR>(key.data()), static_cast<ULONG>(key.size()), 0);
  std::array<uint8_t, 16> counter = iv;
  const size_t blocks = (n + 15) / 16;
  std::vector<uint8_t> in(blocks * 16), out(blocks * 16);
  for (size_t b = 0; b < blocks; ++b) {
    std::memcpy(&in[b * 16], counter.data(), 16);
    for (int i = 15; i >= 8; --i)
      if (++counter[static_cast<size_t>(i)] != 0) break;
  }
  ULONG got = 0;
  BCryptEncrypt(k, in.data(), static_cast<ULONG>(in.size()), nullptr, nullptr, 0, out.data(),
                static_cast<ULONG>(out.size()), &got, 0);
  for (size_t i = 0; i < n; ++i) data[i] ^= out[i];
  BCryptDestroyKey(k);
  BCryptCloseAlgorithmProvider(alg, 0);
}

void randomBytes(uint8_t* out, size_t n) {
  BCryptGenRandom(nullptr, out, static_cast<ULONG>(n), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
}

}  // namespace kor::plat
