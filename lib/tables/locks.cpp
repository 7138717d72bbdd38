// Record locking with waits: BLOQREG, BLOQREGEX and ABREREG.
//
// The locks are the engine's (tables/engine.h): locking a record releases
// the area's other record locks, appending releases them and locks the new
// record. Nothing is queued: a waiting instance tries again every 3 seconds
// (sooner when a key is pressed), so of several waiting instances the first
// to try after the release gets the record.
#include "console/screen.h"
#include "errors/activitylog.h"
#include "expr/expr.h"
#include "runtime/runtime.h"
#include "tables/layer.h"
#include "tables/tables.h"
#include "values/textform.h"

namespace kor::tables {

namespace {

constexpr const char* kNoticeColour = "W+/N, N/W,,, N/BG";

std::string lockNotice(const WorkArea& w) {
  return std::string("Registro 'TRAVADO'. Aguarde Liberaçâo !!! ("_cp) + w.alias() + ")";
}

// The text of a key value for the lock log: texts as they are, numbers in
// their standard form, dates as yyyymmdd, logicals as T or F.
std::string keyText(const Value& v) {
  if (v.isText()) return v.string();
  if (v.isNumber()) return std::string(alltrim(strNumber(v)));
  if (v.isDate()) return dtos(v.dateTime());
  if (v.isLogical()) return v.log() ? "T" : "F";
  return {};
}

// With DBGLOCK on: "ALIAS key" into LOCK.LOG, the key being the current
// record's key in the controlling order.
void logWait(WorkArea& w) {
  if (!layer::globalLogical("DBGLOCK", false)) return;
  std::string line = w.alias() + " ";
  if (Order* o = w.order(w.controlling()); o && !o->keyExpr().empty()) {
    AreaScope here(w.number());
    if (auto c = expr::tryCompile(o->keyExpr())) line += keyText(c->eval());
  }
  err::GRAVALOG("LOCK.LOG", Value(line));
}

// Tries to lock the current record until it works, one notice box per
// failed attempt. The boxes opened are returned in `boxes`. False when the
// area lost its table meanwhile (a bound key may close it).
bool lockWaiting(int areaNo, std::vector<int>& boxes) {
  for (;;) {
    WorkArea* w = area(areaNo);
    if (!w) return false;
    if (w->lockRecord()) return true;
    boxes.push_back(layer::openBox({lockNotice(*w)}, kNoticeColour, -1));
    logWait(*w);
    layer::pause(3);
  }
}

void closeBoxes(std::vector<int>& boxes) {
  for (auto it = boxes.rbegin(); it != boxes.rend(); ++it) layer::closeBox(*it);
  boxes.clear();
}

}  // namespace

bool BLOQREG() {
  KOR_ROUTINE("BLOQREG");
  WorkArea* w = requireArea("BLOQREG");
  if (!w) return false;
  // The first try changes nothing on the screen when it succeeds.
  if (w->lockRecord()) return true;
  std::string screen = con::saveScreen();
  con::ScreenStateGuard state;
  std::vector<int> boxes;
  bool ok = lockWaiting(w->number(), boxes);
  closeBoxes(boxes);
  con::restoreScreen(screen);
  return ok;
}

bool BLOQREGEX() {
  KOR_ROUTINE("BLOQREGEX");
  WorkArea* w = requireArea("BLOQREGEX");
  if (!w) return false;
  if (w->lockRecord()) return true;
  std::vector<int> boxes;
  bool ok;
  std::string shown;
  {
    con::ScreenStateGuard state;
    ok = lockWaiting(w->number(), boxes);
    shown = con::saveScreen();
  }
  // The boxes stay on the screen for the caller to redraw; they are taken
  // off the box list so that no later close of "the last box" restores what
  // was under them.
  closeBoxes(boxes);
  con::restoreScreen(shown);
  return ok;
}

bool ABREREG(const Value& retries) { return ABREREG(retries, {}); }

bool ABREREG(const Value& retries, const std::function<std::vector<std::pair<int, Value>>(uint32_t rec)>& fill) {
  KOR_ROUTINE("ABREREG");
  WorkArea* w = requireArea("ABREREG");
  if (!w) return false;
  long long limit = retries.isNumber() ? retries.integer() : 0;
  con::ScreenStateGuard state;
  int areaNo = w->number();
  if (w->append(fill)) return true;

  constexpr int top = 11, left = 15, bottom = 13, right = 63;
  std::string saved = con::saveRect(top, left, bottom, right);
  con::setColor("W+/N, N/W,,,N/BG");
  uint8_t attr = con::colorAttr();
  con::clearRect(top, left, bottom, right, attr);
  con::drawBox(top, left, bottom, right, "\xDA\xC4\xBF\xB3\xD9\xC4\xC0\xB3", attr);
  con::writeAt(12, 17, "   Arquivo 'TRAVADO'. Aguarde Liberacao !!!    ", attr);

  bool result = false;
  long long failed = 1;
  for (;;) {
    w = area(areaNo);
    if (!w) break;
    if (w->append(fill)) {
      result = true;
      break;
    }
    ++failed;
    if (limit > 0 && failed > limit) break;
    layer::pause(3);
  }
  con::restoreRect(top, left, bottom, right, saved);
  return result;
}

}  // namespace kor::tables
