#include <gtest/gtest.h>

#include "console/color.h"

namespace kor::con {
namespace {

struct PairCase {
  const char* text;
  int attr;  // -1: empty or malformed
};

TEST(ColorTest, PairsParseExactly) {
  const PairCase cases[] = {
      {"W/N", 0x07},   {"N/W", 0x70},   {"W+/N", 0x0F},  {"W+/R", 0x4F},  {"W+/B", 0x1F},
      {"N/BG", 0x30},  {"BG/N", 0x03},  {"GB/N", 0x03},  {"GR+/B", 0x1E}, {"RB/G", 0x25},
      {"BR/G", 0x25},  {"N+/BG", 0x38}, {"B/W", 0x71},   {"n/w", 0x70},   {"N/w", 0x70},
      {"W/N*", 0x87},  {"W*/N", 0x87},  {"W/B+", 0x1F},  {"15/1", 0x1F},  {"0/7", 0x70},
      {"I", 0x70},     {"X", 0x00},     {"U/N", 0x01},   {"W", 0x07},     {"/B", 0x10},
      {" W / N ", 0x07}, {"", -1},      {"Q/N", -1},     {"16/0", -1},    {"W1/N", -1},
  };
  for (const auto& c : cases) {
    auto a = parsePair(c.text);
    if (c.attr < 0)
      EXPECT_FALSE(a.has_value()) << c.text;
    else
      EXPECT_EQ(a.value_or(0xEE), c.attr) << c.text;
  }
}

TEST(ColorTest, StringsFillTheGivenSlotsOnly) {
  ColorSpec s = parseColor("B/W,N/BG,,,B/W");
  EXPECT_TRUE(s.given[kStandard]);
  EXPECT_EQ(s.attr[kStandard], 0x71);
  EXPECT_EQ(s.attr[kEnhanced], 0x30);
  EXPECT_FALSE(s.given[kBorder]);
  EXPECT_FALSE(s.given[kBackground]);
  EXPECT_EQ(s.attr[kUnselected], 0x71);

  ColorSpec base = parseColor("W/N,N/W,N/N,N/N,N/W");
  ColorSpec merged = parseColor(",W+/R").over(base);
  EXPECT_EQ(merged.attr[kStandard], 0x07);
  EXPECT_EQ(merged.attr[kEnhanced], 0x4F);
  EXPECT_EQ(merged.attr[kUnselected], 0x70);
}

TEST(ColorTest, TextHelpers) {
  EXPECT_EQ(firstPair("N/W,W+/N"), "N/W");
  EXPECT_EQ(firstPair("W+/R"), "W+/R");
  EXPECT_EQ(reversePair("W/N"), "N/W");
  EXPECT_EQ(reversePair("N+/BG"), "BG/N+");
  EXPECT_EQ(firstAttr("W+/R,N/W"), 0x4F);
  EXPECT_EQ(firstAttr(",N/W", 0x55), 0x55);
  EXPECT_EQ(pairText(0x4F), "W+/R");
  EXPECT_EQ(pairText(0x08), "N+/N");
  EXPECT_EQ(pairText(0x9E), "GR+/B*");
  for (int a = 0; a < 256; ++a) EXPECT_EQ(parsePair(pairText(static_cast<uint8_t>(a))).value_or(0), a);
}

}  // namespace
}  // namespace kor::con
