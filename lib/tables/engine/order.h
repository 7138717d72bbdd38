// An order: the records of a work area's table in some sequence. The work
// area always has the natural order (record numbers); index modules attach
// further orders (an NTX file is one order) and one of them may control
// navigation.
//
// How the work area uses an order (WorkArea in workarea.h):
// - Navigation. first()/last() give the first/last record of the order
//   within its scopes; next(rec)/prev(rec) the neighbour of the current
//   record rec, which is the area's record (the order may keep a cursor and
//   must find its place again when rec is not where the cursor stands).
//   0 means "none": past the end or before the beginning. The work area
//   applies the deleted filter and the filter on top, stepping one record
//   at a time.
// - Seek. seek(key, soft, last) finds the first key that begins with the
//   given key (a text key matches the first key it is a prefix of); soft
//   stands on the next greater key when there is no match; last finds the
//   last match instead of the first.
// - Upkeep. Before the first change of a record's buffer the work area calls
//   beforeChange(rec) while the buffer still holds the old values; the order
//   evaluates and keeps the old key. After the record was written to the
//   file it calls afterWrite(rec, appended) with the buffer holding the new
//   values; the order moves the key when it changed (or inserts it for an
//   appended record). After pack and zap it calls rebuild(). flush() comes
//   with every commit and before the area releases its locks; close()
//   before the table is closed.
// - Key evaluation happens with the order's work area current and
//   positioned on the record in question, so key expressions read the
//   area's fields directly.
#pragma once

#include <cstdint>
#include <string>

#include "values/value.h"

namespace kor::tables {

class WorkArea;

struct SeekResult {
  uint32_t rec = 0;    // the record to stand on; 0 = end of file
  bool found = false;  // the key matched
};

class Order {
 public:
  virtual ~Order() = default;

  // --- identity -----------------------------------------------------------
  virtual std::string name() const = 0;      // order name, upper case
  virtual std::string bagName() const = 0;   // full path of its file; "" for the natural order
  virtual std::string keyExpr() const = 0;   // key expression text; "" for the natural order
  virtual std::string forExpr() const { return {}; }
  virtual bool descending() const { return false; }
  virtual bool unique() const { return false; }

  // --- navigation (record numbers; 0 = none) --------------------------------
  virtual uint32_t first() = 0;
  virtual uint32_t last() = 0;
  virtual uint32_t next(uint32_t rec) = 0;
  virtual uint32_t prev(uint32_t rec) = 0;
  virtual SeekResult seek(const Value& key, bool soft, bool last) = 0;
  // Keys in the order (within the scopes) and the 1-based position of a
  // record among them (0 when it is not in the order).
  virtual uint32_t keyCount() = 0;
  virtual uint32_t keyNo(uint32_t rec) = 0;
  // The key value of the current record (nil for the natural order).
  virtual Value keyValue() { return Value(); }
  // Scopes: which 0 = top, 1 = bottom; nil clears.
  virtual Value scope(int which) const { return Value(); }
  virtual void setScope(int which, const Value& v) {}

  // --- upkeep ---------------------------------------------------------------
  virtual void beforeChange(uint32_t rec) {}
  virtual void afterWrite(uint32_t rec, bool appended) {}
  virtual void rebuild() {}
  virtual void flush() {}
  virtual void close() {}
};

// The order of record numbers 1..count (no file, no key, no scopes).
class NaturalOrder final : public Order {
 public:
  explicit NaturalOrder(WorkArea& area) : area_(area) {}
  std::string name() const override { return ""; }
  std::string bagName() const override { return ""; }
  std::string keyExpr() const override { return ""; }
  uint32_t first() override;
  uint32_t last() override;
  uint32_t next(uint32_t rec) override;
  uint32_t prev(uint32_t rec) override;
  SeekResult seek(const Value&, bool, bool) override { return SeekResult{}; }
  uint32_t keyCount() override;
  uint32_t keyNo(uint32_t rec) override;

 private:
  WorkArea& area_;
};

}  // namespace kor::tables
