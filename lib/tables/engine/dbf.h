// One open DBF table file: header, records, memo file, locks and the
// optional cipher. The work area (workarea.h) navigates and edits through
// it; nothing here knows about filters, orders or the current record.
//
// Reading: records come from a read-ahead window (up to 64 KB of
// consecutive records) when the caller allows it, or straight from the file
// (`fresh`), as after a lock or a skip by 0. The window holds the bytes as
// stored; writes through this object update it.
//
// Writing: every record write goes to the OS at once (write-through), so
// that releasing a lock never leaves a change behind in this process.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tables/engine/crypt.h"
#include "tables/engine/dbfformat.h"
#include "tables/engine/file.h"
#include "tables/engine/locks.h"
#include "tables/engine/memo.h"

namespace kor::tables {

class DbfTable {
 public:
  // Opens a table (full path). Raises open errors; nullptr when the open
  // failed. A sharing violation sets the network-error flag when the
  // handler answers default.
  static std::unique_ptr<DbfTable> open(const std::string& path, bool shared, bool readOnly);
  // Creates an empty table (and its memo file when a field needs one),
  // replacing files of those names. Raises create errors; false on failure.
  static bool create(const std::string& path, std::vector<dbf::FieldDesc> fields, dbf::MemoKind memoKind,
                     uint16_t memoBlockSize);
  // The memo file name of a table: its extension replaced, in the case of
  // the table's own extension.
  static std::string memoPath(const std::string& tablePath, dbf::MemoKind kind);

  ~DbfTable();
  DbfTable(const DbfTable&) = delete;
  DbfTable& operator=(const DbfTable&) = delete;

  const std::string& path() const { return file_.path(); }
  const dbf::Header& header() const { return hdr_; }
  const std::vector<dbf::FieldDesc>& fields() const { return hdr_.fields; }
  uint16_t recordLen() const { return hdr_.recordLen; }
  uint32_t count() const { return hdr_.recCount; }
  bool shared() const { return shared_; }
  bool readOnly() const { return readOnly_; }
  MemoFile* memo() const { return memo_.get(); }
  LockSet& locks() { return locks_; }
  const LockSet& locks() const { return locks_; }
  plat::Handle handle() const { return file_.handle(); }

  // Rereads the record count from the header (shared use). False after a
  // raised read error.
  bool refreshCount();

  // Record n (1..count) into buf (recordLen bytes), decrypted. `fresh`
  // reads from the file; otherwise the window may serve it, refilled in
  // the direction of travel (dir < 0 backwards).
  bool readRecord(uint32_t n, char* buf, bool fresh, int dir);
  // Writes record n (buf is plain; encrypted on the way out).
  bool writeRecord(uint32_t n, const char* buf);
  // Adds a record at the end under the append protocol (locks.h); the new
  // record's lock is taken in shared use and the table's other record locks
  // are released. False when the append lock could not be had (*lockFailed
  // set) or a write failed.
  // `pending`, when given, is a changed record (number pendingRec) that must
  // reach the file first: written with the new record in one write when it
  // is the last record, else just before it; *pendingWritten tells.
  // `fill`, when given, completes the new record's bytes (a copy of buf)
  // once its number is known, before they are written: the record reaches
  // the file whole in the append's one write.
  bool appendRecord(const char* buf, uint32_t* n, bool* lockFailed, const char* pending = nullptr,
                    uint32_t pendingRec = 0, bool* pendingWritten = nullptr,
                    const std::function<void(uint32_t rec, char* record)>* fill = nullptr);

  // Rewrites the record count (pack, zap: exclusive use) and cuts the file
  // after the last record, with the end-of-file mark.
  bool setCount(uint32_t n);
  // Writes the fixed header bytes (date, count, flags) as they are now.
  bool writeFixedHeader();
  bool sync();
  void dropWindow() { winCount_ = 0; }

  // --- encryption ---------------------------------------------------------
  bool encrypted() const { return hdr_.encrypted != 0; }
  bool hasKey() const { return cipher_.has_value(); }
  // Checks a password against the header; installs the key when right.
  bool setPassword(std::string_view password);
  const Cipher* cipher() const { return cipher_ ? &*cipher_ : nullptr; }
  // Rewrites every record (and FPT memo) with the cipher on or off. The
  // caller holds exclusive use or the file lock.
  bool encryptAll(std::string_view password);
  bool decryptAll();

 private:
  DbfTable(EngineFile f, dbf::Header h, bool shared, bool readOnly);
  int64_t offsetOf(uint32_t n) const {
    return static_cast<int64_t>(hdr_.headerLen) + static_cast<int64_t>(n - 1) * hdr_.recordLen;
  }
  bool fillWindow(uint32_t n, int dir);
  void touchWindow(uint32_t n, const char* stored);
  bool markModified();
  bool rewriteAll(const Cipher* from, const Cipher* to);

  EngineFile file_;
  dbf::Header hdr_;
  bool shared_;
  bool readOnly_;
  bool dated_ = false;  // the header date was set this session
  std::unique_ptr<MemoFile> memo_;
  LockSet locks_;
  std::optional<Cipher> cipher_;
  std::vector<char> win_;
  uint32_t winFirst_ = 0, winCount_ = 0;
  std::vector<char> scratch_;
  std::vector<char> appendBuf_;
};

}  // namespace kor::tables
