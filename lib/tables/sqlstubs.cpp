// The entry points of a database-server layer. This program has no such
// layer: each entry answers as if the server were a folder of DBF files,
// or with a fixed result, so that code written for both kinds of storage
// runs unchanged on local tables.
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/layer.h"
#include "tables/tables.h"
#include "values/textform.h"

namespace kor::tables {

namespace {

bool& fastOpen() {
  static bool on = true;
  return on;
}

std::string inDefault(const std::string& file) {
  if (plat::isMemoryPath(file)) return file;
  return plat::resolveCase(plat::absolutePath(plat::nativePath(file), rt::defaultFolder()));
}

std::string serverIndexExt() { return EXTENSAOINDICE("", Value(defaultDriver())); }

}  // namespace

bool SR_FILE(std::string_view file) { return plat::fileExists(inDefault(std::string(alltrim(file)))); }

bool SR_EXISTTABLE(std::string_view table) {
  return plat::fileExists(inDefault(std::string(alltrim(table)) + ".dbf"));
}

bool SR_EXISTINDEX(std::string_view index) {
  return plat::fileExists(inDefault(std::string(alltrim(index)) + serverIndexExt()));
}

void SR_DROPTABLE(std::string_view table) { plat::removeFile(inDefault(layer::bareTableName(table) + ".DBF")); }

void SR_DROPINDEX(std::string_view index) {
  std::string ext = serverIndexExt();
  plat::removeFile(inDefault(layer::withoutSuffix(upper(alltrim(index)), ext) + ext));
}

int SR_ADDCONNECTION(const Value&, const Value&) { return -1; }
void SR_END() {}
void SR_DETECTDBFROMDSN(const Value&) {}
std::string SR_SETRDDTEMP(const Value&) { return defaultDriver(); }
bool SR_CHANGESTRUCT(const Value&) { return false; }

bool SR_SETFASTOPEN(const Value& flag) {
  // The answer is fixed; the flag is only remembered.
  if (flag.isLogical()) fastOpen() = flag.log();
  return true;
}

bool fastOpenMode() { return fastOpen(); }
bool ISSQLWORKAREA(const Value&) { return false; }
bool SR_STARTLOG(const Value&) { return true; }
bool SR_ALLINCACHE(const Value&) { return false; }
std::string SR_VERSION() { return "Camada de banco de dados ausente 1.0"; }

}  // namespace kor::tables
