// Value: the dynamically typed value every library routine takes and returns.
//
// A Value is told by its one-letter type: "C" text, "M" memo text, "N" number,
// "D" date (optionally with a time of day), "L" logical, "A" array, "H" hash,
// "O" object, "B" callback, "P" pointer, "U" nil.
//
// Cost model: a Value is 32 bytes. Nil, numbers, dates, logicals, pointers and
// texts of up to 24 bytes live inline and copy without touching the heap.
// Longer texts are immutable, reference-counted buffers. Arrays, hashes,
// objects and callbacks are reference-counted and SHARED: copying a Value that
// holds an array copies the reference, so callers change lists in place.
// Reference counts are not atomic: Values belong to the program's one thread.
//
// Texts are code page 850 bytes as stored in the tables; nothing here converts.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_map>
#include <string_view>
#include <utility>
#include <vector>

namespace kor {

class Value;
class Args;

enum class VType : uint8_t {
  Nil,      // "U"
  Text,     // "C"
  Memo,     // "M"
  Number,   // "N"
  Date,     // "D"
  Logical,  // "L"
  Array,    // "A"
  Hash,     // "H"
  Object,   // "O"
  Block,    // "B"
  Pointer,  // "P"
  Ref,      // a by-reference argument: reads and writes go to a variable cell
};

namespace detail {
// Base of every heap representation. Non-atomic intrusive count.
struct Rep {
  uint32_t refs = 1;
  virtual ~Rep() = default;
};
struct TextRep;
}  // namespace detail

struct ArrayRep;
struct HashRep;
struct ObjectRep;
struct BlockRep;
struct CellRep;

// Date as a Julian day number (0 = the empty date) and an optional time of
// day in milliseconds (-1 = no time).
struct DateTime {
  int32_t julian = 0;
  int32_t millis = -1;
  bool empty() const { return julian == 0; }
  bool hasTime() const { return millis >= 0; }
};

// Calendar helpers (proleptic Gregorian, as DBF dates are).
int32_t julianFromYmd(int year, int month, int day);  // 0 when invalid
void ymdFromJulian(int32_t julian, int& year, int& month, int& day);
bool validYmd(int year, int month, int day);
int dayOfWeek(int32_t julian);  // 1 = Sunday .. 7 = Saturday

class Value {
 public:
  static constexpr size_t kInline = 24;

  Value() noexcept { h_.type = VType::Nil; }
  Value(const Value& o) noexcept { copyFrom(o); }
  Value(Value&& o) noexcept { moveFrom(o); }
  Value& operator=(const Value& o) noexcept {
    if (this != &o) {
      Value tmp(o);
      release();
      moveFrom(tmp);
    }
    return *this;
  }
  Value& operator=(Value&& o) noexcept {
    if (this != &o) {
      release();
      moveFrom(o);
    }
    return *this;
  }
  ~Value() { release(); }

  // --- construction -------------------------------------------------------
  // Texts. A const char* is a text (never a logical).
  Value(std::string_view s) { setText(s, VType::Text); }
  Value(const char* s) { setText(s ? std::string_view(s) : std::string_view(), VType::Text); }
  Value(const std::string& s) { setText(s, VType::Text); }
  static Value text(std::string_view s) { return Value(s); }
  static Value memo(std::string_view s) {
    Value v;
    v.setText(s, VType::Memo);
    return v;
  }
  // Numbers: decimals = count of digits after the point; width 0 = default.
  static Value number(double n, int decimals = 0, int width = 0) {
    Value v;
    v.h_.type = VType::Number;
    v.h_.dec = static_cast<uint8_t>(decimals < 0 ? 0 : (decimals > 255 ? 255 : decimals));
    v.h_.width = static_cast<uint16_t>(width < 0 ? 0 : width);
    v.u_.num = n;
    return v;
  }
  Value(int n) : Value(number(n)) {}
  Value(long n) : Value(number(static_cast<double>(n))) {}
  Value(long long n) : Value(number(static_cast<double>(n))) {}
  Value(unsigned n) : Value(number(n)) {}
  Value(unsigned long n) : Value(number(static_cast<double>(n))) {}
  Value(unsigned long long n) : Value(number(static_cast<double>(n))) {}
  Value(double) = delete;  // say how many decimals: Value::number(x, dec)
  static Value logical(bool b) {
    Value v;
    v.h_.type = VType::Logical;
    v.u_.log = b;
    return v;
  }
  Value(bool) = delete;  // Value::logical(b), to keep "abc" from turning into .T.
  static Value date(DateTime d) {
    Value v;
    v.h_.type = VType::Date;
    v.u_.date = d;
    return v;
  }
  static Value date(int32_t julian) { return date(DateTime{julian, -1}); }
  static Value emptyDate() { return date(DateTime{}); }
  static Value ymd(int y, int m, int d) { return date(julianFromYmd(y, m, d)); }
  static Value pointer(void* p) {
    Value v;
    v.h_.type = VType::Pointer;
    v.u_.ptr = p;
    return v;
  }
  static Value array(std::vector<Value> items = {});
  static Value array(std::initializer_list<Value> items) { return array(std::vector<Value>(items)); }
  static Value hash();
  // A by-reference argument pointing at a variable cell (see runtime/vars.h).
  static Value ref(CellRep* cell);

