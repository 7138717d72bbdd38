#include "values/convert.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/registry.h"
#include "runtime/settings.h"
#include "runtime/vars.h"
#include "values/cp850.h"
#include "values/hooks.h"
#include "values/routines.h"
#include "values/textform.h"

namespace kor {
namespace {

Value num(double n, int dec, int width = 0) { return Value::number(n, dec, width); }
Value text(std::string_view s) { return Value(s); }

class Convert : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetSettings();
    rt::resetVars();
    values::resetConsoleHooks();
  }
  void TearDown() override {
    rt::resetSettings();
    rt::resetVars();
    values::resetConsoleHooks();
  }
};

// Compares two values the way the audit does: same type, same number and
// decimals, same date, same text.
void expectSame(const Value& got, const Value& want, const std::string& what) {
  ASSERT_EQ(got.typeLetter(), want.typeLetter()) << what;
  switch (want.type()) {
    case VType::Number:
      EXPECT_DOUBLE_EQ(got.num(), want.num()) << what;
      EXPECT_EQ(got.decimals(), want.decimals()) << what;
      break;
    case VType::Date:
      EXPECT_EQ(got.julian(), want.julian()) << what;
      EXPECT_EQ(got.dateTime().millis, want.dateTime().millis) << what;
      break;
    case VType::Logical: EXPECT_EQ(got.log(), want.log()) << what; break;
    case VType::Array:
      ASSERT_EQ(got.size(), want.size()) << what;
      for (size_t i = 0; i < want.size(); ++i) expectSame(got.at(i), want.at(i), what + "[" + std::to_string(i) + "]");
      break;
    default: EXPECT_EQ(got.string(), want.string()) << what;
  }
}

TEST_F(Convert, XtoCTable) {
  Value hash = Value::hash();
  hash.set(Value("x"), Value(1));
  Value hash2 = Value::hash();
  hash2.set(Value("a"), Value::array({Value(1), Value(2)}));
  hash2.set(Value(2), Value::logical(true));
  auto cls = std::make_shared<ClassDef>();
  cls->name = "TPROGBAR";
  struct Case {
    Value v;
    std::vector<Value> args;
    std::string out;
  } cases[] = {
      {num(1.5, 2, 6), {}, "1,50"},
      {num(12, 0, 8), {}, "12"},
      {num(-3.25, 2), {}, "-3,25"},
      {num(0.5, 2), {}, "0,50"},
      {num(1234.5, 2, 10), {}, "1234,50"},
      {num(2.345, 2), {}, "2,35"},   // half away from zero
      {num(-2.345, 2), {}, "-2,35"},
      {num(-0.001, 2), {}, "0,00"},  // no minus on zero
      {num(1.5, 1), {Value(), Value(), Value(), Value(3)}, "1,500"},
      {num(1.256, 3), {Value(), Value(), Value(), Value(2)}, "1,26"},
      {num(12345678, 0, 8), {Value(), Value(), Value(), Value(2)}, "12345678,00"},  // wider than the field
      {num(1e15, 0), {}, "1000000000000000"},
      {Value::ymd(2021, 12, 25), {}, "25/12/21"},
      {Value::emptyDate(), {}, "  /  /  "},
      {Value::date(DateTime{julianFromYmd(2021, 12, 9), (14 * 3600 + 5 * 60 + 7) * 1000}), {}, "09/12/21 14:05:07"},
      {Value::date(DateTime{julianFromYmd(2021, 12, 9), 50 * 1000 + 250}), {}, "09/12/21 00:00:50:25"},
      {Value::logical(true), {}, "Verdadeiro"},
      {Value::logical(false), {}, "Falso"},
      {Value::logical(true), {Value(), Value::logical(true)}, "True"},
      {Value::logical(false), {Value(), Value::logical(true)}, "False"},
      {Value(), {}, "Nil"},
      {Value::array({Value(1), Value("a")}), {}, "1, a"},
      {Value::array({Value("a"), Value(""), Value("b")}), {}, "a, b"},
      {Value::array({Value(1), Value(0), Value(2)}), {}, "1, 0, 2"},
      {Value::array({}), {}, ""},
      {Value::array({Value::array({Value(1), Value(2)}), Value::array({Value(3)})}), {Value(";")}, "1;2;3"},
      {Value::array({Value::logical(true), num(1.5, 1)}), {Value("|"), Value::logical(true)}, "True|1,5"},
      {Value::array({num(1.256, 3)}), {Value(), Value(), Value(), Value(1)}, "1,256"},  // decimals not passed on
      {Value::array({Value(" a ")}), {Value(), Value(), Value::logical(true)}, "a"},
      {hash, {}, "x => 1"},
      {hash2, {Value(" / "), Value::logical(true)}, "a => 1, 2 / 2 => Verdadeiro"},
      {Value::hash(), {}, ""},
      {Value::memo("ab\r\ncd"), {}, "\"ab\ncd\""},
      {Value::memo("ab\x8D\ncd"), {}, "\"ab\ncd\""},
      {Value::memo("say \"\"hi\"\""), {}, "\"say \"hi\"\""},
      {Value::memo(""), {}, "\"\""},
      {Value::memo("x"), {}, "\"x\""},
      {Value("  ab "), {}, "  ab "},
      {Value("  ab "), {Value(), Value(), Value::logical(true)}, "ab"},
      {Value(std::string(200, 'x')), {}, std::string(200, 'x')},
      {makeObject(cls), {}, "TPROGBAR"},
      {makeBlock([](Args&) { return Value(); }, "{|| 1 }"), {}, "{|| 1 }"},
      {Value::pointer(nullptr), {}, ""},
  };
  for (auto& c : cases) {
    c.args.resize(4);
    Value out = X_TO_C(c.v, c.args[0], c.args[1], c.args[2], c.args[3]);
    EXPECT_TRUE(out.isText());
    EXPECT_EQ(out.string(), c.out) << c.out;
  }
  rt::setCentury(true);
  EXPECT_EQ(X_TO_C(Value::ymd(2021, 12, 25)).string(), "25/12/2021");
  EXPECT_EQ(X_TO_C(Value::emptyDate()).string(), "  /  /    ");
}

