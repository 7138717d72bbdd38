// The update run end to end in this process: the sample tables, an
// operator at a headless console, then every RICLAS field and every new
// RICLA9 record compared with what an independent model of the rules
// expects.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/tests/fixture.h"
#include "console/keys.h"
#include "platform/crypto.h"
#include "startup/identity.h"
#include "values/convert.h"
#include "values/textform.h"

namespace kor::app::testing {
namespace {

namespace fs = std::filesystem;

// The screen's rows joined without line ends (line output wraps at the
// row's end, so a long line reads whole again).
std::string flat(std::string screen) {
  std::erase(screen, '\n');
  return screen;
}

const Operator::Answer kConfirm{"Confirme a pasta do VELTAR", con::key::Enter};
const Operator::Answer kDone{"Atualizado!", con::key::Enter};

// --- the model ------------------------------------------------------------------

bool excluded(const std::string& f) {
  static const std::vector<std::string> kList = {"NCM",     "DESCRICAO",  "INICIO_II", "FIM_II",     "INICIO_IPI",
                                                 "FIM_IPI", "INICIO_PIS", "FIM_PIS",   "INICIO_COF", "FIM_COF",
                                                 "FIM",     "INCLUSAO",   "ALTERACAO", "ATUALIZADO"};
  return std::find(kList.begin(), kList.end(), f) != kList.end();
}

double readNumber(std::string t) {
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

Value readDate(const std::string& text) {
  std::string t(alltrim(text));
  int d, m, y;
  if (std::sscanf(t.c_str(), "%d/%d/%d", &d, &m, &y) != 3) return Value::date(0);
  size_t yearDigits = t.size() - t.rfind('/') - 1;
  if (yearDigits <= 2) y += y >= 40 ? 1900 : 2000;
  return Value::date(julianFromYmd(y, m, d));
}

double rounded(double v, int dec) {
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

Expected model(const TableRows& riclas, const TableRows& tariff, const std::string& today) {
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

std::string cut(std::string s, size_t width) {
  if (s.size() > width) s.resize(width);
  return std::string(alltrim(s));
}

// The check key of a stored audit record, from its stored fields.
std::string sealOf(const std::map<std::string, Value>& r, uint32_t recno) {
  std::string text = dtoc(r.at("DATA").dateTime());
  for (const char* f : {"HORA", "TERMINAL", "USUARIO"}) text += alltrim(r.at(f).str());
  text += r.at("MODO").str();
  text += r.at("NCM").str();
  for (const char* f : {"CAMPO", "ANTES", "DEPOIS"}) text += alltrim(r.at(f).str());
  return plat::md5Hex(text + "VELTAR" + std::to_string(recno));
}

// Every new RICLA9 record against the model; every record's key.
void expectAudit(const TableRows& audit, size_t before, const Expected& e, const std::string& today) {
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

void expectRiclas(const TableRows& got, const Expected& e) {
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

class Update : public AppTest {
 protected:
  std::string today() {
    rt::set(rt::Set::DateFormat, Value("dd/mm/yy"));
    return dtoc(DateTime{julianToday()});
  }
};

TEST_F(Update, RunsTheSampleAndWritesWhatTheRulesSay) {
  makeSampleHere();
  TableRows riclasBefore = readTable(product("RICLAS.DBF"));
  TableRows tariff = readTable(file("GECEX269.DBF"));
  std::string riclasBytes = plat::readWholeFile(product("RICLAS.DBF")).value_or("");
  int64_t riclasTime = plat::statPath(product("RICLAS.DBF")).mtimeMillis;

  EXPECT_EQ(run({kConfirm, kDone}), 0);
  EXPECT_EQ(oper->answersLeft(), 0u) << oper->stuck();
  EXPECT_EQ(con::title(), "Utilitário de atualização"_cp);  // the bar gave the run's title back

  std::string day = today();
  Expected e = model(riclasBefore, tariff, day);
  expectRiclas(readTable(product("RICLAS.DBF")), e);
  expectAudit(readTable(product("RICLA9.DBF")), static_cast<size_t>(sample.audit), e, day);
  EXPECT_GT(e.audits.size(), 100u);

  // The backup: one file BK/RICLAS.<14 digits> with the original's bytes and time.
  std::vector<fs::path> backups;
  for (const auto& entry : fs::directory_iterator(product("BK"))) backups.push_back(entry.path());
  ASSERT_EQ(backups.size(), 1u);
  std::string name = backups[0].filename().string();
  ASSERT_EQ(name.size(), 7u + 14u);
  EXPECT_EQ(name.substr(0, 7), "RICLAS.");
  EXPECT_EQ(name.find_first_not_of("0123456789", 7), std::string::npos);
  EXPECT_EQ(plat::readWholeFile(backups[0].string()).value_or("x"), riclasBytes);
  EXPECT_EQ(plat::statPath(backups[0].string()).mtimeMillis / 1000, riclasTime / 1000);

  // What the operator saw: the folder in the confirmation, then the result.
  ASSERT_EQ(oper->seen().size(), 2u);
  EXPECT_NE(oper->seen()[0].find("Pasta: "), std::string::npos);
  EXPECT_NE(flat(oper->seen()[0]).find("VELTAR"), std::string::npos);
  EXPECT_NE(oper->seen()[1].find("Importando dados..."), std::string::npos);

  // A second run with the same tariff finds nothing to audit.
  size_t audits = readTable(product("RICLA9.DBF")).rows.size();
  EXPECT_EQ(run({kConfirm, kDone}), 0);
  EXPECT_EQ(readTable(product("RICLA9.DBF")).rows.size(), audits);
}

TEST_F(Update, EscOrCancelAtTheConfirmationChangesNothing) {
  makeSampleHere();
  std::string before = plat::readWholeFile(product("RICLAS.DBF")).value_or("");
  for (int key : {con::key::Esc, static_cast<int>('C')}) {
    EXPECT_EQ(run({{"Confirme a pasta", key}}), 0);
    EXPECT_EQ(oper->answersLeft(), 0u) << oper->stuck();
    EXPECT_EQ(plat::readWholeFile(product("RICLAS.DBF")).value_or(""), before);
    EXPECT_FALSE(fs::exists(product("BK")));
    EXPECT_EQ(readTable(product("RICLA9.DBF")).rows.size(), static_cast<size_t>(sample.audit));
  }
}

TEST_F(Update, WithoutTheFolderSettingThePickerOpensUntilAFolderIsChosen) {
  makeSampleHere();
  plat::writeWholeFile(file("WINDOWS/KORVO.INI"), "[VELTAR]\r\nOUTRA=1\r\n");
  std::vector<std::string> titles;
  int calls = 0;
  std::string folder = product();
  rt::registerRoutine("FBROWSEFORFOLDER", [&](Args& a) {
    titles.push_back(a[0].string());
    EXPECT_FALSE(a[2].log());  // no button that makes a folder
    return Value(++calls < 3 ? std::string() : folder);
  });
  EXPECT_EQ(run({kConfirm, kDone}), 0);
  EXPECT_EQ(oper->answersLeft(), 0u) << oper->stuck();
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(titles, std::vector<std::string>(3, "Indique a pasta do Veltar"));
  EXPECT_GT(readTable(product("RICLA9.DBF")).rows.size(), static_cast<size_t>(sample.audit));
}

TEST_F(Update, SelectingAnotherFolderAsksAgainAboutTheNewOne) {
  makeSampleHere();
  std::string other = file("OUTRA");
  fs::create_directories(other);
  rt::registerRoutine("FBROWSEFORFOLDER", [&](Args&) { return Value(other); });
  // "Selecionar outra" (the second button), then the folder without RICLAS.
  EXPECT_EQ(run({{"Confirme a pasta", con::key::Right},
                 {"Confirme a pasta", con::key::Enter},
                 {"OUTRA", con::key::Enter},
                 {"Arquivo de classificacao nao encontrado", con::key::Enter}}),
            0);
  EXPECT_EQ(oper->answersLeft(), 0u) << oper->stuck();
  EXPECT_NE(flat(oper->seen().back()).find("OUTRA"), std::string::npos);
  EXPECT_FALSE(fs::exists(file("OUTRA/BK")));
}

TEST_F(Update, AMissingSourceIsALineOnTheConsole) {
  makeSampleHere();
  EXPECT_EQ(run({}, "tabela"), 0);
  std::string expected = "Arquivo " + plat::absolutePath("TABELA.DBF") + " nao encontrado!";
  EXPECT_NE(flat(oper->text()).find(expected), std::string::npos) << oper->text();
}

TEST_F(Update, SourceNamesAreNormalised) {
  struct Case {
    const char* arg;
    const char* file;
  } cases[] = {{"", "GECEX269.DBF"},       {"tabela", "TABELA.DBF"}, {"TABELA.DBF", "TABELA.DBF"},
               {"x.dbf.dbf", "X.DBF"},     {"a.dbfb", "AB.DBF"},     {"sub/t", "SUB/T.DBF"}};
  for (const Case& c : cases)
    EXPECT_EQ(sourcePath(c.arg), plat::absolutePath(c.file)) << c.arg;
}

TEST_F(Update, CodesAreNormalised) {
  struct Case {
    const char* text;
    const char* code;
  } cases[] = {{"0101.21.00", "01012100"}, {" 0101.21.00 ", "01012100"}, {"0101210099", "01012100"},
               {"0101", "0101    "},       {"", ""},                     {"  . ", ""},
               {"01.01", "0101    "}};
  for (const Case& c : cases) EXPECT_EQ(ncmCode(c.text), c.code) << c.text;
}

TEST_F(Update, WithoutRiclasTheAlertNamesTheFolder) {
  makeSampleHere();
  fs::remove(product("RICLAS.DBF"));
  EXPECT_EQ(run({{"Confirme a pasta", con::key::Enter}, {"Arquivo de classificacao nao encontrado", con::key::Enter}}),
            0);
  EXPECT_EQ(oper->answersLeft(), 0u) << oper->stuck();
  EXPECT_NE(flat(oper->seen().back()).find("VELTAR"), std::string::npos);
  EXPECT_FALSE(fs::exists(product("BK")));
}

TEST_F(Update, AnEmptyTariffShowsNoBarAndEndsUpdated) {
  makeSampleHere({.codes = 20, .tariff = 0, .audit = 3});
  EXPECT_EQ(run({kConfirm, kDone}), 0);
  EXPECT_EQ(oper->answersLeft(), 0u) << oper->stuck();
  EXPECT_EQ(oper->seen().back().find("Lendo"), std::string::npos);
  EXPECT_EQ(readTable(product("RICLA9.DBF")).rows.size(), 3u);
}

}  // namespace
}  // namespace kor::app::testing
