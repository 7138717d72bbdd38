#include "startup/session.h"

#include "console/alert.h"
#include "console/boxes.h"
#include "console/screen.h"
#include "config/store.h"
#include "errors/ui.h"
#include "values/textform.h"
#ifdef _WIN32
#include "console/win32/win32console.h"
#else
#include "console/terminal.h"
#endif

namespace kor::startup {

namespace {

// Error-stream text held while the terminal shows the console.
std::string& heldErrors() {
  static std::string s;
  return s;
}
bool& holding() {
  static bool h = false;
  return h;
}

// The error stream as the program starts with it (CP850 shown as UTF-8).
void writeErrorStream(std::string_view text) {
  static const auto write = err::ui::defaultOps().writeError;
  write(text);
}

// The answer of a dialogue nobody can answer any more (the terminal is
// gone): the last button that does not try again. In the library's
// dialogues that is the one that gives up ("Abortar", "Ignorar",
// "Cancelar", "Não", the handler's "Default"); retrying would go on for
// ever, with the program holding its presence file and its locks.
int unattendedAnswer(const std::vector<std::string>& buttons) {
  for (size_t i = buttons.size(); i > 0; --i) {
    std::string b = upper(alltrim(buttons[i - 1]));
    if (b != "REPETIR" && b != "RETRY") return static_cast<int>(i);
  }
  return 0;
}

}  // namespace

void connectConsoleUi() {
  // Key waits, the keyboard buffer, the screen text and flushing are the
  // console's already in the table the program starts with; the dialogues
  // become the console's own.
  err::ui::Ops o = err::ui::defaultOps();
  o.alert = [](std::string_view message, const std::vector<std::string>& buttons, int64_t timeoutMs, bool beep,
               bool flash) {
    if (beep) con::beep();
    if (flash) con::flashWindow();
    con::AlertOptions opt;
    opt.timeoutSeconds = timeoutMs > 0 ? static_cast<double>(timeoutMs) / 1000.0 : 0;
    std::vector<std::string> shown = buttons.empty() ? std::vector<std::string>{"Ok"} : buttons;
    int answer = con::alert(message, shown, opt);
    // The alert still runs, so its caller sees the close request as the
    // last key (the close key's notice ends the program on it).
    if (answer == 0 && con::backend().inputGone()) return unattendedAnswer(shown);
    return answer;
  };
  o.openBox = [](std::string_view message) { return static_cast<int>(con::MSG_BOX(Value(message)).integer()); };
  o.closeBox = [](int id) { con::MSG_BOX(Value(id)); };
  o.cursorBelowScreen = [] {
    con::setColor("W+/N");
    con::setPos(con::maxRow(), 0);
    con::refresh();
  };
  o.writeError = [](std::string_view text) {
    if (holding()) {
      // On the terminal the error stream and the program's screen are not
      // one (as they are in a console window): the text is shown on the
      // screen as console lines, for whoever is asked to press a key after
      // it, and written to the error stream when the terminal is given back.
      con::outText(text);
      heldErrors() += text;
      return;
    }
    writeErrorStream(text);
  };
  err::ui::ops() = std::move(o);
  // MSGALERTA remembers the last button per user and calling routine in the
  // configuration store's answers file.
  con::setAnswerMemory({[](const std::string& caller) { return cfg::rememberedAnswer(caller); },
                        [](const std::string& caller, int answer) { cfg::rememberAnswer(caller, answer); }});
}

ConsoleSession::ConsoleSession() : savedUi_(err::ui::ops()) {
  // A console the program (or a test) installed itself stays.
  if (con::backendInstalled()) {
    connectConsoleUi();
    return;
  }
#ifdef _WIN32
  if (auto b = con::makeWin32ConsoleBackend()) {
    previous_ = con::setBackend(std::move(b));
    terminal_ = true;
  }
#else
  if (auto t = con::TerminalBackend::open()) {
    previous_ = con::setBackend(std::move(t));
    terminal_ = true;
  }
#endif
  holding() = terminal_;
  connectConsoleUi();
}

ConsoleSession::~ConsoleSession() {
  if (terminal_) con::setBackend(std::move(previous_));
  holding() = false;
  err::ui::ops() = savedUi_;
  con::setAnswerMemory({});
  if (!heldErrors().empty()) {
    std::string held = std::move(heldErrors());
    heldErrors().clear();
    writeErrorStream(held);
  }
}

}  // namespace kor::startup
