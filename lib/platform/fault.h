// Test helpers for the platform table: FaultScope restores ops() when it
// ends, so a test can replace entries freely; failOpen() and friends build
// the common replacements.
#pragma once

#include <string>

#include "platform/platform.h"

namespace kor::plat {

class FaultScope {
 public:
  FaultScope() : saved_(ops()) {}
  ~FaultScope() { ops() = saved_; }
  FaultScope(const FaultScope&) = delete;
  FaultScope& operator=(const FaultScope&) = delete;
  const Ops& original() const { return saved_; }

 private:
  Ops saved_;
};

// Makes opens of paths containing `needle` fail with `code` (all opens when
// needle is empty). `times` < 0: always; otherwise only that many times.
void failOpen(FaultScope& scope, std::string needle, int code, int times = -1);
// Makes writes fail with `code` after `okBytes` bytes have been written in
// total through this replacement (a disk that fills up).
void failWritesAfter(FaultScope& scope, int64_t okBytes, int code);
// Makes writes to files whose path contains `needle` fail with `code` once
// `okBytes` bytes have gone to each such file (0: at once); `times` < 0:
// every such file opened from now on, otherwise only that many files.
void failWritesTo(FaultScope& scope, std::string needle, int code, int64_t okBytes = 0, int times = -1);

}  // namespace kor::plat
