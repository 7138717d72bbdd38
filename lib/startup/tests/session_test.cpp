// The run's console: the library's dialogue seams drawn by the console's
// widgets, as the user sees them in the headless console.
#include "startup/session.h"

#include <gtest/gtest.h>

#include "config/memofile.h"
#include "console/boxes.h"
#include "console/headless.h"
#include "console/keys.h"
#include "console/screen.h"
#include "errors/tests/fixture.h"
#include "errors/ui.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "values/cp850.h"

namespace kor::startup {
namespace {

using kor::testing::FolderTest;

class Session : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    h = &con::installHeadless();
    connectConsoleUi();
  }
  void TearDown() override {
    con::setAnswerMemory({});
    con::setBackend(nullptr);
    FolderTest::TearDown();
  }
  bool shown(const std::string& text) const { return h->text().find(text) != std::string::npos; }

  err::ui::Scope ui;  // the seams as they were, for the tests after these
  plat::VirtualClock clock;
  con::HeadlessBackend* h = nullptr;
};

TEST_F(Session, AlertIsTheConsolesAlertBox) {
  struct Case {
    std::vector<int> keys;
    int answer;
  } cases[] = {
      {{con::key::Enter}, 1},
      {{con::key::Right, con::key::Enter}, 2},
      {{'i'}, 2},  // a button's initial
      {{con::key::Esc}, 0},
  };
  for (const Case& c : cases) {
    bool sawBox = false;
    h->probe([&] { sawBox = shown("Erro ao gravar") && shown("segunda linha") && shown(" Ignorar "); });
    h->type(c.keys);
    EXPECT_EQ(err::ui::alert("Erro ao gravar;segunda linha", {"Repetir", "Ignorar"}), c.answer);
    EXPECT_TRUE(sawBox);
    EXPECT_FALSE(shown("Erro ao gravar")) << "the screen under the box is restored";
  }
}

TEST_F(Session, AlertTimeOutRunsOnTheClockAndTakesTheCurrentButton) {
  int64_t start = plat::monotonicMillis();
  EXPECT_EQ(err::ui::alert("Arquivo ocupado", {"Repetir", "Ignorar", "Abortar"}, 5000, true), 1);
  int64_t waited = plat::monotonicMillis() - start;
  EXPECT_GE(waited, 5000);
  EXPECT_LT(waited, 6000);
  EXPECT_EQ(h->beeps(), 1);
}

TEST_F(Session, MessageBoxOpensAndCloses) {
  int id = err::ui::ops().openBox("Aguarde...");
  EXPECT_TRUE(shown("Aguarde..."));
  err::ui::ops().closeBox(id);
  EXPECT_FALSE(shown("Aguarde..."));
}

TEST_F(Session, RememberedAnswersGoToTheStore) {
  auto ask = [] {
    KOR_ROUTINE("PERGUNTA");
    return con::MSGALERTA(Value("Continuar?"), Value::array({Value("Sim"), Value(std::string("Não"_cp))}), {}, 0,
                          true);
  };
  h->type({con::key::Right, con::key::Enter});
  EXPECT_EQ(ask(), 2);
  std::string store = plat::readWholeFile("COOKIE1.SYS").value_or("");
  EXPECT_NE(store.find("PERGUNTA"), std::string::npos) << store;
  // The next time the dialogue opens on the remembered button, also after
  // the run's own memory is gone (another run reads the same file).
  con::setAnswerMemory({});
  connectConsoleUi();
  h->type({con::key::Enter});
  EXPECT_EQ(ask(), 2);
}

// A terminal that hung up: every read is the close request at once.
class GoneTerminal : public con::HeadlessBackend {
 public:
  std::optional<con::InputEvent> readEvent(int64_t) override {
    ++reads;
    return con::InputEvent{con::key::Close};
  }
  bool inputGone() const override { return true; }
  int reads = 0;
};

TEST_F(Session, NobodyLeftToAnswerGivesUpInsteadOfRetrying) {
  auto* gone = new GoneTerminal;
  con::setBackend(std::unique_ptr<con::Backend>(gone));
  struct Case {
    std::vector<std::string> buttons;
    int answer;
  } cases[] = {
      {{"Repetir", "Ignorar", "Abortar"}, 3},
      {{"Repetir", "Abortar"}, 2},
      {{"Ok", "Repetir"}, 1},
      {{"Quit", "Retry", "Default"}, 3},
      {{" Sim ", " Nao "}, 2},
      {{"Repetir"}, 0},
      {{}, 1},
  };
  for (const Case& c : cases) {
    con::setLastKey(0);
    EXPECT_EQ(err::ui::alert("Erro 5 ao criar o arquivo", c.buttons, 5000), c.answer) << c.buttons.size();
    EXPECT_EQ(con::lastKey(), con::key::Close);  // the caller still sees why
  }
  // A file that cannot be written no longer asks again and again: its
  // "Abortar" ends the program through the shut-down.
  int before = gone->reads;
  bool shutDown = false;
  int code = rt::runProgram([&] { cfg::MEMOWRITE(dir() + "/nao/existe/X.TXT", "texto"); }, [&] { shutDown = true; });
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(shutDown);
  EXPECT_LE(gone->reads - before, 5);
}

TEST_F(Session, StillAttendedTerminalKeepsTheAnswerZero) {
  // Esc (or a close request on a terminal that is still there) is 0, which
  // the retry dialogues read as "Repetir".
  h->type({con::key::Esc});
  EXPECT_EQ(err::ui::alert("Erro", {"Repetir", "Ignorar", "Abortar"}), 0);
  h->type({con::key::Close});
  EXPECT_EQ(err::ui::alert("Erro", {"Repetir", "Ignorar", "Abortar"}), 0);
}

TEST(SessionLifetime, KeepsAnInstalledConsoleAndPutsTheSeamsBack) {
  err::ui::Scope scope;
  int calls = 0;
  err::ui::ops().alert = [&](std::string_view, const std::vector<std::string>&, int64_t, bool, bool) {
    ++calls;
    return 7;
  };
  con::setBackend(nullptr);
  EXPECT_FALSE(con::backendInstalled());
  con::HeadlessBackend& installed = con::installHeadless();
  EXPECT_TRUE(con::backendInstalled());
  installed.type({con::key::Enter});
  {
    // A test's (or a program's own) console is not replaced by a terminal.
    ConsoleSession session;
    EXPECT_FALSE(session.terminal());
    EXPECT_EQ(&con::backend(), &installed);
    EXPECT_EQ(err::ui::alert("Teste", {"Ok"}), 1);  // the console's alert
    EXPECT_EQ(calls, 0);
  }
  EXPECT_EQ(&con::backend(), &installed);
  EXPECT_EQ(err::ui::alert("Teste", {"Ok"}), 7);
  EXPECT_EQ(calls, 1);
  con::setBackend(nullptr);
}

}  // namespace
}  // namespace kor::startup
