// The console tests' common ground: a virtual clock, a fresh console with a
// headless backend, fresh settings and variables.
#pragma once

#include <gtest/gtest.h>

#include "console/headless.h"
#include "console/screen.h"
#include "platform/clock.h"
#include "runtime/runtime.h"

namespace kor::con::test {

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetSettings();
    rt::resetVars();
    rt::resetFrames();
    resetConsole();
    h = &installHeadless();
  }
  void TearDown() override { setBackend(nullptr); }

  // The screen row as shown, without trailing blanks.
  std::string shownRow(int r) const {
    std::string s = h->rowText(r);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }

  plat::VirtualClock clock;
  HeadlessBackend* h = nullptr;
};

}  // namespace kor::con::test
