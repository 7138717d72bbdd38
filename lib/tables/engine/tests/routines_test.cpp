// The table functions as the expression language sees them, and field
// names resolved through the engine.
#include "expr/expr.h"
#include "tables/engine/errors.h"
#include "tables/engine/tests/fixture.h"

namespace kor::tables::testing {
namespace {

class Routines : public EngineTest {
 public:
  void SetUp() override {
    EngineTest::SetUp();
    expr::registerRoutines();
    registerRoutines();
    ASSERT_TRUE(createTable("clientes", {{"NOME", 'C', 10, 0}, {"IDADE", 'N', 3, 0}, {"OBS", 'M', 10, 0}}));
    WorkArea* a = use("clientes", false);
    const char* names[] = {"Ana", "Bruno", "Carla", "Davi"};
    for (int i = 0; i < 4; ++i) {
      a->append();
      a->putField(1, Value(names[i]));
      a->putField(2, Value(20 + 10 * i));
    }
    closeAll();
  }
  Value eval(const std::string& text) { return expr::evalText(text); }
};

TEST_F(Routines, QuestionsAndMovement) {
  EXPECT_TRUE(eval("EOF()").log());  // no table: as an empty one
  EXPECT_EQ(eval("RECNO()").num(), 0);
  EXPECT_EQ(eval("ALIAS()").str(), "");
  eval("DBUSEAREA(.T., 'DBFNTX', 'clientes', 'CLI', .T., .F.)");
  EXPECT_FALSE(eval("NETERR()").log());
  EXPECT_EQ(eval("ALIAS()").str(), "CLI");
  EXPECT_EQ(eval("SELECT('cli')").num(), 1);
  EXPECT_EQ(eval("SELECT()").num(), 1);
  EXPECT_TRUE(eval("USED()").log());
  EXPECT_EQ(eval("RECNO()").num(), 1);
  EXPECT_EQ(eval("RECCOUNT()").num(), 4);
  EXPECT_EQ(eval("LASTREC()").num(), 4);
  EXPECT_EQ(eval("FCOUNT()").num(), 3);
  EXPECT_EQ(eval("FIELDNAME(2)").str(), "IDADE");
  EXPECT_EQ(eval("FIELDPOS('obs')").num(), 3);
  EXPECT_EQ(eval("FIELDGET(1)").str(), "Ana       ");
  EXPECT_EQ(eval("NOME").str(), "Ana       ");  // a field name
  EXPECT_EQ(eval("CLI->IDADE + 1").num(), 21);
  eval("DBSKIP(2)");
  EXPECT_EQ(eval("RECNO()").num(), 3);
  eval("DBGOBOTTOM()");
  EXPECT_EQ(eval("NOME").str(), "Davi      ");
  eval("DBSKIP()");
  EXPECT_TRUE(eval("EOF()").log());
  eval("DBGOTOP()");
  eval("DBSKIP(-1)");
  EXPECT_TRUE(eval("BOF()").log());
  eval("DBGOTO(2)");
  EXPECT_EQ(eval("Upper(NOME)").str(), "BRUNO     ");
  Value s = eval("DBSTRUCT()");
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s.at(2).at(1).str(), "M");
  EXPECT_EQ(eval("HEADER()").num(), 32 * 4 + 1);
  EXPECT_EQ(eval("RECSIZE()").num(), 1 + 10 + 3 + 10);
  EXPECT_TRUE(errors.empty());
}

TEST_F(Routines, ChangesLocksAndFilters) {
  eval("DBUSEAREA(.T.,, 'clientes',, .T.)");
  eval("DBGOTO(2)");
  EXPECT_TRUE(eval("RLOCK()").log());
  EXPECT_EQ(eval("DBRLOCKLIST()").size(), 1u);
  EXPECT_EQ(eval("FIELDPUT(2, 55)").num(), 55);
  eval("OBS := 'nota livre'");  // assignment to a field
  eval("DBUNLOCK()");
  EXPECT_EQ(eval("DBRLOCKLIST()").size(), 0u);
  EXPECT_EQ(eval("IDADE").num(), 55);
  EXPECT_EQ(eval("OBS").str(), "nota livre");
  EXPECT_EQ(eval("ValType(OBS)").str(), "M");

  eval("DBAPPEND()");
  EXPECT_FALSE(eval("NETERR()").log());
  EXPECT_EQ(eval("RECNO()").num(), 5);
  EXPECT_EQ(eval("DBRLOCKLIST()").at(0).num(), 5);  // the new record is locked
  eval("FIELDPUT(1, 'Eva')");
  eval("DBDELETE()");
  EXPECT_TRUE(eval("DELETED()").log());
  eval("DBRECALL()");
  EXPECT_FALSE(eval("DELETED()").log());
  eval("DBCOMMIT()");
  eval("DBUNLOCKALL()");

  // A filter given as an expression text.
  eval("DBSETFILTER({|| IDADE > 35 }, 'IDADE > 35')");
  EXPECT_EQ(eval("DBFILTER()").str(), "IDADE > 35");
  eval("DBGOTOP()");
  std::vector<int> seen;
  while (!eval("EOF()").log()) {
    seen.push_back(static_cast<int>(eval("RECNO()").num()));
    eval("DBSKIP()");
  }
  EXPECT_EQ(seen, (std::vector<int>{2, 3, 4}));
  eval("DBCLEARFILTER()");
  area()->setFilter(Condition(Value("NOME = 'C'")));  // a text condition alone
  eval("DBGOTOP()");
  EXPECT_EQ(eval("RECNO()").num(), 3);
  eval("DBCLEARFILTER()");

  // DBEVAL with for and while conditions.
  rt::publicVar("nSoma", Value(0));
  eval("DBEVAL({|| nSoma := nSoma + IDADE }, {|| IDADE >= 40 })");
  EXPECT_EQ(rt::getVar("nSoma").num(), 55 + 40 + 50);
  EXPECT_TRUE(eval("__DBLOCATE({|| NOME = 'Carla' })").log());
  EXPECT_TRUE(eval("FOUND()").log());
  EXPECT_EQ(eval("RECNO()").num(), 3);
  EXPECT_TRUE(errors.empty());
}

TEST_F(Routines, AreasCreateAndCopy) {
  eval("DBCREATE('novo', {{'COD','C',5,0},{'VAL','N',8,2}})");
  eval("DBUSEAREA(.T.,, 'novo',, .F.)");
  EXPECT_EQ(eval("ALIAS()").str(), "NOVO");
  eval("DBAPPEND()");
  eval("COD := 'X1'");
  eval("VAL := 10.255");
  EXPECT_DOUBLE_EQ(eval("VAL").num(), 10.26);  // rounded to the field's decimals
  eval("DBUSEAREA(.T.,, 'clientes',, .T., .T.)");
  EXPECT_EQ(eval("SELECT()").num(), 2);
  EXPECT_EQ(eval("NOVO->COD").str(), "X1   ");
  EXPECT_EQ(eval("NOVO->(RECNO())").num(), 1);
  EXPECT_EQ(eval("SELECT()").num(), 2);
  eval("DBSELECTAREA('NOVO')");
  EXPECT_EQ(eval("SELECT()").num(), 1);
  eval("DBSELECTAREA(2)");
  eval("__DBCOPY('copia', {'NOME'}, {|| IDADE < 40 })");
  eval("DBUSEAREA(.T.,, 'copia',, .T.)");
  EXPECT_EQ(eval("RECCOUNT()").num(), 2);
  EXPECT_EQ(eval("FCOUNT()").num(), 1);
  eval("DBCLOSEAREA()");
  EXPECT_FALSE(eval("USED()").log());
  eval("DBCLOSEALL()");
  EXPECT_TRUE(usedAreas().empty());

  // An open that fails: the error, then NETERR() for a sharing violation.
  WorkArea* ex = use("clientes", false);
  ASSERT_NE(ex, nullptr);
  OpenSpec again;
  again.file = "clientes";
  again.alias = "OUTRO";
  errors.clear();
  EXPECT_EQ(openTable(again), 0);
  EXPECT_TRUE(eval("NETERR()").log());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].osCode, 32);
  EXPECT_EQ(errors[0].genCode, rt::kErrOpen);
}

TEST_F(Routines, ActionsWithoutATableRaiseNoTable) {
  eval("DBSKIP()");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].genCode, rt::kErrNoTable);
  EXPECT_EQ(errors[0].operation, "DBSKIP");
  EXPECT_FALSE(eval("RLOCK()").log());
}

}  // namespace
}  // namespace kor::tables::testing
