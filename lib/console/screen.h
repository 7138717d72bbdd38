// The screen and keyboard facility: the one console of the program.
//
// The screen is a grid of cells (25 rows by 80 columns unless setMode()
// says otherwise), each a code page 850 character and a colour attribute
// (console/color.h). Widgets draw into the grid and read keys from here,
// never from a terminal: the grid remembers which cells changed and hands
// only those to the installed backend (console/backend.h) when drawing is
// not buffered, or when the outermost dispBegin()/dispEnd() pair ends.
//
// Positions are rows 0..maxRow() and columns 0..maxCol(); writes outside
// the grid are clipped. Texts are CP850 bytes.
//
// The keyboard: a buffer of pending keys that the program may fill
// (pushKey, keyboard) and empty (clearKeys); reads with a time-out measured
// on the platform clock (plat::monotonicMillis), so tests with a virtual
// clock advance time instead of sleeping; key bindings (key code -> action)
// that waitKey() runs while any widget waits; the last key read; the mouse
// cell; the shift state; tones.
//
// The current colour and the cursor shape are the program settings
// rt::Set::Color and rt::Set::Cursor, so an environment guard that restores
// the settings restores them too.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/backend.h"
#include "console/color.h"
#include "console/keys.h"
#include "values/value.h"

namespace kor::con {

// --- the backend ------------------------------------------------------------

// Installs a backend (nullptr: a headless one that shows nothing and whose
// reads without limit give the close request). The whole grid is sent to it.
// Returns the previous backend.
std::unique_ptr<Backend> setBackend(std::unique_ptr<Backend> b);
Backend& backend();
// False while the console runs on that built-in backend (none installed, or
// nullptr given): a program's start may then take over its terminal.
bool backendInstalled();
// False once the program's static objects are being destroyed: objects that
// give the screen back when they die (progress bars) check it first.
bool consoleAlive();

// Back to the state of a program that just started: 25 x 80 blank grid in
// grey on black, cursor at 0,0, empty keyboard buffer, no bindings, no
// title, the default event mask. The backend stays. For tests and start-up.
void resetConsole();

// --- geometry ----------------------------------------------------------------

int maxRow();
int maxCol();
// Changes the grid's size (the contents are kept where they fit). Returns
// false for sizes outside 10..200 rows and 20..400 columns.
bool setMode(int rows, int cols);

// --- colours -------------------------------------------------------------------

// The current colour string (the setting) and its attributes. Slots the
// string leaves empty take the default colours "W/N,N/W,N/N,N/N,N/W".
std::string colorText();
std::string setColor(std::string_view text);  // returns the previous string
uint8_t colorAttr(int slot = kStandard);

// --- drawing -------------------------------------------------------------------

// Writes a text at a position without moving the cursor; cut at the row's end.
void writeAt(int row, int col, std::string_view text, uint8_t attr);
void writeAt(int row, int col, std::string_view text);  // in the standard colour
// The same, then the cursor stands after the text.
void say(int row, int col, std::string_view text, uint8_t attr);
void say(int row, int col, std::string_view text);
// Writes at the cursor, wrapping at the row's end and scrolling the whole
// screen up at the bottom (the console's line output).
void outText(std::string_view text);
// A new line (cursor to the next row's start, scrolling at the bottom), then the text.
void outLine(std::string_view text);

void putCell(int row, int col, Cell c);
Cell cellAt(int row, int col);
// Fills a rectangle (corners inclusive) with one character in one colour.
void fillRect(int top, int left, int bottom, int right, uint8_t ch, uint8_t attr);
void clearRect(int top, int left, int bottom, int right, uint8_t attr);
void clearRect(int top, int left, int bottom, int right);  // standard colour
// Blanks the screen in the standard colour and puts the cursor at 0,0.
void clearScreen();
// Scrolls a rectangle: rows > 0 moves the contents up, < 0 down; cols > 0
// left, < 0 right; the cells left behind are blank in `attr`.
void scrollRect(int top, int left, int bottom, int right, int rows, int cols, uint8_t attr);
// Gives every cell of a rectangle a colour, keeping the characters.
void recolorRect(int top, int left, int bottom, int right, uint8_t attr);
// A frame from a text of eight or nine characters: top-left, top, top-right,
// right, bottom-right, bottom, bottom-left, left, and the fill (none: the
// inside is left alone).
void drawBox(int top, int left, int bottom, int right, std::string_view frame, uint8_t attr);

// The cells of a rectangle as an opaque text (two bytes per cell, character
// then attribute, row by row) and back. Restoring puts the cells at the
// rectangle given, row by row, as far as the saved text reaches.
std::string saveRect(int top, int left, int bottom, int right);
void restoreRect(int top, int left, int bottom, int right, std::string_view saved);
std::string saveScreen();
void restoreScreen(std::string_view saved);

// Buffered drawing: changes stay in the grid until the outermost
// dispEnd(), then show at once.
void dispBegin();
void dispEnd();
int dispCount();
class DispGuard {
 public:
  DispGuard() { dispBegin(); }
  ~DispGuard() { dispEnd(); }
  DispGuard(const DispGuard&) = delete;
  DispGuard& operator=(const DispGuard&) = delete;
};
// Shows pending changes now (nothing while drawing is buffered).
void refresh();

// --- cursor and title ----------------------------------------------------------

void setPos(int row, int col);
int row();
int col();
// Cursor shapes: 0 none, 1 normal, 2 insert, 3 full block, 4 upper half.
enum CursorShape : int { kCursorNone = 0, kCursorNormal = 1, kCursorInsert = 2, kCursorBlock = 3, kCursorHalf = 4 };
int cursorShape();
int setCursor(int shape);  // returns the previous shape

// For the duration of a screen routine: output goes to the screen (the
// device setting is "SCREEN"); the colour, the cursor shape and position and
// the device come back when it ends.
class ScreenStateGuard {
 public:
  ScreenStateGuard();
  ~ScreenStateGuard();
  ScreenStateGuard(const ScreenStateGuard&) = delete;
  ScreenStateGuard& operator=(const ScreenStateGuard&) = delete;

