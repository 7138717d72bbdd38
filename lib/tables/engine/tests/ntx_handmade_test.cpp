// An index made elsewhere: a small two-level NTX written byte by byte from
// the published layout, the way another program may lay it out (an odd max
// of keys, slots in reverse order, the root after its leaves, a free page,
// an expression in lower case). The module must seek in it, walk it and keep
// it sound while it changes it.
#include <gtest/gtest.h>

#include "tables/engine/ntx_internal.h"
#include "tables/engine/tests/ntx_testutil.h"

namespace kor::tables::ntx {
namespace {

using namespace ntx::testing;

constexpr int kKey = 8, kItem = 16, kMax = 55, kHalf = 27;  // 55: not rounded to even
constexpr int kTable = 2 + 2 * (kMax + 1);

struct HandItem {
  uint32_t child;
  uint32_t rec;
  std::string key;
};

// A page with its items in slots taken from the end of the page backwards.
std::string handPage(const std::vector<HandItem>& items, uint32_t rightChild) {
  std::string p(1024, '\0');
  auto b = reinterpret_cast<uint8_t*>(p.data());
  int n = int(items.size());
  wr16(b, uint16_t(n));
  for (int i = 0; i <= kMax; ++i) wr16(b + 2 + 2 * i, uint16_t(kTable + (kMax - i) * kItem));
  for (int i = 0; i < n; ++i) {
    uint8_t* it = b + rd16(b + 2 + 2 * i);
    wr32(it, items[size_t(i)].child);
    wr32(it + 4, items[size_t(i)].rec);
    std::memcpy(it + 8, items[size_t(i)].key.data(), kKey);
  }
  wr32(b + rd16(b + 2 + 2 * n), rightChild);
  return p;
}

std::string keyOf(int i) {
  char k[16];
  std::snprintf(k, sizeof k, "C%07d", i * 10);
  return k;
}

struct HandMade : ::testing::Test {
  TempDir dir;
  ErrorCatcher errors;
  std::string path = dir.file("HAND.NTX");
  Model model{kKey};

