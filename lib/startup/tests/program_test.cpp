#include "startup/program.h"

#include <gtest/gtest.h>

#include "console/headless.h"
#include "console/keys.h"
#include "console/screen.h"
#include "errors/activitylog.h"
#include "errors/tests/fixture.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/identity.h"
#include "startup/presence.h"
#include "tables/tables.h"
#include "values/textform.h"

namespace kor::startup {
namespace {

using kor::testing::FolderTest;
using kor::testing::ScriptedUser;

// The database-server layer as a test sees it: each call recorded.
struct DbCalls {
  std::vector<std::vector<Value>> addConnection;
  int setFastOpen = 0, end = 0;
};
DbCalls& dbCalls() {
  static DbCalls c;
  return c;
}
void installDbRecorder() {
  dbCalls() = DbCalls{};
  rt::registerRoutine("SR_ADDCONNECTION", [](Args& a) {
    dbCalls().addConnection.push_back(a.raw());
    return Value(7);
  });
  rt::registerRoutine("SR_SETFASTOPEN", [](Args&) {
    ++dbCalls().setFastOpen;
    return Value::logical(true);
  });
  rt::registerRoutine("SR_END", [](Args&) {
    ++dbCalls().end;
    return Value();
  });
  rt::registerRoutine("SR_DETECTDBFROMDSN", [](Args&) { return Value(4); });
}

class Program : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    setApplicationName("CLASUPD");
    con::resetConsole();
    registerProgramRoutines();
  }
  void TearDown() override {
    FINALIZAR$();
    con::resetConsole();
    rt::setErrorHandler(nullptr);
    FolderTest::TearDown();
  }
  static std::string var(const char* n) { return rt::getVar(n).string(); }
};

TEST_F(Program, StartWithoutConfiguration) {
  INICIAR$();
  EXPECT_EQ(var("CRDDDEFAULT"), "DBFNTX");
  EXPECT_EQ(var("CRDDXBASE"), "DBFNTX");
  EXPECT_TRUE(rt::getVar("CBANCO").isLogical());  // declared, no value: false
  EXPECT_FALSE(rt::getVar("CBANCO").log());
  EXPECT_FALSE(rt::getVar("NCNN").log());
  EXPECT_EQ(rt::epoch(), 1940);
  EXPECT_EQ(rt::dateFormat(), "dd/mm/yy");
  EXPECT_EQ(rt::setting(rt::Set::CodePage).string(), "PT850");
  EXPECT_EQ(rt::setting(rt::Set::Language).string(), "PT");
  // Dates with the settings of the start-up: two-digit years, window 1940.
  EXPECT_EQ(dtoc(DateTime{julianFromYmd(2021, 12, 9), -1}), "09/12/21");
  int y, m, d;
  ymdFromJulian(ctod("09/12/39").julian, y, m, d);
  EXPECT_EQ(y, 2039);
  ymdFromJulian(ctod("09/12/40").julian, y, m, d);
  EXPECT_EQ(y, 1940);
  // The global keys.
  EXPECT_EQ(con::keyAction(287).string(), "PERMITIRACESSO");
  EXPECT_EQ(con::keyAction(256).string(), "FECHAX");
  EXPECT_FALSE(con::hasBinding(con::key::AltF1));  // no shortcut writer in this program
  // The presence file, held for the run.
  std::string presence = var("CFILESISTEMA");
  ASSERT_FALSE(presence.empty());
  EXPECT_TRUE(plat::fileExists(presence));
  EXPECT_NE(rt::getVar("NHANDLESISTEMA").integer(), -1);
  Value own = Value::array();
  EXPECT_EQ(USUARIOSATIVOS(&own), 1);
  ASSERT_EQ(own.size(), 1u);
  EXPECT_NE(own.at(0).string().find("(eu)"), std::string::npos);
  FINALIZAR$();
  EXPECT_FALSE(plat::fileExists(presence));
  EXPECT_EQ(rt::getVar("NHANDLESISTEMA").integer(), -1);
  FINALIZAR$();  // once only
}

TEST_F(Program, CenturyShownGivesFourDigitYears) {
  rt::setCentury(true);
  INICIAR$();
  EXPECT_EQ(rt::dateFormat(), "dd/mm/yyyy");
  rt::setCentury(false);
}

TEST_F(Program, DriversFromTheConfigurationFile) {
  struct Case {
    const char *cfg, *rdd, *xbase;
  } cases[] = {
      {"RDD=DBFNTX\r\n", "DBFNTX", "DBFNTX"},
      {"[GERAL]\r\nRDD=DBFNTX\r\nRDDXBASE=DBFNTX\r\n", "DBFNTX", "DBFNTX"},
      {"RDD=\r\n", "DBFNTX", "DBFNTX"},
      {"RDD=SQLRDD\r\n", "SQLRDD", "DBFNTX"},
      {"RDD=SQLRDD\r\nRDDXBASE=DBFNTX\r\n", "SQLRDD", "DBFNTX"},
      {"OUTRA=1\r\n", "DBFNTX", "DBFNTX"},
  };
  for (auto& c : cases) {
    write("CLASUPD.CFG", c.cfg);
    INICIAR$();
    EXPECT_EQ(var("CRDDDEFAULT"), c.rdd) << c.cfg;
    EXPECT_EQ(var("CRDDXBASE"), c.xbase) << c.cfg;
    FINALIZAR$();
  }
}

