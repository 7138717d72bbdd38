// The evaluator: walks a Program's nodes.
//
// Names resolve at evaluation time: a field of the current area first, then
// a dynamic variable. Each name node caches the field position (keyed by the
// data context, the area and its stamp) and the variable cell (keyed by the
// bindings version), so a name costs a few comparisons once warm.
//
// Callback parameters live in an Env of slots. A callback's slots are on the
// C++ stack unless an inner callback literal refers to them (the parser marks
// that as heapEnv): then they are shared with the inner callbacks, which may
// outlive the call.
//
// Nothing here throws except what the runtime throws on purpose (GuardBreak
// out of a guarded block, ProgramExit) and DryImpure in a dry evaluation; all
// state changes are undone by destructors on the way out.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <string>
#include <vector>

#include "expr/internal.h"
#include "expr/ops.h"
#include "runtime/frames.h"
#include "runtime/registry.h"
#include "runtime/vars.h"
#include "values/cp850.h"
#include "values/textform.h"

namespace kor::expr {

namespace {

struct Env {
  Env* parent = nullptr;
  std::shared_ptr<Env> hold;  // keeps a shared parent alive
  std::vector<Value> slots;
};

// Argument vectors are reused so that a routine call does not allocate.
class ArgBuf {
 public:
  ArgBuf() {
    auto& p = pool();
    if (!p.empty()) {
      v = std::move(p.back());
      p.pop_back();
    }
  }
  ~ArgBuf() {
    v.clear();
    auto& p = pool();
    if (v.capacity() > 0 && v.capacity() <= 64 && p.size() < 32) p.push_back(std::move(v));
  }
  ArgBuf(const ArgBuf&) = delete;
  ArgBuf& operator=(const ArgBuf&) = delete;
  std::vector<Value> v;

 private:
  static std::vector<std::vector<Value>>& pool() {
    static std::vector<std::vector<Value>> p;
    return p;
  }
};

// Depth of nested evaluations (programs, callbacks, macros) and the stack
// they use, so that runaway recursion ends in an error record.
struct NestState {
  int depth = 0;
  uintptr_t base = 0;
  uint64_t calls = 0;
};
NestState& nestState() {
  static NestState s;
  return s;
}

class Nest {
 public:
  Nest() {
    NestState& s = nestState();
    auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (s.depth == 0) {
      s.base = here;
      s.calls = 0;
    }
    ++s.depth;
    ++s.calls;
    const Limits& l = limits();
    if (s.depth > l.maxNested || (s.base > here && s.base - here > l.maxStack)) sub_ = kSubTooDeep;
    else if (l.maxCalls && s.calls > l.maxCalls) sub_ = kSubTooMany;
  }
  ~Nest() { --nestState().depth; }
  Nest(const Nest&) = delete;
  Nest& operator=(const Nest&) = delete;
  bool ok() const { return sub_ == 0; }
  Value fail(std::string_view what) const {
    rt::ErrorRecord e = rt::makeError(rt::kErrComplexity, "BASE", sub_, std::string(what));
    e.canSubstitute = true;
    return raiseForValue(e);
  }

 private:
  int sub_ = 0;
};

// A writable place: the target of an assignment or of ++/--.
struct Place {
  enum Kind { None, Slot, Cell, NewVar, Field, Elem, Member } kind = None;
  Value* slot = nullptr;  // Slot: a callback parameter (writes go through a reference)
  Value cell;             // Cell: a reference to a variable's cell
  std::string name;       // NewVar: the variable; Member: the message
  int area = 0, pos = 0;  // Field
  Value container, key;   // Elem: the array or hash and the index; Member: the object
  std::shared_ptr<const Program> keep;  // a macro's program the place came from
};

Value makeRef(Value& slot) {
  if (!slot.isRef()) {
    auto* c = new CellRep();
    c->value = std::move(slot);
    slot = Value::ref(c);
    --c->refs;  // Value::ref took its own reference
  }
  return slot;
}

Value invokeBlock(const std::shared_ptr<const Program>& prog, int32_t idx, const std::shared_ptr<Env>& captured,
                  Args& args, const std::string& module, const std::string& frameName, int line);

class Machine {
 public:
  Machine(const Program& p, Env* env, const std::shared_ptr<Env>* heap, bool dry)
      : p_(p), env_(env), heap_(heap), dry_(dry) {}

