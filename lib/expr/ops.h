// The operators' semantics on Values (ops.cpp). Internal to lib/expr.
#pragma once

#include "expr/program.h"
#include "values/value.h"

namespace kor::expr {

// a op b for the binary operators Add .. In. Wrong operand types raise the
// argument error (generic code 1) and give what the handler answers. In a
// dry evaluation a zero divisor gives 0 without raising.
Value binaryOp(Op op, const Value& a, const Value& b, bool dry);
// -a, +a, .NOT. a
Value unaryOp(Op op, const Value& a);
// The text of an operator for error records ("+", ".AND.", ...).
const char* opText(Op op);
// The argument-error subcode of an operator.
int opSubCode(Op op);
// a + b of two texts, raising the string-overflow error past the limit.
Value concatText(std::string_view a, std::string_view b);

}  // namespace kor::expr
