// Whole-file read and write of any text file of the library, with the
// automatic retries and the "Repetir" / "Ignorar" / "Abortar" alerts that
// close themselves after 5 seconds (no choice counts as "Repetir"). Each
// failure is also appended to the activity log ERRO.LOG.
#pragma once

#include <string>
#include <string_view>

namespace kor::cfg {

// Reads the whole file into `text`. A missing file gives true and "". A file
// that cannot be opened is tried 4 times, 3 seconds apart (a key press
// shortens the wait), then the alert asks "Repetir" (4 more attempts) or
// "Abortar" (false, "").
bool FMEMOREAD(const std::string& file, std::string& text);

// Replaces the file's whole content with `text` (CR LF appended first when
// addLineEnd is set and a non-empty text does not end with it). True when
// written; false when the user chose "Ignorar"; "Abortar" ends the program
// through the ordinary shut-down (exit code 1).
//
// The new content is written to a temporary file in the same folder and
// then renamed over the old one, so a full disk or a failing write never
// leaves a half-written file: the old content stays whole until the new one
// is complete. Where the folder lets a program change the file but not
// create files beside it, the file is rewritten in place as before.
bool MEMOWRITE(const std::string& file, std::string_view text, bool addLineEnd = false);

// The OS error code of the last failure MEMOWRITE met (0 after a clean write).
int lastWriteError();

// The alert time-out of this family of alerts.
constexpr int64_t kRetryAlertMillis = 5000;

}  // namespace kor::cfg