  Value run(int32_t i) {
    if (i < 0) return Value();
    const Node& n = p_.nodes[static_cast<size_t>(i)];
    switch (n.op) {
      case Op::Const: return p_.consts[static_cast<size_t>(n.a)];
      case Op::Name: return readName(n);
      case Op::Local: return localSlot(n).deref();
      case Op::MemVar: return readVar(n);
      case Op::Field:
      case Op::AliasField:
      case Op::AreaField:
      case Op::DynAliasField: return readField(n);
      case Op::AliasExpr:
      case Op::AreaExpr:
      case Op::DynAliasExpr: return inArea(n);
      case Op::Call: return call(n);
      case Op::Iif: return iif(n);
      case Op::Macro: return macro(n);
      case Op::ArrayLit: return arrayLiteral(n);
      case Op::Index: {
        Value base = run(n.a);
        Value idx = run(n.b);
        return indexGet(base, idx);
      }
      case Op::Send: return send(n);
      case Op::Block: return blockValue(n);
      case Op::List: {
        for (int32_t k = 0; k + 1 < n.d; ++k) run(listAt(n, k));
        return run(listAt(n, n.d - 1));
      }
      case Op::Assign: return assign(n);
      case Op::PreInc:
      case Op::PostInc: return increment(n);
      case Op::ByRef: return run(n.a);
      case Op::Neg:
      case Op::Plus:
      case Op::Not: {
        Value a = run(n.a);
        return unaryOp(n.op, a);
      }
      case Op::And:
      case Op::Or: return logical(n);
      case Op::Chain: return chain(n);
      default: {
        Value a = run(n.a);
        Value b = run(n.b);
        return binaryOp(n.op, a, b, dry_);
      }
    }
  }

 private:
  int32_t listAt(const Node& n, int32_t k) const { return p_.lists[static_cast<size_t>(n.c + k)]; }
  const std::string& nameOf(int32_t i) const { return p_.names[static_cast<size_t>(i)]; }

  // --- names ---------------------------------------------------------------

  Value& localSlot(const Node& n) {
    Env* e = env_;
    for (int32_t k = 0; k < n.a && e; ++k) e = e->parent;
    assert(e && static_cast<size_t>(n.b) < e->slots.size());
    return e->slots[static_cast<size_t>(n.b)];
  }

  // The field's position in an area, through the node's cache.
  int fieldPos(DataContext* ctx, const Node& n, int area) {
    NameCache& c = p_.nameCache[static_cast<size_t>(n.c)];
    uint64_t stamp = ctx->areaStamp(area);
    uint64_t gen = dataContextGeneration();
    if (c.ctxGen != gen || c.area != area || c.stamp != stamp) {
      c.pos = ctx->fieldPos(area, nameOf(n.a));
      c.ctxGen = gen;
      c.area = area;
      c.stamp = stamp;
    }
    return c.pos;
  }

  CellRep* varCell(const Node& n) {
    NameCache& c = p_.nameCache[static_cast<size_t>(n.c)];
    uint64_t v = rt::bindingsVersion();
    if (c.varsVersion != v) {
      c.cell = rt::findCell(nameOf(n.a));
      c.varsVersion = v;
    }
    return c.cell;
  }

  Value readName(const Node& n) {
    if (DataContext* ctx = dataContext()) {
      int area = ctx->currentArea();
      int pos = fieldPos(ctx, n, area);
      if (pos > 0) return ctx->fieldGet(area, pos);
    }
    return readVar(n);
  }

  Value readVar(const Node& n) {
    for (int tries = 0;; ) {
      if (CellRep* cell = varCell(n)) return cell->value.deref();
      rt::ErrorRecord e = rt::makeError(rt::kErrNoVar, "BASE", kSubNoVar, nameOf(n.a));
      e.canRetry = true;
      e.canDefault = true;
      e.canSubstitute = true;
      e.tries = tries;
      rt::ErrorAnswer a = rt::raise(e);
      tries = e.tries;
      if (a.kind == rt::ErrorAnswer::Retry) continue;
      return a.kind == rt::ErrorAnswer::Substitute ? a.value : Value();
    }
  }

