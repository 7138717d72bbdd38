// The console of a run: the terminal (the Windows console on Windows) when
// the program has one, with the alerts, message boxes and key waits of the
// store, the logs and the error handler shown on it.
#pragma once

#include <memory>

#include "console/backend.h"
#include "errors/ui.h"

namespace kor::startup {

class ConsoleSession {
 public:
  // Takes over the terminal when there is one and the console has no
  // backend yet (a console installed by the program or a test is kept);
  // without a terminal the console stays headless (nothing shown, every
  // wait without limit ends at once with the close request, so an
  // unattended run cannot hang).
  ConsoleSession();
  // Gives the terminal back as it was found, puts the dialogue seams back
  // as they were, then writes what went to the error stream meanwhile (an
  // error's report), so that it stays readable below the shell's screen.
  ~ConsoleSession();
  ConsoleSession(const ConsoleSession&) = delete;
  ConsoleSession& operator=(const ConsoleSession&) = delete;
  bool terminal() const { return terminal_; }

 private:
  bool terminal_ = false;
  err::ui::Ops savedUi_;
  std::unique_ptr<con::Backend> previous_;
};

// Connects the library's dialogue seams (errors/ui.h: the alert, the
// message box, key waits, the error stream) to the console, and points
// MSGALERTA's remembered answers at the configuration store (COOKIE1.SYS).
// Idempotent.
void connectConsoleUi();

}  // namespace kor::startup
