// The index functions of the expression language. Each acts on the current
// work area. An order argument is a number (1..count; 0 the natural order)
// or an order name or key expression; absent, the controlling order.
// Without a table in the area the questions answer as for a table without
// orders (0, "", .F.) and the actions raise the "no table" error (35).
//
// ORDCONDSET sets the condition, progress callback, descending flag and
// "additive" for the next ORDCREATE / DBCREATEINDEX, which use them once.
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/engine/errors.h"
#include "tables/engine/indexes.h"
#include "values/textform.h"

namespace kor::tables {

namespace {

Value L(bool b) { return Value::logical(b); }

// The order an argument names: its position, or -1.
int orderArg(WorkArea& w, const Args& a, size_t i) { return orderPosition(w, a[i]); }

Order* orderAt(WorkArea& w, int n) { return n > 0 ? w.order(n) : nullptr; }

// Pending conditions of ORDCONDSET.
struct CondSet {
  bool set = false;
  Value forCond;
  Value eval;
  uint32_t every = 1;
  bool descending = false;
  bool additive = false;
};
CondSet& pending() {
  static CondSet c;
  return c;
}

void noOrder(WorkArea& w, const char* op) {
  rt::ErrorRecord e = dbError(rt::kErrNoOrder, kSubNoOrder, w.path(), 0, op);
  e.canDefault = true;
  raiseOnce(e);
}

// --- the order list -------------------------------------------------------------

Value DBSETINDEX(Args& a) {
  KOR_ROUTINE("DBSETINDEX");
  if (WorkArea* w = requireArea("DBSETINDEX"))
    if (a[0].isText()) orderListAdd(*w, a[0].str());
  return Value();
}

Value ORDLISTADD(Args& a) {
  KOR_ROUTINE("ORDLISTADD");
  if (WorkArea* w = requireArea("ORDLISTADD"))
    if (a[0].isText()) return L(orderListAdd(*w, a[0].str()));
  return L(false);
}

Value DBCLEARINDEX(Args&) {
  KOR_ROUTINE("DBCLEARINDEX");
  if (WorkArea* w = requireArea("DBCLEARINDEX")) orderListClear(*w);
  return Value();
}

Value DBREINDEX(Args&) {
  KOR_ROUTINE("DBREINDEX");
  if (WorkArea* w = requireArea("DBREINDEX")) orderListRebuild(*w);
  return Value();
}

Value ORDCONDSET(Args& a) {
  KOR_ROUTINE("ORDCONDSET");
  CondSet& c = pending();
  c = CondSet{};
  c.set = true;
  // ORDCONDSET(cFor, bFor, lAll, bWhile, bEval, nInterval, nStart, nNext,
  //            nRecord, lRest, lDescend, lAdditive, ...)
  if (a[1].isBlock())
    c.forCond = a[1];
  else if (a[0].isText())
    c.forCond = a[0];
  if (a[4].isBlock()) c.eval = a[4];
  if (a[5].isNumber() && a[5].num() >= 1) c.every = uint32_t(a[5].num());
  c.descending = a[10].log();
  c.additive = a[11].log();
  return L(true);
}

// ORDCREATE(cFile, cOrder, cKey, bKey, lUnique); DBCREATEINDEX(cFile, cKey, bKey, lUnique).
bool createIndex(const char* op, const Value& file, const Value& key, const Value& block, const Value& uniq) {
  WorkArea* w = requireArea(op);
  if (!w) return false;
  IndexSpec s;
  s.file = file.isText() ? file.string() : std::string();
  if (s.file.empty()) s.file = w->alias();
  s.key = key.isText() ? key.string() : std::string();
  s.keyBlock = block.isBlock() ? block : Value();
  s.unique = uniq.isLogical() ? uniq.log() : rt::setting(rt::Set::Unique).log();
  bool additive = false;
  CondSet& c = pending();
  if (c.set) {
    s.forCond = c.forCond;
    s.progress = c.eval;
    s.every = c.every;
    s.descending = c.descending;
    additive = c.additive;
    c = CondSet{};
  }
  return orderCreate(*w, s, additive);
}

Value ORDCREATE(Args& a) {
  KOR_ROUTINE("ORDCREATE");
  return L(createIndex("ORDCREATE", a[0], a[2], a[3], a[4]));
}

Value DBCREATEINDEX(Args& a) {
  KOR_ROUTINE("DBCREATEINDEX");
  createIndex("DBCREATEINDEX", a[0], a[1], a[2], a[3]);
  return Value();
}

// --- choosing and asking ----------------------------------------------------------

Value ORDSETFOCUS(Args& a) {
  KOR_ROUTINE("ORDSETFOCUS");
  WorkArea* w = area();
  if (!w) return Value("");
  Order* was = orderAt(*w, w->controlling());
  std::string previous = was ? was->name() : std::string();
  if (a.has(0)) setOrderFocus(*w, a[0]);
  return Value(previous);
}

Value DBSETORDER(Args& a) {
  KOR_ROUTINE("DBSETORDER");
  if (WorkArea* w = requireArea("DBSETORDER")) setOrderFocus(*w, a.has(0) ? a[0] : Value(0));
  return Value();
}

Value INDEXORD(Args&) {
  KOR_ROUTINE("INDEXORD");
  WorkArea* w = area();
  return Value(w ? w->controlling() : 0);
}

Value ORDNUMBER(Args& a) {
  KOR_ROUTINE("ORDNUMBER");
  WorkArea* w = area();
  if (!w) return Value(0);
  int n = orderArg(*w, a, 0);
  return Value(n < 0 ? 0 : n);
}

Value ORDCOUNT(Args&) {
  KOR_ROUTINE("ORDCOUNT");
  WorkArea* w = area();
  return Value(w ? w->orderCount() : 0);
}

// One text fact of an order (0 = controlling); "" when there is none.
template <class F>
Value orderText(const Args& a, F fact) {
  WorkArea* w = area();
  if (!w) return Value("");
  Order* o = orderAt(*w, a.has(0) ? orderArg(*w, a, 0) : w->controlling());
  return Value(o ? fact(*o) : std::string());
}

Value INDEXKEY(Args& a) {
  KOR_ROUTINE("INDEXKEY");
  return orderText(a, [](Order& o) { return o.keyExpr(); });
}
Value ORDKEY(Args& a) {
  KOR_ROUTINE("ORDKEY");
  return orderText(a, [](Order& o) { return o.keyExpr(); });
}
Value ORDNAME(Args& a) {
  KOR_ROUTINE("ORDNAME");
  return orderText(a, [](Order& o) { return o.name(); });
}
Value ORDFOR(Args& a) {
  KOR_ROUTINE("ORDFOR");
  return orderText(a, [](Order& o) { return o.forExpr(); });
}
Value ORDBAGNAME(Args& a) {
  KOR_ROUTINE("ORDBAGNAME");
  return orderText(a, [](Order& o) { return o.bagName(); });
}

Value ORDBAGEXT(Args&) {
  KOR_ROUTINE("ORDBAGEXT");
  return Value(".ntx");
}

Value ORDDESCEND(Args& a) {
  KOR_ROUTINE("ORDDESCEND");
  WorkArea* w = area();
  Order* o = w ? orderAt(*w, a.has(0) ? orderArg(*w, a, 0) : w->controlling()) : nullptr;
  return L(o && o->descending());
}

Value ORDISUNIQUE(Args& a) {
  KOR_ROUTINE("ORDISUNIQUE");
  WorkArea* w = area();
  Order* o = w ? orderAt(*w, a.has(0) ? orderArg(*w, a, 0) : w->controlling()) : nullptr;
  return L(o && o->unique());
}

// --- keys and positions -------------------------------------------------------------

Value ORDKEYCOUNT(Args& a) {
  KOR_ROUTINE("ORDKEYCOUNT");
  WorkArea* w = area();
  if (!w) return Value(0);
  int n = a.has(0) ? orderArg(*w, a, 0) : w->controlling();
  if (n < 0) return Value(0);
  w->flush();
  Order* o = n ? w->order(n) : &w->nav();
  return Value(static_cast<unsigned long>(n ? o->keyCount() : w->recCount()));
}

Value ORDKEYNO(Args& a) {
  KOR_ROUTINE("ORDKEYNO");
  WorkArea* w = area();
  if (!w || w->eof()) return Value(0);
  int n = a.has(0) ? orderArg(*w, a, 0) : w->controlling();
  if (n < 0) return Value(0);
  w->flush();
  if (n == 0) return Value(static_cast<unsigned long>(w->recNo()));
  return Value(static_cast<unsigned long>(w->order(n)->keyNo(w->recNo())));
}

Value ORDKEYGOTO(Args& a) {
  KOR_ROUTINE("ORDKEYGOTO");
  WorkArea* w = requireArea("ORDKEYGOTO");
  if (!w) return L(false);
  w->flush();
  uint64_t k = a[0].num() >= 1 ? uint64_t(a[0].num()) : 0;
  if (w->controlling() == 0) {
    w->goTo(uint32_t(k));
    return L(!w->eof());
  }
  NtxOrder* o = ntxOrder(*w);
  uint32_t rec = o ? o->gotoKeyNo(k) : 0;
  w->goTo(rec);
  return L(rec != 0);
}

Value ORDKEYVAL(Args&) {
  KOR_ROUTINE("ORDKEYVAL");
  WorkArea* w = area();
  if (!w || w->controlling() == 0) return Value();
  return w->order(w->controlling())->keyValue();
}

// ORDSCOPE(nWhich, [xValue]): the scope before the call; with a second
// argument it is set (nil clears it).
Value ORDSCOPE(Args& a) {
  KOR_ROUTINE("ORDSCOPE");
  WorkArea* w = area();
  if (!w || w->controlling() == 0) return Value();
  Order* o = w->order(w->controlling());
  int which = a[0].integer() == 1 ? 1 : 0;
  Value before = o->scope(which);
  if (a.size() >= 2) {
    w->flush();
    o->setScope(which, a[1]);
  }
  return before;
}

Value ORDWILDSEEK(Args& a) {
  KOR_ROUTINE("ORDWILDSEEK");
  WorkArea* w = requireArea("ORDWILDSEEK");
  if (!w || !a[0].isText()) return L(false);
  if (w->controlling() == 0) {
    noOrder(*w, "ORDWILDSEEK");
    return L(false);
  }
  return L(wildSeek(*w, a[0].str(), a[1].log(), a[2].log()));
}

}  // namespace

void registerIndexRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  struct Entry {
    const char* name;
    Value (*fn)(Args&);
    unsigned flags;
  };
  const Entry entries[] = {
      {"DBSETINDEX", DBSETINDEX, rt::kNone},   {"ORDLISTADD", ORDLISTADD, rt::kNone},
      {"DBCLEARINDEX", DBCLEARINDEX, rt::kNone}, {"ORDLISTCLEAR", DBCLEARINDEX, rt::kNone},
      {"DBREINDEX", DBREINDEX, rt::kNone},     {"ORDLISTREBUILD", DBREINDEX, rt::kNone},
      {"ORDCONDSET", ORDCONDSET, rt::kNone},   {"ORDCREATE", ORDCREATE, rt::kNone},
      {"DBCREATEINDEX", DBCREATEINDEX, rt::kNone}, {"ORDSETFOCUS", ORDSETFOCUS, rt::kNone},
      {"DBSETORDER", DBSETORDER, rt::kNone},   {"INDEXORD", INDEXORD, rt::kPure},
      {"ORDNUMBER", ORDNUMBER, rt::kPure},     {"ORDCOUNT", ORDCOUNT, rt::kPure},
      {"INDEXKEY", INDEXKEY, rt::kPure},       {"ORDKEY", ORDKEY, rt::kPure},
      {"ORDNAME", ORDNAME, rt::kPure},         {"ORDFOR", ORDFOR, rt::kPure},
      {"ORDBAGNAME", ORDBAGNAME, rt::kPure},   {"ORDBAGEXT", ORDBAGEXT, rt::kPure},
      {"INDEXEXT", ORDBAGEXT, rt::kPure},      {"ORDDESCEND", ORDDESCEND, rt::kPure},
      {"ORDISUNIQUE", ORDISUNIQUE, rt::kPure}, {"ORDKEYCOUNT", ORDKEYCOUNT, rt::kPure},
      {"ORDKEYNO", ORDKEYNO, rt::kPure},       {"ORDKEYGOTO", ORDKEYGOTO, rt::kNone},
      {"ORDKEYVAL", ORDKEYVAL, rt::kPure},     {"ORDSCOPE", ORDSCOPE, rt::kNone},
      {"ORDWILDSEEK", ORDWILDSEEK, rt::kNone},
  };
  for (const Entry& e : entries) rt::registerRoutine(e.name, e.fn, e.flags);
}

}  // namespace kor::tables
