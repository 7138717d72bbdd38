// The NTX module driven with key bytes and record numbers: creation and the
// published layout, bulk builds, insert/delete/update against a model with
// the checker after every sequence, seeks, walking, scopes, counts, the free
// chain and the page cache.
#include <gtest/gtest.h>

#include <map>

#include "tables/engine/ntx_internal.h"
#include "tables/engine/tests/ntx_testutil.h"

namespace kor::tables::ntx {
namespace {

using namespace ntx::testing;

struct NtxTest : ::testing::Test {
  TempDir dir;
  ErrorCatcher errors;
  std::unique_ptr<Index> make(const std::string& name, int keySize, KeyList keys, bool desc = false,
                              bool uniq = false, OpenOptions opt = {}) {
    Spec s;
    s.keyExpr = "NOME";
    s.keySize = keySize;
    s.descending = desc;
    s.unique = uniq;
    return Index::create(dir.file(name), s, keys, opt);
  }
  std::unique_ptr<Index> makeEmpty(const std::string& name, int keySize, bool desc = false, bool uniq = false) {
    return make(name, keySize, KeyList(keySize), desc, uniq);
  }
};

// The bytes of a closed index file.
std::string fileBytes(const std::string& path) {
  std::optional<std::string> s = plat::readWholeFile(path);
  EXPECT_TRUE(s) << path;
  return s ? *s : std::string();
}

TEST_F(NtxTest, EmptyIndexHasThePublishedHeaderAndRootPage) {
  auto ix = makeEmpty("e.ntx", 10);
  ASSERT_TRUE(ix);
  std::string f = ix->snapshot();
  ASSERT_EQ(f.size(), 2048u);
  auto b = reinterpret_cast<const uint8_t*>(f.data());
  EXPECT_EQ(rd16(b + 0), 6);
  EXPECT_EQ(rd16(b + 2), 1);
  EXPECT_EQ(rd32(b + 4), 1024u);
  EXPECT_EQ(rd32(b + 8), 0u);
  EXPECT_EQ(rd16(b + 12), 18);
  EXPECT_EQ(rd16(b + 14), 10);
  EXPECT_EQ(rd16(b + 16), 0);
  EXPECT_EQ(rd16(b + 18), 50);
  EXPECT_EQ(rd16(b + 20), 25);
  EXPECT_EQ(std::string(f.data() + 22), "NOME");
  EXPECT_EQ(b[278], 0);
  EXPECT_EQ(b[280], 0);
  for (int i = 22 + 4; i < 1024; ++i) ASSERT_EQ(b[i], 0) << "header byte " << i;
  const uint8_t* p = b + 1024;
  EXPECT_EQ(rd16(p), 0);
  // Offset table: max+1 entries at 2 + 2(max+1) + i * itemSize.
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(rd16(p + 2 + 2 * i), 104 + 18 * i);
  for (int i = 104; i < 1024; ++i) ASSERT_EQ(p[i], 0);
}

TEST_F(NtxTest, MaxKeysPerPageMatchTheFormula) {
  struct Case {
    int key, max;
  } cases[] = {{10, 50}, {9, 52}, {8, 54}, {1, 90}, {256, 2}, {330, 2}, {100, 8}};
  for (auto c : cases) EXPECT_EQ(maxKeysFor(c.key), c.max) << c.key;
}

TEST_F(NtxTest, WrittenIndexHasThePublishedPageLayout) {
  KeyList keys(8);
  for (uint32_t r = 1; r <= 200; ++r) {
    char k[16];
    std::snprintf(k, sizeof k, "K%07u", r);
    keys.add(k, r);
  }
  auto ix = make("l.ntx", 8, std::move(keys));
  ASSERT_TRUE(ix);
  ix.reset();
  std::string f = fileBytes(dir.file("l.ntx"));
  auto b = reinterpret_cast<const uint8_t*>(f.data());
  ASSERT_EQ(f.size() % 1024, 0u);
  EXPECT_EQ(rd16(b + 18), 54);
  EXPECT_EQ(rd16(b + 20), 27);
  uint32_t root = rd32(b + 4);
  const uint8_t* rp = b + root;
  int n = rd16(rp);
  ASSERT_GE(n, 1);
  // Root is an inner page: every child pointer is a page inside the file,
  // each child a leaf whose keys lie between the root's keys.
  const int isz = 16;
  std::string prev;
  uint32_t total = 0;
  for (int i = 0; i <= n; ++i) {
    const uint8_t* it = rp + rd16(rp + 2 + 2 * i);
    uint32_t c = rd32(it);
    ASSERT_NE(c, 0u);
    ASSERT_EQ(c % 1024, 0u);
    ASSERT_LT(c + 1024, f.size() + 1);
    const uint8_t* lp = b + c;
    int ln = rd16(lp);
    EXPECT_GE(ln, 27);
    EXPECT_LE(ln, 54);
    for (int j = 0; j < ln; ++j) {
      EXPECT_EQ(rd16(lp + 2 + 2 * j), 112 + isz * j);  // canonical slots
      const uint8_t* li = lp + rd16(lp + 2 + 2 * j);
      EXPECT_EQ(rd32(li), 0u);
      std::string k(reinterpret_cast<const char*>(li + 8), 8);
      EXPECT_GT(k, prev);
      prev = k;
      EXPECT_EQ(rd32(li + 4), uint32_t(std::stoul(k.substr(1))));
      ++total;
    }
    if (i < n) {
      std::string k(reinterpret_cast<const char*>(it + 8), 8);
      EXPECT_GT(k, prev);
      prev = k;
      ++total;
    }
  }
  EXPECT_EQ(total, 200u);
}

TEST_F(NtxTest, BuildsOfEverySizeAreSoundAndOrdered) {
  std::mt19937 rng(7);
  for (int ks : {1, 8, 40, 330}) {
    int max = maxKeysFor(ks);
    std::vector<int> sizes = {0, 1, 2, max - 1, max, max + 1, 2 * max + 1, 2 * max + 2,
                              (max + 1) * (max + 1) - 1, (max + 1) * (max + 1), (max + 1) * (max + 1) + 1, 3000};
    for (int n : sizes) {
      if (n < 0 || n > 20000) continue;
      SCOPED_TRACE("key " + std::to_string(ks) + ", " + std::to_string(n) + " keys");
      KeyList keys(ks);
      Model m(ks);
      for (int i = 0; i < n; ++i) {
        std::string k = randomKey(rng, ks, ks == 1 ? 26 : 4);
        keys.add(k, uint32_t(i + 1));
        m.insert(k, uint32_t(i + 1));
      }
      auto ix = make("b.ntx", ks, std::move(keys));
      ASSERT_TRUE(ix);
      expectSame(*ix, m);
    }
  }
}

struct Variant {
  int keySize;
  bool descending;
  bool unique;
};

class NtxChanges : public NtxTest, public ::testing::WithParamInterface<Variant> {};

// Random inserts, deletes and updates against a model, checked after every
// sequence; small key alphabets make many equal keys.
TEST_P(NtxChanges, RandomSequencesKeepTheTreeSound) {
  Variant v = GetParam();
  std::mt19937 rng(1234 + v.keySize);
  auto ix = makeEmpty("r.ntx", v.keySize, v.descending, v.unique);
  ASSERT_TRUE(ix);
  Model m(v.keySize, v.descending, v.unique);
  std::map<uint32_t, std::string> keyOf;
  uint32_t nextRec = 1;
  const int rounds = v.keySize > 100 ? 12 : 25;
  for (int round = 0; round < rounds; ++round) {
    int ops = 150;
    for (int i = 0; i < ops; ++i) {
      int what = int(rng() % 10);
      bool growing = round < rounds / 2;
      if (what < (growing ? 7 : 3) || keyOf.empty()) {
        std::string k = randomKey(rng, v.keySize, v.unique ? 20 : 3);
        uint32_t r = nextRec++;
        bool want = m.insert(k, r);
        ASSERT_EQ(ix->insert(k, r), want);
        if (want) keyOf[r] = m.fit(k);
      } else if (what < 9) {
        auto it = keyOf.begin();
        std::advance(it, rng() % keyOf.size());
        ASSERT_TRUE(ix->remove(it->second, it->first));
        m.remove(it->second, it->first);
        keyOf.erase(it);
      } else {
        auto it = keyOf.begin();
        std::advance(it, rng() % keyOf.size());
        std::string k = m.fit(randomKey(rng, v.keySize, v.unique ? 20 : 3));
        m.remove(it->second, it->first);
        bool want = m.insert(k, it->first);
        EXPECT_EQ(ix->replace(it->second, k, it->first), want);
        if (want)
          it->second = k;
        else
          keyOf.erase(it);
      }
    }
    ASSERT_NO_FATAL_FAILURE(expectSame(*ix, m, ("round " + std::to_string(round)).c_str()));
  }
  // Everything out again: a single empty leaf is left, the rest is free.
  for (auto& [r, k] : keyOf) ASSERT_TRUE(ix->remove(k, r));
  m.items.clear();
  expectSame(*ix, m, "emptied");
  CheckReport rep = check(*ix);
  EXPECT_EQ(rep.pages, 1u);
  EXPECT_FALSE(errors.any());
}

INSTANTIATE_TEST_SUITE_P(Keys, NtxChanges,
                         ::testing::Values(Variant{8, false, false}, Variant{1, false, false},
                                           Variant{10, true, false}, Variant{6, false, true},
                                           Variant{40, true, true}, Variant{200, false, false},
                                           Variant{330, false, false}),
                         [](const auto& info) {
                           return "key" + std::to_string(info.param.keySize) + (info.param.descending ? "_desc" : "") +
                                  (info.param.unique ? "_unique" : "");
                         });

TEST_F(NtxTest, EqualKeysStandInRecordNumberOrder) {
  auto ix = makeEmpty("d.ntx", 4);
  std::vector<uint32_t> recs;
  for (uint32_t r = 1; r <= 500; ++r) recs.push_back(r);
  std::shuffle(recs.begin(), recs.end(), std::mt19937(3));
  for (uint32_t r : recs) ASSERT_TRUE(ix->insert(r % 2 ? "ODD " : "EVEN", r));
  std::vector<Item> all = walkForward(*ix);
  ASSERT_EQ(all.size(), 500u);
  for (size_t i = 1; i < all.size(); ++i) {
    if (all[i].first == all[i - 1].first) EXPECT_LT(all[i - 1].second, all[i].second);
  }
  EXPECT_EQ(all.front(), Item("EVEN", 2));
  EXPECT_EQ(all.back(), Item("ODD ", 499));
  // Seeking a key lands on its lowest record; seeking last on its highest.
  EXPECT_TRUE(ix->seek("ODD"));
  EXPECT_EQ(ix->recno(), 1u);
  EXPECT_TRUE(ix->seek("EVEN", false, true));
  EXPECT_EQ(ix->recno(), 500u);
  // The same holds for a build.
  KeyList keys(4);
  for (uint32_t r : recs) keys.add(r % 2 ? "ODD " : "EVEN", r);
  auto built = make("d2.ntx", 4, std::move(keys));
  EXPECT_EQ(walkForward(*built), all);
}

TEST_F(NtxTest, SeekExactPrefixSoftAndLast) {
  KeyList keys(6);
  const char* ks[] = {"ABC   ", "ABD   ", "ABD   ", "ABDX  ", "B     ", "BA    ", "C     "};
  for (uint32_t i = 0; i < 7; ++i) keys.add(ks[i], i + 1);
  auto ix = make("s.ntx", 6, std::move(keys));
  struct Case {
    const char* key;
    bool soft, last;
    bool found;
    uint32_t rec;  // 0: at the end
  } cases[] = {
      {"ABD", false, false, true, 2},  {"ABD", false, true, true, 4},   {"ABD   ", false, true, true, 3},
      {"AB", false, false, true, 1},   {"AB", false, true, true, 4},    {"ABE", false, false, false, 0},
      {"ABE", true, false, false, 5},  {"ABE", true, true, false, 5},   {"D", true, false, false, 0},
      {"", false, false, true, 1},     {"", false, true, true, 7},      {"0", true, false, false, 1},
      {"BA", false, false, true, 6},   {"ABDXYZW", false, false, false, 0}, {"C     X", false, false, true, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("seek '") + c.key + "' soft " + std::to_string(c.soft) + " last " + std::to_string(c.last));
    EXPECT_EQ(ix->seek(c.key, c.soft, c.last), c.found);
    EXPECT_EQ(ix->recno(), c.rec);
    EXPECT_EQ(ix->onKey(), c.rec != 0);
  }
}

TEST_F(NtxTest, DescendingIndexWalksHighestFirst) {
  KeyList keys(3);
  const char* ks[] = {"AAA", "CCC", "BBB", "BBB", "DDD"};
  for (uint32_t i = 0; i < 5; ++i) keys.add(ks[i], i + 1);
  auto ix = make("desc.ntx", 3, std::move(keys), true);
  ASSERT_TRUE(ix->descending());
  std::vector<Item> want = {{"DDD", 5}, {"CCC", 2}, {"BBB", 3}, {"BBB", 4}, {"AAA", 1}};
  EXPECT_EQ(walkForward(*ix), want);
  EXPECT_TRUE(ix->seek("B"));
  EXPECT_EQ(ix->recno(), 3u);
  EXPECT_FALSE(ix->seek("BC", true));
  EXPECT_EQ(ix->recno(), 3u);  // the next key in index order is the lower one
  EXPECT_FALSE(ix->seek("A0", true));
  EXPECT_FALSE(ix->onKey());
  std::string f = ix->snapshot();
  EXPECT_EQ(uint8_t(f[280]), 1);
}

TEST_F(NtxTest, UniqueIndexKeepsTheFirstRecordOfAKey) {
  KeyList keys(2);
  keys.add("BB", 1);
  keys.add("AA", 2);
  keys.add("BB", 3);
  keys.add("AA", 4);
  auto ix = make("u.ntx", 2, std::move(keys), false, true);
  EXPECT_EQ(walkForward(*ix), (std::vector<Item>{{"AA", 2}, {"BB", 1}}));
  EXPECT_FALSE(ix->insert("AA", 9));
  EXPECT_TRUE(ix->insert("CC", 9));
  EXPECT_EQ(uint8_t(ix->snapshot()[278]), 1);
  CheckReport rep = check(*ix);
  EXPECT_TRUE(rep.ok()) << rep.summary();
}

TEST_F(NtxTest, ConditionMarksTheSignatureAndTheHeader) {
  KeyList keys(2);
  Spec s;
  s.keyExpr = "CODIGO";
  s.forExpr = "VALOR > 0";
  s.keySize = 2;
  auto ix = Index::create(dir.file("f.ntx"), s, keys);
  ASSERT_TRUE(ix);
  ix.reset();
  std::string f = fileBytes(dir.file("f.ntx"));
  EXPECT_EQ(rd16(reinterpret_cast<const uint8_t*>(f.data())), 7);
  EXPECT_EQ(std::string(f.data() + 282), "VALOR > 0");
  auto again = Index::open(dir.file("f.ntx"));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->forExpr(), "VALOR > 0");
  EXPECT_EQ(again->keyExpr(), "CODIGO");
}

TEST_F(NtxTest, SkipAndPositionsWithScopes) {
  KeyList keys(4);
  for (uint32_t r = 1; r <= 1000; ++r) {
    char k[8];
    std::snprintf(k, sizeof k, "%04u", (r * 7919) % 1000);
    keys.add(k, r);
  }
  auto ix = make("sc.ntx", 4, std::move(keys));
  EXPECT_EQ(ix->keyCount(), 1000u);
  ix->setTopScope(std::string("0100"));
  ix->setBottomScope(std::string("0199"));
  EXPECT_EQ(ix->keyCount(), 100u);
  ASSERT_TRUE(ix->goTop());
  EXPECT_EQ(ix->key(), "0100");
  EXPECT_EQ(ix->keyNo(), 1u);
  EXPECT_FALSE(ix->prev());
  EXPECT_EQ(ix->key(), "0100");  // stays on the first key of the scope
  EXPECT_EQ(ix->skip(50), 50);
  EXPECT_EQ(ix->key(), "0150");
  EXPECT_EQ(ix->keyNo(), 51u);
  EXPECT_EQ(ix->skip(100), 49);  // the 50th step falls off the scope: the end
  EXPECT_FALSE(ix->onKey());
  EXPECT_FALSE(ix->next());
  EXPECT_EQ(ix->keyNo(), 0u);
  EXPECT_TRUE(ix->prev());  // from the end back onto the last key in scope
  EXPECT_EQ(ix->key(), "0199");
  ASSERT_TRUE(ix->goBottom());
  EXPECT_EQ(ix->key(), "0199");
  EXPECT_EQ(ix->keyNo(), 100u);
  ASSERT_TRUE(ix->gotoKeyNo(10));
  EXPECT_EQ(ix->key(), "0109");
  EXPECT_FALSE(ix->gotoKeyNo(101));
  // Seeks outside the scope are not found; soft seeks below it land on top.
  EXPECT_FALSE(ix->seek("0500"));
  EXPECT_FALSE(ix->onKey());
  EXPECT_FALSE(ix->seek("0050", true));
  EXPECT_EQ(ix->key(), "0100");
  EXPECT_FALSE(ix->seek("0500", true));
  EXPECT_FALSE(ix->onKey());
  EXPECT_TRUE(ix->seek("015"));
  EXPECT_EQ(ix->key(), "0150");
  // A prefix scope: every key beginning with "02".
  ix->setTopScope(std::string("02"));
  ix->setBottomScope(std::string("02"));
  EXPECT_EQ(ix->keyCount(), 100u);
  ASSERT_TRUE(ix->goBottom());
  EXPECT_EQ(ix->key(), "0299");
  // A scope holding nothing.
  ix->setTopScope(std::string("5"));
  ix->setBottomScope(std::string("4"));
  EXPECT_EQ(ix->keyCount(), 0u);
  EXPECT_FALSE(ix->goTop());
  EXPECT_FALSE(ix->goBottom());
  ix->setTopScope(std::nullopt);
  ix->setBottomScope(std::nullopt);
  EXPECT_EQ(ix->keyCount(), 1000u);
  // Key positions everywhere agree with walking.
  uint64_t no = 0;
  for (bool on = ix->goTop(); on; on = ix->next()) ASSERT_EQ(ix->keyNo(), ++no);
  for (uint64_t i = 1; i <= 1000; i += 37) {
    ASSERT_TRUE(ix->gotoKeyNo(i));
    EXPECT_EQ(ix->keyNo(), i);
  }
}

TEST_F(NtxTest, FreedPagesAreChainedAndReused) {
  auto ix = makeEmpty("fr.ntx", 8);
  for (uint32_t r = 1; r <= 3000; ++r) ix->insert("K" + std::to_string(100000 + r), r);
  int64_t sizeFull = plat::statPath(dir.file("fr.ntx")).size;
  for (uint32_t r = 1; r <= 2900; ++r) ASSERT_TRUE(ix->remove("K" + std::to_string(100000 + r), r));
  CheckReport rep = check(*ix);
  EXPECT_TRUE(rep.ok()) << rep.summary();
  EXPECT_GT(rep.freePages, 40u);
  uint64_t freeBefore = rep.freePages;
  for (uint32_t r = 1; r <= 2900; ++r) ix->insert("J" + std::to_string(100000 + r), r);
  rep = check(*ix);
  EXPECT_TRUE(rep.ok()) << rep.summary();
  EXPECT_LT(rep.freePages, freeBefore);
  EXPECT_LE(plat::statPath(dir.file("fr.ntx")).size, sizeFull + 2 * 1024);
}

TEST_F(NtxTest, ChangesPersistAndTheCounterAdvances) {
  auto ix = makeEmpty("p.ntx", 5);
  EXPECT_EQ(ix->changeCounter(), 1);
  ix->insert("HELLO", 1);
  ix->insert("WORLD", 2);
  EXPECT_EQ(ix->changeCounter(), 3);
  EXPECT_FALSE(ix->insert("HELLO", 1));  // present: no change
  EXPECT_EQ(ix->changeCounter(), 3);
  ix.reset();
  auto again = Index::open(dir.file("p.ntx"));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->changeCounter(), 3);
  EXPECT_EQ(walkForward(*again), (std::vector<Item>{{"HELLO", 1}, {"WORLD", 2}}));
}

