#include "config/store.h"

#include "config/faillog.h"
#include "config/filelock.h"
#include "config/memofile.h"
#include "errors/activitylog.h"
#include "errors/xtoc.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/identity.h"
#include "values/textform.h"

namespace kor::cfg {

namespace {

constexpr char kEofMark = 26;

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upperByte(static_cast<unsigned char>(a[i])) != upperByte(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool startsNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && equalNoCase(s.substr(0, prefix.size()), prefix);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string_view rtrimBlanks(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return s.substr(0, e);
}

// The key line's key matches the requested key.
bool isKeyLine(std::string_view line, std::string_view key, size_t& eq) {
  eq = line.find('=');
  return eq != std::string_view::npos && equalNoCase(line.substr(0, eq), key);
}

std::string bareSection(std::string_view section) {
  std::string s;
  for (char c : section)
    if (c != '[' && c != ']') s += c;
  return s;
}

struct Request {
  std::string section;
  std::string key;
};

Request resolveKey(const Value& key, bool perUser) {
  Request r;
  if (key.isArray()) {
    r.section = key.at(0).isText() ? key.at(0).string() : err::textOf(key.at(0));
    r.key = key.at(1).isText() ? key.at(1).string() : err::textOf(key.at(1));
  } else if (key.isText()) {
    r.key = key.string();
  }
  if (perUser) r.key = USR_NAME() + r.key;
  return r;
}

std::string storeFile(const std::string& file) { return SYSTOCFG(file.empty() ? kDefaultStore : file); }

// The text a value is stored as: texts as they are, logicals as .T./.F.
// (which read back as logicals), anything else in its general text form.
std::string storedText(const Value& v) {
  if (v.isText()) return v.string();
  if (v.isLogical()) return v.log() ? ".T." : ".F.";
  return err::textOf(v);
}

ActiveFieldProvider& fieldProvider() {
  static ActiveFieldProvider p;
  return p;
}

ActiveField* activeField() { return fieldProvider() ? fieldProvider()() : nullptr; }

// The routine that called the current one; a callback counts as the
// routine that created it.
std::string callerName() {
  std::string c = rt::routineAt(1);
  if (c.rfind("(b)", 0) == 0) c.erase(0, 3);
  return c;
}

}  // namespace

// --- the file format ---------------------------------------------------------

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t p = text.find("\r\n", start);
    if (p == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, p - start));
    start = p + 2;
  }
  return lines;
}

void reflowLine(std::string_view line, std::vector<std::string>& out) {
  std::string s;
  s.reserve(line.size());
  for (char c : line) {
    if (c == '\t') {
      s.append(4 - s.size() % 4, ' ');
    } else {
      s += c;
    }
  }
  std::string_view rest = rtrimBlanks(s);
  const size_t w = kStoreLineWidth;
  while (rest.size() > w) {
    size_t cut, next;
    if (rest[w] == ' ') {
      cut = w;  // the word ends exactly at the last column
      next = w + 1;
    } else {
      size_t blank = rest.substr(0, w).find_last_of(' ');
      if (blank == std::string_view::npos) {
        cut = next = w;
      } else {
        cut = blank + 1;
        next = blank + 1;
      }
    }
    out.emplace_back(trimBlanks(rest.substr(0, cut)));
    rest = rest.substr(next);
    size_t b = 0;
    while (b < rest.size() && rest[b] == ' ') ++b;
    rest = rest.substr(b);
    if (rest.empty()) return;
  }
  out.emplace_back(trimBlanks(rest));
}

bool findKey(std::string_view text, std::string_view section, std::string_view key, std::string& value) {
  std::string header;
  bool inside = section.empty();
  if (!inside) header = "[" + bareSection(section) + "]";
  size_t start = 0;
  while (start < text.size()) {
    size_t p = text.find("\r\n", start);
    std::string_view line = text.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start);
    start = p == std::string_view::npos ? text.size() : p + 2;
    if (!header.empty() && !line.empty() && line[0] == '[') {
      inside = startsNoCase(line, header);
      continue;
    }
    size_t eq;
    if (inside && isKeyLine(line, key, eq)) {
      value = std::string(rtrimBlanks(line.substr(eq + 1)));
      return true;
    }
  }
  return false;
}

