// The table engine against shapelib's DBF library doing the same work:
//   scan:    every field of every record of a RICLAS-shaped table
//            (12 fields, 300 bytes a record)
//   goto:    random records, every field
//   update:  8 fields of 10,500 records found by record number; the engine
//            in shared use under a record lock per record, shapelib without
//            locks (it has none)
//   append:  30,000 records of 860 bytes to a table of 50,000, the engine in
//            shared use with a lock per append
//   rss:     the engine's resident memory while it scans a 500 MB table
// KOR_BENCH_SIZE=tiny makes every table small so that the run takes about a
// second.
#include <benchmark/benchmark.h>

#ifdef KOR_BENCH_SHAPELIB
#include <shapefil.h>
#endif

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine.h"

namespace {

using namespace kor;
using namespace kor::tables;

bool tiny() {
  const char* s = std::getenv("KOR_BENCH_SIZE");
  return s && std::string(s) == "tiny";
}

struct Sizes {
  uint32_t scanRecords, updates, baseRecords, appends;
  int64_t largeBytes;
};

Sizes sizes() {
  if (tiny()) return {300, 320, 400, 300, 2 << 20};
  return {10000, 10500, 50000, 30000, 500ll << 20};
}

std::string folder() {
  static std::string dir = [] {
    std::string d = plat::tempDir() + "/kor_engine_bench_" + std::to_string(plat::processId());
    plat::makeDirs(d);
    return d;
  }();
  return dir;
}

std::string file(const std::string& name) { return folder() + "/" + name; }

const std::vector<FieldDef>& riclas() {
  static const std::vector<FieldDef> f = {
      {"NCM", 'C', 8, 0},        {"EX", 'C', 3, 0},        {"DESCRICAO", 'C', 230, 0}, {"II", 'N', 6, 2},
      {"IPI", 'N', 6, 2},        {"PIS", 'N', 6, 2},       {"COF", 'N', 6, 2},         {"INICIO_II", 'D', 8, 0},
      {"FIM_II", 'D', 8, 0},     {"ATUALIZADO", 'C', 8, 0}, {"ALTERACAO", 'D', 8, 0},   {"ATIVO", 'L', 1, 0},
  };
  return f;
}

const std::vector<FieldDef>& ricla9() {
  static const std::vector<FieldDef> f = {
      {"DATA", 'D', 8, 0},     {"HORA", 'C', 8, 0},   {"TERMINAL", 'C', 20, 0}, {"USUARIO", 'C', 30, 0},
      {"MODO", 'C', 1, 0},     {"NCM", 'C', 8, 0},    {"TABELA", 'C', 10, 0},   {"CAMPO", 'C', 10, 0},
      {"EX", 'C', 3, 0},       {"ANTES", 'C', 365, 0}, {"DEPOIS", 'C', 365, 0}, {"CHAVE", 'C', 32, 0},
  };
  return f;
}

// Every benchmark runs without an error handler of its own: any error ends
// the run loudly (the plain handler), which is what a benchmark wants.
void setup() {
  static bool done = false;
  if (done) return;
  done = true;
  rt::set(rt::Set::Default, Value(folder()));
  rt::set(rt::Set::HardCommit, Value::logical(false));
}

void fillRiclas(WorkArea* a, uint32_t n) {
  for (uint32_t i = 1; i <= n; ++i) {
    a->append();
    char ncm[16];
    std::snprintf(ncm, sizeof ncm, "%08u", 1010000 + i);
    a->putField(1, Value(ncm));
    a->putField(2, Value("001"));
    a->putField(3, Value("Descricao do item de classificacao numero " + std::to_string(i)));
    for (int f = 4; f <= 7; ++f) a->putField(f, Value::number((i % 97) * 0.25, 2));
    a->putField(8, Value::ymd(2020, 1, 1 + static_cast<int>(i % 28)));
    a->putField(9, Value::ymd(2030, 12, 31));
    a->putField(10, Value("09/12/21"));
    a->putField(11, Value::ymd(2021, 12, 9));
    a->putField(12, Value::logical(i % 2 == 0));
  }
}

// The RICLAS-shaped table of n records, made once per size.
std::string riclasTable(uint32_t n) {
  setup();
  std::string name = "riclas" + std::to_string(n);
  if (!plat::fileExists(file(name + ".dbf"))) {
    createTable(name, riclas());
    OpenSpec s;
    s.file = name;
    s.shared = false;
    WorkArea* a = area(openTable(s));
    fillRiclas(a, n);
    closeAll();
  }
  return name;
}

std::string ricla9Table(uint32_t n) {
  setup();
  std::string name = "ricla9_" + std::to_string(n);
  if (!plat::fileExists(file(name + ".dbf"))) {
    createTable(name, ricla9());
    OpenSpec s;
    s.file = name;
    s.shared = false;
    WorkArea* a = area(openTable(s));
    for (uint32_t i = 1; i <= n; ++i) {
      a->append();
      a->putField(1, Value::ymd(2021, 12, 9));
      a->putField(10, Value(std::string(300, 'a')));
    }
    closeAll();
  }
  return name;
}

WorkArea* openShared(const std::string& name, bool shared = true) {
  OpenSpec s;
  s.file = name;
  s.shared = shared;
  return area(openTable(s));
}

// --- scan -----------------------------------------------------------------------

void BM_Scan_Engine(benchmark::State& state) {
  std::string name = riclasTable(sizes().scanRecords);
  WorkArea* a = openShared(name);
  for (auto _ : state) {
    size_t bytes = 0;
    for (a->goTop(); !a->eof(); a->skip(1))
      for (int f = 1; f <= 12; ++f) {
        Value v = a->getField(f);
        bytes += v.isText() ? v.textLen() : 1;
        benchmark::DoNotOptimize(v);
      }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * sizes().scanRecords);
  closeAll();
}
BENCHMARK(BM_Scan_Engine)->Unit(benchmark::kMillisecond);

#ifdef KOR_BENCH_SHAPELIB
void readAllShp(DBFHandle h, int rec, size_t& bytes) {
  for (int f = 0; f < 12; ++f) {
    switch (DBFGetNativeFieldType(h, f)) {
      case 'N': {
        double d = DBFReadDoubleAttribute(h, rec, f);
        benchmark::DoNotOptimize(d);
        ++bytes;
        break;
      }
      case 'L': {
        const char* l = DBFReadLogicalAttribute(h, rec, f);
        benchmark::DoNotOptimize(l);
        ++bytes;
        break;
      }
      default: {
        const char* s = DBFReadStringAttribute(h, rec, f);
        bytes += std::strlen(s);
      }
    }
  }
}

void BM_Scan_Shapelib(benchmark::State& state) {
  std::string name = riclasTable(sizes().scanRecords);
  DBFHandle h = DBFOpen(file(name + ".dbf").c_str(), "rb");
  int n = DBFGetRecordCount(h);
  for (auto _ : state) {
    size_t bytes = 0;
    for (int r = 0; r < n; ++r) readAllShp(h, r, bytes);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
  DBFClose(h);
}
BENCHMARK(BM_Scan_Shapelib)->Unit(benchmark::kMillisecond);
#endif

// --- go to random records ----------------------------------------------------------

std::vector<uint32_t> randomRecords(uint32_t count, uint32_t n) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<uint32_t> d(1, count);
  std::vector<uint32_t> out(n);
  for (auto& r : out) r = d(rng);
  return out;
}

void BM_GotoRandom_Engine(benchmark::State& state) {
  std::string name = riclasTable(sizes().scanRecords);
  WorkArea* a = openShared(name);
  std::vector<uint32_t> recs = randomRecords(sizes().scanRecords, sizes().scanRecords);
  for (auto _ : state) {
    for (uint32_t r : recs) {
      a->goTo(r);
      for (int f = 1; f <= 12; ++f) {
        Value v = a->getField(f);
        benchmark::DoNotOptimize(v);
      }
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * recs.size()));
  closeAll();
}
BENCHMARK(BM_GotoRandom_Engine)->Unit(benchmark::kMillisecond);

#ifdef KOR_BENCH_SHAPELIB
void BM_GotoRandom_Shapelib(benchmark::State& state) {
  std::string name = riclasTable(sizes().scanRecords);
  DBFHandle h = DBFOpen(file(name + ".dbf").c_str(), "rb");
  std::vector<uint32_t> recs = randomRecords(sizes().scanRecords, sizes().scanRecords);
  for (auto _ : state) {
    size_t bytes = 0;
    for (uint32_t r : recs) readAllShp(h, static_cast<int>(r - 1), bytes);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * recs.size()));
  DBFClose(h);
}
BENCHMARK(BM_GotoRandom_Shapelib)->Unit(benchmark::kMillisecond);
#endif

