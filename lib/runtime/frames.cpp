#include "runtime/frames.h"

#include <cctype>

#include "runtime/vars.h"

namespace kor::rt {

namespace {

struct Frame {
  std::string module;
  std::string routine;
  int line = 0;
};

std::vector<Frame>& stack() {
  static std::vector<Frame> s;
  return s;
}

std::string baseName(std::string_view path) {
  size_t p = path.find_last_of("/\\");
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

}  // namespace

FrameGuard::FrameGuard(std::string_view routine, const char* file, int line) {
  stack().push_back(Frame{baseName(file ? file : ""), upper(routine), line});
}

FrameGuard::FrameGuard(std::string_view module, std::string_view routine, int line) {
  stack().push_back(Frame{std::string(module), std::string(routine), line});
}

FrameGuard::~FrameGuard() {
  int d = depth();
  dropPrivates(d);
  if (!stack().empty()) stack().pop_back();
}

void setLine(int line) {
  if (!stack().empty()) stack().back().line = line;
}

int depth() { return static_cast<int>(stack().size()); }

std::string routineAt(int level) {
  auto& s = stack();
  if (level < 0 || level >= static_cast<int>(s.size())) return "";
  return s[s.size() - 1 - level].routine;
}

int lineAt(int level) {
  auto& s = stack();
  if (level < 0 || level >= static_cast<int>(s.size())) return 0;
  return s[s.size() - 1 - level].line;
}

std::string moduleAt(int level) {
  auto& s = stack();
  if (level < 0 || level >= static_cast<int>(s.size())) return "";
  return s[s.size() - 1 - level].module;
}

std::vector<FrameInfo> callStack(int skip) {
  std::vector<FrameInfo> out;
  auto& s = stack();
  for (int i = static_cast<int>(s.size()) - 1 - skip; i >= 0; --i)
    out.push_back(FrameInfo{s[i].module, s[i].routine, s[i].line});
  return out;
}

std::string moduleBase(std::string_view module) {
  std::string b = baseName(module);
  size_t dot = b.find_last_of('.');
  if (dot != std::string::npos && dot > 0) b.resize(dot);
  return b;
}

std::string fullLocationText(const FrameInfo& f) {
  return moduleBase(f.module) + "->" + f.routine + "(" + std::to_string(f.line) + ")";
}

std::string locationText(const FrameInfo& f) {
  std::string name = f.routine;
  if (name.rfind("(b)", 0) == 0) name = name.substr(3);
  std::string mod = upper(moduleBase(f.module));
  bool omit = mod.empty() || (!name.empty() && mod.find(upper(name)) != std::string::npos);
  std::string text = omit ? std::string() : moduleBase(f.module) + "->";
  return text + f.routine + "(" + std::to_string(f.line) + ")";
}

void resetFrames() {
  while (!stack().empty()) {
    dropPrivates(depth());
    stack().pop_back();
  }
}

}  // namespace kor::rt
