// Field fitting and change audit: every field write of the update run.
//
// ACOMODA fits one source text to the type of the RICLAS field of the same
// name; GRAVAALTERACAONCM writes field values into the current RICLAS
// record and appends, for each value that really changes a field, an audit
// record to RICLA9 sealed with an MD5 check key.
//
// Decisions where the rules leave room (see docs/clasupd.md):
// - The exclusion list is matched by whole field names: "II" is audited,
//   although it occurs inside "INICIO_II".
// - Dates are written into the field as dates, never through their
//   two-digit-year text, so a year outside 1940-2039 keeps its century; the
//   audit texts of such dates carry four-digit years (dd/mm/yyyy) so they
//   read back unambiguously. Dates inside the window keep the "dd/mm/yy" text.
// - A number is compared and audited as it will be stored: rounded to the
//   field's decimals. A source 1.234 into N(6,2) stores 1.23; a second run
//   with the same source then sees no change.
// - A RICLA9 without the field EX still gets its audit records (without
//   EX); the first such write of a run notes it in ERRO.LOG.
// - An audit append that cannot get its lock waits (ABREREG without limit)
//   instead of being lost.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "values/value.h"

namespace kor::app {

// The exclusion list, as the product gives it.
inline constexpr std::string_view kExclusionList =
    "NCM;DESCRICAO;INICIO_II;FIM_II;INICIO_IPI;FIM_IPI;INICIO_PIS;FIM_PIS;INICIO_COF;FIM_COF;FIM;INCLUSAO;ALTERACAO;"
    "ATUALIZADO";
// Whether a field (upper case) is written without audit.
bool excludedFromAudit(std::string_view field);

// ACOMODA(field name, source text).
void ACOMODA(const std::string& field, const Value& value);

// GRAVAALTERACAONCM(map of field name to new value, mode, inclusion,
// deletion). Runs on the current RICLAS record, which the caller has locked.
void GRAVAALTERACAONCM(const Value& fields, const Value& mode, bool inclusion = false, bool deletion = false);

// The values an audit record's check key is made from, as stored.
struct AuditKeyParts {
  Value data;             // DATA (date)
  std::string hora, terminal, usuario, modo, ncm, campo, antes, depois;
  uint32_t recno = 0;
};
// The check key: 32 lower-case hexadecimal digits of the MD5 of the parts.
std::string checkKey(const AuditKeyParts& p);
// The parts of the current RICLA9 record (the area must be current).
AuditKeyParts auditKeyPartsOfCurrent();

// The text of a value in the audit (X_TO_C, but four-digit years for dates
// outside the century window).
std::string auditText(const Value& v);

void registerRoutines();

}  // namespace kor::app
