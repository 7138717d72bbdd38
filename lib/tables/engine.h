// The table engine: DBF tables with DBT/FPT memo files in numbered work
// areas, shared and exclusive use, record and file locks, filters, loops,
// copy and append between tables, encryption. Index orders plug in through
// tables/engine/order.h.
//
// Work areas are numbered from 1; one of them is current. The free
// functions below act on the current area; WorkArea (engine/workarea.h)
// offers the same on a given area. AreaScope runs code with another area
// current and restores the previous one, as an operation qualified by an
// alias does.
//
// Failures are ErrorRecords of subsystem "DBFNTX" raised to the handler
// (runtime/error.h); the subcodes are listed in docs/engine.md. A failed
// open or append that another program caused (sharing violation, append
// lock) fails with the network-error flag set (rt::netErr()) when the
// handler answers default.
//
// Names: relative table names resolve in the default folder (the Default
// setting, else the current folder) and get ".dbf" when they have no
// extension; on POSIX a name that does not exist exactly is found without
// regard to case. Names beginning with "MEM:" are tables of the memory file
// system (platform.h) and live until removed or the process ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tables/engine/order.h"
#include "tables/engine/workarea.h"
#include "values/value.h"

namespace kor::tables {

constexpr std::string_view kDefaultDriver = "DBFNTX";
constexpr int kMaxAreas = 65534;

struct FieldDef {
  std::string name;
  char type = 'C';
  int len = 0;
  int dec = 0;
};

struct OpenSpec {
  std::string file;
  std::string driver;  // "" = DBFNTX; any other name but DBFNTX is an argument error
  std::string alias;   // "" = the file's name (see defaultAlias)
  bool shared = true;
  bool readOnly = false;
  bool newArea = true;  // false: open in the current area (closing what it holds)
};

// --- names ---------------------------------------------------------------------

// The full path a table name stands for (see above).
std::string tablePath(std::string_view name);
// The alias a table name gives: its base name upper-cased without folder,
// extension and "MEM:", trimmed, blanks turned into "_".
std::string defaultAlias(std::string_view name);
// Whether a driver name is one the engine serves ("" counts as the default).
bool knownDriver(std::string_view driver);

// --- work areas ------------------------------------------------------------------

// Opens a table; returns its area number (now current), 0 when the open
// failed. netErr() tells a failure caused by another program.
int openTable(const OpenSpec& spec);
int currentArea();
// Makes an area current (0: the lowest free one); returns the previous one.
int selectArea(int area);
// Makes the area of an alias current; returns its number, 0 when the alias
// is not open (the current area is unchanged then).
int selectAlias(std::string_view alias);
// The area of an alias (any case; a number in digits stands for itself), 0
// when no table is open under it.
int areaOf(std::string_view alias);
// The table in an area (0: the current one), nullptr when it holds none.
WorkArea* area(int n = 0);
// The current area's table; raises "no table" (35) and gives nullptr when
// the current area is empty.
WorkArea* requireArea(std::string_view operation = {});
// The lowest area that holds no table.
int freeArea();
void closeArea(int n = 0);
void closeAll();
// Areas that hold a table, in number order.
std::vector<int> usedAreas();

// Runs with another area current, restoring the previous one at the end.
class AreaScope {
 public:
  explicit AreaScope(int area);
  // By alias: ok() is false (and nothing changes) when the alias is not open.
  explicit AreaScope(std::string_view alias);
  ~AreaScope();
  AreaScope(const AreaScope&) = delete;
  AreaScope& operator=(const AreaScope&) = delete;
  bool ok() const { return ok_; }

 private:
  int previous_;
  bool ok_ = true;
};

// --- tables as files ---------------------------------------------------------------

// Creates a table from a structure (memo fields get an FPT memo file).
// Raises create errors and argument errors for a structure that cannot make
// a table; false on failure.
bool createTable(std::string_view file, const std::vector<FieldDef>& fields, std::string_view driver = {});
// A structure list {name, type, len, dec} per field of an open area.
Value structureOf(WorkArea& a);
// Reads a structure list (arrays of {name, type, len, dec}); false with a
// raised argument error when an entry is not one.
bool structureFromValue(const Value& list, std::vector<FieldDef>& out);

// Copies the records of the scope of area `from` into a new table (all
// fields, or those named). Returns the number of records copied.
uint32_t copyTo(WorkArea& from, std::string_view file, const std::vector<std::string>& fields, const Scope& scope);
// Appends the records of another table to area `to`, field by field of the
// same name; conditions are evaluated in the source table.
uint32_t appendFrom(WorkArea& to, std::string_view file, const std::vector<std::string>& fields, const Scope& scope);

// --- all areas ---------------------------------------------------------------------

bool commitAll();
void unlockAll();

// Registers the table functions of the expression language (RECNO, EOF,
// FIELDGET, DBSKIP, RLOCK, DBUSEAREA, DBCREATE ...). Idempotent.
void registerRoutines();
// Installs the engine as the expression language's data context, so that
// expressions resolve field names and alias->field. Idempotent;
// registerRoutines() does it too.
void installDataContext();

}  // namespace kor::tables
