// Call frames: the stack of active routines, with module, routine and current
// line per level. Logs, the error handler and the call-chain texts read it.
//
// A library routine opens its frame with KOR_ROUTINE("NAME") as its first
// statement; KOR_LINE() moves the frame's line to the current source line
// (do it before calls whose failure should point here). Callbacks run in a
// frame named "(b)" + the routine that created them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kor::rt {

struct FrameInfo {
  std::string module;   // source file name, e.g. "clasupd.cpp"
  std::string routine;  // upper case, e.g. "MAIN", "(b)ACOMODA"
  int line = 0;
};

class FrameGuard {
 public:
  // The file and line default to the caller's (the builtins work on every
  // compiler we use, unlike std::source_location on clang 14).
  explicit FrameGuard(std::string_view routine, const char* file = __builtin_FILE(),
                      int line = __builtin_LINE());
  // A frame with an explicit module name (callbacks, routines from files).
  FrameGuard(std::string_view module, std::string_view routine, int line);
  // Two literals and a line are a module, a routine and a line (without this
  // the first constructor would take them as routine, file and line).
  FrameGuard(const char* module, const char* routine, int line)
      : FrameGuard(std::string_view(module), std::string_view(routine), line) {}
  ~FrameGuard();
  FrameGuard(const FrameGuard&) = delete;
  FrameGuard& operator=(const FrameGuard&) = delete;
};

// Sets the line of the innermost frame.
void setLine(int line);
inline void here(int line = __builtin_LINE()) { setLine(line); }

// Depth of the stack (0 when no routine is active).
int depth();
// Name of the routine `level` levels out from the innermost (0 = innermost);
// "" beyond the outermost.
std::string routineAt(int level);
int lineAt(int level);
// Module of the routine `level` levels out ("" beyond the outermost).
std::string moduleAt(int level);
// The active levels from `skip` levels out from the innermost, outward.
std::vector<FrameInfo> callStack(int skip = 0);

// Module name without its extension (".cpp", ".prg", ...).
std::string moduleBase(std::string_view module);
// The location text of one level: module base + "->" + routine + "(" + line
// + ")", the module part and its arrow left out when the routine's name
// (without "(b)") occurs inside the module's name (without regard to case).
std::string locationText(const FrameInfo& f);
// The same with the module name always present (and without extension).
std::string fullLocationText(const FrameInfo& f);

// Clears the stack (tests).
void resetFrames();

}  // namespace kor::rt

#define KOR_CAT2_(a, b) a##b
#define KOR_CAT_(a, b) KOR_CAT2_(a, b)
#define KOR_ROUTINE(name) ::kor::rt::FrameGuard KOR_CAT_(kor_frame_, __LINE__)(name)
#define KOR_LINE() ::kor::rt::setLine(__LINE__)
