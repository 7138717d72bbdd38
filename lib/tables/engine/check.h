// A table's integrity walk: the header against the file, every record's
// bytes against its field types, every memo pointer against the memo file.
// The dump/check tool (tools/dbfcheck.cpp) prints what it finds; tests use
// it to state that a file the engine wrote is sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kor::tables {

struct CheckReport {
  bool opened = false;
  std::string summary;               // header facts, one per line
  std::vector<std::string> problems;  // empty when the table is sound
  uint32_t records = 0;
  uint32_t deleted = 0;
  bool ok() const { return opened && problems.empty(); }
};

// Walks the table at `path` (opened shared and read-only; errors are
// collected, never shown). At most `maxProblems` problems are listed.
CheckReport checkTable(const std::string& path, size_t maxProblems = 100);

}  // namespace kor::tables
