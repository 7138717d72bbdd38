// POSIX side of the platform layer.
//
// Share modes. Windows refuses an open whose access or share mode conflicts
// with the opens already made. POSIX has no such thing, so every open made
// through this layer also takes open-file-description locks (F_OFD_SETLK) on
// five bytes of a reserved range far beyond any data or record-lock offset:
//   kShareBase + 1  held shared by every opener with read access
//   kShareBase + 2  held shared by every opener with write access
//   kShareBase + 3  held shared by every opener that denies reading to others
//   kShareBase + 4  held shared by every opener that denies writing to others
// An open takes its own bytes, then checks with F_OFD_GETLK that nobody
// denies what it does and that nobody does what it denies.
// The locks belong to the descriptor, so they vanish with it (or with the
// process) and a crashed program never leaves a table "in use".
// Only programs that open through this layer see each other's share modes.
#include <dirent.h>
#include <spawn.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/internal.h"
#include "platform/platform.h"

extern "C" char** environ;

namespace kor::plat {

namespace {

constexpr off_t kShareBase = static_cast<off_t>(0x7FFFFFFF00000000LL);
enum ShareByte { kReads = 1, kWrites = 2, kDenyRead = 3, kDenyWrite = 4 };

int errorFromErrno(int e, const std::string& path = {}) {
  switch (e) {
    case 0: return kOk;
    case ENOENT: {
      // Windows tells a missing folder from a missing file.
      std::string p = path;
      size_t slash = p.find_last_of('/');
      if (slash != std::string::npos && slash > 0) {
        struct stat st;
        if (::stat(p.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kPathNotFound;
      }
      return kNotFound;
    }
    case ENOTDIR: return kPathNotFound;
    case EACCES:
    case EPERM: return kAccessDenied;
    case EISDIR: return kAccessDenied;
    case EMFILE:
    case ENFILE: return kTooManyOpen;
    case EBADF: return kInvalidHandle;
    case ENOMEM: return kNoMemory;
    case EROFS: return kWriteProtect;
    case ENOSPC:
    case EDQUOT: return kDiskFull;
    case EEXIST: return kFileExists;
    case ENOTEMPTY: return kDirNotEmpty;
    case EAGAIN: return kLockViolation;
    case EINVAL: return kInvalidParameter;
    case EIO: return kReadFault;
    case ENAMETOOLONG: return kPathNotFound;
    default: return kAccessDenied;
  }
}

bool ofdLock(int fd, off_t start, off_t len, short type, bool wait) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  for (;;) {
    if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return true;
    if (errno == EINTR) continue;
    return false;
  }
}

// True when some other descriptor holds a lock on the byte that would
// conflict with a lock of `type`.
bool heldByOthers(int fd, off_t byte, short type) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = kShareBase + byte;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

// Takes the share-mode bytes of a new descriptor. False on a conflict.
// The descriptor first takes its own bytes and only then looks at the
// others', so of two openers racing with conflicting modes at least one sees
// the other (both may fail, and retry, but both never succeed). Read locks
// only: they work on descriptors opened read-only.
bool takeShare(int fd, Access a, Share s) {
  const bool mine[5] = {false, true, a == Access::ReadWrite, s == Share::Exclusive,
                        s == Share::Exclusive || s == Share::DenyWrite};
  for (int b = kReads; b <= kDenyWrite; ++b)
    if (mine[b] && !ofdLock(fd, kShareBase + b, 1, F_RDLCK, false)) {
      if (errno == EAGAIN || errno == EACCES) return false;
      return true;  // a file system without locks: no share modes there
    }
  bool conflict = (mine[kReads] && heldByOthers(fd, kDenyRead, F_WRLCK)) ||
                  (mine[kWrites] && heldByOthers(fd, kDenyWrite, F_WRLCK)) ||
                  (mine[kDenyRead] && heldByOthers(fd, kReads, F_WRLCK)) ||
                  (mine[kDenyWrite] && heldByOthers(fd, kWrites, F_WRLCK));
  if (conflict) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kShareBase + kReads;
    fl.l_len = 4;
    ::fcntl(fd, F_OFD_SETLK, &fl);
  }
  return !conflict;
}

OpenResult posixOpen(const std::string& given, Access a, Share s, Disposition d) {
  std::string path = resolveCase(nativePath(given));
  int flags = O_CLOEXEC | (a == Access::ReadWrite ? O_RDWR : O_RDONLY);
  switch (d) {
    case Disposition::OpenExisting: break;
    case Disposition::CreateAlways: flags |= O_CREAT; break;  // truncated after the share check
    case Disposition::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case Disposition::OpenAlways: flags |= O_CREAT; break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return OpenResult{kNoHandle, errorFromErrno(errno, path)};
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return OpenResult{kNoHandle, kAccessDenied};
  }
  if (!takeShare(fd, a, s)) {
    ::close(fd);
    return OpenResult{kNoHandle, kSharingViolation};
  }
  if (d == Disposition::CreateAlways && ::ftruncate(fd, 0) != 0) {
    int e = errorFromErrno(errno, path);
    ::close(fd);
    return OpenResult{kNoHandle, e};
  }
  return OpenResult{fd, 0};
}

IoResult posixRead(Handle h, int64_t off, void* buf, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(static_cast<int>(h), static_cast<char*>(buf) + done, static_cast<size_t>(n - done), off + done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return IoResult{done, errno == EBADF ? kInvalidHandle : kReadFault};
    }
    if (r == 0) break;
    done += r;
  }
  return IoResult{done, 0};
}

IoResult posixWrite(Handle h, int64_t off, const void* buf, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    ssize_t r = ::pwrite(static_cast<int>(h), static_cast<const char*>(buf) + done, static_cast<size_t>(n - done), off + done);
    if (r < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      return IoResult{done, e == ENOSPC || e == EDQUOT ? kDiskFull : (e == EBADF ? kInvalidHandle : kWriteFault)};
    }
    done += r;
  }
  return IoResult{done, 0};
}

