// Costs of the expression language on the paths that run per record: a
// field reference, an index key built from three fields, a filter, a
// callback; the cost of compiling a typical text; Value copies.
//
// KOR_BENCH_SIZE=tiny: fewer records in the table (the run takes a moment).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "expr/expr.h"
#include "expr/internal.h"
#include "expr/memory_data.h"
#include "runtime/runtime.h"

namespace kor::expr {
namespace {

int records() {
  const char* s = std::getenv("KOR_BENCH_SIZE");
  return s && std::strcmp(s, "tiny") == 0 ? 16 : 1000;
}

// RICLAS-like table: NCM C(8), DATA D, HORA C(8), VALOR N(12,2), NOME C(30).
struct Table {
  MemoryData data;
  int n;
  Table() {
    registerRoutines();
    rt::setErrorHandler([](rt::ErrorRecord&) { return rt::ErrorAnswer::byDefault(); });
    data.open("RICLAS", {{"NCM", 'C', 8}, {"DATA", 'D', 8}, {"HORA", 'C', 8}, {"VALOR", 'N', 12, 2},
                         {"NOME", 'C', 30}});
    n = records();
    for (int i = 0; i < n; ++i) {
      char ncm[16];
      std::snprintf(ncm, sizeof ncm, "%08d", 10000000 + i * 37);
      data.append(1, {Value(ncm), Value::date(julianFromYmd(2024, 1, 1) + i % 365), Value("12:34:56"),
                      Value::number(i * 1.25, 2), Value("PRODUTO " + std::to_string(i))});
    }
    setDataContext(&data);
    rt::publicVar("nLimite", Value::number(100.5, 1));
  }
  ~Table() { setDataContext(nullptr); }
  // Moves to the next record, as a scan would.
  void step(int& r) {
    r = r % n + 1;
    data.go(1, r);
  }
};

void evalPerRecord(benchmark::State& state, const char* text) {
  Table t;
  Compiled c = compile(text);
  int r = 0;
  for (auto _ : state) {
    t.step(r);
    Value v = c.eval();
    benchmark::DoNotOptimize(v);
  }
}

void BM_FieldReference(benchmark::State& s) { evalPerRecord(s, "NCM"); }
void BM_KeyNcmDtosHora(benchmark::State& s) { evalPerRecord(s, "NCM+DTOS(DATA)+HORA"); }
void BM_FilterCondition(benchmark::State& s) {
  evalPerRecord(s, "VALOR > nLimite .AND. Upper(Left(NOME, 7)) == 'PRODUTO'");
}
void BM_Variable(benchmark::State& s) { evalPerRecord(s, "nLimite * 2"); }

// The key through the text cache, as code that only holds the text does.
void BM_KeyByText(benchmark::State& state) {
  Table t;
  int r = 0;
  for (auto _ : state) {
    t.step(r);
    Value v = evalText("NCM+DTOS(DATA)+HORA");
    benchmark::DoNotOptimize(v);
  }
}

void BM_CallbackWithParameter(benchmark::State& state) {
  Table t;
  Value block = toBlock("{|n| n * 2 + 1}");
  for (auto _ : state) {
    Value v = evalBlock(block, {Value(21)});
    benchmark::DoNotOptimize(v);
  }
}

void BM_CompileTypical(benchmark::State& state) {
  const char* text = "Upper(NOME) = 'JOAO' .AND. VALOR > 100.50 .OR. DTOS(DATA) >= '20240101'";
  for (auto _ : state) {
    auto p = parseProgram(text, nullptr);
    benchmark::DoNotOptimize(p);
  }
}

void BM_ValueCopyNumber(benchmark::State& state) {
  Value a = Value::number(1234.56, 2, 12);
  for (auto _ : state) {
    Value b = a;
    benchmark::DoNotOptimize(b);
  }
}

void BM_ValueCopyShortText(benchmark::State& state) {
  Value a("12345678");
  for (auto _ : state) {
    Value b = a;
    benchmark::DoNotOptimize(b);
  }
}

BENCHMARK(BM_FieldReference);
BENCHMARK(BM_KeyNcmDtosHora);
BENCHMARK(BM_KeyByText);
BENCHMARK(BM_FilterCondition);
BENCHMARK(BM_Variable);
BENCHMARK(BM_CallbackWithParameter);
BENCHMARK(BM_CompileTypical);
BENCHMARK(BM_ValueCopyNumber);
BENCHMARK(BM_ValueCopyShortText);

}  // namespace
}  // namespace kor::expr

BENCHMARK_MAIN();
