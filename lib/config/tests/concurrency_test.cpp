// Two processes writing the same log and the same store at the same time:
// nothing either of them wrote may be lost.
#include <gtest/gtest.h>

#include "config/store.h"
#include "errors/activitylog.h"
#include "errors/tests/fixture.h"
#include "testing/child.h"

namespace kor::cfg {
namespace {

using testing::FolderTest;

constexpr int kEntries = 1000;
constexpr int kKeys = 500;

// One writer: waits for the "go" file, then appends its entries or writes
// its keys. A child never waits for a user: any alert fails it.
TEST(ConcurrencyRoles, DISABLED_Writer) {
  if (!kor::testing::inChild()) GTEST_SKIP();
  ASSERT_EQ(plat::changeDir(kor::testing::childArg("DIR")), 0);
  const std::string who = kor::testing::childArg("WHO");
  const std::string what = kor::testing::childArg("WHAT");
  err::ui::ops().alert = [](std::string_view m, const std::vector<std::string>&, int64_t, bool, bool) -> int {
    ADD_FAILURE() << "alert: " << m;
    throw std::runtime_error("alert");
  };
  kor::testing::touchFile("ready" + who);
  ASSERT_TRUE(kor::testing::waitForFile("go"));
  if (what == "log") {
    for (int i = 0; i < kEntries; ++i) err::GRAVALOG("TESTE.LOG", Value("P" + who + "-" + std::to_string(i)), false);
  } else {
    for (int i = 0; i < kKeys; ++i)
      PUTMEMO(Value("K" + who + "_" + std::to_string(i)), false, Value(std::to_string(i * 7)), "SHARED.SYS");
  }
}

class ConcurrencyTest : public FolderTest {
 protected:
  void runTwo(const std::string& what) {
    std::vector<kor::testing::Child> kids;
    for (const char* who : {"0", "1"})
      kids.push_back(kor::testing::spawnChild("ConcurrencyRoles.DISABLED_Writer",
                                              {{"DIR", dir()}, {"WHO", who}, {"WHAT", what}}));
    ASSERT_TRUE(kor::testing::waitForFile("ready0"));
    ASSERT_TRUE(kor::testing::waitForFile("ready1"));
    kor::testing::touchFile("go");
    for (auto& k : kids) EXPECT_EQ(k.wait(), 0);
  }
};

TEST_F(ConcurrencyTest, TwoProcessesAppendingKeepEveryEntry) {
  runTwo("log");
  auto lines = splitLines(read("TESTE.LOG"));
  EXPECT_EQ(lines.size(), 2u * kEntries);
  for (const std::string who : {"0", "1"}) {
    int last = -1;
    const std::string prefix = "P" + who + "-";
    for (const std::string& l : lines) {
      if (l.rfind(prefix, 0) != 0) continue;
      int n = std::stoi(l.substr(prefix.size()));
      EXPECT_EQ(n, last + 1) << "entry missing or out of order";
      last = n;
    }
    EXPECT_EQ(last, kEntries - 1);
  }
}

TEST_F(ConcurrencyTest, TwoProcessesWritingKeysKeepEveryKey) {
  runTwo("store");
  std::string text = read("SHARED.SYS");
  EXPECT_EQ(splitLines(text).size(), 2u * kKeys);
  for (const std::string who : {"0", "1"})
    for (int i = 0; i < kKeys; ++i) {
      std::string v;
      ASSERT_TRUE(findKey(text, "", "K" + who + "_" + std::to_string(i), v)) << who << " " << i;
      EXPECT_EQ(v, std::to_string(i * 7));
    }
}

}  // namespace
}  // namespace kor::cfg