LockResult posixLock(Handle h, uint64_t off, uint64_t len, bool exclusive) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(off);
  fl.l_len = static_cast<off_t>(len);
  for (;;) {
    if (::fcntl(static_cast<int>(h), F_OFD_SETLK, &fl) == 0) return LockResult::Locked;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return LockResult::Busy;
    return LockResult::Error;
  }
}

int posixUnlock(Handle h, uint64_t off, uint64_t len) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(off);
  fl.l_len = static_cast<off_t>(len);
  return ::fcntl(static_cast<int>(h), F_OFD_SETLK, &fl) == 0 ? kOk : errorFromErrno(errno);
}

int attributesOf(const std::string& path, const struct stat& st) {
  int a = 0;
  if (!(st.st_mode & S_IWUSR)) a |= 1;
  size_t slash = path.find_last_of('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!base.empty() && base[0] == '.' && base != "." && base != "..") a |= 2;
  if (S_ISDIR(st.st_mode)) a |= 16;
  else a |= 32;
  return a;
}

FileInfo posixStat(const std::string& given) {
  std::string path = resolveCase(nativePath(given));
  struct stat st;
  FileInfo fi;
  if (::stat(path.c_str(), &st) != 0) return fi;
  fi.exists = true;
  fi.isDir = S_ISDIR(st.st_mode);
  fi.size = st.st_size;
  fi.mtimeMillis = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
  fi.attributes = attributesOf(path, st);
  return fi;
}

int64_t realNow() {
  struct timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int64_t realMonotonic() {
  struct timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void realSleep(int64_t ms) {
  if (ms <= 0) return;
  struct timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1000000)};
  while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace

const Ops& detail::osOps() {
  static const Ops o = [] {
    Ops x;
    x.open = posixOpen;
    x.read = posixRead;
    x.write = posixWrite;
    x.sync = [](Handle h) { return ::fsync(static_cast<int>(h)) == 0 ? kOk : errorFromErrno(errno); };
    x.truncate = [](Handle h, int64_t n) {
      return ::ftruncate(static_cast<int>(h), static_cast<off_t>(n)) == 0 ? kOk : errorFromErrno(errno);
    };
    x.size = [](Handle h) -> int64_t {
      struct stat st;
      return ::fstat(static_cast<int>(h), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    };
    x.close = [](Handle h) { return ::close(static_cast<int>(h)) == 0 ? kOk : errorFromErrno(errno); };
    x.lock = posixLock;
    x.unlock = posixUnlock;
    x.stat = posixStat;
    x.remove = [](const std::string& p) {
      std::string r = resolveCase(nativePath(p));
      return ::unlink(r.c_str()) == 0 ? kOk : errorFromErrno(errno, r);
    };
    x.rename = [](const std::string& a, const std::string& b) {
      std::string ra = resolveCase(nativePath(a));
      return ::rename(ra.c_str(), nativePath(b).c_str()) == 0 ? kOk : errorFromErrno(errno, ra);
    };
    x.makeDir = [](const std::string& p) {
      std::string r = nativePath(p);
      return ::mkdir(r.c_str(), 0777) == 0 ? kOk : errorFromErrno(errno, r);
    };
    x.removeDir = [](const std::string& p) {
      std::string r = resolveCase(nativePath(p));
      return ::rmdir(r.c_str()) == 0 ? kOk : errorFromErrno(errno, r);
    };
    x.setMtime = [](const std::string& p, int64_t ms) {
      std::string r = resolveCase(nativePath(p));
      struct timespec ts[2];
      ts[0].tv_sec = 0;
      ts[0].tv_nsec = UTIME_OMIT;
      ts[1].tv_sec = static_cast<time_t>(ms / 1000);
      ts[1].tv_nsec = static_cast<long>((ms % 1000) * 1000000);
      return ::utimensat(AT_FDCWD, r.c_str(), ts, 0) == 0 ? kOk : errorFromErrno(errno, r);
    };
    x.nowMillis = realNow;
    x.monotonicMillis = realMonotonic;
    x.sleep = realSleep;
    return x;
  }();
  return o;
}

// --- folders and paths -------------------------------------------------------

std::vector<DirEntry> detail::osListDir(const std::string& folder, std::string_view pattern) {
  std::vector<DirEntry> out;
  std::string dir = folder.empty() ? std::string(".") : resolveCase(nativePath(folder));
  DIR* d = ::opendir(dir.c_str());
  if (!d) return out;
  while (struct dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (!wildMatch(pattern, name)) continue;
    DirEntry de;
    de.name = name;
    de.info = posixStat(dir + "/" + name);
    out.push_back(std::move(de));
  }
  ::closedir(d);
  return out;
}

char separator() { return '/'; }

std::string nativePath(std::string_view path) {
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

std::string resolveCase(const std::string& path) {
  struct stat st;
  if (path.empty() || ::lstat(path.c_str(), &st) == 0) return path;
  // Walk the components; where one does not exist, look for a spelling that
  // differs only in case.
  std::string out;
  size_t i = 0;
  if (path[0] == '/') {
    out = "/";
    i = 1;
  }
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string comp = path.substr(i, j - i);
    if (!comp.empty()) {
      std::string candidate = out.empty() || out.back() == '/' ? out + comp : out + "/" + comp;
      if (::lstat(candidate.c_str(), &st) != 0 && comp != "." && comp != "..") {
        std::string dir = out.empty() ? "." : out;
        DIR* d = ::opendir(dir.c_str());
        std::string found;
        if (d) {
          while (struct dirent* e = ::readdir(d)) {
            if (::strcasecmp(e->d_name, comp.c_str()) == 0) {
              found = e->d_name;
              break;
            }
          }
          ::closedir(d);
        }
        if (found.empty()) return path;  // no match: keep the name as given
        candidate = out.empty() || out.back() == '/' ? out + found : out + "/" + found;
      }
      out = candidate;
    }
    i = j + 1;
  }
  return out;
}

bool isAbsolute(std::string_view path) { return !path.empty() && (path[0] == '/' || path[0] == '\\'); }

std::string currentDir() {
  char buf[PATH_MAX];
  if (::getcwd(buf, sizeof buf)) return buf;
  return ".";
}

int changeDir(const std::string& path) {
  std::string r = resolveCase(nativePath(path));
  return ::chdir(r.c_str()) == 0 ? kOk : errorFromErrno(errno, r);
}

std::string absolutePath(std::string_view given, std::string_view base) {
  std::string p = nativePath(given);
  if (!isAbsolute(p)) {
    std::string b = base.empty() ? currentDir() : nativePath(base);
    if (!isAbsolute(b)) b = currentDir() + "/" + b;
    p = b + "/" + p;
  }
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= p.size()) {
    size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    std::string comp = p.substr(i, j - i);
    if (comp == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!comp.empty() && comp != ".") {
      parts.push_back(comp);
    }
    i = j + 1;
  }
  std::string out;
  for (auto& c : parts) out += "/" + c;
  return out.empty() ? "/" : out;
}

std::string tempDir() {
  for (const char* v : {"TMPDIR", "TEMP", "TMP"})
    if (const char* e = std::getenv(v); e && *e) return e;
  return "/tmp";
}

std::optional<DiskSpace> diskSpace(const std::string& folder) {
  struct statvfs v;
  std::string r = resolveCase(nativePath(folder));
  if (::statvfs(r.c_str(), &v) != 0) return std::nullopt;
  DiskSpace d;
  d.total = static_cast<uint64_t>(v.f_blocks) * v.f_frsize;
  d.free = static_cast<uint64_t>(v.f_bfree) * v.f_frsize;
  d.available = static_cast<uint64_t>(v.f_bavail) * v.f_frsize;
  return d;
}

std::string homeDir() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  if (struct passwd* pw = ::getpwuid(::getuid())) return pw->pw_dir;
  return "/";
}

std::string executablePath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  buf[n] = '\0';
  return buf;
}

