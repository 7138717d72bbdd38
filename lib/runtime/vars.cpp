#include "runtime/vars.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <unordered_map>

#include "runtime/frames.h"

namespace kor::rt {

namespace {

struct Binding {
  int depth;  // 0 = program-wide
  Value cell; // a Ref value owning the CellRep
};

struct Store {
  uint64_t version = 1;
  std::unordered_map<std::string, std::vector<Binding>> byName;
  std::vector<std::vector<std::string>> declaredAt;  // names declared private per depth
};

Store& store() {
  static Store s;
  return s;
}

std::string upperName(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

Value newCell(Value init) {
  auto* c = new CellRep();
  c->value = std::move(init);
  Value r = Value::ref(c);
  --c->refs;  // Value::ref took its own reference
  return r;
}

void declare(const std::string& key, int d, Value init) {
  auto& s = store();
  ++s.version;
  auto& list = s.byName[key];
  if (d == 0) {
    for (auto& b : list)
      if (b.depth == 0) {
        b.cell.derefMut() = std::move(init);
        return;
      }
    list.insert(list.begin(), Binding{0, newCell(std::move(init))});
    return;
  }
  if (!list.empty() && list.back().depth == d) {
    list.back().cell.derefMut() = std::move(init);
    return;
  }
  list.push_back(Binding{d, newCell(std::move(init))});
  if (static_cast<int>(s.declaredAt.size()) <= d) s.declaredAt.resize(d + 1);
  s.declaredAt[d].push_back(key);
}

Binding* visible(std::string_view name) {
  auto& s = store();
  auto it = s.byName.find(upperName(name));
  if (it == s.byName.end() || it->second.empty()) return nullptr;
  return &it->second.back();
}

}  // namespace

void publicVar(std::string_view name, Value init) { declare(upperName(name), 0, std::move(init)); }

void privateVar(std::string_view name, Value init) { declare(upperName(name), depth(), std::move(init)); }

bool varExists(std::string_view name) { return visible(name) != nullptr; }

Value* findVar(std::string_view name) {
  Binding* b = visible(name);
  return b ? &b->cell.derefMut() : nullptr;
}

CellRep* findCell(std::string_view name) {
  Binding* b = visible(name);
  return b ? b->cell.cell() : nullptr;
}

Value getVar(std::string_view name) {
  Value* v = findVar(name);
  return v ? *v : Value();
}

void assignVar(std::string_view name, Value v) {
  if (Value* p = findVar(name)) {
    *p = std::move(v);
    return;
  }
  privateVar(name, std::move(v));
}

Value varRef(std::string_view name) {
  if (!varExists(name)) privateVar(name);
  return Value::ref(findCell(name));
}

void releaseVar(std::string_view name) {
  auto& s = store();
  auto it = s.byName.find(upperName(name));
  if (it == s.byName.end() || it->second.empty()) return;
  ++s.version;
  int d = it->second.back().depth;
  it->second.pop_back();
  if (d > 0 && d < static_cast<int>(s.declaredAt.size())) {
    auto& names = s.declaredAt[d];
    auto pos = std::find(names.begin(), names.end(), it->first);
    if (pos != names.end()) names.erase(pos);
  }
  if (it->second.empty()) s.byName.erase(it);
}

Value* varElement(std::string_view text) {
  size_t br = text.find('[');
  Value* v = findVar(text.substr(0, br));
  while (v && br != std::string_view::npos) {
    size_t close = text.find(']', br);
    if (close == std::string_view::npos) return nullptr;
    std::string_view num = text.substr(br + 1, close - br - 1);
    while (!num.empty() && num.front() == ' ') num.remove_prefix(1);
    while (!num.empty() && num.back() == ' ') num.remove_suffix(1);
    long idx = 0;
    auto res = std::from_chars(num.data(), num.data() + num.size(), idx);
    if (res.ec != std::errc() || res.ptr != num.data() + num.size()) return nullptr;
    if (!v->isArray() || idx < 1 || static_cast<size_t>(idx) > v->size()) return nullptr;
    v = &v->derefMut().atRef(static_cast<size_t>(idx - 1));
    br = text.find('[', close);
  }
  return v;
}

std::vector<std::string> varNames() {
  std::vector<std::string> pub, priv;
  for (auto& [name, list] : store().byName) {
    if (list.empty()) continue;
    (list.back().depth == 0 ? pub : priv).push_back(name);
  }
  std::sort(pub.begin(), pub.end());
  std::sort(priv.begin(), priv.end());
  pub.insert(pub.end(), priv.begin(), priv.end());
  return pub;
}

void dropPrivates(int d) {
  auto& s = store();
  if (d <= 0 || d >= static_cast<int>(s.declaredAt.size())) return;
  if (!s.declaredAt[d].empty()) ++s.version;
  for (auto& key : s.declaredAt[d]) {
    auto it = s.byName.find(key);
    if (it == s.byName.end()) continue;
    auto& list = it->second;
    if (!list.empty() && list.back().depth == d) list.pop_back();
    if (list.empty()) s.byName.erase(it);
  }
  s.declaredAt[d].clear();
}

uint64_t bindingsVersion() { return store().version; }

void resetVars() {
  ++store().version;
  store().byName.clear();
  store().declaredAt.clear();
}

}  // namespace kor::rt
