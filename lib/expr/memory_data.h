// MemoryData: a DataContext over tables held in memory, for the tests of
// the expression language and of the modules that evaluate texts against
// fields (report columns, filters, templates) without a table engine.
//
// Areas are numbered from 1; each holds at most one table (alias, fields and
// records) and a current record. A record position outside 1..count is the
// phantom record: every field reads blank (spaces, 0, the empty date, .F.).
// Writes are fitted to the field as a table would store them: texts padded
// or cut to the length, numbers carrying the field's decimals and width.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "expr/expr.h"

namespace kor::expr {

class MemoryData : public DataContext {
 public:
  struct Field {
    std::string name;  // stored upper case
    char type = 'C';   // C N D L M
    int len = 10;
    int dec = 0;
  };

  MemoryData() = default;

  // Opens a table under an alias in the given area (0: the lowest free one)
  // and returns the area. The area becomes current when none is open yet.
  int open(std::string_view alias, std::vector<Field> fields, int area = 0);
  void close(int area);
  // Appends a record (values by field order, missing ones blank) and makes
  // it the area's current record; returns its number.
  int append(int area, std::vector<Value> values = {});
  // Moves the area's current record (any number; outside 1..count is the
  // phantom record).
  void go(int area, int recno);
  int recno(int area) const;
  int recordCount(int area) const;
  bool isOpen(int area) const;
  std::string alias(int area) const;
  const Field* field(int area, int pos) const;

  // DataContext
  int currentArea() override { return current_; }
  int selectArea(int area) override;
  int areaOf(std::string_view alias) override;
  uint64_t areaStamp(int area) override;
  int fieldPos(int area, std::string_view name) override;
  Value fieldGet(int area, int pos) override;
  void fieldPut(int area, int pos, const Value& v) override;

 private:
  struct Area {
    bool open = false;
    std::string alias;
    std::vector<Field> fields;
    std::vector<std::vector<Value>> records;
    int recno = 0;
    uint64_t stamp = 0;
  };
  Area* area(int n);
  const Area* area(int n) const;
  Value blank(const Field& f) const;
  Value fit(const Field& f, const Value& v) const;

  std::vector<Area> areas_;
  int current_ = 1;
  uint64_t nextStamp_ = 1;
};

}  // namespace kor::expr
