// NTX single-order index files: one B-tree of fixed-size keys per file.
//
// On-disk layout (all integers little-endian; every page pointer is a byte
// offset from the start of the file, a multiple of 1024; 0 means none):
//
//   page 0, the header (1024 bytes)
//     0  u16  signature: 6 (7 when the index has a condition; 3 in files of
//             an older generation, read like 6)
//     2  u16  change counter, advanced by every change of the index
//     4  u32  root page
//     8  u32  first page of the free chain
//    12  u16  item size = key size + 8
//    14  u16  key size
//    16  u16  key decimals (numeric keys)
//    18  u16  max = most keys a page holds
//    20  u16  half = max / 2, the fewest keys a page other than the root holds
//    22  256  key expression, NUL-terminated
//   278  u8   unique flag
//   280  u8   descending flag
//   282  256  condition (FOR) expression, NUL-terminated
//   every other byte is kept as read
//
//   every other page (1024 bytes)
//     0  u16            n = keys in the page
//     2  u16 x (max+1)  offset table: page offsets of the item slots; entries
//                       0..n-1 are the keys in order, entry n holds the
//                       right-most child, the rest are the unused slots
//     .. items          (max+1) slots of item size:
//                         0 u32 child page holding the keys before this one
//                         4 u32 record number
//                         8 key bytes
//
// The tree is a B-tree, not a B+-tree: keys of inner pages are entries of
// their own. A page is a leaf when the child of its entry 0 is 0. Equal keys
// stand in record-number order. A free page holds at offset 0 the offset of
// the next free page.
//
// Shared use: a writer holds an exclusive lock on the index's lock byte while
// it changes the file and advances the change counter; a reader holds a
// shared lock on the same byte while it walks the tree and drops its cached
// pages when the counter (or the root or the free chain) moved since it last
// looked. See docs/ntx.md.
//
// Errors are raised as rt::ErrorRecord (subsystem "DBFNTX", the index file's
// full path in FILENAME); damaged files give generic code 32, never a crash.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace kor::tables::ntx {

inline constexpr int kPageSize = 1024;
// Longest key: with keys of up to 330 bytes a page still holds two keys.
inline constexpr int kMaxKeySize = 330;
// Deepest tree accepted; a real index of 2^32 keys is far shallower.
inline constexpr int kMaxDepth = 40;
inline constexpr int kExprSize = 256;

// Header offsets.
namespace hdr {
inline constexpr int kSignature = 0;
inline constexpr int kVersion = 2;
inline constexpr int kRoot = 4;
inline constexpr int kFree = 8;
inline constexpr int kItemSize = 12;
inline constexpr int kKeySize = 14;
inline constexpr int kKeyDec = 16;
inline constexpr int kMaxItems = 18;
inline constexpr int kHalfPage = 20;
inline constexpr int kKeyExpr = 22;
inline constexpr int kUnique = 278;
inline constexpr int kDescend = 280;
inline constexpr int kForExpr = 282;
}  // namespace hdr

inline constexpr uint16_t kSignature = 6;
inline constexpr uint16_t kSignatureWithFor = 7;
inline constexpr uint16_t kSignatureOld = 3;

// Subcodes of the errors raised for index files.
enum SubCode : int {
  kSubOpen = 1070,
  kSubCreate = 1071,
  kSubRead = 1072,
  kSubWrite = 1073,
  kSubCorrupt = 1074,
  kSubLock = 1075,
  kSubReadOnly = 1076,
  kSubKeySize = 1077,
};

// The most keys a page of this key size holds, rounded down to an even
// number so that a page splits into two halves of max/2.
int maxKeysFor(int keySize);

// Where the index lock lives. The default is the conventional single byte at
// 1,000,000,000, far beyond any data.
struct LockScheme {
  uint64_t offset = 1000000000ULL;
  uint64_t length = 1;
  // Readers take a shared lock on the same byte while they walk the tree,
  // so they never see a page that a writer is halfway through.
  bool readersLock = true;
  // A lock held longer than this is reported as a lock failure that the
  // error handler may retry.
  int64_t timeoutMillis = 30000;
};

