// A virtual clock for tests: installed into the platform table, it makes
// every wait of the program advance time instead of sleeping. Hooks run on
// each sleep so a test can act "while" the program waits.
#pragma once

#include <functional>
#include <vector>

#include "platform/platform.h"

namespace kor::plat {

class VirtualClock {
 public:
  // Starts at the given wall-clock instant (ms since 1970 UTC).
  explicit VirtualClock(int64_t startMillis = 1639058607000);  // 2021-12-09 14:03:27 UTC
  ~VirtualClock();
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;

  void advance(int64_t millis);
  int64_t now() const { return wall_; }
  int64_t elapsed() const { return mono_; }
  // Called after every sleep with the virtual time elapsed since start.
  void onSleep(std::function<void(int64_t elapsed)> hook) { hooks_.push_back(std::move(hook)); }

 private:
  Ops saved_;
  int64_t wall_;
  int64_t mono_ = 0;
  std::vector<std::function<void(int64_t)>> hooks_;
};

}  // namespace kor::plat
