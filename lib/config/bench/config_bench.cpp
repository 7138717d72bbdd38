// READMEMO on a store of 200 keys and a GRAVALOG entry on a log at its cap.
// KOR_BENCH_SIZE=tiny makes both files small so the run takes a moment.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "config/store.h"
#include "errors/activitylog.h"
#include "platform/platform.h"
#include "runtime/runtime.h"

namespace {

using namespace kor;

bool tiny() {
  const char* s = std::getenv("KOR_BENCH_SIZE");
  return s && std::string(s) == "tiny";
}

struct Folder {
  std::filesystem::path dir, old;
  Folder() {
    dir = std::filesystem::temp_directory_path() / ("kor_bench_" + std::to_string(plat::processId()));
    std::filesystem::create_directories(dir);
    old = std::filesystem::current_path();
    std::filesystem::current_path(dir);
  }
  ~Folder() {
    std::filesystem::current_path(old);
    std::filesystem::remove_all(dir);
  }
};

void BM_ReadMemo200Keys(benchmark::State& state) {
  Folder f;
  const int keys = tiny() ? 20 : 200;
  std::string text = "[GERAL]\r\n";
  for (int i = 0; i < keys; ++i)
    text += "CHAVE" + std::to_string(i) + "=valor de configuracao numero " + std::to_string(i) + "\r\n";
  plat::writeWholeFile("COOKIE.SYS", text);
  // The last key: the scan reads the whole file.
  Value key = Value::array({Value("GERAL"), Value("CHAVE" + std::to_string(keys - 1))});
  for (auto _ : state) benchmark::DoNotOptimize(cfg::READMEMO(key, false, Value("")));
}
BENCHMARK(BM_ReadMemo200Keys);

void BM_GravaLogAtCap(benchmark::State& state) {
  Folder f;
  const size_t fill = tiny() ? 6000 : err::kLogCap;
  std::string old;
  while (old.size() < fill) old += "linha antiga do registro de atividades, com algum texto\r\n";
  old.resize(fill);
  plat::writeWholeFile("ERRO.LOG", old);
  Value entry("Erro 5 ao gravar o arquivo;C:\\DADOS\\COOKIE.SYS (uma entrada tipica)");
  for (auto _ : state) err::GRAVALOG("ERRO.LOG", entry);
  state.counters["log_bytes"] = static_cast<double>(plat::statPath("ERRO.LOG").size);
}
BENCHMARK(BM_GravaLogAtCap);

}  // namespace

BENCHMARK_MAIN();
