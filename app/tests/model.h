// An independent model of the update run's rules, for the tests: what
// RICLAS must hold and which audit records RICLA9 must gain after a run of
// a tariff over a RICLAS, and the checks of the stored results.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/tests/fixture.h"
#include "platform/crypto.h"
#include "startup/identity.h"
#include "tables/engine/check.h"
#include "tables/engine/ntx.h"
#include "values/convert.h"
#include "values/textform.h"

namespace kor::app::testing {

// --- the model ------------------------------------------------------------------

inline bool excluded(const std::string& f) {
  static const std::vector<std::string> kList = {"NCM",     "DESCRICAO",  "INICIO_II", "FIM_II",     "INICIO_IPI",
                                                 "FIM_IPI", "INICIO_PIS", "FIM_PIS",   "INICIO_COF", "FIM_COF",
                                                 "FIM",     "INCLUSAO",   "ALTERACAO", "ATUALIZADO"};
  return std::find(kList.begin(), kList.end(), f) != kList.end();
}

inline double readNumber(std::string t) {
  if (t.find('.') != std::string::npos && t.find(',') != std::string::npos) std::erase(t, '.');
  std::string kept;
  for (char c : t) {
    if (c == ',') c = '.';
    if ((c >= '0' && c <= '9') || c == '.') kept += c;
  }
  size_t second = kept.find('.', kept.find('.') + 1);
  if (kept.find('.') != std::string::npos && second != std::string::npos) kept.resize(second);
  return kept.empty() || kept == "." ? 0 : std::stod(kept);
}

inline Value readDate(const std::string& text) {
  std::string t(alltrim(text));
  int d, m, y;
  if (std::sscanf(t.c_str(), "%d/%d/%d", &d, &m, &y) != 3) return Value::date(0);
  size_t yearDigits = t.size() - t.rfind('/') - 1;
  if (yearDigits <= 2) y += y >= 40 ? 1900 : 2000;
  return Value::date(julianFromYmd(y, m, d));
}

inline double rounded(double v, int dec) {
  double f = std::pow(10.0, dec);
  return std::round(v * f) / f;
}

struct Expected {
  std::vector<std::map<std::string, Value>> riclas;
  struct Audit {
    std::string ncm, campo, antes, depois, ex;
  };
  std::vector<Audit> audits;
};

inline Expected model(const TableRows& riclas, const TableRows& tariff, const std::string& today) {
  Expected e;
  e.riclas = riclas.rows;
  std::map<std::string, size_t> byCode;
  for (size_t i = 0; i < e.riclas.size(); ++i) byCode.emplace(e.riclas[i]["NCM"].string(), i);
  auto decOf = [&](const std::string& f) {
    for (size_t i = 0; i < riclas.fields.size(); ++i)
      if (riclas.fields[i] == f) return riclas.decs[i];
    return 0;
  };
  auto typeOf = [&](const std::string& f) {
    for (size_t i = 0; i < riclas.fields.size(); ++i)
      if (riclas.fields[i] == f) return riclas.types[i];
    return '\0';
  };
  for (const auto& src : tariff.rows) {
    std::string code;
    for (char c : alltrim(src.at("NCM").str()))
      if (c != '.') code += c;
    if (code.empty()) continue;
    code.resize(8, ' ');
    auto it = byCode.find(code);
    if (it == byCode.end()) {
      std::map<std::string, Value> blank;
      for (size_t i = 0; i < riclas.fields.size(); ++i) {
        char t = riclas.types[i];
        blank[riclas.fields[i]] = t == 'N'   ? Value::number(0, riclas.decs[i])
                                  : t == 'D' ? Value::date(0)
                                  : t == 'L' ? Value::logical(false)
                                  : t == 'M' ? Value::memo("")
                                             : Value(std::string(8, ' '));
      }
      blank["NCM"] = Value(code);
      e.riclas.push_back(blank);
      it = byCode.emplace(code, e.riclas.size() - 1).first;
    }
    auto& rec = e.riclas[it->second];
    for (const std::string& f : tariff.fields) {
      char type = typeOf(f);
      if (f == "NCM" || type == '\0') continue;
      std::string text = src.at(f).string();
      Value stored = rec[f];
      Value fresh;
      bool same = false;
      std::string depois;
      switch (type) {
        case 'C':
        case 'M': {
          for (char& c : text)
            if (c == '\r' || c == '\n') c = ' ';
          std::string s = stored.string();
          same = text.empty() || (text.size() <= s.size() && s.compare(0, text.size(), text) == 0);
          fresh = type == 'M' ? Value::memo(text) : Value(text);
          depois = text;
          break;
        }
        case 'N': {
          int dec = decOf(f);
          fresh = Value::number(rounded(readNumber(text), dec), dec);
          same = std::abs(stored.num() - fresh.num()) < 1e-9;
          depois = X_TO_C(fresh).string();
          break;
        }
        case 'D':
          fresh = readDate(text);
          same = stored.julian() == fresh.julian();
          depois = X_TO_C(fresh).string();
          break;
        case 'L': {
          std::string u = upper(alltrim(text));
          fresh = Value::logical(u == ".T." || u == "T" || u == "TRUE");
          same = stored.log() == fresh.log();
          depois = text;  // a logical travels as the text it came as
          break;
        }
      }
      if (!same && !excluded(f))
        e.audits.push_back({code, f, X_TO_C(stored).string(), depois, rec["EX"].string()});
      rec[f] = fresh;
    }
    rec["ATUALIZADO"] = Value(today);
  }
  return e;
}

inline std::string cut(std::string s, size_t width) {
  if (s.size() > width) s.resize(width);
  return std::string(alltrim(s));
}

// The check key of a stored audit record, from its stored fields.
inline std::string sealOf(const std::map<std::string, Value>& r, uint32_t recno) {
  std::string text = dtoc(r.at("DATA").dateTime());
  for (const char* f : {"HORA", "TERMINAL", "USUARIO"}) text += alltrim(r.at(f).str());
  text += r.at("MODO").str();
  text += r.at("NCM").str();
  for (const char* f : {"CAMPO", "ANTES", "DEPOIS"}) text += alltrim(r.at(f).str());
  return plat::md5Hex(text + "VELTAR" + std::to_string(recno));
}

// Every new RICLA9 record against the model; every record's key.
inline void expectAudit(const TableRows& audit, size_t before, const Expected& e, const std::string& today) {
  ASSERT_EQ(audit.rows.size() - before, e.audits.size());
  for (size_t i = 0; i < audit.rows.size(); ++i) {
    const auto& r = audit.rows[i];
    EXPECT_EQ(r.at("CHAVE").string(), sealOf(r, static_cast<uint32_t>(i + 1))) << "record " << i + 1;
    if (i < before) continue;
    const auto& x = e.audits[i - before];
    SCOPED_TRACE("audit record " + std::to_string(i + 1) + " " + x.ncm + " " + x.campo);
    EXPECT_EQ(r.at("NCM").string(), x.ncm);
    EXPECT_EQ(alltrim(r.at("CAMPO").str()), x.campo);
    EXPECT_EQ(alltrim(r.at("ANTES").str()), cut(x.antes, 100));
    EXPECT_EQ(alltrim(r.at("DEPOIS").str()), cut(x.depois, 100));
    EXPECT_EQ(rtrim(r.at("EX").str()), rtrim(x.ex));
    EXPECT_EQ(r.at("MODO").string(), "6");
    EXPECT_EQ(alltrim(r.at("TABELA").str()), "RICLAS");
    EXPECT_EQ(dtoc(r.at("DATA").dateTime()), today);
    EXPECT_EQ(alltrim(r.at("TERMINAL").str()), alltrim(startup::machineName()));
  }
}

inline void expectRiclas(const TableRows& got, const Expected& e) {
  ASSERT_EQ(got.rows.size(), e.riclas.size());
  for (size_t i = 0; i < got.rows.size(); ++i) {
    for (size_t f = 0; f < got.fields.size(); ++f) {
      const std::string& name = got.fields[f];
      const Value& g = got.rows[i].at(name);
      const Value& x = e.riclas[i].at(name);
      SCOPED_TRACE("RICLAS record " + std::to_string(i + 1) + " field " + name);
      switch (got.types[f]) {
        case 'N': EXPECT_NEAR(g.num(), x.num(), 1e-9); break;
        case 'D': EXPECT_EQ(g.julian(), x.julian()); break;
        case 'L': EXPECT_EQ(g.log(), x.log()); break;
        case 'M': EXPECT_EQ(g.string(), x.string()); break;
        default: EXPECT_EQ(rtrim(g.str()), rtrim(x.str()));
      }
    }
  }
}


// The index holds exactly one key per record, each the record's key.
// With `missing` > 0, up to that many records may lack their key (a run
// killed between writing a record and its key), but no key may be wrong.
inline void expectIndexMatches(const std::string& ntxFile, const TableRows& t,
                               const std::function<std::string(const std::map<std::string, Value>&)>& keyOf,
                               size_t missing = 0) {
  tables::ntx::CheckOptions o;
  o.collectKeys = true;
  o.recordCount = static_cast<uint32_t>(t.rows.size());
  tables::ntx::CheckReport r = tables::ntx::checkFile(ntxFile, o);
  EXPECT_TRUE(r.ok()) << ntxFile << ": " << r.summary();
  std::vector<std::pair<std::string, uint32_t>> want;
  for (size_t i = 0; i < t.rows.size(); ++i) want.emplace_back(keyOf(t.rows[i]), static_cast<uint32_t>(i + 1));
  std::vector<std::pair<std::string, uint32_t>> got = r.items;
  std::sort(want.begin(), want.end());
  std::sort(got.begin(), got.end());
  if (missing == 0) {
    EXPECT_EQ(got.size(), want.size()) << ntxFile;
    EXPECT_TRUE(got == want) << ntxFile << ": the keys differ from the records";
    return;
  }
  EXPECT_LE(want.size() - std::min(want.size(), got.size()), missing) << ntxFile;
  EXPECT_TRUE(std::includes(want.begin(), want.end(), got.begin(), got.end()))
      << ntxFile << ": a key that no record has";
}

inline std::string riclasKey(const std::map<std::string, Value>& r) { return r.at("NCM").string(); }
inline std::string ricla9Key(const std::map<std::string, Value>& r) {
  return r.at("NCM").string() + dtos(r.at("DATA").dateTime()) + r.at("HORA").string();
}

// Both tables sound, both indexes in step with them (up to `missing` keys
// short, see expectIndexMatches), every audit key valid, no code twice.
inline void expectSound(const std::string& productFolder, size_t missing = 0) {
  auto path = [&](const char* n) { return (std::filesystem::path(productFolder) / n).string(); };
  for (const char* t : {"RICLAS.DBF", "RICLA9.DBF"}) {
    tables::CheckReport c = tables::checkTable(path(t));
    EXPECT_TRUE(c.ok()) << t << ": " << (c.problems.empty() ? "not opened" : c.problems[0]);
  }
  TableRows riclas = readTable(path("RICLAS.DBF"));
  TableRows audit = readTable(path("RICLA9.DBF"));
  expectIndexMatches(path("RICLAS.ntx"), riclas, riclasKey, missing);
  expectIndexMatches(path("RICLA9.ntx"), audit, ricla9Key, missing);
  for (size_t i = 0; i < audit.rows.size(); ++i)
    EXPECT_EQ(audit.rows[i].at("CHAVE").string(), sealOf(audit.rows[i], static_cast<uint32_t>(i + 1)))
        << "RICLA9 record " << i + 1;
  std::map<std::string, int> codes;
  for (const auto& r : riclas.rows) ++codes[r.at("NCM").string()];
  for (const auto& [code, n] : codes) EXPECT_EQ(n, 1) << "code " << code << " appears " << n << " times";
}

}  // namespace kor::app::testing
