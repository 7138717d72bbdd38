#include "errors/errorlog.h"

#include <memory>

#include "errors/activitylog.h"
#include "errors/ui.h"
#include "errors/xtoc.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/engine/workarea.h"
#include "values/textform.h"

namespace kor::err {

namespace {

std::function<std::vector<OpenTable>()>& tablesSource() {
  static std::function<std::vector<OpenTable>()> s;
  return s;
}

std::function<std::pair<std::string, long>()>& automationSource() {
  static std::function<std::pair<std::string, long>()> s;
  return s;
}

std::string fullLocation(const rt::StackEntry& s) {
  return rt::fullLocationText(rt::FrameInfo{s.module, s.routine, s.line});
}

std::string centred(std::string_view word, int before, int after) {
  return std::string(before, '-') + std::string(word) + std::string(after, '-');
}

std::string settingText(rt::Set s) {
  const Value& v = rt::setting(s);
  return v.isText() ? std::string(alltrim(v.str())) : std::string();
}

std::shared_ptr<const ClassDef> errorClass() {
  static auto cls = [] {
    auto c = std::make_shared<ClassDef>();
    c->name = "ERROR";
    return std::shared_ptr<const ClassDef>(c);
  }();
  return cls;
}

}  // namespace

void setOpenTablesSource(std::function<std::vector<OpenTable>()> source) { tablesSource() = std::move(source); }
std::vector<OpenTable> openTables() {
  if (tablesSource()) return tablesSource()();
  // The table engine's work areas, in area order.
  std::vector<OpenTable> out;
  const int current = tables::currentArea();
  for (int n : tables::usedAreas()) {
    tables::WorkArea* a = tables::area(n);
    if (!a) continue;
    OpenTable t;
    t.area = n;
    t.path = a->path();
    t.current = n == current;
    t.found = a->found();
    t.recno = static_cast<long>(a->recNo());
    for (int i = 1; i <= a->orderCount(); ++i) {
      tables::Order* o = a->order(i);
      if (!o || o->bagName().empty()) continue;
      std::string bag = o->bagName();
      size_t slash = bag.find_last_of("/\\");
      t.orders.emplace_back(slash == std::string::npos ? bag : bag.substr(slash + 1), i == a->controlling());
    }
    out.push_back(std::move(t));
  }
  return out;
}
void setAutomationErrorSource(std::function<std::pair<std::string, long>()> s) { automationSource() = std::move(s); }

std::string runtimeVersion() {
#if defined(__clang__)
  const std::string compiler = std::string("clang ") + __clang_version__;
#elif defined(__GNUC__)
  const std::string compiler = std::string("GCC ") + __VERSION__;
#elif defined(_MSC_VER)
  const std::string compiler = "MSVC " + std::to_string(_MSC_VER);
#else
  const std::string compiler = "C++";
#endif
  return "Kor runtime 1.0 (" + compiler + ", " + __DATE__ + ")";
}

std::string errorEntryText(const rt::ErrorRecord& e, int skip) {
  std::vector<std::string> l;
  l.push_back(plat::executablePath());
  if (Value p = rt::getVar("CFILESISTEMA"); p.isText() && !p.empty()) l.push_back(p.string());
  l.push_back("Sistema Operacional: " + plat::osVersionText());
  if (plat::remoteSession()) l.push_back("Modo: WTS");
  l.push_back(runtimeVersion());
  auto field = [&l](const char* label, const Value& v) {
    if (!v.empty()) l.push_back(label + textOf(v));
  };
  field("SubSystem  : ", Value(e.subsystem));
  field("SubCode    : ", Value(e.subCode));
  field("Description: ", Value(e.description));
  field("Operation  : ", Value(e.operation));
  field("FileName   : ", Value(e.filename));
  field("OsCode     : ", Value(e.osCode));
  // A failure while converting the arguments drops their line only.
  bool argsOk = rt::guard([&] { field("Args       : ", Value::array(e.args)); }, [](rt::ErrorRecord&) {});
  (void)argsOk;
  if (e.canSubstitute) l.push_back("CanSubstit : " + textOf(Value::logical(true)));
  field("Cargo      : ", e.cargo);
  l.push_back("GenCode    : " + textOf(Value(e.genCode)) + "-" + std::string(rt::genCodeText(e.genCode)));
  field("Severity   : ", Value(e.severity));
  field("Tries      : ", Value(e.tries));
  l.emplace_back();
  if (int k = ui::ops().lastKey(); k != 0) l.push_back("LASTKEY    : " + std::to_string(k));
  if (lower(rt::dateFormat()) != "dd/mm/yy") l.push_back("DATE FORMAT: " + std::string(rt::dateFormat()));
  if (auto p = settingText(rt::Set::Path); !p.empty()) l.push_back("PATH       : " + p);
  if (auto d = settingText(rt::Set::Default); !d.empty()) l.push_back("DEFAULT    : " + d);
  if (rt::deletedFilter()) l.push_back("DELETED    : " + textOf(Value::logical(true)));
  if (auto d = settingText(rt::Set::Device); upper(d) != "SCREEN") l.push_back("DEVICE     : " + d);
  if (rt::setting(rt::Set::Extra).log()) l.push_back("EXTRA      : " + textOf(Value::logical(true)));
  if (auto f = settingText(rt::Set::ExtraFile); !f.empty()) l.push_back("EXTRAFILE  : " + f);
  if (rt::setting(rt::Set::Printer).log()) l.push_back("PRINTER    : " + textOf(Value::logical(true)));
  if (auto f = settingText(rt::Set::PrintFile); !f.empty()) l.push_back("PRINTFILE  : " + f);
  if (upper(e.operation).find("TOLEAUTO") != std::string::npos) {
    auto [text, code] = automationSource() ? automationSource()() : std::pair<std::string, long>{"", 0};
    l.push_back("(" + text + " " + std::to_string(code) + ")");
  }
  l.push_back(centred("Rotinas", 6, 7));
  l.push_back(e.moduleName + "->" + e.procName + "(" + std::to_string(e.procLine) + ")");
  for (const rt::FrameInfo& f : rt::callStack(skip)) l.push_back(rt::locationText(f));
  std::vector<OpenTable> tables = openTables();
  if (!tables.empty()) {
    l.push_back(centred("Tabelas abertas", 12, 13));
    for (const OpenTable& t : tables) {
      std::string s = t.path + (t.current ? "*" : " ");
      if (t.found) s += "(" + std::to_string(t.recno) + ")";
      if (!t.orders.empty()) {
        s += "->";
        for (size_t i = 0; i < t.orders.size(); ++i)
          s += (i ? ", " : "") + t.orders[i].first + (t.orders[i].second ? "*" : " ");
      }
      l.push_back(s);
    }
  }
  std::string text;
  for (const std::string& line : l) text += line + "\r\n";
  return text;
}

void GRAVAERROLOG(const rt::ErrorRecord& e, const std::string& file) {
  KOR_ROUTINE("GRAVAERROLOG");
  GRAVALOG(file.empty() ? "ERRO.LOG" : file, Value(errorEntryText(e, 1)));
}

void SHOWERRO(const rt::ErrorRecord& e, std::optional<int> seconds) {
  KOR_ROUTINE("SHOWERRO");
  GRAVAERROLOG(e);
  auto t = [](const Value& v) { return std::string(alltrim(textOf(v))); };
  std::vector<std::string> lines = {
      "Error: " + t(Value(e.genCode)),         "SubCode: " + t(Value(e.subCode)),
      "OSCode: " + t(Value(e.osCode)),         "SubSystem: " + t(Value(e.subsystem)),
      "Operacao: " + t(Value(e.operation)),    "Procedimento: " + t(Value(e.procName)),
      "Mensangem: " + t(Value(e.description)),
  };
  for (const rt::StackEntry& s : e.stack) lines.push_back(fullLocation(s));
  auto join = [&lines](std::string_view sep) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? std::string(sep) : "") + lines[i];
    return out;
  };
  if (seconds) {
    int id = ui::ops().openBox(join("\r\n"));
    ui::waitKey(static_cast<int64_t>(*seconds) * 1000);
    ui::ops().closeBox(id);
  } else {
    ui::alert(join(";"), {"Ok"});
  }
}

