// Shared by the store, log and handler tests: a fresh current folder per
// test, a scripted user answering the alerts, and the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "console/screen.h"
#include "errors/ui.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "runtime/runtime.h"

namespace kor::testing {

struct Shown {
  std::string message;
  std::vector<std::string> buttons;
  int64_t timeoutMs = 0;
  bool beep = false, flash = false;
};

// Records every alert and message box and answers from a queue (an empty
// queue answers 0: the alert timed out or Esc was pressed).
class ScriptedUser {
 public:
  ScriptedUser() {
    auto& o = err::ui::ops();
    o.alert = [this](std::string_view m, const std::vector<std::string>& b, int64_t t, bool beep, bool flash) {
      alerts.push_back(Shown{std::string(m), b, t, beep, flash});
      if (alerts.size() > 50) {
        // A loop of alerts: give up (the second button ends every retry loop).
        ADD_FAILURE() << "alert shown again and again: " << m;
        return 2;
      }
      if (answers.empty()) {
        if (t > 0) plat::sleepMillis(t);
        return 0;
      }
      int a = answers.front();
      answers.pop_front();
      return a;
    };
    o.openBox = [this](std::string_view m) {
      boxes.emplace_back(m);
      return static_cast<int>(boxes.size());
    };
    o.closeBox = [this](int id) { closed.push_back(id); };
    o.waitKey = [this](int64_t ms) {
      waits.push_back(ms);
      if (ms > 0) plat::sleepMillis(ms);
      return 0;
    };
    o.writeError = [this](std::string_view t) { errorStream += t; };
  }
  std::vector<Shown> alerts;
  std::deque<int> answers;
  std::vector<std::string> boxes;
  std::vector<int> closed;
  std::vector<int64_t> waits;
  std::string errorStream;

 private:
  err::ui::Scope scope_;
};

class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    static int n = 0;
    dir_ = fs::temp_directory_path() /
           ("kor_" + std::to_string(plat::processId()) + "_" + std::to_string(++n) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    old_ = fs::current_path();
    fs::current_path(dir_);
    rt::resetVars();
    rt::resetSettings();
    con::resetConsole();
  }
  void TearDown() override {
    namespace fs = std::filesystem;
    fs::current_path(old_);
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
    rt::resetVars();
    rt::resetSettings();
  }
  static std::string read(const std::string& f) { return plat::readWholeFile(f).value_or("<missing>"); }
  static void write(const std::string& f, std::string_view data) {
    ASSERT_EQ(plat::writeWholeFile(f, data), 0);
  }
  std::string dir() const { return dir_.string(); }

 private:
  std::filesystem::path dir_, old_;
};

}  // namespace kor::testing
