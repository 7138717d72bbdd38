// Appends a failure of a whole-file read or write to the activity log
// ERRO.LOG.
//
// Logging a failure writes ERRO.LOG through the same whole-file write, so a
// failing ERRO.LOG would log its own failure again and again. The chain is
// cut twice: a failure of ERRO.LOG itself is not logged, and nothing is
// logged while a failure is already being logged.
#pragma once

#include <string>

namespace kor::cfg {

inline constexpr const char* kErrorLog = "ERRO.LOG";

void logFileFailure(const std::string& line, const std::string& failingFile);

}  // namespace kor::cfg
