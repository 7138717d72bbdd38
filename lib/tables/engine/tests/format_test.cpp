// The DBF layout byte for byte: headers, descriptors, value text forms, and
// the refusal of damaged headers.
#include "tables/engine/dbfformat.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kor::tables::dbf {
namespace {

std::vector<FieldDesc> sampleFields() {
  return {{"NOME", 'C', 300, 0, 0}, {"VALOR", 'N', 8, 2, 0}, {"DATA", 'D', 8, 0, 0},
          {"ATIVO", 'L', 1, 0, 0},  {"OBS", 'M', 10, 0, 0}};
}

TEST(Format, HeaderBytes) {
  Header h;
  h.fields = sampleFields();
  h.version = versionFor(MemoKind::Fpt);
  h.year = 126;
  h.month = 3;
  h.day = 9;
  h.recCount = 7;
  std::string b = buildHeader(h);
  const auto* p = reinterpret_cast<const uint8_t*>(b.data());
  ASSERT_EQ(b.size(), 32u * 6 + 1);
  EXPECT_EQ(p[0], 0xF5);
  EXPECT_EQ(p[1], 126);
  EXPECT_EQ(p[2], 3);
  EXPECT_EQ(p[3], 9);
  EXPECT_EQ(p[4], 7);
  EXPECT_EQ(p[8] | p[9] << 8, 32 * 6 + 1);
  EXPECT_EQ(p[10] | p[11] << 8, 1 + 300 + 8 + 8 + 1 + 10);
  for (int i = 12; i < 32; ++i) EXPECT_EQ(p[i], 0) << i;
  // C(300): low byte at 16, high byte in the decimals byte at 17.
  EXPECT_EQ(std::string(b.data() + 32, 11), std::string("NOME\0\0\0\0\0\0\0", 11));
  EXPECT_EQ(p[32 + 11], 'C');
  EXPECT_EQ(p[32 + 16], 300 & 0xFF);
  EXPECT_EQ(p[32 + 17], 1);
  EXPECT_EQ(p[64 + 11], 'N');
  EXPECT_EQ(p[64 + 16], 8);
  EXPECT_EQ(p[64 + 17], 2);
  for (int i = 18; i < 32; ++i) EXPECT_EQ(p[64 + i], 0);
  EXPECT_EQ(p[b.size() - 1], 0x0D);

  Header back;
  ASSERT_TRUE(parseHeader(p, b.size(), back).ok());
  ASSERT_EQ(back.fields.size(), 5u);
  EXPECT_EQ(back.fields[0].len, 300);
  EXPECT_EQ(back.fields[1].offset, 301u);
  EXPECT_EQ(back.fields[1].dec, 2);
  EXPECT_EQ(back.fields[4].offset, 1u + 300 + 8 + 8 + 1);
  EXPECT_EQ(back.memoKind, MemoKind::Fpt);
  EXPECT_EQ(back.recCount, 7u);
}

void set16(std::string& b, size_t at, unsigned v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

// A valid header with two fields, then damaged one way at a time.
struct Damage {
  const char* what;
  void (*apply)(std::string& b);
  Fault expected;
};

TEST(Format, DamagedHeadersAreRefused) {
  Header h;
  h.fields = {{"A", 'C', 10, 0, 0}, {"B", 'N', 5, 0, 0}};
  const std::string good = buildHeader(h);
  const Damage cases[] = {
      {"cut to 20 bytes", [](std::string& b) { b.resize(20); }, Fault::Truncated},
      {"cut inside the descriptors", [](std::string& b) { b.resize(70); }, Fault::Truncated},
      {"unknown version", [](std::string& b) { b[0] = 0x04; }, Fault::NotDbf},
      {"header length too short for the fields", [](std::string& b) { set16(b, 8, 65); }, Fault::BadHeaderLength},
      {"header length below the minimum", [](std::string& b) { set16(b, 8, 10); }, Fault::BadHeaderLength},
      {"zero field length", [](std::string& b) { b[64 + 16] = 0; }, Fault::BadField},
      {"empty field name", [](std::string& b) { b[32] = 0; }, Fault::BadField},
      {"unknown field type", [](std::string& b) { b[32 + 11] = 'Z'; }, Fault::BadField},
      {"date of length 3", [](std::string& b) { b[64 + 11] = 'D'; b[64 + 16] = 3; }, Fault::BadField},
      {"broken terminator", [](std::string& b) { b[96] = 0x20; }, Fault::NoTerminator},
      {"record length disagrees", [](std::string& b) { set16(b, 10, 99); }, Fault::BadRecordLength},
  };
  for (const Damage& c : cases) {
    std::string b = good;
    c.apply(b);
    Header out;
    Parsed r = parseHeader(reinterpret_cast<const uint8_t*>(b.data()), b.size(), out);
    EXPECT_EQ(r.fault, c.expected) << c.what << ": " << r.detail;
    EXPECT_FALSE(r.detail.empty()) << c.what;
  }
}

TEST(Format, CountAndSizeAgainstTheFile) {
  Header h;
  h.fields = {{"A", 'C', 10, 0, 0}};
  buildHeader(h);
  h.recCount = 3;
  int64_t exact = h.headerLen + 3 * h.recordLen;
  EXPECT_TRUE(checkFileSize(h, exact).ok());           // no end-of-file mark needed
  EXPECT_TRUE(checkFileSize(h, exact + 1).ok());       // with it
  EXPECT_EQ(checkFileSize(h, exact - 1).fault, Fault::CountBeyondEnd);
  EXPECT_EQ(checkFileSize(h, h.headerLen - 1).fault, Fault::Truncated);
  EXPECT_EQ(recordsInFile(h, exact + 5), 3u);
}

TEST(Format, LongTextLengthWithGarbageInTheDecimalsByte) {
  // A writer that does not know long text fields left a 1 in the decimals
  // byte of a C(20); the record length settles it.
  Header h;
  h.fields = {{"A", 'C', 20, 0, 0}};
  std::string b = buildHeader(h);
  b[32 + 17] = 1;
  Header out;
  ASSERT_TRUE(parseHeader(reinterpret_cast<const uint8_t*>(b.data()), b.size(), out).ok());
  EXPECT_EQ(out.fields[0].len, 20);
}

TEST(Format, ValueTextForms) {
  char buf[16];
  FieldDesc n{"N", 'N', 8, 2, 0};
  struct NumCase {
    double v;
    const char* text;
  } nums[] = {{12.5, "   12.50"}, {-3.25, "   -3.25"}, {-0.5, "   -0.50"}, {12345.678, "12345.68"}, {0, "    0.00"}};
  for (auto& c : nums) {
    ASSERT_EQ(encode(n, Value::number(c.v, 2), buf), PutResult::Ok);
    EXPECT_EQ(std::string(buf, 8), c.text);
    EXPECT_DOUBLE_EQ(decode(n, buf).num(), roundHalfAway(c.v, 2));
    EXPECT_EQ(decode(n, buf).decimals(), 2);
  }
  EXPECT_EQ(encode(n, Value::number(123456.7, 1), buf), PutResult::TooWide);
  EXPECT_EQ(encode(n, Value("12"), buf), PutResult::TypeMismatch);
  EXPECT_DOUBLE_EQ(decode(n, "        ").num(), 0.0);
  EXPECT_DOUBLE_EQ(decode(n, "********").num(), 0.0);

  FieldDesc d{"D", 'D', 8, 0, 0};
  ASSERT_EQ(encode(d, Value::ymd(2024, 1, 31), buf), PutResult::Ok);
  EXPECT_EQ(std::string(buf, 8), "20240131");
  EXPECT_EQ(decode(d, "20240131").julian(), Value::ymd(2024, 1, 31).julian());
  ASSERT_EQ(encode(d, Value::emptyDate(), buf), PutResult::Ok);
  EXPECT_EQ(std::string(buf, 8), "        ");
  EXPECT_TRUE(decode(d, "2024XX31").dateTime().empty());

  FieldDesc l{"L", 'L', 1, 0, 0};
  for (char c : std::string("TtYy")) EXPECT_TRUE(decode(l, &c).log());
  for (char c : std::string("FfNn? ")) EXPECT_FALSE(decode(l, &c).log());

  FieldDesc c10{"C", 'C', 5, 0, 0};
  ASSERT_EQ(encode(c10, Value("abcdefg"), buf), PutResult::Ok);
  EXPECT_EQ(std::string(buf, 5), "abcde");
  ASSERT_EQ(encode(c10, Value("ab"), buf), PutResult::Ok);
  EXPECT_EQ(std::string(buf, 5), "ab   ");

  FieldDesc m{"M", 'M', 10, 0, 0};
  encodeMemoPointer(m, 42, buf);
  EXPECT_EQ(std::string(buf, 10), "        42");
  EXPECT_EQ(memoPointer(m, "0000000042"), 42u);
  EXPECT_EQ(memoPointer(m, "          "), 0u);

  FieldDesc i{"I", 'I', 4, 0, 0};
  ASSERT_EQ(encode(i, Value(-2), buf), PutResult::Ok);
  EXPECT_EQ(std::string(buf, 4), std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_EQ(decode(i, buf).num(), -2);
  EXPECT_EQ(encode(i, Value::number(3e9), buf), PutResult::TooWide);
}

}  // namespace
}  // namespace kor::tables::dbf
