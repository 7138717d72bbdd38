// Who runs the program and on which machine, and where its environment is.
//
// On Linux the Windows notions map as follows: the machine name is the host
// name; the Windows user is the USERNAME environment variable, else the login
// account; the Windows folder is the first of WINDIR, WINBOOTDIR, SYSTEMROOT
// that is set, else /etc (where installation-wide settings such as KORVO.INI
// live on a Linux machine).
#pragma once

#include <string>

#include "values/value.h"

namespace kor::startup {

// The machine name as the operating system reports it (not trimmed).
std::string machineName();
// The login account name.
std::string accountName();
// The Windows user name: the USERNAME environment variable; when it is not
// set, the login account.
std::string windowsUserName();
// The folder where POSIX systems keep what Windows keeps in its own folder.
constexpr const char* kPosixWindowsFolder = "/etc";

// USUARIO(mode = 1, separator = "/").
std::string USUARIO(int mode = 1, const std::string& sep = "/");
// INFOREDE(machine = true, account = true, domain = false).
std::string INFOREDE(bool machine = true, bool account = true, bool domain = false);
// DIRWINDOWS(virtualStore = false).
std::string DIRWINDOWS(bool virtualStore = false);
// VARAMBIENTE / ENVPARAM: an environment variable's value, "" when unset.
std::string VARAMBIENTE(const std::string& name);
// BETWEEN(value, low, high): both bounds included; values of other types
// than the bounds' are never between them.
bool BETWEEN(const Value& v, const Value& low, const Value& high);

void registerRoutines();

}  // namespace kor::startup
