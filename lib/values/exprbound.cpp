// The routines that reach the expression language: the fields of the
// current work area (X_TO_X) and the evaluation of expression texts
// (LARGURA, SONUMERO).
#include "expr/expr.h"
#include "runtime/frames.h"
#include "values/charset.h"
#include "values/convert.h"
#include "values/textform.h"

namespace kor {

Value X_TO_X(const Value& field, const Value& value, const Value& upperCase) {
  KOR_ROUTINE("X_TO_X");
  expr::DataContext* ctx = expr::dataContext();
  if (!ctx) return value.deref();
  int area = ctx->currentArea();
  int pos = 0;
  if (field.isNumber()) pos = static_cast<int>(field.integer());
  else if (field.isText()) pos = ctx->fieldPos(area, alltrim(field.str()));
  if (pos <= 0) return value.deref();
  // The field's type and length are those of its current value (a text
  // field reads at its full width).
  Value current = ctx->fieldGet(area, pos);
  char type = current.typeLetter();
  Value v = value.deref();
  if (v.isNil()) {
    switch (type) {
      case 'C': case 'M': v = Value(""); break;
      case 'N': v = Value(0); break;
      case 'D': v = Value::emptyDate(); break;
      case 'L': v = Value::logical(false); break;
      default: return v;  // a field without a type
    }
  }
  switch (type) {
    case 'C': {
      std::string t = X_TO_C(v).string();
      for (char& c : t)
        if (c == '\n' || c == '\r') c = ' ';
      t = values::replaceAccents(t, 4);
      t.resize(current.str().size(), ' ');
      if (upperCase.log()) t = upper(t);
      return Value(t);
    }
    case 'N': return CONVERTEVALOR(v);
    case 'D': return v.isText() ? Value::date(ctod(v.str())) : v;
    default: return v;
  }
}

Value LARGURA(const Value& expression, const Value& mode) {
  KOR_ROUTINE("LARGURA");
  Value v = expr::evalText(expression.str());
  bool decimals = !alltrim(mode.str()).empty() && upperByte(static_cast<unsigned char>(alltrim(mode.str())[0])) == 'D';
  if (decimals) {
    if (!v.isNumber()) return Value(0);
    std::string t(alltrim(strNumber(v)));
    size_t point = t.find('.');
    return Value(point == std::string::npos ? 0 : static_cast<int>(t.size() - point - 1));
  }
  switch (v.type()) {
    case VType::Number: return Value(static_cast<int>(strNumber(v).size()));
    case VType::Date: return Value(static_cast<int>(dtoc(v.dateTime()).size()));
    default: return Value(static_cast<int>(v.size()));
  }
}

Value SONUMERO(const Value& text) {
  KOR_ROUTINE("SONUMERO");
  if (!text.isText()) return Value::logical(false);
  return Value::logical(expr::evalText(text.str()).isNumber());
}

}  // namespace kor
