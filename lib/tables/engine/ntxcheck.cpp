// NTX index files: the structural checker and the text dump.
//
// Both work on the bytes of a whole file and parse them on their own, apart
// from the Index class, so that the checker judges what the index code wrote
// rather than repeating its reading. They never trust a byte: every offset
// is checked before it is followed, every page is visited at most once.
#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "tables/engine/ntx_internal.h"

namespace kor::tables::ntx {

namespace {

struct Layout {
  uint16_t sig = 0, version = 0;
  uint32_t root = 0, freeHead = 0;
  int itemSize = 0, keySize = 0, keyDec = 0, max = 0, half = 0;
  bool unique = false, descending = false;
  std::string keyExpr, forExpr;
  int tableEnd() const { return 2 + 2 * (max + 1); }
};

std::string cText(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n && p[i]) ++i;
  return std::string(reinterpret_cast<const char*>(p), i);
}

Layout readLayout(const uint8_t* f) {
  Layout L;
  L.sig = rd16(f + hdr::kSignature);
  L.version = rd16(f + hdr::kVersion);
  L.root = rd32(f + hdr::kRoot);
  L.freeHead = rd32(f + hdr::kFree);
  L.itemSize = rd16(f + hdr::kItemSize);
  L.keySize = rd16(f + hdr::kKeySize);
  L.keyDec = rd16(f + hdr::kKeyDec);
  L.max = rd16(f + hdr::kMaxItems);
  L.half = rd16(f + hdr::kHalfPage);
  L.unique = f[hdr::kUnique] == 1;
  L.descending = f[hdr::kDescend] == 1;
  L.keyExpr = cText(f + hdr::kKeyExpr, kExprSize);
  L.forExpr = cText(f + hdr::kForExpr, kExprSize);
  return L;
}

std::string printable(const uint8_t* k, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = k[i];
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      s += char(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      s += buf;
    }
  }
  return s;
}

}  // namespace

std::string CheckReport::summary() const {
  std::string s = ok() ? "ok" : std::to_string(problems.size()) + " problem(s)";
  s += ": " + std::to_string(keys) + " keys, " + std::to_string(pages) + " pages, " +
       std::to_string(freePages) + " free, depth " + std::to_string(depth);
  for (const std::string& p : problems) s += "\n  " + p;
  return s;
}

