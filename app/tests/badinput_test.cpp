// Bad input to the update run: each case takes the error handler's path
// (its alert, when it shows one, answered with its first button, "Quit":
// exit code 1), is written to the error log, and leaves RICLAS and RICLA9
// as they were.
#include <filesystem>

#include "app/tests/fixture.h"
#include "console/keys.h"

namespace kor::app::testing {
namespace {

namespace fs = std::filesystem;

class BadInput : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    makeSampleHere();
    riclas = bytes(product("RICLAS.DBF"));
    ricla9 = bytes(product("RICLA9.DBF"));
  }
  static std::string bytes(const std::string& f) { return plat::readWholeFile(f).value_or(""); }
  // A run that must end in the error handler with the tables untouched.
  void expectHandled(const std::string& what) {
    int code = -1;
    try {
      // The error alert's first button ("Quit") and "Pressione qualquer
      // tecla..." take Enter.
      code = run({{"Confirme a pasta", con::key::Enter}}, "", 4);
    } catch (const con::ScriptExhausted&) {
      ADD_FAILURE() << "the run waited for a key on:\n" << oper->stuck();
    }
    EXPECT_EQ(code, 1);
    // The error went to the error log, naming what was wrong.
    std::string log = bytes(file("ERRO.LOG"));
    EXPECT_NE(log.find(what), std::string::npos) << log;
    EXPECT_EQ(bytes(product("RICLAS.DBF")), riclas);
    EXPECT_EQ(bytes(product("RICLA9.DBF")), ricla9);
  }
  void replaceTariff(const std::vector<tables::FieldDef>& fields, const std::vector<std::vector<Value>>& rows) {
    fs::remove(file("GECEX269.DBF"));
    ASSERT_TRUE(tables::createTable(file("GECEX269.DBF"), fields));
    tables::OpenSpec s;
    s.file = file("GECEX269.DBF");
    s.alias = "_T";
    s.shared = false;
    int n = tables::openTable(s);
    ASSERT_NE(n, 0);
    for (const auto& r : rows) {
      tables::area(n)->append();
      for (size_t i = 0; i < r.size(); ++i) tables::area(n)->putField(static_cast<int>(i + 1), r[i]);
    }
    tables::closeArea(n);
  }

  std::string riclas, ricla9;
};

TEST_F(BadInput, ASourceWithoutNcm) {
  replaceTariff({{"CODIGO", 'C', 10, 0}, {"II", 'C', 10, 0}}, {{Value("01012100"), Value("5")}});
  expectHandled("NCM");
}

TEST_F(BadInput, ASourceFieldThatIsNotText) {
  for (char type : {'N', 'D', 'L'}) {
    SCOPED_TRACE(std::string(1, type));
    std::vector<tables::FieldDef> f = {{"NCM", 'C', 10, 0}, {"UNIDADE", 'C', 4, 0}};
    // A number into the number field II, a date into the date field VIGENCIA,
    // a logical into the text field UNIDADE's neighbour EX.
    if (type == 'N') f.push_back({"II", 'N', 6, 2});
    if (type == 'D') f.push_back({"VIGENCIA", 'D', 8, 0});
    if (type == 'L') f.push_back({"EX", 'L', 1, 0});
    Value v = type == 'N' ? Value::number(5, 2) : type == 'D' ? Value::ymd(2022, 1, 1) : Value::logical(true);
    replaceTariff(f, {{Value("0101.21.00"), Value("KG"), v}});
    expectHandled(type == 'N' ? "II" : type == 'D' ? "VIGENCIA" : "EX");
  }
}

TEST_F(BadInput, ACorruptOrTruncatedSource) {
  std::string good = bytes(file("GECEX269.DBF"));
  for (const std::string& damaged : {good.substr(0, 20), std::string(good.size(), '\x7F'), good.substr(0, 700)}) {
    plat::writeWholeFile(file("GECEX269.DBF"), damaged);
    expectHandled("GECEX269");
  }
}

TEST_F(BadInput, AMissingOrCorruptRiclasIndex) {
  std::string index = bytes(product("RICLAS.ntx"));
  fs::remove(product("RICLAS.ntx"));
  expectHandled("RICLAS");
  std::string damaged = index;
  for (size_t i = 1024; i < damaged.size(); i += 7) damaged[i] = '\xEE';
  plat::writeWholeFile(product("RICLAS.ntx"), damaged);
  expectHandled("RICLAS");
}

}  // namespace
}  // namespace kor::app::testing
