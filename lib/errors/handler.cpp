#include "errors/handler.h"

#include <cstdio>

#include "config/memofile.h"
#include "errors/activitylog.h"
#include "errors/errorlog.h"
#include "errors/ui.h"
#include "errors/xtoc.h"
#include "os/paths.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/engine/workarea.h"
#include "values/cp850.h"
#include "values/textform.h"

namespace kor::err {

namespace {

struct DosRow {
  int code;
  std::string_view text;
  std::string_view hint;
};

// The operating system's error texts, in table order (a lookup takes the
// first row of a code).
const DosRow kDosRows[] = {
    {0, "Bem sucedido"_cp, ""},
    {2, "Arquivo näo existe"_cp, ""},
    {3, "Caminho näo existe"_cp, ""},
    {4, "Muitos arquivos abertos"_cp, ""},
    {5, "Acesso negado"_cp, ";Verifique se o arquivo/dispositivo esta em uso ou direitos de acesso"_cp},
    {6, "Invalid handle"_cp, ";O arquivo pode estar corrompido"_cp},
    {8, "Memoria insulficiente"_cp, ""},
    {15, "Especificaçäo de drive invalido"_cp, ""},
    {19, "Disco protegido contra gravaçäo"_cp, ""},
    {21, "Drive näo preparado"_cp, ""},
    {23, "Dados CRC erro"_cp, ""},
    {29, "Erro na gravaçäo"_cp, ";Verifique o espaco disponivel ou direitos de gravação"_cp},
    {30, "Erro na leitura"_cp, ";Verifique os direitos de leitura"_cp},
    {32, "Violação de compartilhamento"_cp, ";Verifique se o arquivo/dispositivo esta em uso ou direitos de acesso"_cp},
    {33, "Violaçäo de bloqueio"_cp, ";Verifique seus direitos de acesso"_cp},
    {34, "Mudança de disco inválido"_cp, ""},
    {35, "FCB indisponível"_cp, ""},
    {36, "Partilha de estouro de buffer"_cp, ""},
    {38, "Não foi possível concluir a operação"_cp, ""},
    {50, "pedido de rede não suportada"_cp, ""},
    {51, "computador remoto não escuta"_cp, ""},
    {52, "Nome duplicado na rede"_cp, ""},
    {53, "Caminho de rede não encontrado"_cp, ""},
    {54, "Rede ocupada"_cp, ""},
    {55, "Dispositivo de rede já não existe"_cp, ""},
    {56, "NETBIOS comando limite excedido"_cp, ""},
    {57, "Erro de sistema, NETBIOS erro"_cp, ""},
    {58, "Resposta incorreta da rede"_cp, ""},
    {59, "erro de rede inesperado"_cp, ""},
    {60, "Adaptador incompatível remoto"_cp, ""},
    {61, "Fila de impressão cheia"_cp, ""},
    {62, "Não há espaço suficiente para o arquivo de impressão"_cp, ""},
    {63, "Arquivo de impressão foi cancelado"_cp, ""},
    {64, "O Nome de rede não está mais disponível"_cp, ";Verifique a conexão com o servidor"_cp},
    {65, "Acesso negado"_cp, ""},
    {66, "Tipo de dispositivo de rede incorreto"_cp, ""},
    {67, "O nome da rede não encontrado"_cp, ""},
    {68, "O nome da rede ultrapassou limite"_cp, ""},
    {69, "NETBIOS ultrapassado o limite da sessão"_cp, ""},
    {70, "Compartilhamento temporariamente em pausa"_cp, ""},
    {71, "Pedido de rede não aceito"_cp, ""},
    {72, "Impressora ou redirecionamento do disco está em pausa"_cp, ""},
    {80, "O arquivo já existe"_cp, ""},
    {82, "Não é possível criar a pasta ou arquivo"_cp, ""},
    {83, "Falha no INT 24"_cp, ""},
    {84, "Limite de redirecionamentos"_cp, ""},
    {85, "Redirecionamento já está em uso"_cp, ""},
    {86, "Senha inválida"_cp, ""},
    {87, "Parâmetro inválido"_cp, ""},
    {88, "Falha de gravação na rede"_cp, ""},
    {89, "Função não suportada pela rede"_cp, ""},
    {90, "Componente obrigatório do sistema não foi instalado"_cp, ""},
    {1130,
     "Não há espaço suficiente no servidor para processar a tarefa ou não foi possível detectar por falta de acesso a unidade"_cp,
     ";Libere espaço no disco ou verifique direitos de acesso"_cp},
    {112, "Espaço insuficiente no disco"_cp, ";Libere espaço no disco"_cp},
    {1202, "Nome local já está em uso"_cp, ";Verifique as conexões em uso ou já mapeadas;"_cp},
};
static_assert(std::size(kDosRows) == 55);

constexpr std::string_view kReindexHint =
    ";Talvez a reindexação resolva o problema;Caso contrário entre em contato com o suporte"_cp;

// The error being handled (the hint of code 1202 names its description).
const rt::ErrorRecord*& currentError() {
  static const rt::ErrorRecord* e = nullptr;
  return e;
}

struct Hooks {
  std::function<void()> closeAllTables;
  std::function<bool(const std::string&)> createFolder;
  std::function<void(const std::string&)> connectPort;
};
Hooks& hooks() {
  static Hooks h;
  return h;
}

bool makerEnvironment() {
  auto a = plat::getEnv("AMBIENTE");
  return a && upper(*a).rfind("KORVO", 0) == 0;
}

std::string joined(const std::vector<Value>& items, std::string_view sep) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) out += (i ? std::string(sep) : "") + textOf(items[i]);
  return out;
}

void replaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
    s.replace(p, from.size(), to);
}

bool isErrorSystem(std::string_view routine) {
  for (std::string_view n : {"DEFERROR", "ERRORSYS", "_SAIR", "_ALERTA_ERRO", "GRAVAERROLOG", "SHOWERRO",
                             "SALVATELA", "ERRORMESSAGE"})
    if (routine == n) return true;
  return false;
}

// The print port of an OPERATION such as "LPT1.PRN".
std::string portOf(const std::string& operation) {
  std::string up = upper(operation);
  size_t p = up.find(".PRN");
  return p == std::string::npos ? operation : operation.substr(0, p);
}

// Creates a folder tree; on failure asks "Repetir" / "Ignorar" as the
// folder-creation dialogue does.
bool createFolderWithAlert(const std::string& folder) {
  for (;;) {
    int rc = plat::makeDirs(folder);
    if (rc == plat::kOk && plat::dirExists(folder)) return true;
    int code = rc < 0 ? -rc : rc;
    int a = ui::alert("Erro do DOS " + std::to_string(code) + " !;Ao criar a pasta " + folder + " !",
                      {"Repetir", "Ignorar"});
    if (a == 2) return false;
  }
}

HandlerEnv defaultEnv() {
  HandlerEnv env;
  env.upperCaseNames = plat::separator() == '\\';
  env.fullPath = [](const std::string& f) { return os::_TRUENAME(f); };
  env.attributes = [](const std::string& f) {
    plat::FileInfo i = plat::statPath(f);
    return i.exists ? i.attributes : -1;
  };
  env.portNetworkName = [](const std::string&) { return std::string(); };
  env.fieldInfo = [](const std::string& name) {
    HandlerEnv::FieldInfo f;
    if (tables::WorkArea* a = tables::area()) {
      f.alias = a->alias();
      f.recno = static_cast<long>(a->recNo());
      if (const auto* d = a->field(a->fieldPos(name))) {
        f.type = d->type;
        f.len = d->len;
        f.dec = d->dec;
      }
    }
    return f;
  };
  return env;
}

}  // namespace

HandlerEnv& handlerEnv() {
  static HandlerEnv env = defaultEnv();
  return env;
}

void setCloseAllTables(std::function<void()> fn) { hooks().closeAllTables = std::move(fn); }
void setCreateFolder(std::function<bool(const std::string&)> fn) { hooks().createFolder = std::move(fn); }
void setConnectPort(std::function<void(const std::string&)> fn) { hooks().connectPort = std::move(fn); }

