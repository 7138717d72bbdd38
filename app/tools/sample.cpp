// The sample data the README's first command, the tests and the benchmark
// run clasupd on, written with the project's own table engine.
//
// In the root folder it makes:
//   VELTAR/RICLAS.DBF (+ .FPT, RICLAS.ntx)    the NCM classification table,
//                                             indexed by NCM
//   VELTAR/RICLA9.DBF (+ RICLA9.ntx)          earlier audit records, sealed,
//                                             indexed by NCM+DTOS(DATA)+HORA
//   GECEX269.DBF                              the tariff: changed, unchanged
//                                             and new codes, text fields
//   WINDOWS/KORVO.INI                         [VELTAR] CAMINHO=<folder>/VELTAR
// Everything is derived from the seed, so two runs give the same tables.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "expr/expr.h"
#include "app/tools/sample.h"
#include "os/paths.h"
#include "platform/crypto.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/engine/indexes.h"
#include "values/textform.h"

namespace kor::app {

namespace {

using namespace kor;
using tables::FieldDef;

struct Rng {
  uint64_t s;
  uint32_t next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(s >> 33);
  }
  int upTo(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
  bool chance(int percent) { return upTo(100) < percent; }
};

const char* kWords[] = {"Cavalos", "reprodutores", "de raça pura", "Bovinos", "vivos", "Carnes", "frescas",
                        "refrigeradas", "Peixes", "Leite", "creme", "Café", "não torrado", "Chá", "Trigo",
                        "Milho", "Arroz", "Açúcar", "Cacau", "Máquinas", "Aparelhos", "Partes", "Outros",
                        "Outras", "de ferro", "de aço", "Ligas", "Tecidos", "algodão", "Calçados"};

std::string cp(const char* utf8) {
  // The sample's texts are written in UTF-8 here and stored in CP850.
  std::string out;
  for (size_t i = 0; utf8[i];) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t u = c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra) u = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) u = (u << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += 1 + extra;
    int b = cp850FromUnicode(u);
    out += static_cast<char>(b < 0 ? '?' : b);
  }
  return out;
}

std::string description(Rng& r) {
  std::string d;
  int n = 3 + r.upTo(6);
  for (int i = 0; i < n; ++i) {
    if (!d.empty()) d += ' ';
    d += cp(kWords[r.upTo(static_cast<int>(sizeof kWords / sizeof *kWords))]);
  }
  return d;
}

std::string ncmCode(int i) {
  // Spread the codes over the chapters 01 to 97 in ascending order.
  int chapter = 1 + i * 96 / 1000000 % 97;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d%06d", chapter, static_cast<int>(static_cast<int64_t>(i) * 7919 % 1000000));
  return buf;
}

std::string dotted(const std::string& code) { return code.substr(0, 4) + "." + code.substr(4, 2) + "." + code.substr(6, 2); }

std::string rate(Rng& r) {
  static const double kRates[] = {0, 2, 3.25, 5, 7.6, 9.65, 10, 12, 14, 16, 18, 20, 35};
  return numberText(kRates[r.upTo(13)], 2);
}

int32_t dayOf(Rng& r) { return julianFromYmd(2015 + r.upTo(7), 1 + r.upTo(12), 1 + r.upTo(28)); }

struct SampleFailure {
  std::string what;
};

[[noreturn]] void die(const std::string& what) { throw SampleFailure{what}; }

// Builds an index file over the area's records and keeps it attached.
void index(tables::WorkArea& a, const std::string& file, const std::string& key) {
  tables::IndexSpec ix;
  ix.file = file;
  ix.key = key;
  auto order = tables::NtxOrder::create(a, ix);
  if (!order) die("cannot build " + file);
  a.attachOrder(std::move(order));
}

void put(tables::WorkArea& a, const char* field, const Value& v) {
  int pos = a.fieldPos(field);
  if (pos == 0 || !a.putField(pos, v)) die(std::string("cannot write ") + field);
}