TEST_F(NtxTest, RebuildReplacesEverything) {
  auto ix = makeEmpty("rb.ntx", 4);
  for (uint32_t r = 1; r <= 2000; ++r) ix->insert(std::to_string(1000 + r % 900), r);
  KeyList keys(4);
  for (uint32_t r = 1; r <= 10; ++r) keys.add("Z" + std::to_string(r % 10), r);
  ASSERT_TRUE(ix->rebuild(keys));
  EXPECT_EQ(ix->keyCount(), 10u);
  EXPECT_EQ(plat::statPath(dir.file("rb.ntx")).size, 2048);
  CheckReport rep = check(*ix);
  EXPECT_TRUE(rep.ok()) << rep.summary();
  EXPECT_TRUE(ix->seek("Z5"));
  EXPECT_EQ(ix->recno(), 5u);
}

TEST_F(NtxTest, PositionSurvivesChangesAroundIt) {
  auto ix = makeEmpty("pos.ntx", 6);
  for (uint32_t r = 1; r <= 600; ++r) ix->insert(std::to_string(100000 + r * 2), r);
  ASSERT_TRUE(ix->seek("100600"));
  uint32_t here = ix->recno();
  // Splits and merges all around the current key.
  for (uint32_t r = 1; r <= 600; ++r) ix->insert(std::to_string(100000 + r * 2 + 1), 1000 + r);
  for (uint32_t r = 1; r <= 250; ++r) ix->remove(std::to_string(100000 + r * 2), r);
  EXPECT_EQ(ix->recno(), here);
  ASSERT_TRUE(ix->next());
  EXPECT_EQ(ix->key(), "100601");
  ASSERT_TRUE(ix->prev());
  EXPECT_EQ(ix->key(), "100600");
  // The current key removed: the next one is the key after it.
  ix->remove("100600", here);
  ASSERT_TRUE(ix->next());
  EXPECT_EQ(ix->key(), "100601");
  ix->remove("100601", ix->recno());
  ASSERT_TRUE(ix->prev());
  EXPECT_EQ(ix->key(), "100599");
}

