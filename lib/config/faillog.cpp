#include "config/faillog.h"

#include <cctype>

#include "errors/activitylog.h"
#include "platform/platform.h"

namespace kor::cfg {

namespace {

int& depth() {
  static int d = 0;
  return d;
}

std::string fullName(const std::string& p) { return plat::resolveCase(plat::absolutePath(p)); }

bool sameFile(const std::string& a, const std::string& b) {
  std::string x = fullName(a), y = fullName(b);
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(x[i])) != std::toupper(static_cast<unsigned char>(y[i])))
      return false;
  return true;
}

}  // namespace

void logFileFailure(const std::string& line, const std::string& failingFile) {
  if (depth() > 0 || sameFile(failingFile, kErrorLog)) return;
  ++depth();
  struct Down {
    ~Down() { --depth(); }
  } down;
  err::GRAVALOG(kErrorLog, Value(line));
}

}  // namespace kor::cfg