bool applyPut(std::string_view text, std::string_view section, std::string_view key, std::string_view value,
              bool remove, std::string& out) {
  std::vector<std::string> lines;
  for (const std::string& raw : splitLines(text)) reflowLine(raw, lines);
  auto isEof = [](const std::string& l) { return l.size() == 1 && l[0] == kEofMark; };

  const std::string newValue(rtrimBlanks(value));
  std::vector<std::string> result;
  result.reserve(lines.size() + 3);
  size_t i = 0;
  std::string header;
  if (!section.empty()) {
    header = "[" + upper(bareSection(section)) + "]";
    size_t h = 0;
    while (h < lines.size() && upper(lines[h]) != header) ++h;
    for (; i < h; ++i)
      if (!isEof(lines[i])) result.push_back(lines[i]);
    if (h == lines.size()) {
      result.emplace_back();
      result.push_back(header);
    } else {
      result.push_back(lines[i++]);  // the header itself
    }
  }
  bool found = false;
  for (; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    if (!header.empty() && !l.empty() && l[0] == '[' && upper(l) != header) break;
    if (isEof(l)) continue;
    size_t eq;
    if (isKeyLine(l, key, eq)) {
      if (!remove) {
        // The whole text after the first "=" is the stored value (a value
        // may hold "=" itself).
        if (!found && std::string_view(l).substr(eq + 1) == newValue) return false;
        result.push_back(std::string(key) + "=" + newValue);
      }
      found = true;
      continue;
    }
    result.push_back(l);
  }
  if (!found && !remove) result.push_back(std::string(key) + "=" + newValue);
  for (; i < lines.size(); ++i)
    if (!isEof(lines[i])) result.push_back(lines[i]);

  out.clear();
  for (const std::string& l : result) {
    out += l;
    out += "\r\n";
  }
  size_t lead = 0;
  while (lead < out.size() && (out[lead] == ' ' || out[lead] == '\r' || out[lead] == '\n')) ++lead;
  out.erase(0, lead);
  return true;
}

// --- the routines --------------------------------------------------------------

std::string SYSTOCFG(const std::string& file) {
  if (equalNoCase(file, kDefaultStore) && plat::fileExists("COOKIE.CFG")) return "COOKIE.CFG";
  return file;
}

std::string USR_NAME() {
  KOR_ROUTINE("USR_NAME");
  std::string name = startup::machineName();
  auto env = plat::getEnv("AMBIENTE");
  bool maker = env && startsNoCase(*env, "KORVO");
  Value login = rt::getVar("cUserLog");
  if (rt::getVar("GETUSUARIO").isLogical() && !maker && login.isText() && !login.empty())
    return std::string(rtrimBlanks(login.str()));
  Value var = rt::getVar("USERNAME");
  if (var.isText()) {
    auto v = plat::getEnv(var.string());
    if (v && !v->empty()) name = *v;
  }
  if (rt::getVar("USERNAMEACCOUNT").log()) return std::string(trimBlanks(startup::accountName()));
  return name;
}

Value READMEMO(const Value& key, bool perUser, const Value& def, const std::string& file) {
  KOR_ROUTINE("READMEMO");
  Request r = resolveKey(key, perUser);
  std::string path = storeFile(file);
  plat::OpenResult h = plat::openFile(path, plat::Access::Read, plat::Share::DenyNone, plat::Disposition::OpenExisting);
  if (!h.ok()) return def;
  std::string text;
  char buf[1 << 14];
  for (int64_t off = 0;;) {
    plat::IoResult rd = plat::readAt(h.handle, off, buf, sizeof buf);
    if (!rd.ok() || rd.bytes == 0) break;
    text.append(buf, static_cast<size_t>(rd.bytes));
    off += rd.bytes;
  }
  plat::closeFile(h.handle);
  std::string found;
  if (!findKey(text, r.section, r.key, found)) return def;
  if (!def.isNil() && !def.isText()) return err::valueOf(found, def.typeLetter());
  return Value(found);
}