struct OpenOptions {
  bool shared = false;
  bool readOnly = false;
  LockScheme lock;
  // Pages kept in memory (1 KiB each); the cache starts over beyond this.
  size_t cachePages = 8192;
};

// What a new index is made of.
struct Spec {
  std::string keyExpr;
  std::string forExpr;
  int keySize = 0;
  int keyDecimals = 0;
  bool unique = false;
  bool descending = false;
};

// Keys gathered for a bulk build: key bytes of the index's key size with
// their record numbers, sorted in index order by sort().
class KeyList {
 public:
  explicit KeyList(int keySize);
  int keySize() const { return keySize_; }
  void reserve(size_t n);
  // The key is cut or padded with blanks to the key size.
  void add(std::string_view key, uint32_t recno);
  size_t size() const { return sorted_ ? order_.size() : recnos_.size(); }
  // Sorts by key (bytes; reversed for a descending index), equal keys by
  // record number; with unique, keeps only the first of equal keys.
  void sort(bool descending, bool unique);
  bool sorted() const { return sorted_; }
  bool sortedDescending() const { return sortedDescending_; }
  bool sortedUnique() const { return sortedUnique_; }
  // The i-th key and record number in the current order.
  const char* key(size_t i) const { return keys_.data() + size_t(sorted_ ? order_[i] : i) * keySize_; }
  uint32_t recno(size_t i) const { return recnos_[sorted_ ? order_[i] : i]; }

 private:
  int keySize_;
  std::vector<char> keys_;
  std::vector<uint32_t> recnos_;
  std::vector<uint32_t> order_;
  bool sorted_ = false;
  bool sortedDescending_ = false;
  bool sortedUnique_ = false;
};

class Index {
 public:
  ~Index();
  Index(const Index&) = delete;
  Index& operator=(const Index&) = delete;

  // Opens an existing index file. Failures (missing file, sharing
  // violation, damaged header) are raised and give nullptr.
  static std::unique_ptr<Index> open(const std::string& path, const OpenOptions& opt = {});
  // Creates the file (replacing one of the same name) holding the given
  // keys, which are sorted here when they are not yet. nullptr after a
  // raised failure.
  static std::unique_ptr<Index> create(const std::string& path, const Spec& spec, KeyList& keys,
                                       const OpenOptions& opt = {});

  // --- the header -------------------------------------------------------------
  const std::string& path() const { return file_; }
  const std::string& keyExpr() const { return keyExpr_; }
  const std::string& forExpr() const { return forExpr_; }
  int keySize() const { return keySize_; }
  int keyDecimals() const { return keyDec_; }
  bool unique() const { return unique_; }
  bool descending() const { return descending_; }
  int maxKeys() const { return max_; }
  int halfPage() const { return half_; }
  uint16_t signature() const { return signature_; }
  uint16_t changeCounter() const { return version_; }
  bool shared() const { return opt_.shared; }
  bool readOnly() const { return opt_.readOnly; }

  // --- maintenance (each call is one locked change in shared use) ---------------
  // Keys are cut or padded with blanks to the key size. insert() gives false
  // when the item is present already or, in a unique index, when the key is.
  bool insert(std::string_view key, uint32_t recno);
  // false when the item is not in the index.
  bool remove(std::string_view key, uint32_t recno);
  // Moves a record from one key to another in one change.
  bool replace(std::string_view oldKey, std::string_view newKey, uint32_t recno);
  // Throws every key away and writes the tree of the given keys (reindex,
  // pack, zap): the file is cut back to its header first.
  bool rebuild(KeyList& keys);
  // Hands pending writes to the OS (everything is written at the end of
  // each change already; this also syncs).
  void flush();

