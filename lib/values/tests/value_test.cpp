#include "values/value.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace kor {
namespace {

TEST(Value, TypeLettersAndEmptyRule) {
  struct Case {
    Value v;
    char letter;
    bool empty;
  } cases[] = {
      {Value(), 'U', true},
      {Value(""), 'C', true},
      {Value(" \t\r\n"), 'C', true},
      {Value(" x "), 'C', false},
      {Value::memo(""), 'M', true},
      {Value::memo("a"), 'M', false},
      {Value(0), 'N', true},
      {Value::number(0.001, 3), 'N', false},
      {Value::emptyDate(), 'D', true},
      {Value::ymd(2021, 12, 25), 'D', false},
      {Value::date(DateTime{julianFromYmd(2021, 1, 1), 3600000}), 'D', false},
      {Value::logical(false), 'L', true},
      {Value::logical(true), 'L', false},
      {Value::array(), 'A', true},
      {Value::array({Value(1)}), 'A', false},
      {Value::hash(), 'H', true},
      {makeBlock([](Args&) { return Value(); }), 'B', false},
      {Value::pointer(nullptr), 'P', false},
  };
  for (auto& c : cases) {
    EXPECT_EQ(c.v.typeLetter(), c.letter);
    EXPECT_EQ(c.v.empty(), c.empty) << c.letter;
  }
}

TEST(Value, TextsInlineAndOnHeapKeepEveryByte) {
  std::string shortText("ab\0c", 4);
  std::string longText(1000, '\xA0');
  longText[500] = '\0';
  Value a(shortText), b(longText);
  Value a2 = a, b2 = b;
  EXPECT_EQ(a2.str(), shortText);
  EXPECT_EQ(b2.str(), longText);
  b = Value("other");
  EXPECT_EQ(b2.str(), longText);
}

TEST(Value, ArraysAndHashesAreSharedByReference) {
  Value a = Value::array({Value(1), Value("x")});
  Value alias = a;
  alias.push(Value(3));
  EXPECT_EQ(a.size(), 3u);
  EXPECT_EQ(a.at(5).typeLetter(), 'U');  // out of range reads nil

  Value h = Value::hash();
  Value hAlias = h;
  for (int i = 0; i < 100; ++i) hAlias.set(Value(std::to_string(i)), Value(i));
  EXPECT_EQ(h.size(), 100u);
  EXPECT_EQ(h.get(Value("42")).num(), 42);
  EXPECT_TRUE(h.erase(Value("42")));
  EXPECT_EQ(h.find(Value("42")), nullptr);
  EXPECT_EQ(h.get(Value("43")).num(), 43);
  EXPECT_EQ(h.hashRep()->pairs.front().first.str(), "0");  // insertion order kept
  EXPECT_EQ(h.find(Value(1)), nullptr);                    // keys are typed
}

TEST(Value, ObjectsCarryClassFieldsMethodsAndUnknownHook) {
  auto cls = std::make_shared<ClassDef>();
  cls->name = "TCOUNTER";
  cls->methods.push_back({"INC", [](Value& self, Args& a) {
                            Value* n = self.objectRep()->field("N");
                            *n = Value(static_cast<int>(n->num()) + 1);
                            return *n;
                          }});
  cls->onUnknown = [](Value&, std::string_view msg, Args&) { return Value(std::string(msg)); };
  Value o = makeObject(cls, {{"N", Value(0)}});
  Args none;
  Value copy = o;
  (*cls->method("INC"))(copy, none);
  EXPECT_EQ(o.objectRep()->field("N")->num(), 1);
  EXPECT_EQ(cls->onUnknown(o, "WHATEVER", none).str(), "WHATEVER");
}

TEST(Value, ReferencesWriteThrough) {
  auto* cell = new CellRep();
  cell->value = Value(1);
  Value r = Value::ref(cell);
  --cell->refs;  // r owns it now
  Args args{Value("in"), r};
  args.set(1, Value("written"));
  args.set(0, Value("local"));
  EXPECT_EQ(cell->value.str(), "written");
  EXPECT_EQ(args[1].str(), "written");
  EXPECT_EQ(r.typeLetter(), 'C');
}

TEST(Value, CalendarRoundTrips) {
  for (int32_t jd = julianFromYmd(1, 1, 1); jd < julianFromYmd(9999, 12, 31); jd += 97) {
    int y, m, d;
    ymdFromJulian(jd, y, m, d);
    ASSERT_EQ(julianFromYmd(y, m, d), jd);
  }
  EXPECT_EQ(julianFromYmd(2021, 2, 29), 0);
  EXPECT_NE(julianFromYmd(2020, 2, 29), 0);
  EXPECT_EQ(julianFromYmd(1900, 2, 29), 0);
  EXPECT_EQ(dayOfWeek(julianFromYmd(2021, 12, 9)), 5);  // a Thursday
}

TEST(Value, StandardNumberText) {
  struct Case {
    double n;
    int dec;
    const char* text;
  } cases[] = {
      {1.5, 2, "1.50"},     {12, 0, "12"},          {-3.25, 2, "-3.25"},   {0.5, 2, "0.50"},
      {0.5, 0, "1"},        {-0.5, 0, "-1"},        {2.5, 0, "3"},         {1.005, 2, "1.01"},
      {2.675, 2, "2.68"},   {-0.001, 2, "0.00"},    {9.995, 2, "10.00"},   {999.5, 0, "1000"},
      {0, 0, "0"},          {1e15, 0, "1000000000000000"}, {123456789.125, 2, "123456789.13"},
      {0.49999999999999994, 0, "0"}, {1234.5, 2, "1234.50"}, {-1234.567, 1, "-1234.6"},
      {1e300, 0, nullptr},
  };
  for (auto& c : cases) {
    std::string t = numberText(c.n, c.dec);
    if (c.text) EXPECT_EQ(t, c.text) << c.n << " dec " << c.dec;
    else EXPECT_EQ(t.size(), 301u);
  }
  EXPECT_DOUBLE_EQ(roundHalfAway(1.005, 2), 1.01);
  EXPECT_DOUBLE_EQ(roundHalfAway(-2.5, 0), -3);
}

// Copies of numbers and short texts must not allocate.
static int gAllocations = 0;
}  // namespace
}  // namespace kor

void* operator new(size_t n) {
  ++kor::gAllocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace kor {
namespace {
TEST(Value, CopiesOfScalarsAndShortTextsDoNotAllocate) {
  Value n = Value::number(3.25, 2), t("short text of 24 bytes!!"), d = Value::ymd(2020, 1, 2);
  int before = gAllocations;
  for (int i = 0; i < 100; ++i) {
    Value a = n, b = t, c = d;
    Value e(std::move(a));
    b = c;
  }
  EXPECT_EQ(gAllocations, before);
}
}  // namespace
}  // namespace kor
