// Opening and closing tables: ABREARQ, ARQCONS, FECHATABELA and the small
// services around them (drivers, existence tests, paths).
#include <algorithm>

#include "console/screen.h"
#include "os/paths.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/presence.h"
#include "tables/layer.h"
#include "tables/tables.h"
#include "values/textform.h"

namespace kor::tables {

namespace {

using layer::setGlobal;

// The opening mode of an argument: 0, 1 or 3; anything else counts as 0.
int modeOf(const Value& v) {
  if (!v.isNumber()) return kShared;
  long long m = v.integer();
  return m == kExclusive || m == kReadOnly ? static_cast<int>(m) : kShared;
}

std::vector<std::string> indexList(const Value& v) {
  std::vector<std::string> out;
  if (v.isText()) {
    if (!alltrim(v.str()).empty()) out.emplace_back(alltrim(v.str()));
  } else if (v.isArray()) {
    for (const Value& x : v.items())
      if (x.isText() && !alltrim(x.str()).empty()) out.emplace_back(alltrim(x.str()));
  }
  return out;
}

std::string aliasFor(const Value& alias, std::string_view table) {
  if (alias.isText() && !alltrim(alias.str()).empty()) return upper(alltrim(alias.str()));
  return defaultAlias(table);
}

// Makes an order controlling: a number, or an order's name.
void chooseOrder(WorkArea& w, const Value& order) {
  if (order.isNumber()) {
    w.setControlling(static_cast<int>(order.integer()));
  } else if (order.isText()) {
    std::string name = upper(alltrim(order.str()));
    for (int i = 1; i <= w.orderCount(); ++i)
      if (w.order(i)->name() == name) w.setControlling(i);
  }
}

// Clears _ABRINDO however the opening ends.
struct OpeningText {
  explicit OpeningText(const std::string& table) { setGlobal("_ABRINDO", Value(table)); }
  ~OpeningText() { setGlobal("_ABRINDO", Value("")); }
  void add(const std::string& index) {
    setGlobal("_ABRINDO", Value(rt::getVar("_ABRINDO").string() + ", " + index));
  }
};

// The lines of the wait message while another program holds the table.
std::vector<std::string> waitLines(const std::string& name, const std::string& file, const std::string& driver) {
  std::vector<std::string> lines;
  lines.push_back("Arquivo (" + upper(alltrim(name)) + ") Sendo Usado. Aguarde Liberacao !!!");
  if (driver.find("DBF") != std::string::npos) {
    plat::FileInfo fi = plat::statPath(file);
    if (fi.exists && (fi.attributes & 1)) lines.push_back("Atributo Somente Leitura");
  }
  lines.push_back("Usuarios ativos");
  Value own = Value::array(), others = Value::array();
  startup::USUARIOSATIVOS(&own, &others);
  for (const Value& l : own.items()) lines.push_back(l.string());
  for (const Value& l : others.items()) lines.push_back(l.string());
  return lines;
}

// Checks an order just attached; the opening asks for it with CHKINDICE.
// An order without a name is attached again, a few times; when it still
// has none the index is reported damaged to the error handler, which may
// ask for another try.
void verifyOrder(WorkArea& w, const std::string& file) {
  for (int tries = 0;; ++tries) {
    Order* o = w.order(w.orderCount());
    if (o && !o->name().empty()) return;
    if (tries < 3) {
      // Attach again: drop the nameless order, reopen the file.
      std::vector<std::string> files = layer::indexFiles(w);
      if (!files.empty()) files.pop_back();
      w.clearOrders();
      for (const std::string& f : files) layer::attachIndex(w, f);
      layer::attachIndex(w, file);
      continue;
    }
    rt::ErrorRecord e = rt::makeError(rt::kErrCorruption, "DBFNTX", 1074, "", file);
    e.canRetry = true;
    e.canDefault = true;
    if (rt::raise(e).kind != rt::ErrorAnswer::Retry) return;
    tries = 0;
  }
}

std::string resolveInDefault(const std::string& file) {
  if (plat::isMemoryPath(file)) return file;
  return plat::resolveCase(plat::absolutePath(plat::nativePath(file), rt::defaultFolder()));
}

// The existence test of a table or index file: in the default folder, or
// with the listing flag by a folder listing (the current folder unless the
// name has one; wildcards allowed).
bool fileTest(const std::string& file, bool listing) {
  if (!listing) return plat::fileExists(resolveInDefault(file));
  if (plat::isMemoryPath(file)) return !plat::listDir("MEM:", file.substr(4)).empty();
  std::string native = plat::nativePath(file);
  size_t slash = native.find_last_of(plat::separator());
  std::string folder = slash == std::string::npos ? plat::currentDir() : native.substr(0, slash + 1);
  std::string pattern = slash == std::string::npos ? native : native.substr(slash + 1);
  if (folder.empty()) folder = plat::currentDir();
  return !plat::listDir(plat::resolveCase(folder), pattern).empty();
}

}  // namespace

// --- opening --------------------------------------------------------------------------

int ABREARQ(const Value& table, const Value& indexes, const Value& mode, const Value& order, const Value& areaArg,
            const Value& alias, const Value& driver, const Value& connection, const Value& password) {
  KOR_ROUTINE("ABREARQ");
  con::ScreenStateGuard screen;  // colour and device come back; output goes to the screen
  bool check = layer::globalLogical("CHKINDICE", false);
  std::string given(alltrim(table.str()));
  OpeningText opening(table.string());

  std::string name = layer::bareTableName(given);
  std::string aliasName = aliasFor(alias, name);
  std::string drv = driver.isText() && !alltrim(driver.str()).empty() ? std::string(alltrim(driver.str()))
                                                                       : ASSOCIATABELA(name);
  std::vector<std::string> idx = indexList(indexes);
  int m = modeOf(mode);

  // Open already: select it; the index list is not looked at.
  if (int n = areaOf(aliasName)) {
    selectArea(n);
    if (!order.isNil()) chooseOrder(*area(n), order);
    return n;
  }

  rt::set(rt::Set::Epoch, Value(layer::globalIsNumber("SETYEAR") ? static_cast<int>(layer::globalNumber("SETYEAR", 1940))
                                                                  : 1940));
  bool fastOpen = fastOpenMode();
  if (m == kExclusive) SR_SETFASTOPEN(Value::logical(false));
  struct RestoreFastOpen {
    bool on, was;
    ~RestoreFastOpen() {
      if (on) SR_SETFASTOPEN(Value::logical(was));
    }
  } restoreFastOpen{m == kExclusive, fastOpen};

  OpenSpec spec;
  spec.file = given;
  spec.driver = drv;
  spec.alias = aliasName;
  spec.shared = m != kExclusive;
  spec.readOnly = m == kReadOnly;
  spec.newArea = !(areaArg.isNumber() && areaArg.integer() != 0);
  (void)connection;  // only database-server drivers take one; this program has none

  int n = 0;
  for (;;) {
    rt::setNetErr(false);
    n = openTable(spec);
    if (n) break;
    // A failure of another kind went to the error handler, which chose to
    // let it fail: nothing to wait for.
    if (!rt::netErr()) return 0;
    if (layer::globalIsNumber("_DELAYOPEN")) layer::pause(layer::globalNumber("_DELAYOPEN", 0));
    int box = layer::openBox(waitLines(name, tablePath(given), drv), "W+/N, N/W,,, N/BG", con::maxRow() * 0.7);
    layer::pause(3);
    layer::closeBox(box);
  }

  WorkArea* w = area(n);
  if (password.isText() && !password.str().empty() && w->encrypted()) w->setPassword(password.str());
  w->clearOrders();

  Value chosen = order;
  bool oneFile = isCdxDriver(drv) || isSqlDriver(drv);
  if (oneFile && !idx.empty()) {
    if (chosen.isNil()) chosen = Value(1);
    idx.resize(1);
  }
  for (size_t i = 0; i < idx.size(); ++i) {
    std::string var = "CARQNTX" + std::to_string(i + 1);
    if (rt::varExists(var)) rt::assignVar(var, Value(idx[i]));
    opening.add(idx[i]);
    if (oneFile) {
      // The table's own index file opens with it: skip it when attached.
      Order* o = w->order(static_cast<int>(i + 1));
      if (o && !o->name().empty() && layer::containsNoCase(idx[i], o->name())) continue;
    }
    std::string file = layer::indexPath(idx[i], EXTENSAOINDICE(name, Value(drv)));
    if (!layer::attachIndex(*w, file)) continue;
    if (check) verifyOrder(*w, file);
  }
  if (!chosen.isNil()) chooseOrder(*w, chosen);

  Value reg = rt::getVar("CTRLUSO");
  if (reg.isArray()) {
    bool known = std::any_of(reg.items().begin(), reg.items().end(), [&](const Value& e) {
      return e.isArray() && e.size() > 0 && e.at(0).isText() && upper(alltrim(e.at(0).str())) == name;
    });
    if (!known) {
      Value list = Value::array();
      for (const std::string& s : idx) list.push(Value(s));
      reg.push(Value::array({Value(name), list, Value(m), order, areaArg, Value(aliasName)}));
    }
  }
  return n;
}

bool ARQCONS(const Value& table, const Value& indexes, const Value& mode, const Value& order, const Value& areaArg,
             const Value& alias, const Value& driver) {
  KOR_ROUTINE("ARQCONS");
  // The alias ABREARQ would open the table under: the caller's, else the
  // table's bare name.
  std::string aliasName = aliasFor(alias, layer::bareTableName(table.str()));
  int n = areaOf(aliasName);
  if (!n) return ABREARQ(table, indexes, mode, order, areaArg, alias, driver) != 0;

  selectArea(n);
  WorkArea* w = area(n);
  if (modeOf(mode) != kReadOnly && w->readOnly()) {
    uint32_t rec = w->eof() ? 0 : w->recNo();
    Value top, bottom;
    if (Order* o = w->order(w->controlling())) {
      top = o->scope(0);
      bottom = o->scope(1);
    }
    closeArea(n);
    selectArea(n);
    if (ABREARQ(table, indexes, mode, order, Value(n), alias, driver) && (w = area(n))) {
      if (Order* o = w->order(w->controlling())) {
        if (!top.isNil()) o->setScope(0, top);
        if (!bottom.isNil()) o->setScope(1, bottom);
      }
      if (rec)
        w->goTo(rec);
      else
        w->goTo(w->recCount() + 1);
    }
  }
  return false;
}

void FECHATABELA(const Value& password) {
  KOR_ROUTINE("FECHATABELA");
  WorkArea* w = area();
  if (!w) return;
  // The table stays encrypted on disk while open (the key is installed at
  // the opening); a plain table is encrypted here.
  if (password.isText() && !password.str().empty() && !w->encrypted()) w->encrypt(password.str());
  closeArea(0);
}

// --- drivers and existence ------------------------------------------------------------------

std::string ASSOCIATABELA(std::string_view table) {
  std::string def = defaultDriver();
  Value list = rt::getVar("ATABELARDD");
  if (upper(def) == kDefaultDriver || !list.isArray()) return def;
  std::string t(alltrim(table));
  if (plat::isMemoryPath(t)) t = t.substr(4);
  std::string bare = os::NOMEARQ(t, false);
  for (const Value& e : list.items()) {
    if (!e.isArray() || e.size() < 2 || !e.at(0).isText() || !e.at(1).isText()) continue;
    if (plat::wildMatch(alltrim(e.at(0).str()), bare, true)) return std::string(alltrim(e.at(1).str()));
  }
  return def;
}

bool EXISTETABELA(std::string_view table, bool listing, const Value& driver) {
  KOR_ROUTINE("EXISTETABELA");
  std::string name = layer::bareTableName(table);
  std::string drv = driver.isText() && !driver.str().empty() ? driver.string() : ASSOCIATABELA(name);
  if (isSqlDriver(drv)) return SR_EXISTTABLE(name);
  if (isLetoDriver(drv)) EXISTETABELALETO(name);
  return fileTest(name + ".DBF", listing);
}

bool EXISTEINDICE(std::string_view index, bool listing, const Value& driver) {
  KOR_ROUTINE("EXISTEINDICE");
  std::string drv = driver.isText() && !driver.str().empty() ? driver.string() : defaultDriver();
  std::string ext = EXTENSAOINDICE("", Value(drv));
  std::string name = layer::withoutSuffix(upper(alltrim(index)), ext);
  if (isSqlDriver(drv)) return SR_EXISTINDEX(name);
  if (isLetoDriver(drv)) EXISTETABELALETO(name);
  return fileTest(name + ext, listing);
}

std::string EXTENSAOINDICE(std::string_view table, const Value& driver) {
  std::string drv = upper(driver.isText() && !driver.str().empty() ? driver.string() : ASSOCIATABELA(table));
  if (drv.rfind("DBFNTX", 0) == 0) return ".ntx";
  if (drv.rfind("DBFCDX", 0) == 0) return ".cdx";
  return "";
}

std::string DBPATH(const Value& alias) {
  int n = 0;
  if (alias.isNumber())
    n = static_cast<int>(alias.integer());
  else if (alias.isText() && !alltrim(alias.str()).empty())
    n = areaOf(alias.str());
  else
    n = currentArea();
  WorkArea* w = n ? area(n) : nullptr;
  return w ? w->path() : std::string();
}

std::string DATABASEINFO() {
  std::string d = defaultDriver();
  if (isSqlDriver(d)) d += " - " + SR_VERSION();
  return d;
}

bool DBREFRESH() {
  if (WorkArea* w = area()) w->refresh();
  return true;
}

void EXISTETABELALETO(std::string_view) {
  KOR_ROUTINE("EXISTETABELALETO");
  layer::alert("Funcao \"ExisteTabelaLeto()\" de simples compatibilidade", {"Ok"});
  // A configuration this program cannot serve: the run ends as after an error.
  rt::exitProgram(1);
}

}  // namespace kor::tables
