// Windows, message boxes, confirmations, prompts, hints and hot keys: the
// screen primitives every other screen of the library is drawn with.
//
// Positions may be fractional (callers pass values such as rows * 0.7);
// they are truncated toward zero when used. Colours are colour strings.
// These routines read the optional global variables LCONFCOR (configured
// colours on), CCORJAN, CCORMENU, CCORAVISO, CCORALERT, NEWWINDOW (flat
// windows), MSGOPCBEEP and LROLAGEM.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "values/value.h"

namespace kor::con {

// DESJAN: draws a window (frame, title, shadow) and returns true.
// `colour` empty: the default (configured CCORMENU/CCORJAN with LCONFCOR,
// else "N/W"); `shadow` absent: true, but false for flat windows.
bool DESJAN(double top, double left, double bottom, double right, bool menu = false,
            std::string_view title = {}, int titlePos = 13, std::string_view colour = {},
            std::optional<bool> shadow = std::nullopt);

// BOXSHADOW: darkens the column right of a rectangle and the row below it.
void BOXSHADOW(double top, double left, double bottom, double right);

// MSG_BOX: with a text or a list, opens a box and returns its identifier;
// with a number, or with nothing, closes that box (or the one last
// handled) and returns nil. `wait`: nil returns at once, 0 waits for a key,
// n > 0 pauses n seconds and drops the keys pressed meanwhile.
Value MSG_BOX(const Value& message = {}, const Value& colour = {}, const Value& top = {},
              const Value& wait = {}, const Value& title = {}, const Value& shadow = {});

// MSGALERTA: asks with buttons; the chosen button's number, 0 for Esc.
// `message` is a text or a list (joined with line ends); ";" starts a line.
// `buttons` a list of texts (nil: "Ok"); `colour` a colour string whose
// first pair colours the dialogue (nil: white on red).
int MSGALERTA(const Value& message, const Value& buttons = {}, const Value& colour = {}, double timeout = 0,
              bool remember = false, bool beep = false, bool flash = false);

// MSGOPC: a one-line prompt on a row; waits for a key and returns it.
int MSGOPC(std::string_view message, std::optional<double> row = std::nullopt,
           std::optional<bool> beep = std::nullopt, std::optional<double> width = std::nullopt,
           bool restore = true);

// MSGEXP: a one-line hint that stays on the screen; returns true.
// `align`: "L" text flush right, "R" flush left, anything else centred.
bool MSGEXP(std::string_view message, std::optional<double> row = std::nullopt,
            std::optional<double> width = std::nullopt, std::string_view align = "R", std::string_view fill = " ",
            bool animate = false);

// HOTKEY: binds an action to a key (nil removes the binding; a callback is
// bound as it is; a text names a routine to call) and shows the hint, when
// given, with MSGEXP. Returns true.
bool HOTKEY(int code, const Value& action = {}, const Value& hint = {});

// MOUSEAREA: the mouse cell is in rows top..bottom-1, columns left+1..right-1.
bool MOUSEAREA(double top, double left, double bottom, double right);
// CLICKAREA: the last key was a left press and MOUSEAREA holds.
bool CLICKAREA(double top, double left, double bottom, double right);

// VALIDAGET: returns the condition; when it is false, first shows the text
// in the standard alert (";" starts a line) and waits until it is dismissed.
Value VALIDAGET(const Value& condition, std::string_view text);

// Where MSGALERTA remembers answers: the last button chosen per calling
// routine. The configuration store installs its own pair (per user, in the
// remembered-answers file); the default keeps the answers for the run.
struct AnswerMemory {
  std::function<int(const std::string& caller)> read;          // 0 when none
  std::function<void(const std::string& caller, int answer)> write;
};
// Installs a memory (functions left empty: the default for the run).
void setAnswerMemory(AnswerMemory memory);

// Helpers the library's screens share.
// LCONFCOR, created as a program-wide false when it is not a logical.
bool configuredColours();
// A global variable's text, or `fallback` when it is not text.
std::string textVar(std::string_view name, std::string_view fallback);
// A message value as text: a list's elements joined with CR LF.
std::string messageText(const Value& message);

void registerBoxRoutines();

}  // namespace kor::con
