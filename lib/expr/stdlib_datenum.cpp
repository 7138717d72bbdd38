// Standard functions on dates and numbers: Date, Time, Seconds, Dtoc, Ctod,
// Dtos, Stod, Day, Month, Year, Dow, Cmonth, Cdow, Int, Round, Abs, Max,
// Min, Mod, Sqrt, Exp, Log.
#include <cmath>
#include <string>

#include "expr/expr.h"
#include "expr/internal.h"
#include "expr/stdlib.h"
#include "platform/platform.h"
#include "runtime/settings.h"
#include "values/cp850.h"
#include "values/textform.h"

namespace kor::expr::stdlib {

namespace {

// Month and weekday names follow the program's run-time language (Portuguese).
constexpr std::string_view kMonths[] = {"Janeiro"_cp, "Fevereiro"_cp, "Março"_cp,    "Abril"_cp,
                                        "Maio"_cp,    "Junho"_cp,     "Julho"_cp,    "Agosto"_cp,
                                        "Setembro"_cp, "Outubro"_cp,  "Novembro"_cp, "Dezembro"_cp};
constexpr std::string_view kDays[] = {"Domingo"_cp,       "Segunda-feira"_cp, "Terça-feira"_cp, "Quarta-feira"_cp,
                                      "Quinta-feira"_cp, "Sexta-feira"_cp,   "Sábado"_cp};

int decimalsSetting() {
  long long d = rt::setting(rt::Set::Decimals).integer();
  return d < 0 ? 0 : (d > 255 ? 255 : static_cast<int>(d));
}

plat::LocalTime now() { return plat::localTime(plat::nowMillis()); }

// A date part: fn(y, m, d) of a date, 0 for the empty date.
template <typename F>
rt::NativeFn datePart(const char* name, F fn) {
  return [name, fn](Args& a) {
    if (!a[0].isDate()) return bad(name, a);
    DateTime d = a[0].dateTime();
    if (d.empty()) return Value(0);
    int y, m, day;
    ymdFromJulian(d.julian, y, m, day);
    return Value(fn(y, m, day, d.julian));
  };
}

Value roundFn(Args& a) {
  if (!a[0].isNumber() || (a.has(1) && !a[1].isNumber())) return bad("ROUND", a);
  long long d = a.has(1) ? a[1].integer() : 0;
  double n = a[0].num();
  if (d >= 0) {
    int dec = static_cast<int>(std::min<long long>(d, 255));
    return Value::number(roundHalfAway(n, dec), dec);
  }
  // Negative decimals round to tens, hundreds ...
  double scale = std::pow(10.0, static_cast<double>(std::min<long long>(-d, 300)));
  return Value::number(roundHalfAway(n / scale, 0) * scale, 0);
}

// Max/Min of two numbers, dates or texts.
Value extreme(Args& a, bool wantMax, const char* name) {
  const Value &x = a[0], &y = a[1];
  bool ok = (x.isNumber() && y.isNumber()) || (x.isDate() && y.isDate()) || (x.isText() && y.isText()) ||
            (x.isLogical() && y.isLogical());
  if (!ok) return bad(name, a);
  bool xFirst;
  if (x.isNumber()) xFirst = wantMax ? x.num() >= y.num() : x.num() <= y.num();
  else if (x.isDate()) xFirst = wantMax ? x.julian() >= y.julian() : x.julian() <= y.julian();
  else if (x.isText()) xFirst = wantMax ? x.str() >= y.str() : x.str() <= y.str();
  else xFirst = wantMax ? x.log() >= y.log() : x.log() <= y.log();
  return xFirst ? x.asText() : y.asText();
}

// Mod(a, b): the remainder with the sign of the divisor (Mod(-1, 3) = 2),
// unlike the % operator, which keeps the sign of the dividend.
Value modFn(Args& a) {
  if (!a[0].isNumber() || !a[1].isNumber()) return bad("MOD", a);
  double x = a[0].num(), y = a[1].num();
  int dec = std::max(a[0].decimals(), a[1].decimals());
  if (y == 0) {
    rt::ErrorRecord e = rt::makeError(rt::kErrZeroDiv, "BASE", kSubZeroMod, "MOD");
    e.args = {a[0], a[1]};
    e.canSubstitute = true;
    e.canDefault = true;
    return raiseForValue(e, Value(0));
  }
  double r = std::fmod(x, y);
  if (r != 0 && ((r < 0) != (y < 0))) r += y;
  return Value::number(r, dec);
}

template <typename F>
rt::NativeFn mathFn(const char* name, F fn) {
  return [name, fn](Args& a) {
    if (!a[0].isNumber()) return bad(name, a);
    return Value::number(fn(a[0].num()), decimalsSetting());
  };
}

}  // namespace

void registerDateNumber() {
  reg("DATE", [](Args&) {
    plat::LocalTime t = now();
    return Value::ymd(t.year, t.month, t.day);
  });
  reg("TIME", [](Args&) {
    plat::LocalTime t = now();
    return Value(timeText(((t.hour * 60 + t.minute) * 60 + t.second) * 1000));
  });
  reg("SECONDS", [](Args&) {
    plat::LocalTime t = now();
    double s = (t.hour * 60 + t.minute) * 60 + t.second + t.millis / 1000.0;
    return Value::number(s, 2);
  });
  reg("DTOC", [](Args& a) { return a[0].isDate() ? Value(dtoc(a[0].dateTime())) : bad("DTOC", a); });
  reg("CTOD", [](Args& a) { return a[0].isText() ? Value::date(ctod(a[0].str())) : bad("CTOD", a); });
  reg("DTOS", [](Args& a) { return a[0].isDate() ? Value(dtos(a[0].dateTime())) : bad("DTOS", a); });
  reg("STOD", [](Args& a) {
    if (a[0].isNil()) return Value::emptyDate();
    return a[0].isText() ? Value::date(stod(a[0].str())) : bad("STOD", a);
  });
  reg("DAY", datePart("DAY", [](int, int, int d, int32_t) { return d; }));
  reg("MONTH", datePart("MONTH", [](int, int m, int, int32_t) { return m; }));
  reg("YEAR", datePart("YEAR", [](int y, int, int, int32_t) { return y; }));
  reg("DOW", datePart("DOW", [](int, int, int, int32_t j) { return dayOfWeek(j); }));
  reg("CMONTH", [](Args& a) {
    if (!a[0].isDate()) return bad("CMONTH", a);
    DateTime d = a[0].dateTime();
    if (d.empty()) return Value("");
    int y, m, day;
    ymdFromJulian(d.julian, y, m, day);
    return Value(kMonths[m - 1]);
  });
  reg("CDOW", [](Args& a) {
    if (!a[0].isDate()) return bad("CDOW", a);
    DateTime d = a[0].dateTime();
    if (d.empty()) return Value("");
    return Value(kDays[dayOfWeek(d.julian) - 1]);
  });

  reg("INT", [](Args& a) { return a[0].isNumber() ? Value::number(std::trunc(a[0].num()), 0) : bad("INT", a); });
  reg("ROUND", roundFn);
  reg("ABS", [](Args& a) {
    return a[0].isNumber() ? Value::number(std::fabs(a[0].num()), a[0].decimals()) : bad("ABS", a);
  });
  reg("MAX", [](Args& a) { return extreme(a, true, "MAX"); });
  reg("MIN", [](Args& a) { return extreme(a, false, "MIN"); });
  reg("MOD", modFn);
  reg("SQRT", mathFn("SQRT", [](double x) { return x > 0 ? std::sqrt(x) : 0.0; }));
  reg("EXP", mathFn("EXP", [](double x) { return std::exp(x); }));
  reg("LOG", mathFn("LOG", [](double x) { return std::log(x); }));
}

}  // namespace kor::expr::stdlib
