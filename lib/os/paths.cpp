#include "os/paths.h"

#include "os/files.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/identity.h"
#include "values/textform.h"

namespace kor::os {

const PathStyle& nativeStyle() { return plat::separator() == '/' ? kPosixPaths : kWindowsPaths; }

namespace {

// On POSIX every "\" the program is given is a separator: write it as "/".
std::string normalised(std::string_view p, const PathStyle& st) {
  std::string s(p);
  if (!st.drives)
    for (char& c : s)
      if (c == '\\') c = '/';
  return s;
}

size_t lastSep(std::string_view s, const PathStyle& st) {
  for (size_t i = s.size(); i > 0; --i)
    if (st.isSep(s[i - 1])) return i - 1;
  return std::string_view::npos;
}

}  // namespace

std::string dirFile(std::string_view folder, std::string_view file, const PathStyle& st) {
  std::string f = normalised(alltrim(folder), st);
  std::string n = normalised(alltrim(file), st);
  if (!f.empty() && !st.isSep(f.back())) f += st.sep;
  if (!n.empty() && st.isSep(n.front())) n.erase(0, 1);
  return f + n;
}

std::string fileNameOf(std::string_view path, bool keepExtension, const PathStyle& st) {
  std::string s(alltrim(path));
  if (st.drives) {
    size_t colon = s.rfind(':');
    if (colon != std::string::npos) s.erase(0, colon + 1);
  }
  size_t sep = lastSep(s, st);
  if (sep != std::string::npos) s.erase(0, sep + 1);
  if (!keepExtension) {
    size_t dot = s.find('.');
    if (dot != std::string::npos) s.resize(dot);
  }
  return s;
}

std::string folderOf(std::string_view fullPath, bool quote, const PathStyle& st) {
  std::string s = normalised(fullPath, st);
  std::string name = fileNameOf(s, true, st);
  if (!name.empty() && s.size() >= name.size() && s.compare(s.size() - name.size(), name.size(), name) == 0)
    s.resize(s.size() - name.size());
  bool driveRoot = st.drives && s.size() >= 2 && s[s.size() - 2] == ':' && st.isSep(s.back());
  bool posixRoot = !st.drives && s == "/";
  if (!driveRoot && !posixRoot && !s.empty() && st.isSep(s.back())) s.pop_back();
  std::string trimmed(alltrim(s));
  if (quote && trimmed.find(' ') != std::string::npos) return "\"" + trimmed + "\"";
  return s;
}

std::string DIRFILE(std::string_view folder, std::string_view file) {
  return dirFile(folder, file, nativeStyle());
}

std::string NOMEARQ(std::string_view path, bool keepExtension) {
  return fileNameOf(path, keepExtension, nativeStyle());
}

std::string NOMEDIR(std::string_view path, bool quote) {
  return folderOf(_TRUENAME(alltrim(path)), quote, nativeStyle());
}

std::string _TRUENAME(std::string_view name) {
  if (name.empty()) return "";
  return plat::absolutePath(name);
}

std::string DIRETORIO() { return plat::currentDir(); }

bool DIRETORIO(std::string_view folder) { return plat::dirExists(std::string(folder)); }

std::string CHANGEDIR(std::string_view path) {
  KOR_ROUTINE("CHANGEDIR");
  std::string before = DIRETORIO();
  const PathStyle& st = nativeStyle();
  std::string p = normalised(path, st);
  std::string root(1, st.sep);
  if (st.drives && p.size() >= 2 && p[1] == ':') {
    root = p.substr(0, 2) + st.sep;
    p.erase(0, 2);
  }
  // From the root, each part in turn; a part that cannot be entered stops
  // the walk where it is.
  if (plat::changeDir(root) != plat::kOk) return before;
  size_t i = 0;
  while (i <= p.size()) {
    size_t j = i;
    while (j < p.size() && !st.isSep(p[j])) ++j;
    std::string part = p.substr(i, j - i);
    if (!part.empty() && plat::changeDir(part) != plat::kOk) break;
    i = j + 1;
  }
  return before;
}

std::string NOMEARQUIVOVALIDO(std::string_view text) {
  static constexpr std::string_view kBad = "\"./\\*><|:,& ";
  std::string out;
  for (char c : text)
    if (kBad.find(c) == std::string_view::npos) out += c;
  return out;
}

bool PASTANOMELONGO(std::string_view path) {
  size_t len = 0;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      len = 0;
    } else if (++len > 8) {
      return true;
    }
  }
  return false;
}

