// The memory file system: files whose names begin with "MEM:" live in this
// process's memory until they are removed or the process ends (temporary
// tables use them). They behave like disk files through the same table of
// calls: share modes, byte-range locks per open handle (with the conflicts
// of the disk side), sparse writes past the end, fault injection.
//
// Names: the part after "MEM:" without regard to case, "/" and "\" alike.
// There are no folders; a name may hold separators freely.
//
// Handles of memory files are numbers from kMemBase up, far above any
// descriptor the OS hands out, so each call can tell the two apart.
#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/platform.h"

namespace kor::plat {

bool isMemoryPath(std::string_view path) {
  return path.size() >= 4 && std::toupper(static_cast<unsigned char>(path[0])) == 'M' &&
         std::toupper(static_cast<unsigned char>(path[1])) == 'E' &&
         std::toupper(static_cast<unsigned char>(path[2])) == 'M' && path[3] == ':';
}

namespace detail {

namespace {

constexpr Handle kMemBase = Handle(1) << 48;

struct RangeLock {
  Handle owner;
  uint64_t off;
  uint64_t len;
  bool exclusive;
  uint64_t end() const { return off + len; }
};

struct MemFile {
  std::string data;
  int64_t mtime = 0;
  std::vector<RangeLock> locks;
};

struct OpenFile {
  std::shared_ptr<MemFile> file;
  Access access;
  Share share;
};

struct MemFs {
  std::map<std::string, std::shared_ptr<MemFile>> files;
  std::map<Handle, OpenFile> open;
  Handle next = kMemBase;
};

MemFs& fs() {
  static MemFs m;
  return m;
}

std::string keyOf(std::string_view path) {
  std::string k;
  k.reserve(path.size());
  for (char c : path.substr(4)) k += c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return k;
}

bool isMemHandle(Handle h) { return h >= kMemBase; }

OpenFile* openOf(Handle h) {
  auto it = fs().open.find(h);
  return it == fs().open.end() ? nullptr : &it->second;
}

// Windows share-mode rules: an open fails when an earlier open denies what
// it does, or when it denies what an earlier open does.
bool shareConflict(const MemFile* f, Access a, Share s) {
  for (auto& [h, o] : fs().open) {
    if (o.file.get() != f) continue;
    if (o.share == Share::Exclusive || s == Share::Exclusive) return true;
    if (o.share == Share::DenyWrite && a == Access::ReadWrite) return true;
    if (s == Share::DenyWrite && o.access == Access::ReadWrite) return true;
  }
  return false;
}

// Removes [off, off+len) from the locks of `owner`, splitting where needed.
void dropRange(MemFile& f, Handle owner, uint64_t off, uint64_t len) {
  uint64_t end = off + len;
  std::vector<RangeLock> out;
  for (auto& l : f.locks) {
    if (l.owner != owner || l.end() <= off || l.off >= end) {
      out.push_back(l);
      continue;
    }
    if (l.off < off) out.push_back(RangeLock{owner, l.off, off - l.off, l.exclusive});
    if (l.end() > end) out.push_back(RangeLock{owner, end, l.end() - end, l.exclusive});
  }
  f.locks = std::move(out);
}

OpenResult memOpen(const std::string& path, Access a, Share s, Disposition d) {
  std::string key = keyOf(path);
  if (key.empty()) return OpenResult{kNoHandle, kAccessDenied};
  auto it = fs().files.find(key);
  std::shared_ptr<MemFile> f;
  if (it == fs().files.end()) {
    if (d == Disposition::OpenExisting) return OpenResult{kNoHandle, kNotFound};
    f = std::make_shared<MemFile>();
    f->mtime = ops().nowMillis();
    if (shareConflict(f.get(), a, s)) return OpenResult{kNoHandle, kSharingViolation};
    fs().files[key] = f;
  } else {
    f = it->second;
    if (d == Disposition::CreateNew) return OpenResult{kNoHandle, kFileExists};
    if (shareConflict(f.get(), a, s)) return OpenResult{kNoHandle, kSharingViolation};
    if (d == Disposition::CreateAlways) {
      f->data.clear();
      f->mtime = ops().nowMillis();
    }
  }
  Handle h = fs().next++;
  fs().open[h] = OpenFile{f, a, s};
  return OpenResult{h, 0};
}

IoResult memRead(Handle h, int64_t off, void* buf, int64_t n) {
  OpenFile* o = openOf(h);
  if (!o) return IoResult{0, kInvalidHandle};
  if (off < 0 || n < 0) return IoResult{0, kInvalidParameter};
  const std::string& d = o->file->data;
  if (static_cast<uint64_t>(off) >= d.size()) return IoResult{0, 0};
  int64_t take = std::min<int64_t>(n, static_cast<int64_t>(d.size()) - off);
  std::copy_n(d.data() + off, take, static_cast<char*>(buf));
  return IoResult{take, 0};
}

IoResult memWrite(Handle h, int64_t off, const void* buf, int64_t n) {
  OpenFile* o = openOf(h);
  if (!o) return IoResult{0, kInvalidHandle};
  if (o->access != Access::ReadWrite) return IoResult{0, kAccessDenied};
  if (off < 0 || n < 0) return IoResult{0, kInvalidParameter};
  std::string& d = o->file->data;
  if (static_cast<uint64_t>(off + n) > d.size()) d.resize(static_cast<size_t>(off + n), '\0');
  std::copy_n(static_cast<const char*>(buf), n, d.data() + off);
  o->file->mtime = ops().nowMillis();
  return IoResult{n, 0};
}

LockResult memLock(Handle h, uint64_t off, uint64_t len, bool exclusive) {
  OpenFile* o = openOf(h);
  if (!o || len == 0) return LockResult::Error;
  MemFile& f = *o->file;
  for (auto& l : f.locks)
    if (l.owner != h && l.off < off + len && off < l.end() && (l.exclusive || exclusive)) return LockResult::Busy;
  dropRange(f, h, off, len);
  f.locks.push_back(RangeLock{h, off, len, exclusive});
  return LockResult::Locked;
}

int memUnlock(Handle h, uint64_t off, uint64_t len) {
  OpenFile* o = openOf(h);
  if (!o) return kInvalidHandle;
  dropRange(*o->file, h, off, len);
  return kOk;
}

int memClose(Handle h) {
  OpenFile* o = openOf(h);
  if (!o) return kInvalidHandle;
  auto& locks = o->file->locks;
  locks.erase(std::remove_if(locks.begin(), locks.end(), [h](const RangeLock& l) { return l.owner == h; }),
              locks.end());
  fs().open.erase(h);
  return kOk;
}

FileInfo memStat(const std::string& path) {
  FileInfo fi;
  std::string key = keyOf(path);
  if (key.empty() || key == "\\") {
    fi.exists = true;
    fi.isDir = true;
    fi.attributes = 16;
    return fi;
  }
  auto it = fs().files.find(key);
  if (it == fs().files.end()) return fi;
  fi.exists = true;
  fi.size = static_cast<int64_t>(it->second->data.size());
  fi.mtimeMillis = it->second->mtime;
  fi.attributes = 32;
  return fi;
}

}  // namespace

std::vector<DirEntry> memListDir(std::string_view pattern) {
  std::vector<DirEntry> out;
  for (auto& [key, f] : fs().files) {
    if (!wildMatch(pattern, key)) continue;
    DirEntry e;
    e.name = key;
    e.info.exists = true;
    e.info.size = static_cast<int64_t>(f->data.size());
    e.info.mtimeMillis = f->mtime;
    e.info.attributes = 32;
    out.push_back(std::move(e));
  }
  return out;
}

Ops withMemoryFiles(const Ops& os) {
  Ops m = os;
  m.open = [o = os.open](const std::string& p, Access a, Share s, Disposition d) {
    return isMemoryPath(p) ? memOpen(p, a, s, d) : o(p, a, s, d);
  };
  m.read = [o = os.read](Handle h, int64_t off, void* b, int64_t n) {
    return isMemHandle(h) ? memRead(h, off, b, n) : o(h, off, b, n);
  };
  m.write = [o = os.write](Handle h, int64_t off, const void* b, int64_t n) {
    return isMemHandle(h) ? memWrite(h, off, b, n) : o(h, off, b, n);
  };
  m.sync = [o = os.sync](Handle h) { return isMemHandle(h) ? (openOf(h) ? kOk : kInvalidHandle) : o(h); };
  m.truncate = [o = os.truncate](Handle h, int64_t size) {
    if (!isMemHandle(h)) return o(h, size);
    OpenFile* f = openOf(h);
    if (!f) return static_cast<int>(kInvalidHandle);
    if (f->access != Access::ReadWrite) return static_cast<int>(kAccessDenied);
    f->file->data.resize(static_cast<size_t>(size < 0 ? 0 : size), '\0');
    f->file->mtime = ops().nowMillis();
    return static_cast<int>(kOk);
  };
  m.size = [o = os.size](Handle h) -> int64_t {
    if (!isMemHandle(h)) return o(h);
    OpenFile* f = openOf(h);
    return f ? static_cast<int64_t>(f->file->data.size()) : -1;
  };
  m.close = [o = os.close](Handle h) { return isMemHandle(h) ? memClose(h) : o(h); };
  m.lock = [o = os.lock](Handle h, uint64_t off, uint64_t len, bool ex) {
    return isMemHandle(h) ? memLock(h, off, len, ex) : o(h, off, len, ex);
  };
  m.unlock = [o = os.unlock](Handle h, uint64_t off, uint64_t len) {
    return isMemHandle(h) ? memUnlock(h, off, len) : o(h, off, len);
  };
  m.stat = [o = os.stat](const std::string& p) { return isMemoryPath(p) ? memStat(p) : o(p); };
  m.remove = [o = os.remove](const std::string& p) {
    if (!isMemoryPath(p)) return o(p);
    return fs().files.erase(keyOf(p)) ? static_cast<int>(kOk) : static_cast<int>(kNotFound);
  };
  m.rename = [o = os.rename](const std::string& from, const std::string& to) {
    bool a = isMemoryPath(from), b = isMemoryPath(to);
    if (!a && !b) return o(from, to);
    if (a != b) return static_cast<int>(kAccessDenied);  // no moves between memory and disk
    auto it = fs().files.find(keyOf(from));
    if (it == fs().files.end()) return static_cast<int>(kNotFound);
    auto f = it->second;
    fs().files.erase(it);
    fs().files[keyOf(to)] = f;
    return static_cast<int>(kOk);
  };
  m.makeDir = [o = os.makeDir](const std::string& p) { return isMemoryPath(p) ? static_cast<int>(kOk) : o(p); };
  m.removeDir = [o = os.removeDir](const std::string& p) { return isMemoryPath(p) ? static_cast<int>(kOk) : o(p); };
  m.setMtime = [o = os.setMtime](const std::string& p, int64_t ms) {
    if (!isMemoryPath(p)) return o(p, ms);
    auto it = fs().files.find(keyOf(p));
    if (it == fs().files.end()) return static_cast<int>(kNotFound);
    it->second->mtime = ms;
    return static_cast<int>(kOk);
  };
  return m;
}

}  // namespace detail

const Ops& defaultOps() {
  static const Ops o = detail::withMemoryFiles(detail::osOps());
  return o;
}

std::vector<DirEntry> listDir(const std::string& folder, std::string_view pattern) {
  if (isMemoryPath(folder)) return detail::memListDir(pattern);
  return detail::osListDir(folder, pattern);
}

}  // namespace kor::plat
