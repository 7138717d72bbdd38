// Names: fields of work areas, aliases, variables, routines, their errors
// and caches; type letters without side effects.
#include "expr/tests/fixture.h"

namespace kor::expr::testing {
namespace {

class Names : public ExprTest {
 protected:
  void SetUp() override {
    ExprTest::SetUp();
    data.open("RICLAS", {{"NCM", 'C', 8}, {"DATA", 'D', 8}, {"HORA", 'C', 8}, {"VALOR", 'N', 10, 2}});
    data.append(1, {Value("12345678"), Value::ymd(2024, 1, 31), Value("12:00:00"), Value::number(1.5, 1)});
    data.append(1, {Value("87654321"), Value::ymd(2023, 12, 1), Value("08:30:00"), Value(7)});
    data.go(1, 1);
    data.open("RICLA9", {{"CAMPO", 'C', 10}, {"NCM", 'C', 8}});
    data.append(2, {Value("DESCRICAO"), Value("99999999")});
    setDataContext(&data);
    rt::registerRoutine("RECNO", [this](Args&) { return Value(data.recno(data.currentArea())); });
    rt::registerRoutine("SELECT", [this](Args&) { return Value(data.currentArea()); });
  }
  MemoryData data;
};

TEST_F(Names, FieldsOfTheCurrentAndOtherAreas) {
  struct Case {
    const char* text;
    const char* value;
  } cases[] = {
      {"NCM", "C:12345678"},
      {"ncm", "C:12345678"},
      {"riclas->ncm", "C:12345678"},
      {"RICLA9->NCM", "C:99999999"},
      {"FIELD->NCM", "C:12345678"},
      {"_FIELD->NCM", "C:12345678"},
      {"2->CAMPO", "C:DESCRICAO "},
      {"(\"ricla9\")->CAMPO", "C:DESCRICAO "},
      {"(1 + 1)->CAMPO", "C:DESCRICAO "},
      {"VALOR", "N:1.50"},
      {"VALOR * 2", "N:3.00"},
      {"NCM+DTOS(DATA)+HORA", "C:123456782024013112:00:00"},
      {"ricla9->(CAMPO + NCM)", "C:DESCRICAO 99999999"},
      {"ricla9->(Select())", "N:2"},
      {"Select()", "N:1"},
      {"(2)->(Recno())", "N:1"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), c.value) << c.text;
    EXPECT_EQ(lastError(), "") << c.text;
  }
  EXPECT_EQ(evalText("VALOR").width(), 10);  // a field's value carries its width
}

TEST_F(Names, AreaComesBackWhenAnAliasedExpressionFails) {
  bool completed = rt::guard([&] { evalText("ricla9->(1 + 'x')"); }, [](rt::ErrorRecord&) {});
  EXPECT_FALSE(completed);
  EXPECT_EQ(data.currentArea(), 1);
  EXPECT_EQ(ev("ricla9->(NoSuchName)"), "U");
  EXPECT_EQ(lastError(), "14/1003 NOSUCHNAME");
  EXPECT_EQ(data.currentArea(), 1);
}

TEST_F(Names, FieldsComeBeforeVariables) {
  rt::publicVar("NCM", Value("variable"));
  rt::publicVar("cOnlyVar", Value(1));
  EXPECT_EQ(ev("NCM"), "C:12345678");
  EXPECT_EQ(ev("M->NCM"), "C:variable");
  EXPECT_EQ(ev("MEMVAR->ncm"), "C:variable");
  EXPECT_EQ(ev("cOnlyVar"), "N:1");
  // In another area the same text reads that area's field, or the variable.
  data.selectArea(2);
  EXPECT_EQ(ev("NCM"), "C:99999999");
  data.selectArea(3);  // no table open there
  EXPECT_EQ(ev("NCM"), "C:variable");
  EXPECT_EQ(lastError(), "");
}

TEST_F(Names, UnknownNamesRaiseRecordsTheHandlerCanAnswer) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"nope", "14/1003 NOPE"},
      {"M->NCM", "14/1003 NCM"},
      {"FIELD->nope", "14/1003 NOPE"},
      {"riclas->nope", "14/1003 RICLAS->NOPE"},
      {"NOALIAS->NCM", "15/1002 NOALIAS"},
      {"NOALIAS->(1)", "15/1002 NOALIAS"},
      {"('x')->NCM", "15/1002 X"},
      {"Nothing(1)", "12/1001 NOTHING"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ev(c.text), "U") << c.text;
    EXPECT_EQ(lastError(), c.error) << c.text;
  }
  // "No variable" may be retried (here the handler creates it first) or
  // answered with a value.
  answer = [](rt::ErrorRecord& e) {
    EXPECT_TRUE(e.canRetry && e.canDefault);
    rt::publicVar("NOPE", Value("made"));
    return rt::ErrorAnswer::retry();
  };
  EXPECT_EQ(ev("nope + '!'"), "C:made!");
  answer = [](rt::ErrorRecord&) { return rt::ErrorAnswer::substitute(Value(5)); };
  EXPECT_EQ(ev("other * 2"), "N:10");
  // An unknown routine may be registered and retried.
  answer = [](rt::ErrorRecord& e) {
    EXPECT_EQ(e.genCode, rt::kErrNoFunc);
    rt::registerRoutine("LATER", [](Args& a) { return Value::number(a[0].num() + 1, 0); });
    return rt::ErrorAnswer::retry();
  };
  EXPECT_EQ(ev("Later(1)"), "N:2");
}

