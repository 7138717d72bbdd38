// The table layer's routines by name, for expressions, menus and bindings.
#include "console/progress.h"
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/tables.h"

namespace kor::tables {

namespace {

Value L(bool b) { return Value::logical(b); }
std::string S(const Value& v) { return v.isText() ? v.string() : std::string(); }

// How the progress bars follow a table when they are given no counts.
void installTableProbe() {
  auto orderOf = [](const std::string& alias) -> Order* {
    WorkArea* w = area(areaOf(alias));
    return w ? w->order(w->controlling()) : nullptr;
  };
  con::TableProbe p;
  p.currentAlias = [] {
    WorkArea* w = area();
    return w ? w->alias() : std::string();
  };
  p.orderName = [orderOf](const std::string& alias) {
    Order* o = orderOf(alias);
    return o ? o->name() : std::string();
  };
  p.keyPosition = [orderOf](const std::string& alias) {
    Order* o = orderOf(alias);
    WorkArea* w = area(areaOf(alias));
    return o && w && !w->eof() ? static_cast<double>(o->keyNo(w->recNo())) : 0.0;
  };
  p.keyCount = [orderOf](const std::string& alias) {
    Order* o = orderOf(alias);
    return o ? static_cast<double>(o->keyCount()) : 0.0;
  };
  p.recNo = [](const std::string& alias) {
    WorkArea* w = area(areaOf(alias));
    return w ? static_cast<double>(w->recNo()) : 0.0;
  };
  p.recCount = [](const std::string& alias) {
    WorkArea* w = area(areaOf(alias));
    return w ? static_cast<double>(w->recCount()) : 0.0;
  };
  con::setTableProbe(std::move(p));
}

}  // namespace

void registerTableLayerRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  registerRoutines();  // the engine's own functions
  installTableProbe();

