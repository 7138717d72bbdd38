#include "tables/engine/ntxkey.h"

#include <cmath>
#include <cstring>

#include "values/textform.h"

namespace kor::tables::ntx {

std::optional<KeyType> keyTypeOf(const Value& v) {
  switch (v.type()) {
    case VType::Text:
    case VType::Memo:
      return KeyType::Text;
    case VType::Number:
      return KeyType::Number;
    case VType::Date:
      return KeyType::Date;
    case VType::Logical:
      return KeyType::Logical;
    default:
      return std::nullopt;
  }
}

std::optional<KeyFormat> keyFormatOf(const Value& v) {
  std::optional<KeyType> t = keyTypeOf(v);
  if (!t) return std::nullopt;
  switch (*t) {
    case KeyType::Text:
      return KeyFormat{*t, int(v.textLen()), 0};
    case KeyType::Number:
      return KeyFormat{*t, ownWidth(v), v.decimals()};
    case KeyType::Date:
      return KeyFormat{*t, 8, 0};
    case KeyType::Logical:
      return KeyFormat{*t, 1, 0};
  }
  return std::nullopt;
}

std::string numberKey(double n, int size, int decimals) {
  if (size <= 0) return std::string();
  if (decimals < 0) decimals = 0;
  std::string t;
  bool neg = false;
  if (std::isfinite(n)) {
    t = numberText(n, decimals);
    if (!t.empty() && t[0] == '-') {
      neg = true;
      t.erase(0, 1);
    }
  } else {
    neg = n < 0;
    t.assign(size_t(size) + 1, '9');  // does not fit: saturates below
  }
  if (t.size() > size_t(size)) {
    // The largest magnitude the key holds: all nines, the point in place.
    t.assign(size_t(size), '9');
    if (decimals > 0 && decimals < size) t[size_t(size - decimals - 1)] = '.';
  } else {
    t.insert(0, size_t(size) - t.size(), '0');
  }
  if (neg)
    for (char& c : t)
      if (c >= '0' && c <= '9') c = char(0x5C - c);
  return t;
}

bool appendKey(const Value& v, const KeyFormat& f, std::string& out) {
  std::optional<KeyType> t = keyTypeOf(v);
  if (!t || *t != f.type) return false;
  const size_t size = size_t(f.size < 0 ? 0 : f.size);
  switch (f.type) {
    case KeyType::Text: {
      std::string_view s = v.str();
      if (s.size() >= size) {
        out.append(s.substr(0, size));
      } else {
        out.append(s);
        out.append(size - s.size(), ' ');
      }
      return true;
    }
    case KeyType::Number:
      out += numberKey(v.num(), f.size, f.decimals);
      return true;
    case KeyType::Date: {
      std::string d = dtos(v.dateTime());
      d.resize(size, ' ');
      out += d;
      return true;
    }
    case KeyType::Logical: {
      std::string l(1, v.log() ? 'T' : 'F');
      l.resize(size, ' ');
      out += l;
      return true;
    }
  }
  return false;
}

std::optional<std::string> encodeKey(const Value& v, const KeyFormat& f) {
  std::string out;
  if (!appendKey(v, f, out)) return std::nullopt;
  return out;
}

std::optional<std::string> seekKey(const Value& v, const KeyFormat& f) {
  if (f.type == KeyType::Text && v.isText()) {
    std::string_view s = v.str();
    return std::string(s.substr(0, size_t(f.size < 0 ? 0 : f.size)));
  }
  return encodeKey(v, f);
}

Value decodeKey(std::string_view key, const KeyFormat& f) {
  switch (f.type) {
    case KeyType::Text:
      return Value(key);
    case KeyType::Number: {
      std::string t(key);
      bool neg = false;
      for (char c : t)
        if (c != '.' && c != ' ') {
          neg = static_cast<unsigned char>(c) < '0';
          break;
        }
      if (neg)
        for (char& c : t)
          if (c >= 0x23 && c <= 0x2C) c = char(0x5C - c);
      double n = valNumber(t).num();
      return Value::number(neg ? -n : n, f.decimals, f.size);
    }
    case KeyType::Date:
      return Value::date(stod(key));
    case KeyType::Logical:
      return Value::logical(!key.empty() && (key[0] == 'T' || key[0] == 't' || key[0] == 'Y' || key[0] == 'y'));
  }
  return Value();
}

}  // namespace kor::tables::ntx
