// Several processes on one table: lock conflicts and releases, exclusive
// against shared opening, appends from two processes with nothing lost,
// changes of one process seen by the other after its lock, and updates
// under record locks with no lost update. Children are this executable
// again running one disabled "role" test (testing/child.h).
#include <map>
#include <set>

#include "platform/clock.h"
#include "tables/engine/errors.h"
#include "tables/engine/tests/fixture.h"
#include "testing/child.h"
#include "values/textform.h"

namespace kor::tables::testing {
namespace {

using kor::testing::childArg;
using kor::testing::spawnChild;
using kor::testing::touchFile;
using kor::testing::waitForFile;

// What a child does before its role: the shared folder as default folder
// and a handler that answers default (the program's handler does the same
// for sharing violations and append locks).
struct ChildSetup {
  ChildSetup() {
    rt::resetSettings();
    dir = childArg("DIR");
    rt::set(rt::Set::Default, Value(dir));
    rt::set(rt::Set::HardCommit, Value::logical(false));
    rt::setErrorHandler([this](rt::ErrorRecord& e) {
      errors.push_back(e);
      return rt::ErrorAnswer::byDefault();
    });
  }
  ~ChildSetup() { closeAll(); }
  WorkArea* use(const std::string& file, bool shared = true) {
    OpenSpec s;
    s.file = file;
    s.shared = shared;
    int n = openTable(s);
    return n ? area(n) : nullptr;
  }
  std::string file(const std::string& name) const { return (fs::path(dir) / name).string(); }
  std::string dir;
  std::vector<rt::ErrorRecord> errors;
};

using Shared = EngineTest;

void makeCounterTable(Shared& t) {
  ASSERT_TRUE(createTable("conta", {{"NOME", 'C', 10, 0}, {"N", 'N', 8, 0}, {"OBS", 'M', 10, 0}}));
  WorkArea* a = t.use("conta", false);
  for (int i = 1; i <= 5; ++i) {
    a->append();
    a->putField(1, Value("rec" + std::to_string(i)));
    a->putField(2, Value(0));
  }
  closeAll();
}

// --- lock conflicts -------------------------------------------------------------

TEST(SharedRoles, DISABLED_MeetTheLocks) {
  ChildSetup c;
  WorkArea* a = c.use("conta");
  ASSERT_NE(a, nullptr);
  a->goTo(3);
  EXPECT_FALSE(a->lockRecord());  // held by the parent
  a->goTo(4);
  EXPECT_TRUE(a->lockRecord());
  EXPECT_FALSE(a->lockFile());    // the parent's record lock is in the way
  EXPECT_TRUE(a->lockList().empty());  // the failed file lock released ours first
  touchFile(c.file("step1"));
  ASSERT_TRUE(waitForFile(c.file("go")));
  a->goTo(3);
  EXPECT_TRUE(a->lockRecord());   // released by the parent
  EXPECT_TRUE(a->lockFile());
  touchFile(c.file("step2"));
  ASSERT_TRUE(waitForFile(c.file("end")));
  EXPECT_TRUE(c.errors.empty());
}

TEST_F(Shared, LockConflictsAndReleasesBetweenProcesses) {
  makeCounterTable(*this);
  WorkArea* a = use("conta");
  a->goTo(3);
  ASSERT_TRUE(a->lockRecord());
  auto child = spawnChild("SharedRoles.DISABLED_MeetTheLocks", {{"DIR", dir.string()}});
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(waitForFile(path("step1")));
  a->unlock();
  touchFile(path("go"));
  ASSERT_TRUE(waitForFile(path("step2")));
  // The child holds the file lock now. (The append tries its lock for a
  // second of the virtual clock.)
  plat::VirtualClock clock;
  a->goTo(5);
  EXPECT_FALSE(a->lockRecord());
  EXPECT_FALSE(a->append());
  EXPECT_TRUE(rt::netErr());
  ASSERT_NE(lastError(), nullptr);
  EXPECT_EQ(lastError()->genCode, rt::kErrAppendLock);
  EXPECT_TRUE(lastError()->canDefault);
  touchFile(path("end"));
  EXPECT_EQ(child.wait(), 0);
  EXPECT_TRUE(a->lockRecord());  // the child's locks went with it
}

// --- exclusive against shared ----------------------------------------------------------

TEST(SharedRoles, DISABLED_OpenAgainstTheParent) {
  ChildSetup c;
  EXPECT_EQ(c.use("conta"), nullptr);  // the parent holds it exclusively
  EXPECT_TRUE(rt::netErr());
  ASSERT_EQ(c.errors.size(), 1u);
  EXPECT_EQ(c.errors[0].genCode, rt::kErrOpen);
  EXPECT_EQ(c.errors[0].osCode, 32);
  EXPECT_TRUE(c.errors[0].canDefault);
  EXPECT_EQ(c.errors[0].filename, c.file("conta.dbf"));
  touchFile(c.file("step1"));
  ASSERT_TRUE(waitForFile(c.file("go")));
  WorkArea* a = c.use("conta");  // now shared by the parent: shared works
  ASSERT_NE(a, nullptr);
  EXPECT_FALSE(rt::netErr());
  touchFile(c.file("step2"));
  ASSERT_TRUE(waitForFile(c.file("end")));
}

TEST_F(Shared, ExclusiveAndSharedExcludeEachOther) {
  makeCounterTable(*this);
  WorkArea* a = use("conta", false);
  ASSERT_NE(a, nullptr);
  auto child = spawnChild("SharedRoles.DISABLED_OpenAgainstTheParent", {{"DIR", dir.string()}});
  ASSERT_TRUE(waitForFile(path("step1")));
  closeAll();
  ASSERT_NE(use("conta"), nullptr);
  touchFile(path("go"));
  ASSERT_TRUE(waitForFile(path("step2")));
  closeAll();
  errors.clear();
  EXPECT_EQ(use("conta", false), nullptr);  // the child has it open shared
  EXPECT_TRUE(rt::netErr());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].osCode, 32);
  touchFile(path("end"));
  EXPECT_EQ(child.wait(), 0);
  EXPECT_NE(use("conta", false), nullptr);
}

