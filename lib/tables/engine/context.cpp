// The engine as the expression language's view of the tables, and
// conditions given as expression texts.
#include "expr/expr.h"
#include "runtime/error.h"
#include "tables/engine.h"
#include "tables/engine/errors.h"
#include "values/textform.h"

namespace kor::tables {

Condition::Condition(const Value& v) {
  if (v.isBlock()) {
    kind_ = Kind::Block;
    block_ = v;
    text_ = v.blockRep()->source;
    return;
  }
  if (!v.isText() || alltrim(v.str()).empty()) {
    if (!v.isNil() && !v.isText()) {
      rt::ErrorRecord e = dbError(rt::kErrArg, kSubExpression, {});
      e.args = {v};
      e.canDefault = true;
      raiseOnce(e);
    }
    return;
  }
  text_ = std::string(alltrim(v.str()));
  expr::Compiled c = expr::compile(text_);
  if (!c.valid()) return;
  compiled_ = std::make_shared<const expr::Compiled>(std::move(c));
  kind_ = Kind::Text;
}

bool Condition::test() const {
  switch (kind_) {
    case Kind::None:
      return true;
    case Kind::Block: {
      Value r = evalBlock(block_);
      return r.isLogical() && r.log();
    }
    case Kind::Text: {
      Value r = static_cast<const expr::Compiled*>(compiled_.get())->eval();
      return r.isLogical() && r.log();
    }
  }
  return false;
}

namespace {

class EngineData final : public expr::DataContext {
 public:
  int currentArea() override { return tables::currentArea(); }
  int selectArea(int n) override { return tables::selectArea(n); }
  int areaOf(std::string_view alias) override { return tables::areaOf(alias); }
  uint64_t areaStamp(int n) override {
    WorkArea* a = area(n);
    return a ? a->stamp() : 0;
  }
  int fieldPos(int n, std::string_view name) override {
    WorkArea* a = area(n);
    return a ? a->fieldPos(name) : 0;
  }
  Value fieldGet(int n, int pos) override {
    WorkArea* a = area(n);
    return a ? a->getField(pos) : Value();
  }
  void fieldPut(int n, int pos, const Value& v) override {
    if (WorkArea* a = area(n)) a->putField(pos, v);
  }
};

}  // namespace

void installDataContext() {
  static EngineData data;
  expr::setDataContext(&data);
}

}  // namespace kor::tables
