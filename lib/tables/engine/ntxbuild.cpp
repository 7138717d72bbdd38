// NTX index files: the bulk build. Keys are gathered, sorted once, and the
// tree is written bottom-up in one pass, its pages in file order.
//
// Shape of the tree. With N keys and at most `max` keys a page, the fewest
// leaves are L = ceil((N + 1) / (max + 1)). Between two neighbouring leaves
// in key order stands exactly one key of an inner page, so the leaves hold
// N - (L - 1) keys, spread evenly. Above them, level l has
// P(l) = ceil(P(l-1) / (max + 1)) pages, each with an even share of the
// P(l-1) pages below as children, up to the single root. Taking the fewest
// pages on each level and spreading evenly keeps every page but the root at
// least half full (a share is never below max/2 keys), as the tree's rules
// demand.
//
// Writing follows the key order: each leaf is filled from the sorted keys;
// when a page is complete it is attached to the page above it, and the key
// that follows it in order becomes that page's next key, unless the page
// above is complete too, which is then attached one level up in turn.
#include <algorithm>
#include <cassert>

#include "tables/engine/ntx_internal.h"
#include "values/cp850.h"

namespace kor::tables::ntx {

KeyList::KeyList(int keySize) : keySize_(keySize < 1 ? 1 : keySize) {}

void KeyList::reserve(size_t n) {
  keys_.reserve(n * size_t(keySize_));
  recnos_.reserve(n);
}

void KeyList::add(std::string_view key, uint32_t recno) {
  size_t at = keys_.size();
  keys_.resize(at + size_t(keySize_), ' ');
  std::memcpy(keys_.data() + at, key.data(), std::min(key.size(), size_t(keySize_)));
  recnos_.push_back(recno);
  sorted_ = false;
}

void KeyList::sort(bool descending, bool unique) {
  const size_t ks = size_t(keySize_);
  const size_t n = recnos_.size();
  // The first eight key bytes as a big-endian number decide most
  // comparisons without touching the key bytes again.
  struct Entry {
    uint64_t prefix;
    uint32_t idx;
  };
  std::vector<Entry> e(n);
  const size_t pre = std::min<size_t>(8, ks);
  for (size_t i = 0; i < n; ++i) {
    const unsigned char* k = reinterpret_cast<const unsigned char*>(keys_.data() + i * ks);
    uint64_t v = 0;
    for (size_t b = 0; b < 8; ++b) v = (v << 8) | (b < pre ? k[b] : 0);
    e[i] = {descending ? ~v : v, uint32_t(i)};
  }
  const size_t rest = ks > 8 ? ks - 8 : 0;
  const char* keys = keys_.data();
  const uint32_t* rec = recnos_.data();
  std::sort(e.begin(), e.end(), [&](const Entry& a, const Entry& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (rest) {
      int c = std::memcmp(keys + a.idx * ks + 8, keys + b.idx * ks + 8, rest);
      if (c) return descending ? c > 0 : c < 0;
    }
    return rec[a.idx] < rec[b.idx];
  });
  order_.clear();
  order_.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    if (unique && !order_.empty() && e[i].prefix == e[i - 1].prefix &&
        std::memcmp(keys + e[i].idx * ks, keys + order_.back() * ks, ks) == 0)
      continue;
    order_.push_back(e[i].idx);
  }
  sorted_ = true;
  sortedDescending_ = descending;
  sortedUnique_ = unique;
}

