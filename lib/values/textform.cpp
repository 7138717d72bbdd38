#include "values/textform.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/settings.h"
#include "values/cp850.h"

namespace kor {

// --- numbers ----------------------------------------------------------------

int ownWidth(const Value& n) {
  if (n.width() > 0) return n.width();
  int dec = n.decimals();
  double whole = std::fabs(n.num());
  int digits = 1;
  while (digits < 30 && whole >= std::pow(10.0, digits)) ++digits;
  if (n.num() < 0) ++digits;
  int w = digits > 10 ? digits : 10;
  return w + (dec > 0 ? dec + 1 : 0);
}

std::string strNumber(const Value& n, int width, int decimals) {
  if (width < 0) {
    width = ownWidth(n);
    if (decimals < 0) decimals = n.decimals();
  } else if (decimals < 0) {
    decimals = 0;
  }
  if (width > 1000) width = 1000;
  char buf[1024];
  size_t len = numberText(n.num(), decimals, buf);
  if (width <= 0) return std::string(buf, len);
  if (static_cast<int>(len) > width) return std::string(static_cast<size_t>(width), '*');
  std::string out(static_cast<size_t>(width) - len, ' ');
  out.append(buf, len);
  return out;
}

Value valNumber(std::string_view t) {
  // Works in a stack buffer: this reader runs for every field of every
  // record of an update run.
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool neg = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
  char buf[720];
  size_t n = 0;
  size_t intDigits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
    if (n < 340) buf[n++] = t[i];
    ++intDigits;
    ++i;
  }
  int dec = 0;
  if (i < t.size() && t[i] == '.') {
    size_t j = i + 1;
    size_t fracStart = n;
    buf[n++] = '.';
    while (j < t.size() && t[j] >= '0' && t[j] <= '9') {
      if (n < sizeof buf) buf[n++] = t[j];
      ++dec;
      ++j;
    }
    if (n == fracStart + 1) --n;  // "1." has no decimals
  }
  if (intDigits == 0 && dec == 0) return Value::number(0, 0);
  if (intDigits > 340) return Value::number(0, 0);  // beyond any double
  double v = 0;
  auto res = std::from_chars(buf, buf + n, v);
  if (res.ec != std::errc()) v = 0;
  if (neg) v = -v;
  if (v == 0) v = 0;  // no negative zero
  return Value::number(v, dec);
}

// --- dates -------------------------------------------------------------------

