// Scratch tables and names: DBCREATETEMP, NOMEARQTEMP, ARQTMP, ARQREF,
// ARQMEMORIA, APAGATABELA.
#include <deque>
#include <random>
#include <unordered_set>

#include "errors/activitylog.h"
#include "os/paths.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine/dbf.h"
#include "tables/layer.h"
#include "tables/tables.h"
#include "values/textform.h"

namespace kor::tables {

namespace {

std::mt19937& rng() {
  static std::mt19937 r(static_cast<unsigned>(std::random_device{}() ^ static_cast<unsigned>(plat::nowMillis()) ^
                                              static_cast<unsigned>(plat::processId() << 12)));
  return r;
}

long long draw(long long low, long long high) {
  std::uniform_int_distribution<long long> d(low, high);
  return d(rng());
}

// Names handed out in this run, so that a name is not given twice while the
// first caller may not have created its file yet. The oldest are forgotten
// beyond a bound.
class GivenNames {
 public:
  bool has(const std::string& n) const { return set_.count(upper(n)) != 0; }
  void add(const std::string& n) {
    std::string u = upper(n);
    if (!set_.insert(u).second) return;
    order_.push_back(u);
    if (order_.size() > kBound) {
      set_.erase(order_.front());
      order_.pop_front();
    }
  }

