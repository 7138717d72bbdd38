// NTX module benchmarks, keys given directly (no table):
//   build    an index of 8-byte keys over 100,000 records (sort + write)
//   seek     10,500 random seeks in a cached 10,000-key index
//   insert   random inserts into a 50,000-key index, exclusive and shared
// KOR_BENCH_SIZE=tiny shrinks every size so that a run takes about a second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/error.h"
#include "tables/engine/ntx.h"

using namespace kor;
using namespace kor::tables::ntx;

namespace {

bool tiny() {
  const char* s = std::getenv("KOR_BENCH_SIZE");
  return s && std::strcmp(s, "tiny") == 0;
}

size_t scaled(size_t n) { return tiny() ? n / 50 : n; }

std::string benchFile(const char* name) {
  static std::string dir = [] {
    std::string d = plat::tempDir() + "/ntxbench-" + std::to_string(plat::processId());
    plat::makeDirs(d);
    return d;
  }();
  return dir + "/" + name;
}

std::vector<std::string> randomKeys(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> keys(n);
  for (auto& k : keys) {
    char b[16];
    std::snprintf(b, sizeof b, "%08u", uint32_t(rng() % 100000000u));
    k = b;
  }
  return keys;
}

Spec spec8() {
  Spec s;
  s.keyExpr = "CODIGO";
  s.keySize = 8;
  return s;
}

void BM_Build(benchmark::State& st) {
  const size_t n = scaled(100000);
  std::vector<std::string> keys = randomKeys(n, 1);
  for (auto _ : st) {
    KeyList list(8);
    list.reserve(n);
    for (size_t i = 0; i < n; ++i) list.add(keys[i], uint32_t(i + 1));
    auto ix = Index::create(benchFile("build.ntx"), spec8(), list);
    benchmark::DoNotOptimize(ix.get());
  }
  st.counters["keys"] = double(n);
}
BENCHMARK(BM_Build)->Unit(benchmark::kMillisecond);

void BM_Seek(benchmark::State& st) {
  const size_t n = scaled(10000);
  const size_t seeks = scaled(10500);
  std::vector<std::string> keys = randomKeys(n, 2);
  KeyList list(8);
  for (size_t i = 0; i < n; ++i) list.add(keys[i], uint32_t(i + 1));
  OpenOptions opt;
  opt.shared = st.range(0) != 0;
  auto ix = Index::create(benchFile("seek.ntx"), spec8(), list, opt);
  std::mt19937 rng(3);
  std::vector<std::string> probes(seeks);
  for (auto& p : probes) p = keys[rng() % n];
  for (const auto& p : probes) ix->seek(p);  // warm the cache
  size_t found = 0;
  for (auto _ : st) {
    for (const auto& p : probes) found += ix->seek(p);
  }
  if (found != probes.size() * size_t(st.iterations())) st.SkipWithError("a seek missed");
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(seeks));
  st.counters["per_seek"] = benchmark::Counter(double(seeks) * double(st.iterations()),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                                                   benchmark::Counter::kIs1000);
}
BENCHMARK(BM_Seek)->Arg(0)->Arg(1)->ArgName("shared")->Unit(benchmark::kMillisecond);

void BM_Insert(benchmark::State& st) {
  const size_t base = scaled(50000), adds = scaled(30000);
  std::vector<std::string> keys = randomKeys(base + adds, 4);
  OpenOptions opt;
  opt.shared = st.range(0) != 0;
  for (auto _ : st) {
    st.PauseTiming();
    KeyList list(8);
    for (size_t i = 0; i < base; ++i) list.add(keys[i], uint32_t(i + 1));
    auto ix = Index::create(benchFile("insert.ntx"), spec8(), list, opt);
    st.ResumeTiming();
    for (size_t i = base; i < base + adds; ++i) ix->insert(keys[i], uint32_t(i + 1));
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(adds));
}
BENCHMARK(BM_Insert)->Arg(0)->Arg(1)->ArgName("shared")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  rt::setErrorHandler([](rt::ErrorRecord& r) {
    std::fprintf(stderr, "error %d/%d %s\n", r.genCode, r.subCode, r.filename.c_str());
    return rt::ErrorAnswer::byDefault();
  });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const char* f : {"build.ntx", "seek.ntx", "insert.ntx"}) plat::removeFile(benchFile(f));
  plat::removeDir(benchFile("").substr(0, benchFile("").size() - 1));
  return 0;
}
