// The parts of the platform layer that are the same on every OS: the
// wrappers over the injectable table and helpers built only on them.
#include <cctype>
#include <map>
#include <memory>

#include "platform/clock.h"
#include "platform/crypto.h"
#include "platform/fault.h"
#include "platform/platform.h"

namespace kor::plat {

Ops& ops() {
  static Ops o = defaultOps();
  return o;
}

OpenResult openFile(const std::string& path, Access a, Share s, Disposition d) { return ops().open(path, a, s, d); }
IoResult readAt(Handle h, int64_t off, void* buf, int64_t n) { return ops().read(h, off, buf, n); }
IoResult writeAt(Handle h, int64_t off, const void* buf, int64_t n) { return ops().write(h, off, buf, n); }
int syncFile(Handle h) { return ops().sync(h); }
int truncateFile(Handle h, int64_t size) { return ops().truncate(h, size); }
int64_t fileSize(Handle h) { return ops().size(h); }
int closeFile(Handle h) { return ops().close(h); }
LockResult lockRange(Handle h, uint64_t off, uint64_t len, bool exclusive) { return ops().lock(h, off, len, exclusive); }
int unlockRange(Handle h, uint64_t off, uint64_t len) { return ops().unlock(h, off, len); }

FileInfo statPath(const std::string& path) { return ops().stat(path); }
bool fileExists(const std::string& path) {
  FileInfo i = ops().stat(path);
  return i.exists && !i.isDir;
}
bool dirExists(const std::string& path) {
  FileInfo i = ops().stat(path);
  return i.exists && i.isDir;
}
int removeFile(const std::string& path) { return ops().remove(path); }
int renameFile(const std::string& from, const std::string& to) { return ops().rename(from, to); }
int makeDir(const std::string& path) { return ops().makeDir(path); }
int removeDir(const std::string& path) { return ops().removeDir(path); }
int setFileTime(const std::string& path, int64_t m) { return ops().setMtime(path, m); }

int makeDirs(const std::string& path) {
  std::string p = nativePath(path);
  if (p.empty() || dirExists(p)) return kOk;
  // Create each missing level from the top.
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == '/' || p[i] == '\\') {
      std::string part = p.substr(0, i);
      if (part.empty() || (part.size() == 2 && part[1] == ':')) continue;
      if (!dirExists(part)) {
        int rc = makeDir(part);
        if (rc != kOk && !dirExists(part)) return rc;
      }
    }
  }
  return kOk;
}

int copyFile(const std::string& from, const std::string& to, bool keepTime) {
  OpenResult in = openFile(from, Access::Read, Share::DenyNone, Disposition::OpenExisting);
  if (!in.ok()) return in.error;
  OpenResult out = openFile(to, Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways);
  if (!out.ok()) {
    closeFile(in.handle);
    return out.error;
  }
  std::vector<char> buf(1 << 16);
  int64_t off = 0;
  int rc = kOk;
  for (;;) {
    IoResult r = readAt(in.handle, off, buf.data(), static_cast<int64_t>(buf.size()));
    if (!r.ok()) {
      rc = r.error;
      break;
    }
    if (r.bytes == 0) break;
    IoResult w = writeAt(out.handle, off, buf.data(), r.bytes);
    if (!w.ok()) {
      rc = w.error;
      break;
    }
    off += r.bytes;
  }
  closeFile(in.handle);
  if (rc == kOk) rc = syncFile(out.handle);
  closeFile(out.handle);
  if (rc == kOk && keepTime) {
    FileInfo fi = statPath(from);
    if (fi.exists) setFileTime(to, fi.mtimeMillis);
  }
  return rc;
}

std::optional<std::string> readWholeFile(const std::string& path, int* error) {
  OpenResult in = openFile(path, Access::Read, Share::DenyNone, Disposition::OpenExisting);
  if (!in.ok()) {
    if (error) *error = in.error;
    return std::nullopt;
  }
  std::string data;
  int64_t off = 0;
  char buf[1 << 15];
  for (;;) {
    IoResult r = readAt(in.handle, off, buf, sizeof buf);
    if (!r.ok()) {
      closeFile(in.handle);
      if (error) *error = r.error;
      return std::nullopt;
    }
    if (r.bytes == 0) break;
    data.append(buf, static_cast<size_t>(r.bytes));
    off += r.bytes;
  }
  closeFile(in.handle);
  if (error) *error = kOk;
  return data;
}

