#include <gtest/gtest.h>

#include "expr/expr.h"
#include "expr/memory_data.h"
#include "runtime/error.h"
#include "runtime/registry.h"
#include "runtime/settings.h"
#include "runtime/vars.h"
#include "values/convert.h"
#include "values/routines.h"

namespace kor {
namespace {

class ExprBound : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetSettings();
    rt::resetVars();
    expr::registerRoutines();
    values::registerRoutines();
    area_ = data_.open("RICLAS", {{"NOME", 'C', 10, 0},
                                  {"VALOR", 'N', 10, 2},
                                  {"DATA", 'D', 8, 0},
                                  {"ATIVO", 'L', 1, 0},
                                  {"OBS", 'M', 10, 0}});
    data_.append(area_);
    expr::setDataContext(&data_);
  }
  void TearDown() override {
    expr::setDataContext(nullptr);
    rt::resetVars();
    rt::setErrorHandler({});
  }
  expr::MemoryData data_;
  int area_ = 0;
};

TEST_F(ExprBound, XtoXFitsTheValueToTheField) {
  struct Case {
    Value field, value, upper;
    Value out;
  } cases[] = {
      {Value("NOME"), Value("abc"), Value(), Value("abc       ")},
      {Value(" nome "), Value("ab\r\ncd"), Value(), Value("ab  cd    ")},
      {Value("NOME"), Value("A\xE7\xE3o"), Value(), Value("Acao      ")},  // Windows-1252 accents
      {Value("NOME"), Value("abcdefghijkl"), Value(), Value("abcdefghij")},
      {Value("NOME"), Value("abc"), Value::logical(true), Value("ABC       ")},
      {Value("NOME"), Value::number(12.5, 1), Value(), Value("12,5      ")},
      {Value("NOME"), Value(), Value(), Value("          ")},
      {Value(1), Value("abc"), Value(), Value("abc       ")},
      {Value("VALOR"), Value("1.234,56"), Value(), Value::number(1234.56, 2)},
      {Value("VALOR"), Value(), Value(), Value(0)},
      {Value(2), Value(5), Value(), Value(5)},
      {Value("DATA"), Value("25/12/21"), Value(), Value::ymd(2021, 12, 25)},
      {Value("DATA"), Value(), Value(), Value::emptyDate()},
      {Value("DATA"), Value::ymd(2020, 1, 1), Value(), Value::ymd(2020, 1, 1)},
      {Value("ATIVO"), Value(), Value(), Value::logical(false)},
      {Value("ATIVO"), Value("T"), Value(), Value("T")},
      {Value("OBS"), Value("x"), Value(), Value("x")},
      {Value("XYZ"), Value("a"), Value(), Value("a")},
      {Value(0), Value("a"), Value(), Value("a")},
      {Value(99), Value("a"), Value(), Value("a")},
  };
  for (auto& c : cases) {
    Value r = X_TO_X(c.field, c.value, c.upper);
    std::string what = std::string(c.field.str()) + " " + std::string(c.value.str());
    ASSERT_EQ(r.typeLetter(), c.out.typeLetter()) << what;
    if (c.out.isNumber()) EXPECT_DOUBLE_EQ(r.num(), c.out.num()) << what;
    else if (c.out.isDate()) EXPECT_EQ(r.julian(), c.out.julian()) << what;
    else if (c.out.isLogical()) EXPECT_EQ(r.log(), c.out.log()) << what;
    else EXPECT_EQ(r.string(), c.out.string()) << what;
  }
  expr::setDataContext(nullptr);
  EXPECT_EQ(X_TO_X(Value("NOME"), Value("abc")).string(), "abc");  // no tables at all
}

TEST_F(ExprBound, LarguraAndSonumeroEvaluateTexts) {
  rt::publicVar("NX", Value::number(1234.5, 2));
  rt::publicVar("DX", Value::ymd(2021, 1, 1));
  data_.fieldPut(area_, 2, Value::number(12.5, 2));
  struct Case {
    const char* text;
    Value mode;
    int out;
  } cases[] = {
      {"NX", Value(), 13},     {"NX", Value("D"), 2},      {"NX", Value("d"), 2},  {"'abc'", Value(), 3},
      {"'abc'", Value("D"), 0}, {"DX", Value(), 8},        {"VALOR", Value(), 10}, {"VALOR", Value("D"), 1 + 1},
      {"12", Value(), 10},     {"1.500", Value("D"), 3},   {"NOME", Value(), 10},
  };
  for (auto& c : cases) EXPECT_EQ(LARGURA(Value(c.text), c.mode).integer(), c.out) << c.text;
  EXPECT_TRUE(SONUMERO(Value("1+2")).log());
  EXPECT_TRUE(SONUMERO(Value("VALOR")).log());
  EXPECT_FALSE(SONUMERO(Value("'a'")).log());
  EXPECT_FALSE(SONUMERO(Value(5)).log());
  EXPECT_EQ(rt::callRoutine("LARGURA", {Value("NX")}).integer(), 13);
  EXPECT_TRUE(rt::callRoutine("SONUMERO", {Value("NX * 2")}).log());
}

TEST_F(ExprBound, TextsThatCannotBeEvaluatedGoToTheHandler) {
  int raised = 0;
  rt::setErrorHandler([&](rt::ErrorRecord& rec) {
    ++raised;
    return rt::ErrorAnswer::byDefault();
  });
  EXPECT_FALSE(SONUMERO(Value("1 +")).log());
  EXPECT_EQ(LARGURA(Value("NOSUCHVAR")).integer(), 0);
  EXPECT_EQ(raised, 2);
}

}  // namespace
}  // namespace kor
