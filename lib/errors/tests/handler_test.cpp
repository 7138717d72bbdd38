#include <gtest/gtest.h>

#include "config/store.h"
#include "console/headless.h"
#include "console/screen.h"
#include "errors/errorlog.h"
#include "errors/handler.h"
#include "errors/tests/fixture.h"
#include "os/paths.h"
#include "values/cp850.h"

namespace kor::err {
namespace {

using testing::FolderTest;
using testing::ScriptedUser;

std::string cp(std::string_view s) { return std::string(s); }

struct Row {
  const char* name;
  rt::ErrorRecord rec;
  std::string message;
  std::vector<std::string> buttons;
};

rt::ErrorRecord rec(int gen, const char* sub, int subCode, const char* op = "", const char* file = "", int os = 0,
                    bool canRetry = false, bool canDefault = false) {
  rt::ErrorRecord e = rt::makeError(gen, sub, subCode, op, file, os);
  e.canRetry = canRetry;
  e.canDefault = canDefault;
  if (e.description.empty()) e.description = std::string(rt::genCodeText(gen));
  return e;
}

class HandlerTest : public FolderTest {
 protected:
  plat::VirtualClock clock_;
  ScriptedUser user_;
  HandlerEnv env_ = fixedEnv();
  static HandlerEnv fixedEnv() {
    HandlerEnv env;
    env.upperCaseNames = true;
    env.fullPath = [](const std::string& f) { return f.find('\\') == std::string::npos ? "C:\\DADOS\\" + f : f; };
    env.attributes = [](const std::string& f) { return f.find("RO.DBF") != std::string::npos ? 1 : 32; };
    env.portNetworkName = [](const std::string& port) {
      return port == "LPT2" ? std::string("\\\\SERVIDOR\\EPSON") : std::string();
    };
    env.fieldInfo = [](const std::string&) { return HandlerEnv::FieldInfo{"RICLAS", 'C', 8, 0, 12}; };
    return env;
  }
};

TEST_F(HandlerTest, EveryRowOfTheTable) {
  auto withStack = [](rt::ErrorRecord e) {
    e.stack = {{"clasupd.prg", "ACOMODA", 77}, {"clasupd.prg", "MAIN", 12}};
    return e;
  };
  rt::ErrorRecord syntax = rec(rt::kErrSyntax, "BASE", 1449);
  syntax.args = {Value("A+"), Value(2)};
  rt::ErrorRecord arg = withStack(rec(rt::kErrArg, "BASE", 1085, "SUBSTR"));
  arg.args = {Value("abc"), Value(1)};
  const Row rows[] = {
      {"printer port", rec(rt::kErrPrint, "TERM", 2014, "LPT1.PRN"), "Erro ao imprimir em ", {"Ok", "Repetir"}},
      {"redirected printer port", rec(rt::kErrCreate, "TERM", 0, "LPT2.PRN"),
       "Erro ao imprimir em ;(\\\\SERVIDOR\\EPSON)", {"Ok", "Repetir", "Conectar agora"}},
      {"printer file in a missing folder", rec(rt::kErrCreate, "TERM", 0, "C:\\REL\\X.PRN", "", 3),
       "Erro ao imprimir em ;C:\\REL\\X.PRN;" + cp("Caminho näo existe"_cp), {"Ok", "Repetir", "Criar Pasta"}},
      {"create", rec(rt::kErrCreate, "DBFNTX", 1004, "", "NOVO.DBF", 82),
       "Erro criando arquivo;" + cp("Não é possível criar a pasta ou arquivo"_cp) + ";(C:\\DADOS\\NOVO.DBF)",
       {"Ok", "Repetir"}},
      {"create in a missing folder", rec(rt::kErrCreate, "DBFNTX", 1004, "C:\\BK\\X.DBF", "", 3),
       "Erro criando arquivo;C:\\BK\\X.DBF;" + cp("Caminho näo existe"_cp), {"Ok", "Repetir", "Criar Pasta"}},
      {"write", rec(rt::kErrWrite, "DBFNTX", 1011, "", "", 0), cp("Erro de gravação/escrita"_cp), {"Ok", "Repetir"}},
      {"exclusive use", rec(rt::kErrShared, "DBFNTX", 1023, "", "RICLAS.DBF"),
       "Erro 37;Uso exclusivo requerido;C:\\DADOS\\RICLAS.DBF", {"Ok", "Repetir"}},
      {"no variable", withStack(rec(rt::kErrNoVar, "BASE", 1003, "CNOME", "", 0, true, true)),
       cp("Variavel não existe : CNOME;\"clasupd->ACOMODA(77)\""_cp), {"Quit", "Retry", "Default"}},
      {"syntax", syntax, "Erro de sintaxe BASE/1449;A+;2", {"Quit"}},
      {"corrupt index", rec(rt::kErrCorruption, "DBFNTX", 1012, "", "riclas.ntx"),
       "Erro DBFNTX/1012 na abertura do arquivo;C:\\DADOS\\RICLAS.NTX;O arquivo pode estar corrompido" +
           cp(";É necessário reindexar sua base de dados;"_cp),
       {"Ok"}},
      {"corrupt table", rec(rt::kErrCorruption, "DBFNTX", 1012, "", "RICLAS.DBF"),
       "Erro DBFNTX/1012 na abertura do arquivo;C:\\DADOS\\RICLAS.DBF;O arquivo pode estar corrompido" +
           cp(";Talvez a reindexação resolva o problema;Caso contrário entre em contato com o suporte;"_cp),
       {"Ok"}},
      {"index that cannot be completed", rec(rt::kErrRead, "DBFNTX", 1010, "", "RICLAS.NTX", 38),
       "Erro DBFNTX/1010 na abertura do arquivo;C:\\DADOS\\RICLAS.NTX;O arquivo pode estar corrompido" +
           cp(";É necessário reindexar sua base de dados;;Não foi possível concluir a operação;(C:\\DADOS\\RICLAS.NTX)"_cp),
       {"Ok"}},
      {"open, missing index", rec(rt::kErrOpen, "DBFNTX", 1001, "", "RICLAS.NTX", 2, true, true),
       "Error DBFNTX/1001  Erro de abertura: C:\\DADOS\\RICLAS.NTX;" + cp("Arquivo näo existe"_cp) +
           ";(C:\\DADOS\\RICLAS.NTX)" +
           cp(";Talvez a reindexação resolva o problema;Caso contrário entre em contato com o suporte"_cp),
       {"Ok", "Repetir"}},
      {"open of a read-only file", rec(rt::kErrOpen, "DBFNTX", 1001, "", "RO.DBF", 5),
       "Error DBFNTX/1001  Erro de abertura: C:\\DADOS\\RO.DBF;Acesso negado;" +
           cp(";Verifique se o arquivo/dispositivo esta em uso ou direitos de acesso"_cp) +
           ";(C:\\DADOS\\RO.DBF \"Read-Only\")",
       {"Ok", "Repetir"}},
      {"data width", rec(rt::kErrDataWidth, "DBFNTX", 1021, "NCM"),
       "Erro DBFNTX/1021 Tamanho do dado muito longo:;RICLAS->NCM, C, 8, 0(12)", {"Quit"}},
      {"no order never offers Default", rec(rt::kErrNoOrder, "DBFNTX", 1201, "", "", 0, true, true),
       cp("Error DBFNTX/1201  Workarea não indexada"_cp), {"Quit", "Retry"}},
      {"argument", arg, cp(";Erro nos parâmetros;SUBSTR;abc, 1;;Informe o suporte tecnico;\"CLASUPD->ACOMODA(77)\""_cp),
       {"Quit"}},
      {"anything else", rec(rt::kErrLock, "DBFNTX", 1038, "", "", 33, true),
       "Error DBFNTX/1038  Falha no travamento;" + cp("Violaçäo de bloqueio;;Verifique seus direitos de acesso"_cp),
       {"Quit", "Retry"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    rt::ErrorRecord e = r.rec;
    Plan p = planError(e, env_);
    EXPECT_EQ(p.message, r.message);
    EXPECT_EQ(p.buttons, r.buttons);
  }
}

TEST_F(HandlerTest, TooManyOpenFilesAsksToConfigureFirst) {
  rt::ErrorRecord e = rec(rt::kErrOpen, "DBFNTX", 1001, "", "A.DBF", 4);
  Plan p = planError(e, env_);
  EXPECT_TRUE(p.askConfigure);
  EXPECT_EQ(p.buttons, std::vector<std::string>{"Ok"});
  EXPECT_EQ(p.alertText(e), p.message + ";(Erro do DOS 4)");
}

TEST_F(HandlerTest, OsTexts) {
  EXPECT_EQ(_DOSMSG(32), cp("Violação de compartilhamento"_cp));
  EXPECT_EQ(_DOSMSG(112, 2), cp("Espaço insuficiente no disco;;Libere espaço no disco"_cp));
  EXPECT_EQ(_DOSMSG(2, 2), cp("Arquivo näo existe"_cp));
  EXPECT_EQ(_DOSMSG(65), "Acesso negado");
  EXPECT_EQ(_DOSMSG(7), "");
  EXPECT_EQ(DOSERRORMSG(5), "Acesso negado;;Verifique se o arquivo/dispositivo esta em uso ou direitos de acesso");
  EXPECT_EQ(rt::getVar("CMSG").string(), DOSERRORMSG(5));
  EXPECT_EQ(_DOSMSG(1202, 2), cp("Nome local já está em uso;;Verifique as conexões em uso ou já mapeadas;"_cp));
}

TEST_F(HandlerTest, ErrorMessage) {
  rt::ErrorRecord e = rec(rt::kErrOpen, "DBFNTX", 1001, "RICLAS", "C:\\X.DBF");
  EXPECT_EQ(ERRORMESSAGE(e), "Error DBFNTX/1001  Erro de abertura: C:\\X.DBF");
  e.filename.clear();
  e.severity = 1;
  EXPECT_EQ(ERRORMESSAGE(e), "Warning DBFNTX/1001  Erro de abertura: RICLAS");
  EXPECT_EQ(ERRORMESSAGE(rec(rt::kErrDataWidth, "DBFNTX", 1021)), "Error DBFNTX/1021  Tamanho do dado muito longo");
}

TEST_F(HandlerTest, SilentCases) {
  ERRORSYS();
  rt::setNetErr(false);
  rt::ErrorRecord e = rec(rt::kErrOpen, "DBFNTX", 1001, "", "RICLAS.DBF", 32, true, true);
  EXPECT_EQ(rt::raise(e).kind, rt::ErrorAnswer::Default);
  EXPECT_TRUE(rt::netErr());
  rt::setNetErr(false);
  rt::ErrorRecord lock = rec(rt::kErrAppendLock, "DBFNTX", 1024, "", "", 0, true, true);
  EXPECT_EQ(rt::raise(lock).kind, rt::ErrorAnswer::Default);
  EXPECT_TRUE(rt::netErr());
  rt::ErrorRecord div = rec(rt::kErrZeroDiv, "BASE", 1340, "/");
  rt::ErrorAnswer a = rt::raise(div);
  EXPECT_EQ(a.kind, rt::ErrorAnswer::Substitute);
  EXPECT_EQ(a.value.num(), 0);
  EXPECT_TRUE(user_.alerts.empty());
  EXPECT_FALSE(plat::fileExists("ERRO.LOG"));
  EXPECT_FALSE(plat::fileExists("ERRO.SCR"));
  rt::setErrorHandler(nullptr);
}

TEST_F(HandlerTest, CreateFolderThenRetry) {
  ERRORSYS();
  user_.answers = {3};  // "Criar Pasta"
  const std::string target = os::DIRFILE(os::DIRFILE(dir(), "BK"), "X.DBF");
  int attempts = 0;
  rt::LoopResult r = rt::raiseLoop([&](rt::ErrorRecord& e) {
    ++attempts;
    if (plat::dirExists(os::DIRFILE(dir(), "BK"))) return true;
    e = rec(rt::kErrCreate, "DBFNTX", 1004, target.c_str(), "", 3, true);
    return false;
  });
  rt::setErrorHandler(nullptr);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(attempts, 2);
  ASSERT_EQ(user_.alerts.size(), 0u + 1);
  EXPECT_EQ(user_.alerts[0].buttons, (std::vector<std::string>{"Ok", "Repetir", "Criar Pasta"}));
  EXPECT_TRUE(user_.alerts[0].beep);
  EXPECT_TRUE(user_.alerts[0].flash);
  EXPECT_EQ(user_.alerts[0].timeoutMs, 0);
}

TEST_F(HandlerTest, EscShowsTheAlertAgainAndTheEntryIsWrittenAfterTheAnswer) {
  ERRORSYS();
  user_.answers = {0, 0, 2};  // Esc, Esc, "Retry"
  rt::ErrorRecord e = rec(rt::kErrNoVar, "BASE", 1003, "CNOME", "", 0, true, true);
  {
    KOR_ROUTINE("CADASTRO");
    KOR_LINE();
    EXPECT_EQ(rt::raise(e).kind, rt::ErrorAnswer::Retry);
  }
  rt::setErrorHandler(nullptr);
  ASSERT_EQ(user_.alerts.size(), 3u);
  EXPECT_EQ(user_.alerts[2].message, user_.alerts[0].message);
  EXPECT_EQ(user_.alerts[0].message, cp("Variavel não existe : CNOME;\"handler_test->CADASTRO("_cp) +
                                         std::to_string(e.procLine) + ")\"");
  std::string log = read("ERRO.LOG");
  EXPECT_NE(log.find("GenCode    : 14-"), std::string::npos);
  EXPECT_NE(log.find("Operation  : CNOME"), std::string::npos);
  EXPECT_TRUE(plat::fileExists("ERRO.SCR"));
  EXPECT_FALSE(rt::varExists("E"));
}

TEST_F(HandlerTest, ScreenImageHoldsTheScreenAndTheStack) {
  con::setBackend(std::make_unique<con::HeadlessBackend>());
  con::writeAt(0, 0, "CLASUPD - Atualizando");
  con::writeAt(24, 79, "X");
  {
    rt::FrameGuard f(std::string_view("clasupd.prg"), std::string_view("MAIN"), 31);
    SALVATELA();
  }
  std::string scr = read("ERRO.SCR");
  auto l = cfg::splitLines(scr);
  ASSERT_EQ(l.size(), 1u + 25 + 1);
  EXPECT_EQ(l[0].size(), 8u + 1 + 8);  // dd/mm/yy hh:mm:ss
  EXPECT_EQ(l[1], "CLASUPD - Atualizando" + std::string(59, ' '));
  EXPECT_EQ(l[25], std::string(79, ' ') + "X");
  EXPECT_EQ(l[26], "clasupd->MAIN(31)");
  EXPECT_EQ(PRINTSCREEN().substr(0, 82), "CLASUPD - Atualizando" + std::string(59, ' ') + "\r\n");
}

TEST_F(HandlerTest, OkEndsTheProgramWithExitCodeOneAfterAKey) {
  bool closedTables = false, shutdown = false;
  setCloseAllTables([&] { closedTables = true; });
  user_.answers = {1};  // "Ok"
  int code = rt::runProgram(
      [&] {
        ERRORSYS();
        rt::FrameGuard f(std::string_view("clasupd.prg"), std::string_view("MAIN"), 50);
        rt::ErrorRecord e = rec(rt::kErrCorruption, "DBFNTX", 1012, "", "RICLAS.NTX");
        rt::raise(e);
        ADD_FAILURE() << "the handler returned after Ok";
      },
      [&] { shutdown = true; });
  rt::setErrorHandler(nullptr);
  setCloseAllTables(nullptr);
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(closedTables);
  EXPECT_TRUE(shutdown);
  ASSERT_EQ(user_.waits.size(), 1u);
  EXPECT_EQ(user_.waits[0], -1);  // waits for a key without limit
  EXPECT_NE(user_.errorStream.find("\r\nError DBFNTX/1012  Detectado "), std::string::npos);
  EXPECT_NE(user_.errorStream.find("\r\nCalled from clasupd->MAIN(50)"), std::string::npos);
  EXPECT_NE(user_.errorStream.find("\r\nPressione qualquer tecla...\r\n"), std::string::npos);
  EXPECT_NE(read("ERRO.LOG").find("GenCode    : 32-"), std::string::npos);
  rt::setExitCode(0);
}

TEST_F(HandlerTest, HintOf1202NamesTheErrorBeingHandled) {
  ERRORSYS();
  user_.answers = {2};  // "Retry"
  rt::ErrorRecord e = rec(rt::kErrOpen, "TERM", 2, "NET USE", "", 1202, true);
  e.description = "Falha ao mapear";
  rt::raise(e);
  rt::setErrorHandler(nullptr);
  ASSERT_EQ(user_.alerts.size(), 1u);
  EXPECT_NE(user_.alerts[0].message.find(cp("já mapeadas;Falha ao mapear;(Erro do DOS 1202)"_cp)), std::string::npos)
      << user_.alerts[0].message;
}

}  // namespace
}  // namespace kor::err
