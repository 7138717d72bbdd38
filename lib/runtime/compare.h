// Comparison of values as the program compares them.
//
// Texts compare byte for byte as unsigned code-page-850 bytes.
// Inexact comparison ("=", "<>", "<" ... with the exact setting off): a text
// on the left equals a text on the right when it begins with it, so every
// text equals the empty text while the empty text equals only itself.
// With the exact setting on, trailing blanks of both sides are ignored.
// "==" is always exact: same length and same bytes.
#pragma once

#include <optional>
#include <string_view>

#include "values/value.h"

namespace kor::rt {

// <0, 0, >0 by the rules above; `exact` chooses the exact-setting behaviour.
int compareText(std::string_view left, std::string_view right, bool exact);
// Inexact equality honouring the exact setting.
bool textEquals(std::string_view left, std::string_view right);
// "==": byte for byte.
inline bool textExactEquals(std::string_view a, std::string_view b) { return a == b; }

// Compares two values of comparable types (text/memo, number, date,
// logical, nil with nil). nullopt when the types cannot be compared.
// `exactEq` selects "==" semantics for texts.
std::optional<int> compareValues(const Value& a, const Value& b, bool exactEq = false);

// "=" (and "==" with exactEq). Values of different types are not equal;
// lists compare by identity.
bool valuesEqual(const Value& a, const Value& b, bool exactEq = false);

}  // namespace kor::rt
