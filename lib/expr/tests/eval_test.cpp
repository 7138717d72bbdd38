// Operators, assignment, macros, callbacks and objects.
#include "expr/tests/fixture.h"

namespace kor::expr::testing {
namespace {

using Eval = ExprTest;

struct Case {
  const char* text;
  const char* value;
};

TEST_F(Eval, NumbersCarryDecimals) {
  rt::publicVar("nFld", Value::number(1234.5, 2, 10));  // as a field N(10,2) reads
  struct Case cases[] = {
      {"1.5 + 2", "N:3.5"},         {"1.25 + 1.5", "N:2.75"},    {"5 - 7.25", "N:-2.25"},
      {"1.5 * 1.25", "N:1.875"},    {"10 / 4", "N:2.50"},        {"10 / 5", "N:2"},
      {"1 / 3", "N:0.33"},          {"7.5 / 2.5", "N:3.00"},     {"2 ** 10", "N:1024"},
      {"2 ** -1", "N:0.50"},        {"7 % 3", "N:1"},            {"-7 % 3", "N:-1"},
      {"7.5 % 2", "N:1.5"},         {"nFld + 1", "N:1235.50"},   {"nFld * 2", "N:2469.00"},
      {"-nFld", "N:-1234.50"},      {"+1.5", "N:1.5"},           {"0.1 + 0.2 = 0.3", "L:F"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
  rt::set(rt::Set::Decimals, Value(4));
  EXPECT_EQ(ev("1 / 3"), "N:0.3333");
  EXPECT_EQ(evalText("1 + 2 * 3").width(), 0);  // computed results have no field width
}

TEST_F(Eval, TextsAndDates) {
  rt::publicVar("mMemo", Value::memo("memo"));
  rt::publicVar("d", Value::ymd(2024, 1, 31));
  struct Case cases[] = {
      {"'ab' + 'cd'", "C:abcd"},
      {"'ab  ' - 'cd'", "C:abcd  "},
      {"'ab' - 'cd'", "C:abcd"},
      {"mMemo + '!'", "C:memo!"},
      {"Len(Replicate('a', 20) + Replicate('b', 10))", "N:30"},
      {"Right(Replicate('a', 20) + Replicate('b', 10), 3)", "C:bbb"},
      {"d + 1", "D:20240201"},
      {"1 + d", "D:20240201"},
      {"d + 1.9", "D:20240201"},
      {"d - 31", "D:20231231"},
      {"d - Ctod('01/01/24')", "N:30"},
      {"Ctod('') + 5", "D:        "},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
}

TEST_F(Eval, Comparisons) {
  rt::publicVar("d", Value::ymd(2024, 1, 31));
  struct Case cases[] = {
      {"'abc' = 'ab'", "L:T"},  {"'ab' = 'abc'", "L:F"},   {"'abc' == 'ab'", "L:F"},  {"'abc' = ''", "L:T"},
      {"'' = 'a'", "L:F"},      {"'abc' != 'ab'", "L:F"},  {"'abc' <> 'abd'", "L:T"}, {"'b' > 'a'", "L:T"},
      {"'abc' < 'ab'", "L:F"},  {"'abc' <= 'ab'", "L:T"},  {"2 >= 2", "L:T"},         {"d < d + 1", "L:T"},
      {"NIL = NIL", "L:T"},     {"1 = NIL", "L:F"},        {"NIL == 'a'", "L:F"},     {".F. < .T.", "L:T"},
      {"'a' $ 'abc'", "L:T"},   {"'' $ 'abc'", "L:F"},     {"2 $ {1, 2}", "L:T"},     {"'x' $ {1, 2}", "L:F"},
      {"'\x87' > 'z'", "L:T"},  // unsigned CP850 bytes
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
  rt::set(rt::Set::Exact, Value::logical(true));
  EXPECT_EQ(ev("'abc' = 'ab'"), "L:F");
  EXPECT_EQ(ev("'ab  ' = 'ab'"), "L:T");
  EXPECT_EQ(ev("'ab  ' == 'ab'"), "L:F");
}

TEST_F(Eval, LogicalOperatorsShortCircuit) {
  EXPECT_EQ(ev(".F. .AND. NoSuchRoutine()"), "L:F");
  EXPECT_EQ(ev(".T. .OR. 1 / 0"), "L:T");
  EXPECT_EQ(ev("Iif(.T., 1, NoSuchRoutine())"), "N:1");
  EXPECT_EQ(ev("Iif(.F., NoSuchRoutine(), 'x')"), "C:x");
  EXPECT_EQ(ev("If(.F., 1)"), "U");
  EXPECT_EQ(lastError(), "");
}

TEST_F(Eval, WrongOperandTypesRaiseArgumentErrors) {
  rt::publicVar("d", Value::ymd(2024, 1, 31));
  struct Bad {
    const char* text;
    const char* error;
    size_t nargs;
  } cases[] = {
      {"1 + 'a'", "1/1081 +", 2},       {"'a' * 2", "1/1083 *", 2},      {"'a' - 1", "1/1082 -", 2},
      {"1 = 'a'", "1/1071 =", 2},       {"1 == 'a'", "1/1070 ==", 2},    {"1 <> 'a'", "1/1072 <>", 2},
      {"{} < {}", "1/1073 <", 2},       {".T. + 1", "1/1081 +", 2},      {"d + d", "1/1081 +", 2},
      {"-'a'", "1/1080 -", 1},          {"!1", "1/1077 .NOT.", 1},       {"1 .AND. .T.", "1/1078 .AND.", 1},
      {".T. .AND. 1", "1/1078 .AND.", 2}, {"1.AND.2", "1/1078 .AND.", 1}, {".F. .OR. 'x'", "1/1079 .OR.", 2},
      {"1 $ 'a'", "1/1109 $", 2},       {"Iif(1, 2, 3)", "1/1066 IIF", 1}, {"1[1]", "1/1068 array access", 2},
      {"2 ** 'a'", "1/1088 **", 2},     {"NIL > 1", "1/1075 >", 2},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), "U") << c.text;
    ASSERT_EQ(errors.size(), 1u) << c.text;
    EXPECT_EQ(errors[0].subsystem, "BASE");
    EXPECT_EQ(errors[0].args.size(), c.nargs) << c.text;
    EXPECT_TRUE(errors[0].canSubstitute);
    EXPECT_EQ(lastError(), c.error) << c.text;
  }
  EXPECT_EQ(errors.size(), 0u);
  answer = [](rt::ErrorRecord&) { return rt::ErrorAnswer::substitute(Value(42)); };
  EXPECT_EQ(ev("(1 + 'a') + 1"), "N:43");
}

TEST_F(Eval, DivisionByZeroGoesToTheHandler) {
  answer = [](rt::ErrorRecord&) { return rt::ErrorAnswer::substitute(Value(0)); };
  EXPECT_EQ(ev("1 / 0 + 5"), "N:5");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].genCode, rt::kErrZeroDiv);
  EXPECT_EQ(errors[0].args.size(), 2u);
  EXPECT_EQ(lastError(), "5/1340 /");
  EXPECT_EQ(ev("5 % 0"), "N:0");
  EXPECT_EQ(lastError(), "5/1341 %");
  answer = [](rt::ErrorRecord&) { return rt::ErrorAnswer::byDefault(); };
  EXPECT_EQ(ev("1 / 0"), "N:0");
  // Without a handler of the program's, the plain one answers 0 as well.
  rt::setErrorHandler(nullptr);
  EXPECT_EQ(ev("Mod(3, 0) + 1"), "N:1");
}

TEST_F(Eval, Assignment) {
  rt::publicVar("h", Value::hash());
  struct Case cases[] = {
      {"x := 5", "N:5"},
      {"x + 1", "N:6"},
      {"x += 2, x", "N:7"},
      {"x -= 1, x *= 2, x /= 4, x", "N:3"},
      {"x %= 2, x", "N:1"},
      {"y := 'a', y += 'b', y", "C:ab"},
      {"a := b := 3, a + b", "N:6"},
      {"arr := {1, 2}, arr[2] := 9, arr", "A:{N:1,N:9}"},
      {"arr[1] += 10, arr[1]", "N:11"},
      {"m := {{1, 2}, {3}}, m[1, 2] := 'z', m[1]", "A:{N:1,C:z}"},
      {"h['k'] := 1, h['k'] += 1, h['k']", "N:2"},
      {"n := 1, n++, n", "N:2"},
      {"n := 1, ++n + 1", "N:3"},
      {"n := 5, n-- + 0", "N:5"},
      {"n", "N:4"},
      {"dd := Ctod('31/01/24'), ++dd", "D:20240201"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
  EXPECT_EQ(ev("arr[3] := 1"), "N:1");
  EXPECT_EQ(lastError(), "2/1133 array assign");
  EXPECT_EQ(ev("h['none']"), "U");
  EXPECT_EQ(lastError(), "2/1132 array access");
  EXPECT_EQ(ev("arr[0]"), "U");
  EXPECT_EQ(lastError(), "2/1132 array access");
  EXPECT_EQ(ev("s := 'a', s++"), "U");
  EXPECT_EQ(lastError(), "1/1086 ++");
  EXPECT_EQ(ev("undefinedName += 1"), "U");
  EXPECT_EQ(lastError(), "14/1003 UNDEFINEDNAME");
}

TEST_F(Eval, MacroEvaluatesTextsAtRunTime) {
  rt::publicVar("cExpr", Value("1 + 2"));
  rt::publicVar("cName", Value("zz"));
  EXPECT_EQ(ev("&cExpr"), "N:3");
  EXPECT_EQ(ev("&(cExpr) * 2"), "N:6");
  EXPECT_EQ(ev("&('Upper(' + \"'a')\")"), "C:A");
  EXPECT_EQ(ev("&cName := 5, zz"), "N:5");
  EXPECT_EQ(ev("&cName += 1, M->zz"), "N:6");
  // The macro's compiled form follows a changing text.
  Compiled c = compile("&cExpr");
  EXPECT_EQ(show(c.eval()), "N:3");
  rt::publicVar("cExpr", Value("'x'"));
  EXPECT_EQ(show(c.eval()), "C:x");
  EXPECT_EQ(lastError(), "");
  rt::publicVar("cExpr", Value(1));
  EXPECT_EQ(ev("&cExpr"), "U");
  EXPECT_EQ(lastError(), "1/1065 &");
  rt::publicVar("cExpr", Value("1 +"));
  EXPECT_EQ(ev("&cExpr"), "U");
  EXPECT_EQ(lastError(), "7/1449 1 +");
}

TEST_F(Eval, CallbacksWithParameters) {
  struct Case cases[] = {
      {"Eval({|a, b| a + b}, 1, 2)", "N:3"},
      {"Eval({|| 1, 2})", "N:2"},
      {"Eval({||})", "U"},
      {"Eval({|a| a})", "U"},
      {"Eval({|a, b| b}, 1)", "U"},
      {"b := {|x| x * 2}, Eval(b, 21)", "N:42"},
      // Parameters are local: the name outside the callback is a variable.
      {"x := 'outer', Eval({|x| x}, 'inner') + x", "C:innerouter"},
      {"Eval({|x| Eval({|x| x * 10}, x + 1)}, 1)", "N:20"},
      // Inner callbacks keep the parameters they refer to.
      {"mk := {|n| {|x| x + n}}, add5 := Eval(mk, 5), Eval(add5, 1)", "N:6"},
      {"c := Eval({|n| {|| n := n + 1}}, 0), Eval(c), Eval(c)", "N:2"},
      {"Eval({|a| {|| {|| a}}}, 7)", "B:{|| {|| a}}"},
      {"Eval(Eval(Eval({|a| {|| {|| a}}}, 7)))", "N:7"},
      // By reference: the callback writes the caller's variable.
      {"v := 1, Eval({|p| p := p + 10}, @v), v", "N:11"},
      {"Eval({|a| Eval({|p| p := 5}, @a), a}, 1)", "N:5"},
      {"Eval({|p| p := 3}, @M->newVar), newVar", "N:3"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
  Compiled c = compile("{|a, b| a * b}");
  Args args{Value(3), Value(4)};
  EXPECT_EQ(show(c.evalWith(args)), "N:12");
  EXPECT_EQ(show(c.eval()), "B:{|a, b| a * b}");
}

TEST_F(Eval, BlocksFromTextsKeepTheirSourceAndCreatorFrame) {
  rt::registerRoutine("WHO", [](Args&) { return Value(rt::routineAt(0)); });
  Value literal, plain;
  {
    rt::FrameGuard f("tela.prg", "CRIADOR", 12);
    literal = toBlock("{|a| a + 1, Who()}");
    plain = toBlock("ProcName(0) + '/' + Str(ProcLine(0), 2)");
  }
  ASSERT_TRUE(literal.isBlock());
  EXPECT_EQ(literal.blockRep()->source, "{|a| a + 1, Who()}");
  EXPECT_EQ(literal.blockRep()->creator, "CRIADOR");
  EXPECT_EQ(show(evalBlock(literal, {Value(1)})), "C:(b)CRIADOR");
  ASSERT_TRUE(plain.isBlock());
  EXPECT_EQ(plain.blockRep()->source, "ProcName(0) + '/' + Str(ProcLine(0), 2)");
  EXPECT_EQ(show(evalBlock(plain)), "C:(b)CRIADOR/12");
  std::vector<rt::FrameInfo> seen;
  rt::registerRoutine("STACK", [&seen](Args&) {
    seen = rt::callStack();
    return Value();
  });
  Value b;
  {
    rt::FrameGuard f("tela.prg", "CRIADOR", 30);
    b = toBlock("{|| Stack()}");
  }
  {
    rt::FrameGuard f("outro.prg", "CHAMADOR", 5);
    evalBlock(b);
  }
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].routine, "(b)CRIADOR");
  EXPECT_EQ(seen[0].module, "tela.prg");
  EXPECT_EQ(seen[0].line, 30);
  EXPECT_EQ(seen[1].routine, "CHAMADOR");
  EXPECT_FALSE(toBlock("1 +").isBlock());
  EXPECT_EQ(lastError(), "7/1449 1 +");
}

TEST_F(Eval, ObjectsAnswerMessages) {
  auto cls = std::make_shared<ClassDef>();
  cls->name = "TCONTA";
  cls->methods.push_back({"DOBRA", [](Value& self, Args& a) {
                            return Value::number(a[0].num() * 2 + self.objectRep()->field("SALDO")->num(), 0);
                          }});
  cls->methods.push_back({"_LIMITE", [](Value& self, Args& a) {
                            *self.objectRep()->field("SALDO") = Value::number(a[0].num() * 100, 0);
                            return Value();
                          }});
  cls->onUnknown = [](Value&, std::string_view msg, Args& a) {
    return Value(std::string(msg) + "/" + std::to_string(a.size()));
  };
  rt::publicVar("o", makeObject(cls, {{"SALDO", Value(1)}, {"NOME", Value("x")}}));
  struct Case cases[] = {
      {"o:nome", "C:x"},
      {"o:Nome := 'y', o:NOME", "C:y"},
      {"o:dobra(4)", "N:9"},
      {"o:saldo += 1, o:saldo", "N:2"},
      {"o:limite := 3, o:saldo", "N:300"},
      {"o:outra(1, 2)", "C:OUTRA/2"},
      {"o:outra", "C:OUTRA/0"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
  auto bare = std::make_shared<ClassDef>();
  bare->name = "TBARE";
  rt::publicVar("p", makeObject(bare, {}));
  EXPECT_EQ(ev("p:nada(1)"), "U");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].args.size(), 2u);  // the object and the argument
  EXPECT_EQ(lastError(), "13/1004 NADA");
  EXPECT_EQ(ev("(1):nada"), "U");
  EXPECT_EQ(lastError(), "13/1004 NADA");
}

}  // namespace
}  // namespace kor::expr::testing