std::string networkSource(const std::string& path) {
  std::string full = absolutePath(path);
  auto info = readWholeFile("/proc/self/mountinfo");
  if (!info) return "";
  // mountinfo: id parent major:minor root mountpoint options ... - fstype source superopts
  std::string best, bestSource;
  size_t pos = 0;
  while (pos < info->size()) {
    size_t end = info->find('\n', pos);
    if (end == std::string::npos) end = info->size();
    std::string line = info->substr(pos, end - pos);
    pos = end + 1;
    std::vector<std::string> f;
    size_t i = 0;
    while (i < line.size()) {
      size_t j = line.find(' ', i);
      if (j == std::string::npos) j = line.size();
      f.push_back(line.substr(i, j - i));
      i = j + 1;
    }
    size_t dash = 0;
    for (size_t k = 6; k < f.size(); ++k)
      if (f[k] == "-") {
        dash = k;
        break;
      }
    if (f.size() < 5 || dash == 0 || dash + 2 >= f.size()) continue;
    const std::string& mount = f[4];
    bool under = full == mount || mount == "/" ||
                 (full.size() > mount.size() && full.compare(0, mount.size(), mount) == 0 && full[mount.size()] == '/');
    if (!under || mount.size() < best.size()) continue;
    best = mount;
    const std::string& type = f[dash + 1];
    bool network = type == "cifs" || type == "smb3" || type == "smbfs" || type.rfind("nfs", 0) == 0;
    bestSource = network ? f[dash + 2] : "";
  }
  return bestSource;
}

