#include "startup/environment.h"

#include <gtest/gtest.h>

#include "console/headless.h"
#include "console/screen.h"
#include "errors/tests/fixture.h"
#include "expr/expr.h"
#include "os/files.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/system.h"
#include "runtime/runtime.h"

namespace kor::startup {
namespace {

using kor::testing::FolderTest;
using kor::testing::ScriptedUser;

class Environment : public FolderTest {
 protected:
  bool posix() const { return plat::separator() == '/'; }
};

TEST_F(Environment, CreatesNestedFolders) {
  EXPECT_TRUE(CRIADIR("BK"));
  EXPECT_TRUE(plat::dirExists(dir() + "/BK"));
  EXPECT_TRUE(CRIADIR("BK"));  // already there
  EXPECT_TRUE(CRIADIR("a/b/c"));
  EXPECT_TRUE(plat::dirExists(dir() + "/a/b/c"));
  EXPECT_TRUE(CRIADIR("a\\b\\d\\"));  // "\" read as a separator, the trailing one dropped
  EXPECT_TRUE(plat::dirExists(dir() + "/a/b/d"));
  EXPECT_TRUE(CRIADIR(dir() + "/x/y"));
  EXPECT_TRUE(plat::dirExists(dir() + "/x/y"));
  EXPECT_TRUE(CRIADIR(""));
  EXPECT_TRUE(CRIADIR("  g/h  "));
  EXPECT_TRUE(plat::dirExists(dir() + "/g/h"));
  if (posix()) {
    EXPECT_TRUE(CRIADIR("e:f"));  // a character of names here
    EXPECT_TRUE(plat::dirExists(dir() + "/e:f"));
    EXPECT_TRUE(CRIADIR("i;j", false, ";"));  // separators of the caller's choice
    EXPECT_TRUE(plat::dirExists(dir() + "/i/j"));
  }
}

TEST_F(Environment, FailureWithItsAlert) {
  ScriptedUser user;
  write("arquivo.txt", "");  // a file where a folder should be
  EXPECT_FALSE(CRIADIR("arquivo.txt/sub"));
  EXPECT_TRUE(user.alerts.empty());  // no alert unless asked for
  user.answers = {1, 2};             // "Repetir", then "Ignorar"
  EXPECT_FALSE(CRIADIR("arquivo.txt/sub", true));
  ASSERT_EQ(user.alerts.size(), 2u);
  // The file is in the way of its own folder: "file exists".
  EXPECT_EQ(user.alerts[0].message, "Erro do DOS 80 !;Ao criar a pasta arquivo.txt/sub !");
  EXPECT_EQ(user.alerts[0].buttons, (std::vector<std::string>{"Repetir", "Ignorar"}));
  // The code to keep quiet about silences the alert.
  EXPECT_FALSE(CRIADIR("arquivo.txt/sub", true, "", 80));
  EXPECT_EQ(user.alerts.size(), 2u);
  // "Repetir" after the cause is gone succeeds.
  err::ui::ops().alert = [&](std::string_view, const std::vector<std::string>&, int64_t, bool, bool) {
    plat::removeFile("arquivo.txt");
    return 1;
  };
  EXPECT_TRUE(CRIADIR("arquivo.txt/sub", true));
  EXPECT_TRUE(plat::dirExists(dir() + "/arquivo.txt/sub"));
}

TEST_F(Environment, KeyboardFlags) {
  auto* hb = new con::HeadlessBackend();
  auto previous = con::setBackend(std::unique_ptr<con::Backend>(hb));
  struct Case {
    int state;
    std::vector<int> on;  // flag numbers, 1-based
  } cases[] = {
      {0, {}},           {1, {1}},           {2, {1}},  // either Shift is the Shift flag
      {4, {3}},          {8 + 4, {3, 4}},    {32 + 64, {6, 7}},
      {128 + 1, {1, 8}}, {128 + 16 + 8 + 4, {9}},  // 156 and up: 100 more
      {128 + 64 + 8, {3, 4, 6, 9}},
  };
  for (auto& c : cases) {
    hb->setShiftState(c.state);
    Value list = TECLASLIGADAS();
    ASSERT_EQ(list.size(), 9u);
    for (int i = 1; i <= 9; ++i) {
      bool want = std::find(c.on.begin(), c.on.end(), i) != c.on.end();
      EXPECT_EQ(list.at(i - 1).at(1).log(), want) << "state " << c.state << " flag " << i;
      EXPECT_EQ(TECLASLIGADAS(i).log(), want);
    }
    EXPECT_EQ(ISSHIFT(), TECLASLIGADAS(1).log());
    EXPECT_EQ(ISCTRL(), TECLASLIGADAS(3).log());
  }
  Value list = TECLASLIGADAS();
  EXPECT_EQ(list.at(0).at(0).string(), "Shift      ");
  EXPECT_EQ(list.at(4).at(0).string(), "Scroll-Lock");
  EXPECT_EQ(list.at(8).at(0).string(), "Alt-Gr     ");
  con::setBackend(std::move(previous));
}

TEST_F(Environment, WindowTitleAndSystem) {
  auto* hb = new con::HeadlessBackend();
  auto previous = con::setBackend(std::unique_ptr<con::Backend>(hb));
  WINTITULO("Utilitário de atualização"_cp);
  EXPECT_EQ(con::title(), std::string("Utilitário de atualização"_cp));
  EXPECT_EQ(hb->titleText(), std::string("Utilitário de atualização"_cp));
  con::setBackend(std::move(previous));
  EXPECT_EQ(DIRDESKTOP(), os::GETSPECIALFOLDER("Desktop"));
  if (posix()) {
    EXPECT_FALSE(ISVISTA());
    EXPECT_EQ(NUMFILES(), plat::fileHandleLimit());
    EXPECT_GT(NUMFILES(), 0);
  }
}

TEST_F(Environment, StopwatchPerCallingRoutine) {
  plat::VirtualClock clock;
  // The words for a duration come from the dates module; here they are
  // recorded to see the elapsed seconds.
  std::vector<double> asked;
  rt::registerRoutine("TEMPOEXTENSO", [&](Args& a) {
    asked.push_back(a[0].num());
    return Value("texto");
  });
  {
    KOR_ROUTINE("ROTINA_A");
    EXPECT_TRUE(CRONOMETRO().isNil());
  }
  clock.advance(2000);
  {
    KOR_ROUTINE("ROTINA_B");
    CRONOMETRO();
  }
  clock.advance(5000);
  {
    KOR_ROUTINE("ROTINA_A");
    EXPECT_EQ(CRONOMETRO(true).string(), "texto");
    CRONOMETRO(true);  // the note is gone: nothing elapsed
  }
  {
    KOR_ROUTINE("ROTINA_B");
    CRONOMETRO(true);
  }
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_NEAR(asked[0], 7.0, 0.01);
  EXPECT_EQ(asked[1], 0.0);
  EXPECT_NEAR(asked[2], 5.0, 0.01);
}

TEST_F(Environment, ExpressionFieldValidation) {
  ScriptedUser user;
  expr::registerRoutines();
  rt::publicVar("CTEXTO", Value("abc"));
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"", true},           {"   ", true},           {"Chr(27)+Chr(48)", true}, {"\"ESC\"", true},
      {"CTEXTO", true},     {"15", false},            {"Chr(27)+", false},       {"NAOEXISTE", false},
      {".T.", false},       {"Date()", false},
  };
  size_t alerts = 0;
  for (auto& c : cases) {
    EXPECT_EQ(_FUNCAO(Value(c.text)), c.ok) << c.text;
    if (!c.ok) ++alerts;
    ASSERT_EQ(user.alerts.size(), alerts) << c.text;
  }
  EXPECT_EQ(user.alerts[0].message, std::string("Atenção;Expressao inválida !!"_cp));
}

}  // namespace
}  // namespace kor::startup
