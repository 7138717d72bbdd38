#include "runtime/error.h"

#include <cstdio>

#include "runtime/frames.h"
#include "values/cp850.h"

namespace kor::rt {

namespace {

struct State {
  ErrorHandler handler;
  int guards = 0;
  int exitCode = 0;
  bool netErr = false;
};

State& state() {
  static State s;
  return s;
}

// The default handler until the program installs its own: say what failed on
// the error stream and end the program with exit code 1.
ErrorAnswer plainHandler(ErrorRecord& e) {
  if (e.genCode == kErrZeroDiv) return ErrorAnswer::substitute(Value(0));
  std::fprintf(stderr, "\r\nError %s/%d  %s", e.subsystem.c_str(), e.subCode, e.description.c_str());
  if (!e.filename.empty())
    std::fprintf(stderr, ": %s", e.filename.c_str());
  else if (!e.operation.empty())
    std::fprintf(stderr, ": %s", e.operation.c_str());
  if (e.osCode) std::fprintf(stderr, " (DOS Error %d)", e.osCode);
  for (auto& s : e.stack)
    std::fprintf(stderr, "\r\nCalled from %s",
                 locationText(FrameInfo{s.module, s.routine, s.line}).c_str());
  std::fprintf(stderr, "\r\n");
  exitProgram(1);
}

}  // namespace

std::string_view genCodeText(int g) {
  switch (g) {
    case 0: return "Erro desconhecido"_cp;
    case 1: return "Erro nos parâmetros"_cp;
    case 2: return "Erro de limite"_cp;
    case 3: return "Overflow de string"_cp;
    case 4: return "Overflow numérico"_cp;
    case 5: return "Divisão por zero"_cp;
    case 6: return "Erro numérico"_cp;
    case 7: return "Erro de sintaxe"_cp;
    case 8: return "Operação muito complexa"_cp;
    case 11: return "Memória insuficiente"_cp;
    case 12: return "Função indefinida"_cp;
    case 13: return "Método não exportado"_cp;
    case 14: return "Variável não existe"_cp;
    case 15: return "Alias não existe"_cp;
    case 16: return "Nenhuma variável exportada"_cp;
    case 17: return "Nome de alias incorreto"_cp;
    case 18: return "Nome de alias duplicado"_cp;
    case 20: return "Erro de criação"_cp;
    case 21: return "Erro de abertura"_cp;
    case 22: return "Erro ao fechar"_cp;
    case 23: return "Erro de leitura"_cp;
    case 24: return "Erro de escrita"_cp;
    case 25: return "Erro de impressão"_cp;
    case 30: return "Operação não suportada"_cp;
    case 31: return "Limite excedido"_cp;
    case 32: return "Detectado índice corrompido"_cp;
    case 33: return "Tipo incorreto de dado"_cp;
    case 34: return "Tamanho do dato muito longo"_cp;
    case 35: return "Workarea não está em uso"_cp;
    case 36: return "Workarea não indexada"_cp;
    case 37: return "Uso exclusivo requerido"_cp;
    case 38: return "Travamento requerido"_cp;
    case 39: return "Escrita não permitida"_cp;
    case 40: return "Falha no travamento do Append"_cp;
    case 41: return "Falha no travamento"_cp;
    default: return "";
  }
}

ErrorRecord makeError(int genCode, std::string subsystem, int subCode, std::string operation,
                      std::string filename, int osCode) {
  ErrorRecord e;
  e.genCode = genCode;
  e.subsystem = std::move(subsystem);
  e.subCode = subCode;
  e.operation = std::move(operation);
  e.filename = std::move(filename);
  e.osCode = osCode;
  return e;
}

ErrorHandler setErrorHandler(ErrorHandler h) {
  ErrorHandler old = std::move(state().handler);
  state().handler = std::move(h);
  return old;
}

const ErrorHandler& errorHandler() { return state().handler; }

ErrorAnswer raise(ErrorRecord& rec) {
  if (rec.description.empty()) rec.description = std::string(genCodeText(rec.genCode));
  if (rec.procName.empty()) {
    auto frames = callStack();
    rec.stack.clear();
    for (auto& f : frames) rec.stack.push_back(StackEntry{f.module, f.routine, f.line});
    if (!frames.empty()) {
      rec.moduleName = frames.front().module;
      rec.procName = frames.front().routine;
      rec.procLine = frames.front().line;
    }
  }
  ++rec.tries;
  if (state().guards > 0) throw GuardBreak{rec};
  if (state().handler) return state().handler(rec);
  return plainHandler(rec);
}

LoopResult raiseLoop(const std::function<bool(ErrorRecord& rec)>& attempt) {
  int tries = 0;
  for (;;) {
    ErrorRecord rec;
    if (attempt(rec)) return LoopResult{true, ErrorAnswer::byDefault()};
    rec.tries = tries;
    ErrorAnswer a = raise(rec);
    tries = rec.tries;
    if (a.kind == ErrorAnswer::Retry) continue;
    return LoopResult{false, std::move(a)};
  }
}

bool guard(const std::function<void()>& body, const std::function<void(ErrorRecord&)>& recover) {
  ++state().guards;
  try {
    body();
  } catch (GuardBreak& b) {
    --state().guards;
    if (recover) recover(b.rec);
    return false;
  } catch (...) {
    --state().guards;
    throw;
  }
  --state().guards;
  return true;
}

bool inGuard() { return state().guards > 0; }

void exitProgram(int code) {
  state().exitCode = code;
  throw ProgramExit{code};
}

void setExitCode(int code) { state().exitCode = code; }
int exitCode() { return state().exitCode; }

int runProgram(const std::function<void()>& mainFn, const std::function<void()>& shutdown) {
  auto runShutdown = [&] {
    if (!shutdown) return;
    // The shut-down must not be interrupted by a guard of the main routine.
    int saved = state().guards;
    state().guards = 0;
    try {
      shutdown();
    } catch (ProgramExit&) {
    } catch (GuardBreak&) {
    }
    state().guards = saved;
  };
  try {
    mainFn();
  } catch (ProgramExit& e) {
    state().exitCode = e.code;
  } catch (GuardBreak& b) {
    // Raised outside any guard only if the guard count went wrong; treat as
    // an error exit.
    std::fprintf(stderr, "\r\nError %s/%d  %s\r\n", b.rec.subsystem.c_str(), b.rec.subCode,
                 b.rec.description.c_str());
    state().exitCode = 1;
  }
  runShutdown();
  resetFrames();
  return state().exitCode;
}

bool netErr() { return state().netErr; }
void setNetErr(bool on) { state().netErr = on; }

}  // namespace kor::rt
