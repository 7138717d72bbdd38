// Any text gives a value or an error record: never a crash, a hang or a
// stack overflow.
#include "expr/tests/fixture.h"

namespace kor::expr::testing {
namespace {

using BadInput = ExprTest;

std::string repeat(std::string_view s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

TEST_F(BadInput, DeepNestingIsASyntaxErrorNotAStackOverflow) {
  struct Case {
    std::string text;
    bool parses;
  } cases[] = {
      {repeat("(", 150) + "1" + repeat(")", 150), true},
      {repeat("(", 100000) + "1" + repeat(")", 100000), false},
      {repeat("(", 100000), false},
      {repeat("{", 100000), false},
      {repeat("f(", 100000), false},
      {repeat("!", 100000) + ".T.", false},
      {repeat("-", 100000) + "1", false},
      {repeat("a[", 50000) + "1" + repeat("]", 50000), false},
      {repeat("{|| ", 10000) + "1" + repeat("}", 10000), false},
      {"1" + repeat(" + 1", 300), true},
      {"1" + repeat(" + 1", 100000), true},  // a chain stays flat
      {"1 = 2" + repeat(" .OR. 1 = 2", 5000) + " .OR. .T.", true},
      {repeat("(", 250) + "1" + repeat(")", 250), true},
      {repeat("(", 257) + "1" + repeat(")", 257), false},
      {repeat("{1, ", 300) + "1" + repeat("}", 300), false},
      {repeat("1 + (", 400) + "1" + repeat(")", 400), false},
      {"a" + repeat(":b", 100000), false},
      {repeat("x := ", 100000) + "1", false},
  };
  for (auto& c : cases) {
    std::string why;
    EXPECT_EQ(tryCompile(c.text, &why).has_value(), c.parses) << c.text.substr(0, 40) << " " << why;
    Value v = evalText(c.text);
    if (c.parses) {
      EXPECT_TRUE(v.isNumber() || v.isLogical()) << c.text.substr(0, 40);
    } else {
      EXPECT_EQ(lastError(), "7/1449 " + c.text) << c.text.substr(0, 40);
    }
    errors.clear();
  }
}

TEST_F(BadInput, OddBytesAndLiterals) {
  struct Case {
    std::string text;
    std::string value;  // "" when a syntax error is expected
  } cases[] = {
      {"'abc", ""},
      {"\"abc", ""},
      {"[abc", ""},
      {"'", ""},
      {std::string("1 +\0 2", 6), ""},
      {std::string("'a\0b'", 5), std::string("C:a\0b", 5)},
      {std::string("Len('a\0b')", 10), "N:3"},
      {"\x80", ""},
      {"\xff + 1", ""},
      {"'\x87\xc6o'", "C:\x87\xc6o"},
      {"Upper('\x87')", "C:\x80"},
      {"\x01", ""},
      {"1" + std::string(400, '0'), ""},  // beyond the range of numbers
      {"1" + std::string(300, '0') + " > 1", "L:T"},
      {"9007199254740993", "N:9007199254740992"},
      {"0x" + std::string(20, 'F'), ""},
      {"Len(Str(0." + std::string(300, '0') + "1))", "N:266"},  // decimals stop at 255
      {"Str(1e5)", ""},  // no exponent notation
  };
  for (auto& c : cases) {
    Value v = evalText(c.text);
    if (c.value.empty()) {
      EXPECT_EQ(show(v), "U") << c.text;
      ASSERT_EQ(errors.size(), 1u) << c.text;
      EXPECT_EQ(errors[0].genCode, rt::kErrSyntax) << c.text;
      EXPECT_EQ(errors[0].args[0].str(), c.text);
      EXPECT_EQ(typeOf(c.text), "UE");
    } else {
      EXPECT_EQ(show(v), c.value) << c.text;
      EXPECT_TRUE(errors.empty()) << c.text;
    }
    errors.clear();
  }
}

TEST_F(BadInput, RunawayRecursionEndsInAnErrorRecord) {
  // A macro that evaluates itself, and a callback that calls itself.
  rt::publicVar("x", Value("&x"));
  EXPECT_EQ(ev("&x"), "U");
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].genCode, rt::kErrComplexity);
  EXPECT_EQ(errors[0].subCode, kSubTooDeep);
  errors.clear();
  EXPECT_EQ(ev("b := {|| Eval(b)}, Eval(b)"), "U");
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].genCode, rt::kErrComplexity);
  errors.clear();
  // A recursion that would run for ages stops at the call budget.
  limits().maxCalls = 5000;
  Value v = evalText("f := {|n| Iif(n > 0, Eval(f, n - 1) + Eval(f, n - 1), 1)}, Eval(f, 60)");
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].genCode, rt::kErrComplexity);
  EXPECT_EQ(errors[0].subCode, kSubTooMany);
  errors.clear();
  // Within the budget the same recursion gives its value.
  EXPECT_EQ(ev("Eval(f, 10)"), "N:1024");
  EXPECT_TRUE(errors.empty());
}

TEST_F(BadInput, ArraysThatContainThemselves) {
  EXPECT_EQ(ev("a := {1}, a[1] := a, Len(a[1][1][1])"), "N:1");
  // The copy of an array that contains itself contains itself.
  EXPECT_EQ(ev("c := AClone(a), c[1] == c .AND. !(c[1] == a)"), "L:T");
  EXPECT_EQ(ev("c[1] := NIL"), "U");
  // Shared parts stay shared, so a doubling structure copies in linear time.
  EXPECT_EQ(ev("s := {}, AAdd(s, s), AAdd(s, s), d := AClone(s), d[1] == d[2]"), "L:T");
  EXPECT_EQ(ev("s[1] := s[2] := d[1] := d[2] := NIL"), "U");
  EXPECT_EQ(ev("a $ a"), "L:T");
  EXPECT_EQ(ev("Len(ASort({a, a, 1}))"), "N:3");
  // Break the cycle so that the array is freed.
  EXPECT_EQ(ev("a[1] := NIL, a"), "A:{U}");
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace kor::expr::testing
