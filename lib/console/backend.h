// What a console backend does: receive cell writes, show them, deliver input.
//
// The facility (console/screen.h) keeps the grid and knows which cells
// changed; a backend only ever receives the changed cells and is asked to
// present them. Input arrives as events already decoded into the console's
// key codes (console/keys.h). Backends: headless (tests), terminal
// (ncursesw), and the Win32 console.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kor::con {

struct Cell {
  uint8_t ch = ' ';     // code page 850 byte
  uint8_t attr = 0x07;  // colour attribute (console/color.h)
  bool operator==(const Cell& o) const { return ch == o.ch && attr == o.attr; }
  bool operator!=(const Cell& o) const { return !(*this == o); }
};

// One input event: a key code; mouse events carry their cell.
struct InputEvent {
  int key = 0;
  int row = -1;
  int col = -1;
};

class Backend {
 public:
  virtual ~Backend() = default;
  // The grid's size; called once when installed and whenever it changes.
  virtual void resize(int rows, int cols) {}
  // A run of n changed cells of one row, starting at col.
  virtual void writeCells(int row, int col, const Cell* cells, int n) = 0;
  // Shows what was written, the cursor at (row, col) with the given shape
  // (0 hidden, 1 normal, 2 insert, 3 full block, 4 upper half).
  virtual void present(int row, int col, int shape) = 0;
  // Waits up to waitMs (0: only what is there, -1: without limit) for one
  // input event; nullopt when none came.
  virtual std::optional<InputEvent> readEvent(int64_t waitMs) = 0;
  // Drops input typed but not yet read.
  virtual void discardTypeahead() {}
  // True once the input is gone for good (a hung-up terminal, the end of
  // input): nobody can answer any more, every read gives the close request.
  virtual bool inputGone() const { return false; }
  // True once when the backend lost what it showed (a resized terminal):
  // the facility then sends every cell again.
  virtual bool needsRepaint() { return false; }
  virtual void setTitle(std::string_view cp850) {}
  virtual void beep() {}
  virtual void tone(double hz, double seconds) {}
  virtual void flash() {}
  // Shift state bits: 1 right Shift, 2 left Shift, 4 Ctrl, 8 Alt, 16 Scroll
  // Lock, 32 Num Lock, 64 Caps Lock, 128 Insert (the keyboard status word).
  virtual int shiftState() { return 0; }
  // Lends the terminal to an outside program the program runs and waits for
  // (a command prompt, an editor): suspend() gives it back as the system
  // had it (normal screen, cooked input), resume() takes it again; the
  // facility then sends every cell again.
  virtual void suspend() {}
  virtual void resume() {}
};

}  // namespace kor::con
