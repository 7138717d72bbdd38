// Pieces of the platform layer shared between its own files; nothing above
// the platform includes this.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace kor::plat::detail {

// The OS's own table (posix/ or win32/), before the memory files are layered
// over it.
const Ops& osOps();
// The OS's folder listing.
std::vector<DirEntry> osListDir(const std::string& folder, std::string_view pattern);

// The memory file system (memfs.cpp): an Ops table that serves "MEM:" paths
// and memory handles itself and hands everything else to `os`.
Ops withMemoryFiles(const Ops& os);
std::vector<DirEntry> memListDir(std::string_view pattern);

}  // namespace kor::plat::detail
