// Helpers of the standard functions (stdlib_*.cpp). Internal to lib/expr.
//
// The standard functions are the language's own built-ins, like its
// operators: they open no call frame (PROCNAME(0) inside an expression names
// the routine that evaluates it), and a wrong argument raises the argument
// error with OPERATION = the function's name and ARGS = its arguments.
#pragma once

#include <string>
#include <string_view>

#include "runtime/registry.h"
#include "values/value.h"

namespace kor::expr::stdlib {

// Raises the argument error of a standard function; returns what the handler
// substitutes (nil for default).
Value bad(std::string_view fn, const Args& a);
// A result size checked against limits().maxText; false after raising the
// string-overflow error (with *answer the handler's value).
bool textFits(double size, std::string_view fn, Value* answer);
// The same for array sizes against limits().maxArray.
bool arrayFits(double size, std::string_view fn, Value* answer);

inline void reg(const char* name, rt::NativeFn fn, unsigned flags = rt::kPure) {
  rt::registerRoutine(name, std::move(fn), flags);
}

void registerText();
void registerDateNumber();
void registerArray();
void registerMisc();

}  // namespace kor::expr::stdlib
