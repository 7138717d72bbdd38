#include "console/screen.h"

#include <algorithm>
#include <deque>
#include <map>
#include <set>

#include "platform/platform.h"
#include "runtime/runtime.h"

namespace kor::con {

namespace {

// The backend of a program that has no console: it shows nothing, and a
// read without limit answers the close request, so that nothing waits for
// a key that can never come.
class NullBackend : public Backend {
 public:
  void writeCells(int, int, const Cell*, int) override {}
  void present(int, int, int) override {}
  std::optional<InputEvent> readEvent(int64_t waitMs) override {
    if (waitMs < 0) return InputEvent{key::Close};
    if (waitMs > 0) plat::sleepMillis(waitMs);
    return std::nullopt;
  }
};

struct Pending {
  InputEvent ev;
  bool stuffed = false;  // placed by the program: accepted by every mask
};

struct State {
  int rows = 25, cols = 80;
  std::vector<Cell> cells;
  std::vector<Cell> shown;     // what the backend has
  std::vector<uint8_t> dirty;  // per row: some cell may differ from shown
  bool repaintAll = true;
  int depth = 0;
  int curRow = 0, curCol = 0;
  int shownRow = -1, shownCol = -1, shownShape = -1;
  bool presentPending = true;
  std::string title;
  std::unique_ptr<Backend> backend = std::make_unique<NullBackend>();

  std::string colorCacheText;
  std::array<uint8_t, kSlots> colors{};
  bool colorsValid = false;

  std::deque<Pending> buffer;
  int lastKey = 0;
  int mouseRow = 0, mouseCol = 0;
  int eventMask = kEvKeyboard;
  std::map<int, Value> bindings;
  std::set<int> running;
  std::function<std::string()> editedVar;

