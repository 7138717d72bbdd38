// POSIX side of platform/system.h.
//
// What stands for the Windows notions here:
//  - temporary names: the same shape as the Windows service makes
//    (prefix + hexadecimal number + ".TMP"), created exclusively;
//  - short names: none exist, a path is its own short form;
//  - network connections: SMB and NFS mounts (/proc/self/mountinfo), the
//    mount point standing for the drive letter;
//  - special folders: the XDG user folders (user-dirs.dirs) and the XDG
//    base folders;
//  - the shell's execute call: programs are started directly, everything
//    else goes to xdg-open, printing to lp.
#include <dirent.h>
#include <spawn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/platform.h"
#include "platform/system.h"

extern "C" char** environ;

namespace kor::plat {

namespace {

std::string lowerAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// mountinfo writes blanks, tabs, new lines and backslashes as octal escapes.
std::string unescapeMount(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    auto octal = [&](size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '7'; };
    if (s[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool networkType(const std::string& type) {
  return type == "cifs" || type == "smb3" || type == "smbfs" || type.rfind("nfs", 0) == 0;
}

std::string home() { return homeDir(); }

std::string envOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : fallback;
}

// The value of XDG_<key>_DIR in user-dirs.dirs ("$HOME/..." expanded), or
// `fallback`.
std::string xdgUserDir(const std::string& key, const std::string& fallback) {
  std::string file = envOr("XDG_CONFIG_HOME", home() + "/.config") + "/user-dirs.dirs";
  auto text = readWholeFile(file);
  if (!text) return fallback;
  std::string want = "XDG_" + key + "_DIR=";
  size_t pos = 0;
  while (pos < text->size()) {
    size_t end = text->find('\n', pos);
    if (end == std::string::npos) end = text->size();
    std::string line = text->substr(pos, end - pos);
    pos = end + 1;
    size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos || line.compare(b, want.size(), want) != 0) continue;
    std::string v = line.substr(b + want.size());
    while (!v.empty() && (v.back() == '\r' || v.back() == ' ')) v.pop_back();
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    if (v.rfind("$HOME", 0) == 0) v = home() + v.substr(5);
    if (!v.empty() && v[0] == '/') return v;
  }
  return fallback;
}

bool executableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A program: executable and an ELF image or a script. (Files on SMB mounts
// often all carry the execute bit; a document there is still a document.)
bool programFile(const std::string& path) {
  if (!executableFile(path)) return false;
  char head[4] = {0, 0, 0, 0};
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ssize_t n = ::read(fd, head, sizeof head);
  ::close(fd);
  return (n == 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0) || (n >= 2 && head[0] == '#' && head[1] == '!');
}

// Splits a parameter text at blanks; double quotes group blanks into one
// parameter, as the Windows command line does.
std::vector<std::string> splitParameters(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false, any = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) out.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += c;
      any = true;
    }
  }
  if (any) out.push_back(cur);
  return out;
}

// Openers still running when shellExecute stopped waiting; reaped later so
// they do not stay behind as zombies.
std::vector<pid_t>& pendingOpeners() {
  static std::vector<pid_t> v;
  return v;
}

void reapOpeners() {
  auto& v = pendingOpeners();
  for (size_t i = 0; i < v.size();) {
    int status = 0;
    pid_t r = ::waitpid(v[i], &status, WNOHANG);
    if (r == v[i] || (r < 0 && errno == ECHILD)) {
      v.erase(v.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
}

// Starts a program detached from the console: its own session (a hang-up of
// our terminal does not end it), standard streams on /dev/null. -1 when it
// could not start.
pid_t spawnDetached(const std::string& program, const std::vector<std::string>& args) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t at;
  posix_spawnattr_init(&at);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
  flags |= POSIX_SPAWN_SETSID;
#endif
  posix_spawnattr_setflags(&at, flags);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&at, &none);
  posix_spawnattr_setsigdefault(&at, &all);
  std::vector<std::string> a = args;
  std::string prog = program;
  std::vector<char*> argv;
  argv.push_back(prog.data());
  for (auto& x : a) argv.push_back(x.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = ::posix_spawn(&pid, prog.c_str(), &fa, &at, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&at);
  return rc == 0 ? pid : -1;
}

// How long an opener is given to report that it cannot open the file. One
// that is still running after it is taken as having started the document's
// program in the foreground.
constexpr int64_t kOpenerWaitMillis = 5000;

// Runs an opener and turns its exit status into the execute call's code.
int runOpener(const std::string& opener, const std::vector<std::string>& args) {
  pid_t pid = spawnDetached(opener, args);
  if (pid < 0) return kNoMemory;
  int64_t start = monotonicMillis();
  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      if (!WIFEXITED(status)) return 31;
      switch (WEXITSTATUS(status)) {
        case 0: return 42;
        case 2: return kNotFound;  // xdg-open: the file does not exist
        default: return 31;        // no method for that kind of file, or it failed
      }
    }
    if (r < 0 && errno != EINTR) return 42;
    if (monotonicMillis() - start >= kOpenerWaitMillis) {
      pendingOpeners().push_back(pid);
      return 42;
    }
    struct timespec ts {0, 5 * 1000 * 1000};
    ::nanosleep(&ts, nullptr);
  }
}

bool looksLikeAddress(const std::string& s) {
  return s.find("://") != std::string::npos || lowerAscii(s.substr(0, 7)) == "mailto:";
}

}  // namespace

