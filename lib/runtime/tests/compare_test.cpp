#include "runtime/compare.h"

#include <gtest/gtest.h>

#include "runtime/settings.h"

namespace kor::rt {
namespace {

TEST(Compare, InexactAndExactTextEquality) {
  resetSettings();
  struct Case {
    const char* l;
    const char* r;
    bool inexact, exactSet, doubleEq;
  } cases[] = {
      {"abc", "ab", true, false, false},  {"ab", "abc", false, false, false}, {"abc", "", true, false, false},
      {"", "abc", false, false, false},   {"", "", true, true, true},          {"abc  ", "abc", true, true, false},
      {"abc", "abc  ", false, true, false}, {"ABC", "abc", false, false, false}, {"abc", "abc", true, true, true},
  };
  for (auto& c : cases) {
    set(Set::Exact, Value::logical(false));
    EXPECT_EQ(valuesEqual(Value(c.l), Value(c.r)), c.inexact) << c.l << "|" << c.r;
    set(Set::Exact, Value::logical(true));
    EXPECT_EQ(valuesEqual(Value(c.l), Value(c.r)), c.exactSet) << c.l << "|" << c.r;
    EXPECT_EQ(valuesEqual(Value(c.l), Value(c.r), true), c.doubleEq) << c.l << "|" << c.r;
  }
  resetSettings();
}

TEST(Compare, OrderingAcrossTypes) {
  resetSettings();
  EXPECT_LT(*compareValues(Value("a"), Value("b")), 0);
  EXPECT_LT(*compareValues(Value("\x7f"), Value("\x80")), 0);  // bytes are unsigned
  EXPECT_GT(*compareValues(Value::number(2.5, 1), Value(2)), 0);
  EXPECT_LT(*compareValues(Value::ymd(2021, 1, 1), Value::ymd(2021, 1, 2)), 0);
  EXPECT_LT(*compareValues(Value::logical(false), Value::logical(true)), 0);
  EXPECT_FALSE(compareValues(Value(1), Value("1")).has_value());
  EXPECT_FALSE(valuesEqual(Value(1), Value("1")));
  EXPECT_TRUE(valuesEqual(Value(), Value()));
  Value a = Value::array();
  EXPECT_TRUE(valuesEqual(a, a));
  EXPECT_FALSE(valuesEqual(a, Value::array()));
}

}  // namespace
}  // namespace kor::rt
