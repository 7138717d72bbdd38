// Locks of one open table, and the protocol that keeps shared use safe.
//
// Offsets (the conventional scheme other programs sharing the files use):
//   record n      1 byte at kLockBase + n
//   whole file    kFileLockLen bytes from kLockBase (covers every record
//                 lock and the append byte)
//   append        1 byte at kLockBase ("record 0"), held only while a
//                 record is being added and the header rewritten
// Memo files use the byte at kLockBase of the memo file while they
// allocate blocks.
//
// State machine of a LockSet (asserted at each entry point):
//
//            rlock(n)                       flock()
//   [Free] ------------> [Records {n...}] ----------> [File]
//     ^  <-- unlockAll --      |  rlock(m): others released first  |
//     |                        |                                   |
//     +------------------------+-------- unlockAll ----------------+
//
//   append: any state --beginAppend--> (+Appending) --endAppend--> same
//   state, plus the new record's lock in the Records state. Appending is
//   transient: it never outlives the engine call that began it.
//
// Invariants:
//   - In the File state the record set is empty: the file lock covers all
//     records, so record locks are neither taken nor released (taking one
//     inside the file range and releasing it would punch a hole in it).
//   - With exclusive use no OS locks are taken at all.
//   - The owner writes a changed record to the OS before releasing the lock
//     that covers it (WorkArea::flush before every unlock).
//   - The header's record count is reread after the append lock is taken,
//     and after each record or file lock (another program may have appended).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace kor::tables {

constexpr uint64_t kLockBase = 1000000000ull;
constexpr uint64_t kFileLockLen = 1000000000ull;

// Tries a lock that others hold only for a moment (append, memo
// allocation) for up to kBriefLockMillis, sleeping a little in between.
constexpr int64_t kBriefLockMillis = 3000;
bool lockBriefly(plat::Handle h, uint64_t off, uint64_t len);

class LockSet {
 public:
  enum class State { Free, Records, File };

  LockSet() = default;
  void attach(plat::Handle h, bool exclusive) {
    h_ = h;
    exclusive_ = exclusive;
  }

  State state() const;
  bool fileLocked() const { return file_; }
  bool appending() const { return appending_; }
  bool holds(uint32_t rec) const;
  // Records held, in the order they were locked.
  const std::vector<uint32_t>& records() const { return records_; }
  // True when this handle may write record `rec` (exclusive use, the file
  // lock, or that record's lock).
  bool mayWrite(uint32_t rec) const { return exclusive_ || file_ || holds(rec); }

  // Record lock without waiting; Locked, Busy or Error.
  plat::LockResult lockRecord(uint32_t rec);
  void unlockRecord(uint32_t rec);
  // File lock without waiting; the caller has released the record locks.
  plat::LockResult lockFile();
  void unlockFile();
  void unlockAll();

  // The append byte, tried briefly.
  bool beginAppend();
  // Releases the append byte. With `keep` (the record just added, the
  // highest there is), every other record lock goes too, in the same call
  // to the OS: one range from the append byte up to that record.
  void endAppend(uint32_t keep = 0);

 private:
  plat::Handle h_ = plat::kNoHandle;
  bool exclusive_ = false;
  bool file_ = false;
  bool appending_ = false;
  bool appendOs_ = false;  // the append byte is held at the OS
  std::vector<uint32_t> records_;
};

}  // namespace kor::tables