// --- update under record locks --------------------------------------------------------

void BM_UpdateLocked_Engine(benchmark::State& state) {
  std::string name = riclasTable(sizes().scanRecords);
  plat::copyFile(file(name + ".dbf"), file("upd.dbf"));
  WorkArea* a = openShared("upd");
  std::vector<uint32_t> recs = randomRecords(sizes().scanRecords, sizes().updates);
  Value rate = Value::number(7.5, 2), day = Value::ymd(2022, 1, 1), text = Value("01/01/22");
  for (auto _ : state) {
    for (uint32_t r : recs) {
      a->goTo(r);
      if (!a->lockRecord()) state.SkipWithError("lock refused");
      for (int f = 4; f <= 7; ++f) a->putField(f, rate);
      a->putField(8, day);
      a->putField(9, day);
      a->putField(10, text);
      a->putField(11, day);
      a->unlock();
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * recs.size()));
  closeAll();
}
BENCHMARK(BM_UpdateLocked_Engine)->Unit(benchmark::kMillisecond);

#ifdef KOR_BENCH_SHAPELIB
void BM_Update_Shapelib(benchmark::State& state) {
  std::string name = riclasTable(sizes().scanRecords);
  plat::copyFile(file(name + ".dbf"), file("updshp.dbf"));
  DBFHandle h = DBFOpen(file("updshp.dbf").c_str(), "r+b");
  std::vector<uint32_t> recs = randomRecords(sizes().scanRecords, sizes().updates);
  char day[] = "20220101";
  for (auto _ : state) {
    for (uint32_t r : recs) {
      int rec = static_cast<int>(r - 1);
      for (int f = 3; f <= 6; ++f) DBFWriteDoubleAttribute(h, rec, f, 7.5);
      DBFWriteAttributeDirectly(h, rec, 7, day);
      DBFWriteAttributeDirectly(h, rec, 8, day);
      DBFWriteStringAttribute(h, rec, 9, "01/01/22");
      DBFWriteAttributeDirectly(h, rec, 10, day);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * recs.size()));
  DBFClose(h);
}
BENCHMARK(BM_Update_Shapelib)->Unit(benchmark::kMillisecond);
#endif

