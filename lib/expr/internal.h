// Declarations shared by the files of lib/expr; not for other modules.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "expr/expr.h"
#include "expr/program.h"
#include "runtime/error.h"

namespace kor::expr {

// Limits the parser enforces so that no text can exhaust the stack.
inline constexpr int kMaxNesting = 256;    // parentheses, calls, brackets, blocks, prefixes
inline constexpr int kMaxTreeDepth = 500;  // depth of the compiled tree

// Parses a text (parser.cpp). nullptr and the reason when it does not parse.
std::shared_ptr<Program> parseProgram(std::string_view text, std::string* why);

// The cached compiled form of a text (api.cpp); nullptr and the reason when
// it does not parse. Does not raise.
std::shared_ptr<const Program> compileCached(std::string_view text, std::string* why);
// The same, raising the syntax error; nullptr when the handler answered,
// with *substitute holding a substituted value (nil for default).
std::shared_ptr<const Program> compileOrRaise(std::string_view text, Value* substitute);

// Changes whenever setDataContext() installs a context.
uint64_t dataContextGeneration();

// Evaluates a program's root (eval.cpp). `dry`: the side-effect-free
// evaluation that typeLetter() runs (assignments are not stored, routines
// without the kPure flag throw DryImpure).
Value runProgram(const Program& p, bool dry);
// Runs the body of the program's root callback literal with its parameters
// bound to args (evalWith).
Value runRootBlock(const Program& p, Args& args);
// The callback value of the program's root callback literal, saved form `source`.
Value rootBlockValue(const Program& p, std::string_view source);

// Thrown (only) during a dry evaluation when it reaches a routine call that
// may have side effects.
struct DryImpure {};

// Raises a record that can only be answered with a value: returns the
// substituted value, or `dflt` for default (and retry, which cannot help).
Value raiseForValue(rt::ErrorRecord& e, Value dflt = Value());

// Error records of the evaluator.
rt::ErrorRecord argError(std::string_view operation, int subCode, std::initializer_list<Value> args);

}  // namespace kor::expr
