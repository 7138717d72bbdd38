#include "tables/engine/file.h"

#include "tables/engine/errors.h"

namespace kor::tables {

rt::ErrorRecord dbError(int genCode, int subCode, const std::string& file, int osCode, const std::string& operation) {
  rt::ErrorRecord e = rt::makeError(genCode, "DBFNTX", subCode, operation, file, osCode);
  return e;
}

bool tryRaising(const std::function<bool(rt::ErrorRecord&)>& attempt) { return rt::raiseLoop(attempt).ok; }

bool raiseOnce(rt::ErrorRecord rec) { return rt::raise(rec).kind == rt::ErrorAnswer::Retry; }

EngineFile& EngineFile::operator=(EngineFile&& o) noexcept {
  if (this != &o) {
    close();
    h_ = o.h_;
    path_ = std::move(o.path_);
    o.h_ = plat::kNoHandle;
  }
  return *this;
}

void EngineFile::close() {
  if (h_ != plat::kNoHandle) plat::closeFile(h_);
  h_ = plat::kNoHandle;
}

// Each operation tries once without the error machinery; only a failure
// goes through the retry loop with its error record.
bool EngineFile::read(int64_t off, void* buf, int64_t n, int64_t* got) {
  if (plat::IoResult r = plat::readAt(h_, off, buf, n); r.ok()) {
    *got = r.bytes;
    return true;
  }
  return tryRaising([&](rt::ErrorRecord& e) {
    plat::IoResult r = plat::readAt(h_, off, buf, n);
    if (r.ok()) {
      *got = r.bytes;
      return true;
    }
    e = dbError(rt::kErrRead, kSubRead, path_, r.error);
    e.canRetry = true;
    e.canDefault = true;
    return false;
  });
}

bool EngineFile::readExact(int64_t off, void* buf, int64_t n, int shortSub) {
  if (plat::IoResult r = plat::readAt(h_, off, buf, n); r.ok() && r.bytes == n) return true;
  return tryRaising([&](rt::ErrorRecord& e) {
    plat::IoResult r = plat::readAt(h_, off, buf, n);
    if (r.ok() && r.bytes == n) return true;
    e = dbError(rt::kErrRead, r.ok() ? shortSub : kSubRead, path_, r.ok() ? 0 : r.error);
    e.canRetry = true;
    e.canDefault = true;
    return false;
  });
}

bool EngineFile::write(int64_t off, const void* buf, int64_t n) {
  if (plat::IoResult r = plat::writeAt(h_, off, buf, n); r.ok() && r.bytes == n) return true;
  return tryRaising([&](rt::ErrorRecord& e) {
    plat::IoResult r = plat::writeAt(h_, off, buf, n);
    if (r.ok() && r.bytes == n) return true;
    e = dbError(rt::kErrWrite, kSubWrite, path_, r.ok() ? plat::kWriteFault : r.error);
    e.canRetry = true;
    e.canDefault = true;
    return false;
  });
}

bool EngineFile::truncate(int64_t size) {
  return tryRaising([&](rt::ErrorRecord& e) {
    int rc = plat::truncateFile(h_, size);
    if (rc == 0) return true;
    e = dbError(rt::kErrWrite, kSubWrite, path_, rc);
    e.canRetry = true;
    e.canDefault = true;
    return false;
  });
}

bool EngineFile::sync() {
  return tryRaising([&](rt::ErrorRecord& e) {
    int rc = plat::syncFile(h_);
    if (rc == 0) return true;
    e = dbError(rt::kErrWrite, kSubWrite, path_, rc);
    e.canRetry = true;
    e.canDefault = true;
    return false;
  });
}

int64_t EngineFile::size() { return plat::fileSize(h_); }

}  // namespace kor::tables
