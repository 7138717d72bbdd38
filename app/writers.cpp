#include "app/writers.h"

#include <array>

#include "console/alert.h"
#include "errors/activitylog.h"
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "values/convert.h"
#include "values/picture.h"
#include "values/textform.h"

namespace kor::app {

namespace {

using tables::WorkArea;

constexpr std::string_view kCrLf = "\r\n";

// The area of a table by its alias, else the current one; raises when
// neither holds a table.
WorkArea& tableOf(std::string_view alias) {
  if (int n = tables::areaOf(alias)) return *tables::area(n);
  return *tables::requireArea(alias);
}

Value fieldOf(WorkArea& a, std::string_view name) {
  int pos = a.fieldPos(name);
  if (pos == 0) {
    rt::ErrorRecord e = rt::makeError(rt::kErrNoVar, "BASE", 1003, std::string(name));
    rt::raise(e);
    return Value();
  }
  return a.getField(pos);
}

// A program-wide or private variable the caller must have made.
Value requiredVar(std::string_view name) {
  if (!rt::varExists(name)) {
    rt::ErrorRecord e = rt::makeError(rt::kErrNoVar, "BASE", 1003, std::string(name));
    rt::raise(e);
    return Value();
  }
  return rt::getVar(name);
}

// The variable's text when it exists as text.
bool textVar(std::string_view name, std::string& out) {
  if (!rt::varExists(name)) return false;
  Value v = rt::getVar(name);
  if (!v.isText()) return false;
  out = v.string();
  return true;
}

std::string centred(std::string_view text, size_t width, char fill) {
  if (text.size() >= width) return std::string(text.substr(0, width));
  size_t left = (width - text.size()) / 2;
  return std::string(left, fill) + std::string(text) + std::string(width - text.size() - left, fill);
}

std::string routinesBlock(int skip) {
  return std::string(kCrLf) + centred("Rotinas", 20, '-') + std::string(kCrLf) + callChainText(skip);
}

// A value in the rate log: numbers without blanks, the rest as X_TO_C.
std::string plainText(const Value& v) {
  if (v.isNumber()) return std::string(alltrim(strNumber(v)));
  return X_TO_C(v).string();
}

std::string registroText(WorkArea& a) {
  Value picture = requiredVar("C_PICTREG");
  return values::transform(fieldOf(a, "REGISTRO"), picture.isText() ? picture.str() : std::string_view());
}

}  // namespace

std::string ncmDisplay(const Value& code) { return values::transform(code, "@R 9999.99.99"); }

std::string callChainText(int skip) {
  std::string text;
  for (const rt::FrameInfo& f : rt::callStack(skip)) {
    text += f.routine + "(" + std::to_string(f.line) + ")";
    text += kCrLf;
  }
  return text;
}

bool GRV_NCM(const Value& code) {
  KOR_ROUTINE("GRV_NCM");
  WorkArea& item = tableOf("RIITEM");
  std::string registroVar, itemVar;
  bool hasRegistro = textVar("cRegistro", registroVar);
  bool hasItem = textVar("cItem", itemVar);
  Value key = hasRegistro ? Value(registroVar) : fieldOf(item, "REGISTRO");
  Value itemValue = hasItem ? Value(itemVar) : fieldOf(item, "ITEM");

  Value stored = fieldOf(item, "NCM");
  std::string old = stored.isText() ? stored.string() : std::string();
  std::string fresh = code.isText() ? code.string() : X_TO_C(code).string();
  if (!alltrim(old).empty() && rt::compareText(old, fresh, false) != 0) {
    KOR_LINE();
    Value picture = requiredVar("C_PICTREG");
    std::string entry = "Alterado NCM, DE: " + ncmDisplay(Value(old)) + " PARA: " + ncmDisplay(Value(fresh)) + " " +
                        "Registro: " + values::transform(key, picture.isText() ? picture.str() : std::string_view()) + " " +
                        "Item: " + X_TO_C(itemValue).string();
    if (hasRegistro) {
      entry += std::string(kCrLf) + "Variaveis: cRegistro=" + registroVar;
      if (hasItem) entry += "   cItem=" + itemVar;
    }
    entry += routinesBlock(1);
    err::GRAVALOG("ALTNCM.LOG", Value(entry));
    if (rt::routineExists("RI_LOG") && hasItem) {
      KOR_LINE();
      rt::callRoutine("RI_LOG", {key, Value("Item:" + itemVar + " NCM de:" + ncmDisplay(Value(old)) +
                                            " para: " + ncmDisplay(Value(fresh)))});
    }
  }
  KOR_LINE();
  item.putField(item.fieldPos("NCM"), Value(fresh));
  return true;
}

bool GRV_ALIQ(const Value& rate, const std::string& field) {
  KOR_ROUTINE("GRV_ALIQ");
  WorkArea& adic = tableOf("RIADIC");
  std::string name = upper(alltrim(field));
  Value stored = fieldOf(adic, name);

  bool fromGeneration = false;
  for (const rt::FrameInfo& f : rt::callStack(1))
    if (f.routine == "GERAADICAO") fromGeneration = true;

  if (!fromGeneration && !rt::valuesEqual(stored, rate, false)) {
    KOR_LINE();
    std::string entry = "Alterado Aliquota de (" + name + ")" + std::string(kCrLf) + "Registro: " +
                        std::string(alltrim(registroText(adic))) + std::string(kCrLf) + "Adicao: " +
                        X_TO_C(fieldOf(adic, "ADICAO")).string() + " NCM: " + X_TO_C(fieldOf(adic, "NCM")).string() +
                        std::string(kCrLf) + "DE: " + plainText(stored) + " PARA: " + plainText(rate);
    std::string text;
    if (textVar("GREGTRIB", text)) entry += std::string(kCrLf) + "Regime de Trib.=" + text;
    if (textVar("CDISPLEG", text)) entry += std::string(kCrLf) + "Disp.Legal=" + text;
    if (textVar("GBENEFIPI", text)) entry += std::string(kCrLf) + "Beneficio IPI=" + text;
    if (rt::varExists("aAtoLegal")) {
      static constexpr std::array<const char*, 5> kRows = {"NCM", "NBM", "Benef.IPI", "Acordo", "Antidump"};
      Value acts = rt::getVar("aAtoLegal");
      if (acts.isArray()) {
        for (size_t i = 0; i < acts.size(); ++i) {
          const Value& row = acts.at(i);
          if (!row.isArray() || row.size() == 0 || row.at(0).empty()) continue;
          std::string rowName = i < kRows.size() ? kRows[i] : std::to_string(i + 1);
          entry += std::string(kCrLf) + "Ato Legal " + rowName + " = ";
          for (const Value& e : row.items()) entry += X_TO_C(e).string() + " ";
        }
      }
    }
    std::string registroVar;
    if (textVar("cRegistro", registroVar)) {
      entry += std::string(kCrLf) + "Variaveis: cRegistro=" + registroVar;
      if (textVar("CADICAO", text)) entry += "   cADICAO=" + text;
    }
    entry += routinesBlock(1);
    err::GRAVALOG("ALTALIQ.LOG", Value(entry));
    Value alertVar = rt::varExists("ALERTALIQ") ? rt::getVar("ALERTALIQ") : Value();
    if (alertVar.isLogical() && alertVar.log()) {
      std::string shown;
      for (size_t p = 0; p < entry.size(); ++p) {
        if (entry.compare(p, 2, kCrLf) == 0) {
          shown += ';';
          ++p;
        } else {
          shown += entry[p];
        }
      }
      con::alert(shown, {"Ok"});
    }
  }
  KOR_LINE();
  adic.putField(adic.fieldPos(name), rate);
  return true;
}

void registerWriterRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  rt::registerRoutine("GRV_NCM", [](Args& a) { return Value::logical(GRV_NCM(a[0])); });
  rt::registerRoutine("GRV_ALIQ", [](Args& a) { return Value::logical(GRV_ALIQ(a[0], a[1].string())); });
}

}  // namespace kor::app
