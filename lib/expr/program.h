// The compiled form of an expression text: a flat array of nodes that refer
// to one another by index, with the literals, names and child lists beside
// them. The parser (parser.cpp) builds it once; the evaluator (eval.cpp)
// walks it as often as asked. Internal to lib/expr.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/registry.h"
#include "values/value.h"

namespace kor::expr {

// Node kinds. The comment gives the meaning of the node's operands a, b, c:
// "node" = index of another node, "name" = index into names, "list" = a run
// of node indices in lists (c = first, d = count).
enum class Op : uint8_t {
  Const,         // a: index into consts
  Name,          // a: name, c: name cache. Field of the current area, else dynamic variable
  Local,         // a: levels out, b: slot. Parameter of an enclosing block
  MemVar,        // a: name, c: name cache. M->x / MEMVAR->x: a dynamic variable only
  Field,         // a: name, c: name cache. FIELD->x: a field of the current area only
  AliasField,    // a: name of the field, b: name of the alias, c: name cache
  AreaField,     // a: name of the field, b: area number, c: name cache
  DynAliasField, // a: name of the field, b: node giving an alias text or area number, c: name cache
  AliasExpr,     // a: node evaluated with the area current, b: name of the alias
  AreaExpr,      // a: node, b: area number
  DynAliasExpr,  // a: node, b: node giving the alias or area
  Call,          // a: name, b: routine cache slot, list: arguments
  Iif,           // a: condition, b: then, c: else (-1 = nil)
  Macro,         // a: node giving the text, b: macro cache slot
  ArrayLit,      // list: elements (-1 = nil)
  Index,         // a: node, b: index node
  Send,          // a: object node, b: message name, list: arguments; sub 1 = with parentheses
  Block,         // a: index into blocks
  List,          // list: items; the value of the last
  Assign,        // a: target node, b: value node; sub: the operator (Op::Add ... or Const for :=)
  PreInc,        // a: target; sub 1 = decrement
  PostInc,       // a: target; sub 1 = decrement
  ByRef,         // a: Name / MemVar / Local node passed by reference
  Neg,           // a
  Plus,          // a
  Not,           // a
  And,           // a, b
  Or,            // a, b
  Chain,         // list: x0, op1, x1, op2, x2 ... evaluated as a left fold (the
                 // ops are Op values); a run of binary operators, kept flat so
                 // that a long chain does not make a deep tree
  // Binary operators, a and b.
  Add,
  Sub,
  Mul,
  Div,
  Mod,
  Pow,
  Eq,
  ExactEq,
  Ne,
  Lt,
  Le,
  Gt,
  Ge,
  In,
};

struct Node {
  Op op = Op::Const;
  uint8_t sub = 0;
  int32_t a = -1, b = -1, c = -1, d = 0;
};

// A callback literal {|params| body}.
struct BlockInfo {
  int32_t body = -1;     // node; -1 for an empty body (nil)
  int32_t nparams = 0;   // its parameters are its first slots
  bool heapEnv = false;  // an inner callback reaches these slots: they must outlive the call
  uint32_t srcStart = 0, srcLen = 0;  // the literal's text inside the source
};

// Per-node caches of name lookups; see eval.cpp.
struct NameCache {
  // Field position in the current area, valid while the data context, the
  // area and its stamp stay the same.
  uint64_t ctxGen = 0;
  uint64_t stamp = 0;
  int32_t area = -1;
  int32_t pos = 0;
  // The variable cell, valid while the bindings version stays the same.
  uint64_t varsVersion = 0;
  CellRep* cell = nullptr;
};

class Program;

// The last text a macro node compiled. Weak: a text may macro-evaluate
// itself ("&x" with x = "&x"), and a strong reference would keep the
// program alive through its own cache.
struct MacroCache {
  std::string text;
  std::weak_ptr<const Program> prog;
};

class Program : public std::enable_shared_from_this<Program> {
 public:
  std::string source;
  std::vector<Node> nodes;
  std::vector<Value> consts;
  std::vector<std::string> names;  // upper case
  std::vector<int32_t> lists;
  std::vector<BlockInfo> blocks;
  int32_t root = -1;       // -1: the empty text (nil)
  int32_t rootBlock = -1;  // the whole text is this callback literal

  // Caches filled while evaluating (the program is shared as const).
  mutable std::vector<NameCache> nameCache;       // by Node::c of Name nodes
  mutable std::vector<const rt::Routine*> routineCache;  // by Node::b of Call nodes
  mutable std::vector<MacroCache> macroCache;     // by Node::b of Macro nodes
};

}  // namespace kor::expr
