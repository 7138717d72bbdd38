// Field fitting and change audit on a small RICLAS and RICLA9, and the
// classification writers with their logs.
#include <filesystem>

#include "app/audit.h"
#include "app/tests/fixture.h"
#include "app/writers.h"
#include "platform/crypto.h"
#include "startup/identity.h"
#include "values/textform.h"

namespace kor::app::testing {
namespace {

using tables::FieldDef;

// The fields of RICLA9, with or without EX.
std::vector<FieldDef> auditFields(bool withEx) {
  std::vector<FieldDef> f = {{"DATA", 'D', 8, 0},    {"HORA", 'C', 8, 0},    {"TERMINAL", 'C', 15, 0},
                             {"USUARIO", 'C', 20, 0}, {"MODO", 'C', 1, 0},    {"NCM", 'C', 8, 0},
                             {"TABELA", 'C', 10, 0},  {"CAMPO", 'C', 10, 0}};
  if (withEx) f.push_back({"EX", 'C', 3, 0});
  for (FieldDef d : {FieldDef{"ANTES", 'C', 60, 0}, FieldDef{"DEPOIS", 'C', 60, 0}, FieldDef{"CHAVE", 'C', 32, 0}})
    f.push_back(d);
  return f;
}

class Audit : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    rt::set(rt::Set::DateFormat, Value("dd/mm/yy"));
    rt::set(rt::Set::Epoch, Value(1940));
    rt::set(rt::Set::Default, Value(dir));
    saved = rt::setErrorHandler([this](rt::ErrorRecord& e) {
      errors.push_back(e);
      return rt::ErrorAnswer::byDefault();
    });
    con::installHeadless();
    ASSERT_TRUE(tables::createTable(file("RICLA9.DBF"), auditFields(true)));
    ASSERT_TRUE(tables::createTable(
        file("RICLAS.DBF"), {{"NCM", 'C', 8, 0},       {"EX", 'C', 3, 0},  {"DESCRICAO", 'C', 20, 0},
                             {"TEXTO", 'C', 10, 0},    {"VALOR", 'N', 10, 2}, {"DATA", 'D', 8, 0},
                             {"ATIVO", 'L', 1, 0},     {"OBS", 'M', 10, 0}, {"II", 'N', 6, 2},
                             {"INICIO_II", 'D', 8, 0}, {"ATUALIZADO", 'C', 8, 0}}));
    tables::OpenSpec s;
    s.file = file("RICLAS.DBF");
    s.alias = "RICLAS";
    ASSERT_NE(tables::openTable(s), 0);
    riclas = tables::area();
    ASSERT_TRUE(riclas->append());
    riclas->putField(1, Value("01012100"));
    riclas->putField(2, Value("001"));
  }
  void TearDown() override {
    tables::closeAll();
    rt::setErrorHandler(saved);
    AppTest::TearDown();
  }

  void set(const char* field, const Value& v) { riclas->putField(riclas->fieldPos(field), v); }
  Value get(const char* field) { return riclas->getField(riclas->fieldPos(field)); }
  TableRows audits() {
    tables::commitAll();
    return readTable(file("RICLA9.DBF"));
  }

  tables::WorkArea* riclas = nullptr;
  std::vector<rt::ErrorRecord> errors;
  rt::ErrorHandler saved;
};

