#include "console/progress.h"

#include <algorithm>
#include <cmath>

#include "console/alert.h"
#include "console/boxes.h"
#include "console/screen.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "values/picture.h"
#include "values/textform.h"

namespace kor::con {

namespace {

constexpr std::string_view kTrack = "░"_cp;
constexpr std::string_view kBar = "█"_cp;
constexpr std::string_view kLine = "─"_cp;

TableProbe& probe() {
  static TableProbe p;
  return p;
}

std::string currentAlias() { return probe().currentAlias ? probe().currentAlias() : std::string(); }

double ask(const std::function<double(const std::string&)>& fn, const std::string& alias) {
  return fn ? fn(alias) : 0.0;
}

bool hasOrder(const std::string& alias) { return probe().orderName && !probe().orderName(alias).empty(); }

// The text centred in `width` columns, padded with `fill` (the extra column
// on the right); a longer text is cut.
std::string padCentre(std::string_view text, int width, std::string_view fill) {
  std::string_view t = text.substr(0, static_cast<size_t>(width));
  int pad = width - static_cast<int>(t.size());
  std::string out;
  for (int i = 0; i < pad / 2; ++i) out += fill;
  out += t;
  for (int i = 0; i < pad - pad / 2; ++i) out += fill;
  return out;
}

std::string repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// "Tempo restante: " and the estimate in words.
std::string remainingText(double start, double done, double total) {
  std::string words;
  if (rt::routineExists("TEMPOEST"))
    words = rt::callRoutine("TEMPOEST", Args{Value::number(start, 2), Value::number(done), Value::number(total)})
                .string();
  return "Tempo restante: " + words;
}

int defaultTop() {
  // (last row / 2 - 3) rounded to one decimal, cut to an integer.
  return std::max(0, static_cast<int>(roundHalfAway(maxRow() / 2.0 - 3, 1)));
}

// The bar object: its visible fields are the object's fields; the hidden
// ones live here.
struct ProgBarRep : ObjectRep {
  std::string indice;
  bool criado = false;
  Value telaAnt;
  std::string corJan, corSay, corBarra;
  bool started = false;
  bool closedSinceShow = true;

