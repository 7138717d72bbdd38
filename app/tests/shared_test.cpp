// Several copies of clasupd against one product folder, another program
// holding a RICLAS record for a while, and runs killed at random moments:
// nothing may be lost, duplicated or left unsound.
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "app/tests/fixture.h"
#include "app/tests/model.h"
#include "console/keys.h"

namespace kor::app::testing {
namespace {

namespace fs = std::filesystem;
using kor::testing::childArg;
using kor::testing::spawnChild;

// --- roles (run only as children) --------------------------------------------------

// One whole run of the program in the folder DIR, confirming the folder and
// closing "Atualizado!".
TEST(UpdateRoles, DISABLED_Run) {
  std::string dir = childArg("DIR");
  plat::changeDir(dir);
  plat::setEnv("WINDIR", (fs::path(dir) / "WINDOWS").string());
  registerUpdateRoutines();
  auto op = std::make_unique<Operator>(std::vector<Operator::Answer>{
      {"Confirme a pasta do VELTAR", con::key::Enter}, {"Atualizado!", con::key::Enter}});
  Operator* oper = op.get();
  con::setBackend(std::move(op));
  kor::testing::touchFile((fs::path(dir) / ("started." + childArg("ID"))).string());
  int code = startup::runApplication([] { MAIN(""); });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(oper->answersLeft(), 0u) << oper->stuck();
}

// Another program editing a RICLAS record: holds the lock of record REC for
// HOLD milliseconds.
TEST(UpdateRoles, DISABLED_HoldRecord) {
  std::string dir = childArg("DIR");
  tables::registerRoutines();
  tables::OpenSpec s;
  s.file = (fs::path(dir) / "VELTAR" / "RICLAS.DBF").string();
  s.alias = "RICLAS";
  ASSERT_NE(tables::openTable(s), 0);
  ASSERT_TRUE(tables::area()->goTo(static_cast<uint32_t>(std::stoul(childArg("REC")))));
  ASSERT_TRUE(tables::area()->lockRecord());
  kor::testing::touchFile((fs::path(dir) / "held").string());
  std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(childArg("HOLD"))));
  tables::closeAll();
}

// --- the tests ---------------------------------------------------------------------

class Shared : public AppTest {
 protected:
  // The expected state after one run of the tariff over the sample as made.
  void expectOneRunsResult(const TableRows& riclasBefore, const TableRows& tariff) {
    std::string day = dtoc(DateTime{julianToday()});
    Expected e = model(riclasBefore, tariff, day);
    expectRiclas(readTable(product("RICLAS.DBF")), e);
    // The audit records of all runs together are those of one run, in any
    // order (each change is audited by the copy that made it).
    TableRows audit = readTable(product("RICLA9.DBF"));
    std::multiset<std::string> got, want;
    for (size_t i = static_cast<size_t>(sample.audit); i < audit.rows.size(); ++i) {
      const auto& r = audit.rows[i];
      got.insert(r.at("NCM").string() + "|" + std::string(alltrim(r.at("CAMPO").str())) + "|" +
                 std::string(alltrim(r.at("ANTES").str())) + "|" + std::string(alltrim(r.at("DEPOIS").str())));
    }
    for (const auto& x : e.audits) want.insert(x.ncm + "|" + x.campo + "|" + cut(x.antes, 100) + "|" + cut(x.depois, 100));
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "the audit records differ from one run's";
  }
};

TEST_F(Shared, CopiesAtOnceAndARecordHeldElsewhereLoseNothing) {
  rt::set(rt::Set::DateFormat, Value("dd/mm/yy"));
  makeSampleHere();
  TableRows riclasBefore = readTable(product("RICLAS.DBF"));
  TableRows tariff = readTable(file("GECEX269.DBF"));

  auto holder = spawnChild("UpdateRoles.DISABLED_HoldRecord", {{"DIR", dir}, {"REC", "40"}, {"HOLD", "4000"}});
  ASSERT_TRUE(kor::testing::waitForFile(file("held")));
  std::vector<kor::testing::Child> runs;
  for (int i = 0; i < 3; ++i)
    runs.push_back(spawnChild("UpdateRoles.DISABLED_Run", {{"DIR", dir}, {"ID", std::to_string(i)}}));
  for (auto& r : runs) EXPECT_EQ(r.wait(300000), 0);
  EXPECT_EQ(holder.wait(), 0);

  expectSound(product());
  expectOneRunsResult(riclasBefore, tariff);
}

TEST_F(Shared, RunsKilledAtRandomMomentsLeaveSoundTablesAndALaterRunCompletesTheJob) {
  rt::set(rt::Set::DateFormat, Value("dd/mm/yy"));
  makeSampleHere({.codes = 600, .tariff = 650, .audit = 30});
  TableRows riclasBefore = readTable(product("RICLAS.DBF"));
  TableRows tariff = readTable(file("GECEX269.DBF"));
  std::mt19937 rng(static_cast<unsigned>(plat::nowMillis()));
  for (int round = 0; round < 4; ++round) {
    std::string started = file("started.k" + std::to_string(round));
    auto run = spawnChild("UpdateRoles.DISABLED_Run", {{"DIR", dir}, {"ID", "k" + std::to_string(round)}});
    ASSERT_TRUE(kor::testing::waitForFile(started));
    std::this_thread::sleep_for(std::chrono::milliseconds(50 + rng() % 600));
    run.kill();
    SCOPED_TRACE("after kill " + std::to_string(round + 1));
    // A run killed between a record and its key leaves that key out; the
    // next run adds it before it changes anything.
    expectSound(product(), 1);
  }
  auto last = spawnChild("UpdateRoles.DISABLED_Run", {{"DIR", dir}, {"ID", "last"}});
  EXPECT_EQ(last.wait(300000), 0);
  expectSound(product());  // exact: nothing missing any more
  std::string day = dtoc(DateTime{julianToday()});
  expectRiclas(readTable(product("RICLAS.DBF")), model(riclasBefore, tariff, day));
}

}  // namespace
}  // namespace kor::app::testing
