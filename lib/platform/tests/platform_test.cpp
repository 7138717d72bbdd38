#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/clock.h"
#include "platform/fault.h"
#include "testing/child.h"

namespace kor::plat {
namespace {

namespace fs = std::filesystem;

class Platform : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kor_plat_" + std::to_string(processId()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string path(const std::string& name) { return (dir / name).string(); }
  fs::path dir;
};

TEST_F(Platform, OpenErrorsUseWindowsCodes) {
  EXPECT_EQ(openFile(path("missing.dbf"), Access::Read, Share::DenyNone, Disposition::OpenExisting).error, kNotFound);
  EXPECT_EQ(openFile(path("nodir/x.dbf"), Access::Read, Share::DenyNone, Disposition::OpenExisting).error,
            kPathNotFound);
  auto a = openFile(path("a.dbf"), Access::ReadWrite, Share::DenyNone, Disposition::CreateNew);
  ASSERT_TRUE(a.ok());
  EXPECT_EQ(openFile(path("a.dbf"), Access::ReadWrite, Share::DenyNone, Disposition::CreateNew).error, kFileExists);
  closeFile(a.handle);
}

TEST_F(Platform, ShareModesConflictLikeWindows) {
  writeWholeFile(path("t.dbf"), "data");
  struct Case {
    Access firstAccess;
    Share first;
    Access secondAccess;
    Share second;
    bool secondOpens;
  } cases[] = {
      {Access::ReadWrite, Share::DenyNone, Access::ReadWrite, Share::DenyNone, true},
      {Access::ReadWrite, Share::DenyNone, Access::ReadWrite, Share::Exclusive, false},
      {Access::ReadWrite, Share::Exclusive, Access::Read, Share::DenyNone, false},
      {Access::Read, Share::DenyWrite, Access::Read, Share::DenyNone, true},
      {Access::Read, Share::DenyWrite, Access::ReadWrite, Share::DenyNone, false},
      {Access::ReadWrite, Share::DenyNone, Access::Read, Share::DenyWrite, false},
  };
  for (auto& c : cases) {
    auto a = openFile(path("t.dbf"), c.firstAccess, c.first, Disposition::OpenExisting);
    ASSERT_TRUE(a.ok());
    auto b = openFile(path("t.dbf"), c.secondAccess, c.second, Disposition::OpenExisting);
    EXPECT_EQ(b.ok(), c.secondOpens) << static_cast<int>(c.first) << "/" << static_cast<int>(c.second);
    if (!b.ok()) {
      EXPECT_EQ(b.error, kSharingViolation);
    }
    if (b.ok()) closeFile(b.handle);
    closeFile(a.handle);
  }
  // Once the exclusive holder closes, others get in.
  auto ex = openFile(path("t.dbf"), Access::ReadWrite, Share::Exclusive, Disposition::OpenExisting);
  closeFile(ex.handle);
  auto after = openFile(path("t.dbf"), Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting);
  EXPECT_TRUE(after.ok());
  closeFile(after.handle);
}

TEST_F(Platform, LocksBelongToTheOpenFileAcrossHandlesAndProcesses) {
  writeWholeFile(path("l.dbf"), "x");
  auto a = openFile(path("l.dbf"), Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting);
  auto b = openFile(path("l.dbf"), Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting);
  const uint64_t rec5 = 1000000000ull + 5;
  EXPECT_EQ(lockRange(a.handle, rec5, 1), LockResult::Locked);
  EXPECT_EQ(lockRange(b.handle, rec5, 1), LockResult::Busy);   // same process, other handle
  EXPECT_EQ(lockRange(b.handle, rec5 + 1, 1), LockResult::Locked);
  closeFile(b.handle);                                          // does not drop a's lock
  auto child = kor::testing::spawnChild("PlatformRoles.DISABLED_FindRecordLocked", {{"FILE", path("l.dbf")}});
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.wait(), 0);
  unlockRange(a.handle, rec5, 1);
  closeFile(a.handle);
}

