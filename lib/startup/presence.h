// Presence files: how running instances of the maker's programs see one
// another in a shared folder.
//
// Each instance writes "<APPLICATION><1..999>.usr" in its start folder and
// holds it open (read access, others may read and write) for the whole run.
// Another instance probes a file with an exclusive open: it fails while the
// owner runs, and succeeds on a file left behind by an instance that died.
#pragma once

#include <string>

#include "values/value.h"

namespace kor::startup {

// NOME_APLICACAO(): the executable's name without folder and extension, in
// upper case ("CLASUPD").
std::string NOME_APLICACAO();
// Overrides the name (tests and host programs).
void setApplicationName(std::string name);

// The two lines of a presence file.
std::string presenceText();

// Creates this instance's presence file in the current folder and keeps it
// open, setting CFILESISTEMA and NHANDLESISTEMA (-1 when no file could be
// held). A number whose file a live instance holds is never taken: another
// number is drawn, so that no instance can remove another's file.
void createPresenceFile();
// Closes and deletes this instance's file (nothing when NHANDLESISTEMA is -1).
void removePresenceFile();

// USUARIOSATIVOS(own, others): the number of running instances; appends a
// display line per instance of this application to `own` and per instance
// of another application to `others` when they are arrays.
int USUARIOSATIVOS(Value* own = nullptr, Value* others = nullptr);

// ISDBSQL / ISDBLETO: the driver name (default: CRDDDEFAULT) contains "SQL"
// / "LETO" (case-sensitive).
bool ISDBSQL(const Value& driver = Value());
bool ISDBLETO(const Value& driver = Value());
// FREETSLICE(): gives the rest of the time slice away; nothing to do here.
void FREETSLICE();

void registerPresenceRoutines();

}  // namespace kor::startup