TEST_F(Convert, DebugSwitchWritesTheValueAndItsType) {
  std::vector<std::string> lines;
  values::consoleHooks().writeLine = [&](std::string_view l) { lines.emplace_back(l); };
  X_TO_C(Value(12));
  EXPECT_TRUE(lines.empty());
  rt::publicVar("DEBUGX_TO_C", Value("yes"));  // not a logical: off
  X_TO_C(Value(12));
  EXPECT_TRUE(lines.empty());
  rt::publicVar("DEBUGX_TO_C", Value::logical(false));  // a logical, even false: on
  X_TO_C(Value(12));
  X_TO_C(Value("ab"));
  X_TO_C(Value::logical(true));
  X_TO_C(Value());
  X_TO_C(Value::ymd(2021, 12, 25));
  EXPECT_EQ(lines, (std::vector<std::string>{"        12 N", "ab C", ".T. L", "NIL U", "25/12/21 D"}));
}

TEST_F(Convert, CtoxTable) {
  struct Case {
    Value in;
    const char* type;
    Value out;
  } cases[] = {
      {text("1.234,56"), "N", num(1234.56, 2)},
      {text("1,5"), "N", num(1.5, 1)},
      {text("1,234.56"), "N", num(1, 0)},
      {text("1.234"), "N", num(1.234, 3)},
      {text("1.234.567,89"), "N", num(1234567.89, 2)},
      {text("  -3,25  "), "N", num(-3.25, 2)},
      {text("-12"), "N", num(-12, 0)},
      {text("1234,50"), "N", num(1234.5, 2)},
      {text("abc"), "N", num(0, 0)},
      {text(""), "N", num(0, 0)},
      {Value(), "N", num(0, 0)},
      {text("12abc"), "N", num(12, 0)},
      {text("1,2,3"), "N", num(1.2, 1)},
      {text(",5"), "N", num(0.5, 1)},
      {text("0,00"), "N", num(0, 2)},
      {text("T"), "L", Value::logical(true)},
      {text(".t."), "L", Value::logical(true)},
      {text("true"), "L", Value::logical(true)},
      {text(" TRUE "), "L", Value::logical(true)},
      {text("Verdadeiro"), "L", Value::logical(true)},  // X_TO_C's own word reads back
      {text("Falso"), "L", Value::logical(false)},
      {text("S"), "L", Value::logical(false)},
      {text("Y"), "L", Value::logical(false)},
      {text("TRUEX"), "L", Value::logical(false)},
      {Value(), "L", Value::logical(false)},
      {text("25/12/21"), "D", Value::ymd(2021, 12, 25)},
      {text("31/12/39"), "D", Value::ymd(2039, 12, 31)},
      {text("31/12/40"), "D", Value::ymd(1940, 12, 31)},
      {text("01/01/00"), "D", Value::ymd(2000, 1, 1)},
      {text("31/12/99"), "D", Value::ymd(1999, 12, 31)},
      {text("31/12/2045"), "D", Value::ymd(2045, 12, 31)},
      {text("  /  /  "), "D", Value::emptyDate()},
      {text(""), "D", Value::emptyDate()},
      {text("30/02/21"), "D", Value::emptyDate()},
      {text("xx/yy/zz"), "D", Value::emptyDate()},
      {text("09/12/21 14:05:07"), "D", Value::date(DateTime{julianFromYmd(2021, 12, 9), 50707000})},
      {text("09/12/21 25:00:00"), "D", Value::emptyDate()},
      {text("2.5E3"), "E", num(2500, 0)},
      {text("1,5E-2"), "E", num(0.015, 3)},
      {text("1.5e2"), "E", num(150, 0)},
      {text("12,5"), "E", num(12.5, 1)},
      {text("1E999"), "E", num(0, 0)},
      {text("  ab "), "C", text("  ab ")},
      {text("  ab "), "M", text("  ab ")},
      {Value(), "C", Value()},
      {num(5, 0), "X", num(5, 0)},
      {num(5, 2), "N", num(5, 2)},  // already a number
      {Value::logical(true), "C", Value::logical(true)},
      {num(1.5, 1), "n", num(1.5, 1)},
  };
  for (auto& c : cases) expectSame(CTOX(c.in, Value(c.type)), c.out, std::string(c.in.str()) + " as " + c.type);
}

