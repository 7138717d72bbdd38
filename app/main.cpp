// clasupd: brings the NCM classification table RICLAS up to date from a
// tariff table. This file is the program's entry: the library's run
// (startup/program.h) sets the module values, starts the run time, runs the
// start-up, MAIN and the shut-down, and gives the exit code.
#include <cstdio>
#include <string>

#include "runtime/runtime.h"
#include "startup/environment.h"
#include "startup/program.h"

namespace kor::app {

// The update run. For now it titles the window and reports what it would
// update.
void MAIN(const std::string& source) {
  KOR_ROUTINE("MAIN");
  startup::WINTITULO("Utilitário de atualização"_cp);
  std::printf("clasupd: %s\n", source.empty() ? "GECEX269.DBF" : source.c_str());
}

}  // namespace kor::app

int main(int argc, char** argv) {
  using namespace kor;
  std::string source = argc > 1 ? argv[1] : "";
  return startup::runApplication([&] { app::MAIN(source); });
}
