// The update run: MAIN brings RICLAS up to date from a tariff table.
//
// The order of the run, its messages and the decisions it makes where the
// rules were open are in docs/clasupd.md.
#pragma once

#include <string>
#include <string_view>

#include "values/value.h"

namespace kor::app {

// The tariff table read when the command line names none.
inline constexpr std::string_view kDefaultSource = "GECEX269.DBF";

// The full path of the tariff table named on the command line ("" for
// the default): upper case, every ".DBF" removed and one appended, made
// absolute against the current folder.
std::string sourcePath(std::string_view argument);

// The 8-character NCM code of a tariff NCM text: blanks at both ends and
// every "." removed, then cut or padded with blanks to 8. "" stays "".
std::string ncmCode(std::string_view text);

// The product folder as KORVO.INI in the Windows folder gives it.
std::string configuredFolder();

// MAIN(tariff table name, "" for the default).
void MAIN(const std::string& argument);

// The offset of the byte of RICLAS.DBF that copies of this program lock
// while they look a new code up once more and append its record, so that
// two of them never both append the same code. It lies beyond the range
// of the conventional record and file locks, where no other program looks.
inline constexpr uint64_t kNewCodeLockOffset = 2000000001ull;

void registerUpdateRoutines();

}  // namespace kor::app
