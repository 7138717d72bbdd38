// The console's key codes: what every read of the keyboard returns.
//
// They are the classic codes of this family of programs: the character's
// code page 850 byte for a character key (32 to 255), small control codes
// for the editing keys, negative numbers for the function keys, 256 and up
// for Alt combinations and the close request, 512 + n for Ctrl with the
// n-th letter, and 1001 to 1015 for mouse events. Widgets compare against
// these names; the backends decode their input into them.
#pragma once

namespace kor::con::key {

// Editing and movement keys.
constexpr int Enter = 13, Esc = 27, Space = 32, Tab = 9, ShiftTab = 271, Backspace = 8;
constexpr int Up = 5, Down = 24, Left = 19, Right = 4;
constexpr int Home = 1, End = 6, PgUp = 18, PgDn = 3, Ins = 22, Del = 7;

// With Ctrl.
constexpr int CtrlUp = 397, CtrlDown = 401, CtrlLeft = 26, CtrlRight = 2;
constexpr int CtrlHome = 29, CtrlEnd = 23, CtrlPgUp = 31, CtrlPgDn = 30;
constexpr int CtrlIns = 402, CtrlDel = 403, CtrlTab = 404, CtrlBackspace = 127, CtrlEnter = 10;

// With Alt.
constexpr int AltUp = 408, AltDown = 416, AltLeft = 411, AltRight = 413;
constexpr int AltHome = 407, AltEnd = 415, AltPgUp = 409, AltPgDn = 417;
constexpr int AltIns = 418, AltDel = 419, AltEnter = 284, AltEsc = 257, AltBackspace = 270;

// Ctrl+Break or a close request of the console (window closed, terminal hung up).
constexpr int Close = 256;

// Function keys: F1 is 28, F2..F10 are -1..-9, F11 and F12 -40 and -41.
constexpr int F1 = 28;
constexpr int fn(int n) { return n == 1 ? 28 : n <= 10 ? 1 - n : n == 11 ? -40 : -41; }
// Shift+F1..F10 -10..-19, Ctrl -20..-29, Alt -30..-39; F11/F12 -42..-47.
constexpr int shiftFn(int n) { return n <= 10 ? -9 - n : n == 11 ? -42 : -43; }
constexpr int ctrlFn(int n) { return n <= 10 ? -19 - n : n == 11 ? -44 : -45; }
constexpr int altFn(int n) { return n <= 10 ? -29 - n : n == 11 ? -46 : -47; }
constexpr int AltF1 = -30;

// Ctrl with the n-th letter of the alphabet (1 = A): 512 + n (Ctrl+C 515,
// Ctrl+W 535). 0 for anything but a letter.
constexpr int ctrl(char letter) {
  char u = (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 32) : letter;
  return (u >= 'A' && u <= 'Z') ? 512 + (u - 'A' + 1) : 0;
}
constexpr int CtrlW = 535;

// Alt with a letter or a digit (Alt+Q 272, Alt+A 286, Alt+S 287, Alt+C 302,
// Alt+1 376 .. Alt+9 384, Alt+0 385); 0 for other characters.
constexpr int alt(char c) {
  constexpr int kLetters[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
  char u = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  if (u >= 'A' && u <= 'Z') return 256 + kLetters[u - 'A'];
  if (u >= '1' && u <= '9') return 376 + (u - '1');
  if (u == '0') return 385;
  return 0;
}
// The letter or digit of an Alt code (0 when it is none).
constexpr char altChar(int code) {
  for (char c = 'A'; c <= 'Z'; ++c)
    if (alt(c) == code) return c;
  for (char c = '0'; c <= '9'; ++c)
    if (alt(c) == code) return c;
  return 0;
}

// Mouse events: the cell is in mouseRow()/mouseCol().
constexpr int MouseMove = 1001, LeftDown = 1002, LeftUp = 1003, RightDown = 1004, RightUp = 1005;
constexpr int LeftDouble = 1006, RightDouble = 1007, MiddleDown = 1008, MiddleUp = 1009;
constexpr int WheelForward = 1014, WheelBackward = 1015;
constexpr bool isMouse(int code) { return code >= 1001 && code <= 1015; }

}  // namespace kor::con::key

namespace kor::con {

// Which events a read accepts (the event mask): combine the bits.
enum EventBits : int {
  kEvMove = 1,
  kEvLeftDown = 2,
  kEvLeftUp = 4,
  kEvRightDown = 8,
  kEvRightUp = 16,
  kEvMiddle = 32,
  kEvWheel = 64,
  kEvKeyboard = 128,
  kEvAll = 255,
};

// The mask bit an event code needs.
constexpr int eventBit(int code) {
  switch (code) {
    case key::MouseMove: return kEvMove;
    case key::LeftDown:
    case key::LeftDouble: return kEvLeftDown;
    case key::LeftUp: return kEvLeftUp;
    case key::RightDown:
    case key::RightDouble: return kEvRightDown;
    case key::RightUp: return kEvRightUp;
    case key::MiddleDown:
    case key::MiddleUp:
    case 1010: return kEvMiddle;
    case key::WheelForward:
    case key::WheelBackward: return kEvWheel;
    default: return kEvKeyboard;
  }
}

}  // namespace kor::con
