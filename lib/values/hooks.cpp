#include "values/hooks.h"

#include <cstdio>

namespace kor::values {

ConsoleHooks& consoleHooks() {
  static ConsoleHooks h;
  return h;
}

void resetConsoleHooks() { consoleHooks() = ConsoleHooks{}; }

void writeLine(std::string_view line) {
  auto& h = consoleHooks();
  if (h.writeLine) {
    h.writeLine(line);
    return;
  }
  std::fputc('\n', stdout);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

void writeAt(int row, int col, std::string_view text) {
  auto& h = consoleHooks();
  if (h.writeAt) h.writeAt(row, col, text);
}

void progress(int64_t done, int64_t total) {
  auto& h = consoleHooks();
  if (h.progress) h.progress(done, total);
}

}  // namespace kor::values