std::string makeTempFile(const std::string& folder, const std::string& prefix, int* error) {
  std::string dir = folder.empty() ? tempDir() : folder;
  std::string pre = prefix.substr(0, 3);
  // Like the Windows service: start from a number taken from the clock and
  // count up until a name is free.
  unsigned n = static_cast<unsigned>((nowMillis() ^ (processId() << 8)) & 0xFFFF);
  int last = kOk;
  for (int tries = 0; tries < 0x10000; ++tries, n = (n + 1) & 0xFFFF) {
    if (n == 0) continue;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", n);
    std::string name = absolutePath(dir + "/" + pre + hex + ".TMP");
    OpenResult r = openFile(name, Access::ReadWrite, Share::DenyNone, Disposition::CreateNew);
    if (r.ok()) {
      closeFile(r.handle);
      if (error) *error = kOk;
      return name;
    }
    last = r.error;
    if (r.error != kFileExists) break;
  }
  if (error) *error = last;
  return "";
}

std::string shortPath(const std::string& path) {
  std::string full = absolutePath(path);
  return statPath(full).exists ? resolveCase(full) : std::string();
}

std::vector<NetworkConnection> networkConnections() {
  std::vector<NetworkConnection> out;
  auto info = readWholeFile("/proc/self/mountinfo");
  if (!info) return out;
  // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
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
    if (!networkType(f[dash + 1])) continue;
    out.push_back({unescapeMount(f[4]), unescapeMount(f[dash + 2])});
  }
  return out;
}

std::string driveOf(const std::string& path) {
  std::string full = absolutePath(path);
  auto info = readWholeFile("/proc/self/mountinfo");
  std::string best = "/";
  if (!info) return best;
  size_t pos = 0;
  while (pos < info->size()) {
    size_t end = info->find('\n', pos);
    if (end == std::string::npos) end = info->size();
    std::string line = info->substr(pos, end - pos);
    pos = end + 1;
    // The fifth field is the mount point.
    size_t i = 0;
    for (int field = 0; field < 4 && i != std::string::npos; ++field) {
      i = line.find(' ', i);
      if (i != std::string::npos) ++i;
    }
    if (i == std::string::npos) continue;
    size_t j = line.find(' ', i);
    std::string mount = unescapeMount(line.substr(i, j == std::string::npos ? std::string::npos : j - i));
    bool under = full == mount ||
                 (full.size() > mount.size() && full.compare(0, mount.size(), mount) == 0 && full[mount.size()] == '/');
    if (under && mount.size() > best.size()) best = mount;
  }
  return best;
}

std::string networkConnection(const std::string& device) {
  if (device.empty()) return "";
  return networkSource(device);
}

std::string printerOnPort(const std::string&) { return ""; }