  // The area a field node names; 0 after raising "no alias" (with *answer
  // holding the handler's value).
  int areaOfNode(DataContext* ctx, const Node& n, Value* answer) {
    for (int tries = 0;;) {
      int area = 0;
      std::string alias;
      switch (n.op) {
        case Op::Field: return ctx->currentArea();
        case Op::AliasField:
        case Op::AliasExpr:
          alias = nameOf(n.b);
          area = ctx->areaOf(alias);
          break;
        case Op::AreaField:
        case Op::AreaExpr:
          area = n.b;
          alias = std::to_string(n.b);
          break;
        default: {
          Value who = run(n.b);
          if (who.isNumber()) {
            area = static_cast<int>(who.integer());
            alias = numberText(who.num(), 0);
          } else if (who.isText()) {
            alias = upper(alltrim(who.str()));
            area = ctx->areaOf(alias);
          } else {
            rt::ErrorRecord e = argError("->", 1091, {who});
            *answer = raiseForValue(e);
            return 0;
          }
        }
      }
      if (area > 0) return area;
      rt::ErrorRecord e = rt::makeError(rt::kErrNoAlias, "BASE", kSubNoAlias, alias);
      e.canRetry = true;
      e.canDefault = true;
      e.canSubstitute = true;
      e.tries = tries;
      rt::ErrorAnswer a = rt::raise(e);
      tries = e.tries;
      if (a.kind == rt::ErrorAnswer::Retry) continue;
      *answer = a.kind == rt::ErrorAnswer::Substitute ? a.value : Value();
      return 0;
    }
  }

  Value noField(DataContext* ctx, const Node& n, int area) {
    std::string what = nameOf(n.a);
    if (n.op != Op::Field && n.op != Op::Name) what = std::to_string(area) + "->" + what;
    if (n.op == Op::AliasField) what = nameOf(n.b) + "->" + nameOf(n.a);
    rt::ErrorRecord e = rt::makeError(rt::kErrNoVar, "BASE", kSubNoVar, what);
    e.canDefault = true;
    e.canSubstitute = true;
    return raiseForValue(e);
  }

  Value readField(const Node& n) {
    DataContext* ctx = dataContext();
    if (!ctx) return noField(ctx, n, 0);
    Value answer;
    int area = areaOfNode(ctx, n, &answer);
    if (area <= 0) return answer;
    int pos = fieldPos(ctx, n, area);
    if (pos <= 0) return noField(ctx, n, area);
    return ctx->fieldGet(area, pos);
  }

  // alias->(expr): expr with that area current; the previous one comes back
  // however expr ends.
  Value inArea(const Node& n) {
    DataContext* ctx = dataContext();
    if (!ctx) {
      rt::ErrorRecord e = rt::makeError(rt::kErrNoAlias, "BASE", kSubNoAlias,
                                        n.op == Op::AliasExpr ? nameOf(n.b) : std::string());
      e.canSubstitute = true;
      return raiseForValue(e);
    }
    Value answer;
    int area = areaOfNode(ctx, n, &answer);
    if (area <= 0) return answer;
    struct Restore {
      DataContext* ctx;
      int prev;
      ~Restore() { ctx->selectArea(prev); }
    } restore{ctx, ctx->selectArea(area)};
    return run(n.a);
  }

  // --- calls ---------------------------------------------------------------

  void evalArgs(const Node& n, std::vector<Value>& out) {
    out.reserve(static_cast<size_t>(n.d));
    for (int32_t k = 0; k < n.d; ++k) {
      int32_t ai = listAt(n, k);
      if (ai >= 0 && p_.nodes[static_cast<size_t>(ai)].op == Op::ByRef && !dry_)
        out.push_back(reference(p_.nodes[static_cast<size_t>(ai)]));
      else
        out.push_back(run(ai));
    }
  }

  Value reference(const Node& byRef) {
    const Node& t = p_.nodes[static_cast<size_t>(byRef.a)];
    if (t.op == Op::Local) return makeRef(localSlot(t));
    return rt::varRef(nameOf(t.a));
  }

  const rt::Routine* routine(const Node& n, Value* answer) {
    // Registry entries are never removed and keep their address when the
    // table grows, so the pointer may be kept once found.
    const rt::Routine*& r = p_.routineCache[static_cast<size_t>(n.b)];
    for (int tries = 0; !r;) {
      r = rt::findRoutine(nameOf(n.a));
      if (r) break;
      rt::ErrorRecord e = rt::makeError(rt::kErrNoFunc, "BASE", kSubNoFunc, nameOf(n.a));
      e.canRetry = true;
      e.canSubstitute = true;
      e.tries = tries;
      rt::ErrorAnswer a = rt::raise(e);
      tries = e.tries;
      if (a.kind == rt::ErrorAnswer::Retry) continue;
      *answer = a.kind == rt::ErrorAnswer::Substitute ? a.value : Value();
      return nullptr;
    }
    return r;
  }

