#include "console/boxes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "console/alert.h"
#include "console/screen.h"
#include "console/textwrap.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "values/textform.h"

namespace kor::con {

namespace {

constexpr std::string_view kFrame = "┌─┐│┘─└│ "_cp;

int trunc(double v) { return static_cast<int>(v); }  // toward zero

bool logVar(std::string_view name) {
  Value v = rt::getVar(name);
  return v.isLogical() && v.log();
}

// The answers remembered for this run, by calling routine.
std::map<std::string, int>& runAnswers() {
  static std::map<std::string, int> m;
  return m;
}

AnswerMemory& answerMemory() {
  static AnswerMemory m;
  return m;
}

int readAnswer(const std::string& caller) {
  if (answerMemory().read) return answerMemory().read(caller);
  auto it = runAnswers().find(caller);
  return it == runAnswers().end() ? 0 : it->second;
}

void writeAnswer(const std::string& caller, int answer) {
  if (answerMemory().write) return answerMemory().write(caller, answer);
  runAnswers()[caller] = answer;
}

// The routine that called the innermost library routine, without the
// callback marker.
std::string callerName() {
  std::string name = rt::routineAt(1);
  if (name.rfind("(b)", 0) == 0) name.erase(0, 3);
  return name;
}

// Writes a text sliding in from the left: the last k characters at column
// 0, for k = 1 to the width, with a short pause per step.
void slideIn(int row, std::string_view text, uint8_t attr) {
  for (size_t k = 1; k <= text.size(); ++k) {
    writeAt(row, 0, text.substr(text.size() - k), attr);
    plat::sleepMillis(5);
  }
}

std::string elementText(const Value& v) {
  if (v.isText()) return v.string();
  if (rt::routineExists("X_TO_C")) return rt::callRoutine("X_TO_C", Args{v}).string();
  if (v.isNumber()) return numberText(v.num(), v.decimals());
  if (v.isDate()) return dtoc(v.dateTime());
  if (v.isLogical()) return v.log() ? "Verdadeiro" : "Falso";
  return {};
}

}  // namespace

bool configuredColours() {
  Value v = rt::getVar("LCONFCOR");
  if (!v.isLogical()) {
    rt::publicVar("LCONFCOR", Value::logical(false));
    return false;
  }
  return v.log();
}

std::string textVar(std::string_view name, std::string_view fallback) {
  Value v = rt::getVar(name);
  return v.isText() ? v.string() : std::string(fallback);
}

std::string messageText(const Value& message) {
  if (!message.isArray()) return elementText(message);
  std::string out;
  for (size_t i = 0; i < message.size(); ++i) {
    if (i) out += "\r\n";
    out += elementText(message.at(i));
  }
  return out;
}

void setAnswerMemory(AnswerMemory memory) { answerMemory() = std::move(memory); }

// --- DESJAN / BOXSHADOW ---------------------------------------------------------

bool DESJAN(double topD, double leftD, double bottomD, double rightD, bool menu, std::string_view title, int titlePos,
            std::string_view colour, std::optional<bool> shadow) {
  KOR_ROUTINE("DESJAN");
  int top = trunc(topD), left = trunc(leftD), bottom = trunc(bottomD), right = trunc(rightD);
  bool conf = configuredColours();
  bool flat = logVar("NEWWINDOW");
  std::string cor(colour);
  if (cor.empty()) cor = conf ? textVar(menu ? "CCORMENU" : "CCORJAN", "N/W") : "N/W";
  uint8_t attr = firstAttr(cor, 0x70);
  bool withShadow = shadow.value_or(!flat);

  std::string oldColour = colorText();
  int oldShape = setCursor(kCursorNone);
  DispGuard buffered;
  if (!flat) {
    drawBox(top, left, bottom, right, kFrame, attr);
  } else {
    setColor(cor);
    clearRect(top, left, bottom, right, attr);
    setPos(top, left);
  }
  if (withShadow) BOXSHADOW(top, left, bottom, right);
  if (!title.empty()) {
    int len = static_cast<int>(title.size());
    if (flat) {
      int width = right - left + 1;
      std::string bar(static_cast<size_t>(std::max(width, 0)), ' ');
      int at = std::max(0, (width - len) / 2);
      bar.replace(static_cast<size_t>(at), std::min<size_t>(title.size(), bar.size() - at), title.substr(0, bar.size() - at));
      std::string alertColour = textVar("CCORALERT", reversePair(firstPair(cor)));
      writeAt(top, left, bar, firstAttr(alertColour, attr));
    } else {
      int r = titlePos < 20 ? top : bottom;
      int c;
      switch (std::abs(titlePos) % 10) {
        case 1: c = left + 2; break;
        case 3: c = right - (2 + len); break;
        default: c = left + (right - left - len) / 2; break;
      }
      writeAt(r, c, title, attr);
    }
  }
  setColor(oldColour);
  setCursor(oldShape);
  return true;
}

void BOXSHADOW(double topD, double leftD, double bottomD, double rightD) {
  KOR_ROUTINE("BOXSHADOW");
  int top = trunc(topD), left = trunc(leftD), bottom = trunc(bottomD), right = trunc(rightD);
  int R = maxRow(), C = maxCol();
  DispGuard buffered;
  recolorRect(std::min(bottom + 1, R), left + 1, std::min(bottom + 1, R), std::min(right + 1, C), kShadowAttr);
  recolorRect(top + 1, std::min(right + 1, C), bottom, std::min(right + 1, C), kShadowAttr);
}

// --- MSG_BOX ------------------------------------------------------------------------

namespace {

int& lastBoxId() {
  static int id = 0;
  return id;
}

Value& boxRegistry() {
  Value* v = rt::findVar("_ID_MSG");
  if (!v || !v->isArray()) {
    rt::publicVar("_ID_MSG", Value::array());
    v = rt::findVar("_ID_MSG");
  }
  return *v;
}

int newBoxId(const Value& registry) {
  static std::mt19937 rng(static_cast<unsigned>(plat::nowMillis()));
  std::uniform_int_distribution<int> pick(1, 999999);
  for (;;) {
    int id = pick(rng);
    bool used = false;
    for (const Value& e : registry.items())
      if (e.isArray() && e.at(0).integer() == id) used = true;
    if (!used) return id;
  }
}

void closeBox(int id) {
  lastBoxId() = id;
  Value* reg = rt::findVar("_ID_MSG");
  if (!reg || !reg->isArray()) return;
  for (const Value& e : reg->items()) {
    if (!e.isArray() || e.at(0).integer() != id) continue;
    restoreRect(static_cast<int>(e.at(1).integer()), static_cast<int>(e.at(2).integer()),
                static_cast<int>(e.at(3).integer()), static_cast<int>(e.at(4).integer()), e.at(5).str());
    return;
  }
}

}  // namespace

Value MSG_BOX(const Value& message, const Value& colour, const Value& topArg, const Value& wait, const Value& title,
              const Value& shadow) {
  KOR_ROUTINE("MSG_BOX");
  if (!message.isText() && !message.isArray()) {
    if (message.isNumber())
      closeBox(static_cast<int>(message.integer()));
    else if (lastBoxId() != 0)
      closeBox(lastBoxId());
    return Value();
  }
  int R = maxRow(), C = maxCol();
  std::vector<std::string> lines;
  for (const std::string& l : wrapText(messageText(message), C - 2)) lines.emplace_back(alltrim(l));
  int n = static_cast<int>(lines.size());
  int W = 40;
  for (const std::string& l : lines) W = std::max(W, static_cast<int>(l.size()));
  int T = topArg.isNumber() ? trunc(topArg.num()) : static_cast<int>(std::floor((R - n) / 2.0)) - 2;
  int B = T + n + 1;
  int L = static_cast<int>(std::floor((C - W) / 2.0)) - 1;
  int right = L + W + 2;

  std::string cor;
  if (colour.isText() && !colour.str().empty())
    cor = std::string(firstPair(colour.str()));
  else if (rt::getVar("CCORJAN").isText())
    cor = rt::getVar("CCORJAN").string();
  else
    cor = reversePair(firstPair(colorText()));
  uint8_t attr = firstAttr(cor, 0x70);

  Value saved(saveRect(T, L, B + 1, right + 1));
  {
    ScreenStateGuard state;
    DispGuard buffered;
    std::optional<bool> withShadow;
    if (shadow.isLogical()) withShadow = shadow.log();
    DESJAN(T, L, B, right, false, title.isText() ? title.str() : std::string_view(), 12, cor, withShadow);
    for (int i = 1; i <= n; ++i) {
      const std::string& l = lines[static_cast<size_t>(i - 1)];
      std::string text(static_cast<size_t>((W - static_cast<int>(l.size())) / 2), ' ');
      text += l;
      writeAt(T + i, L + 2, text, attr);
    }
  }
  Value& reg = boxRegistry();
  int id = newBoxId(reg);
  reg.push(Value::array({Value(id), Value(T), Value(L), Value(B + 1), Value(right + 1), saved}));
  lastBoxId() = id;
  if (wait.isNumber()) {
    if (wait.num() <= 0) {
      waitKey(Wait::forever());
    } else {
      plat::sleepMillis(static_cast<int64_t>(wait.num() * 1000.0 + 0.5));
      clearKeys();
    }
  }
  return Value(id);
}

// --- MSGALERTA ------------------------------------------------------------------------

int MSGALERTA(const Value& message, const Value& buttonsArg, const Value& colour, double timeout, bool remember,
              bool beepFlag, bool flashFlag) {
  KOR_ROUTINE("MSGALERTA");
  std::string caller = callerName();
  int oldShape = setCursor(kCursorNone);
  clearKeys();
  if (beepFlag) beep();
  if (flashFlag) flashWindow();
  std::vector<std::string> buttons;
  if (buttonsArg.isArray())
    for (const Value& b : buttonsArg.items()) buttons.push_back(elementText(b));
  else if (buttonsArg.isText())
    buttons.push_back(buttonsArg.string());
  if (buttons.empty()) buttons.push_back("Ok");
  if (remember) {
    int n = readAnswer(caller);
    if (n > 1 && n <= static_cast<int>(buttons.size()))
      for (int i = 1; i < n; ++i) pushKey(key::Right);
  }
  AlertOptions o;
  if (colour.isText() && !colour.str().empty()) o.attr = firstAttr(colour.str(), o.attr);
  o.timeoutSeconds = timeout;
  int result = alert(messageText(message), buttons, o);
  if (remember) writeAnswer(caller, result);
  setCursor(oldShape);
  return result;
}

// --- MSGOPC / MSGEXP -------------------------------------------------------------------

int MSGOPC(std::string_view message, std::optional<double> rowArg, std::optional<bool> beepArg,
           std::optional<double> widthArg, bool restore) {
  KOR_ROUTINE("MSGOPC");
  int R = maxRow(), C = maxCol();
  int r = rowArg ? trunc(*rowArg) : R;
  int W = widthArg ? trunc(*widthArg) : C - 21;
  bool beepFlag = true;
  if (beepArg)
    beepFlag = *beepArg;
  else if (rt::getVar("MSGOPCBEEP").isLogical())
    beepFlag = rt::getVar("MSGOPCBEEP").log();
  bool conf = configuredColours();

  ScreenStateGuard state;
  setCursor(kCursorNone);
  std::string_view text = rtrim(message.substr(0, static_cast<size_t>(std::max(W, 0))));
  std::string under = saveRect(r, 0, R, W);
  uint8_t attr = conf ? colorAttr(kStandard) : firstAttr("N/W");
  writeAt(r, 0, std::string(static_cast<size_t>(std::max(W, 0)), ' '), attr);
  if (plat::hostName().empty() && logVar("LROLAGEM"))
    slideIn(r, text, attr);
  else
    writeAt(r, 0, text, attr);
  if (beepFlag) tone(500, 1.0 / 18.2);
  clearKeys();
  int k = waitKey(Wait::forever(), kEvKeyboard);
  if (restore) restoreRect(r, 0, R, W, under);
  return k;
}

bool MSGEXP(std::string_view message, std::optional<double> rowArg, std::optional<double> widthArg,
            std::string_view align, std::string_view fill, bool animate) {
  KOR_ROUTINE("MSGEXP");
  int r = rowArg ? trunc(*rowArg) : maxRow();
  int W = std::max(0, widthArg ? trunc(*widthArg) : maxCol() - 21);
  bool conf = configuredColours();
  uint8_t attr = firstAttr(conf ? textVar("CCORAVISO", "N/BG") : std::string("N/BG"), 0x30);
  char f = fill.empty() ? ' ' : fill[0];
  std::string text(message.substr(0, static_cast<size_t>(W)));
  size_t pad = static_cast<size_t>(W) - text.size();
  std::string a = upper(alltrim(align));
  if (a == "L")
    text = std::string(pad, f) + text;
  else if (a == "R")
    text += std::string(pad, f);
  else
    text = std::string(pad / 2, f) + text + std::string(pad - pad / 2, f);

  ScreenStateGuard state;
  if (plat::hostName().empty() && animate) {
    writeAt(r, 0, std::string(static_cast<size_t>(W), ' '), attr);
    slideIn(r, rtrim(text), attr);
  } else {
    writeAt(r, 0, text, attr);
  }
  return true;
}

// --- HOTKEY ------------------------------------------------------------------------------

bool HOTKEY(int code, const Value& action, const Value& hint) {
  KOR_ROUTINE("HOTKEY");
  if (action.isNil()) {
    setKey(code, Value());
  } else if (action.isBlock()) {
    setKey(code, action);
  } else if (action.isText()) {
    std::string call(alltrim(action.str()));
    if (call.size() < 2 || call.compare(call.size() - 2, 2, "()") != 0) call += "()";
    std::string name = std::string(alltrim(std::string_view(call).substr(0, call.size() - 2)));
    setKey(code, makeBlock([name](Args&) { return rt::callRoutine(name); }, call, callerName()));
  }
  if (hint.isText()) MSGEXP(hint.str());
  return true;
}

// --- mouse and validation -----------------------------------------------------------------

bool MOUSEAREA(double top, double left, double bottom, double right) {
  int r = mouseRow(), c = mouseCol();
  return r >= trunc(top) && r <= trunc(bottom) - 1 && c >= trunc(left) + 1 && c <= trunc(right) - 1;
}

bool CLICKAREA(double top, double left, double bottom, double right) {
  return lastKey() == key::LeftDown && MOUSEAREA(top, left, bottom, right);
}

Value VALIDAGET(const Value& condition, std::string_view text) {
  KOR_ROUTINE("VALIDAGET");
  if (condition.isLogical() && !condition.log()) alert(text, {"Ok"});
  return condition;
}

}  // namespace kor::con
