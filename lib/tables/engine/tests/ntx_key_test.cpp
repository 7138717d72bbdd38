// Key encoding: byte order of the keys equals the order of their values.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tables/engine/ntxkey.h"
#include "values/textform.h"

namespace kor::tables::ntx {
namespace {

TEST(NtxKey, NumbersAsPublished) {
  struct Case {
    double n;
    int size, dec;
    const char* key;
  } cases[] = {
      {12.5, 8, 2, "00012.50"},  {-12.5, 8, 2, ",,,+*.',"}, {0, 8, 2, "00000.00"},   {-0.001, 8, 2, "00000.00"},
      {-3.25, 8, 2, ",,,,).*'"}, {42, 5, 0, "00042"},       {-42, 5, 0, ",,,(*"},      {99999, 5, 0, "99999"},
      {123456, 5, 0, "99999"},   {-123456, 5, 0, "#####"},  {1e300, 6, 2, "999.99"},   {-1e300, 6, 2, "###.##"},
      {2.675, 6, 2, "002.68"},   {7, 1, 0, "7"},            {0.5, 3, 0, "001"},        {-0.5, 3, 0, ",,+"},
  };
  for (const Case& c : cases) EXPECT_EQ(numberKey(c.n, c.size, c.dec), c.key) << c.n << " in " << c.size << "," << c.dec;
}

TEST(NtxKey, NumberBytesSortInNumericOrder) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> d(-99999.0, 99999.0);
  for (int dec : {0, 2, 4}) {
    const int size = 12;
    std::vector<double> xs;
    for (int i = 0; i < 20000; ++i) xs.push_back(roundHalfAway(d(rng) / (i % 3 ? 1 : 1000), dec));
    xs.push_back(0);
    xs.push_back(-0.0);
    std::vector<std::pair<std::string, double>> keyed;
    for (double x : xs) keyed.emplace_back(numberKey(x, size, dec), x);
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 1; i < keyed.size(); ++i)
      ASSERT_LE(keyed[i - 1].second, keyed[i].second) << keyed[i - 1].first << " / " << keyed[i].first;
    // And back again.
    KeyFormat f{KeyType::Number, size, dec};
    for (size_t i = 0; i < keyed.size(); i += 97) {
      Value v = decodeKey(keyed[i].first, f);
      EXPECT_DOUBLE_EQ(v.num(), keyed[i].second == 0 ? 0.0 : keyed[i].second);
      EXPECT_EQ(v.decimals(), dec);
    }
  }
}

TEST(NtxKey, FormatsOfValues) {
  auto f = keyFormatOf(Value("ABC"));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->type, KeyType::Text);
  EXPECT_EQ(f->size, 3);
  f = keyFormatOf(Value::number(5, 2, 8));
  EXPECT_EQ(f->type, KeyType::Number);
  EXPECT_EQ(f->size, 8);
  EXPECT_EQ(f->decimals, 2);
  f = keyFormatOf(Value::number(5, 2));  // no width: the number's own
  EXPECT_EQ(f->size, 13);
  f = keyFormatOf(Value::ymd(2024, 1, 31));
  EXPECT_EQ(f->type, KeyType::Date);
  EXPECT_EQ(f->size, 8);
  f = keyFormatOf(Value::logical(true));
  EXPECT_EQ(f->type, KeyType::Logical);
  EXPECT_EQ(f->size, 1);
  EXPECT_FALSE(keyFormatOf(Value()));
  EXPECT_FALSE(keyFormatOf(Value::array({Value(1)})));
}

TEST(NtxKey, DatesLogicalsAndTexts) {
  KeyFormat d{KeyType::Date, 8, 0};
  EXPECT_EQ(*encodeKey(Value::ymd(2024, 1, 31), d), "20240131");
  EXPECT_EQ(*encodeKey(Value::emptyDate(), d), "        ");
  EXPECT_LT(*encodeKey(Value::emptyDate(), d), *encodeKey(Value::ymd(1900, 1, 1), d));
  EXPECT_EQ(decodeKey("20240131", d).julian(), Value::ymd(2024, 1, 31).julian());
  KeyFormat l{KeyType::Logical, 1, 0};
  EXPECT_EQ(*encodeKey(Value::logical(true), l), "T");
  EXPECT_EQ(*encodeKey(Value::logical(false), l), "F");
  EXPECT_TRUE(decodeKey("T", l).log());
  KeyFormat t{KeyType::Text, 6, 0};
  EXPECT_EQ(*encodeKey(Value("ab"), t), "ab    ");
  EXPECT_EQ(*encodeKey(Value("abcdefgh"), t), "abcdef");
  EXPECT_EQ(*encodeKey(Value::memo("memo"), t), "memo  ");
  // Seeking a text is seeking a prefix; other types are whole.
  EXPECT_EQ(*seekKey(Value("ab"), t), "ab");
  EXPECT_EQ(*seekKey(Value("abcdefgh"), t), "abcdef");
  EXPECT_EQ(*seekKey(Value::ymd(2024, 1, 31), d), "20240131");
  // A value of another type is no key of the index.
  EXPECT_FALSE(encodeKey(Value(5), t));
  EXPECT_FALSE(seekKey(Value("2024"), d));
  // Texts compare byte by byte in code page 850: accented letters after z.
  EXPECT_LT(*encodeKey(Value("Z"), t), *encodeKey(Value("a"), t));
  EXPECT_LT(*encodeKey(Value("z"), t), *encodeKey(Value("\x83"), t));  // â
}

}  // namespace
}  // namespace kor::tables::ntx
