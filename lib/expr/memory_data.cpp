#include "expr/memory_data.h"

#include <algorithm>

#include "runtime/error.h"
#include "values/textform.h"

namespace kor::expr {

MemoryData::Area* MemoryData::area(int n) {
  if (n < 1 || static_cast<size_t>(n) > areas_.size()) return nullptr;
  return &areas_[static_cast<size_t>(n - 1)];
}
const MemoryData::Area* MemoryData::area(int n) const {
  if (n < 1 || static_cast<size_t>(n) > areas_.size()) return nullptr;
  return &areas_[static_cast<size_t>(n - 1)];
}

int MemoryData::open(std::string_view alias, std::vector<Field> fields, int n) {
  if (n <= 0) {
    n = 1;
    while (area(n) && area(n)->open) ++n;
  }
  if (static_cast<size_t>(n) > areas_.size()) areas_.resize(static_cast<size_t>(n));
  bool anyOpen = std::any_of(areas_.begin(), areas_.end(), [](const Area& a) { return a.open; });
  Area& a = areas_[static_cast<size_t>(n - 1)];
  a = Area{};
  a.open = true;
  a.alias = upper(alias);
  for (auto& f : fields) f.name = upper(f.name);
  a.fields = std::move(fields);
  a.stamp = nextStamp_++;
  if (!anyOpen) current_ = n;
  return n;
}

void MemoryData::close(int n) {
  if (Area* a = area(n)) {
    *a = Area{};
    a->stamp = 0;
  }
}

int MemoryData::append(int n, std::vector<Value> values) {
  Area* a = area(n);
  if (!a || !a->open) return 0;
  std::vector<Value> rec;
  for (size_t i = 0; i < a->fields.size(); ++i)
    rec.push_back(i < values.size() && !values[i].isNil() ? fit(a->fields[i], values[i]) : blank(a->fields[i]));
  a->records.push_back(std::move(rec));
  a->recno = static_cast<int>(a->records.size());
  return a->recno;
}

void MemoryData::go(int n, int recno) {
  if (Area* a = area(n)) a->recno = recno;
}
int MemoryData::recno(int n) const {
  const Area* a = area(n);
  return a ? a->recno : 0;
}
int MemoryData::recordCount(int n) const {
  const Area* a = area(n);
  return a ? static_cast<int>(a->records.size()) : 0;
}
bool MemoryData::isOpen(int n) const {
  const Area* a = area(n);
  return a && a->open;
}
std::string MemoryData::alias(int n) const {
  const Area* a = area(n);
  return a ? a->alias : std::string();
}
const MemoryData::Field* MemoryData::field(int n, int pos) const {
  const Area* a = area(n);
  if (!a || pos < 1 || static_cast<size_t>(pos) > a->fields.size()) return nullptr;
  return &a->fields[static_cast<size_t>(pos - 1)];
}

int MemoryData::selectArea(int n) {
  int prev = current_;
  if (n >= 1) current_ = n;
  return prev;
}

int MemoryData::areaOf(std::string_view alias) {
  std::string u = upper(alltrim(alias));
  for (size_t i = 0; i < areas_.size(); ++i)
    if (areas_[i].open && areas_[i].alias == u) return static_cast<int>(i + 1);
  return 0;
}

uint64_t MemoryData::areaStamp(int n) {
  const Area* a = area(n);
  return a && a->open ? a->stamp : 0;
}

int MemoryData::fieldPos(int n, std::string_view name) {
  const Area* a = area(n);
  if (!a || !a->open) return 0;
  std::string u = upper(name);
  for (size_t i = 0; i < a->fields.size(); ++i)
    if (a->fields[i].name == u) return static_cast<int>(i + 1);
  return 0;
}

Value MemoryData::blank(const Field& f) const {
  switch (f.type) {
    case 'N': return Value::number(0, f.dec, f.len);
    case 'D': return Value::emptyDate();
    case 'L': return Value::logical(false);
    case 'M': return Value::memo("");
    default: return Value(std::string(static_cast<size_t>(f.len), ' '));
  }
}

Value MemoryData::fit(const Field& f, const Value& v) const {
  switch (f.type) {
    case 'N': return Value::number(roundHalfAway(v.num(), f.dec), f.dec, f.len);
    case 'D': return Value::date(v.dateTime());
    case 'L': return Value::logical(v.log());
    case 'M': return Value::memo(v.str());
    default: {
      std::string s(v.str().substr(0, static_cast<size_t>(f.len)));
      s.resize(static_cast<size_t>(f.len), ' ');
      return Value(s);
    }
  }
}

Value MemoryData::fieldGet(int n, int pos) {
  const Area* a = area(n);
  const Field* f = field(n, pos);
  if (!a || !f) return Value();
  if (a->recno < 1 || static_cast<size_t>(a->recno) > a->records.size()) return blank(*f);
  return a->records[static_cast<size_t>(a->recno - 1)][static_cast<size_t>(pos - 1)];
}

void MemoryData::fieldPut(int n, int pos, const Value& v) {
  Area* a = area(n);
  const Field* f = field(n, pos);
  if (!a || !f) return;
  bool ok = (f->type == 'C' || f->type == 'M') ? v.isText()
            : f->type == 'N'                   ? v.isNumber()
            : f->type == 'D'                   ? v.isDate()
                                               : v.isLogical();
  if (!ok) {
    rt::ErrorRecord e = rt::makeError(rt::kErrDataType, "BASE", 1020, f->name);
    e.args = {v.deref()};
    e.canDefault = true;
    rt::raise(e);
    return;
  }
  if (a->recno < 1 || static_cast<size_t>(a->recno) > a->records.size()) return;
  a->records[static_cast<size_t>(a->recno - 1)][static_cast<size_t>(pos - 1)] = fit(*f, v);
}

}  // namespace kor::expr
