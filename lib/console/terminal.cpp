#include "console/terminal.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstring>
#include <deque>
#include <vector>

#include "console/glyphs.h"
#include "console/keydecode.h"
#include "console/keys.h"
#include "platform/platform.h"

#define NCURSES_WIDECHAR 1
#define NCURSES_NOMACROS 1
#include <curses.h>

namespace kor::con {

namespace {

// Console colour index (0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta,
// 6 brown, 7 grey) to the terminal's colour numbers.
constexpr short kCursesColour[8] = {COLOR_BLACK, COLOR_BLUE, COLOR_GREEN, COLOR_CYAN,
                                     COLOR_RED, COLOR_MAGENTA, COLOR_YELLOW, COLOR_WHITE};

bool utf8Locale(const char* name) {
  if (!name) return false;
  std::string n(name);
  for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return n.find("utf-8") != std::string::npos || n.find("utf8") != std::string::npos;
}

// ncurses draws wide characters only under a UTF-8 character type.
void ensureUtf8Locale() {
  if (utf8Locale(std::setlocale(LC_CTYPE, ""))) return;
  if (utf8Locale(std::setlocale(LC_CTYPE, "C.UTF-8"))) return;
  std::setlocale(LC_CTYPE, "en_US.UTF-8");
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

struct TerminalBackend::Impl {
  TerminalOptions opt;
  SCREEN* screen = nullptr;
  enum class Colours { None, Eight, Sixteen } colours = Colours::None;
  std::vector<bool> pairReady = std::vector<bool>(300, false);
  int rows = 25, cols = 80;
  std::vector<Cell> cells = std::vector<Cell>(25 * 80);
  int curRow = 0, curCol = 0, shape = 1;
  KeyDecoder decoder;
  std::deque<InputEvent> pending;
  bool gone = false;
  int64_t lastClick = -1000000;
  int clickRow = -1, clickCol = -1;

  void raw(const std::string& s) {
    std::fputs(s.c_str(), opt.out);
    std::fflush(opt.out);
  }

  void setupColours() {
    if (!has_colors() || start_color() == ERR) return;
    if (COLORS >= 16 && COLOR_PAIRS > 256) {
      colours = Colours::Sixteen;
    } else if (COLOR_PAIRS >= 64) {
      colours = Colours::Eight;
      assume_default_colors(COLOR_WHITE, COLOR_BLACK);
    }
  }

  short pairOf(uint8_t attr, attr_t& extra) {
    int fg = attr & 15, bg = (attr >> 4) & 15;
    extra = A_NORMAL;
    switch (colours) {
      case Colours::Sixteen: {
        short pair = static_cast<short>(1 + fg * 16 + bg);
        if (!pairReady[static_cast<size_t>(pair)]) {
          init_pair(pair, static_cast<short>(kCursesColour[fg & 7] + (fg & 8)),
                    static_cast<short>(kCursesColour[bg & 7] + (bg & 8)));
          pairReady[static_cast<size_t>(pair)] = true;
        }
        return pair;
      }
      case Colours::Eight: {
        if (fg & 8) extra |= A_BOLD;
        int idx = (fg & 7) * 8 + (bg & 7);
        // Pair 0 is white on black (assume_default_colors); the slot that
        // white on black would take holds black on black instead.
        short pair = static_cast<short>(idx == 56 ? 0 : idx == 0 ? 56 : idx);
        if (pair != 0 && !pairReady[static_cast<size_t>(pair)]) {
          int f = idx == 0 ? 0 : fg & 7, b = idx == 0 ? 0 : bg & 7;
          init_pair(pair, kCursesColour[f], kCursesColour[b]);
          pairReady[static_cast<size_t>(pair)] = true;
        }
        return pair;
      }
      case Colours::None:
        if ((bg & 7) > (fg & 7)) extra |= A_REVERSE;
        if (fg & 8) extra |= A_BOLD;
        return 0;
    }
    return 0;
  }

  void draw(int r, int c, Cell cell) {
    if (r >= LINES || c >= COLS) return;
    wchar_t wc[2] = {static_cast<wchar_t>(glyphOf(cell.ch)), 0};
    attr_t extra;
    short pair = pairOf(cell.attr, extra);
    cchar_t cc;
    setcchar(&cc, wc, extra, pair, nullptr);
    // Writing the last cell of the screen would scroll it; inserting does not.
    if (r == LINES - 1 && c == COLS - 1)
      mvwins_wch(stdscr, r, c, &cc);
    else
      mvwadd_wch(stdscr, r, c, &cc);
  }

  void redrawAll() {
    werase(stdscr);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c) draw(r, c, cells[static_cast<size_t>(r * cols + c)]);
    clearok(curscr, TRUE);
  }

  int shownVisibility = -1;

  void show() {
    int visibility = shape == 0 ? 0 : shape == 1 ? 1 : 2;
    if (visibility != shownVisibility) {
      curs_set(visibility);
      shownVisibility = visibility;
    }
    if (curRow < LINES && curCol < COLS) wmove(stdscr, curRow, curCol);
    wnoutrefresh(stdscr);
    doupdate();
  }

  void handleResize() {
    int r = 0, c = 0;
    if (!plat::terminalSize(opt.outFd, r, c)) return;
    resizeterm(r, c);
    redrawAll();
    show();
  }

  void accept(std::vector<InputEvent>& evs) {
    for (InputEvent& e : evs) {
      if (e.key == key::LeftDown) {
        int64_t now = plat::monotonicMillis();
        if (now - lastClick <= opt.doubleClickMs && e.row == clickRow && e.col == clickCol) {
          e.key = key::LeftDouble;
          lastClick = -1000000;
        } else {
          lastClick = now;
          clickRow = e.row;
          clickCol = e.col;
        }
      }
      pending.push_back(e);
    }
    evs.clear();
  }
};

std::unique_ptr<TerminalBackend> TerminalBackend::open(const TerminalOptions& options, std::string* why) {
  auto fail = [&](const char* reason) {
    if (why) *why = reason;
    return std::unique_ptr<TerminalBackend>();
  };
  if (!plat::isTerminal(options.inFd) || !plat::isTerminal(options.outFd)) return fail("not a terminal");
  ensureUtf8Locale();
  plat::watchTerminalSignals();
  auto impl = std::make_unique<Impl>();
  impl->opt = options;
  impl->screen = newterm(options.term.empty() ? nullptr : options.term.c_str(), options.out, options.in);
  if (!impl->screen) return fail("unknown terminal type");
  set_term(impl->screen);
  ::raw();
  noecho();
  nonl();
  intrflush(stdscr, FALSE);
  // Input is read raw by the backend itself: without this, every update
  // would first poll the input for typeahead.
  typeahead(-1);
  keypad(stdscr, FALSE);
  scrollok(stdscr, FALSE);
  impl->setupColours();
  impl->raw("\033[22;0t");  // keep the terminal's title on its stack
  if (options.mouse) impl->raw("\033[?1000h\033[?1006h");
  return std::unique_ptr<TerminalBackend>(new TerminalBackend(std::move(impl)));
}

TerminalBackend::TerminalBackend(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

TerminalBackend::~TerminalBackend() {
  set_term(impl_->screen);
  if (impl_->opt.mouse) impl_->raw("\033[?1006l\033[?1000l");
  impl_->raw("\033[23;0t");
  curs_set(1);
  endwin();
  delscreen(impl_->screen);
}

void TerminalBackend::resize(int rows, int cols) {
  impl_->rows = rows;
  impl_->cols = cols;
  impl_->cells.assign(static_cast<size_t>(rows * cols), Cell{});
  set_term(impl_->screen);
  werase(stdscr);
}

void TerminalBackend::writeCells(int r, int c, const Cell* cells, int n) {
  set_term(impl_->screen);
  for (int i = 0; i < n; ++i) {
    if (r < 0 || r >= impl_->rows || c + i < 0 || c + i >= impl_->cols) continue;
    impl_->cells[static_cast<size_t>(r * impl_->cols + c + i)] = cells[i];
    impl_->draw(r, c + i, cells[i]);
  }
}

void TerminalBackend::present(int r, int c, int shape) {
  set_term(impl_->screen);
  impl_->curRow = r;
  impl_->curCol = c;
  impl_->shape = shape;
  impl_->show();
}

bool TerminalBackend::inputGone() const { return impl_->gone; }

std::optional<InputEvent> TerminalBackend::readEvent(int64_t waitMs) {
  Impl& m = *impl_;
  auto pop = [&m]() {
    InputEvent e = m.pending.front();
    m.pending.pop_front();
    return e;
  };
  if (!m.pending.empty()) return pop();
  if (m.gone) return InputEvent{key::Close};
  int64_t deadline = waitMs < 0 ? -1 : plat::monotonicMillis() + waitMs;
  int64_t escDeadline = -1;
  std::vector<InputEvent> evs;
  for (;;) {
    if (plat::takeCloseRequests() > 0) return InputEvent{key::Close};
    if (plat::takeResize()) {
      set_term(m.screen);
      m.handleResize();
    }
    int64_t now = plat::monotonicMillis();
    int64_t wait = deadline < 0 ? -1 : std::max<int64_t>(0, deadline - now);
    if (m.decoder.pending()) {
      if (escDeadline < 0) escDeadline = now + m.opt.escapeDelayMs;
      int64_t e = std::max<int64_t>(0, escDeadline - now);
      wait = wait < 0 ? e : std::min(wait, e);
    }
    char buf[512];
    int n = plat::readTerminal(m.opt.inFd, buf, static_cast<int>(sizeof buf), wait);
    if (n < 0) {
      m.decoder.flush(evs);
      m.accept(evs);
      m.gone = true;
      m.pending.push_back(InputEvent{key::Close});
      return pop();
    }
    if (n > 0) {
      m.decoder.feed(std::string_view(buf, static_cast<size_t>(n)), evs);
      escDeadline = m.decoder.pending() ? plat::monotonicMillis() + m.opt.escapeDelayMs : -1;
    } else if (m.decoder.pending() && plat::monotonicMillis() >= escDeadline) {
      m.decoder.flush(evs);
      escDeadline = -1;
    }
    m.accept(evs);
    if (!m.pending.empty()) return pop();
    if (n == 0 && !m.decoder.pending() && deadline >= 0 && plat::monotonicMillis() >= deadline) return std::nullopt;
  }
}

void TerminalBackend::discardTypeahead() {
  Impl& m = *impl_;
  m.pending.clear();
  char buf[512];
  while (plat::readTerminal(m.opt.inFd, buf, static_cast<int>(sizeof buf), 0) > 0) {
  }
  std::vector<InputEvent> dropped;
  m.decoder.flush(dropped);
}

void TerminalBackend::setTitle(std::string_view t) {
  std::string text = "\033]2;";
  for (char ch : t) {
    char32_t g = glyphOf(static_cast<uint8_t>(ch));
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) continue;  // no control bytes on the wire
    appendUtf8(text, g);
  }
  text += "\007";
  impl_->raw(text);
}

void TerminalBackend::beep() {
  set_term(impl_->screen);
  ::beep();
}

void TerminalBackend::tone(double, double) {
  set_term(impl_->screen);
  ::beep();  // a terminal has one sound
}

void TerminalBackend::flash() {
  set_term(impl_->screen);
  ::flash();
}

}  // namespace kor::con
