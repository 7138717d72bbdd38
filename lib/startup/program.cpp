#include "startup/program.h"

#include <optional>

#include "config/store.h"
#include "console/keys.h"
#include "console/routines.h"
#include "console/screen.h"
#include "errors/activitylog.h"
#include "errors/handler.h"
#include "errors/ui.h"
#include "os/paths.h"
#include "os/shell.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/environment.h"
#include "startup/identity.h"
#include "startup/presence.h"
#include "startup/remote.h"
#include "startup/session.h"
#include "tables/engine.h"
#include "tables/tables.h"
#include "values/textform.h"

namespace kor::startup {

namespace {

bool& finished() {
  static bool f = false;
  return f;
}

// A routine of the database-server layer: the program's own when it has one,
// else the stub's fixed answer.
Value dbLayer(const char* name, Args args, Value stub) {
  if (rt::routineExists(name)) return rt::callRoutine(name, std::move(args));
  return stub;
}

// A key without section of the configuration file, trimmed.
std::string cfgValue(const std::string& key, const std::string& def, const std::string& file) {
  return std::string(alltrim(cfg::READMEMO(Value(key), false, Value(def), file).str()));
}

// Makes a driver the default of the program. The table engine serves the
// DBF/NTX driver; names containing "SQL" or "LETO" belong to the
// database-server and remote-server layers, which are compatibility stubs in
// this program. Any other name is an argument error for the handler.
void makeDefaultDriver(const std::string& driver) {
  if (tables::knownDriver(driver) || ISDBSQL(Value(driver)) || ISDBLETO(Value(driver))) return;
  rt::ErrorRecord e = rt::makeError(rt::kErrArg, "BASE", 5002, "RDDSETDEFAULT");
  e.args = {Value(driver)};
  rt::raise(e);
}

std::string todayText() {
  plat::LocalTime t = plat::localTime(plat::nowMillis());
  return dtoc(DateTime{julianFromYmd(t.year, t.month, t.day), -1});
}

std::string nowText() {
  plat::LocalTime t = plat::localTime(plat::nowMillis());
  return timeText(((t.hour * 60 + t.minute) * 60 + t.second) * 1000);
}

}  // namespace

DbConnection connectionFromConfig(const std::string& cfgFile) {
  DbConnection c;
  struct Key {
    const char* key;
    int kind;  // 0: derived from the value
  };
  static const Key kKeys[] = {{"BANCO", 0}, {"BANCOFB", 6}, {"BANCOFBODBC", 1}, {"BANCOMYSQL", 3}};
  for (auto& k : kKeys) {
    // Each key is read only when the ones before it are empty.
    std::string v = cfg::READMEMO(Value(k.key), false, Value(""), cfgFile).string();
    if (alltrim(v).empty()) continue;
    c.key = k.key;
    c.setting = v;
    switch (k.kind) {
      case 0:
        c.kind = dbLayer("SR_DETECTDBFROMDSN", {Value(v)}, Value());
        c.text = v;
        break;
      case 6:
        c.kind = Value(6);
        c.text = "Firebird=" + v + ";;Uid=SYSDBA;Pwd=quillnest;;charset=WIN1252";
        break;
      case 1:
        c.kind = Value(1);
        c.text = "dsn=" + v + ";";
        break;
      default:
        c.kind = Value(3);
        c.text = "MySQL=" + v + ";";
        break;
    }
    break;
  }
  return c;
}

void INICIAR$() {
  KOR_ROUTINE("INICIAR$");
  finished() = false;
  std::string app = NOME_APLICACAO();
  std::string exe = plat::executablePath();
  for (const char* name : {"NHANDLESISTEMA", "CRDDDEFAULT", "CRDDXBASE", "CBANCO", "NCNN"})
    rt::publicVar(name, Value::logical(false));
  rt::publicVar("CFILESISTEMA", Value(""));

  rt::set(rt::Set::Epoch, Value(1940));
  rt::set(rt::Set::DateFormat, Value(rt::century() ? "dd/mm/yyyy" : "dd/mm/yy"));

  con::setKey(con::key::alt('S'), Value("PERMITIRACESSO"));
  con::setKey(con::key::Close, Value("FECHAX"));
  if (rt::routineExists("SHORTCUT") && !con::hasBinding(con::key::AltF1))
    con::setKey(con::key::AltF1,
                makeBlock([exe](Args&) { return rt::callRoutine("SHORTCUT", {Value(exe)}); }, "{|| SHORTCUT()}",
                          "INICIAR$"));

  createPresenceFile();

  std::string cfgFile = app + ".CFG";
  std::string driver = cfgValue("RDD", "DBFNTX", cfgFile);
  if (driver.empty()) driver = "DBFNTX";  // "RDD=" names no driver
  rt::publicVar("CRDDDEFAULT", Value(driver));
  makeDefaultDriver(driver);
  std::string xbaseDefault = ISDBSQL() ? "DBFNTX" : driver;
  std::string xbase = cfgValue("RDDXBASE", xbaseDefault, cfgFile);
  rt::publicVar("CRDDXBASE", Value(xbase.empty() ? xbaseDefault : xbase));
  if (ISDBLETO()) CONECTALETO(cfgFile);
  if (ISDBSQL()) {
    dbLayer("SR_SETFASTOPEN", {Value::logical(true)}, Value::logical(true));
    DbConnection c = connectionFromConfig(cfgFile);
    rt::publicVar("CBANCO", Value(c.setting));
    if (!c.key.empty()) rt::publicVar("NCNN", dbLayer("SR_ADDCONNECTION", {c.kind, Value(c.text)}, Value(-1)));
  }

  rt::set(rt::Set::CodePage, Value("PT850"));
  rt::set(rt::Set::Language, Value("PT"));
}

void FINALIZAR$() {
  if (finished()) return;
  finished() = true;
  KOR_ROUTINE("FINALIZAR$");
  dbLayer("SR_END", {}, Value());
  removePresenceFile();
  tables::commitAll();
  tables::closeAll();
}

void FECHAX() {
  KOR_ROUTINE("FECHAX");
  err::GRAVALOG("ERRO.LOG", Value(std::string("Fechamento forçado"_cp)));
  std::string message = std::string("Atenção!;Favor fechar o sistema pela opção \"Fim\" do memu.;;("_cp) +
                        std::string(alltrim(machineName())) + "/" + std::string(alltrim(windowsUserName())) + "-" +
                        todayText() + "-" + nowText();
  con::setLastKey(0);
  err::ui::alert(message, {"Ok"});
  if (con::lastKey() == con::key::Close) {
    // Asked to close again while being told how to close: the user insists,
    // or the console is gone and answers every read so. Either way nobody
    // can be kept in the program; it ends through the ordinary shut-down.
    rt::exitProgram(1);
  }
  err::GRAVALOG("ERRO.LOG", Value("Fechamento Abortado"), false);
}

void CONECTALETO(const std::string&) {
  KOR_ROUTINE("CONECTALETO");
  err::ui::alert("Funcao \"ConectaLeto()\" de simples compatibilidade", {"Ok"});
  rt::exitProgram(0);
}

int runApplication(const std::function<void()>& mainFn, bool takeConsole) {
  // 1. Module initial values: every module's routines by name (the modules'
  //    own state starts empty and is built when first used).
  registerProgramRoutines();
  rt::setExitCode(0);
  // 2. Run-time start: the console, the input-field list, the runtime error
  //    handler.
  std::optional<ConsoleSession> console;
  if (takeConsole) console.emplace();
  rt::publicVar("GETLIST", Value::array());
  err::ERRORSYS();
  // 3. to 5.
  return rt::runProgram(
      [&] {
        INICIAR$();
        mainFn();
      },
      [] { FINALIZAR$(); });
}

void registerProgramRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  registerRoutines();  // identity, presence, machine
  os::registerRoutines();
  os::registerShellRoutines();
  cfg::registerRoutines();
  tables::registerRoutines();
  tables::registerTableLayerRoutines();
  con::registerRoutines();
  registerEnvironmentRoutines();
  registerRemoteRoutines();
  rt::registerRoutine("INICIAR$", [](Args&) {
    INICIAR$();
    return Value();
  });
  rt::registerRoutine("FINALIZAR$", [](Args&) {
    FINALIZAR$();
    return Value();
  });
  rt::registerRoutine("FECHAX", [](Args&) {
    FECHAX();
    return Value();
  });
  rt::registerRoutine("CONECTALETO", [](Args& a) -> Value { CONECTALETO(a[0].string()); });
}

}  // namespace kor::startup
