// The terminal backend: the console on a text terminal, through ncursesw.
//
// Cells are drawn as Unicode (UTF-8 on the wire): each code page 850 byte
// through console/glyphs.h, so frames, shades and the accented letters look
// as they should. Colours: the sixteen console colours on terminals that
// have them (and 256 colour pairs); on eight-colour terminals the bright
// foregrounds become bold. Input is read raw and decoded by KeyDecoder
// (function keys, Alt and Ctrl combinations, xterm mouse reports); two left
// presses on one cell within half a second give the double click. A
// hang-up, the end of input or a termination request gives the close
// request (key 256). A resized window is redrawn from the cells the
// backend keeps.
//
// The terminal is given back as it was found: the alternate screen is left
// (the shell's screen returns), the mouse reports are switched off, and the
// window title is popped from the terminal's title stack.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "console/backend.h"

namespace kor::con {

struct TerminalOptions {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  int inFd = 0;  // the descriptor of `in`
  int outFd = 1;
  std::string term;      // terminal type; empty: $TERM
  bool mouse = true;     // ask for mouse reports
  int escapeDelayMs = 25;  // how long a lone ESC waits for the rest of a sequence
  int doubleClickMs = 500;
};

class TerminalBackend : public Backend {
 public:
  // Takes over the terminal; nullptr (and the reason in *why) when the
  // descriptors are no terminal or the terminal type is unknown.
  static std::unique_ptr<TerminalBackend> open(const TerminalOptions& options = {}, std::string* why = nullptr);
  ~TerminalBackend() override;

  void resize(int rows, int cols) override;
  void writeCells(int row, int col, const Cell* cells, int n) override;
  void present(int row, int col, int shape) override;
  std::optional<InputEvent> readEvent(int64_t waitMs) override;
  void discardTypeahead() override;
  bool inputGone() const override;
  void setTitle(std::string_view cp850) override;
  void beep() override;
  void tone(double hz, double seconds) override;
  void flash() override;

  struct Impl;

 private:
  explicit TerminalBackend(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace kor::con