// Writes the tree of the sorted keys from offset 1024 on, then the whole
// header. The file holds only the header page when this begins.
void Index::writeTree(KeyList& keys) {
  if (!keys.sorted() || keys.sortedDescending() != descending_ || keys.sortedUnique() != unique_)
    keys.sort(descending_, unique_);
  max_ = maxKeysFor(keySize_);
  half_ = max_ / 2;
  minKeys_ = half_;
  itemSize_ = keySize_ + 8;
  tableEnd_ = 2 + 2 * (max_ + 1);
  const uint64_t n = keys.size();
  const uint64_t fan = uint64_t(max_) + 1;

  std::vector<uint64_t> pages;  // pages per level, leaves first
  pages.push_back(std::max<uint64_t>(1, (n + 1 + fan - 1) / fan));
  while (pages.back() > 1) pages.push_back((pages.back() + fan - 1) / fan);
  const int levels = int(pages.size());
  if (levels > kMaxDepth) throw Error{rt::kErrLimit, kSubWrite, 0, false, std::string("chaves demais")};
  uint64_t total = 0;
  for (uint64_t p : pages) total += p;
  if ((total + 1) * kPageSize > 0xFFFFF000ull) throw Error{rt::kErrLimit, kSubWrite, 0, false, std::string("índice grande demais"_cp)};

  // Share of page j on a level: children (or, for leaves, keys).
  auto share = [](uint64_t whole, uint64_t parts, uint64_t j) {
    return whole / parts + (j < whole % parts ? 1 : 0);
  };
  const uint64_t leafKeys = n - (pages[0] - 1);

  const size_t isz = size_t(itemSize_);
  const size_t kBatch = 256;
  std::vector<uint8_t> batch;
  batch.reserve(kBatch * kPageSize);
  uint32_t batchStart = kPageSize;
  uint32_t next = kPageSize;
  auto flushBatch = [&] {
    if (batch.empty()) return;
    plat::IoResult r = plat::writeAt(h_, batchStart, batch.data(), int64_t(batch.size()));
    if (!r.ok()) throw Error{rt::kErrWrite, kSubWrite, r.error, false, std::string("página "_cp) + std::to_string(batchStart)};
    stats_.pageWrites += batch.size() / kPageSize;
    batchStart += uint32_t(batch.size());
    batch.clear();
  };
  // Appends a page of n items (already laid out one after another) and a
  // right-most child; returns its offset.
  auto emit = [&](const uint8_t* items, size_t count, uint32_t rc) {
    if (batch.size() >= kBatch * kPageSize) flushBatch();
    size_t at = batch.size();
    batch.resize(at + kPageSize, 0);
    uint8_t* b = batch.data() + at;
    wr16(b, uint16_t(count));
    for (int i = 0; i <= max_; ++i) wr16(b + 2 + 2 * i, uint16_t(tableEnd_ + i * itemSize_));
    if (count) std::memcpy(b + tableEnd_, items, count * isz);
    wr32(b + tableEnd_ + count * isz, rc);
    uint32_t off = next;
    next += kPageSize;
    return off;
  };

  struct Level {
    std::vector<uint8_t> items;
    uint64_t page = 0;  // index of the page being filled on this level
    uint64_t want = 0;  // children it takes
    uint64_t have = 0;  // children attached so far
  };
  std::vector<Level> up(static_cast<size_t>(levels));
  for (int l = 1; l < levels; ++l) up[size_t(l)].want = share(pages[size_t(l) - 1], pages[size_t(l)], 0);

  std::vector<uint8_t> leaf;
  size_t pos = 0;
  auto putItem = [&](std::vector<uint8_t>& into, uint32_t childOff) {
    size_t at = into.size();
    into.resize(at + isz);
    wr32(&into[at], childOff);
    wr32(&into[at] + 4, keys.recno(pos));
    std::memcpy(&into[at] + 8, keys.key(pos), size_t(keySize_));
    ++pos;
  };
  uint32_t rootOff = 0;
  for (uint64_t k = 0; k < pages[0]; ++k) {
    leaf.clear();
    uint64_t c = share(leafKeys, pages[0], k);
    for (uint64_t i = 0; i < c; ++i) putItem(leaf, 0);
    uint32_t done = emit(leaf.data(), size_t(c), 0);
    int l = 1;
    for (; l < levels; ++l) {
      Level& L = up[size_t(l)];
      if (++L.have < L.want) {
        putItem(L.items, done);
        break;
      }
      done = emit(L.items.data(), L.items.size() / isz, done);
      L.items.clear();
      L.have = 0;
      if (++L.page < pages[size_t(l)]) L.want = share(pages[size_t(l) - 1], pages[size_t(l)], L.page);
    }
    if (l == levels) rootOff = done;
  }
  assert(pos == n);
  flushBatch();

  root_ = rootOff;
  freeHead_ = 0;
  fileEnd_ = next;
  fileEndKnown_ = true;
  version_ = uint16_t(version_ + 1);
  uint8_t* b = rawHeader_.data();
  wr16(b + hdr::kSignature, signature_);
  wr16(b + hdr::kVersion, version_);
  wr32(b + hdr::kRoot, root_);
  wr32(b + hdr::kFree, 0);
  wr16(b + hdr::kItemSize, uint16_t(itemSize_));
  wr16(b + hdr::kKeySize, uint16_t(keySize_));
  wr16(b + hdr::kKeyDec, uint16_t(keyDec_));
  wr16(b + hdr::kMaxItems, uint16_t(max_));
  wr16(b + hdr::kHalfPage, uint16_t(half_));
  plat::IoResult r = plat::writeAt(h_, 0, b, kPageSize);
  if (!r.ok()) throw Error{rt::kErrWrite, kSubWrite, r.error, false, std::string("cabeçalho"_cp)};
  dropCache();
}

bool Index::rebuild(KeyList& keys) {
  return guarded("rebuild", false, [&] {
    if (keys.keySize() != keySize_) throw Error{rt::kErrArg, kSubKeySize, 0, false, std::string("chaves de outro tamanho")};
    WriteScope ws(*this);
    dropCache();
    int rc = plat::truncateFile(h_, kPageSize);
    if (rc) throw Error{rt::kErrWrite, kSubWrite, rc, false, std::string("ajuste do tamanho do arquivo")};
    writeTree(keys);
    ws.done();
    return true;
  });
}

}  // namespace kor::tables::ntx
