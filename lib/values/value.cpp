#include "values/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace kor {

namespace detail {
// Immutable heap text: length and bytes in one allocation.
struct TextRep : Rep {
  size_t len = 0;
  char* data() { return reinterpret_cast<char*>(this + 1); }
  static TextRep* make(std::string_view s) {
    void* mem = ::operator new(sizeof(TextRep) + s.size() + 1);
    auto* r = new (mem) TextRep();
    r->len = s.size();
    std::memcpy(r->data(), s.data(), s.size());
    r->data()[s.size()] = '\0';
    return r;
  }
  // `delete rep` (through Rep's virtual destructor) must free with the
  // plain operator delete that matches ::operator new above, not the sized
  // one, whose size would be sizeof(TextRep) instead of the allocation's.
  static void operator delete(void* p) { ::operator delete(p); }
};
}  // namespace detail

// ---------------------------------------------------------------------------
// Calendar

bool validYmd(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int dim = kDays[m - 1];
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) dim = 29;
  return d <= dim;
}

int32_t julianFromYmd(int y, int m, int d) {
  if (!validYmd(y, m, d)) return 0;
  // Fliegel & Van Flandern, Gregorian calendar.
  long a = (14 - m) / 12;
  long yy = y + 4800 - a;
  long mm = m + 12 * a - 3;
  return static_cast<int32_t>(d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045);
}

void ymdFromJulian(int32_t jd, int& y, int& m, int& d) {
  if (jd <= 0) {
    y = m = d = 0;
    return;
  }
  long a = jd + 32044;
  long b = (4 * a + 3) / 146097;
  long c = a - 146097 * b / 4;
  long dd = (4 * c + 3) / 1461;
  long e = c - 1461 * dd / 4;
  long mm = (5 * e + 2) / 153;
  d = static_cast<int>(e - (153 * mm + 2) / 5 + 1);
  m = static_cast<int>(mm + 3 - 12 * (mm / 10));
  y = static_cast<int>(100 * b + dd - 4800 + mm / 10);
}

int dayOfWeek(int32_t jd) {
  if (jd <= 0) return 0;
  return static_cast<int>((jd + 1) % 7) + 1;
}

// ---------------------------------------------------------------------------
// Value

void Value::setText(std::string_view s, VType t) {
  h_.type = t;
  if (s.size() <= kInline) {
    h_.len = static_cast<uint32_t>(s.size());
    if (!s.empty()) std::memcpy(u_.sso, s.data(), s.size());
  } else {
    h_.len = kHeapText;
    u_.rep = detail::TextRep::make(s);
  }
}

std::string_view Value::str() const {
  const Value& v = deref();
  if (v.h_.type != VType::Text && v.h_.type != VType::Memo) return {};
  if (v.h_.len == kHeapText) {
    auto* r = static_cast<detail::TextRep*>(v.u_.rep);
    return {r->data(), r->len};
  }
  return {v.u_.sso, v.h_.len};
}

char Value::typeLetter() const {
  switch (type()) {
    case VType::Text: return 'C';
    case VType::Memo: return 'M';
    case VType::Number: return 'N';
    case VType::Date: return 'D';
    case VType::Logical: return 'L';
    case VType::Array: return 'A';
    case VType::Hash: return 'H';
    case VType::Object: return 'O';
    case VType::Block: return 'B';
    case VType::Pointer: return 'P';
    default: return 'U';
  }
}

bool Value::empty() const {
  const Value& v = deref();
  switch (v.h_.type) {
    case VType::Nil: return true;
    case VType::Text:
    case VType::Memo:
      for (char c : v.str())
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
      return true;
    case VType::Number: return v.u_.num == 0.0;
    case VType::Date: return v.u_.date.julian == 0;
    case VType::Logical: return !v.u_.log;
    case VType::Array: return v.arrayRep()->items.empty();
    case VType::Hash: return v.hashRep()->pairs.empty();
    default: return false;
  }
}

long long Value::integer() const {
  double n = num();
  if (!(n == n)) return 0;
  if (n >= 9.2e18) return INT64_MAX;
  if (n <= -9.2e18) return INT64_MIN;
  return static_cast<long long>(n);
}

