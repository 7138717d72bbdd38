// A work area: one open table under an alias, with its current record,
// locks, filter and orders.
//
// The current record. The area stands on a record number (1..count) or on
// the phantom record after the last (end of file: number count + 1, blank
// fields). Its bytes are loaded lazily from the table on first use; a
// change marks the buffer dirty and the buffer goes back to the file
// (write-through to the OS) before the area moves, unlocks, commits or
// closes: flush() is that one point.
//
// The few functions everything passes through, so that orders can follow
// (order.h): navigation ends in position(); every change of the buffer
// begins with beginChange() and every write ends in flush(); pack and zap
// end in rebuildOrders().
//
// Shared use: a field may be written only while the area holds the
// record's lock or the file lock (or the table is open exclusively).
// Locking a record rereads the header count and the record from the file;
// so does going to the bottom (the count) and skipping by 0 (the record).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tables/engine/dbf.h"
#include "tables/engine/order.h"
#include "values/value.h"

namespace kor::tables {

// A for/while/filter condition: a callback, an expression text (compiled
// once), or nothing (always true).
class Condition {
 public:
  Condition() = default;
  // nil gives the empty condition; a callback is called; a text is compiled
  // as an expression (a syntax error is raised and leaves it empty).
  explicit Condition(const Value& v);
  bool empty() const { return kind_ == Kind::None; }
  // Evaluates in whatever area is current; anything but .T. counts as false.
  bool test() const;
  // The source text (a callback's saved form, unless set).
  const std::string& text() const { return text_; }
  void setText(std::string t) { text_ = std::move(t); }

 private:
  enum class Kind { None, Block, Text };
  Kind kind_ = Kind::None;
  Value block_;
  std::shared_ptr<const void> compiled_;  // expr::Compiled, kept opaque here
  std::string text_;
};

// The scope of a record loop: next n records, one record, the rest from the
// current record, or (none of them) all from the top.
struct Scope {
  Condition forCond;
  Condition whileCond;
  uint32_t next = 0;    // 0 = no limit
  uint32_t record = 0;  // 0 = none
  bool rest = false;
};

class WorkArea {
 public:
  WorkArea(int number, std::string alias, std::unique_ptr<DbfTable> table, uint64_t stamp);
  ~WorkArea();
  WorkArea(const WorkArea&) = delete;
  WorkArea& operator=(const WorkArea&) = delete;

  int number() const { return number_; }
  const std::string& alias() const { return alias_; }
  uint64_t stamp() const { return stamp_; }
  DbfTable& table() { return *table_; }
  const DbfTable& table() const { return *table_; }
  const std::string& path() const { return table_->path(); }
  bool readOnly() const { return table_->readOnly(); }
  bool shared() const { return table_->shared(); }
  bool encrypted() const { return table_->encrypted(); }

  // Flushes, releases the locks, closes the orders. The destructor calls it.
  void close();
  bool closed() const { return closed_; }
  // True while a loop of this area runs callbacks: closing the area then
  // only closes it, and the object lives on until the loop has ended.
  bool busy() const { return busy_ > 0; }

  // --- navigation -----------------------------------------------------------
  bool goTop();
  bool goBottom();
  bool goTo(uint32_t rec);
  bool skip(long n);
  bool eof() const { return eof_; }
  bool bof() const { return bof_; }
  bool found() const { return found_; }
  void setFound(bool f) { found_ = f; }
  uint32_t recNo() const { return recNo_; }
  // The record count; shared use rereads it from the header.
  uint32_t recCount();
  bool deleted();

  // --- fields (positions are 1-based) ---------------------------------------
  int fieldCount() const { return static_cast<int>(table_->fields().size()); }
  const dbf::FieldDesc* field(int pos) const;
  int fieldPos(std::string_view name) const;
  // nil for a position outside the table.
  Value getField(int pos);
  // False when nothing was written (a raised error the handler let pass,
  // the phantom record, no such field).
  bool putField(int pos, const Value& v);

