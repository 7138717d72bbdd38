#include "startup/presence.h"

#include <algorithm>
#include <random>

#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/identity.h"
#include "values/textform.h"

namespace kor::startup {

namespace {

std::string& nameOverride() {
  static std::string n;
  return n;
}

// Handles are kept outside the Value world; the variable holds its number.
plat::Handle& heldHandle() {
  static plat::Handle h = plat::kNoHandle;
  return h;
}

std::string two(int v) { return std::string(1, static_cast<char>('0' + v / 10 % 10)) + static_cast<char>('0' + v % 10); }

std::string padCut(std::string s, size_t width) {
  s.resize(width, ' ');
  return s;
}

// The attribute letters of a folder entry, in the order R H S D A.
std::string attributeText(int attr) {
  std::string t;
  if (attr & 1) t += 'R';
  if (attr & 2) t += 'H';
  if (attr & 4) t += 'S';
  if (attr & 16) t += 'D';
  if (attr & 32) t += 'A';
  return t;
}

}  // namespace

std::string NOME_APLICACAO() {
  if (!nameOverride().empty()) return nameOverride();
  std::string exe = plat::executablePath();
  size_t slash = exe.find_last_of("/\\");
  std::string name = slash == std::string::npos ? exe : exe.substr(slash + 1);
  size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return upper(name);
}

void setApplicationName(std::string name) { nameOverride() = upper(name); }

std::string presenceText() {
  plat::LocalTime t = plat::localTime(plat::nowMillis());
  std::string line1 = two(t.day) + "/" + two(t.month) + "/" + std::to_string(t.year) + " " + two(t.hour) + ":" +
                      two(t.minute) + ":" + two(t.second) + " " + std::string(alltrim(machineName())) + "/" +
                      windowsUserName();
  std::string exe = plat::executablePath();
  std::string line2 = "(" + plat::networkSource(exe) + ") " + exe;
  return line1 + "\r\n" + line2;
}

void createPresenceFile() {
  KOR_ROUTINE("INICIAR$");
  rt::publicVar("CFILESISTEMA", Value(""));
  rt::publicVar("NHANDLESISTEMA", Value(-1));
  static std::mt19937 rng(static_cast<unsigned>(plat::nowMillis() ^ (plat::processId() << 16)));
  std::uniform_int_distribution<int> draw(1, 999);
  std::string app = NOME_APLICACAO();
  for (int attempt = 0; attempt < 50; ++attempt) {
    std::string name = app + std::to_string(draw(rng)) + ".usr";
    // Exclusive creation fails while a live instance holds a file of that
    // name: draw again rather than take over (and later delete) its file.
    plat::OpenResult w = plat::openFile(name, plat::Access::ReadWrite, plat::Share::Exclusive,
                                        plat::Disposition::CreateAlways);
    if (!w.ok()) {
      if (w.error == plat::kSharingViolation) continue;
      return;  // cannot write in this folder: the run goes on without a file
    }
    std::string text = presenceText();
    plat::writeAt(w.handle, 0, text.data(), static_cast<int64_t>(text.size()));
    plat::closeFile(w.handle);
    plat::OpenResult r = plat::openFile(name, plat::Access::Read, plat::Share::DenyNone,
                                        plat::Disposition::OpenExisting);
    rt::publicVar("CFILESISTEMA", Value(name));
    if (r.ok()) {
      heldHandle() = r.handle;
      rt::publicVar("NHANDLESISTEMA", Value(static_cast<long long>(r.handle)));
    }
    return;
  }
}

void removePresenceFile() {
  Value h = rt::getVar("NHANDLESISTEMA");
  if (!h.isNumber() || h.integer() == -1 || heldHandle() == plat::kNoHandle) return;
  plat::closeFile(heldHandle());
  heldHandle() = plat::kNoHandle;
  std::string name = rt::getVar("CFILESISTEMA").string();
  if (!name.empty()) plat::removeFile(name);
  rt::publicVar("NHANDLESISTEMA", Value(-1));
}

int USUARIOSATIVOS(Value* own, Value* others) {
  KOR_ROUTINE("USUARIOSATIVOS");
  std::vector<plat::DirEntry> files = plat::listDir(plat::currentDir(), "*.usr");
  std::sort(files.begin(), files.end(), [](const plat::DirEntry& a, const plat::DirEntry& b) {
    std::string ta = attributeText(a.info.attributes), tb = attributeText(b.info.attributes);
    char ca = ta.empty() ? '\0' : ta[0], cb = tb.empty() ? '\0' : tb[0];
    if (ca != cb) {
      if (ca == '\0' || cb == '\0') return ca == '\0';  // no attribute letter first
      return ca > cb;                                    // then descending
    }
    return a.name < b.name;
  });
  std::string app = NOME_APLICACAO();
  std::string mine = rt::getVar("CFILESISTEMA").string();
  int count = 0;
  for (auto& f : files) {
    plat::OpenResult probe = plat::openFile(f.name, plat::Access::Read, plat::Share::Exclusive,
                                            plat::Disposition::OpenExisting);
    if (probe.ok()) {
      plat::closeFile(probe.handle);  // a leftover of an instance that died
      continue;
    }
    if (probe.error != plat::kSharingViolation && probe.error != plat::kAccessDenied) continue;
    ++count;
    std::string first = plat::readWholeFile(f.name).value_or("");
    size_t eol = first.find_first_of("\r\n");
    if (eol != std::string::npos) first.resize(eol);
    if (upper(f.name).find(app) != std::string::npos) {
      if (own && own->isArray()) {
        std::string line(alltrim(first));
        if (line.size() > 79) line.resize(79);
        if (!mine.empty() && upper(f.name) == upper(mine)) line += "(eu)";
        own->push(Value(padCut(line, 50)));
      }
    } else if (others && others->isArray()) {
      others->push(Value(padCut(first, 50) + " " + f.name));
    }
  }
  return count;
}

bool ISDBSQL(const Value& driver) {
  std::string d = driver.isText() ? driver.string() : rt::getVar("CRDDDEFAULT").string();
  return d.find("SQL") != std::string::npos;
}

bool ISDBLETO(const Value& driver) {
  std::string d = driver.isText() ? driver.string() : rt::getVar("CRDDDEFAULT").string();
  return d.find("LETO") != std::string::npos;
}

void FREETSLICE() {}

void registerPresenceRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  rt::registerRoutine("NOME_APLICACAO", [](Args&) { return Value(NOME_APLICACAO()); });
  rt::registerRoutine("ISDBSQL", [](Args& a) { return Value::logical(ISDBSQL(a[0])); });
  rt::registerRoutine("ISDBLETO", [](Args& a) { return Value::logical(ISDBLETO(a[0])); });
  rt::registerRoutine("FREETSLICE", [](Args&) {
    FREETSLICE();
    return Value();
  });
  rt::registerRoutine("USUARIOSATIVOS", [](Args& a) {
    Value own = a[0], others = a[1];
    return Value(USUARIOSATIVOS(own.isArray() ? &own : nullptr, others.isArray() ? &others : nullptr));
  });
}

}  // namespace kor::startup
