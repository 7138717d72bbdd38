// Work-area snapshots (SAVEAREA, RESTAREA), record duplication (DUPLREG)
// and the in-use test (EMUSO, _EMUSO).
#include <algorithm>

#include "console/boxes.h"
#include "console/color.h"
#include "console/screen.h"
#include "os/paths.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/layer.h"
#include "tables/tables.h"
#include "values/textform.h"

namespace kor::tables {

namespace {

// Snapshot elements (1-based positions in the list).
enum Snap : size_t {
  kArea = 0, kFile, kAlias, kArea2, kSelected, kPosition, kLocks, kFilter, kIndexes, kOrder, kDriver, kFolder,
  kSnapSize
};

// Folder and name of a table path; memory tables keep "MEM:" as folder.
std::string folderOfPath(const std::string& path) {
  if (plat::isMemoryPath(path)) return "MEM:";
  return os::folderOf(path, false, os::nativeStyle());
}

std::string joinFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (upper(folder) == "MEM:") return "MEM:" + name;
  return os::DIRFILE(folder, name);
}

std::string padCentre(std::string s, size_t width) {
  if (s.size() >= width) return s.substr(0, width);
  size_t left = (width - s.size()) / 2;
  return std::string(left, ' ') + s + std::string(width - s.size() - left, ' ');
}

// Whether another program has the table open: an exclusive open fails.
bool inUseElsewhere(std::string_view table, const std::string& driver) {
  std::string name = layer::bareTableName(table);
  if (areaOf(defaultAlias(name))) return false;  // open here: no test
  // A table that does not exist is not in use (and would never become free).
  if (!plat::fileExists(tablePath(std::string(alltrim(table))))) return false;
  AreaScope keep(currentArea());
  bool opened = false;
  // Every failure counts as "in use": nothing is shown or logged.
  rt::guard(
      [&] {
        OpenSpec s;
        s.file = std::string(alltrim(table));
        s.driver = driver;
        s.alias = "_Excl";
        s.shared = false;
        rt::setNetErr(false);
        if (int n = openTable(s)) {
          opened = true;
          closeArea(n);
        }
      },
      [](rt::ErrorRecord&) {});
  rt::setNetErr(false);
  return !opened;
}

// The countdown window; returns when it has counted down to 0.
void countdown(const std::string& table) {
  std::string screen = con::saveScreen();
  {
    con::ScreenStateGuard state;
    con::DESJAN(10, 19, 16, 62, false, "Atenção"_cp);
    uint8_t attr = con::firstAttr(layer::globalText("CCORJAN", "N/w"), 0x70);
    con::writeAt(11, 21, padCentre(std::string("O Arquivo ("_cp) + table + std::string(") está em uso !"_cp), 38), attr);
    con::writeAt(12, 21, padCentre(std::string("É necessário fechar os aplicativos que"_cp), 38), attr);
    con::writeAt(13, 21, padCentre("possam estar utilizando-o.", 38), attr);
    for (int n = 10; n >= 0; --n) {
      con::writeAt(15, 21, padCentre("Tentando novamente em " + std::to_string(n) + " segundos", 38), attr);
      con::refresh();
      layer::pause(1);
    }
  }
  con::restoreScreen(screen);
}

}  // namespace

// --- snapshots ----------------------------------------------------------------------------

Value SAVEAREA(std::string_view table, bool close, const Value& driver) {
  KOR_ROUTINE("SAVEAREA");
  std::string t(alltrim(table));
  int n = areaOf(defaultAlias(t));
  WorkArea* w = n ? area(n) : nullptr;
  if (!w || !plat::fileExists(w->path())) return Value::array();
  std::string drv = driver.isText() && !driver.str().empty() ? driver.string() : defaultDriver();

  Value position;
  if (w->eof())
    position = Value(0);
  else if (w->bof())
    position = Value(-1);
  else
    position = Value(static_cast<unsigned long long>(w->recNo()));
  Value locks = Value::array();
  for (uint32_t r : w->lockList()) locks.push(Value(static_cast<unsigned long long>(r)));
  Value indexes = Value::array();
  for (const std::string& f : layer::indexFiles(*w)) indexes.push(Value(os::NOMEARQ(f, true)));

  Value snap = Value::array({
      Value(n),
      Value(os::NOMEARQ(w->path(), false)),
      Value(w->alias()),
      Value(n),
      Value::logical(n == currentArea()),
      position,
      locks,
      Value(w->filter().text()),
      indexes,
      Value(w->controlling()),
      Value(drv),
      Value(isSqlDriver(drv) ? std::string() : folderOfPath(w->path())),
  });
  if (close) closeArea(n);
  return snap;
}

