// The DBF file layout: header, field descriptors and the text forms of
// field values, as pure functions over bytes (no files), so that they can be
// tested byte for byte and fuzzed.
//
// Layout (all integers little-endian):
//   0      version byte: 0x03 no memo, 0x83 DBT memo, 0x8B newer DBT memo,
//          0xF5 FPT memo, 0x30/0x31/0x32 the later layout (read only)
//   1..3   date of last update: year - 1900, month, day
//   4..7   record count (deleted records included)
//   8..9   header length = offset of record 1
//   10..11 record length = 1 (deleted flag) + sum of field lengths
//   14     incomplete-transaction flag (kept 0)
//   15     encryption flag: 1 when the records are encrypted (see crypt.h)
//   16..27 multi-user bytes; an encrypted table keeps its salt (16..23) and
//          password check (24..27) here
//   28     table flags, 29 code-page mark (kept as read)
//   32..   32-byte field descriptors up to the terminator 0x0D:
//          0..10 name (NUL padded), 11 type, 16 length, 17 decimals; for
//          type C the decimals byte is the high byte of the length, so text
//          fields reach 65535 characters
//   records follow at the header length; 0x1A marks the end of the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "values/value.h"

namespace kor::tables::dbf {

constexpr uint8_t kTerminator = 0x0D;
constexpr uint8_t kEofMark = 0x1A;
constexpr char kLive = ' ';
constexpr char kDeleted = '*';
constexpr size_t kFieldNameMax = 10;

enum class MemoKind : uint8_t { None, Dbt, Dbt4, Fpt };

struct FieldDesc {
  std::string name;  // upper case
  char type = 'C';
  uint16_t len = 0;
  uint8_t dec = 0;
  uint32_t offset = 0;  // inside the record (the deleted flag is byte 0)
};

struct Header {
  uint8_t version = 0x03;
  uint8_t year = 0, month = 1, day = 1;  // year - 1900
  uint32_t recCount = 0;
  uint16_t headerLen = 0;
  uint16_t recordLen = 0;
  uint8_t transaction = 0;
  uint8_t encrypted = 0;
  std::array<uint8_t, 12> multiUser{};
  uint8_t tableFlags = 0;
  uint8_t codePage = 0;
  std::vector<FieldDesc> fields;
  // Derived from the version byte and the fields.
  MemoKind memoKind = MemoKind::None;
  bool laterLayout = false;  // 0x30..0x32: read, never written
};

// Why a header was refused. The numbers are the error subcodes the engine
// raises (docs/engine.md lists them).
enum class Fault : int {
  None = 0,
  Truncated = 1010,        // file shorter than its header or its records
  NotDbf = 1011,           // unknown version byte: not a table this engine reads
  BadHeaderLength = 1012,  // header length disagrees with the fields
  BadField = 1013,         // a field descriptor is damaged (zero length, bad name, bad type)
  NoTerminator = 1014,     // the descriptors do not end with 0x0D inside the header
  BadRecordLength = 1015,  // record length disagrees with the fields
  CountBeyondEnd = 1016,   // the record count claims more records than the file holds
};

struct Parsed {
  Fault fault = Fault::None;
  std::string detail;  // what exactly, for the error record (CP850, Portuguese)
  bool ok() const { return fault == Fault::None; }
};

// Reads a header from the first n bytes of a file (the whole header when
// available; 32 bytes are enough to learn the header length).
Parsed parseHeader(const uint8_t* p, size_t n, Header& out);
// Checks the header against the file's size.
Parsed checkFileSize(const Header& h, int64_t fileSize);
// Number of whole records a file of that size holds after the header.
uint32_t recordsInFile(const Header& h, int64_t fileSize);

// Writes the header (32 bytes, descriptors, terminator) for the fields;
// computes offsets, header and record length into h.
std::string buildHeader(Header& h);
// The 32 fixed bytes only (for rewriting the date, count and flags).
void encodeFixed(const Header& h, uint8_t out[32]);
// Version byte for a memo kind.
uint8_t versionFor(MemoKind k);
MemoKind memoKindOf(uint8_t version, const std::vector<FieldDesc>& fields);

// --- field values ------------------------------------------------------------

// Types a record value can be written to. Others are read as raw text.
bool writableType(char type);
// Value of a non-memo field from its bytes (the memo pointer for M).
Value decode(const FieldDesc& f, const char* field);
// The memo block number a memo field holds, 0 when none.
uint32_t memoPointer(const FieldDesc& f, const char* field);
void encodeMemoPointer(const FieldDesc& f, uint32_t block, char* field);

enum class PutResult { Ok, TypeMismatch, TooWide, Unsupported };
// Writes a value into a non-memo field's bytes.
PutResult encode(const FieldDesc& f, const Value& v, char* field);
// Blank bytes of a field (spaces; binary types zero).
void blank(const FieldDesc& f, char* field);

// Reads a number text as stored in N and F fields: leading blanks, an
// optional sign, digits, a point and digits; anything else ends it.
double parseNumber(const char* p, size_t n);

}  // namespace kor::tables::dbf