 private:
  static constexpr size_t kBound = 20000;
  std::unordered_set<std::string> set_;
  std::deque<std::string> order_;
};

GivenNames& givenTemp() {
  static GivenNames g;
  return g;
}
GivenNames& givenRandom() {
  static GivenNames g;
  return g;
}

std::string inDefault(const std::string& file) {
  if (plat::isMemoryPath(file)) return file;
  return plat::resolveCase(plat::absolutePath(plat::nativePath(file), rt::defaultFolder()));
}

// A file of that name exists with any extension (or none), in the folder
// the name resolves to.
bool existsWithAnyExtension(const std::string& name) {
  if (plat::isMemoryPath(name)) {
    std::string base = name.substr(4);
    return !plat::listDir("MEM:", base).empty() || !plat::listDir("MEM:", base + ".*").empty();
  }
  std::string full = plat::absolutePath(plat::nativePath(name), rt::defaultFolder());
  size_t slash = full.find_last_of(plat::separator());
  std::string folder = slash == std::string::npos ? plat::currentDir() : full.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? full : full.substr(slash + 1);
  return !plat::listDir(folder, base).empty() || !plat::listDir(folder, base + ".*").empty();
}

std::string two(int v) { return std::string(1, static_cast<char>('0' + v / 10 % 10)) + static_cast<char>('0' + v % 10); }

std::string dateDigits(const plat::LocalTime& t) {
  return std::to_string(t.year) + two(t.month) + two(t.day);
}

// The routine names of the call chain from `skip` levels out, each with its
// line: "NAME(12), ".
std::string callChain(int skip) {
  std::string out;
  for (const rt::FrameInfo& f : rt::callStack(skip)) out += f.routine + "(" + std::to_string(f.line) + "), ";
  return out;
}

std::vector<FieldDef> structureFrom(const Value& structure, bool& ok) {
  std::vector<FieldDef> defs;
  ok = false;
  WorkArea* cur = area();
  if (structure.isNil()) {
    if (!cur) {
      requireArea("DBCREATETEMP");
      return defs;
    }
    for (int i = 1; i <= cur->fieldCount(); ++i) {
      const dbf::FieldDesc* f = cur->field(i);
      defs.push_back(FieldDef{f->name, f->type, f->len, f->dec});
    }
    ok = true;
    return defs;
  }
  if (!structure.isArray()) return defs;
  bool names = !structure.items().empty() &&
               std::all_of(structure.items().begin(), structure.items().end(), [](const Value& v) { return v.isText(); });
  if (names) {
    // Field names of the current table: their definitions are copied.
    for (const Value& n : structure.items()) {
      int pos = cur ? cur->fieldPos(alltrim(n.str())) : 0;
      if (!pos) continue;
      const dbf::FieldDesc* f = cur->field(pos);
      defs.push_back(FieldDef{f->name, f->type, f->len, f->dec});
    }
    ok = !defs.empty();
    return defs;
  }
  ok = structureFromValue(structure, defs);
  return defs;
}

// Runs a table operation in a guard; a failure comes back in `rec`.
bool guarded(const std::function<bool()>& op, rt::ErrorRecord& rec, bool& failed) {
  bool ok = false;
  failed = false;
  rt::guard([&] { ok = op(); }, [&](rt::ErrorRecord& e) {
    rec = e;
    failed = true;
  });
  return ok && !failed;
}

// Creates the scratch table. A memory table that does not fit (the codes
// of a full disk or a full memory) is made on disk under the same name
// instead; any other failure is logged and raised to the handler again.
bool createScratch(std::string& file, const std::string& name, const std::vector<FieldDef>& defs,
                   const std::string& driver) {
  for (;;) {
    rt::ErrorRecord rec;
    bool failed = false;
    if (guarded([&] { return createTable(file, defs, driver); }, rec, failed)) return true;
    if (!failed) return false;
    if (plat::isMemoryPath(file) && (rec.osCode == 1130 || rec.osCode == 665 || rec.osCode == plat::kNoMemory ||
                                     rec.osCode == plat::kDiskFull)) {
      file = name;
      continue;
    }
    layer::logError(rec);
    if (rt::raise(rec).kind != rt::ErrorAnswer::Retry) return false;
  }
}

}  // namespace

// --- names -------------------------------------------------------------------------------

std::string NOMEARQTEMP(const Value& prefix, const Value& extension) {
  KOR_ROUTINE("NOMEARQTEMP");
  std::string pre = prefix.isText() ? std::string(alltrim(prefix.str())) : std::string("TM");
  std::string ext = extension.isText() ? std::string(alltrim(extension.str())) : std::string();
  if (!ext.empty() && ext[0] != '.') ext = "." + ext;
  std::string probeExt = ext.empty() ? std::string(".dbf") : ext;
  std::string name;
  for (int tries = 0; tries < 1000; ++tries) {
    plat::LocalTime t = plat::localTime(plat::nowMillis());
    long secs = t.hour * 3600L + t.minute * 60L + t.second;
    std::string ms = std::to_string(t.millis);
    ms.insert(0, 3 - std::min<size_t>(3, ms.size()), '0');
    name = pre + dateDigits(t) + std::to_string(secs) + ms;
    bool taken = givenTemp().has(name + probeExt) || plat::fileExists(inDefault(name + probeExt)) ||
                 plat::fileExists("MEM:" + name + probeExt) || areaOf(name) != 0;
    if (!taken) break;
    // The clock moves on by the next millisecond.
    plat::sleepMillis(1);
  }
  givenTemp().add(name + probeExt);
  return ext.empty() ? name : name + ext;
}

std::string ARQTMP(const Value& prefix, const Value& folder, const Value& memory) {
  KOR_ROUTINE("ARQTMP");
  std::string pre = prefix.isText() ? std::string(alltrim(prefix.str())) : std::string();
  std::string dir = folder.isText() ? std::string(alltrim(folder.str())) : std::string();
  bool mem = memory.log() && (!dir.empty() || ARQMEMORIA());
  std::string last = layer::globalText("CARQSECTMP");
  std::string name;
  for (int tries = 0;; ++tries) {
    std::string base = pre + std::to_string(draw(1, 99999));
    name = dir.empty() ? base : os::DIRFILE(dir, base);
    if (mem) name = "MEM:" + name;
    if (upper(name) == upper(last)) continue;
    // Names given earlier in the run are avoided while there are others
    // to draw; the space of one prefix is 99,999 names.
    if (tries < 200 && givenRandom().has(name)) continue;
    if (existsWithAnyExtension(name)) continue;
    break;
  }
  givenRandom().add(name);
  layer::setGlobal("CARQSECTMP", Value(name));
  if (layer::globalLogical("DBUGARQTMP", false)) err::GRAVALOG("ARQTMP.LOG", Value(callChain(1) + name));
  return name;
}

std::string ARQREF(const Value& prefix, const Value& suffix, const Value& timeStamp) {
  KOR_ROUTINE("ARQREF");
  std::string ref;
  for (const char* var : {"cRegistro", "cKey", "wReg", "wKey", "wKey2", "cImportador", "cCliente", "cCodClie"}) {
    Value v = rt::getVar(var);
    if (v.isText() && !alltrim(v.str()).empty()) {
      ref = v.string();
      break;
    }
  }
  if (ref.empty()) ref = std::to_string(draw(1, 99999999));
  ref = os::NOMEARQUIVOVALIDO(ref);
  std::string pre = prefix.isText() ? prefix.string() : std::string();
  std::string suf = suffix.isText() ? suffix.string() : std::string();
  std::string name = pre + ref;

  Value exp = rt::getVar("ARQREF_EXP");
  if (exp.isHash()) {
    for (const rt::FrameInfo& f : rt::callStack(1)) {
      for (const auto& [key, value] : exp.hashRep()->pairs) {
        if (key.isText() && upper(alltrim(key.str())) == upper(f.routine)) {
          name = value.string() + name;
          break;
        }
      }
    }
  }
  if (!timeStamp.isLogical() || timeStamp.log()) {
    plat::LocalTime t = plat::localTime(plat::nowMillis());
    std::string stamp = "_" + dateDigits(t) + two(t.hour) + two(t.minute) + two(t.second);
    // An extension stays last, so the document still opens by its type.
    if (!suf.empty() && suf[0] == '.') return name + stamp + suf;
    return name + suf + stamp;
  }
  return name + suf;
}

bool ARQMEMORIA() {
  KOR_ROUTINE("ARQMEMORIA");
  Value forced = rt::getVar("TEMPMEM");
  if (forced.isLogical()) return forced.log();
  std::string probe = "MEM:" + std::to_string(draw(1, 99999)) + ".TMP";
  plat::OpenResult r = plat::openFile(probe, plat::Access::ReadWrite, plat::Share::Exclusive, plat::Disposition::CreateNew);
  if (!r.ok()) return false;
  plat::closeFile(r.handle);
  plat::removeFile(probe);
  return true;
}

bool APAGATABELA(std::string_view table, const Value& driver) {
  KOR_ROUTINE("APAGATABELA");
  std::string drv = driver.isText() && !driver.str().empty() ? driver.string() : ASSOCIATABELA(table);
  std::string name = layer::bareTableName(table);
  if (isSqlDriver(drv)) {
    SR_DROPTABLE(name);
    return !SR_EXISTTABLE(name);
  }
  std::string file = inDefault(name + ".DBF");
  plat::removeFile(file);
  return !plat::fileExists(file);
}

void removeTableFiles(const std::string& table) {
  std::string path = tablePath(table);
  plat::removeFile(path);
  for (dbf::MemoKind k : {dbf::MemoKind::Fpt, dbf::MemoKind::Dbt}) {
    std::string memo = plat::resolveCase(DbfTable::memoPath(path, k));
    if (plat::fileExists(memo)) plat::removeFile(memo);
  }
}

// --- scratch tables ---------------------------------------------------------------------------

std::string DBCREATETEMP(const Value& structure, const Value& keys, const Value& memory, const Value& driver,
                         const Value& alias, const Value& descending) {
  KOR_ROUTINE("DBCREATETEMP");
  Value forced = rt::getVar("TEMPMEM");
  bool mem = forced.isLogical() ? forced.log() : ((memory.isNil() || memory.log()) && ARQMEMORIA());
  std::string drv = driver.isText() && !driver.str().empty() ? driver.string()
                                                             : layer::globalText("CRDDXBASE", defaultDriver());
  if (alltrim(drv).empty()) drv = defaultDriver();
  std::string name = NOMEARQTEMP();
  std::string aliasName = alias.isText() && !alltrim(alias.str()).empty() ? upper(alltrim(alias.str())) : name;
  std::string file = mem ? "MEM:" + name : name;

  bool ok = false;
  std::vector<FieldDef> defs = structureFrom(structure, ok);
  if (!ok) return "";
  if (!createScratch(file, name, defs, drv)) return "";

  // The open, tried a few times half a second apart; each failure is logged.
  int attempts = std::max(1, static_cast<int>(layer::globalNumber("TRYTEMP", 4)) - 1);
  int n = 0;
  for (;;) {
    for (int left = attempts - 1; left >= 0 && !n; --left) {
      rt::ErrorRecord rec;
      bool failed = false;
      OpenSpec s;
      s.file = file;
      s.driver = drv;
      s.alias = aliasName;
      s.shared = false;
      guarded([&] { return (n = openTable(s)) != 0; }, rec, failed);
      if (n) break;
      if (!failed) rec = rt::makeError(rt::kErrOpen, "DBFNTX", 1001, aliasName, tablePath(file));
      rec.cargo = Value(name + " Tentativa: " + std::to_string(left));
      layer::logError(rec);
      if (left > 0) plat::sleepMillis(500);
    }
    if (n) break;
    // Every attempt failed: the handler decides between another round and
    // giving up (the scratch files are removed then).
    rt::ErrorRecord e = rt::makeError(rt::kErrOpen, "DBFNTX", 1001, aliasName, tablePath(file));
    e.canRetry = true;
    e.canDefault = true;
    if (rt::raise(e).kind != rt::ErrorAnswer::Retry) {
      removeTableFiles(file);
      return "";
    }
  }
  selectArea(n);
  WorkArea* w = area(n);

  std::vector<std::pair<std::string, std::string>> keyList;  // key, condition
  if (keys.isText() && !alltrim(keys.str()).empty()) {
    keyList.emplace_back(keys.string(), "");
  } else if (keys.isArray()) {
    for (const Value& k : keys.items()) {
      if (k.isText())
        keyList.emplace_back(k.string(), "");
      else if (k.isArray() && k.size() >= 1 && k.at(0).isText())
        keyList.emplace_back(k.at(0).string(), k.size() >= 2 && k.at(1).isText() ? k.at(1).string() : "");
    }
  }
  if (!keyList.empty()) {
    std::string ext = EXTENSAOINDICE("", Value(drv));
    if (ext.empty()) ext = ".ntx";
    bool ntx = upper(drv).rfind("DBFNTX", 0) == 0;
    std::string folderPrefix = plat::isMemoryPath(file) ? "MEM:" : "";
    // The orders are built one after another into the area's list, which
    // then holds exactly these (with their order names).
    w->clearOrders();
    int built = 0;
    for (size_t i = 0; i < keyList.size(); ++i) {
      std::string f = i == 0 || !ntx ? file + ext : folderPrefix + NOMEARQTEMP(Value("TMI"), Value("NTX"));
      layer::IndexBuild b;
      b.file = layer::indexPath(f, ext);
      b.tag = upper(name) + std::to_string(i + 1);
      b.key = keyList[i].first;
      b.cond = keyList[i].second;
      b.descending = descending.log();
      if (layer::buildIndex(*w, b)) ++built;
    }
    w->setControlling(built ? 1 : 0);
    w->goTop();
  }
  return aliasName;
}

}  // namespace kor::tables
