#include "startup/machine.h"

#include <cstdio>

#include "platform/platform.h"
#include "platform/system.h"
#include "runtime/runtime.h"
#include "startup/presence.h"
#include "values/textform.h"

namespace kor::startup {

namespace {

bool windowsPaths() { return plat::separator() == '\\'; }

// The device text as NOMEREDE reads it: trimmed, upper-cased where names
// ignore case (Windows devices, printer ports), a missing ":" added to a
// printer port.
std::string deviceText(std::string_view device) {
  std::string d(alltrim(device));
  if (d.empty()) {
    std::string here = plat::currentDir();
    d = windowsPaths() && here.size() >= 2 && here[1] == ':' ? here.substr(0, 2) : here;
  }
  std::string up = upper(d);
  if (up.find("LPT") != std::string::npos) {
    if (up.back() != ':') up += ':';
    return up;
  }
  return windowsPaths() ? up : d;
}

// The last part of a path (what follows the last separator).
size_t nameStart(const std::string& path) {
  size_t p = path.find_last_of(windowsPaths() ? "\\/:" : "/\\");
  return p == std::string::npos ? 0 : p + 1;
}

}  // namespace

std::string NOMEREDE(std::string_view device) {
  KOR_ROUTINE("NOMEREDE");
  std::string d = deviceText(device);
  if (d.find("LPT") != std::string::npos) {
    std::string printer = plat::printerOnPort(d);
    if (!printer.empty()) return printer;
  }
  return plat::networkConnection(d);
}

std::string NOMELOCAL(std::string_view networkName) {
  KOR_ROUTINE("NOMELOCAL");
  std::string want = upper(alltrim(networkName));
  if (want.empty()) return "";
  if (windowsPaths()) {
    std::vector<std::string> devices;
    for (char c = 'A'; c <= 'Z'; ++c) devices.push_back(std::string(1, c) + ":");
    for (int i = 1; i <= 4; ++i) devices.push_back("LPT" + std::to_string(i) + ":");
    for (auto& d : devices)
      if (upper(NOMEREDE(d)) == want) return d;
    return "";
  }
  for (auto& c : plat::networkConnections())
    if (upper(c.remote) == want) return c.local;
  return "";
}

std::string NETLOCNAME(std::string_view device) {
  KOR_ROUTINE("NETLOCNAME");
  std::string d(alltrim(device));
  return d.empty() ? std::string() : plat::networkConnection(windowsPaths() ? upper(d) : d);
}

std::string WINVER(bool vista) {
  KOR_ROUTINE("WINVER");
  plat::OsInfo os = plat::osInfo();
  if (!os.windows) return "";
  if (!os.nt) return "98";
  if (vista && upper(os.name).find("VISTA") != std::string::npos) return "VISTA";
  return "XP";
}

std::string TEMPFILE(std::string_view folder, std::string_view extension, int, std::string_view prefix) {
  KOR_ROUTINE("TEMPFILE");
  std::string ext;
  for (char c : alltrim(extension))
    if (c != '.') ext += c;
  // The service guarantees a free name only for ".TMP"; with another
  // extension the name is drawn again until that name is free as well.
  for (int tries = 0; tries < 100; ++tries) {
    std::string name = plat::makeTempFile(std::string(alltrim(folder)), std::string(prefix));
    if (name.empty()) return "";
    plat::removeFile(name);
    if (ext.empty()) return name;
    // Upper case where names ignore it; on POSIX only the file's own name,
    // so that the folder still names the same folder.
    size_t start = windowsPaths() ? 0 : nameStart(name);
    name = name.substr(0, start) + upper(name.substr(start));
    if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".TMP") == 0) name.resize(name.size() - 4);
    name += "." + upper(ext);
    if (!plat::statPath(name).exists) return name;
  }
  return "";
}

std::string REMOTO() {
  KOR_ROUTINE("REMOTO");
  if (rt::routineExists("NOMEARQTEMP")) return rt::callRoutine("NOMEARQTEMP", {Value("HOST"), Value(".HTM")}).string();
  // The table layer's scratch-name rule: prefix, the date as eight digits and
  // the seconds since midnight in thousandths, first free name.
  for (int tries = 0; tries < 1000; ++tries) {
    plat::LocalTime t = plat::localTime(plat::nowMillis());
    long long thousandths = ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millis;
    char buf[64];
    std::snprintf(buf, sizeof buf, "HOST%04d%02d%02d%lld.HTM", t.year, t.month, t.day, thousandths);
    if (!plat::statPath(buf).exists) return buf;
    plat::sleepMillis(1);
  }
  return "";
}

double TAMANHOARQ(std::string_view file) {
  KOR_ROUTINE("TAMANHOARQ");
  std::string f(alltrim(file));
  if (f.empty()) return -1;
  plat::FileInfo fi = plat::statPath(f);
  if (fi.exists && !fi.isDir) {
    if (fi.size >= 1) return static_cast<double>(fi.size);
    // A size of 0 from the folder entry may lag behind a file another program
    // is writing: ask the open file.
    plat::OpenResult r = plat::openFile(f, plat::Access::Read, plat::Share::DenyNone, plat::Disposition::OpenExisting);
    if (r.ok()) {
      int64_t n = plat::fileSize(r.handle);
      plat::closeFile(r.handle);
      if (n >= 0) return static_cast<double>(n);
    }
    return static_cast<double>(fi.size);
  }
  size_t start = nameStart(f);
  std::string folder = start == 0 ? plat::currentDir() : f.substr(0, start);
  for (auto& e : plat::listDir(folder, f.substr(start)))
    if (!e.info.isDir) return static_cast<double>(e.info.size);
  return -1;
}

double _FILESIZE(std::string_view file) {
  KOR_ROUTINE("_FILESIZE");
  if (ISDBSQL()) return 0;
  std::string f(alltrim(file));
  if (f.empty()) return 0;
  size_t start = nameStart(f);
  std::string folder = start == 0 ? plat::currentDir() : f.substr(0, start);
  for (auto& e : plat::listDir(folder, f.substr(start)))
    if (!e.info.isDir) return static_cast<double>(e.info.size);
  return 0;
}

void registerMachineRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  auto text = [](const Value& v) { return v.isText() ? v.string() : std::string(); };
  rt::registerRoutine("NOMEREDE", [text](Args& a) { return Value(NOMEREDE(text(a[0]))); });
  rt::registerRoutine("NOMELOCAL", [text](Args& a) { return Value(NOMELOCAL(text(a[0]))); });
  rt::registerRoutine("NETLOCNAME", [text](Args& a) { return Value(NETLOCNAME(text(a[0]))); });
  rt::registerRoutine("WINVER", [](Args& a) { return Value(WINVER(a[0].isLogical() && a[0].log())); });
  rt::registerRoutine("TEMPFILE", [text](Args& a) {
    return Value(TEMPFILE(text(a[0]), text(a[1]), static_cast<int>(a[2].integer()),
                          a[3].isText() ? text(a[3]) : std::string("TM")));
  });
  rt::registerRoutine("REMOTO", [](Args&) { return Value(REMOTO()); });
  rt::registerRoutine("TAMANHOARQ", [text](Args& a) { return Value::number(TAMANHOARQ(text(a[0])), 0); });
  rt::registerRoutine("_FILESIZE", [text](Args& a) { return Value::number(_FILESIZE(text(a[0])), 0); });
}

}  // namespace kor::startup
