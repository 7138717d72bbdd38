// The writer's lock of a store or log file.
//
// Store files and logs are read whole, changed in memory and written whole.
// Two programs doing that at once would lose one another's change, so every
// read-modify-write holds this lock from before the read until after the
// new content is in place. The lock is an exclusive byte-range lock on
// byte 0 of a companion file (the file's name + ".lck", left in place): the
// data file itself is replaced by a rename, and a lock on it would stay
// with the replaced copy. Byte-range locks vanish with the process that
// holds them, so a program that dies never leaves the file locked.
//
// Waiting: the lock is normally held for well under a millisecond; a writer
// polls for it up to kLockWaitMillis and then goes on without it (the file
// format has no lock, and a log entry must never hang the program). The
// same file locked twice in one process (a failure of a store write being
// logged while the store is locked) is granted at once.
#pragma once

#include <cstdint>
#include <string>

namespace kor::cfg {

constexpr int64_t kLockWaitMillis = 10000;
constexpr int64_t kLockPollMillis = 5;

// The companion lock file of a data file.
std::string lockFileName(const std::string& path);

class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  // False when the lock file could not be made or the wait ran out.
  bool held() const { return held_; }

 private:
  std::string key_;
  bool held_ = false;
};

}  // namespace kor::cfg
