// The headless backend: the console without a terminal, for tests.
//
// It keeps the cells it was sent (so a test sees what was shown, not what
// is still buffered), the cursor, the title, the tones and beeps; and it
// plays a script of input events, each due at a moment of the platform's
// monotonic clock. With the virtual clock of platform/clock.h installed, a
// read that waits advances the clock to the next event's moment (or to its
// time-out) instead of sleeping, so time-outs of seconds run at once.
//
// Script entries are due one after another: each `gap` milliseconds after
// the previous entry (or after "now" for the first). Events due when the
// program discards its typeahead are dropped with it, as typed keys would
// be. A probe entry runs a function at its moment (the program is then
// waiting for input), to look at the screen mid-dialogue.
#pragma once

#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/backend.h"
#include "console/keys.h"

namespace kor::con {

// Thrown by a read without limit when the script is played out: a test that
// forgets a key fails instead of hanging.
struct ScriptExhausted : std::runtime_error {
  ScriptExhausted() : std::runtime_error("the headless console's input script is played out") {}
};

class HeadlessBackend : public Backend {
 public:
  // What a read without limit does once the script is played out.
  enum class WhenDone { Throw, CloseRequest };
  explicit HeadlessBackend(WhenDone whenDone = WhenDone::Throw) : whenDone_(whenDone) {}

  // --- the script ---------------------------------------------------------
  HeadlessBackend& type(std::initializer_list<int> keys, int64_t gapMs = 10);
  HeadlessBackend& type(const std::vector<int>& keys, int64_t gapMs = 10);
  // Each byte of a CP850 text as a key.
  HeadlessBackend& typeText(std::string_view cp850, int64_t gapMs = 10);
  // One event `delayMs` after the previous entry.
  HeadlessBackend& after(int64_t delayMs, int key);
  // A mouse event at a cell.
  HeadlessBackend& mouse(int code, int row, int col, int64_t gapMs = 10);
  // A function run at its moment.
  HeadlessBackend& probe(std::function<void()> fn, int64_t gapMs = 10);
  size_t scriptLeft() const { return script_.size() - next_; }
  void clearScript();

  // --- what was shown -----------------------------------------------------
  int rows() const { return rows_; }
  int cols() const { return cols_; }
  Cell cell(int row, int col) const;
  // One row's characters (CP850), and the whole screen, rows joined by '\n'.
  std::string rowText(int row) const;
  std::string text() const;
  // A row's attributes as pair texts separated by blanks, one per run of
  // equal attributes with its length: "W/N*80" or "N/W*10 W+/R*70".
  std::string rowColors(int row) const;
  int cursorRow() const { return curRow_; }
  int cursorCol() const { return curCol_; }
  int cursorShape() const { return shape_; }
  const std::string& titleText() const { return title_; }
  int presents() const { return presents_; }
  long cellsWritten() const { return cellsWritten_; }
  int beeps() const { return beeps_; }
  int flashes() const { return flashes_; }
  const std::vector<std::pair<double, double>>& tones() const { return tones_; }
  void setShiftState(int s) { shift_ = s; }

  // --- Backend ------------------------------------------------------------
  void resize(int rows, int cols) override;
  void writeCells(int row, int col, const Cell* cells, int n) override;
  void present(int row, int col, int shape) override;
  std::optional<InputEvent> readEvent(int64_t waitMs) override;
  void discardTypeahead() override;
  void setTitle(std::string_view t) override { title_ = std::string(t); }
  void beep() override { ++beeps_; }
  void tone(double hz, double seconds) override { tones_.emplace_back(hz, seconds); }
  void flash() override { ++flashes_; }
  int shiftState() override { return shift_; }

 private:
  struct Entry {
    int64_t due = 0;
    InputEvent ev;
    std::function<void()> probe;
  };
  int64_t nextDue(int64_t gapMs);

  WhenDone whenDone_;
  std::vector<Entry> script_;
  size_t next_ = 0;
  int64_t lastDue_ = -1;
  int rows_ = 25, cols_ = 80;
  std::vector<Cell> cells_ = std::vector<Cell>(25 * 80);
  int curRow_ = 0, curCol_ = 0, shape_ = 1;
  std::string title_;
  int presents_ = 0;
  long cellsWritten_ = 0;
  int beeps_ = 0, flashes_ = 0, shift_ = 0;
  std::vector<std::pair<double, double>> tones_;
};

// Installs a fresh headless backend into the facility and returns it (the
// facility owns it).
HeadlessBackend& installHeadless(HeadlessBackend::WhenDone whenDone = HeadlessBackend::WhenDone::Throw);

}  // namespace kor::con