const Value& Value::deref() const {
  if (h_.type == VType::Ref) return static_cast<CellRep*>(u_.rep)->value;
  return *this;
}
Value& Value::derefMut() {
  if (h_.type == VType::Ref) return static_cast<CellRep*>(u_.rep)->value;
  return *this;
}

Value Value::fromRep(VType t, detail::Rep* rep) {
  Value v;
  v.h_.type = t;
  if (t == VType::Text || t == VType::Memo) v.h_.len = kHeapText;
  v.u_.rep = rep;
  return v;
}

Value Value::array(std::vector<Value> items) {
  auto* r = new ArrayRep();
  r->items = std::move(items);
  return fromRep(VType::Array, r);
}
Value Value::hash() { return fromRep(VType::Hash, new HashRep()); }
Value Value::ref(CellRep* cell) {
  ++cell->refs;
  return fromRep(VType::Ref, cell);
}

ArrayRep* Value::arrayRep() const {
  const Value& v = deref();
  return v.h_.type == VType::Array ? static_cast<ArrayRep*>(v.u_.rep) : nullptr;
}
HashRep* Value::hashRep() const {
  const Value& v = deref();
  return v.h_.type == VType::Hash ? static_cast<HashRep*>(v.u_.rep) : nullptr;
}
ObjectRep* Value::objectRep() const {
  const Value& v = deref();
  return v.h_.type == VType::Object ? static_cast<ObjectRep*>(v.u_.rep) : nullptr;
}
BlockRep* Value::blockRep() const {
  const Value& v = deref();
  return v.h_.type == VType::Block ? static_cast<BlockRep*>(v.u_.rep) : nullptr;
}
CellRep* Value::cell() const { return h_.type == VType::Ref ? static_cast<CellRep*>(u_.rep) : nullptr; }

static const Value kNil;
static std::vector<Value> kNoItems;

size_t Value::size() const {
  if (auto* a = arrayRep()) return a->items.size();
  if (auto* h = hashRep()) return h->pairs.size();
  return str().size();
}
const Value& Value::at(size_t i) const {
  auto* a = arrayRep();
  if (!a || i >= a->items.size()) return kNil;
  return a->items[i];
}
Value& Value::atRef(size_t i) { return arrayRep()->items.at(i); }
void Value::push(Value v) {
  if (auto* a = arrayRep()) a->items.push_back(std::move(v));
}
std::vector<Value>& Value::items() {
  auto* a = arrayRep();
  if (!a) {
    kNoItems.clear();
    return kNoItems;
  }
  return a->items;
}
const std::vector<Value>& Value::items() const {
  auto* a = arrayRep();
  return a ? a->items : kNoItems;
}

const Value* Value::find(const Value& key) const {
  auto* h = hashRep();
  return h ? h->find(key) : nullptr;
}
Value Value::get(const Value& key) const {
  const Value* v = find(key);
  return v ? *v : Value();
}
void Value::set(const Value& key, Value v) {
  if (auto* h = hashRep()) h->set(key, std::move(v));
}
bool Value::erase(const Value& key) {
  auto* h = hashRep();
  return h && h->erase(key);
}

bool Value::sameAs(const Value& o) const {
  const Value& a = deref();
  const Value& b = o.deref();
  VType ta = a.h_.type, tb = b.h_.type;
  bool textA = ta == VType::Text || ta == VType::Memo;
  bool textB = tb == VType::Text || tb == VType::Memo;
  if (textA || textB) return textA && textB && a.str() == b.str();
  if (ta != tb) return false;
  switch (ta) {
    case VType::Nil: return true;
    case VType::Number: return a.u_.num == b.u_.num;
    case VType::Date: return a.u_.date.julian == b.u_.date.julian && a.u_.date.millis == b.u_.date.millis;
    case VType::Logical: return a.u_.log == b.u_.log;
    case VType::Pointer: return a.u_.ptr == b.u_.ptr;
    default: return a.u_.rep == b.u_.rep;
  }
}

// ---------------------------------------------------------------------------
// Hash

