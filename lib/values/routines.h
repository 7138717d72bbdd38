// Registers the value routines (conversion, dates, character sets) by name
// for the expression language and callers by name. Idempotent.
#pragma once

namespace kor::values {

void registerRoutines();

}  // namespace kor::values