  // --- type -----------------------------------------------------------------
  VType type() const { return h_.type == VType::Ref ? deref().type() : h_.type; }
  char typeLetter() const;  // 'C' 'M' 'N' 'D' 'L' 'A' 'H' 'O' 'B' 'P' 'U'
  bool isNil() const { return type() == VType::Nil; }
  bool isText() const {
    VType t = type();
    return t == VType::Text || t == VType::Memo;
  }
  bool isMemo() const { return type() == VType::Memo; }
  bool isNumber() const { return type() == VType::Number; }
  bool isDate() const { return type() == VType::Date; }
  bool isLogical() const { return type() == VType::Logical; }
  bool isArray() const { return type() == VType::Array; }
  bool isHash() const { return type() == VType::Hash; }
  bool isObject() const { return type() == VType::Object; }
  bool isBlock() const { return type() == VType::Block; }
  bool isPointer() const { return type() == VType::Pointer; }
  bool isRef() const { return h_.type == VType::Ref; }

  // The Empty rule: nil; a text made only of blanks (space, tab, CR, LF); the
  // number 0; the empty date; false; an array or hash without elements.
  bool empty() const;

  // --- access (the wrong type gives the type's zero, never a crash) --------
  std::string_view str() const;  // texts; "" otherwise
  std::string string() const { return std::string(str()); }
  size_t textLen() const { return str().size(); }
  double num() const { const Value& v = deref(); return v.h_.type == VType::Number ? v.u_.num : 0.0; }
  int decimals() const { const Value& v = deref(); return v.h_.type == VType::Number ? v.h_.dec : 0; }
  int width() const { const Value& v = deref(); return v.h_.type == VType::Number ? v.h_.width : 0; }
  long long integer() const;  // the number truncated toward zero
  bool log() const { const Value& v = deref(); return v.h_.type == VType::Logical && v.u_.log; }
  DateTime dateTime() const { const Value& v = deref(); return v.h_.type == VType::Date ? v.u_.date : DateTime{}; }
  int32_t julian() const { return dateTime().julian; }
  void* ptr() const { const Value& v = deref(); return v.h_.type == VType::Pointer ? v.u_.ptr : nullptr; }

  // The same number with other decimals/width (value unchanged).
  Value withDecimals(int decimals) const { return number(num(), decimals, width()); }
  Value withWidth(int width) const { return number(num(), decimals(), width); }
  // A memo mark dropped (memo -> text), everything else unchanged.
  Value asText() const { return isMemo() ? Value(str()) : deref(); }

  // Arrays (shared). Out-of-range reads give nil.
  ArrayRep* arrayRep() const;
  size_t size() const;  // arrays and hashes: element count; texts: length
  const Value& at(size_t i) const;  // 0-based
  Value& atRef(size_t i);           // 0-based, must be in range
  void push(Value v);
  std::vector<Value>& items();      // arrays only (a static empty vector otherwise)
  const std::vector<Value>& items() const;

  // Hashes (shared, ordered by insertion).
  HashRep* hashRep() const;
  const Value* find(const Value& key) const;  // nullptr when absent
  Value get(const Value& key) const;          // nil when absent
  void set(const Value& key, Value v);
  bool erase(const Value& key);

  ObjectRep* objectRep() const;
  BlockRep* blockRep() const;
  CellRep* cell() const;  // for Ref

  // Exact identity comparison used by hashes: same type and same content
  // (texts byte for byte, numbers by value, shared lists by identity).
  bool sameAs(const Value& o) const;

  // The target of a reference (itself when not a reference).
  const Value& deref() const;
  Value& derefMut();

  // Construct from a representation (takes over one reference).
  static Value fromRep(VType t, detail::Rep* rep);

 private:
  struct Header {
    VType type;
    uint8_t dec = 0;
    uint16_t width = 0;
    uint32_t len = 0;  // inline text length
  };
  union Payload {
    double num;
    DateTime date;
    bool log;
    void* ptr;
    char sso[kInline];
    detail::Rep* rep;
    Payload() : rep(nullptr) {}
  };