  // --- the position -----------------------------------------------------------
  // Each returns true when the index is then on a key.
  bool goTop();
  bool goBottom();
  // Seeks the first key (the last with `last`) that begins with the given
  // bytes (a full-size key must match whole). Returns the found flag. When
  // not found, the position is the next key in index order with `soft`, or
  // the end otherwise.
  bool seek(std::string_view key, bool soft = false, bool last = false);
  // Positions on exactly this item; false when absent, and then at the end
  // or, with soft, on the item that follows where it would stand.
  bool gotoItem(std::string_view key, uint32_t recno, bool soft = false);
  // One key forward; false and at the end when there is none.
  bool next();
  // One key back; false when there is none, and the position stays on the
  // first key (or at the end when the index is empty).
  bool prev();
  // Moves n keys (negative: back); returns the keys actually moved (in
  // absolute value).
  long skip(long n);
  // On a key: its record number and bytes. At the end: 0 and "".
  bool onKey() const { return at_; }
  uint32_t recno() const { return at_ ? curRecno_ : 0; }
  std::string_view key() const { return at_ ? std::string_view(curKey_) : std::string_view(); }

  // --- scopes: key prefixes bounding top and bottom; nullopt clears --------------
  void setTopScope(std::optional<std::string> top);
  void setBottomScope(std::optional<std::string> bottom);
  const std::optional<std::string>& topScope() const { return scopeTop_; }
  const std::optional<std::string>& bottomScope() const { return scopeBottom_; }
  bool inScope(std::string_view key) const;

  // Keys within the scopes; position (1-based) of the current key among
  // them, 0 at the end or outside them; go to the n-th key within them.
  uint64_t keyCount();
  uint64_t keyNo();
  bool gotoKeyNo(uint64_t n);

  // The whole file as it stands on disk, read under the index lock (for
  // the checker and the dump tool).
  std::string snapshot();

  // --- for tests and tools ------------------------------------------------------
  // Counts of physical reads of pages and of the header since opening.
  struct Stats {
    uint64_t pageReads = 0;
    uint64_t pageWrites = 0;
    uint64_t headerReads = 0;
    uint64_t cacheDrops = 0;
    uint64_t locks = 0;  // index locks taken (shared use)
  };
  const Stats& stats() const { return stats_; }

  // Internal pieces (ntx_internal.h).
  struct Page;
  struct Error;
  struct Restart;
  struct Target;

 private:
  Index() = default;
  struct PathEntry {
    Page* page;
    int idx;
  };
  class ReadScope;
  class WriteScope;
  friend class ReadScope;
  friend class WriteScope;

  bool openFile(const std::string& path, const OpenOptions& opt);
  void parseHeader(const uint8_t* b, int64_t fileSize);
  void writeFreshFile(const Spec& spec, KeyList& keys);
  void writeTree(KeyList& keys);
  template <class R, class F>
  R guarded(const char* op, R fail, F&& body);
  void raiseError(const char* op, const Error& e);

  // locking, header and cache
  void lockWait(bool exclusive);
  void unlock();
  bool refreshHeader();
  bool headerUnchanged();
  void dropCache();
  void trimCache();
  Page& fetch(uint32_t off);
  Page& fetchRaw(uint32_t off);
  Page* readPage(uint32_t off);
  void validate(Page& p);
  Page& allocPage();
  void freePage(Page& p);
  void markDirty(Page& p);
  uint32_t fileEnd();
  void commit(bool headerMoved);
  void rollback();

  // pages
  int count(const Page& p) const;
  int slot(const Page& p, int i) const;
  const uint8_t* item(const Page& p, int i) const;
  uint8_t* itemMut(Page& p, int i);
  uint32_t child(const Page& p, int i) const;
  uint32_t recnoAt(const Page& p, int i) const;
  const uint8_t* keyAt(const Page& p, int i) const;
  bool isLeaf(const Page& p) const;
  void setChild(Page& p, int i, uint32_t c);
  void initEmpty(Page& p);
  void gather(const Page& p, std::vector<uint8_t>& items, uint32_t& rc) const;
  void scatter(Page& p, const uint8_t* items, int n, uint32_t rc);
  void insertAt(Page& p, int i, const uint8_t* it, uint32_t rightChild);
  void removeLeafAt(Page& p, int i);