// The update run compares fields through X_TO_C and back through CTOX.
TEST_F(Convert, RoundTripsOfEveryFieldValue) {
  std::vector<std::pair<Value, const char*>> values = {
      {num(1234.5, 2, 10), "N"}, {num(-1234.5, 2, 10), "N"}, {num(0, 2, 10), "N"},
      {num(12, 0, 8), "N"},      {num(-7, 0, 3), "N"},       {num(0.001, 3, 6), "N"},
      {num(99999999.99, 2, 11), "N"}, {num(123456789012345.0, 0, 15), "N"},
      {Value::logical(true), "L"},    {Value::logical(false), "L"},
      {Value::ymd(2021, 12, 25), "D"}, {Value::ymd(1940, 1, 1), "D"}, {Value::ymd(2039, 12, 31), "D"},
      {Value::ymd(2000, 2, 29), "D"},  {Value::emptyDate(), "D"},
      {Value("ABC       "), "C"},      {Value("  a\xA0\x87 "), "C"}, {Value(""), "C"},
      {Value::memo("linha 1\r\nlinha 2"), "M"},
  };
  // Every number a field N(8,2) can hold, read as the engine reads it.
  for (int i = -9999; i <= 9999; i += 37) values.push_back({valNumber(numberText(i / 7.0, 2)).withWidth(8), "N"});
  for (auto& [v, type] : values) {
    Value text = X_TO_C(v);
    Value back = CTOX(text, Value(type));
    std::string what = text.string() + " as " + type;
    if (v.isNumber()) {
      EXPECT_DOUBLE_EQ(back.num(), v.num()) << what;
      EXPECT_EQ(back.decimals(), v.decimals()) << what;
    } else if (v.isMemo()) {
      EXPECT_EQ(back.string(), text.string()) << what;  // memos keep the text
    } else {
      expectSame(back, v, what);
    }
  }
  rt::setCentury(true);
  Value d = Value::ymd(2045, 6, 1);
  EXPECT_EQ(CTOX(X_TO_C(d), Value("D")).julian(), d.julian());
  Value dt = Value::date(DateTime{julianFromYmd(2021, 12, 9), 50707000});
  EXPECT_EQ(CTOX(X_TO_C(dt), Value("D")).dateTime().millis, 50707000);
}

