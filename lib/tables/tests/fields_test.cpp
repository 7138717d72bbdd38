// Field helpers: FIELDX with its defaults, the record as a map and back,
// variable names, field lengths and structures, alias->field texts.
#include "tables/tests/fixture.h"
#include "values/cp850.h"
#include "values/textform.h"

namespace kor::tables::testing {
namespace {

using Fields = LayerTest;

int openShared(const std::string& name, const std::string& alias = "") {
  OpenSpec s;
  s.file = name;
  s.alias = alias;
  return openTable(s);
}

TEST_F(Fields, FieldxDefaults) {
  makeTable("riclas", 2);
  makeTable("outra", 1);
  int o = openShared("outra");
  area(o)->goTop();
  int n = openShared("riclas");
  area(n)->append();  // a blank record: empty fields
  struct Case {
    Value field, deflt, flag;
    Value expected;
  } cases[] = {
      {Value("VALOR"), Value(5), Value::logical(false), Value::number(0, 2)},  // empty, flag off
      {Value("VALOR"), Value(5), Value::logical(true), Value(5)},            // empty counts as missing
      {Value("FALTA"), Value(5), Value(), Value(5)},                         // missing field
      {Value("FALTA"), Value(), Value(), Value()},                           // missing, no default
      {Value("FALTA"), Value("OUTRA->NCM"), Value(), Value("10000001")},     // another table's field
      {Value("riclas->nome"), Value("x"), Value::logical(true), Value("x")},
      {Value(3), Value(), Value(), Value::number(0, 2)},
  };
  for (const Case& c : cases) {
    Value v = FIELDX(c.field, Value(), c.deflt, c.flag);
    EXPECT_TRUE(rt::valuesEqual(v, c.expected) && v.typeLetter() == c.expected.typeLetter())
        << c.field.string() << " -> " << v.string();
  }
  EXPECT_EQ(currentArea(), n);

  EXPECT_EQ(FIELDX(Value("NOME"), Value("ANA")).string(), "ANA");
  EXPECT_EQ(alltrim(area(n)->getField(2).str()), "ANA");
  EXPECT_EQ(FIELDX(Value("FALTA"), Value("x")).string(), "x");  // nothing written, no error
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Fields, RecordAsMapAndBack) {
  makeTable("riclas", 2);
  int n = openShared("riclas");
  area(n)->goTo(2);
  Value map = FIELDTOHASH();
  ASSERT_TRUE(map.isHash());
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map.hashRep()->pairs[0].first.string(), "NCM");
  EXPECT_EQ(map.get(Value("NCM")).string(), "10000002");
  EXPECT_DOUBLE_EQ(map.get(Value("VALOR")).num(), 3.0);

  map.set(Value("NOME"), Value("TROCADO"));
  map.set(Value("VALOR"), Value::number(7.25, 2));
  area(n)->goTo(1);
  HASHTOFIELD(map);
  EXPECT_TRUE(area(n)->lockList().empty());  // written under the lock, then released
  area(n)->refresh();
  EXPECT_EQ(area(n)->getField(1).string(), "10000002");
  EXPECT_EQ(alltrim(area(n)->getField(2).str()), "TROCADO");
  EXPECT_DOUBLE_EQ(area(n)->getField(3).num(), 7.25);
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Fields, VariableNamesOfTheFields) {
  ASSERT_TRUE(createTable("cad", {{"CI_NOME", 'C', 10, 0}, {"VALOR", 'N', 5, 0}, {"CI_DISPOS", 'C', 1, 0},
                                 {"NOME", 'N', 3, 0}}));
  openShared("cad");
  Value list = Value::array({Value::array({Value("X"), Value("Y")})});
  EXPECT_EQ(MOVECAMPOS(list), 5);
  const char* expected[][2] = {{"X", "Y"}, {"CNOME", "CI_NOME"}, {"NVALOR", "VALOR"}, {"CDISPOS", "CI_DISPOS"},
                               {"NNOME", "NOME"}};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(list.at(i).at(0).string(), expected[i][0]);
    EXPECT_EQ(list.at(i).at(1).string(), expected[i][1]);
  }
  // By name, the list passed by reference is filled.
  rt::publicVar("AVARS", Value());
  EXPECT_EQ(rt::callRoutine("MOVECAMPOS", {rt::varRef("AVARS")}).integer(), 4);
  EXPECT_EQ(rt::getVar("AVARS").size(), 4u);
}

TEST_F(Fields, LengthsAndStructuresOpenWhatTheyNeedAndCloseItAgain) {
  makeTable("riclas");
  makeTable("outra");
  int o = openShared("outra");
  EXPECT_EQ(TAMANHOCAMPO("RICLAS->NOME"), 20);  // opened for the call
  EXPECT_EQ(areaOf("RICLAS"), 0);
  EXPECT_EQ(currentArea(), o);
  EXPECT_EQ(TAMANHOCAMPO("OUTRA->NCM"), 8);
  EXPECT_EQ(TAMANHOCAMPO("FIELD->VALOR"), 8);
  EXPECT_EQ(TAMANHOCAMPO("OUTRA->FALTA"), 0);
  EXPECT_TRUE(loudErrors().empty());
  // A table that does not exist: its open error goes to the handler.
  EXPECT_EQ(TAMANHOCAMPO("NADA->X"), 0);
  ASSERT_EQ(loudErrors().size(), 1u);
  EXPECT_EQ(loudErrors()[0].osCode, plat::kNotFound);
  errors.clear();
  EXPECT_EQ(areaOf("OUTRA"), o);

  int r = openShared("riclas");
  selectArea(o);
  Value s = ACREATESTRUCT(Value::array({Value("RICLAS->NCM")}));
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s.at(0).at(0).string(), "NCM");
  EXPECT_EQ(s.at(0).at(1).string(), "C");
  EXPECT_EQ(s.at(0).at(2).integer(), 8);
  EXPECT_EQ(s.at(0).at(3).integer(), 0);
  EXPECT_EQ(currentArea(), o);
  closeArea(r);

  s = ACREATESTRUCT(Value::array({Value("VALOR"), Value("FALTA"), Value("NCM")}), "riclas");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s.at(0).at(0).string(), "VALOR");
  EXPECT_EQ(s.at(0).at(3).integer(), 2);
  EXPECT_EQ(s.at(1).at(0).string(), "NCM");
  EXPECT_EQ(areaOf("RICLAS"), 0);  // opened here, closed again
  EXPECT_EQ(currentArea(), o);
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Fields, FieldValuesByReferenceText) {
  makeTable("riclas", 1);
  int r = openShared("riclas");
  area(r)->goTop();
  selectArea(0);
  int cur = currentArea();
  EXPECT_EQ(DBCV("RICLAS->NCM").string(), "10000001");
  EXPECT_EQ(DBCV(std::to_string(r) + "->NCM").string(), "10000001");
  EXPECT_EQ(DBCV("RICLAS->FALTA").string(), "Campo não existe"_cp);
  EXPECT_EQ(DBCV("NADA->NCM").string(), "Area não disponível"_cp);
  EXPECT_EQ(DBCV("FIELD->NCM").string(), "Area não disponível"_cp);  // the current area is empty
  EXPECT_EQ(currentArea(), cur);
  EXPECT_TRUE(loudErrors().empty());
}

}  // namespace
}  // namespace kor::tables::testing
