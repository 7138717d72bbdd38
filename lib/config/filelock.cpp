#include "config/filelock.h"

#include <map>

#include "platform/platform.h"

namespace kor::cfg {

namespace {

struct Held {
  plat::Handle handle = plat::kNoHandle;
  int count = 0;
};

// Locks this process holds, by the lock file's full path.
std::map<std::string, Held>& heldLocks() {
  static std::map<std::string, Held> m;
  return m;
}

}  // namespace

std::string lockFileName(const std::string& path) { return path + ".lck"; }

FileLock::FileLock(const std::string& path) {
  key_ = plat::resolveCase(plat::absolutePath(lockFileName(path)));
  auto& locks = heldLocks();
  if (auto it = locks.find(key_); it != locks.end()) {
    ++it->second.count;
    held_ = true;
    return;
  }
  plat::OpenResult r = plat::openFile(key_, plat::Access::ReadWrite, plat::Share::DenyNone,
                                      plat::Disposition::OpenAlways);
  if (!r.ok()) return;
  const int64_t start = plat::monotonicMillis();
  for (;;) {
    plat::LockResult l = plat::lockRange(r.handle, 0, 1, true);
    if (l == plat::LockResult::Locked) break;
    if (l == plat::LockResult::Error || plat::monotonicMillis() - start >= kLockWaitMillis) {
      plat::closeFile(r.handle);
      return;
    }
    plat::sleepMillis(kLockPollMillis);
  }
  locks[key_] = Held{r.handle, 1};
  held_ = true;
}

FileLock::~FileLock() {
  if (!held_) return;
  auto& locks = heldLocks();
  auto it = locks.find(key_);
  if (it == locks.end() || --it->second.count > 0) return;
  plat::unlockRange(it->second.handle, 0, 1);
  plat::closeFile(it->second.handle);
  locks.erase(it);
}

}  // namespace kor::cfg
