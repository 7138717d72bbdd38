#include "console/routines.h"

#include <optional>

#include "console/alert.h"
#include "console/boxes.h"
#include "console/form.h"
#include "console/listbox.h"
#include "console/progress.h"
#include "console/screen.h"
#include "console/textwrap.h"
#include "runtime/runtime.h"

namespace kor::con {

namespace {

std::optional<double> optNum(const Args& a, size_t i) {
  return a[i].isNumber() ? std::optional<double>(a[i].num()) : std::nullopt;
}
std::optional<bool> optLog(const Args& a, size_t i) {
  return a[i].isLogical() ? std::optional<bool>(a[i].log()) : std::nullopt;
}
int num(const Args& a, size_t i, int fallback = 0) {
  return a[i].isNumber() ? static_cast<int>(a[i].integer()) : fallback;
}
bool log(const Args& a, size_t i, bool fallback = false) { return a[i].isLogical() ? a[i].log() : fallback; }
std::string text(const Args& a, size_t i, std::string_view fallback = {}) {
  return a[i].isText() ? a[i].string() : std::string(fallback);
}

// INKEY(seconds [, mask]): no argument reads only what is there; 0 waits
// without limit.
Wait inkeyWait(const Args& a) {
  if (!a[0].isNumber()) return Wait::none();
  return a[0].num() == 0 ? Wait::forever() : Wait::seconds(a[0].num());
}

void registerScreenRoutines() {
  using rt::registerRoutine;
  registerRoutine("INKEY", [](Args& a) { return Value(inkey(inkeyWait(a), num(a, 1, -1))); });
  registerRoutine("LASTKEY", [](Args&) { return Value(lastKey()); });
  registerRoutine("NEXTKEY", [](Args& a) { return Value(nextKey(num(a, 0, -1))); });
  registerRoutine("KEYBOARD", [](Args& a) {
    if (a[0].isText()) keyboard(a[0].str());
    if (a[0].isNumber()) pushKey(static_cast<int>(a[0].integer()));
    return Value();
  });
  registerRoutine("CLEARTYPEAHEAD", [](Args&) {
    clearKeys();
    return Value();
  });
  registerRoutine("SETKEY", [](Args& a) {
    int code = num(a, 0);
    if (a.size() < 2) return keyAction(code);
    return setKey(code, a[1]);
  });
  registerRoutine("MROW", [](Args&) { return Value(mouseRow()); });
  registerRoutine("MCOL", [](Args&) { return Value(mouseCol()); });
  registerRoutine("MAXROW", [](Args&) { return Value(maxRow()); });
  registerRoutine("MAXCOL", [](Args&) { return Value(maxCol()); });
  registerRoutine("ROW", [](Args&) { return Value(row()); });
  registerRoutine("COL", [](Args&) { return Value(col()); });
  registerRoutine("SETPOS", [](Args& a) {
    setPos(num(a, 0), num(a, 1));
    return Value();
  });
  registerRoutine("SETCOLOR", [](Args& a) {
    std::string old = colorText();
    if (a[0].isText()) setColor(a[0].str());
    return Value(old);
  });
  registerRoutine("SETCURSOR", [](Args& a) {
    int old = cursorShape();
    if (a[0].isNumber()) setCursor(num(a, 0));
    return Value(old);
  });
  registerRoutine("SETMODE", [](Args& a) { return Value::logical(setMode(num(a, 0, 25), num(a, 1, 80))); });
  registerRoutine("SAVESCREEN", [](Args& a) {
    return Value(saveRect(num(a, 0), num(a, 1), num(a, 2, maxRow()), num(a, 3, maxCol())));
  });
  registerRoutine("RESTSCREEN", [](Args& a) {
    restoreRect(num(a, 0), num(a, 1), num(a, 2, maxRow()), num(a, 3, maxCol()), a[4].str());
    return Value();
  });
  registerRoutine("DISPBEGIN", [](Args&) {
    dispBegin();
    return Value();
  });
  registerRoutine("DISPEND", [](Args&) {
    dispEnd();
    return Value();
  });
  registerRoutine("DISPCOUNT", [](Args&) { return Value(dispCount()); });
  registerRoutine("DISPOUTAT", [](Args& a) {
    writeAt(num(a, 0), num(a, 1), messageText(a[2]), a[3].isText() ? firstAttr(a[3].str()) : colorAttr());
    return Value();
  });
  registerRoutine("DISPBOX", [](Args& a) {
    std::string frame = a[4].isText() ? a[4].string() : std::string("┌─┐│┘─└│"_cp);
    if (a[4].isNumber()) frame = a[4].integer() == 2 ? std::string("╔═╗║╝═╚║"_cp) : std::string("┌─┐│┘─└│"_cp);
    drawBox(num(a, 0), num(a, 1), num(a, 2), num(a, 3), frame, a[5].isText() ? firstAttr(a[5].str()) : colorAttr());
    return Value();
  });
  registerRoutine("SCROLL", [](Args& a) {
    int t = num(a, 0), l = num(a, 1), b = num(a, 2, maxRow()), r = num(a, 3, maxCol());
    if (!a[4].isNumber() && !a[5].isNumber())
      clearRect(t, l, b, r);
    else
      scrollRect(t, l, b, r, num(a, 4), num(a, 5), colorAttr());
    return Value();
  });
  registerRoutine("DEVPOS", [](Args& a) {
    setPos(num(a, 0), num(a, 1));
    return Value();
  });
  registerRoutine("DEVOUT", [](Args& a) {
    say(row(), col(), messageText(a[0]), a[1].isText() ? firstAttr(a[1].str()) : colorAttr());
    return Value();
  });
  registerRoutine("QOUT", [](Args& a) {
    std::string line;
    for (size_t i = 0; i < a.size(); ++i) line += (i ? " " : "") + messageText(a[i]);
    outLine(line);
    return Value();
  });
  registerRoutine("QQOUT", [](Args& a) {
    std::string line;
    for (size_t i = 0; i < a.size(); ++i) line += (i ? " " : "") + messageText(a[i]);
    outText(line);
    return Value();
  });
  registerRoutine("TONE", [](Args& a) {
    tone(a[0].num(), a[1].isNumber() ? a[1].num() / 18.2 : 1 / 18.2);
    return Value();
  });
  registerRoutine("ALERT", [](Args& a) {
    std::vector<std::string> buttons;
    for (const Value& b : a[1].items()) buttons.push_back(messageText(b));
    AlertOptions o;
    if (a[2].isText()) o.attr = firstAttr(a[2].str(), o.attr);
    if (a[3].isNumber()) o.timeoutSeconds = a[3].num();
    return Value(alert(messageText(a[0]), buttons, o));
  });
}

}  // namespace

void registerBoxRoutines() {
  using rt::registerRoutine;
  registerRoutine("DESJAN", [](Args& a) {
    return Value::logical(DESJAN(a[0].num(), a[1].num(), a[2].num(), a[3].num(), log(a, 4), text(a, 5),
                                 num(a, 6, 13), text(a, 7), optLog(a, 8)));
  });
  registerRoutine("BOXSHADOW", [](Args& a) {
    BOXSHADOW(a[0].num(), a[1].num(), a[2].num(), a[3].num());
    return Value();
  });
  registerRoutine("MSG_BOX", [](Args& a) { return MSG_BOX(a[0], a[1], a[2], a[3], a[4], a[5]); });
  registerRoutine("MSGALERTA", [](Args& a) {
    return Value(MSGALERTA(a[0], a[1], a[2], a[3].num(), log(a, 4), log(a, 5), log(a, 6)));
  });
  registerRoutine("MSGOPC", [](Args& a) {
    return Value(MSGOPC(messageText(a[0]), optNum(a, 1), optLog(a, 2), optNum(a, 3), log(a, 4, true)));
  });
  registerRoutine("MSGEXP", [](Args& a) {
    return Value::logical(
        MSGEXP(messageText(a[0]), optNum(a, 1), optNum(a, 2), text(a, 3, "R"), text(a, 4, " "), log(a, 5)));
  });
  registerRoutine("HOTKEY", [](Args& a) { return Value::logical(HOTKEY(num(a, 0), a[1], a[2])); });
  registerRoutine("MOUSEAREA", [](Args& a) {
    return Value::logical(MOUSEAREA(a[0].num(), a[1].num(), a[2].num(), a[3].num()));
  });
  registerRoutine("CLICKAREA", [](Args& a) {
    return Value::logical(CLICKAREA(a[0].num(), a[1].num(), a[2].num(), a[3].num()));
  });
  registerRoutine("VALIDAGET", [](Args& a) { return VALIDAGET(a[0], messageText(a[1])); });
}

void registerProgressRoutines() {
  using rt::registerRoutine;
  registerRoutine("TPROGBAR", [](Args&) { return TPROGBAR(); });
  registerRoutine("TPROGBAR_INIT", [](Args& a) { return TPROGBAR_INIT(a[0], a[1], a[2], a[3], a[4], a[5], a[6]); });
  registerRoutine("TPROGBAR_NEW", [](Args& a) { return TPROGBAR_INIT(a[0], a[1], a[2], a[3], a[4], a[5], a[6]); });
  registerRoutine("TPROGBAR_INCREMENTA", [](Args& a) {
    Value self = a[0];
    return Value::logical(TPROGBAR_INCREMENTA(self, a[1]));
  });
  registerRoutine("TPROGBAR_SHOW", [](Args& a) {
    Value self = a[0];
    TPROGBAR_SHOW(self);
    return self;
  });
  registerRoutine("TPROGBAR_CLOSE", [](Args& a) {
    Value self = a[0];
    TPROGBAR_CLOSE(self);
    return self;
  });
  registerRoutine("PROGBAR", [](Args& a) { return Value::logical(PROGBAR(a[0], a[1], a[2], a[3], a[4], a[5], a[6])); });
  registerRoutine("NTXPROGRESS", [](Args&) { return Value::logical(NTXPROGRESS()); });
}

void registerRoutines() {
  registerScreenRoutines();
  registerBoxRoutines();
  registerProgressRoutines();
  registerFormRoutines();
  registerListRoutines();
}

}  // namespace kor::con
