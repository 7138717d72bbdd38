#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace kor::plat {
namespace {

std::string conv(std::string_view in, int from, int to) {
  std::string out;
  EXPECT_TRUE(convertCodePage(in, from, to, out)) << from << "->" << to;
  return out;
}

TEST(CodePage, ConvertsBetweenTheThreeCodePages) {
  struct Case {
    std::string in;
    int from, to;
    std::string out;
  } cases[] = {
      {"cora\x87\xC6o", kCp850, kCp1252, "cora\xE7\xE3o"},       // coração
      {"cora\xE7\xE3o", kCp1252, kCp850, "cora\x87\xC6o"},
      {"cora\x87\xC6o", kCp850, kCpUtf8, "cora\xC3\xA7\xC3\xA3o"},
      {"cora\xC3\xA7\xC3\xA3o", kCpUtf8, kCp850, "cora\x87\xC6o"},
      {"\xC4\xCD", kCp850, kCpUtf8, "\xE2\x94\x80\xE2\x95\x90"},  // box drawing
      {"", kCp850, kCp1252, ""},
      {"plain ASCII", kCpUtf8, kCp850, "plain ASCII"},
      {std::string("a\0b", 3), kCp850, kCp1252, std::string("a\0b", 3)},
  };
  for (auto& c : cases) EXPECT_EQ(conv(c.in, c.from, c.to), c.out) << c.in;
}

TEST(CodePage, ReplacesWhatTheTargetLacksAndInvalidInput) {
  // The shade block has no Windows-1252 counterpart; a box-drawing line
  // takes its best fit.
  EXPECT_EQ(conv("a\xB0z", kCp850, kCp1252), "a?z");
  EXPECT_EQ(conv("a\xC4z", kCp850, kCp1252), "a-z");
  // The euro sign is not in code page 850.
  EXPECT_EQ(conv("\x80", kCp1252, kCp850), "?");
  // A curly apostrophe takes its straight best fit.
  EXPECT_EQ(conv("d\xE2\x80\x99x", kCpUtf8, kCp850), "d'x");
  // Malformed UTF-8: every bad byte becomes the replacement.
  EXPECT_EQ(conv("a\xFF" "b", kCpUtf8, kCp850), "a?b");
  EXPECT_EQ(conv("a\xC3", kCpUtf8, kCp850), "a?");
  EXPECT_EQ(conv("\xE2\x82", kCpUtf8, kCp850), "??");
  EXPECT_EQ(conv("\xED\xA0\x80", kCpUtf8, kCp850), "???");  // a surrogate
  std::string out;
  EXPECT_TRUE(convertCodePage("\xFF", kCpUtf8, kCp1252, out, '_'));
  EXPECT_EQ(out, "_");
  EXPECT_FALSE(convertCodePage("x", 12345, kCp850, out));
  EXPECT_EQ(out, "");
}

TEST(CodePage, LongTextsCrossTheInternalBuffer) {
  std::string in;
  for (int i = 0; i < 3000; ++i) in += "\x87\xC6";
  std::string u = conv(in, kCp850, kCpUtf8);
  EXPECT_EQ(u.size(), 12000u);
  EXPECT_EQ(conv(u, kCpUtf8, kCp850), in);
}

}  // namespace
}  // namespace kor::plat
