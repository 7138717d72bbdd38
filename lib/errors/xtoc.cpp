#include "errors/xtoc.h"

#include "values/convert.h"

namespace kor::err {

std::string textOf(const Value& v, std::string_view sep) { return X_TO_C(v, Value(sep)).string(); }

Value valueOf(std::string_view text, char type) { return CTOX(Value(text), Value(std::string(1, type))); }

}  // namespace kor::err
