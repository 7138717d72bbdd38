// The update run end to end in this process: the sample tables, an
// operator at a headless console, then every RICLAS field and every new
// RICLA9 record compared with what an independent model of the rules
// expects.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/audit.h"
#include "app/tests/fixture.h"
#include "app/tests/model.h"
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
  expectSound(product());

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

namespace kor::app::testing {
namespace {

TEST_F(Update, RecordsLeftOutOfTheirIndexesGetTheirKeysBeforeTheRun) {
  makeSampleHere({.codes = 50, .tariff = 60, .audit = 10});
  // Records appended without their indexes open, as a program killed
  // between a record and its keys leaves them.
  for (const char* t : {"RICLAS.DBF", "RICLA9.DBF"}) {
    tables::OpenSpec s;
    s.file = product(t);
    s.alias = "_RAW";
    int n = tables::openTable(s);
    ASSERT_NE(n, 0);
    tables::WorkArea* a = tables::area(n);
    ASSERT_TRUE(a->append());
    a->putField(a->fieldPos("NCM"), Value("99999999"));
    if (std::string(t) == "RICLA9.DBF") a->putField(a->fieldPos("CHAVE"), Value(checkKey(auditKeyPartsOfCurrent())));
    tables::closeArea(n);
  }
  EXPECT_EQ(run({kConfirm, kDone}), 0);
  EXPECT_EQ(oper->answersLeft(), 0u) << oper->stuck();
  expectSound(product());  // the lost keys are back; the code 99999999 is not appended twice
}

}  // namespace
}  // namespace kor::app::testing