TEST_F(Names, CachedPositionsFollowTablesAndVariables) {
  Compiled valor = compile("VALOR");
  EXPECT_EQ(show(valor.eval()), "N:1.50");
  // The table is closed and another one opened in the same area, with the
  // field at another position.
  data.close(1);
  data.open("RICLAS", {{"X", 'C', 1}, {"VALOR", 'N', 5, 0}}, 1);
  data.append(1, {Value("x"), Value(42)});
  EXPECT_EQ(show(valor.eval()), "N:42");
  data.close(1);
  rt::publicVar("VALOR", Value("var"));
  EXPECT_EQ(show(valor.eval()), "C:var");
  // Variables: a private one hides the public one while its routine runs.
  Compiled v = compile("cV");
  rt::publicVar("cV", Value(1));
  EXPECT_EQ(show(v.eval()), "N:1");
  {
    rt::FrameGuard f("ROTINA");
    rt::privateVar("cV", Value(2));
    EXPECT_EQ(show(v.eval()), "N:2");
  }
  EXPECT_EQ(show(v.eval()), "N:1");
  rt::releaseVar("cV");
  EXPECT_EQ(show(v.eval()), "U");
  EXPECT_EQ(lastError(), "14/1003 CV");
  // Another data context: positions are looked up again.
  MemoryData other;
  other.open("T", {{"CV", 'C', 3}});
  other.append(1, {Value("fld")});
  setDataContext(&other);
  EXPECT_EQ(show(v.eval()), "C:fld");
}

TEST_F(Names, AssignmentWritesVariablesBeforeFields) {
  EXPECT_EQ(ev("VALOR := 5"), "N:5");  // no variable VALOR: the field
  EXPECT_EQ(ev("VALOR"), "N:5.00");
  EXPECT_FALSE(rt::varExists("VALOR"));
  rt::publicVar("VALOR", Value(0));
  EXPECT_EQ(ev("VALOR := 9"), "N:9");  // the variable
  EXPECT_EQ(ev("M->VALOR"), "N:9");
  EXPECT_EQ(ev("FIELD->VALOR"), "N:5.00");
  EXPECT_EQ(ev("FIELD->VALOR := 7.456, FIELD->VALOR"), "N:7.46");
  EXPECT_EQ(ev("riclas->NCM := '99'"), "C:99");
  EXPECT_EQ(ev("NCM"), "C:99      ");
  EXPECT_EQ(ev("ricla9->CAMPO := 'Y', ricla9->CAMPO"), "C:Y         ");
  EXPECT_EQ(ev("M->novo := 1, novo"), "N:1");
  EXPECT_EQ(ev("NCM := 5"), "N:5");  // the table refuses a number
  EXPECT_EQ(lastError(), "33/1020 NCM");
  EXPECT_EQ(lastError(), "");
}

