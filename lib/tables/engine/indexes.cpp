// NTX orders of work areas and the area's order list.
//
// Upkeep (order.h): beforeChange() keeps the record's old key and whether
// the record was in the order (its condition); afterWrite() compares with
// the new key and inserts, removes or moves the item. Deleted records keep
// their keys. Every change is one locked change of the index file in shared
// use (ntx.h).
//
// Navigation: the work area asks for the neighbour of its record. When the
// index cursor does not stand there (the area went to a record by number,
// or this order changed keys), the record's key is evaluated and the
// cursor put on (key, record), or, for a record the order does not hold,
// on the item after where it would stand.
#include "tables/engine/indexes.h"

#include "values/cp850.h"
#include <algorithm>

#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/engine/errors.h"
#include "values/textform.h"

namespace kor::tables {

namespace {

void raiseIndexError(int gen, int sub, const std::string& file, const std::string& why,
                     const std::string& op = {}) {
  rt::ErrorRecord e = dbError(gen, sub, file, 0, op);
  e.cargo = Value(why);
  e.canDefault = true;
  raiseOnce(e);
}

bool isPlainField(WorkArea& a, std::string_view expr) {
  std::string_view e = alltrim(expr);
  if (e.size() > 7 && upper(e.substr(0, 7)) == "FIELD->") e = e.substr(7);
  return !e.empty() && a.fieldPos(e) > 0;
}

// Where the area stands, to come back to after walking its records.
struct Spot {
  WorkArea& a;
  uint32_t rec;
  explicit Spot(WorkArea& area) : a(area), rec(area.eof() ? 0 : area.recNo()) {}
  void back() { a.goTo(rec); }
};

}  // namespace

// --- names ---------------------------------------------------------------------------

std::string indexPath(std::string_view name) {
  std::string n(alltrim(name));
  size_t slash = n.find_last_of("/\\");
  std::string base = slash == std::string::npos ? n : n.substr(slash + 1);
  if (plat::isMemoryPath(n) && slash == std::string::npos) base = n.substr(4);
  if (base.find('.') == std::string::npos) n += ".ntx";
  if (plat::isMemoryPath(n)) return n;
  std::string full = plat::absolutePath(plat::nativePath(n), rt::defaultFolder());
  return plat::resolveCase(full);
}

std::string orderNameOf(std::string_view path) {
  std::string n(path);
  if (plat::isMemoryPath(n)) n = n.substr(4);
  size_t slash = n.find_last_of("/\\");
  if (slash != std::string::npos) n = n.substr(slash + 1);
  size_t dot = n.find_last_of('.');
  if (dot != std::string::npos) n = n.substr(0, dot);
  return upper(alltrim(n));
}

// --- the order ---------------------------------------------------------------------------

NtxOrder::NtxOrder(WorkArea& area, std::unique_ptr<ntx::Index> ix, std::string name)
    : area_(area), ix_(std::move(ix)), name_(std::move(name)) {}

bool NtxOrder::compileKey(const std::string& text, const Value& block) {
  if (block.isBlock()) {
    keyBlock_ = block;
    return true;
  }
  key_ = expr::compile(text);
  return key_.valid();
}

bool NtxOrder::compileFor(const Value& cond) {
  hasFor_ = false;
  if (cond.isBlock()) {
    forBlock_ = cond;
    hasFor_ = true;
  } else if (cond.isText() && !alltrim(cond.str()).empty()) {
    for_ = expr::compile(alltrim(cond.str()));
    if (!for_.valid()) return false;
    hasFor_ = true;
  }
  return true;
}

Value NtxOrder::evalKey() {
  AreaScope here(area_.number());
  if (keyBlock_.isBlock()) return evalBlock(keyBlock_);
  return key_.valid() ? key_.eval() : Value();
}

bool NtxOrder::forHolds() {
  if (!hasFor_) return true;
  AreaScope here(area_.number());
  Value r = forBlock_.isBlock() ? evalBlock(forBlock_) : for_.eval();
  return r.isLogical() && r.log();
}

std::optional<std::string> NtxOrder::currentKey() {
  if (!forHolds()) return std::nullopt;
  Value v = evalKey();
  std::optional<std::string> k = ntx::encodeKey(v, fmt_);
  if (!k)
    raiseIndexError(rt::kErrDataType, kSubDataType, ix_->path(),
                    std::string("a expressão chave deu um valor do tipo "_cp) + v.typeLetter());
  return k;
}

std::unique_ptr<NtxOrder> NtxOrder::open(WorkArea& area, const std::string& path) {
  ntx::OpenOptions o;
  o.shared = area.shared();
  o.readOnly = area.readOnly();
  std::unique_ptr<ntx::Index> ix = ntx::Index::open(path, o);
  if (!ix) return nullptr;
  std::unique_ptr<NtxOrder> ord(new NtxOrder(area, std::move(ix), orderNameOf(path)));
  ntx::Index& x = *ord->ix_;
  if (!ord->compileKey(x.keyExpr(), Value())) return nullptr;
  if (!x.forExpr().empty() && !ord->compileFor(Value(x.forExpr()))) return nullptr;
  // The key's type from the expression; its size must agree with the file.
  Value v = ord->evalKey();
  std::optional<ntx::KeyType> t = ntx::keyTypeOf(v);
  std::string why;
  if (!t) {
    why = std::string("a expressão chave não dá uma chave (tipo "_cp) + v.typeLetter() + ")";
  } else if (*t == ntx::KeyType::Text) {
    size_t len = v.textLen();
    if (len > size_t(x.keySize()) || (len != size_t(x.keySize()) && isPlainField(area, x.keyExpr())))
      why = std::string("a expressão chave dá "_cp) + std::to_string(len) + std::string(" bytes, o índice guarda "_cp) +
            std::to_string(x.keySize());
  } else if ((*t == ntx::KeyType::Date && x.keySize() != 8) || (*t == ntx::KeyType::Logical && x.keySize() != 1)) {
    why = std::string("tamanho de chave ") + std::to_string(x.keySize()) + " para uma chave " + char(*t);
  }
  if (!why.empty()) {
    raiseIndexError(rt::kErrCorruption, ntx::kSubKeySize, x.path(), why, "open");
    return nullptr;
  }
  ord->fmt_ = ntx::KeyFormat{*t, x.keySize(), x.keyDecimals()};
  return ord;
}

// Walks every record of the table (the area standing on each), gathering
// the keys of those the condition admits.
bool NtxOrder::gatherKeys(ntx::KeyList& keys, const IndexSpec* spec) {
  AreaScope here(area_.number());
  Spot spot(area_);
  const uint32_t count = area_.recCount();
  keys.reserve(count);
  const uint32_t every = spec && spec->every ? spec->every : 1;
  bool complete = true;
  for (uint32_t r = 1; r <= count; ++r) {
    area_.goTo(r);
    if (area_.eof()) break;
    if (spec && r % every == 0) {
      bool go = true;
      if (spec->progress.isBlock()) {
        Value ans = evalBlock(spec->progress);
        go = !(ans.isLogical() && !ans.log());
      }
      if (go && spec->onProgress) go = spec->onProgress(r, count);
      if (!go) {
        complete = false;
        break;
      }
    }
    if (!forHolds()) continue;
    Value v = evalKey();
    std::optional<std::string> k = ntx::encodeKey(v, fmt_);
    if (!k) {
      raiseIndexError(rt::kErrDataType, kSubDataType, ix_ ? ix_->path() : indexPath(spec ? spec->file : ""),
                      std::string("registro ") + std::to_string(r) + std::string(": a expressão chave deu um valor do tipo "_cp) + v.typeLetter());
      continue;
    }
    keys.add(*k, r);
  }
  spot.back();
  return complete;
}

std::unique_ptr<NtxOrder> NtxOrder::create(WorkArea& area, const IndexSpec& spec) {
  std::string path = indexPath(spec.file);
  std::string tag = upper(alltrim(spec.tag));
  std::unique_ptr<NtxOrder> ord(new NtxOrder(area, nullptr, tag.empty() ? orderNameOf(path) : tag));
  std::string keyText(alltrim(spec.key));
  if (keyText.empty() && spec.keyBlock.isBlock()) keyText = spec.keyBlock.blockRep()->source;
  if (!ord->compileKey(keyText, spec.keyBlock)) return nullptr;
  if (!ord->compileFor(spec.forCond)) return nullptr;
  // The key's format from the first record (the blank record of an empty
  // table).
  Value v;
  {
    AreaScope here(area.number());
    Spot spot(area);
    uint32_t count = area.recCount();
    area.goTo(count ? 1 : count + 1);
    v = ord->evalKey();
    spot.back();
  }
  std::optional<ntx::KeyFormat> f = ntx::keyFormatOf(v);
  if (!f || f->size < 1 || f->size > ntx::kMaxKeySize) {
    raiseIndexError(f ? rt::kErrLimit : rt::kErrDataType, ntx::kSubKeySize, path,
                    f ? std::string("chave de ") + std::to_string(f->size) + " bytes"
                      : std::string("a expressão chave não dá uma chave (tipo "_cp) + v.typeLetter() + ")",
                    "create");
    return nullptr;
  }
  ord->fmt_ = *f;
  ntx::KeyList keys(f->size);
  ord->gatherKeys(keys, &spec);
  ntx::Spec s;
  s.keyExpr = keyText;
  if (spec.forCond.isText()) s.forExpr = std::string(alltrim(spec.forCond.str()));
  else if (spec.forCond.isBlock()) s.forExpr = spec.forCond.blockRep()->source;
  s.keySize = f->size;
  s.keyDecimals = f->type == ntx::KeyType::Number ? f->decimals : 0;
  s.unique = spec.unique;
  s.descending = spec.descending;
  ntx::OpenOptions o;
  o.shared = area.shared();
  ord->ix_ = ntx::Index::create(path, s, keys, o);
  if (!ord->ix_) return nullptr;
  ord->fmt_.decimals = s.keyDecimals;
  return ord;
}

uint32_t NtxOrder::first() {
  trusted_ = true;
  return ix_->goTop() ? here() : 0;
}

uint32_t NtxOrder::last() {
  trusted_ = true;
  return ix_->goBottom() ? here() : 0;
}

bool NtxOrder::syncTo(uint32_t rec) {
  if (trusted_ && here() == rec && rec) return true;
  trusted_ = true;
  Value v = evalKey();
  std::optional<std::string> k = ntx::encodeKey(v, fmt_);
  if (!k) {
    ix_->goTop();
    return false;
  }
  return ix_->gotoItem(*k, rec, true);
}

uint32_t NtxOrder::next(uint32_t rec) {
  if (!syncTo(rec)) return here();  // already on the item after it
  return ix_->next() ? here() : 0;
}

uint32_t NtxOrder::prev(uint32_t rec) {
  syncTo(rec);
  return ix_->prev() ? here() : 0;
}

SeekResult NtxOrder::seek(const Value& key, bool soft, bool last) {
  std::optional<std::string> k = ntx::seekKey(key, fmt_);
  trusted_ = true;
  if (!k) {
    raiseIndexError(rt::kErrDataType, kSubDataType, ix_->path(),
                    std::string("valor do tipo ") + key.typeLetter() + std::string(" procurado num índice "_cp) + char(fmt_.type), "seek");
    return SeekResult{};
  }
  bool found = ix_->seek(*k, soft, last);
  return SeekResult{here(), found};
}

uint32_t NtxOrder::keyCount() { return uint32_t(std::min<uint64_t>(ix_->keyCount(), 0xFFFFFFFFu)); }

uint32_t NtxOrder::keyNo(uint32_t rec) {
  if (rec == 0 || area_.eof()) return 0;
  if (!syncTo(rec)) return 0;
  return uint32_t(ix_->keyNo());
}

Value NtxOrder::keyValue() {
  if (area_.eof()) return Value();
  Value v = evalKey();
  std::optional<std::string> k = ntx::encodeKey(v, fmt_);
  return k ? ntx::decodeKey(*k, fmt_) : Value();
}

void NtxOrder::setScope(int which, const Value& v) {
  std::optional<std::string> bytes;
  if (!v.isNil()) {
    bytes = ntx::seekKey(v, fmt_);
    if (!bytes) {
      raiseIndexError(rt::kErrDataType, kSubDataType, ix_->path(),
                      std::string("escopo do tipo ") + v.typeLetter() + std::string(" num índice "_cp) + char(fmt_.type), "scope");
      return;
    }
  }
  if (which == 0) {
    scopeTop_ = v;
    ix_->setTopScope(bytes);
  } else {
    scopeBottom_ = v;
    ix_->setBottomScope(bytes);
  }
}

void NtxOrder::beforeChange(uint32_t rec) {
  changeRec_ = rec;
  std::optional<std::string> k = currentKey();
  changeIn_ = k.has_value();
  if (k) changeKey_ = std::move(*k);
}

void NtxOrder::afterWrite(uint32_t rec, bool appended) {
  if (ix_->readOnly()) return;
  std::optional<std::string> k = currentKey();
  trusted_ = false;
  if (appended || rec != changeRec_) {
    // A new record (or one whose change began unseen): it may only gain a key.
    if (k) ix_->insert(*k, rec);
  } else if (changeIn_ && k) {
    if (*k != changeKey_) ix_->replace(changeKey_, *k, rec);
  } else if (changeIn_) {
    ix_->remove(changeKey_, rec);
  } else if (k) {
    ix_->insert(*k, rec);
  }
  changeRec_ = 0;
}

bool NtxOrder::reindex() {
  ntx::KeyList keys(ix_->keySize());
  gatherKeys(keys, nullptr);
  trusted_ = false;
  return ix_->rebuild(keys);
}

void NtxOrder::rebuild() { reindex(); }



uint32_t NtxOrder::gotoKeyNo(uint64_t n) {
  trusted_ = true;
  return ix_->gotoKeyNo(n) ? here() : 0;
}

uint32_t NtxOrder::wildSeek(std::string_view pattern, uint32_t rec, bool fromRec, bool backwards) {
  bool on;
  if (fromRec && rec) {
    bool in = syncTo(rec);
    if (backwards)
      on = ix_->prev();
    else
      on = in ? ix_->next() : ix_->onKey();
  } else {
    trusted_ = true;
    on = backwards ? ix_->goBottom() : ix_->goTop();
  }
  while (on) {
    if (plat::wildMatch(pattern, rtrim(ix_->key()), false)) return here();
    on = backwards ? ix_->prev() : ix_->next();
  }
  return 0;
}

// --- the order list --------------------------------------------------------------------

bool orderListAdd(WorkArea& a, std::string_view file) {
  a.flush();
  std::unique_ptr<NtxOrder> o = NtxOrder::open(a, indexPath(file));
  if (!o) return false;
  a.attachOrder(std::move(o));
  return true;
}

void orderListClear(WorkArea& a) { a.clearOrders(); }

bool orderListRebuild(WorkArea& a) {
  if (a.readOnly()) {
    raiseIndexError(rt::kErrReadOnly, kSubReadOnly, a.path(), std::string("reindexação de tabela aberta só para leitura"_cp), "reindex");
    return false;
  }
  a.flush();
  // In shared use the file lock keeps every other program from changing
  // records (or appending) while the keys are read and written.
  bool tookLock = false;
  if (a.shared() && !a.fileLocked()) {
    if (!a.lockFile()) {
      raiseIndexError(rt::kErrLock, kSubLock, a.path(), std::string("a reindexação exige o travamento do arquivo"_cp), "reindex");
      return false;
    }
    tookLock = true;
  }
  bool ok = true;
  for (int n = 1; n <= a.orderCount(); ++n)
    if (auto* o = dynamic_cast<NtxOrder*>(a.order(n))) ok = o->reindex() && ok;
  if (tookLock) a.unlock();
  a.goTop();
  return ok;
}

int orderPosition(WorkArea& a, const Value& which) {
  if (which.isNil()) return a.controlling();
  if (which.isNumber()) {
    long long n = which.integer();
    return n >= 0 && n <= a.orderCount() ? int(n) : -1;
  }
  if (!which.isText()) return -1;
  std::string want = upper(alltrim(which.str()));
  if (want.empty()) return -1;
  for (int n = 1; n <= a.orderCount(); ++n)
    if (upper(a.order(n)->name()) == want) return n;
  for (int n = 1; n <= a.orderCount(); ++n)
    if (upper(alltrim(a.order(n)->keyExpr())) == want) return n;
  return -1;
}

bool setOrderFocus(WorkArea& a, const Value& which) {
  int n = orderPosition(a, which);
  if (n < 0) return false;
  a.flush();
  return a.setControlling(n);
}

bool orderCreate(WorkArea& a, const IndexSpec& spec, bool additive) {
  a.flush();
  // The file is replaced: an attached order on it goes first.
  std::string path = indexPath(spec.file);
  if (!additive) {
    a.clearOrders();
  } else {
    for (int n = 1; n <= a.orderCount(); ++n)
      if (a.order(n)->bagName() == path) {
        orderListClear(a);  // the order list has no single detach: start over without it
        break;
      }
  }
  std::unique_ptr<NtxOrder> o = NtxOrder::create(a, spec);
  if (!o) return false;
  a.attachOrder(std::move(o));
  a.setControlling(a.orderCount());
  a.goTop();
  return true;
}

NtxOrder* ntxOrder(WorkArea& a, int n) {
  return dynamic_cast<NtxOrder*>(a.order(n == 0 ? a.controlling() : n));
}

bool wildSeek(WorkArea& a, std::string_view pattern, bool fromCurrent, bool backwards) {
  a.flush();
  NtxOrder* o = ntxOrder(a);
  if (!o) {
    rt::ErrorRecord e = dbError(rt::kErrNoOrder, kSubNoOrder, a.path(), 0, "ORDWILDSEEK");
    e.canDefault = true;
    raiseOnce(e);
    return false;
  }
  uint32_t from = a.eof() ? 0 : a.recNo();
  bool cont = fromCurrent && from;
  for (;;) {
    uint32_t r = o->wildSeek(pattern, from, cont, backwards);
    if (!r) break;
    a.goTo(r);
    // Deleted records under the deleted filter, and records the filter
    // hides, are passed over.
    bool visible = !(rt::deletedFilter() && a.deleted());
    if (visible && !a.filter().empty()) {
      AreaScope here(a.number());
      visible = a.filter().test();
    }
    if (visible) {
      a.setFound(true);
      return true;
    }
    from = r;
    cont = true;
  }
  a.goTo(0);
  a.setFound(false);
  return false;
}

}  // namespace kor::tables
