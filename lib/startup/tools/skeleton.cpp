// The program skeleton on a real terminal, for the end-to-end tests: the
// library's whole run (start-up, presence file, key bindings, shut-down)
// around a main routine that titles the window and waits for Q (the end)
// or E (a runtime error, which ends the program through the handler); P
// opens the folder picker and shows the folder chosen.
#include "console/keys.h"
#include "console/screen.h"
#include "runtime/runtime.h"
#include "startup/environment.h"
#include "startup/program.h"

int main() {
  using namespace kor;
  return startup::runApplication([] {
    KOR_ROUTINE("MAIN");
    startup::WINTITULO("Esqueleto em execução"_cp);
    con::clearScreen();
    con::say(0, 0, "Pressione Q para sair, E para um erro, P para escolher uma pasta");
    for (;;) {
      int k = con::waitKey(con::Wait::forever());
      if (k == 'q' || k == 'Q') break;
      if (k == 'p' || k == 'P') {
        std::string chosen = rt::callRoutine("FBROWSEFORFOLDER", {}).string();
        con::say(2, 0, std::string(80, ' '));
        con::say(2, 0, "Pasta: [" + chosen + "]");
      }
      if (k == 'e' || k == 'E') {
        rt::ErrorRecord e = rt::makeError(rt::kErrArg, "BASE", 1082, "-");
        rt::raise(e);
      }
    }
  });
}
