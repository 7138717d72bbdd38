#include "errors/activitylog.h"

#include <cstdio>

#include "config/filelock.h"
#include "config/memofile.h"
#include "errors/ui.h"
#include "errors/xtoc.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/identity.h"
#include "values/textform.h"

namespace kor::err {

namespace {

void replaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
    s.replace(p, from.size(), to);
}

struct Now {
  std::string date;  // program's date format
  std::string hhmm;
  std::string hhmmss;
};

Now now() {
  plat::LocalTime t = plat::localTime(plat::nowMillis());
  Now n;
  n.date = dtoc(DateTime{julianFromYmd(t.year, t.month, t.day), -1});
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d", t.hour, t.minute);
  n.hhmm = buf;
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  n.hhmmss = buf;
  return n;
}

std::string loggedUser() {
  Value v = rt::getVar("cUserLog");
  return v.isText() ? std::string(alltrim(v.str())) : std::string();
}

bool containsNoCase(std::string_view hay, std::string_view needle) { return upper(hay).find(needle) != std::string::npos; }

}  // namespace

std::string versionPrefix() {
  if (!rt::varExists("c_Versao")) return "";
  return textOf(rt::getVar("c_Versao")) + "  ";
}

std::string logHeader() {
  Now n = now();
  std::string h(80, '_');
  h += "\r\nTerminal/Usuario: ";
  h += std::string(alltrim(startup::machineName())) + "/" + startup::windowsUserName();
  std::string login = loggedUser();
  if (!login.empty()) h += "/" + login;
  h += "\r\n" + versionPrefix() + "Data: " + n.date + " as " + n.hhmm + "\r\n";
  return h;
}

std::string semicolonRecord(const std::string& text) {
  Now n = now();
  std::string r = "\r\n" + n.date + ";" + n.hhmmss + ";" + std::string(alltrim(versionPrefix())) + ";" +
                  std::string(alltrim(startup::machineName()));
  std::string win(alltrim(startup::windowsUserName()));
  if (!win.empty()) r += ";" + win;
  std::string login = loggedUser();
  r += login.empty() ? ";" : ";" + login + ";";
  std::string body = text;
  replaceAll(body, "\r\n", "\n");
  return r + body;
}

void GRAVALOG(const std::string& file, const Value& textValue, bool header, bool lineEnd, bool semicolon,
              std::optional<int> displaySeconds) {
  KOR_ROUTINE("GRAVALOG");
  std::string text = textOf(textValue, " ");
  replaceAll(text, "#;#", "\r\n");

  bool written;
  {
    cfg::FileLock lock(file);
    std::string old;
    if (!cfg::FMEMOREAD(file, old)) {
      // The old entries could not be read: rewriting would lose them.
      return;
    }
    if (old.size() + text.size() >= kLogCap) {
      size_t keep = text.size() < kLogCap ? kLogCap - text.size() : 0;
      old.erase(0, old.size() - std::min(keep, old.size()));
    }
    std::string content = std::move(old);
    if (semicolon) {
      if (header) content += semicolonRecord(text);
    } else {
      if (header) content += logHeader();
      content += text;
      if (lineEnd) content += "\r\n";
    }
    written = cfg::MEMOWRITE(file, content);
  }
  if (written) return;

  if (!displaySeconds && containsNoCase(plat::executablePath(), "ZELADOR.EXE")) displaySeconds = 30;
  std::string msg = "Erro " + std::to_string(cfg::lastWriteError()) + " ao gravar o arquivo " + file;
  if (!displaySeconds) {
    ui::alert(msg, {"Ok"});
  } else {
    int id = ui::ops().openBox(msg);
    ui::waitKey(static_cast<int64_t>(*displaySeconds) * 1000);
    ui::ops().closeBox(id);
  }
}

}  // namespace kor::err
