// NTX index files: opening and creating, the header, the page cache, the
// index lock and the write-through of each change.
//
// Every public operation runs inside guarded(): a step that meets a damaged
// file or a failing system call throws Index::Error, the scopes below unlock
// and roll back on the way out, and guarded() raises the ErrorRecord.
//
// A change runs inside a WriteScope:
//   1. shared use: take the index lock exclusively, reread the header; a
//      moved change counter drops the cached pages;
//   2. change pages in the cache only (marked dirty);
//   3. commit: write the pages allocated by this change, then the changed
//      old pages, then the header with the counter advanced;
//   4. release the lock.
// When a step fails before the commit, the dirty pages are thrown away and
// the header fields restored: the file never saw them.
#include <algorithm>
#include <cassert>

#include "tables/engine/ntx_internal.h"
#include "values/cp850.h"

namespace kor::tables::ntx {

int maxKeysFor(int keySize) {
  if (keySize < 1) return 0;
  int m = 1022 / (keySize + 10) - 1;
  if (m > 2) m &= ~1;
  return m;
}

// --- opening --------------------------------------------------------------------

Index::~Index() {
  if (h_ != plat::kNoHandle) {
    if (locked_) unlock();
    plat::closeFile(h_);
  }
}

void Index::raiseError(const char* op, const Error& e) {
  rt::ErrorRecord rec = rt::makeError(e.genCode, "DBFNTX", e.subCode, op, file_, e.osCode);
  rec.canDefault = true;
  if (!e.why.empty()) rec.cargo = Value(e.why);
  rt::raise(rec);
}

bool Index::openFile(const std::string& path, const OpenOptions& opt) {
  file_ = plat::isMemoryPath(path) ? path : plat::absolutePath(path);
  opt_ = opt;
  bool ok = false;
  rt::LoopResult r = rt::raiseLoop([&](rt::ErrorRecord& rec) {
    plat::OpenResult o =
        plat::openFile(file_, opt.readOnly ? plat::Access::Read : plat::Access::ReadWrite,
                       opt.shared ? plat::Share::DenyNone : plat::Share::Exclusive,
                       plat::Disposition::OpenExisting);
    if (o.ok()) {
      h_ = o.handle;
      return true;
    }
    rec = rt::makeError(rt::kErrOpen, "DBFNTX", kSubOpen, "open", file_, o.error);
    rec.canRetry = true;
    rec.canDefault = true;
    return false;
  });
  ok = r.ok;
  return ok;
}

std::unique_ptr<Index> Index::open(const std::string& path, const OpenOptions& opt) {
  std::unique_ptr<Index> ix(new Index());
  if (!ix->openFile(path, opt)) return nullptr;
  bool ok = ix->guarded("open", false, [&] {
    bool mine = false;
    if (opt.shared && opt.lock.readersLock) {
      ix->lockWait(false);
      mine = true;
    }
    struct Unlock {
      Index& ix;
      bool on;
      ~Unlock() {
        if (on) ix.unlock();
      }
    } unlock{*ix, mine};
    uint8_t b[kPageSize];
    plat::IoResult r = plat::readAt(ix->h_, 0, b, kPageSize);
    if (!r.ok()) throw Error{rt::kErrRead, kSubRead, r.error, false, std::string("cabeçalho"_cp)};
    if (r.bytes < kPageSize) throw corrupt(std::string("página de cabeçalho incompleta"_cp));
    ix->stats_.headerReads++;
    int64_t size = plat::fileSize(ix->h_);
    ix->parseHeader(b, size);
    return true;
  });
  if (!ok) return nullptr;
  return ix;
}

void Index::parseHeader(const uint8_t* b, int64_t fileSize) {
  uint16_t sig = rd16(b + hdr::kSignature);
  if (sig != kSignature && sig != kSignatureWithFor && sig != kSignatureOld)
    throw corrupt(std::string("assinatura desconhecida ") + std::to_string(sig));
  int keySize = rd16(b + hdr::kKeySize);
  int itemSize = rd16(b + hdr::kItemSize);
  int max = rd16(b + hdr::kMaxItems);
  int half = rd16(b + hdr::kHalfPage);
  if (keySize < 1 || keySize > kMaxKeySize) throw corrupt(std::string("tamanho de chave ") + std::to_string(keySize));
  if (itemSize != keySize + 8) throw corrupt(std::string("tamanho do item não confere com o da chave"_cp));
  if (max < 2) throw corrupt(std::string("página com menos de duas chaves"_cp));
  if (2 + 2 * (max + 1) + (max + 1) * itemSize > kPageSize)
    throw corrupt(std::string("máximo de "_cp) + std::to_string(max) + std::string(" chaves por página não cabem numa página"_cp));
  uint32_t root = rd32(b + hdr::kRoot);
  uint32_t freeHead = rd32(b + hdr::kFree);
  if (root == 0 || root % kPageSize || (fileSize >= 0 && int64_t(root) + kPageSize > fileSize))
    throw corrupt(std::string("página raiz "_cp) + std::to_string(root) + " fora do arquivo");
  if (freeHead % kPageSize || (freeHead && (fileSize >= 0 && int64_t(freeHead) + kPageSize > fileSize)))
    throw corrupt(std::string("página livre "_cp) + std::to_string(freeHead) + " fora do arquivo");

  std::memcpy(rawHeader_.data(), b, kPageSize);
  signature_ = sig;
  version_ = rd16(b + hdr::kVersion);
  root_ = root;
  freeHead_ = freeHead;
  keySize_ = keySize;
  itemSize_ = itemSize;
  keyDec_ = rd16(b + hdr::kKeyDec);
  max_ = max;
  half_ = half;
  minKeys_ = std::clamp(half, 1, max / 2);
  tableEnd_ = 2 + 2 * (max + 1);
  unique_ = b[hdr::kUnique] == 1;
  descending_ = b[hdr::kDescend] == 1;
  auto text = [&](int at) {
    const char* s = reinterpret_cast<const char*>(b + at);
    size_t n = 0;
    while (n < size_t(kExprSize) && s[n]) ++n;
    std::string t(s, n);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
  };
  keyExpr_ = text(hdr::kKeyExpr);
  // The condition field came later: older files may hold anything there, so
  // only a printable text counts as a condition.
  std::string f = text(hdr::kForExpr);
  bool printable = std::all_of(f.begin(), f.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
  forExpr_ = printable ? f : std::string();
  if (fileSize >= 0) {
    fileEnd_ = uint32_t((fileSize + kPageSize - 1) / kPageSize * kPageSize);
    fileEndKnown_ = !opt_.shared;
  }
}

std::unique_ptr<Index> Index::create(const std::string& path, const Spec& spec, KeyList& keys,
                                     const OpenOptions& opt) {
  std::unique_ptr<Index> ix(new Index());
  ix->file_ = plat::isMemoryPath(path) ? path : plat::absolutePath(path);
  ix->opt_ = opt;
  ix->opt_.readOnly = false;
  auto fail = [&](int gen, int sub, int os, const std::string& why) {
    ix->raiseError("create", Error{gen, sub, os, false, why});
    return nullptr;
  };
  if (spec.keySize < 1 || spec.keySize > kMaxKeySize)
    return fail(rt::kErrLimit, kSubKeySize, 0, std::string("tamanho de chave ") + std::to_string(spec.keySize));
  if (keys.keySize() != spec.keySize)
    return fail(rt::kErrArg, kSubKeySize, 0, std::string("chaves de outro tamanho"));
  if (spec.keyExpr.size() >= size_t(kExprSize) || spec.forExpr.size() >= size_t(kExprSize))
    return fail(rt::kErrLimit, kSubCreate, 0, std::string("expressão com mais de 255 caracteres"_cp));
  rt::LoopResult r = rt::raiseLoop([&](rt::ErrorRecord& rec) {
    plat::OpenResult o = plat::openFile(ix->file_, plat::Access::ReadWrite,
                                        opt.shared ? plat::Share::DenyNone : plat::Share::Exclusive,
                                        plat::Disposition::CreateAlways);
    if (o.ok()) {
      ix->h_ = o.handle;
      return true;
    }
    rec = rt::makeError(rt::kErrCreate, "DBFNTX", kSubCreate, "create", ix->file_, o.error);
    rec.canRetry = true;
    rec.canDefault = true;
    return false;
  });
  if (!r.ok) return nullptr;
  bool ok = ix->guarded("create", false, [&] {
    ix->writeFreshFile(spec, keys);
    return true;
  });
  if (!ok) return nullptr;
  return ix;
}

// The header of a new index, then its tree.
void Index::writeFreshFile(const Spec& spec, KeyList& keys) {
  rawHeader_.fill(0);
  signature_ = spec.forExpr.empty() ? kSignature : kSignatureWithFor;
  version_ = 0;  // the first write makes it 1
  keySize_ = spec.keySize;
  itemSize_ = keySize_ + 8;
  keyDec_ = spec.keyDecimals;
  unique_ = spec.unique;
  descending_ = spec.descending;
  keyExpr_ = spec.keyExpr;
  forExpr_ = spec.forExpr;
  uint8_t* b = rawHeader_.data();
  wr16(b + hdr::kItemSize, uint16_t(itemSize_));
  wr16(b + hdr::kKeySize, uint16_t(keySize_));
  wr16(b + hdr::kKeyDec, uint16_t(keyDec_));
  std::memcpy(b + hdr::kKeyExpr, keyExpr_.data(), keyExpr_.size());
  b[hdr::kUnique] = unique_ ? 1 : 0;
  b[hdr::kDescend] = descending_ ? 1 : 0;
  std::memcpy(b + hdr::kForExpr, forExpr_.data(), forExpr_.size());
  // A new file has no header to reread: take the lock (shared use) and write.
  struct Lock {
    Index& ix;
    bool on;
    ~Lock() {
      if (on) ix.unlock();
    }
  } lock{*this, false};
  if (opt_.shared) {
    lockWait(true);
    lock.on = true;
  }
  int rc = plat::truncateFile(h_, 0);
  if (rc) throw Error{rt::kErrWrite, kSubWrite, rc, false, std::string("ajuste do tamanho do arquivo")};
  writeTree(keys);
}

// --- the lock ---------------------------------------------------------------------

void Index::lockWait(bool exclusive) {
  assert(!locked_);
  const LockScheme& ls = opt_.lock;
  int64_t start = plat::monotonicMillis();
  for (int tries = 0;; ++tries) {
    plat::LockResult r = plat::lockRange(h_, ls.offset, ls.length, exclusive);
    if (r == plat::LockResult::Locked) {
      locked_ = true;
      stats_.locks++;
      return;
    }
    if (r == plat::LockResult::Error)
      throw Error{rt::kErrLock, kSubLock, plat::kLockViolation, true, std::string("falha na chamada de travamento")};
    if (plat::monotonicMillis() - start > ls.timeoutMillis)
      throw Error{rt::kErrLock, kSubLock, plat::kLockViolation, true, std::string("índice travado por outro programa"_cp)};
    // Other holders keep the lock for the time of one change: a few quick
    // tries, then short sleeps.
    plat::sleepMillis(tries < 20 ? 0 : 1);
  }
}

void Index::unlock() {
  if (!locked_) return;
  plat::unlockRange(h_, opt_.lock.offset, opt_.lock.length);
  locked_ = false;
}

// Rereads the part of the header other writers change. Anything moved since
// the last look means the cached pages may be stale.
bool Index::refreshHeader() {
  uint8_t b[12];
  plat::IoResult r = plat::readAt(h_, 0, b, sizeof b);
  if (!r.ok()) throw Error{rt::kErrRead, kSubRead, r.error, false, std::string("cabeçalho"_cp)};
  if (r.bytes < int64_t(sizeof b)) throw corrupt(std::string("página de cabeçalho incompleta"_cp));
  stats_.headerReads++;
  uint16_t version = rd16(b + hdr::kVersion);
  uint32_t root = rd32(b + hdr::kRoot);
  uint32_t freeHead = rd32(b + hdr::kFree);
  if (version == version_ && root == root_ && freeHead == freeHead_) return false;
  dropCache();
  if (root == 0 || root % kPageSize) throw corrupt(std::string("página raiz "_cp) + std::to_string(root) + " fora do arquivo");
  if (freeHead % kPageSize) throw corrupt(std::string("página livre "_cp) + std::to_string(freeHead) + " fora do arquivo");
  version_ = version;
  root_ = root;
  freeHead_ = freeHead;
  std::memcpy(rawHeader_.data(), b, sizeof b);
  return true;
}

// The moving part of the header read without the lock: true when it is
// what the cache was read under. A writer may be rewriting it this very
// moment, so anything else (a moved counter, a torn read, a short read)
// only says "look again under the lock".
bool Index::headerUnchanged() {
  uint8_t b[12];
  plat::IoResult r = plat::readAt(h_, 0, b, sizeof b);
  stats_.headerReads++;
  if (!r.ok() || r.bytes < int64_t(sizeof b)) return false;
  return rd16(b + hdr::kVersion) == version_ && rd32(b + hdr::kRoot) == root_ && rd32(b + hdr::kFree) == freeHead_;
}

// --- the cache ----------------------------------------------------------------------

void Index::dropCache() {
  if (!cache_.empty()) stats_.cacheDrops++;
  cache_.clear();
  dirty_.clear();
  counts_.clear();
  leafDepth_ = -1;
  pathValid_ = false;
  depth_ = 0;
}

void Index::trimCache() {
  if (cache_.size() > opt_.cachePages && !writing_) dropCache();
}

Index::Page* Index::readPage(uint32_t off) {
  if (off == 0 || off % kPageSize) throw corrupt(std::string("ponteiro de página "_cp) + std::to_string(off));
  if (opt_.shared && opt_.lock.readersLock && !locked_) {
    // A read that went without the lock needs a page from the file: take
    // the lock now; if the index moved meanwhile, start over (ReadScope).
    lockWait(false);
    lazyLocked_ = true;
    if (refreshHeader()) throw Restart{};
  }
  auto p = std::make_unique<Page>();
  p->off = off;
  plat::IoResult r = plat::readAt(h_, off, p->b.data(), kPageSize);
  if (!r.ok()) throw Error{rt::kErrRead, kSubRead, r.error, false, std::string("página "_cp) + std::to_string(off)};
  if (r.bytes < kPageSize)
    throw corrupt(std::string("página "_cp) + std::to_string(off) + (r.bytes ? std::string(" incompleta") : std::string(" além do fim do arquivo"_cp)));
  stats_.pageReads++;
  Page* raw = p.get();
  cache_[off] = std::move(p);
  return raw;
}

Index::Page& Index::fetchRaw(uint32_t off) {
  auto it = cache_.find(off);
  if (it != cache_.end()) return *it->second;
  return *readPage(off);
}

Index::Page& Index::fetch(uint32_t off) {
  auto it = cache_.find(off);
  Page* p = it != cache_.end() ? it->second.get() : readPage(off);
  if (!p->validated) validate(*p);
  return *p;
}

// Checks a page read from the file before anything trusts it.
void Index::validate(Page& p) {
  const uint8_t* b = p.b.data();
  int n = rd16(b);
  std::string where = std::string("página "_cp) + std::to_string(p.off);
  if (n > max_) throw corrupt(where + " com " + std::to_string(n) + " chaves, mais que " + std::to_string(max_));
  uint16_t offs[kPageSize / 2];
  const int slots = max_ + 1;
  for (int i = 0; i < slots; ++i) {
    int s = rd16(b + 2 + 2 * i);
    if (s < tableEnd_ || s > kPageSize - itemSize_) {
      if (i <= n) throw corrupt(where + std::string(": posição "_cp) + std::to_string(i) + std::string(" fora da página"_cp));
      s = -1;
    }
    offs[i] = uint16_t(s < 0 ? 0xFFFF : s);
  }
  auto overlapFree = [&](int count) {
    uint16_t sorted[kPageSize / 2];
    std::copy(offs, offs + count, sorted);
    std::sort(sorted, sorted + count);
    for (int i = 1; i < count; ++i)
      if (sorted[i] == 0xFFFF || sorted[i] - sorted[i - 1] < itemSize_) return false;
    return count == 0 || sorted[count - 1] != 0xFFFF;
  };
  if (!overlapFree(n + 1)) throw corrupt(where + ": itens sobrepostos");
  p.slotsSound = overlapFree(slots);
  if (rd32(b + offs[0]) != 0) {
    for (int i = 0; i <= n; ++i) {
      uint32_t c = rd32(b + offs[i]);
      if (c == 0 || c % kPageSize) throw corrupt(where + ": ponteiro de filho " + std::to_string(c));
      if (c == p.off) throw corrupt(where + " aponta para si mesma");
    }
  } else {
    // A leaf: whatever other child fields hold means nothing; clear them so
    // that no later shift of items can make the page look like an inner one.
    for (int i = 1; i <= n; ++i) wr32(p.b.data() + offs[i], 0);
  }
  p.validated = true;
}

uint32_t Index::fileEnd() {
  if (!fileEndKnown_) {
    int64_t s = plat::fileSize(h_);
    if (s < 0) throw Error{rt::kErrRead, kSubRead, plat::kReadFault, false, std::string("tamanho do arquivo")};
    if (s < kPageSize) s = kPageSize;
    if (s > int64_t(0xFFFFF000u)) throw Error{rt::kErrLimit, kSubWrite, 0, false, std::string("arquivo de índice grande demais"_cp)};
    fileEnd_ = uint32_t((s + kPageSize - 1) / kPageSize * kPageSize);
    fileEndKnown_ = true;
  }
  return fileEnd_;
}

Index::Page& Index::allocPage() {
  Page* p;
  if (freeHead_) {
    uint32_t off = freeHead_;
    p = &fetchRaw(off);
    uint32_t next = rd32(p->b.data());
    if (next == off || next % kPageSize) throw corrupt(std::string("cadeia de páginas livres rompida na página "_cp) + std::to_string(off));
    freeHead_ = next;
  } else {
    uint32_t off = fileEnd();
    if (off > 0xFFFFF000u - kPageSize) throw Error{rt::kErrLimit, kSubWrite, 0, false, std::string("arquivo de índice grande demais"_cp)};
    fileEnd_ = off + kPageSize;
    auto np = std::make_unique<Page>();
    np->off = off;
    p = np.get();
    cache_[off] = std::move(np);
  }
  initEmpty(*p);
  p->fresh = true;
  counts_.erase(p->off);
  return *p;
}

void Index::markDirty(Page& p) {
  if (p.dirty) return;
  p.dirty = true;
  dirty_.push_back(&p);
}

void Index::freePage(Page& p) {
  p.b.fill(0);
  wr32(p.b.data(), freeHead_);
  freeHead_ = p.off;
  markDirty(p);
  p.validated = false;
  p.fresh = false;
}

void Index::commit(bool headerMoved) {
  std::vector<Page*> dirty;
  dirty.swap(dirty_);
  if (dirty.empty() && !headerMoved) return;
  std::sort(dirty.begin(), dirty.end(), [](const Page* a, const Page* b) {
    if (a->fresh != b->fresh) return a->fresh;
    return a->off < b->off;
  });
  std::vector<uint8_t> run;
  for (size_t i = 0; i < dirty.size();) {
    size_t j = i + 1;
    while (j < dirty.size() && dirty[j]->fresh == dirty[i]->fresh &&
           dirty[j]->off == dirty[j - 1]->off + kPageSize)
      ++j;
    const uint8_t* data = dirty[i]->b.data();
    if (j - i > 1) {
      run.resize((j - i) * kPageSize);
      for (size_t k = i; k < j; ++k) std::memcpy(&run[(k - i) * kPageSize], dirty[k]->b.data(), kPageSize);
      data = run.data();
    }
    plat::IoResult r = plat::writeAt(h_, dirty[i]->off, data, int64_t(j - i) * kPageSize);
    if (!r.ok()) {
      dirty_.swap(dirty);  // for the rollback
      throw Error{rt::kErrWrite, kSubWrite, r.error, false, std::string("página "_cp) + std::to_string(dirty_[i]->off)};
    }
    stats_.pageWrites += j - i;
    i = j;
  }
  version_ = uint16_t(version_ + 1);
  uint8_t b[12];
  wr16(b + hdr::kSignature, signature_);
  wr16(b + hdr::kVersion, version_);
  wr32(b + hdr::kRoot, root_);
  wr32(b + hdr::kFree, freeHead_);
  plat::IoResult r = plat::writeAt(h_, 0, b, sizeof b);
  if (!r.ok()) {
    dirty_.swap(dirty);
    throw Error{rt::kErrWrite, kSubWrite, r.error, false, std::string("cabeçalho"_cp)};
  }
  std::memcpy(rawHeader_.data(), b, sizeof b);
  for (Page* p : dirty) {
    p->dirty = false;
    p->fresh = false;
  }
  counts_.clear();
  leafDepth_ = -1;  // the tree may have grown or lost a level
}

void Index::rollback() {
  for (Page* p : dirty_) cache_.erase(p->off);
  dirty_.clear();
  counts_.clear();
  leafDepth_ = -1;
  fileEndKnown_ = false;
  pathValid_ = false;
  depth_ = 0;
}

void Index::flush() {
  if (h_ != plat::kNoHandle && !opt_.readOnly) plat::syncFile(h_);
}

std::string Index::snapshot() {
  return guarded("read", std::string(), [&] {
    ReadScope rs(*this, true);
    int64_t size = plat::fileSize(h_);
    if (size < 0) throw Error{rt::kErrRead, kSubRead, plat::kReadFault, false, std::string("tamanho do arquivo")};
    std::string s(size_t(size), '\0');
    plat::IoResult r = plat::readAt(h_, 0, s.data(), size);
    if (!r.ok()) throw Error{rt::kErrRead, kSubRead, r.error, false, std::string("arquivo")};
    s.resize(size_t(r.bytes));
    return s;
  });
}

// --- page access ----------------------------------------------------------------------

int Index::count(const Page& p) const { return rd16(p.b.data()); }
int Index::slot(const Page& p, int i) const { return rd16(p.b.data() + 2 + 2 * i); }
const uint8_t* Index::item(const Page& p, int i) const { return p.b.data() + slot(p, i); }
uint8_t* Index::itemMut(Page& p, int i) {
  markDirty(p);
  return p.b.data() + slot(p, i);
}
uint32_t Index::child(const Page& p, int i) const { return rd32(item(p, i)); }
uint32_t Index::recnoAt(const Page& p, int i) const { return rd32(item(p, i) + 4); }
const uint8_t* Index::keyAt(const Page& p, int i) const { return item(p, i) + 8; }
bool Index::isLeaf(const Page& p) const { return child(p, 0) == 0; }
void Index::setChild(Page& p, int i, uint32_t c) { wr32(itemMut(p, i), c); }

// An empty page with the offset table in its canonical order.
void Index::initEmpty(Page& p) {
  p.b.fill(0);
  for (int i = 0; i <= max_; ++i) wr16(p.b.data() + 2 + 2 * i, uint16_t(tableEnd_ + i * itemSize_));
  p.validated = true;
  p.slotsSound = true;
  markDirty(p);
}

void Index::gather(const Page& p, std::vector<uint8_t>& items, uint32_t& rc) const {
  int n = count(p);
  items.resize(size_t(n) * itemSize_);
  for (int i = 0; i < n; ++i) std::memcpy(&items[size_t(i) * itemSize_], item(p, i), itemSize_);
  rc = child(p, n);
}

// Writes n items and the right-most child into the page, in canonical
// slots; the other slots are cleared.
void Index::scatter(Page& p, const uint8_t* items, int n, uint32_t rc) {
  assert(n <= max_);
  initEmpty(p);
  uint8_t* b = p.b.data();
  wr16(b, uint16_t(n));
  if (n) std::memcpy(b + tableEnd_, items, size_t(n) * itemSize_);
  wr32(b + tableEnd_ + n * itemSize_, rc);
}

// Puts an item at position i of a page with room for it; with rightChild,
// the entry after it (which pointed at the page that split) gets the new
// right half.
void Index::insertAt(Page& p, int i, const uint8_t* it, uint32_t rightChild) {
  int n = count(p);
  assert(n < max_);
  if (p.slotsSound) {
    uint8_t* b = p.b.data();
    uint16_t s = rd16(b + 2 + 2 * (n + 1));
    std::memmove(b + 2 + 2 * (i + 1), b + 2 + 2 * i, size_t(n + 1 - i) * 2);
    wr16(b + 2 + 2 * i, s);
    std::memcpy(b + s, it, itemSize_);
    wr16(b, uint16_t(n + 1));
    markDirty(p);
  } else {
    std::vector<uint8_t> items;
    uint32_t rc;
    gather(p, items, rc);
    items.insert(items.begin() + ptrdiff_t(i) * itemSize_, it, it + itemSize_);
    scatter(p, items.data(), n + 1, rc);
  }
  if (rightChild) setChild(p, i + 1, rightChild);
}

void Index::removeLeafAt(Page& p, int i) {
  int n = count(p);
  assert(i < n);
  uint8_t* b = p.b.data();
  uint16_t s = rd16(b + 2 + 2 * i);
  std::memmove(b + 2 + 2 * i, b + 2 + 2 * (i + 1), size_t(max_ - i) * 2);
  wr16(b + 2 + 2 * max_, s);
  std::memset(b + s, 0, itemSize_);
  wr16(b, uint16_t(n - 1));
  markDirty(p);
}

}  // namespace kor::tables::ntx
