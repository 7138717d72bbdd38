#include "values/textform.h"

#include <gtest/gtest.h>

#include "runtime/settings.h"
#include "values/cp850.h"

namespace kor {
namespace {

TEST(TextForm, StrAndOwnWidth) {
  struct Case {
    Value n;
    int width, dec;
    const char* text;
  } cases[] = {
      {Value(12), -1, -1, "        12"},
      {Value::number(1.5, 1), -1, -1, "         1.5"},
      {Value::number(1234.5, 2, 10), -1, -1, "   1234.50"},  // a field N(10,2)
      {Value(12), 5, -1, "   12"},
      {Value::number(12.345, 3), 6, 2, " 12.35"},
      {Value(123456), 3, -1, "***"},
      {Value(-5), 2, 0, "-5"},
      {Value::number(12345678901.0, 0), -1, -1, "12345678901"},
  };
  for (auto& c : cases) EXPECT_EQ(strNumber(c.n, c.width, c.dec), c.text) << c.text;
}

TEST(TextForm, ValReadsLeadingNumber) {
  struct Case {
    const char* text;
    double n;
    int dec;
  } cases[] = {{"12", 12, 0},    {"  -3.25xyz", -3.25, 2}, {"1.", 1, 0}, {".5", 0.5, 1},
               {"abc", 0, 0},    {"", 0, 0},               {"1,5", 1, 0}, {"1.2.3", 1.2, 1},
               {"+7.000", 7, 3}};
  for (auto& c : cases) {
    Value v = valNumber(c.text);
    EXPECT_DOUBLE_EQ(v.num(), c.n) << c.text;
    EXPECT_EQ(v.decimals(), c.dec) << c.text;
  }
}

TEST(TextForm, DatesInTheProgramsFormat) {
  rt::resetSettings();
  struct Case {
    const char* text;
    int y, m, d;  // 0 = empty date
  } cases[] = {
      {"31/12/21", 2021, 12, 31}, {"31/12/39", 2039, 12, 31}, {"31/12/40", 1940, 12, 31},
      {"31/12/2045", 2045, 12, 31}, {"1/2/03", 2003, 2, 1},   {"  /  /  ", 0, 0, 0},
      {"", 0, 0, 0},              {"31/02/21", 0, 0, 0},      {"xx", 0, 0, 0},
      {"311221", 2021, 12, 31},   {"29/02/00", 2000, 2, 29},
  };
  for (auto& c : cases) {
    DateTime d = ctod(c.text);
    EXPECT_EQ(d.julian, c.y ? julianFromYmd(c.y, c.m, c.d) : 0) << c.text;
  }
  EXPECT_EQ(dtoc(DateTime{julianFromYmd(2021, 12, 25)}), "25/12/21");
  EXPECT_EQ(dtoc(DateTime{}), "  /  /  ");
  rt::setCentury(true);
  EXPECT_EQ(dtoc(DateTime{julianFromYmd(2021, 12, 25)}), "25/12/2021");
  rt::resetSettings();
  EXPECT_EQ(dtos(DateTime{julianFromYmd(2021, 3, 5)}), "20210305");
  EXPECT_EQ(dtos(DateTime{}), "        ");
  EXPECT_EQ(stod("20210305").julian, julianFromYmd(2021, 3, 5));
  EXPECT_TRUE(stod("2021035").empty());
  EXPECT_EQ(timeText(14 * 3600000 + 3 * 60000 + 27000), "14:03:27");
}

TEST(TextForm, UpperAndLowerOfCp850) {
  EXPECT_EQ(upper("ação média ü"_cp), std::string("AÇÃO MÉDIA Ü"_cp));
  EXPECT_EQ(lower("ÁÉÍÓÚ ÇÃÕ"_cp), std::string("áéíóú çãõ"_cp));
  EXPECT_EQ(upper("ß÷1"_cp), std::string("ß÷1"_cp));
  for (int b = 0; b < 256; ++b) {
    unsigned char u = upperByte(static_cast<unsigned char>(b));
    if (u != b) EXPECT_EQ(lowerByte(u), b);
  }
}

}  // namespace
}  // namespace kor
