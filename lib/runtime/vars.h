// Dynamic variables, looked up by name at run time without regard to case.
//
// Program-wide variables live for the whole run. A private variable belongs
// to the call frame that declared it: it hides any variable of the same name
// for that routine and every routine it calls, and disappears when the
// declaring routine returns (its frame guard is destroyed).
//
// Each variable is a cell; Value::ref(cell) passes it by reference, so a
// routine that writes its argument changes the caller's variable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "values/value.h"

namespace kor::rt {

// Declares (or resets) a program-wide variable.
void publicVar(std::string_view name, Value init = Value());
// Declares a private variable in the innermost frame (outside any frame it
// is program-wide), hiding visible ones of that name.
void privateVar(std::string_view name, Value init = Value());

bool varExists(std::string_view name);
// The visible variable, or nullptr.
Value* findVar(std::string_view name);
CellRep* findCell(std::string_view name);
// The variable's value, nil when it does not exist.
Value getVar(std::string_view name);
// Assigns the visible variable; when none exists, creates a private one in
// the innermost frame (as such languages do on assignment).
void assignVar(std::string_view name, Value v);
// A reference to the visible variable (created as above when missing).
Value varRef(std::string_view name);
// Releases the visible variable of that name (the innermost one).
void releaseVar(std::string_view name);

// "NAME", "NAME[2]", "NAME[2][1]": the variable or an element of an existing
// list held by it (1-based, as the languages of this family index). nullptr
// when the variable does not exist, is not a list where one is indexed, or an
// index is out of range.
Value* varElement(std::string_view text);

// Changes whenever a variable appears or disappears (declared, released,
// dropped with its frame), never on a plain assignment: a caller may keep the
// cell findCell() gave while the version stays the same.
uint64_t bindingsVersion();

// Names of the visible variables, upper case, program-wide first.
std::vector<std::string> varNames();

// Called by the frame guard when a frame ends: drops its private variables.
void dropPrivates(int depth);
// Forgets every variable (tests).
void resetVars();

}  // namespace kor::rt
