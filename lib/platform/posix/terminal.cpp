// POSIX side of the terminal calls: waiting for input with poll(), the
// window size with TIOCGWINSZ, and the session's signals.
//
// Signal handlers only bump counters (async-signal-safe); the console's
// terminal backend takes them between reads. SIGHUP (the terminal closed)
// and SIGTERM (asked to end) are the console's close requests; SIGWINCH
// tells a new window size.
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/platform.h"

namespace kor::plat {

namespace {

volatile sig_atomic_t gCloseRequests = 0;
volatile sig_atomic_t gResizes = 0;
std::atomic<int> gCloseTaken{0};
std::atomic<int> gResizesTaken{0};

extern "C" void onCloseSignal(int) { gCloseRequests = gCloseRequests + 1; }
extern "C" void onResizeSignal(int) { gResizes = gResizes + 1; }

void install(int sig, void (*fn)(int)) {
  struct sigaction sa {};
  sa.sa_handler = fn;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a wait in poll() wakes up to see the flag
  ::sigaction(sig, &sa, nullptr);
}

}  // namespace

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

int readTerminal(int fd, char* buf, int max, int64_t waitMs) {
  struct pollfd p {};
  p.fd = fd;
  p.events = POLLIN;
  int timeout = waitMs < 0 ? -1 : (waitMs > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(waitMs));
  int r = ::poll(&p, 1, timeout);
  if (r < 0) return errno == EINTR ? 0 : -1;
  if (r == 0) return 0;
  if (!(p.revents & POLLIN)) return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) ? -1 : 0;
  ssize_t n = ::read(fd, buf, static_cast<size_t>(max));
  if (n > 0) return static_cast<int>(n);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
  return -1;
}

bool terminalSize(int fd, int& rows, int& cols) {
  struct winsize ws {};
  if (::ioctl(fd, TIOCGWINSZ, &ws) != 0 || ws.ws_row == 0 || ws.ws_col == 0) return false;
  rows = ws.ws_row;
  cols = ws.ws_col;
  return true;
}

void watchTerminalSignals() {
  static bool done = false;
  if (done) return;
  done = true;
  install(SIGHUP, onCloseSignal);
  install(SIGTERM, onCloseSignal);
  install(SIGWINCH, onResizeSignal);
}

int takeCloseRequests() {
  int seen = gCloseRequests;
  int taken = gCloseTaken.exchange(seen);
  return seen - taken;
}

bool takeResize() {
  int seen = gResizes;
  return gResizesTaken.exchange(seen) != seen;
}

}  // namespace kor::plat
