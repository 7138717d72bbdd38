// The layer's routines with index files: attaching at the opening, the
// rebuild GERAINDEX on its maintenance screen, keys in the lock log,
// snapshots with orders, scratch tables with keys.
#include "tables/engine/indexes.h"
#include "tables/tests/fixture.h"
#include "values/cp850.h"
#include "values/textform.h"

namespace kor::tables::testing {
namespace {

using Indexed = LayerTest;

std::vector<std::string> rowsOf(const std::string& text) {
  std::vector<std::string> rows;
  size_t at = 0;
  for (;;) {
    size_t nl = text.find('\n', at);
    rows.push_back(text.substr(at, nl == std::string::npos ? std::string::npos : nl - at));
    if (nl == std::string::npos) return rows;
    at = nl + 1;
  }
}

// Makes an index file over a table (closed again).
void makeIndex(const std::string& table, const std::string& file, const std::string& key) {
  OpenSpec s;
  s.file = table;
  s.alias = "_MKIDX";
  s.shared = false;
  int n = openTable(s);
  ASSERT_NE(n, 0);
  IndexSpec spec;
  spec.file = file;
  spec.key = key;
  ASSERT_TRUE(orderCreate(*area(n), spec));
  closeArea(n);
}

TEST_F(Indexed, TheRebuildBuildsTheIndexFileWithItsOrderName) {
  makeTable("riclas", 6);
  {
    OpenSpec s;
    s.file = "riclas";
    s.shared = false;
    int n = openTable(s);
    area(n)->goTo(2);
    area(n)->deleteRecord();
    closeArea(n);
  }
  rt::publicVar("NTOTARQS", Value(2));
  rt::publicVar("NCONTARQ", Value(0));
  GERAINDEX("riclas", Value::array({Value::array({Value("RICLAS"), Value("NCM"), Value("Classificação"_cp)})}));
  EXPECT_TRUE(plat::fileExists(file("RICLAS.ntx")));
  EXPECT_EQ(usedAreas().size(), 0u);  // closed again
  EXPECT_EQ(rt::getVar("NCONTARQ").integer(), 1);

  std::vector<std::string> rows = rowsOf(screen->text());
  EXPECT_EQ(rows[11].substr(25, 10), "RICLAS.DBF");
  EXPECT_EQ(rows[12].substr(25, 10), "RICLAS.ntx");
  EXPECT_EQ(rows[12].substr(51, 8), "       5");  // after the pack
  EXPECT_EQ(rows[13].substr(17, 46), std::string("Classificação"_cp) + std::string(33, ' '));
  EXPECT_EQ(rows[15].substr(15, 26), std::string(25, '\xDB') + " ");

  int n = ABREARQ(Value("riclas"), Value("RICLAS"));
  ASSERT_NE(n, 0);
  WorkArea* w = area(n);
  ASSERT_EQ(w->orderCount(), 1);
  EXPECT_EQ(w->order(1)->name(), "RICLAS");
  EXPECT_EQ(w->order(1)->keyExpr(), "NCM");
  EXPECT_EQ(w->recCount(), 5u);
  EXPECT_EQ(w->order(1)->keyCount(), 5u);
  EXPECT_TRUE(w->seek(Value("10000004"), false, false));
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Indexed, RebuildOfAMissingTableOnlyAdvancesTheBar) {
  rt::publicVar("NTOTARQS", Value(4));
  GERAINDEX("naoexiste", Value::array({Value::array({Value("NAOEXISTE"), Value("NCM")})}));
  EXPECT_EQ(rt::getVar("NCONTARQ").integer(), 1);
  EXPECT_EQ(rowsOf(screen->text())[15].substr(15, 13), std::string(12, '\xDB') + " ");
  EXPECT_FALSE(plat::fileExists(file("NAOEXISTE.ntx")));
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Indexed, RebuildOfATableOpenHereAsksFirst) {
  makeTable("riclas", 2);
  ABREARQ(Value("riclas"));
  std::string shown;
  screen->probe([&] { shown = screen->text(); }, 5);
  screen->type({con::key::Right, con::key::Enter});
  GERAINDEX("riclas", Value::array({Value::array({Value("RICLAS"), Value("NCM")})}));
  EXPECT_NE(shown.find("O arquivo ( riclas ) está sendo usado. Continua..."_cp), std::string::npos) << shown;
  EXPECT_NE(shown.find("Próximo Arquivo"_cp), std::string::npos);
  EXPECT_FALSE(plat::fileExists(file("RICLAS.ntx")));
  EXPECT_EQ(rt::getVar("NCONTARQ").integer(), 1);
  EXPECT_NE(areaOf("RICLAS"), 0);  // left open as it was
}

TEST_F(Indexed, RebuildEntryNamesAndThePercentage) {
  makeTable("riclas", 4);
  rt::publicVar("LNTXPROG", Value::logical(true));
  GERAINDEX("riclas", Value::array({Value::array({Value("RICLAS.DBF"), Value("NCM")}),
                                    Value::array({Value("NOMES.NTX"), Value("NOME")})}));
  EXPECT_TRUE(plat::fileExists(file("riclas.dbf")));  // the table was not taken for an index
  EXPECT_TRUE(plat::fileExists(file("RICLAS.ntx")));
  EXPECT_TRUE(plat::fileExists(file("NOMES.NTX")));
  EXPECT_FALSE(plat::fileExists(file("NOMES.NTX.ntx")));
  EXPECT_EQ(rowsOf(screen->text())[12].substr(40, 7), "100.00%");
}

TEST_F(Indexed, TheOpeningAttachesTheIndexesInOrder) {
  makeTable("riclas", 3);
  makeIndex("riclas", "RICLAS", "NCM");
  makeIndex("riclas", "RICNOME", "NOME");
  rt::publicVar("CARQNTX1", Value());
  int n = ABREARQ(Value("riclas"), Value::array({Value("RICLAS"), Value("ricnome.ntx")}));
  WorkArea* w = area(n);
  ASSERT_EQ(w->orderCount(), 2);
  EXPECT_EQ(w->controlling(), 1);
  EXPECT_EQ(w->order(2)->name(), "RICNOME");
  EXPECT_EQ(rt::getVar("CARQNTX1").string(), "RICLAS");
  EXPECT_FALSE(rt::varExists("CARQNTX2"));  // only declared ones receive names
  closeAll();
  n = ABREARQ(Value("riclas"), Value::array({Value("RICLAS"), Value("RICNOME")}), Value(), Value(2));
  EXPECT_EQ(area(n)->controlling(), 2);
  // The already-open table: the order given is made controlling.
  ABREARQ(Value("riclas"), Value(), Value(), Value(1));
  EXPECT_EQ(area(n)->controlling(), 1);

  // A missing index: the handler sees the opening text with the indexes.
  closeAll();
  std::string during;
  rt::setErrorHandler([&](rt::ErrorRecord& e) {
    errors.push_back(e);
    during = rt::getVar("_ABRINDO").string();
    return rt::ErrorAnswer::byDefault();
  });
  n = ABREARQ(Value("riclas"), Value::array({Value("RICLAS"), Value("FALTA")}));
  EXPECT_NE(n, 0);
  EXPECT_EQ(during, "riclas, RICLAS, FALTA");
  EXPECT_EQ(area(n)->orderCount(), 1);
  EXPECT_EQ(rt::getVar("_ABRINDO").string(), "");
}

TEST_F(Indexed, CheckedIndexesAttachNormally) {
  makeTable("riclas", 3);
  makeIndex("riclas", "RICLAS", "NCM");
  rt::publicVar("CHKINDICE", Value::logical(true));
  int n = ABREARQ(Value("riclas"), Value("RICLAS"));
  EXPECT_EQ(area(n)->orderCount(), 1);
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Indexed, TheLockLogNamesTheRecordsKey) {
  makeTable("riclas", 3);
  makeIndex("riclas", "RICLAS", "NCM");
  int n = ABREARQ(Value("riclas"), Value("RICLAS"));
  area(n)->goTo(2);
  OpenSpec other;
  other.file = "riclas";
  other.alias = "OUTRO";
  int o = openTable(other);  // a second opening holds the record
  ASSERT_TRUE(area(o)->lockRecord(2));
  selectArea(n);
  rt::publicVar("DBGLOCK", Value::logical(true));
  plat::VirtualClock clock;
  clock.onSleep([&](int64_t elapsed) {
    if (elapsed >= 3000) area(o)->unlock();
  });
  EXPECT_TRUE(BLOQREG());
  std::string log = plat::readWholeFile(file("LOCK.LOG")).value_or("");
  EXPECT_NE(log.find("RICLAS 10000002"), std::string::npos) << log;
}

TEST_F(Indexed, SnapshotsKeepTheOrders) {
  makeTable("riclas", 5);
  makeIndex("riclas", "RICLAS", "NCM");
  makeIndex("riclas", "RICNOME", "NOME");
  int n = ABREARQ(Value("riclas"), Value::array({Value("RICLAS"), Value("RICNOME")}), Value(), Value(2));
  area(n)->goTo(3);
  Value snap = SAVEAREA("riclas", true);
  ASSERT_EQ(snap.at(8).size(), 2u);
  EXPECT_EQ(upper(snap.at(8).at(0).str()), "RICLAS.NTX");
  EXPECT_EQ(snap.at(9).integer(), 2);
  selectArea(0);
  RESTAREA(snap);
  WorkArea* w = area(areaOf("RICLAS"));
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->orderCount(), 2);
  EXPECT_EQ(w->controlling(), 2);
  EXPECT_EQ(w->recNo(), 3u);
}

TEST_F(Indexed, TheReadOnlyUpgradeKeepsTheScopes) {
  makeTable("riclas", 9);
  makeIndex("riclas", "RICLAS", "NCM");
  ARQCONS(Value("riclas"), Value("RICLAS"), Value(kReadOnly));
  WorkArea* w = area();
  w->order(1)->setScope(0, Value("10000003"));
  w->order(1)->setScope(1, Value("10000006"));
  w->goTo(4);
  EXPECT_FALSE(ARQCONS(Value("riclas"), Value("RICLAS")));
  w = area();
  EXPECT_FALSE(w->readOnly());
  EXPECT_EQ(w->recNo(), 4u);
  EXPECT_EQ(w->order(1)->scope(0).string(), "10000003");
  EXPECT_EQ(w->order(1)->scope(1).string(), "10000006");
  EXPECT_EQ(w->order(1)->keyCount(), 4u);
}

TEST_F(Indexed, ScratchTablesWithKeys) {
  makeTable("riclas", 6);
  OpenSpec s;
  s.file = "riclas";
  openTable(s);
  std::string alias = DBCREATETEMP(Value(), Value::array({Value("NCM"), Value::array({Value("VALOR"), Value("VALOR > 4")})}),
                                   Value(), Value(), Value(), Value::logical(true));
  ASSERT_FALSE(alias.empty());
  WorkArea* w = area();
  EXPECT_EQ(w->alias(), alias);
  EXPECT_EQ(w->fieldCount(), 3);
  ASSERT_EQ(w->orderCount(), 2);
  EXPECT_EQ(w->controlling(), 1);
  EXPECT_EQ(w->order(1)->keyExpr(), "NCM");
  EXPECT_EQ(w->order(1)->name(), alias + "1");
  EXPECT_EQ(w->order(2)->name(), alias + "2");
  EXPECT_TRUE(w->order(1)->descending());
  EXPECT_EQ(w->order(2)->forExpr(), "VALOR > 4");
  EXPECT_EQ(w->order(1)->bagName().substr(0, 4), "MEM:");
  EXPECT_TRUE(loudErrors().empty());
}

}  // namespace
}  // namespace kor::tables::testing