 private:
  std::string color_;
  int shape_, row_, col_;
  Value device_;
};

void setTitle(std::string_view cp850);
std::string title();

// --- keyboard -------------------------------------------------------------------

// How long a read waits.
struct Wait {
  int64_t millis = 0;  // 0 only what is there, < 0 without limit
  static Wait none() { return {0}; }
  static Wait forever() { return {-1}; }
  // Seconds, fractions too; 0 or less means only what is there.
  static Wait seconds(double s) { return {s > 0 ? static_cast<int64_t>(s * 1000.0 + 0.5) : 0}; }
};

// Reads one event accepted by the event mask (-1: the current mask): from
// the keyboard buffer first, then from the backend. 0 when none came in
// time. Bindings are not run. Updates lastKey() and, for mouse events, the
// mouse cell.
int inkey(Wait w, int mask = -1);
// The central wait of every widget: as inkey(), but a key with a binding
// runs its action (see setKey) and the wait goes on, the time-out counting
// from the start of the wait. Returns the first key without a binding.
int waitKey(Wait w, int mask = -1);
// The next event without taking it (0 when none is pending).
int nextKey(int mask = -1);
int lastKey();
void setLastKey(int code);
// Appends a key to the keyboard buffer.
void pushKey(int code);
// Appends each byte of a text as a key.
void pushKeys(std::string_view cp850);
// Replaces the buffer's contents with the bytes of a text.
void keyboard(std::string_view cp850);
// Drops every pending key: the buffer and what the backend holds typed ahead.
void clearKeys();
size_t pendingKeys();

int eventMask();
int setEventMask(int mask);  // returns the previous mask; default kEvKeyboard

int mouseRow();
int mouseCol();
int shiftState();

// --- key bindings -----------------------------------------------------------------

// Binds an action to a key: a callback Value receiving (routine name, line,
// name of the form variable being edited), or a text naming a routine to
// call by name with the same arguments. nil removes the binding. Returns the
// previous action (nil when none).
Value setKey(int code, Value action);
Value keyAction(int code);
bool hasBinding(int code);
// Runs the action bound to a key; false when there is none or it is
// already running (a binding does not re-enter itself: inside its own
// action, its key arrives as a plain key).
bool runBinding(int code);
// Whether runBinding(code) would run an action now.
bool bindingRunnable(int code);
std::vector<int> boundKeys();
// Saves every binding and puts them back when it ends.
class BindingsGuard {
 public:
  BindingsGuard();
  ~BindingsGuard();
  BindingsGuard(const BindingsGuard&) = delete;
  BindingsGuard& operator=(const BindingsGuard&) = delete;

 private:
  std::vector<std::pair<int, Value>> saved_;
};

// The name of the form variable being edited, for the bindings' third
// argument (the form system installs it).
void setEditedVariableSource(std::function<std::string()> source);

// --- sounds and signals ---------------------------------------------------------

// A tone; the program waits for its duration (on the platform clock).
void tone(double hz, double seconds);
void beep();
void flashWindow();

}  // namespace kor::con
