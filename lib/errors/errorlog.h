// The error log: the error entry (an activity-log entry holding the error
// record, the program's main settings, the chain of calls and the open
// tables), GRAVAERROLOG and SHOWERRO, and the call-stack helpers.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/error.h"
#include "values/value.h"

namespace kor::err {

// A table open in a work area, as the entry lists it.
struct OpenTable {
  int area = 0;
  std::string path;      // full path
  bool current = false;  // the current work area
  bool found = false;    // its last search found a record
  long recno = 0;
  std::vector<std::pair<std::string, bool>> orders;  // index file name.ext, controlling
};
// Where the open tables come from (the table engine installs it).
void setOpenTablesSource(std::function<std::vector<OpenTable>()> source);
std::vector<OpenTable> openTables();

// The last error of a COM automation object: its text and code (the
// automation layer installs it).
void setAutomationErrorSource(std::function<std::pair<std::string, long>()> source);

// The version text of this build of the runtime.
std::string runtimeVersion();

// Lines 1 to 33 of the error entry, each ended by CR LF. `skip` levels of
// the current call stack are left out (the entry lists the levels from the
// caller of GRAVAERROLOG outward).
std::string errorEntryText(const rt::ErrorRecord& e, int skip = 0);

// GRAVAERROLOG(error, file = "ERRO.LOG").
void GRAVAERROLOG(const rt::ErrorRecord& e, const std::string& file = "ERRO.LOG");
// SHOWERRO(error, seconds): logs the error to ERRO.LOG and shows it.
void SHOWERRO(const rt::ErrorRecord& e, std::optional<int> seconds = std::nullopt);

// GETCALLSTACK(): {{"module->ROUTINE(line)"}, ...} from the caller outward.
Value GETCALLSTACK();
// STACK(stack): "module->ROUTINE(line);" for each entry.
std::string STACK(const std::vector<rt::StackEntry>& stack);
// ROTINAANTERIOR(): the levels from the caller outward, up to a level whose
// routine name contains ROTINAANTERIOR.
Value ROTINAANTERIOR();

// The error record as a value (an object of class ERROR with the record's
// fields) and back, for routines called by name.
Value errorObject(const rt::ErrorRecord& e);
rt::ErrorRecord errorRecordOf(const Value& v);

}  // namespace kor::err