TEST_F(Audit, FittingComparingAndAuditingEachType) {
  struct Case {
    const char* field;
    Value stored;
    std::string source;
    Value after;              // the field afterwards
    const char* antes;        // nullptr: no audit record
    const char* depois;
  } cases[] = {
      {"VALOR", Value::number(1234.56, 2), "1.234,56", Value::number(1234.56, 2), nullptr, nullptr},
      {"VALOR", Value::number(1.5, 2), "1,5", Value::number(1.5, 2), nullptr, nullptr},
      {"VALOR", Value::number(0, 2), "-12", Value::number(12, 2), "0,00", "12,00"},
      {"VALOR", Value::number(0, 2), "1.234", Value::number(1.23, 2), "0,00", "1,23"},
      {"VALOR", Value::number(5, 2), "   ", Value::number(0, 2), "5,00", "0,00"},
      {"VALOR", Value::number(7, 2), "1.2.3", Value::number(1.2, 2), "7,00", "1,20"},
      {"DATA", Value::date(0), "31/12/21", Value::ymd(2021, 12, 31), "/  /", "31/12/21"},
      {"DATA", Value::date(0), "31/12/39", Value::ymd(2039, 12, 31), "/  /", "31/12/39"},
      {"DATA", Value::date(0), "31/12/40", Value::ymd(1940, 12, 31), "/  /", "31/12/40"},
      {"DATA", Value::date(0), "31/12/2045", Value::ymd(2045, 12, 31), "/  /", "31/12/2045"},
      {"DATA", Value::ymd(2021, 1, 2), "lixo", Value::date(0), "02/01/21", "/  /"},
      {"TEXTO", Value("ABC"), "ABC  ", Value("ABC"), nullptr, nullptr},
      {"TEXTO", Value("ABCDEFGHIJ"), "ABCDE", Value("ABCDE"), nullptr, nullptr},
      {"TEXTO", Value("ABC"), "ABC         ", Value("ABC"), "ABC", "ABC"},
      {"TEXTO", Value("ABC"), "     ", Value(""), "ABC", ""},
      {"TEXTO", Value("X"), "A\r\nB", Value("A  B"), "X", "A  B"},
      {"OBS", Value::memo("xyz"), "", Value::memo(""), nullptr, nullptr},
      {"ATIVO", Value::logical(true), "S", Value::logical(false), "Verdadeiro", "S"},
      {"ATIVO", Value::logical(false), "true", Value::logical(true), "Falso", "true"},
      {"ATIVO", Value::logical(false), ".T.", Value::logical(true), "Falso", ".T."},
      // Excluded by name: written, never audited.
      {"DESCRICAO", Value("Velha"), "Nova", Value("Nova"), nullptr, nullptr},
      {"INICIO_II", Value::date(0), "01/01/22", Value::ymd(2022, 1, 1), nullptr, nullptr},
      // A name inside a listed one (II in INICIO_II) is audited all the same.
      {"II", Value::number(0, 2), "5", Value::number(5, 2), "0,00", "5,00"},
  };
  size_t expected = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " <- '" + c.source + "'");
    set(c.field, c.stored);
    set("ATUALIZADO", Value(""));
    ACOMODA(c.field, Value(c.source));
    Value after = get(c.field);
    if (c.after.isNumber()) EXPECT_NEAR(after.num(), c.after.num(), 1e-9);
    else if (c.after.isDate()) EXPECT_EQ(after.julian(), c.after.julian());
    else if (c.after.isLogical()) EXPECT_EQ(after.log(), c.after.log());
    else EXPECT_EQ(rtrim(after.str()), rtrim(c.after.str()));
    EXPECT_EQ(get("ATUALIZADO").string(), dtoc(DateTime{julianToday()}));
    TableRows a = audits();
    if (c.antes) ++expected;
    ASSERT_EQ(a.rows.size(), expected);
    if (!c.antes) continue;
    const auto& r = a.rows.back();
    EXPECT_EQ(alltrim(r.at("CAMPO").str()), c.field);
    EXPECT_EQ(alltrim(r.at("ANTES").str()), c.antes);
    EXPECT_EQ(alltrim(r.at("DEPOIS").str()), c.depois);
    EXPECT_EQ(r.at("EX").string(), "001");
    EXPECT_EQ(r.at("MODO").string(), "6");
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(Audit, TheCheckKeyIsTheDigestOfTheStoredRecord) {
  set("VALOR", Value::number(0, 2));
  ACOMODA("VALOR", Value("3,5"));
  TableRows a = audits();
  ASSERT_EQ(a.rows.size(), 1u);
  const auto& r = a.rows[0];
  std::string text = dtoc(r.at("DATA").dateTime()) + std::string(alltrim(r.at("HORA").str())) +
                     std::string(alltrim(r.at("TERMINAL").str())) + std::string(alltrim(r.at("USUARIO").str())) +
                     r.at("MODO").string() + r.at("NCM").string() + "VALOR" + "0,00" + "3,50" + "VELTAR" + "1";
  EXPECT_EQ(r.at("CHAVE").string(), plat::md5Hex(text));
  EXPECT_EQ(r.at("CHAVE").string().size(), 32u);
  // The user is USUARIO(2) without the machine part.
  EXPECT_EQ(r.at("USUARIO").string().find(std::string(alltrim(startup::machineName())) + "/"), std::string::npos);
}