Value GETCALLSTACK() {
  KOR_ROUTINE("GETCALLSTACK");
  Value out = Value::array();
  for (const rt::FrameInfo& f : rt::callStack(1)) out.push(Value::array({Value(rt::fullLocationText(f))}));
  return out;
}

std::string STACK(const std::vector<rt::StackEntry>& stack) {
  std::string out;
  for (const rt::StackEntry& s : stack) out += fullLocation(s) + ";";
  return out;
}

Value ROTINAANTERIOR() {
  KOR_ROUTINE("ROTINAANTERIOR");
  Value out = Value::array();
  for (const rt::FrameInfo& f : rt::callStack(1)) {
    if (f.routine.find("ROTINAANTERIOR") != std::string::npos) break;
    out.push(Value(rt::fullLocationText(f)));
  }
  return out;
}

Value errorObject(const rt::ErrorRecord& e) {
  Value stack = Value::array();
  for (const rt::StackEntry& s : e.stack) stack.push(Value::array({Value(s.module), Value(s.routine), Value(s.line)}));
  return makeObject(errorClass(), {
                                      {"SEVERITY", Value(e.severity)},
                                      {"GENCODE", Value(e.genCode)},
                                      {"SUBSYSTEM", Value(e.subsystem)},
                                      {"SUBCODE", Value(e.subCode)},
                                      {"DESCRIPTION", Value(e.description)},
                                      {"OPERATION", Value(e.operation)},
                                      {"FILENAME", Value(e.filename)},
                                      {"OSCODE", Value(e.osCode)},
                                      {"ARGS", Value::array(e.args)},
                                      {"CANDEFAULT", Value::logical(e.canDefault)},
                                      {"CANRETRY", Value::logical(e.canRetry)},
                                      {"CANSUBSTITUTE", Value::logical(e.canSubstitute)},
                                      {"TRIES", Value(e.tries)},
                                      {"CARGO", e.cargo},
                                      {"MODULENAME", Value(e.moduleName)},
                                      {"PROCNAME", Value(e.procName)},
                                      {"PROCLINE", Value(e.procLine)},
                                      {"AASTACK", stack},
                                  });
}

