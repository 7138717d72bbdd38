// X_TO_C and CTOX run for every field of every record of an update run:
// numbers, dates and 200-character texts, with the heap allocations each
// call makes (counter "allocs", per call).
//
// KOR_BENCH_SIZE=tiny runs each case for a fixed small number of calls.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "runtime/settings.h"
#include "values/convert.h"
#include "values/picture.h"

namespace {

// Counts every allocation of the process (this executable only).
size_t g_allocs = 0;

}  // namespace

void* operator new(size_t n) {
  ++g_allocs;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using namespace kor;

bool tiny() {
  const char* s = std::getenv("KOR_BENCH_SIZE");
  return s && std::strcmp(s, "tiny") == 0;
}

template <class F>
void run(benchmark::State& state, F&& f) {
  size_t before = g_allocs;
  for (auto _ : state) benchmark::DoNotOptimize(f());
  state.counters["allocs"] =
      benchmark::Counter(static_cast<double>(g_allocs - before), benchmark::Counter::kAvgIterations);
}

const Value& number() {
  static const Value v = Value::number(1234.5, 2, 10);
  return v;
}
const Value& date() {
  static const Value v = Value::ymd(2021, 12, 25);
  return v;
}
const Value& text200() {
  static const Value v = Value(std::string(190, 'x') + "ABCDEFGHIJ");
  return v;
}

void XtoCNumber(benchmark::State& s) { run(s, [] { return X_TO_C(number()); }); }
void XtoCDate(benchmark::State& s) { run(s, [] { return X_TO_C(date()); }); }
void XtoCText200(benchmark::State& s) { run(s, [] { return X_TO_C(text200()); }); }
void XtoCText200Trimmed(benchmark::State& s) {
  Value trim = Value::logical(true);
  run(s, [&] { return X_TO_C(text200(), Value(), Value(), trim); });
}

void CtoxNumber(benchmark::State& s) {
  Value t("1234,50"), n("N");
  run(s, [&] { return CTOX(t, n); });
}
void CtoxThousands(benchmark::State& s) {
  Value t("1.234.567,89"), n("N");
  run(s, [&] { return CTOX(t, n); });
}
void CtoxDate(benchmark::State& s) {
  Value t("25/12/21"), d("D");
  run(s, [&] { return CTOX(t, d); });
}
void CtoxText200(benchmark::State& s) {
  Value c("C");
  run(s, [&] { return CTOX(text200(), c); });
}
void CtoxLogical(benchmark::State& s) {
  Value t("Verdadeiro"), l("L");
  run(s, [&] { return CTOX(t, l); });
}

void TransformNumber(benchmark::State& s) {
  run(s, [] { return values::transform(number(), "@E 999,999.99"); });
}

void registerAll() {
  auto add = [](const char* name, void (*fn)(benchmark::State&)) {
    auto* b = benchmark::RegisterBenchmark(name, fn);
    if (tiny()) b->Iterations(2000);
  };
  add("X_TO_C/number", XtoCNumber);
  add("X_TO_C/date", XtoCDate);
  add("X_TO_C/text200", XtoCText200);
  add("X_TO_C/text200_trimmed", XtoCText200Trimmed);
  add("CTOX/number", CtoxNumber);
  add("CTOX/number_thousands", CtoxThousands);
  add("CTOX/date", CtoxDate);
  add("CTOX/text200", CtoxText200);
  add("CTOX/logical", CtoxLogical);
  add("transform/number", TransformNumber);
}

}  // namespace

int main(int argc, char** argv) {
  rt::resetSettings();
  registerAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
