// The handler meeting real failures of the table engine, and a run that
// ends through the handler: exit code 1 after a key, every table closed.
#include <gtest/gtest.h>

#include "config/store.h"
#include "console/headless.h"
#include "console/screen.h"
#include "errors/errorlog.h"
#include "errors/handler.h"
#include "errors/tests/fixture.h"
#include "os/paths.h"
#include "tables/engine.h"
#include "tables/engine/workarea.h"
#include "values/cp850.h"

namespace kor::err {
namespace {

using testing::FolderTest;
using testing::ScriptedUser;

class EngineErrorsTest : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    ERRORSYS();
    rt::setNetErr(false);
  }
  void TearDown() override {
    tables::closeAll();
    rt::setErrorHandler(nullptr);
    rt::setExitCode(0);
    FolderTest::TearDown();
  }
  plat::VirtualClock clock_;
  ScriptedUser user_;
  static tables::OpenSpec spec(const char* file, const char* alias = "", bool shared = true) {
    tables::OpenSpec o;
    o.file = file;
    o.alias = alias;
    o.shared = shared;
    return o;
  }
  static void makeTable(const std::string& name) {
    ASSERT_TRUE(tables::createTable(name, {{"NCM", 'C', 8, 0}, {"ALIQ", 'N', 6, 2}}));
  }
};

TEST_F(EngineErrorsTest, OpenOfAMissingTableOffersOkAndRetry) {
  const std::string full = os::_TRUENAME("NADA.DBF");
  // The user puts the table back and answers "Repetir".
  err::ui::ops().alert = [&, base = err::ui::ops().alert](std::string_view m, const std::vector<std::string>& b,
                                                         int64_t t, bool beep, bool flash) {
    base(m, b, t, beep, flash);
    makeTable("NADA.DBF");
    return 2;
  };
  int area = tables::openTable(spec("NADA.DBF"));
  EXPECT_GT(area, 0);
  ASSERT_EQ(user_.alerts.size(), 1u);
  EXPECT_EQ(user_.alerts[0].buttons, (std::vector<std::string>{"Ok", "Repetir"}));
  EXPECT_EQ(user_.alerts[0].message, "Error DBFNTX/1001  Erro de abertura: " + full + ";" +
                                         std::string("Arquivo näo existe"_cp) + ";(" + full + ");(Erro do DOS 2)");
  std::string log = read("ERRO.LOG");
  EXPECT_NE(log.find("FileName   : " + full + "\r\n"), std::string::npos);
  EXPECT_NE(log.find("OsCode     : 2\r\n"), std::string::npos);
  EXPECT_NE(log.find("GenCode    : 21-Erro de abertura\r\n"), std::string::npos);
}

TEST_F(EngineErrorsTest, SharingViolationIsSilentWithTheNetworkErrorFlag) {
  makeTable("RICLAS.DBF");
  ASSERT_GT(tables::openTable(spec("RICLAS.DBF", "DONO", false)), 0);
  EXPECT_EQ(tables::openTable(spec("RICLAS.DBF", "OUTRO")), 0);
  EXPECT_TRUE(rt::netErr());
  EXPECT_TRUE(user_.alerts.empty());
  EXPECT_FALSE(plat::fileExists("ERRO.LOG"));
  EXPECT_FALSE(plat::fileExists("ERRO.SCR"));
}

TEST_F(EngineErrorsTest, EntryListsTheOpenTables) {
  makeTable("RICLA9.DBF");
  makeTable("RICLAS.DBF");
  ASSERT_GT(tables::openTable(spec("RICLA9.DBF")), 0);
  ASSERT_GT(tables::openTable(spec("RICLAS.DBF")), 0);
  std::string t = errorEntryText(rt::makeError(rt::kErrArg, "BASE", 1));
  auto l = cfg::splitLines(t);
  auto at = std::find(l.begin(), l.end(), "------------Tabelas abertas-------------");
  ASSERT_NE(at, l.end()) << t;
  EXPECT_EQ(at[1], tables::area(1)->path() + " ");
  EXPECT_EQ(at[2], tables::area(2)->path() + "*");
}

TEST_F(EngineErrorsTest, QuitEndsTheRunAfterAKeyWithTheTablesClosed) {
  auto* screen = new con::HeadlessBackend();
  con::setBackend(std::unique_ptr<con::Backend>(screen));
  screen->type({'x'}, 1000);  // the key the exit path waits for
  err::ui::ops().waitKey = err::ui::defaultOps().waitKey;  // read it from the console
  makeTable("RICLAS.DBF");
  bool shutdown = false;
  int openAtShutdown = -1;
  user_.answers = {1};  // "Quit"
  int code = rt::runProgram(
      [&] {
        rt::FrameGuard f(std::string_view("clasupd.prg"), std::string_view("MAIN"), 20);
        ASSERT_GT(tables::openTable(spec("RICLAS.DBF")), 0);
        tables::WorkArea* a = tables::area();
        ASSERT_TRUE(a->append());
        a->putField(a->fieldPos("ALIQ"), Value("texto"));  // a text into a number field
        ADD_FAILURE() << "the run went on after Quit";
      },
      [&] {
        shutdown = true;
        openAtShutdown = static_cast<int>(tables::usedAreas().size());
      });
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(shutdown);
  EXPECT_EQ(openAtShutdown, 0);
  ASSERT_EQ(user_.alerts.size(), 1u);
  EXPECT_EQ(user_.alerts[0].buttons[0], "Quit");
  EXPECT_EQ(screen->scriptLeft(), 0u);  // the key was read
  EXPECT_NE(user_.errorStream.find("Called from clasupd->MAIN(20)"), std::string::npos) << user_.errorStream;
  EXPECT_NE(read("ERRO.LOG").find("GenCode    : 33-"), std::string::npos);
  EXPECT_TRUE(plat::fileExists("ERRO.SCR"));
}

}  // namespace
}  // namespace kor::err
