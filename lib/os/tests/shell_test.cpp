#include "os/shell.h"

#include <gtest/gtest.h>

#include "console/screen.h"
#include "errors/tests/fixture.h"
#include "os/paths.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "testing/child.h"
#include "values/textform.h"

namespace kor::os {
namespace {

using kor::testing::FolderTest;
using kor::testing::ScriptedUser;

tables::OpenSpec openSpec(const std::string& file) {
  tables::OpenSpec s;
  s.file = file;
  return s;
}

void makeExecutable(const std::string& path) {
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_exec | fs::perms::group_exec, fs::perm_options::add);
}

// A folder of fake desktop programs put first on the search path: xdg-open
// and lp that write their arguments to a file, so the tests see what the
// desktop would have been asked, without opening anything.
class Shell : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    bin_ = dir() + "/bin";
    plat::makeDir(bin_);
    savedPath_ = plat::getEnv("PATH");
    plat::setEnv("PATH", bin_);
  }
  void TearDown() override {
    if (savedPath_) plat::setEnv("PATH", *savedPath_);
    FolderTest::TearDown();
  }
  // A program on the path that records its arguments and ends with `code`.
  void fakeProgram(const std::string& name, int code = 0) {
    std::string script = "#!/bin/sh\necho \"$@\" > " + dir() + "/" + name + ".args\nexit " + std::to_string(code) + "\n";
    ASSERT_EQ(plat::writeWholeFile(bin_ + "/" + name, script), 0);
    makeExecutable(bin_ + "/" + name);
  }
  std::string argsOf(const std::string& name) {
    std::string t = read(name + ".args");
    while (!t.empty() && t.back() == '\n') t.pop_back();
    return t;
  }
  bool posix() const { return plat::separator() == '/'; }
  std::string bin_;
  std::optional<std::string> savedPath_;
};

TEST(ShellMessages, TableOfFailureCodes) {
  EXPECT_EQ(shellExecuteMessage(31), std::string("Não existe nenhuma associação para o arquivo especificado."_cp));
  std::string m5 = shellExecuteMessage(5);
  EXPECT_NE(m5.find(";"), std::string::npos);  // a line break of the alert
  EXPECT_EQ(m5.find(' '), std::string::npos);  // blanks are non-breaking
  EXPECT_NE(m5.find('\xFF'), std::string::npos);
  EXPECT_EQ(shellExecuteMessage(42), "");
  EXPECT_EQ(shellExecuteMessage(7), "");
  for (int c : {0, 2, 3, 6, 8, 10, 11, 12, 13, 14, 15, 16, 19, 20, 21, 31}) EXPECT_NE(shellExecuteMessage(c), "") << c;
}

TEST_F(Shell, MissingOpenerIsAMissingAssociation) {
  if (!posix()) GTEST_SKIP() << "the desktop opener is the Linux side";
  ScriptedUser user;
  write("relatorio.pdf", "%PDF");
  std::string full = _TRUENAME("relatorio.pdf");
  EXPECT_EQ(SHELL_EXECUTE(full), 31);
  ASSERT_EQ(user.alerts.size(), 1u);
  EXPECT_EQ(user.alerts[0].message,
            std::string("Não existe nenhuma associação para o arquivo especificado."_cp) + ";(" + full + ")");
  std::string log = read("ERRO.LOG");
  EXPECT_NE(log.find("Erro 31-"), std::string::npos);
  EXPECT_NE(log.find("Executando: " + full + " acao: 1 window: 1"), std::string::npos) << log;
  EXPECT_EQ(log.find("Nao encontrado"), std::string::npos);
}

TEST_F(Shell, MissingFileIsLoggedAsNotFound) {
  ScriptedUser user;
  fakeProgram("xdg-open");
  std::string full = _TRUENAME("nada.pdf");
  EXPECT_EQ(SHELL_EXECUTE(full, 2, 0), 2);
  std::string log = read("ERRO.LOG");
  EXPECT_NE(log.find("Erro 2-"), std::string::npos);
  EXPECT_NE(log.find("Executando: " + full + " (Nao encontrado) acao: 2 window: 0"), std::string::npos) << log;
  ASSERT_EQ(user.alerts.size(), 1u);
  EXPECT_EQ(user.alerts[0].message.substr(user.alerts[0].message.size() - full.size() - 2), "(" + full + ")");
  EXPECT_FALSE(plat::fileExists("xdg-open.args"));  // nothing was handed over
  EXPECT_EQ(SHELL_EXECUTE(dir() + "/naoexiste/x.pdf"), 3);
}

