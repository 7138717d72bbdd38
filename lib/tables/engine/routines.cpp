// The table functions of the expression language. Each acts on the current
// work area (expressions qualify them with alias->(...) to act elsewhere).
// With no table in the area, the questions answer as for an empty table
// (RECNO() 0, EOF() and BOF() true, ALIAS() "") and the actions raise the
// "no table" error (generic code 35).
#include <cstdio>

#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/engine/errors.h"
#include "tables/engine/indexes.h"
#include "values/textform.h"

// The C library's EOF macro would hide the routine of that name.
#ifdef EOF
#undef EOF
#endif

namespace kor::tables {

namespace {

Value L(bool b) { return Value::logical(b); }

uint32_t toRec(const Value& v) {
  double n = v.num();
  return n < 1 || n > 4294967295.0 ? 0 : static_cast<uint32_t>(n);
}

// A condition argument: a callback or an expression text.
Condition cond(const Args& a, size_t i) { return a.has(i) ? Condition(a[i]) : Condition(); }

Scope scopeOf(const Args& a, size_t first) {
  Scope s;
  s.forCond = cond(a, first);
  s.whileCond = cond(a, first + 1);
  s.next = a.has(first + 2) ? toRec(a[first + 2]) : 0;
  s.record = a.has(first + 3) ? toRec(a[first + 3]) : 0;
  s.rest = a[first + 4].log();
  return s;
}

std::vector<std::string> namesOf(const Value& v) {
  std::vector<std::string> out;
  if (v.isArray())
    for (const Value& x : v.items())
      if (x.isText()) out.push_back(x.string());
  return out;
}

// --- questions ----------------------------------------------------------------

Value RECNO(Args&) {
  KOR_ROUTINE("RECNO");
  WorkArea* w = area();
  return w ? Value(static_cast<unsigned long long>(w->recNo())) : Value(0);
}

Value RECCOUNT(Args&) {
  KOR_ROUTINE("RECCOUNT");
  WorkArea* w = area();
  return w ? Value(static_cast<unsigned long long>(w->recCount())) : Value(0);
}

Value LASTREC(Args&) {
  KOR_ROUTINE("LASTREC");
  WorkArea* w = area();
  return w ? Value(static_cast<unsigned long long>(w->recCount())) : Value(0);
}

Value EOF(Args&) {
  KOR_ROUTINE("EOF");
  WorkArea* w = area();
  return L(!w || w->eof());
}

Value BOF(Args&) {
  KOR_ROUTINE("BOF");
  WorkArea* w = area();
  return L(!w || w->bof());
}

Value FOUND(Args&) {
  KOR_ROUTINE("FOUND");
  WorkArea* w = area();
  return L(w && w->found());
}

Value DELETED(Args&) {
  KOR_ROUTINE("DELETED");
  WorkArea* w = area();
  return L(w && w->deleted());
}

Value ALIAS(Args& a) {
  KOR_ROUTINE("ALIAS");
  WorkArea* w = area(a.has(0) ? static_cast<int>(a[0].integer()) : 0);
  return Value(w ? w->alias() : std::string());
}

Value DBF(Args&) {
  KOR_ROUTINE("DBF");
  WorkArea* w = area();
  return Value(w ? w->alias() : std::string());
}

Value SELECT(Args& a) {
  KOR_ROUTINE("SELECT");
  if (!a.has(0)) return Value(currentArea());
  if (a[0].isNumber()) return Value(static_cast<int>(a[0].integer()));
  return Value(areaOf(a[0].str()));
}

Value USED(Args&) {
  KOR_ROUTINE("USED");
  return L(area() != nullptr);
}

Value NETERR(Args& a) {
  KOR_ROUTINE("NETERR");
  bool was = rt::netErr();
  if (a[0].isLogical()) rt::setNetErr(a[0].log());
  return L(was);
}

Value FCOUNT(Args&) {
  KOR_ROUTINE("FCOUNT");
  WorkArea* w = area();
  return Value(w ? w->fieldCount() : 0);
}

Value FIELDNAME(Args& a) {
  KOR_ROUTINE("FIELDNAME");
  WorkArea* w = area();
  const dbf::FieldDesc* f = w ? w->field(static_cast<int>(a[0].integer())) : nullptr;
  return Value(f ? f->name : std::string());
}

Value FIELDPOS(Args& a) {
  KOR_ROUTINE("FIELDPOS");
  WorkArea* w = area();
  return Value(w ? w->fieldPos(a[0].str()) : 0);
}

Value FIELDTYPE(Args& a) {
  KOR_ROUTINE("FIELDTYPE");
  WorkArea* w = area();
  const dbf::FieldDesc* f = w ? w->field(static_cast<int>(a[0].integer())) : nullptr;
  return f ? Value(std::string(1, f->type)) : Value();
}

Value FIELDLEN(Args& a) {
  KOR_ROUTINE("FIELDLEN");
  WorkArea* w = area();
  const dbf::FieldDesc* f = w ? w->field(static_cast<int>(a[0].integer())) : nullptr;
  return f ? Value(static_cast<int>(f->len)) : Value(0);
}

Value FIELDDEC(Args& a) {
  KOR_ROUTINE("FIELDDEC");
  WorkArea* w = area();
  const dbf::FieldDesc* f = w ? w->field(static_cast<int>(a[0].integer())) : nullptr;
  return f ? Value(static_cast<int>(f->dec)) : Value(0);
}

Value FIELDGET(Args& a) {
  KOR_ROUTINE("FIELDGET");
  WorkArea* w = area();
  return w ? w->getField(static_cast<int>(a[0].integer())) : Value();
}

Value FIELDPUT(Args& a) {
  KOR_ROUTINE("FIELDPUT");
  WorkArea* w = requireArea("FIELDPUT");
  if (!w) return Value();
  return w->putField(static_cast<int>(a[0].integer()), a[1]) ? a[1] : Value();
}

Value HEADER(Args&) {
  KOR_ROUTINE("HEADER");
  WorkArea* w = area();
  return Value(w ? static_cast<int>(w->table().header().headerLen) : 0);
}

Value RECSIZE(Args&) {
  KOR_ROUTINE("RECSIZE");
  WorkArea* w = area();
  return Value(w ? static_cast<int>(w->table().recordLen()) : 0);
}

Value LUPDATE(Args&) {
  KOR_ROUTINE("LUPDATE");
  WorkArea* w = area();
  if (!w) return Value::emptyDate();
  const dbf::Header& h = w->table().header();
  return Value::ymd(1900 + h.year, h.month, h.day);
}

Value DBSTRUCT(Args&) {
  KOR_ROUTINE("DBSTRUCT");
  WorkArea* w = area();
  return w ? structureOf(*w) : Value::array();
}

Value DBRLOCKLIST(Args&) {
  KOR_ROUTINE("DBRLOCKLIST");
  Value list = Value::array();
  if (WorkArea* w = area())
    for (uint32_t r : w->lockList()) list.push(Value(static_cast<unsigned long long>(r)));
  return list;
}

Value DBFILTER(Args&) {
  KOR_ROUTINE("DBFILTER");
  WorkArea* w = area();
  return Value(w ? w->filter().text() : std::string());
}

// --- movement and changes --------------------------------------------------------

Value DBSKIP(Args& a) {
  KOR_ROUTINE("DBSKIP");
  if (WorkArea* w = requireArea("DBSKIP")) w->skip(a.has(0) ? static_cast<long>(a[0].integer()) : 1);
  return Value();
}

Value DBGOTOP(Args&) {
  KOR_ROUTINE("DBGOTOP");
  if (WorkArea* w = requireArea("DBGOTOP")) w->goTop();
  return Value();
}

Value DBGOBOTTOM(Args&) {
  KOR_ROUTINE("DBGOBOTTOM");
  if (WorkArea* w = requireArea("DBGOBOTTOM")) w->goBottom();
  return Value();
}

Value DBGOTO(Args& a) {
  KOR_ROUTINE("DBGOTO");
  if (WorkArea* w = requireArea("DBGOTO")) w->goTo(toRec(a[0]));
  return Value();
}

Value DBSEEK(Args& a) {
  KOR_ROUTINE("DBSEEK");
  WorkArea* w = requireArea("DBSEEK");
  if (!w) return L(false);
  bool soft = a[1].isLogical() ? a[1].log() : rt::setting(rt::Set::SoftSeek).log();
  return L(w->seek(a[0], soft, a[2].log()));
}

Value DBAPPEND(Args&) {
  KOR_ROUTINE("DBAPPEND");
  if (WorkArea* w = requireArea("DBAPPEND")) w->append();
  return Value();
}

Value DBDELETE(Args&) {
  KOR_ROUTINE("DBDELETE");
  if (WorkArea* w = requireArea("DBDELETE")) w->deleteRecord();
  return Value();
}

Value DBRECALL(Args&) {
  KOR_ROUTINE("DBRECALL");
  if (WorkArea* w = requireArea("DBRECALL")) w->recall();
  return Value();
}

Value DBCOMMIT(Args&) {
  KOR_ROUTINE("DBCOMMIT");
  if (WorkArea* w = requireArea("DBCOMMIT")) w->commit();
  return Value();
}

Value DBCOMMITALL(Args&) {
  KOR_ROUTINE("DBCOMMITALL");
  commitAll();
  return Value();
}

Value DBPACK(Args&) {
  KOR_ROUTINE("__DBPACK");
  if (WorkArea* w = requireArea("__DBPACK")) w->pack();
  return Value();
}

Value DBZAP(Args&) {
  KOR_ROUTINE("__DBZAP");
  if (WorkArea* w = requireArea("__DBZAP")) w->zap();
  return Value();
}

// --- locks ----------------------------------------------------------------------------

Value RLOCK(Args&) {
  KOR_ROUTINE("RLOCK");
  WorkArea* w = requireArea("RLOCK");
  return L(w && w->lockRecord());
}

Value FLOCK(Args&) {
  KOR_ROUTINE("FLOCK");
  WorkArea* w = requireArea("FLOCK");
  return L(w && w->lockFile());
}

Value DBRLOCK(Args& a) {
  KOR_ROUTINE("DBRLOCK");
  WorkArea* w = requireArea("DBRLOCK");
  if (!w) return L(false);
  if (!a.has(0)) return L(w->lockRecord());
  return L(w->lockRecord(toRec(a[0]), false));
}

Value DBRUNLOCK(Args& a) {
  KOR_ROUTINE("DBRUNLOCK");
  if (WorkArea* w = area()) {
    if (a.has(0)) {
      if (uint32_t r = toRec(a[0])) w->unlock(r);
    } else {
      for (uint32_t r : w->lockList()) w->unlock(r);
    }
  }
  return Value();
}

Value DBUNLOCK(Args&) {
  KOR_ROUTINE("DBUNLOCK");
  if (WorkArea* w = area()) w->unlock();
  return Value();
}

Value DBUNLOCKALL(Args&) {
  KOR_ROUTINE("DBUNLOCKALL");
  unlockAll();
  return Value();
}

// --- areas and tables ----------------------------------------------------------------------

Value DBSELECTAREA(Args& a) {
  KOR_ROUTINE("DBSELECTAREA");
  if (a[0].isNumber()) {
    selectArea(static_cast<int>(a[0].integer()));
  } else if (a[0].isText()) {
    if (!selectAlias(a[0].str())) {
      rt::ErrorRecord e = rt::makeError(rt::kErrNoAlias, "BASE", 1002, a[0].string());
      e.canDefault = true;
      rt::raise(e);
    }
  }
  return Value();
}

Value DBCLOSEAREA(Args&) {
  KOR_ROUTINE("DBCLOSEAREA");
  closeArea(0);
  return Value();
}

Value DBCLOSEALL(Args&) {
  KOR_ROUTINE("DBCLOSEALL");
  closeAll();
  return Value();
}

Value DBUSEAREA(Args& a) {
  KOR_ROUTINE("DBUSEAREA");
  OpenSpec s;
  s.newArea = a[0].log();
  s.driver = a[1].string();
  s.file = a[2].string();
  s.alias = a[3].string();
  s.shared = a[4].isLogical() ? a[4].log() : !rt::setting(rt::Set::Exclusive).log();
  s.readOnly = a[5].log();
  openTable(s);
  return Value();
}

Value DBCREATE(Args& a) {
  KOR_ROUTINE("DBCREATE");
  std::vector<FieldDef> defs;
  if (!structureFromValue(a[1], defs)) return L(false);
  return L(createTable(a[0].str(), defs, a[2].str()));
}

Value DBSETFILTER(Args& a) {
  KOR_ROUTINE("DBSETFILTER");
  WorkArea* w = requireArea("DBSETFILTER");
  if (!w) return Value();
  // The text is the saved form; without a callback it is the condition.
  Condition c(a[0].isBlock() ? a[0] : a[1]);
  if (a[0].isBlock() && a[1].isText()) c.setText(a[1].string());
  w->setFilter(std::move(c));
  return Value();
}

Value DBCLEARFILTER(Args&) {
  KOR_ROUTINE("DBCLEARFILTER");
  if (WorkArea* w = area()) w->clearFilter();
  return Value();
}

Value DBEVAL(Args& a) {
  KOR_ROUTINE("DBEVAL");
  WorkArea* w = requireArea("DBEVAL");
  if (!w) return Value();
  Value block = a[0];
  w->forEach(scopeOf(a, 1), [&] {
    evalBlock(block);
    return true;
  });
  return Value();
}

Value DBLOCATE(Args& a) {
  KOR_ROUTINE("__DBLOCATE");
  WorkArea* w = requireArea("__DBLOCATE");
  return L(w && w->locate(scopeOf(a, 0)));
}

Value DBCONTINUE(Args&) {
  KOR_ROUTINE("__DBCONTINUE");
  WorkArea* w = requireArea("__DBCONTINUE");
  return L(w && w->continueLocate());
}

Value DBCOPY(Args& a) {
  KOR_ROUTINE("__DBCOPY");
  WorkArea* w = requireArea("__DBCOPY");
  if (!w || !knownDriver(a[7].str())) return L(false);
  copyTo(*w, a[0].str(), namesOf(a[1]), scopeOf(a, 2));
  return L(true);
}

Value DBAPP(Args& a) {
  KOR_ROUTINE("__DBAPP");
  WorkArea* w = requireArea("__DBAPP");
  if (!w || !knownDriver(a[7].str())) return L(false);
  appendFrom(*w, a[0].str(), namesOf(a[1]), scopeOf(a, 2));
  return L(true);
}

}  // namespace

void registerRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  installDataContext();
  struct Entry {
    const char* name;
    Value (*fn)(Args&);
    unsigned flags;
  };
  const Entry entries[] = {
      {"RECNO", RECNO, rt::kPure},         {"RECCOUNT", RECCOUNT, rt::kPure},
      {"LASTREC", LASTREC, rt::kPure},     {"EOF", EOF, rt::kPure},
      {"BOF", BOF, rt::kPure},             {"FOUND", FOUND, rt::kPure},
      {"DELETED", DELETED, rt::kPure},     {"ALIAS", ALIAS, rt::kPure},
      {"DBF", DBF, rt::kPure},             {"SELECT", SELECT, rt::kPure},
      {"USED", USED, rt::kPure},           {"NETERR", NETERR, rt::kNone},
      {"FCOUNT", FCOUNT, rt::kPure},       {"FIELDNAME", FIELDNAME, rt::kPure},
      {"FIELD", FIELDNAME, rt::kPure},     {"FIELDPOS", FIELDPOS, rt::kPure},
      {"FIELDTYPE", FIELDTYPE, rt::kPure}, {"FIELDLEN", FIELDLEN, rt::kPure},
      {"FIELDDEC", FIELDDEC, rt::kPure},   {"FIELDGET", FIELDGET, rt::kPure},
      {"FIELDPUT", FIELDPUT, rt::kNone},   {"HEADER", HEADER, rt::kPure},
      {"RECSIZE", RECSIZE, rt::kPure},     {"LUPDATE", LUPDATE, rt::kPure},
      {"DBSTRUCT", DBSTRUCT, rt::kPure},   {"DBRLOCKLIST", DBRLOCKLIST, rt::kPure},
      {"DBFILTER", DBFILTER, rt::kPure},   {"DBSKIP", DBSKIP, rt::kNone},
      {"DBGOTOP", DBGOTOP, rt::kNone},     {"DBGOBOTTOM", DBGOBOTTOM, rt::kNone},
      {"DBGOTO", DBGOTO, rt::kNone},       {"DBSEEK", DBSEEK, rt::kNone},
      {"DBAPPEND", DBAPPEND, rt::kNone},   {"DBDELETE", DBDELETE, rt::kNone},
      {"DBRECALL", DBRECALL, rt::kNone},   {"DBCOMMIT", DBCOMMIT, rt::kNone},
      {"DBCOMMITALL", DBCOMMITALL, rt::kNone}, {"__DBPACK", DBPACK, rt::kNone},
      {"__DBZAP", DBZAP, rt::kNone},       {"RLOCK", RLOCK, rt::kNone},
      {"FLOCK", FLOCK, rt::kNone},         {"DBRLOCK", DBRLOCK, rt::kNone},
      {"DBRUNLOCK", DBRUNLOCK, rt::kNone}, {"DBUNLOCK", DBUNLOCK, rt::kNone},
      {"DBUNLOCKALL", DBUNLOCKALL, rt::kNone}, {"DBSELECTAREA", DBSELECTAREA, rt::kNone},
      {"DBCLOSEAREA", DBCLOSEAREA, rt::kNone}, {"DBCLOSEALL", DBCLOSEALL, rt::kNone},
      {"DBUSEAREA", DBUSEAREA, rt::kNone}, {"DBCREATE", DBCREATE, rt::kNone},
      {"DBSETFILTER", DBSETFILTER, rt::kNone}, {"DBCLEARFILTER", DBCLEARFILTER, rt::kNone},
      {"DBEVAL", DBEVAL, rt::kNone},       {"__DBLOCATE", DBLOCATE, rt::kNone},
      {"__DBCONTINUE", DBCONTINUE, rt::kNone}, {"__DBCOPY", DBCOPY, rt::kNone},
      {"__DBAPP", DBAPP, rt::kNone},
  };
  for (const Entry& e : entries) rt::registerRoutine(e.name, e.fn, e.flags);
  registerIndexRoutines();
}

}  // namespace kor::tables
