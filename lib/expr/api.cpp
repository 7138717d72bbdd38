// The public face of the expression language: the data context, the cache
// of compiled texts, compile/eval, type letters and callbacks from texts.
#include <string>
#include <unordered_map>

#include "expr/expr.h"
#include "expr/internal.h"
#include "runtime/error.h"
#include "runtime/frames.h"

namespace kor::expr {

namespace {

DataContext* g_context = nullptr;
uint64_t g_contextGen = 1;

// Compiled texts by their exact source. The cache is bounded: when it is
// full it is emptied (programs in use stay alive through their holders), so
// a program that evaluates endless distinct texts cannot grow it without end.
constexpr size_t kCacheMax = 4096;

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

using Cache = std::unordered_map<std::string, std::shared_ptr<const Program>, TextHash, std::equal_to<>>;
Cache& cache() {
  static Cache c;
  return c;
}

}  // namespace

Limits& limits() {
  static Limits l;
  return l;
}

void setDataContext(DataContext* ctx) {
  g_context = ctx;
  ++g_contextGen;
}
DataContext* dataContext() { return g_context; }
uint64_t dataContextGeneration() { return g_contextGen; }

void clearCache() { cache().clear(); }
size_t cacheSize() { return cache().size(); }

std::shared_ptr<const Program> compileCached(std::string_view text, std::string* why) {
  Cache& c = cache();
  auto it = c.find(text);
  if (it != c.end()) return it->second;
  std::shared_ptr<const Program> p = parseProgram(text, why);
  if (!p) return nullptr;
  if (c.size() >= kCacheMax) c.clear();
  c.emplace(std::string(text), p);
  return p;
}

std::shared_ptr<const Program> compileOrRaise(std::string_view text, Value* substitute) {
  std::string why;
  std::shared_ptr<const Program> p = compileCached(text, &why);
  if (p) return p;
  rt::ErrorRecord e = rt::makeError(rt::kErrSyntax, "BASE", kSubSyntax, std::string(text));
  e.args = {Value(text)};
  e.cargo = Value(why);
  e.canDefault = true;
  e.canSubstitute = true;
  *substitute = raiseForValue(e);
  return nullptr;
}

// --- Compiled ----------------------------------------------------------------

Value Compiled::eval() const {
  if (!p_) return Value();
  return runProgram(*p_, false);
}

Value Compiled::evalWith(Args& args) const {
  if (!p_) return Value();
  if (p_->rootBlock < 0) return runProgram(*p_, false);
  return runRootBlock(*p_, args);
}

std::string_view Compiled::source() const { return p_ ? std::string_view(p_->source) : std::string_view(); }

// The type of the value a dry evaluation gives: assignments are not stored
// and routines without the kPure flag are not called ("UI"). Any error on the
// way means the type is unknown ("U"), a text that does not parse inside a
// macro "UE". The guard keeps every such error from the handler.
std::string Compiled::typeLetter() const {
  if (!p_) return "UE";
  std::string out = "U";
  rt::guard(
      [&] {
        try {
          Value v = runProgram(*p_, true);
          out = std::string(1, v.typeLetter());
        } catch (DryImpure&) {
          out = "UI";
        }
      },
      [&](rt::ErrorRecord& e) {
        out = e.genCode == rt::kErrSyntax && e.subCode == kSubSyntax ? "UE" : "U";
      });
  return out;
}

// --- free functions ------------------------------------------------------------

Compiled compile(std::string_view text) {
  Value ignored;
  return Compiled(compileOrRaise(text, &ignored));
}

std::optional<Compiled> tryCompile(std::string_view text, std::string* why) {
  std::shared_ptr<const Program> p = compileCached(text, why);
  if (!p) return std::nullopt;
  return Compiled(std::move(p));
}

Value evalText(std::string_view text) {
  Value answer;
  std::shared_ptr<const Program> p = compileOrRaise(text, &answer);
  if (!p) return answer;
  return runProgram(*p, false);
}

std::string typeOf(std::string_view text) {
  std::shared_ptr<const Program> p = compileCached(text, nullptr);
  if (!p) return "UE";
  return Compiled(std::move(p)).typeLetter();
}

Value toBlock(std::string_view text) {
  Value answer;
  std::shared_ptr<const Program> p = compileOrRaise(text, &answer);
  if (!p) return Value();
  if (p->rootBlock >= 0) return rootBlockValue(*p, text);
  // Any other expression: a callback without parameters that evaluates it,
  // in a frame "(b)" + the routine that made it.
  std::string creator = rt::routineAt(0);
  std::string module = rt::moduleAt(0);
  int line = rt::lineAt(0);
  std::string frameName = "(b)" + creator;
  return makeBlock(
      [p, module, frameName, line](Args&) {
        rt::FrameGuard frame(module, frameName, line);
        return runProgram(*p, false);
      },
      std::string(text), creator);
}

}  // namespace kor::expr
