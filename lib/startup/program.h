// The start and the end of every program built on the library.
//
// The order of a run is fixed (runApplication): the modules' initial values
// and their routines by name; the run-time start (the global input-field
// list, the runtime error handler); INICIAR$; the main routine; FINALIZAR$,
// which runs whatever way the main routine ends: a normal return, an error
// that ends the program, an explicit quit, or a console that is closed or
// hung up (see FECHAX).
//
// INICIAR$ leaves these program-wide variables (a variable not yet given a
// value holds false):
//   CFILESISTEMA    this instance's presence file ("" until it is made)
//   NHANDLESISTEMA  the presence file's handle, -1 when none is held
//   CRDDDEFAULT     the default table driver (key RDD, "DBFNTX")
//   CRDDXBASE       the driver of local tables (key RDDXBASE)
//   CBANCO          the database connection setting used ("" when none)
//   NCNN            the connection number (database-server drivers only)
#pragma once

#include <functional>
#include <string>

#include "values/value.h"

namespace kor::startup {

// INICIAR$: the program settings (century window 1940, date format, PT850,
// Portuguese messages), the three global keys, the presence file, the table
// driver and the database connection from <application>.CFG.
void INICIAR$();
// FINALIZAR$: ends the database connection, removes the presence file,
// closes every table. Runs once; later calls do nothing.
void FINALIZAR$();

// FECHAX: the break/close key (256). Logs "Fechamento forçado", asks the
// user to end the program through its menu and logs "Fechamento Abortado";
// the program goes on. When the close request comes again while that alert
// is up (the user insists, or the console is gone: a closed or hung-up
// terminal answers every read with it), the program ends instead, through
// the ordinary shut-down, with exit code 1.
void FECHAX();

// CONECTALETO(configuration file): the compatibility alert, then the end of
// the program (the shut-down still runs).
[[noreturn]] void CONECTALETO(const std::string& cfgFile);

// The database-server layer as the start-up sees it: the routines of that
// name when the program has them, else their documented stub answers
// (SR_ADDCONNECTION -1, SR_SETFASTOPEN true, the others nothing).
struct DbConnection {
  std::string key;      // the key used; "" when all four are empty
  std::string setting;  // its value
  Value kind;           // the connection kind passed on
  std::string text;     // the connection text passed on
};
// The connection INICIAR$ opens for a database-server driver: the first of
// BANCO, BANCOFB, BANCOFBODBC, BANCOMYSQL in the configuration file whose
// value is not empty, with its connection kind and text.
DbConnection connectionFromConfig(const std::string& cfgFile);

// The whole run of a program: initial values, run-time start (the console:
// the terminal when there is one, see startup/session.h; the input-field
// list; the error handler), INICIAR$, mainFn, FINALIZAR$. Returns the exit
// code. `takeConsole` false leaves the console and the alert seams as they
// are (tests that script the user).
int runApplication(const std::function<void()>& mainFn, bool takeConsole = true);

// Registers the routines of the start-up and of the modules it starts.
void registerProgramRoutines();

}  // namespace kor::startup