TEST_F(Platform, NamesResolveWithoutRegardToCaseAndBackslashes) {
  fs::create_directories(dir / "Dados");
  writeWholeFile((dir / "Dados" / "RICLAS.dbf").string(), "abc");
  std::string asked = dir.string() + "\\dados\\riclas.DBF";
  EXPECT_TRUE(fileExists(asked));
  auto r = readWholeFile(asked);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(*r, "abc");
  EXPECT_EQ(listDir(path("Dados"), "*.DBF").size(), 1u);
}

TEST_F(Platform, PathsAndFolders) {
  if (separator() == '/') {
    EXPECT_EQ(absolutePath("a/../b/./c", "/x/y"), "/x/y/b/c");
    EXPECT_EQ(absolutePath("/", ""), "/");
  } else {
    EXPECT_EQ(absolutePath("a/../b/./c", "C:\\x\\y"), "C:\\x\\y\\b\\c");
    EXPECT_EQ(absolutePath("C:\\", ""), "C:\\");
  }
  EXPECT_EQ(makeDirs(path("p/q/r")), kOk);
  EXPECT_TRUE(dirExists(path("p/q/r")));
  EXPECT_TRUE(wildMatch("RICLAS.*", "riclas.ntx"));
  EXPECT_FALSE(wildMatch("R?C", "RC"));
  EXPECT_TRUE(wildMatch("*", ""));
}

TEST_F(Platform, CopyKeepsTheFileTime) {
  writeWholeFile(path("src"), std::string(200000, 'z'));
  setFileTime(path("src"), 1639058607000);
  ASSERT_EQ(copyFile(path("src"), path("dst")), kOk);
  EXPECT_EQ(statPath(path("dst")).mtimeMillis, 1639058607000);
  EXPECT_EQ(statPath(path("dst")).size, 200000);
}

TEST_F(Platform, FaultsAreInjectable) {
  {
    FaultScope scope;
    failOpen(scope, "COOKIE", kAccessDenied, 2);
    EXPECT_EQ(writeWholeFile(path("COOKIE.SYS"), "a"), kAccessDenied);
    EXPECT_EQ(writeWholeFile(path("COOKIE.SYS"), "a"), kAccessDenied);
    EXPECT_EQ(writeWholeFile(path("COOKIE.SYS"), "a"), kOk);
  }
  {
    FaultScope scope;
    writeWholeFile(path("store"), "old contents");
    failWritesAfter(scope, 3, kDiskFull);
    EXPECT_EQ(writeWholeFile(path("store"), "new and longer contents"), kDiskFull);
  }
  EXPECT_EQ(*readWholeFile(path("store")), "old contents");  // nothing half written
  EXPECT_EQ(listDir(dir.string(), "*tmp").size(), 0u);
}

TEST_F(Platform, VirtualClockAdvancesOnSleep) {
  int64_t realBefore = nowMillis();
  {
    VirtualClock clock(1000);
    int hooks = 0;
    clock.onSleep([&](int64_t) { ++hooks; });
    sleepMillis(3000);
    EXPECT_EQ(nowMillis(), 4000);
    EXPECT_EQ(monotonicMillis(), 3000);
    EXPECT_EQ(hooks, 1);
  }
  EXPECT_GE(nowMillis(), realBefore);
}

// Runs in a second process: the record lock taken by the parent is busy here.
TEST(PlatformRoles, DISABLED_FindRecordLocked) {
  auto c = openFile(kor::testing::childArg("FILE"), Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting);
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(lockRange(c.handle, 1000000000ull + 5, 1), LockResult::Busy);
  EXPECT_EQ(lockRange(c.handle, 1000000000ull + 6, 1), LockResult::Locked);
  closeFile(c.handle);
}

}  // namespace
}  // namespace kor::plat
