// Opening and closing: aliases, already-open areas, the read-only upgrade,
// the wait while another process holds a table, existence tests, drivers,
// encryption at close, the database-server entry points.
#include <filesystem>

#include "errors/handler.h"
#include "os/paths.h"
#include "startup/identity.h"
#include "startup/presence.h"
#include "tables/tests/fixture.h"
#include "values/cp850.h"
#include "values/textform.h"

namespace kor::tables::testing {
namespace {

using kor::testing::childArg;
using kor::testing::spawnChild;
using kor::testing::touchFile;
using kor::testing::waitForFile;

// --- the other process ---------------------------------------------------------------

// Holds a table exclusively (read-only when RO=1) with its presence file
// written, until the file "release" appears.
TEST(LayerRoles, DISABLED_HoldExclusive) {
  std::string dir = childArg("DIR");
  ASSERT_EQ(plat::changeDir(dir), 0);
  rt::set(rt::Set::Default, Value(dir));
  startup::setApplicationName("CLASUPD");
  startup::createPresenceFile();
  OpenSpec s;
  s.file = childArg("TABLE");
  s.shared = false;
  s.readOnly = childArg("RO") == "1";
  ASSERT_NE(openTable(s), 0);
  touchFile(dir + "/ready");
  ASSERT_TRUE(waitForFile(dir + "/release", 90000));
  closeAll();
  startup::removePresenceFile();
  touchFile(dir + "/released");
}

using Open = LayerTest;

// While the other process holds the table: the wait message at row 16 with
// the running instances, a retry every 3 seconds of the test clock, and the
// area as soon as the table is free; the screen as it was.
TEST_F(Open, WaitsForATableHeldExclusivelyElsewhere) {
  makeTable("riclas", 3);
  startup::setApplicationName("CLASUPD");
  auto child = spawnChild("LayerRoles.DISABLED_HoldExclusive", {{"DIR", dir}, {"TABLE", "riclas"}});
  ASSERT_TRUE(waitForFile(file("ready")));

  // The program's own handler lets the sharing violation pass quietly.
  rt::setErrorHandler([&](rt::ErrorRecord& e) {
    errors.push_back(e);
    return err::DEFERROR(e);
  });
  con::writeAt(3, 5, "tela do programa");
  std::string before = screen->text();
  plat::VirtualClock clock;
  bool released = false;
  clock.onSleep([&](int64_t elapsed) {
    if (!released && elapsed >= 6000) {
      touchFile(file("release"));
      ASSERT_TRUE(waitForFile(file("released")));
      released = true;
    }
  });
  std::string during;
  int64_t probedAt = 0;
  screen->probe([&] {
    during = screen->text();
    probedAt = clock.elapsed();
  }, 1000);

  int n = ABREARQ(Value("RICLAS"));
  EXPECT_EQ(child.wait(), 0);
  ASSERT_NE(n, 0);
  EXPECT_EQ(area(n)->alias(), "RICLAS");
  EXPECT_EQ(clock.elapsed(), 6000);  // tries at 0, 3 and 6 seconds
  int shared = 0;
  for (auto& e : errors) shared += e.genCode == rt::kErrOpen && e.osCode == plat::kSharingViolation;
  EXPECT_EQ(shared, 2);
  EXPECT_TRUE(loudErrors().empty());

  EXPECT_EQ(probedAt, 1000);
  std::vector<std::string> rows;
  for (size_t at = 0; at <= during.size();) {
    size_t nl = during.find('\n', at);
    rows.push_back(during.substr(at, nl == std::string::npos ? std::string::npos : nl - at));
    if (nl == std::string::npos) break;
    at = nl + 1;
  }
  ASSERT_EQ(rows.size(), 25u);
  EXPECT_NE(rows[17].find("Arquivo (RICLAS) Sendo Usado. Aguarde Liberacao !!!"), std::string::npos) << during;
  EXPECT_NE(rows[18].find("Usuarios ativos"), std::string::npos) << during;
  std::string who = std::string(alltrim(startup::machineName())) + "/" + startup::windowsUserName();
  EXPECT_NE(rows[19].find(who), std::string::npos) << during;
  EXPECT_EQ(during.find("Atributo Somente Leitura"), std::string::npos);
  EXPECT_NE(rows[16].find_first_not_of(' '), std::string::npos);  // the box's top frame
  EXPECT_EQ(rows[15].find_first_not_of(' '), std::string::npos);
  EXPECT_EQ(screen->text(), before);
  EXPECT_EQ(rt::getVar("_ABRINDO").string(), "");
}

// A read-only file held elsewhere: the message says so. A key shortens the
// wait, and a bound key runs its action first.
TEST_F(Open, WaitMessageNamesTheReadOnlyAttributeAndKeysShortenTheWait) {
  makeTable("tarifa", 1);
  namespace fs = std::filesystem;
  fs::permissions(file("tarifa.dbf"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  auto child = spawnChild("LayerRoles.DISABLED_HoldExclusive", {{"DIR", dir}, {"TABLE", "tarifa"}, {"RO", "1"}});
  ASSERT_TRUE(waitForFile(file("ready")));

  plat::VirtualClock clock;
  int ran = 0;
  con::setKey(-4, makeBlock([&](Args&) {
                ++ran;
                return Value();
              }));
  std::string during;
  screen->probe([&] { during = screen->text(); }, 500);
  screen->after(500, -4);  // F5, bound: runs, and the wait ends at 1 second
  bool released = false;
  clock.onSleep([&](int64_t elapsed) {
    if (!released && elapsed >= 1000) {
      touchFile(file("release"));
      ASSERT_TRUE(waitForFile(file("released")));
      released = true;
    }
  });
  int n = ABREARQ(Value("tarifa.dbf"), Value(), Value(kReadOnly));
  EXPECT_EQ(child.wait(), 0);
  ASSERT_NE(n, 0);
  EXPECT_TRUE(area(n)->readOnly());
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(clock.elapsed(), 1000);
  EXPECT_NE(during.find("Arquivo (TARIFA) Sendo Usado. Aguarde Liberacao !!!"), std::string::npos) << during;
  EXPECT_NE(during.find("Atributo Somente Leitura"), std::string::npos) << during;
  fs::permissions(file("tarifa.dbf"), fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(Open, DelayOpenWaitsBeforeTheMessage) {
  makeTable("riclas", 1);
  auto child = spawnChild("LayerRoles.DISABLED_HoldExclusive", {{"DIR", dir}, {"TABLE", "riclas"}});
  ASSERT_TRUE(waitForFile(file("ready")));
  rt::publicVar("_DELAYOPEN", Value(2));
  plat::VirtualClock clock;
  std::string at1500, at2500;
  screen->probe([&] { at1500 = screen->text(); }, 1500);
  screen->probe([&] { at2500 = screen->text(); }, 1000);
  bool released = false;
  clock.onSleep([&](int64_t elapsed) {
    if (!released && elapsed >= 5000) {
      touchFile(file("release"));
      ASSERT_TRUE(waitForFile(file("released")));
      released = true;
    }
  });
  EXPECT_NE(ABREARQ(Value("riclas")), 0);
  EXPECT_EQ(child.wait(), 0);
  EXPECT_EQ(at1500.find("Sendo Usado"), std::string::npos);
  EXPECT_NE(at2500.find("Sendo Usado"), std::string::npos);
  EXPECT_EQ(clock.elapsed(), 5000);  // 2 + 3 seconds
}

// --- aliases and areas ------------------------------------------------------------------------

TEST_F(Open, AliasRules) {
  ASSERT_EQ(plat::makeDir(file("dados")), 0);
  makeTable("dados/riclas");
  makeTable("NOME COM ESPACO");
  makeTable("mem:tmp1");
  struct Case {
    Value table, alias;
    const char* expected;
  } cases[] = {
      {Value(file("dados") + "/riclas.dbf"), Value(), "RICLAS"},
      {Value("NOME COM ESPACO"), Value(), "NOME_COM_ESPACO"},
      {Value("mem:tmp1"), Value(), "TMP1"},
      {Value("dados/RICLAS.DBF"), Value("Origem"), "ORIGEM"},
  };
  for (const Case& c : cases) {
    int n = ABREARQ(c.table, Value(), Value(), Value(), Value(), c.alias);
    ASSERT_NE(n, 0) << c.expected;
    EXPECT_EQ(area(n)->alias(), c.expected);
    EXPECT_EQ(currentArea(), n);
  }
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Open, AnOpenAliasIsSelectedAndNothingIsOpenedAgain) {
  makeTable("riclas", 2);
  makeTable("outra");
  int first = ABREARQ(Value("RICLAS"));
  int other = ABREARQ(Value("outra"));
  EXPECT_NE(first, other);
  EXPECT_EQ(currentArea(), other);
  EXPECT_EQ(ABREARQ(Value("riclas.dbf"), Value("RICLAS")), first);
  EXPECT_EQ(currentArea(), first);
  EXPECT_EQ(area(first)->orderCount(), 0);  // the index list was not looked at
  EXPECT_EQ(usedAreas().size(), 2u);
  EXPECT_TRUE(loudErrors().empty());
  EXPECT_EQ(rt::getVar("_ABRINDO").string(), "");
}

TEST_F(Open, ModesAndTheCenturyWindow) {
  makeTable("riclas", 1);
  int n = ABREARQ(Value("riclas"), Value(), Value(kReadOnly));
  EXPECT_TRUE(area(n)->readOnly());
  EXPECT_TRUE(area(n)->shared());
  EXPECT_EQ(rt::epoch(), 1940);
  closeAll();
  rt::publicVar("SETYEAR", Value(1950));
  n = ABREARQ(Value("riclas"), Value(), Value(kExclusive));
  EXPECT_FALSE(area(n)->shared());
  EXPECT_EQ(rt::epoch(), 1950);
  EXPECT_TRUE(fastOpenMode());  // switched off for the call only
  closeAll();
  n = ABREARQ(Value("riclas"), Value(), Value(7));  // any other mode is shared read-write
  EXPECT_TRUE(area(n)->shared());
  EXPECT_FALSE(area(n)->readOnly());
}

TEST_F(Open, TheAreaArgumentOpensInTheSelectedArea) {
  makeTable("riclas");
  selectArea(7);
  EXPECT_EQ(ABREARQ(Value("riclas"), Value(), Value(), Value(), Value(1)), 7);
  selectArea(3);
  makeTable("outra");
  EXPECT_EQ(ABREARQ(Value("outra")), 1);  // a free area: the lowest
}

TEST_F(Open, MissingTableGoesToTheHandlerOnceWithTheOpeningText) {
  std::string during;
  rt::setErrorHandler([&](rt::ErrorRecord& e) {
    errors.push_back(e);
    during = rt::getVar("_ABRINDO").string();
    return rt::ErrorAnswer::byDefault();
  });
  EXPECT_EQ(ABREARQ(Value("naoexiste"), Value({"naoexiste1"})), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].genCode, rt::kErrOpen);
  EXPECT_EQ(errors[0].osCode, plat::kNotFound);
  EXPECT_EQ(during, "naoexiste");
  EXPECT_EQ(rt::getVar("_ABRINDO").string(), "");
}

TEST_F(Open, RegistryOfOpenedTables) {
  makeTable("riclas");
  rt::publicVar("CTRLUSO", Value::array());
  ABREARQ(Value("riclas"), Value(), Value(kReadOnly), Value(), Value(), Value("R1"));
  closeAll();
  ABREARQ(Value("RICLAS.DBF"));
  Value reg = rt::getVar("CTRLUSO");
  ASSERT_EQ(reg.size(), 1u);
  const Value& e = reg.at(0);
  ASSERT_EQ(e.size(), 6u);
  EXPECT_EQ(e.at(0).string(), "RICLAS");
  EXPECT_EQ(e.at(2).integer(), kReadOnly);
  EXPECT_EQ(e.at(5).string(), "R1");
}

// --- the conditional opening -----------------------------------------------------------------

TEST_F(Open, ArqconsOpensOnceAndUpgradesAReadOnlyOpeningOnItsRecord) {
  makeTable("riclas", 9);
  EXPECT_TRUE(ARQCONS(Value("riclas"), Value(), Value(kReadOnly)));
  int n = currentArea();
  area(n)->goTo(5);
  selectArea(0);
  EXPECT_FALSE(ARQCONS(Value("riclas"), Value(), Value(kReadOnly)));  // read-only asked: left alone
  EXPECT_TRUE(area(n)->readOnly());
  selectArea(0);
  EXPECT_FALSE(ARQCONS(Value("riclas")));
  EXPECT_EQ(currentArea(), n);
  WorkArea* w = area(n);
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->readOnly());
  EXPECT_EQ(w->recNo(), 5u);
  EXPECT_EQ(w->getField(1).string(), "10000005");
  // At the end of file it stays there.
  closeAll();
  ARQCONS(Value("riclas"), Value(), Value(kReadOnly));
  area()->goBottom();
  area()->skip(1);
  ARQCONS(Value("RICLAS.DBF"), Value(), Value(kShared));
  EXPECT_TRUE(area()->eof());
  EXPECT_FALSE(area()->readOnly());
}

// --- closing and encryption ------------------------------------------------------------------

TEST_F(Open, PasswordsKeepTheTableEncryptedOnDisk) {
  makeTable("segredo", 2);
  ABREARQ(Value("segredo"));
  FECHATABELA(Value("s3nha"));
  EXPECT_EQ(usedAreas().size(), 0u);
  auto bytes = plat::readWholeFile(file("segredo.dbf"));
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->find("NOME 1"), std::string::npos);
  EXPECT_EQ((*bytes)[15], 1);

  int n = ABREARQ(Value("segredo"), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value("s3nha"));
  ASSERT_NE(n, 0);
  area(n)->goTop();
  EXPECT_EQ(alltrim(area(n)->getField(2).str()), "NOME 1");
  ASSERT_TRUE(area(n)->lockRecord());
  area(n)->putField(2, Value("NOVO"));
  FECHATABELA(Value("s3nha"));
  bytes = plat::readWholeFile(file("segredo.dbf"));
  EXPECT_EQ(bytes->find("NOVO"), std::string::npos);
  n = ABREARQ(Value("segredo"), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value("s3nha"));
  area(n)->goTop();
  EXPECT_EQ(alltrim(area(n)->getField(2).str()), "NOVO");
  FECHATABELA();
  EXPECT_TRUE(loudErrors().empty());
}

// --- drivers, existence and paths --------------------------------------------------------------

TEST_F(Open, DriversAndIndexExtensions) {
  EXPECT_EQ(ASSOCIATABELA("riclas"), "DBFNTX");
  EXPECT_EQ(EXTENSAOINDICE("", Value("DBFNTX")), ".ntx");
  EXPECT_EQ(EXTENSAOINDICE("", Value("DBFCDX")), ".cdx");
  EXPECT_EQ(EXTENSAOINDICE("", Value("SQLRDD")), "");
  EXPECT_EQ(EXTENSAOINDICE("riclas"), ".ntx");
  EXPECT_EQ(DATABASEINFO(), "DBFNTX");

  // Patterns apply only when the default driver is another one.
  rt::publicVar("ATABELARDD", Value::array({Value::array({Value("RI*"), Value("DBFNTX")}),
                                            Value::array({Value("T?"), Value("SQLRDD")})}));
  EXPECT_EQ(ASSOCIATABELA("C:\\DADOS\\riclas.dbf"), "DBFNTX");
  rt::publicVar("CRDDDEFAULT", Value("DBFCDX"));
  EXPECT_EQ(ASSOCIATABELA("C:\\DADOS\\riclas.dbf"), "DBFNTX");
  EXPECT_EQ(ASSOCIATABELA("tx"), "SQLRDD");
  EXPECT_EQ(ASSOCIATABELA("outra"), "DBFCDX");
  rt::publicVar("CRDDDEFAULT", Value("SQLRDD"));
  EXPECT_EQ(DATABASEINFO(), "SQLRDD - " + SR_VERSION());
}

TEST_F(Open, ExistenceTests) {
  makeTable("riclas");
  ASSERT_TRUE(plat::writeWholeFile(file("RICLAS.NTX"), "x") == 0);
  struct Case {
    const char* name;
    bool listing;
    bool table, index;
  } cases[] = {
      {"riclas", false, true, true},       {"RICLAS.DBF", false, true, false},
      {"RICLAS.NTX", false, false, true},  {"riclas", true, false, false},  // listing: the current folder
      {"RIC*", true, false, false},        {"naoexiste", false, false, false},
  };
  ASSERT_EQ(plat::makeDir(file("outro")), 0);
  plat::changeDir(file("outro"));  // the default folder stays the scratch folder
  for (const Case& c : cases) {
    EXPECT_EQ(EXISTETABELA(c.name, c.listing), c.table) << c.name << " " << c.listing;
    EXPECT_EQ(EXISTEINDICE(c.name, c.listing), c.index) << c.name << " " << c.listing;
  }
  plat::changeDir(dir);
  EXPECT_TRUE(EXISTETABELA("riclas", true));
  EXPECT_TRUE(EXISTETABELA("RIC*", true));
  EXPECT_TRUE(EXISTEINDICE("riclas.ntx", true));
  EXPECT_TRUE(EXISTETABELA(file("riclas"), true));
}

TEST_F(Open, PathsAndRefresh) {
  makeTable("riclas", 1);
  int n = ABREARQ(Value("riclas"));
  EXPECT_EQ(DBPATH(), file("riclas.dbf"));
  selectArea(0);
  EXPECT_EQ(DBPATH(), "");
  EXPECT_EQ(DBPATH(Value("RICLAS")), file("riclas.dbf"));
  EXPECT_EQ(DBPATH(Value("NADA")), "");
  selectArea(n);
  EXPECT_TRUE(DBREFRESH());
}

TEST_F(Open, DatabaseServerEntryPointsAnswerAsFixed) {
  makeTable("riclas");
  ASSERT_EQ(plat::writeWholeFile(file("riclas.ntx"), "x"), 0);
  EXPECT_TRUE(SR_FILE("riclas.dbf"));
  EXPECT_FALSE(SR_FILE("nada.dbf"));
  EXPECT_TRUE(SR_EXISTTABLE("riclas"));
  EXPECT_TRUE(SR_EXISTINDEX("riclas"));
  EXPECT_EQ(SR_ADDCONNECTION(Value(6), Value("x")), -1);
  EXPECT_EQ(SR_SETRDDTEMP(), "DBFNTX");
  EXPECT_FALSE(SR_CHANGESTRUCT());
  EXPECT_TRUE(SR_SETFASTOPEN(Value::logical(false)));
  EXPECT_TRUE(SR_SETFASTOPEN(Value::logical(true)));
  EXPECT_FALSE(ISSQLWORKAREA());
  EXPECT_TRUE(SR_STARTLOG());
  EXPECT_FALSE(SR_ALLINCACHE());
  EXPECT_FALSE(SR_VERSION().empty());
  SR_DROPINDEX("RICLAS.NTX");
  EXPECT_FALSE(plat::fileExists(file("riclas.ntx")));
  SR_DROPTABLE("riclas.dbf");
  EXPECT_FALSE(plat::fileExists(file("riclas.dbf")));
  // By name, as expressions call them.
  EXPECT_EQ(rt::callRoutine("SR_ADDCONNECTION", {Value(1), Value("dsn=x;")}).integer(), -1);
  EXPECT_TRUE(rt::callRoutine("SQLRDD").isNil());
}

}  // namespace
}  // namespace kor::tables::testing
