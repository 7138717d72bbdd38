// The console's standard alert: a centred box with a message and a row of
// buttons, which waits for the user's choice.
//
// The message's ";" and line ends start new lines; long lines are
// word-wrapped at three quarters of the screen width less three columns (57
// on 80 columns). The box is as wide as the widest line or the button row,
// plus a blank column and the frame on each side, and never wider than the
// screen less four columns. Its rows: the frame, the message lines, a blank
// row, the buttons (each shown as its text between two blanks, two columns
// apart, centred), the frame. The current button is in the highlight
// colour, the rest of the box in the alert's colour.
//
// Keys: Enter or Space choose the current button; Right or Tab go to the
// next one and Left or Shift+Tab to the previous one, wrapping around; any
// other character chooses the first button whose text (leading blanks
// aside) begins with it, ignoring case; a left click on a button chooses
// it; Esc, and the close request, give 0. With a time-out, the current
// button is chosen when it passes; moving between buttons cancels it. Bound
// keys run their actions meanwhile. The screen under the box, the cursor
// and the colour are restored when it closes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kor::con {

struct AlertOptions {
  uint8_t attr = 0x4F;         // the box and the message: W+/R
  uint8_t currentAttr = 0x1F;  // the current button: W+/B
  double timeoutSeconds = 0;   // 0: none
  int initial = 1;             // the button current at the start
};

// Returns the chosen button's number (from 1), or 0.
int alert(std::string_view message, const std::vector<std::string>& buttons = {"Ok"},
          const AlertOptions& options = {});

// Where the alert puts things on the screen (for callers and tests).
struct AlertLayout {
  int top = 0, left = 0, bottom = 0, right = 0;
  std::vector<std::string> lines;
  int buttonRow = 0;
  std::vector<int> buttonCol;          // column of each button's leading blank
  std::vector<std::string> buttonText;  // as shown (cut when the row is too wide)
};
AlertLayout alertLayout(std::string_view message, const std::vector<std::string>& buttons);

}  // namespace kor::con