  // searching and moving
  int compare(const uint8_t* itemKey, uint32_t itemRecno, const Target& t) const;
  int search(const Page& p, const Target& t, bool* exact) const;
  void descend(const Target& t, bool* exact);
  void push(Page& p, int idx);
  void checkLeafDepth(const Page& p, int depth);
  Page& childPage(const Page& p, int i);
  bool normalizeForward();
  bool leftmostFrom(const Page& from, int i);
  bool stepNext();
  bool stepPrev();
  void settle();
  void setEnd();
  int cmpWithCurrent() const;
  bool relocate();
  bool topImpl();
  bool bottomImpl();
  bool nextImpl();
  bool prevImpl();
  std::string fitKey(std::string_view key) const;
  int cmpPrefix(std::string_view key, const std::string& scope) const;
  bool belowTop(std::string_view key) const;
  bool beyondBottom(std::string_view key) const;
  Target scopeTarget(const std::optional<std::string>& s, int mode) const;
  uint64_t subtreeCount(uint32_t off, int depth);
  uint64_t rankOfPath();
  uint64_t rankOf(const Target& t);
  void scopeRanks(uint64_t& lo, uint64_t& hi);
  void selectRank(uint64_t r);

  // changes
  bool doInsert(const std::string& key, uint32_t recno);
  bool doRemove(const std::string& key, uint32_t recno);
  Page& sibling(const Page& q, int i, const Page& x);
  void fixUnderflow();

  std::string file_;
  OpenOptions opt_;
  plat::Handle h_ = plat::kNoHandle;

  // header as read (unknown bytes kept) and its fields
  std::array<uint8_t, kPageSize> rawHeader_{};
  uint16_t signature_ = kSignature;
  uint16_t version_ = 0;
  uint32_t root_ = 0;
  uint32_t freeHead_ = 0;
  int keySize_ = 0;
  int itemSize_ = 0;
  int keyDec_ = 0;
  int max_ = 0;
  int half_ = 0;
  int minKeys_ = 0;
  int tableEnd_ = 0;
  bool unique_ = false;
  bool descending_ = false;
  std::string keyExpr_;
  std::string forExpr_;

  // cache
  std::unordered_map<uint32_t, std::unique_ptr<Page>> cache_;
  std::vector<Page*> dirty_;  // pages changed by the change in progress
  std::unordered_map<uint32_t, uint64_t> counts_;
  uint32_t fileEnd_ = 0;
  bool fileEndKnown_ = false;
  bool locked_ = false;
  bool lazyLocked_ = false;    // taken by readPage() inside a ReadScope
  bool lockNextRead_ = false;  // the next read takes the lock from its start
  bool writing_ = false;

  // position
  std::array<PathEntry, kMaxDepth> path_{};
  int depth_ = 0;
  // Depth of the leaves, learnt from the first descent: every leaf of a
  // B-tree lies at the same depth (-1: not known yet).
  int leafDepth_ = -1;
  bool pathValid_ = false;
  bool at_ = false;
  std::string curKey_;
  uint32_t curRecno_ = 0;
  std::optional<std::string> scopeTop_, scopeBottom_;

  Stats stats_;
};

// --- the structural checker -----------------------------------------------------

struct CheckOptions {
  // Also demand what this engine always keeps but other writers may not:
  // pages at least half full, every page of the file in the tree or the
  // free chain, a file of whole pages, a canonical slot layout.
  bool strict = true;
  // When not 0, record numbers must lie in 1..recordCount.
  uint32_t recordCount = 0;
  // Hand back the keys in walking order.
  bool collectKeys = false;
};

struct CheckReport {
  bool ok() const { return problems.empty(); }
  std::vector<std::string> problems;
  uint64_t keys = 0;
  uint64_t pages = 0;      // pages of the tree
  uint64_t freePages = 0;  // pages of the free chain
  int depth = 0;           // levels of the tree
  std::vector<std::pair<std::string, uint32_t>> items;  // with collectKeys
  std::string summary() const;
};

// Checks the bytes of a whole index file. Never fails on any input: every
// fault becomes a problem line.
CheckReport checkBytes(std::string_view file, const CheckOptions& opt = {});
// Checks an open index as it stands on disk.
CheckReport check(Index& index, const CheckOptions& opt = {});
// Checks a file by name (a problem line when it cannot be read).
CheckReport checkFile(const std::string& path, const CheckOptions& opt = {});

// Text dump of a whole index file: the header and, with pages, every page
// reached from the root, in walking order.
std::string dumpBytes(std::string_view file, bool pages);

}  // namespace kor::tables::ntx
