#include "os/files.h"

#include <map>

#include "os/paths.h"
#include "platform/platform.h"
#include "platform/system.h"
#include "runtime/runtime.h"
#include "values/textform.h"

namespace kor::os {

namespace {

std::map<std::string, bool, std::less<>>& existCache() {
  static std::map<std::string, bool, std::less<>> m;
  return m;
}

std::string sepText() { return std::string(1, nativeStyle().sep); }

}  // namespace

std::string GETSPECIALFOLDER(std::string_view name) {
  KOR_ROUTINE("GETSPECIALFOLDER");
  std::string n = upper(alltrim(name));
  if (n.empty()) n = "DESKTOP";
  if (n == "PROGRAMFILES") return plat::getEnv("PROGRAMFILES").value_or("");
  if (n == "LOCALAPPDATA") {
    if (auto v = plat::getEnv("LOCALAPPDATA"); v && !v->empty()) return *v;
    if (nativeStyle().drives) return "";
    return plat::homeDir() + "/.local/share";
  }
  if (n == "VIRTUALSTORE") return GETSPECIALFOLDER("LOCALAPPDATA") + sepText() + "VirtualStore";
  // The documents folder's "Downloads", not the shell's own Downloads folder:
  // that is where the maker's programs have always put their downloads.
  if (n == "DOWNLOADS") return plat::specialFolder("MyDocuments").value_or("") + sepText() + "Downloads";
  return plat::specialFolder(std::string(alltrim(name))).value_or("");
}

std::string FGETDRIVENAME(std::string_view path) {
  KOR_ROUTINE("FGETDRIVENAME");
  std::string p(alltrim(path));
  return plat::driveOf(p.empty() ? plat::currentDir() : p);
}

int DIRRENAME(std::string_view from, std::string_view to) {
  KOR_ROUTINE("DIRRENAME");
  std::string a(alltrim(from)), b(alltrim(to));
  if (a.empty() || b.empty() || !plat::dirExists(a) || plat::statPath(b).exists) return -1;
  int rc = plat::renameFile(a, b);
  if (rc == plat::kOk) return 0;
  rt::ErrorRecord e = rt::makeError(rt::kErrWrite, "BASE", 5001, "DIRRENAME", a, rc);
  e.args = {Value(a), Value(b)};
  rt::raise(e);
  return -1;
}

std::string WINTEMPFILE(std::string_view folder, std::string_view prefix) {
  KOR_ROUTINE("WINTEMPFILE");
  return plat::makeTempFile(std::string(alltrim(folder)), std::string(prefix));
}

std::string NOMECURTO(std::string_view path) {
  KOR_ROUTINE("NOMECURTO");
  std::string p(alltrim(path));
  if (p.empty()) return "";
  return plat::shortPath(p);
}

std::string EXTENSAOARQ(std::string_view name) {
  std::string file = NOMEARQ(name);
  size_t dot = file.find('.');
  return dot == std::string::npos ? std::string() : file.substr(dot);
}

bool EXISTFILE(std::string_view name) {
  auto& cache = existCache();
  if (auto it = cache.find(name); it != cache.end()) return it->second;
  bool found = plat::fileExists(std::string(name));
  cache.emplace(std::string(name), found);
  return found;
}

void forgetExistFile() { existCache().clear(); }

Value DATEFILE(std::string_view name) {
  KOR_ROUTINE("DATEFILE");
  plat::FileInfo fi = plat::statPath(std::string(alltrim(name)));
  if (!fi.exists) return Value::date(DateTime{0, 0});
  plat::LocalTime t = plat::localTime(fi.mtimeMillis);
  int32_t millis = ((t.hour * 60 + t.minute) * 60 + t.second) * 1000;
  return Value::date(DateTime{julianFromYmd(t.year, t.month, t.day), millis});
}

void registerFileRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  auto text = [](const Value& v) { return v.isText() ? v.string() : std::string(); };
  rt::registerRoutine("GETSPECIALFOLDER", [text](Args& a) {
    return Value(GETSPECIALFOLDER(a[0].isText() ? text(a[0]) : std::string("Desktop")));
  });
  rt::registerRoutine("FGETDRIVENAME", [text](Args& a) { return Value(FGETDRIVENAME(text(a[0]))); });
  rt::registerRoutine("DIRRENAME", [text](Args& a) { return Value(DIRRENAME(text(a[0]), text(a[1]))); });
  rt::registerRoutine("WINTEMPFILE", [text](Args& a) { return Value(WINTEMPFILE(text(a[0]), text(a[1]))); });
  rt::registerRoutine("NOMECURTO", [text](Args& a) { return Value(NOMECURTO(text(a[0]))); });
  rt::registerRoutine("EXTENSAOARQ", [text](Args& a) { return Value(EXTENSAOARQ(text(a[0]))); }, rt::kPure);
  rt::registerRoutine("EXISTFILE", [text](Args& a) { return Value::logical(EXISTFILE(text(a[0]))); });
  rt::registerRoutine("DATEFILE", [text](Args& a) { return DATEFILE(text(a[0])); });
}

}  // namespace kor::os
