#include "values/dates.h"

#include <cmath>

#include "platform/platform.h"
#include "runtime/frames.h"
#include "values/convert.h"
#include "values/hooks.h"
#include "values/textform.h"

namespace kor {

namespace values {

DateTime now() {
  plat::LocalTime t = plat::localTime(plat::nowMillis());
  return DateTime{julianFromYmd(t.year, t.month, t.day),
                  ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millis};
}

double secondsOfDay() {
  DateTime d = now();
  return std::floor(d.millis / 10.0) / 100.0;
}

namespace {

int digitsAt(std::string_view s, size_t at, size_t n) {
  int v = 0;
  bool any = false;
  for (size_t i = at; i < at + n && i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') break;
    v = v * 10 + (s[i] - '0');
    any = true;
  }
  return any ? v : 0;
}

std::string two(int v) {
  std::string s;
  s += static_cast<char>('0' + (v / 10) % 10);
  s += static_cast<char>('0' + v % 10);
  return s;
}

}  // namespace

std::string durationInWords(std::string_view t) {
  // Hours in columns 1-2, minutes 4-5, seconds 7-8, hundredths 10-11.
  int h = digitsAt(t, 0, 2), m = digitsAt(t, 3, 2), s = digitsAt(t, 6, 2), cs = digitsAt(t, 9, 2);
  struct Part {
    int n;
    const char* word;
    bool stopsAfter;
  } parts[] = {{h, "Hora", false}, {m, "Minuto", true}, {s, "Segundo", true}};
  std::string out;
  int separators = 0;
  for (const Part& p : parts) {
    if (p.n == 0) continue;
    if (!out.empty()) out += separators++ == 0 ? ", " : " e ";
    out += std::to_string(p.n);
    out += ' ';
    out += p.word;
    if (p.n > 1) out += 's';
    if (p.stopsAfter && p.n > 1) break;
  }
  if (out.empty()) return cs > 0 ? "< 1 segundo" : "";
  if (out.find(" e ") == std::string::npos) {
    size_t pos;
    while ((pos = out.find(", ")) != std::string::npos) out.replace(pos, 2, " e ");
  }
  return out;
}

std::string durationInWords(double seconds) {
  // Whole seconds within one day; a negative duration has no words.
  if (!(seconds >= 0)) return "";
  if (seconds >= 1e15) seconds = std::fmod(seconds, 86400.0);
  long long s = static_cast<long long>(seconds) % 86400;
  std::string t = two(static_cast<int>(s / 3600)) + ":" + two(static_cast<int>(s / 60 % 60)) + ":" +
                  two(static_cast<int>(s % 60));
  return durationInWords(t);
}

}  // namespace values

Value DATAHORA(const Value& date, const Value& time) {
  KOR_ROUTINE("DATAHORA");
  DateTime now = values::now();
  DateTime d = date.isDate() ? date.dateTime() : now;
  std::string t;
  if (time.isText()) {
    t = time.string();
  } else {
    // A date that carries its own time of day stamps that time.
    t = timeText(date.isDate() && d.hasTime() ? d.millis : now.millis);
  }
  std::string digits;
  for (char c : t)
    if (c != ':') digits += c;
  digits.resize(6, '0');
  return Value(dtos(d) + digits);
}

Value TEMPOEXTENSO(const Value& duration) {
  KOR_ROUTINE("TEMPOEXTENSO");
  if (duration.isNumber()) return Value(values::durationInWords(duration.num()));
  return Value(values::durationInWords(duration.str()));
}

Value TEMPOEST(const Value& start, const Value& done, const Value& total) {
  KOR_ROUTINE("TEMPOEST");
  // Before any unit is done there is nothing to estimate from.
  if (!(done.num() > 0)) return Value("");
  double elapsed = values::secondsOfDay() - start.num();
  if (elapsed < 0) elapsed += 86400;  // the run went past midnight
  if (elapsed < 1) elapsed = 1;
  double estimated = total.num() / (done.num() / elapsed);
  return Value(values::durationInWords(estimated - elapsed));
}

namespace {

bool lastDayOfMonth(int32_t jd) {
  int y, m, d, y2, m2, d2;
  ymdFromJulian(jd, y, m, d);
  ymdFromJulian(jd + 1, y2, m2, d2);
  return m2 != m;
}

}  // namespace

Value PERIODOEXTENSO(const Value& first, const Value& last) {
  KOR_ROUTINE("PERIODOEXTENSO");
  DateTime a = first.isDate() ? first.dateTime() : DateTime{values::now().julian, -1};
  DateTime b = last.isDate() ? last.dateTime() : a;
  if (a.empty() || b.empty()) return Value("");
  int y1, mo1, day1, y2, mo2, day2;
  ymdFromJulian(a.julian, y1, mo1, day1);
  ymdFromJulian(b.julian, y2, mo2, day2);
  std::string d1 = values::two(day1), d2 = values::two(day2);
  std::string m1(values::monthName(mo1)), m2(values::monthName(mo2));
  std::string yy1 = values::two(y1 % 100), yy2 = values::two(y2 % 100);
  if (mo1 == mo2 && y1 == y2) m2.clear(), d2.clear();
  if (y1 == y2) yy1.clear();
  if (d1 == "01" && lastDayOfMonth(b.julian)) d1.clear(), d2.clear();
  std::string tail = d2 + m2 + yy2;
  return Value(d1 + m1 + yy1 + (tail.size() > 2 ? "_" : "") + tail);
}

Value FORMATADATAHORA(const Value& dateTime, const Value& mask) {
  KOR_ROUTINE("FORMATADATAHORA");
  DateTime d;
  if (dateTime.isNil()) {
    d = values::now();
  } else if (dateTime.isDate()) {
    d = dateTime.dateTime();
  } else if (dateTime.isText()) {
    Value t = XTOT(dateTime);
    d = t.dateTime();
  }
  if (d.empty()) return Value("");
  int y, m, day;
  ymdFromJulian(d.julian, y, m, day);
  int ms = d.hasTime() ? d.millis : 0;
  int secs = ms / 1000;
  std::string out(mask.isText() ? mask.str() : std::string_view("DD/MM/AA hh:mm"));
  auto put = [&out](std::string_view key, const std::string& v) {
    size_t pos;
    while ((pos = out.find(key)) != std::string::npos) out.replace(pos, key.size(), v);
  };
  put("DD", values::two(day));
  put("MM", values::two(m));
  put("hh", values::two(secs / 3600));
  put("mm", values::two(secs / 60 % 60));
  put("ss", values::two(secs % 60));
  put("AAAA", values::two(y / 100) + values::two(y % 100));
  put("AA", values::two(y % 100));
  return Value(out);
}

Value CONVDTUTC(const Value& date, const Value& time) {
  KOR_ROUTINE("CONVDTUTC");
  if (date.dateTime().empty()) return Value(std::string(10, ' '));
  std::string t = time.isText() ? time.string() : "00:00:00";
  Value day = CONVDATA(date, Value(9), Value(), Value("-"));
  return Value(day.string() + "T" + t + "-03:00");
}

Value SAYDATAHORA(const Value& row, const Value& col, const Value& dateTime) {
  KOR_ROUTINE("SAYDATAHORA");
  std::string t = X_TO_C(dateTime).string();
  if (t.size() > 17) t.resize(17);
  values::writeAt(static_cast<int>(row.integer()), static_cast<int>(col.integer()), t);
  return Value();
}

}  // namespace kor