TEST_F(Shell, DocumentsGoToTheOpener) {
  if (!posix()) GTEST_SKIP() << "the desktop opener is the Linux side";
  ScriptedUser user;
  fakeProgram("xdg-open");
  write("planilha.csv", "a;b");
  EXPECT_GT(SHELL_EXECUTE("planilha.csv"), 32);
  EXPECT_EQ(argsOf("xdg-open"), dir() + "/planilha.csv");
  EXPECT_TRUE(user.alerts.empty());
  EXPECT_FALSE(plat::fileExists("ERRO.LOG"));
  // An opener that finds nothing for the file: a missing association.
  fakeProgram("xdg-open", 3);
  EXPECT_EQ(SHELL_EXECUTE("planilha.csv"), 31);
  EXPECT_EQ(user.alerts.size(), 1u);
  // Printing goes to lp; without lp nothing can print.
  EXPECT_EQ(SHELL_EXECUTE("planilha.csv", 2), 31);
  fakeProgram("lp");
  EXPECT_GT(SHELL_EXECUTE("planilha.csv", 2), 32);
  EXPECT_EQ(argsOf("lp"), dir() + "/planilha.csv");
}

TEST_F(Shell, ProgramsStartWithTheirParameters) {
  if (!posix()) GTEST_SKIP() << "the desktop opener is the Linux side";
  ScriptedUser user;
  std::string prog = dir() + "/ferramenta";
  write("ferramenta", "#!/bin/sh\necho \"$1|$2\" > " + dir() + "/saida.tmp\n/bin/mv " + dir() + "/saida.tmp " + dir() +
                          "/saida.txt\n");
  makeExecutable(prog);
  EXPECT_GT(SHELL_EXECUTE(prog, 1, 0, "/COMPACTA \"dois nomes\""), 32);
  ASSERT_TRUE(kor::testing::waitForFile(dir() + "/saida.txt", 20000));
  EXPECT_EQ(read("saida.txt"), "/COMPACTA|dois nomes\n");
}

TEST_F(Shell, FolderOfAFileInTheFileManager) {
  if (!posix()) GTEST_SKIP() << "the desktop opener is the Linux side";
  fakeProgram("xdg-open");
  plat::makeDir("sub");
  write("sub/a.txt", "");
  EXPECT_GT(ABRIRPASTA(dir() + "/sub/a.txt"), 32);
  EXPECT_EQ(argsOf("xdg-open"), dir() + "/sub");
  EXPECT_GT(ABRIRPASTA(dir() + "/sub"), 32);
  EXPECT_EQ(argsOf("xdg-open"), dir() + "/sub");
}

TEST_F(Shell, FileReadyDialog) {
  if (!posix()) GTEST_SKIP() << "the desktop opener is the Linux side";
  ScriptedUser user;
  fakeProgram("xdg-open");
  write("lista.csv", "x");
  // Mode 3 opens the file without asking.
  START("lista.csv", 3);
  EXPECT_TRUE(user.alerts.empty());
  EXPECT_EQ(argsOf("xdg-open"), dir() + "/lista.csv");
  plat::removeFile("xdg-open.args");
  // Mode 2 asks; "A=Abrir Arquivo" opens it.
  user.answers = {3};
  START("lista.csv");
  ASSERT_EQ(user.alerts.size(), 1u);
  EXPECT_EQ(user.alerts[0].message,
            std::string("O arquivo está disponível em:;"_cp) + dir() + "/lista.csv" + std::string(";Selecione a ação"_cp));
  EXPECT_EQ(user.alerts[0].buttons, (std::vector<std::string>{"Ok", "P=Abrir Pasta", "A=Abrir Arquivo"}));
  EXPECT_EQ(argsOf("xdg-open"), dir() + "/lista.csv");
  // A text file (mode 1) offers only the folder; Esc does nothing.
  write("nota.txt", "x");
  plat::removeFile("xdg-open.args");
  START("nota.txt");
  EXPECT_EQ(user.alerts.back().buttons, (std::vector<std::string>{"Ok", "P=Abrir Pasta"}));
  EXPECT_FALSE(plat::fileExists("xdg-open.args"));
  // A folder in mode 3 opens the folder; a missing name shows nothing.
  plat::makeDir("pasta");
  START("pasta", 3);
  EXPECT_EQ(argsOf("xdg-open"), dir() + "/pasta");
  size_t shown = user.alerts.size();
  START("nada.csv");
  EXPECT_EQ(user.alerts.size(), shown);
}