TEST_F(Convert, CtoaTable) {
  struct Case {
    const char* in;
    Value sep, kind;
    Value out;
  } cases[] = {
      {"a;;b; c ", Value(), Value(), Value::array({text("a"), text("b"), text(" c")})},
      {"a b;c", Value(), Value(), Value::array({text("a b"), text("c")})},
      {";a;", Value(), Value(), Value::array({text("a")})},
      {"", Value(), Value(), Value::array()},
      {"a;  ;b", Value(), Value(), Value::array({text("a"), text("b")})},
      {"1,5;2.5;x", Value(), Value("N"), Value::array({num(1, 0), num(2.5, 1), num(0, 0)})},
      {"a||b", Value("||"), Value(), Value::array({text("a"), text("b")})},
      {"a,b", Value(","), Value("C"), Value::array({text("a"), text("b")})},
      {"a;b", Value(), Value("X"), Value::array()},
  };
  for (auto& c : cases) expectSame(CTOA(Value(c.in), c.sep, c.kind), c.out, c.in);
}

TEST_F(Convert, NumberReadersTable) {
  struct Case {
    const char* in;
    double ctov, convertevalor, valtrim;
  } cases[] = {
      {"1.234,56", 1234.56, 1234.56, 1.234},
      {"1,234.56", 1234.56, 1234.56, 1.234},
      {"1,5", 1.5, 1.5, 1.5},
      {"1.5", 1.5, 1.5, 1.5},
      {"R$ 1.234,56", 1234.56, 0, 0},
      {"-5", -5, -5, -5},  // CTOV keeps a leading minus
      {"R$ -5,00", -5, 0, 0},
      {"5-", 5, 5, 5},
      {"abc", 0, 0, 0},
      {"", 0, 0, 0},
      {"12 34", 1234, 12, 12},
  };
  for (auto& c : cases) {
    EXPECT_DOUBLE_EQ(CTOV(Value(c.in)).num(), c.ctov) << c.in;
    EXPECT_DOUBLE_EQ(CONVERTEVALOR(Value(c.in)).num(), c.convertevalor) << c.in;
    EXPECT_DOUBLE_EQ(VALTRIM(Value(c.in)).num(), c.valtrim) << c.in;
  }
  EXPECT_EQ(CTOV(Value("R$ 1.234,56")).decimals(), 2);
  expectSame(CONVERTEVALOR(Value::ymd(2021, 1, 1)), Value::ymd(2021, 1, 1), "not text");
  expectSame(CONVERTEVALOR(num(3, 1)), num(3, 1), "number");
}

TEST_F(Convert, ConvnumTable) {
  struct Case {
    Value n;
    Value width, dec, mark, layout;
    const char* out;
  } cases[] = {
      {num(12.5, 1), Value(6), Value(2), Value(), Value(), "001250"},
      {num(12.5, 1), Value(6), Value(2), Value(","), Value("1"), "  12,50"},
      {num(12.5, 1), Value(6), Value(2), Value(","), Value("3"), "12,50  "},
      {num(12.5, 1), Value(6), Value(2), Value("."), Value("X"), "12.50"},
      {Value(42), Value(), Value(), Value(), Value(), "000000000000042"},
      {Value(42), Value(5), Value(), Value(), Value(1), "   42"},
      {Value(-42), Value(5), Value(), Value(), Value(), "-0042"},
      {Value(1234567), Value(5), Value(), Value(), Value(), "*****"},
      {Value(1234567), Value(5), Value(), Value(), Value("1"), "*****"},
      {Value(1234567), Value(5), Value(), Value(), Value("9"), "*****"},
      {num(2.345, 3), Value(4), Value(2), Value(), Value(), "0235"},
  };
  for (auto& c : cases) EXPECT_EQ(CONVNUM(c.n, c.width, c.dec, c.mark, c.layout).string(), c.out) << c.out;
}

