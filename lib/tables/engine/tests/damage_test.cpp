// Damaged files: every one gives an open or read error that names the file,
// never a crash or a read outside the data.
#include <cstring>
#include <filesystem>
#include <functional>

#include "tables/engine/errors.h"
#include "tables/engine/tests/fixture.h"

namespace kor::tables::testing {
namespace {

using Damage = EngineTest;

void set32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}
void setBe32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * (3 - i)));
}

// A table with a text, a number and a memo field and three records; the
// memo of record 1 lives in FPT block 8.
void makeSample(Damage& t) {
  ASSERT_TRUE(createTable("amostra", {{"A", 'C', 10, 0}, {"N", 'N', 5, 0}, {"M", 'M', 10, 0}}));
  WorkArea* a = t.use("amostra", false);
  for (int i = 1; i <= 3; ++i) {
    a->append();
    a->putField(1, Value("linha " + std::to_string(i)));
    a->putField(2, Value(i));
    a->putField(3, Value("memo " + std::to_string(i)));
  }
  closeAll();
}

struct Case {
  const char* what;
  const char* file;                        // the file to damage
  std::function<void(std::string&)> harm;  // applied to its bytes
  int genCode;                             // open or read error
  int subCode;
  const char* named;                       // the file the error names
};

TEST_F(Damage, EachDamageGivesAnErrorNamingTheFile) {
  const unsigned hl = 32 * 4 + 1, rl = 1 + 10 + 5 + 10;
  const Case cases[] = {
      {"empty file", "amostra.dbf", [](std::string& b) { b.clear(); }, rt::kErrOpen, kSubTruncated, "amostra.dbf"},
      {"cut inside the header", "amostra.dbf", [](std::string& b) { b.resize(50); }, rt::kErrOpen, kSubTruncated,
       "amostra.dbf"},
      {"not a table", "amostra.dbf", [](std::string& b) { b = std::string(400, 'x'); }, rt::kErrOpen, kSubNotDbf,
       "amostra.dbf"},
      {"count beyond the end", "amostra.dbf", [](std::string& b) { set32(b, 4, 4); }, rt::kErrOpen, kSubCountBeyondEnd,
       "amostra.dbf"},
      {"records cut off", "amostra.dbf", [=](std::string& b) { b.resize(hl + rl + 5); }, rt::kErrOpen,
       kSubCountBeyondEnd, "amostra.dbf"},
      {"header length shorter than the fields", "amostra.dbf", [](std::string& b) { b[8] = 70; b[9] = 0; },
       rt::kErrOpen, kSubHeaderLength, "amostra.dbf"},
      {"field of length zero", "amostra.dbf", [](std::string& b) { b[64 + 16] = 0; }, rt::kErrOpen, kSubBadField,
       "amostra.dbf"},
      {"broken terminator", "amostra.dbf", [=](std::string& b) { b[hl - 1] = 'X'; }, rt::kErrOpen, kSubNoTerminator,
       "amostra.dbf"},
      {"record length disagrees", "amostra.dbf", [](std::string& b) { b[10] = 30; }, rt::kErrOpen, kSubRecordLength,
       "amostra.dbf"},
      {"memo file missing", "amostra.fpt", nullptr, rt::kErrOpen, kSubMemoMissing, "amostra.fpt"},
      {"memo pointer beyond the memo file", "amostra.dbf",
       [=](std::string& b) { b.replace(hl + 16, 10, "      5000"); }, rt::kErrRead, kSubMemoPointer, "amostra.fpt"},
      {"memo pointer into the memo header", "amostra.dbf", [=](std::string& b) { b.replace(hl + 16, 10, "         3"); },
       rt::kErrRead, kSubMemoPointer, "amostra.fpt"},
      {"absurd memo length", "amostra.fpt", [](std::string& b) { setBe32(b, 8 * 64 + 4, 0x7FFFFFF0); }, rt::kErrRead,
       kSubMemoBlock, "amostra.fpt"},
      {"memo block cut short", "amostra.fpt", [](std::string& b) { b.resize(8 * 64 + 4); }, rt::kErrRead,
       kSubMemoBlock, "amostra.fpt"},
      {"memo block size zero", "amostra.fpt", [](std::string& b) { b[6] = 0; b[7] = 0; }, rt::kErrOpen,
       kSubMemoHeader, "amostra.fpt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    closeAll();
    errors.clear();
    makeSample(*this);
    if (c.harm) {
      std::string b = bytes(c.file);
      c.harm(b);
      writeBytes(c.file, b);
    } else {
      fs::remove(path(c.file));
    }
    WorkArea* a = use("amostra");
    if (a) {
      a->goTop();
      for (int i = 1; i <= a->fieldCount(); ++i) a->getField(i);
    }
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0].genCode, c.genCode);
    EXPECT_EQ(errors[0].subCode, c.subCode);
    EXPECT_EQ(errors[0].subsystem, "DBFNTX");
    EXPECT_EQ(errors[0].filename, path(c.named));
    EXPECT_EQ(a != nullptr, c.genCode == rt::kErrRead);
  }
}