int writeWholeFile(const std::string& path, std::string_view data) {
  std::string tmp = nativePath(path) + ".~" + std::to_string(processId()) + "tmp";
  OpenResult out = openFile(tmp, Access::ReadWrite, Share::Exclusive, Disposition::CreateAlways);
  if (!out.ok()) return out.error;
  IoResult w = writeAt(out.handle, 0, data.data(), static_cast<int64_t>(data.size()));
  int rc = w.ok() ? syncFile(out.handle) : w.error;
  closeFile(out.handle);
  if (rc == kOk) rc = renameFile(tmp, path);
  if (rc != kOk) removeFile(tmp);
  return rc;
}

bool wildMatch(std::string_view pat, std::string_view name, bool ignoreCase) {
  auto eq = [ignoreCase](char a, char b) {
    if (!ignoreCase) return a == b;
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pat.size() && (pat[p] == '?' || eq(pat[p], name[n]))) {
      ++p;
      ++n;
    } else if (p < pat.size() && pat[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == '*') ++p;
  return p == pat.size();
}

std::string hexDigest(const uint8_t* d, size_t n) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    out += kHex[d[i] >> 4];
    out += kHex[d[i] & 15];
  }
  return out;
}

int64_t nowMillis() { return ops().nowMillis(); }
int64_t monotonicMillis() { return ops().monotonicMillis(); }
void sleepMillis(int64_t ms) { ops().sleep(ms); }

// --- test helpers -------------------------------------------------------------

void failOpen(FaultScope& scope, std::string needle, int code, int times) {
  auto orig = scope.original().open;
  auto left = std::make_shared<int>(times);
  ops().open = [orig, needle, code, left](const std::string& p, Access a, Share s, Disposition d) {
    if ((needle.empty() || p.find(needle) != std::string::npos) && *left != 0) {
      if (*left > 0) --*left;
      return OpenResult{kNoHandle, code};
    }
    return orig(p, a, s, d);
  };
}

void failWritesAfter(FaultScope& scope, int64_t okBytes, int code) {
  auto orig = scope.original().write;
  auto budget = std::make_shared<int64_t>(okBytes);
  ops().write = [orig, budget, code](Handle h, int64_t off, const void* buf, int64_t n) {
    if (*budget <= 0) return IoResult{0, code};
    int64_t take = n <= *budget ? n : *budget;
    IoResult r = orig(h, off, buf, take);
    if (r.ok()) *budget -= r.bytes;
    if (r.ok() && take < n) return IoResult{r.bytes, code};
    return r;
  };
}

void failWritesTo(FaultScope& scope, std::string needle, int code, int64_t okBytes, int times) {
  struct State {
    std::map<Handle, int64_t> budget;  // open handles of matching files
    int left;
  };
  auto st = std::make_shared<State>();
  st->left = times;
  auto origOpen = ops().open;
  auto origWrite = ops().write;
  auto origClose = ops().close;
  ops().open = [origOpen, needle, okBytes, st](const std::string& p, Access a, Share s, Disposition d) {
    OpenResult r = origOpen(p, a, s, d);
    if (r.ok() && a == Access::ReadWrite && p.find(needle) != std::string::npos && st->left != 0) {
      if (st->left > 0) --st->left;
      st->budget[r.handle] = okBytes;
    }
    return r;
  };
  ops().write = [origWrite, code, st](Handle h, int64_t off, const void* buf, int64_t n) {
    auto it = st->budget.find(h);
    if (it == st->budget.end()) return origWrite(h, off, buf, n);
    if (it->second <= 0) return IoResult{0, code};
    int64_t take = n <= it->second ? n : it->second;
    IoResult r = origWrite(h, off, buf, take);
    if (r.ok()) it->second -= r.bytes;
    if (r.ok() && take < n) return IoResult{r.bytes, code};
    return r;
  };
  ops().close = [origClose, st](Handle h) {
    st->budget.erase(h);
    return origClose(h);
  };
}

VirtualClock::VirtualClock(int64_t start) : saved_(ops()), wall_(start) {
  ops().nowMillis = [this] { return wall_; };
  ops().monotonicMillis = [this] { return mono_; };
  ops().sleep = [this](int64_t ms) {
    advance(ms > 0 ? ms : 1);
    for (auto& h : hooks_) h(mono_);
  };
}

VirtualClock::~VirtualClock() { ops() = saved_; }

void VirtualClock::advance(int64_t ms) {
  wall_ += ms;
  mono_ += ms;
}

}  // namespace kor::plat
