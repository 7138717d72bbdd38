// What the store, the logs and the error handler need from the screen and
// the keyboard: the plain alert box, the message box, key waits, the screen
// text and the error stream. One table of functions, so the console plugs
// in here and tests can script the user's answers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kor::err::ui {

struct Ops {
  // The plain alert box: the message split into lines at ";", the buttons in
  // a row, the first one preselected. timeoutMs > 0 closes it by itself after
  // that long. Returns the chosen button (1-based), 0 for Esc or time-out.
  std::function<int(std::string_view message, const std::vector<std::string>& buttons, int64_t timeoutMs,
                    bool beep, bool flash)>
      alert;
  // The message box (lines split at CR LF): opens it and returns its id.
  std::function<int(std::string_view message)> openBox;
  std::function<void(int id)> closeBox;
  // Waits for a key up to ms milliseconds (ms < 0: no limit); returns the
  // key code, 0 when none came.
  std::function<int(int64_t ms)> waitKey;
  // Empties the keyboard buffer / puts a key into it.
  std::function<void()> clearKeys;
  std::function<void(int key)> pushKey;
  // The code of the last key read, 0 when none.
  std::function<int()> lastKey;
  // The screen's characters, one text per row (colours dropped).
  std::function<std::vector<std::string>()> screenRows;
  // Sends batched screen output to the screen.
  std::function<void()> flush;
  // Moves the cursor below the last row in bright white on black, so what
  // follows on the error stream reads under the screen.
  std::function<void()> cursorBelowScreen;
  // Writes CP850 text to the error stream.
  std::function<void(std::string_view text)> writeError;
};

Ops& ops();
// The table as the program starts with it (for restoring after a test).
Ops defaultOps();

// Shortcuts over ops().
int alert(std::string_view message, const std::vector<std::string>& buttons, int64_t timeoutMs = 0,
          bool beep = false, bool flash = false);
int waitKey(int64_t ms);

// Tests: installs a table and puts the previous one back when it ends.
class Scope {
 public:
  Scope() : saved_(ops()) {}
  ~Scope() { ops() = saved_; }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  Ops saved_;
};

}  // namespace kor::err::ui
