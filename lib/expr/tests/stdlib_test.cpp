// The standard functions, as expression texts use them.
#include "expr/tests/fixture.h"
#include "platform/clock.h"
#include "values/cp850.h"

namespace kor::expr::testing {
namespace {

using Stdlib = ExprTest;

struct Case {
  std::string text;  // CP850
  std::string value;
};

TEST_F(Stdlib, Texts) {
  std::vector<Case> cases = {
      {"Chr(65) + Chr(321) + Chr(-191)", "C:AAA"},
      {"Asc('abc') + Asc('')", "N:97"},
      {"Asc(Chr(200))", "N:200"},
      {"Len('abc') + Len({1, 2}) + Len('')", "N:5"},
      {"Substr('abcdef', 2, 3)", "C:bcd"},
      {"Substr('abcdef', 4)", "C:def"},
      {"Substr('abcdef', -2)", "C:ef"},
      {"Substr('abcdef', 0, 2)", "C:ab"},
      {"Substr('abc', 5)", "C:"},
      {"Substr('abc', 2, -1)", "C:"},
      {"Left('abc', 2) + Right('abc', 2) + Left('abc', 9) + Right('abc', 0)", "C:abbcabc"},
      {std::string("Upper('ação') + Lower('ÇÃO')"_cp), "C:" + std::string("AÇÃOção"_cp)},
      {"'[' + Trim('  a b  ') + '|' + RTrim(' x ') + '|' + LTrim('  a ') + '|' + AllTrim('  a  ') + ']'",
       "C:[  a b| x|a |a]"},
      {"Space(3) + '|' + Space(0) + Space(-1)", "C:   |"},
      {"Replicate('ab', 3) + Replicate('x', 0)", "C:ababab"},
      {"PadR('ab', 4) + '|' + PadL('ab', 4, '*') + '|' + PadC('ab', 5, '-') + '|' + PadR('abcdef', 3)",
       "C:ab  |**ab|-ab--|abc"},
      {"PadL(12.5, 6) + PadR(.T., 2) + PadL(Stod('20240131'), 8)", "C:  12.5T 31/01/24"},
      {"At('c', 'abcabc') + Rat('c', 'abcabc') + At('', 'abc') + At('z', 'abc')", "N:9"},
      {"Stuff('abcdef', 3, 2, 'XYZ')", "C:abXYZef"},
      {"Stuff('abc', 9, 0, 'Z') + Stuff('abc', 1, 9, '')", "C:abcZ"},
      {"StrTran('a.b.c', '.')", "C:abc"},
      {"StrTran('a.b.c.d', '.', '-', 2)", "C:a.b-c-d"},
      {"StrTran('a.b.c.d', '.', '-', 1, 2)", "C:a-b-c.d"},
      {"StrTran('aaa', '', 'x')", "C:aaa"},
      {"Str(12)", "C:        12"},
      {"Str(1.5, 6, 2) + Str(1.5, 3) + Str(123456, 3)", "C:  1.50  2***"},
      {"Str(-3.14159, 8, 3)", "C:  -3.142"},
      {"StrZero(42, 5) + StrZero(-5, 4) + StrZero(1.5, 5, 1)", "C:00042-005001.5"},
      {"Val('12.50') + Val('  -3') + Val('abc')", "N:9.50"},
      {"Val('1.234')", "N:1.234"},
      {std::string("IsDigit('1a') .AND. !IsDigit('a1') .AND. IsAlpha('ç') .AND. IsUpper('Á') .AND. IsLower('b')"_cp),
       "L:T"},
      {"IsAlpha('') .OR. IsDigit('') .OR. IsUpper('1')", "L:F"},
      {"Descend('AB') + Descend(Chr(0))", "C:" + std::string("\xBF\xBE\x00", 3)},
      {"Descend(5) + Descend(Stod('20240101')) < 0", "L:T"},
      {"Empty('  ') .AND. Empty(0) .AND. Empty(Ctod('')) .AND. Empty({}) .AND. Empty(NIL) .AND. !Empty('a')",
       "L:T"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(show(evalText(c.text)), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
}

TEST_F(Stdlib, DatesAndNumbers) {
  plat::VirtualClock clock(plat::fromLocalTime(plat::LocalTime{2021, 12, 9, 14, 3, 27, 250, 0}));
  std::vector<Case> cases = {
      {"Dtos(Date())", "C:20211209"},
      {"Time()", "C:14:03:27"},
      {"Seconds()", "N:50607.25"},
      {"Dtoc(Stod('20240131'))", "C:31/01/24"},
      {"Dtoc(Ctod(''))", "C:  /  /  "},
      {"Ctod('31/01/24')", "D:20240131"},
      {"Ctod('31/02/24')", "D:        "},
      {"Dtos(Ctod('01/01/39')) + Dtos(Ctod('01/01/40'))", "C:2039010119400101"},
      {"Stod('2024013')", "D:        "},
      {"Day(Stod('20240131')) + Month(Stod('20240131')) + Year(Stod('20240131'))", "N:2056"},
      {"Day(Ctod(''))", "N:0"},
      {"Dow(Stod('20240131'))", "N:4"},  // a Wednesday
      {"Cmonth(Stod('20240315')) + ' ' + Cdow(Stod('20240316'))", "C:" + std::string("Março Sábado"_cp)},
      {"Cmonth(Ctod('')) + Cdow(Ctod(''))", "C:"},
      {"Int(7.9) + Int(-7.9)", "N:0"},
      {"Round(2.345, 2)", "N:2.35"},
      {"Round(2.5, 0) + Round(-2.5, 0)", "N:0"},
      {"Round(1234.5, -2)", "N:1200"},
      {"Abs(-1.25)", "N:1.25"},
      {"Max(1, 2.5) + Min(1, 2.5)", "N:3.5"},
      {"Dtos(Max(Stod('20240101'), Stod('20230101')))", "C:20240101"},
      {"Min('b', 'a')", "C:a"},
      {"Mod(-1, 3)", "N:2"},
      {"Mod(7, -3)", "N:-2"},
      {"Mod(7.5, 2)", "N:1.5"},
      {"Sqrt(16)", "N:4.00"},
      {"Sqrt(-1)", "N:0.00"},
      {"Round(Exp(1), 4)", "N:2.7183"},
      {"Round(Log(100), 3)", "N:4.605"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(show(evalText(c.text)), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
  rt::setCentury(true);
  EXPECT_EQ(show(evalText("Dtoc(Stod('20240131'))")), "C:31/01/2024");
}

TEST_F(Stdlib, ArraysAreChangedInPlace) {
  rt::publicVar("a", Value::array({Value(3), Value(1), Value(2)}));
  std::vector<Case> cases = {
      {"Array(2)", "A:{U,U}"},
      {"Array(2, 1)", "A:{A:{U},A:{U}}"},
      {"Len(Array(0))", "N:0"},
      {"AAdd(a, 4), a", "A:{N:3,N:1,N:2,N:4}"},
      {"ASize(a, 3)", "A:{N:3,N:1,N:2}"},
      {"ATail(a)", "N:2"},
      {"ATail({})", "U"},
      {"AScan(a, 1) + AScan(a, 9) * 10", "N:2"},
      {"AScan({'abc', 'x'}, 'ab')", "N:1"},  // the "=" comparison
      {"AScan({1, 'a', 2}, 2)", "N:3"},
      {"AScan(a, {|x| x > 2})", "N:1"},
      {"AScan(a, 3, 2)", "N:0"},
      {"s := 0, AEval(a, {|x, i| s := s + x * i}), s", "N:11"},
      {"ASort(a)", "A:{N:1,N:2,N:3}"},
      {"ASort(a, , , {|x, y| x > y})", "A:{N:3,N:2,N:1}"},
      {"ASort({'b', 'a', 'c'}, 2)", "A:{C:b,C:a,C:c}"},
      {"ASort({3, 'a', 1, Stod('20240101')})", "A:{C:a,D:20240101,N:1,N:3}"},
      {"b := AClone({1, {2}}), c := AClone(b), c[2][1] := 9, b[2][1]", "N:2"},
      {"ADel({1, 2, 3}, 2)", "A:{N:1,N:3,U}"},
      {"AIns({1, 2, 3}, 2)", "A:{N:1,U,N:2}"},
      {"AFill(Array(3), 0)", "A:{N:0,N:0,N:0}"},
      {"AFill(Array(3), 'x', 2, 1)", "A:{U,C:x,U}"},
      {"ACopy({1, 2, 3}, Array(4), 2, 2, 2)", "A:{U,N:2,N:3,U}"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(show(evalText(c.text)), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
  // A callback that changes the array while it is being walked or sorted.
  EXPECT_EQ(show(evalText("x := {1, 2, 3}, AEval(x, {|v| ASize(x, 1)}), x")), "A:{N:1}");
  EXPECT_EQ(show(evalText("x := {3, 1, 2}, ASort(x, , , {|p, q| ASize(x, 0), p < q})")), "A:{}");
  EXPECT_EQ(show(evalText("x := {3, 1, 2}, Len(ASort(x, , , {|p, q| .T.}))")), "N:3");
  EXPECT_EQ(lastError(), "");
}

TEST_F(Stdlib, MiscellaneousAndFrames) {
  rt::FrameGuard outer("RELATORIO");
  rt::setLine(40);
  std::vector<Case> cases = {
      {"ValType(1) + ValType('a') + ValType({}) + ValType({||1}) + ValType(NIL) + ValType(Date())", "C:NCABUD"},
      {"Type('1 + 1') + Type('x +') + Type('zzz')", "C:NUEU"},
      {"Iif(.T., 'a', 'b')", "C:a"},
      {"Eval({|x| x * 2}, 4)", "N:8"},
      {"ProcName() + '/' + ProcName(0) + '/' + Str(ProcLine(0), 2)", "C:RELATORIO/RELATORIO/40"},
      {"ProcName(5)", "C:"},
      {"Transform(1234.5, '@E 9,999.99') + '|' + Transform('abc', '@!') + '|' + Transform(7, '')",
       "C:1.234,50|ABC|         7"},
      {"Eval({|| ProcName(0) + ProcName(1)})", "C:(b)RELATORIORELATORIO"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(show(evalText(c.text)), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
  // The conditional called by name evaluates eagerly.
  EXPECT_EQ(show(rt::callRoutine("IIF", {Value::logical(false), Value(1), Value(2)})), "N:2");
}

TEST_F(Stdlib, WrongArgumentsRaiseRecordsNamingTheFunction) {
  const char* cases[] = {"Chr('a')",   "Asc(1)",     "Len(1)",           "Substr(1, 1)",   "Substr('a', 'b')",
                         "Left(1, 1)", "Upper(1)",   "Trim(1)",          "Space('a')",     "Replicate(1, 2)",
                         "PadR('a')",  "At(1, 'a')", "Stuff('a', 1)",    "StrTran(1, 'a')", "Str('a')",
                         "Val(1)",     "Dtoc('a')",  "Ctod(1)",          "Dtos(1)",        "Day('a')",
                         "Int('a')",   "Round('a')", "Max(1, 'a')",      "Mod('a', 1)",    "Type(1)",
                         "Eval(1)",    "Transform(1, 2)", "Array(-1)",  "AAdd(1, 2)",       "ASort(1)",       "AEval({}, 1)"};
  for (const char* text : cases) {
    evalText(text);
    ASSERT_EQ(errors.size(), 1u) << text;
    EXPECT_EQ(errors[0].genCode, rt::kErrArg) << text;
    EXPECT_EQ(errors[0].subCode, kSubFuncArg) << text;
    std::string fn(text, std::string_view(text).find('('));
    EXPECT_EQ(errors[0].operation, upper(fn)) << text;
    EXPECT_FALSE(errors[0].args.empty()) << text;
    errors.clear();
  }
  limits().maxText = 1000;
  limits().maxArray = 1000;
  struct Over {
    const char* text;
    const char* error;
  } over[] = {{"Space(1001)", "3/1209 SPACE"},
              {"Replicate('ab', 501)", "3/1209 REPLICATE"},
              {"PadL('a', 5000)", "3/1209 PADL"},
              {"Space(600) + Space(600)", "3/1209 +"},
              {"Array(1001)", "2/1452 ARRAY"},
              {"Array(100, 100)", "2/1452 ARRAY"},
              {"ASize({}, 2000)", "2/1452 ASIZE"}};
  for (auto& o : over) {
    EXPECT_EQ(show(evalText(o.text)), "U") << o.text;
    EXPECT_EQ(lastError(), o.error) << o.text;
  }
  limits() = Limits{};
}

}  // namespace
}  // namespace kor::expr::testing
