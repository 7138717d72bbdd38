// Registration of the console's routines by name: the screen and keyboard
// functions of the language (INKEY, SAVESCREEN, SETCOLOR, ALERT ...), the
// boxes, the progress bars and the form helpers. Idempotent.
#pragma once

namespace kor::con {

void registerRoutines();

}  // namespace kor::con
