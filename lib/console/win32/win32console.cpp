#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "console/win32/win32console.h"

#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "console/keys.h"
#include "values/cp850.h"

namespace kor::con {

namespace {

int cp850Of(wchar_t ch) {
  int b = cp850FromUnicode(static_cast<char32_t>(ch));
  return b < 0 ? 0 : b;
}

// Keys whose code depends on the modifiers: {plain, Shift, Ctrl, Alt}.
struct Mapped {
  unsigned vk;
  int plain, shift, ctrl, alt;
};
constexpr Mapped kKeys[] = {
    {VK_UP, key::Up, key::Up, key::CtrlUp, key::AltUp},
    {VK_DOWN, key::Down, key::Down, key::CtrlDown, key::AltDown},
    {VK_LEFT, key::Left, key::Left, key::CtrlLeft, key::AltLeft},
    {VK_RIGHT, key::Right, key::Right, key::CtrlRight, key::AltRight},
    {VK_HOME, key::Home, key::Home, key::CtrlHome, key::AltHome},
    {VK_END, key::End, key::End, key::CtrlEnd, key::AltEnd},
    {VK_PRIOR, key::PgUp, key::PgUp, key::CtrlPgUp, key::AltPgUp},
    {VK_NEXT, key::PgDn, key::PgDn, key::CtrlPgDn, key::AltPgDn},
    {VK_INSERT, key::Ins, key::Ins, key::CtrlIns, key::AltIns},
    {VK_DELETE, key::Del, key::Del, key::CtrlDel, key::AltDel},
    {VK_RETURN, key::Enter, key::Enter, key::CtrlEnter, key::AltEnter},
    {VK_ESCAPE, key::Esc, key::Esc, key::Esc, key::AltEsc},
    {VK_BACK, key::Backspace, key::Backspace, key::CtrlBackspace, key::AltBackspace},
    {VK_TAB, key::Tab, key::ShiftTab, key::CtrlTab, 0},
};

}  // namespace

int translateWin32Key(unsigned vk, unsigned state, wchar_t ch) {
  const bool alt = state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED);
  const bool ctrl = state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED);
  const bool shift = state & SHIFT_PRESSED;
  // AltGr arrives as Ctrl+Alt with a character: it is that character.
  if (alt && ctrl && ch >= 32) return cp850Of(ch);
  if (vk == VK_CANCEL) return key::Close;  // Ctrl+Break
  for (const Mapped& m : kKeys)
    if (m.vk == vk) return alt ? m.alt : ctrl ? m.ctrl : shift ? m.shift : m.plain;
  if (vk >= VK_F1 && vk <= VK_F12) {
    int n = static_cast<int>(vk - VK_F1) + 1;
    return alt ? key::altFn(n) : ctrl ? key::ctrlFn(n) : shift ? key::shiftFn(n) : key::fn(n);
  }
  if (alt && ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))) return key::alt(static_cast<char>(vk));
  if (ctrl && vk >= 'A' && vk <= 'Z') return key::ctrl(static_cast<char>(vk));
  if (ch >= 32) return cp850Of(ch);
  return 0;
}

namespace {

std::atomic<bool> gCloseRequested{false};

BOOL WINAPI onControl(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      gCloseRequested = true;
      return TRUE;
    default:
      return FALSE;
  }
}

class Win32Console : public Backend {
 public:
  Win32Console(HANDLE out, HANDLE in) : out_(out), in_(in) {
    GetConsoleMode(in_, &savedInMode_);
    SetConsoleMode(in_, ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT | ENABLE_EXTENDED_FLAGS);
    GetConsoleCursorInfo(out_, &savedCursor_);
    SetConsoleCtrlHandler(onControl, TRUE);
  }
  ~Win32Console() override {
    SetConsoleMode(in_, savedInMode_);
    SetConsoleCursorInfo(out_, &savedCursor_);
    SetConsoleCtrlHandler(onControl, FALSE);
  }

