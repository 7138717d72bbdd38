// clasupd: brings the NCM classification table RICLAS up to date from a
// tariff table. This file is the program's entry: the library's run
// (startup/program.h) sets the module values, starts the run time, runs the
// start-up, MAIN and the shut-down, and gives the exit code.
#include <memory>
#include <string>

#include "app/update.h"
#include "app/writers.h"
#include "console/screen.h"
#include "console/terminal.h"
#include "startup/program.h"

int main(int argc, char** argv) {
  using namespace kor;
  std::string source = argc > 1 ? argv[1] : "";
  // The terminal when there is one; otherwise the console stays headless
  // (nothing shown; a wait without limit ends with the close request, so
  // an unattended run cannot hang).
  if (auto term = con::TerminalBackend::open()) con::setBackend(std::move(term));
  app::registerUpdateRoutines();
  app::registerWriterRoutines();
  int code = startup::runApplication([&] { app::MAIN(source); });
  con::setBackend(nullptr);
  return code;
}
