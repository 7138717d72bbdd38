#include "runtime/compare.h"

#include <cstring>

#include "runtime/settings.h"

namespace kor::rt {

namespace {

std::string_view rtrimBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

int compareBytes(std::string_view a, std::string_view b, size_t n) {
  int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

int compareText(std::string_view left, std::string_view right, bool exactMode) {
  if (exactMode) {
    left = rtrimBlanks(left);
    right = rtrimBlanks(right);
  }
  size_t n = left.size() < right.size() ? left.size() : right.size();
  int c = compareBytes(left, right, n);
  if (c != 0) return c;
  if (left.size() == right.size()) return 0;
  if (left.size() > right.size()) {
    // Inexact: the left text begins with the right one, so they are equal.
    return exactMode ? 1 : 0;
  }
  return -1;
}

bool textEquals(std::string_view left, std::string_view right) { return compareText(left, right, exact()) == 0; }

std::optional<int> compareValues(const Value& a, const Value& b, bool exactEq) {
  if (a.isText() && b.isText()) {
    if (exactEq) {
      int c = compareBytes(a.str(), b.str(), std::min(a.str().size(), b.str().size()));
      if (c != 0) return c;
      return a.str().size() == b.str().size() ? 0 : (a.str().size() < b.str().size() ? -1 : 1);
    }
    return compareText(a.str(), b.str(), exact());
  }
  if (a.type() != b.type()) return std::nullopt;
  switch (a.type()) {
    case VType::Number: {
      double x = a.num(), y = b.num();
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    case VType::Date: {
      DateTime x = a.dateTime(), y = b.dateTime();
      if (x.julian != y.julian) return x.julian < y.julian ? -1 : 1;
      int mx = x.millis < 0 ? 0 : x.millis, my = y.millis < 0 ? 0 : y.millis;
      return mx < my ? -1 : (mx > my ? 1 : 0);
    }
    case VType::Logical: return static_cast<int>(a.log()) - static_cast<int>(b.log());
    case VType::Nil: return 0;
    default: return std::nullopt;
  }
}

bool valuesEqual(const Value& a, const Value& b, bool exactEq) {
  if (a.isNil() || b.isNil()) return a.isNil() && b.isNil();
  auto c = compareValues(a, b, exactEq);
  if (c) return *c == 0;
  return a.sameAs(b);
}

}  // namespace kor::rt
