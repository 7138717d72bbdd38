// registerRoutines() and the standard functions on any value: Empty,
// ValType, Type, Iif, Eval, Transform, ProcName, ProcLine.
//
// Routines flagged kPure have no side effects, so typeOf() may call them.
// Eval and the array functions that take callbacks run arbitrary code and
// are not flagged.
#include "expr/stdlib.h"

#include "expr/expr.h"
#include "expr/internal.h"
#include "runtime/frames.h"
#include "values/picture.h"

namespace kor::expr {

namespace stdlib {

Value bad(std::string_view fn, const Args& a) {
  rt::ErrorRecord e = rt::makeError(rt::kErrArg, "BASE", kSubFuncArg, std::string(fn));
  for (const Value& v : a.raw()) e.args.push_back(v.deref());
  e.canSubstitute = true;
  return raiseForValue(e);
}

bool textFits(double size, std::string_view fn, Value* answer) {
  if (size <= static_cast<double>(limits().maxText)) return true;
  rt::ErrorRecord e = rt::makeError(rt::kErrStrOverflow, "BASE", kSubStrOverflow, std::string(fn));
  e.args = {Value::number(size, 0)};
  e.canSubstitute = true;
  *answer = raiseForValue(e);
  return false;
}

bool arrayFits(double size, std::string_view fn, Value* answer) {
  if (size <= static_cast<double>(limits().maxArray)) return true;
  rt::ErrorRecord e = rt::makeError(rt::kErrBound, "BASE", kSubArraySize, std::string(fn));
  e.args = {Value::number(size, 0)};
  e.canSubstitute = true;
  *answer = raiseForValue(e);
  return false;
}

void registerMisc() {
  reg("EMPTY", [](Args& a) { return Value::logical(a[0].empty()); });
  reg("VALTYPE", [](Args& a) { return Value(std::string(1, a[0].typeLetter())); });
  reg("TYPE", [](Args& a) { return a[0].isText() ? Value(typeOf(a[0].str())) : bad("TYPE", a); });
  // The conditional is compiled inline (only the branch taken is
  // evaluated); this is the form for callers by name.
  auto iif = [](Args& a) {
    if (!a[0].isLogical()) return bad("IIF", a);
    return a[0].log() ? a[1] : a[2];
  };
  reg("IIF", iif);
  reg("IF", iif);
  reg("EVAL", [](Args& a) {
    if (!a[0].isBlock()) return bad("EVAL", a);
    Value block = a[0];
    std::vector<Value> rest;
    auto& raw = a.raw();
    for (size_t i = 1; i < raw.size(); ++i) rest.push_back(raw[i]);  // references stay references
    return evalBlock(block, Args(std::move(rest)));
  }, rt::kNone);
  // The picture rules belong to values/picture.h.
  reg("TRANSFORM", [](Args& a) {
    if (!a[1].isText() && !a[1].isNil()) return bad("TRANSFORM", a);
    return Value(values::transform(a[0], a[1].str()));
  });
  reg("PROCNAME", [](Args& a) {
    int level = a.has(0) ? static_cast<int>(a[0].integer()) : 0;
    return Value(rt::routineAt(level));
  });
  reg("PROCLINE", [](Args& a) {
    int level = a.has(0) ? static_cast<int>(a[0].integer()) : 0;
    return Value(rt::lineAt(level));
  });
}

}  // namespace stdlib

void registerRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  stdlib::registerText();
  stdlib::registerDateNumber();
  stdlib::registerArray();
  stdlib::registerMisc();
}

}  // namespace kor::expr
