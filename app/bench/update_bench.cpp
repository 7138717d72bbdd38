// The whole update run, start to exit, on a generated workload: a tariff
// of 10,500 records against a RICLAS of 10,000 and a RICLA9 of 50,000,
// about 19,000 audited changes. The run goes through the program's start,
// MAIN and shut-down in this process, on a headless console whose operator
// confirms the folder and closes "Atualizado!" as soon as they show.
//
// KOR_BENCH_SIZE=tiny runs a small workload once (CI keeps it building).
// Counters: audit records written, the peak resident memory of the run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>

#include "app/tools/sample.h"
#include "app/update.h"
#include "app/writers.h"
#include "console/headless.h"
#include "console/keys.h"
#include "console/screen.h"
#include "platform/platform.h"
#include "startup/program.h"
#include "tables/engine.h"

namespace {

using namespace kor;
namespace fs = std::filesystem;

bool tiny() {
  const char* s = std::getenv("KOR_BENCH_SIZE");
  return s && std::string(s) == "tiny";
}

// Presses Enter on the confirmation and on "Atualizado!".
class Operator : public con::HeadlessBackend {
 public:
  std::optional<con::InputEvent> readEvent(int64_t waitMs) override {
    if (!triggers_.empty() && text().find(triggers_.front()) != std::string::npos) {
      triggers_.pop_front();
      return con::InputEvent{con::key::Enter};
    }
    if (waitMs < 0) throw con::ScriptExhausted();
    return std::nullopt;
  }

 private:
  std::deque<std::string> triggers_{"Confirme a pasta do VELTAR", "Atualizado!"};
};

uint32_t recordsOf(const std::string& file) {
  tables::OpenSpec s;
  s.file = file;
  s.alias = "_COUNT";
  s.readOnly = true;
  int n = tables::openTable(s);
  uint32_t count = n ? tables::area(n)->recCount() : 0;
  if (n) tables::closeArea(n);
  return count;
}

void BM_UpdateRun(benchmark::State& state) {
  app::SampleOptions o;
  if (tiny()) {
    o = {.codes = 200, .tariff = 210, .audit = 500, .changePercent = 14, .newPercent = 0};
  } else {
    o = {.codes = 10000, .tariff = 10500, .audit = 50000, .changePercent = 14, .newPercent = 0};
  }
  fs::path root = fs::temp_directory_path() / ("kor_update_bench_" + std::to_string(plat::processId()));
  fs::path master = root / "master", work = root / "work";
  fs::remove_all(root);
  std::string failure = app::makeSample(master.string(), o);
  if (!failure.empty()) {
    state.SkipWithError(failure.c_str());
    return;
  }
  app::registerUpdateRoutines();
  app::registerWriterRoutines();
  std::string home = plat::currentDir();
  double audits = 0, peak = 0, growth = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(work);
    fs::copy(master, work, fs::copy_options::recursive);
    // KORVO.INI names the master's product folder: point it at the copy.
    plat::writeWholeFile((work / "WINDOWS" / "KORVO.INI").string(),
                         "[VELTAR]\r\nCAMINHO=" + (work / "VELTAR").string() + "\r\n");
    plat::setEnv("WINDIR", (work / "WINDOWS").string());
    plat::changeDir(work.string());
    con::resetConsole();
    con::setBackend(std::make_unique<Operator>());
    uint32_t before = recordsOf((work / "VELTAR" / "RICLA9.DBF").string());
    plat::resetPeakResident();
    int64_t baseline = plat::residentBytes();
    state.ResumeTiming();

    int code = startup::runApplication([] { app::MAIN(""); });

    state.PauseTiming();
    peak = static_cast<double>(plat::peakResidentBytes());
    growth = peak - static_cast<double>(baseline);
    if (code != 0) state.SkipWithError("the run did not end normally");
    audits = recordsOf((work / "VELTAR" / "RICLA9.DBF").string()) - before;
    con::setBackend(nullptr);
    plat::changeDir(home);
    state.ResumeTiming();
  }
  state.counters["audit_records"] = audits;
  // The peak of the process during the run (the peak is reset before it),
  // and how far it rose above the memory held when the run started.
  state.counters["peak_MB"] = peak / (1024.0 * 1024.0);
  state.counters["growth_MB"] = growth / (1024.0 * 1024.0);
  fs::remove_all(root);
}

BENCHMARK(BM_UpdateRun)->Unit(benchmark::kMillisecond)->Iterations(tiny() ? 1 : 3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
