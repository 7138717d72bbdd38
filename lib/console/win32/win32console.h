// The Win32 console backend: the 25 x 80 screen buffer of a Windows console
// window, CP850 cells drawn as Unicode characters, keys and mouse events
// translated into the console's key codes, Ctrl+Break and the window's close
// button delivered as key 256.
#pragma once

#include <memory>

#include "console/backend.h"

namespace kor::con {

// The backend for the process's console; nullptr when the process has none.
std::unique_ptr<Backend> makeWin32ConsoleBackend();

// The key code of one Windows key event (for the backend and its tests):
// the virtual-key code, the control-key state bits and the typed character
// (UTF-16). 0 when the event gives no key (a bare Shift, say).
int translateWin32Key(unsigned virtualKey, unsigned controlState, wchar_t ch);

}  // namespace kor::con