std::string _DOSMSG(int code, int mode) {
  for (const DosRow& r : kDosRows) {
    if (r.code != code) continue;
    std::string t(r.text);
    if (mode == 2 && !r.hint.empty()) {
      t += ";" + std::string(r.hint);
      if (code == 1202 && currentError()) t += currentError()->description;
    }
    return t;
  }
  return "";
}

std::string DOSERRORMSG(int code) {
  std::string t = _DOSMSG(code, 2);
  if (rt::varExists("CMSG"))
    rt::assignVar("CMSG", Value(t));
  else
    rt::publicVar("CMSG", Value(t));
  return t;
}

std::string ERRORMESSAGE(const rt::ErrorRecord& e) {
  std::string r = e.severity > 1 ? "Error " : "Warning ";
  r += e.subsystem + "/" + std::to_string(e.subCode) + "  " + e.description;
  if (!e.filename.empty())
    r += ": " + e.filename;
  else if (!e.operation.empty())
    r += ": " + e.operation;
  replaceAll(r, "dato", "dado");
  return r;
}

int _ALERTA_ERRO(const std::string& message, const std::vector<std::string>& buttons,
                 std::optional<double> timeoutSeconds) {
  KOR_ROUTINE("_ALERTA_ERRO");
  int64_t ms = 0;
  if (timeoutSeconds)
    ms = static_cast<int64_t>(*timeoutSeconds * 1000.0 + 0.5);
  else if (!buttons.empty() && upper(buttons[0]) == "REPETIR")
    ms = 5000;
  return ui::alert(message, buttons, ms, true, true);
}

std::string errorLocation(const rt::ErrorRecord& e) {
  for (const rt::StackEntry& s : e.stack)
    if (s.line > 0 && !isErrorSystem(s.routine)) return rt::locationText(rt::FrameInfo{s.module, s.routine, s.line});
  return "";
}

std::string Plan::alertText(const rt::ErrorRecord& e) const {
  return e.osCode ? message + ";(Erro do DOS " + std::to_string(e.osCode) + ")" : message;
}

std::optional<rt::ErrorAnswer> silentAnswer(const rt::ErrorRecord& e) {
  if ((e.genCode == rt::kErrOpen && e.osCode == plat::kSharingViolation && e.canDefault) ||
      (e.genCode == rt::kErrAppendLock && e.canDefault))
    return rt::ErrorAnswer::byDefault();
  if (e.genCode == rt::kErrZeroDiv) return rt::ErrorAnswer::substitute(Value(0));
  return std::nullopt;
}

