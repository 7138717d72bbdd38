#include "values/cp850.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace kor {
namespace {

// The table must agree with the C library's own CP850 mapping.
TEST(Cp850, TableAgreesWithIconv) {
  iconv_t cd = iconv_open("UTF-32LE", "CP850");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (int b = 0x80; b <= 0xFF; ++b) {
    char in = static_cast<char>(b);
    char32_t out = 0;
    char* ip = &in;
    char* op = reinterpret_cast<char*>(&out);
    size_t il = 1, ol = sizeof out;
    ASSERT_NE(iconv(cd, &ip, &il, &op, &ol), static_cast<size_t>(-1)) << b;
    EXPECT_EQ(static_cast<char32_t>(kCp850ToUnicode[b - 0x80]), out) << std::hex << b;
    EXPECT_EQ(cp850FromUnicode(out), b);
  }
  iconv_close(cd);
}

}  // namespace
}  // namespace kor