TEST_F(Convert, ConvdataTable) {
  Value d = Value::ymd(2021, 3, 5);
  Value e = Value::emptyDate();
  struct Case {
    Value date;
    Value format, rule, sep;
    std::string out;
  } cases[] = {
      {d, Value(), Value(), Value(), "20210305"},
      {d, Value(1), Value(), Value(), "20210305"},
      {d, Value(2), Value(), Value(), "05032021"},
      {d, Value(3), Value(), Value(), "050321"},
      {d, Value(4), Value(), Value(), "210305"},
      {d, Value(5), Value(), Value(), "05/03/21"},
      {d, Value(6), Value(), Value(), "05/03/2021"},
      {d, Value(7), Value(), Value(), "0321"},
      {d, Value(8), Value(), Value(), "2103"},
      {d, Value(9), Value(), Value("-"), "2021-03-05"},
      {d, Value(10), Value(), Value(), "2021/05/03"},
      {d, Value(11), Value(), Value(), "03/05/2021"},
      {d, Value(12), Value(), Value(), "21/03/05"},
      {d, Value(13), Value(), Value(), "05Mar2021"},
      {Value::ymd(2021, 12, 25), Value(13), Value(), Value(), "25Dez2021"},
      {Value::ymd(2021, 12, 25), Value(14), Value(), Value(), "25/dez"},
      {d, Value(14), Value(), Value("-"), "05-mar"},
      {d, Value(99), Value(), Value(), "05/03/2021"},
      {d, Value(5), Value(), Value(""), "050321"},
      // The century is the date's own (1985 is not 2085).
      {Value::ymd(1985, 1, 1), Value(1), Value(), Value(), "19850101"},
      {Value::ymd(1995, 1, 1), Value(10), Value(), Value(), "1995/01/01"},
      // The empty date: blanks where the text is cut from the date text,
      // zeros where it is built from numbers.
      {e, Value(1), Value(), Value(), "        "},
      {e, Value(2), Value(), Value(), "00000000"},
      {e, Value(3), Value(), Value(), "      "},
      {e, Value(5), Value(), Value(), "  /  /  "},
      {e, Value(6), Value(), Value(), "00/00/0000"},
      {e, Value(9), Value(), Value(), "0000/00/00"},
      {e, Value(10), Value(), Value(), "    /  /  "},
      {e, Value(13), Value(), Value(), "000000"},
      {e, Value(5), Value(1), Value(), "        "},
      {e, Value(5), Value::logical(true), Value(), "        "},
      {e, Value(5), Value::logical(false), Value(), "  /  /  "},
      {e, Value(5), Value(3), Value("-"), "00-00-00"},
      {e, Value(1), Value(3), Value(), "00000000"},
      {e, Value(5), Value(4), Value(), ""},
      {d, Value(5), Value(4), Value(), "05/03/21"},  // the rule is for empty dates only
  };
  for (auto& c : cases) EXPECT_EQ(CONVDATA(c.date, c.format, c.rule, c.sep).string(), c.out) << c.out;
  // The program's date format is left as it was.
  rt::setCentury(true);
  CONVDATA(d, Value(3));
  EXPECT_EQ(rt::dateFormat(), "dd/mm/yyyy");
}