TEST_F(Damage, ARecordCutOffAfterTheOpenIsAReadError) {
  makeSample(*this);
  WorkArea* a = use("amostra");
  ASSERT_NE(a, nullptr);
  fs::resize_file(path("amostra.dbf"), 32 * 4 + 1 + 26 + 10);
  a->goTo(3);
  Value v = a->getField(1);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].genCode, rt::kErrRead);
  EXPECT_EQ(errors[0].subCode, kSubRecordMissing);
  EXPECT_EQ(errors[0].filename, path("amostra.dbf"));
  EXPECT_EQ(v.str(), std::string(10, ' '));  // a blank stand-in
  // The stand-in is never written back over the record.
  a->lockRecord();
  errors.clear();
  EXPECT_FALSE(a->putField(1, Value("x")));
  a->unlock();
}

TEST_F(Damage, ALaterLayoutTableOpensReadOnly) {
  makeSample(*this);
  std::string b = bytes("amostra.dbf");
  b[0] = 0x30;  // the later layout (its memo pointers are binary: drop the memo field's use)
  writeBytes("amostra.dbf", b);
  WorkArea* a = use("amostra", false);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->readOnly());
  EXPECT_EQ(a->getField(1).str(), "linha 1   ");
  EXPECT_FALSE(a->putField(1, Value("x")));
  EXPECT_EQ(lastError()->genCode, rt::kErrReadOnly);
}

TEST_F(Damage, FieldTypesWeDoNotWriteAreReadOnlySafe) {
  // A table of another program with a double (B), a currency (Y), a date
  // and time (T) and an unknown raw type (V).
  dbf::Header h;
  h.fields = {{"D", 'B', 8, 2, 0}, {"Y", 'Y', 8, 4, 0}, {"T", 'T', 8, 0, 0}, {"V", 'V', 4, 0, 0}};
  std::string b = dbf::buildHeader(h);
  std::string rec(1 + 28, '\0');
  rec[0] = ' ';
  double d = 2.75;
  std::memcpy(&rec[1], &d, 8);
  int64_t y = 123456;  // 12.3456
  std::memcpy(&rec[9], &y, 8);
  int32_t jd = Value::ymd(2021, 12, 9).julian(), ms = 3600000;
  std::memcpy(&rec[17], &jd, 4);
  std::memcpy(&rec[21], &ms, 4);
  rec.replace(25, 4, "abcd");
  set32(b, 4, 1);
  writeBytes("outro.dbf", b + rec + "\x1A");
  WorkArea* a = use("outro", false);
  ASSERT_NE(a, nullptr);
  EXPECT_DOUBLE_EQ(a->getField(1).num(), 2.75);
  EXPECT_DOUBLE_EQ(a->getField(2).num(), 12.3456);
  EXPECT_EQ(a->getField(3).julian(), jd);
  EXPECT_EQ(a->getField(3).dateTime().millis, ms);
  EXPECT_EQ(a->getField(4).str(), "abcd");
  EXPECT_FALSE(a->putField(1, Value::number(1, 0)));
  EXPECT_EQ(lastError()->genCode, rt::kErrDataType);
  EXPECT_EQ(lastError()->subCode, kSubFieldType);
  closeAll();
  EXPECT_EQ(bytes("outro.dbf"), b + rec + "\x1A");  // untouched
}

}  // namespace
}  // namespace kor::tables::testing