Plan planError(rt::ErrorRecord& e, const HandlerEnv& env) {
  if (!e.filename.empty()) {
    if (env.upperCaseNames) e.filename = upper(e.filename);
    if (e.filename.find("MEM:") == std::string::npos) e.filename = env.fullPath(e.filename);
  }
  const std::string& op = e.operation;
  const int g = e.genCode, os = e.osCode;
  const bool indexFile = upper(e.filename).find(upper(env.indexExt)) != std::string::npos;
  const bool makeFolder = os == plat::kPathNotFound && !op.empty();
  std::optional<std::string> m;
  std::optional<std::vector<std::string>> b;
  std::string hint;
  Plan plan;

  if ((g == rt::kErrPrint || g == rt::kErrCreate) && upper(op).find(".PRN") != std::string::npos &&
      e.subsystem == "TERM" && (e.subCode == 0 || e.subCode == 2014)) {
    std::string net = env.portNetworkName(portOf(op));
    m = "Erro ao imprimir em ";
    if (!net.empty()) *m += ";(" + net + ")";
    if (makeFolder) *m += ";" + op;
    b = {"Ok", "Repetir"};
    if (!net.empty()) b->push_back("Conectar agora");
    if (makeFolder) b->push_back("Criar Pasta");
  } else if (g == rt::kErrCreate) {
    m = "Erro criando arquivo";
    if (makeFolder) *m += ";" + op;
    b = {"Ok", "Repetir"};
    if (makeFolder) b->push_back("Criar Pasta");
  } else if (g == rt::kErrWrite) {
    m = std::string("Erro de gravação/escrita"_cp);
    b = {"Ok", "Repetir"};
  } else if (g == rt::kErrShared) {
    m = "Erro 37;" + std::string(alltrim(e.description)) + ";" + std::string(alltrim(e.filename));
    b = {"Ok", "Repetir"};
  } else if (g == rt::kErrNoVar) {
    m = std::string("Variavel não existe : "_cp) + op + ";\"" + errorLocation(e) + "\"";
  } else if (g == rt::kErrSyntax && e.subsystem == "BASE" && e.subCode == 1449) {
    m = "Erro de sintaxe BASE/1449;" + joined(e.args, ";");
  } else if (g == rt::kErrCorruption || (os == 38 && indexFile)) {
    m = "Erro " + e.subsystem + "/" + std::to_string(e.subCode) + " na abertura do arquivo;" + e.filename +
        ";O arquivo pode estar corrompido";
    if (indexFile) {
      *m += std::string(";É necessário reindexar sua base de dados"_cp);
    } else if (!e.filename.empty()) {
      *m += std::string(kReindexHint);
    } else if (Value a = rt::getVar("_abrindo"); a.isText() && !a.empty()) {
      *m += ";na abertura de " + a.string();
    }
    *m += ";";
    b = {"Ok"};
  } else if (g == rt::kErrOpen && os == plat::kTooManyOpen) {
    plan.askConfigure = true;
    b = {"Ok"};
  } else if (g == rt::kErrOpen && (os == plat::kNotFound || os == plat::kAccessDenied)) {
    if (os == plat::kNotFound && indexFile) hint = std::string(kReindexHint);
    b = {"Ok", "Repetir"};
  } else if (g == rt::kErrDataWidth && !op.empty()) {
    HandlerEnv::FieldInfo f = env.fieldInfo(op);
    m = "Erro " + e.subsystem + "/" + std::to_string(e.subCode) + " Tamanho do dado muito longo:;" + f.alias + "->" +
        op + ", " + std::string(1, f.type) + ", " + std::to_string(f.len) + ", " + std::to_string(f.dec) + "(" +
        std::to_string(f.recno) + ")";
  } else if (g == rt::kErrNoOrder) {
    e.canDefault = false;
  } else if (g == rt::kErrArg || g == rt::kErrBound) {
    m = ";" + e.description + ";" + op + ";" + joined(e.args, ", ") + ";;Informe o suporte tecnico;\"" +
        upper(errorLocation(e)) + "\"";
  }

  // The operating system's word on it, and the file with its attributes.
  std::string dos;
  if (os != 0) {
    dos = ";" + _DOSMSG(os, 2);
    if (!e.filename.empty()) {
      dos += ";(" + e.filename;
      switch (env.attributes(e.filename)) {
        case 1: dos += " \"Read-Only\""; break;
        case 2: dos += " \"Hidden\""; break;
        case 4: dos += " \"System\""; break;
        default: break;
      }
      dos += ")";
    }
  }
  dos += hint;
  // A row that left M unset shows the standard one-line text, followed by
  // the operating system's part.
  plan.message = (m ? *m : ERRORMESSAGE(e)) + dos;
  if (b) {
    plan.buttons = *b;
  } else {
    plan.buttons = {"Quit"};
    if (e.canRetry) plan.buttons.push_back("Retry");
    if (e.canDefault) plan.buttons.push_back("Default");
  }
  return plan;
}

