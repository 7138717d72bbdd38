// The activity logs: GRAVALOG appends one entry to a named text log (in
// the current folder unless the name has a folder), keeping the file below
// kLogCap characters by dropping its oldest part.
//
// The file is read whole and rewritten whole on every entry. The writer
// holds the file's lock (config/filelock.h) from before the read until the
// new content is in place, so entries of programs logging at the same time
// are never lost; the new content replaces the old by a rename, so a failed
// write leaves the old log whole.
#pragma once

#include <optional>
#include <string>

#include "values/value.h"

namespace kor::err {

constexpr size_t kLogCap = 63000;

// GRAVALOG(file, text, header = true, lineEnd = true, semicolon = false,
// displaySeconds). The text is any value (a list is joined by one blank);
// "#;#" inside it is a line break. On a failed write the user is told in an
// alert waiting for "Ok", or in a message box for displaySeconds seconds.
void GRAVALOG(const std::string& file, const Value& text, bool header = true, bool lineEnd = true,
              bool semicolon = false, std::optional<int> displaySeconds = std::nullopt);

// The parts of an entry, as GRAVALOG writes them now.
std::string logHeader();
std::string semicolonRecord(const std::string& text);
// The text of the global variable c_Versao followed by two blanks, or "".
std::string versionPrefix();

}  // namespace kor::err