  // Pages: 1024 leaf A, 2048 leaf B, 3072 root, 4096 leaf C, 5120 free.
  // Keys 0..89: A holds 0..29, the root 30 and 60, B 31..59, C 61..89.
  void SetUp() override {
    std::string file(1024, '\0');
    auto h = reinterpret_cast<uint8_t*>(file.data());
    wr16(h + 0, 6);
    wr16(h + 2, 17);
    wr32(h + 4, 3072);
    wr32(h + 8, 5120);
    wr16(h + 12, kItem);
    wr16(h + 14, kKey);
    wr16(h + 16, 0);
    wr16(h + 18, kMax);
    wr16(h + 20, kHalf);
    std::memcpy(h + 22, "codigo", 6);
    h[1010] = 0x5A;  // another program's own byte: kept as it is
    auto range = [&](int from, int to) {
      std::vector<HandItem> v;
      for (int i = from; i <= to; ++i) {
        uint32_t rec = uint32_t(1000 - i);  // record numbers unrelated to key order
        v.push_back({0, rec, keyOf(i)});
        model.insert(keyOf(i), rec);
      }
      return v;
    };
    file += handPage(range(0, 29), 0);
    file += handPage(range(31, 59), 0);
    file += handPage({{1024, 1000 - 30, keyOf(30)}, {2048, 1000 - 60, keyOf(60)}}, 4096);
    model.insert(keyOf(30), 1000 - 30);
    model.insert(keyOf(60), 1000 - 60);
    file += handPage(range(61, 89), 0);
    std::string freePage(1024, '\0');
    file += freePage;  // next free: 0
    ASSERT_EQ(plat::writeWholeFile(path, file), 0);
    CheckOptions lenient;
    lenient.strict = false;
    CheckReport rep = checkFile(path, lenient);
    ASSERT_TRUE(rep.ok()) << rep.summary();
    ASSERT_EQ(rep.keys, 90u);
  }
};

void expectLenientSame(Index& ix, const Model& m) {
  CheckOptions opt;
  opt.strict = false;
  opt.collectKeys = true;
  CheckReport rep = check(ix, opt);
  EXPECT_TRUE(rep.ok()) << rep.summary();
  EXPECT_EQ(rep.items, m.list());
  EXPECT_EQ(walkForward(ix), m.list());
  EXPECT_EQ(walkBackward(ix), m.list());
}

TEST_F(HandMade, ReadsTheHeaderAndSeeks) {
  auto ix = Index::open(path);
  ASSERT_TRUE(ix);
  EXPECT_EQ(ix->keyExpr(), "codigo");
  EXPECT_EQ(ix->keySize(), kKey);
  EXPECT_EQ(ix->maxKeys(), kMax);
  EXPECT_EQ(ix->changeCounter(), 17);
  EXPECT_EQ(ix->keyCount(), 90u);
  EXPECT_TRUE(ix->seek(keyOf(30)));  // a key of the root page
  EXPECT_EQ(ix->recno(), 970u);
  EXPECT_TRUE(ix->seek(keyOf(59)));
  EXPECT_EQ(ix->recno(), 941u);
  ASSERT_TRUE(ix->next());
  EXPECT_EQ(ix->key(), keyOf(60));
  ASSERT_TRUE(ix->next());
  EXPECT_EQ(ix->key(), keyOf(61));
  EXPECT_FALSE(ix->seek("C0000005"));
  EXPECT_FALSE(ix->onKey());
  EXPECT_FALSE(ix->seek("C0000005", true));
  EXPECT_EQ(ix->key(), keyOf(1));
  EXPECT_TRUE(ix->seek("C000005"));  // a prefix: the first key it begins
  EXPECT_EQ(ix->key(), keyOf(5));
  EXPECT_TRUE(ix->seek("C00008", false, true));
  EXPECT_EQ(ix->key(), keyOf(89));
  EXPECT_EQ(ix->keyNo(), 90u);
  EXPECT_TRUE(ix->seek(keyOf(45)));
  EXPECT_EQ(ix->keyNo(), 46u);
  expectLenientSame(*ix, model);
  EXPECT_FALSE(errors.any());
}

TEST_F(HandMade, MaintainsIt) {
  auto ix = Index::open(path);
  ASSERT_TRUE(ix);
  // Fill leaf A past its 55 keys: it splits, taking the free page first.
  for (int i = 0; i < 40; ++i) {
    char k[16];
    std::snprintf(k, sizeof k, "C%07d", i * 10 + 5);
    ASSERT_TRUE(ix->insert(k, uint32_t(5000 + i)));
    model.insert(k, uint32_t(5000 + i));
  }
  EXPECT_EQ(plat::statPath(path).size, 6 * 1024);  // the free page was reused
  expectLenientSame(*ix, model);
  // Empty leaf C and most of B: pages merge, the root shrinks.
  for (int i = 31; i <= 89; ++i) {
    if (i == 60) continue;
    ASSERT_TRUE(ix->remove(keyOf(i), uint32_t(1000 - i)));
    model.remove(keyOf(i), uint32_t(1000 - i));
  }
  ASSERT_TRUE(ix->remove(keyOf(60), 940));
  model.remove(keyOf(60), 940);
  expectLenientSame(*ix, model);
  ix.reset();
  // The bytes other programs keep in the header survive, and the counter moved.
  std::string f = *plat::readWholeFile(path);
  EXPECT_EQ(uint8_t(f[1010]), 0x5A);
  EXPECT_EQ(rd16(reinterpret_cast<const uint8_t*>(f.data()) + 2), 17 + 40 + 59);
  EXPECT_FALSE(errors.any());
}

TEST_F(HandMade, RebuildGivesTheEnginesOwnLayout) {
  auto ix = Index::open(path);
  ASSERT_TRUE(ix);
  KeyList keys(kKey);
  for (const Item& i : model.list()) keys.add(i.first, i.second);
  ASSERT_TRUE(ix->rebuild(keys));
  EXPECT_EQ(ix->maxKeys(), 54);
  EXPECT_EQ(ix->keyExpr(), "codigo");
  expectSame(*ix, model);
}

}  // namespace
}  // namespace kor::tables::ntx