rt::ErrorRecord errorRecordOf(const Value& v) {
  rt::ErrorRecord e;
  ObjectRep* o = v.objectRep();
  if (!o) return e;
  auto get = [o](const char* name) -> Value {
    Value* f = o->field(name);
    return f ? *f : Value();
  };
  auto text = [&](const char* name) {
    Value x = get(name);
    return x.isText() ? x.string() : std::string();
  };
  auto num = [&](const char* name) { return static_cast<int>(get(name).integer()); };
  e.severity = num("SEVERITY");
  e.genCode = num("GENCODE");
  e.subsystem = text("SUBSYSTEM");
  e.subCode = num("SUBCODE");
  e.description = text("DESCRIPTION");
  e.operation = text("OPERATION");
  e.filename = text("FILENAME");
  e.osCode = num("OSCODE");
  if (Value a = get("ARGS"); a.isArray()) e.args = a.items();
  e.canDefault = get("CANDEFAULT").log();
  e.canRetry = get("CANRETRY").log();
  e.canSubstitute = get("CANSUBSTITUTE").log();
  e.tries = num("TRIES");
  e.cargo = get("CARGO");
  e.moduleName = text("MODULENAME");
  e.procName = text("PROCNAME");
  e.procLine = num("PROCLINE");
  if (Value s = get("AASTACK"); s.isArray())
    for (const Value& x : s.items())
      e.stack.push_back(rt::StackEntry{x.at(0).string(), x.at(1).string(), static_cast<int>(x.at(2).integer())});
  return e;
}

}  // namespace kor::err
