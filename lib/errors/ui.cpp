#include "errors/ui.h"

#include <cctype>
#include <cstdio>

#include "console/screen.h"
#include "platform/platform.h"
#include "values/cp850.h"

namespace kor::err::ui {

namespace {

// CP850 to UTF-8 for the terminal's error stream.
std::string toUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) {
    char32_t u = c < 0x80 ? c : kCp850ToUnicode[c - 0x80];
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

}  // namespace

Ops defaultOps() {
  Ops o;
  // The plain alert drawn as console lines until the console's alert box
  // is installed: the message, the buttons numbered; Enter or Space choose
  // the first, a digit or a button's initial chooses that one, Esc gives 0,
  // a close request the first button.
  o.alert = [](std::string_view msg, const std::vector<std::string>& buttons, int64_t timeoutMs, bool, bool) {
    std::string line;
    for (char c : msg) {
      if (c == ';') {
        con::outLine(line);
        line.clear();
      } else {
        line += c;
      }
    }
    con::outLine(line);
    std::string row;
    for (size_t i = 0; i < buttons.size(); ++i) row += (i ? "  " : "") + std::to_string(i + 1) + " " + buttons[i];
    con::outLine(row);
    con::refresh();
    for (;;) {
      int k = con::waitKey(con::Wait{timeoutMs > 0 ? timeoutMs : -1});
      if (k == 0 || k == 27) return 0;
      if (k == 13 || k == 32 || k == 256) return 1;
      if (k >= '1' && k <= '9' && static_cast<size_t>(k - '0') <= buttons.size()) return k - '0';
      for (size_t i = 0; i < buttons.size(); ++i)
        if (!buttons[i].empty() && k < 256 && std::toupper(k) == std::toupper(static_cast<unsigned char>(buttons[i][0])))
          return static_cast<int>(i + 1);
    }
  };
  o.openBox = [](std::string_view msg) {
    std::fputs(toUtf8("\r\n" + std::string(msg) + "\r\n").c_str(), stderr);
    return 1;
  };
  o.closeBox = [](int) {};
  o.waitKey = [](int64_t ms) { return con::waitKey(con::Wait{ms < 0 ? -1 : ms}); };
  o.clearKeys = [] { con::clearKeys(); };
  o.pushKey = [](int k) { con::pushKey(k); };
  o.lastKey = [] { return con::lastKey(); };
  o.screenRows = [] {
    std::vector<std::string> rows;
    for (int r = 0; r <= con::maxRow(); ++r) {
      std::string line;
      for (int c = 0; c <= con::maxCol(); ++c) line += static_cast<char>(con::cellAt(r, c).ch);
      rows.push_back(std::move(line));
    }
    return rows;
  };
  o.flush = [] {
    while (con::dispCount() > 0) con::dispEnd();
    con::refresh();
  };
  o.cursorBelowScreen = [] {
    con::setColor("W+/N");
    con::setPos(con::maxRow(), 0);
    con::outLine("");
  };
  o.writeError = [](std::string_view text) {
    std::fputs(toUtf8(text).c_str(), stderr);
    std::fflush(stderr);
  };
  return o;
}

Ops& ops() {
  static Ops o = defaultOps();
  return o;
}

int alert(std::string_view message, const std::vector<std::string>& buttons, int64_t timeoutMs, bool beep,
          bool flash) {
  return ops().alert(message, buttons, timeoutMs, beep, flash);
}

int waitKey(int64_t ms) { return ops().waitKey(ms); }

}  // namespace kor::err::ui
