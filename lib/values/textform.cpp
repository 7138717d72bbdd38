#include "values/textform.h"

#include <array>
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
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool neg = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
  double v = 0;
  int dec = 0;
  bool any = false;
  // Accumulate digits as an integer mantissa for exactness, then scale.
  std::string digits;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
    digits += t[i++];
    any = true;
  }
  if (i < t.size() && t[i] == '.') {
    size_t j = i + 1;
    std::string frac;
    while (j < t.size() && t[j] >= '0' && t[j] <= '9') frac += t[j++];
    if (!frac.empty() || any) {
      digits += frac;
      dec = static_cast<int>(frac.size());
      any = any || !frac.empty();
    }
  }
  if (!any) return Value::number(0, 0);
  std::string text = digits.substr(0, 300);
  if (dec > 0) text.insert(text.size() - static_cast<size_t>(dec), ".");
  v = std::strtod(text.c_str(), nullptr);
  return Value::number(neg ? -v : v, dec);
}

// --- dates -------------------------------------------------------------------

namespace {

struct Run {
  char letter;  // 'd', 'm', 'y' or 0 for a literal character
  size_t len;
  char literal;
};

std::vector<Run> runsOf(std::string_view f) {
  std::vector<Run> runs;
  for (size_t i = 0; i < f.size();) {
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(f[i])));
    if (c == 'd' || c == 'm' || c == 'y') {
      size_t j = i;
      while (j < f.size() && std::tolower(static_cast<unsigned char>(f[j])) == c) ++j;
      runs.push_back(Run{c, j - i, 0});
      i = j;
    } else {
      runs.push_back(Run{0, 1, f[i]});
      ++i;
    }
  }
  return runs;
}

void put2(std::string& out, int v) {
  out += static_cast<char>('0' + (v / 10) % 10);
  out += static_cast<char>('0' + v % 10);
}

}  // namespace

std::string dateToText(DateTime d, std::string_view format) {
  std::string out;
  int y = 0, m = 0, day = 0;
  if (!d.empty()) ymdFromJulian(d.julian, y, m, day);
  for (const Run& r : runsOf(format)) {
    if (r.letter == 0) {
      out += r.literal;
      continue;
    }
    size_t width = r.letter == 'y' ? (r.len >= 3 ? 4 : 2) : 2;
    if (d.empty()) {
      out.append(width, ' ');
    } else if (r.letter == 'd') {
      put2(out, day);
    } else if (r.letter == 'm') {
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
  // The order of day, month and year in the format.
  std::vector<Run> runs = runsOf(format);
  std::vector<Run> fields;
  for (auto& r : runs)
    if (r.letter) fields.push_back(r);
  if (fields.size() != 3) return DateTime{};

  // Digit groups of the text; without separators, cut by the format's widths.
  std::vector<std::string> groups;
  std::string cur;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      cur += c;
    } else if (!cur.empty()) {
      groups.push_back(cur);
      cur.clear();
    }
  }
  if (!cur.empty()) groups.push_back(cur);
  if (groups.size() == 1) {
    std::string all = groups[0];
    groups.clear();
    size_t pos = 0;
    for (auto& f : fields) {
      size_t w = f.letter == 'y' ? (f.len >= 3 ? 4 : 2) : 2;
      if (pos + w > all.size()) return DateTime{};
      groups.push_back(all.substr(pos, w));
      pos += w;
    }
    if (pos != all.size()) return DateTime{};
  }
  if (groups.size() != 3) return DateTime{};
  int y = -1, m = -1, d = -1;
  bool twoDigitYear = false;
  for (size_t i = 0; i < 3; ++i) {
    if (groups[i].size() > 4) return DateTime{};
    int v = std::stoi(groups[i]);
    if (fields[i].letter == 'd') d = v;
    else if (fields[i].letter == 'm') m = v;
    else {
      y = v;
      twoDigitYear = groups[i].size() <= 2;
    }
  }
  if (twoDigitYear) {
    int century = epoch / 100 * 100;
    y += century;
    if (y < epoch) y += 100;
  }
  int32_t jd = julianFromYmd(y, m, d);
  return DateTime{jd, -1};
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