  void resize(int rows, int cols) override {
    rows_ = rows;
    cols_ = cols;
    buf_.assign(static_cast<size_t>(rows * cols), CHAR_INFO{});
    for (auto& c : buf_) {
      c.Char.UnicodeChar = L' ';
      c.Attributes = 0x07;
    }
    COORD size{static_cast<SHORT>(cols), static_cast<SHORT>(rows)};
    SMALL_RECT win{0, 0, static_cast<SHORT>(cols - 1), static_cast<SHORT>(rows - 1)};
    // Shrink the window first when the buffer gets smaller, grow it after.
    SetConsoleWindowInfo(out_, TRUE, &win);
    SetConsoleScreenBufferSize(out_, size);
    SetConsoleWindowInfo(out_, TRUE, &win);
    dirtyTop_ = 0;
    dirtyBottom_ = rows - 1;
  }

  void writeCells(int row, int col, const Cell* cells, int n) override {
    if (row < 0 || row >= rows_) return;
    for (int i = 0; i < n && col + i < cols_; ++i) {
      CHAR_INFO& ci = buf_[static_cast<size_t>(row * cols_ + col + i)];
      uint8_t ch = cells[i].ch;
      ci.Char.UnicodeChar = ch < 0x80 ? static_cast<wchar_t>(ch ? ch : ' ') : static_cast<wchar_t>(kCp850ToUnicode[ch - 0x80]);
      ci.Attributes = cells[i].attr;
    }
    if (dirtyTop_ < 0 || row < dirtyTop_) dirtyTop_ = row;
    if (row > dirtyBottom_) dirtyBottom_ = row;
  }

  void present(int row, int col, int shape) override {
    if (dirtyTop_ >= 0 && rows_ > 0) {
      COORD size{static_cast<SHORT>(cols_), static_cast<SHORT>(rows_)};
      COORD from{0, static_cast<SHORT>(dirtyTop_)};
      SMALL_RECT area{0, static_cast<SHORT>(dirtyTop_), static_cast<SHORT>(cols_ - 1), static_cast<SHORT>(dirtyBottom_)};
      WriteConsoleOutputW(out_, buf_.data(), size, from, &area);
    }
    dirtyTop_ = -1;
    dirtyBottom_ = -1;
    CONSOLE_CURSOR_INFO ci;
    ci.bVisible = shape != 0;
    ci.dwSize = shape == 2 ? 50 : shape == 3 ? 100 : shape == 4 ? 50 : 15;
    SetConsoleCursorInfo(out_, &ci);
    if (row >= 0 && col >= 0) SetConsoleCursorPosition(out_, COORD{static_cast<SHORT>(col), static_cast<SHORT>(row)});
  }

  std::optional<InputEvent> readEvent(int64_t waitMs) override {
    DWORD start = GetTickCount();
    for (;;) {
      if (gCloseRequested.exchange(false)) return InputEvent{key::Close};
      if (!pending_.empty()) {
        InputEvent e = pending_.front();
        pending_.pop_front();
        return e;
      }
      DWORD left = INFINITE;
      if (waitMs >= 0) {
        DWORD spent = GetTickCount() - start;
        if (spent >= static_cast<DWORD>(waitMs)) left = 0;
        else left = static_cast<DWORD>(waitMs) - spent;
      }
      // Wake up now and then to see a close request from the control handler.
      DWORD slice = left == INFINITE ? 100 : std::min<DWORD>(left, 100);
      if (WaitForSingleObject(in_, slice) == WAIT_OBJECT_0) {
        INPUT_RECORD rec[32];
        DWORD got = 0;
        if (ReadConsoleInputW(in_, rec, 32, &got))
          for (DWORD i = 0; i < got; ++i) take(rec[i]);
      } else if (left != INFINITE && left <= slice) {
        if (!pending_.empty()) continue;
        return std::nullopt;
      }
    }
  }

  void discardTypeahead() override {
    FlushConsoleInputBuffer(in_);
    pending_.clear();
  }

  bool needsRepaint() override { return std::exchange(repaint_, false); }