// --- environment, identity, processes -----------------------------------------

std::optional<std::string> getEnv(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  if (!v) return std::nullopt;
  return std::string(v);
}

void setEnv(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }
void unsetEnv(const std::string& name) { ::unsetenv(name.c_str()); }

std::string hostName() {
  char buf[256];
  if (::gethostname(buf, sizeof buf) != 0) return "";
  buf[sizeof buf - 1] = '\0';
  return buf;
}

std::string osVersionText() {
  struct utsname u;
  if (::uname(&u) != 0) return "POSIX";
  return std::string(u.sysname) + " " + u.release + " " + u.machine;
}

bool remoteSession() {
  const char* s = std::getenv("SSH_CONNECTION");
  return s && *s;
}

std::string userName() {
  if (struct passwd* pw = ::getpwuid(::geteuid())) return pw->pw_name;
  if (const char* u = std::getenv("USER")) return u;
  return "";
}

int64_t processId() { return ::getpid(); }

bool unlockSpansLocks() { return true; }

int64_t residentBytes() {
  // Linux: the second number of /proc/self/statm is the resident set in pages.
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long long size = 0, resident = 0;
  int n = std::fscanf(f, "%lld %lld", &size, &resident);
  std::fclose(f);
  return n == 2 ? resident * ::sysconf(_SC_PAGESIZE) : 0;
}

