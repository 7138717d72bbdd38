// The work-area table and the operations that span areas or files.
#include "tables/engine.h"

#include <algorithm>
#include <memory>

#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/settings.h"
#include "tables/engine/errors.h"
#include "values/textform.h"

namespace kor::tables {

namespace {

struct Areas {
  Areas() {
    // The platform's table outlives this one (statics end in reverse order),
    // so closing the areas at exit can still write.
    (void)plat::ops();
    (void)rt::setting(rt::Set::HardCommit);
  }
  ~Areas() {
    for (auto& a : slots) a.reset();
  }
  std::vector<std::unique_ptr<WorkArea>> slots = std::vector<std::unique_ptr<WorkArea>>(1);
  // Areas closed while one of their loops was running; freed once it ends.
  std::vector<std::unique_ptr<WorkArea>> closing;
  int current = 1;
  uint64_t stamps = 0;
};

Areas& areas() {
  static Areas a;
  return a;
}

bool validAlias(std::string_view a) {
  if (a.empty()) return false;
  unsigned char c0 = static_cast<unsigned char>(a[0]);
  if (!(std::isalpha(c0) || c0 == '_')) return false;
  for (unsigned char c : a)
    if (!(std::isalnum(c) || c == '_')) return false;
  return true;
}

bool argError(int gen, int sub, const std::string& operation, const std::string& file = {}) {
  rt::ErrorRecord e = dbError(gen, sub, file);
  e.operation = operation;
  e.canDefault = true;
  raiseOnce(e);
  return false;
}

std::string upperTrim(std::string_view s) { return upper(alltrim(s)); }

}  // namespace

// --- names ---------------------------------------------------------------------------

std::string tablePath(std::string_view name) {
  std::string n(alltrim(name));
  size_t slash = n.find_last_of("/\\");
  std::string base = slash == std::string::npos ? n : n.substr(slash + 1);
  if (plat::isMemoryPath(n) && slash == std::string::npos) base = n.substr(4);
  if (base.find('.') == std::string::npos) n += ".dbf";
  if (plat::isMemoryPath(n)) return n;
  std::string full = plat::absolutePath(plat::nativePath(n), rt::defaultFolder());
  return plat::resolveCase(full);
}

std::string defaultAlias(std::string_view name) {
  std::string n(alltrim(name));
  if (plat::isMemoryPath(n)) n = n.substr(4);
  size_t slash = n.find_last_of("/\\");
  if (slash != std::string::npos) n = n.substr(slash + 1);
  size_t dot = n.find_last_of('.');
  if (dot != std::string::npos) n = n.substr(0, dot);
  std::string a = upperTrim(n);
  for (char& c : a)
    if (c == ' ') c = '_';
  return a;
}

bool knownDriver(std::string_view driver) {
  std::string d = upperTrim(driver);
  return d.empty() || d == kDefaultDriver;
}

// --- areas -----------------------------------------------------------------------------

int currentArea() { return areas().current; }

WorkArea* area(int n) {
  Areas& a = areas();
  if (n == 0) n = a.current;
  if (n < 1 || static_cast<size_t>(n) >= a.slots.size()) return nullptr;
  return a.slots[static_cast<size_t>(n)].get();
}

WorkArea* requireArea(std::string_view operation) {
  WorkArea* w = area(0);
  if (!w) {
    rt::ErrorRecord e = dbError(rt::kErrNoTable, kSubNoTable, {});
    e.operation = std::string(operation);
    e.canDefault = true;
    raiseOnce(e);
  }
  return w;
}

int freeArea() {
  Areas& a = areas();
  for (size_t i = 1; i < a.slots.size(); ++i)
    if (!a.slots[i]) return static_cast<int>(i);
  return static_cast<int>(a.slots.size());
}

int selectArea(int n) {
  Areas& a = areas();
  int prev = a.current;
  if (n == 0) n = freeArea();
  if (n >= 1 && n <= kMaxAreas) a.current = n;
  return prev;
}

int areaOf(std::string_view alias) {
  std::string a = upperTrim(alias);
  if (a.empty()) return 0;
  if (std::all_of(a.begin(), a.end(), [](unsigned char c) { return std::isdigit(c); })) {
    int n = a.size() > 6 ? 0 : std::stoi(a);
    return area(n) ? n : 0;
  }
  Areas& ar = areas();
  for (size_t i = 1; i < ar.slots.size(); ++i)
    if (ar.slots[i] && ar.slots[i]->alias() == a) return static_cast<int>(i);
  return 0;
}

int selectAlias(std::string_view alias) {
  int n = areaOf(alias);
  if (n) areas().current = n;
  return n;
}

namespace {

void release(std::unique_ptr<WorkArea>& slot) {
  Areas& a = areas();
  a.closing.erase(std::remove_if(a.closing.begin(), a.closing.end(),
                                 [](const std::unique_ptr<WorkArea>& w) { return !w->busy(); }),
                  a.closing.end());
  if (!slot) return;
  if (slot->busy()) {
    slot->close();
    a.closing.push_back(std::move(slot));
  }
  slot.reset();
}

}  // namespace

void closeArea(int n) {
  Areas& a = areas();
  if (n == 0) n = a.current;
  if (n < 1 || static_cast<size_t>(n) >= a.slots.size()) return;
  release(a.slots[static_cast<size_t>(n)]);
}

void closeAll() {
  Areas& a = areas();
  for (auto& s : a.slots) release(s);
  a.current = 1;
}

std::vector<int> usedAreas() {
  std::vector<int> out;
  Areas& a = areas();
  for (size_t i = 1; i < a.slots.size(); ++i)
    if (a.slots[i]) out.push_back(static_cast<int>(i));
  return out;
}

AreaScope::AreaScope(int n) : previous_(areas().current) {
  if (n >= 1 && n <= kMaxAreas) areas().current = n;
}

AreaScope::AreaScope(std::string_view alias) : previous_(areas().current) {
  int n = areaOf(alias);
  if (n)
    areas().current = n;
  else
    ok_ = false;
}

AreaScope::~AreaScope() { areas().current = previous_; }

int openTable(const OpenSpec& spec) {
  rt::setNetErr(false);
  std::unique_ptr<WorkArea> none;
  release(none);  // frees areas closed inside their own loops
  if (!knownDriver(spec.driver)) {
    argError(rt::kErrArg, kSubDriver, spec.driver);
    return 0;
  }
  std::string path = tablePath(spec.file);
  std::string alias = spec.alias.empty() ? defaultAlias(spec.file) : upperTrim(spec.alias);
  if (!validAlias(alias)) {
    argError(rt::kErrBadAlias, kSubAlias, alias, path);
    return 0;
  }
  Areas& a = areas();
  int target = spec.newArea ? freeArea() : a.current;
  if (!spec.newArea) closeArea(target);
  if (int other = areaOf(alias); other && other != target) {
    argError(rt::kErrDupAlias, kSubAlias, alias, path);
    return 0;
  }
  if (target > kMaxAreas) {
    argError(rt::kErrLimit, kSubOpen, alias, path);
    return 0;
  }
  std::unique_ptr<DbfTable> t = DbfTable::open(path, spec.shared, spec.readOnly);
  if (!t) return 0;
  if (static_cast<size_t>(target) >= a.slots.size()) a.slots.resize(static_cast<size_t>(target) + 1);
  a.slots[static_cast<size_t>(target)] = std::make_unique<WorkArea>(target, alias, std::move(t), ++a.stamps);
  a.current = target;
  a.slots[static_cast<size_t>(target)]->goTop();
  return target;
}

// --- structures and creation ---------------------------------------------------------------

namespace {

// Checks and normalises one field definition; false with the reason.
bool normaliseField(FieldDef& f, std::string& why) {
  f.name = upperTrim(f.name);
  if (f.name.empty() || f.name.size() > dbf::kFieldNameMax) {
    why = "name";
    return false;
  }
  unsigned char c0 = static_cast<unsigned char>(f.name[0]);
  if (!std::isalpha(c0) && c0 != '_') {
    why = "name";
    return false;
  }
  for (unsigned char c : f.name)
    if (!std::isalnum(c) && c != '_') {
      why = "name";
      return false;
    }
  if (f.type >= 'a' && f.type <= 'z') f.type = static_cast<char>(f.type - 32);
  switch (f.type) {
    case 'C':
      f.dec = 0;
      if (f.len < 1 || f.len > 65534) {
        why = "length";
        return false;
      }
      break;
    case 'N':
    case 'F':
      if (f.len < 1 || f.len > 255 || f.dec < 0 || f.dec > 15 || (f.dec > 0 && f.dec > f.len - 2)) {
        why = "length";
        return false;
      }
      break;
    case 'D': f.len = 8; f.dec = 0; break;
    case 'L': f.len = 1; f.dec = 0; break;
    case 'M': f.len = 10; f.dec = 0; break;
    case 'I': f.len = 4; f.dec = 0; break;
    default:
      why = "type";
      return false;
  }
  return true;
}

}  // namespace

bool createTable(std::string_view file, const std::vector<FieldDef>& fields, std::string_view driver) {
  std::string path = tablePath(file);
  if (!knownDriver(driver)) return argError(rt::kErrArg, kSubDriver, std::string(driver), path);
  if (fields.empty()) return argError(rt::kErrArg, kSubStructure, "", path);
  std::vector<dbf::FieldDesc> descs;
  uint64_t recLen = 1;
  for (FieldDef f : fields) {
    std::string why;
    if (!normaliseField(f, why)) return argError(rt::kErrArg, kSubStructure, f.name, path);
    for (auto& d : descs)
      if (d.name == f.name) return argError(rt::kErrArg, kSubStructure, f.name, path);
    dbf::FieldDesc d;
    d.name = f.name;
    d.type = f.type;
    d.len = static_cast<uint16_t>(f.len);
    d.dec = static_cast<uint8_t>(f.dec);
    recLen += d.len;
    descs.push_back(std::move(d));
  }
  if (recLen > 65535 || descs.size() > 2046) return argError(rt::kErrLimit, kSubStructure, "", path);
  int block = static_cast<int>(rt::setting(rt::Set::MemoBlockSize).integer());
  if (block < 32 || block > 16384) block = 64;
  return DbfTable::create(path, std::move(descs), dbf::MemoKind::Fpt, static_cast<uint16_t>(block));
}

Value structureOf(WorkArea& a) {
  Value list = Value::array();
  for (int i = 1; i <= a.fieldCount(); ++i) {
    const dbf::FieldDesc* f = a.field(i);
    list.push(Value::array({Value(f->name), Value(std::string(1, f->type)), Value(static_cast<int>(f->len)),
                            Value(static_cast<int>(f->dec))}));
  }
  return list;
}

bool structureFromValue(const Value& list, std::vector<FieldDef>& out) {
  out.clear();
  if (!list.isArray()) return argError(rt::kErrArg, kSubStructure, "");
  for (const Value& item : list.items()) {
    if (!item.isArray() || item.size() < 2 || !item.at(0).isText() || !item.at(1).isText() || item.at(1).str().empty())
      return argError(rt::kErrArg, kSubStructure, item.isArray() ? item.at(0).string() : "");
    FieldDef f;
    f.name = item.at(0).string();
    f.type = item.at(1).str()[0];
    f.len = static_cast<int>(item.at(2).integer());
    f.dec = static_cast<int>(item.at(3).integer());
    out.push_back(std::move(f));
  }
  return true;
}

// --- copy and append between tables ------------------------------------------------------------

namespace {

// An alias no area uses.
std::string scratchAlias(const char* prefix) {
  for (int i = 1;; ++i) {
    std::string a = std::string(prefix) + std::to_string(i);
    if (!areaOf(a)) return a;
  }
}

bool fitsType(const Value& v, char type) {
  switch (type) {
    case 'C': case 'M': return v.isText();
    case 'N': case 'F': case 'I': return v.isNumber();
    case 'D': return v.isDate();
    case 'L': return v.isLogical();
    default: return false;
  }
}

}  // namespace

uint32_t copyTo(WorkArea& from, std::string_view file, const std::vector<std::string>& names, const Scope& scope) {
  std::vector<int> src;
  std::vector<FieldDef> defs;
  for (int i = 1; i <= from.fieldCount(); ++i) {
    const dbf::FieldDesc* f = from.field(i);
    if (!names.empty() && std::none_of(names.begin(), names.end(),
                                       [&](const std::string& n) { return upperTrim(n) == f->name; }))
      continue;
    if (!dbf::writableType(f->type)) continue;
    src.push_back(i);
    defs.push_back(FieldDef{f->name, f->type, f->len, f->dec});
  }
  if (defs.empty()) {
    argError(rt::kErrArg, kSubStructure, "", tablePath(file));
    return 0;
  }
  if (!createTable(file, defs)) return 0;
  AreaScope keep(currentArea());
  OpenSpec spec;
  spec.file = std::string(file);
  spec.alias = scratchAlias("_COPY");
  spec.shared = false;
  int n = openTable(spec);
  if (!n) return 0;
  WorkArea* to = area(n);
  uint32_t copied = from.forEach(scope, [&] {
    if (!to->append()) return false;
    for (size_t i = 0; i < src.size(); ++i) to->putField(static_cast<int>(i + 1), from.getField(src[i]));
    if (from.deleted()) to->deleteRecord();
    return true;
  });
  closeArea(n);
  return copied;
}

uint32_t appendFrom(WorkArea& to, std::string_view file, const std::vector<std::string>& names, const Scope& scope) {
  AreaScope keep(currentArea());
  OpenSpec spec;
  spec.file = std::string(file);
  spec.alias = scratchAlias("_FROM");
  spec.shared = true;
  spec.readOnly = true;
  int n = openTable(spec);
  if (!n) return 0;
  WorkArea* from = area(n);
  std::vector<std::pair<int, int>> pairs;  // target, source
  for (int i = 1; i <= to.fieldCount(); ++i) {
    const dbf::FieldDesc* f = to.field(i);
    if (!names.empty() && std::none_of(names.begin(), names.end(),
                                       [&](const std::string& nm) { return upperTrim(nm) == f->name; }))
      continue;
    if (int s = from->fieldPos(f->name)) pairs.emplace_back(i, s);
  }
  uint32_t last = 0;
  uint32_t added = from->forEach(scope, [&] {
    if (!to.append()) return false;
    last = to.recNo();
    for (auto [t, s] : pairs) {
      Value v = from->getField(s);
      if (fitsType(v, to.field(t)->type)) to.putField(t, v);
    }
    if (from->deleted()) to.deleteRecord();
    return true;
  });
  to.flush();
  if (last) to.unlock(last);
  closeArea(n);
  return added;
}

// --- all areas ------------------------------------------------------------------------------------

bool commitAll() {
  bool ok = true;
  for (int n : usedAreas()) ok = area(n)->commit() && ok;
  return ok;
}

void unlockAll() {
  for (int n : usedAreas()) area(n)->unlock();
}

}  // namespace kor::tables