  State() { clear(); }
  ~State();
  void clear() {
    cells.assign(static_cast<size_t>(rows * cols), Cell{});
    shown = cells;
    dirty.assign(static_cast<size_t>(rows), 1);
    repaintAll = true;
  }
};

bool gAlive = true;

State::~State() { gAlive = false; }

State& S() {
  static State s;
  return s;
}

constexpr const char* kDefaultColors = "W/N,N/W,N/N,N/N,N/W";

bool inGrid(int r, int c) {
  State& s = S();
  return r >= 0 && r < s.rows && c >= 0 && c < s.cols;
}

Cell& at(int r, int c) { return S().cells[static_cast<size_t>(r * S().cols + c)]; }

void put(int r, int c, Cell v) {
  State& s = S();
  if (r < 0 || r >= s.rows || c < 0 || c >= s.cols) return;
  Cell& cell = s.cells[static_cast<size_t>(r * s.cols + c)];
  if (cell != v) {
    cell = v;
    s.dirty[static_cast<size_t>(r)] = 1;
  }
}

// Sends the changed cells, then asks the backend to show them, unless
// drawing is buffered.
void flush() {
  State& s = S();
  if (s.depth > 0) return;
  if (s.backend->needsRepaint()) s.repaintAll = true;
  bool sent = false;
  for (int r = 0; r < s.rows; ++r) {
    if (!s.dirty[static_cast<size_t>(r)] && !s.repaintAll) continue;
    s.dirty[static_cast<size_t>(r)] = 0;
    const Cell* now = &s.cells[static_cast<size_t>(r * s.cols)];
    Cell* had = &s.shown[static_cast<size_t>(r * s.cols)];
    int c = 0;
    while (c < s.cols) {
      if (!s.repaintAll && now[c] == had[c]) {
        ++c;
        continue;
      }
      int start = c;
      while (c < s.cols && (s.repaintAll || now[c] != had[c])) {
        had[c] = now[c];
        ++c;
      }
      s.backend->writeCells(r, start, now + start, c - start);
      sent = true;
    }
  }
  s.repaintAll = false;
  int shape = static_cast<int>(rt::setting(rt::Set::Cursor).integer());
  if (sent || s.presentPending || shape != s.shownShape || s.curRow != s.shownRow || s.curCol != s.shownCol) {
    s.backend->present(s.curRow, s.curCol, shape);
    s.shownRow = s.curRow;
    s.shownCol = s.curCol;
    s.shownShape = shape;
    s.presentPending = false;
  }
}

const std::array<uint8_t, kSlots>& currentColors() {
  State& s = S();
  std::string_view text = rt::setting(rt::Set::Color).str();
  if (!s.colorsValid || text != s.colorCacheText) {
    ColorSpec spec = parseColor(text).over(parseColor(kDefaultColors));
    s.colors = spec.attr;
    s.colorCacheText = std::string(text);
    s.colorsValid = true;
  }
  return s.colors;
}

void newLine() {
  State& s = S();
  s.curCol = 0;
  if (++s.curRow > s.rows - 1) {
    scrollRect(0, 0, s.rows - 1, s.cols - 1, 1, 0, colorAttr(kStandard));
    s.curRow = s.rows - 1;
  }
}

void writeRun(int r, int c, std::string_view text, uint8_t attr) {
  for (size_t i = 0; i < text.size(); ++i) put(r, c + static_cast<int>(i), Cell{static_cast<uint8_t>(text[i]), attr});
}

}  // namespace

// --- backend -------------------------------------------------------------------

std::unique_ptr<Backend> setBackend(std::unique_ptr<Backend> b) {
  State& s = S();
  if (!b) b = std::make_unique<NullBackend>();
  std::unique_ptr<Backend> old = std::move(s.backend);
  s.backend = std::move(b);
  s.backend->resize(s.rows, s.cols);
  if (!s.title.empty()) s.backend->setTitle(s.title);
  s.repaintAll = true;
  s.presentPending = true;
  s.shownShape = -1;
  flush();
  return old;
}

Backend& backend() { return *S().backend; }

bool backendInstalled() { return dynamic_cast<NullBackend*>(S().backend.get()) == nullptr; }

bool consoleAlive() { return gAlive; }

void resetConsole() {
  State& s = S();
  s.rows = 25;
  s.cols = 80;
  s.clear();
  s.depth = 0;
  s.curRow = s.curCol = 0;
  s.title.clear();
  s.buffer.clear();
  s.lastKey = 0;
  s.mouseRow = s.mouseCol = 0;
  s.eventMask = kEvKeyboard;
  s.bindings.clear();
  s.running.clear();
  s.presentPending = true;
  rt::set(rt::Set::Color, Value("W/N,N/W,N,N,N/W"));
  rt::set(rt::Set::Cursor, Value(1));
  s.backend->resize(s.rows, s.cols);
  flush();
}

// --- geometry ------------------------------------------------------------------

int maxRow() { return S().rows - 1; }
int maxCol() { return S().cols - 1; }

bool setMode(int rows, int cols) {
  if (rows < 10 || rows > 200 || cols < 20 || cols > 400) return false;
  State& s = S();
  if (rows == s.rows && cols == s.cols) return true;
  std::vector<Cell> grid(static_cast<size_t>(rows * cols), Cell{' ', colorAttr(kStandard)});
  for (int r = 0; r < std::min(rows, s.rows); ++r)
    for (int c = 0; c < std::min(cols, s.cols); ++c) grid[static_cast<size_t>(r * cols + c)] = at(r, c);
  s.rows = rows;
  s.cols = cols;
  s.cells = std::move(grid);
  s.shown = s.cells;
  s.dirty.assign(static_cast<size_t>(rows), 1);
  s.repaintAll = true;
  s.curRow = std::min(s.curRow, rows - 1);
  s.curCol = std::min(s.curCol, cols - 1);
  s.backend->resize(rows, cols);
  flush();
  return true;
}

// --- colours -------------------------------------------------------------------

std::string colorText() { return std::string(rt::setting(rt::Set::Color).str()); }

std::string setColor(std::string_view text) {
  std::string old = colorText();
  rt::set(rt::Set::Color, Value(text));
  return old;
}

uint8_t colorAttr(int slot) {
  if (slot < 0 || slot >= kSlots) slot = kStandard;
  return currentColors()[static_cast<size_t>(slot)];
}

// --- drawing -------------------------------------------------------------------

void writeAt(int r, int c, std::string_view text, uint8_t attr) {
  writeRun(r, c, text, attr);
  flush();
}

void writeAt(int r, int c, std::string_view text) { writeAt(r, c, text, colorAttr(kStandard)); }

void say(int r, int c, std::string_view text, uint8_t attr) {
  writeRun(r, c, text, attr);
  State& s = S();
  s.curRow = std::clamp(r, 0, s.rows - 1);
  s.curCol = std::clamp(c + static_cast<int>(text.size()), 0, s.cols - 1);
  flush();
}

void say(int r, int c, std::string_view text) { say(r, c, text, colorAttr(kStandard)); }

void outText(std::string_view text) {
  State& s = S();
  uint8_t attr = colorAttr(kStandard);
  for (char ch : text) {
    if (ch == '\r') {
      s.curCol = 0;
    } else if (ch == '\n') {
      newLine();
    } else {
      if (s.curCol > s.cols - 1) newLine();
      put(s.curRow, s.curCol, Cell{static_cast<uint8_t>(ch), attr});
      ++s.curCol;
    }
  }
  if (s.curCol > s.cols - 1) newLine();
  flush();
}

void outLine(std::string_view text) {
  newLine();
  outText(text);
}

void putCell(int r, int c, Cell v) {
  put(r, c, v);
  flush();
}

Cell cellAt(int r, int c) { return inGrid(r, c) ? at(r, c) : Cell{}; }

void fillRect(int top, int left, int bottom, int right, uint8_t ch, uint8_t attr) {
  for (int r = top; r <= bottom; ++r)
    for (int c = left; c <= right; ++c) put(r, c, Cell{ch, attr});
  flush();
}

void clearRect(int top, int left, int bottom, int right, uint8_t attr) { fillRect(top, left, bottom, right, ' ', attr); }

void clearRect(int top, int left, int bottom, int right) {
  clearRect(top, left, bottom, right, colorAttr(kStandard));
}

void clearScreen() {
  clearRect(0, 0, maxRow(), maxCol());
  setPos(0, 0);
}

void scrollRect(int top, int left, int bottom, int right, int rows, int cols, uint8_t attr) {
  State& s = S();
  top = std::max(top, 0);
  left = std::max(left, 0);
  bottom = std::min(bottom, s.rows - 1);
  right = std::min(right, s.cols - 1);
  if (top > bottom || left > right) return;
  int h = bottom - top + 1, w = right - left + 1;
  std::vector<Cell> copy;
  copy.reserve(static_cast<size_t>(h * w));
  for (int r = top; r <= bottom; ++r)
    for (int c = left; c <= right; ++c) copy.push_back(at(r, c));
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) {
      int fr = r + rows, fc = c + cols;
      Cell v = (fr >= 0 && fr < h && fc >= 0 && fc < w) ? copy[static_cast<size_t>(fr * w + fc)] : Cell{' ', attr};
      put(top + r, left + c, v);
    }
  flush();
}

