#include <gtest/gtest.h>

#include "platform/fault.h"
#include "platform/platform.h"

namespace kor::plat {
namespace {

TEST(MemoryFiles, LiveInMemoryWithoutRegardToCase) {
  auto a = openFile("MEM:Tab1.dbf", Access::ReadWrite, Share::DenyNone, Disposition::CreateNew);
  ASSERT_TRUE(a.ok());
  ASSERT_TRUE(writeAt(a.handle, 10, "xyz", 3).ok());
  EXPECT_EQ(fileSize(a.handle), 13);  // the gap reads as zeros
  char buf[16] = {};
  IoResult r = readAt(a.handle, 8, buf, 16);
  EXPECT_EQ(r.bytes, 5);
  EXPECT_EQ(std::string(buf, 5), std::string("\0\0xyz", 5));
  closeFile(a.handle);

  EXPECT_TRUE(fileExists("mem:TAB1.DBF"));
  EXPECT_EQ(statPath("MEM:tab1.dbf").size, 13);
  EXPECT_EQ(listDir("MEM:", "TAB1.*").size(), 1u);
  EXPECT_EQ(openFile("MEM:tab1.dbf", Access::Read, Share::DenyNone, Disposition::CreateNew).error, kFileExists);
  EXPECT_EQ(renameFile("MEM:tab1.dbf", "MEM:tab2.dbf"), kOk);
  EXPECT_FALSE(fileExists("MEM:tab1.dbf"));
  EXPECT_EQ(removeFile("MEM:TAB2.DBF"), kOk);
  EXPECT_EQ(openFile("MEM:tab2.dbf", Access::Read, Share::DenyNone, Disposition::OpenExisting).error, kNotFound);
  EXPECT_FALSE(fileExists("C:/not/mem.dbf"));
}

TEST(MemoryFiles, ShareModesAndLocksAsOnDisk) {
  auto a = openFile("MEM:share.dbf", Access::ReadWrite, Share::Exclusive, Disposition::CreateAlways);
  ASSERT_TRUE(a.ok());
  EXPECT_EQ(openFile("MEM:share.dbf", Access::Read, Share::DenyNone, Disposition::OpenExisting).error,
            kSharingViolation);
  closeFile(a.handle);

  auto b = openFile("MEM:share.dbf", Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting);
  auto c = openFile("MEM:share.dbf", Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting);
  ASSERT_TRUE(b.ok() && c.ok());
  EXPECT_EQ(openFile("MEM:share.dbf", Access::Read, Share::Exclusive, Disposition::OpenExisting).error,
            kSharingViolation);
  const uint64_t base = 1000000000;
  EXPECT_EQ(lockRange(b.handle, base + 5, 1), LockResult::Locked);
  EXPECT_EQ(lockRange(c.handle, base + 5, 1), LockResult::Busy);
  EXPECT_EQ(lockRange(c.handle, base, base), LockResult::Busy);  // the file lock covers the record
  EXPECT_EQ(lockRange(c.handle, base + 6, 1), LockResult::Locked);
  EXPECT_EQ(lockRange(b.handle, base + 6, 1, false), LockResult::Busy);
  // Unlocking part of a range keeps the rest.
  EXPECT_EQ(lockRange(b.handle, base + 100, 10), LockResult::Locked);
  EXPECT_EQ(unlockRange(b.handle, base + 104, 1), kOk);
  EXPECT_EQ(lockRange(c.handle, base + 104, 1), LockResult::Locked);
  EXPECT_EQ(lockRange(c.handle, base + 103, 1), LockResult::Busy);
  // Closing one handle drops its locks only.
  closeFile(b.handle);
  EXPECT_EQ(lockRange(c.handle, base + 5, 1), LockResult::Locked);
  auto d = openFile("MEM:share.dbf", Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting);
  EXPECT_EQ(lockRange(d.handle, base + 6, 1), LockResult::Busy);
  closeFile(c.handle);
  closeFile(d.handle);
  removeFile("MEM:share.dbf");
}

TEST(MemoryFiles, FaultsReachThemToo) {
  FaultScope scope;
  failOpen(scope, "MEM:", kDiskFull, 1);
  EXPECT_EQ(openFile("MEM:f.tmp", Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways).error, kDiskFull);
  auto ok = openFile("MEM:f.tmp", Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways);
  EXPECT_TRUE(ok.ok());
  closeFile(ok.handle);
  removeFile("MEM:f.tmp");
}

}  // namespace
}  // namespace kor::plat
