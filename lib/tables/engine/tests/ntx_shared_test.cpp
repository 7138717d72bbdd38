// Shared use of one index file: other handles and other processes change
// it, readers follow the change counter, writers wait for each other on the
// index lock.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "testing/child.h"
#include "tables/engine/ntx_internal.h"
#include "tables/engine/tests/ntx_testutil.h"

namespace kor::tables::ntx {
namespace {

using namespace ntx::testing;

OpenOptions sharedUse() {
  OpenOptions o;
  o.shared = true;
  return o;
}

std::string keyFor(uint32_t rec) {
  char k[16];
  std::snprintf(k, sizeof k, "%08u", (rec * 2654435761u) % 100000000u);
  return k;
}

struct NtxShared : ::testing::Test {
  TempDir dir;
  ErrorCatcher errors;
  std::string path = dir.file("shared.ntx");
  void SetUp() override {
    KeyList none(8);
    Spec s;
    s.keyExpr = "CHAVE";
    s.keySize = 8;
    ASSERT_TRUE(Index::create(path, s, none));
  }
};

TEST_F(NtxShared, ReadersFollowAnotherWriter) {
  auto a = Index::open(path, sharedUse());
  auto b = Index::open(path, sharedUse());
  ASSERT_TRUE(a && b);
  Model m(8);
  std::mt19937 rng(9);
  EXPECT_TRUE(a->insert("00000050", 50000));
  m.insert("00000050", 50000);
  ASSERT_TRUE(b->seek("00000050"));
  uint64_t drops = b->stats().cacheDrops;
  // b stands on a key while a changes the tree all around it, splitting
  // and merging pages: b's cached pages must go, its position must hold.
  for (uint32_t r = 1; r <= 3000; ++r) {
    std::string k = keyFor(r);
    ASSERT_TRUE(a->insert(k, r));
    m.insert(k, r);
  }
  EXPECT_EQ(b->recno(), 50000u);
  ASSERT_TRUE(b->next());
  EXPECT_GT(b->stats().cacheDrops, drops);
  auto it = m.items.find({"00000050", 50000});
  ++it;
  EXPECT_EQ(*it, Item(std::string(b->key()), b->recno()));
  for (uint32_t r = 1; r <= 3000; r += 2) {
    ASSERT_TRUE(b->remove(keyFor(r), r));  // b writes, a reads
    m.remove(keyFor(r), r);
  }
  expectSame(*a, m);
  expectSame(*b, m);
  EXPECT_FALSE(errors.any());
}

TEST_F(NtxShared, UnchangedIndexKeepsItsCacheAcrossOperations) {
  auto a = Index::open(path, sharedUse());
  for (uint32_t r = 1; r <= 2000; ++r) a->insert(keyFor(r), r);
  auto b = Index::open(path, sharedUse());
  for (uint32_t r = 1; r <= 2000; ++r) ASSERT_TRUE(b->seek(keyFor(r)));
  uint64_t reads = b->stats().pageReads, drops = b->stats().cacheDrops, locks = b->stats().locks;
  for (uint32_t r = 1; r <= 2000; ++r) ASSERT_TRUE(b->seek(keyFor(r)));
  EXPECT_EQ(b->stats().pageReads, reads);
  EXPECT_EQ(b->stats().cacheDrops, drops);
  EXPECT_EQ(b->stats().locks, locks);  // all pages cached: no lock needed
  // Another writer moves the counter: the next read locks, rereads, and
  // from then on runs without the lock again.
  a->insert("99999999", 9999);
  ASSERT_TRUE(b->seek("99999999"));
  EXPECT_GT(b->stats().cacheDrops, drops);
  EXPECT_EQ(b->stats().locks, locks + 1);
  for (uint32_t r = 1; r <= 2000; ++r) ASSERT_TRUE(b->seek(keyFor(r)));
  locks = b->stats().locks;
  for (uint32_t r = 1; r <= 2000; ++r) ASSERT_TRUE(b->seek(keyFor(r)));
  EXPECT_EQ(b->stats().locks, locks);
  drops = b->stats().cacheDrops;
  // Its own changes do not throw its cache away either.
  for (uint32_t r = 2001; r <= 2100; ++r) b->insert(keyFor(r), r);
  EXPECT_EQ(b->stats().cacheDrops, drops);
}

TEST_F(NtxShared, AHeldLockIsWaitedForThenReportedAsRetryable) {
  plat::VirtualClock clock;
  auto a = Index::open(path, sharedUse());
  a->insert("00000001", 1);
  plat::OpenResult other = plat::openFile(path, plat::Access::ReadWrite, plat::Share::DenyNone,
                                          plat::Disposition::OpenExisting);
  ASSERT_TRUE(other.ok());
  ASSERT_EQ(plat::lockRange(other.handle, 1000000000ULL, 1, true), plat::LockResult::Locked);
  // The other writer is halfway through a change: the counter moved, so
  // the reader's cache is stale and it must wait for the lock.
  uint8_t counter[2];
  ASSERT_EQ(plat::readAt(other.handle, 2, counter, 2).bytes, 2);
  counter[0]++;
  ASSERT_TRUE(plat::writeAt(other.handle, 2, counter, 2).ok());
  int64_t t0 = clock.elapsed();
  // The handler lets go of the other lock and asks for a retry.
  rt::ErrorHandler saved = rt::setErrorHandler([&](rt::ErrorRecord& r) {
    errors.errors.push_back(r);
    plat::unlockRange(other.handle, 1000000000ULL, 1);
    return rt::ErrorAnswer::retry();
  });
  EXPECT_TRUE(a->seek("00000001"));
  rt::setErrorHandler(saved);
  ASSERT_EQ(errors.errors.size(), 1u);
  EXPECT_EQ(errors.errors[0].genCode, rt::kErrLock);
  EXPECT_TRUE(errors.errors[0].canRetry);
  EXPECT_GE(clock.elapsed() - t0, 30000);
  // A writer waits the same way; a reader's shared lock lets others read.
  ASSERT_EQ(plat::lockRange(other.handle, 1000000000ULL, 1, false), plat::LockResult::Locked);
  EXPECT_TRUE(a->seek("00000001"));
  EXPECT_EQ(errors.errors.size(), 1u);
  EXPECT_FALSE(a->insert("00000002", 2));
  EXPECT_EQ(errors.errors.size(), 2u);
  plat::closeFile(other.handle);
  EXPECT_TRUE(a->insert("00000002", 2));
}

// Two processes append records to the same index at the same time; each
// also removes and re-adds some of its own keys and seeks what it wrote.
constexpr uint32_t kPerChild = 4000;

TEST(NtxSharedRoles, DISABLED_Appender) {
  const std::string path = kor::testing::childArg("FILE");
  const uint32_t k = uint32_t(std::stoul(kor::testing::childArg("K")));
  ASSERT_TRUE(kor::testing::waitForFile(kor::testing::childArg("GO")));
  ErrorCatcher errs;
  auto ix = Index::open(path, sharedUse());
  ASSERT_TRUE(ix);
  for (uint32_t i = 0; i < kPerChild; ++i) {
    uint32_t rec = i * 2 + k + 1;
    ASSERT_TRUE(ix->insert(keyFor(rec), rec));
    if (i % 7 == 3) {
      ASSERT_TRUE(ix->remove(keyFor(rec), rec));
      ASSERT_TRUE(ix->insert(keyFor(rec), rec));
    }
    if (i % 50 == 0) {
      ASSERT_TRUE(ix->seek(keyFor(rec)));
      ASSERT_EQ(ix->key(), keyFor(rec));
    }
  }
  EXPECT_FALSE(errs.any());
}

TEST_F(NtxShared, TwoProcessesChangingAtOnce) {
  std::string go = dir.file("go");
  std::vector<kor::testing::Child> kids;
  for (int k = 0; k < 2; ++k)
    kids.push_back(kor::testing::spawnChild("NtxSharedRoles.DISABLED_Appender",
                                            {{"FILE", path}, {"K", std::to_string(k)}, {"GO", go}}));
  kor::testing::touchFile(go);
  for (auto& c : kids) EXPECT_EQ(c.wait(), 0);
  auto ix = Index::open(path);
  ASSERT_TRUE(ix);
  CheckOptions opt;
  opt.recordCount = 2 * kPerChild;
  CheckReport rep = check(*ix, opt);
  EXPECT_TRUE(rep.ok()) << rep.summary();
  EXPECT_EQ(rep.keys, 2 * kPerChild);  // every record once
  EXPECT_EQ(ix->changeCounter(), uint16_t(1 + 2 * kPerChild + 2 * 2 * ((kPerChild + 3) / 7)));
}

}  // namespace
}  // namespace kor::tables::ntx
