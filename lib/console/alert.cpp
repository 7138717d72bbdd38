#include "console/alert.h"

#include <algorithm>

#include "console/screen.h"
#include "platform/platform.h"
#include "console/textwrap.h"
#include "runtime/runtime.h"
#include "values/textform.h"

namespace kor::con {

namespace {

constexpr std::string_view kFrame = "┌─┐│┘─└│ "_cp;

int rowWidth(const std::vector<std::string>& texts) {
  int w = 0;
  for (const std::string& t : texts) w += static_cast<int>(t.size()) + 2;
  return w + 2 * (static_cast<int>(texts.size()) - 1);
}

}  // namespace

AlertLayout alertLayout(std::string_view message, const std::vector<std::string>& buttons) {
  AlertLayout l;
  int rows = maxRow() + 1, cols = maxCol() + 1;
  int wrap = std::max(10, cols * 3 / 4 - 3);
  int maxInner = cols - 8;  // the box (inner + 4) never wider than the screen less 4
  for (const std::string& line : wrapText(semicolonLines(message), std::min(wrap, maxInner)))
    l.lines.push_back(line);
  int maxLines = std::max(1, rows - 4);
  if (static_cast<int>(l.lines.size()) > maxLines) l.lines.resize(static_cast<size_t>(maxLines));
  l.buttonText = buttons;
  while (rowWidth(l.buttonText) > maxInner) {
    auto longest = std::max_element(l.buttonText.begin(), l.buttonText.end(),
                                    [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    if (longest->empty()) break;
    longest->pop_back();
  }
  int inner = rowWidth(l.buttonText);
  for (const std::string& line : l.lines) inner = std::max(inner, static_cast<int>(line.size()));
  inner = std::min(inner, maxInner);
  int width = inner + 4;
  int height = static_cast<int>(l.lines.size()) + 4;
  l.top = (rows - height) / 2;
  l.left = (cols - width) / 2;
  l.bottom = l.top + height - 1;
  l.right = l.left + width - 1;
  l.buttonRow = l.bottom - 1;
  int c = l.left + 2 + (inner - rowWidth(l.buttonText)) / 2;
  for (const std::string& t : l.buttonText) {
    l.buttonCol.push_back(c);
    c += static_cast<int>(t.size()) + 4;
  }
  return l;
}

int alert(std::string_view message, const std::vector<std::string>& givenButtons, const AlertOptions& o) {
  std::vector<std::string> buttons = givenButtons.empty() ? std::vector<std::string>{"Ok"} : givenButtons;
  AlertLayout l = alertLayout(message, buttons);
  int n = static_cast<int>(buttons.size());
  ScreenStateGuard state;
  std::string under = saveRect(l.top, l.left, l.bottom, l.right);
  setCursor(kCursorNone);
  {
    DispGuard buffered;
    drawBox(l.top, l.left, l.bottom, l.right, kFrame, o.attr);
    int inner = l.right - l.left - 3;
    for (size_t i = 0; i < l.lines.size(); ++i) {
      const std::string& line = l.lines[i];
      int len = static_cast<int>(line.size());
      writeAt(l.top + 1 + static_cast<int>(i), l.left + 2 + std::max(0, (inner - len) / 2), line, o.attr);
    }
  }
  int cur = std::clamp(o.initial, 1, n) - 1;
  bool timed = o.timeoutSeconds > 0;
  int64_t deadline = timed ? plat::monotonicMillis() + static_cast<int64_t>(o.timeoutSeconds * 1000.0 + 0.5) : 0;
  int result = -1;
  while (result < 0) {
    {
      DispGuard buffered;
      for (int i = 0; i < n; ++i)
        writeAt(l.buttonRow, l.buttonCol[static_cast<size_t>(i)], " " + l.buttonText[static_cast<size_t>(i)] + " ",
                i == cur ? o.currentAttr : o.attr);
    }
    Wait w = Wait::forever();
    if (timed) w.millis = std::max<int64_t>(0, deadline - plat::monotonicMillis());
    int k = waitKey(w, eventMask() | kEvLeftDown);
    if (k == 0) {
      if (timed) result = cur + 1;
      continue;
    }
    switch (k) {
      case key::Enter:
      case key::Space: result = cur + 1; break;
      case key::Esc:
      case key::Close: result = 0; break;
      case key::Right:
      case key::Tab:
        if (n > 1) timed = false;
        cur = (cur + 1) % n;
        break;
      case key::Left:
      case key::ShiftTab:
        if (n > 1) timed = false;
        cur = (cur + n - 1) % n;
        break;
      case key::LeftDown:
      case key::LeftDouble:
        if (mouseRow() == l.buttonRow)
          for (int i = 0; i < n; ++i) {
            int c0 = l.buttonCol[static_cast<size_t>(i)];
            if (mouseCol() >= c0 && mouseCol() < c0 + static_cast<int>(l.buttonText[static_cast<size_t>(i)].size()) + 2) {
              result = i + 1;
              break;
            }
          }
        break;
      default:
        if (k > 32 && k <= 255) {
          unsigned char want = upperKey(k);
          for (int i = 0; i < n; ++i) {
            std::string_view t = ltrim(buttons[static_cast<size_t>(i)]);
            if (!t.empty() && upperByte(static_cast<unsigned char>(t[0])) == want) {
              result = i + 1;
              break;
            }
          }
        }
        break;
    }
  }
  restoreRect(l.top, l.left, l.bottom, l.right, under);
  return result;
}

}  // namespace kor::con
