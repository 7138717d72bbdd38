// Routines by name: every routine an expression text, a menu, a key binding
// or a host program may call is registered under its upper-case name with a
// native function taking positional Values (absent = nil).
//
// Registration is explicit: each library module offers an idempotent
// registerRoutines() function in its namespace; the program's start-up calls
// them all, and a module's tests call the ones they need.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "values/value.h"

namespace kor::rt {

using NativeFn = std::function<Value(Args& args)>;

enum RoutineFlags : unsigned {
  kNone = 0,
  // No side effects: the expression language may evaluate it while only
  // asking for an expression's type.
  kPure = 1,
};

struct Routine {
  std::string name;  // upper case
  NativeFn fn;
  unsigned flags = kNone;
};

void registerRoutine(std::string_view name, NativeFn fn, unsigned flags = kNone);
// The routine of that name (any case), or nullptr.
const Routine* findRoutine(std::string_view name);
bool routineExists(std::string_view name);
// Calls a routine by name. An unknown name raises the "no function" error
// (generic code 12) and returns what the handler answers.
Value callRoutine(std::string_view name, Args args = {});
std::vector<std::string> routineNames();

}  // namespace kor::rt
