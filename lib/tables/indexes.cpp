// Index files as the table layer uses them: names, attaching an index file
// to an area, building one.
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine/errors.h"
#include "tables/layer.h"
#include "values/textform.h"

namespace kor::tables::layer {

std::string indexPath(std::string_view name, std::string_view ext) {
  std::string n(alltrim(name));
  size_t slash = n.find_last_of("/\\");
  std::string base = slash == std::string::npos ? n : n.substr(slash + 1);
  if (plat::isMemoryPath(n) && slash == std::string::npos) base = n.substr(4);
  if (base.find('.') == std::string::npos) n += std::string(ext);
  if (plat::isMemoryPath(n)) return n;
  return plat::resolveCase(plat::absolutePath(plat::nativePath(n), rt::defaultFolder()));
}

std::vector<std::string> indexFiles(WorkArea& a) {
  std::vector<std::string> out;
  for (int i = 1; i <= a.orderCount(); ++i) out.push_back(a.order(i)->bagName());
  return out;
}

namespace {

// Until the index module's orders are reachable from here, an index file
// cannot be opened or built: the failure is reported like any other.
bool unsupported(const std::string& file) {
  rt::ErrorRecord e = dbError(rt::kErrUnsupported, kSubDriver, file);
  e.operation = "ORDLISTADD";
  e.canDefault = true;
  raiseOnce(e);
  return false;
}

}  // namespace

bool attachIndex(WorkArea&, const std::string& file) { return unsupported(file); }

bool buildIndex(WorkArea&, const IndexBuild& b) { return unsupported(b.file); }

}  // namespace kor::tables::layer
