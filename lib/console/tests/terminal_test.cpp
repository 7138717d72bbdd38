// The terminal backend on real terminals: a pseudo-terminal driven from
// this process (bytes in, bytes out), and the demo program in a tmux pane
// driven with send-keys and read with capture-pane.
#include "console/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "console/boxes.h"
#include "console/routines.h"
#include "console/screen.h"
#include "values/cp850.h"

namespace kor::con {
namespace {

// A pseudo-terminal pair: the test holds the master side.
struct Pty {
  int master = -1, slave = -1;
  std::FILE* in = nullptr;
  std::FILE* out = nullptr;
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    in = fdopen(dup(slave), "r");
    out = fdopen(dup(slave), "w");
  }
  ~Pty() {
    if (in) std::fclose(in);
    if (out) std::fclose(out);
    if (slave >= 0) ::close(slave);
    closeMaster();
  }
  void closeMaster() {
    if (master >= 0) ::close(master);
    master = -1;
  }
  bool ok() const { return master >= 0 && slave >= 0 && in && out; }
  void type(const std::string& bytes) { ASSERT_EQ(::write(master, bytes.data(), bytes.size()), (ssize_t)bytes.size()); }
  // What the program wrote, read until the terminal is quiet.
  std::string drain() {
    std::string got;
    char buf[4096];
    for (;;) {
      struct pollfd p {master, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) break;
      ssize_t n = ::read(master, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, static_cast<size_t>(n));
    }
    return got;
  }
  TerminalOptions options() const {
    TerminalOptions o;
    o.in = in;
    o.out = out;
    o.inFd = slave;
    o.outFd = slave;
    o.term = "xterm-256color";
    return o;
  }
};

class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    std::string why;
    auto t = TerminalBackend::open(pty.options(), &why);
    ASSERT_NE(t, nullptr) << why;
    term = t.get();
    resetConsole();
    setBackend(std::move(t));
  }
  void TearDown() override {
    setBackend(nullptr);
    pty.drain();
  }
  Pty pty;
  TerminalBackend* term = nullptr;
};

TEST_F(PtyTest, KeysTypedOnTheTerminalArriveAsKeyCodes) {
  pty.drain();
  pty.type("\x1b[C\r\x1bOP\xc3\xa7\x17\x1b[1;5B\x1bs");
  const int want[] = {key::Right, key::Enter, key::F1, 0x87, 535, key::CtrlDown, 287};
  for (int k : want) EXPECT_EQ(inkey(Wait::seconds(2)), k);
  // A lone Esc is the Esc key once the escape delay passes.
  pty.type("\x1b");
  EXPECT_EQ(inkey(Wait::seconds(2)), key::Esc);
  EXPECT_EQ(inkey(Wait::seconds(0.05)), 0);
}

TEST_F(PtyTest, MouseClicksAndDoubleClicks) {
  setEventMask(kEvAll);
  pty.type("\x1b[<0;11;6M\x1b[<0;11;6m\x1b[<0;11;6M");
  EXPECT_EQ(inkey(Wait::seconds(2)), key::LeftDown);
  EXPECT_EQ(mouseRow(), 5);
  EXPECT_EQ(mouseCol(), 10);
  EXPECT_EQ(inkey(Wait::seconds(2)), key::LeftUp);
  EXPECT_EQ(inkey(Wait::seconds(2)), key::LeftDouble);
  setEventMask(kEvKeyboard);
}

TEST_F(PtyTest, CellsAreDrawnAsUtf8AndOnlyChangesAreSent) {
  pty.drain();
  writeAt(3, 3, "┌─┐ Atenção ░▒▓█"_cp, 0x4F);
  std::string out = pty.drain();
  EXPECT_NE(out.find("┌─┐ Atenção ░▒▓█"), std::string::npos) << out;
  writeAt(3, 3, "┌─┐ Atenção ░▒▓█"_cp, 0x4F);  // the same again: nothing to send
  EXPECT_EQ(pty.drain(), "");
  setTitle("Utilitário de atualização"_cp);
  EXPECT_NE(pty.drain().find("\x1b]2;Utilitário de atualização\x07"), std::string::npos);
}

TEST_F(PtyTest, AHangUpIsTheCloseRequestFromThenOn) {
  pty.closeMaster();
  EXPECT_EQ(inkey(Wait::forever()), key::Close);
  EXPECT_EQ(inkey(Wait::forever()), key::Close);
  EXPECT_EQ(MSGALERTA(Value("Ainda aí?"_cp)), 0);  // a dialogue cannot wait on a closed terminal
}

