// Win32 side of the platform layer.
//
// Paths and texts arrive as code page 850 bytes (the program's internal
// character set) and go to the wide-character API converted with code page
// 850; names coming back are converted the other way.
//
// Share modes are the system's own (CreateFile's share flags), and byte-range
// locks are LockFileEx at the same offsets the POSIX side uses, so programs
// sharing the files on a network see each other's locks.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winnetwk.h>
#include <lmcons.h>
#include <psapi.h>

#include <cstdlib>
#include <optional>
#include <cstring>
#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/platform.h"

namespace kor::plat {

namespace {

constexpr UINT kCodePage = 850;

std::wstring wide(std::string_view s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(kCodePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kCodePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string narrow(std::wstring_view w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(kCodePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(kCodePage, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

HANDLE toHandle(Handle h) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(h)); }
Handle fromHandle(HANDLE h) { return static_cast<Handle>(reinterpret_cast<intptr_t>(h)); }

// Windows error codes are the codes the program reports; a few are folded
// into the classic ones the messages know.
int osError(DWORD e) {
  switch (e) {
    case ERROR_SUCCESS: return kOk;
    case ERROR_HANDLE_DISK_FULL: return kDiskFull;
    case ERROR_ALREADY_EXISTS: return kFileExists;
    default: return static_cast<int>(e);
  }
}

int64_t fileTimeToMillis(const FILETIME& ft) {
  ULARGE_INTEGER u;
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  // 100 ns units since 1601-01-01.
  return static_cast<int64_t>(u.QuadPart / 10000ULL) - 11644473600000LL;
}

FILETIME millisToFileTime(int64_t ms) {
  ULARGE_INTEGER u;
  u.QuadPart = static_cast<ULONGLONG>(ms + 11644473600000LL) * 10000ULL;
  FILETIME ft;
  ft.dwLowDateTime = u.LowPart;
  ft.dwHighDateTime = u.HighPart;
  return ft;
}

OpenResult winOpen(const std::string& path, Access a, Share s, Disposition d) {
  DWORD access = GENERIC_READ | (a == Access::ReadWrite ? GENERIC_WRITE : 0);
  DWORD share = 0;
  switch (s) {
    case Share::DenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE; break;
    case Share::DenyWrite: share = FILE_SHARE_READ; break;
    case Share::Exclusive: share = 0; break;
  }
  DWORD disp = OPEN_EXISTING;
  switch (d) {
    case Disposition::OpenExisting: disp = OPEN_EXISTING; break;
    case Disposition::CreateAlways: disp = CREATE_ALWAYS; break;
    case Disposition::CreateNew: disp = CREATE_NEW; break;
    case Disposition::OpenAlways: disp = OPEN_ALWAYS; break;
  }
  HANDLE h = CreateFileW(wide(nativePath(path)).c_str(), access, share, nullptr, disp, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    return OpenResult{kNoHandle, e == ERROR_FILE_EXISTS ? kFileExists : osError(e)};
  }
  return OpenResult{fromHandle(h), 0};
}

IoResult winRead(Handle h, int64_t off, void* buf, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>((off + done) & 0xFFFFFFFF);
    ov.OffsetHigh = static_cast<DWORD>((off + done) >> 32);
    DWORD chunk = static_cast<DWORD>(std::min<int64_t>(n - done, 1 << 30));
    DWORD got = 0;
    if (!ReadFile(toHandle(h), static_cast<char*>(buf) + done, chunk, &got, &ov)) {
      DWORD e = GetLastError();
      if (e == ERROR_HANDLE_EOF) break;
      return IoResult{done, osError(e) == 0 ? kReadFault : osError(e)};
    }
    if (got == 0) break;
    done += got;
  }
  return IoResult{done, 0};
}

IoResult winWrite(Handle h, int64_t off, const void* buf, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>((off + done) & 0xFFFFFFFF);
    ov.OffsetHigh = static_cast<DWORD>((off + done) >> 32);
    DWORD chunk = static_cast<DWORD>(std::min<int64_t>(n - done, 1 << 30));
    DWORD put = 0;
    if (!WriteFile(toHandle(h), static_cast<const char*>(buf) + done, chunk, &put, &ov)) {
      DWORD e = GetLastError();
      return IoResult{done, e == ERROR_DISK_FULL || e == ERROR_HANDLE_DISK_FULL ? kDiskFull : osError(e)};
    }
    done += put;
  }
  return IoResult{done, 0};
}

LockResult winLock(Handle h, uint64_t off, uint64_t len, bool exclusive) {
  OVERLAPPED ov{};
  ov.Offset = static_cast<DWORD>(off & 0xFFFFFFFF);
  ov.OffsetHigh = static_cast<DWORD>(off >> 32);
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  if (LockFileEx(toHandle(h), flags, 0, static_cast<DWORD>(len & 0xFFFFFFFF), static_cast<DWORD>(len >> 32), &ov))
    return LockResult::Locked;
  DWORD e = GetLastError();
  if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING || e == ERROR_SHARING_VIOLATION) return LockResult::Busy;
  return LockResult::Error;
}

int winUnlock(Handle h, uint64_t off, uint64_t len) {
  OVERLAPPED ov{};
  ov.Offset = static_cast<DWORD>(off & 0xFFFFFFFF);
  ov.OffsetHigh = static_cast<DWORD>(off >> 32);
  if (UnlockFileEx(toHandle(h), 0, static_cast<DWORD>(len & 0xFFFFFFFF), static_cast<DWORD>(len >> 32), &ov))
    return kOk;
  return osError(GetLastError());
}

int attributesOf(DWORD a) {
  int out = 0;
  if (a & FILE_ATTRIBUTE_READONLY) out |= 1;
  if (a & FILE_ATTRIBUTE_HIDDEN) out |= 2;
  if (a & FILE_ATTRIBUTE_SYSTEM) out |= 4;
  if (a & FILE_ATTRIBUTE_DIRECTORY) out |= 16;
  if (a & FILE_ATTRIBUTE_ARCHIVE) out |= 32;
  return out;
}

FileInfo winStat(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  FileInfo fi;
  if (!GetFileAttributesExW(wide(nativePath(path)).c_str(), GetFileExInfoStandard, &d)) return fi;
  fi.exists = true;
  fi.isDir = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  fi.size = (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
  fi.mtimeMillis = fileTimeToMillis(d.ftLastWriteTime);
  fi.attributes = attributesOf(d.dwFileAttributes);
  return fi;
}

int winSetMtime(const std::string& path, int64_t ms) {
  HANDLE h = CreateFileW(wide(nativePath(path)).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return osError(GetLastError());
  FILETIME ft = millisToFileTime(ms);
  BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
  DWORD e = ok ? 0 : GetLastError();
  CloseHandle(h);
  return osError(e);
}

int64_t winNow() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return fileTimeToMillis(ft);
}

}  // namespace

const Ops& detail::osOps() {
  static const Ops o = [] {
    Ops x;
    x.open = winOpen;
    x.read = winRead;
    x.write = winWrite;
    x.sync = [](Handle h) -> int { return FlushFileBuffers(toHandle(h)) ? kOk : osError(GetLastError()); };
    x.truncate = [](Handle h, int64_t n) -> int {
      LARGE_INTEGER li;
      li.QuadPart = n;
      if (!SetFilePointerEx(toHandle(h), li, nullptr, FILE_BEGIN) || !SetEndOfFile(toHandle(h)))
        return osError(GetLastError());
      return kOk;
    };
    x.size = [](Handle h) -> int64_t {
      LARGE_INTEGER li;
      return GetFileSizeEx(toHandle(h), &li) ? static_cast<int64_t>(li.QuadPart) : -1;
    };
    x.close = [](Handle h) -> int { return CloseHandle(toHandle(h)) ? kOk : osError(GetLastError()); };
    x.lock = winLock;
    x.unlock = winUnlock;
    x.stat = winStat;
    x.remove = [](const std::string& p) -> int {
      return DeleteFileW(wide(nativePath(p)).c_str()) ? kOk : osError(GetLastError());
    };
    x.rename = [](const std::string& a, const std::string& b) -> int {
      return MoveFileExW(wide(nativePath(a)).c_str(), wide(nativePath(b)).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)
                 ? kOk
                 : osError(GetLastError());
    };
    x.makeDir = [](const std::string& p) -> int {
      return CreateDirectoryW(wide(nativePath(p)).c_str(), nullptr) ? kOk : osError(GetLastError());
    };
    x.removeDir = [](const std::string& p) -> int {
      return RemoveDirectoryW(wide(nativePath(p)).c_str()) ? kOk : osError(GetLastError());
    };
    x.setMtime = winSetMtime;
    x.nowMillis = winNow;
    x.monotonicMillis = [] { return static_cast<int64_t>(GetTickCount64()); };
    x.sleep = [](int64_t ms) {
      if (ms > 0) Sleep(static_cast<DWORD>(ms));
    };
    return x;
  }();
  return o;
}

// --- folders and paths -------------------------------------------------------

std::vector<DirEntry> detail::osListDir(const std::string& folder, std::string_view pattern) {
  std::vector<DirEntry> out;
  std::string dir = folder.empty() ? std::string(".") : nativePath(folder);
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(wide(dir + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    std::string name = narrow(fd.cFileName);
    if (name == "." || name == "..") continue;
    if (!wildMatch(pattern, name)) continue;
    DirEntry de;
    de.name = name;
    de.info.exists = true;
    de.info.isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    de.info.size = (static_cast<int64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    de.info.mtimeMillis = fileTimeToMillis(fd.ftLastWriteTime);
    de.info.attributes = attributesOf(fd.dwFileAttributes);
    out.push_back(std::move(de));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return out;
}

char separator() { return '\\'; }

std::string nativePath(std::string_view path) {
  std::string p(path);
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

// Windows file systems ignore case already.
std::string resolveCase(const std::string& path) { return path; }

bool isAbsolute(std::string_view p) {
  if (p.size() >= 2 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/')) return true;
  return p.size() >= 3 && p[1] == ':' && (p[2] == '\\' || p[2] == '/');
}

std::string currentDir() {
  wchar_t buf[MAX_PATH * 4];
  DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(std::size(buf)), buf);
  if (n == 0 || n >= std::size(buf)) return ".";
  return narrow(std::wstring_view(buf, n));
}

int changeDir(const std::string& path) {
  return SetCurrentDirectoryW(wide(nativePath(path)).c_str()) ? kOk : osError(GetLastError());
}

std::string absolutePath(std::string_view given, std::string_view base) {
  std::string p = nativePath(given);
  if (!base.empty() && !isAbsolute(p) && !(p.size() >= 2 && p[1] == ':') && !(p.size() >= 1 && p[0] == '\\')) {
    std::string b = nativePath(base);
    if (!b.empty() && b.back() != '\\') b += '\\';
    p = b + p;
  }
  std::wstring w = wide(p);
  wchar_t buf[MAX_PATH * 4];
  DWORD n = GetFullPathNameW(w.c_str(), static_cast<DWORD>(std::size(buf)), buf, nullptr);
  if (n == 0 || n >= std::size(buf)) return p;
  return narrow(std::wstring_view(buf, n));
}

std::string tempDir() {
  wchar_t buf[MAX_PATH + 2];
  DWORD n = GetTempPathW(static_cast<DWORD>(std::size(buf)), buf);
  if (n == 0) return "C:\\TEMP";
  std::string t = narrow(std::wstring_view(buf, n));
  if (t.size() > 3 && t.back() == '\\') t.pop_back();
  return t;
}

std::optional<DiskSpace> diskSpace(const std::string& folder) {
  ULARGE_INTEGER avail, total, freeAll;
  if (!GetDiskFreeSpaceExW(wide(nativePath(folder)).c_str(), &avail, &total, &freeAll)) return std::nullopt;
  return DiskSpace{total.QuadPart, freeAll.QuadPart, avail.QuadPart};
}

std::string homeDir() {
  if (auto h = getEnv("USERPROFILE"); h && !h->empty()) return *h;
  return "C:\\";
}

std::string executablePath() {
  wchar_t buf[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  return narrow(std::wstring_view(buf, n));
}

std::string networkSource(const std::string& path) {
  std::string full = absolutePath(path);
  if (full.size() >= 2 && full[0] == '\\' && full[1] == '\\') {
    // \\server\share\...: the share itself.
    size_t s1 = full.find('\\', 2);
    if (s1 == std::string::npos) return full;
    size_t s2 = full.find('\\', s1 + 1);
    return s2 == std::string::npos ? full : full.substr(0, s2);
  }
  if (full.size() < 2 || full[1] != ':') return "";
  std::wstring drive = wide(full.substr(0, 2));
  wchar_t remote[MAX_PATH * 2];
  DWORD len = static_cast<DWORD>(std::size(remote));
  if (WNetGetConnectionW(drive.c_str(), remote, &len) != NO_ERROR) return "";
  return narrow(remote);
}

// --- environment, identity, processes ---------------------------------------

std::optional<std::string> getEnv(const std::string& name) {
  std::wstring w = wide(name);
  DWORD n = GetEnvironmentVariableW(w.c_str(), nullptr, 0);
  if (n == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::wstring buf(n, L'\0');
  DWORD got = GetEnvironmentVariableW(w.c_str(), buf.data(), n);
  buf.resize(got);
  return narrow(buf);
}

void setEnv(const std::string& name, const std::string& value) {
  SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str());
  _wputenv_s(wide(name).c_str(), wide(value).c_str());
}

void unsetEnv(const std::string& name) {
  SetEnvironmentVariableW(wide(name).c_str(), nullptr);
  _wputenv_s(wide(name).c_str(), L"");
}

std::string hostName() {
  wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = static_cast<DWORD>(std::size(buf));
  if (!GetComputerNameW(buf, &n)) return "";
  return narrow(std::wstring_view(buf, n));
}

std::string osVersionText() {
  // GetVersionEx reports the version the program was built for; the
  // kernel's own call tells the truth.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
    auto fn = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (fn && fn(&v) == 0)
      return "Windows " + std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) + " build " +
             std::to_string(v.dwBuildNumber);
  }
  return "Windows";
}

bool remoteSession() { return GetSystemMetrics(SM_REMOTESESSION) != 0; }

std::string userName() {
  wchar_t buf[UNLEN + 1];
  DWORD n = static_cast<DWORD>(std::size(buf));
  if (!GetUserNameW(buf, &n)) return "";
  return narrow(std::wstring_view(buf, n > 0 ? n - 1 : 0));
}

int64_t processId() { return static_cast<int64_t>(GetCurrentProcessId()); }

bool unlockSpansLocks() { return false; }

int64_t residentBytes() {
  PROCESS_MEMORY_COUNTERS pmc;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return 0;
  return static_cast<int64_t>(pmc.WorkingSetSize);
}

int64_t peakResidentBytes() {
  PROCESS_MEMORY_COUNTERS pmc;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return 0;
  return static_cast<int64_t>(pmc.PeakWorkingSetSize);
}

bool resetPeakResident() { return false; }

bool processAlive(int64_t pid) {
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  BOOL ok = GetExitCodeProcess(h, &code);
  CloseHandle(h);
  return ok && code == STILL_ACTIVE;
}

int runShell(const std::string& commandLine) { return _wsystem(wide(commandLine).c_str()); }

namespace {

// Quotes one argument by the rules the C runtime uses to split a command line.
std::wstring quoteArg(const std::wstring& a) {
  if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : a) {
    if (c == L'\\') {
      ++slashes;
    } else if (c == L'"') {
      out.append(slashes * 2 + 1, L'\\');
      slashes = 0;
    } else {
      slashes = 0;
    }
    out += c;
  }
  out.append(slashes, L'\\');
  return out + L"\"";
}

struct Started {
  DWORD pid;
  HANDLE process;
};
std::vector<Started>& started() {
  static std::vector<Started> s;
  return s;
}

HANDLE processHandle(int64_t pid) {
  for (auto& s : started())
    if (s.pid == static_cast<DWORD>(pid)) return s.process;
  return nullptr;
}

}  // namespace

int64_t startProcess(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::pair<std::string, std::string>>& env) {
  std::wstring cmd = quoteArg(wide(nativePath(program)));
  for (auto& a : args) cmd += L" " + quoteArg(wide(a));
  // The child's environment: ours with the given variables set.
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
  for (auto& [k, v] : env) {
    saved.emplace_back(k, getEnv(k));
    SetEnvironmentVariableW(wide(k).c_str(), wide(v).c_str());
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  BOOL ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  for (auto& [k, v] : saved) SetEnvironmentVariableW(wide(k).c_str(), v ? wide(*v).c_str() : nullptr);
  if (!ok) return -1;
  CloseHandle(pi.hThread);
  started().push_back(Started{pi.dwProcessId, pi.hProcess});
  return static_cast<int64_t>(pi.dwProcessId);
}

std::optional<int> waitProcess(int64_t pid, int64_t timeoutMillis) {
  HANDLE h = processHandle(pid);
  if (!h) return -1;
  DWORD r = WaitForSingleObject(h, timeoutMillis < 0 ? INFINITE : static_cast<DWORD>(timeoutMillis));
  if (r == WAIT_TIMEOUT) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(h, &code);
  CloseHandle(h);
  auto& s = started();
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i].process == h) {
      s.erase(s.begin() + static_cast<long>(i));
      break;
    }
  return static_cast<int>(code);
}

void killProcess(int64_t pid) {
  if (HANDLE h = processHandle(pid)) TerminateProcess(h, 137);
}

// --- time -------------------------------------------------------------------

LocalTime localTime(int64_t ms) {
  FILETIME utc = millisToFileTime(ms), local;
  FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME st;
  FileTimeToSystemTime(&local, &st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millis = st.wMilliseconds;
  t.utcOffsetMinutes = static_cast<int>((fileTimeToMillis(local) - ms) / 60000);
  return t;
}

int64_t fromLocalTime(const LocalTime& t) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  st.wMilliseconds = static_cast<WORD>(t.millis);
  FILETIME local, utc;
  SystemTimeToFileTime(&st, &local);
  LocalFileTimeToFileTime(&local, &utc);
  return fileTimeToMillis(utc);
}

// --- terminal ---------------------------------------------------------------
// The Windows build draws on the Win32 console through its own backend; the
// terminal calls only tell that there is no terminal of the POSIX kind.

bool isTerminal(int) { return false; }
int readTerminal(int, char*, int, int64_t) { return -1; }
bool terminalSize(int, int&, int&) { return false; }
void watchTerminalSignals() {}
int takeCloseRequests() { return 0; }
bool takeResize() { return false; }

}  // namespace kor::plat
