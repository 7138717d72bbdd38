// Operators on Values, with the usual rules of this family of languages:
// text + text concatenates (a memo gives a text), text - text moves the
// left's trailing blanks to the end, date + number and date - number move by
// days, date - date counts days; numbers carry their decimals (sum and
// difference: the larger count; product: the sum of both; division and
// power: the Decimals setting unless the result is exact).
#include "expr/ops.h"

#include <cmath>
#include <cstring>
#include <string>

#include "expr/internal.h"
#include "runtime/compare.h"
#include "runtime/settings.h"

namespace kor::expr {

namespace {

int decimalsSetting() {
  long long d = rt::setting(rt::Set::Decimals).integer();
  return d < 0 ? 0 : (d > 255 ? 255 : static_cast<int>(d));
}

Value operandError(Op op, const Value& a, const Value& b) {
  rt::ErrorRecord e = argError(opText(op), opSubCode(op), {a.deref(), b.deref()});
  return raiseForValue(e);
}

Value zeroDivide(Op op, const Value& a, const Value& b, bool dry) {
  if (dry) return Value(0);
  rt::ErrorRecord e = rt::makeError(rt::kErrZeroDiv, "BASE", op == Op::Div ? kSubZeroDiv : kSubZeroMod, opText(op));
  e.args = {a.deref(), b.deref()};
  e.canSubstitute = true;
  e.canDefault = true;
  return raiseForValue(e, Value(0));
}

// Days added to a date; a date with a time of day moves by fractions too.
Value addDays(const Value& d, double days) {
  DateTime dt = d.dateTime();
  if (dt.empty() || !std::isfinite(days)) return d.deref();
  if (!dt.hasTime()) {
    double j = static_cast<double>(dt.julian) + std::trunc(days);
    if (j < 1 || j > 5373484) return Value::emptyDate();  // outside years 1..9999
    return Value::date(static_cast<int32_t>(j));
  }
  double ms = (static_cast<double>(dt.julian) * 86400000.0 + dt.millis) + days * 86400000.0;
  double j = std::floor(ms / 86400000.0);
  if (j < 1 || j > 5373484) return Value::emptyDate();
  int32_t millis = static_cast<int32_t>(ms - j * 86400000.0);
  return Value::date(DateTime{static_cast<int32_t>(j), millis});
}

Value dateDiff(const Value& a, const Value& b) {
  DateTime x = a.dateTime(), y = b.dateTime();
  if (!x.hasTime() && !y.hasTime()) return Value::number(static_cast<double>(x.julian) - y.julian, 0);
  double mx = static_cast<double>(x.julian) * 86400000.0 + (x.millis < 0 ? 0 : x.millis);
  double my = static_cast<double>(y.julian) * 86400000.0 + (y.millis < 0 ? 0 : y.millis);
  double days = (mx - my) / 86400000.0;
  return Value::number(days, days == std::trunc(days) ? 0 : decimalsSetting());
}

// "abc  " - "de" = "abcde  ": the left's trailing blanks go to the end.
Value subtractText(std::string_view a, std::string_view b) {
  size_t keep = a.size();
  while (keep > 0 && a[keep - 1] == ' ') --keep;
  size_t n = a.size() + b.size();
  if (n > limits().maxText) return concatText(a, b);  // raises the overflow
  std::string s;
  s.reserve(n);
  s.append(a.substr(0, keep)).append(b).append(a.size() - keep, ' ');
  return Value(s);
}

int maxDec(const Value& a, const Value& b) { return std::max(a.decimals(), b.decimals()); }

Value arith(Op op, const Value& a, const Value& b, bool dry) {
  double x = a.num(), y = b.num();
  switch (op) {
    case Op::Add: return Value::number(x + y, maxDec(a, b));
    case Op::Sub: return Value::number(x - y, maxDec(a, b));
    case Op::Mul: return Value::number(x * y, a.decimals() + b.decimals());
    case Op::Div: {
      if (y == 0) return zeroDivide(op, a, b, dry);
      double q = x / y;
      bool exact = a.decimals() == 0 && b.decimals() == 0 && q == std::trunc(q);
      return Value::number(q, exact ? 0 : decimalsSetting());
    }
    case Op::Mod: {
      if (y == 0) return zeroDivide(op, a, b, dry);
      return Value::number(std::fmod(x, y), maxDec(a, b));
    }
    case Op::Pow: {
      double p = std::pow(x, y);
      bool exact = a.decimals() == 0 && y >= 0 && y == std::trunc(y) && p == std::trunc(p) &&
                   std::fabs(p) < 9007199254740992.0;
      return Value::number(p, exact ? 0 : decimalsSetting());
    }
    default: return Value();
  }
}

// Whether two values may be compared for equality at all: nil with
// anything, texts with texts, otherwise the same type.
bool comparable(const Value& a, const Value& b) {
  if (a.isNil() || b.isNil()) return true;
  if (a.isText() && b.isText()) return true;
  return a.type() == b.type();
}

bool equalValues(const Value& a, const Value& b, bool exactEq) {
  if (a.isNil() || b.isNil()) return a.isNil() && b.isNil();
  return rt::valuesEqual(a, b, exactEq);
}

Value contains(const Value& a, const Value& b) {
  if (a.isText() && b.isText()) {
    std::string_view n = a.str(), h = b.str();
    return Value::logical(!n.empty() && h.find(n) != std::string_view::npos);
  }
  if (b.isArray()) {
    for (const Value& v : b.items())
      if (comparable(a, v) && equalValues(a, v, true)) return Value::logical(true);
    return Value::logical(false);
  }
  if (b.isHash()) return Value::logical(b.find(a) != nullptr);
  return operandError(Op::In, a, b);
}

}  // namespace

const char* opText(Op op) {
  switch (op) {
    case Op::Add: return "+";
    case Op::Sub: return "-";
    case Op::Mul: return "*";
    case Op::Div: return "/";
    case Op::Mod: return "%";
    case Op::Pow: return "**";
    case Op::Eq: return "=";
    case Op::ExactEq: return "==";
    case Op::Ne: return "<>";
    case Op::Lt: return "<";
    case Op::Le: return "<=";
    case Op::Gt: return ">";
    case Op::Ge: return ">=";
    case Op::In: return "$";
    case Op::Neg: return "-";
    case Op::Plus: return "+";
    case Op::Not: return ".NOT.";
    case Op::And: return ".AND.";
    case Op::Or: return ".OR.";
    case Op::PreInc: return "++";
    case Op::PostInc: return "++";
    default: return "?";
  }
}

int opSubCode(Op op) {
  switch (op) {
    case Op::ExactEq: return 1070;
    case Op::Eq: return 1071;
    case Op::Ne: return 1072;
    case Op::Lt: return 1073;
    case Op::Le: return 1074;
    case Op::Gt: return 1075;
    case Op::Ge: return 1076;
    case Op::Not: return 1077;
    case Op::And: return 1078;
    case Op::Or: return 1079;
    case Op::Neg: return 1080;
    case Op::Add: return 1081;
    case Op::Sub: return 1082;
    case Op::Mul: return 1083;
    case Op::Div: return 1084;
    case Op::Mod: return 1085;
    case Op::PreInc: return 1086;
    case Op::PostInc: return 1086;
    case Op::Pow: return 1088;
    case Op::Plus: return 1089;
    case Op::In: return 1109;
    default: return 1000;
  }
}

Value concatText(std::string_view a, std::string_view b) {
  size_t n = a.size() + b.size();
  if (n <= Value::kInline) {
    char buf[Value::kInline];
    if (!a.empty()) std::memcpy(buf, a.data(), a.size());
    if (!b.empty()) std::memcpy(buf + a.size(), b.data(), b.size());
    return Value(std::string_view(buf, n));
  }
  if (n > limits().maxText) {
    rt::ErrorRecord e = rt::makeError(rt::kErrStrOverflow, "BASE", kSubStrOverflow, "+");
    e.args = {Value(static_cast<unsigned long long>(n))};
    e.canSubstitute = true;
    return raiseForValue(e);
  }
  std::string s;
  s.reserve(n);
  s.append(a).append(b);
  return Value(s);
}

Value binaryOp(Op op, const Value& a, const Value& b, bool dry) {
  switch (op) {
    case Op::Add:
      if (a.isNumber() && b.isNumber()) return arith(op, a, b, dry);
      if (a.isText() && b.isText()) return concatText(a.str(), b.str());
      if (a.isDate() && b.isNumber()) return addDays(a, b.num());
      if (a.isNumber() && b.isDate()) return addDays(b, a.num());
      return operandError(op, a, b);
    case Op::Sub:
      if (a.isNumber() && b.isNumber()) return arith(op, a, b, dry);
      if (a.isText() && b.isText()) return subtractText(a.str(), b.str());
      if (a.isDate() && b.isNumber()) return addDays(a, -b.num());
      if (a.isDate() && b.isDate()) return dateDiff(a, b);
      return operandError(op, a, b);
    case Op::Mul:
    case Op::Div:
    case Op::Mod:
    case Op::Pow:
      if (a.isNumber() && b.isNumber()) return arith(op, a, b, dry);
      return operandError(op, a, b);
    case Op::Eq:
    case Op::ExactEq:
    case Op::Ne: {
      if (!comparable(a, b)) return operandError(op, a, b);
      bool eq = equalValues(a, b, op == Op::ExactEq);
      return Value::logical(op == Op::Ne ? !eq : eq);
    }
    case Op::Lt:
    case Op::Le:
    case Op::Gt:
    case Op::Ge: {
      auto c = rt::compareValues(a, b, false);
      if (!c) return operandError(op, a, b);
      bool r = op == Op::Lt ? *c < 0 : op == Op::Le ? *c <= 0 : op == Op::Gt ? *c > 0 : *c >= 0;
      return Value::logical(r);
    }
    case Op::In: return contains(a, b);
    default: return Value();
  }
}

Value unaryOp(Op op, const Value& a) {
  switch (op) {
    case Op::Neg:
      if (a.isNumber()) return Value::number(-a.num(), a.decimals());
      break;
    case Op::Plus:
      if (a.isNumber()) return Value::number(a.num(), a.decimals());
      break;
    case Op::Not:
      if (a.isLogical()) return Value::logical(!a.log());
      break;
    default: break;
  }
  rt::ErrorRecord e = argError(opText(op), opSubCode(op), {a.deref()});
  return raiseForValue(e);
}

}  // namespace kor::expr
