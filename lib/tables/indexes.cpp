// Index files as the table layer uses them: names, attaching an index file
// to an area, building one.
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine/indexes.h"
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

bool attachIndex(WorkArea& a, const std::string& file) { return orderListAdd(a, file); }

bool buildIndex(WorkArea& a, const IndexBuild& b) {
  IndexSpec spec;
  spec.file = b.file;
  spec.key = b.key;
  spec.tag = b.tag;
  if (!b.cond.empty()) spec.forCond = Value(b.cond);
  spec.descending = b.descending;
  if (b.eachRecord) {
    spec.every = 1;
    spec.onProgress = [&b](uint32_t, uint32_t) {
      b.eachRecord();
      return true;
    };
  }
  return orderCreate(a, spec, true);
}

}  // namespace kor::tables::layer
