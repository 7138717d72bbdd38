// Index orders of work areas: NTX files attached to an area, created over
// its records, kept in step with every change, and the operations on the
// area's list of orders (attach, clear, choose, create, reindex, wildcard
// seek). The bytes of the files are ntx.h's; this is where key expressions
// are evaluated.
//
// An order's key expression is evaluated with its area current and
// standing on the record in question (see order.h), so the expression
// reads the area's fields by name. The key's type comes from evaluating it
// when the index is opened or created; its size and decimals from the file.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "expr/expr.h"
#include "tables/engine/ntx.h"
#include "tables/engine/ntxkey.h"
#include "tables/engine/order.h"
#include "tables/engine/workarea.h"

namespace kor::tables {

// What a new index is made of.
struct IndexSpec {
  std::string file;        // index file; ".ntx" when it has no extension
  std::string key;         // key expression text
  std::string tag;         // order name while attached; "" = the file's base name
  Value keyBlock;          // a callback computing the key instead of the text (optional)
  Value forCond;           // condition (expression text or callback); nil: every record
  bool descending = false;
  bool unique = false;
  // Progress: `progress` (a callback) runs for every `every` records with
  // the area standing on the record; onProgress (for C++ callers) gets the
  // records done and the record count. Either stops the build by answering
  // false; the index then holds the records seen so far.
  Value progress;
  uint32_t every = 1;
  std::function<bool(uint32_t done, uint32_t total)> onProgress;
};

class NtxOrder final : public Order {
 public:
  // Attaches an existing index file to an area: opens it shared or
  // exclusively and read-only as the table is, compiles its key and checks
  // the key against the file. nullptr after a raised error.
  static std::unique_ptr<NtxOrder> open(WorkArea& area, const std::string& path);
  // Builds an index file over the area's records (replacing a file of that
  // name). nullptr after a raised error.
  static std::unique_ptr<NtxOrder> create(WorkArea& area, const IndexSpec& spec);

  // --- Order ---------------------------------------------------------------
  std::string name() const override { return name_; }
  std::string bagName() const override { return ix_->path(); }
  std::string keyExpr() const override { return ix_->keyExpr(); }
  std::string forExpr() const override { return ix_->forExpr(); }
  bool descending() const override { return ix_->descending(); }
  bool unique() const override { return ix_->unique(); }

  uint32_t first() override;
  uint32_t last() override;
  uint32_t next(uint32_t rec) override;
  uint32_t prev(uint32_t rec) override;
  SeekResult seek(const Value& key, bool soft, bool last) override;
  uint32_t keyCount() override;
  uint32_t keyNo(uint32_t rec) override;
  Value keyValue() override;
  Value scope(int which) const override { return which == 0 ? scopeTop_ : scopeBottom_; }
  void setScope(int which, const Value& v) override;

  void beforeChange(uint32_t rec) override;
  void afterWrite(uint32_t rec, bool appended) override;
  void rebuild() override;
  // Every change is handed to the OS before the index lock goes, so there
  // is nothing left to flush. (The table's flush comes with every release
  // of a record lock; syncing the index to disk there would cost a disk
  // round trip per record.)
  void flush() override {}
  void close() override {}

  // --- beyond the Order interface -------------------------------------------
  ntx::Index& index() { return *ix_; }
  const ntx::KeyFormat& format() const { return fmt_; }
  // The record at key position n within the scopes (0 when none).
  uint32_t gotoKeyNo(uint64_t n);
  // The first record (from the top, or after `rec` with fromRec) whose key
  // matches a pattern of * and ?, forwards or backwards; 0 when none.
  uint32_t wildSeek(std::string_view pattern, uint32_t rec, bool fromRec, bool backwards);
  // Builds the whole index again from the table (reindex).
  bool reindex();

 private:
  NtxOrder(WorkArea& area, std::unique_ptr<ntx::Index> ix, std::string name);
  bool compileKey(const std::string& text, const Value& block);
  bool compileFor(const Value& cond);
  // The key of the area's current record; nullopt when the record is not
  // in the order (its condition fails) or the key cannot be made (raised).
  std::optional<std::string> currentKey();
  Value evalKey();
  bool forHolds();
  // Puts the index on record `rec` (the area stands on it): true when the
  // record is in the index; otherwise the index stands on the key after the
  // place the record would have.
  bool syncTo(uint32_t rec);
  uint32_t here() const { return ix_->onKey() ? ix_->recno() : 0; }
  bool gatherKeys(ntx::KeyList& keys, const IndexSpec* spec);

  WorkArea& area_;
  std::unique_ptr<ntx::Index> ix_;
  std::string name_;
  ntx::KeyFormat fmt_;
  expr::Compiled key_;
  Value keyBlock_;
  expr::Compiled for_;
  Value forBlock_;
  bool hasFor_ = false;
  Value scopeTop_, scopeBottom_;
  // The index cursor stands where the area's record is, as far as this
  // order knows; cleared by its own changes, which move keys around it.
  bool trusted_ = false;
  // The record's key before a change began (beforeChange), and whether
  // the record was in the order then.
  uint32_t changeRec_ = 0;
  bool changeIn_ = false;
  std::string changeKey_;
};

// --- the order list of an area ------------------------------------------------------

// The full path of an index name: ".ntx" added when it has no extension,
// the default folder for relative names, "MEM:" names as they are.
std::string indexPath(std::string_view name);
// The order name of an index file: its base name upper-cased, without
// folder and extension.
std::string orderNameOf(std::string_view path);

// Attaches an index file to the area; the first attached becomes the
// controlling order. False after a raised error.
bool orderListAdd(WorkArea& a, std::string_view file);
// Detaches every index; the natural order controls.
void orderListClear(WorkArea& a);
// Rebuilds every attached index from the table and goes to the top.
bool orderListRebuild(WorkArea& a);
// The order a value names: a number (0..count; 0 the natural order), an
// order name or a key expression (any case, blanks around ignored); -1
// when none. nil names the controlling order.
int orderPosition(WorkArea& a, const Value& which);
// Makes an order controlling (by number, name or key); false when none
// is named that way (the controlling order stays).
bool setOrderFocus(WorkArea& a, const Value& which);
// Creates an index over the area; unless `additive`, the area's other
// indexes are detached first. The new order is attached and controls.
bool orderCreate(WorkArea& a, const IndexSpec& spec, bool additive = false);
// The NTX order at a position (0: the controlling one), nullptr when none.
NtxOrder* ntxOrder(WorkArea& a, int n = 0);
// Wildcard seek in the controlling order: positions the area on the first
// match (found flag set) or at the end of file.
bool wildSeek(WorkArea& a, std::string_view pattern, bool fromCurrent, bool backwards);

// Registers the index functions of the expression language (ORDSETFOCUS,
// DBSETINDEX, ORDCREATE, ORDKEYCOUNT, ORDSCOPE ...). Idempotent; the
// engine's registerRoutines() calls it.
void registerIndexRoutines();

}  // namespace kor::tables