TEST_F(Audit, InclusionAndDeletionFlags) {
  set("TEXTO", Value("A"));
  Value map = Value::hash();
  map.set(Value("texto"), Value("B"));
  map.set(Value("VALOR"), Value::number(9, 2));
  GRAVAALTERACAONCM(map, Value("1"), true, false);  // inclusion: one record at most
  TableRows a = audits();
  ASSERT_EQ(a.rows.size(), 1u);
  EXPECT_EQ(alltrim(a.rows[0].at("CAMPO").str()), "INCLUSAO");
  EXPECT_EQ(alltrim(a.rows[0].at("ANTES").str()), "");
  EXPECT_EQ(rtrim(get("TEXTO").str()), "B");

  Value del = Value::hash();
  del.set(Value("TEXTO"), Value("C"));
  del.set(Value("VALOR"), Value::number(1, 2));
  set("ATUALIZADO", Value("x"));
  GRAVAALTERACAONCM(del, Value("3"), false, true);  // deletion: a record per differing field, nothing written
  a = audits();
  ASSERT_EQ(a.rows.size(), 3u);
  EXPECT_EQ(alltrim(a.rows[1].at("CAMPO").str()), "DELETADO");
  EXPECT_EQ(alltrim(a.rows[2].at("CAMPO").str()), "DELETADO");
  EXPECT_EQ(rtrim(get("TEXTO").str()), "B");
  EXPECT_EQ(rtrim(get("ATUALIZADO").str()), "x");
  // RICLA9 was not open before the calls: each call closed it again.
  EXPECT_EQ(tables::areaOf("RICLA9"), 0);
}

TEST_F(Audit, AnEmptyCodeWritesButDoesNotAudit) {
  set("NCM", Value(""));
  ACOMODA("TEXTO", Value("NOVO"));
  EXPECT_EQ(audits().rows.size(), 0u);
}

TEST_F(Audit, ANonTextSourceForATextNumberOrDateFieldIsAnArgumentError) {
  for (const char* f : {"TEXTO", "VALOR", "DATA"}) {
    errors.clear();
    ACOMODA(f, Value(12));
    ASSERT_EQ(errors.size(), 1u) << f;
    EXPECT_EQ(errors[0].genCode, rt::kErrArg);
  }
  EXPECT_EQ(audits().rows.size(), 0u);
}

TEST_F(Audit, AnAuditTableWithoutExStillGetsItsRecords) {
  tables::closeAll();
  std::filesystem::remove(file("RICLA9.DBF"));
  ASSERT_TRUE(tables::createTable(file("RICLA9.DBF"), auditFields(false)));
  tables::OpenSpec s;
  s.file = file("RICLAS.DBF");
  s.alias = "RICLAS";
  ASSERT_NE(tables::openTable(s), 0);
  riclas = tables::area();
  riclas->goTop();
  ASSERT_TRUE(riclas->lockRecord());  // as the run's BLOQREG does
  ACOMODA("TEXTO", Value("Z"));
  ACOMODA("VALOR", Value("2"));
  TableRows a = audits();
  ASSERT_EQ(a.rows.size(), 2u);
  EXPECT_EQ(alltrim(a.rows[1].at("DEPOIS").str()), "2,00");
  for (const auto& e : errors) ADD_FAILURE() << e.subsystem << "/" << e.subCode << " " << e.description << " " << e.operation;
  std::string log = plat::readWholeFile(file("ERRO.LOG")).value_or("");
  EXPECT_NE(log.find("RICLA9 sem o campo EX"), std::string::npos);
}

