// The program settings: one numbered table of Values, so that a guard can
// snapshot and restore all of them at once (see SettingsSnapshot).
#pragma once

#include <array>
#include <string_view>

#include "values/value.h"

namespace kor::rt {

// Numbers are this program's own; nothing stored on disk depends on them.
enum class Set : int {
  Exact = 1,      // L: "=" compares exactly (trailing blanks ignored)
  Fixed,          // L: numbers shown with Decimals decimals
  Decimals,       // N: decimals of computed results when Fixed is on
  DateFormat,     // C: "dd/mm/yy" or "dd/mm/yyyy" (letters d, m, y)
  Epoch,          // N: first year of the two-digit century window (1940)
  Path,           // C: extra folders searched for files
  Default,        // C: default folder for tables and relative file names
  Exclusive,      // L: tables open exclusively unless told otherwise
  SoftSeek,       // L: a failed seek stands on the next greater key
  Unique,         // L: new indexes are unique
  Deleted,        // L: deleted records are hidden (the deleted filter)
  Cancel,         // L: Alt+C / Ctrl+Break may interrupt
  Color,          // C: current colour string
  Cursor,         // N: cursor shape 0 none, 1 normal, 2 insert, ...
  Console,        // L: console output on
  Device,         // C: "SCREEN" or "PRINTER"
  Printer,        // L: printer output on
  PrintFile,      // C: printer output file
  Bell,           // L
  Confirm,        // L: form fields need Enter when full
  Escape,         // L: Esc ends a read
  Insert,         // L: insert mode of field editing
  Exit,           // L: Up/Down leave the first/last field of a form
  Intensity,      // L
  Scoreboard,     // L
  Delimiters,     // L
  DelimChars,     // C
  Wrap,           // L: menus wrap around
  Message,        // N: message row of menus
  MCenter,        // L
  Century,        // L: dates show four-digit years
  CodePage,       // C: internal character set ("PT850")
  Language,       // C: run-time message language ("PT")
  HardCommit,     // L
  AutoOpen,       // L
  Optimize,       // L
  MemoBlockSize,  // N
  TypeAhead,      // N
  DbfLockScheme,  // N
  Extra,          // L: console output also goes to the extra file
  ExtraFile,      // C: the extra-output file
  Last_
};

constexpr int kSetCount = static_cast<int>(Set::Last_);

// Reads and writes a setting. set() returns the previous value.
const Value& setting(Set s);
Value set(Set s, Value v);
// By number (1..kSetCount-1); unknown numbers read nil and ignore writes.
const Value& setting(int number);
Value set(int number, Value v);

// Typed shortcuts for the settings read on hot paths.
bool exact();
bool deletedFilter();
int epoch();
std::string_view dateFormat();
std::string_view defaultFolder();
bool century();
// Switches the century display: "yy" in the date format becomes "yyyy" and back.
void setCentury(bool on);

// Restores every setting to the values first seen, for tests.
void resetSettings();

// A snapshot of the whole table; restore() puts it back.
class SettingsSnapshot {
 public:
  SettingsSnapshot();
  void restore() const;

 private:
  std::array<Value, kSetCount> values_;
};

}  // namespace kor::rt
