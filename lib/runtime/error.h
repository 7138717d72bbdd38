// ErrorRecord and the one error handler.
//
// A failing operation fills an ErrorRecord and calls raise(). The installed
// handler answers retry, default or a substituted value, and the operation
// acts on the answer (see ErrorAnswer and the retry loop in raiseLoop()).
//
// A guarded block (guard()) receives the record instead: while it runs,
// raise() unwinds to the guard with a C++ exception, as a "break" out of the
// block, and the guard's recovery function gets the record.
//
// Ending the program (exitProgram) unwinds to runProgram() in main, which
// still runs the shut-down and returns the exit code. Code must therefore
// never swallow exceptions with catch (...) without rethrowing
// ProgramExit and GuardBreak.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/frames.h"
#include "values/value.h"

namespace kor::rt {

// Generic error kinds (GENCODE).
enum GenCode : int {
  kErrUnknown = 0,
  kErrArg = 1,
  kErrBound = 2,
  kErrStrOverflow = 3,
  kErrNumOverflow = 4,
  kErrZeroDiv = 5,
  kErrNumeric = 6,
  kErrSyntax = 7,
  kErrComplexity = 8,
  kErrMem = 11,
  kErrNoFunc = 12,
  kErrNoMethod = 13,
  kErrNoVar = 14,
  kErrNoAlias = 15,
  kErrNoVarExport = 16,
  kErrBadAlias = 17,
  kErrDupAlias = 18,
  kErrCreate = 20,
  kErrOpen = 21,
  kErrClose = 22,
  kErrRead = 23,
  kErrWrite = 24,
  kErrPrint = 25,
  kErrUnsupported = 30,
  kErrLimit = 31,
  kErrCorruption = 32,
  kErrDataType = 33,
  kErrDataWidth = 34,
  kErrNoTable = 35,
  kErrNoOrder = 36,
  kErrShared = 37,
  kErrUnlocked = 38,
  kErrReadOnly = 39,
  kErrAppendLock = 40,
  kErrLock = 41,
};

// The standard description of a generic code ("" for unassigned codes).
std::string_view genCodeText(int genCode);

struct StackEntry {
  std::string module;
  std::string routine;
  int line = 0;
};

struct ErrorRecord {
  int severity = 2;  // 0 no matter, 1 warning, 2 error, 3 catastrophic
  int genCode = kErrUnknown;
  std::string subsystem = "BASE";
  int subCode = 0;
  std::string description;  // "" = the generic kind's text (filled by raise)
  std::string operation;
  std::string filename;
  int osCode = 0;
  std::vector<Value> args;
  bool canDefault = false;
  bool canRetry = false;
  bool canSubstitute = false;
  int tries = 0;
  Value cargo;
  std::string moduleName;
  std::string procName;
  int procLine = 0;
  std::vector<StackEntry> stack;  // innermost first
};

// Shortcut for the common fields.
ErrorRecord makeError(int genCode, std::string subsystem, int subCode, std::string operation = {},
                      std::string filename = {}, int osCode = 0);

struct ErrorAnswer {
  enum Kind { Retry, Default, Substitute } kind = Default;
  Value value;  // the substituted result
  static ErrorAnswer retry() { return {Retry, {}}; }
  static ErrorAnswer byDefault() { return {Default, {}}; }
  static ErrorAnswer substitute(Value v) { return {Substitute, std::move(v)}; }
};

using ErrorHandler = std::function<ErrorAnswer(ErrorRecord&)>;

// Installs the handler; returns the previous one. An empty handler means the
// plain default: print the error message to stderr and end with exit code 1.
ErrorHandler setErrorHandler(ErrorHandler h);
const ErrorHandler& errorHandler();

// Fills in the description, the location and the stack when missing, counts
// the try, and hands the record to the innermost guard or to the handler.
ErrorAnswer raise(ErrorRecord& rec);

// Runs an operation that may fail, retrying as the handler asks:
// attempt() returns true on success; on failure it fills `rec` (fresh each
// time) and raiseLoop() raises it. Returns the final answer kind: Retry is
// never returned (the loop retries); Default means give the default result.
// `ok` is true when the operation eventually succeeded.
struct LoopResult {
  bool ok = false;
  ErrorAnswer answer;
};
LoopResult raiseLoop(const std::function<bool(ErrorRecord& rec)>& attempt);

// The exception a guard catches.
struct GuardBreak {
  ErrorRecord rec;
};

// guard(body, recover): runs body; a raise() inside it (at any depth) ends
// the body and calls recover(rec). Returns true when body completed.
bool guard(const std::function<void()>& body, const std::function<void(ErrorRecord&)>& recover);
bool inGuard();

// Program exit.
struct ProgramExit {
  int code = 0;
};
[[noreturn]] void exitProgram(int code);
void setExitCode(int code);
int exitCode();

// Runs main(), then the shut-down, whatever way main ends (normal return,
// exitProgram, an uncaught error record), and returns the exit code.
int runProgram(const std::function<void()>& mainFn, const std::function<void()>& shutdown);

// The table engine's network-error flag (a failed open, append or lock that
// may be retried).
bool netErr();
void setNetErr(bool on);

}  // namespace kor::rt
