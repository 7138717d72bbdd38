// The runtime error handler: ERRORSYS installs DEFERROR, which decides for
// every runtime error whether the failed operation is retried, ends with
// its default result, gets the value 0, or the program ends (exit code 1,
// the shut-down still running). On the way it shows the user a Portuguese
// explanation with buttons, saves the screen to ERRO.SCR and appends the
// error entry to ERRO.LOG.
//
// The decision (message and buttons) is planError(), a function of the
// record and of what it looks up about files, tables and printer ports
// (HandlerEnv); DEFERROR shows the plan and acts on the answer.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/error.h"

namespace kor::err {

// _DOSMSG(code, mode = 1): the operating-system text of a code ("" for an
// unknown code); mode 2 adds the hint after a ";".
std::string _DOSMSG(int code, int mode = 1);
// DOSERRORMSG(code): _DOSMSG in mode 2, also left in the global CMSG.
std::string DOSERRORMSG(int code);
// ERRORMESSAGE(error): the one-line text "Error BASE/1003  description: name".
std::string ERRORMESSAGE(const rt::ErrorRecord& e);
// _ALERTA_ERRO(message, buttons, timeout in seconds): the alert box with the
// beep and the window flash; with no time-out and "Repetir" as the first
// button it closes itself after 5 seconds. 0 for Esc or time-out.
int _ALERTA_ERRO(const std::string& message, const std::vector<std::string>& buttons,
                 std::optional<double> timeoutSeconds = std::nullopt);

// What the decision table looks up besides the record.
struct HandlerEnv {
  // The file's full path, by the library's path rules.
  std::function<std::string(const std::string&)> fullPath;
  // The file's attribute value (1 read-only, 2 hidden, 4 system ...); -1
  // when it cannot be read.
  std::function<int(const std::string&)> attributes;
  // The network printer a port ("LPT1") is redirected to; "" when none.
  std::function<std::string(const std::string&)> portNetworkName;
  // The field of the current work area named in a data-width error.
  struct FieldInfo {
    std::string alias;
    char type = 'C';
    int len = 0, dec = 0;
    long recno = 0;
  };
  std::function<FieldInfo(const std::string&)> fieldInfo;
  // The index file extension of the table driver.
  std::string indexExt = ".NTX";
  // File names are shown in upper case where the file system ignores case
  // (on a case-sensitive one the upper-case name would be another file).
  bool upperCaseNames = true;
};
HandlerEnv& handlerEnv();

struct Plan {
  std::string message;               // M, complete
  std::vector<std::string> buttons;  // B
  bool askConfigure = false;         // the "too many open files" question first
  // The alert's text: M, then ";(Erro do DOS n)" when there is an OS code.
  std::string alertText(const rt::ErrorRecord& e) const;
};

// The cases handled without a word: the answer, or nothing.
std::optional<rt::ErrorAnswer> silentAnswer(const rt::ErrorRecord& e);
// Steps 3 to 6 of the handling: normalises FILENAME (upper case, full
// path), clears CANDEFAULT for "no order", builds M and B.
Plan planError(rt::ErrorRecord& e, const HandlerEnv& env = handlerEnv());
// The location of an error for the user: the innermost level outside the
// error system that has a line number.
std::string errorLocation(const rt::ErrorRecord& e);

// The handler and its installation.
rt::ErrorAnswer DEFERROR(rt::ErrorRecord& e);
void ERRORSYS();
// The exit path after an error: writes the error and the call chain to the
// error stream, closes every table, waits for a key, ends with exit code 1.
// In the maker's own environment it returns after the key.
void _SAIR(const rt::ErrorRecord& e);

// The screen image ERRO.SCR and the screen as text.
void SALVATELA();
std::string PRINTSCREEN();

// Hooks the handler's actions use: closing every table (the table engine),
// creating a folder with its alert, connecting a printer port.
void setCloseAllTables(std::function<void()> fn);
void setCreateFolder(std::function<bool(const std::string& folder)> fn);
void setConnectPort(std::function<void(const std::string& port)> fn);

void registerRoutines();

}  // namespace kor::err