TEST_F(Convert, ConvcharStrtrimLenx) {
  EXPECT_EQ(CONVCHAR(num(12.5, 1), Value(5), Value("N")).string(), "00012");
  EXPECT_EQ(CONVCHAR(Value("abc"), Value(5)).string(), "abc  ");
  EXPECT_EQ(CONVCHAR(Value("abcdef"), Value(3)).string(), "abc");
  EXPECT_EQ(CONVCHAR(Value("abc")).string(), "abc");
  EXPECT_EQ(CONVCHAR(Value::logical(true), Value(3)).string(), "Ver");
  EXPECT_EQ(CONVCHAR(num(-3.5, 1), Value(5), Value("N")).string(), "-0003");
  EXPECT_EQ(CONVCHAR(Value(123456), Value(3), Value("N")).string(), "***");

  struct S {
    Value n, w, d, drop;
    const char* out;
  } strtrims[] = {
      {num(1.5, 1), Value(), Value(), Value(), "1.5"},
      {num(51234.56, 2), Value(), Value(3), Value(), "51234.560"},
      {num(12.345, 3), Value(6), Value(2), Value(), "12.35"},
      {num(5, 2), Value(), Value(), Value::logical(true), "5"},
      {num(5, 2), Value(), Value(), Value(), "5.00"},
      {num(5.5, 2), Value(), Value(), Value::logical(true), "5.50"},
      {num(5, 2), Value(4), Value(2), Value::logical(true), "5"},
      {num(-1234.5, 1), Value(), Value(), Value(), "-1234.5"},
      {num(12345.678, 3), Value(3), Value(2), Value(), "*****"},
  };
  for (auto& c : strtrims) EXPECT_EQ(STRTRIM(c.n, c.w, c.d, c.drop).string(), c.out) << c.out;

  struct L {
    Value v;
    int w, d;
  } lenxs[] = {{num(1.5, 1), 12, 1},        {num(1234.5, 2, 10), 10, 2}, {Value(12), 10, 0},
               {Value("abc"), 3, 0},        {Value::ymd(2021, 1, 1), 8, 0}, {Value::memo("x"), 65, 0},
               {Value::logical(true), 0, 0}, {Value(), 0, 0}};
  for (auto& c : lenxs) {
    Value r = LENX(c.v);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r.at(0).integer(), c.w) << c.v.typeLetter();
    EXPECT_EQ(r.at(1).integer(), c.d) << c.v.typeLetter();
  }
}

TEST_F(Convert, TransftrimUsesThePictures) {
  struct Case {
    Value v;
    const char* picture;
    std::string out;
  } cases[] = {
      {num(1234.5, 2), "@E 999,999.99", "1.234,50"},
      {num(12.5, 2), "@E 999.99", "12,50"},
      {Value("01012100"), "@R 9999.99.99", "0101.21.00"},
      {Value("  abc"), "@!", "ABC"},
      {Value(12), "", "12"},
      {Value::ymd(2021, 12, 25), "", "25/12/21"},
      {Value::logical(true), "Y", "S"},
  };
  for (auto& c : cases) EXPECT_EQ(TRANSFTRIM(c.v, Value(c.picture)).string(), c.out) << c.picture;
}

TEST_F(Convert, MtocTable) {
  struct Case {
    Value memo, width;
    std::string out;
  } cases[] = {
      {Value::memo("linha um\r\nlinha dois"), Value(), "linha um linha dois"},
      {Value::memo("a\x8D\nb"), Value(), "a b"},
      {Value::memo("abc def"), Value(3), "abcdef"},  // a line that fills the width joins the next
      {Value::memo("ab cd"), Value(3), "ab cd"},
      {Value::memo("abcdefgh"), Value(3), "abcdefgh"},
      {Value::memo("  Ação  \r\n\r\n  média "_cp), Value(), "Acao  media"},
      {Value::memo(""), Value(), ""},
      {Value::memo("\r\n\r\n"), Value(), ""},
  };
  for (auto& c : cases) EXPECT_EQ(MTOC(c.memo, c.width).string(), c.out) << c.out;
}