TEST_F(Program, StubConnectionLayer) {
  // Without a database layer of its own the program gets the table layer's
  // stubs' answers (put back here: other tests record the calls).
  rt::registerRoutine("SR_ADDCONNECTION", [](Args& a) { return Value(tables::SR_ADDCONNECTION(a[0], a[1])); });
  write("CLASUPD.CFG", "RDD=SQLRDD\r\nBANCOMYSQL=srv/veltar\r\n");
  INICIAR$();
  EXPECT_EQ(var("CBANCO"), "srv/veltar");
  EXPECT_EQ(rt::getVar("NCNN").integer(), -1);
}

TEST_F(Program, ConnectionKeysInOrder) {
  struct Case {
    const char* cfg;
    const char* key;
    int kind;
    const char* text;
  } cases[] = {
      {"BANCO=DSN=veltar\r\nBANCOFB=x\r\n", "BANCO", 4, "DSN=veltar"},
      {"BANCO=\r\nBANCOFB=srv:/d/v.fdb\r\nBANCOMYSQL=y\r\n", "BANCOFB", 6,
       "Firebird=srv:/d/v.fdb;;Uid=SYSDBA;Pwd=quillnest;;charset=WIN1252"},
      {"BANCOFBODBC=VELTAR\r\n", "BANCOFBODBC", 1, "dsn=VELTAR;"},
      {"BANCOMYSQL=srv/veltar\r\n", "BANCOMYSQL", 3, "MySQL=srv/veltar;"},
      {"BANCO=   \r\nBANCOMYSQL=m\r\n", "BANCOMYSQL", 3, "MySQL=m;"},
  };
  installDbRecorder();
  for (auto& c : cases) {
    write("X.CFG", c.cfg);
    DbConnection got = connectionFromConfig("X.CFG");
    EXPECT_EQ(got.key, c.key) << c.cfg;
    EXPECT_EQ(got.kind.integer(), c.kind) << c.cfg;
    EXPECT_EQ(got.text, c.text) << c.cfg;
  }
  write("X.CFG", "BANCO=\r\n");
  EXPECT_EQ(connectionFromConfig("X.CFG").key, "");
  EXPECT_EQ(connectionFromConfig("NAOHA.CFG").key, "");
}

TEST_F(Program, DatabaseServerDriverOpensTheConnection) {
  installDbRecorder();
  write("CLASUPD.CFG", "RDD=SQLRDD\r\nBANCO=\r\nBANCOFB=servidor:/dados/veltar.fdb\r\nBANCOMYSQL=outro\r\n");
  INICIAR$();
  EXPECT_EQ(dbCalls().setFastOpen, 1);
  ASSERT_EQ(dbCalls().addConnection.size(), 1u);
  EXPECT_EQ(dbCalls().addConnection[0][0].integer(), 6);
  EXPECT_EQ(dbCalls().addConnection[0][1].string(),
            "Firebird=servidor:/dados/veltar.fdb;;Uid=SYSDBA;Pwd=quillnest;;charset=WIN1252");
  EXPECT_EQ(var("CBANCO"), "servidor:/dados/veltar.fdb");
  EXPECT_EQ(rt::getVar("NCNN").integer(), 7);
  EXPECT_EQ(var("CRDDXBASE"), "DBFNTX");
  FINALIZAR$();
  EXPECT_EQ(dbCalls().end, 1);
  // No connection key: no connection, CBANCO empty.
  installDbRecorder();
  write("CLASUPD.CFG", "RDD=SQLRDD\r\n");
  INICIAR$();
  EXPECT_TRUE(dbCalls().addConnection.empty());
  EXPECT_EQ(var("CBANCO"), "");
  EXPECT_FALSE(rt::getVar("NCNN").log());
  // A DBF driver never connects.
  installDbRecorder();
  write("CLASUPD.CFG", "RDD=DBFNTX\r\nBANCOFB=x\r\n");
  INICIAR$();
  EXPECT_TRUE(dbCalls().addConnection.empty());
  EXPECT_EQ(dbCalls().setFastOpen, 0);
}

