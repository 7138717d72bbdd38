// Record locking with waits: BLOQREG against a lock another process holds,
// BLOQREGEX, ABREREG against appends that keep failing.
#include "platform/fault.h"
#include "tables/engine/locks.h"
#include "tables/tests/fixture.h"
#include "values/cp850.h"
#include "values/textform.h"

namespace kor::tables::testing {
namespace {

using kor::testing::childArg;
using kor::testing::spawnChild;
using kor::testing::touchFile;
using kor::testing::waitForFile;

// Holds the lock of record REC of TABLE (or the file lock with REC=0) until
// the file "release" appears.
TEST(LayerRoles, DISABLED_HoldRecordLock) {
  std::string dir = childArg("DIR");
  ASSERT_EQ(plat::changeDir(dir), 0);
  rt::set(rt::Set::Default, Value(dir));
  OpenSpec s;
  s.file = childArg("TABLE");
  int n = openTable(s);
  ASSERT_NE(n, 0);
  uint32_t rec = static_cast<uint32_t>(std::stoul(childArg("REC")));
  if (rec)
    ASSERT_TRUE(area(n)->lockRecord(rec, false));
  else
    ASSERT_TRUE(area(n)->lockFile());
  touchFile(dir + "/ready");
  ASSERT_TRUE(waitForFile(dir + "/release", 90000));
  closeAll();
  touchFile(dir + "/released");
}

using Lock = LayerTest;

size_t count(const std::string& s, const std::string& part) {
  size_t n = 0;
  for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + 1)) ++n;
  return n;
}

TEST_F(Lock, AFreeRecordIsLockedAtOnceWithoutAScreenChange) {
  makeTable("riclas", 3);
  OpenSpec s;
  s.file = "riclas";
  int n = openTable(s);
  area(n)->goTo(2);
  con::writeAt(0, 0, "tela");
  long written = screen->cellsWritten();
  plat::VirtualClock clock;
  EXPECT_TRUE(BLOQREG());
  EXPECT_EQ(area(n)->lockList(), std::vector<uint32_t>{2});
  EXPECT_EQ(screen->cellsWritten(), written);
  EXPECT_EQ(clock.elapsed(), 0);
  area(n)->goTo(3);
  EXPECT_TRUE(BLOQREGEX());
  EXPECT_EQ(area(n)->lockList(), std::vector<uint32_t>{3});  // the other lock went
  EXPECT_EQ(screen->cellsWritten(), written);
}

// A record held by another instance for 7 seconds: the notice, tries at 0,
// 3 and 6 seconds (each one logged with DBGLOCK), the lock at 9 seconds
// and the screen as before.
TEST_F(Lock, BloqregWaitsWithItsNoticeWhileAnotherProcessHoldsTheRecord) {
  makeTable("riclas", 3);
  auto child = spawnChild("LayerRoles.DISABLED_HoldRecordLock", {{"DIR", dir}, {"TABLE", "riclas"}, {"REC", "2"}});
  ASSERT_TRUE(waitForFile(file("ready")));
  OpenSpec s;
  s.file = "riclas";
  int n = openTable(s);
  area(n)->goTo(2);
  rt::publicVar("DBGLOCK", Value::logical(true));
  con::writeAt(5, 10, "tela do programa");
  std::string before = screen->text();

  plat::VirtualClock clock;
  bool released = false;
  clock.onSleep([&](int64_t elapsed) {
    if (!released && elapsed >= 7000) {
      touchFile(file("release"));
      ASSERT_TRUE(waitForFile(file("released")));
      released = true;
    }
  });
  std::string during;
  screen->probe([&] { during = screen->text(); }, 1000);
  EXPECT_TRUE(BLOQREG());
  EXPECT_EQ(child.wait(), 0);
  EXPECT_EQ(clock.elapsed(), 9000);
  EXPECT_EQ(area(n)->lockList(), std::vector<uint32_t>{2});
  EXPECT_NE(during.find("Registro 'TRAVADO'. Aguarde Liberaçâo !!! (RICLAS)"_cp), std::string::npos) << during;
  EXPECT_EQ(screen->text(), before);
  std::string log = plat::readWholeFile(file("LOCK.LOG")).value_or("");
  EXPECT_EQ(count(log, "RICLAS "), 3u) << log;
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Lock, BloqregexLeavesItsNoticeForTheCallerToRedraw) {
  makeTable("riclas", 3);
  auto child = spawnChild("LayerRoles.DISABLED_HoldRecordLock", {{"DIR", dir}, {"TABLE", "riclas"}, {"REC", "1"}});
  ASSERT_TRUE(waitForFile(file("ready")));
  OpenSpec s;
  s.file = "riclas";
  int n = openTable(s);
  area(n)->goTo(1);
  plat::VirtualClock clock;
  bool released = false;
  clock.onSleep([&](int64_t elapsed) {
    if (!released && elapsed >= 3000) {
      touchFile(file("release"));
      ASSERT_TRUE(waitForFile(file("released")));
      released = true;
    }
  });
  screen->type({'x'}, 1500);  // a key shortens the first wait
  EXPECT_TRUE(BLOQREGEX());
  EXPECT_EQ(child.wait(), 0);
  EXPECT_EQ(clock.elapsed(), 4500);  // tries at 0, 1.5 and 4.5 seconds
  EXPECT_NE(screen->text().find("Registro 'TRAVADO'"), std::string::npos);
  // No box is left on the console's list: closing "the last box" changes nothing.
  std::string shown = screen->text();
  rt::callRoutine("MSG_BOX");
  EXPECT_EQ(screen->text(), shown);
}

