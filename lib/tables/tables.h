// The table layer: what the programs call to open, close, lock and look
// into tables, built on the engine (tables/engine.h).
//
// - Opening and closing (ABREARQ, ARQCONS, FECHATABELA ...): a bare table
//   name becomes an open work area with its index files attached; while
//   another program holds the table the call waits, showing who runs the
//   system, and tries again every 3 seconds.
// - Record locking (BLOQREG, BLOQREGEX, ABREREG): a lock or a new record on
//   the current table, waiting with a notice while another instance holds
//   what is needed.
// - Record and field helpers (FIELDX, FIELDTOHASH, SAVEAREA, DUPLREG,
//   EMUSO ...).
// - Index rebuild and scratch tables (GERAINDEX, DBCREATETEMP, ARQTMP ...).
//
// Every wait runs on the platform clock (plat::monotonicMillis and
// plat::sleepMillis through the console's key reads), so tests with a
// virtual clock do not sleep. A key pressed during a wait ends it; a key
// with a binding runs its action first.
//
// Optional global variables are read by name at each call; docs/tables.md
// lists them with the decisions this layer made where the rules were open.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>
#include <string_view>

#include "values/value.h"

namespace kor::tables {

// --- drivers --------------------------------------------------------------------

// The program's default table driver: the text of CRDDDEFAULT, else "DBFNTX".
std::string defaultDriver();
// Kinds of driver names: "SQL" (database server), "LETO" (remote table
// server) occur in the name (case-sensitive); "DBFCDX" and "DBFNTX" begin it.
bool isSqlDriver(std::string_view driver);
bool isLetoDriver(std::string_view driver);
bool isCdxDriver(std::string_view driver);

// --- opening and closing -----------------------------------------------------------

// Opening modes.
enum OpenMode : int { kShared = 0, kExclusive = 1, kReadOnly = 3 };

// ABREARQ(table, indexes, mode, order, area, alias, driver, connection,
// password): the number of the work area holding the table, now selected.
// 0 when the open failed for a reason other than another program holding
// the table (the error handler was told); it waits without limit while
// another program holds it.
int ABREARQ(const Value& table, const Value& indexes = {}, const Value& mode = {}, const Value& order = {},
            const Value& area = {}, const Value& alias = {}, const Value& driver = {}, const Value& connection = {},
            const Value& password = {});
// ARQCONS(...): opens the table unless it is open already; true when this
// call opened it. A table open read-only is reopened writable (in the same
// area, on the same record, with the same scopes) when the mode asks for
// writing. The table's area is left selected.
bool ARQCONS(const Value& table, const Value& indexes = {}, const Value& mode = {}, const Value& order = {},
             const Value& area = {}, const Value& alias = {}, const Value& driver = {});
// FECHATABELA(password): closes the current area; with a password the table
// is left encrypted with it.
void FECHATABELA(const Value& password = {});
// ASSOCIATABELA(table): the driver for a table (ATABELARDD patterns).
std::string ASSOCIATABELA(std::string_view table);
// EXISTETABELA(table, listing, driver) / EXISTEINDICE(index, listing, driver).
bool EXISTETABELA(std::string_view table, bool listing = false, const Value& driver = {});
bool EXISTEINDICE(std::string_view index, bool listing = false, const Value& driver = {});
// EXTENSAOINDICE(table, driver): ".ntx", ".cdx" or "".
std::string EXTENSAOINDICE(std::string_view table = {}, const Value& driver = {});
// DBPATH(alias): the full path of the table open under the alias (default:
// the current area); "" when none is.
std::string DBPATH(const Value& alias = {});
// DATABASEINFO(): the default driver (with " - " and SR_VERSION() for a
// database-server driver).
std::string DATABASEINFO();
// DBREFRESH(): rereads the current record from the file; true.
bool DBREFRESH();
// EXISTETABELALETO(table): tells the user that remote table servers are not
// supported and ends the program.
[[noreturn]] void EXISTETABELALETO(std::string_view table);

// --- database-server entry points (no such layer in this program) ---------------------

bool SR_FILE(std::string_view file);
bool SR_EXISTTABLE(std::string_view table);
bool SR_EXISTINDEX(std::string_view index);
void SR_DROPTABLE(std::string_view table);
void SR_DROPINDEX(std::string_view index);
int SR_ADDCONNECTION(const Value& kind, const Value& connection);
void SR_END();
void SR_DETECTDBFROMDSN(const Value& connection);
std::string SR_SETRDDTEMP(const Value& any = {});
bool SR_CHANGESTRUCT(const Value& any = {});
bool SR_SETFASTOPEN(const Value& flag = {});
bool ISSQLWORKAREA(const Value& any = {});
bool SR_STARTLOG(const Value& any = {});
bool SR_ALLINCACHE(const Value& any = {});
std::string SR_VERSION();
// The fast-open mode the last SR_SETFASTOPEN asked for (true at start).
bool fastOpenMode();

// --- record locking ------------------------------------------------------------------

// BLOQREG(): locks the current record of the current table, waiting with a
// notice (and the screen restored afterwards) while another instance holds
// it. True; false only when the current area holds no table.
bool BLOQREG();
// BLOQREGEX(): the same without restoring the screen.
bool BLOQREGEX();
// ABREREG(retries): appends a blank record and locks it; with retries n > 0
// at most n + 1 attempts, false when they all failed.
bool ABREREG(const Value& retries = {});
// The same appending a record whole: `fill` gives the new record's field
// values from its number (WorkArea::append).
bool ABREREG(const Value& retries, const std::function<std::vector<std::pair<int, Value>>(uint32_t rec)>& fill);

// --- record and field helpers ----------------------------------------------------------

// FIELDX(field, newValue, default, emptyIsMissing).
Value FIELDX(const Value& field, const Value& newValue = {}, const Value& deflt = {},
             const Value& emptyIsMissing = {});
// FIELDTOHASH(): the current record as a map field name -> value.
Value FIELDTOHASH();
// HASHTOFIELD(map): writes every entry into the current record under its lock.
void HASHTOFIELD(const Value& map);
// MOVECAMPOS(list): appends {variable name, field name} per field; the
// list's length. A list that is not an array is replaced by a new one.
int MOVECAMPOS(Value& list);
// TAMANHOCAMPO("ALIAS->FIELD"): the field's length (0 when unknown).
int TAMANHOCAMPO(std::string_view reference);
// ACREATESTRUCT(names, table): {name, type, length, decimals} per field found.
Value ACREATESTRUCT(const Value& names, std::string_view table = {});
// DBCV("ALIAS->FIELD"): the field's value, or the text "Campo não existe" /
// "Area não disponível".
Value DBCV(std::string_view reference);
// SAVEAREA(table, close, driver) / RESTAREA(snapshot).
Value SAVEAREA(std::string_view table, bool close = false, const Value& driver = {});
void RESTAREA(const Value& snapshot);
// DUPLREG(condition, replacements, fromCurrent): appends copies of records
// of the current table to it.
void DUPLREG(const Value& condition = {}, const Value& replacements = {}, const Value& fromCurrent = {});
// EMUSO(table, ask, countdown, driver): another program has the table open.
bool EMUSO(std::string_view table, bool ask = false, bool countdown = false, const Value& driver = {});
// _EMUSO(file): the name occurs in the output of the command held in CNETUSE.
bool _EMUSO(std::string_view file);

// --- index rebuild and scratch tables ---------------------------------------------------------

// GERAINDEX(table, indexes, driver): packs a table and builds its index
// files again on the caller's maintenance screen.
void GERAINDEX(std::string_view table, const Value& indexes, const Value& driver = {});
// DBCREATETEMP(structure, keys, memory, driver, alias, descending): the
// alias of a new scratch table, open exclusively and selected; "" when it
// could not be made.
std::string DBCREATETEMP(const Value& structure = {}, const Value& keys = {}, const Value& memory = {},
                         const Value& driver = {}, const Value& alias = {}, const Value& descending = {});
// NOMEARQTEMP(prefix, extension): a time-stamped scratch name.
std::string NOMEARQTEMP(const Value& prefix = {}, const Value& extension = {});
// ARQTMP(prefix, folder, memory): a random scratch name without extension.
std::string ARQTMP(const Value& prefix = {}, const Value& folder = {}, const Value& memory = {});
// ARQREF(prefix, suffix, timeStamp): a name for documents of the current
// business record.
std::string ARQREF(const Value& prefix = {}, const Value& suffix = {}, const Value& timeStamp = {});
// ARQMEMORIA(): scratch tables can live in memory.
bool ARQMEMORIA();
// APAGATABELA(table, driver): deletes the table file; true when it is gone.
bool APAGATABELA(std::string_view table, const Value& driver = {});
// Deletes a table file with its memo files (scratch tables).
void removeTableFiles(const std::string& table);

// Registers the routines above by name (and the engine's). Idempotent.
void registerTableLayerRoutines();

}  // namespace kor::tables
