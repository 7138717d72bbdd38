// clasupd: brings the NCM classification table RICLAS up to date from a
// tariff table. This file is the program's entry: the library's run
// (startup/program.h) sets the module values, starts the run time, runs the
// start-up, MAIN and the shut-down, and gives the exit code.
#include <cstdio>
#include <memory>
#include <string>

#include "app/update.h"
#include "app/writers.h"
#include "console/screen.h"
#include "platform/platform.h"
#include "startup/program.h"
#include "values/textform.h"

namespace {

// The screen's line output as the run left it: the rows down to the last
// one that is not blank, without trailing blanks.
std::string transcript() {
  using namespace kor;
  std::vector<std::string> rows;
  for (int r = 0; r <= con::maxRow(); ++r) {
    std::string row;
    for (int c = 0; c <= con::maxCol(); ++c) row += static_cast<char>(con::cellAt(r, c).ch);
    rows.emplace_back(rtrim(row));
  }
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  std::string text;
  for (const std::string& row : rows) text += row + "\n";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kor;
  std::string source = argc > 1 ? argv[1] : "";
  // The run takes the terminal over when there is one and gives it back at
  // the end (startup/session.h); without one the console stays headless.
  bool onTerminal = plat::isTerminal(0) && plat::isTerminal(1);
  app::registerUpdateRoutines();
  app::registerWriterRoutines();
  int code = startup::runApplication([&] { app::MAIN(source); });
  // The terminal gives the shell's screen back when the program ends; the
  // run's lines ("Arquivo ... nao encontrado!", the steps) are written
  // below it again so that they stay readable, as on a console window.
  std::string lines = onTerminal ? transcript() : std::string();
  if (!lines.empty()) {
    std::string utf8;
    if (!plat::convertCodePage(lines, plat::kCp850, plat::kCpUtf8, utf8)) utf8 = lines;
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
  }
  return code;
}