TEST_F(NtxTest, CachedSeeksReadNoPagesAndChangesWriteOnlyTheirPages) {
  KeyList keys(8);
  for (uint32_t r = 1; r <= 10000; ++r) {
    char k[16];
    std::snprintf(k, sizeof k, "%08u", r * 3);
    keys.add(k, r);
  }
  auto ix = make("c.ntx", 8, std::move(keys));
  const uint64_t headerReads = ix->stats().headerReads;
  std::mt19937 rng(5);
  for (int i = 0; i < 2000; ++i) {
    char k[16];
    std::snprintf(k, sizeof k, "%08u", uint32_t(rng() % 10000 + 1) * 3);
    ASSERT_TRUE(ix->seek(k));
  }
  uint64_t reads = ix->stats().pageReads;
  for (int i = 0; i < 2000; ++i) {
    char k[16];
    std::snprintf(k, sizeof k, "%08u", uint32_t(rng() % 10000 + 1) * 3);
    ASSERT_TRUE(ix->seek(k));
  }
  EXPECT_EQ(ix->stats().pageReads, reads);
  // A seek-and-update run: each change writes its leaf (and the header).
  uint64_t writes = ix->stats().pageWrites;
  for (uint32_t r = 1; r <= 100; ++r) {
    char k[16];
    std::snprintf(k, sizeof k, "%08u", r * 3);
    ASSERT_TRUE(ix->seek(k));
    std::snprintf(k, sizeof k, "%08u", r * 3 + 1);
    ASSERT_TRUE(ix->replace(ix->key(), k, r));
  }
  EXPECT_EQ(ix->stats().pageReads, reads);
  EXPECT_LE(ix->stats().pageWrites - writes, 100u * 3);
  EXPECT_EQ(ix->stats().headerReads, headerReads);  // exclusive use: the header is not reread
}