  using rt::registerRoutine;
  // opening and closing
  registerRoutine("ABREARQ", [](Args& a) { return Value(ABREARQ(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8])); });
  registerRoutine("ARQCONS", [](Args& a) { return L(ARQCONS(a[0], a[1], a[2], a[3], a[4], a[5], a[6])); });
  registerRoutine("FECHATABELA", [](Args& a) {
    FECHATABELA(a[0]);
    return Value();
  });
  registerRoutine("ASSOCIATABELA", [](Args& a) { return Value(ASSOCIATABELA(S(a[0]))); });
  registerRoutine("EXISTETABELA", [](Args& a) { return L(EXISTETABELA(S(a[0]), a[1].log(), a[2])); });
  registerRoutine("EXISTEINDICE", [](Args& a) { return L(EXISTEINDICE(S(a[0]), a[1].log(), a[2])); });
  registerRoutine("EXTENSAOINDICE", [](Args& a) { return Value(EXTENSAOINDICE(S(a[0]), a[1])); }, rt::kPure);
  registerRoutine("DBPATH", [](Args& a) { return Value(DBPATH(a[0])); }, rt::kPure);
  registerRoutine("DATABASEINFO", [](Args&) { return Value(DATABASEINFO()); }, rt::kPure);
  registerRoutine("DBREFRESH", [](Args&) { return L(DBREFRESH()); });
  registerRoutine("EXISTETABELALETO", [](Args& a) -> Value { EXISTETABELALETO(S(a[0])); });

  // database-server entry points
  registerRoutine("SR_FILE", [](Args& a) { return L(SR_FILE(S(a[0]))); });
  registerRoutine("SR_EXISTTABLE", [](Args& a) { return L(SR_EXISTTABLE(S(a[0]))); });
  registerRoutine("SR_EXISTINDEX", [](Args& a) { return L(SR_EXISTINDEX(S(a[0]))); });
  registerRoutine("SR_DROPTABLE", [](Args& a) {
    SR_DROPTABLE(S(a[0]));
    return Value();
  });
  registerRoutine("SR_DROPINDEX", [](Args& a) {
    SR_DROPINDEX(S(a[0]));
    return Value();
  });
  registerRoutine("SR_ADDCONNECTION", [](Args& a) { return Value(SR_ADDCONNECTION(a[0], a[1])); });
  for (const char* name : {"SR_END", "SR_DETECTDBFROMDSN", "SQLRDD", "SR_FIREBIRD", "SR_SETFILTER"})
    registerRoutine(name, [](Args&) { return Value(); });
  registerRoutine("SR_SETRDDTEMP", [](Args& a) { return Value(SR_SETRDDTEMP(a[0])); });
  registerRoutine("SR_CHANGESTRUCT", [](Args& a) { return L(SR_CHANGESTRUCT(a[0])); });
  registerRoutine("SR_SETFASTOPEN", [](Args& a) { return L(SR_SETFASTOPEN(a[0])); });
  registerRoutine("ISSQLWORKAREA", [](Args& a) { return L(ISSQLWORKAREA(a[0])); }, rt::kPure);
  registerRoutine("SR_STARTLOG", [](Args& a) { return L(SR_STARTLOG(a[0])); });
  registerRoutine("SR_ALLINCACHE", [](Args& a) { return L(SR_ALLINCACHE(a[0])); }, rt::kPure);
  registerRoutine("SR_VERSION", [](Args&) { return Value(SR_VERSION()); }, rt::kPure);

  // record locking
  registerRoutine("BLOQREG", [](Args&) { return L(BLOQREG()); });
  registerRoutine("BLOQREGEX", [](Args&) { return L(BLOQREGEX()); });
  registerRoutine("ABREREG", [](Args& a) { return L(ABREREG(a[0])); });

  // record and field helpers
  registerRoutine("FIELDX", [](Args& a) { return FIELDX(a[0], a[1], a[2], a[3]); });
  registerRoutine("FIELDTOHASH", [](Args&) { return FIELDTOHASH(); }, rt::kPure);
  registerRoutine("HASHTOFIELD", [](Args& a) {
    HASHTOFIELD(a[0]);
    return Value();
  });
  registerRoutine("MOVECAMPOS", [](Args& a) {
    Value list = a[0];
    int n = MOVECAMPOS(list);
    a.set(0, list);
    return Value(n);
  });
  registerRoutine("TAMANHOCAMPO", [](Args& a) { return Value(TAMANHOCAMPO(S(a[0]))); });
  registerRoutine("ACREATESTRUCT", [](Args& a) { return ACREATESTRUCT(a[0], S(a[1])); });
  registerRoutine("DBCV", [](Args& a) { return DBCV(S(a[0])); });
  registerRoutine("SAVEAREA", [](Args& a) { return SAVEAREA(S(a[0]), a[1].log(), a[2]); });
  registerRoutine("RESTAREA", [](Args& a) {
    RESTAREA(a[0]);
    return Value();
  });
  registerRoutine("DUPLREG", [](Args& a) {
    DUPLREG(a[0], a[1], a[2]);
    return Value();
  });
  registerRoutine("EMUSO", [](Args& a) { return L(EMUSO(S(a[0]), a[1].log(), a[2].log(), a[3])); });
  registerRoutine("_EMUSO", [](Args& a) { return L(_EMUSO(S(a[0]))); });

  // index rebuild and scratch tables
  registerRoutine("GERAINDEX", [](Args& a) {
    GERAINDEX(S(a[0]), a[1], a[2]);
    return Value();
  });
  registerRoutine("DBCREATETEMP", [](Args& a) { return Value(DBCREATETEMP(a[0], a[1], a[2], a[3], a[4], a[5])); });
  registerRoutine("NOMEARQTEMP", [](Args& a) { return Value(NOMEARQTEMP(a[0], a[1])); });
  registerRoutine("ARQTMP", [](Args& a) { return Value(ARQTMP(a[0], a[1], a[2])); });
  registerRoutine("ARQREF", [](Args& a) { return Value(ARQREF(a[0], a[1], a[2])); });
  registerRoutine("ARQMEMORIA", [](Args&) { return L(ARQMEMORIA()); });
  registerRoutine("APAGATABELA", [](Args& a) { return L(APAGATABELA(S(a[0]), a[1])); });
}

}  // namespace kor::tables