// --- appends from two processes -----------------------------------------------------------

constexpr int kAppends = 300;

TEST(SharedRoles, DISABLED_Append) {
  ChildSetup c;
  std::string who = childArg("WHO");
  WorkArea* a = c.use("conta");
  ASSERT_NE(a, nullptr) << (c.errors.empty() ? std::string("no error")
                                              : c.errors[0].filename + " " + std::to_string(c.errors[0].genCode) + "/" +
                                                    std::to_string(c.errors[0].subCode) + " os " +
                                                    std::to_string(c.errors[0].osCode));
  ASSERT_TRUE(waitForFile(c.file("start")));
  for (int i = 0; i < kAppends; ++i) {
    ASSERT_TRUE(a->append()) << i;
    ASSERT_TRUE(a->putField(1, Value(who + std::to_string(i))));
    ASSERT_TRUE(a->putField(2, Value(i)));
    // A memo of varying size, so that both processes allocate memo blocks.
    ASSERT_TRUE(a->putField(3, Value(who + ":" + std::string(static_cast<size_t>(i % 150), 'x'))));
  }
  a->unlock();
  EXPECT_TRUE(c.errors.empty());
}

TEST_F(Shared, AppendsFromTwoProcessesLoseNothing) {
  makeCounterTable(*this);
  auto p = spawnChild("SharedRoles.DISABLED_Append", {{"DIR", dir.string()}, {"WHO", "P"}});
  auto q = spawnChild("SharedRoles.DISABLED_Append", {{"DIR", dir.string()}, {"WHO", "Q"}});
  touchFile(path("start"));
  EXPECT_EQ(p.wait(), 0);
  EXPECT_EQ(q.wait(), 0);
  WorkArea* a = use("conta", false);
  ASSERT_EQ(a->recCount(), 5u + 2 * kAppends);
  std::set<std::string> seen;
  std::map<char, int> last = {{'P', -1}, {'Q', -1}};
  a->goTo(6);
  while (!a->eof()) {
    std::string name(kor::alltrim(a->getField(1).str()));
    ASSERT_FALSE(name.empty()) << a->recNo();
    int i = static_cast<int>(a->getField(2).num());
    EXPECT_EQ(name.substr(1), std::to_string(i));
    EXPECT_EQ(a->getField(3).str(), name.substr(0, 1) + ":" + std::string(static_cast<size_t>(i % 150), 'x'));
    EXPECT_GT(i, last[name[0]]);  // each process's records in its own order
    last[name[0]] = i;
    EXPECT_TRUE(seen.insert(name).second) << name;
    a->skip(1);
  }
  EXPECT_EQ(seen.size(), 2u * kAppends);
  const std::string b = bytes("conta.dbf");
  EXPECT_EQ(b.size(), 32u * 4 + 1 + (5 + 2 * kAppends) * 29 + 1);
  EXPECT_EQ(static_cast<uint8_t>(b.back()), 0x1A);
}

