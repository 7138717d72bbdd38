#include "runtime/registry.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "runtime/error.h"

namespace kor::rt {

namespace {

std::unordered_map<std::string, Routine>& table() {
  static std::unordered_map<std::string, Routine> t;
  return t;
}

std::string upper(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

}  // namespace

void registerRoutine(std::string_view name, NativeFn fn, unsigned flags) {
  std::string key = upper(name);
  table()[key] = Routine{key, std::move(fn), flags};
}

const Routine* findRoutine(std::string_view name) {
  auto& t = table();
  auto it = t.find(upper(name));
  return it == t.end() ? nullptr : &it->second;
}

bool routineExists(std::string_view name) { return findRoutine(name) != nullptr; }

Value callRoutine(std::string_view name, Args args) {
  for (;;) {
    if (const Routine* r = findRoutine(name)) return r->fn(args);
    ErrorRecord e = makeError(kErrNoFunc, "BASE", 1001, upper(name));
    e.canRetry = true;
    e.canSubstitute = true;
    e.args = args.raw();
    ErrorAnswer a = raise(e);
    if (a.kind == ErrorAnswer::Retry) continue;
    return a.kind == ErrorAnswer::Substitute ? a.value : Value();
  }
}

std::vector<std::string> routineNames() {
  std::vector<std::string> out;
  for (auto& [k, r] : table()) out.push_back(k);
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace kor::rt
