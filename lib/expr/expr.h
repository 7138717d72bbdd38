// The expression language: one parser and evaluator for index keys,
// filters, menu actions, browser and report columns, templates and control
// files.
//
// Parse once, evaluate many times: compile() caches compiled texts by their
// source. Names resolve at evaluation time, in this order: a field of the
// current work area (through the DataContext the table engine installs), a
// dynamic variable, and, for names followed by "(", a registered routine.
// "alias->name" reads a field of another area (FIELD->name the current one,
// M->name / MEMVAR->name a variable; an area number may stand for the alias).
//
// Failures are ErrorRecords raised to the handler (runtime/error.h): a text
// that does not parse is generic code 7 (subsystem "BASE"), an unknown
// variable 14, an unknown routine 12, wrong operand types 1, division by
// zero 5 (the handler answers 0). The subcodes are listed below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "values/value.h"

namespace kor::expr {

// Subcodes (SUBCODE) of the evaluator's error records, all subsystem "BASE".
enum SubCode : int {
  kSubNoFunc = 1001,        // gen 12: no routine of that name (OPERATION = the name)
  kSubNoAlias = 1002,       // gen 15: no table open under the alias
  kSubNoVar = 1003,         // gen 14: no field or variable of that name
  kSubNoMethod = 1004,      // gen 13: the object does not understand the message
  kSubIndexType = 1068,     // gen 1: indexing something that is not an array or hash
  kSubIndexAssign = 1069,   // gen 1: element assignment on something else
  // gen 1, wrong operand types: == 1070, = 1071, <> 1072, < 1073, <= 1074,
  // > 1075, >= 1076, .NOT. 1077, .AND. 1078, .OR. 1079, unary - 1080,
  // + 1081, - 1082, * 1083, / 1084, % 1085, ++/-- 1086, ** 1088, unary + 1089,
  // $ 1109; OPERATION = the operator, ARGS = the operands.
  kSubCondition = 1066,     // gen 1: IIF condition not logical
  kSubMacroType = 1065,     // gen 1: & applied to something that is not a text
  kSubBoundRead = 1132,     // gen 2: index out of range (or hash key missing)
  kSubBoundWrite = 1133,    // gen 2: the same in an assignment
  kSubStrOverflow = 1209,   // gen 3: a text would exceed limits().maxText
  kSubZeroDiv = 1340,       // gen 5: "/" by zero
  kSubZeroMod = 1341,       // gen 5: "%" or Mod() by zero
  kSubSyntax = 1449,        // gen 7: the text does not parse (ARGS = {text}, CARGO = reason)
  kSubTooDeep = 1450,       // gen 8: evaluations nested too deep (runaway recursion)
  kSubTooMany = 1451,       // gen 8: limits().maxCalls exceeded
  kSubArraySize = 1452,     // gen 2: an array would exceed limits().maxArray
  kSubFuncArg = 1100,       // gen 1: a standard function got a wrong argument (OPERATION = its name)
};

// Resource limits of evaluation. The defaults suit the program; the fuzz
// target lowers them.
struct Limits {
  size_t maxText = size_t{64} << 20;   // bytes of one text value
  size_t maxArray = size_t{16} << 20;  // elements of one array made by Array()/ASize()
  int maxNested = 256;                 // nested evaluations (callbacks, macros)
  size_t maxStack = size_t{3} << 20;   // bytes of stack nested evaluations may use
  uint64_t maxCalls = 0;               // nested evaluations per outermost one (0 = no limit)
};
Limits& limits();

// Drops the cache of compiled texts (compiled values in use stay valid).
void clearCache();
size_t cacheSize();

// Access to the fields of the open tables. The table engine implements it;
// tests use MemoryData (expr/memory_data.h).
class DataContext {
 public:
  virtual ~DataContext() = default;
  virtual int currentArea() = 0;
  // Makes an area current and returns the previous one.
  virtual int selectArea(int area) = 0;
  // The area of an alias (any case), 0 when no table is open under it.
  virtual int areaOf(std::string_view alias) = 0;
  // Changes whenever the table in an area changes (closed, another opened),
  // so that compiled field references may cache positions.
  virtual uint64_t areaStamp(int area) = 0;
  // 1-based position of a field (any case), 0 when the area has no such field.
  virtual int fieldPos(int area, std::string_view name) = 0;
  virtual Value fieldGet(int area, int pos) = 0;
  virtual void fieldPut(int area, int pos, const Value& v) = 0;
};

// Installs the data context (nullptr: no tables, every name is a variable).
void setDataContext(DataContext* ctx);
DataContext* dataContext();

class Program;  // the compiled form (expr/compiler internals)

// A compiled expression text. Cheap to copy (shared).
class Compiled {
 public:
  Compiled() = default;
  explicit Compiled(std::shared_ptr<const Program> p) : p_(std::move(p)) {}
  bool valid() const { return p_ != nullptr; }
  // Evaluates the text. A comma list yields its last value. Callback
  // parameters are not bound here: see evalWith().
  Value eval() const;
  // Evaluates with named parameters bound (for callback literals compiled
  // from text, such as "{|a, b| a + b}" turned into a block by toBlock()).
  Value evalWith(Args& args) const;
  std::string_view source() const;
  // The expression's value type letter without side effects: "U" when a
  // name is unknown, "UI" when the type depends on a routine with side
  // effects.
  std::string typeLetter() const;

 private:
  std::shared_ptr<const Program> p_;
};

// Compiles a text (cached). A syntax error is raised as generic code 7; when
// the handler answers default, an invalid Compiled comes back.
Compiled compile(std::string_view text);
// Compiles without raising: nullopt and the reason when the text does not
// parse.
std::optional<Compiled> tryCompile(std::string_view text, std::string* why = nullptr);

// Macro evaluation: compiles (cached) and evaluates a text.
Value evalText(std::string_view text);

// The type letter of a text without side effects: the type of its value,
// "U" for an unknown name, "UE" for a text that does not parse, "UI" for a
// call of a routine that is not free of side effects.
std::string typeOf(std::string_view text);

// A callback value from a text: a callback literal "{|a| a * 2}" gives that
// callback; any other expression gives a callback without parameters that
// evaluates it. Its saved form is the text. nil when the text does not
// parse (after raising the syntax error).
Value toBlock(std::string_view text);

// Registers the standard functions (Chr, Dtoc, Upper, Recno, Eval, ...) in
// the routine registry. Idempotent.
void registerRoutines();

}  // namespace kor::expr