namespace {

void put2(std::string& out, int v) {
  out += static_cast<char>('0' + (v / 10) % 10);
  out += static_cast<char>('0' + v % 10);
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The d, m, y runs of a date format, in order (at most 3 are used).
struct Fields {
  char letter[3];
  size_t width[3];  // digits in the text: 2, or 4 for a year run of 3 or more
  int count = 0;
};

Fields fieldsOf(std::string_view f) {
  Fields out;
  for (size_t i = 0; i < f.size();) {
    char c = lowerAscii(f[i]);
    if (c == 'd' || c == 'm' || c == 'y') {
      size_t j = i;
      while (j < f.size() && lowerAscii(f[j]) == c) ++j;
      if (out.count < 3) {
        out.letter[out.count] = c;
        out.width[out.count] = c == 'y' && j - i >= 3 ? 4 : 2;
      }
      ++out.count;
      i = j;
    } else {
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string dateToText(DateTime d, std::string_view format) {
  std::string out;
  out.reserve(format.size() + 2);
  int y = 0, m = 0, day = 0;
  if (!d.empty()) ymdFromJulian(d.julian, y, m, day);
  for (size_t i = 0; i < format.size();) {
    char c = lowerAscii(format[i]);
    if (c != 'd' && c != 'm' && c != 'y') {
      out += format[i++];
      continue;
    }
    size_t j = i;
    while (j < format.size() && lowerAscii(format[j]) == c) ++j;
    size_t width = c == 'y' && j - i >= 3 ? 4 : 2;
    i = j;
    if (d.empty()) {
      out.append(width, ' ');
    } else if (c == 'd') {
      put2(out, day);
    } else if (c == 'm') {
      put2(out, m);
    } else if (width == 4) {
      put2(out, y / 100);
      put2(out, y % 100);
    } else {
      put2(out, y % 100);
    }
  }
  return out;
}

DateTime textToDate(std::string_view text, std::string_view format, int epoch) {
  Fields f = fieldsOf(format);
  if (f.count != 3) return DateTime{};

  // Digit groups of the text; a single group is cut by the format's widths.
  size_t start[3], len[3];
  int groups = 0;
  for (size_t i = 0; i < text.size();) {
    if (text[i] < '0' || text[i] > '9') {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
    if (groups == 3) return DateTime{};
    start[groups] = i;
    len[groups] = j - i;
    ++groups;
    i = j;
  }
  if (groups == 1) {
    size_t all = len[0], pos = start[0], total = 0;
    for (int k = 0; k < 3; ++k) total += f.width[k];
    if (all != total) return DateTime{};
    for (int k = 0; k < 3; ++k) {
      start[k] = pos;
      len[k] = f.width[k];
      pos += f.width[k];
    }
    groups = 3;
  }
  if (groups != 3) return DateTime{};
  int y = -1, m = -1, d = -1;
  bool twoDigitYear = false;
  for (int k = 0; k < 3; ++k) {
    if (len[k] > 4) return DateTime{};
    int v = 0;
    for (size_t i = 0; i < len[k]; ++i) v = v * 10 + (text[start[k] + i] - '0');
    if (f.letter[k] == 'd') d = v;
    else if (f.letter[k] == 'm') m = v;
    else {
      y = v;
      twoDigitYear = len[k] <= 2;
    }
  }
  if (twoDigitYear) {
    int century = epoch / 100 * 100;
    y += century;
    if (y < epoch) y += 100;
  }
  return DateTime{julianFromYmd(y, m, d), -1};
}

std::string dtoc(DateTime d) { return dateToText(d, rt::dateFormat()); }
DateTime ctod(std::string_view text) { return textToDate(text, rt::dateFormat(), rt::epoch()); }

std::string dtos(DateTime d) {
  if (d.empty()) return std::string(8, ' ');
  // dateToText(d, "yyyymmdd") written out: index keys call this per record.
  int y = 0, m = 0, day = 0;
  ymdFromJulian(d.julian, y, m, day);
  char buf[8];
  int parts[4] = {y / 100, y % 100, m, day};
  for (int i = 0; i < 4; ++i) {
    buf[2 * i] = static_cast<char>('0' + (parts[i] / 10) % 10);
    buf[2 * i + 1] = static_cast<char>('0' + parts[i] % 10);
  }
  return std::string(buf, 8);
}

DateTime stod(std::string_view t) {
  if (t.size() != 8) return DateTime{};
  for (char c : t)
    if (c < '0' || c > '9') return DateTime{};
  int y = std::stoi(std::string(t.substr(0, 4)));
  int m = std::stoi(std::string(t.substr(4, 2)));
  int d = std::stoi(std::string(t.substr(6, 2)));
  return DateTime{julianFromYmd(y, m, d), -1};
}

std::string timeText(int millis) {
  if (millis < 0) millis = 0;
  int s = millis / 1000;
  std::string out;
  put2(out, (s / 3600) % 100);
  out += ':';
  put2(out, (s / 60) % 60);
  out += ':';
  put2(out, s % 60);
  return out;
}

// --- case ---------------------------------------------------------------------

namespace {

// Latin-1 letters U+00E0-U+00FE (but U+00F7) are the lower case of
// U+00C0-U+00DE; both sides are looked up in the code page.
struct CaseTables {
  std::array<unsigned char, 256> up{}, down{};
  CaseTables() {
    for (int i = 0; i < 256; ++i) up[i] = down[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c) {
      up[c] = static_cast<unsigned char>(c - 32);
      down[c - 32] = static_cast<unsigned char>(c);
    }
    for (int b = 0x80; b < 0x100; ++b) {
      char16_t u = kCp850ToUnicode[b - 0x80];
      if (u >= 0xE0 && u <= 0xFE && u != 0xF7) {
        int other = cp850FromUnicode(static_cast<char32_t>(u - 0x20));
        if (other >= 0) {
          up[b] = static_cast<unsigned char>(other);
          down[other] = static_cast<unsigned char>(b);
        }
      }
    }
  }
};

const CaseTables& caseTables() {
  static const CaseTables t;
  return t;
}

}  // namespace

unsigned char upperByte(unsigned char c) { return caseTables().up[c]; }
unsigned char lowerByte(unsigned char c) { return caseTables().down[c]; }

std::string upper(std::string_view s) {
  const auto& t = caseTables().up;
  std::string out(s);
  for (char& c : out) c = static_cast<char>(t[static_cast<unsigned char>(c)]);
  return out;
}

std::string lower(std::string_view s) {
  const auto& t = caseTables().down;
  std::string out(s);
  for (char& c : out) c = static_cast<char>(t[static_cast<unsigned char>(c)]);
  return out;
}

std::string_view rtrim(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}
std::string_view ltrim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}
std::string_view alltrim(std::string_view s) { return ltrim(rtrim(s)); }

}  // namespace kor
