// Helpers the table layer's files share: globals, names, waits, field
// references, drivers.
#include <algorithm>
#include <cctype>

#include "console/screen.h"
#include "errors/errorlog.h"
#include "runtime/runtime.h"
#include "tables/layer.h"
#include "tables/tables.h"
#include "values/textform.h"

namespace kor::tables {

std::string defaultDriver() {
  Value d = rt::getVar("CRDDDEFAULT");
  if (d.isText() && !alltrim(d.str()).empty()) return std::string(alltrim(d.str()));
  return std::string(kDefaultDriver);
}

bool isSqlDriver(std::string_view d) { return d.find("SQL") != std::string_view::npos; }
bool isLetoDriver(std::string_view d) { return d.find("LETO") != std::string_view::npos; }
bool isCdxDriver(std::string_view d) { return upper(alltrim(d)).rfind("DBFCDX", 0) == 0; }

namespace layer {

void setGlobal(std::string_view name, Value v) {
  if (rt::varExists(name))
    rt::assignVar(name, std::move(v));
  else
    rt::publicVar(name, std::move(v));
}

bool globalLogical(std::string_view name, bool fallback) {
  Value v = rt::getVar(name);
  return v.isLogical() ? v.log() : fallback;
}

bool globalIsNumber(std::string_view name) { return rt::getVar(name).isNumber(); }

double globalNumber(std::string_view name, double fallback) {
  Value v = rt::getVar(name);
  return v.isNumber() ? v.num() : fallback;
}

std::string globalText(std::string_view name, std::string_view fallback) {
  Value v = rt::getVar(name);
  return v.isText() ? v.string() : std::string(fallback);
}

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && upper(s.substr(s.size() - suffix.size())) == upper(suffix);
}

bool containsNoCase(std::string_view s, std::string_view part) {
  return upper(s).find(upper(part)) != std::string::npos;
}

std::string withoutSuffix(std::string name, std::string_view suffix) {
  if (!suffix.empty() && endsWithNoCase(name, suffix)) name.resize(name.size() - suffix.size());
  return name;
}

std::string bareTableName(std::string_view name) { return withoutSuffix(upper(alltrim(name)), ".DBF"); }

void logError(const rt::ErrorRecord& e) { err::GRAVAERROLOG(e); }

int pause(double seconds) {
  int k = con::inkey(con::Wait::seconds(seconds), con::kEvKeyboard);
  if (k != 0 && con::hasBinding(k)) con::runBinding(k);
  return k;
}

FieldRef parseFieldRef(std::string_view text) {
  FieldRef r;
  std::string t(alltrim(text));
  size_t arrow = t.find("->");
  if (arrow == std::string::npos) {
    r.field = upper(t);
    return r;
  }
  r.arrow = true;
  r.alias = upper(alltrim(std::string_view(t).substr(0, arrow)));
  r.field = upper(alltrim(std::string_view(t).substr(arrow + 2)));
  if (r.alias == "FIELD" || r.alias == "_FIELD") r.alias.clear();
  return r;
}

int areaOfRef(const FieldRef& r) {
  if (r.alias.empty()) return area() ? currentArea() : 0;
  return areaOf(r.alias);
}

}  // namespace layer
}  // namespace kor::tables
