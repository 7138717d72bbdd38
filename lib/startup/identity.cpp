#include "startup/identity.h"

#include "startup/machine.h"
#include "startup/presence.h"

#include "platform/platform.h"
#include "runtime/runtime.h"
#include "values/textform.h"

namespace kor::startup {

std::string machineName() { return plat::hostName(); }

// The account cannot change while the program runs; asking the system
// reads the user database, so it is asked once.
std::string accountName() {
  static const std::string name = plat::userName();
  return name;
}

std::string windowsUserName() {
  if (auto u = plat::getEnv("USERNAME"); u && !u->empty()) return *u;
  return accountName();
}

std::string USUARIO(int mode, const std::string& sep) {
  KOR_ROUTINE("USUARIO");
  std::string machine(alltrim(machineName()));
  std::string winUser(alltrim(windowsUserName()));
  std::string out = machine;
  if (mode == 2) {
    Value log = rt::getVar("cUserLog");
    if (log.isText() && !log.empty()) out += sep + std::string(alltrim(log.str()));
    if (!winUser.empty()) out += sep + winUser;
  } else if (mode == 3) {
    if (!winUser.empty()) out += sep + winUser;
  }
  return out;
}

std::string INFOREDE(bool machine, bool account, bool domain) {
  KOR_ROUTINE("INFOREDE");
  std::string out;
  auto add = [&out](const std::string& part) {
    if (part.empty()) return;
    if (!out.empty()) out += "/";
    out += part;
  };
  // The user's domain: USERDOMAIN where the system sets it (Windows), the
  // host's domain part otherwise; any failure leaves it out.
  if (domain) {
    if (auto d = plat::getEnv("USERDOMAIN"); d && !d->empty()) add(*d);
  }
  if (machine) add(machineName());
  if (account) add(accountName());
  return out;
}

std::string DIRWINDOWS(bool virtualStore) {
  KOR_ROUTINE("DIRWINDOWS");
  if (virtualStore) {
    std::string store;
    if (auto v = plat::getEnv("LOCALAPPDATA"); v && !v->empty())
      store = *v;
    else
      store = plat::homeDir() + plat::separator() + ".local" + plat::separator() + "share";
    return store + plat::separator() + "VirtualStore" + plat::separator() + "Windows";
  }
  for (const char* name : {"WINDIR", "WINBOOTDIR", "SYSTEMROOT"})
    if (auto v = plat::getEnv(name); v && !v->empty()) return *v;
  return plat::separator() == '/' ? kPosixWindowsFolder : "C:\\WINDOWS";
}

std::string VARAMBIENTE(const std::string& name) { return plat::getEnv(name).value_or(""); }

bool BETWEEN(const Value& v, const Value& low, const Value& high) {
  auto a = rt::compareValues(v, low);
  auto b = rt::compareValues(v, high);
  return a && b && *a >= 0 && *b <= 0;
}

void registerRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  registerPresenceRoutines();
  registerMachineRoutines();
  rt::registerRoutine("USUARIO", [](Args& a) {
    int mode = a.has(0) ? static_cast<int>(a[0].integer()) : 1;
    std::string sep = a[1].isText() ? a[1].string() : "/";
    return Value(USUARIO(mode, sep));
  });
  rt::registerRoutine("INFOREDE", [](Args& a) {
    return Value(INFOREDE(a[0].isLogical() ? a[0].log() : true, a[1].isLogical() ? a[1].log() : true,
                          a[2].isLogical() && a[2].log()));
  });
  rt::registerRoutine("DIRWINDOWS", [](Args& a) { return Value(DIRWINDOWS(a[0].log())); });
  rt::registerRoutine("VARAMBIENTE", [](Args& a) { return Value(VARAMBIENTE(a[0].string())); });
  rt::registerRoutine("ENVPARAM", [](Args& a) { return Value(VARAMBIENTE(a[0].string())); });
  rt::registerRoutine("BETWEEN", [](Args& a) { return Value::logical(BETWEEN(a[0], a[1], a[2])); }, rt::kPure);
}

}  // namespace kor::startup
