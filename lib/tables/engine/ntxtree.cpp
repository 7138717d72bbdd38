// NTX index files: searching, moving along the keys, scopes, key counts and
// positions, and the B-tree changes (insert with page splits, delete with
// borrowing from a sibling or merging with it).
//
// The position is a path from the root: path_[0..depth_) holds (page, idx)
// pairs. In every entry but the last, idx is the child the path goes down
// into; in the last one it is the current key of that page (which may be an
// inner page: this is a B-tree, inner keys are entries of their own). After
// a descent the last entry may also be a gap (idx == n of a leaf), which
// normalizeForward() turns into the next key and stepPrev() into the key
// before it.
//
// The path holds page pointers into the cache, so it is trusted only while
// pathValid_; otherwise the position is found again from the current key and
// record number (relocate()), which also copes with a key that another
// process removed meanwhile.
#include <algorithm>
#include <cassert>

#include "tables/engine/ntx_internal.h"
#include "values/cp850.h"

namespace kor::tables::ntx {

namespace {
const uint8_t kNoBytes[1] = {0};
}

// --- comparing and searching -----------------------------------------------------

int Index::compare(const uint8_t* itemKey, uint32_t itemRecno, const Target& t) const {
  int c = std::memcmp(itemKey, t.key, t.len);
  if (c) return descending_ ? -c : c;
  switch (t.mode) {
    case Target::Low:
      return 1;
    case Target::High:
      return -1;
    case Target::Exact:
      break;
  }
  return itemRecno < t.recno ? -1 : itemRecno > t.recno ? 1 : 0;
}

// The first key of the page not before the target (n when none); *exact
// tells whether it is the target itself.
int Index::search(const Page& p, const Target& t, bool* exact) const {
  int lo = 0, hi = count(p);
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (compare(keyAt(p, mid), recnoAt(p, mid), t) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (exact)
    *exact = t.mode == Target::Exact && lo < count(p) && compare(keyAt(p, lo), recnoAt(p, lo), t) == 0;
  return lo;
}

void Index::push(Page& p, int idx) {
  if (depth_ >= kMaxDepth) throw corrupt(std::string("árvore com mais de "_cp) + std::to_string(kMaxDepth) + std::string(" níveis"_cp));
  for (int d = 0; d < depth_; ++d)
    if (path_[d].page == &p) throw corrupt(std::string("página "_cp) + std::to_string(p.off) + " abaixo de si mesma");
  checkLeafDepth(p, depth_);
  path_[depth_++] = {&p, idx};
}

void Index::checkLeafDepth(const Page& p, int depth) {
  if (!isLeaf(p)) return;
  if (leafDepth_ < 0)
    leafDepth_ = depth;
  else if (depth != leafDepth_)
    throw corrupt(std::string("página "_cp) + std::to_string(p.off) + ": folhas nas profundidades " + std::to_string(depth) + " e " +
                  std::to_string(leafDepth_));
}

Index::Page& Index::childPage(const Page& p, int i) {
  uint32_t off = child(p, i);
  if (off == 0) throw corrupt(std::string("página "_cp) + std::to_string(p.off) + ": ponteiro de filho ausente");
  return fetch(off);
}

// Goes down from the root to where the target is or would be. The path ends
// in a leaf (possibly at its gap n) unless an Exact target was found in an
// inner page.
void Index::descend(const Target& t, bool* exact) {
  depth_ = 0;
  bool found = false;
  Page* p = &fetch(root_);
  for (;;) {
    int i = search(*p, t, &found);
    push(*p, i);
    if (found || isLeaf(*p)) break;
    p = &childPage(*p, i);
  }
  if (exact) *exact = found;
}

// Climbs from a gap to the next key; false at the end.
bool Index::normalizeForward() {
  while (depth_ > 0) {
    const PathEntry& e = path_[depth_ - 1];
    if (e.idx < count(*e.page)) return true;
    --depth_;
  }
  return false;
}

bool Index::leftmostFrom(const Page& from, int i) {
  Page* p = &childPage(from, i);
  for (;;) {
    push(*p, 0);
    if (isLeaf(*p)) break;
    p = &childPage(*p, 0);
  }
  return normalizeForward();
}

bool Index::stepNext() {
  PathEntry& e = path_[depth_ - 1];
  e.idx += 1;
  if (!isLeaf(*e.page)) return leftmostFrom(*e.page, e.idx);
  return normalizeForward();
}

// The key before the current key or gap; false when there is none.
bool Index::stepPrev() {
  PathEntry& e = path_[depth_ - 1];
  if (!isLeaf(*e.page)) {
    // The key before an inner key is the last key of its left subtree.
    Page* p = &childPage(*e.page, e.idx);
    for (;;) {
      int n = count(*p);
      if (isLeaf(*p)) {
        push(*p, n - 1);
        if (n > 0) return true;
        --depth_;  // an empty leaf below an inner page: climb
        break;
      }
      push(*p, n);
      p = &childPage(*p, n);
    }
  } else if (e.idx > 0) {
    e.idx -= 1;
    return true;
  } else {
    --depth_;
  }
  // Each remaining entry is a child index: the key before child j is key j-1.
  while (depth_ > 0) {
    PathEntry& a = path_[depth_ - 1];
    if (a.idx > 0) {
      a.idx -= 1;
      return true;
    }
    --depth_;
  }
  return false;
}

void Index::settle() {
  const PathEntry& e = path_[depth_ - 1];
  curKey_.assign(reinterpret_cast<const char*>(keyAt(*e.page, e.idx)), size_t(keySize_));
  curRecno_ = recnoAt(*e.page, e.idx);
  at_ = true;
  pathValid_ = true;
}

void Index::setEnd() {
  at_ = false;
  depth_ = 0;
  pathValid_ = true;
}

// The key of the current path entry compared with curKey_ in index order.
int Index::cmpWithCurrent() const {
  const PathEntry& e = path_[depth_ - 1];
  int c = std::memcmp(keyAt(*e.page, e.idx), curKey_.data(), size_t(keySize_));
  return descending_ ? -c : c;
}

// Finds the current item again after the cache was dropped or the tree
// changed. True when it is still there; otherwise the position is the item
// after it (or the end).
bool Index::relocate() {
  assert(at_);
  std::string k = curKey_;
  Target t{reinterpret_cast<const uint8_t*>(k.data()), k.size(), curRecno_, Target::Exact};
  bool exact = false;
  descend(t, &exact);
  if (normalizeForward())
    settle();
  else
    setEnd();
  return exact;
}

std::string Index::fitKey(std::string_view key) const {
  std::string k(key.substr(0, size_t(keySize_)));
  k.resize(size_t(keySize_), ' ');
  return k;
}

// --- scopes ----------------------------------------------------------------------------

int Index::cmpPrefix(std::string_view key, const std::string& scope) const {
  size_t n = std::min(scope.size(), key.size());
  int c = std::memcmp(key.data(), scope.data(), n);
  return descending_ ? -c : c;
}

bool Index::belowTop(std::string_view key) const { return scopeTop_ && cmpPrefix(key, *scopeTop_) < 0; }
bool Index::beyondBottom(std::string_view key) const {
  return scopeBottom_ && cmpPrefix(key, *scopeBottom_) > 0;
}
bool Index::inScope(std::string_view key) const { return !belowTop(key) && !beyondBottom(key); }

void Index::setTopScope(std::optional<std::string> top) {
  if (top && top->size() > size_t(keySize_)) top->resize(size_t(keySize_));
  scopeTop_ = std::move(top);
}

void Index::setBottomScope(std::optional<std::string> bottom) {
  if (bottom && bottom->size() > size_t(keySize_)) bottom->resize(size_t(keySize_));
  scopeBottom_ = std::move(bottom);
}

Index::Target Index::scopeTarget(const std::optional<std::string>& s, int mode) const {
  if (!s || s->empty()) return Target{kNoBytes, 0, 0, Target::Mode(mode)};
  return Target{reinterpret_cast<const uint8_t*>(s->data()), s->size(), 0, Target::Mode(mode)};
}

// --- moving ----------------------------------------------------------------------------

bool Index::topImpl() {
  descend(scopeTarget(scopeTop_, Target::Low), nullptr);
  if (!normalizeForward()) {
    setEnd();
    return false;
  }
  settle();
  if (beyondBottom(curKey_)) {
    setEnd();
    return false;
  }
  return true;
}

bool Index::bottomImpl() {
  descend(scopeTarget(scopeBottom_, Target::High), nullptr);
  if (!stepPrev()) {
    setEnd();
    return false;
  }
  settle();
  if (belowTop(curKey_)) {
    setEnd();
    return false;
  }
  return true;
}

bool Index::goTop() {
  return guarded("goTop", false, [&] {
    ReadScope rs(*this);
    return topImpl();
  });
}

bool Index::goBottom() {
  return guarded("goBottom", false, [&] {
    ReadScope rs(*this);
    return bottomImpl();
  });
}

bool Index::seek(std::string_view key, bool soft, bool last) {
  return guarded("seek", false, [&] {
    ReadScope rs(*this);
    std::string k(key.substr(0, size_t(keySize_)));
    Target low{k.empty() ? kNoBytes : reinterpret_cast<const uint8_t*>(k.data()), k.size(), 0, Target::Low};
    auto matches = [&] { return std::memcmp(curKey_.data(), k.data(), k.size()) == 0; };
    bool found = false;
    if (last) {
      Target high = low;
      high.mode = Target::High;
      descend(high, nullptr);
      if (stepPrev()) {
        settle();
        found = matches();
      }
    }
    if (!found) {
      descend(low, nullptr);
      if (normalizeForward()) {
        settle();
        found = matches();
      } else {
        setEnd();
      }
    }
    if (found && !inScope(curKey_)) found = false;
    if (!found) {
      if (!soft || !at_)
        setEnd();
      else if (belowTop(curKey_))
        topImpl();
      else if (beyondBottom(curKey_))
        setEnd();
    }
    return found;
  });
}

bool Index::gotoItem(std::string_view key, uint32_t recno, bool soft) {
  return guarded("goto", false, [&] {
    ReadScope rs(*this);
    std::string k = fitKey(key);
    Target t{reinterpret_cast<const uint8_t*>(k.data()), k.size(), recno, Target::Exact};
    bool exact = false;
    descend(t, &exact);
    if (exact) {
      settle();
      return true;
    }
    if (soft && normalizeForward())
      settle();
    else
      setEnd();
    return false;
  });
}

bool Index::nextImpl() {
  if (!at_) return false;
  if (!pathValid_ && !relocate()) {
    // The current key went away meanwhile: the one after it is the next.
    if (at_ && beyondBottom(curKey_)) setEnd();
    return at_;
  }
  if (!stepNext()) {
    setEnd();
    return false;
  }
  if (cmpWithCurrent() < 0) throw corrupt(std::string("chaves fora de ordem após o registro "_cp) + std::to_string(curRecno_));
  settle();
  if (beyondBottom(curKey_)) {
    setEnd();
    return false;
  }
  return true;
}

bool Index::prevImpl() {
  if (!at_) return bottomImpl();
  if (!pathValid_ && !relocate() && !at_) return bottomImpl();
  int savedDepth = depth_;
  std::array<PathEntry, kMaxDepth> saved;
  std::copy(path_.begin(), path_.begin() + depth_, saved.begin());
  auto stay = [&] {
    depth_ = savedDepth;
    std::copy(saved.begin(), saved.begin() + depth_, path_.begin());
    return false;
  };
  if (!stepPrev()) return stay();
  if (cmpWithCurrent() > 0) throw corrupt(std::string("chaves fora de ordem antes do registro ") + std::to_string(curRecno_));
  {
    const PathEntry& e = path_[depth_ - 1];
    std::string_view k(reinterpret_cast<const char*>(keyAt(*e.page, e.idx)), size_t(keySize_));
    if (belowTop(k)) return stay();
  }
  settle();
  return true;
}

bool Index::next() {
  return guarded("skip", false, [&] {
    ReadScope rs(*this);
    return nextImpl();
  });
}

bool Index::prev() {
  return guarded("skip", false, [&] {
    ReadScope rs(*this);
    return prevImpl();
  });
}

long Index::skip(long n) {
  return guarded("skip", 0L, [&] {
    ReadScope rs(*this, true);  // many steps: not to be started over
    long moved = 0;
    if (n > 0) {
      while (moved < n && nextImpl()) ++moved;
    } else {
      while (moved < -n && prevImpl()) ++moved;
    }
    return moved;
  });
}

// --- counting ----------------------------------------------------------------------------

uint64_t Index::subtreeCount(uint32_t off, int depth) {
  if (depth > kMaxDepth) throw corrupt(std::string("árvore com mais de "_cp) + std::to_string(kMaxDepth) + std::string(" níveis"_cp));
  auto it = counts_.find(off);
  if (it != counts_.end()) return it->second;
  const Page& p = fetch(off);
  checkLeafDepth(p, depth);
  int n = count(p);
  uint64_t c = uint64_t(n);
  if (!isLeaf(p))
    for (int i = 0; i <= n; ++i) {
      uint32_t ch = child(p, i);
      if (ch == off) throw corrupt(std::string("página "_cp) + std::to_string(off) + " aponta para si mesma");
      c += subtreeCount(ch, depth + 1);
    }
  counts_[off] = c;
  return c;
}

// Keys before the position of the path.
uint64_t Index::rankOfPath() {
  uint64_t r = 0;
  for (int d = 0; d < depth_; ++d) {
    const Page& p = *path_[d].page;
    int i = path_[d].idx;
    if (isLeaf(p)) {
      r += uint64_t(i);
      continue;
    }
    int upto = d == depth_ - 1 ? i + 1 : i;  // the current inner key has its left subtree before it
    for (int k = 0; k < upto; ++k) r += subtreeCount(child(p, k), d + 1);
    r += uint64_t(i);
  }
  return r;
}

// Keys before where a target's descent lands; the position is kept.
uint64_t Index::rankOf(const Target& t) {
  int savedDepth = depth_;
  std::array<PathEntry, kMaxDepth> saved;
  std::copy(path_.begin(), path_.begin() + depth_, saved.begin());
  descend(t, nullptr);
  uint64_t r = normalizeForward() ? rankOfPath() : subtreeCount(root_, 0);
  depth_ = savedDepth;
  std::copy(saved.begin(), saved.begin() + depth_, path_.begin());
  return r;
}

void Index::scopeRanks(uint64_t& lo, uint64_t& hi) {
  lo = scopeTop_ ? rankOf(scopeTarget(scopeTop_, Target::Low)) : 0;
  hi = scopeBottom_ ? rankOf(scopeTarget(scopeBottom_, Target::High)) : subtreeCount(root_, 0);
}

uint64_t Index::keyCount() {
  return guarded("keyCount", uint64_t(0), [&] {
    ReadScope rs(*this);
    uint64_t lo, hi;
    scopeRanks(lo, hi);
    return hi > lo ? hi - lo : 0;
  });
}

uint64_t Index::keyNo() {
  return guarded("keyNo", uint64_t(0), [&] {
    ReadScope rs(*this);
    if (!at_) return uint64_t(0);
    if (!pathValid_) relocate();
    if (!at_ || !inScope(curKey_)) return uint64_t(0);
    uint64_t lo, hi;
    scopeRanks(lo, hi);
    uint64_t r = rankOfPath();
    return r >= lo ? r - lo + 1 : 0;
  });
}

// Positions the path on the key with r keys before it.
void Index::selectRank(uint64_t r) {
  depth_ = 0;
  Page* p = &fetch(root_);
  for (;;) {
    int n = count(*p);
    if (isLeaf(*p)) {
      if (r >= uint64_t(n)) throw corrupt(std::string("contagens de chaves das páginas não conferem"_cp));
      push(*p, int(r));
      return;
    }
    int i = 0;
    for (; i <= n; ++i) {
      uint64_t c = subtreeCount(child(*p, i), depth_ + 1);
      if (r < c) break;
      r -= c;
      if (i < n) {
        if (r == 0) {
          push(*p, i);
          return;
        }
        r -= 1;
      }
    }
    if (i > n) throw corrupt(std::string("contagens de chaves das páginas não conferem"_cp));
    push(*p, i);
    p = &childPage(*p, i);
  }
}

bool Index::gotoKeyNo(uint64_t n) {
  return guarded("keyGoto", false, [&] {
    ReadScope rs(*this);
    uint64_t lo, hi;
    scopeRanks(lo, hi);
    if (n == 0 || lo + n - 1 >= hi) {
      setEnd();
      return false;
    }
    selectRank(lo + n - 1);
    settle();
    return true;
  });
}

// --- changes -------------------------------------------------------------------------------

bool Index::insert(std::string_view key, uint32_t recno) {
  return guarded("insert", false, [&] {
    WriteScope ws(*this);
    bool r = doInsert(fitKey(key), recno);
    ws.commit();
    return r;
  });
}

bool Index::remove(std::string_view key, uint32_t recno) {
  return guarded("delete", false, [&] {
    WriteScope ws(*this);
    bool r = doRemove(fitKey(key), recno);
    ws.commit();
    return r;
  });
}

bool Index::replace(std::string_view oldKey, std::string_view newKey, uint32_t recno) {
  return guarded("update", false, [&] {
    std::string o = fitKey(oldKey), k = fitKey(newKey);
    if (o == k) return true;
    WriteScope ws(*this);
    doRemove(o, recno);
    bool r = doInsert(k, recno);
    ws.commit();
    return r;
  });
}

bool Index::doInsert(const std::string& k, uint32_t recno) {
  const uint8_t* kp = reinterpret_cast<const uint8_t*>(k.data());
  if (unique_) {
    descend(Target{kp, k.size(), 0, Target::Low}, nullptr);
    if (normalizeForward()) {
      const PathEntry& e = path_[depth_ - 1];
      if (std::memcmp(keyAt(*e.page, e.idx), kp, k.size()) == 0) return false;
    }
  }
  bool exact = false;
  descend(Target{kp, k.size(), recno, Target::Exact}, &exact);
  if (exact) return false;

  std::vector<uint8_t> it(static_cast<size_t>(itemSize_));
  std::vector<uint8_t> items;
  wr32(it.data(), 0);
  wr32(it.data() + 4, recno);
  std::memcpy(it.data() + 8, kp, k.size());
  uint32_t right = 0;
  for (int d = depth_ - 1; d >= 0; --d) {
    Page& p = *path_[d].page;
    int i = path_[d].idx;
    int n = count(p);
    if (n < max_) {
      insertAt(p, i, it.data(), right);
      return true;
    }
    // Split the full page: the middle item goes up, with this page as its
    // left child and a new page holding the upper half as the next child.
    uint32_t rc;
    gather(p, items, rc);
    items.insert(items.begin() + ptrdiff_t(i) * itemSize_, it.begin(), it.end());
    int total = n + 1;
    if (right) {
      if (i + 1 < total)
        wr32(&items[size_t(i + 1) * itemSize_], right);
      else
        rc = right;
    }
    int m = total / 2;
    Page& r = allocPage();
    const uint8_t* mid = &items[size_t(m) * itemSize_];
    scatter(r, mid + itemSize_, total - m - 1, rc);
    uint32_t leftRc = rd32(mid);
    std::memcpy(it.data(), mid, size_t(itemSize_));
    scatter(p, items.data(), m, leftRc);
    wr32(it.data(), p.off);
    right = r.off;
  }
  Page& nr = allocPage();
  scatter(nr, it.data(), 1, right);
  root_ = nr.off;
  leafDepth_ = -1;
  return true;
}

bool Index::doRemove(const std::string& k, uint32_t recno) {
  bool exact = false;
  descend(Target{reinterpret_cast<const uint8_t*>(k.data()), k.size(), recno, Target::Exact}, &exact);
  if (!exact) return false;
  Page& p = *path_[depth_ - 1].page;
  int i = path_[depth_ - 1].idx;
  if (isLeaf(p)) {
    removeLeafAt(p, i);
  } else {
    // An inner key gives way to the last key of its left subtree, which
    // leaves its leaf.
    Page* c = &childPage(p, i);
    for (;;) {
      int n = count(*c);
      if (isLeaf(*c)) {
        if (n == 0) throw corrupt(std::string("página vazia "_cp) + std::to_string(c->off) + std::string(" abaixo de uma página interna"_cp));
        push(*c, n - 1);
        break;
      }
      push(*c, n);
      c = &childPage(*c, n);
    }
    Page& leaf = *path_[depth_ - 1].page;
    int j = path_[depth_ - 1].idx;
    std::memcpy(itemMut(p, i) + 4, item(leaf, j) + 4, size_t(4 + keySize_));
    removeLeafAt(leaf, j);
  }
  fixUnderflow();
  return true;
}

// A sibling of a page in the parent q, as a page of the same kind.
Index::Page& Index::sibling(const Page& q, int i, const Page& x) {
  uint32_t off = child(q, i);
  if (off == 0 || off == x.off || off == q.off)
    throw corrupt(std::string("página "_cp) + std::to_string(q.off) + std::string(": ponteiro de filho inválido "_cp) + std::to_string(off));
  for (int d = 0; d < depth_; ++d)
    if (path_[d].page->off == off) throw corrupt(std::string("página "_cp) + std::to_string(off) + " abaixo de si mesma");
  Page& s = fetch(off);
  if (isLeaf(s) != isLeaf(x)) throw corrupt(std::string("folhas em profundidades diferentes abaixo da página "_cp) + std::to_string(q.off));
  return s;
}

// Walks up the path from the leaf that lost a key, refilling pages left
// with fewer than half a page of keys from a sibling, or merging two of
// them with their separator; a root left without keys gives way to its
// only child.
void Index::fixUnderflow() {
  std::vector<uint8_t> xi, si, qi;
  uint32_t xrc, src, qrc;
  const size_t isz = size_t(itemSize_);
  for (int d = depth_ - 1; d > 0; --d) {
    Page& x = *path_[d].page;
    if (count(x) >= minKeys_) break;
    Page& q = *path_[d - 1].page;
    int j = path_[d - 1].idx;
    int qn = count(q);
    int xn = count(x);
    if (j > 0) {
      Page& s = sibling(q, j - 1, x);
      int sn = count(s);
      if (sn > minKeys_) {
        // Borrow the last key of the left sibling through the separator.
        gather(s, si, src);
        gather(x, xi, xrc);
        std::vector<uint8_t> it(isz);
        wr32(it.data(), src);
        std::memcpy(it.data() + 4, item(q, j - 1) + 4, isz - 4);
        xi.insert(xi.begin(), it.begin(), it.end());
        const uint8_t* last = &si[size_t(sn - 1) * isz];
        std::memcpy(itemMut(q, j - 1) + 4, last + 4, isz - 4);
        uint32_t newSrc = rd32(last);
        scatter(s, si.data(), sn - 1, newSrc);
        scatter(x, xi.data(), xn + 1, xrc);
        break;
      }
    }
    if (j < qn) {
      Page& s = sibling(q, j + 1, x);
      int sn = count(s);
      if (sn > minKeys_) {
        // Borrow the first key of the right sibling through the separator.
        gather(s, si, src);
        gather(x, xi, xrc);
        size_t at = xi.size();
        xi.resize(at + isz);
        wr32(&xi[at], xrc);
        std::memcpy(&xi[at] + 4, item(q, j) + 4, isz - 4);
        uint32_t newXrc = rd32(si.data());
        std::memcpy(itemMut(q, j) + 4, si.data() + 4, isz - 4);
        scatter(x, xi.data(), xn + 1, newXrc);
        scatter(s, si.data() + isz, sn - 1, src);
        break;
      }
    }
    // Merge: left page + separator + right page into the left page.
    int sep;
    Page* l;
    Page* r;
    if (j > 0) {
      sep = j - 1;
      l = &sibling(q, j - 1, x);
      r = &x;
    } else if (j < qn) {
      sep = j;
      l = &x;
      r = &sibling(q, j + 1, x);
    } else {
      break;  // an inner page with a single child: nothing to merge with
    }
    int ln = count(*l), rn = count(*r);
    if (ln + 1 + rn > max_) break;  // pages fuller than this engine leaves them
    uint32_t lrc, rrc;
    gather(*l, xi, lrc);
    gather(*r, si, rrc);
    size_t at = xi.size();
    xi.resize(at + isz);
    wr32(&xi[at], lrc);
    std::memcpy(&xi[at] + 4, item(q, sep) + 4, isz - 4);
    xi.insert(xi.end(), si.begin(), si.end());
    scatter(*l, xi.data(), ln + 1 + rn, rrc);
    gather(q, qi, qrc);
    if (sep + 1 < qn)
      wr32(&qi[size_t(sep + 1) * isz], l->off);
    else
      qrc = l->off;
    qi.erase(qi.begin() + ptrdiff_t(sep) * ptrdiff_t(isz), qi.begin() + ptrdiff_t(sep + 1) * ptrdiff_t(isz));
    scatter(q, qi.data(), qn - 1, qrc);
    freePage(*r);
  }
  Page& root = *path_[0].page;
  if (count(root) == 0 && !isLeaf(root)) {
    root_ = child(root, 0);
    leafDepth_ = -1;
    freePage(root);
  }
}

}  // namespace kor::tables::ntx
