// The program skeleton in a real terminal (tmux): the window title, the
// presence file while it runs, gone after it ends, also when the terminal
// is killed under it.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "testing/child.h"

namespace {

std::string run(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

class Skeleton : public ::testing::Test {
 protected:
  void SetUp() override {
    if (run("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
    sock_ = "kor_skeleton_" + std::to_string(kor::plat::processId());
  }
  void TearDown() override {
    if (!sock_.empty()) tmux("kill-server");
  }
  std::string tmux(const std::string& args) { return run("tmux -L " + sock_ + " " + args + " 2>&1"); }
  // Starts the skeleton in its own session, in `dir`. With `thenShell` the
  // pane's shell stays after the program, shows its exit code and waits.
  void start(const std::string& dir, bool thenShell = false) {
    std::string cmd = "cd '" + dir + "' && TERM=tmux-256color ";
    cmd += thenShell ? std::string(KOR_SKELETON) + "; echo SAIDA=\\$?; sleep 60" : "exec " + std::string(KOR_SKELETON);
    tmux("-f /dev/null new-session -d -s s -x 80 -y 25 \"" + cmd + "\"");
  }
  std::string screen() { return tmux("capture-pane -p -t s"); }
  // The presence files in a folder.
  static std::vector<std::string> presence(const std::string& dir) {
    std::vector<std::string> out;
    for (auto& e : kor::plat::listDir(dir, "*.usr")) out.push_back(e.name);
    return out;
  }
  // Waits (real time: another program runs) until `ok` holds.
  template <class F>
  static bool waitFor(F ok, int64_t ms = 15000) {
    int64_t end = kor::plat::monotonicMillis() + ms;
    while (kor::plat::monotonicMillis() < end) {
      if (ok()) return true;
      kor::plat::sleepMillis(50);
    }
    return ok();
  }
  std::string sock_;
};

TEST_F(Skeleton, TitleAndPresenceFileWhileItRuns) {
  kor::testing::ScratchDir dir("skeleton_run");
  start(dir.path());
  ASSERT_TRUE(waitFor([&] { return presence(dir.path()).size() == 1; })) << tmux("capture-pane -p -t s");
  std::string file = presence(dir.path())[0];
  EXPECT_EQ(file.rfind("STARTUP_SKELETON", 0), 0u) << file;
  ASSERT_TRUE(waitFor([&] { return tmux("capture-pane -p -t s").find("Pressione Q para sair") != std::string::npos; }));
  EXPECT_EQ(tmux("display-message -p -t s '#{pane_title}'"), "Esqueleto em execução");
  // The file is held: another instance would count this one as running.
  std::string text = *kor::plat::readWholeFile(dir.file(file));
  EXPECT_NE(text.find("\r\n("), std::string::npos);
  tmux("send-keys -t s q");
  EXPECT_TRUE(waitFor([&] { return presence(dir.path()).empty(); }));
  // The program ended, so did its session.
  EXPECT_TRUE(waitFor([&] { return !tmux("has-session -t s").empty(); }));
}

TEST_F(Skeleton, KilledTerminalStillEndsThroughTheShutDown) {
  kor::testing::ScratchDir dir("skeleton_kill");
  start(dir.path());
  ASSERT_TRUE(waitFor([&] { return presence(dir.path()).size() == 1; }));
  ASSERT_TRUE(waitFor([&] { return tmux("capture-pane -p -t s").find("Pressione Q para sair") != std::string::npos; }));
  tmux("kill-session -t s");  // the terminal is gone: a hang-up
  EXPECT_TRUE(waitFor([&] { return presence(dir.path()).empty(); })) << "the presence file stayed behind";
  // The close was logged on the way out.
  std::string log = kor::plat::readWholeFile(dir.file("ERRO.LOG")).value_or("");
  EXPECT_NE(log.find("Fechamento for"), std::string::npos) << log;
}

TEST_F(Skeleton, FolderPickerOnTheTerminal) {
  kor::testing::ScratchDir dir("skeleton_picker");
  std::filesystem::create_directories(dir.path() + "/dados");
  start(dir.path());
  ASSERT_TRUE(waitFor([&] { return screen().find("Pressione Q para sair") != std::string::npos; })) << screen();
  tmux("send-keys -t s p");
  ASSERT_TRUE(waitFor([&] { return screen().find("[Selecionar esta pasta]") != std::string::npos; })) << screen();
  EXPECT_NE(screen().find("Indique uma pasta"), std::string::npos) << screen();
  // [Selecionar esta pasta], .., [Nova pasta], dados: open "dados", choose it.
  tmux("send-keys -t s d Enter");
  ASSERT_TRUE(waitFor([&] { return screen().find(dir.path() + "/dados ") != std::string::npos; })) << screen();
  tmux("send-keys -t s Enter");
  ASSERT_TRUE(waitFor([&] { return screen().find("Pasta: [") != std::string::npos; })) << screen();
  EXPECT_NE(screen().find("Pasta: [" + dir.path() + "/dados]"), std::string::npos) << screen();
  EXPECT_EQ(screen().find("[Selecionar esta pasta]"), std::string::npos) << "the screen under it is back";
  // Esc cancels: nothing chosen.
  tmux("send-keys -t s p");
  ASSERT_TRUE(waitFor([&] { return screen().find("[Selecionar esta pasta]") != std::string::npos; })) << screen();
  tmux("send-keys -t s Escape");
  EXPECT_TRUE(waitFor([&] { return screen().find("Pasta: []") != std::string::npos; })) << screen();
  tmux("send-keys -t s q");
  EXPECT_TRUE(waitFor([&] { return presence(dir.path()).empty(); }));
}

// A process that has ended (or only waits to be reaped).
bool processGone(int pid) {
  if (::kill(pid, 0) != 0) return true;
  std::string stat = kor::plat::readWholeFile("/proc/" + std::to_string(pid) + "/stat").value_or("");
  size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

TEST_F(Skeleton, KilledTerminalWithItsFolderGoneStillEnds) {
  // Nothing can be written any more (the log of the close, the presence
  // file's removal) and nobody is there to answer the retry dialogues: the
  // program must still end instead of asking for ever.
  kor::testing::ScratchDir dir("skeleton_gone");
  start(dir.path());
  ASSERT_TRUE(waitFor([&] { return screen().find("Pressione Q para sair") != std::string::npos; })) << screen();
  int pid = std::stoi(tmux("display-message -p -t s '#{pane_pid}'"));
  std::filesystem::remove_all(dir.path());
  tmux("kill-session -t s");
  // The log's file lock gives up after its own wait of some seconds.
  EXPECT_TRUE(waitFor([&] { return processGone(pid); }, 30000)) << "the program is still running";
  if (!processGone(pid)) ::kill(pid, SIGKILL);
}

TEST_F(Skeleton, ErrorEndsWithItsReportBelowTheShellsScreen) {
  kor::testing::ScratchDir dir("skeleton_error");
  start(dir.path(), true);
  ASSERT_TRUE(waitFor([&] { return screen().find("Pressione Q para sair") != std::string::npos; })) << screen();
  ASSERT_EQ(presence(dir.path()).size(), 1u);
  tmux("send-keys -t s e");
  // The handler's alert on the console; its first button ends the program.
  ASSERT_TRUE(waitFor([&] { return screen().find("Erro nos par") != std::string::npos; })) << screen();
  tmux("send-keys -t s Enter");
  // The report on the program's screen, as in a console window, while the
  // program waits for a key before it ends.
  ASSERT_TRUE(waitFor([&] { return screen().find("Pressione qualquer tecla") != std::string::npos; })) << screen();
  EXPECT_NE(screen().find("Called from skeleton->MAIN"), std::string::npos) << screen();
  EXPECT_EQ(presence(dir.path()).size(), 1u);
  tmux("send-keys -t s x");
  ASSERT_TRUE(waitFor([&] { return screen().find("SAIDA=") != std::string::npos; })) << screen();
  std::string after = screen();
  EXPECT_NE(after.find("SAIDA=1"), std::string::npos) << after;
  // The report went to the error stream once the terminal was given back,
  // so it reads on the shell's screen, not lost on the program's.
  EXPECT_NE(after.find("Error BASE/1082"), std::string::npos) << after;
  EXPECT_EQ(after.find("Pressione Q"), std::string::npos) << after;
  EXPECT_TRUE(presence(dir.path()).empty());
  EXPECT_TRUE(kor::plat::fileExists(dir.file("ERRO.LOG")) || kor::plat::fileExists(dir.file("ERRO.SCR")));
}

}  // namespace
