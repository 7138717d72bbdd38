// Console benchmarks: a progress bar advanced once per record and drawn to
// the terminal backend on a pseudo-terminal (the update run's loop), and
// saving and restoring the whole screen.
// KOR_BENCH_SIZE=tiny runs a few hundred steps instead of 10,000.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "console/headless.h"
#include "console/progress.h"
#include "console/routines.h"
#include "console/screen.h"
#include "console/terminal.h"
#include "runtime/runtime.h"

using namespace kor;

namespace {

bool tiny() {
  const char* s = std::getenv("KOR_BENCH_SIZE");
  return s && std::strcmp(s, "tiny") == 0;
}

int steps() { return tiny() ? 300 : 10000; }

// A pseudo-terminal whose output is read and thrown away by a thread, as a
// terminal emulator would consume it.
struct PtySink {
  int master = -1, slave = -1;
  std::FILE* in = nullptr;
  std::FILE* out = nullptr;
  std::atomic<bool> stop{false};
  std::atomic<long> bytes{0};
  std::thread reader;
  PtySink() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    in = fdopen(dup(slave), "r");
    out = fdopen(dup(slave), "w");
    reader = std::thread([this] {
      char buf[65536];
      while (!stop) {
        struct pollfd p {master, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
          ssize_t n = ::read(master, buf, sizeof buf);
          if (n > 0) bytes += n;
        }
      }
    });
  }
  ~PtySink() {
    stop = true;
    reader.join();
    std::fclose(in);
    std::fclose(out);
    ::close(slave);
    ::close(master);
  }
  bool installTerminal() {
    con::TerminalOptions o;
    o.in = in;
    o.out = out;
    o.inFd = slave;
    o.outFd = slave;
    o.term = "xterm-256color";
    auto t = con::TerminalBackend::open(o);
    if (!t) return false;
    con::setBackend(std::move(t));
    return true;
  }
};

void BM_ProgressBarOnTerminal(benchmark::State& state) {
  PtySink pty;
  con::resetConsole();
  if (!pty.installTerminal()) {
    state.SkipWithError("no terminal");
    return;
  }
  con::registerRoutines();
  rt::publicVar("CNCM", Value(""));
  con::setTitle("Utilitário de atualização"_cp);
  int n = steps();
  for (auto _ : state) {
    Value caption = makeBlock([](Args&) { return Value("Lendo " + rt::getVar("CNCM").string()); });
    Value bar = con::TPROGBAR_INIT(con::TPROGBAR(), Value(n), caption, Value::logical(true));
    for (int i = 0; i < n; ++i) {
      rt::assignVar("CNCM", Value(std::to_string(10000000 + i)));
      con::TPROGBAR_INCREMENTA(bar, Value(1));
    }
    con::TPROGBAR_CLOSE(bar);
  }
  state.counters["steps"] = n;
  state.counters["bytes_per_run"] =
      benchmark::Counter(static_cast<double>(pty.bytes.load()), benchmark::Counter::kAvgIterations);
  con::setBackend(nullptr);
}
BENCHMARK(BM_ProgressBarOnTerminal)->Unit(benchmark::kMillisecond);

// The same loop on the headless backend: the facility's own cost.
void BM_ProgressBarHeadless(benchmark::State& state) {
  con::resetConsole();
  con::installHeadless(con::HeadlessBackend::WhenDone::CloseRequest);
  con::registerRoutines();
  rt::publicVar("CNCM", Value(""));
  int n = steps();
  for (auto _ : state) {
    Value caption = makeBlock([](Args&) { return Value("Lendo " + rt::getVar("CNCM").string()); });
    Value bar = con::TPROGBAR_INIT(con::TPROGBAR(), Value(n), caption, Value::logical(true));
    for (int i = 0; i < n; ++i) {
      rt::assignVar("CNCM", Value(std::to_string(10000000 + i)));
      con::TPROGBAR_INCREMENTA(bar, Value(1));
    }
    con::TPROGBAR_CLOSE(bar);
  }
  state.counters["steps"] = n;
  con::setBackend(nullptr);
}
BENCHMARK(BM_ProgressBarHeadless)->Unit(benchmark::kMillisecond);

void BM_SaveRestoreWholeScreen(benchmark::State& state) {
  con::resetConsole();
  con::installHeadless(con::HeadlessBackend::WhenDone::CloseRequest);
  for (int r = 0; r <= con::maxRow(); ++r) con::writeAt(r, 0, std::string(80, static_cast<char>('A' + r)), 0x1F);
  for (auto _ : state) {
    std::string saved = con::saveScreen();
    con::restoreScreen(saved);
    benchmark::DoNotOptimize(saved.data());
  }
  con::setBackend(nullptr);
}
BENCHMARK(BM_SaveRestoreWholeScreen)->Unit(benchmark::kMicrosecond);

// Restoring alternately two different whole screens on the terminal: every
// cell changes each time.
void BM_RestoreChangedScreenOnTerminal(benchmark::State& state) {
  PtySink pty;
  con::resetConsole();
  if (!pty.installTerminal()) {
    state.SkipWithError("no terminal");
    return;
  }
  con::fillRect(0, 0, con::maxRow(), con::maxCol(), static_cast<uint8_t>("░"_cp[0]), 0x1B);
  std::string a = con::saveScreen();
  con::fillRect(0, 0, con::maxRow(), con::maxCol(), 'x', 0x4F);
  std::string b = con::saveScreen();
  bool flip = false;
  for (auto _ : state) {
    con::restoreScreen(flip ? a : b);
    flip = !flip;
  }
  con::setBackend(nullptr);
}
BENCHMARK(BM_RestoreChangedScreenOnTerminal)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
