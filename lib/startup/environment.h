// Folders, the operating system, the console window and the keyboard, and
// small utilities of the environment.
//
// On Linux: CRIADIR builds the tree from "/"; ISVISTA is false (no Windows
// there to ask); NUMFILES is the per-process limit of open files; WINTITULO
// sets the terminal's title; the keyboard flags come from the console's
// shift state where the terminal reports it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "values/value.h"

namespace kor::startup {

// CRIADIR(path, alert = false, separators, quiet code): creates every missing
// folder of the path; with the alert, a failure asks "Repetir" or "Ignorar"
// (unless its code is the quiet one). True when the folder exists at the
// end. The separators ("" = the default) split the path's parts: ":" and "\"
// on Windows, "\" on POSIX; "/" always splits on POSIX.
bool CRIADIR(std::string_view path, bool alert = false, std::string_view separators = {},
             std::optional<int> quietCode = std::nullopt);
// DIRDESKTOP(): the Desktop folder.
std::string DIRDESKTOP();
// ISVISTA(): the command interpreter's version text contains "6.".
bool ISVISTA();
// NUMFILES(): the configured number of file handles, 0 when not found.
int NUMFILES();
// WINTITULO(text): the console window's title.
void WINTITULO(std::string_view title);

// TECLASLIGADAS(index): the nine keyboard flags {name, on} (index 0), or the
// on-state of flag `index` (1 to 9).
Value TECLASLIGADAS(int index = 0);
// The shift-state number the flags are split from.
int keyboardStateNumber();
bool ISSHIFT();
bool ISCTRL();

// CRONOMETRO(stop = false): without stop notes the time under the calling
// routine; with it, the time elapsed since that note in words (and the note
// is forgotten).
Value CRONOMETRO(bool stop = false);

// _FUNCAO(field text): the validation of an input field holding an
// expression text: empty, or an expression that yields a text, is accepted;
// anything else is shown "Expressao inválida" and rejected.
bool _FUNCAO(const Value& field);

void registerEnvironmentRoutines();

}  // namespace kor::startup
