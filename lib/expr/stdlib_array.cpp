// Standard functions on arrays: Array, AAdd, ASize, ATail, AScan, AEval,
// AClone, ADel, AIns, AFill, ACopy, ASort.
//
// Arrays are shared: these change the caller's array in place. Callbacks
// given to AScan/AEval/ASort may change the array while they run, so the
// loops re-read its size at every step and ASort sorts a copy.
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "expr/expr.h"
#include "expr/stdlib.h"
#include "runtime/compare.h"

namespace kor::expr::stdlib {

namespace {

Value makeArray(const Args& a, size_t dim) {
  size_t n = static_cast<size_t>(a[dim].integer());
  std::vector<Value> items(n);
  if (dim + 1 < a.size())
    for (auto& v : items) v = makeArray(a, dim + 1);
  return Value::array(std::move(items));
}

Value arrayFn(Args& a) {
  if (a.size() == 0) return bad("ARRAY", a);
  double total = 1;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!a[i].isNumber() || a[i].num() < 0) return bad("ARRAY", a);
    total *= std::max(1.0, a[i].num());
  }
  Value answer;
  if (!arrayFits(total, "ARRAY", &answer)) return answer;
  return makeArray(a, 0);
}

// The 0-based [first, end) range of Start/Count arguments at index i, i + 1.
void range(const Args& a, size_t i, size_t size, size_t& first, size_t& end) {
  long long st = a.has(i) ? a[i].integer() : 1;
  if (st < 1) st = 1;
  first = static_cast<size_t>(st - 1);
  if (first > size) first = size;
  long long count = a.has(i + 1) ? a[i + 1].integer() : static_cast<long long>(size - first);
  if (count < 0) count = 0;
  end = std::min(size, first + static_cast<size_t>(count));
}

Value ascan(Args& a) {
  if (!a[0].isArray()) return bad("ASCAN", a);
  Value arr = a[0];
  Value what = a[1];
  size_t first, end;
  range(a, 2, arr.size(), first, end);
  for (size_t i = first; i < end && i < arr.size(); ++i) {
    Value item = arr.at(i);
    bool hit;
    if (what.isBlock()) {
      hit = evalBlock(what, Args{item, Value(static_cast<unsigned long long>(i + 1))}).log();
    } else {
      bool comparable = (item.isText() && what.isText()) || item.type() == what.type();
      hit = comparable && rt::valuesEqual(item, what);
    }
    if (hit) return Value(static_cast<unsigned long long>(i + 1));
  }
  return Value(0);
}

Value aeval(Args& a) {
  if (!a[0].isArray() || !a[1].isBlock()) return bad("AEVAL", a);
  Value arr = a[0];
  size_t first, end;
  range(a, 2, arr.size(), first, end);
  for (size_t i = first; i < end && i < arr.size(); ++i)
    evalBlock(a[1], Args{arr.at(i), Value(static_cast<unsigned long long>(i + 1))});
  return arr;
}

// Nested arrays are copied too. An array met twice is copied once, so
// shared parts stay shared in the copy and an array that contains itself
// gives a copy that contains the copy.
Value cloneArray(const Value& v, std::unordered_map<const ArrayRep*, Value>& done) {
  const ArrayRep* src = v.arrayRep();
  if (!src) return v.deref();
  auto it = done.find(src);
  if (it != done.end()) return it->second;
  Value copy = Value::array();
  done.emplace(src, copy);
  std::vector<Value> items;
  items.reserve(src->items.size());
  for (size_t i = 0; i < src->items.size(); ++i) items.push_back(cloneArray(src->items[i], done));
  copy.items() = std::move(items);
  return copy;
}

Value acopy(Args& a) {
  if (!a[0].isArray() || !a[1].isArray()) return bad("ACOPY", a);
  Value src = a[0], dst = a[1];
  size_t first, end;
  range(a, 2, src.size(), first, end);
  long long to = a.has(4) ? a[4].integer() : 1;
  if (to < 1) return dst;
  size_t j = static_cast<size_t>(to - 1);
  for (size_t i = first; i < end && i < src.size() && j < dst.size(); ++i, ++j) {
    Value item = src.at(i);
    dst.atRef(j) = item;
  }
  return dst;
}

// The order ASort uses without a callback: by type, then by value.
bool naturalLess(const Value& x, const Value& y) {
  auto c = rt::compareValues(x, y, true);
  if (c) return *c < 0;
  return x.typeLetter() < y.typeLetter();
}