uint64_t hashKeyOf(const Value& key) {
  const Value& k = key.deref();
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](const void* p, size_t n) {
    auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) {
      h ^= b[i];
      h *= 1099511628211ull;
    }
  };
  char t = k.typeLetter();
  if (t == 'M') t = 'C';
  mix(&t, 1);
  switch (k.type()) {
    case VType::Text:
    case VType::Memo: {
      auto s = k.str();
      mix(s.data(), s.size());
      break;
    }
    case VType::Number: {
      double n = k.num();
      if (n == 0) n = 0;  // -0 and +0 are one key
      mix(&n, sizeof n);
      break;
    }
    case VType::Date: {
      DateTime d = k.dateTime();
      mix(&d, sizeof d);
      break;
    }
    case VType::Logical: {
      bool b = k.log();
      mix(&b, 1);
      break;
    }
    default: {
      const void* p = k.isPointer() ? k.ptr() : static_cast<const void*>(k.arrayRep() ? (void*)k.arrayRep() : k.hashRep() ? (void*)k.hashRep() : k.objectRep() ? (void*)k.objectRep() : (void*)k.blockRep());
      mix(&p, sizeof p);
    }
  }
  return h;
}

static constexpr size_t kHashIndexFrom = 12;

long HashRep::findPos(const Value& key) const {
  if (pairs.size() < kHashIndexFrom) {
    for (size_t i = 0; i < pairs.size(); ++i)
      if (pairs[i].first.sameAs(key)) return static_cast<long>(i);
    return -1;
  }
  if (!indexValid_) {
    index_.clear();
    index_.reserve(pairs.size() * 2);
    for (size_t i = 0; i < pairs.size(); ++i) index_.emplace(hashKeyOf(pairs[i].first), static_cast<uint32_t>(i));
    indexValid_ = true;
  }
  auto range = index_.equal_range(hashKeyOf(key));
  for (auto it = range.first; it != range.second; ++it)
    if (pairs[it->second].first.sameAs(key)) return it->second;
  return -1;
}

const Value* HashRep::find(const Value& key) const {
  long p = findPos(key);
  return p < 0 ? nullptr : &pairs[static_cast<size_t>(p)].second;
}

void HashRep::set(const Value& key, Value v) {
  long p = findPos(key);
  if (p >= 0) {
    pairs[static_cast<size_t>(p)].second = std::move(v);
    return;
  }
  pairs.emplace_back(key.deref(), std::move(v));
  if (indexValid_) index_.emplace(hashKeyOf(key), static_cast<uint32_t>(pairs.size() - 1));
}

bool HashRep::erase(const Value& key) {
  long p = findPos(key);
  if (p < 0) return false;
  pairs.erase(pairs.begin() + p);
  indexValid_ = false;
  index_.clear();
  return true;
}

// ---------------------------------------------------------------------------
// Objects and callbacks

const ClassDef::Method* ClassDef::method(std::string_view upperName) const {
  for (auto& m : methods)
    if (m.first == upperName) return &m.second;
  return nullptr;
}

Value* ObjectRep::field(std::string_view upperName) {
  for (auto& f : fields)
    if (f.first == upperName) return &f.second;
  return nullptr;
}

Value makeObject(std::shared_ptr<const ClassDef> cls, std::vector<std::pair<std::string, Value>> fields) {
  auto* r = new ObjectRep();
  r->cls = std::move(cls);
  r->fields = std::move(fields);
  return Value::fromRep(VType::Object, r);
}

Value makeBlock(std::function<Value(Args&)> fn, std::string source, std::string creator) {
  auto* r = new BlockRep();
  r->fn = std::move(fn);
  r->source = std::move(source);
  r->creator = std::move(creator);
  return Value::fromRep(VType::Block, r);
}

// ---------------------------------------------------------------------------
// Args

const Value& Args::operator[](size_t i) const { return i < v_.size() ? v_[i].deref() : kNil; }

void Args::set(size_t i, Value v) {
  if (i >= v_.size()) v_.resize(i + 1);
  if (v_[i].isRef())
    v_[i].derefMut() = std::move(v);
  else
    v_[i] = std::move(v);
}

// ---------------------------------------------------------------------------
// Number text