TEST_F(Names, CopyConditionWithACallback) {
  // The condition that copies only the current record: the callback turns
  // lWhile off on the record it accepts.
  const char* cond = "Recno() == cRecAtu .AND. EVal( { || lWhile := !Recno() == cRecAtu,.T. } )";
  rt::publicVar("cRecAtu", Value(2));
  rt::publicVar("lWhile", Value::logical(true));
  data.go(1, 1);
  EXPECT_EQ(ev(cond), "L:F");
  EXPECT_EQ(show(rt::getVar("lWhile")), "L:T");
  data.go(1, 2);
  EXPECT_EQ(ev(cond), "L:T");
  EXPECT_EQ(show(rt::getVar("lWhile")), "L:F");
  EXPECT_EQ(lastError(), "");
}

TEST_F(Names, TypeOfWithoutSideEffects) {
  int calls = 0;
  rt::registerRoutine("MINHA", [&calls](Args&) {
    ++calls;
    return Value(1);
  });
  rt::registerRoutine("PURA", [](Args&) { return Value::ymd(2020, 1, 1); }, rt::kPure);
  rt::publicVar("aList", Value::array({Value(0)}));
  rt::publicVar("nCount", Value(1));
  rt::publicVar("mMemo", Value::memo("m"));
  rt::publicVar("cCode", Value("'a' + 'b'"));
  rt::publicVar("cBad", Value("1 +"));
  struct Case {
    const char* text;
    const char* type;
  } cases[] = {
      {"1", "N"},
      {"'a'", "C"},
      {"Date()", "D"},
      {".T.", "L"},
      {"{}", "A"},
      {"{|| 1}", "B"},
      {"NIL", "U"},
      {"NCM", "C"},
      {"DATA", "D"},
      {"riclas->VALOR", "N"},
      {"mMemo", "M"},
      {"undefinedvar", "U"},
      {"nope->NCM", "U"},
      {"1 +", "UE"},
      {"(", "UE"},
      {"1 + 'a'", "U"},
      {"1 / 0", "N"},
      {"Minha()", "UI"},
      {"Pura()", "D"},
      {"NoRoutineAtAll()", "U"},
      {"Upper('a')", "C"},
      {"Substr(1)", "U"},
      {"Iif(.T., 1, 'a')", "N"},
      {"Iif(.F., Minha(), 'a')", "C"},
      {"Eval({|| 1})", "UI"},
      {"x := 1", "N"},
      {"aList[1] := 'z'", "C"},
      {"nCount++", "N"},
      {"NCM := 'changed'", "C"},
      {"&cCode", "C"},
      {"&cBad", "UE"},
      {"Type('1')", "C"},
      {"DTOC(DATA) + ' ' + HORA", "C"},
  };
  for (auto& c : cases) EXPECT_EQ(typeOf(c.text), c.type) << c.text;
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(rt::varExists("x"));
  EXPECT_EQ(show(rt::getVar("aList")), "A:{N:0}");
  EXPECT_EQ(show(rt::getVar("nCount")), "N:1");
  EXPECT_EQ(ev("NCM"), "C:12345678");
  EXPECT_TRUE(errors.empty());  // the handler never saw the failures
  EXPECT_EQ(compile("VALOR + 1").typeLetter(), "N");
  EXPECT_EQ(ev("Type('NCM') + Type('nada') + ValType(NCM)"), "C:CUC");
}

}  // namespace
}  // namespace kor::expr::testing
