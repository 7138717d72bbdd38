#include "tables/engine/workarea.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "runtime/error.h"
#include "runtime/settings.h"
#include "tables/engine.h"
#include "tables/engine/errors.h"

namespace kor::tables {

// --- the natural order ------------------------------------------------------------

uint32_t NaturalOrder::first() { return area_.cachedCount() ? 1 : 0; }
uint32_t NaturalOrder::last() { return area_.cachedCount(); }
uint32_t NaturalOrder::next(uint32_t rec) { return rec < area_.cachedCount() ? rec + 1 : 0; }
uint32_t NaturalOrder::prev(uint32_t rec) {
  if (rec <= 1) return 0;
  return std::min(rec - 1, area_.cachedCount());
}
uint32_t NaturalOrder::keyCount() { return area_.cachedCount(); }
uint32_t NaturalOrder::keyNo(uint32_t rec) { return rec <= area_.cachedCount() ? rec : 0; }

// --- the area -----------------------------------------------------------------------

WorkArea::WorkArea(int number, std::string alias, std::unique_ptr<DbfTable> table, uint64_t stamp)
    : number_(number), alias_(std::move(alias)), table_(std::move(table)), stamp_(stamp), natural_(*this) {
  buf_.resize(table_->recordLen());
  toEof();
}

WorkArea::~WorkArea() { close(); }

void WorkArea::close() {
  if (closed_) return;
  flush();
  flushOrders();
  for (auto& o : orders_) o->close();
  orders_.clear();
  controlling_ = 0;
  if (!table_->locks().appending()) table_->locks().unlockAll();
  closed_ = true;
}

const dbf::FieldDesc* WorkArea::field(int pos) const {
  if (pos < 1 || pos > fieldCount()) return nullptr;
  return &table_->fields()[static_cast<size_t>(pos - 1)];
}

int WorkArea::fieldPos(std::string_view name) const {
  // Names are upper case in the table; compare without regard to case and
  // ignore trailing blanks of the name asked for.
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  const auto& fs = table_->fields();
  for (size_t i = 0; i < fs.size(); ++i) {
    const std::string& n = fs[i].name;
    if (n.size() != name.size()) continue;
    bool eq = true;
    for (size_t k = 0; k < n.size() && eq; ++k) {
      char c = name[k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      eq = c == n[k];
    }
    if (eq) return static_cast<int>(i + 1);
  }
  return 0;
}

// --- buffer and position ---------------------------------------------------------------

namespace {
void blankRecord(const DbfTable& t, char* buf) {
  buf[0] = dbf::kLive;
  for (auto& f : t.fields()) dbf::blank(f, buf + f.offset);
}
}  // namespace

void WorkArea::position(uint32_t rec, bool fresh, int dir) {
  assert(!dirty_ && rec >= 1);
  recNo_ = rec;
  eof_ = bof_ = false;
  loaded_ = false;
  fresh_ = fresh;
  dir_ = dir;
  changing_ = false;
  appended_ = false;
}

void WorkArea::toEof() {
  assert(!dirty_);
  recNo_ = cachedCount() + 1;
  eof_ = true;
  bof_ = false;
  blankRecord(*table_, buf_.data());
  loaded_ = true;
  readFailed_ = false;
  changing_ = false;
  appended_ = false;
}

bool WorkArea::load() {
  if (loaded_) return !readFailed_;
  loaded_ = true;
  readFailed_ = false;
  if (!table_->readRecord(recNo_, buf_.data(), fresh_, dir_)) {
    // A stand-in for the reads that follow; never written back.
    blankRecord(*table_, buf_.data());
    readFailed_ = true;
    return false;
  }
  return true;
}

const char* WorkArea::recordBytes() {
  load();
  return buf_.data();
}

bool WorkArea::visible() {
  bool delFilter = rt::deletedFilter();
  if (!delFilter && filter_.empty()) return true;
  if (!load()) return true;
  if (delFilter && buf_[0] == dbf::kDeleted) return false;
  if (filter_.empty()) return true;
  AreaScope here(number_);
  return filter_.test();
}

uint32_t WorkArea::stepVisible(uint32_t from, int dir) {
  uint32_t at = from;
  for (;;) {
    uint32_t r = dir > 0 ? nav().next(at) : nav().prev(at);
    if (r == 0) {
      // Another program may have appended since the count was read.
      if (dir > 0 && controlling_ == 0 && shared()) {
        uint32_t before = cachedCount();
        if (table_->refreshCount() && cachedCount() > before) continue;
      }
      return 0;
    }
    position(r, false, dir);
    if (visible()) return r;
    at = r;
  }
}

uint32_t WorkArea::recCount() {
  if (shared()) table_->refreshCount();
  return cachedCount();
}

bool WorkArea::deleted() {
  if (eof_) return false;
  load();
  return buf_[0] == dbf::kDeleted;
}

// --- navigation -----------------------------------------------------------------------

bool WorkArea::goTop() {
  flush();
  found_ = false;
  uint32_t r = nav().first();
  if (!r && shared() && controlling_ == 0) {
    table_->refreshCount();
    r = nav().first();
  }
  if (r) {
    position(r, shared(), 1);
    if (!visible()) r = stepVisible(r, 1);
  }
  if (!r) {
    toEof();
    bof_ = true;
  }
  return true;
}

bool WorkArea::goBottom() {
  flush();
  found_ = false;
  if (shared()) table_->refreshCount();
  uint32_t r = nav().last();
  if (r) {
    position(r, shared(), -1);
    if (!visible()) r = stepVisible(r, -1);
  }
  if (!r) {
    toEof();
    bof_ = true;
  }
  return true;
}

bool WorkArea::goTo(uint32_t rec) {
  flush();
  found_ = false;
  if (rec > cachedCount() && shared()) table_->refreshCount();
  if (rec >= 1 && rec <= cachedCount())
    position(rec, shared(), 1);
  else
    toEof();
  return true;
}

bool WorkArea::refresh() {
  flush();
  if (eof_) {
    if (shared()) table_->refreshCount();
    toEof();
    return true;
  }
  loaded_ = false;
  fresh_ = true;
  changing_ = false;
  return load();
}

bool WorkArea::skip(long n) {
  flush();
  found_ = false;
  if (n == 0) return refresh();
  if (n > 0) {
    if (eof_) return true;
    for (long i = 0; i < n; ++i)
      if (!stepVisible(recNo_, 1)) {
        toEof();
        break;
      }
    return true;
  }
  long steps = -n;
  if (eof_) {
    // The first step back from the end lands on the last visible record.
    uint32_t r = nav().last();
    if (r) {
      position(r, shared(), -1);
      if (!visible()) r = stepVisible(r, -1);
    }
    if (!r) {
      toEof();
      bof_ = true;
      return true;
    }
    --steps;
  }
  for (long i = 0; i < steps; ++i)
    if (!stepVisible(recNo_, -1)) {
      // Before the first: stand on the first visible record, flagged.
      goTop();
      bof_ = true;
      break;
    }
  return true;
}

// --- fields ------------------------------------------------------------------------------

namespace {
bool isMemoType(const dbf::FieldDesc& f) {
  return f.type == 'M' || ((f.type == 'G' || f.type == 'P' || f.type == 'W' || f.type == 'B') && f.len == 10) ||
         ((f.type == 'G' || f.type == 'P' || f.type == 'W') && f.len == 4);
}
}  // namespace

Value WorkArea::getField(int pos) {
  const dbf::FieldDesc* f = field(pos);
  if (!f) return Value();
  load();
  const char* p = buf_.data() + f->offset;
  if (isMemoType(*f)) {
    uint32_t block = dbf::memoPointer(*f, p);
    std::string text;
    if (block && table_->memo() && !table_->memo()->read(block, text)) text.clear();
    return Value::memo(text);
  }
  return dbf::decode(*f, p);
}

bool WorkArea::writable(bool raise) {
  for (;;) {
    rt::ErrorRecord e;
    if (table_->readOnly()) {
      e = dbError(rt::kErrReadOnly, kSubReadOnly, path());
    } else if (table_->encrypted() && !table_->hasKey()) {
      e = dbError(rt::kErrReadOnly, kSubEncrypted, path());
    } else if (!eof_ && !table_->locks().mayWrite(recNo_)) {
      e = dbError(rt::kErrUnlocked, kSubUnlocked, path());
      e.operation = alias_ + "->" + std::to_string(recNo_);
    } else {
      return true;
    }
    if (!raise) return false;
    e.canDefault = true;
    e.canRetry = true;
    if (!raiseOnce(e)) return false;
  }
}

bool WorkArea::beginChange() {
  if (!load()) return false;  // never write over a record that could not be read
  if (!changing_) {
    for (auto& o : orders_) o->beforeChange(recNo_);
    changing_ = true;
  }
  return true;
}

bool WorkArea::putField(int pos, const Value& value) {
  const dbf::FieldDesc* f = field(pos);
  if (!f || eof_) return false;
  if (!writable(true) || !beginChange()) return false;
  char* p = buf_.data() + f->offset;
  auto fail = [&](int gen, int sub) {
    rt::ErrorRecord e = dbError(gen, sub, path());
    e.operation = f->name;
    e.args = {value};
    e.canDefault = true;
    raiseOnce(e);
    return false;
  };
  if (f->type == 'M') {
    if (!value.isText()) return fail(rt::kErrDataType, kSubDataType);
    MemoFile* m = table_->memo();
    if (!m) return fail(rt::kErrDataType, kSubFieldType);
    uint32_t block = 0;
    if (!m->write(dbf::memoPointer(*f, p), value.str(), &block)) return false;
    dbf::encodeMemoPointer(*f, block, p);
    dirty_ = true;
    return true;
  }
  if (!dbf::writableType(f->type)) return fail(rt::kErrDataType, kSubFieldType);
  switch (dbf::encode(*f, value, p)) {
    case dbf::PutResult::Ok:
      dirty_ = true;
      return true;
    case dbf::PutResult::TypeMismatch:
      return fail(rt::kErrDataType, kSubDataType);
    case dbf::PutResult::TooWide:
      return fail(rt::kErrDataWidth, kSubDataWidth);
    case dbf::PutResult::Unsupported:
      return fail(rt::kErrDataType, kSubFieldType);
  }
  return false;
}

// --- records ------------------------------------------------------------------------------

bool WorkArea::flush() {
  if (!dirty_ && !appended_) return true;
  bool ok = true;
  if (dirty_) ok = table_->writeRecord(recNo_, buf_.data());
  if (ok)
    for (auto& o : orders_) o->afterWrite(recNo_, appended_);
  dirty_ = false;
  appended_ = false;
  changing_ = false;
  return ok;
}

void WorkArea::flushOrders() {
  for (auto& o : orders_) o->flush();
}

bool WorkArea::commit() {
  bool ok = flush();
  flushOrders();
  if (rt::setting(rt::Set::HardCommit).log()) ok = table_->sync() && ok;
  return ok;
}

bool WorkArea::append() { return append(AppendFill()); }

bool WorkArea::append(const AppendFill& fillValues) {
  rt::setNetErr(false);
  for (;;) {
    rt::ErrorRecord e;
    if (table_->readOnly())
      e = dbError(rt::kErrReadOnly, kSubReadOnly, path());
    else if (table_->encrypted() && !table_->hasKey())
      e = dbError(rt::kErrReadOnly, kSubEncrypted, path());
    else
      break;
    e.canDefault = true;
    e.canRetry = true;
    if (!raiseOnce(e)) return false;
  }
  found_ = false;
  // A change of the current record reaches the file with the append (in
  // the same write when it is the last record) and before the locks go.
  bool pending = dirty_ && !eof_;
  if (!pending) flush();
  uint32_t prev = recNo_;
  std::vector<char>& blank = blank_;
  blank.resize(buf_.size());
  blankRecord(*table_, blank.data());
  uint32_t rec = 0;
  LockSet& locks = table_->locks();
  // The area's record locks go (the file lock stays), the new one's stays.
  auto releaseOthers = [&] {
    std::vector<uint32_t> held = locks.records();
    for (uint32_t r : held)
      if (r != rec) locks.unlockRecord(r);
  };
  for (;;) {
    bool lockFailed = false, written = false;
    // The values are encoded into the record as it is written, and into
    // the area's copy of it.
    std::function<void(uint32_t, char*)> fill;
    bool fillFailed = false;
    if (fillValues) {
      fill = [&](uint32_t n, char* record) {
        for (const auto& [pos, v] : fillValues(n)) {
          const dbf::FieldDesc* f = field(pos);
          if (!f || f->type == 'M' || !dbf::writableType(f->type) ||
              dbf::encode(*f, v, record + f->offset) != dbf::PutResult::Ok)
            fillFailed = true;
        }
        std::memcpy(blank.data(), record, blank.size());
      };
    }
    bool ok = table_->appendRecord(blank.data(), &rec, &lockFailed, pending ? buf_.data() : nullptr, prev, &written,
                                   fillValues ? &fill : nullptr);
    (void)fillFailed;  // a value that does not fit its field leaves it blank, as documented
    if (written) {
      for (auto& o : orders_) o->afterWrite(prev, appended_);
      dirty_ = appended_ = changing_ = false;
      pending = false;
    }
    if (ok) break;
    if (pending) {
      flush();
      pending = false;
    }
    rec = 0;
    releaseOthers();
    if (!lockFailed) return false;  // a write error, raised already
    rt::ErrorRecord e = dbError(rt::kErrAppendLock, kSubAppendLock, path());
    e.canDefault = true;
    e.canRetry = true;
    rt::ErrorAnswer ans = rt::raise(e);
    if (ans.kind == rt::ErrorAnswer::Retry) continue;
    rt::setNetErr(true);
    return false;
  }
  releaseOthers();
  recNo_ = rec;
  eof_ = bof_ = false;
  std::memcpy(buf_.data(), blank.data(), buf_.size());
  loaded_ = true;
  readFailed_ = false;
  dirty_ = false;
  appended_ = true;  // the orders learn of it at the flush
  changing_ = true;  // an appended record has no old keys
  // A record appended whole gets its keys at once, so that the table and
  // its indexes differ for as short a time as can be.
  if (fillValues) flush();
  return true;
}

uint32_t WorkArea::addMissingKeys() {
  uint32_t added = 0;
  if (readOnly() || orders_.empty()) return 0;
  flush();
  const uint32_t count = recCount();
  const uint32_t home = recNo_;
  for (auto& o : orders_) {
    // Every record in the order is met once walking it; an order with a
    // condition may leave records out on purpose, and those its condition
    // keeps out stay out (afterWrite adds only keys the condition admits).
    std::vector<bool> seen(static_cast<size_t>(count) + 1, false);
    uint32_t keys = 0;
    for (uint32_t r = o->first(); r != 0; r = o->next(r)) {
      if (r <= count) seen[r] = true;
      if (++keys > count + 1u) break;  // a damaged order: not this routine's to mend
    }
    for (uint32_t r = 1; r <= count; ++r) {
      if (seen[r]) continue;
      bool heldHere = table_->locks().holds(r);
      if (!heldHere && !lockRecord(r, false)) continue;  // its writer is alive
      // Looked up once more under the lock: a walk made while other
      // programs change the index may miss a key that is there.
      if (goTo(r) && o->keyNo(r) == 0) {
        o->afterWrite(r, true);
        if (o->keyNo(r) != 0) ++added;
      }
      if (!heldHere) unlock(r);
    }
  }
  if (home) goTo(home);
  else goTop();
  return added;
}

bool WorkArea::deleteRecord() {
  if (eof_ || !writable(true) || !beginChange()) return false;
  buf_[0] = dbf::kDeleted;
  dirty_ = true;
  return true;
}

bool WorkArea::recall() {
  if (eof_ || !writable(true) || !beginChange()) return false;
  buf_[0] = dbf::kLive;
  dirty_ = true;
  return true;
}

namespace {
bool needExclusive(WorkArea& a) {
  for (;;) {
    rt::ErrorRecord e;
    if (a.readOnly())
      e = dbError(rt::kErrReadOnly, kSubReadOnly, a.path());
    else if (a.shared())
      e = dbError(rt::kErrShared, kSubExclusive, a.path());
    else
      return true;
    e.canDefault = true;
    e.canRetry = true;
    if (!raiseOnce(e)) return false;
  }
}
}  // namespace

bool WorkArea::pack() {
  if (!needExclusive(*this)) return false;
  if (table_->encrypted() && !table_->hasKey()) return writable(true);
  flush();
  uint32_t count = cachedCount(), out = 0;
  std::vector<char> rec(buf_.size());
  for (uint32_t n = 1; n <= count; ++n) {
    if (!table_->readRecord(n, rec.data(), false, 1)) return false;
    if (rec[0] == dbf::kDeleted) continue;
    ++out;
    if (out != n && !table_->writeRecord(out, rec.data())) return false;
  }
  if (!table_->setCount(out)) return false;
  rebuildOrders();
  goTop();
  return true;
}

bool WorkArea::zap() {
  if (!needExclusive(*this)) return false;
  flush();
  if (!table_->setCount(0)) return false;
  if (table_->memo() && !table_->memo()->reset()) return false;
  rebuildOrders();
  goTop();
  return true;
}

void WorkArea::rebuildOrders() {
  for (auto& o : orders_) o->rebuild();
}

// --- locks ------------------------------------------------------------------------------------

bool WorkArea::lockRecord(uint32_t rec, bool releaseOthers) {
  if (rec == 0) {
    // The phantom record holds nothing to protect; locking it would take
    // the byte the next append locks.
    if (eof_) return true;
    rec = recNo_;
  }
  if (rec > cachedCount()) {
    table_->refreshCount();
    if (rec > cachedCount()) return false;
  }
  flush();
  LockSet& locks = table_->locks();
  if (releaseOthers) {
    std::vector<uint32_t> held = locks.records();
    for (uint32_t r : held)
      if (r != rec) locks.unlockRecord(r);
  }
  for (;;) {
    plat::LockResult r = locks.lockRecord(rec);
    if (r == plat::LockResult::Busy) return false;
    if (r == plat::LockResult::Locked) break;
    rt::ErrorRecord e = dbError(rt::kErrLock, kSubLock, path());
    e.canDefault = true;
    e.canRetry = true;
    if (!raiseOnce(e)) return false;
  }
  if (shared()) {
    table_->refreshCount();
    if (rec == recNo_ && !eof_) {
      loaded_ = false;
      fresh_ = true;
      changing_ = false;
      load();
    }
  }
  return true;
}

bool WorkArea::lockFile() {
  flush();
  LockSet& locks = table_->locks();
  while (!locks.records().empty()) locks.unlockRecord(locks.records().back());
  for (;;) {
    plat::LockResult r = locks.lockFile();
    if (r == plat::LockResult::Busy) return false;
    if (r == plat::LockResult::Locked) break;
    rt::ErrorRecord e = dbError(rt::kErrLock, kSubLock, path());
    e.canDefault = true;
    e.canRetry = true;
    if (!raiseOnce(e)) return false;
  }
  if (shared()) {
    table_->refreshCount();
    table_->dropWindow();
    if (!eof_) {
      loaded_ = false;
      fresh_ = true;
      changing_ = false;
      load();
    }
  }
  return true;
}

void WorkArea::unlock(uint32_t rec) {
  LockSet& locks = table_->locks();
  if (rec == 0) {
    flush();
    flushOrders();
    locks.unlockAll();
    return;
  }
  if (rec == recNo_) flush();
  flushOrders();
  locks.unlockRecord(rec);
}

std::vector<uint32_t> WorkArea::lockList() const { return table_->locks().records(); }

// --- orders -------------------------------------------------------------------------------------

void WorkArea::attachOrder(std::unique_ptr<Order> o) {
  orders_.push_back(std::move(o));
  if (controlling_ == 0 && orders_.size() == 1) controlling_ = 1;
}

void WorkArea::clearOrders() {
  flush();
  flushOrders();
  for (auto& o : orders_) o->close();
  orders_.clear();
  controlling_ = 0;
}

Order* WorkArea::order(int n) const {
  if (n < 1 || n > orderCount()) return nullptr;
  return orders_[static_cast<size_t>(n - 1)].get();
}

bool WorkArea::setControlling(int n) {
  if (n < 0 || n > orderCount()) return false;
  controlling_ = n;
  return true;
}

Order& WorkArea::nav() { return controlling_ == 0 ? static_cast<Order&>(natural_) : *orders_[controlling_ - 1]; }

bool WorkArea::seek(const Value& key, bool soft, bool last) {
  flush();
  found_ = false;
  if (controlling_ == 0) {
    rt::ErrorRecord e = dbError(rt::kErrNoOrder, kSubNoOrder, path());
    e.canDefault = true;
    raiseOnce(e);
    return false;
  }
  SeekResult r = nav().seek(key, soft, last);
  if (!r.rec) {
    toEof();
    return false;
  }
  position(r.rec, shared(), 1);
  if (!visible()) {
    r.found = false;
    if (!stepVisible(r.rec, 1)) toEof();
  }
  found_ = r.found;
  return found_;
}

// --- loops -----------------------------------------------------------------------------------------

uint32_t WorkArea::forEach(const Scope& scope, const std::function<bool()>& fn) {
  AreaScope here(number_);
  struct Busy {
    int& n;
    explicit Busy(int& b) : n(b) { ++n; }
    ~Busy() { --n; }
  } busy(busy_);
  uint32_t seen = 0;
  if (scope.record) {
    goTo(scope.record);
    if (!eof_ && (scope.forCond.empty() || scope.forCond.test()) && !closed_) {
      ++seen;
      fn();
    }
    return seen;
  }
  if (!scope.rest && scope.next == 0 && scope.whileCond.empty()) goTop();
  uint32_t steps = 0;
  // A callback may close this very area: the loop ends there.
  while (!eof_ && !closed_) {
    if (!scope.whileCond.empty() && (!scope.whileCond.test() || closed_)) break;
    if (scope.forCond.empty() || scope.forCond.test()) {
      if (closed_) break;
      ++seen;
      if (!fn() || closed_) break;
    }
    if (scope.next && ++steps >= scope.next) break;
    skip(1);
  }
  return seen;
}

bool WorkArea::locate(const Scope& scope) {
  locate_ = scope;
  bool hit = false;
  forEach(scope, [&] {
    hit = true;
    return false;
  });
  found_ = hit;
  return hit;
}

bool WorkArea::continueLocate() {
  Scope s;
  s.forCond = locate_.forCond;
  s.whileCond = locate_.whileCond;
  s.rest = true;
  if (eof_) {
    found_ = false;
    return false;
  }
  skip(1);
  bool hit = false;
  forEach(s, [&] {
    hit = true;
    return false;
  });
  found_ = hit;
  return hit;
}

// --- encryption --------------------------------------------------------------------------------------

namespace {
bool wrongPassword(const std::string& path) {
  rt::ErrorRecord e = dbError(rt::kErrOpen, kSubPassword, path, 86);  // 86: invalid password
  e.canDefault = true;
  e.canRetry = true;
  return raiseOnce(e);
}
}  // namespace

bool WorkArea::setPassword(std::string_view password) {
  if (!table_->encrypted()) return true;
  flush();
  while (!table_->setPassword(password))
    if (!wrongPassword(path())) return false;
  loaded_ = false;
  fresh_ = true;
  return true;
}

bool WorkArea::encrypt(std::string_view password) {
  if (table_->readOnly()) return writable(true);
  if (table_->encrypted() && !decrypt(password)) return false;
  if (table_->memo() && table_->memo()->kind() != dbf::MemoKind::Fpt) {
    rt::ErrorRecord e = dbError(rt::kErrUnsupported, kSubCipher, table_->memo()->path());
    e.canDefault = true;
    raiseOnce(e);
    return false;
  }
  flush();
  bool tookLock = false;
  if (shared() && !fileLocked()) {
    if (!lockFile()) {
      rt::ErrorRecord e = dbError(rt::kErrLock, kSubLock, path());
      e.canDefault = true;
      raiseOnce(e);
      return false;
    }
    tookLock = true;
  }
  bool ok = table_->encryptAll(password);
  if (tookLock) unlock();
  loaded_ = false;
  fresh_ = true;
  return ok;
}

bool WorkArea::decrypt(std::string_view password) {
  if (!table_->encrypted()) return true;
  if (table_->readOnly()) return writable(true);
  while (!table_->setPassword(password))
    if (!wrongPassword(path())) return false;
  flush();
  bool tookLock = false;
  if (shared() && !fileLocked()) {
    if (!lockFile()) {
      rt::ErrorRecord e = dbError(rt::kErrLock, kSubLock, path());
      e.canDefault = true;
      raiseOnce(e);
      return false;
    }
    tookLock = true;
  }
  bool ok = table_->decryptAll();
  if (tookLock) unlock();
  loaded_ = false;
  fresh_ = true;
  return ok;
}

}  // namespace kor::tables
