// Standard functions on texts: Chr, Asc, Len, Substr, Left, Right, Upper,
// Lower, the trims, Space, Replicate, the pads, At, Rat, Stuff, StrTran,
// Str, StrZero, Val, the Is... tests and Descend.
#include <cmath>
#include <string>

#include "expr/stdlib.h"
#include "values/textform.h"

namespace kor::expr::stdlib {

namespace {

// The text a pad function works on: texts as they are, numbers in their
// standard text form, dates in the date format, logicals as T/F.
std::string padSource(const Value& v) {
  if (v.isText()) return std::string(v.str());
  if (v.isNumber()) return numberText(v.num(), v.decimals());
  if (v.isDate()) return dtoc(v.dateTime());
  if (v.isLogical()) return v.log() ? "T" : "F";
  return "";
}

enum class Pad { Right, Left, Center };

Value pad(Args& a, Pad how, std::string_view fn) {
  if (!a[1].isNumber() || (a.has(2) && !a[2].isText())) return bad(fn, a);
  double want = a[1].num();
  if (want <= 0) return Value("");
  Value answer;
  if (!textFits(want, fn, &answer)) return answer;
  size_t n = static_cast<size_t>(want);
  char fill = a.has(2) && !a[2].str().empty() ? a[2].str()[0] : ' ';
  std::string s = padSource(a[0]);
  if (s.size() >= n) return Value(std::string_view(s).substr(0, n));
  size_t extra = n - s.size();
  size_t left = how == Pad::Left ? extra : how == Pad::Center ? extra / 2 : 0;
  std::string out(left, fill);
  out += s;
  out.append(extra - left, fill);
  return Value(out);
}

Value substr(Args& a) {
  if (!a[0].isText() || !a[1].isNumber() || (a.has(2) && !a[2].isNumber())) return bad("SUBSTR", a);
  std::string_view s = a[0].str();
  long long n = static_cast<long long>(s.size());
  long long st = a[1].integer();
  if (st < 0) st = n + st + 1;
  if (st < 1) st = 1;
  if (st > n) return Value("");
  long long count = a.has(2) ? a[2].integer() : n - st + 1;
  if (count <= 0) return Value("");
  return Value(s.substr(static_cast<size_t>(st - 1), static_cast<size_t>(count)));
}

Value stuff(Args& a) {
  if (!a[0].isText() || !a[1].isNumber() || !a[2].isNumber() || (a.has(3) && !a[3].isText()))
    return bad("STUFF", a);
  std::string_view s = a[0].str();
  long long n = static_cast<long long>(s.size());
  long long st = a[1].integer();
  if (st < 1) st = 1;
  if (st > n + 1) st = n + 1;
  long long del = a[2].integer();
  if (del < 0) del = 0;
  if (del > n - st + 1) del = n - st + 1;
  Value answer;
  if (!textFits(static_cast<double>(n - del) + static_cast<double>(a[3].str().size()), "STUFF", &answer))
    return answer;
  std::string out(s.substr(0, static_cast<size_t>(st - 1)));
  out += a[3].str();
  out += s.substr(static_cast<size_t>(st - 1 + del));
  return Value(out);
}

// StrTran(text, search, [replacement], [first occurrence], [count])
Value strtran(Args& a) {
  if (!a[0].isText() || !a[1].isText() || (a.has(2) && !a[2].isText()) || (a.has(3) && !a[3].isNumber()) ||
      (a.has(4) && !a[4].isNumber()))
    return bad("STRTRAN", a);
  std::string_view s = a[0].str(), find = a[1].str(), repl = a[2].str();
  if (find.empty()) return a[0].asText();
  long long first = a.has(3) ? a[3].integer() : 1;
  long long count = a.has(4) ? a[4].integer() : -1;
  if (first < 1) first = 1;
  if (a.has(4) && count <= 0) return a[0].asText();
  std::string out;
  size_t pos = 0;
  long long seen = 0, done = 0;
  for (;;) {
    size_t hit = s.find(find, pos);
    if (hit == std::string_view::npos) break;
    ++seen;
    out.append(s.substr(pos, hit - pos));
    if (seen >= first && (count < 0 || done < count)) {
      out.append(repl);
      ++done;
    } else {
      out.append(find);
    }
    pos = hit + find.size();
    Value answer;
    if (!textFits(static_cast<double>(out.size()), "STRTRAN", &answer)) return answer;
  }
  out.append(s.substr(pos));
  return Value(out);
}

Value str(Args& a) {
  if (!a[0].isNumber() || (a.has(1) && !a[1].isNumber()) || (a.has(2) && !a[2].isNumber())) return bad("STR", a);
  int w = a.has(1) ? static_cast<int>(std::min<long long>(a[1].integer(), 1000)) : -1;
  int d = a.has(2) ? static_cast<int>(std::min<long long>(std::max<long long>(a[2].integer(), 0), 255)) : -1;
  if (a.has(1) && w <= 0) return Value("");
  return Value(strNumber(a[0], w, d));
}

Value strzero(Args& a) {
  Value s = str(a);
  if (!s.isText()) return s;
  std::string t(s.str());
  if (t.find('*') != std::string::npos) return s;
  size_t minus = t.find('-');
  if (minus != std::string::npos) t[minus] = ' ';
  for (char& c : t)
    if (c == ' ') c = '0';
  if (minus != std::string::npos && !t.empty()) t[0] = '-';
  return Value(t);
}

Value descend(Args& a) {
  const Value& v = a[0];
  if (v.isText()) {
    std::string t(v.str());
    for (char& c : t) c = static_cast<char>((256 - static_cast<unsigned char>(c)) & 0xFF);
    return Value(t);
  }
  if (v.isNumber()) return Value::number(-v.num(), v.decimals());
  if (v.isDate()) return Value::number(-static_cast<double>(v.julian()), 0);
  if (v.isLogical()) return Value::logical(!v.log());
  return Value();
}

bool isLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || upperByte(c) != c || lowerByte(c) != c;
}

}  // namespace