void _SAIR(const rt::ErrorRecord& e) {
  KOR_ROUTINE("_SAIR");
  ui::ops().cursorBelowScreen();
  std::string t = "\r\n" + ERRORMESSAGE(e);
  if (e.osCode) t += "( DOS ERROR " + std::to_string(e.osCode) + ")";
  for (const rt::StackEntry& s : e.stack)
    t += "\r\nCalled from " + rt::locationText(rt::FrameInfo{s.module, s.routine, s.line});
  ui::ops().writeError(t);
  if (hooks().closeAllTables)
    hooks().closeAllTables();
  else
    tables::closeAll();
  ui::ops().writeError("\r\nPressione qualquer tecla...\r\n");
  ui::ops().clearKeys();
  ui::waitKey(-1);
  if (makerEnvironment()) return;
  rt::setExitCode(1);
  ui::ops().pushKey(13);
  rt::exitProgram(1);
}

namespace {

[[noreturn]] void exitAfterError(const rt::ErrorRecord& e, const Plan& p) {
  _SAIR(e);
  // The maker's own environment: _SAIR came back after the key.
  std::string t = p.message;
  if (e.osCode) t += " (DOS Error " + std::to_string(e.osCode) + ") ";
  for (const rt::StackEntry& s : e.stack)
    t += "\r\nCalled from " + rt::locationText(rt::FrameInfo{s.module, s.routine, s.line});
  ui::ops().writeError(t + "\r\n");
  rt::setExitCode(1);
  ui::ops().pushKey(13);
  rt::exitProgram(1);
}

}  // namespace

rt::ErrorAnswer DEFERROR(rt::ErrorRecord& e) {
  KOR_ROUTINE("DEFERROR");
  // An error raised while an error is being handled cannot be handled by
  // the same dialogue again: say what it was and end.
  static int depth = 0;
  if (depth > 0) {
    ui::ops().writeError("\r\n" + ERRORMESSAGE(e) + "\r\n");
    rt::exitProgram(1);
  }
  ++depth;
  const rt::ErrorRecord* outer = currentError();
  struct Done {
    const rt::ErrorRecord* outer;
    ~Done() {
      --depth;
      currentError() = outer;
      rt::releaseVar("E");
    }
  } done{outer};

  ui::ops().flush();
  if (auto a = silentAnswer(e)) {
    if (e.genCode != rt::kErrZeroDiv) rt::setNetErr(true);
    return *a;
  }
  currentError() = &e;
  rt::publicVar("E", errorObject(e));

  Plan plan = planError(e);
  if (plan.askConfigure) {
    int a = _ALERTA_ERRO(std::string("Atençao !;É necessário configurar os arquivos do sistema;operacional para o "
                                     "correto funcionamento do sistema"_cp),
                         {"Configurar agora", "Cancelar"});
    if (a == 1 && !makerEnvironment()) _SAIR(e);
  }
  const std::string text = plan.alertText(e);
  int choice = 0;
  while (choice < 1 || choice > static_cast<int>(plan.buttons.size()))
    choice = _ALERTA_ERRO(text, plan.buttons);
  SALVATELA();
  GRAVAERROLOG(e);

  const std::string& button = plan.buttons[choice - 1];
  if (button == "Retry" || button == "Repetir") return rt::ErrorAnswer::retry();
  if (button == "Default") return rt::ErrorAnswer::byDefault();
  if (button == "Criar Pasta") {
    std::string folder = os::folderOf(handlerEnv().fullPath(e.operation), false, os::nativeStyle());
    if (hooks().createFolder)
      hooks().createFolder(folder);
    else
      createFolderWithAlert(folder);
    return rt::ErrorAnswer::retry();
  }
  if (button == "Conectar agora") {
    if (hooks().connectPort) hooks().connectPort(portOf(e.operation));
    return rt::ErrorAnswer::retry();
  }
  exitAfterError(e, plan);  // "Quit", "Ok"
}

void ERRORSYS() { rt::setErrorHandler(DEFERROR); }

void SALVATELA() {
  KOR_ROUTINE("SALVATELA");
  // Any failure while building or writing the image is ignored.
  rt::guard(
      [] {
        plat::LocalTime t = plat::localTime(plat::nowMillis());
        char hms[16];
        std::snprintf(hms, sizeof hms, "%02d:%02d:%02d", t.hour, t.minute, t.second);
        std::string text = dtoc(DateTime{julianFromYmd(t.year, t.month, t.day), -1}) + " " + hms + "\r\n";
        text += PRINTSCREEN();
        auto frames = rt::callStack(1);  // from SALVATELA's caller
        for (size_t i = 0; i < frames.size(); ++i) text += (i ? "\r\n" : "") + rt::fullLocationText(frames[i]);
        cfg::MEMOWRITE("ERRO.SCR", text);
      },
      [](rt::ErrorRecord&) {});
}

