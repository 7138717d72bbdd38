// Table-level benchmarks of NTX orders, the engine and the expression
// language included:
//   table_build        an index on an 8-character field over 100,000 records
//   append_indexed     30,000 appends (three fields each) to a 50,000-record
//                      table indexed on NCM+DTOS(DATA)+HORA, in shared use;
//                      also without the index and in exclusive use, to show
//                      what the index and the locking cost
//   append_shapelib    the same appends with shapelib, without any index
// KOR_BENCH_SIZE=tiny divides the sizes by 50.
#include <benchmark/benchmark.h>
#include <shapefil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "expr/expr.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/engine/indexes.h"

using namespace kor;
using namespace kor::tables;

namespace {

size_t scaledT(size_t n) {
  const char* s = std::getenv("KOR_BENCH_SIZE");
  return s && std::strcmp(s, "tiny") == 0 ? n / 50 : n;
}

const std::string& dir() {
  static std::string d = [] {
    std::string p = plat::tempDir() + "/ntxbench-tables-" + std::to_string(plat::processId());
    plat::makeDirs(p);
    return p;
  }();
  return d;
}

std::string file(const char* name) { return dir() + "/" + name; }

void prepare() {
  static bool done = [] {
    rt::set(rt::Set::Default, Value(dir()));
    expr::registerRoutines();
    tables::registerRoutines();
    return true;
  }();
  (void)done;
}

struct Rec {
  std::string ncm, hora;
  int y, m, d;
};

Rec recordOf(std::mt19937& rng) {
  char b[16];
  Rec r;
  std::snprintf(b, sizeof b, "%08u", uint32_t(rng() % 100000000u));
  r.ncm = b;
  std::snprintf(b, sizeof b, "%02u:%02u:%02u", uint32_t(rng() % 24), uint32_t(rng() % 60), uint32_t(rng() % 60));
  r.hora = b;
  r.y = 2000 + int(rng() % 26);
  r.m = 1 + int(rng() % 12);
  r.d = 1 + int(rng() % 28);
  return r;
}

// A table of n records (NCM, DATA, HORA, NOME), made once per name.
void makeTable(const char* name, size_t n, uint32_t seed) {
  std::string path = file(name);
  if (plat::fileExists(path + ".dbf")) return;
  createTable(path, {{"NCM", 'C', 8, 0}, {"DATA", 'D', 8, 0}, {"HORA", 'C', 8, 0}, {"NOME", 'C', 30, 0}});
  OpenSpec o;
  o.file = path;
  o.shared = false;
  int a = openTable(o);
  WorkArea* w = area(a);
  std::mt19937 rng(seed);
  for (size_t i = 0; i < n; ++i) {
    Rec r = recordOf(rng);
    w->append();
    w->putField(1, Value(r.ncm));
    w->putField(2, Value::ymd(r.y, r.m, r.d));
    w->putField(3, Value(r.hora));
    w->putField(4, Value("registro de teste"));
  }
  closeArea(a);
}

void BM_TableIndexBuild(benchmark::State& st) {
  prepare();
  const size_t n = scaledT(100000);
  makeTable("big", n, 1);
  OpenSpec o;
  o.file = file("big");
  o.shared = false;
  int a = openTable(o);
  WorkArea* w = area(a);
  for (auto _ : st) {
    IndexSpec s;
    s.file = file("big");
    s.key = "NCM";
    if (!orderCreate(*w, s)) st.SkipWithError("create failed");
  }
  if (w->orderCount() != 1 || ntxOrder(*w)->index().keyCount() != n) st.SkipWithError("wrong key count");
  closeArea(a);
  st.counters["records"] = double(n);
}
BENCHMARK(BM_TableIndexBuild)->Unit(benchmark::kMillisecond);

void BM_AppendIndexed(benchmark::State& st) {
  prepare();
  const bool indexed = st.range(0) != 0, shared = st.range(1) != 0;
  const size_t base = scaledT(50000), adds = scaledT(30000);
  makeTable("base", base, 2);
  for (auto _ : st) {
    st.PauseTiming();
    plat::copyFile(file("base") + ".dbf", file("app") + ".dbf");
    if (indexed) {
      OpenSpec o;
      o.file = file("app");
      o.shared = false;
      int a = openTable(o);
      IndexSpec s;
      s.file = file("app");
      s.key = "NCM+DTOS(DATA)+HORA";
      orderCreate(*area(a), s);
      closeArea(a);
    }
    OpenSpec o;
    o.file = file("app");
    o.shared = shared;
    int a = openTable(o);
    WorkArea* w = area(a);
    if (indexed) orderListAdd(*w, file("app"));
    std::mt19937 rng(3);
    st.ResumeTiming();
    for (size_t i = 0; i < adds; ++i) {
      Rec r = recordOf(rng);
      w->append();
      w->putField(1, Value(r.ncm));
      w->putField(2, Value::ymd(r.y, r.m, r.d));
      w->putField(3, Value(r.hora));
      w->unlock();
    }
    closeArea(a);
    st.PauseTiming();
    if (indexed) {
      OpenSpec c;
      c.file = file("app");
      c.shared = false;
      int b = openTable(c);
      orderListAdd(*area(b), file("app"));
      if (ntxOrder(*area(b))->index().keyCount() != base + adds) st.SkipWithError("wrong key count");
      closeArea(b);
    }
    st.ResumeTiming();
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(adds));
}
BENCHMARK(BM_AppendIndexed)
    ->Args({1, 1})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({0, 0})
    ->ArgNames({"index", "shared"})
    ->Unit(benchmark::kMillisecond);

void BM_AppendShapelib(benchmark::State& st) {
  prepare();
  const size_t base = scaledT(50000), adds = scaledT(30000);
  makeTable("base", base, 2);
  for (auto _ : st) {
    st.PauseTiming();
    plat::copyFile(file("base") + ".dbf", file("shp") + ".dbf");
    std::mt19937 rng(3);
    st.ResumeTiming();
    DBFHandle h = DBFOpen((file("shp") + ".dbf").c_str(), "rb+");
    if (!h) {
      st.SkipWithError("shapelib open failed");
      break;
    }
    for (size_t i = 0; i < adds; ++i) {
      Rec r = recordOf(rng);
      int rec = DBFGetRecordCount(h);
      char date[16];
      std::snprintf(date, sizeof date, "%04d%02d%02d", r.y, r.m, r.d);
      DBFWriteStringAttribute(h, rec, 0, r.ncm.c_str());
      DBFWriteStringAttribute(h, rec, 1, date);
      DBFWriteStringAttribute(h, rec, 2, r.hora.c_str());
    }
    DBFClose(h);
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(adds));
}
BENCHMARK(BM_AppendShapelib)->Unit(benchmark::kMillisecond);

}  // namespace