TEST_F(Program, UnknownDriverIsAnArgumentError) {
  std::vector<rt::ErrorRecord> seen;
  rt::setErrorHandler([&](rt::ErrorRecord& e) {
    seen.push_back(e);
    return rt::ErrorAnswer::byDefault();
  });
  write("CLASUPD.CFG", "RDD=DBFCDX\r\n");
  INICIAR$();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].genCode, rt::kErrArg);
  ASSERT_EQ(seen[0].args.size(), 1u);
  EXPECT_EQ(seen[0].args[0].string(), "DBFCDX");
  // Under the plain handler the program ends there, the shut-down still running.
  rt::setErrorHandler(nullptr);
  std::string presence;
  int code = rt::runProgram(
      [&] {
        INICIAR$();
        ADD_FAILURE() << "the start-up went on";
      },
      [&] {
        presence = var("CFILESISTEMA");
        FINALIZAR$();
      });
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(presence.empty());
  EXPECT_FALSE(plat::fileExists(presence));
}

TEST_F(Program, RemoteServerDriverEndsTheProgram) {
  ScriptedUser user;
  write("CLASUPD.CFG", "RDD=LETO\r\n");
  bool mainRan = false;
  std::string presence;
  int code = rt::runProgram(
      [&] {
        INICIAR$();
        mainRan = true;
      },
      [&] {
        presence = var("CFILESISTEMA");
        FINALIZAR$();
      });
  EXPECT_FALSE(mainRan);
  EXPECT_EQ(code, 0);
  ASSERT_EQ(user.alerts.size(), 1u);
  EXPECT_EQ(user.alerts[0].message, "Funcao \"ConectaLeto()\" de simples compatibilidade");
  EXPECT_FALSE(plat::fileExists(presence));
}

TEST_F(Program, CloseKeyWritesTwoEntriesAndGoesOn) {
  plat::VirtualClock clock;
  ScriptedUser user;
  plat::setEnv("USERNAME", "OPERADOR");
  INICIAR$();
  std::string header = err::logHeader();
  // The key arrives while the program waits for another one.
  con::pushKey(con::key::Close);
  con::pushKey('x');
  EXPECT_EQ(con::waitKey(con::Wait::none()), 'x');
  ASSERT_EQ(user.alerts.size(), 1u);
  plat::LocalTime t = plat::localTime(plat::nowMillis());
  char when[32];
  std::snprintf(when, sizeof when, "%02d/%02d/%02d-%02d:%02d:%02d", t.day, t.month, t.year % 100, t.hour, t.minute,
                t.second);
  EXPECT_EQ(user.alerts[0].message, std::string("Atenção!;Favor fechar o sistema pela opção \"Fim\" do memu.;;("_cp) +
                                        std::string(alltrim(machineName())) + "/OPERADOR-" + when);
  EXPECT_EQ(read("ERRO.LOG"), header + std::string("Fechamento forçado"_cp) + "\r\nFechamento Abortado\r\n");
  EXPECT_NE(rt::getVar("NHANDLESISTEMA").integer(), -1);  // still running
}

TEST_F(Program, CloseRequestedAgainEndsTheProgram) {
  ScriptedUser user;
  // The alert closed by another close request (the user insists, or the
  // terminal is gone).
  err::ui::ops().alert = [&](std::string_view, const std::vector<std::string>&, int64_t, bool, bool) {
    con::setLastKey(con::key::Close);
    return 0;
  };
  std::string presence;
  int code = rt::runProgram(
      [&] {
        INICIAR$();
        presence = var("CFILESISTEMA");
        FECHAX();
        ADD_FAILURE() << "the program went on";
      },
      [] { FINALIZAR$(); });
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(plat::fileExists(presence));
  std::string log = read("ERRO.LOG");
  EXPECT_NE(log.find("Fechamento forçado"_cp), std::string::npos);
  EXPECT_EQ(log.find("Fechamento Abortado"), std::string::npos);
}

TEST_F(Program, ShutDownWithoutAPresenceFileDeletesNothing) {
  INICIAR$();
  std::string presence = var("CFILESISTEMA");
  removePresenceFile();  // as when no file could be held: NHANDLESISTEMA -1
  write(presence, "someone else's");
  FINALIZAR$();
  EXPECT_TRUE(plat::fileExists(presence));
}

TEST_F(Program, TheWholeRunInOrder) {
  ScriptedUser user;
  std::vector<std::string> order;
  std::string presence;
  int code = runApplication(
      [&] {
        order.push_back("MAIN");
        presence = var("CFILESISTEMA");
        EXPECT_TRUE(plat::fileExists(presence));
        EXPECT_TRUE(rt::getVar("GETLIST").isArray());
        EXPECT_TRUE(rt::routineExists("CRIADIR"));
        EXPECT_TRUE(rt::routineExists("SHELL_EXECUTE"));
        rt::exitProgram(3);  // an explicit quit
      },
      false);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(order, std::vector<std::string>{"MAIN"});
  EXPECT_FALSE(plat::fileExists(presence));
  // A run ended by an error: the handler's alert, its first button ends it.
  user.answers = {1};
  code = runApplication(
      [&] {
        presence = var("CFILESISTEMA");
        rt::ErrorRecord e = rt::makeError(rt::kErrArg, "BASE", 1082, "-");
        rt::raise(e);
      },
      false);
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(plat::fileExists(presence));
}

}  // namespace
}  // namespace kor::startup
