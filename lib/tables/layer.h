// Pieces the table layer's files share (not part of the public face).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/error.h"
#include "tables/engine.h"
#include "values/value.h"

namespace kor::tables::layer {

// Assigns the visible variable of that name, or creates a program-wide one
// (a global the layer writes must outlive the routine writing it).
void setGlobal(std::string_view name, Value v);
// A global's value when it is of the wanted kind.
bool globalLogical(std::string_view name, bool fallback);
bool globalIsNumber(std::string_view name);
double globalNumber(std::string_view name, double fallback);
std::string globalText(std::string_view name, std::string_view fallback = {});

// The table name as the opening routines use it: trimmed, upper case,
// a final ".DBF" removed.
std::string bareTableName(std::string_view name);
// Removes a final extension (any case) from a name.
std::string withoutSuffix(std::string name, std::string_view suffix);
bool endsWithNoCase(std::string_view s, std::string_view suffix);
bool containsNoCase(std::string_view s, std::string_view part);

// Appends an error record to the error log (ERRO.LOG).
void logError(const rt::ErrorRecord& e);

// Waits up to `seconds` for a key (keyboard only); a key ends the wait and,
// when it has a binding, runs its action. Returns the key, 0 when none came.
int pause(double seconds);

// "ALIAS->FIELD", "FIELD->NAME", "3->NAME" or a bare "NAME".
struct FieldRef {
  std::string alias;  // "" for a bare name and for FIELD (the current area)
  std::string field;
  bool arrow = false;
};
FieldRef parseFieldRef(std::string_view text);
// The area of a reference's alias (the current area for none), 0 when not open.
int areaOfRef(const FieldRef& r);

// The full name of an index file: the extension added when the name has
// none, a relative name taken in the default folder (as table names are).
std::string indexPath(std::string_view name, std::string_view ext);
// Opens an index file as an order of an area; false after a raised failure.
bool attachIndex(WorkArea& a, const std::string& file);
// Builds an index over the records of an area and attaches it.
struct IndexBuild {
  std::string file;     // full name, extension included
  std::string tag;      // order name
  std::string key;      // key expression
  std::string cond;     // condition expression, "" for none
  bool descending = false;
  // Called once per record read while the keys are gathered.
  std::function<void()> eachRecord;
};
bool buildIndex(WorkArea& a, const IndexBuild& b);
// The index file names of an area's attached orders, in order.
std::vector<std::string> indexFiles(WorkArea& a);

// Shows the library's message box with a list of lines and returns its id;
// closes it again.
int openBox(const std::vector<std::string>& lines, std::string_view colour, double top);
void closeBox(int id);
// The console's standard alert; the chosen button (from 1), 0 for Esc.
int alert(std::string_view message, const std::vector<std::string>& buttons);

}  // namespace kor::tables::layer