// --- another process's changes become visible ----------------------------------------------------

TEST(SharedRoles, DISABLED_ChangeAndAppend) {
  ChildSetup c;
  WorkArea* a = c.use("conta");
  ASSERT_NE(a, nullptr);
  a->goTo(1);
  ASSERT_TRUE(a->lockRecord());
  a->putField(1, Value("mudado"));
  a->unlock();  // written before the lock goes
  a->append();
  a->putField(1, Value("novo"));
  a->unlock();
  touchFile(c.file("done"));
  EXPECT_TRUE(c.errors.empty());
}

TEST_F(Shared, ChangesOfAnotherProcessAreSeenAfterTheLock) {
  makeCounterTable(*this);
  WorkArea* a = use("conta");
  a->goTo(1);
  EXPECT_EQ(a->getField(1).str(), "rec1      ");
  EXPECT_EQ(a->recCount(), 5u);
  auto child = spawnChild("SharedRoles.DISABLED_ChangeAndAppend", {{"DIR", dir.string()}});
  ASSERT_TRUE(waitForFile(path("done")));
  EXPECT_EQ(child.wait(), 0);
  // The buffer still holds what was read; the lock rereads the record.
  EXPECT_EQ(a->getField(1).str(), "rec1      ");
  ASSERT_TRUE(a->lockRecord());
  EXPECT_EQ(a->getField(1).str(), "mudado    ");
  a->unlock();
  a->goBottom();  // rereads the count
  EXPECT_EQ(a->recNo(), 6u);
  EXPECT_EQ(a->getField(1).str(), "novo      ");
  a->goTo(1);
  a->skip(0);
  EXPECT_EQ(a->getField(1).str(), "mudado    ");
}

// --- updates under record locks ----------------------------------------------------------------

constexpr int kIncrements = 200;

TEST(SharedRoles, DISABLED_Increment) {
  ChildSetup c;
  WorkArea* a = c.use("conta");
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(waitForFile(c.file("start")));
  for (int i = 0; i < kIncrements; ++i) {
    a->goTo(2);
    while (!a->lockRecord()) plat::sleepMillis(0);
    ASSERT_TRUE(a->putField(2, Value(static_cast<long long>(a->getField(2).num()) + 1)));
    a->unlock();
  }
  EXPECT_TRUE(c.errors.empty());
}

TEST_F(Shared, UpdatesUnderRecordLocksLoseNoUpdate) {
  makeCounterTable(*this);
  auto p = spawnChild("SharedRoles.DISABLED_Increment", {{"DIR", dir.string()}});
  auto q = spawnChild("SharedRoles.DISABLED_Increment", {{"DIR", dir.string()}});
  touchFile(path("start"));
  EXPECT_EQ(p.wait(), 0);
  EXPECT_EQ(q.wait(), 0);
  WorkArea* a = use("conta");
  a->goTo(2);
  EXPECT_EQ(a->getField(2).num(), 2 * kIncrements);
}

// --- within one process: two opens of one table are two owners -----------------------------------

TEST_F(Shared, TwoOpensInOneProcessConflictLikeTwoPrograms) {
  makeCounterTable(*this);
  WorkArea* a = use("conta", true, false, "UM");
  WorkArea* b = use("conta", true, false, "DOIS");
  ASSERT_NE(b, nullptr);
  a->goTo(2);
  b->goTo(2);
  ASSERT_TRUE(a->lockRecord());
  EXPECT_FALSE(b->lockRecord());
  closeArea(b->number());  // closing one open leaves the other's locks alone
  b = use("conta", true, false, "DOIS");
  b->goTo(2);
  EXPECT_FALSE(b->lockRecord());
  a->unlock();
  EXPECT_TRUE(b->lockRecord());
}

}  // namespace
}  // namespace kor::tables::testing
