// Grammar and precedence, seen through the values texts evaluate to.
#include "expr/tests/fixture.h"

namespace kor::expr::testing {
namespace {

using Parse = ExprTest;

TEST_F(Parse, PrecedenceAndAssociativity) {
  struct Case {
    const char* text;
    const char* value;
  } cases[] = {
      {"1 + 2 * 3", "N:7"},
      {"(1 + 2) * 3", "N:9"},
      {"10 - 4 - 3", "N:3"},
      {"2 ** 3 ** 2", "N:64"},  // left to right
      {"2 ^ 3", "N:8"},
      {"-2 ** 2", "N:4"},       // the sign binds tighter than the power
      {"2 * -3", "N:-6"},
      {"- - 3", "N:3"},
      {"7 % 4 * 2", "N:6"},
      {"1 + 2 = 3", "L:T"},
      {"!.T. == .F.", "L:T"},   // .NOT. is looser than the comparison
      {".NOT. 1 = 2", "L:T"},
      {".T. .OR. .F. .AND. .F.", "L:T"},
      {"(.T. .OR. .F.) .AND. .F.", "L:F"},
      {".not. .t. .and. .f.", "L:F"},
      {"1 < 2 .AND. 3 > 4 .OR. 5 >= 5", "L:T"},
      {"1 <> 2 .and. 1 != 2 .and. 1 # 2", "L:T"},
      {"'a' $ 'cat' .AND. !'z' $ 'cat'", "L:T"},
      {"1, 2, 3", "N:3"},
      // Runs of operators fold left to right, whatever their levels.
      {"1 + 2 * 3 - 4 / 2 + 1", "N:6"},
      {"2 * 3 + 1 = 7 .AND. .T. .OR. .F.", "L:T"},
      {".F. .AND. 1 .AND. 2", "L:F"},
      {".T. .OR. 1 .OR. 2", "L:T"},
      {"1 < 2 = .T.", "L:T"},
      {"'a' + 'b' - 'c' + 'd'", "C:abcd"},
      {"(1, 2) + 1", "N:3"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
}

TEST_F(Parse, Literals) {
  struct Case {
    const char* text;
    const char* value;
  } cases[] = {
      {"'a' + \"b\"", "C:ab"},
      {"\"it's\"", "C:it's"},
      {"[in brackets]", "C:in brackets"},
      {"1.50", "N:1.50"},
      {".5", "N:0.5"},
      {"1.", "N:1"},
      {"007", "N:7"},
      {"0x1F", "N:31"},
      {".T.", "L:T"},
      {".y.", "L:T"},
      {".F.", "L:F"},
      {".n.", "L:F"},
      {"NIL", "U"},
      {"nil", "U"},
      {"", "U"},
      {"   ", "U"},
      {"{}", "A:{}"},
      {"{1, 'a', .T.}", "A:{N:1,C:a,L:T}"},
      {"{1,,3}", "A:{N:1,U,N:3}"},
      {"{,}", "A:{U,U}"},
      {"{{1}, {}}", "A:{A:{N:1},A:{}}"},
      {"{1,2,3}[2]", "N:2"},
      {"{{1,2},{3,4}}[2,1]", "N:3"},
      {"{{1,2},{3,4}}[2][2]", "N:4"},
      {"\t1\r\n+\n2", "N:3"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
}

TEST_F(Parse, SyntaxErrorsAreRecords) {
  const char* bad[] = {"1 +",      "(1",      "1)",      "'abc",       "\"abc",   "[abc",     "f(",
                       "{1, 2",    "{|x| x",  "{|x x| 1}", "{|x, x| 1}", "1 := 2",  "a :=",     ".AND.",
                       ".X.",      "1 2",     "a b",     "@x",         "&",       "&1",       "x:",
                       "x->",      "1x",      "0x",      ";",          "a[1",     "a[]",      "f(a b)",
                       "Upper(@)", "()",      "++1",     "1.2.3",      "{|1| 2}", "x->1"};
  for (const char* text : bad) {
    EXPECT_EQ(ev(text), "U") << text;
    ASSERT_EQ(errors.size(), 1u) << text;
    const rt::ErrorRecord& e = errors[0];
    EXPECT_EQ(e.genCode, rt::kErrSyntax) << text;
    EXPECT_EQ(e.subsystem, "BASE");
    EXPECT_EQ(e.subCode, kSubSyntax);
    EXPECT_EQ(e.operation, text);
    ASSERT_EQ(e.args.size(), 1u);
    EXPECT_EQ(e.args[0].str(), text);
    EXPECT_TRUE(e.cargo.isText() && !e.cargo.str().empty()) << text;
    EXPECT_EQ(typeOf(text), "UE") << text;
    errors.clear();
  }
  std::string why;
  EXPECT_FALSE(tryCompile("(1 + ", &why).has_value());
  EXPECT_NE(why.find("6"), std::string::npos) << why;  // the position is named
  EXPECT_TRUE(errors.empty());
}

TEST_F(Parse, CompiledTextsAreCachedBySource) {
  clearCache();
  Compiled a = compile("1 + 1");
  Compiled b = compile("1 + 1");
  Compiled c = compile("1+1");
  EXPECT_EQ(a.source().data(), b.source().data());  // the same program
  EXPECT_NE(a.source().data(), c.source().data());
  EXPECT_EQ(cacheSize(), 2u);
  clearCache();
  EXPECT_EQ(cacheSize(), 0u);
  EXPECT_EQ(show(a.eval()), "N:2");  // still valid after the cache let it go
  // A syntax error answered with a substitute value: evalText gives it.
  answer = [](rt::ErrorRecord&) { return rt::ErrorAnswer::substitute(Value("sub")); };
  EXPECT_EQ(ev("1 +"), "C:sub");
  EXPECT_FALSE(compile("1 +").valid());
}

}  // namespace
}  // namespace kor::expr::testing
