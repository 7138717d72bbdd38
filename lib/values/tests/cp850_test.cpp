#include "values/cp850.h"

#include <gtest/gtest.h>

namespace kor {
namespace {

TEST(Cp850, LiteralsConvertAtCompileTime) {
  constexpr std::string_view s = "Divisão por zero"_cp;
  EXPECT_EQ(s, std::string_view("Divis\xC6o por zero"));
  EXPECT_EQ("ÇüéâÁÉÍÓÚÃÕçãõ═║╔"_cp, std::string_view("\x80\x81\x82\x83\xB5\x90\xD6\xE0\xE9\xC7\xE5\x87\xC6\xE4\xCD\xBA\xC9"));
}

}  // namespace
}  // namespace kor