void RESTAREA(const Value& snap) {
  KOR_ROUTINE("RESTAREA");
  if (!snap.isArray() || snap.size() < kSnapSize) return;
  std::string folder = snap.at(kFolder).string();
  std::string table = joinFolder(folder, snap.at(kFile).string());
  Value indexes = Value::array();
  if (snap.at(kIndexes).isArray())
    for (const Value& i : snap.at(kIndexes).items()) indexes.push(Value(joinFolder(folder, i.string())));
  std::string alias = snap.at(kAlias).string();
  int savedArea = static_cast<int>(snap.at(kArea).integer());

  // The table reopens in the selected area, which the caller leaves free;
  // when it holds a table, that table is not closed for this: the saved
  // area is used when free, else the lowest free one.
  if (!areaOf(alias) && area(currentArea())) selectArea(savedArea > 0 && !area(savedArea) ? savedArea : 0);
  ARQCONS(Value(table), indexes, Value(), Value(), Value(savedArea > 0 ? savedArea : 1), Value(alias),
          snap.at(kDriver));
  int n = areaOf(alias);
  WorkArea* w = n ? area(n) : nullptr;
  if (!w) return;
  if (indexes.size() > 0) w->setControlling(static_cast<int>(snap.at(kOrder).integer()));
  // The locks come back beside any the area holds now; one that another
  // instance took meanwhile is not waited for.
  if (snap.at(kLocks).isArray())
    for (const Value& r : snap.at(kLocks).items())
      if (r.num() >= 1) w->lockRecord(static_cast<uint32_t>(r.integer()), false);
  long long pos = snap.at(kPosition).integer();
  if (pos == -1) {
    w->goTop();
    w->skip(-1);
  } else if (pos == 0) {
    w->goBottom();
    w->skip(1);
  } else {
    w->goTo(static_cast<uint32_t>(pos));
  }
}

// --- record duplication --------------------------------------------------------------------

void DUPLREG(const Value& condition, const Value& replacements, const Value& fromCurrent) {
  KOR_ROUTINE("DUPLREG");
  WorkArea* w = requireArea("DUPLREG");
  if (!w) return;
  int home = w->number();
  bool rest = fromCurrent.isLogical() ? fromCurrent.log() : true;

  Scope scope;
  bool hasCondition = condition.isBlock() || (condition.isText() && !alltrim(condition.str()).empty());
  if (!hasCondition) {
    // Only the current record.
    if (w->eof()) return;
    scope.record = w->recNo();
  } else {
    scope.forCond = Condition(condition);
    scope.rest = rest;
  }

  std::string tmp;
  if (ARQMEMORIA()) {
    tmp = ARQTMP(Value(), Value(), Value::logical(true));
  } else {
    std::string t = plat::getEnv("TEMP").value_or("");
    tmp = ARQTMP(Value(), Value(t.empty() ? plat::tempDir() : t));
  }
  struct Cleanup {
    std::string file;
    ~Cleanup() { removeTableFiles(file); }
  } cleanup{tmp};

  AreaScope keep(home);
  copyTo(*w, tmp, {}, scope);

  if (replacements.isArray() && replacements.size() > 0) {
    OpenSpec s;
    s.file = tmp;
    s.alias = "_DUPLREG";
    s.shared = false;
    if (int n = openTable(s)) {
      WorkArea* t = area(n);
      for (t->goTop(); !t->eof(); t->skip(1))
        for (const Value& r : replacements.items()) {
          if (!r.isArray() || r.size() < 2) continue;
          if (int pos = t->fieldPos(r.at(0).str())) t->putField(pos, r.at(1));
        }
      closeArea(n);
    }
  }
  if (WorkArea* back = area(home)) appendFrom(*back, tmp, {}, Scope{});
}

// --- in use ----------------------------------------------------------------------------------

bool EMUSO(std::string_view table, bool ask, bool withCountdown, const Value& driver) {
  KOR_ROUTINE("EMUSO");
  std::string drv = driver.isText() && !driver.str().empty() ? driver.string() : ASSOCIATABELA(table);
  std::string shown(alltrim(table));
  for (;;) {
    bool inUse = inUseElsewhere(table, drv);
    if (!inUse || !ask) return inUse;
    if (withCountdown) {
      countdown(shown);
      continue;
    }
    int b = layer::alert(std::string("Atenção !;O Arquivo ("_cp) + shown + std::string(") está em uso !;"_cp) +
                             std::string("É necessário fechar os aplicativos que;"_cp) +
                             "possam estar utilizando-o.             ",
                         {"Tentar novamente", "Cancelar"});
    if (b != 1) return true;
  }
}

bool _EMUSO(std::string_view file) {
  KOR_ROUTINE("_EMUSO");
  std::string cmd = layer::globalText("CNETUSE");
  if (alltrim(cmd).empty()) return false;
  std::string out = layer::globalText("CARQTMP");
  if (alltrim(out).empty()) out = os::DIRFILE(plat::tempDir(), ARQTMP(Value("NU")) + ".TXT");
  plat::runShell(cmd + " > \"" + out + "\"");
  std::string text = plat::readWholeFile(out).value_or("");
  plat::removeFile(out);
  std::string name(alltrim(file));
  return !name.empty() && layer::containsNoCase(text, name);
}

}  // namespace kor::tables
