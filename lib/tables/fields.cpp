// Field helpers: FIELDX, FIELDTOHASH, HASHTOFIELD, MOVECAMPOS,
// TAMANHOCAMPO, ACREATESTRUCT, DBCV.
#include <cctype>
#include <memory>

#include "expr/expr.h"
#include "runtime/runtime.h"
#include "tables/layer.h"
#include "tables/tables.h"
#include "values/textform.h"

namespace kor::tables {

namespace {

// Where a field argument (a number, a name or "ALIAS->NAME") points.
struct FieldAt {
  WorkArea* w = nullptr;
  int pos = 0;
};

FieldAt locate(const Value& field) {
  FieldAt at;
  if (field.isNumber()) {
    at.w = area();
    long long n = field.integer();
    if (at.w && n >= 1 && n <= at.w->fieldCount()) at.pos = static_cast<int>(n);
    return at;
  }
  if (!field.isText()) return at;
  layer::FieldRef r = layer::parseFieldRef(field.str());
  int n = layer::areaOfRef(r);
  at.w = n ? area(n) : nullptr;
  if (at.w) at.pos = at.w->fieldPos(r.field);
  return at;
}

// The structure entry of a field.
Value entryOf(WorkArea& w, int pos) {
  const dbf::FieldDesc* f = w.field(pos);
  return Value::array({Value(f->name), Value(std::string(1, f->type)), Value(static_cast<int>(f->len)),
                       Value(static_cast<int>(f->dec))});
}

// Opens a table read-only for the duration of a call when it is not open;
// closes it again at the end when it was opened here. The selected area
// comes back.
class Borrowed {
 public:
  explicit Borrowed(const std::string& table) : keep_(currentArea()) {
    std::string alias = defaultAlias(layer::bareTableName(table));
    area_ = areaOf(alias);
    if (!area_ && !table.empty()) {
      if (ARQCONS(Value(table), Value(), Value(kReadOnly))) {
        area_ = areaOf(alias);
        opened_ = area_ != 0;
      }
    }
  }
  ~Borrowed() {
    if (opened_) closeArea(area_);
  }
  Borrowed(const Borrowed&) = delete;
  Borrowed& operator=(const Borrowed&) = delete;
  WorkArea* get() const { return area_ ? area(area_) : nullptr; }

 private:
  AreaScope keep_;
  int area_ = 0;
  bool opened_ = false;
};

}  // namespace

Value FIELDX(const Value& field, const Value& newValue, const Value& deflt, const Value& emptyIsMissing) {
  KOR_ROUTINE("FIELDX");
  FieldAt at = locate(field);
  if (!newValue.isNil()) {
    if (at.pos) at.w->putField(at.pos, newValue);
    return newValue;
  }
  bool missing = at.pos == 0;
  Value v = missing ? Value() : at.w->getField(at.pos);
  if (!deflt.isNil() && (missing || (emptyIsMissing.log() && v.empty()))) {
    // A default naming a field of another table ("OUTRA->CAMPO") is read.
    if (deflt.isText() && deflt.str().find("->") != std::string_view::npos) return expr::evalText(deflt.str());
    return deflt;
  }
  return v;
}

Value FIELDTOHASH() {
  KOR_ROUTINE("FIELDTOHASH");
  Value map = Value::hash();
  if (WorkArea* w = area())
    for (int i = 1; i <= w->fieldCount(); ++i) map.set(Value(w->field(i)->name), w->getField(i));
  return map;
}

void HASHTOFIELD(const Value& map) {
  KOR_ROUTINE("HASHTOFIELD");
  if (!map.isHash()) return;
  if (!BLOQREG()) return;
  WorkArea* w = area();
  for (const auto& [key, value] : map.hashRep()->pairs) FIELDX(key, value);
  if (w && !w->eof()) w->unlock(w->recNo());
}

int MOVECAMPOS(Value& list) {
  KOR_ROUTINE("MOVECAMPOS");
  if (!list.isArray()) list = Value::array();
  if (WorkArea* w = area()) {
    for (int i = 1; i <= w->fieldCount(); ++i) {
      const dbf::FieldDesc* f = w->field(i);
      size_t us = f->name.find('_');
      std::string var = std::string(1, f->type) + (us == std::string::npos ? f->name : f->name.substr(us + 1));
      list.push(Value::array({Value(var), Value(f->name)}));
    }
  }
  return static_cast<int>(list.size());
}

int TAMANHOCAMPO(std::string_view reference) {
  KOR_ROUTINE("TAMANHOCAMPO");
  layer::FieldRef r = layer::parseFieldRef(reference);
  if (r.alias.empty() || std::isdigit(static_cast<unsigned char>(r.alias[0]))) {
    int n = layer::areaOfRef(r);
    WorkArea* w = n ? area(n) : nullptr;
    int pos = w ? w->fieldPos(r.field) : 0;
    return pos ? w->field(pos)->len : 0;
  }
  Borrowed t(r.alias);
  WorkArea* w = t.get();
  int pos = w ? w->fieldPos(r.field) : 0;
  return pos ? w->field(pos)->len : 0;
}

Value ACREATESTRUCT(const Value& names, std::string_view table) {
  KOR_ROUTINE("ACREATESTRUCT");
  Value out = Value::array();
  if (!names.isArray()) return out;
  AreaScope keep(currentArea());
  std::vector<std::unique_ptr<Borrowed>> tables;
  auto tableOf = [&](const std::string& name) -> WorkArea* {
    if (name.empty()) return area();
    tables.push_back(std::make_unique<Borrowed>(name));
    return tables.back()->get();
  };
  for (const Value& item : names.items()) {
    if (!item.isText()) continue;
    layer::FieldRef r = layer::parseFieldRef(item.str());
    WorkArea* w = nullptr;
    if (r.arrow && !r.alias.empty() && std::isdigit(static_cast<unsigned char>(r.alias[0])))
      w = area(areaOf(r.alias));
    else
      w = tableOf(r.arrow ? r.alias : std::string(alltrim(table)));
    int pos = w ? w->fieldPos(r.field) : 0;
    if (pos) out.push(entryOf(*w, pos));
  }
  return out;
}

Value DBCV(std::string_view reference) {
  KOR_ROUTINE("DBCV");
  AreaScope keep(currentArea());
  layer::FieldRef r = layer::parseFieldRef(reference);
  int n = layer::areaOfRef(r);
  WorkArea* w = n ? area(n) : nullptr;
  if (!w) return Value("Area não disponível"_cp);
  int pos = w->fieldPos(r.field);
  if (!pos) return Value("Campo não existe"_cp);
  return w->getField(pos);
}

}  // namespace kor::tables
