// The general text form of values used by the logs, and the way back used
// by the store reader: the values library's X_TO_C and CTOX (numbers with a
// decimal comma, logicals "Verdadeiro"/"Falso", dates in the program's date
// format, lists joined by a separator), in the shapes these callers want.
#pragma once

#include <string>
#include <string_view>

#include "values/value.h"

namespace kor::err {

// X_TO_C(value, separator).
std::string textOf(const Value& v, std::string_view separator = ", ");
// CTOX(text, type letter).
Value valueOf(std::string_view text, char type);

}  // namespace kor::err