std::string PRINTSCREEN() {
  std::string out;
  for (const std::string& row : ui::ops().screenRows()) out += row + "\r\n";
  return out;
}

void registerRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  auto opt = [](const Value& v) { return v.isNumber() ? std::optional<int>(static_cast<int>(v.integer())) : std::nullopt; };
  rt::registerRoutine("_DOSMSG", [](Args& a) {
    return Value(_DOSMSG(static_cast<int>(a[0].integer()), a[1].isNumber() ? static_cast<int>(a[1].integer()) : 1));
  });
  rt::registerRoutine("DOSERRORMSG", [](Args& a) { return Value(DOSERRORMSG(static_cast<int>(a[0].integer()))); });
  rt::registerRoutine("ERRORMESSAGE", [](Args& a) { return Value(ERRORMESSAGE(errorRecordOf(a[0]))); });
  rt::registerRoutine("_ALERTA_ERRO", [](Args& a) {
    std::vector<std::string> buttons;
    if (a[1].isArray())
      for (const Value& b : a[1].items()) buttons.push_back(textOf(b));
    if (buttons.empty()) buttons.push_back("Ok");
    std::optional<double> t;
    if (a[3].isNumber()) t = a[3].num();
    return Value(_ALERTA_ERRO(a[0].isText() ? a[0].string() : textOf(a[0]), buttons, t));
  });
  rt::registerRoutine("DEFERROR", [](Args& a) {
    rt::ErrorRecord e = errorRecordOf(a[0]);
    rt::ErrorAnswer ans = DEFERROR(e);
    if (ans.kind == rt::ErrorAnswer::Retry) return Value::logical(true);
    if (ans.kind == rt::ErrorAnswer::Substitute) return ans.value;
    return Value::logical(false);
  });
  rt::registerRoutine("ERRORSYS", [](Args&) {
    ERRORSYS();
    return Value();
  });
  rt::registerRoutine("_SAIR", [](Args& a) {
    _SAIR(errorRecordOf(a[0]));
    return Value();
  });
  rt::registerRoutine("SALVATELA", [](Args&) {
    SALVATELA();
    return Value();
  });
  rt::registerRoutine("PRINTSCREEN", [](Args&) { return Value(PRINTSCREEN()); });
  rt::registerRoutine("GRAVAERROLOG", [](Args& a) {
    GRAVAERROLOG(errorRecordOf(a[0]), a[1].isText() ? a[1].string() : "ERRO.LOG");
    return Value();
  });
  rt::registerRoutine("SHOWERRO", [opt](Args& a) {
    SHOWERRO(errorRecordOf(a[0]), opt(a[1]));
    return Value();
  });
  rt::registerRoutine("GRAVALOG", [opt](Args& a) {
    GRAVALOG(a[0].string(), a[1], a[2].isLogical() ? a[2].log() : true, a[3].isLogical() ? a[3].log() : true,
             a[4].log(), opt(a[5]));
    return Value();
  });
  rt::registerRoutine("GETCALLSTACK", [](Args&) { return GETCALLSTACK(); });
  rt::registerRoutine("STACK", [](Args& a) {
    std::vector<rt::StackEntry> st;
    if (a[0].isObject()) {
      st = errorRecordOf(a[0]).stack;
    } else if (a[0].isArray()) {
      for (const Value& x : a[0].items())
        st.push_back(rt::StackEntry{x.at(0).string(), x.at(1).string(), static_cast<int>(x.at(2).integer())});
    }
    return Value(STACK(st));
  });
  rt::registerRoutine("ROTINAANTERIOR", [](Args&) { return ROTINAANTERIOR(); });
}

}  // namespace kor::err