CheckReport checkBytes(std::string_view file, const CheckOptions& opt) {
  CheckReport rep;
  auto problem = [&](std::string s) {
    if (rep.problems.size() < 100) rep.problems.push_back(std::move(s));
  };
  if (file.size() < size_t(kPageSize)) {
    problem("the file is shorter than its header page");
    return rep;
  }
  const uint8_t* f = reinterpret_cast<const uint8_t*>(file.data());
  const Layout L = readLayout(f);
  if (L.sig != kSignature && L.sig != kSignatureWithFor && L.sig != kSignatureOld)
    problem("signature " + std::to_string(L.sig));
  if (L.keySize < 1 || L.keySize > kMaxKeySize) {
    problem("key size " + std::to_string(L.keySize));
    return rep;
  }
  if (L.itemSize != L.keySize + 8) problem("item size " + std::to_string(L.itemSize) + " for key size " + std::to_string(L.keySize));
  const int isz = L.keySize + 8;
  if (L.max < 2 || L.tableEnd() + (L.max + 1) * isz > kPageSize) {
    problem("max keys " + std::to_string(L.max) + " do not fit in a page");
    return rep;
  }
  if (opt.strict && L.max != maxKeysFor(L.keySize)) problem("max keys " + std::to_string(L.max) + ", not " + std::to_string(maxKeysFor(L.keySize)));
  if (L.half < 1 || L.half > L.max / 2) problem("half page " + std::to_string(L.half));
  if (opt.strict && L.half != L.max / 2) problem("half page " + std::to_string(L.half) + " is not max/2");
  if (L.sig == kSignatureWithFor && L.forExpr.empty()) problem("signature 7 without a condition");
  if (opt.strict && L.sig == kSignature && !L.forExpr.empty()) problem("a condition with signature 6");
  if (L.keyExpr.empty()) problem("no key expression");
  if (opt.strict && file.size() % kPageSize) problem("the file size " + std::to_string(file.size()) + " is not whole pages");
  const uint64_t pagesInFile = file.size() / kPageSize;
  auto inside = [&](uint32_t off) { return off && off % kPageSize == 0 && uint64_t(off) + kPageSize <= file.size(); };
  if (!inside(L.root)) {
    problem("root page " + std::to_string(L.root) + " outside the file");
    return rep;
  }
  const int minKeys = std::clamp(L.half, 1, L.max / 2);

  std::vector<uint8_t> state(size_t(pagesInFile), 0);  // 1 tree, 2 free
  struct Frame {
    uint32_t off;
    int n;
    int step;  // 2k: child k next; 2k+1: key k next
    bool leaf;
  };
  std::vector<Frame> stack;
  int leafDepth = -1;
  bool havePrev = false;
  std::string prevKey;
  uint32_t prevRec = 0;
  std::vector<bool> seenRec(opt.recordCount ? size_t(opt.recordCount) + 1 : 0);
  std::unordered_set<uint32_t> seenRecSet;

  // Enters a page: checks it and pushes it for the walk; false when it is
  // left out (the problem is noted).
  auto enter = [&](uint32_t off, uint32_t from) {
    std::string where = "page " + std::to_string(off);
    if (!inside(off)) {
      problem("page " + std::to_string(from) + ": child " + std::to_string(off) + " outside the file");
      return false;
    }
    uint8_t& st = state[off / kPageSize];
    if (st) {
      problem(where + " reached twice (from page " + std::to_string(from) + ")");
      return false;
    }
    st = 1;
    rep.pages++;
    const uint8_t* p = f + off;
    int n = rd16(p);
    if (n > L.max) {
      problem(where + " holds " + std::to_string(n) + " keys, more than " + std::to_string(L.max));
      return false;
    }
    std::vector<int> used;
    bool allSound = true;
    for (int i = 0; i <= L.max; ++i) {
      int s = rd16(p + 2 + 2 * i);
      bool ok = s >= L.tableEnd() && s + isz <= kPageSize;
      if (!ok) {
        if (i <= n) {
          problem(where + ": slot " + std::to_string(i) + " at " + std::to_string(s) + " outside the items");
          return false;
        }
        allSound = false;
        continue;
      }
      if (i <= n || opt.strict) used.push_back(s);
    }
    std::sort(used.begin(), used.end());
    for (size_t i = 1; i < used.size(); ++i)
      if (used[i] - used[i - 1] < isz) {
        problem(where + ": item slots overlap");
        return false;
      }
    if (opt.strict && !allSound) problem(where + ": unused slots outside the items");
    bool leaf = rd32(p + rd16(p + 2)) == 0;
    int depth = int(stack.size());
    if (depth >= kMaxDepth) {
      problem(where + " deeper than " + std::to_string(kMaxDepth) + " levels");
      return false;
    }
    if (leaf) {
      if (leafDepth < 0) leafDepth = depth;
      if (depth != leafDepth) problem(where + ": a leaf at depth " + std::to_string(depth) + ", others at " + std::to_string(leafDepth));
      for (int i = 0; i <= n; ++i)
        if (rd32(p + rd16(p + 2 + 2 * i)) != 0 && (opt.strict || i < n))
          problem(where + ": a leaf with a child pointer in slot " + std::to_string(i));
    }
    if (depth > 0 && n < minKeys && opt.strict) problem(where + " holds " + std::to_string(n) + " keys, fewer than half a page");
    if (depth > 0 && n == 0 && !opt.strict) problem(where + " holds no keys");
    stack.push_back({off, n, 0, leaf});
    return true;
  };

  auto emit = [&](const uint8_t* it, uint32_t off) {
    uint32_t rec = rd32(it + 4);
    const uint8_t* k = it + 8;
    rep.keys++;
    if (opt.collectKeys) rep.items.emplace_back(std::string(reinterpret_cast<const char*>(k), size_t(L.keySize)), rec);
    if (rec == 0 || (opt.recordCount && rec > opt.recordCount))
      problem("page " + std::to_string(off) + ": record number " + std::to_string(rec) + " out of range");
    else if (opt.recordCount) {
      if (seenRec[rec]) problem("record " + std::to_string(rec) + " indexed twice");
      seenRec[rec] = true;
    } else if (!seenRecSet.insert(rec).second) {
      problem("record " + std::to_string(rec) + " indexed twice");
    }
    if (havePrev) {
      int c = std::memcmp(k, prevKey.data(), size_t(L.keySize));
      if (L.descending) c = -c;
      if (c < 0 || (c == 0 && rec <= prevRec))
        problem("page " + std::to_string(off) + ": key of record " + std::to_string(rec) + " out of order");
      else if (c == 0 && L.unique)
        problem("page " + std::to_string(off) + ": key of record " + std::to_string(rec) + " repeated in a unique index");
    }
    havePrev = true;
    prevKey.assign(reinterpret_cast<const char*>(k), size_t(L.keySize));
    prevRec = rec;
  };

  enter(L.root, 0);
  while (!stack.empty()) {
    Frame& fr = stack.back();
    if (fr.step > 2 * fr.n) {
      stack.pop_back();
      continue;
    }
    int s = fr.step++;
    const uint8_t* p = f + fr.off;
    const uint8_t* it = p + rd16(p + 2 + 2 * (s / 2));
    if (s % 2 == 0) {
      if (!fr.leaf) {
        uint32_t c = rd32(it);
        uint32_t from = fr.off;
        enter(c, from);  // may grow the stack: fr is not used after this
      }
    } else {
      emit(it, fr.off);
    }
  }
  rep.depth = leafDepth + 1;

  // The free chain.
  uint32_t off = L.freeHead;
  while (off) {
    if (!inside(off)) {
      problem("free page " + std::to_string(off) + " outside the file");
      break;
    }
    uint8_t& st = state[off / kPageSize];
    if (st == 1) {
      problem("free page " + std::to_string(off) + " is in the tree");
      break;
    }
    if (st == 2) {
      problem("the free chain loops at page " + std::to_string(off));
      break;
    }
    st = 2;
    rep.freePages++;
    off = rd32(f + off);
  }
  if (opt.strict) {
    uint64_t lost = 0;
    uint32_t first = 0;
    for (uint64_t i = 1; i < pagesInFile; ++i)
      if (!state[size_t(i)]) {
        if (!lost) first = uint32_t(i * kPageSize);
        ++lost;
      }
    if (lost) problem(std::to_string(lost) + " page(s) neither in the tree nor free, the first at " + std::to_string(first));
  }
  return rep;
}

