// A small program on the real terminal, for the end-to-end tests: it draws
// a desktop, asks the update run's folder question with MSGALERTA and
// writes the answer to the file named by its first argument.
//   console_demo <answer file> [alert|progress]
#include <cstdio>
#include <string>

#include "console/boxes.h"
#include "console/progress.h"
#include "console/routines.h"
#include "console/screen.h"
#include "console/terminal.h"
#include "runtime/runtime.h"

using namespace kor;

int main(int argc, char** argv) {
  std::string answerFile = argc > 1 ? argv[1] : "";
  std::string mode = argc > 2 ? argv[2] : "alert";
  std::string why;
  std::unique_ptr<con::TerminalBackend> term = con::TerminalBackend::open({}, &why);
  if (!term) {
    std::fprintf(stderr, "console_demo: %s\n", why.c_str());
    return 2;
  }
  con::registerRoutines();
  con::setBackend(std::move(term));
  con::setTitle("Utilitário de atualização"_cp);
  con::fillRect(0, 0, con::maxRow(), con::maxCol(), static_cast<uint8_t>("░"_cp[0]), 0x1B);
  con::writeAt(0, 0, std::string(80, ' '), 0x30);
  con::writeAt(0, 27, " Utilitário de atualização "_cp, 0x03);
  int answer = 0;
  if (mode == "progress") {
    Value bar = con::TPROGBAR_INIT(con::TPROGBAR(), Value(50), Value("Importando"));
    for (int i = 0; i < 25; ++i) con::TPROGBAR_INCREMENTA(bar, Value(1));
    answer = con::MSGALERTA(Value("Metade feita;Continuar?"), Value::array({Value("Sim"), Value("Não"_cp)}));
    con::TPROGBAR_CLOSE(bar);
  } else {
    answer = con::MSGALERTA(Value("Confirme a pasta do VELTAR que deseja atualizar;;Pasta: /dados/veltar;"),
                            Value::array({Value("Ok"), Value("Selecionar outra"), Value("Cancelar")}));
  }
  con::setBackend(nullptr);  // gives the terminal back
  if (!answerFile.empty()) {
    if (std::FILE* f = std::fopen(answerFile.c_str(), "w")) {
      std::fprintf(f, "%d\n", answer);
      std::fclose(f);
    }
  }
  return 0;
}
