// The real program in a real terminal: clasupd started in a tmux pane on
// the sample, driven with keys, its screens captured; then the tables read
// back and compared with the model of the rules.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/tests/fixture.h"
#include "app/tests/model.h"

namespace kor::app::testing {
namespace {

namespace fs = std::filesystem;

std::string shell(const std::string& cmd) {
  std::string out;
  if (std::FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

class Terminal : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    if (shell("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
    sock = "korapp" + std::to_string(getpid());
    tmux("-f /dev/null new-session -d -s t -x 80 -y 25 'env TERM=tmux-256color PS1=\"$ \" sh'");
    tmux("set-option -g default-terminal tmux-256color");
    ASSERT_TRUE(waitFor("$", 5000));
  }
  void TearDown() override {
    if (!sock.empty()) tmux("kill-server");
    AppTest::TearDown();
  }
  std::string tmux(const std::string& args) { return shell("tmux -L " + sock + " " + args + " 2>&1"); }
  std::string pane() { return tmux("capture-pane -p -t t"); }
  bool waitFor(const std::string& text, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
      if (pane().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "the pane never showed \"" << text << "\":\n" << pane();
    return false;
  }
  // Starts clasupd in the pane, in the scratch folder, with the Windows
  // folder pointed at the sample's; the shell prints its exit code after.
  void start(const std::string& argument = "") {
    tmux("send-keys -t t 'cd " + dir + " && WINDIR=" + file("WINDOWS") + " " + CLASUPD_EXE + " " + argument +
         "; echo EXIT=$?' Enter");
  }
  std::string sock;
};

TEST_F(Terminal, AWholeRunOnTheSample) {
  rt::set(rt::Set::DateFormat, Value("dd/mm/yy"));
  makeSampleHere({.codes = 3000, .tariff = 3200, .audit = 100});
  TableRows riclasBefore = readTable(product("RICLAS.DBF"));
  TableRows tariff = readTable(file("GECEX269.DBF"));
  start();
  ASSERT_TRUE(waitFor("Confirme a pasta do VELTAR que deseja atualizar", 10000));
  std::string confirm = pane();
  EXPECT_NE(confirm.find("Ok    Selecionar outra    Cancelar"), std::string::npos) << confirm;
  EXPECT_NE(tmux("display-message -p -t t '#{pane_title}'").find("Utilitário de atualização"), std::string::npos);
  tmux("send-keys -t t Enter");
  // The bar: its caption names the code being read.
  bool sawBar = false;
  for (int waited = 0; waited < 20000 && !sawBar; waited += 10) {
    std::string p = pane();
    if (p.find("Lendo ") != std::string::npos) sawBar = true;
    if (p.find("Atualizado!") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(sawBar) << "the progress bar was never seen";
  ASSERT_TRUE(waitFor("Atualizado!", 30000));
  tmux("send-keys -t t Enter");
  ASSERT_TRUE(waitFor("EXIT=0", 10000));
  // The run's lines stay below the shell's screen.
  std::string after = pane();
  EXPECT_NE(after.find("Fazendo backup do RICLAS.DBF...\nAbrindo tabelas...\nImportando dados..."),
            std::string::npos)
      << after;

  std::string day = dtoc(DateTime{julianToday()});
  Expected e = model(riclasBefore, tariff, day);
  expectRiclas(readTable(product("RICLAS.DBF")), e);
  expectAudit(readTable(product("RICLA9.DBF")), 100, e, day);
  expectSound(product());
  ASSERT_TRUE(fs::exists(product("BK")));
  EXPECT_EQ(std::distance(fs::directory_iterator(product("BK")), fs::directory_iterator()), 1);
}

TEST_F(Terminal, EscAtTheConfirmationLeavesEverythingAsItWas) {
  makeSampleHere();
  std::string before = plat::readWholeFile(product("RICLAS.DBF")).value_or("");
  start();
  ASSERT_TRUE(waitFor("Confirme a pasta", 10000));
  tmux("send-keys -t t Escape");
  ASSERT_TRUE(waitFor("EXIT=0", 10000));
  EXPECT_EQ(plat::readWholeFile(product("RICLAS.DBF")).value_or(""), before);
  EXPECT_FALSE(fs::exists(product("BK")));
}

TEST_F(Terminal, WithoutTheSourceTheProgramSaysSoAndEnds) {
  makeSampleHere();
  start("nada");
  ASSERT_TRUE(waitFor("EXIT=0", 10000));
  std::string p = pane();
  std::erase(p, '\n');
  EXPECT_NE(p.find("Arquivo " + plat::absolutePath(file("NADA.DBF")) + " nao encontrado!"), std::string::npos)
      << pane();
}

TEST_F(Terminal, WithoutRiclasTheAlertNamesTheFolder) {
  makeSampleHere();
  fs::remove(product("RICLAS.DBF"));
  start();
  ASSERT_TRUE(waitFor("Confirme a pasta", 10000));
  tmux("send-keys -t t Enter");
  ASSERT_TRUE(waitFor("Arquivo de classificacao nao encontrado na pasta", 10000));
  tmux("send-keys -t t Enter");
  ASSERT_TRUE(waitFor("EXIT=0", 10000));
  EXPECT_FALSE(fs::exists(product("BK")));
}

}  // namespace
}  // namespace kor::app::testing