  Value call(const Node& n) {
    Value answer;
    const rt::Routine* r = routine(n, &answer);
    if (!r) return answer;
    if (dry_ && !(r->flags & rt::kPure)) throw DryImpure{};
    ArgBuf buf;
    evalArgs(n, buf.v);
    Args args(std::move(buf.v));
    Value res = r->fn(args);
    buf.v = std::move(args.raw());
    if (res.isRef()) return res.deref();
    return res;
  }

  Value iif(const Node& n) {
    Value c = run(n.a);
    if (!c.isLogical()) {
      rt::ErrorRecord e = argError("IIF", kSubCondition, {c});
      return raiseForValue(e);
    }
    return run(c.log() ? n.b : n.c);
  }

  Value send(const Node& n) {
    Value obj = run(n.a);
    const std::string& msg = nameOf(n.b);
    ObjectRep* o = obj.objectRep();
    ArgBuf buf;
    evalArgs(n, buf.v);
    Args args(std::move(buf.v));
    if (o) {
      if (n.sub == 0 || args.size() == 0)
        if (Value* f = o->field(msg)) return *f;
      if (dry_) throw DryImpure{};
      Value self = obj.deref();
      if (o->cls) {
        if (const ClassDef::Method* m = o->cls->method(msg)) return (*m)(self, args);
        if (o->cls->onUnknown) return o->cls->onUnknown(self, msg, args);
      }
    }
    rt::ErrorRecord e = rt::makeError(rt::kErrNoMethod, "BASE", kSubNoMethod, msg);
    e.args.push_back(obj.deref());
    for (auto& a : args.raw()) e.args.push_back(a.deref());
    e.canSubstitute = true;
    return raiseForValue(e);
  }

  Value macro(const Node& n) {
    Value t = run(n.a);
    if (!t.isText()) {
      rt::ErrorRecord e = argError("&", kSubMacroType, {t});
      return raiseForValue(e);
    }
    MacroCache& mc = p_.macroCache[static_cast<size_t>(n.b)];
    std::shared_ptr<const Program> prog = mc.prog.lock();
    if (!prog || mc.text != t.str()) {
      Value answer;
      prog = compileOrRaise(t.str(), &answer);
      if (!prog) return answer;
      mc.text = std::string(t.str());
      mc.prog = prog;
    }
    return runProgram(*prog, dry_);
  }

  // --- values --------------------------------------------------------------

  Value arrayLiteral(const Node& n) {
    std::vector<Value> items;
    items.reserve(static_cast<size_t>(n.d));
    for (int32_t k = 0; k < n.d; ++k) items.push_back(run(listAt(n, k)));
    return Value::array(std::move(items));
  }

  Value blockValue(const Node& n) {
    const BlockInfo& bi = p_.blocks[static_cast<size_t>(n.a)];
    std::shared_ptr<const Program> prog = p_.shared_from_this();
    std::shared_ptr<Env> captured = heap_ ? *heap_ : nullptr;
    std::string creator = rt::routineAt(0);
    std::string module = rt::moduleAt(0);
    int line = rt::lineAt(0);
    int32_t idx = n.a;
    std::string frameName = "(b)" + creator;
    return makeBlock(
        [prog, idx, captured, module, frameName, line](Args& args) {
          return invokeBlock(prog, idx, captured, args, module, frameName, line);
        },
        p_.source.substr(bi.srcStart, bi.srcLen), creator);
  }

  Value logical(const Node& n) { return logicalStep(n.op, run(n.a), n.b); }

  // a .AND. (node b), a .OR. (node b): b is evaluated only when it decides.
  Value logicalStep(Op op, Value a, int32_t b) {
    if (!a.isLogical()) {
      rt::ErrorRecord e = argError(opText(op), opSubCode(op), {a});
      return raiseForValue(e);
    }
    if (op == Op::And ? !a.log() : a.log()) return a;
    Value r = run(b);
    if (!r.isLogical()) {
      rt::ErrorRecord e = argError(opText(op), opSubCode(op), {a, r});
      return raiseForValue(e);
    }
    return r;
  }