// --- appends ------------------------------------------------------------------------------

void BM_AppendLocked_Engine(benchmark::State& state) {
  std::string base = ricla9Table(sizes().baseRecords);
  std::string antes(300, 'x'), depois(300, 'y');
  for (auto _ : state) {
    state.PauseTiming();
    plat::copyFile(file(base + ".dbf"), file("app.dbf"));
    WorkArea* a = openShared("app");
    state.ResumeTiming();
    for (uint32_t i = 0; i < sizes().appends; ++i) {
      if (!a->append()) state.SkipWithError("append refused");
      a->putField(1, Value::ymd(2021, 12, 9));
      a->putField(2, Value("14:03:27"));
      a->putField(3, Value("ESTACAO01"));
      a->putField(4, Value("operador"));
      a->putField(5, Value("6"));
      a->putField(6, Value("01012100"));
      a->putField(7, Value("RICLAS"));
      a->putField(8, Value("II"));
      a->putField(10, Value(antes));
      a->putField(11, Value(depois));
      a->putField(12, Value("0123456789abcdef0123456789abcdef"));
    }
    a->unlock();
    state.PauseTiming();
    closeAll();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * sizes().appends);
}
BENCHMARK(BM_AppendLocked_Engine)->Unit(benchmark::kMillisecond);

