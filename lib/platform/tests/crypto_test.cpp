#include "platform/crypto.h"

#include <gtest/gtest.h>

namespace kor::plat {
namespace {

// Digests of RFC 1321's test suite and the published SHA-256 / PBKDF2 vectors.
TEST(Crypto, KnownDigests) {
  struct Case {
    const char *in, *md5;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (auto& c : cases) EXPECT_EQ(md5Hex(c.in), c.md5) << c.in;
  Sha256 s = sha256("abc");
  EXPECT_EQ(hexDigest(s.data(), s.size()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  Sha256 k = pbkdf2Sha256("password", "salt", 1);
  EXPECT_EQ(hexDigest(k.data(), k.size()), "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b");
}

// NIST SP 800-38A F.5.5 (CTR-AES256.Encrypt), first two blocks.
TEST(Crypto, AesCounterModeVectorAndRoundTrip) {
  Sha256 key;
  const uint8_t kKey[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe, 0x2b, 0x73, 0xae, 0xf0, 0x85, 0x7d, 0x77, 0x81,
                            0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61, 0x08, 0xd7, 0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};
  std::copy(std::begin(kKey), std::end(kKey), key.begin());
  std::array<uint8_t, 16> iv = {0xf0, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7,
                                0xf8, 0xf9, 0xfa, 0xfb, 0xfc, 0xfd, 0xfe, 0xff};
  uint8_t data[32] = {0x6b, 0xc1, 0xbe, 0xe2, 0x2e, 0x40, 0x9f, 0x96, 0xe9, 0x3d, 0x7e, 0x11, 0x73, 0x93, 0x17, 0x2a,
                      0xae, 0x2d, 0x8a, 0x57, 0x1e, 0x03, 0xac, 0x9c, 0x9e, 0xb7, 0x6f, 0xac, 0x45, 0xaf, 0x8e, 0x51};
  aes256Ctr(key, iv, data, sizeof data);
  EXPECT_EQ(hexDigest(data, 32), "601ec313775789a5b7a7f504bbf3d228f443e3ca4d62b59aca84e990cacaf5c5");
  aes256Ctr(key, iv, data, sizeof data);
  EXPECT_EQ(data[0], 0x6b);
  EXPECT_EQ(data[31], 0x51);
  uint8_t odd[7] = {1, 2, 3, 4, 5, 6, 7};
  aes256Ctr(key, iv, odd, 7);
  aes256Ctr(key, iv, odd, 7);
  EXPECT_EQ(odd[6], 7);
}

}  // namespace
}  // namespace kor::plat