CheckReport check(Index& index, const CheckOptions& opt) { return checkBytes(index.snapshot(), opt); }

CheckReport checkFile(const std::string& path, const CheckOptions& opt) {
  int err = 0;
  std::optional<std::string> data = plat::readWholeFile(path, &err);
  if (!data) {
    CheckReport rep;
    rep.problems.push_back(path + ": cannot be read (error " + std::to_string(err) + ")");
    return rep;
  }
  return checkBytes(*data, opt);
}

std::string dumpBytes(std::string_view file, bool pages) {
  std::string out;
  auto line = [&](const std::string& s) { out += s + "\n"; };
  if (file.size() < size_t(kPageSize)) return "the file is shorter than its header page\n";
  const uint8_t* f = reinterpret_cast<const uint8_t*>(file.data());
  Layout L = readLayout(f);
  line("signature   " + std::to_string(L.sig));
  line("counter     " + std::to_string(L.version));
  line("root        " + std::to_string(L.root));
  line("free        " + std::to_string(L.freeHead));
  line("item size   " + std::to_string(L.itemSize));
  line("key size    " + std::to_string(L.keySize));
  line("decimals    " + std::to_string(L.keyDec));
  line("max keys    " + std::to_string(L.max));
  line("half page   " + std::to_string(L.half));
  line("key         " + printable(reinterpret_cast<const uint8_t*>(L.keyExpr.data()), L.keyExpr.size()));
  line("condition   " + printable(reinterpret_cast<const uint8_t*>(L.forExpr.data()), L.forExpr.size()));
  line(std::string("unique      ") + (L.unique ? "yes" : "no"));
  line(std::string("descending  ") + (L.descending ? "yes" : "no"));
  line("file        " + std::to_string(file.size()) + " bytes, " + std::to_string(file.size() / kPageSize) + " pages");
  if (!pages) return out;
  const int isz = L.keySize + 8;
  if (L.keySize < 1 || L.keySize > kMaxKeySize || L.max < 1 || L.tableEnd() + (L.max + 1) * isz > kPageSize)
    return out + "the layout does not allow a page dump\n";
  for (uint64_t off = kPageSize; off + kPageSize <= file.size(); off += kPageSize) {
    const uint8_t* p = f + off;
    int n = rd16(p);
    std::string head = "page " + std::to_string(off) + ": " + std::to_string(n) + " keys";
    if (n > L.max) {
      line(head + " (more than max: free or damaged; next free " + std::to_string(rd32(p)) + ")");
      continue;
    }
    line(head);
    for (int i = 0; i <= n; ++i) {
      int s = rd16(p + 2 + 2 * i);
      if (s < L.tableEnd() || s + isz > kPageSize) {
        line("  [" + std::to_string(i) + "] slot " + std::to_string(s) + " outside the items");
        continue;
      }
      const uint8_t* it = p + s;
      std::string e = "  [" + std::to_string(i) + "] @" + std::to_string(s) + " child " + std::to_string(rd32(it));
      if (i < n) e += " rec " + std::to_string(rd32(it + 4)) + " '" + printable(it + 8, size_t(L.keySize)) + "'";
      line(e);
    }
  }
  return out;
}

}  // namespace kor::tables::ntx
