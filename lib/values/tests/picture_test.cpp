#include "values/picture.h"

#include <gtest/gtest.h>

#include "runtime/settings.h"
#include "values/cp850.h"

namespace kor::values {
namespace {

Value num(double n, int dec, int width = 0) { return Value::number(n, dec, width); }

TEST(Picture, ParsesFunctionsAndTemplate) {
  PictureSpec a = parsePicture("@E 999,999.99");
  EXPECT_TRUE(a.european);
  EXPECT_EQ(a.tmpl, "999,999.99");
  PictureSpec b = parsePicture("@!S69");
  EXPECT_TRUE(b.upper);
  EXPECT_EQ(b.scroll, 69);
  EXPECT_EQ(b.tmpl, "");
  PictureSpec c = parsePicture("@rkz( 9 9");
  EXPECT_TRUE(c.insert && c.clearOnType && c.blankZero && c.parenLead);
  EXPECT_EQ(c.tmpl, "9 9");
  PictureSpec d = parsePicture("999.99");
  EXPECT_FALSE(d.european);
  EXPECT_EQ(d.tmpl, "999.99");
  EXPECT_EQ(parsePicture("@").tmpl, "");
  EXPECT_EQ(parsePicture("@S").scroll, 0);
}

TEST(Picture, TransformTable) {
  rt::resetSettings();
  struct Case {
    Value v;
    const char* picture;
    std::string shown;
  } cases[] = {
      // numbers
      {num(1234.5, 2, 10), "@E 999,999.99", "  1.234,50"},
      {num(12.5, 1), "@E 999.99", " 12,50"},
      {num(-3.25, 2), "999.99", " -3.25"},
      {num(0.5, 2), "999.99", "  0.50"},
      {num(0.5, 2), ".99", ".50"},
      {num(100, 2), "999.99", "100.00"},
      {num(2.345, 3), "9.99", "2.35"},    // half rounds away from zero
      {num(-2.345, 3), "99.99", "-2.35"},
      {num(-0.001, 3), "99.99", " 0.00"},  // no minus on a zero
      {Value(1234), "999", "***"},         // does not fit
      {num(1234.5, 1), "999.99", "***.**"},
      {Value(-123), "999", "***"},         // no room for the sign
      {Value(-123), "9,999", " -123"},
      {Value(-1234), "9,999", "*****"},
      {Value(1234567), "@E 999,999,999,999", "      1.234.567"},
      {Value(123), "999,999", "    123"},
      {Value(123456), "@R 999-999", "123-456"},
      {Value(5), "$$$9", "$$$5"},
      {Value(1234), "***,**9", "**1,234"},
      {Value(5), "***,**9", "******5"},
      {Value(0), "@Z 999", "   "},
      {num(0.001, 3), "@Z 9.99", "    "},
      {Value(12), "@B 9999", "12  "},
      {Value(-12), "@( 999", "( 12)"},
      {Value(-12), "@) 999", " (12)"},
      {Value(12), "@( 999", " 12"},
      {Value(12), "@C 999", " 12 CR"},
      {Value(-12), "@X 999", " 12 DB"},
      {Value(-12), "@C 999", "-12"},
      {Value(12), "", "        12"},
      {num(1.5, 1), "@E", "         1,5"},
      {num(1234.5, 2, 10), "", "   1234.50"},
      {num(-1.5, 1), "@(", "(         1.5)"},
      // texts
      {Value("01012100"), "@R 9999.99.99", "0101.21.00"},
      {Value("abc"), "@!", "ABC"},
      {Value("ação média"_cp), "@!", std::string("AÇÃO MÉDIA"_cp)},
      {Value("ABCDEF"), "XX-XX", "AB-DE"},
      {Value("ABCDEF"), "@R XX-XX", "AB-CD"},
      {Value("ab"), "!X", "Ab"},
      {Value("abc"), "XXXXX", "abc  "},
      {Value("abcdef"), "@!S3", "ABCDEF"},
      {Value("14:30:00"), "99:99:99", "14:30:00"},
      {Value::memo("x y"), "@!", "X Y"},
      // dates and logicals
      {Value::ymd(2021, 12, 25), "", "25/12/21"},
      {Value::ymd(2021, 12, 25), "@E", "25/12/21"},
      {Value::ymd(2021, 12, 25), "99/99/9999", "25/12/21"},
      {Value::emptyDate(), "", "  /  /  "},
      {Value::logical(true), "", "T"},
      {Value::logical(false), "L", "F"},
      {Value::logical(true), "Y", "S"},
      {Value::logical(false), "Y", "N"},
      {Value(), "@!", ""},
      {Value::array({Value(1)}), "999", ""},
  };
  for (auto& c : cases) EXPECT_EQ(transform(c.v, c.picture), c.shown) << c.picture << " / " << c.v.typeLetter();
}

TEST(Picture, CenturyAndLanguageSettings) {
  rt::resetSettings();
  rt::setCentury(true);
  EXPECT_EQ(transform(Value::ymd(2021, 12, 25), "@E"), "25/12/2021");
  EXPECT_EQ(transform(Value::ymd(2021, 12, 25), ""), "25/12/2021");
  rt::resetSettings();
  rt::set(rt::Set::Language, Value("EN"));
  EXPECT_EQ(transform(Value::logical(true), "Y"), "Y");
  rt::resetSettings();
}

TEST(FieldPicture, NumberWithThousandsAndDecimalComma) {
  rt::resetSettings();
  Value v = num(1234.5, 2, 10);
  FieldPicture f("@E 999,999.99", v);
  EXPECT_EQ(f.type(), 'N');
  EXPECT_EQ(f.width(), 10);
  EXPECT_EQ(f.display(v), "  1.234,50");
  EXPECT_EQ(f.pointPos(), 7);
  EXPECT_EQ(f.decimals(), 2);
  std::vector<int> editable;
  for (int p = f.firstEditable(); p >= 0; p = f.nextEditable(p)) editable.push_back(p);
  EXPECT_EQ(editable, (std::vector<int>{0, 1, 2, 4, 5, 6, 8, 9}));
  EXPECT_EQ(f.lastEditable(), 9);
  EXPECT_EQ(f.prevEditable(4), 2);
  EXPECT_EQ(f.accept(0, '5'), '5');
  EXPECT_EQ(f.accept(0, '-'), '-');
  EXPECT_EQ(f.accept(0, 'x'), std::nullopt);
  EXPECT_EQ(f.accept(3, '1'), std::nullopt);  // the thousands separator
  EXPECT_EQ(f.blank(), "       ,  ");
  struct Case {
    const char* text;
    double n;
  } cases[] = {{"  1.234,50", 1234.5}, {"  9.876,54", 9876.54}, {" -1.234,50", -1234.5},
               {"       ,  ", 0},      {"      12,3", 12.3},    {"12345", 12345}};
  for (auto& c : cases) {
    Value back = f.parse(c.text);
    EXPECT_DOUBLE_EQ(back.num(), c.n) << c.text;
    EXPECT_EQ(back.decimals(), 2) << c.text;
    EXPECT_EQ(back.width(), 10) << c.text;
  }
}

TEST(FieldPicture, NumberWithoutTemplateKeepsItsWidth) {
  Value v = num(12.5, 2, 8);
  FieldPicture f("", v);
  EXPECT_EQ(f.width(), 8);
  EXPECT_EQ(f.display(v), "   12.50");
  EXPECT_EQ(f.display(num(-3, 0)), "   -3.00");
  EXPECT_EQ(f.display(num(123456, 0)), "********");
  EXPECT_EQ(f.pointPos(), 5);
  EXPECT_FALSE(f.editable(5));
  EXPECT_DOUBLE_EQ(f.parse("   13.75").num(), 13.75);
  FieldPicture e("@E", v);
  EXPECT_EQ(e.display(v), "   12,50");
  EXPECT_DOUBLE_EQ(e.parse("   13,75").num(), 13.75);
  FieldPicture p("@( 999", Value(12));
  EXPECT_EQ(p.width(), 5);
  EXPECT_EQ(p.display(Value(12)), "  12 ");
  EXPECT_EQ(p.display(Value(-12)), "( 12)");
  EXPECT_DOUBLE_EQ(p.parse("( 12)").num(), -12);
  FieldPicture k("@K 999", Value(0));
  EXPECT_TRUE(k.spec().clearOnType);
}

TEST(FieldPicture, NumbersComeBackFromTheirDisplay) {
  const char* pictures[] = {"", "@E", "999,999.99", "@E 999,999.99", "@B 9999.999", "@( 9999.99", "@X 99999"};
  double numbers[] = {0, 1, -1, 12.5, -12.5, 999.99, 1234.567, -0.25};
  for (const char* p : pictures)
    for (double n : numbers) {
      Value v = num(n, 3, 12);
      FieldPicture f(p, v);
      Value back = f.parse(f.display(v));
      EXPECT_DOUBLE_EQ(back.num(), roundHalfAway(n, f.decimals())) << p << " " << n;
    }
}

TEST(FieldPicture, TextTemplates) {
  rt::resetSettings();
  FieldPicture ncm("@R 9999.99.99", Value("01012100"));
  EXPECT_EQ(ncm.width(), 10);
  EXPECT_EQ(ncm.display(Value("01012100")), "0101.21.00");
  EXPECT_FALSE(ncm.editable(4));
  EXPECT_TRUE(ncm.editable(5));
  EXPECT_EQ(ncm.accept(0, 'a'), std::nullopt);
  EXPECT_EQ(ncm.accept(0, '7'), '7');
  EXPECT_EQ(ncm.parse("0101.22.00").string(), "01012200");

  FieldPicture lit("XX-XX", Value("ABCDEF"));
  EXPECT_EQ(lit.display(Value("ABCDEF")), "AB-DE");
  EXPECT_FALSE(lit.editable(2));
  EXPECT_EQ(lit.parse("AB-DE").string(), "AB-DEF");  // literal stored, tail kept

  FieldPicture up("@!S20", Value(std::string(60, ' ')));
  EXPECT_EQ(up.width(), 60);
  EXPECT_EQ(up.visibleWidth(), 20);
  EXPECT_EQ(up.accept(0, static_cast<char>(0x87)), static_cast<char>(0x80));  // ç -> Ç
  EXPECT_EQ(up.parse("abc").string().size(), 60u);

  FieldPicture kinds("9#ANX!", Value("      "));
  struct Case {
    int pos;
    char typed;
    std::optional<char> stored;
  } cases[] = {{0, '5', '5'}, {0, 'a', std::nullopt}, {0, ' ', std::nullopt}, {1, ' ', ' '},
               {1, '-', '-'}, {2, 'b', 'b'},          {2, '1', std::nullopt}, {2, static_cast<char>(0xA0), static_cast<char>(0xA0)},
               {3, '1', '1'}, {3, '-', std::nullopt}, {4, '%', '%'},          {5, 'q', 'Q'},
               {6, 'q', std::nullopt}};
  for (auto& c : cases) EXPECT_EQ(kinds.accept(c.pos, c.typed), c.stored) << c.pos << " " << c.typed;
  FieldPicture letters("@A", Value("   "));
  EXPECT_EQ(letters.accept(0, '1'), std::nullopt);
  EXPECT_EQ(letters.accept(0, 'z'), 'z');
  Value memo = Value::memo("abc");
  EXPECT_TRUE(FieldPicture("", memo).parse("xyz").isMemo());
}

TEST(FieldPicture, DatesAndLogicals) {
  rt::resetSettings();
  Value d = Value::ymd(2021, 12, 9);
  FieldPicture f("", d);
  EXPECT_EQ(f.type(), 'D');
  EXPECT_EQ(f.width(), 8);
  EXPECT_EQ(f.display(d), "09/12/21");
  EXPECT_EQ(f.blank(), "  /  /  ");
  EXPECT_FALSE(f.editable(2));
  EXPECT_EQ(f.accept(0, 'x'), std::nullopt);
  EXPECT_EQ(f.parse("09/12/39").julian(), julianFromYmd(2039, 12, 9));
  EXPECT_EQ(f.parse("09/12/40").julian(), julianFromYmd(1940, 12, 9));
  EXPECT_TRUE(f.parse("  /  /  ").dateTime().empty());
  EXPECT_TRUE(f.parse("31/02/21").dateTime().empty());
  rt::setCentury(true);
  FieldPicture c("@E", d);
  EXPECT_EQ(c.width(), 10);
  EXPECT_EQ(c.display(d), "09/12/2021");
  rt::resetSettings();

  FieldPicture yn("Y", Value::logical(true));
  EXPECT_EQ(yn.width(), 1);
  EXPECT_EQ(yn.display(Value::logical(true)), "S");
  EXPECT_EQ(yn.accept(0, 'y'), 'S');
  EXPECT_EQ(yn.accept(0, 'n'), 'N');
  EXPECT_EQ(yn.accept(0, 'x'), std::nullopt);
  EXPECT_TRUE(yn.parse("S").log());
  EXPECT_FALSE(yn.parse("N").log());
  FieldPicture tf("", Value::logical(false));
  EXPECT_EQ(tf.display(Value::logical(false)), "F");
  EXPECT_EQ(tf.accept(0, 's'), 'T');
  EXPECT_TRUE(tf.parse("T").log());
  FieldPicture none("", Value());
  EXPECT_EQ(none.width(), 0);
  EXPECT_EQ(none.firstEditable(), -1);
}

}  // namespace
}  // namespace kor::values
