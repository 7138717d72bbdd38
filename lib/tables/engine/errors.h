// The error records the engine raises: subsystem "DBFNTX", the generic kind
// of runtime/error.h, one of the subcodes below (docs/engine.md has the
// table), the file's full path and the OS code.
#pragma once

#include <functional>
#include <string>

#include "runtime/error.h"

namespace kor::tables {

enum SubCode : int {
  // files
  kSubOpen = 1001,         // the OS refused to open the table or memo file
  kSubCreate = 1002,       // the OS refused to create a file
  kSubRead = 1003,         // the OS failed a read
  kSubWrite = 1004,        // the OS failed a write, a resize or a flush
  kSubShared = 1005,       // held by another program in a conflicting mode
  kSubMemoMissing = 1006,  // the memo file of a table with memo fields is missing
  // damaged tables (the numbers of dbf::Fault)
  kSubTruncated = 1010,
  kSubNotDbf = 1011,
  kSubHeaderLength = 1012,
  kSubBadField = 1013,
  kSubNoTerminator = 1014,
  kSubRecordLength = 1015,
  kSubCountBeyondEnd = 1016,
  kSubRecordMissing = 1017,  // a record the header counts cannot be read whole
  // damaged memo files
  kSubMemoHeader = 1020,    // memo header unreadable or impossible
  kSubMemoPointer = 1021,   // a memo pointer outside the memo file or into its header
  kSubMemoBlock = 1022,     // a memo block with an impossible length or marker
  // values
  kSubDataType = 1030,     // a value of the wrong type for the field
  kSubDataWidth = 1031,    // a number or date that does not fit the field
  kSubFieldType = 1032,    // a field type this engine does not write
  kSubMemoByte = 1033,     // a DBT memo cannot hold the byte 0x1A
  kSubNoField = 1034,      // no field at that position or of that name
  // use
  kSubNoTable = 1040,      // no table in the work area
  kSubReadOnly = 1041,     // write to a table opened read-only
  kSubUnlocked = 1042,     // write to a shared record without its lock
  kSubAppendLock = 1043,   // the append lock could not be had
  kSubLock = 1044,         // a lock the operation needs could not be had
  kSubExclusive = 1045,    // the operation needs exclusive use (pack, zap)
  kSubDriver = 1046,       // unknown driver name
  kSubAlias = 1047,        // alias already in use or not a valid name
  kSubStructure = 1048,    // a structure list that cannot make a table
  kSubNoOrder = 1049,      // seek without a controlling order
  kSubExpression = 1050,   // a condition that is not a callback or an expression text
  // encryption
  kSubPassword = 1060,     // wrong password
  kSubEncrypted = 1061,    // the table is encrypted and no password was given
  kSubCipher = 1062,       // the table cannot be encrypted (DBT memo) or the cipher failed
};

// An engine error record with its usual fields.
rt::ErrorRecord dbError(int genCode, int subCode, const std::string& file, int osCode = 0,
                        const std::string& operation = {});

// Raises until the handler stops retrying: attempt() returns true on
// success, else fills the record. True when the attempt finally succeeded;
// false when the handler answered default (or substituted).
bool tryRaising(const std::function<bool(rt::ErrorRecord&)>& attempt);

// Raises one record once; true when the handler asked to retry.
bool raiseOnce(rt::ErrorRecord rec);

}  // namespace kor::tables