// Merge sort: well defined for any callback, even one that is not a
// consistent order.
template <typename Less>
void mergeSort(std::vector<Value>& v, std::vector<Value>& tmp, size_t lo, size_t hi, Less& less) {
  if (hi - lo < 2) return;
  size_t mid = lo + (hi - lo) / 2;
  mergeSort(v, tmp, lo, mid, less);
  mergeSort(v, tmp, mid, hi, less);
  size_t i = lo, j = mid, k = lo;
  while (i < mid && j < hi) tmp[k++] = less(v[j], v[i]) ? v[j++] : v[i++];
  while (i < mid) tmp[k++] = v[i++];
  while (j < hi) tmp[k++] = v[j++];
  for (size_t x = lo; x < hi; ++x) v[x] = std::move(tmp[x]);
}

Value asort(Args& a) {
  if (!a[0].isArray() || (a.has(3) && !a[3].isBlock())) return bad("ASORT", a);
  Value arr = a[0];
  size_t first, end;
  range(a, 1, arr.size(), first, end);
  std::vector<Value> part(arr.items().begin() + static_cast<long>(first), arr.items().begin() + static_cast<long>(end));
  std::vector<Value> tmp(part.size());
  Value block = a[3];
  auto less = [&block](const Value& x, const Value& y) {
    if (block.isBlock()) return evalBlock(block, Args{x, y}).log();
    return naturalLess(x, y);
  };
  mergeSort(part, tmp, 0, part.size(), less);
  auto& items = arr.items();
  for (size_t i = 0; i < part.size() && first + i < items.size(); ++i) items[first + i] = std::move(part[i]);
  return arr;
}

}  // namespace

void registerArray() {
  reg("ARRAY", arrayFn);
  reg("AADD", [](Args& a) {
    if (!a[0].isArray()) return bad("AADD", a);
    Value arr = a[0];
    Value answer;
    if (!arrayFits(static_cast<double>(arr.size() + 1), "AADD", &answer)) return answer;
    arr.push(a[1]);
    return a[1];
  }, rt::kNone);
  reg("ASIZE", [](Args& a) {
    if (!a[0].isArray() || !a[1].isNumber()) return bad("ASIZE", a);
    Value arr = a[0];
    double n = std::max(0.0, a[1].num());
    Value answer;
    if (!arrayFits(n, "ASIZE", &answer)) return answer;
    arr.items().resize(static_cast<size_t>(n));
    return arr;
  }, rt::kNone);
  reg("ATAIL", [](Args& a) {
    if (!a[0].isArray()) return bad("ATAIL", a);
    return a[0].size() ? a[0].at(a[0].size() - 1) : Value();
  });
  reg("ASCAN", ascan, rt::kNone);
  reg("AEVAL", aeval, rt::kNone);
  reg("ACLONE", [](Args& a) {
    std::unordered_map<const ArrayRep*, Value> done;
    return a[0].isArray() ? cloneArray(a[0], done) : Value();
  });
  reg("ADEL", [](Args& a) {
    if (!a[0].isArray() || !a[1].isNumber()) return bad("ADEL", a);
    Value arr = a[0];
    long long p = a[1].integer();
    auto& items = arr.items();
    if (p >= 1 && static_cast<size_t>(p) <= items.size()) {
      items.erase(items.begin() + (p - 1));
      items.emplace_back();
    }
    return arr;
  }, rt::kNone);
  reg("AINS", [](Args& a) {
    if (!a[0].isArray() || !a[1].isNumber()) return bad("AINS", a);
    Value arr = a[0];
    long long p = a[1].integer();
    auto& items = arr.items();
    if (p >= 1 && static_cast<size_t>(p) <= items.size()) {
      items.pop_back();
      items.insert(items.begin() + (p - 1), Value());
    }
    return arr;
  }, rt::kNone);
  reg("AFILL", [](Args& a) {
    if (!a[0].isArray()) return bad("AFILL", a);
    Value arr = a[0];
    size_t first, end;
    range(a, 2, arr.size(), first, end);
    for (size_t i = first; i < end; ++i) arr.atRef(i) = a[1];
    return arr;
  }, rt::kNone);
  reg("ACOPY", acopy, rt::kNone);
  reg("ASORT", asort, rt::kNone);
}

}  // namespace kor::expr::stdlib
