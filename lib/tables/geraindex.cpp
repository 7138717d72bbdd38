// The index rebuild GERAINDEX: packs a table and builds its index files
// again, reporting on the maintenance screen the caller drew:
//
//   row 11, col 25  the table's file name
//   row 12, col 25  "Packing...  ", then each index file's name
//   row 12, col 40  the percentage of the index being built (LNTXPROG)
//   row 12, col 51  the record count
//   row 13, col 17  the index's description (46 columns)
//   row 15, col 15  the overall bar over NTOTARQS tables (50 cells in all)
#include "console/color.h"
#include "console/progress.h"
#include "console/screen.h"
#include "os/paths.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/layer.h"
#include "tables/tables.h"
#include "values/textform.h"

namespace kor::tables {

namespace {

std::string padRight(std::string s, size_t w) {
  s.resize(w, ' ');
  return s;
}

std::string countText(uint32_t n) {
  if (n == 0) return std::string(8, ' ');
  std::string s = std::to_string(n);
  return s.size() >= 8 ? s : std::string(8 - s.size(), ' ') + s;
}

uint8_t windowAttr() {
  return con::colorAttr();
}

// One more table (or index) done: NCONTARQ goes up and the overall bar at
// row 15 shows NCONTARQ of NTOTARQS. Without a total there is nothing to
// draw (and nothing to divide by).
void overallStep() {
  double done = layer::globalNumber("NCONTARQ", 0) + 1;
  layer::setGlobal("NCONTARQ", Value::number(done));
  double total = layer::globalNumber("NTOTARQS", 0);
  if (total <= 0) return;
  int cells = static_cast<int>(done * 100.0 / total / 2.0);
  cells = std::max(0, std::min(cells, 50));
  std::string colour =
      layer::globalLogical("LCONFCOR", false) ? layer::globalText("CCORBARRA", "BG/N+") : std::string("BG/N+");
  con::writeAt(15, 15, std::string(static_cast<size_t>(cells), '\xDB'), con::firstAttr(colour, 0x0B));
}

// The index file of an entry: a name ending in ".DBF" would make the index
// overwrite (and first delete) a table, so that ending is replaced by the
// index extension; a name that already ends in the index extension keeps
// it; any other name gets it appended.
std::string entryFile(std::string name, const std::string& ext) {
  name = std::string(alltrim(name));
  name = layer::withoutSuffix(name, ".DBF");
  if (!ext.empty() && layer::endsWithNoCase(name, ext)) return name;
  return name + ext;
}

// The part of a name from its last folder separator on (the separator kept).
std::string fromLastSeparator(const std::string& name) {
  size_t s = name.find_last_of("\\/");
  return s == std::string::npos ? name : name.substr(s);
}

}  // namespace

void GERAINDEX(std::string_view table, const Value& indexes, const Value& driver) {
  KOR_ROUTINE("GERAINDEX");
  con::ScreenStateGuard state;
  struct AutoOpenOff {
    Value was = rt::set(rt::Set::AutoOpen, Value::logical(false));
    ~AutoOpenOff() { rt::set(rt::Set::AutoOpen, was); }
  } autoOpen;
  bool confColour = layer::globalLogical("LCONFCOR", false);
  if (confColour && rt::getVar("CCORJAN").isText()) con::setColor(rt::getVar("CCORJAN").str());

  std::string given(alltrim(table));
  std::string drv = driver.isText() && !driver.str().empty() ? driver.string() : ASSOCIATABELA(given);
  if (!EXISTETABELA(given, false, Value(drv))) {
    overallStep();
    return;
  }
  std::string alias = defaultAlias(layer::bareTableName(given));
  while (areaOf(alias)) {
    int b = layer::alert(" O arquivo ( " + given + std::string(" ) está sendo usado. Continua... "_cp),
                         {"  Mesmo Arquivo  ", std::string("  Próximo Arquivo  "_cp)});
    if (b == 2) {
      overallStep();
      return;
    }
  }

  std::string ext = EXTENSAOINDICE(given, Value(drv));
  std::vector<Value> entries;
  if (indexes.isArray())
    for (const Value& e : indexes.items())
      if (e.isArray() && e.size() >= 2 && e.at(0).isText()) entries.push_back(e);

  if (isCdxDriver(drv) && !entries.empty())
    plat::removeFile(layer::indexPath(layer::withoutSuffix(entries[0].at(0).string(), ".cdx") + ".cdx", ".cdx"));

  bool exclusive = layer::globalLogical("_EXCL_INDEX", true);
  int mode = exclusive ? kExclusive : (EMUSO(given, false, false, Value(drv)) ? kReadOnly : kExclusive);
  int n = ABREARQ(Value(given), Value(), Value(mode), Value(), Value(), Value(), Value(drv));
  if (!n) return;
  WorkArea* w = area(n);
  uint8_t attr = windowAttr();
  uint32_t count = w->recCount();
  bool showProgress = layer::globalLogical("LNTXPROG", false);

  con::writeAt(11, 25, std::string(12, ' '), attr);
  con::writeAt(11, 25, upper(os::NOMEARQ(w->path(), true)), attr);
  con::writeAt(12, 25, "Packing...  ", attr);
  con::writeAt(12, 51, countText(count), attr);
  if (showProgress) con::writeAt(12, 40, "  0.00", attr);
  con::writeAt(13, 17, std::string(46, ' '), attr);
  con::refresh();
  if (exclusive) {
    w->pack();
    count = w->recCount();
  }

  double total = layer::globalNumber("NTOTARQS", 0);
  for (const Value& e : entries) {
    std::string file = entryFile(e.at(0).string(), ext);
    bool described = e.size() >= 3 && e.at(2).isText() && !alltrim(e.at(2).str()).empty();
    if (total != 0 && described) {
      con::writeAt(12, 25, fromLastSeparator(file), attr);
      con::writeAt(12, 51, countText(count), attr);
      con::writeAt(13, 17, padRight(std::string(alltrim(e.at(2).str())), 46), attr);
      con::refresh();
    }
    std::string full = layer::indexPath(file, ext);
    if (upper(drv).rfind("DBFNTX", 0) == 0 && plat::fileExists(full)) plat::removeFile(full);

    layer::IndexBuild b;
    b.file = full;
    b.tag = upper(layer::withoutSuffix(os::NOMEARQ(file, true), ext));
    b.key = e.at(1).string();
    if (showProgress) {
      rt::privateVar("NCOMPLETE", Value(0));
      rt::privateVar("NCONTREG", Value(static_cast<unsigned long long>(count)));
      rt::privateVar("NPASSOPROGRESSO", rt::getVar("PASSOREINDEX"));
      con::writeAt(12, 40, std::string(6, ' '), attr);
      b.eachRecord = [] { con::NTXPROGRESS(); };
    }
    w->clearOrders();
    layer::buildIndex(*w, b);
    if (total != 0) overallStep();
  }

  if ((w = area(n))) {
    w->unlock();
    closeArea(n);
  }
}

}  // namespace kor::tables
