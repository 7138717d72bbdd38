#include "app/audit.h"

#include <cctype>

#include "errors/activitylog.h"
#include "errors/errorlog.h"
#include "platform/crypto.h"
#include "runtime/runtime.h"
#include "startup/identity.h"
#include "tables/engine.h"
#include "tables/tables.h"
#include "values/convert.h"
#include "values/dates.h"
#include "values/textform.h"

namespace kor::app {

namespace {

using tables::WorkArea;

constexpr int kEpochFirst = 1940;

bool dateInWindow(const Value& d) {
  if (!d.isDate() || d.dateTime().empty()) return true;
  int y, m, day;
  ymdFromJulian(d.julian(), y, m, day);
  return y >= kEpochFirst && y < kEpochFirst + 100;
}

// The audit table's area, opened with its index when the run has not done
// so. Returns whether this call opened it.
bool ensureAuditTable() {
  KOR_LINE();
  bool opened = false;
  bool ok = rt::guard([&] { opened = tables::ARQCONS(Value("RICLA9"), Value("RICLA9")); },
                      [&](rt::ErrorRecord& e) { err::GRAVAERROLOG(e); });
  if (!ok) {
    KOR_LINE();
    opened = tables::ARQCONS(Value("RICLA9"), Value("RICLA9"));
  }
  return opened;
}

// Whether the text comparison of the audit calls two texts equal: the new
// text is empty, or not longer than the stored one and a beginning of it.
bool textsEqual(std::string_view stored, std::string_view fresh) {
  if (fresh.empty()) return true;
  return fresh.size() <= stored.size() && stored.substr(0, fresh.size()) == fresh;
}

bool storedEqualsNew(const Value& stored, const Value& fresh, char type) {
  if (type == 'C' || type == 'M') return textsEqual(stored.str(), fresh.str());
  return rt::valuesEqual(stored, fresh, true);
}

std::string upperName(std::string_view s) {
  std::string u(alltrim(s));
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

void putNamed(WorkArea& a, const char* field, const Value& v) {
  int pos = a.fieldPos(field);
  if (pos > 0) a.putField(pos, v);
}

std::string fieldText(WorkArea& a, const char* field) {
  int pos = a.fieldPos(field);
  return pos > 0 ? a.getField(pos).string() : std::string();
}

// The user text of the audit: USUARIO(2) without the machine name and its
// separator, normally the Windows user name.
std::string auditUser() {
  std::string user = startup::USUARIO(2);
  std::string machine = std::string(alltrim(startup::machineName())) + "/";
  for (size_t p; !machine.empty() && (p = user.find(machine)) != std::string::npos;) user.erase(p, machine.size());
  return user;
}

// Appends and seals one audit record. The RICLAS area is current on entry
// and on return.
void appendAudit(WorkArea& riclas, const Value& mode, const std::string& campo, bool withFieldChange,
                 const std::string& antes, const std::string& depois) {
  KOR_ROUTINE("GRAVAALTERACAONCM");
  std::string ncm = fieldText(riclas, "NCM");
  Value ex;
  if (int pos = riclas.fieldPos("EX")) ex = riclas.getField(pos);
  DateTime now = values::now();

  tables::AreaScope scope(std::string_view("RICLA9"));
  if (!scope.ok()) return;
  WorkArea& audit = *tables::area();

  // The record is appended whole, its check key included, in one write: a
  // run killed at any moment leaves no half-written or unsealed audit
  // record. (Memo fields cannot travel in that write; an audit table whose
  // ANTES and DEPOIS are memos gets them, and the key, right after.)
  std::vector<std::pair<int, Value>> values;
  auto add = [&](const char* name, const Value& v) {
    if (int pos = audit.fieldPos(name)) values.emplace_back(pos, v);
  };
  // A text as the field stores it: cut or padded to the field's width.
  auto stored = [&](const char* name, std::string text) {
    int pos = audit.fieldPos(name);
    const auto* f = pos ? audit.field(pos) : nullptr;
    if (!f) return std::string();
    if (f->type == 'C') text.resize(f->len, ' ');
    return text;
  };
  auto isMemo = [&](const char* name) {
    int pos = audit.fieldPos(name);
    return pos > 0 && audit.field(pos)->type == 'M';
  };
  const bool memoTexts = withFieldChange && (isMemo("ANTES") || isMemo("DEPOIS"));

  AuditKeyParts key;
  key.data = Value::date(now.julian);
  key.hora = stored("HORA", timeText(now.millis));
  // The machine and the user do not change during a run: asked once.
  static const std::string terminal = startup::machineName();
  static const std::string user = auditUser();
  key.terminal = stored("TERMINAL", terminal);
  key.usuario = stored("USUARIO", user);
  key.modo = stored("MODO", mode.isText() ? mode.string() : std::string());
  key.ncm = stored("NCM", ncm);
  key.campo = stored("CAMPO", campo);
  add("DATA", key.data);
  add("HORA", Value(key.hora));
  add("TERMINAL", Value(key.terminal));
  add("USUARIO", Value(key.usuario));
  add("MODO", Value(key.modo));
  add("NCM", Value(key.ncm));
  add("TABELA", Value("RICLAS"));
  add("CAMPO", Value(key.campo));
  if (withFieldChange) {
    if (audit.fieldPos("EX") > 0) {
      add("EX", ex);
    } else {
      static bool noted = false;
      if (!noted) {
        noted = true;
        err::GRAVALOG("ERRO.LOG", Value("RICLA9 sem o campo EX: registros de auditoria gravados sem EX"));
      }
    }
    if (!memoTexts) {
      key.antes = stored("ANTES", antes);
      key.depois = stored("DEPOIS", depois);
      add("ANTES", Value(key.antes));
      add("DEPOIS", Value(key.depois));
    }
  }
  int keyPos = audit.fieldPos("CHAVE");
  auto fill = [&](uint32_t rec) {
    std::vector<std::pair<int, Value>> all = values;
    if (keyPos && !memoTexts) {
      key.recno = rec;
      all.emplace_back(keyPos, Value(checkKey(key)));
    }
    return all;
  };
  // An append that another program keeps from its lock waits with the
  // table layer's notice instead of losing the record.
  KOR_LINE();
  if (!tables::ABREREG(Value(), fill)) return;
  if (memoTexts) {
    putNamed(audit, "ANTES", Value(antes));
    putNamed(audit, "DEPOIS", Value(depois));
    putNamed(audit, "CHAVE", Value(checkKey(auditKeyPartsOfCurrent())));
  }
}

}  // namespace

bool excludedFromAudit(std::string_view field) {
  std::string_view list = kExclusionList;
  while (!list.empty()) {
    size_t semi = list.find(';');
    std::string_view name = list.substr(0, semi);
    if (name == field) return true;
    if (semi == std::string_view::npos) break;
    list.remove_prefix(semi + 1);
  }
  return false;
}

std::string auditText(const Value& v) {
  if (v.isDate() && !dateInWindow(v)) return dateToText(v.dateTime(), "dd/mm/yyyy");
  return X_TO_C(v).string();
}

std::string checkKey(const AuditKeyParts& p) {
  std::string text = dtoc(p.data.dateTime());
  text += alltrim(p.hora);
  text += alltrim(p.terminal);
  text += alltrim(p.usuario);
  text += p.modo;
  text += p.ncm;
  text += alltrim(p.campo);
  text += alltrim(p.antes);
  text += alltrim(p.depois);
  text += "VELTAR";
  text += std::to_string(p.recno);
  return plat::md5Hex(text);
}

AuditKeyParts auditKeyPartsOfCurrent() {
  WorkArea& a = *tables::area();
  AuditKeyParts p;
  if (int pos = a.fieldPos("DATA")) p.data = a.getField(pos);
  p.hora = fieldText(a, "HORA");
  p.terminal = fieldText(a, "TERMINAL");
  p.usuario = fieldText(a, "USUARIO");
  p.modo = fieldText(a, "MODO");
  p.ncm = fieldText(a, "NCM");
  p.campo = fieldText(a, "CAMPO");
  p.antes = fieldText(a, "ANTES");
  p.depois = fieldText(a, "DEPOIS");
  p.recno = a.recNo();
  return p;
}

void ACOMODA(const std::string& field, const Value& value) {
  KOR_ROUTINE("ACOMODA");
  WorkArea* a = tables::area();
  if (!a) return;
  int pos = a->fieldPos(field);
  if (pos == 0) return;
  const auto* desc = a->field(pos);
  if (!desc) return;
  char type = desc->type;
  Value fitted;
  switch (type) {
    case 'C':
    case 'N':
    case 'D':
      if (!value.isText()) {
        KOR_LINE();
        rt::ErrorRecord e = rt::makeError(rt::kErrArg, "BASE", 1102, "ACOMODA");
        e.args = {Value(field), value};
        rt::raise(e);
        return;
      }
      break;
    default:
      break;
  }
  switch (type) {
    case 'C': {
      std::string t = value.string();
      for (char& c : t)
        if (c == '\n' || c == '\r') c = ' ';
      fitted = Value(t);
      break;
    }
    case 'N': {
      std::string t = value.string();
      if (t.find('.') != std::string::npos && t.find(',') != std::string::npos) {
        std::string s;
        for (char c : t)
          if (c != '.') s += c;
        t = s;
      }
      std::string kept;
      for (char c : t) {
        if (c == ',') c = '.';
        if ((c >= '0' && c <= '9') || c == '.') kept += c;
      }
      fitted = valNumber(kept);
      break;
    }
    case 'D':
      fitted = Value::date(ctod(value.str()));
      break;
    case 'L':
    case 'M':
      fitted = value;
      break;
    default:
      return;  // a type that cannot be told
  }
  Value map = Value::hash();
  map.set(Value(field), fitted);
  GRAVAALTERACAONCM(map, Value("6"), false, false);
}

void GRAVAALTERACAONCM(const Value& fields, const Value& mode, bool inclusion, bool deletion) {
  KOR_ROUTINE("GRAVAALTERACAONCM");
  int riclasArea = tables::currentArea();
  bool auditWasOpen = tables::areaOf("RICLA9") != 0;
  ensureAuditTable();
  tables::selectArea(riclasArea);
  WorkArea* riclas = tables::area();
  if (!riclas || !fields.isHash()) return;

  int count = 0;
  std::string ncm = fieldText(*riclas, "NCM");
  for (auto& [key, value] : fields.hashRep()->pairs) {
    if (value.isNil()) continue;
    if (alltrim(ncm).empty() && !inclusion) continue;
    std::string name = upperName(key.str());
    int pos = riclas->fieldPos(name);
    if (pos == 0) continue;
    const auto* desc = riclas->field(pos);
    char type = desc->type;

    // The new value as it will be stored, and its text.
    Value fresh;
    if (type == 'D' && value.isDate()) {
      fresh = value;  // never through the two-digit year
    } else {
      std::string letter(1, type);
      fresh = CTOX(X_TO_C(value), Value(letter));
    }
    if (type == 'N' && fresh.isNumber()) fresh = Value::number(roundHalfAway(fresh.num(), desc->dec), desc->dec);
    std::string freshText = type == 'N' || type == 'D' ? auditText(fresh) : X_TO_C(value).string();

    Value stored = riclas->getField(pos);
    if (!storedEqualsNew(stored, fresh, type) && !excludedFromAudit(name) && (!inclusion || count == 0)) {
      ++count;
      std::string campo = inclusion ? "INCLUSAO" : deletion ? "DELETADO" : name;
      bool fieldChange = !inclusion && !deletion;
      appendAudit(*riclas, mode, campo, fieldChange, fieldChange ? auditText(stored) : "",
                  fieldChange ? freshText : "");
      tables::selectArea(riclasArea);
    }
    if (!deletion) riclas->putField(pos, fresh);
  }
  if (!deletion) putNamed(*riclas, "ATUALIZADO", Value(dtoc(values::now())));
  if (!auditWasOpen) {
    if (int a = tables::areaOf("RICLA9")) tables::closeArea(a);
    tables::selectArea(riclasArea);
  }
}

void registerRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  rt::registerRoutine("ACOMODA", [](Args& a) {
    ACOMODA(a[0].string(), a[1]);
    return Value();
  });
  rt::registerRoutine("GRAVAALTERACAONCM", [](Args& a) {
    GRAVAALTERACAONCM(a[0], a[1], a[2].log(), a[3].log());
    return Value();
  });
}

}  // namespace kor::app
