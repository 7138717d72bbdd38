#include "tables/engine/locks.h"

#include <algorithm>
#include <cassert>

namespace kor::tables {

bool lockBriefly(plat::Handle h, uint64_t off, uint64_t len) {
  // Polls often: another program appending in a loop frees the byte only
  // for moments, and a long sleep would miss every one of them.
  int64_t waited = 0;
  int64_t step = 1;
  for (;;) {
    plat::LockResult r = plat::lockRange(h, off, len, true);
    if (r == plat::LockResult::Locked) return true;
    if (r == plat::LockResult::Error || waited >= kBriefLockMillis) return false;
    plat::sleepMillis(step);
    waited += step;
    step = std::min<int64_t>(step * 2, 8);
  }
}

LockSet::State LockSet::state() const {
  if (file_) return State::File;
  return records_.empty() ? State::Free : State::Records;
}

bool LockSet::holds(uint32_t rec) const {
  return std::find(records_.begin(), records_.end(), rec) != records_.end();
}

plat::LockResult LockSet::lockRecord(uint32_t rec) {
  assert(rec > 0);
  if (file_ || holds(rec)) return plat::LockResult::Locked;
  if (!exclusive_) {
    plat::LockResult r = plat::lockRange(h_, kLockBase + rec, 1, true);
    if (r != plat::LockResult::Locked) return r;
  }
  records_.push_back(rec);
  return plat::LockResult::Locked;
}

void LockSet::unlockRecord(uint32_t rec) {
  auto it = std::find(records_.begin(), records_.end(), rec);
  if (it == records_.end()) return;
  assert(!file_);
  if (!exclusive_) plat::unlockRange(h_, kLockBase + rec, 1);
  records_.erase(it);
}

plat::LockResult LockSet::lockFile() {
  assert(records_.empty() && !appending_);
  if (file_) return plat::LockResult::Locked;
  if (!exclusive_) {
    plat::LockResult r = plat::lockRange(h_, kLockBase, kFileLockLen, true);
    if (r != plat::LockResult::Locked) return r;
  }
  file_ = true;
  return plat::LockResult::Locked;
}

void LockSet::unlockFile() {
  if (!file_) return;
  assert(records_.empty());
  if (!exclusive_) plat::unlockRange(h_, kLockBase, kFileLockLen);
  file_ = false;
}

void LockSet::unlockAll() {
  assert(!appending_);
  while (!records_.empty()) unlockRecord(records_.back());
  unlockFile();
}

bool LockSet::beginAppend() {
  assert(!appending_);
  // The file lock covers the append byte, and exclusive use needs none.
  if (!file_ && !exclusive_) {
    if (!lockBriefly(h_, kLockBase, 1)) return false;
    appendOs_ = true;
  }
  appending_ = true;
  return true;
}

void LockSet::endAppend(uint32_t keep) {
  assert(appending_);
  if (keep && !file_) {  // under the file lock there are no record locks to drop
    assert(holds(keep));
    for (uint32_t r : records_) assert(r <= keep);
    if (appendOs_ && plat::unlockSpansLocks()) {
      // Append byte and records 1..keep-1 in one range.
      plat::unlockRange(h_, kLockBase, keep);
    } else {
      if (appendOs_) plat::unlockRange(h_, kLockBase, 1);
      if (!exclusive_ && !file_)
        for (uint32_t r : records_)
          if (r != keep) plat::unlockRange(h_, kLockBase + r, 1);
    }
    records_.assign(1, keep);
  } else if (appendOs_) {
    plat::unlockRange(h_, kLockBase, 1);
  }
  appendOs_ = false;
  appending_ = false;
}

}  // namespace kor::tables