SampleSummary writeSample(const std::string& folder, const SampleOptions& o) {
  std::string root = plat::absolutePath(folder);
  const int codes = o.codes;
  const int tariff = o.tariff;
  const int audit = o.audit;
  Rng rng{o.seed};

  std::string product = os::dirFile(root, "VELTAR", os::nativeStyle());
  std::string windows = os::dirFile(root, "WINDOWS", os::nativeStyle());
  plat::makeDirs(product);
  plat::makeDirs(windows);
  expr::registerRoutines();
  tables::registerRoutines();

  const std::vector<FieldDef> riclas = {
      {"NCM", 'C', 8, 0},        {"EX", 'C', 3, 0},         {"DESCRICAO", 'C', 200, 0}, {"UNIDADE", 'C', 4, 0},
      {"II", 'N', 6, 2},         {"IPI", 'N', 6, 2},        {"PIS", 'N', 6, 2},         {"COFINS", 'N', 6, 2},
      {"INICIO_II", 'D', 8, 0},  {"FIM_II", 'D', 8, 0},     {"INICIO_IPI", 'D', 8, 0},  {"FIM_IPI", 'D', 8, 0},
      {"INICIO_PIS", 'D', 8, 0}, {"FIM_PIS", 'D', 8, 0},    {"INICIO_COF", 'D', 8, 0},  {"FIM_COF", 'D', 8, 0},
      {"FIM", 'D', 8, 0},        {"INCLUSAO", 'D', 8, 0},   {"ALTERACAO", 'D', 8, 0},   {"ATUALIZADO", 'C', 8, 0},
      {"VIGENCIA", 'D', 8, 0},   {"ANTIDUMP", 'L', 1, 0},   {"QTDE_EST", 'N', 12, 3},   {"OBS", 'M', 10, 0},
  };
  const std::vector<FieldDef> ricla9 = {
      {"DATA", 'D', 8, 0},   {"HORA", 'C', 8, 0},   {"TERMINAL", 'C', 15, 0}, {"USUARIO", 'C', 20, 0},
      {"MODO", 'C', 1, 0},   {"NCM", 'C', 8, 0},    {"TABELA", 'C', 10, 0},   {"CAMPO", 'C', 10, 0},
      {"EX", 'C', 3, 0},     {"ANTES", 'C', 100, 0}, {"DEPOIS", 'C', 100, 0}, {"CHAVE", 'C', 32, 0},
  };
  // The tariff as delivered: every field is text.
  const std::vector<FieldDef> gecex = {
      {"NCM", 'C', 10, 0},       {"DESCRICAO", 'C', 200, 0}, {"UNIDADE", 'C', 4, 0},     {"II", 'C', 10, 0},
      {"IPI", 'C', 10, 0},       {"PIS", 'C', 10, 0},        {"COFINS", 'C', 10, 0},     {"INICIO_II", 'C', 10, 0},
      {"VIGENCIA", 'C', 10, 0},  {"ANTIDUMP", 'C', 5, 0},    {"QTDE_EST", 'C', 15, 0},   {"OBS", 'C', 120, 0},
      {"FONTE", 'C', 20, 0},
  };

  std::string riclasPath = os::dirFile(product, "RICLAS.DBF", os::nativeStyle());
  std::string ricla9Path = os::dirFile(product, "RICLA9.DBF", os::nativeStyle());
  std::string gecexPath = os::dirFile(root, "GECEX269.DBF", os::nativeStyle());
  if (!tables::createTable(riclasPath, riclas) || !tables::createTable(ricla9Path, ricla9) ||
      !tables::createTable(gecexPath, gecex))
    die("cannot create the tables");

  // RICLAS: `codes` records in code order.
  struct Row {
    std::string ncm, desc, unit, ii, ipi, pis, cofins;
    int32_t inicio, vigencia;
    bool antidump;
    double qtde;
    std::string obs;
  };
  std::vector<Row> rows;
  tables::OpenSpec spec;
  spec.file = riclasPath;
  spec.shared = false;
  if (!tables::openTable(spec)) die("cannot open RICLAS");
  tables::WorkArea& ric = *tables::area();
  // The product's indexes: RICLAS by code, RICLA9 by code, date and time.
  index(ric, os::dirFile(product, "RICLAS.ntx", os::nativeStyle()), "NCM");
  for (int i = 0; i < codes; ++i) {
    Row r{ncmCode(i * (1000000 / (codes + 1)) + 1), description(rng), rng.chance(50) ? "KG" : "UN",
          rate(rng), rate(rng), rate(rng), rate(rng), dayOf(rng), dayOf(rng), rng.chance(10),
          static_cast<double>(rng.upTo(100000)) / 1000.0, ""};
    if (rng.chance(30)) r.obs = cp("Observação ") + std::to_string(i) + "\r\n" + cp("segunda linha");
    rows.push_back(r);
    if (!ric.append()) die("append RICLAS");
    put(ric, "NCM", Value(r.ncm));
    put(ric, "EX", Value(rng.chance(10) ? "001" : ""));
    put(ric, "DESCRICAO", Value(r.desc));
    put(ric, "UNIDADE", Value(r.unit));
    put(ric, "II", valNumber(r.ii));
    put(ric, "IPI", valNumber(r.ipi));
    put(ric, "PIS", valNumber(r.pis));
    put(ric, "COFINS", valNumber(r.cofins));
    put(ric, "INICIO_II", Value::date(r.inicio));
    put(ric, "VIGENCIA", Value::date(r.vigencia));
    put(ric, "ANTIDUMP", Value::logical(r.antidump));
    put(ric, "QTDE_EST", Value::number(r.qtde, 3));
    put(ric, "ATUALIZADO", Value("01/06/21"));
    if (!r.obs.empty()) put(ric, "OBS", Value::memo(r.obs));
  }
  ric.commit();
  tables::closeArea();

  // RICLA9: earlier audit records, each sealed with its check key.
  spec.file = ricla9Path;
  if (!tables::openTable(spec)) die("cannot open RICLA9");
  tables::WorkArea& r9 = *tables::area();
  index(r9, os::dirFile(product, "RICLA9.ntx", os::nativeStyle()), "NCM+DTOS(DATA)+HORA");
  for (int i = 0; i < audit && !rows.empty(); ++i) {
    const Row& r = rows[static_cast<size_t>(rng.upTo(static_cast<int>(rows.size())))];
    int32_t day = julianFromYmd(2021, 1 + rng.upTo(5), 1 + rng.upTo(28));
    std::string hora = timeText((8 * 3600 + rng.upTo(9 * 3600)) * 1000);
    std::string terminal = "PC0" + std::to_string(1 + rng.upTo(4));
    std::string user = rng.chance(50) ? "ana" : "operador";
    std::string campo = rng.chance(50) ? "II" : "IPI";
    std::string antes = numberText(rng.upTo(20), 2), depois = numberText(rng.upTo(20), 2);
    for (auto* s : {&antes, &depois})
      for (char& c : *s)
        if (c == '.') c = ',';
    if (!r9.append()) die("append RICLA9");
    put(r9, "DATA", Value::date(day));
    put(r9, "HORA", Value(hora));
    put(r9, "TERMINAL", Value(terminal));
    put(r9, "USUARIO", Value(user));
    put(r9, "MODO", Value("6"));
    put(r9, "NCM", Value(r.ncm));
    put(r9, "TABELA", Value("RICLAS"));
    put(r9, "CAMPO", Value(campo));
    put(r9, "ANTES", Value(antes));
    put(r9, "DEPOIS", Value(depois));
    std::string sealed = dateToText(DateTime{day}, "dd/mm/yy") + hora + terminal + user + "6" + r.ncm + campo +
                         antes + depois + "VELTAR" + std::to_string(r9.recNo());
    put(r9, "CHAVE", Value(plat::md5Hex(sealed)));
  }
  r9.commit();
  tables::closeArea();

  // The tariff: most codes again (a part of them with changed fields), some
  // new codes, a few records without a code, the codes written with points.
  spec.file = gecexPath;
  if (!tables::openTable(spec)) die("cannot open GECEX269");
  tables::WorkArea& g = *tables::area();
  int newCodes = 0;
  for (int i = 0; i < tariff; ++i) {
    if (!g.append()) die("append GECEX269");
    if (i % 97 == 13) continue;  // no code: counted by the progress bar, nothing changes
    bool isNew = i >= static_cast<int>(rows.size()) || rng.chance(o.newPercent);
    Row r;
    if (isNew) {
      r = Row{ncmCode(1000000 - 1 - newCodes * 37), description(rng), "UN", rate(rng), rate(rng), rate(rng),
              rate(rng), dayOf(rng), dayOf(rng), false, 0, ""};
      ++newCodes;
    } else {
      r = rows[static_cast<size_t>(i)];
      // Each audited field changes with the given chance; the description
      // (written without audit) a third as often.
      if (rng.chance(o.changePercent)) r.ii = rate(rng);
      if (rng.chance(o.changePercent)) r.ipi = rate(rng);
      if (rng.chance(o.changePercent)) r.pis = rate(rng);
      if (rng.chance(o.changePercent)) r.cofins = rate(rng);
      if (rng.chance(o.changePercent / 3)) r.desc = description(rng);
      if (rng.chance(o.changePercent)) r.vigencia = dayOf(rng);
      if (rng.chance(o.changePercent)) r.antidump = !r.antidump;
      if (rng.chance(o.changePercent)) r.qtde = static_cast<double>(rng.upTo(100000)) / 1000.0;
    }
    auto comma = [](std::string s) {
      for (char& c : s)
        if (c == '.') c = ',';
      return s;
    };
    put(g, "NCM", Value(rng.chance(70) ? dotted(r.ncm) : r.ncm));
    put(g, "DESCRICAO", Value(r.desc));
    put(g, "UNIDADE", Value(r.unit));
    put(g, "II", Value(comma(r.ii)));
    put(g, "IPI", Value(comma(r.ipi)));
    put(g, "PIS", Value(comma(r.pis)));
    put(g, "COFINS", Value(comma(r.cofins)));
    put(g, "INICIO_II", Value(dateToText(DateTime{r.inicio}, "dd/mm/yy")));
    put(g, "VIGENCIA", Value(dateToText(DateTime{r.vigencia}, "dd/mm/yyyy")));
    put(g, "ANTIDUMP", Value(r.antidump ? ".T." : "F"));
    put(g, "QTDE_EST", Value(comma(numberText(r.qtde, 3))));
    put(g, "FONTE", Value("GECEX 269/2021"));
  }
  g.commit();
  tables::closeArea();

  std::string ini = "[VELTAR]\r\nCAMINHO=" + product + "\r\n";
  if (plat::writeWholeFile(os::dirFile(windows, "KORVO.INI", os::nativeStyle()), ini) != 0) die("cannot write KORVO.INI");
  SampleSummary sum;
  sum.root = root;
  sum.product = product;
  sum.windows = windows;
  sum.tariffFile = gecexPath;
  sum.codes = codes;
  sum.audit = audit;
  sum.tariff = tariff;
  sum.newCodes = newCodes;
  return sum;
}

}  // namespace

std::string makeSample(const std::string& folder, const SampleOptions& options, SampleSummary* summary) {
  try {
    SampleSummary s = writeSample(folder, options);
    if (summary) *summary = s;
    return "";
  } catch (const SampleFailure& f) {
    tables::closeAll();
    return f.what;
  }
}

}  // namespace kor::app