  Value chain(const Node& n) {
    Value acc = run(listAt(n, 0));
    for (int32_t k = 1; k + 1 < n.d; k += 2) {
      Op op = static_cast<Op>(listAt(n, k));
      int32_t x = listAt(n, k + 1);
      if (op == Op::And || op == Op::Or) {
        acc = logicalStep(op, std::move(acc), x);
      } else {
        Value r = run(x);
        acc = binaryOp(op, acc, r, dry_);
      }
    }
    return acc;
  }

  Value indexGet(const Value& base, const Value& idx) {
    if (base.isArray()) {
      if (idx.isNumber()) {
        long long i = idx.integer();
        if (i >= 1 && static_cast<size_t>(i) <= base.size()) return base.at(static_cast<size_t>(i - 1));
      }
      rt::ErrorRecord e = rt::makeError(rt::kErrBound, "BASE", kSubBoundRead, "array access");
      e.args = {base.deref(), idx.deref()};
      e.canSubstitute = true;
      return raiseForValue(e);
    }
    if (base.isHash()) {
      if (const Value* v = base.find(idx)) return *v;
      rt::ErrorRecord e = rt::makeError(rt::kErrBound, "BASE", kSubBoundRead, "array access");
      e.args = {base.deref(), idx.deref()};
      e.canSubstitute = true;
      return raiseForValue(e);
    }
    rt::ErrorRecord e = argError("array access", kSubIndexType, {base.deref(), idx.deref()});
    return raiseForValue(e);
  }

  // --- assignment ----------------------------------------------------------

  // Where an assignment writes. Evaluated before the assigned value, left to
  // right. An unqualified name writes an existing variable, else a field of
  // the current area, else a new private variable: a name is written into a
  // table only when no variable of that name exists.
  bool resolve(int32_t i, Place& pl, Value* answer) {
    const Node& n = p_.nodes[static_cast<size_t>(i)];
    switch (n.op) {
      case Op::Local:
        pl.kind = Place::Slot;
        pl.slot = &localSlot(n);
        return true;
      case Op::Name:
      case Op::MemVar: {
        if (CellRep* c = varCell(n)) {
          pl.kind = Place::Cell;
          pl.cell = Value::ref(c);
          return true;
        }
        if (n.op == Op::Name) {
          if (DataContext* ctx = dataContext()) {
            int area = ctx->currentArea();
            int pos = fieldPos(ctx, n, area);
            if (pos > 0) {
              pl.kind = Place::Field;
              pl.area = area;
              pl.pos = pos;
              return true;
            }
          }
        }
        pl.kind = Place::NewVar;
        pl.name = nameOf(n.a);
        return true;
      }
      case Op::Field:
      case Op::AliasField:
      case Op::AreaField:
      case Op::DynAliasField: {
        DataContext* ctx = dataContext();
        if (!ctx) {
          *answer = noField(ctx, n, 0);
          return false;
        }
        int area = areaOfNode(ctx, n, answer);
        if (area <= 0) return false;
        int pos = fieldPos(ctx, n, area);
        if (pos <= 0) {
          *answer = noField(ctx, n, area);
          return false;
        }
        pl.kind = Place::Field;
        pl.area = area;
        pl.pos = pos;
        return true;
      }
      case Op::Index:
        pl.kind = Place::Elem;
        pl.container = run(n.a);
        pl.key = run(n.b);
        return true;
      case Op::Send:
        pl.kind = Place::Member;
        pl.container = run(n.a);
        pl.name = nameOf(n.b);
        return true;
      case Op::Macro: {
        Value t = run(n.a);
        if (!t.isText()) {
          rt::ErrorRecord e = argError("&", kSubMacroType, {t});
          *answer = raiseForValue(e);
          return false;
        }
        std::shared_ptr<const Program> prog = compileOrRaise(t.str(), answer);
        if (!prog) return false;
        if (prog->root < 0) {
          rt::ErrorRecord e = argError(":=", 1090, {t});
          *answer = raiseForValue(e);
          return false;
        }
        Machine m(*prog, nullptr, nullptr, dry_);
        bool ok = m.resolveTop(pl, answer);
        if (ok && !pl.keep) pl.keep = prog;
        return ok;
      }
      default: {
        rt::ErrorRecord e = argError(":=", 1090, {});
        *answer = raiseForValue(e);
        return false;
      }
    }
  }