// Appends that keep failing: the append byte is always taken by someone else.
class FailingAppends {
 public:
  explicit FailingAppends(int times) : left_(times) {
    plat::ops().lock = [this](plat::Handle h, uint64_t off, uint64_t len, bool ex) {
      if (off == 1000000000ULL && len == 1 && left_ != 0) return plat::LockResult::Busy;
      return scope_.original().lock(h, off, len, ex);
    };
  }
  // Called for each failed append (from the error handler).
  void failed() {
    if (left_ > 0) --left_;
  }

 private:
  plat::FaultScope scope_;
  int left_;
};

TEST_F(Lock, AbreregWithOneRetryMakesTwoAttemptsAndGivesUp) {
  makeTable("riclas", 1);
  OpenSpec s;
  s.file = "riclas";
  int n = openTable(s);
  con::writeAt(12, 20, "linha do programa");
  std::string before = screen->text();
  plat::VirtualClock clock;
  FailingAppends fail(-1);
  std::vector<std::string> shown;
  rt::setErrorHandler([&](rt::ErrorRecord& e) {
    errors.push_back(e);
    shown.push_back(screen->rowText(12));
    return rt::ErrorAnswer::byDefault();
  });
  EXPECT_FALSE(ABREREG(Value(1)));
  ASSERT_EQ(errors.size(), 2u);
  for (auto& e : errors) EXPECT_EQ(e.genCode, rt::kErrAppendLock);
  EXPECT_EQ(shown[0].find("TRAVADO"), std::string::npos);
  // The frame's left side, a blank, the text (which covers the right side).
  EXPECT_EQ(shown[1].substr(15, 49), "\xB3 "
                                     "   Arquivo 'TRAVADO'. Aguarde Liberacao !!!    ");
  // No wait between the two attempts: only the engine's own tries at the
  // append lock.
  EXPECT_LT(clock.elapsed(), 2 * (kBriefLockMillis + 100));
  EXPECT_EQ(screen->text(), before);
  EXPECT_EQ(area(n)->recCount(), 1u);
  EXPECT_TRUE(rt::netErr());
}

TEST_F(Lock, AbreregWithoutALimitKeepsTrying) {
  makeTable("riclas", 1);
  OpenSpec s;
  s.file = "riclas";
  int n = openTable(s);
  area(n)->goTo(1);
  ASSERT_TRUE(area(n)->lockRecord());
  plat::VirtualClock clock;
  FailingAppends fail(4);
  rt::setErrorHandler([&](rt::ErrorRecord& e) {
    errors.push_back(e);
    fail.failed();
    return rt::ErrorAnswer::byDefault();
  });
  EXPECT_TRUE(ABREREG());
  EXPECT_EQ(errors.size(), 4u);
  EXPECT_EQ(area(n)->recCount(), 2u);
  EXPECT_EQ(area(n)->recNo(), 2u);
  EXPECT_EQ(area(n)->lockList(), std::vector<uint32_t>{2});  // the new record only
  // Attempts 1 and 2 back to back, then a 3-second wait before 3, 4 and 5.
  EXPECT_GE(clock.elapsed(), 9000);
  EXPECT_LT(clock.elapsed(), 9000 + 5 * (kBriefLockMillis + 100));
}

}  // namespace
}  // namespace kor::tables::testing
