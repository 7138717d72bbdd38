#include "values/convert.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/frames.h"
#include "runtime/settings.h"
#include "runtime/vars.h"
#include "values/charset.h"
#include "values/cp850.h"
#include "values/hooks.h"
#include "values/picture.h"
#include "values/textform.h"

namespace kor {

namespace values {

std::string numberWithComma(double n, int decimals) {
  char buf[1024];
  size_t len = numberText(n, decimals, buf);
  for (size_t i = 0; i < len; ++i)
    if (buf[i] == '.') buf[i] = ',';
  return std::string(buf, len);
}

namespace {

// A text small enough for the stack, or on the heap when it is not.
class Scratch {
 public:
  explicit Scratch(size_t n) : p_(n <= sizeof small_ ? small_ : (big_.resize(n), big_.data())) {}
  char* data() { return p_; }

 private:
  char small_[256];
  std::string big_;
  char* p_;
};

bool equalsUpper(std::string_view s, std::string_view upperWord) {
  if (s.size() != upperWord.size()) return false;
  for (size_t i = 0; i < s.size(); ++i)
    if (static_cast<char>(upperByte(static_cast<unsigned char>(s[i]))) != upperWord[i]) return false;
  return true;
}

}  // namespace

int readTimeOfDay(std::string_view t) {
  int parts[4] = {0, 0, 0, 0};
  int digitsOfLast = 0;
  int count = 0;
  size_t i = 0;
  while (count < 4) {
    size_t j = i;
    int v = 0;
    while (j < t.size() && t[j] >= '0' && t[j] <= '9' && j - i < 3) v = v * 10 + (t[j++] - '0');
    if (j == i) return -1;
    parts[count++] = v;
    digitsOfLast = static_cast<int>(j - i);
    i = j;
    if (i == t.size()) break;
    char sep = t[i];
    if (!(sep == ':' || (count == 3 && sep == '.'))) return -1;
    ++i;
  }
  if (i != t.size() || count < 2) return -1;
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return -1;
  int frac = 0;
  if (count == 4) frac = digitsOfLast == 1 ? parts[3] * 100 : digitsOfLast == 2 ? parts[3] * 10 : parts[3];
  return ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000 + frac;
}

Value readNumber(std::string_view s) {
  size_t comma = s.find(',');
  if (comma == std::string_view::npos) return valNumber(s);
  size_t point = s.find('.');
  if (point != std::string_view::npos && point > comma) return valNumber(s);  // read up to the comma
  Scratch buf(s.size());
  char* o = buf.data();
  size_t n = 0;
  for (char c : s) {
    if (c == '.') continue;  // thousands points (only present before the comma)
    o[n++] = c == ',' ? '.' : c;
  }
  return valNumber(std::string_view(o, n));
}

DateTime readDateTime(std::string_view text) {
  std::string_view s = alltrim(text);
  if (s.empty()) return DateTime{};
  size_t blank = s.find(' ');
  if (blank != std::string_view::npos) {
    int ms = readTimeOfDay(alltrim(s.substr(blank + 1)));
    if (ms >= 0) {
      DateTime d = ctod(s.substr(0, blank));
      if (!d.empty()) d.millis = ms;
      return d;
    }
  }
  return ctod(s);
}

std::string dateTimeText(DateTime d) {
  std::string out = dtoc(d);
  if (d.empty() || !d.hasTime()) return out;
  out += ' ';
  out += timeText(d.millis);
  int hundredths = (d.millis % 1000) / 10;
  if (hundredths > 0) {
    out += ':';
    out += static_cast<char>('0' + hundredths / 10);
    out += static_cast<char>('0' + hundredths % 10);
  }
  return out;
}

}  // namespace values

namespace {

using values::Scratch;

std::string_view textOr(const Value& v, std::string_view dflt) { return v.isText() ? v.str() : dflt; }
int intOr(const Value& v, int dflt) {
  if (!v.isNumber()) return dflt;
  double n = v.num();
  if (!(n == n)) return dflt;
  if (n > 1e6) return 1000000;
  if (n < -1e6) return -1000000;
  return static_cast<int>(n);
}
char letterOf(const Value& v) {
  std::string_view s = alltrim(v.str());
  return s.empty() ? 0 : static_cast<char>(upperByte(static_cast<unsigned char>(s[0])));
}
std::string padRight(std::string_view s, int width) {
  if (width <= 0) return {};
  std::string out(s.substr(0, static_cast<size_t>(width)));
  out.resize(static_cast<size_t>(width), ' ');
  return out;
}
std::string padLeft(std::string_view s, int width) {
  if (width <= 0 || s.size() >= static_cast<size_t>(width)) return std::string(s);
  return std::string(static_cast<size_t>(width) - s.size(), ' ') + std::string(s);
}

// StrZero: the number zero-padded on the left to the width, the sign
// first; asterisks when it does not fit.
std::string strZero(double n, int width, int decimals) {
  std::string t = numberText(std::fabs(n), decimals);
  bool neg = n < 0 && t.find_first_not_of("0.") != std::string::npos;
  if (width <= 0) return neg ? "-" + t : t;
  size_t room = static_cast<size_t>(width) - (neg ? 1 : 0);
  if (t.size() > room) return std::string(static_cast<size_t>(width), '*');
  return (neg ? "-" : "") + std::string(room - t.size(), '0') + t;
}

void replaceAll(std::string& s, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  std::string out;
  size_t last = 0, pos;
  bool any = false;
  while ((pos = s.find(from, last)) != std::string::npos) {
    out.append(s, last, pos - last);
    out.append(to);
    last = pos + from.size();
    any = true;
  }
  if (!any) return;
  out.append(s, last, std::string::npos);
  s.swap(out);
}

// --- X_TO_C -------------------------------------------------------------------------

bool debugSwitchOn() {
  const Value* v = rt::findVar("DEBUGX_TO_C");
  return v && v->isLogical();
}

// The value as the "?" output command shows it.
std::string outputForm(const Value& v) {
  switch (v.type()) {
    case VType::Number: return strNumber(v);
    case VType::Text:
    case VType::Memo: return v.string();
    case VType::Date: return values::dateTimeText(v.dateTime());
    case VType::Logical: return v.log() ? ".T." : ".F.";
    case VType::Nil: return "NIL";
    case VType::Array: return "{...}";
    case VType::Hash: return "{=>...}";
    case VType::Block: return "{||...}";
    case VType::Object: return v.objectRep() && v.objectRep()->cls ? v.objectRep()->cls->name : "{...}";
    case VType::Pointer: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%p", v.ptr());
      return buf;
    }
    default: return "";
  }
}

struct XtoCArgs {
  std::string_view sep = ", ";
  bool english = false;
  bool trim = false;
  int decimals = -1;  // the number's own
};

std::string memoText(std::string_view m) {
  std::string out;
  out.reserve(m.size() + 2);
  out += '"';
  for (size_t i = 0; i < m.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(m[i]);
    if ((c == '\r' || c == 141) && i + 1 < m.size() && m[i + 1] == '\n') {
      out += '\n';
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
  if (out.size() > 2) replaceAll(out, "\"\"", "\"");
  return out;
}

void appendText(const Value& v, const XtoCArgs& a, std::string& out);

std::string textOf(const Value& v, const XtoCArgs& a) {
  std::string s;
  appendText(v, a, s);
  return s;
}

void appendText(const Value& v, const XtoCArgs& a, std::string& out) {
  switch (v.type()) {
    case VType::Number: {
      char buf[1024];
      size_t len = numberText(v.num(), a.decimals >= 0 ? a.decimals : v.decimals(), buf);
      for (size_t i = 0; i < len; ++i) out += buf[i] == '.' ? ',' : buf[i];
      return;
    }
    case VType::Logical:
      out += v.log() ? (a.english ? "True" : "Verdadeiro") : (a.english ? "False" : "Falso");
      return;
    case VType::Memo: out += memoText(v.str()); return;
    case VType::Date: out += values::dateTimeText(v.dateTime()); return;
    case VType::Array: {
      XtoCArgs inner = a;
      inner.decimals = -1;
      std::string built;
      for (const Value& item : v.items()) {
        std::string t = textOf(item, inner);
        // The separator goes between texts; an item that writes nothing
        // adds nothing.
        if (!built.empty() && !t.empty()) built += a.sep;
        built += t;
      }
      out += built;
      return;
    }
    case VType::Block: out += v.blockRep() ? v.blockRep()->source : std::string(); return;
    case VType::Nil: out += "Nil"; return;
    case VType::Object:
      if (v.objectRep() && v.objectRep()->cls) out += v.objectRep()->cls->name;
      return;
    case VType::Pointer: return;
    case VType::Hash: {
      XtoCArgs dflt;
      std::string built;
      for (const auto& [key, val] : v.hashRep()->pairs) {
        if (!built.empty()) built += a.sep;
        appendText(key, dflt, built);
        built += " => ";
        appendText(val, dflt, built);
      }
      out += built;
      return;
    }
    default: out += a.trim ? alltrim(v.str()) : v.str(); return;
  }
}

}  // namespace

Value X_TO_C(const Value& v, const Value& separator, const Value& english, const Value& trim,
             const Value& decimals) {
  KOR_ROUTINE("X_TO_C");
  if (debugSwitchOn()) {
    std::string line = outputForm(v);
    line += ' ';
    line += v.typeLetter();
    values::writeLine(line);
  }
  XtoCArgs a;
  if (separator.isText()) a.sep = separator.str();
  a.english = english.log();
  a.trim = trim.log();
  if (decimals.isNumber()) a.decimals = intOr(decimals, 0) < 0 ? 0 : intOr(decimals, 0);
  // The common field types without building a std::string on the heap.
  switch (v.type()) {
    case VType::Text: return a.trim ? Value(alltrim(v.str())) : v.deref();
    case VType::Number: {
      char buf[1024];
      size_t len = numberText(v.num(), a.decimals >= 0 ? a.decimals : v.decimals(), buf);
      for (size_t i = 0; i < len; ++i)
        if (buf[i] == '.') buf[i] = ',';
      return Value(std::string_view(buf, len));
    }
    case VType::Logical:
      return Value(v.log() ? (a.english ? "True" : "Verdadeiro") : (a.english ? "False" : "Falso"));
    default: return Value(textOf(v, a));
  }
}

// --- text to values ---------------------------------------------------------------------

Value CTOX(const Value& text, const Value& type) {
  KOR_ROUTINE("CTOX");
  char t = letterOf(type);
  if (t != 'N' && t != 'L' && t != 'D' && t != 'E') return text.deref();
  std::string_view s;
  std::string other;
  if (text.isText()) {
    s = text.str();
  } else if (!text.isNil()) {
    // A value that is not text: already of the type, or read from its text.
    char have = text.typeLetter();
    if (have == t || (t == 'E' && have == 'N')) return text.deref();
    other = X_TO_C(text).string();
    s = other;
  }
  s = alltrim(s);
  switch (t) {
    case 'N': return values::readNumber(s);
    case 'L':
      // X_TO_C writes "Verdadeiro": it reads back true so that a logical
      // survives the text round trip of the change audit.
      return Value::logical(values::equalsUpper(s, ".T.") || values::equalsUpper(s, "T") || values::equalsUpper(s, "TRUE") ||
                            values::equalsUpper(s, "VERDADEIRO"));
    case 'D': return Value::date(values::readDateTime(s));
    default: {  // 'E'
      Scratch buf(s.size());
      char* o = buf.data();
      for (size_t i = 0; i < s.size(); ++i) {
        char c = static_cast<char>(upperByte(static_cast<unsigned char>(s[i])));
        o[i] = c == ',' ? '.' : c;
      }
      std::string_view u(o, s.size());
      size_t e = u.find('E');
      if (e == std::string_view::npos) return valNumber(u);
      Value mant = valNumber(u.substr(0, e));
      Value expo = valNumber(u.substr(e + 1));
      double x = mant.num() * std::pow(10.0, expo.num());
      if (!std::isfinite(x)) return Value::number(0, 0);
      double ex = std::trunc(expo.num());
      int dec = mant.decimals() - (ex > 400 ? 400 : ex < -400 ? -400 : static_cast<int>(ex));
      if (expo.num() != ex) dec = mant.decimals() + expo.decimals();
      if (dec < 0) dec = 0;
      if (dec > 30) dec = 30;
      return Value::number(x, dec);
    }
  }
}

Value CTOA(const Value& text, const Value& separator, const Value& kind) {
  KOR_ROUTINE("CTOA");
  std::string_view s = alltrim(text.str());
  std::string_view sep = textOr(separator, ";");
  if (sep.empty()) sep = ";";
  char k = kind.isText() ? letterOf(kind) : 'C';
  std::vector<Value> items;
  if (k != 'C' && k != 'N') return Value::array();
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t next = s.find(sep, pos);
    if (next == std::string_view::npos) next = s.size();
    std::string_view item = rtrim(s.substr(pos, next - pos));
    // Consecutive separators count as one, and no item is empty.
    if (!item.empty()) items.push_back(k == 'C' ? Value(item) : valNumber(item));
    pos = next + sep.size();
  }
  return Value::array(std::move(items));
}

Value CTOV(const Value& text) {
  KOR_ROUTINE("CTOV");
  if (text.isNumber()) return text.deref();
  std::string_view s = text.str();
  size_t comma = s.find(','), point = s.find('.');
  bool both = comma != std::string_view::npos && point != std::string_view::npos;
  Scratch buf(s.size());
  char* o = buf.data();
  size_t n = 0;
  bool neg = false, digitSeen = false;
  for (char c : s) {
    if (both && point < comma && c == '.') continue;  // thousands points
    if (both && point > comma && c == ',') continue;  // thousands commas
    if (c == ',') c = '.';
    if (c >= '0' && c <= '9') {
      digitSeen = true;
      o[n++] = c;
    } else if (c == '.') {
      o[n++] = c;
    } else if (c == '-' && !digitSeen) {
      // A minus before the digits keeps the number negative ("R$ -5,00").
      neg = true;
    }
  }
  Value v = valNumber(std::string_view(o, n));
  if (neg && v.num() != 0) return Value::number(-v.num(), v.decimals());
  return v;
}

Value CONVERTEVALOR(const Value& v) {
  KOR_ROUTINE("CONVERTEVALOR");
  if (!v.isText()) return v.deref();
  std::string_view s = v.str();
  size_t comma = s.find(','), point = s.find('.');
  if (comma == std::string_view::npos) return valNumber(s);
  Scratch buf(s.size());
  char* o = buf.data();
  size_t n = 0;
  bool pointFirst = point != std::string_view::npos && point < comma;
  bool commaFirst = point != std::string_view::npos && point > comma;
  for (char c : s) {
    if (pointFirst && c == '.') continue;
    if (commaFirst && c == ',') continue;
    o[n++] = c == ',' ? '.' : c;
  }
  return valNumber(std::string_view(o, n));
}

Value VALTRIM(const Value& text) {
  KOR_ROUTINE("VALTRIM");
  if (text.isNumber()) return text.deref();
  std::string_view s = text.str();
  Scratch buf(s.size());
  char* o = buf.data();
  for (size_t i = 0; i < s.size(); ++i) o[i] = s[i] == ',' ? '.' : s[i];
  return valNumber(std::string_view(o, s.size()));
}

// --- fixed-width texts -----------------------------------------------------------------

Value CONVNUM(const Value& n, const Value& width, const Value& decimals, const Value& mark,
              const Value& layout) {
  KOR_ROUTINE("CONVNUM");
  int dec = intOr(decimals, 0);
  if (dec < 0) dec = 0;
  int w = intOr(width, 15) + (dec > 0 ? 1 : 0);
  std::string lay = layout.isNumber() ? numberText(layout.num(), 0) : std::string(alltrim(textOr(layout, "0")));
  Value num = Value::number(n.num(), dec);
  std::string s;
  if (lay == "0") {
    s = strZero(n.num(), w, dec);
  } else {
    std::string full = strNumber(num, w, dec);
    std::string str(alltrim(full));
    if (lay == "1") s = padLeft(str, w);
    else if (lay == "3") s = str.size() < static_cast<size_t>(w) ? padRight(str, w) : str;
    else s = str;
  }
  if (s.find('*') != std::string::npos) s = padLeft(s, w);
  std::string out;
  std::string_view m = textOr(mark, "");
  for (char c : s) {
    if (c == '.') out += m;
    else out += c;
  }
  return Value(out);
}

namespace {

constexpr std::string_view kMonths[12] = {"Janeiro"_cp, "Fevereiro"_cp, "Março"_cp,    "Abril"_cp,
                                          "Maio"_cp,    "Junho"_cp,     "Julho"_cp,    "Agosto"_cp,
                                          "Setembro"_cp, "Outubro"_cp,  "Novembro"_cp, "Dezembro"_cp};

std::string two(int v) {
  char b[3] = {static_cast<char>('0' + (v / 10) % 10), static_cast<char>('0' + v % 10), 0};
  return b;
}
std::string four(int v) { return two(v / 100) + two(v % 100); }

}  // namespace

std::string_view values::monthName(int month) {
  if (month < 1 || month > 12) return {};
  return kMonths[month - 1];
}

Value CONVDATA(const Value& d, const Value& format, const Value& emptyRule, const Value& separator) {
  KOR_ROUTINE("CONVDATA");
  DateTime dt = d.dateTime();
  int fmt = intOr(format, 1);
  int rule = emptyRule.isLogical() ? (emptyRule.log() ? 1 : 2) : intOr(emptyRule, 2);
  std::string_view sep = textOr(separator, "/");
  bool empty = dt.empty();
  int y = 0, m = 0, day = 0;
  if (!empty) ymdFromJulian(dt.julian, y, m, day);
  // Text pieces (blanks for the empty date) and number pieces (zeros).
  std::string full = dateToText(dt, "dd/mm/yyyy");
  std::string dd = full.substr(0, 2), mm = full.substr(3, 2), yy = full.substr(8, 2);
  std::string nd = two(day), nm = two(m), ny4 = four(y), ny2 = two(y % 100);
  // The century of formats 1 and 10 is the date's own.
  std::string cc = empty ? "  " : two(y / 100);
  std::string out;
  switch (fmt) {
    case 1: out = cc + yy + mm + dd; break;
    case 2: out = nd + nm + ny4; break;
    case 3: out = dd + mm + yy; break;
    case 4: out = yy + mm + dd; break;
    case 5: out = dd + "/" + mm + "/" + yy; break;
    case 6: out = nd + "/" + nm + "/" + ny4; break;
    case 7: out = nm + ny2; break;
    case 8: out = ny2 + nm; break;
    case 9: out = ny4 + "/" + nm + "/" + nd; break;
    case 10: out = cc + yy + "/" + dd + "/" + mm; break;
    case 11: out = nm + "/" + nd + "/" + ny4; break;
    case 12: out = yy + "/" + mm + "/" + dd; break;
    case 13: out = nd + std::string(values::monthName(m).substr(0, 3)) + ny4; break;
    case 14: out = nd + "/" + lower(values::monthName(m).substr(0, 3)); break;
    default: out = full; break;
  }
  if (empty) {
    if (rule == 1) out.assign(out.size(), ' ');
    else if (rule == 3)
      for (char& c : out)
        if (c == ' ') c = '0';
    if (rule == 4) out.clear();
  }
  std::string res;
  for (char c : out) {
    if (c == '/') res += sep;
    else res += c;
  }
  return Value(res);
}

Value CONVCHAR(const Value& v, const Value& width, const Value& kind) {
  KOR_ROUTINE("CONVCHAR");
  std::string t = X_TO_C(v).string();
  int w = intOr(width, static_cast<int>(t.size()));
  char k = kind.isText() ? letterOf(kind) : 'C';
  if (k == 'C') return Value(padRight(t, w));
  Value n = valNumber(alltrim(t));  // stops at the decimal comma
  return Value(strZero(n.num(), w, 0));
}

Value LENX(const Value& v) {
  KOR_ROUTINE("LENX");
  switch (v.type()) {
    case VType::Memo: return Value::array({Value(65), Value(0)});
    case VType::Number:
      return Value::array({Value(static_cast<int>(strNumber(v).size())), Value(v.decimals())});
    case VType::Text: return Value::array({Value(static_cast<int>(v.str().size())), Value(0)});
    case VType::Date: return Value::array({Value(static_cast<int>(dtoc(v.dateTime()).size())), Value(0)});
    default: return Value::array({Value(0), Value(0)});
  }
}

Value STRTRIM(const Value& n, const Value& width, const Value& decimals, const Value& dropZeroDecimals) {
  KOR_ROUTINE("STRTRIM");
  double x = n.num();
  bool whole = std::isfinite(x) && std::trunc(x) == x;
  bool drop = dropZeroDecimals.log() && whole;
  int own = n.decimals();
  std::string s;
  if (width.isNumber() || decimals.isNumber()) {
    int givenDec = decimals.isNumber() ? std::max(0, intOr(decimals, 0)) : 0;
    int w = (width.isNumber() ? intOr(width, 0) : ownWidth(n)) + givenDec;
    int dec = drop ? 0 : (decimals.isNumber() ? givenDec : own);
    s = strNumber(n, w, dec);
  } else {
    int dec = drop ? 0 : own;
    s = strNumber(Value::number(x, dec, n.width()), ownWidth(n), dec);
  }
  return Value(alltrim(s));
}

Value TRANSFTRIM(const Value& v, const Value& picture) {
  KOR_ROUTINE("TRANSFTRIM");
  return Value(ltrim(values::transform(v, picture.str())));
}

Value MTOC(const Value& memo, const Value& width) {
  KOR_ROUTINE("MTOC");
  int w = intOr(width, 65);
  if (w < 1) w = 65;
  std::string_view m = memo.str();
  std::string res;
  auto emit = [&](std::string_view piece) {
    res += alltrim(piece);
    // The piece padded to the width ends in a blank unless it fills it.
    if (piece.size() < static_cast<size_t>(w) || piece.back() == ' ') res += ' ';
  };
  auto wrap = [&](std::string_view line) {
    do {
      std::string_view piece;
      if (line.size() <= static_cast<size_t>(w)) {
        piece = line;
        line = {};
      } else {
        size_t blank = line.substr(0, static_cast<size_t>(w) + 1).rfind(' ');
        if (blank == std::string_view::npos || blank == 0) {
          piece = line.substr(0, static_cast<size_t>(w));
          line = line.substr(static_cast<size_t>(w));
        } else {
          piece = line.substr(0, blank);
          line = line.substr(blank + 1);
        }
      }
      emit(piece);
    } while (!line.empty());
  };
  // Hard lines: CR LF, the soft break (141 LF), or a lone CR or LF.
  size_t start = 0;
  for (size_t i = 0; i <= m.size(); ++i) {
    if (i == m.size()) {
      if (i > start) wrap(m.substr(start, i - start));
      break;
    }
    unsigned char c = static_cast<unsigned char>(m[i]);
    if (c == '\r' || c == '\n' || c == 141) {
      wrap(m.substr(start, i - start));
      if ((c == '\r' || c == 141) && i + 1 < m.size() && m[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  return Value(values::replaceAccents(alltrim(res), 1));
}

Value XTOT(const Value& v) {
  KOR_ROUTINE("XTOT");
  if (v.isDate()) return v.deref();
  if (!v.isText()) return Value();
  std::string_view s = alltrim(v.str());
  bool digits = !s.empty();
  for (char c : s)
    if (c < '0' || c > '9') digits = false;
  if (digits && (s.size() == 14 || s.size() == 12 || s.size() == 8)) {
    // The compact stamp yyyymmdd[hhmm[ss]].
    auto num = [&](size_t at, size_t n) {
      int x = 0;
      for (size_t i = 0; i < n; ++i) x = x * 10 + (s[at + i] - '0');
      return x;
    };
    int32_t jd = julianFromYmd(num(0, 4), num(4, 2), num(6, 2));
    if (jd == 0) return Value();
    int h = s.size() >= 12 ? num(8, 2) : 0, mi = s.size() >= 12 ? num(10, 2) : 0;
    int sec = s.size() == 14 ? num(12, 2) : 0;
    if (h > 23 || mi > 59 || sec > 59) return Value();
    return Value::date(DateTime{jd, ((h * 60 + mi) * 60 + sec) * 1000});
  }
  // "yyyy-mm-ddThh:mm:ss" with an optional offset, as CONVDTUTC writes it.
  if (s.size() >= 19 && s[4] == '-' && s[7] == '-' && (s[10] == 'T' || s[10] == ' ')) {
    DateTime d = textToDate(s.substr(0, 10), "yyyy-mm-dd", rt::epoch());
    int ms = values::readTimeOfDay(s.substr(11, 8));
    if (d.empty() || ms < 0) return Value();
    d.millis = ms;
    return Value::date(d);
  }
  // The text form: the date in the program's date format and a time.
  DateTime d = values::readDateTime(s);
  if (d.empty()) return Value();
  if (!d.hasTime()) d.millis = 0;
  return Value::date(d);
}

Value SODIGITO(const Value& text, const Value& keepSeparators) {
  KOR_ROUTINE("SODIGITO");
  bool keep = keepSeparators.isLogical() ? keepSeparators.log() : true;
  std::string out;
  for (char c : text.str())
    if ((c >= '0' && c <= '9') || (keep && (c == '.' || c == ','))) out += c;
  return Value(out);
}

Value VARVAZIA(const Value& v) {
  KOR_ROUTINE("VARVAZIA");
  return Value::logical(v.empty());
}

// --- truncation -------------------------------------------------------------------------

namespace {

// The number read back from its standard text cut after `dec` decimals.
Value cutDecimals(const Value& n, int dec) {
  if (!n.isNumber()) return n.deref();
  std::string t = numberText(n.num(), n.decimals());
  size_t point = t.find('.');
  if (point == std::string::npos) return n.deref();
  if (dec < 0) dec = 0;
  size_t end = std::min(t.size(), point + 1 + static_cast<size_t>(dec));
  return valNumber(std::string_view(t).substr(0, end));
}

}  // namespace

Value CASADEC(const Value& n, const Value& decimals) {
  KOR_ROUTINE("CASADEC");
  return cutDecimals(n, intOr(decimals, 2));
}

Value TRUNCAVAL(const Value& n, const Value& decimals) {
  KOR_ROUTINE("TRUNCAVAL");
  return cutDecimals(n, intOr(decimals, 0));
}

Value INTEIRO(const Value& n, const Value& keepFractions) {
  KOR_ROUTINE("INTEIRO");
  if (!n.isNumber()) return n.deref();
  std::string t = numberText(n.num(), n.decimals());
  size_t point = t.find('.');
  if (point == std::string::npos) return n.deref();
  if (keepFractions.log() && t.find_first_not_of('0', point + 1) != std::string::npos) return n.deref();
  return valNumber(std::string_view(t).substr(0, point));
}

Value PORCENTO(const Value& a, const Value& b, const Value& decimals) {
  KOR_ROUTINE("PORCENTO");
  int dec = std::max(0, intOr(decimals, 2));
  return Value::number(roundHalfAway(a.num() * b.num() / 100.0, dec), dec);
}

Value BYTESTOX(const Value& bytes, Value* unit) {
  KOR_ROUTINE("BYTESTOX");
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB", "ZB", "YB"};
  double count = bytes.num();
  const char* u = "Bytes";
  for (int i = 0; i < 8 && count >= 1024; ++i) {
    count = std::floor(count / 1024);
    u = kUnits[i];
  }
  if (unit) *unit = Value(u);
  return Value::number(count, 0);
}

Value CONCATCHAR(const Value& v, const Value& trim, const Value& delimiters) {
  KOR_ROUTINE("CONCATCHAR");
  std::string_view d = textOr(delimiters, "()");
  std::string t = X_TO_C(v).string();
  std::string out;
  if (!d.empty()) out += d.front();
  out += trim.log() ? std::string(alltrim(t)) : t;
  if (!d.empty()) out += d.back();
  return Value(out);
}

}  // namespace kor