  bool resolveTop(Place& pl, Value* answer) {
    const Node& n = p_.nodes[static_cast<size_t>(p_.root)];
    switch (n.op) {
      case Op::Name:
      case Op::MemVar:
      case Op::Field:
      case Op::AliasField:
      case Op::AreaField:
      case Op::DynAliasField:
      case Op::Index:
      case Op::Send:
      case Op::Macro:
        return resolve(p_.root, pl, answer);
      default: {
        rt::ErrorRecord e = argError(":=", 1090, {Value(p_.source)});
        *answer = raiseForValue(e);
        return false;
      }
    }
  }

  Value get(Place& pl) {
    switch (pl.kind) {
      case Place::Slot: return pl.slot->deref();
      case Place::Cell: return pl.cell.deref();
      case Place::NewVar: {
        rt::ErrorRecord e = rt::makeError(rt::kErrNoVar, "BASE", kSubNoVar, pl.name);
        e.canDefault = true;
        e.canSubstitute = true;
        return raiseForValue(e);
      }
      case Place::Field: return dataContext() ? dataContext()->fieldGet(pl.area, pl.pos) : Value();
      case Place::Elem: return indexGet(pl.container, pl.key);
      case Place::Member: {
        ObjectRep* o = pl.container.objectRep();
        if (o)
          if (Value* f = o->field(pl.name)) return *f;
        if (dry_) throw DryImpure{};
        if (o && o->cls) {
          Value self = pl.container;
          Args none;
          if (const ClassDef::Method* m = o->cls->method(pl.name)) return (*m)(self, none);
          if (o->cls->onUnknown) return o->cls->onUnknown(self, pl.name, none);
        }
        rt::ErrorRecord e = rt::makeError(rt::kErrNoMethod, "BASE", kSubNoMethod, pl.name);
        e.args = {pl.container};
        e.canSubstitute = true;
        return raiseForValue(e);
      }
      default: return Value();
    }
  }

  // Stores v; returns the assignment's value.
  Value put(Place& pl, Value v) {
    if (dry_) return v;
    switch (pl.kind) {
      case Place::Slot: pl.slot->derefMut() = v; break;
      case Place::Cell: pl.cell.derefMut() = v; break;
      case Place::NewVar: rt::assignVar(pl.name, v); break;
      case Place::Field:
        if (DataContext* ctx = dataContext()) ctx->fieldPut(pl.area, pl.pos, v);
        break;
      case Place::Elem: return putElement(pl, std::move(v));
      case Place::Member: return putMember(pl, std::move(v));
      default: break;
    }
    return v;
  }

  Value putElement(Place& pl, Value v) {
    Value& c = pl.container;
    if (c.isArray()) {
      if (pl.key.isNumber()) {
        long long i = pl.key.integer();
        if (i >= 1 && static_cast<size_t>(i) <= c.size()) {
          c.derefMut().atRef(static_cast<size_t>(i - 1)) = v;
          return v;
        }
      }
      rt::ErrorRecord e = rt::makeError(rt::kErrBound, "BASE", kSubBoundWrite, "array assign");
      e.args = {c.deref(), pl.key.deref()};
      e.canSubstitute = true;
      return raiseForValue(e, v);
    }
    if (c.isHash()) {
      c.derefMut().set(pl.key, v);
      return v;
    }
    rt::ErrorRecord e = argError("array assign", kSubIndexAssign, {c.deref(), pl.key.deref()});
    return raiseForValue(e, v);
  }

  // obj:name := v: the field, else the class's "_NAME" method, else its
  // unknown-message hook with "_NAME".
  Value putMember(Place& pl, Value v) {
    ObjectRep* o = pl.container.objectRep();
    if (o) {
      if (Value* f = o->field(pl.name)) {
        *f = v;
        return v;
      }
      if (o->cls) {
        std::string setter = "_" + pl.name;
        Value self = pl.container;
        Args args{v};
        if (const ClassDef::Method* m = o->cls->method(setter)) {
          (*m)(self, args);
          return v;
        }
        if (o->cls->onUnknown) {
          o->cls->onUnknown(self, setter, args);
          return v;
        }
      }
    }
    rt::ErrorRecord e = rt::makeError(rt::kErrNoMethod, "BASE", kSubNoMethod, "_" + pl.name);
    e.args = {pl.container, v};
    e.canSubstitute = true;
    return raiseForValue(e, v);
  }

