// The key/value configuration store: text files of key=value lines with
// optional [SECTION] headers, lines ended by CR LF.
//
//  - A key is everything before the first "=" of a line, compared exactly
//    but without regard to case (blanks are part of it: "RDD = X" does not
//    define RDD); the value is everything after that "=".
//  - A request without a section finds the key in any section.
//  - When a file is rewritten its lines are re-flowed to 254 columns (tabs
//    expanded to stops of 4, long lines broken after their last blank before
//    column 254 or cut there), trimmed, and lines made of the end-of-file
//    mark (code 26) are dropped.
//
// Writers hold the file's lock (config/filelock.h) around the whole
// read-modify-write, so two programs writing keys at once keep both.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "values/value.h"

namespace kor::cfg {

inline constexpr const char* kDefaultStore = "COOKIE.SYS";
inline constexpr size_t kStoreLineWidth = 254;

// SYSTOCFG(file): COOKIE.CFG in the current folder when the bare name
// COOKIE.SYS (any case) is given and COOKIE.CFG exists; the name otherwise.
std::string SYSTOCFG(const std::string& file);

// USR_NAME(): the prefix of per-user keys.
std::string USR_NAME();

// READMEMO(key, perUser, default, file, reuse). `key` is a text or a pair
// {section, key}. The found text is converted to the default's type when a
// default of another type is given; not found gives the default.
Value READMEMO(const Value& key, bool perUser = false, const Value& def = Value(), const std::string& file = "");

// PUTMEMO(key, perUser, value, file, delete); always true. An absent key
// (nil) is the calling routine's name and the active input field's name; an
// absent value the active field's edit text.
bool PUTMEMO(const Value& key, bool perUser = false, const Value& value = Value(), const std::string& file = "",
             bool remove = false);

// GETMEMO(key, perUser); always true. Loads the remembered value into the
// active input field.
bool GETMEMO(const Value& key = Value(), bool perUser = false);

// The active input field, as the form system shows it to GETMEMO and
// PUTMEMO. The form system installs the provider; without one GETMEMO does
// nothing and PUTMEMO needs its key and value given.
struct ActiveField {
  std::string name;        // the field's variable name
  Value value;             // its current value
  std::string editText;    // the text in its edit buffer
  std::function<void(const Value&)> assign;  // puts a value into the field
  std::function<void()> refresh;             // redraws it
};
using ActiveFieldProvider = std::function<ActiveField*()>;
void setActiveFieldProvider(ActiveFieldProvider p);

// The remembered answers of the confirmation dialogue: per user and
// calling routine ("(b)" of a callback removed) in COOKIE1.SYS, the button
// number as digits. The dialogue's replaceable hooks are set to these.
inline constexpr const char* kAnswerStore = "COOKIE1.SYS";
int rememberedAnswer(std::string_view caller);
void rememberAnswer(std::string_view caller, int button);

// The pure parts, exposed for tests and the store editor.
std::vector<std::string> splitLines(std::string_view text);
// Re-flows one line into lines of at most kStoreLineWidth columns, trimmed.
void reflowLine(std::string_view line, std::vector<std::string>& out);
// The new content of a store text after setting (or deleting) a key; false
// when the stored value already equals the new one (nothing to write).
bool applyPut(std::string_view text, std::string_view section, std::string_view key, std::string_view value,
              bool remove, std::string& out);
// The value of a key in a store text, as READMEMO finds it.
bool findKey(std::string_view text, std::string_view section, std::string_view key, std::string& value);

void registerRoutines();

}  // namespace kor::cfg