  void setTitle(std::string_view cp850) override {
    std::wstring w;
    for (unsigned char c : cp850) w += c < 0x80 ? static_cast<wchar_t>(c) : static_cast<wchar_t>(kCp850ToUnicode[c - 0x80]);
    SetConsoleTitleW(w.c_str());
  }
  void beep() override { MessageBeep(MB_OK); }
  void tone(double hz, double seconds) override {
    if (hz >= 37 && hz <= 32767) Beep(static_cast<DWORD>(hz), static_cast<DWORD>(seconds * 1000));
  }
  void flash() override {
    FLASHWINFO fi{};
    fi.cbSize = sizeof fi;
    fi.hwnd = GetConsoleWindow();
    fi.dwFlags = FLASHW_ALL;
    fi.uCount = 3;
    if (fi.hwnd) FlashWindowEx(&fi);
  }
  int shiftState() override {
    int s = 0;
    if (GetKeyState(VK_RSHIFT) & 0x8000) s |= 1;
    if (GetKeyState(VK_LSHIFT) & 0x8000) s |= 2;
    if (GetKeyState(VK_CONTROL) & 0x8000) s |= 4;
    if (GetKeyState(VK_MENU) & 0x8000) s |= 8;
    if (GetKeyState(VK_SCROLL) & 1) s |= 16;
    if (GetKeyState(VK_NUMLOCK) & 1) s |= 32;
    if (GetKeyState(VK_CAPITAL) & 1) s |= 64;
    if (GetKeyState(VK_INSERT) & 1) s |= 128;
    return s;
  }

 private:
  void take(const INPUT_RECORD& r) {
    if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown) {
      int k = translateWin32Key(r.Event.KeyEvent.wVirtualKeyCode, r.Event.KeyEvent.dwControlKeyState,
                                r.Event.KeyEvent.uChar.UnicodeChar);
      for (WORD n = 0; k != 0 && n < std::max<WORD>(1, r.Event.KeyEvent.wRepeatCount); ++n) pending_.push_back(InputEvent{k});
    } else if (r.EventType == MOUSE_EVENT) {
      const MOUSE_EVENT_RECORD& m = r.Event.MouseEvent;
      int row = m.dwMousePosition.Y, col = m.dwMousePosition.X;
      DWORD now = m.dwButtonState;
      int code = 0;
      if (m.dwEventFlags & MOUSE_WHEELED) {
        code = static_cast<SHORT>(HIWORD(m.dwButtonState)) > 0 ? key::WheelForward : key::WheelBackward;
      } else if (m.dwEventFlags & DOUBLE_CLICK) {
        code = (now & FROM_LEFT_1ST_BUTTON_PRESSED) ? key::LeftDouble : key::RightDouble;
      } else if (m.dwEventFlags & MOUSE_MOVED) {
        code = key::MouseMove;
      } else {
        DWORD changed = now ^ buttons_;
        if (changed & FROM_LEFT_1ST_BUTTON_PRESSED) code = (now & FROM_LEFT_1ST_BUTTON_PRESSED) ? key::LeftDown : key::LeftUp;
        else if (changed & RIGHTMOST_BUTTON_PRESSED) code = (now & RIGHTMOST_BUTTON_PRESSED) ? key::RightDown : key::RightUp;
        else if (changed & FROM_LEFT_2ND_BUTTON_PRESSED) code = (now & FROM_LEFT_2ND_BUTTON_PRESSED) ? key::MiddleDown : key::MiddleUp;
      }
      buttons_ = now;
      if (code) pending_.push_back(InputEvent{code, row, col});
    } else if (r.EventType == WINDOW_BUFFER_SIZE_EVENT) {
      repaint_ = true;
    }
  }

  HANDLE out_, in_;
  DWORD savedInMode_ = 0;
  CONSOLE_CURSOR_INFO savedCursor_{};
  int rows_ = 0, cols_ = 0;
  std::vector<CHAR_INFO> buf_;
  int dirtyTop_ = -1, dirtyBottom_ = -1;
  std::deque<InputEvent> pending_;
  DWORD buttons_ = 0;
  bool repaint_ = false;
};

}  // namespace

std::unique_ptr<Backend> makeWin32ConsoleBackend() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode;
  if (out == INVALID_HANDLE_VALUE || in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode)) return nullptr;
  return std::make_unique<Win32Console>(out, in);
}

}  // namespace kor::con