void recolorRect(int top, int left, int bottom, int right, uint8_t attr) {
  for (int r = top; r <= bottom; ++r)
    for (int c = left; c <= right; ++c)
      if (inGrid(r, c)) put(r, c, Cell{at(r, c).ch, attr});
  flush();
}

void drawBox(int top, int left, int bottom, int right, std::string_view frame, uint8_t attr) {
  if (top > bottom || left > right || frame.size() < 8) return;
  auto ch = [&](int i) { return static_cast<uint8_t>(frame[static_cast<size_t>(i)]); };
  {
    DispGuard buffered;
    for (int c = left; c <= right; ++c) {
      uint8_t t = c == left ? ch(0) : c == right ? ch(2) : ch(1);
      put(top, c, Cell{t, attr});
      if (bottom > top) {
        uint8_t b = c == left ? ch(6) : c == right ? ch(4) : ch(5);
        put(bottom, c, Cell{b, attr});
      }
    }
    for (int r = top + 1; r < bottom; ++r) {
      put(r, left, Cell{ch(7), attr});
      if (right > left) put(r, right, Cell{ch(3), attr});
      if (frame.size() >= 9)
        for (int c = left + 1; c < right; ++c) put(r, c, Cell{ch(8), attr});
    }
  }
}

std::string saveRect(int top, int left, int bottom, int right) {
  std::string out;
  if (top > bottom || left > right) return out;
  out.reserve(static_cast<size_t>((bottom - top + 1) * (right - left + 1) * 2));
  for (int r = top; r <= bottom; ++r)
    for (int c = left; c <= right; ++c) {
      Cell v = cellAt(r, c);
      out.push_back(static_cast<char>(v.ch));
      out.push_back(static_cast<char>(v.attr));
    }
  return out;
}

