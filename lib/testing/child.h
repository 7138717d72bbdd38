// Several processes in one test, the same way on every platform: a test
// starts its own executable again as a child that runs one disabled test
// (a "role"), passing it values through the environment.
//
//   TEST(Roles, DISABLED_HoldLock) {          // runs only as a child
//     std::string dir = kor::testing::childArg("DIR");
//     ...
//   }
//   auto child = kor::testing::spawnChild("Roles.DISABLED_HoldLock", {{"DIR", dir}});
//   kor::testing::waitForFile(dir + "/ready");
//   ...
//   EXPECT_EQ(child.wait(), 0);
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace kor::testing {

// True in a process started by spawnChild.
bool inChild();
// A value passed by the parent ("" when absent).
std::string childArg(const std::string& key);

class Child {
 public:
  Child() = default;
  explicit Child(int64_t pid) : pid_(pid) {}
  Child(Child&& o) noexcept : pid_(o.pid_) { o.pid_ = -1; }
  Child& operator=(Child&& o) noexcept {
    std::swap(pid_, o.pid_);
    return *this;
  }
  ~Child();
  bool started() const { return pid_ > 0; }
  int64_t pid() const { return pid_; }
  // The child's exit code (0 when its role passed); -1 on a time-out, after
  // which the child is killed.
  int wait(int64_t timeoutMillis = 120000);
  void kill();

 private:
  int64_t pid_ = -1;
};

// Starts this executable again running only the named test.
Child spawnChild(const std::string& testName, const std::map<std::string, std::string>& args = {});

// Waits (real time) until a file exists; false on a time-out.
bool waitForFile(const std::string& path, int64_t timeoutMillis = 60000);
// Creates a file holding `text` (a child saying "ready").
void touchFile(const std::string& path, const std::string& text = "");

// A fresh scratch folder for one test, removed when the object ends.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& tag);
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace kor::testing
