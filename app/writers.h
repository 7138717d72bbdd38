// The classification writers the product calls when its import
// declarations change: GRV_NCM writes a new NCM code into the current item
// (RIITEM), GRV_ALIQ a new tax rate into a field of the current addition
// (RIADIC). Both write unconditionally; a real change is also logged, with
// the chain of calling routines, in ALTNCM.LOG or ALTALIQ.LOG.
//
// The caller has positioned and locked the record. The tables are found by
// their aliases RIITEM and RIADIC (the current table when that alias is not
// open).
//
// Rows of aAtoLegal after the fifth have no name of their own; they are
// logged as "Ato Legal <row number> = ...", so nothing the caller gave is
// dropped.
#pragma once

#include <string>

#include "values/value.h"

namespace kor::app {

// "@R 9999.99.99": the code's display in the logs (0101.21.00).
std::string ncmDisplay(const Value& code);

// The call chain text: "ROUTINE(line)" + CR LF per level, from `skip`
// levels out of the innermost outward.
std::string callChainText(int skip);

bool GRV_NCM(const Value& code);
bool GRV_ALIQ(const Value& rate, const std::string& field);

void registerWriterRoutines();

}  // namespace kor::app