bool FILEREADONLY(std::string_view file) {
  plat::FileInfo fi = plat::statPath(std::string(file));
  return fi.exists && !fi.isDir && (fi.attributes & 1);
}

double _DISKSPACE(std::string_view where, int kind) {
  std::string folder(alltrim(where));
  if (folder.empty()) folder = DIRETORIO();
  if (nativeStyle().drives && folder.size() == 1) folder += ":\\";
  auto space = plat::diskSpace(folder);
  if (!space) return -1;
  switch (kind) {
    case 2: return static_cast<double>(space->total - space->free);
    case 3: return static_cast<double>(space->total);
    default: return static_cast<double>(space->available);
  }
}

bool OSIS64() {
  for (const char* v : {"PROCESSOR_ARCHITECTURE", "PROCESSOR_ARCHITEW6432"})
    if (plat::getEnv(v).value_or("").find("64") != std::string::npos) return true;
  return false;
}

std::string _CMD(int kind) {
  std::string comspec = upper(plat::getEnv("COMSPEC").value_or(""));
  if (comspec.empty()) {
    // No COMSPEC (the usual case on POSIX): the user's shell stands for the
    // command interpreter.
    if (nativeStyle().drives) return " ";
    std::string sh = plat::getEnv("SHELL").value_or("");
    return (sh.empty() ? std::string("/bin/sh") : sh) + " ";
  }
  auto replaced = [&](std::string_view what, std::string_view with) {
    std::string r = comspec;
    size_t p = r.find(what);
    if (p != std::string::npos) r.replace(p, what.size(), with);
    return r;
  };
  if (kind == 2) {
    std::string print = replaced("COMMAND.COM", "PRINT.EXE");
    return (plat::fileExists(print) ? print : std::string("PRINT.EXE")) + " ";
  }
  if (kind == 3) return comspec + " ";
  std::string cmd = replaced("COMMAND.COM", "CMD.EXE");
  if (cmd != comspec && plat::fileExists(cmd)) return cmd + " ";
  if (plat::fileExists(comspec)) return comspec + " ";
  std::string inWindows = DIRFILE(startup::DIRWINDOWS(), "COMMAND.COM");
  if (plat::fileExists(inWindows)) return inWindows + " ";
  return comspec + " ";
}

void registerRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  registerFileRoutines();
  auto text = [](const Value& v) { return v.isText() ? v.string() : std::string(); };
  rt::registerRoutine("DIRFILE", [text](Args& a) { return Value(DIRFILE(text(a[0]), text(a[1]))); }, rt::kPure);
  rt::registerRoutine("NOMEARQ", [text](Args& a) {
    return Value(NOMEARQ(text(a[0]), a[1].isLogical() ? a[1].log() : true));
  }, rt::kPure);
  rt::registerRoutine("NOMEDIR", [text](Args& a) {
    return Value(NOMEDIR(text(a[0]), a[1].isLogical() ? a[1].log() : true));
  });
  rt::registerRoutine("_TRUENAME", [text](Args& a) { return Value(_TRUENAME(text(a[0]))); });
  rt::registerRoutine("DIRETORIO", [text](Args& a) {
    if (a.has(0)) return Value::logical(DIRETORIO(std::string_view(text(a[0]))));
    return Value(DIRETORIO());
  });
  rt::registerRoutine("CHANGEDIR", [text](Args& a) { return Value(CHANGEDIR(text(a[0]))); });
  rt::registerRoutine("NOMEARQUIVOVALIDO", [text](Args& a) { return Value(NOMEARQUIVOVALIDO(text(a[0]))); },
                      rt::kPure);
  rt::registerRoutine("PASTANOMELONGO", [text](Args& a) { return Value::logical(PASTANOMELONGO(text(a[0]))); },
                      rt::kPure);
  rt::registerRoutine("FILEREADONLY", [text](Args& a) { return Value::logical(FILEREADONLY(text(a[0]))); });
  rt::registerRoutine("_DISKSPACE", [text](Args& a) {
    std::string where = a[0].isNumber() ? std::string(1, static_cast<char>('A' + a[0].integer() - 1)) : text(a[0]);
    return Value::number(_DISKSPACE(where, a.has(1) ? static_cast<int>(a[1].integer()) : 1), 0);
  });
  rt::registerRoutine("OSIS64", [](Args&) { return Value::logical(OSIS64()); });
  rt::registerRoutine("_CMD", [](Args& a) { return Value(_CMD(a.has(0) ? static_cast<int>(a[0].integer()) : 1)); });
}

}  // namespace kor::os