// Rounds a plain decimal digit string "[-]ddd.ddd" to `decimals` places, half
// away from zero, and writes the standard form into out.
static size_t roundDecimalText(const char* s, size_t n, int decimals, char* out) {
  bool neg = n > 0 && s[0] == '-';
  if (neg) {
    ++s;
    --n;
  }
  const char* dot = static_cast<const char*>(std::memchr(s, '.', n));
  size_t intLen = dot ? static_cast<size_t>(dot - s) : n;
  const char* frac = dot ? dot + 1 : s + n;
  size_t fracLen = dot ? n - intLen - 1 : 0;

  // Digits we keep: all integer digits and `decimals` fraction digits.
  char digits[700];
  size_t nd = 0;
  for (size_t i = 0; i < intLen && nd < sizeof digits - 2; ++i) digits[nd++] = s[i];
  for (int i = 0; i < decimals && nd < sizeof digits - 2; ++i)
    digits[nd++] = static_cast<size_t>(i) < fracLen ? frac[i] : '0';
  bool roundUp = static_cast<size_t>(decimals) < fracLen && frac[decimals] >= '5';
  bool carry = false;
  if (roundUp) {
    size_t i = nd;
    carry = true;
    while (carry && i > 0) {
      --i;
      if (digits[i] == '9') {
        digits[i] = '0';
      } else {
        ++digits[i];
        carry = false;
      }
    }
  }
  size_t intDigits = intLen + (carry ? 1 : 0);
  // Strip leading zeros of the integer part (keep one).
  size_t start = 0;
  char* o = out;
  bool allZero = true;
  for (size_t i = 0; i < nd; ++i)
    if (digits[i] != '0') allZero = false;
  if (carry) allZero = false;
  if (neg && !allZero) *o++ = '-';
  if (carry) *o++ = '1';
  size_t intKept = intDigits - (carry ? 1 : 0);
  while (start + 1 < intKept && digits[start] == '0' && !carry) ++start;
  if (intKept == 0 && !carry) *o++ = '0';
  for (size_t i = start; i < intKept; ++i) *o++ = digits[i];
  if (decimals > 0) {
    *o++ = '.';
    for (size_t i = intKept; i < nd; ++i) *o++ = digits[i];
  }
  return static_cast<size_t>(o - out);
}

size_t numberText(double n, int decimals, char* buf) {
  if (decimals < 0) decimals = 0;
  if (decimals > 255) decimals = 255;
  if (!std::isfinite(n)) {
    std::memset(buf, '*', 10);
    return 10;
  }
  if (decimals == 0 && std::fabs(n) < 4.5e15) {
    double r = std::fabs(n);
    double ip = std::floor(r);
    // The shortest decimal form decides halves (2.5 -> 3, 0.49999999999999994 -> 0).
    long long v = static_cast<long long>(ip);
    if (r - ip >= 0.5) {
      char tmp[64];
      auto res = std::to_chars(tmp, tmp + sizeof tmp, r, std::chars_format::fixed);
      size_t len = roundDecimalText(tmp, static_cast<size_t>(res.ptr - tmp), 0, buf + 1);
      if (n < 0 && !(len == 1 && buf[1] == '0')) {
        buf[0] = '-';
        return len + 1;
      }
      std::memmove(buf, buf + 1, len);
      return len;
    }
    char* o = buf;
    if (n < 0 && v != 0) *o++ = '-';
    auto res = std::to_chars(o, o + 32, v);
    return static_cast<size_t>(res.ptr - buf);
  }
  char tmp[700];
  std::to_chars_result res;
  if (std::fabs(n) < 1e21) {
    res = std::to_chars(tmp, tmp + sizeof tmp, n, std::chars_format::fixed);
  } else {
    // Huge numbers: the digits beyond the 17th are noise anyway.
    int len = std::snprintf(tmp, sizeof tmp, "%.0f", n);
    res.ptr = tmp + (len > 0 ? len : 0);
  }
  return roundDecimalText(tmp, static_cast<size_t>(res.ptr - tmp), decimals, buf);
}

std::string numberText(double n, int decimals) {
  char buf[1024];
  size_t len = numberText(n, decimals, buf);
  return std::string(buf, len);
}

double roundHalfAway(double n, int decimals) {
  if (!std::isfinite(n)) return n;
  char buf[1024];
  size_t len = numberText(n, decimals, buf);
  double out = 0;
  std::from_chars(buf, buf + len, out);
  return out;
}

Value evalBlock(const Value& block, Args args) {
  BlockRep* b = block.blockRep();
  if (!b || !b->fn) return Value();
  return b->fn(args);
}

}  // namespace kor