std::optional<std::string> specialFolder(const std::string& name) {
  std::string n = lowerAscii(name);
  std::string h = home();
  std::string config = envOr("XDG_CONFIG_HOME", h + "/.config");
  std::string data = envOr("XDG_DATA_HOME", h + "/.local/share");
  if (n == "desktop") return xdgUserDir("DESKTOP", h + "/Desktop");
  if (n == "mydocuments" || n == "personal") return xdgUserDir("DOCUMENTS", h);
  if (n == "templates") return xdgUserDir("TEMPLATES", h);
  if (n == "appdata") return config;
  if (n == "startup") return config + "/autostart";
  if (n == "startmenu" || n == "programs") return data + "/applications";
  if (n == "fonts") return data + "/fonts";
  if (n == "allusersstartmenu" || n == "allusersprograms") return std::string("/usr/share/applications");
  if (n == "allusersstartup") return std::string("/etc/xdg/autostart");
  return std::nullopt;
}

OsInfo osInfo() {
  OsInfo o;
  struct utsname u;
  if (::uname(&u) == 0) {
    o.name = std::string(u.sysname) + " " + u.release;
    std::sscanf(u.release, "%d.%d.%d", &o.major, &o.minor, &o.build);
  }
  return o;
}

int fileHandleLimit() {
  struct rlimit rl;
  if (::getrlimit(RLIMIT_NOFILE, &rl) != 0) return 0;
  if (rl.rlim_cur == RLIM_INFINITY || rl.rlim_cur > 0x7FFFFFFF) return 0x7FFFFFFF;
  return static_cast<int>(rl.rlim_cur);
}

std::string findProgram(const std::string& name) {
  if (name.empty()) return "";
  std::string n = nativePath(name);
  if (n.find('/') != std::string::npos) return executableFile(n) ? absolutePath(n) : std::string();
  std::string path = envOr("PATH", "/usr/local/bin:/usr/bin:/bin");
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find(':', i);
    if (j == std::string::npos) j = path.size();
    std::string dir = path.substr(i, j - i);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + n;
    if (executableFile(candidate)) return absolutePath(candidate);
    i = j + 1;
  }
  return "";
}

int readFolder(const std::string& folder, std::vector<DirEntry>& out) {
  out.clear();
  std::string dir = folder.empty() ? std::string(".") : resolveCase(nativePath(folder));
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    switch (errno) {
      case ENOENT: return kPathNotFound;
      case ENOTDIR: return kPathNotFound;
      case EACCES:
      case EPERM: return kAccessDenied;
      case EMFILE:
      case ENFILE: return kTooManyOpen;
      default: return kAccessDenied;
    }
  }
  while (struct dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    DirEntry entry;
    entry.name = name;
    entry.info = statPath(dir + "/" + name);
    out.push_back(std::move(entry));
  }
  ::closedir(d);
  return kOk;
}

std::optional<std::string> shellBrowseForFolder(const std::string&, const std::string&, bool) {
  return std::nullopt;
}

std::optional<std::string> shellSaveAs(const std::vector<FileFilter>&, const std::string&, const std::string&,
                                       const std::string&) {
  return std::nullopt;
}

int shellExecute(const std::string& file, const std::string& verb, const std::string& parameters, int) {
  static std::mutex m;
  std::lock_guard<std::mutex> lock(m);
  reapOpeners();
  if (file.empty()) return kNotFound;
  bool print = lowerAscii(verb) == "print";
  std::string target = file;
  if (!looksLikeAddress(file)) {
    target = resolveCase(absolutePath(file));
    FileInfo fi = statPath(target);
    if (!fi.exists) {
      size_t slash = target.find_last_of('/');
      std::string folder = slash == 0 ? "/" : target.substr(0, slash);
      return dirExists(folder) ? kNotFound : kPathNotFound;
    }
    if (print) {
      if (fi.isDir) return 31;
      std::string lp = findProgram("lp");
      return lp.empty() ? 31 : runOpener(lp, {target});
    }
    if (!fi.isDir && programFile(target)) {
      pid_t pid = spawnDetached(target, splitParameters(parameters));
      if (pid < 0) return kNoMemory;
      pendingOpeners().push_back(pid);
      return 42;
    }
  } else if (print) {
    return 31;
  }
  std::string opener = findProgram("xdg-open");
  if (opener.empty()) return 31;  // no opener: nothing is associated with any file
  return runOpener(opener, {target});
}

}  // namespace kor::plat