void registerText() {
  reg("CHR", [](Args& a) {
    if (!a[0].isNumber()) return bad("CHR", a);
    long long n = a[0].integer() % 256;
    if (n < 0) n += 256;
    char c = static_cast<char>(n);
    return Value(std::string_view(&c, 1));
  });
  reg("ASC", [](Args& a) {
    if (!a[0].isText()) return bad("ASC", a);
    std::string_view s = a[0].str();
    return Value(s.empty() ? 0 : static_cast<unsigned char>(s[0]));
  });
  reg("LEN", [](Args& a) {
    const Value& v = a[0];
    if (v.isText() || v.isArray() || v.isHash()) return Value(static_cast<unsigned long long>(v.size()));
    return bad("LEN", a);
  });
  reg("SUBSTR", substr);
  reg("LEFT", [](Args& a) {
    if (!a[0].isText() || !a[1].isNumber()) return bad("LEFT", a);
    long long n = a[1].integer();
    return n <= 0 ? Value("") : Value(a[0].str().substr(0, static_cast<size_t>(n)));
  });
  reg("RIGHT", [](Args& a) {
    if (!a[0].isText() || !a[1].isNumber()) return bad("RIGHT", a);
    std::string_view s = a[0].str();
    long long n = a[1].integer();
    if (n <= 0) return Value("");
    if (static_cast<size_t>(n) >= s.size()) return a[0].asText();
    return Value(s.substr(s.size() - static_cast<size_t>(n)));
  });
  reg("UPPER", [](Args& a) { return a[0].isText() ? Value(upper(a[0].str())) : bad("UPPER", a); });
  reg("LOWER", [](Args& a) { return a[0].isText() ? Value(lower(a[0].str())) : bad("LOWER", a); });
  auto rtrimFn = [](Args& a) { return a[0].isText() ? Value(rtrim(a[0].str())) : bad("TRIM", a); };
  reg("TRIM", rtrimFn);
  reg("RTRIM", rtrimFn);
  reg("LTRIM", [](Args& a) { return a[0].isText() ? Value(ltrim(a[0].str())) : bad("LTRIM", a); });
  reg("ALLTRIM", [](Args& a) { return a[0].isText() ? Value(alltrim(a[0].str())) : bad("ALLTRIM", a); });
  reg("SPACE", [](Args& a) {
    if (!a[0].isNumber()) return bad("SPACE", a);
    double n = a[0].num();
    if (n <= 0) return Value("");
    Value answer;
    if (!textFits(n, "SPACE", &answer)) return answer;
    return Value(std::string(static_cast<size_t>(n), ' '));
  });
  reg("REPLICATE", [](Args& a) {
    if (!a[0].isText() || !a[1].isNumber()) return bad("REPLICATE", a);
    double n = a[1].num();
    std::string_view s = a[0].str();
    if (n <= 0 || s.empty()) return Value("");
    Value answer;
    if (!textFits(std::floor(n) * static_cast<double>(s.size()), "REPLICATE", &answer)) return answer;
    std::string out;
    out.reserve(static_cast<size_t>(n) * s.size());
    for (long long i = 0; i < static_cast<long long>(n); ++i) out.append(s);
    return Value(out);
  });
  reg("PADR", [](Args& a) { return pad(a, Pad::Right, "PADR"); });
  reg("PAD", [](Args& a) { return pad(a, Pad::Right, "PAD"); });
  reg("PADL", [](Args& a) { return pad(a, Pad::Left, "PADL"); });
  reg("PADC", [](Args& a) { return pad(a, Pad::Center, "PADC"); });
  reg("AT", [](Args& a) {
    if (!a[0].isText() || !a[1].isText()) return bad("AT", a);
    std::string_view n = a[0].str(), h = a[1].str();
    size_t p = n.empty() ? std::string_view::npos : h.find(n);
    return Value(p == std::string_view::npos ? 0ull : static_cast<unsigned long long>(p + 1));
  });
  reg("RAT", [](Args& a) {
    if (!a[0].isText() || !a[1].isText()) return bad("RAT", a);
    std::string_view n = a[0].str(), h = a[1].str();
    size_t p = n.empty() ? std::string_view::npos : h.rfind(n);
    return Value(p == std::string_view::npos ? 0ull : static_cast<unsigned long long>(p + 1));
  });
  reg("STUFF", stuff);
  reg("STRTRAN", strtran);
  reg("STR", str);
  reg("STRZERO", strzero);
  reg("VAL", [](Args& a) { return a[0].isText() ? valNumber(a[0].str()) : bad("VAL", a); });
  auto firstByte = [](const Args& a, auto test) {
    std::string_view s = a[0].str();
    return Value::logical(!s.empty() && test(static_cast<unsigned char>(s[0])));
  };
  reg("ISDIGIT", [firstByte](Args& a) { return firstByte(a, [](unsigned char c) { return c >= '0' && c <= '9'; }); });
  reg("ISALPHA", [firstByte](Args& a) { return firstByte(a, isLetter); });
  reg("ISUPPER", [firstByte](Args& a) {
    return firstByte(a, [](unsigned char c) { return isLetter(c) && lowerByte(c) != c; });
  });
  reg("ISLOWER", [firstByte](Args& a) {
    return firstByte(a, [](unsigned char c) { return isLetter(c) && upperByte(c) != c; });
  });
  reg("DESCEND", descend);
}

}  // namespace kor::expr::stdlib