  bool onHeap() const {
    switch (h_.type) {
      case VType::Text:
      case VType::Memo:
        return h_.len == kHeapText;
      case VType::Array:
      case VType::Hash:
      case VType::Object:
      case VType::Block:
      case VType::Ref:
        return true;
      default:
        return false;
    }
  }
  void copyFrom(const Value& o) noexcept {
    h_ = o.h_;
    u_ = o.u_;
    if (onHeap()) ++u_.rep->refs;
  }
  void moveFrom(Value& o) noexcept {
    h_ = o.h_;
    u_ = o.u_;
    o.h_ = Header{VType::Nil};
  }
  void release() noexcept {
    if (onHeap() && --u_.rep->refs == 0) delete u_.rep;
    h_.type = VType::Nil;
  }
  void setText(std::string_view s, VType t);

  static constexpr uint32_t kHeapText = 0xFFFFFFFFu;
  Header h_;
  Payload u_;
};

static_assert(sizeof(Value) == 32, "Value is meant to be 32 bytes");

// ---------------------------------------------------------------------------
// Heap representations

struct ArrayRep : detail::Rep {
  std::vector<Value> items;
};

// Ordered hash: pairs in insertion order with an index by key. Keys compare
// exactly (Value::sameAs); texts are case-sensitive.
struct HashRep : detail::Rep {
  std::vector<std::pair<Value, Value>> pairs;
  const Value* find(const Value& key) const;
  void set(const Value& key, Value v);
  bool erase(const Value& key);

 private:
  // Small hashes are searched in order; bigger ones get an index by key hash,
  // built lazily and dropped when a pair is erased.
  mutable std::unordered_multimap<uint64_t, uint32_t> index_;
  mutable bool indexValid_ = false;
  long findPos(const Value& key) const;
};
uint64_t hashKeyOf(const Value& key);

// A class: name, methods and an optional hook for messages it does not know.
// Methods receive the object and the message's arguments.
struct ClassDef {
  using Method = std::function<Value(Value& self, Args& args)>;
  using Unknown = std::function<Value(Value& self, std::string_view message, Args& args)>;
  std::string name;  // upper case, e.g. "TPROGBAR"
  std::vector<std::pair<std::string, Method>> methods;  // names upper case
  Unknown onUnknown;
  const Method* method(std::string_view upperName) const;
};

struct ObjectRep : detail::Rep {
  std::shared_ptr<const ClassDef> cls;
  std::vector<std::pair<std::string, Value>> fields;  // names upper case, declaration order
  Value* field(std::string_view upperName);
};

// A callback: its source text is kept for display; creator is the routine that
// made it (call frames show "(b)" + creator while it runs).
struct BlockRep : detail::Rep {
  std::string source;
  std::string creator;
  std::function<Value(Args& args)> fn;
};

// A variable cell, shared between a variable and references to it.
struct CellRep : detail::Rep {
  Value value;
};

// Makes an object of a class, with fields initialised to the given values.
Value makeObject(std::shared_ptr<const ClassDef> cls,
                 std::vector<std::pair<std::string, Value>> fields = {});
// Makes a callback from a native function.
Value makeBlock(std::function<Value(Args&)> fn, std::string source = "{||...}",
                std::string creator = "");

// ---------------------------------------------------------------------------
// Args: the positional arguments of a routine call. A missing argument reads
// as nil. An argument passed by reference can be written back with set().

class Args {
 public:
  Args() = default;
  Args(std::vector<Value> v) : v_(std::move(v)) {}
  Args(std::initializer_list<Value> v) : v_(v) {}
  size_t size() const { return v_.size(); }
  // The i-th argument (0-based), dereferenced; nil when absent.
  const Value& operator[](size_t i) const;
  bool has(size_t i) const { return i < v_.size() && !(*this)[i].isNil(); }
  // Writes back to a by-reference argument; otherwise only the local copy.
  void set(size_t i, Value v);
  bool isRef(size_t i) const { return i < v_.size() && v_[i].isRef(); }
  std::vector<Value>& raw() { return v_; }
  const std::vector<Value>& raw() const { return v_; }

 private:
  std::vector<Value> v_;
};

// Calls a callback value with arguments. A non-callback gives nil.
Value evalBlock(const Value& block, Args args = {});

// The number's standard text form: rounded half away from zero to `decimals`,
// that many digits after a point (no point for 0), leading minus, at least one
// digit before the point. Writes into buf (>= 400 bytes) and returns length.
size_t numberText(double n, int decimals, char* buf);
std::string numberText(double n, int decimals);
// Rounds half away from zero at `decimals` digits, as the text form does.
double roundHalfAway(double n, int decimals);

}  // namespace kor
