// Two processes writing the same log and the same store at the same time:
// nothing either of them wrote may be lost.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "config/store.h"
#include "errors/activitylog.h"
#include "errors/tests/fixture.h"

namespace kor::cfg {
namespace {

using testing::FolderTest;

class ConcurrencyTest : public FolderTest {};

// Runs body in two child processes started together; returns their exit
// statuses.
std::vector<int> runTwo(const std::function<void(int who)>& body) {
  int go[2];
  EXPECT_EQ(::pipe(go), 0);
  std::vector<pid_t> kids;
  for (int who = 0; who < 2; ++who) {
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(go[1]);
      char c;
      if (::read(go[0], &c, 1) != 1) ::_exit(10);
      // A child must never wait for a user: any alert is a failure.
      err::ui::ops().alert = [](std::string_view m, const std::vector<std::string>&, int64_t, bool, bool) -> int {
        ::write(2, m.data(), m.size());
        ::_exit(11);
      };
      body(who);
      ::_exit(0);
    }
    kids.push_back(pid);
  }
  ::close(go[0]);
  EXPECT_EQ(::write(go[1], "gg", 2), 2);
  ::close(go[1]);
  std::vector<int> status;
  for (pid_t p : kids) {
    int st = 0;
    ::waitpid(p, &st, 0);
    status.push_back(WIFEXITED(st) ? WEXITSTATUS(st) : 100 + WTERMSIG(st));
  }
  return status;
}

TEST_F(ConcurrencyTest, TwoProcessesAppendingKeepEveryEntry) {
  constexpr int kEntries = 1000;
  auto st = runTwo([](int who) {
    for (int i = 0; i < kEntries; ++i)
      err::GRAVALOG("TESTE.LOG", Value("P" + std::to_string(who) + "-" + std::to_string(i)), false);
  });
  EXPECT_EQ(st, (std::vector<int>{0, 0}));
  std::string log = read("TESTE.LOG");
  auto lines = splitLines(log);
  EXPECT_EQ(lines.size(), 2u * kEntries);
  for (int who = 0; who < 2; ++who) {
    int last = -1;
    for (const std::string& l : lines) {
      std::string prefix = "P" + std::to_string(who) + "-";
      if (l.rfind(prefix, 0) != 0) continue;
      int n = std::stoi(l.substr(prefix.size()));
      EXPECT_EQ(n, last + 1) << "entry missing or out of order";
      last = n;
    }
    EXPECT_EQ(last, kEntries - 1);
  }
}

TEST_F(ConcurrencyTest, TwoProcessesWritingKeysKeepEveryKey) {
  constexpr int kKeys = 500;
  auto st = runTwo([](int who) {
    for (int i = 0; i < kKeys; ++i)
      PUTMEMO(Value("K" + std::to_string(who) + "_" + std::to_string(i)), false, Value(std::to_string(i * 7)),
              "SHARED.SYS");
  });
  EXPECT_EQ(st, (std::vector<int>{0, 0}));
  std::string text = read("SHARED.SYS");
  EXPECT_EQ(splitLines(text).size(), 2u * kKeys);
  for (int who = 0; who < 2; ++who)
    for (int i = 0; i < kKeys; ++i) {
      std::string v;
      ASSERT_TRUE(findKey(text, "", "K" + std::to_string(who) + "_" + std::to_string(i), v)) << who << " " << i;
      EXPECT_EQ(v, std::to_string(i * 7));
    }
}

}  // namespace
}  // namespace kor::cfg