TEST(TerminalOpenTest, NoTerminalNoBackend) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  TerminalOptions o;
  o.inFd = p[0];
  o.outFd = p[1];
  std::string why;
  EXPECT_EQ(TerminalBackend::open(o, &why), nullptr);
  EXPECT_EQ(why, "not a terminal");
  ::close(p[0]);
  ::close(p[1]);
}

// --- the demo program in tmux ----------------------------------------------

std::string run(const std::string& cmd) {
  std::string out;
  if (std::FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

class TmuxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (run("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
    sock = "korcon" + std::to_string(getpid());
    dir = testing::TempDir() + "/" + sock;
    run("mkdir -p " + dir);
    tmux("-f /dev/null new-session -d -s t -x 80 -y 25 'env TERM=tmux-256color PS1=\"$ \" sh'");
    tmux("set-option -g default-terminal tmux-256color");
    waitFor("$", 5000);
  }
  void TearDown() override {
    if (!sock.empty()) tmux("kill-server");
  }
  std::string tmux(const std::string& args) { return run("tmux -L " + sock + " " + args + " 2>&1"); }
  std::string pane() { return tmux("capture-pane -p -t t"); }
  bool waitFor(const std::string& text, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
      if (pane().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  std::string sock, dir;
};

TEST_F(TmuxTest, AlertTakesRightAndEnterAndLeavesTheTerminalAsItFoundIt) {
  std::string answer = dir + "/answer";
  tmux("send-keys -t t 'stty -g > " + dir + "/stty.before; echo ANTES' Enter");
  ASSERT_TRUE(waitFor("ANTES", 5000));
  std::string titleBefore = tmux("display-message -p -t t '#{pane_title}'");
  tmux(std::string("send-keys -t t '") + KOR_CONSOLE_DEMO + " " + answer + "; stty -g > " + dir +
       "/stty.after; echo FIM$((1+1))' Enter");  // prints FIM2, which the typed line does not show
  ASSERT_TRUE(waitFor("Selecionar outra", 10000)) << pane();
  std::string shown = pane();
  EXPECT_NE(shown.find("Confirme a pasta do VELTAR que deseja atualizar"), std::string::npos) << shown;
  EXPECT_NE(shown.find("│              Pasta: /dados/veltar               │"), std::string::npos) << shown;
  EXPECT_NE(shown.find("┌───"), std::string::npos) << shown;
  EXPECT_NE(shown.find("░░░"), std::string::npos) << shown;
  EXPECT_NE(tmux("display-message -p -t t '#{pane_title}'").find("Utilitário de atualização"), std::string::npos);
  // The current button is bright white on blue; the others white on red.
  std::string coloured = tmux("capture-pane -p -e -t t");
  EXPECT_NE(coloured.find("\x1b[44m Ok \x1b[41m"), std::string::npos) << coloured;

  tmux("send-keys -t t Right");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  tmux("send-keys -t t Enter");
  ASSERT_TRUE(waitFor("FIM2", 10000)) << pane();
  std::ifstream f(answer);
  int result = -1;
  f >> result;
  EXPECT_EQ(result, 2);

  std::string after = pane();
  EXPECT_NE(after.find("ANTES"), std::string::npos) << after;  // the shell's screen is back
  EXPECT_EQ(after.find("Selecionar"), std::string::npos) << after;
  EXPECT_EQ(after.find("░"), std::string::npos) << after;
  std::ifstream b(dir + "/stty.before"), a(dir + "/stty.after");
  std::stringstream sb, sa;
  sb << b.rdbuf();
  sa << a.rdbuf();
  EXPECT_FALSE(sb.str().empty());
  EXPECT_EQ(sa.str(), sb.str());  // the terminal's modes are as they were
  EXPECT_EQ(tmux("display-message -p -t t '#{pane_title}'"), titleBefore);
}

TEST_F(TmuxTest, ClosingThePaneEndsTheProgram) {
  std::string answer = dir + "/closed";
  tmux(std::string("send-keys -t t '") + KOR_CONSOLE_DEMO + " " + answer + "' Enter");
  ASSERT_TRUE(waitFor("Selecionar outra", 10000)) << pane();
  tmux("kill-pane -t t");
  for (int waited = 0; waited < 5000 && run("cat " + answer + " 2>/dev/null").empty(); waited += 50)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(run("cat " + answer + " 2>/dev/null"), "0\n");
}

}  // namespace
}  // namespace kor::con