TEST_F(Shell, RenameAsksWhenTheTargetExists) {
  plat::VirtualClock clock;
  ScriptedUser user;
  write("a.txt", "A");
  write("b.txt", "B");
  EXPECT_TRUE(NOMELONGO("a.txt", "c.txt"));
  EXPECT_EQ(read("c.txt"), "A");
  // Without replacing first: the question; " Sim " replaces.
  user.answers = {1};
  EXPECT_TRUE(NOMELONGO("c.txt", "b.txt", "", false));
  ASSERT_EQ(user.alerts.size(), 1u);
  EXPECT_EQ(user.alerts[0].message, "O arquivo de destino;b.txt;" + std::string("já existe, deseja substitui-lo?"_cp));
  EXPECT_EQ(user.alerts[0].buttons, (std::vector<std::string>{" Sim ", " Nao "}));
  EXPECT_EQ(read("b.txt"), "A");
  // " Nao ", then "Cancelar": nothing changes.
  write("d.txt", "D");
  user.answers = {2, 2};
  EXPECT_FALSE(NOMELONGO("d.txt", "b.txt", "", false));
  ASSERT_EQ(user.alerts.size(), 3u);
  EXPECT_EQ(user.alerts[2].message,
            std::string("Atenção!;Ocorreu o erro -183 renomeando o arquivo;"_cp) + "d.txt para;b.txt");
  EXPECT_EQ(read("b.txt"), "A");
  EXPECT_EQ(read("d.txt"), "D");
  // Replacing by default; a folder given joins both names to it.
  plat::makeDir("sub");
  write("sub/x.txt", "X");
  write("sub/y.txt", "Y");
  EXPECT_TRUE(NOMELONGO("x.txt", "y.txt", dir() + "/sub"));
  EXPECT_EQ(read("sub/y.txt"), "X");
  // A source that does not exist: the error alert until "Cancelar".
  user.answers = {1, 2};
  EXPECT_FALSE(NOMELONGO("naoha.txt", "z.txt"));
  EXPECT_NE(user.alerts.back().message.find("Ocorreu o erro -2 "), std::string::npos);
}

TEST_F(Shell, ExistenceWithItsAlert) {
  ScriptedUser user;
  write("RICLAS.DBF", "");
  EXPECT_TRUE(EXISTEARQ("RICLAS", ".DBF"));
  EXPECT_TRUE(EXISTEARQ("RICLAS.DBF", ".DBF"));
  EXPECT_TRUE(EXISTEARQ("riclas", ".dbf"));
  EXPECT_TRUE(EXISTEARQ(""));
  EXPECT_TRUE(user.alerts.empty());
  EXPECT_FALSE(EXISTEARQ("RICLA9", ".DBF"));
  ASSERT_EQ(user.alerts.size(), 1u);
  // Upper case where names ignore it (the whole path on Windows).
  std::string want = posix() ? dir() + "/RICLA9.DBF" : upper(dir() + "\\RICLA9.DBF");
  EXPECT_EQ(user.alerts[0].message, std::string("Atenção!;Arquivo näo encontrado.;("_cp) + want + ")");
  EXPECT_FALSE(EXISTEARQ("RICLA9.DBF", ".DBF", false));
  EXPECT_EQ(user.alerts.size(), 1u);
}

TEST_F(Shell, DeletingTemporaryTables) {
  std::vector<tables::FieldDef> f = {{"NCM", 'C', 8, 0}};
  ASSERT_TRUE(tables::createTable("TMP123.DBF", f));
  ASSERT_TRUE(tables::createTable("RICLAS.DBF", f));
  ASSERT_NE(tables::openTable(openSpec("TMP123.DBF")), 0);
  EXPECT_TRUE(APAGATMP());  // the current area's table
  EXPECT_EQ(tables::areaOf("TMP123"), 0);
  EXPECT_FALSE(plat::fileExists("TMP123.DBF"));
  ASSERT_NE(tables::openTable(openSpec("RICLAS.DBF")), 0);
  EXPECT_FALSE(APAGATMP("RICLAS.DBF"));  // closed, never deleted
  EXPECT_EQ(tables::areaOf("RICLAS"), 0);
  EXPECT_TRUE(plat::fileExists("RICLAS.DBF"));
  ASSERT_TRUE(tables::createTable("TMP9.DBF", f));
  EXPECT_TRUE(APAGATMP(dir() + "/TMP9.DBF"));  // not open: just deleted
  EXPECT_FALSE(plat::fileExists("TMP9.DBF"));
  EXPECT_TRUE(APAGATMP("", "NENHUM"));
  tables::closeAll();
}

TEST_F(Shell, CommandsRunAndTheConsoleKeepsItsSize) {
  int rows = con::maxRow(), cols = con::maxCol();
  MYRUN(posix() ? "echo feito >" : "echo feito>", dir() + "/saida.txt");
  EXPECT_EQ(read("saida.txt").substr(0, 5), "feito");
  EXPECT_EQ(con::maxRow(), rows);
  EXPECT_EQ(con::maxCol(), cols);
}

}  // namespace
}  // namespace kor::os
