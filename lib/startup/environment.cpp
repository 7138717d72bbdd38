#include "startup/environment.h"

#include <cstdlib>
#include <map>

#include "config/store.h"
#include "console/screen.h"
#include "errors/ui.h"
#include "expr/expr.h"
#include "os/files.h"
#include "os/paths.h"
#include "platform/platform.h"
#include "platform/system.h"
#include "runtime/runtime.h"
#include "startup/identity.h"
#include "values/textform.h"

namespace kor::startup {

namespace {

bool windows() { return os::nativeStyle().drives; }

std::map<std::string, double>& stopwatchNotes() {
  static std::map<std::string, double> m;
  return m;
}

double secondsOfDay() {
  plat::LocalTime t = plat::localTime(plat::nowMillis());
  return (t.hour * 60 + t.minute) * 60 + t.second + t.millis / 1000.0;
}

// The library's question box: the standard alert (the console's once the
// run has connected it, see startup/session.h).
int ask(const std::string& message, const std::vector<std::string>& buttons) {
  return err::ui::alert(message, buttons);
}

}  // namespace

bool CRIADIR(std::string_view pathArg, bool alert, std::string_view separators, std::optional<int> quietCode) {
  KOR_ROUTINE("CRIADIR");
  std::string path(alltrim(pathArg));
  if (path.empty()) return true;
  const os::PathStyle& st = os::nativeStyle();
  if (path.size() > 1 && st.isSep(path.back())) path.pop_back();
  // The root the walk starts from, and the parts below it.
  std::string root, rest;
  if (windows() && path.rfind("\\\\", 0) == 0) {
    size_t server = path.find('\\', 2);
    size_t share = server == std::string::npos ? std::string::npos : path.find('\\', server + 1);
    root = path.substr(0, share);
    rest = share == std::string::npos ? std::string() : path.substr(share + 1);
  } else {
    std::string full = os::_TRUENAME(path);
    size_t rootLen = windows() ? (full.size() >= 3 && full[1] == ':' ? 3 : 0) : 1;
    root = full.substr(0, rootLen);
    rest = full.substr(rootLen);
  }
  // The parts are split at the separators given; by default at ":" and "\"
  // on Windows, at "/" and "\" on POSIX (where ":" is a character of names).
  std::string seps(separators);
  if (seps.empty()) seps = windows() ? ":\\" : "\\";
  if (!windows()) seps += "/";  // a "\" given on POSIX is read as "/" already
  std::vector<std::string> parts;
  for (size_t i = 0; i <= rest.size();) {
    size_t j = rest.find_first_of(seps, i);
    if (j == std::string::npos) j = rest.size();
    if (j > i) parts.push_back(rest.substr(i, j - i));
    i = j + 1;
  }
  std::string target = root;
  for (auto& part : parts) target = os::dirFile(target, part, st);
  for (;;) {
    if (plat::dirExists(target)) return true;
    int code = 0;
    std::string cur = root;
    for (auto& part : parts) {
      cur = os::dirFile(cur, part, st);
      if (plat::dirExists(cur)) continue;
      if (int rc = plat::makeDir(cur); rc != plat::kOk) {
        code = rc;
        break;
      }
    }
    if (quietCode && *quietCode == code) alert = false;
    if (plat::dirExists(target)) return true;
    if (!alert) return false;
    int answer = ask("Erro do DOS " + std::to_string(std::abs(code)) + " !;Ao criar a pasta " + path + " !",
                     {"Repetir", "Ignorar"});
    if (answer == 2) return false;
  }
}

std::string DIRDESKTOP() { return os::GETSPECIALFOLDER("Desktop"); }

bool ISVISTA() {
  KOR_ROUTINE("ISVISTA");
  // The command interpreter's "ver" exists on Windows only.
  if (!windows()) return false;
  std::string file = os::DIRFILE(DIRWINDOWS(), "_ver.txt");
  if (!plat::fileExists(file)) plat::runShell(os::_CMD() + " /c ver >" + file);
  return plat::readWholeFile(file).value_or("").find("6.") != std::string::npos;
}

int NUMFILES() {
  KOR_ROUTINE("NUMFILES");
  plat::OsInfo os = plat::osInfo();
  if (!os.windows) return plat::fileHandleLimit();
  Value found;
  if (os.nt) {
    found = cfg::READMEMO(Value("FILES"), false, Value(0),
                          os::DIRFILE(os::DIRFILE(DIRWINDOWS(), "SYSTEM32"), "CONFIG.NT"));
  } else if (os.major == 4 && os.minor == 90) {  // Windows ME
    found = cfg::READMEMO(Value::array({Value("386ENH"), Value("PERVMFILES")}), false, Value(0),
                          os::DIRFILE(DIRWINDOWS(), "SYSTEM.INI"));
  } else {
    std::string comspec = plat::getEnv("COMSPEC").value_or("");
    found = cfg::READMEMO(Value("FILES"), false, Value(0), comspec.substr(0, 3) + "CONFIG.SYS");
  }
  return static_cast<int>(found.integer());
}

void WINTITULO(std::string_view title) {
  KOR_ROUTINE("WINTITULO");
  con::setTitle(title);
}

int keyboardStateNumber() {
  // The console reports left and right Shift apart (2 and 1); the flags
  // know one Shift of weight 1.
  int raw = con::shiftState();
  int n = (raw & ~3) | ((raw & 3) ? 1 : 0);
  if (n >= 156) n += 100;
  return n;
}

Value TECLASLIGADAS(int index) {
  KOR_ROUTINE("TECLASLIGADAS");
  static const char* kNames[9] = {"Shift      ", "?          ", "Ctrl       ", "Alt        ", "Scroll-Lock",
                                  "Num-Lock   ", "Caps-Lock  ", "Insert     ", "Alt-Gr     "};
  bool on[9] = {};
  int n = keyboardStateNumber();
  for (int i = 8; i >= 0; --i) {
    int weight = 1 << i;
    if (n >= weight) {
      on[i] = true;
      n -= weight;
    }
  }
  if (index >= 1 && index <= 9) return Value::logical(on[index - 1]);
  std::vector<Value> list;
  for (int i = 0; i < 9; ++i) list.push_back(Value::array({Value(kNames[i]), Value::logical(on[i])}));
  return Value::array(list);
}

bool ISSHIFT() { return TECLASLIGADAS(1).log(); }
bool ISCTRL() { return TECLASLIGADAS(3).log(); }

Value CRONOMETRO(bool stop) {
  KOR_ROUTINE("CRONOMETRO");
  // The note belongs to the calling routine (module and name).
  std::vector<rt::FrameInfo> callers = rt::callStack(1);
  std::string key = callers.empty() ? std::string() : callers[0].module + "|" + callers[0].routine;
  auto& notes = stopwatchNotes();
  if (!stop) {
    notes[key] = secondsOfDay();
    return Value();
  }
  double elapsed = 0;
  if (auto it = notes.find(key); it != notes.end()) {
    elapsed = secondsOfDay() - it->second;
    if (elapsed < 0) elapsed += 86400;  // past midnight
    notes.erase(it);
  }
  return rt::callRoutine("TEMPOEXTENSO", {Value::number(elapsed, 2)});
}

bool _FUNCAO(const Value& field) {
  KOR_ROUTINE("_FUNCAO");
  std::string text(alltrim(field.str()));
  if (text.empty()) return true;
  std::string type = expr::typeOf(text);
  bool ok = type == "C" || type == "M";
  if (type == "UI") {
    // The type depends on a routine with effects of its own: only its value
    // tells. A failure while evaluating means the expression is not valid.
    rt::guard([&] { ok = expr::evalText(text).isText(); }, [&](rt::ErrorRecord&) { ok = false; });
  }
  if (!ok) ask(std::string("Atenção;Expressao inválida !!"_cp), {"Ok"});
  return ok;
}

void registerEnvironmentRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  auto text = [](const Value& v) { return v.isText() ? v.string() : std::string(); };
  rt::registerRoutine("CRIADIR", [text](Args& a) {
    std::optional<int> quiet;
    if (a[3].isNumber()) quiet = static_cast<int>(a[3].integer());
    return Value::logical(
        CRIADIR(text(a[0]), a[1].isLogical() && a[1].log(), text(a[2]), quiet));
  });
  rt::registerRoutine("DIRDESKTOP", [](Args&) { return Value(DIRDESKTOP()); });
  rt::registerRoutine("ISVISTA", [](Args&) { return Value::logical(ISVISTA()); });
  rt::registerRoutine("NUMFILES", [](Args&) { return Value(NUMFILES()); });
  rt::registerRoutine("WINTITULO", [text](Args& a) {
    WINTITULO(text(a[0]));
    return Value();
  });
  rt::registerRoutine("TECLASLIGADAS", [](Args& a) {
    return TECLASLIGADAS(a[0].isNumber() ? static_cast<int>(a[0].integer()) : 0);
  });
  rt::registerRoutine("ISSHIFT", [](Args&) { return Value::logical(ISSHIFT()); });
  rt::registerRoutine("ISCTRL", [](Args&) { return Value::logical(ISCTRL()); });
  rt::registerRoutine("_FUNCAO", [](Args& a) { return Value::logical(_FUNCAO(a[0])); });
  rt::registerRoutine("CRONOMETRO", [](Args& a) { return CRONOMETRO(a[0].isLogical() && a[0].log()); });
}

}  // namespace kor::startup