bool PUTMEMO(const Value& key, bool perUser, const Value& value, const std::string& file, bool remove) {
  KOR_ROUTINE("PUTMEMO");
  Request r;
  ActiveField* field = nullptr;
  if (key.isNil()) {
    field = activeField();
    if (!field) return true;
    r.key = upper(callerName() + field->name);
    if (perUser) r.key = USR_NAME() + r.key;
  } else {
    r = resolveKey(key, perUser);
  }
  std::string newValue;
  if (value.isNil()) {
    if (!field) field = activeField();
    if (field) newValue = field->editText;
  } else {
    newValue = storedText(value);
  }
  const std::string path = storeFile(file);

  FileLock lock(path);
  std::string text;
  if (!FMEMOREAD(path, text)) {
    logFileFailure("Erro na leitura do arquivo " + path, path);
    return true;
  }
  std::string out;
  if (!applyPut(text, r.section, r.key, newValue, remove, out)) return true;
  bool ok = MEMOWRITE(path, out);
  if (upper(path).find("ZENO") != std::string::npos) {
    // A verified store: rewrite while the file's size shows a short write,
    // as long as the user does not give up (bounded, so a file that never
    // comes out right cannot hold the program forever).
    for (int again = 0; ok && again < 5 && plat::statPath(path).size != static_cast<int64_t>(out.size()); ++again) {
      err::GRAVALOG("LOGSYS.LOG", Value("Gravacao com erro"));
      ok = MEMOWRITE(path, out);
    }
  }
  return true;
}

bool GETMEMO(const Value& key, bool perUser) {
  KOR_ROUTINE("GETMEMO");
  ActiveField* field = activeField();
  if (!field) return true;
  Value k = key;
  if (k.isNil()) k = Value(upper(callerName() + field->name));
  Value v = READMEMO(k, perUser, field->value);
  if (v.isText() && field->value.isText() && v.textLen() < field->value.textLen())
    v = Value(v.string() + std::string(field->value.textLen() - v.textLen(), ' '));
  if (field->assign) field->assign(v);
  if (field->refresh) field->refresh();
  return true;
}

namespace {
std::string answerKey(std::string_view caller) {
  std::string c(caller);
  for (size_t p = c.find("(b)"); p != std::string::npos; p = c.find("(b)")) c.erase(p, 3);
  return c;
}
}  // namespace

int rememberedAnswer(std::string_view caller) {
  Value v = READMEMO(Value(answerKey(caller)), true, Value(0), kAnswerStore);
  return static_cast<int>(v.integer());
}

void rememberAnswer(std::string_view caller, int button) {
  PUTMEMO(Value(answerKey(caller)), true, Value(std::to_string(button)), kAnswerStore);
}

void setActiveFieldProvider(ActiveFieldProvider p) { fieldProvider() = std::move(p); }

void registerRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  rt::registerRoutine("SYSTOCFG", [](Args& a) { return Value(SYSTOCFG(a[0].string())); });
  rt::registerRoutine("USR_NAME", [](Args&) { return Value(USR_NAME()); });
  rt::registerRoutine("READMEMO", [](Args& a) { return READMEMO(a[0], a[1].log(), a[2], a[3].string()); });
  rt::registerRoutine("PUTMEMO", [](Args& a) {
    return Value::logical(PUTMEMO(a[0], a[1].log(), a[2], a[3].string(), a[4].log()));
  });
  rt::registerRoutine("GETMEMO", [](Args& a) { return Value::logical(GETMEMO(a[0], a[1].log())); });
  rt::registerRoutine("FMEMOREAD", [](Args& a) {
    std::string text;
    bool ok = FMEMOREAD(a[0].string(), text);
    a.set(1, Value(text));
    return Value::logical(ok);
  });
  rt::registerRoutine("MEMOWRITE", [](Args& a) {
    std::string text = a[1].isText() ? a[1].string() : err::textOf(a[1]);
    return Value::logical(MEMOWRITE(a[0].string(), text, a[2].log()));
  });
}

}  // namespace kor::cfg
