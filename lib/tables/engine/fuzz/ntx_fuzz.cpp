// Fuzzes the NTX module with whole index files: the checker and the dump
// read the bytes, then the index is opened and walked, sought, counted and
// changed. Nothing may crash, hang or read outside a page, whatever the
// bytes; errors are raised records, answered "default" here.
//
// The file lives in memory: the platform's file calls are replaced for the
// fuzzer's one file name. The first input byte steers the operations, the
// rest is the file.
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "runtime/error.h"
#include "tables/engine/ntx.h"

using namespace kor;
using namespace kor::tables;

namespace {

std::string g_file;
constexpr plat::Handle kHandle = 4242;

void installMemoryFile() {
  plat::Ops& o = plat::ops();
  o.open = [](const std::string&, plat::Access, plat::Share, plat::Disposition d) {
    if (d == plat::Disposition::CreateAlways) g_file.clear();
    return plat::OpenResult{kHandle, 0};
  };
  o.read = [](plat::Handle, int64_t off, void* buf, int64_t n) {
    plat::IoResult r;
    if (off < 0 || n < 0) return plat::IoResult{0, plat::kInvalidParameter};
    if (uint64_t(off) >= g_file.size()) return r;
    r.bytes = std::min<int64_t>(n, int64_t(g_file.size()) - off);
    std::memcpy(buf, g_file.data() + off, size_t(r.bytes));
    return r;
  };
  o.write = [](plat::Handle, int64_t off, const void* buf, int64_t n) {
    if (off < 0 || n < 0 || off + n > (int64_t(1) << 26)) return plat::IoResult{0, plat::kDiskFull};
    if (uint64_t(off + n) > g_file.size()) g_file.resize(size_t(off + n), '\0');
    std::memcpy(g_file.data() + off, buf, size_t(n));
    return plat::IoResult{n, 0};
  };
  o.size = [](plat::Handle) { return int64_t(g_file.size()); };
  o.truncate = [](plat::Handle, int64_t n) {
    g_file.resize(size_t(n), '\0');
    return 0;
  };
  o.sync = [](plat::Handle) { return 0; };
  o.close = [](plat::Handle) { return 0; };
  o.lock = [](plat::Handle, uint64_t, uint64_t, bool) { return plat::LockResult::Locked; };
  o.unlock = [](plat::Handle, uint64_t, uint64_t) { return 0; };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    installMemoryFile();
    rt::setErrorHandler([](rt::ErrorRecord&) { return rt::ErrorAnswer::byDefault(); });
    return true;
  }();
  (void)ready;
  if (size < 1 || size > (1u << 20)) return 0;
  const uint8_t steer = data[0];
  g_file.assign(reinterpret_cast<const char*>(data + 1), size - 1);

  ntx::CheckOptions lenient;
  lenient.strict = false;
  ntx::checkBytes(g_file, lenient);
  ntx::checkBytes(g_file);
  ntx::dumpBytes(g_file, true);

  ntx::OpenOptions opt;
  opt.shared = steer & 1;
  auto ix = ntx::Index::open("fuzz.ntx", opt);
  if (!ix) return 0;
  int n = 0;
  for (bool on = ix->goTop(); on && n < 3000; on = ix->next()) ++n;
  n = 0;
  for (bool on = ix->goBottom(); on && n < 3000; on = ix->prev()) ++n;
  ix->keyCount();
  // Keys to seek and change: taken from the file's own bytes.
  const int ks = ix->keySize();
  for (int i = 0; i < 8; ++i) {
    size_t at = (size_t(steer) * 131 + size_t(i) * 977) % (g_file.size() + 1);
    std::string k = g_file.substr(at, size_t(ks));
    ix->seek(k, i & 1, i & 2);
    ix->keyNo();
    if (steer & 2) ix->insert(k, uint32_t(i + 1));
    if (steer & 4) ix->remove(k, uint32_t(i + 1));
    if (ix->onKey() && (steer & 8)) ix->remove(std::string(ix->key()), ix->recno());
  }
  ix->gotoKeyNo(steer);
  ix->setTopScope(std::string(1, char(steer)));
  ix->goTop();
  ix->skip(5);
  ix->keyCount();
  if (steer & 16) {
    for (uint32_t r = 1; r <= 200; ++r) ix->insert(std::to_string(r * 7919), r);
    ix->goBottom();
  }
  return 0;
}