  Value assign(const Node& n) {
    Place pl;
    Value answer;
    if (!resolve(n.a, pl, &answer)) return answer;
    Op op = static_cast<Op>(n.sub);
    if (op == Op::Const) return put(pl, run(n.b));
    if (pl.kind == Place::NewVar) return get(pl);  // raises "no variable"
    Value old = get(pl);
    Value rhs = run(n.b);
    return put(pl, binaryOp(op, old, rhs, dry_));
  }

  Value increment(const Node& n) {
    Place pl;
    Value answer;
    if (!resolve(n.a, pl, &answer)) return answer;
    if (pl.kind == Place::NewVar) return get(pl);  // raises "no variable"
    Value old = get(pl);
    double step = n.sub ? -1 : 1;
    Value now;
    if (old.isNumber()) {
      now = Value::number(old.num() + step, old.decimals());
    } else if (old.isDate()) {
      now = binaryOp(Op::Add, old, Value(static_cast<int>(step)), dry_);
    } else {
      rt::ErrorRecord e = argError(n.sub ? "--" : "++", opSubCode(Op::PreInc), {old});
      return raiseForValue(e);
    }
    put(pl, now);
    return n.op == Op::PreInc ? now : old;
  }

  const Program& p_;
  Env* env_;
  const std::shared_ptr<Env>* heap_;  // env_ as shared, when it is
  bool dry_;
};

void bind(Env& env, const BlockInfo& bi, Args& args) {
  env.slots.resize(static_cast<size_t>(bi.nparams));
  auto& raw = args.raw();
  size_t n = std::min(raw.size(), env.slots.size());
  for (size_t i = 0; i < n; ++i) env.slots[i] = raw[i];  // by-reference arguments stay references
}

Value runBlockBody(const Program& p, const BlockInfo& bi, const std::shared_ptr<Env>& captured, Args& args) {
  if (bi.heapEnv) {
    auto env = std::make_shared<Env>();
    env->parent = captured.get();
    env->hold = captured;
    bind(*env, bi, args);
    Machine m(p, env.get(), &env, false);
    return m.run(bi.body);
  }
  Env env;
  env.parent = captured.get();
  bind(env, bi, args);
  Machine m(p, &env, nullptr, false);
  return m.run(bi.body);
}

Value invokeBlock(const std::shared_ptr<const Program>& prog, int32_t idx, const std::shared_ptr<Env>& captured,
                  Args& args, const std::string& module, const std::string& frameName, int line) {
  Nest nest;
  if (!nest.ok()) return nest.fail(frameName);
  rt::FrameGuard frame(module, frameName, line);
  return runBlockBody(*prog, prog->blocks[static_cast<size_t>(idx)], captured, args);
}

}  // namespace

Value runProgram(const Program& p, bool dry) {
  Nest nest;
  if (!nest.ok()) return nest.fail(p.source.substr(0, 64));
  Machine m(p, nullptr, nullptr, dry);
  return m.run(p.root);
}

Value runRootBlock(const Program& p, Args& args) {
  Nest nest;
  if (!nest.ok()) return nest.fail(p.source.substr(0, 64));
  return runBlockBody(p, p.blocks[static_cast<size_t>(p.rootBlock)], nullptr, args);
}

Value rootBlockValue(const Program& p, std::string_view source) {
  Machine m(p, nullptr, nullptr, false);
  Value b = m.run(p.root);
  if (BlockRep* r = b.blockRep()) r->source = std::string(source);
  return b;
}

Value raiseForValue(rt::ErrorRecord& e, Value dflt) {
  rt::ErrorAnswer a = rt::raise(e);
  return a.kind == rt::ErrorAnswer::Substitute ? a.value : dflt;
}

rt::ErrorRecord argError(std::string_view operation, int subCode, std::initializer_list<Value> args) {
  rt::ErrorRecord e = rt::makeError(rt::kErrArg, "BASE", subCode, std::string(operation));
  e.args.assign(args.begin(), args.end());
  e.canSubstitute = true;
  return e;
}

}  // namespace kor::expr
