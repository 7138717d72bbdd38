#include <gtest/gtest.h>

#include "config/store.h"
#include "errors/errorlog.h"
#include "errors/tests/fixture.h"
#include "platform/platform.h"
#include "values/textform.h"

namespace kor::err {
namespace {

using testing::FolderTest;
using testing::ScriptedUser;

class ErrorLogTest : public FolderTest {
 protected:
  plat::VirtualClock clock_{plat::fromLocalTime(plat::LocalTime{2021, 12, 9, 14, 3, 27, 0, 0})};
  ScriptedUser user_;
  void TearDown() override {
    setOpenTablesSource(nullptr);
    FolderTest::TearDown();
  }
  static std::vector<std::string> lines(const std::string& text) { return cfg::splitLines(text); }
  static bool hasLine(const std::string& text, const std::string& line) {
    for (const std::string& l : lines(text))
      if (l == line) return true;
    return false;
  }
  static bool hasLineStarting(const std::string& text, const std::string& prefix) {
    for (const std::string& l : lines(text))
      if (l.rfind(prefix, 0) == 0) return true;
    return false;
  }
};

rt::ErrorRecord raised(rt::ErrorRecord e) {
  // What raise() fills in: the description, the place and the stack.
  rt::ErrorRecord out;
  rt::guard([&] { rt::raise(e); }, [&](rt::ErrorRecord& r) { out = r; });
  return out;
}

TEST_F(ErrorLogTest, DivisionByZeroHasOnlyTheLinesItNeeds) {
  rt::ErrorRecord e = raised(rt::makeError(rt::kErrZeroDiv, "BASE", 1340, "/"));
  std::string t = errorEntryText(e);
  EXPECT_TRUE(hasLine(t, "GenCode    : 5-" + std::string("Divisão por zero"_cp)));
  EXPECT_TRUE(hasLine(t, "SubSystem  : BASE"));
  EXPECT_TRUE(hasLine(t, "SubCode    : 1340"));
  EXPECT_TRUE(hasLine(t, "Description: " + std::string("Divisão por zero"_cp)));
  EXPECT_TRUE(hasLine(t, "Operation  : /"));
  EXPECT_TRUE(hasLine(t, "Severity   : 2"));
  EXPECT_TRUE(hasLine(t, "Tries      : 1"));
  EXPECT_FALSE(hasLineStarting(t, "OsCode"));
  EXPECT_FALSE(hasLineStarting(t, "FileName"));
  EXPECT_FALSE(hasLineStarting(t, "Args"));
  EXPECT_FALSE(hasLineStarting(t, "CanSubstit"));
  EXPECT_FALSE(hasLineStarting(t, "DATE FORMAT"));
  EXPECT_FALSE(hasLineStarting(t, "DEVICE"));
  EXPECT_EQ(lines(t)[0], plat::executablePath());
  EXPECT_TRUE(hasLine(t, "Sistema Operacional: " + plat::osVersionText()));
  EXPECT_FALSE(hasLine(t, "Tabelas abertas"));
}

TEST_F(ErrorLogTest, GenCodeWithoutDescription) {
  rt::ErrorRecord e = rt::makeError(9, "BASE", 1);
  EXPECT_TRUE(hasLine(errorEntryText(e), "GenCode    : 9-"));
}

TEST_F(ErrorLogTest, SettingsLines) {
  rt::setCentury(true);
  rt::set(rt::Set::Default, Value("C:\\DADOS"));
  rt::set(rt::Set::Deleted, Value::logical(true));
  rt::set(rt::Set::Device, Value("PRINTER"));
  rt::set(rt::Set::PrintFile, Value("LPT1.PRN"));
  std::string t = errorEntryText(rt::makeError(rt::kErrArg, "BASE", 1003));
  EXPECT_TRUE(hasLine(t, "DATE FORMAT: dd/mm/yyyy"));
  EXPECT_TRUE(hasLine(t, "DEFAULT    : C:\\DADOS"));
  EXPECT_TRUE(hasLine(t, "DELETED    : Verdadeiro"));
  EXPECT_TRUE(hasLine(t, "DEVICE     : PRINTER"));
  EXPECT_TRUE(hasLine(t, "PRINTFILE  : LPT1.PRN"));
  EXPECT_FALSE(hasLineStarting(t, "PRINTER    :"));
}

TEST_F(ErrorLogTest, FieldsInTheGeneralTextForm) {
  rt::ErrorRecord e = rt::makeError(rt::kErrOpen, "DBFNTX", 1001, "RICLAS", "C:\\X\\RICLAS.DBF", 32);
  e.args = {Value(1), Value(""), Value::logical(false), Value::number(1.5, 2)};
  e.cargo = Value::logical(true);
  e.canSubstitute = true;
  std::string t = errorEntryText(e);
  EXPECT_TRUE(hasLine(t, "Args       : 1, Falso, 1,50"));
  EXPECT_TRUE(hasLine(t, "Cargo      : Verdadeiro"));
  EXPECT_TRUE(hasLine(t, "CanSubstit : Verdadeiro"));
  EXPECT_TRUE(hasLine(t, "OsCode     : 32"));
  EXPECT_TRUE(hasLine(t, "FileName   : C:\\X\\RICLAS.DBF"));
  EXPECT_FALSE(hasLineStarting(t, "CanDefault"));
  EXPECT_FALSE(hasLineStarting(t, "CanRetry"));
}

void levelTwo(rt::ErrorRecord& out) {
  KOR_ROUTINE("ABREARQ");
  KOR_LINE();
  out = raised(rt::makeError(rt::kErrOpen, "DBFNTX", 1001, "RICLAS"));
  GRAVAERROLOG(out);
}

TEST_F(ErrorLogTest, RoutinesAndPlaceOfTheError) {
  rt::ErrorRecord e;
  int mainLine;
  {
    rt::FrameGuard f(std::string_view("clasupd.prg"), std::string_view("MAIN"), 40);
    mainLine = 40;
    levelTwo(e);
  }
  std::string log = read("ERRO.LOG");
  auto l = lines(log);
  auto at = std::find(l.begin(), l.end(), "------Rotinas-------");
  ASSERT_NE(at, l.end()) << log;
  EXPECT_EQ(at[1], e.moduleName + "->ABREARQ(" + std::to_string(e.procLine) + ")");
  EXPECT_EQ(at[2], "errorlog_test->ABREARQ(" + std::to_string(e.procLine) + ")");
  EXPECT_EQ(at[3], "clasupd->MAIN(" + std::to_string(mainLine) + ")");
  // The entry: header, the lines, and an empty line after them.
  EXPECT_EQ(l[0], std::string(80, '_'));
  EXPECT_EQ(l[3], plat::executablePath());
  EXPECT_EQ(l.back(), "");
}

TEST_F(ErrorLogTest, OpenTablesSection) {
  setOpenTablesSource([] {
    return std::vector<OpenTable>{{1, "/d/RICLA9.DBF", false, false, 0, {}},
                                  {2, "/d/RICLAS.DBF", true, true, 17, {{"RICLAS.NTX", true}, {"RICLAS2.NTX", false}}}};
  });
  std::string t = errorEntryText(rt::makeError(rt::kErrArg, "BASE", 1));
  auto l = lines(t);
  auto at = std::find(l.begin(), l.end(), "------------Tabelas abertas-------------");
  ASSERT_NE(at, l.end());
  EXPECT_EQ(at[1], "/d/RICLA9.DBF ");
  EXPECT_EQ(at[2], "/d/RICLAS.DBF*(17)->RICLAS.NTX*, RICLAS2.NTX ");
}

TEST_F(ErrorLogTest, ShowErroLogsAndShows) {
  rt::ErrorRecord e;
  {
    KOR_ROUTINE("RELATORIO");
    e = raised(rt::makeError(rt::kErrWrite, "TERM", 2, "LPT1", "", 29));
  }
  user_.answers = {1};
  SHOWERRO(e);
  ASSERT_EQ(user_.alerts.size(), 1u);
  EXPECT_EQ(user_.alerts[0].buttons, std::vector<std::string>{"Ok"});
  std::string expected = "Error: 24;SubCode: 2;OSCode: 29;SubSystem: TERM;Operacao: LPT1;Procedimento: RELATORIO;"
                         "Mensangem: Erro de escrita;errorlog_test->RELATORIO(" +
                         std::to_string(e.procLine) + ")";
  EXPECT_EQ(user_.alerts[0].message, expected);
  EXPECT_TRUE(hasLine(read("ERRO.LOG"), "GenCode    : 24-Erro de escrita"));
  SHOWERRO(e, 3);
  ASSERT_EQ(user_.boxes.size(), 1u);
  EXPECT_EQ(user_.waits.back(), 3000);
  EXPECT_EQ(user_.closed.size(), 1u);
}

TEST_F(ErrorLogTest, CallStackHelpers) {
  rt::FrameGuard outer(std::string_view("menu.prg"), std::string_view("MENU"), 12);
  Value st, prev;
  {
    rt::FrameGuard inner(std::string_view("cadastro.prg"), std::string_view("CADASTRO"), 30);
    st = GETCALLSTACK();
    prev = ROTINAANTERIOR();
  }
  ASSERT_EQ(st.size(), 2u);
  EXPECT_EQ(st.at(0).at(0).string(), "cadastro->CADASTRO(30)");
  EXPECT_EQ(st.at(1).at(0).string(), "menu->MENU(12)");
  ASSERT_EQ(prev.size(), 2u);
  EXPECT_EQ(prev.at(0).string(), "cadastro->CADASTRO(30)");
  EXPECT_EQ(STACK({{"a.prg", "X", 1}, {"b.prg", "B", 2}}), "a->X(1);b->B(2);");
}

TEST_F(ErrorLogTest, ErrorObjectRoundTrip) {
  rt::ErrorRecord e = rt::makeError(rt::kErrOpen, "DBFNTX", 1001, "OP", "F.DBF", 5);
  e.canRetry = true;
  e.args = {Value("a")};
  e.stack = {{"m.prg", "R", 3}};
  rt::ErrorRecord back = errorRecordOf(errorObject(e));
  EXPECT_EQ(back.genCode, 21);
  EXPECT_EQ(back.subsystem, "DBFNTX");
  EXPECT_EQ(back.filename, "F.DBF");
  EXPECT_EQ(back.osCode, 5);
  EXPECT_TRUE(back.canRetry);
  EXPECT_FALSE(back.canDefault);
  ASSERT_EQ(back.stack.size(), 1u);
  EXPECT_EQ(back.stack[0].routine, "R");
  EXPECT_EQ(back.args[0].string(), "a");
}

}  // namespace
}  // namespace kor::err
