// The few screen outputs of the value routines, reached through hooks the
// console installs when it starts (values sit below the console and cannot
// call it):
//   writeLine  a new console line, as the "?" output command writes one
//              (DEBUGX_TO_C uses it); by default the line goes to the
//              standard output;
//   writeAt    text at a row and column without moving the cursor
//              (SAYDATAHORA); by default nothing is shown;
//   progress   a progress bar for long conversions (TROCAACENTO's third
//              argument): called with done = 0 first, then as work
//              advances, and done = total last, so the console can save
//              the screen at the start and restore it at the end; by
//              default nothing is shown.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace kor::values {

struct ConsoleHooks {
  std::function<void(std::string_view line)> writeLine;
  std::function<void(int row, int col, std::string_view text)> writeAt;
  std::function<void(int64_t done, int64_t total)> progress;
};

// The installed hooks (empty members fall back to the defaults above).
ConsoleHooks& consoleHooks();
// The hooks back to their defaults (tests).
void resetConsoleHooks();

void writeLine(std::string_view line);
void writeAt(int row, int col, std::string_view text);
void progress(int64_t done, int64_t total);

}  // namespace kor::values
