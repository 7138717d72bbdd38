// Pieces shared by the files of the NTX module (ntx*.cpp); nothing outside
// the module includes this.
#pragma once

#include <cassert>
#include <cstring>
#include <string>

#include "runtime/error.h"
#include "tables/engine/ntx.h"
#include "values/cp850.h"

namespace kor::tables::ntx {

inline uint16_t rd16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t rd32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void wr16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void wr32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// A page in memory. `validated` pages passed validate() (or were written
// here); `fresh` pages were allocated by the change in progress and are
// written before the pages that point to them.
struct Index::Page {
  uint32_t off = 0;
  bool dirty = false;
  bool fresh = false;
  bool validated = false;
  // Every entry of the offset table (used or not) points to a slot of its
  // own inside the page, so an unused entry may take a new key in place.
  bool slotsSound = false;
  std::array<uint8_t, kPageSize> b{};
};

// The failure a step of the module reports; the public entry point turns it
// into a raised ErrorRecord.
// Thrown by readPage() when a read without the lock finds the header moved:
// the operation runs again, under the lock from its start.
struct Index::Restart {};

struct Index::Error {
  int genCode = rt::kErrCorruption;
  int subCode = kSubCorrupt;
  int osCode = 0;
  bool retry = false;
  std::string why;
};

inline Index::Error corrupt(std::string why) {
  return Index::Error{rt::kErrCorruption, kSubCorrupt, 0, false, std::move(why)};
}

// What a descent looks for. Low: before every item whose key begins with
// `key`; High: after every such item; Exact: the item (key, recno), whose
// key has the full key size.
struct Index::Target {
  enum Mode { Low, Exact, High };
  const uint8_t* key;
  size_t len;
  uint32_t recno;
  Mode mode;
};

// The scope of a read (shared use: the shared index lock and a fresh look
// at the header) and of a change (see ntx.cpp).

// A read in shared use. Cached pages are a consistent picture of the index
// as of the change counter they were read under, so a read whose pages are
// all cached needs no lock: it only makes sure the header has not moved
// (one small read). Only a read that must fetch pages from the file takes
// the shared lock, so that no writer is halfway through them (readPage());
// when the header turns out to have moved meanwhile, the cached pages the
// read already used are stale and the operation starts over under the lock
// (Index::Restart).
class Index::ReadScope {
 public:
  explicit ReadScope(Index& ix, bool lockFirst = false) : ix_(ix) {
    if (!ix_.opt_.shared || ix_.locked_) return;
    if (!ix_.opt_.lock.readersLock) {
      ix_.refreshHeader();
      return;
    }
    if (!lockFirst && !ix_.lockNextRead_ && ix_.headerUnchanged()) return;
    ix_.lockNextRead_ = false;
    ix_.lockWait(false);
    mine_ = true;
    try {
      ix_.refreshHeader();
    } catch (...) {
      ix_.unlock();
      throw;
    }
  }
  ~ReadScope() {
    if (mine_ || ix_.lazyLocked_) {
      ix_.lazyLocked_ = false;
      ix_.unlock();
    }
  }
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;

 private:
  Index& ix_;
  bool mine_ = false;
};

class Index::WriteScope {
 public:
  explicit WriteScope(Index& ix) : ix_(ix) {
    if (ix_.opt_.readOnly)
      throw Error{rt::kErrReadOnly, kSubReadOnly, 0, false, std::string("índice aberto só para leitura"_cp)};
    assert(!ix_.writing_);
    if (ix_.opt_.shared) {
      ix_.lockWait(true);
      mine_ = true;
      ix_.fileEndKnown_ = false;
      try {
        ix_.refreshHeader();
      } catch (...) {
        ix_.unlock();
        throw;
      }
    }
    ix_.writing_ = true;
    ix_.pathValid_ = false;
    root_ = ix_.root_;
    free_ = ix_.freeHead_;
    version_ = ix_.version_;
  }
  ~WriteScope() {
    if (!done_) {
      ix_.root_ = root_;
      ix_.freeHead_ = free_;
      ix_.version_ = version_;
      ix_.rollback();
    }
    ix_.writing_ = false;
    if (mine_) ix_.unlock();
  }
  void commit() {
    ix_.commit(root_ != ix_.root_ || free_ != ix_.freeHead_);
    done_ = true;
  }
  // The change wrote the file itself (rebuild).
  void done() { done_ = true; }
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;

 private:
  Index& ix_;
  bool mine_ = false;
  bool done_ = false;
  uint32_t root_, free_;
  uint16_t version_;
};

template <class R, class F>
R Index::guarded(const char* op, R fail, F&& body) {
  for (;;) {
    Error err;
    try {
      trimCache();
      return body();
    } catch (Restart&) {
      lockNextRead_ = true;
      continue;
    } catch (Error& e) {
      err = std::move(e);
    }
    // The scopes of the body have unlocked and rolled back by now.
    setEnd();
    dropCache();
    if (err.retry) {
      rt::ErrorRecord rec = rt::makeError(err.genCode, "DBFNTX", err.subCode, op, file_, err.osCode);
      rec.canRetry = true;
      rec.canDefault = true;
      if (!err.why.empty()) rec.cargo = Value(err.why);
      if (rt::raise(rec).kind == rt::ErrorAnswer::Retry) continue;
      return fail;
    }
    raiseError(op, err);
    return fail;
  }
}

}  // namespace kor::tables::ntx