TEST_F(Convert, XtotTable) {
  int32_t jd = julianFromYmd(2021, 12, 25);
  struct Case {
    Value in;
    int32_t julian;
    int millis;  // -2: nil expected
  } cases[] = {
      {Value("20211225143000"), jd, (14 * 3600 + 30 * 60) * 1000},
      {Value("202112251430"), jd, (14 * 3600 + 30 * 60) * 1000},
      {Value("20211225"), jd, 0},
      {Value("2021-12-25T14:30:00-03:00"), jd, (14 * 3600 + 30 * 60) * 1000},
      {Value("25/12/21 14:30:00"), jd, (14 * 3600 + 30 * 60) * 1000},
      {Value("25/12/21"), jd, 0},
      {Value("20211325143000"), 0, -2},
      {Value("20211225250000"), 0, -2},
      {Value("abc"), 0, -2},
      {Value(""), 0, -2},
      {Value(5), 0, -2},
      {Value(), 0, -2},
  };
  for (auto& c : cases) {
    Value r = XTOT(c.in);
    if (c.millis == -2) {
      EXPECT_TRUE(r.isNil()) << c.in.str();
    } else {
      ASSERT_TRUE(r.isDate()) << c.in.str();
      EXPECT_EQ(r.julian(), c.julian) << c.in.str();
      EXPECT_EQ(r.dateTime().millis, c.millis) << c.in.str();
    }
  }
  Value d = Value::ymd(2021, 1, 1);
  EXPECT_EQ(XTOT(d).julian(), d.julian());
}

TEST_F(Convert, SmallHelpers) {
  EXPECT_EQ(SODIGITO(Value("R$ 1.234,56-x")).string(), "1.234,56");
  EXPECT_EQ(SODIGITO(Value("R$ 1.234,56"), Value::logical(false)).string(), "123456");
  EXPECT_EQ(SODIGITO(Value("")).string(), "");

  struct V {
    Value v;
    bool empty;
  } vazias[] = {{Value(), true},           {Value(""), true},          {Value(" \t\r\n"), true},
                {Value(" a"), false},      {Value(0), true},           {num(0.001, 3), false},
                {Value::emptyDate(), true}, {Value::ymd(2021, 1, 1), false}, {Value::logical(false), true},
                {Value::logical(true), false}, {Value::array(), true}, {Value::array({Value()}), false},
                {Value::hash(), true},     {Value::memo(""), true}};
  for (auto& c : vazias) EXPECT_EQ(VARVAZIA(c.v).log(), c.empty) << c.v.typeLetter();

  struct T {
    Value n, arg;
    double casadec, truncaval, inteiro;
  } truncs[] = {
      {num(2.567, 3), Value(2), 2.56, 2.56, 2},
      {num(-2.567, 3), Value(2), -2.56, -2.56, -2},
      {Value(12), Value(2), 12, 12, 12},
      {num(-1.5, 1), Value(0), -1, -1, -1},
      {num(0.999, 3), Value(1), 0.9, 0.9, 0},
      {num(-0.5, 1), Value(0), 0, 0, 0},
  };
  for (auto& c : truncs) {
    EXPECT_DOUBLE_EQ(CASADEC(c.n, c.arg).num(), c.casadec) << c.n.num();
    EXPECT_DOUBLE_EQ(TRUNCAVAL(c.n, c.arg).num(), c.truncaval) << c.n.num();
    EXPECT_DOUBLE_EQ(INTEIRO(c.n).num(), c.inteiro) << c.n.num();
  }
  EXPECT_DOUBLE_EQ(CASADEC(num(2.567, 3)).num(), 2.56);  // two decimals by default
  EXPECT_EQ(CASADEC(num(2.567, 3)).decimals(), 2);
  EXPECT_DOUBLE_EQ(TRUNCAVAL(num(2.567, 3)).num(), 2);
  // Digits beyond the number's own decimals are never seen.
  EXPECT_DOUBLE_EQ(CASADEC(num(2.567, 1), Value(2)).num(), 2.6);
  EXPECT_DOUBLE_EQ(INTEIRO(num(1.5, 1), Value::logical(true)).num(), 1.5);
  EXPECT_DOUBLE_EQ(INTEIRO(num(3, 2), Value::logical(true)).num(), 3);
  EXPECT_EQ(INTEIRO(num(3, 2), Value::logical(true)).decimals(), 0);

  EXPECT_DOUBLE_EQ(PORCENTO(Value(200), num(12.5, 1)).num(), 25);
  EXPECT_EQ(PORCENTO(Value(200), num(12.5, 1)).decimals(), 2);
  EXPECT_DOUBLE_EQ(PORCENTO(Value(1), Value(5), Value(1)).num(), 0.1);  // 0.05 rounds up
  EXPECT_DOUBLE_EQ(PORCENTO(Value(-1), Value(5), Value(1)).num(), -0.1);
  EXPECT_DOUBLE_EQ(PORCENTO(num(0.5, 1), Value(1), Value(2)).num(), 0.01);

  struct B {
    double bytes;
    double count;
    const char* unit;
  } bytes[] = {{0, 0, "Bytes"},         {1023, 1023, "Bytes"}, {1024, 1, "KB"}, {1536, 1, "KB"},
               {15.5 * 1048576, 15, "MB"}, {1099511627776.0, 1, "TB"}, {1e30, 827180, "YB"}};
  for (auto& c : bytes) {
    Value unit;
    Value n = BYTESTOX(Value::number(c.bytes, 0), &unit);
    EXPECT_DOUBLE_EQ(n.num(), c.count) << c.bytes;
    EXPECT_EQ(unit.string(), c.unit) << c.bytes;
  }

  EXPECT_EQ(CONCATCHAR(Value(5)).string(), "(5)");
  EXPECT_EQ(CONCATCHAR(Value(" a "), Value::logical(true), Value("[]")).string(), "[a]");
  EXPECT_EQ(CONCATCHAR(Value(" a ")).string(), "( a )");
  EXPECT_EQ(CONCATCHAR(num(1.5, 1), Value(), Value("|")).string(), "|1,5|");
  EXPECT_EQ(CONCATCHAR(Value("a"), Value(), Value("")).string(), "a");
}