TEST_F(NtxTest, ReadOnlyIndexRefusesChanges) {
  makeEmpty("ro.ntx", 3).reset();
  OpenOptions opt;
  opt.readOnly = true;
  auto ix = Index::open(dir.file("ro.ntx"), opt);
  ASSERT_TRUE(ix);
  EXPECT_FALSE(ix->insert("abc", 1));
  ASSERT_EQ(errors.errors.size(), 1u);
  EXPECT_EQ(errors.errors[0].genCode, rt::kErrReadOnly);
  EXPECT_EQ(errors.errors[0].subsystem, "DBFNTX");
  EXPECT_EQ(errors.errors[0].filename, plat::absolutePath(dir.file("ro.ntx")));
}

TEST_F(NtxTest, MissingFileIsAnOpenError) {
  auto ix = Index::open(dir.file("none.ntx"));
  EXPECT_FALSE(ix);
  ASSERT_EQ(errors.errors.size(), 1u);
  EXPECT_EQ(errors.errors[0].genCode, rt::kErrOpen);
  EXPECT_EQ(errors.errors[0].osCode, plat::kNotFound);
}

TEST_F(NtxTest, KeysAreCutOrPaddedToTheKeySize) {
  auto ix = makeEmpty("pad.ntx", 5);
  ix->insert("AB", 1);
  ix->insert("ABCDEFG", 2);
  EXPECT_EQ(walkForward(*ix), (std::vector<Item>{{"AB   ", 1}, {"ABCDE", 2}}));
  EXPECT_TRUE(ix->remove("ABCDEXX", 2));
}

}  // namespace
}  // namespace kor::tables::ntx
