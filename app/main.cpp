// clasupd: brings the NCM classification table RICLAS up to date from a
// tariff table. This file is the program's entry: it runs the fixed order of
// a run (initial values, run-time start, start-up, MAIN, shut-down) and
// returns the exit code.
#include <cstdio>
#include <string>

#include "runtime/runtime.h"

namespace kor::app {

// The update run. For now it only reports what it would update.
void MAIN(const std::string& source) {
  KOR_ROUTINE("MAIN");
  std::printf("clasupd: %s\n", source.empty() ? "GECEX269.DBF" : source.c_str());
}

}  // namespace kor::app

int main(int argc, char** argv) {
  using namespace kor;
  std::string source = argc > 1 ? argv[1] : "";
  return rt::runProgram([&] { app::MAIN(source); }, [] {});
}
