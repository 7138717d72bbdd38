// Programs and documents: handing files to the desktop, the file manager,
// the file-ready dialogue, the command prompt, running commands, renaming
// with questions, existence with an alert, deleting temporary tables.
//
// On Windows documents go to the shell's execute call and folders to the
// Explorer; on Linux documents and folders go to the desktop's opener
// (xdg-open, platform/system.h), and a missing opener is reported as a
// missing file association (code 31). The command interpreter is COMSPEC on
// Windows and the user's shell (SHELL, else /bin/sh) on Linux.
#pragma once

#include <string>
#include <string_view>

#include "values/value.h"

namespace kor::os {

// The message of a failure code of the shell's execute call; "" for a code
// that is no failure (above 32) or that the table does not hold.
std::string shellExecuteMessage(int code);

// SHELL_EXECUTE(file, action = 1 open / 2 print, window = 1, parameters):
// a failure is appended to ERRO.LOG and shown in an alert; never raises.
// Returns the call's code.
int SHELL_EXECUTE(std::string_view file, int action = 1, int window = 1, std::string_view parameters = {});
// ABRIRPASTA(file or folder): shows the folder in the file manager (a file's
// own folder, with the file selected where the file manager can); the call's
// code.
int ABRIRPASTA(std::string_view name);
// SHELL(file or folder): opens it as a double click would, silently.
void SHELL(std::string_view name);
// START(name, mode, message, offerMail): the file-ready dialogue.
// mode 0 = not given (1 for names containing ".TXT", else 2).
void START(std::string_view name, int mode = 0, const Value& message = Value(), bool offerMail = false);
// MYRUN(command, arguments): a network program ("\\...") through the shell;
// anything else through the command interpreter, waiting for it, the
// console lent to it and then set back to its size.
void MYRUN(std::string_view command, std::string_view arguments = {});
// RODADOS(): the command prompt inside the program; true.
bool RODADOS();
// NOMELONGO(old, new, folder, replace = true): renames a file, asking when
// the target exists or the rename fails; true when it succeeded.
bool NOMELONGO(std::string_view from, std::string_view to, std::string_view folder = {}, bool replace = true);
// EXISTEARQ(name, extension, alert = true).
bool EXISTEARQ(std::string_view name, std::string_view extension = {}, bool alert = true);
// APAGATMP(file, alias): deletes a temporary table and its index files
// (closing its work area first); names beginning with "RI" are never
// deleted. True when the file is gone.
bool APAGATMP(std::string_view file = {}, std::string_view alias = {});

void registerShellRoutines();

}  // namespace kor::os