  ~ProgBarRep() override;
  Value& f(std::string_view name) {
    Value* v = field(name);
    static Value none;
    return v ? *v : none;
  }
  void close();
};

void ProgBarRep::close() {
  if (f("LWINTITULO").log()) setTitle(f("TITULOJANELA").str());
  if (criado) {
    int top = static_cast<int>(f("LINHA").integer()), left = static_cast<int>(f("COLUNA").integer());
    restoreRect(top, left, top + 4, left + 43, telaAnt.str());
  }
  closedSinceShow = true;
}

ProgBarRep::~ProgBarRep() {
  // A bar still on the screen gives the screen and the title back when the
  // last reference goes; one already closed is left alone, so that a later
  // screen is not overwritten with the cells the bar once covered.
  if (consoleAlive() && criado && !closedSinceShow) close();
}

ProgBarRep* bar(const Value& v) {
  ObjectRep* o = v.objectRep();
  return o ? dynamic_cast<ProgBarRep*>(o) : nullptr;
}

std::shared_ptr<const ClassDef> progBarClass() {
  static std::shared_ptr<const ClassDef> cls = [] {
    auto c = std::make_shared<ClassDef>();
    c->name = "TPROGBAR";
    c->methods.emplace_back("INCREMENTA", [](Value& self, Args& a) {
      return Value::logical(TPROGBAR_INCREMENTA(self, a[0]));
    });
    c->methods.emplace_back("SHOW", [](Value& self, Args&) {
      TPROGBAR_SHOW(self);
      return self;
    });
    c->methods.emplace_back("CLOSE", [](Value& self, Args&) {
      TPROGBAR_CLOSE(self);
      return self;
    });
    auto init = [](Value& self, Args& a) { return TPROGBAR_INIT(self, a[0], a[1], a[2], a[3], a[4], a[5]); };
    c->methods.emplace_back("INIT", init);
    c->methods.emplace_back("NEW", init);
    return std::shared_ptr<const ClassDef>(std::move(c));
  }();
  return cls;
}

}  // namespace

void setTableProbe(TableProbe p) { probe() = std::move(p); }

double secondsSinceMidnight() {
  plat::LocalTime t = plat::localTime(plat::nowMillis());
  return roundHalfAway(t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millis / 1000.0, 2);
}

Value TPROGBAR() {
  auto* rep = new ProgBarRep();
  rep->cls = progBarClass();
  // The window title, the order and the colours are taken when the bar is
  // made, so that each bar gives back the title it found.
  std::string alias = currentAlias();
  rep->fields = {
      {"TOTAL", Value(100)},
      {"CONTADOR", Value(0)},
      {"INICIADO", Value(0)},
      {"VISIVEL", Value::logical(true)},
      {"MENSAGEM", Value("Processando, aguarde...")},
      {"LINHA", Value(defaultTop())},
      {"COLUNA", Value(std::max(0, (maxCol() - 40) / 2))},
      {"PERCENTUAL", Value(0)},
      {"CPERCENTUAL", Value("0")},
      {"PERCENTUALANT", Value(0)},
      {"MSGANTERIOR", Value("")},
      {"TEMPORESTANTE", Value::logical(false)},
      {"CANCELAR", Value::logical(false)},
      {"ALIAS", Value(alias)},
      {"LWINTITULO", Value::logical(true)},
      {"TITULOJANELA", Value(title())},
      {"LSOMBRA", Value::logical(true)},
  };
  rep->indice = alias.empty() || !probe().orderName ? std::string() : probe().orderName(alias);
  rep->corJan = textVar("CCORJAN", "N/W");
  rep->corSay = textVar("CCORSAY", "B/W");
  rep->corBarra = textVar("CCORBARRA", "W/N");
  return Value::fromRep(VType::Object, rep);
}

Value TPROGBAR_INIT(Value self, const Value& total, const Value& caption, const Value& remaining, const Value& top,
                    const Value& left, const Value& cancel) {
  KOR_ROUTINE("TPROGBAR_INIT");
  ProgBarRep* b = bar(self);
  if (!b) return self;
  if (total.isNumber()) {
    b->f("TOTAL") = total;
  } else {
    // Without a total, the current table's size; without a table the bar
    // has no total and shows 0% until one is set.
    std::string alias = currentAlias();
    if (!alias.empty())
      b->f("TOTAL") = Value::number(hasOrder(alias) ? ask(probe().keyCount, alias) : ask(probe().recCount, alias));
    else
      b->f("TOTAL") = Value();
  }
  if (caption.isText() || caption.isBlock()) b->f("MENSAGEM") = caption;
  if (remaining.isLogical()) b->f("TEMPORESTANTE") = remaining;
  if (top.isNumber()) b->f("LINHA") = Value(static_cast<int>(top.integer()));
  if (left.isNumber()) b->f("COLUNA") = Value(static_cast<int>(left.integer()));
  if (cancel.isLogical()) b->f("CANCELAR") = cancel;
  return self;
}

bool TPROGBAR_INCREMENTA(Value& self, const Value& n) {
  KOR_ROUTINE("TPROGBAR_INCREMENTA");
  ProgBarRep* b = bar(self);
  if (!b) return true;
  Value& count = b->f("CONTADOR");
  std::string alias = b->f("ALIAS").string();
  if (n.isNumber())
    count = Value::number(count.num() + n.num(), std::max(count.decimals(), n.decimals()));
  else if (!alias.empty())
    count = Value::number(b->indice.empty() ? ask(probe().recNo, alias) : ask(probe().keyPosition, alias));
  else
    count = Value::number(count.num() + 1, count.decimals());

  Value& total = b->f("TOTAL");
  std::string current = currentAlias();
  if (total.isNil() && !current.empty())
    total = Value::number(hasOrder(current) ? ask(probe().keyCount, current) : ask(probe().recCount, current));

  bool goOn = true;
  if (b->f("CANCELAR").log()) {
    int k = nextKey();
    if (k != 0) inkey(Wait::none());
    if (k == key::Esc)
      goOn = MSGALERTA(Value("Atenção!;Deseja realmente cancelar este procedimento?"_cp),
                       Value::array({Value("Não"_cp), Value("Sim")})) != 2;
  }
  if (!b->started) {
    b->started = true;
    b->f("INICIADO") = Value::number(secondsSinceMidnight(), 2);
  }
  double t = total.num();
  int p = (total.isNumber() && t != 0) ? static_cast<int>(roundHalfAway(count.num() / t * 100.0, 2)) : 0;
  if (p > 101) {
    p = 100;
    b->f("MENSAGEM") = Value("ERRO > ");
  }
  b->f("PERCENTUAL") = Value(p);
  b->f("CPERCENTUAL") = Value(std::to_string(p));
  TPROGBAR_SHOW(self);
  return goOn;
}

void TPROGBAR_SHOW(Value& self) {
  KOR_ROUTINE("TPROGBAR_SHOW");
  ProgBarRep* b = bar(self);
  if (!b) return;
  const Value& msg = b->f("MENSAGEM");
  std::string caption = msg.isBlock() ? evalBlock(msg).string() : msg.string();
  caption += " " + b->f("CPERCENTUAL").string() + "%";
  // The whole drawing is buffered, the hidden cursor included: a bar
  // advanced once per record sends only the cells that changed.
  DispGuard buffered;
  int oldShape = setCursor(kCursorNone);
  if (b->f("VISIVEL").log()) {
    int top = static_cast<int>(b->f("LINHA").integer()), left = static_cast<int>(b->f("COLUNA").integer());
    if (b->telaAnt.isNil()) b->telaAnt = Value(saveRect(top, left, top + 4, left + 43));
    int r = row(), c = col();
    uint8_t jan = firstAttr(b->corJan, 0x70), barra = firstAttr(b->corBarra, 0x07);
    {
      DispGuard buffered;
      if (!b->criado || b->closedSinceShow)
        DESJAN(top, left, top + 2, left + 41, false, {}, 13, b->corJan, b->f("LSOMBRA").log());
      b->criado = true;
      writeAt(top + 1, left + 1, repeat(kTrack, 40), jan);
      writeAt(top, left + 1, padCentre(caption, 39, kLine), jan);
      int cells = std::clamp(static_cast<int>(b->f("PERCENTUAL").integer()) * 2 / 5, 0, 40);
      writeAt(top + 1, left + 1, repeat(kBar, cells), barra);
      if (b->f("TEMPORESTANTE").log()) {
        std::string est = remainingText(b->f("INICIADO").num(), b->f("CONTADOR").num(), b->f("TOTAL").num());
        writeAt(top + 2, left + 1, padCentre(est, 39, kLine), jan);
      }
      if (b->f("LWINTITULO").log())
        setTitle(b->f("TITULOJANELA").string() + " - " + b->f("CPERCENTUAL").string() + "%");
      setPos(r, c);
    }
    b->f("MSGANTERIOR") = Value(caption);
    b->closedSinceShow = false;
  } else {
    b->close();
    b->criado = false;
  }
  setCursor(oldShape);
}

void TPROGBAR_CLOSE(Value& self) {
  KOR_ROUTINE("TPROGBAR_CLOSE");
  if (ProgBarRep* b = bar(self)) b->close();
}

// --- PROGBAR ------------------------------------------------------------------------

bool PROGBAR(const Value& currentArg, const Value& totalArg, const Value& captionArg, const Value& topArg,
             const Value& leftArg, const Value& cancel, const Value& start) {
  KOR_ROUTINE("PROGBAR");
  int oldShape = setCursor(kCursorNone);
  struct ShapeBack {
    int s;
    ~ShapeBack() { setCursor(s); }
  } shapeBack{oldShape};
  if (cancel.isLogical() && cancel.log() && nextKey() == key::Esc) {
    inkey(Wait::none());
    if (alert("Atenção !;Cancela o procedimento ?"_cp, {"Sim", std::string("Não"_cp)}) == 1) return false;
  }
  std::string alias = currentAlias();
  double current = currentArg.isNumber() ? currentArg.num()
                                         : (hasOrder(alias) ? ask(probe().keyPosition, alias) : ask(probe().recNo, alias));
  double total = totalArg.isNumber() ? totalArg.num() : ask(probe().recCount, alias);
  double p = total != 0 ? roundHalfAway(current / total * 100.0, 2) : 0;
  double whole = std::floor(p);
  bool half = std::fabs(p - whole - 0.5) < 1e-9;
  if (!(p < 2 || p >= 99 || p == whole || half)) return true;

  int top = topArg.isNumber() ? static_cast<int>(topArg.integer()) : defaultTop();
  int left = leftArg.isNumber() ? static_cast<int>(leftArg.integer()) : 19;
  std::string corJan = textVar("CCORJAN", "N/W");
  uint8_t jan = firstAttr(corJan, 0x70), barra = firstAttr(textVar("CCORBARRA", "W/N"), 0x07);
  std::string remaining;
  if (start.isNumber()) remaining = remainingText(start.num(), current, total);
  std::string caption;
  if (captionArg.isText()) {
    caption = captionArg.string();
  } else if (!remaining.empty()) {
    caption = remaining;
    remaining.clear();
  } else {
    caption = "Processando, Aguarde...";
  }
  int pct = static_cast<int>(p);
  caption += strNumber(Value(pct), 3, 0) + "%";

  ScreenStateGuard state;
  DispGuard buffered;
  DESJAN(top, left, top + 2, left + 41, false, {}, 13, corJan);
  writeAt(top + 1, left + 1, repeat(kTrack, 40), jan);
  writeAt(top, left + 1, padCentre(caption, 39, kLine), jan);
  if (!remaining.empty()) writeAt(top + 2, left + 1, padCentre(remaining, 39, kLine), jan);
  writeAt(top + 1, left + 1, repeat(kBar, std::clamp(pct * 2 / 5, 0, 40)), barra);
  return true;
}

// --- NTXPROGRESS ------------------------------------------------------------------------

bool NTXPROGRESS() {
  KOR_ROUTINE("NTXPROGRESS");
  double done = rt::getVar("NCOMPLETE").num() + 1;
  rt::assignVar("NCOMPLETE", Value::number(done));
  double records = rt::getVar("NCONTREG").num();
  double percent = records != 0 ? done / records * 100.0 : 0;
  if (rt::varExists("NPERCENT")) rt::assignVar("NPERCENT", Value::number(percent, 2));
  Value step = rt::getVar("NPASSOPROGRESSO");
  if (step.isNumber() && step.num() != 0 && std::fmod(percent, step.num()) != 0) return true;
  uint8_t attr = firstAttr(configuredColours() ? textVar("CCORJAN", "N/W") : std::string("N/W"), 0x70);
  writeAt(12, 40, values::transform(Value::number(percent, 2), "999.99"), attr);
  writeAt(12, 46, "%", attr);
  return true;
}

}  // namespace kor::con