int64_t peakResidentBytes() {
  struct rusage u;
  // /proc/self/status's VmHWM follows resets of the peak; getrusage's
  // maximum does not.
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    long long kb = -1;
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "VmHWM: %lld kB", &kb) == 1) break;
    std::fclose(f);
    if (kb >= 0) return kb * 1024;
  }
  if (::getrusage(RUSAGE_SELF, &u) != 0) return 0;
  return static_cast<int64_t>(u.ru_maxrss) * 1024;  // Linux reports kilobytes
}

bool resetPeakResident() {
  // Linux: writing 5 to clear_refs resets the peak resident set size.
  FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (!f) return false;
  bool ok = std::fputs("5", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

bool processAlive(int64_t pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

int runShell(const std::string& commandLine) {
  int rc = std::system(commandLine.c_str());
  if (rc == -1) return -1;
  if (WIFEXITED(rc)) return WEXITSTATUS(rc);
  return -1;
}

int64_t startProcess(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::pair<std::string, std::string>>& env) {
  std::vector<std::string> envs;
  for (char** e = environ; *e; ++e) {
    std::string kv = *e;
    bool replaced = false;
    for (auto& [k, v] : env)
      if (kv.compare(0, k.size() + 1, k + "=") == 0) replaced = true;
    if (!replaced) envs.push_back(kv);
  }
  for (auto& [k, v] : env) envs.push_back(k + "=" + v);
  std::vector<char*> argv, envp;
  std::string prog = nativePath(program);
  argv.push_back(prog.data());
  std::vector<std::string> a = args;
  for (auto& x : a) argv.push_back(x.data());
  argv.push_back(nullptr);
  for (auto& x : envs) envp.push_back(x.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, prog.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
  return pid;
}

std::optional<int> waitProcess(int64_t pid, int64_t timeoutMillis) {
  int64_t start = realMonotonic();
  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(static_cast<pid_t>(pid), &status, timeoutMillis < 0 ? 0 : WNOHANG);
    if (r == static_cast<pid_t>(pid)) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    }
    if (r < 0 && errno != EINTR) return -1;
    if (timeoutMillis >= 0 && realMonotonic() - start >= timeoutMillis) return std::nullopt;
    realSleep(5);
  }
}

void killProcess(int64_t pid) {
  if (pid > 0) ::kill(static_cast<pid_t>(pid), SIGKILL);
}

// --- time -------------------------------------------------------------------

LocalTime localTime(int64_t ms) {
  time_t secs = static_cast<time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
  struct tm tmv;
  ::localtime_r(&secs, &tmv);
  LocalTime t;
  t.year = tmv.tm_year + 1900;
  t.month = tmv.tm_mon + 1;
  t.day = tmv.tm_mday;
  t.hour = tmv.tm_hour;
  t.minute = tmv.tm_min;
  t.second = tmv.tm_sec;
  t.millis = static_cast<int>(ms - static_cast<int64_t>(secs) * 1000);
  t.utcOffsetMinutes = static_cast<int>(tmv.tm_gmtoff / 60);
  return t;
}

int64_t fromLocalTime(const LocalTime& t) {
  struct tm tmv;
  std::memset(&tmv, 0, sizeof tmv);
  tmv.tm_year = t.year - 1900;
  tmv.tm_mon = t.month - 1;
  tmv.tm_mday = t.day;
  tmv.tm_hour = t.hour;
  tmv.tm_min = t.minute;
  tmv.tm_sec = t.second;
  tmv.tm_isdst = -1;
  return static_cast<int64_t>(::mktime(&tmv)) * 1000 + t.millis;
}

}  // namespace kor::plat