  // --- records --------------------------------------------------------------
  // Appends a blank record; releases the area's record locks and locks the
  // new one. False when it failed (the network-error flag is set when the
  // append lock could not be had).
  bool append();
  // The same with the new record's contents written in the append's one
  // write: `fill` gets the record number and the record's fields (blank)
  // and gives the values of the fields to set (no memo fields; a value that
  // does not fit its field leaves the field blank). A program killed at any
  // moment then leaves either no record or a whole one; the indexes get its
  // keys right after.
  using AppendFill = std::function<std::vector<std::pair<int, Value>>(uint32_t rec)>;
  bool append(const AppendFill& fill);
  bool deleteRecord();
  bool recall();
  bool pack();
  bool zap();
  // Writes the current record's changes to the file when it has any.
  bool flush();
  // flush, the orders' flush, and a flush of the OS buffers to disk with
  // the hard-commit setting on.
  bool commit();
  // Rereads the current record from the file (skip by 0).
  bool refresh();

  // --- locks ----------------------------------------------------------------
  // Locks a record (0: the current one), no waiting. With releaseOthers,
  // the area's other record locks go first.
  bool lockRecord(uint32_t rec = 0, bool releaseOthers = true);
  bool lockFile();
  // Releases one record's lock (rec > 0) or every lock of the area (0).
  void unlock(uint32_t rec = 0);
  std::vector<uint32_t> lockList() const;
  bool fileLocked() const { return table_->locks().fileLocked(); }

  // --- filter ---------------------------------------------------------------
  void setFilter(Condition c) { filter_ = std::move(c); }
  void clearFilter() { filter_ = Condition(); }
  const Condition& filter() const { return filter_; }

  // --- orders ---------------------------------------------------------------
  // Attached orders are numbered from 1; 0 is the natural order.
  void attachOrder(std::unique_ptr<Order> o);
  void clearOrders();
  int orderCount() const { return static_cast<int>(orders_.size()); }
  Order* order(int n) const;  // nullptr outside 1..orderCount()
  int controlling() const { return controlling_; }
  bool setControlling(int n);
  // The order that drives navigation (the natural order when none).
  Order& nav();
  // Adds to the orders the keys of records they lack: records appended by
  // a program that ended (killed, power lost) between writing a record and
  // its keys. A record another program holds locked is left alone: its
  // writer is alive and adds the keys itself. Returns the keys added.
  uint32_t addMissingKeys();
  // Seeks in the controlling order; raises "no order" without one.
  bool seek(const Value& key, bool soft, bool last);

  // --- loops ----------------------------------------------------------------
  // Runs fn for each record of the scope that meets its for-condition
  // (DBEVAL, COPY TO, LOCATE...); fn returns false to stop. Returns the
  // number of records fn saw.
  uint32_t forEach(const Scope& scope, const std::function<bool()>& fn);
  bool locate(const Scope& scope);
  bool continueLocate();

  // --- encryption -------------------------------------------------------------
  // The key for reading and writing an encrypted table, without rewriting it.
  bool setPassword(std::string_view password);
  // Rewrites the table encrypted / plain (exclusive use or the file lock).
  bool encrypt(std::string_view password);
  bool decrypt(std::string_view password);

  // Raw access for the orders and tools: the current record's bytes as
  // stored (loaded on demand), nullptr on a read failure.
  const char* recordBytes();

 private:
  friend class NaturalOrder;
  uint32_t cachedCount() const { return table_->count(); }
  void position(uint32_t rec, bool fresh, int dir);
  void toEof();
  bool load();
  bool visible();
  bool beginChange();
  bool writable(bool raise);
  uint32_t stepVisible(uint32_t from, int dir);
  void rebuildOrders();
  void flushOrders();

  int number_;
  std::string alias_;
  std::unique_ptr<DbfTable> table_;
  uint64_t stamp_;
  NaturalOrder natural_;
  std::vector<std::unique_ptr<Order>> orders_;
  int controlling_ = 0;
  Condition filter_;
  Scope locate_;

  uint32_t recNo_ = 1;
  bool eof_ = true, bof_ = true, found_ = false;
  std::vector<char> buf_;
  std::vector<char> blank_;
  bool loaded_ = false;
  bool readFailed_ = false;  // the buffer is a blank stand-in for an unreadable record
  bool fresh_ = true;  // load from the file, not from the window
  int dir_ = 1;
  bool dirty_ = false;
  bool appended_ = false;
  bool changing_ = false;  // beforeChange sent for the current record
  bool closed_ = false;
  int busy_ = 0;
};

}  // namespace kor::tables