#ifdef KOR_BENCH_SHAPELIB
void BM_Append_Shapelib(benchmark::State& state) {
  std::string base = ricla9Table(sizes().baseRecords);
  std::string antes(300, 'x'), depois(300, 'y');
  char day[] = "20211209";
  for (auto _ : state) {
    state.PauseTiming();
    plat::copyFile(file(base + ".dbf"), file("appshp.dbf"));
    DBFHandle h = DBFOpen(file("appshp.dbf").c_str(), "r+b");
    state.ResumeTiming();
    for (uint32_t i = 0; i < sizes().appends; ++i) {
      int rec = DBFGetRecordCount(h);
      DBFWriteAttributeDirectly(h, rec, 0, day);
      DBFWriteStringAttribute(h, rec, 1, "14:03:27");
      DBFWriteStringAttribute(h, rec, 2, "ESTACAO01");
      DBFWriteStringAttribute(h, rec, 3, "operador");
      DBFWriteStringAttribute(h, rec, 4, "6");
      DBFWriteStringAttribute(h, rec, 5, "01012100");
      DBFWriteStringAttribute(h, rec, 6, "RICLAS");
      DBFWriteStringAttribute(h, rec, 7, "II");
      DBFWriteStringAttribute(h, rec, 9, antes.c_str());
      DBFWriteStringAttribute(h, rec, 10, depois.c_str());
      DBFWriteStringAttribute(h, rec, 11, "0123456789abcdef0123456789abcdef");
    }
    state.PauseTiming();
    DBFClose(h);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * sizes().appends);
}
BENCHMARK(BM_Append_Shapelib)->Unit(benchmark::kMillisecond);
#endif

// --- resident memory over a large table ------------------------------------------------------

void BM_ScanLargeResident_Engine(benchmark::State& state) {
  setup();
  uint32_t records = static_cast<uint32_t>(sizes().largeBytes / 299);
  std::string name = "large" + std::to_string(records);
  if (!plat::fileExists(file(name + ".dbf"))) {
    // Built by copying one filled block of records: quicker than appending.
    std::string small = riclasTable(std::min<uint32_t>(records, 10000));
    std::string src = file(small + ".dbf");
    auto data = plat::readWholeFile(src);
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>((*data)[at]) | static_cast<uint8_t>((*data)[at + 1]) << 8); };
    const uint32_t hl = u16(8), rl = u16(10);
    std::string header = data->substr(0, hl);
    uint32_t have = std::min<uint32_t>(records, 10000);
    std::string block = data->substr(hl, static_cast<size_t>(have) * rl);
    for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<char>(records >> (8 * i));
    plat::OpenResult out = plat::openFile(file(name + ".dbf"), plat::Access::ReadWrite, plat::Share::Exclusive,
                                          plat::Disposition::CreateAlways);
    plat::writeAt(out.handle, 0, header.data(), hl);
    int64_t off = hl;
    for (uint32_t done = 0; done < records; done += have) {
      uint32_t n = std::min(have, records - done);
      plat::writeAt(out.handle, off, block.data(), static_cast<int64_t>(n) * rl);
      off += static_cast<int64_t>(n) * rl;
    }
    plat::writeAt(out.handle, off, "\x1A", 1);
    plat::closeFile(out.handle);
  }
  WorkArea* a = openShared(name);
  int64_t before = plat::residentBytes(), peak = before;
  for (auto _ : state) {
    uint64_t n = 0;
    for (a->goTop(); !a->eof(); a->skip(1)) {
      Value v = a->getField(3);
      benchmark::DoNotOptimize(v);
      if ((++n & 0xFFFF) == 0) peak = std::max(peak, plat::residentBytes());
    }
  }
  peak = std::max(peak, plat::residentBytes());
  state.counters["table_MB"] = static_cast<double>(sizes().largeBytes >> 20);
  state.counters["rss_growth_MB"] = static_cast<double>(peak - before) / (1 << 20);
  closeAll();
}
BENCHMARK(BM_ScanLargeResident_Engine)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  closeAll();
  // The scratch tables go with the run.
  for (auto& e : plat::listDir(folder())) plat::removeFile(folder() + "/" + e.name);
  plat::removeDir(folder());
  return 0;
}