// --- the classification writers ---------------------------------------------------------

class Writers : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    rt::set(rt::Set::Default, Value(dir));
    con::installHeadless();
    ASSERT_TRUE(tables::createTable(file("RIITEM.DBF"), {{"REGISTRO", 'C', 10, 0}, {"ITEM", 'C', 3, 0},
                                                          {"NCM", 'C', 8, 0}}));
    ASSERT_TRUE(tables::createTable(file("RIADIC.DBF"), {{"REGISTRO", 'C', 10, 0}, {"ADICAO", 'C', 3, 0},
                                                          {"NCM", 'C', 8, 0}, {"ALIQ_II", 'N', 6, 2}}));
    for (const char* t : {"RIITEM", "RIADIC"}) {
      tables::OpenSpec s;
      s.file = file(std::string(t) + ".DBF");
      s.alias = t;
      ASSERT_NE(tables::openTable(s), 0);
      tables::area()->append();
      tables::area()->putField(1, Value("2112345678"));
      tables::area()->putField(2, Value("001"));
      tables::area()->putField(3, Value("01012100"));
    }
    rt::publicVar("C_PICTREG", Value("@R 99/9999999-9"));
  }
  std::string log(const char* name) { return plat::readWholeFile(file(name)).value_or(""); }
};

void GERAADICAO(const Value& rate) {
  KOR_ROUTINE("GERAADICAO");
  GRV_ALIQ(rate, "ALIQ_II");
}

void CALLER(const Value& code) {
  KOR_ROUTINE("CALLER");
  KOR_LINE();
  GRV_NCM(code);
}

TEST_F(Writers, ANewCodeIsLoggedWithTheCallChain) {
  CALLER(Value("02023000"));
  tables::selectAlias("RIITEM");
  EXPECT_EQ(tables::area()->getField(3).string(), "02023000");
  std::string text = log("ALTNCM.LOG");
  EXPECT_NE(text.find("Alterado NCM, DE: 0101.21.00 PARA: 0202.30.00 Registro: 21/1234567-8 Item: 001"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\r\n------Rotinas-------\r\nCALLER("), std::string::npos) << text;

  // The same code again, and a code into an empty field: nothing logged.
  size_t size = text.size();
  GRV_NCM(Value("02023000"));
  tables::area()->putField(3, Value(""));
  GRV_NCM(Value("03031100"));
  EXPECT_EQ(log("ALTNCM.LOG").size(), size);
  EXPECT_EQ(tables::area()->getField(3).string(), "03031100");
}

TEST_F(Writers, RateChangesAreLoggedExceptFromTheAdditionsGeneration) {
  rt::publicVar("GREGTRIB", Value("1"));
  rt::publicVar("aAtoLegal", Value::array({Value::array({Value("Portaria"), Value("12")}),
                                           Value::array({Value("")}), Value::array({Value("Lei"), Value(3)})}));
  GRV_ALIQ(Value::number(12, 2), "aliq_ii");
  std::string text = log("ALTALIQ.LOG");
  EXPECT_NE(text.find("Alterado Aliquota de (ALIQ_II)\r\nRegistro: 21/1234567-8\r\nAdicao: 001 NCM: 01012100\r\n"
                      "DE: 0.00 PARA: 12.00\r\nRegime de Trib.=1\r\nAto Legal NCM = Portaria 12 \r\n"
                      "Ato Legal Benef.IPI = Lei 3 "),
            std::string::npos)
      << text;
  tables::selectAlias("RIADIC");
  EXPECT_NEAR(tables::area()->getField(4).num(), 12, 1e-9);

  size_t size = text.size();
  GERAADICAO(Value::number(14, 2));  // written, not logged
  GRV_ALIQ(Value::number(14, 2), "ALIQ_II");  // no change: not logged
  EXPECT_EQ(log("ALTALIQ.LOG").size(), size);
  EXPECT_NEAR(tables::area()->getField(4).num(), 14, 1e-9);
}

}  // namespace
}  // namespace kor::app::testing