void restoreRect(int top, int left, int bottom, int right, std::string_view saved) {
  if (top > bottom || left > right) return;
  size_t i = 0;
  for (int r = top; r <= bottom && i + 1 < saved.size(); ++r)
    for (int c = left; c <= right && i + 1 < saved.size(); ++c, i += 2)
      put(r, c, Cell{static_cast<uint8_t>(saved[i]), static_cast<uint8_t>(saved[i + 1])});
  flush();
}

std::string saveScreen() { return saveRect(0, 0, maxRow(), maxCol()); }
void restoreScreen(std::string_view saved) { restoreRect(0, 0, maxRow(), maxCol(), saved); }

void dispBegin() { ++S().depth; }

void dispEnd() {
  State& s = S();
  if (s.depth > 0 && --s.depth == 0) flush();
}

int dispCount() { return S().depth; }

void refresh() { flush(); }

// --- cursor and title ----------------------------------------------------------

void setPos(int r, int c) {
  State& s = S();
  s.curRow = std::clamp(r, 0, s.rows - 1);
  s.curCol = std::clamp(c, 0, s.cols - 1);
  flush();
}

int row() { return S().curRow; }
int col() { return S().curCol; }

int cursorShape() { return static_cast<int>(rt::setting(rt::Set::Cursor).integer()); }

int setCursor(int shape) {
  int old = cursorShape();
  if (shape < 0 || shape > 4) shape = kCursorNormal;
  rt::set(rt::Set::Cursor, Value(shape));
  flush();
  return old;
}

ScreenStateGuard::ScreenStateGuard()
    : color_(colorText()), shape_(cursorShape()), row_(row()), col_(col()), device_(rt::setting(rt::Set::Device)) {
  rt::set(rt::Set::Device, Value("SCREEN"));
}

ScreenStateGuard::~ScreenStateGuard() {
  rt::set(rt::Set::Device, device_);
  setColor(color_);
  rt::set(rt::Set::Cursor, Value(shape_));
  setPos(row_, col_);
}

void setTitle(std::string_view t) {
  State& s = S();
  if (t == s.title) return;  // a progress bar sets the same title over and over
  s.title = std::string(t);
  s.backend->setTitle(t);
}

std::string title() { return S().title; }

// --- keyboard -------------------------------------------------------------------

namespace {

bool accepted(const Pending& p, int mask) { return p.stuffed || (eventBit(p.ev.key) & mask) != 0; }

int take(const InputEvent& ev) {
  State& s = S();
  s.lastKey = ev.key;
  if (key::isMouse(ev.key) && ev.row >= 0) {
    s.mouseRow = ev.row;
    s.mouseCol = ev.col;
  }
  return ev.key;
}

// The first accepted pending event, dropping the refused ones before it.
const Pending* frontAccepted(int mask) {
  State& s = S();
  while (!s.buffer.empty()) {
    if (accepted(s.buffer.front(), mask)) return &s.buffer.front();
    s.buffer.pop_front();
  }
  return nullptr;
}

}  // namespace

int inkey(Wait w, int mask) {
  State& s = S();
  if (mask < 0) mask = s.eventMask;
  flush();
  int64_t deadline = w.millis < 0 ? -1 : plat::monotonicMillis() + w.millis;
  for (;;) {
    if (const Pending* p = frontAccepted(mask)) {
      InputEvent ev = p->ev;
      s.buffer.pop_front();
      return take(ev);
    }
    int64_t wait = -1;
    if (deadline >= 0) wait = std::max<int64_t>(0, deadline - plat::monotonicMillis());
    std::optional<InputEvent> ev = s.backend->readEvent(wait);
    if (ev) {
      if (accepted(Pending{*ev, false}, mask)) return take(*ev);
      continue;
    }
    if (deadline >= 0 && plat::monotonicMillis() >= deadline) return 0;
  }
}

