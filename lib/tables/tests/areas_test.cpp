// Work-area snapshots, record duplication and the in-use test.
#include "tables/tests/fixture.h"
#include "values/cp850.h"
#include "values/textform.h"

namespace kor::tables::testing {
namespace {

using kor::testing::childArg;
using kor::testing::spawnChild;
using kor::testing::touchFile;
using kor::testing::waitForFile;

using Areas = LayerTest;

int openShared(const std::string& name) {
  OpenSpec s;
  s.file = name;
  return openTable(s);
}

// --- snapshots --------------------------------------------------------------------------------

TEST_F(Areas, SnapshotElements) {
  makeTable("riclas", 9);
  int n = openShared("riclas");
  WorkArea* w = area(n);
  w->goTo(4);
  w->setFilter(Condition(Value("VALOR > 1")));
  Value s = SAVEAREA("riclas");
  ASSERT_EQ(s.size(), 12u);
  EXPECT_EQ(s.at(0).integer(), n);
  EXPECT_EQ(s.at(1).string(), "riclas");
  EXPECT_EQ(s.at(2).string(), "RICLAS");
  EXPECT_EQ(s.at(3).integer(), n);
  EXPECT_TRUE(s.at(4).log());
  EXPECT_EQ(s.at(5).integer(), 4);
  EXPECT_EQ(s.at(6).size(), 0u);
  EXPECT_EQ(s.at(7).string(), "VALOR > 1");
  EXPECT_EQ(s.at(8).size(), 0u);
  EXPECT_EQ(s.at(9).integer(), 0);
  EXPECT_EQ(s.at(10).string(), "DBFNTX");
  EXPECT_EQ(s.at(11).string(), dir);
  EXPECT_EQ(areaOf("RICLAS"), n);  // nothing changed without the close flag

  EXPECT_EQ(SAVEAREA("naoaberta").size(), 0u);
}

// A snapshot at the end of file, one at the beginning, one with records 3
// and 8 locked: after the table was closed they come back.
TEST_F(Areas, SnapshotsRestoreThePositionAndTheLocks) {
  makeTable("riclas", 9);
  struct Case {
    const char* name;
    std::function<void(WorkArea&)> place;
    std::function<void(WorkArea&)> check;
  } cases[] = {
      {"end of file", [](WorkArea& w) { w.goBottom(); w.skip(1); },
       [](WorkArea& w) {
         EXPECT_TRUE(w.eof());
         EXPECT_EQ(w.recNo(), 10u);
       }},
      {"beginning of file", [](WorkArea& w) { w.goTop(); w.skip(-1); },
       [](WorkArea& w) {
         EXPECT_TRUE(w.bof());
         EXPECT_EQ(w.recNo(), 1u);
       }},
      {"locks on 3 and 8",
       [](WorkArea& w) {
         ASSERT_TRUE(w.lockRecord(3, false));
         ASSERT_TRUE(w.lockRecord(8, false));
         w.goTo(5);
       },
       [](WorkArea& w) {
         EXPECT_EQ(w.recNo(), 5u);
         std::vector<uint32_t> l = w.lockList();
         std::sort(l.begin(), l.end());
         EXPECT_EQ(l, (std::vector<uint32_t>{3, 8}));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int n = openShared("riclas");
    c.place(*area(n));
    Value snap = SAVEAREA("RICLAS", true);
    ASSERT_EQ(snap.size(), 12u);
    EXPECT_EQ(areaOf("RICLAS"), 0);
    selectArea(0);
    RESTAREA(snap);
    int m = areaOf("RICLAS");
    ASSERT_NE(m, 0);
    c.check(*area(m));
    closeAll();
  }
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Areas, RestoreDoesNotCloseTheTableInTheSelectedArea) {
  makeTable("riclas", 3);
  makeTable("outra", 1);
  int n = openShared("riclas");
  area(n)->goTo(2);
  Value snap = SAVEAREA("riclas", true);
  int o = openShared("outra");
  EXPECT_EQ(o, n);  // the freed area was taken
  selectArea(o);
  RESTAREA(snap);
  EXPECT_EQ(areaOf("OUTRA"), o);
  ASSERT_NE(areaOf("RICLAS"), 0);
  EXPECT_EQ(area(areaOf("RICLAS"))->recNo(), 2u);
  RESTAREA(Value::array());  // an empty snapshot does nothing
}

// --- duplication ------------------------------------------------------------------------------------

TEST_F(Areas, DuplregCopiesTheCurrentRecord) {
  makeTable("riclas", 3, true);
  int n = openShared("riclas");
  area(n)->goTo(2);
  size_t memoryFiles = plat::listDir("MEM:", "*").size();
  DUPLREG();
  WorkArea* w = area(n);
  EXPECT_EQ(w->recCount(), 4u);
  w->goTo(4);
  EXPECT_EQ(w->getField(1).string(), "10000002");
  EXPECT_EQ(alltrim(w->getField(2).str()), "NOME 2");
  EXPECT_EQ(w->getField(4).string(), "memo 2");
  EXPECT_EQ(currentArea(), n);
  // The scratch table went with its memo file.
  EXPECT_EQ(plat::listDir("MEM:", "*").size(), memoryFiles);
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Areas, DuplregWithAConditionAndReplacementsOnDisk) {
  makeTable("riclas", 5, true);
  rt::publicVar("TEMPMEM", Value::logical(false));
  ASSERT_EQ(plat::makeDir(file("tmp")), 0);
  plat::setEnv("TEMP", file("tmp"));
  int n = openShared("riclas");
  area(n)->goTo(4);
  DUPLREG(Value("VALOR > 2"), Value::array({Value::array({Value("NOME"), Value("COPIA")})}),
          Value::logical(false));
  WorkArea* w = area(n);
  ASSERT_EQ(w->recCount(), 9u);  // records 2 to 5 copied, from the top
  for (uint32_t r = 6; r <= 9; ++r) {
    w->goTo(r);
    EXPECT_EQ(w->getField(1).string(), std::to_string(10000000 + r - 4));
    EXPECT_EQ(alltrim(w->getField(2).str()), "COPIA");
  }
  EXPECT_TRUE(plat::listDir(file("tmp"), "*").empty());  // table and memo file removed
  plat::unsetEnv("TEMP");
  EXPECT_TRUE(loudErrors().empty());
}

// --- in use -------------------------------------------------------------------------------------------

TEST(LayerRoles, DISABLED_HoldShared) {
  std::string dir = childArg("DIR");
  ASSERT_EQ(plat::changeDir(dir), 0);
  rt::set(rt::Set::Default, Value(dir));
  OpenSpec s;
  s.file = childArg("TABLE");
  ASSERT_NE(openTable(s), 0);
  touchFile(dir + "/ready");
  ASSERT_TRUE(waitForFile(dir + "/release", 90000));
  closeAll();
  touchFile(dir + "/released");
}

TEST_F(Areas, InUse) {
  makeTable("riclas", 1);
  EXPECT_FALSE(EMUSO("riclas"));
  EXPECT_FALSE(EMUSO("naoexiste"));
  int n = openShared("riclas");
  EXPECT_FALSE(EMUSO("RICLAS"));  // open here: no test
  closeArea(n);

  auto child = spawnChild("LayerRoles.DISABLED_HoldShared", {{"DIR", dir}, {"TABLE", "riclas"}});
  ASSERT_TRUE(waitForFile(file("ready")));
  EXPECT_TRUE(EMUSO("riclas"));
  EXPECT_EQ(areaOf("_EXCL"), 0);
  EXPECT_FALSE(rt::netErr());
  EXPECT_TRUE(errors.empty());  // nothing reached the handler

  // Asked: "Cancelar" answers in use.
  std::string shown;
  screen->probe([&] { shown = screen->text(); }, 5);
  screen->type({con::key::Right, con::key::Enter});
  EXPECT_TRUE(EMUSO("riclas", true));
  EXPECT_NE(shown.find("O Arquivo (riclas) está em uso !"_cp), std::string::npos) << shown;
  EXPECT_NE(shown.find("Tentar novamente"), std::string::npos);

  // With the countdown: the window counts down and tries again until free.
  screen->clearScript();
  plat::VirtualClock clock;
  std::string counting;
  screen->probe([&] { counting = screen->text(); }, 3500);
  bool released = false;
  clock.onSleep([&](int64_t elapsed) {
    if (!released && elapsed >= 12000) {
      touchFile(file("release"));
      ASSERT_TRUE(waitForFile(file("released")));
      released = true;
    }
  });
  EXPECT_FALSE(EMUSO("riclas", true, true));
  EXPECT_EQ(child.wait(), 0);
  EXPECT_NE(counting.find("Tentando novamente em 7 segundos"), std::string::npos) << counting;
  EXPECT_NE(counting.find("Atenção"_cp), std::string::npos);
  EXPECT_GE(clock.elapsed(), 22000);  // two rounds of 11 seconds
}

TEST_F(Areas, InUseByCommandOutput) {
  rt::publicVar("CNETUSE", Value("echo aberto /DADOS/RICLAS.DBF"));
  rt::publicVar("CARQTMP", Value(file("netuse.txt")));
  EXPECT_TRUE(_EMUSO("riclas.dbf"));
  EXPECT_FALSE(_EMUSO("ricla9.dbf"));
  EXPECT_FALSE(plat::fileExists(file("netuse.txt")));
}

}  // namespace
}  // namespace kor::tables::testing
