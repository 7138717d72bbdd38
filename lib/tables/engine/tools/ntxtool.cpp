// ntxtool: looks into NTX index files.
//
//   ntxtool check FILE [--records N] [--lenient]   structural check; exit 1 on problems
//   ntxtool header FILE                            the header fields
//   ntxtool dump FILE                              the header and every page
//   ntxtool keys FILE                              the keys in walking order
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "tables/engine/ntx.h"

using namespace kor;
using namespace kor::tables;

static int usage() {
  std::fprintf(stderr,
               "usage: ntxtool check FILE [--records N] [--lenient]\n"
               "       ntxtool header FILE\n"
               "       ntxtool dump FILE\n"
               "       ntxtool keys FILE\n");
  return 2;
}

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  std::string cmd = argv[1], path = argv[2];
  int err = 0;
  std::optional<std::string> data = plat::readWholeFile(path, &err);
  if (!data) {
    std::fprintf(stderr, "%s: cannot be read (error %d)\n", path.c_str(), err);
    return 2;
  }
  if (cmd == "check" || cmd == "keys") {
    ntx::CheckOptions opt;
    opt.collectKeys = cmd == "keys";
    for (int i = 3; i < argc; ++i) {
      if (!std::strcmp(argv[i], "--records") && i + 1 < argc)
        opt.recordCount = uint32_t(std::strtoul(argv[++i], nullptr, 10));
      else if (!std::strcmp(argv[i], "--lenient"))
        opt.strict = false;
      else
        return usage();
    }
    ntx::CheckReport rep = ntx::checkBytes(*data, opt);
    if (cmd == "keys") {
      for (auto& [k, r] : rep.items) std::printf("%10u  %s\n", r, k.c_str());
    } else {
      std::printf("%s\n", rep.summary().c_str());
    }
    return rep.ok() ? 0 : 1;
  }
  if (cmd == "header" || cmd == "dump") {
    std::fputs(ntx::dumpBytes(*data, cmd == "dump").c_str(), stdout);
    return 0;
  }
  return usage();
}
