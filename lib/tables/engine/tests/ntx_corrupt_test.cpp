// Damaged index files: every damage gives the corruption error (generic
// code 32, subsystem DBFNTX, the file's full path), never a crash, an
// endless loop or a read outside a page; the checker names the damage.
#include <gtest/gtest.h>

#include <functional>

#include "tables/engine/ntx_internal.h"
#include "tables/engine/tests/ntx_testutil.h"

namespace kor::tables::ntx {
namespace {

using namespace ntx::testing;

// A three-level index: 4-byte keys (max 72), 6000 keys; its layout is read
// back so that each case can patch a chosen spot.
struct Sample {
  std::string bytes;
  uint32_t root = 0;
  uint32_t inner = 0;  // first child of the root (an inner page)
  uint32_t leaf = 0;   // first child of that page (a leaf)
};

Sample makeSample(const std::string& path, bool withFree) {
  KeyList keys(4);
  for (uint32_t r = 1; r <= 6000; ++r) {
    char k[8];
    std::snprintf(k, sizeof k, "%04u", r % 10000);
    keys.add(k, r);
  }
  Spec s;
  s.keyExpr = "CODIGO";
  s.keySize = 4;
  auto ix = Index::create(path, s, keys);
  if (withFree)
    for (uint32_t r = 1; r <= 3000; ++r) {
      char k[8];
      std::snprintf(k, sizeof k, "%04u", r % 10000);
      ix->remove(k, r);
    }
  ix.reset();
  Sample smp;
  smp.bytes = *plat::readWholeFile(path);
  auto b = reinterpret_cast<const uint8_t*>(smp.bytes.data());
  smp.root = rd32(b + 4);
  auto firstChild = [&](uint32_t page) { return rd32(b + page + rd16(b + page + 2)); };
  smp.inner = firstChild(smp.root);
  smp.leaf = firstChild(smp.inner);
  return smp;
}

struct Patch {
  const char* name;
  bool withFree;
  std::function<void(std::string&, const Sample&)> apply;
};

void put16(std::string& f, size_t at, uint16_t v) { wr16(reinterpret_cast<uint8_t*>(&f[at]), v); }
void put32(std::string& f, size_t at, uint32_t v) { wr32(reinterpret_cast<uint8_t*>(&f[at]), v); }
uint16_t get16(const std::string& f, size_t at) { return rd16(reinterpret_cast<const uint8_t*>(&f[at])); }
// Offset of the item in slot i of a page.
size_t itemAt(const std::string& f, uint32_t page, int i) { return page + get16(f, page + 2 + 2 * i); }

const Patch kPatches[] = {
    {"root offset beyond the end", false, [](std::string& f, const Sample&) { put32(f, 4, 900 * 1024); }},
    {"root offset not on a page", false, [](std::string& f, const Sample&) { put32(f, 4, 1000); }},
    {"root offset zero", false, [](std::string& f, const Sample&) { put32(f, 4, 0); }},
    {"child beyond the end", false,
     [](std::string& f, const Sample& s) { put32(f, itemAt(f, s.root, 0), 5000 * 1024); }},
    {"child pointing to its own page", false,
     [](std::string& f, const Sample& s) { put32(f, itemAt(f, s.inner, 1), s.inner); }},
    {"child pointing to the root (a cycle)", false,
     [](std::string& f, const Sample& s) { put32(f, itemAt(f, s.inner, 0), s.root); }},
    {"right-most child pointing to the root", false,
     [](std::string& f, const Sample& s) { put32(f, itemAt(f, s.inner, get16(f, s.inner)), s.root); }},
    {"item count larger than the page", false, [](std::string& f, const Sample& s) { put16(f, s.leaf, 500); }},
    {"item count of the root larger than the page", false,
     [](std::string& f, const Sample& s) { put16(f, s.root, 73); }},
    {"slot outside the page", false, [](std::string& f, const Sample& s) { put16(f, s.leaf + 2, 1020); }},
    {"slot inside the offset table", false, [](std::string& f, const Sample& s) { put16(f, s.leaf + 4, 10); }},
    {"two slots on one item", false,
     [](std::string& f, const Sample& s) { put16(f, s.leaf + 4, get16(f, s.leaf + 2)); }},
    {"key size disagreeing with the item size", false, [](std::string& f, const Sample&) { put16(f, 14, 9); }},
    {"key size zero", false, [](std::string& f, const Sample&) { put16(f, 14, 0); put16(f, 12, 8); }},
    {"max keys too large for a page", false, [](std::string& f, const Sample&) { put16(f, 18, 200); }},
    {"unknown signature", false, [](std::string& f, const Sample&) { put16(f, 0, 0x4242); }},
    {"truncated page", false, [](std::string& f, const Sample&) { f.resize(f.size() - 300); }},
    {"truncated to the header", false, [](std::string& f, const Sample&) { f.resize(1024); }},
    {"truncated header", false, [](std::string& f, const Sample&) { f.resize(700); }},
    {"an inner page turned into a leaf", false,
     [](std::string& f, const Sample& s) { put32(f, itemAt(f, s.inner, 0), 0); }},
    {"free chain pointing to itself", true,
     [](std::string& f, const Sample&) {
       uint32_t head = rd32(reinterpret_cast<const uint8_t*>(&f[8]));
       put32(f, head, head);
     }},
    {"free chain beyond the end", true, [](std::string& f, const Sample&) { put32(f, 8, 7777 * 1024); }},
};

class NtxCorrupt : public ::testing::TestWithParam<Patch> {};

TEST_P(NtxCorrupt, GivesTheCorruptionErrorAndNeverCrashes) {
  const Patch& p = GetParam();
  TempDir dir;
  std::string path = dir.file("BROKEN.NTX");
  Sample s = makeSample(path, p.withFree);
  ASSERT_NE(s.inner, 0u);
  std::string damaged = s.bytes;
  p.apply(damaged, s);
  ASSERT_EQ(plat::writeWholeFile(path, damaged), 0);

  // The checker sees it.
  CheckReport rep = checkBytes(damaged);
  EXPECT_FALSE(rep.ok()) << p.name;

  ErrorCatcher errors;
  auto ix = Index::open(path);
  if (ix) {
    // Everything a program does with an index, each bounded.
    ix->goTop();
    for (int i = 0; i < 20000 && ix->next(); ++i) {
    }
    ix->goBottom();
    for (int i = 0; i < 20000 && ix->prev(); ++i) {
    }
    ix->keyCount();
    for (const char* k : {"0001", "3000", "5999", "9999", "", "30"}) {
      ix->seek(k);
      ix->seek(k, true, true);
      ix->keyNo();
    }
    ix->gotoKeyNo(4000);
    for (uint32_t r = 1; r <= 300; ++r) ix->insert("1234", 10000 + r);
    for (uint32_t r = 1; r <= 300; ++r) {
      char k[8];
      std::snprintf(k, sizeof k, "%04u", r);
      ix->remove(k, r);
    }
    ix->rebuild(*std::make_unique<KeyList>(4));  // rebuilding mends it
    EXPECT_TRUE(check(*ix).ok()) << p.name;
  }
  ASSERT_TRUE(errors.any()) << p.name;
  const rt::ErrorRecord& e = errors.errors[0];
  EXPECT_EQ(e.genCode, rt::kErrCorruption) << p.name;
  EXPECT_EQ(e.subsystem, "DBFNTX");
  EXPECT_EQ(e.filename, plat::absolutePath(path));
  EXPECT_TRUE(e.cargo.isText()) << p.name;  // the detail
}

INSTANTIATE_TEST_SUITE_P(Damage, NtxCorrupt, ::testing::ValuesIn(kPatches), [](const auto& info) {
  std::string n;
  for (const char* c = info.param.name; *c; ++c) n += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return n;
});

TEST(NtxCheck, NamesWhatIsWrong) {
  TempDir dir;
  Sample s = makeSample(dir.file("x.ntx"), false);
  EXPECT_TRUE(checkBytes(s.bytes).ok()) << checkBytes(s.bytes).summary();
  struct Case {
    std::function<void(std::string&)> apply;
    const char* says;
  } cases[] = {
      {[&](std::string& f) { f.replace(itemAt(f, s.leaf, 0) + 8, 4, "9999"); }, "out of order"},
      {[&](std::string& f) {
         put32(f, itemAt(f, s.leaf, 1) + 4, rd32(reinterpret_cast<const uint8_t*>(&f[itemAt(f, s.leaf, 0) + 4])));
       },
       "indexed twice"},
      {[&](std::string& f) { put16(f, s.leaf, 3); }, "fewer than half"},
      {[&](std::string& f) { f.resize(f.size() + 1024); }, "neither in the tree nor free"},
      {[&](std::string& f) { put32(f, 8, s.leaf); }, "free page"},
      {[&](std::string& f) { f.resize(f.size() + 10); }, "not whole pages"},
  };
  for (auto& c : cases) {
    std::string f = s.bytes;
    c.apply(f);
    CheckReport rep = checkBytes(f);
    EXPECT_FALSE(rep.ok()) << c.says;
    EXPECT_NE(rep.summary().find(c.says), std::string::npos) << rep.summary();
  }
  CheckOptions opt;
  opt.recordCount = 10;
  EXPECT_NE(checkBytes(s.bytes, opt).summary().find("out of range"), std::string::npos);
}

}  // namespace
}  // namespace kor::tables::ntx