int waitKey(Wait w, int mask) {
  int64_t start = plat::monotonicMillis();
  for (;;) {
    Wait left = w;
    if (w.millis > 0) left.millis = std::max<int64_t>(0, start + w.millis - plat::monotonicMillis());
    int k = inkey(left, mask);
    if (k == 0) return 0;
    if (runBinding(k)) continue;
    return k;
  }
}

int nextKey(int mask) {
  State& s = S();
  if (mask < 0) mask = s.eventMask;
  if (const Pending* p = frontAccepted(mask)) return p->ev.key;
  // Take what the backend holds typed ahead into the buffer.
  while (std::optional<InputEvent> ev = s.backend->readEvent(0)) s.buffer.push_back(Pending{*ev, false});
  if (const Pending* p = frontAccepted(mask)) return p->ev.key;
  return 0;
}

int lastKey() { return S().lastKey; }
void setLastKey(int code) { S().lastKey = code; }

void pushKey(int code) { S().buffer.push_back(Pending{InputEvent{code}, true}); }

void pushKeys(std::string_view text) {
  for (char c : text) pushKey(static_cast<unsigned char>(c));
}

void keyboard(std::string_view text) {
  S().buffer.clear();
  pushKeys(text);
}

void clearKeys() {
  State& s = S();
  s.buffer.clear();
  s.backend->discardTypeahead();
}

size_t pendingKeys() { return S().buffer.size(); }

int eventMask() { return S().eventMask; }

int setEventMask(int mask) {
  int old = S().eventMask;
  S().eventMask = mask;
  return old;
}

int mouseRow() { return S().mouseRow; }
int mouseCol() { return S().mouseCol; }
int shiftState() { return S().backend->shiftState(); }

// --- key bindings -----------------------------------------------------------------

Value setKey(int code, Value action) {
  State& s = S();
  Value old;
  auto it = s.bindings.find(code);
  if (it != s.bindings.end()) old = it->second;
  if (action.isNil())
    s.bindings.erase(code);
  else
    s.bindings[code] = std::move(action);
  return old;
}

Value keyAction(int code) {
  auto it = S().bindings.find(code);
  return it == S().bindings.end() ? Value() : it->second;
}

bool hasBinding(int code) { return S().bindings.count(code) != 0; }

bool bindingRunnable(int code) {
  State& s = S();
  return s.bindings.count(code) != 0 && s.running.count(code) == 0;
}

bool runBinding(int code) {
  State& s = S();
  auto it = s.bindings.find(code);
  if (it == s.bindings.end() || s.running.count(code)) return false;
  Value action = it->second;  // the action may rebind its own key
  std::string var = s.editedVar ? s.editedVar() : std::string();
  Args args{Value(rt::routineAt(0)), Value(rt::lineAt(0)), Value(var)};
  struct Running {
    int code;
    explicit Running(int c) : code(c) { S().running.insert(c); }
    ~Running() { S().running.erase(code); }
  } running(code);
  if (action.isBlock())
    evalBlock(action, args);
  else if (action.isText())
    rt::callRoutine(action.str(), args);
  return true;
}

std::vector<int> boundKeys() {
  std::vector<int> out;
  for (auto& [k, v] : S().bindings) out.push_back(k);
  return out;
}

BindingsGuard::BindingsGuard() {
  for (auto& [k, v] : S().bindings) saved_.emplace_back(k, v);
}

BindingsGuard::~BindingsGuard() {
  State& s = S();
  s.bindings.clear();
  for (auto& [k, v] : saved_) s.bindings[k] = v;
}

void setEditedVariableSource(std::function<std::string()> source) { S().editedVar = std::move(source); }

// --- sounds ---------------------------------------------------------------------

void tone(double hz, double seconds) {
  S().backend->tone(hz, seconds);
  if (seconds > 0) plat::sleepMillis(static_cast<int64_t>(seconds * 1000.0 + 0.5));
}

void beep() { S().backend->beep(); }
void flashWindow() { S().backend->flash(); }

}  // namespace kor::con