TEST_F(Convert, RegisteredByName) {
  values::registerRoutines();
  values::registerRoutines();  // idempotent
  EXPECT_EQ(rt::callRoutine("X_TO_C", {num(1.5, 2)}).string(), "1,50");
  EXPECT_DOUBLE_EQ(rt::callRoutine("ctox", {Value("1,5"), Value("N")}).num(), 1.5);
  rt::publicVar("CUNIDADE", Value());
  Value n = rt::callRoutine("BYTESTOX", {Value(1536), rt::varRef("CUNIDADE")});
  EXPECT_DOUBLE_EQ(n.num(), 1);
  EXPECT_EQ(rt::getVar("CUNIDADE").string(), "KB");
  for (const char* name : {"CTOA", "CTOV", "CONVERTEVALOR", "VALTRIM", "CONVNUM", "CONVDATA", "CONVCHAR",
                           "STRTRIM", "LENX", "TRANSFTRIM", "MTOC", "XTOT", "SODIGITO", "VARVAZIA", "CASADEC",
                           "INTEIRO", "TRUNCAVAL", "PORCENTO", "CONCATCHAR", "DATAHORA", "TEMPOEXTENSO",
                           "TEMPOEST", "PERIODOEXTENSO", "FORMATADATAHORA", "CONVDTUTC", "SAYDATAHORA",
                           "TROCAACENTO", "TROCAASSENTO", "IGNORAVOGAIS", "UTF8_TO_OEM", "OEM_TO_UTF8",
                           "ANSI_TO_OEM", "OEM_TO_ANSI", "OEM_TO_HTML", "MEMOTOHTML", "ISU8", "ISOEM", "ISANSI",
                           "IDCHARSET", "XTOOEM", "HTMLTOCARAC", "STRURL", "IGUALOUCONTIDO"})
    EXPECT_TRUE(rt::routineExists(name)) << name;
}

}  // namespace
}  // namespace kor
