#include "os/shell.h"

#include "console/screen.h"
#include "errors/activitylog.h"
#include "errors/ui.h"
#include "errors/xtoc.h"
#include "os/paths.h"
#include "os/picker.h"
#include "platform/platform.h"
#include "platform/system.h"
#include "runtime/runtime.h"
#include "startup/identity.h"
#include "tables/engine.h"
#include "values/textform.h"

namespace kor::os {

namespace {

bool windows() { return nativeStyle().drives; }

// The one-line status text at the foot of the screen (the hint routine of
// the message boxes, when the program has it).
void status(const std::string& text) {
  if (rt::routineExists("MSGEXP")) rt::callRoutine("MSGEXP", {Value(text)});
}

bool exists(const std::string& path) { return plat::statPath(path).exists; }

// Half a second, on the platform clock (tests run it on the virtual one).
void pause() { plat::sleepMillis(500); }

// The configuration switch PRINTHTML: through the control-file reader when
// the program has it, else a logical global variable of that name.
bool printHtml() {
  if (rt::routineExists("CHKVARINI")) return rt::callRoutine("CHKVARINI", {Value("PRINTHTML")}).log();
  Value v = rt::getVar("PRINTHTML");
  return v.isLogical() && v.log();
}

// The executable's file name without folder and ".EXE".
std::string programName() {
  std::string name = NOMEARQ(plat::executablePath());
  if (name.size() > 4 && upper(name.substr(name.size() - 4)) == ".EXE") name.resize(name.size() - 4);
  return name;
}

// A text in single quotes for the POSIX shell.
std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

std::string shellExecuteMessage(int code) {
  struct Entry {
    int code;
    std::string_view text;
  };
  static const Entry kMessages[] = {
      {0, "Sistema estava fora de memória, arquivo executável foi corrompido, ou deslocalizações eram inválidos."_cp},
      {2, "Arquivo não foi encontrado."_cp},
      {3, "Caminho não foi encontrado."_cp},
      {5, "Tentativa de vincular dinamicamente uma tarefa, ou foi um erro de;compartilhamento ou proteção de rede."_cp},
      {6, "Biblioteca necessários segmentos de dados separados para cada tarefa."_cp},
      {8, "Memória insuficiente para iniciar o aplicativo."_cp},
      {10, "Versão do Windows estava incorreto."_cp},
      {11, "Arquivos executáveis era inválido. Ou não era um Windows aplicação, ou houve um erro na imagem exe."_cp},
      {12, "A aplicação foi projetada para um sistema operacional diferente."_cp},
      {13, "Aplicação foi projetado para MS-DOS 4.0."_cp},
      {14, "Tipo de arquivo executável era desconhecida."_cp},
      {15, "Tentativa de carregar um aplicativo de modo real (desenvolvido para uma versão anterior do Windows)."_cp},
      {16, "Tentativa de carregar uma segunda instância de um arquivo executável contendo múltiplos segmentos de "
           "dados que não foram marcados como somente leitura."_cp},
      {19, "Tentativa de carregar um arquivo executável compactado. o arquivo deve ser descompactado antes de ser "
           "carregado."_cp},
      {20, "Dynamic-link library (DLL) era inválido. Um dos DLLs necessárias para executar este aplicativo estava "
           "corrompida."_cp},
      {21, "Aplicação requer o Microsoft Windows de 32 bits extensões."_cp},
      {31, "Não existe nenhuma associação para o arquivo especificado."_cp},
  };
  for (auto& e : kMessages) {
    if (e.code != code) continue;
    std::string text(e.text);
    // The console's non-breaking blank keeps these long texts from being
    // broken into lines inside the alert.
    if (code <= 21)
      for (char& c : text)
        if (c == ' ') c = static_cast<char>(0xFF);
    return text;
  }
  return "";
}

int SHELL_EXECUTE(std::string_view file, int action, int window, std::string_view parameters) {
  KOR_ROUTINE("SHELL_EXECUTE");
  std::string f(file);
  bool existed = exists(std::string(alltrim(f)));
  int code = plat::shellExecute(std::string(alltrim(f)), action == 2 ? "print" : "open", std::string(parameters),
                                window);
  std::string message = shellExecuteMessage(code);
  if (message.empty()) return code;
  err::GRAVALOG("ERRO.LOG", Value("Erro " + std::to_string(code) + "-" + message + "#;#" + "Executando: " + f +
                                  (existed ? "" : " (Nao encontrado)") + " acao: " + err::textOf(Value(action)) +
                                  " window: " + err::textOf(Value(window))));
  err::ui::alert(message + ";(" + std::string(alltrim(f)) + ")", {"Ok"});
  return code;
}

int ABRIRPASTA(std::string_view name) {
  KOR_ROUTINE("ABRIRPASTA");
  std::string n(alltrim(name));
  bool isFile = plat::fileExists(n);
  if (windows()) {
    std::string explorer = DIRFILE(startup::DIRWINDOWS(), "explorer.exe");
    return plat::shellExecute(explorer, "open", isFile ? "/n, /select, " + n : n, 1);
  }
  // The desktop's opener shows a folder in the file manager; a file's own
  // folder is opened (selecting the file is not something it can be asked).
  return plat::shellExecute(isFile ? NOMEDIR(n, false) : n, "open", "", 1);
}

void SHELL(std::string_view name) {
  KOR_ROUTINE("SHELL");
  plat::shellExecute(std::string(alltrim(name)), "open", "", 1);
}

void START(std::string_view nameArg, int mode, const Value& messageArg, bool offerMail) {
  KOR_ROUTINE("START");
  std::string screen = con::saveScreen();
  std::string name(alltrim(nameArg));
  bool isFolder = !plat::fileExists(name) && plat::dirExists(name);
  std::string folder;
  int preset = 0;
  if (isFolder) {
    folder = name;
    if (mode == 3) preset = 2;
  } else {
    folder = NOMEDIR(name, false);
    if (mode == 3) preset = 3;
  }
  if (mode == 0) mode = upper(name).find(".TXT") != std::string::npos ? 1 : 2;
  bool longName = NOMEARQ(name).size() > 12;
  if (!longName) name = _TRUENAME(name);
  std::string message = messageArg.isText() ? messageArg.string()
                                            : std::string("O arquivo está disponível em:;"_cp) + name + std::string(";Selecione a ação"_cp);
  if (!(plat::fileExists(name) || isFolder || longName)) {
    con::restoreScreen(screen);
    return;
  }
  std::vector<std::string> choices = {"Ok", "P=Abrir Pasta"};
  if (mode == 3 || (mode == 2 && !isFolder)) choices.push_back("A=Abrir Arquivo");
  if (printHtml() && upper(name).find(".HTM") != std::string::npos) choices.push_back("Imprimir");
  if (offerMail && plat::fileExists("SENDMAIL.EXE")) choices.push_back("E-Enviar e-mail");
  std::string chosen;
  if (mode != 3) {
    status("Selecione");
    con::clearKeys();
    int n = err::ui::alert(message, choices);
    if (n >= 1 && static_cast<size_t>(n) <= choices.size()) chosen = choices[static_cast<size_t>(n) - 1];
  } else if (preset >= 1 && static_cast<size_t>(preset) <= choices.size()) {
    chosen = choices[static_cast<size_t>(preset) - 1];
  }
  if (chosen == "P=Abrir Pasta") {
    status("Abrindo pasta ... (" + folder + ")");
    ABRIRPASTA(name);
  } else if (chosen == "A=Abrir Arquivo") {
    status("Abrindo arquivo ... (" + name + ")");
    // With a Shift key held Windows asks which program opens the file; the
    // Linux desktop has no such question to ask, the file is opened.
    if (windows() && (con::shiftState() & 3))
      MYRUN("rundll32.exe shell32.dll,OpenAs_RunDLL " + _TRUENAME(name));
    else
      SHELL_EXECUTE(name);
  } else if (chosen == "E-Enviar e-mail") {
    if (rt::routineExists("ATTACHMAIL")) rt::callRoutine("ATTACHMAIL", {Value(name)});
  } else if (chosen == "Imprimir") {
    if (rt::routineExists("IMPRIMEHTML")) rt::callRoutine("IMPRIMEHTML", {Value(name)});
  }
  con::restoreScreen(screen);
}

void MYRUN(std::string_view command, std::string_view arguments) {
  KOR_ROUTINE("MYRUN");
  std::string cmd(alltrim(command));
  if (cmd.rfind("\\\\", 0) == 0) {
    SHELL_EXECUTE(cmd, 1, 1, arguments);
    return;
  }
  std::string line = cmd;
  if (!arguments.empty()) line += " " + std::string(arguments);
  int rows = con::maxRow() + 1, cols = con::maxCol() + 1;
  con::refresh();
  con::backend().suspend();
  plat::runShell(line);
  con::backend().resume();
  con::setMode(rows, cols);
  con::refresh();
}

bool RODADOS() {
  KOR_ROUTINE("RODADOS");
  std::string screen = con::saveScreen();
  std::string colour = con::colorText();
  int shape = con::cursorShape();
  int row = con::row(), col = con::col();
  std::string oldTitle = con::title();
  std::string folder = DIRETORIO();
  con::setColor("BG+/N");
  con::clearScreen();
  con::say(0, 0, "Digite EXIT para retornar ao Sistema");
  con::setPos(1, 0);
  con::setTitle(oldTitle + " - Prompt de comando ");
  // The interpreter as configured (COMSPEC) with the keyboard state 554, the
  // usual one otherwise.
  int kind = con::shiftState() == 554 ? 3 : 1;
  std::string prompt = "[" + programName() + "]";
  if (windows()) {
    MYRUN(_CMD(kind) + " /K prompt " + prompt + " $p$g");
  } else {
    // The user's shell, interactive, told where it runs; the screen it gets
    // is the terminal's own, so the hint is written there too.
    std::string shell(alltrim(_CMD(kind)));
    MYRUN("echo 'Digite EXIT para retornar ao Sistema'; PS1=" + shellQuote(prompt + " \\w\\$ ") + " exec " + shell +
          " -i");
  }
  con::setTitle(oldTitle);
  CHANGEDIR(folder);
  con::clearKeys();
  con::restoreScreen(screen);
  con::setColor(colour);
  con::setCursor(shape);
  con::setPos(row, col);
  return true;
}

bool NOMELONGO(std::string_view fromArg, std::string_view toArg, std::string_view folderArg, bool replace) {
  KOR_ROUTINE("NOMELONGO");
  std::string from(alltrim(fromArg)), to(alltrim(toArg)), folder(alltrim(folderArg));
  if (!folder.empty() && folder != from && folder != to) {
    from = DIRFILE(folder, NOMEARQ(from));
    to = DIRFILE(folder, NOMEARQ(to));
  }
  if (replace && exists(to)) {
    plat::removeFile(to);
    pause();
  }
  for (;;) {
    // Windows refuses to rename onto an existing file (183); POSIX would
    // replace it silently, so the target is looked at first on every system.
    int code = exists(to) && to != from ? -plat::kAlreadyExists : -plat::renameFile(from, to);
    if (code == 0) return true;
    if (code == -plat::kAlreadyExists && exists(to)) {
      int a = err::ui::alert("O arquivo de destino;" + to + ";" + std::string("já existe, deseja substitui-lo?"_cp), {" Sim ", " Nao "});
      if (a == 1) {
        plat::removeFile(to);
        pause();
        continue;
      }
    }
    int b = err::ui::alert(std::string("Atenção!;Ocorreu o erro "_cp) + std::to_string(code) + " renomeando o arquivo;" + from +
                               " para;" + to,
                           {"Repetir", "Cancelar"});
    if (b == 2) return false;
  }
}

bool EXISTEARQ(std::string_view nameArg, std::string_view extension, bool alert) {
  KOR_ROUTINE("EXISTEARQ");
  std::string name = _TRUENAME(alltrim(nameArg));
  if (name.empty()) return true;
  // Upper case where names ignore it; on POSIX only the file's own name, so
  // the folders keep naming the same folders.
  size_t start = windows() ? 0 : name.size() - NOMEARQ(name).size();
  name = name.substr(0, start) + upper(name.substr(start));
  std::string ext = upper(alltrim(extension));
  if (!ext.empty() && (name.size() < ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0))
    name += ext;
  bool found = plat::fileExists(name);
  if (!found && alert) err::ui::alert(std::string("Atenção!;Arquivo näo encontrado.;("_cp) + name + ")", {"Ok"});
  return found;
}

bool APAGATMP(std::string_view fileArg, std::string_view aliasArg) {
  KOR_ROUTINE("APAGATMP");
  std::string file(alltrim(fileArg)), alias = upper(alltrim(aliasArg));
  if (file.empty() && alias.empty()) {
    tables::WorkArea* a = tables::area();
    if (!a) return true;
    alias = a->alias();
    file = a->path();
  }
  if (alias.empty()) alias = upper(NOMEARQ(file, false));
  if (file.empty()) {
    int n = tables::areaOf(alias);
    if (tables::WorkArea* a = n ? tables::area(n) : nullptr) file = a->path();
  }
  std::vector<std::string> indexes;
  if (int n = tables::areaOf(alias); n != 0) {
    if (tables::WorkArea* a = tables::area(n)) {
      for (int i = 1; i <= a->orderCount(); ++i)
        if (tables::Order* o = a->order(i); o && !o->bagName().empty()) indexes.push_back(o->bagName());
    }
    tables::closeArea(n);
  }
  if (file.empty()) return true;
  // The product's own tables (RI...) are never deleted by this routine.
  if (NOMEARQ(file).rfind("RI", 0) == 0) return !exists(file);
  // The deletion is retried while the file is still there (another program
  // may be closing it), with a pause between attempts and a limit, so that a
  // file that cannot be deleted does not hold the program for ever.
  for (int attempt = 0; attempt < 50 && exists(file); ++attempt) {
    if (plat::removeFile(file) == plat::kOk) break;
    plat::sleepMillis(100);
  }
  for (auto& i : indexes)
    if (exists(i)) plat::removeFile(i);
  return !exists(file);
}

void registerShellRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  registerPickerRoutines();
  auto text = [](const Value& v) { return v.isText() ? v.string() : std::string(); };
  auto num = [](const Value& v, int def) { return v.isNumber() ? static_cast<int>(v.integer()) : def; };
  rt::registerRoutine("SHELL_EXECUTE", [text, num](Args& a) {
    SHELL_EXECUTE(text(a[0]), num(a[1], 1), num(a[2], 1), text(a[3]));
    return Value();
  });
  rt::registerRoutine("ABRIRPASTA", [text](Args& a) { return Value(ABRIRPASTA(text(a[0]))); });
  rt::registerRoutine("SHELL", [text](Args& a) {
    SHELL(text(a[0]));
    return Value();
  });
  rt::registerRoutine("START", [text, num](Args& a) {
    START(text(a[0]), num(a[1], 0), a[2], a[3].isLogical() && a[3].log());
    return Value();
  });
  rt::registerRoutine("MYRUN", [text](Args& a) {
    MYRUN(text(a[0]), text(a[1]));
    return Value();
  });
  rt::registerRoutine("RODADOS", [](Args&) { return Value::logical(RODADOS()); });
  rt::registerRoutine("NOMELONGO", [text](Args& a) {
    return Value::logical(NOMELONGO(text(a[0]), text(a[1]), text(a[2]), !(a[3].isLogical() && !a[3].log())));
  });
  rt::registerRoutine("EXISTEARQ", [text](Args& a) {
    return Value::logical(EXISTEARQ(text(a[0]), text(a[1]), !(a[2].isLogical() && !a[2].log())));
  });
  rt::registerRoutine("APAGATMP", [text](Args& a) { return Value::logical(APAGATMP(text(a[0]), text(a[1]))); });
}

}  // namespace kor::os
