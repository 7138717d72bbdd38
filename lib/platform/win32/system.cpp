// Win32 side of platform/system.h: the system's own services
// (GetTempFileName, GetShortPathName, WNetGetConnection, EnumPrinters,
// SHGetFolderPath, RtlGetVersion, SearchPath, ShellExecute).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winnetwk.h>
#include <winspool.h>
#include <shlobj.h>
#include <shellapi.h>
#include <commdlg.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/system.h"

namespace kor::plat {

namespace {

constexpr UINT kCodePage = 850;

std::wstring toWide(std::string_view s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(kCodePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kCodePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string toNarrow(std::wstring_view w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(kCodePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(kCodePage, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::string upperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

}  // namespace

std::string makeTempFile(const std::string& folder, const std::string& prefix, int* error) {
  std::wstring dir = toWide(nativePath(folder.empty() ? tempDir() : folder));
  std::wstring pre = toWide(prefix.substr(0, 3));
  wchar_t buf[MAX_PATH + 1];
  if (GetTempFileNameW(dir.c_str(), pre.c_str(), 0, buf) == 0) {
    if (error) *error = static_cast<int>(GetLastError());
    return "";
  }
  if (error) *error = kOk;
  return absolutePath(toNarrow(buf));
}

std::string shortPath(const std::string& path) {
  std::wstring w = toWide(absolutePath(path));
  DWORD n = GetShortPathNameW(w.c_str(), nullptr, 0);
  if (n == 0) return "";
  std::wstring buf(n, L'\0');
  DWORD got = GetShortPathNameW(w.c_str(), buf.data(), n);
  buf.resize(got);
  return toNarrow(buf);
}

std::string driveOf(const std::string& path) {
  std::string full = absolutePath(path);
  if (full.size() >= 2 && full[1] == ':') return full.substr(0, 2);
  if (full.size() >= 2 && full[0] == '\\' && full[1] == '\\') {
    size_t s1 = full.find('\\', 2);
    if (s1 == std::string::npos) return full;
    size_t s2 = full.find('\\', s1 + 1);
    return s2 == std::string::npos ? full : full.substr(0, s2);
  }
  return "";
}

std::string networkConnection(const std::string& device) {
  if (device.empty()) return "";
  std::string d = device;
  // A folder: the connection of its drive (a UNC path is its own share).
  if (d.size() > 2 && d[1] == ':') d = d.substr(0, 2);
  if (d.size() >= 2 && (d[0] == '\\' || d[0] == '/') && (d[1] == '\\' || d[1] == '/')) return networkSource(d);
  wchar_t remote[MAX_PATH * 2];
  DWORD len = static_cast<DWORD>(std::size(remote));
  if (WNetGetConnectionW(toWide(d).c_str(), remote, &len) != NO_ERROR) return "";
  return toNarrow(remote);
}

std::vector<NetworkConnection> networkConnections() {
  std::vector<NetworkConnection> out;
  std::vector<std::string> devices;
  for (char c = 'A'; c <= 'Z'; ++c) devices.push_back(std::string(1, c) + ":");
  for (int i = 1; i <= 4; ++i) devices.push_back("LPT" + std::to_string(i) + ":");
  for (auto& d : devices)
    if (std::string r = networkConnection(d); !r.empty()) out.push_back({d, r});
  return out;
}

std::string printerOnPort(const std::string& port) {
  std::string want = upperAscii(port);
  DWORD needed = 0, count = 0;
  DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  EnumPrintersW(flags, nullptr, 2, nullptr, 0, &needed, &count);
  if (needed == 0) return "";
  std::vector<BYTE> buf(needed);
  if (!EnumPrintersW(flags, nullptr, 2, buf.data(), needed, &needed, &count)) return "";
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
  for (DWORD i = 0; i < count; ++i) {
    if (!info[i].pPortName) continue;
    // The port list is comma-separated ("LPT1:,COM1:").
    std::string ports = upperAscii(toNarrow(info[i].pPortName));
    size_t p = 0;
    while (p <= ports.size()) {
      size_t q = ports.find(',', p);
      if (q == std::string::npos) q = ports.size();
      std::string one = ports.substr(p, q - p);
      while (!one.empty() && one.front() == ' ') one.erase(0, 1);
      if (one == want && info[i].pPrinterName) return toNarrow(info[i].pPrinterName);
      p = q + 1;
    }
  }
  return "";
}

std::optional<std::string> specialFolder(const std::string& name) {
  struct Entry {
    const char* name;
    int csidl;
  };
  static const Entry kFolders[] = {
      {"DESKTOP", CSIDL_DESKTOPDIRECTORY},
      {"MYDOCUMENTS", CSIDL_PERSONAL},
      {"PERSONAL", CSIDL_PERSONAL},
      {"TEMPLATES", CSIDL_TEMPLATES},
      {"STARTUP", CSIDL_STARTUP},
      {"STARTMENU", CSIDL_STARTMENU},
      {"PROGRAMS", CSIDL_PROGRAMS},
      {"FAVORITES", CSIDL_FAVORITES},
      {"RECENT", CSIDL_RECENT},
      {"SENDTO", CSIDL_SENDTO},
      {"FONTS", CSIDL_FONTS},
      {"APPDATA", CSIDL_APPDATA},
      {"NETHOOD", CSIDL_NETHOOD},
      {"PRINTHOOD", CSIDL_PRINTHOOD},
      {"ALLUSERSDESKTOP", CSIDL_COMMON_DESKTOPDIRECTORY},
      {"ALLUSERSSTARTMENU", CSIDL_COMMON_STARTMENU},
      {"ALLUSERSPROGRAMS", CSIDL_COMMON_PROGRAMS},
      {"ALLUSERSSTARTUP", CSIDL_COMMON_STARTUP},
  };
  std::string n = upperAscii(name);
  for (auto& e : kFolders) {
    if (n != e.name) continue;
    wchar_t buf[MAX_PATH];
    if (SHGetFolderPathW(nullptr, e.csidl, nullptr, SHGFP_TYPE_CURRENT, buf) != S_OK) return std::string();
    return toNarrow(buf);
  }
  return std::nullopt;
}

OsInfo osInfo() {
  OsInfo o;
  o.windows = true;
  // RtlGetVersion tells the real version (GetVersionEx answers what the
  // program's manifest claims).
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  bool got = false;
  if (HMODULE nt = GetModuleHandleW(L"ntdll.dll")) {
    auto fn = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(nt, "RtlGetVersion")));
    got = fn && fn(&v) == 0;
  }
  if (got) {
    o.nt = v.dwPlatformId == VER_PLATFORM_WIN32_NT;
    o.major = static_cast<int>(v.dwMajorVersion);
    o.minor = static_cast<int>(v.dwMinorVersion);
    o.build = static_cast<int>(v.dwBuildNumber);
  } else {
    o.nt = true;
  }
  // The family's name as people know it, then the version numbers.
  std::string family;
  int ver = o.major * 100 + o.minor;
  if (ver == 500) family = "2000";
  else if (ver == 501 || ver == 502) family = "XP";
  else if (ver == 600) family = "Vista";
  else if (ver == 601) family = "7";
  else if (ver == 602) family = "8";
  else if (ver == 603) family = "8.1";
  else if (ver >= 1000) family = o.build >= 22000 ? "11" : "10";
  o.name = "Windows " + (family.empty() ? std::string() : family + " ") + std::to_string(o.major) + "." +
           std::to_string(o.minor) + "." + std::to_string(o.build);
  return o;
}

int fileHandleLimit() { return _getmaxstdio(); }

std::string findProgram(const std::string& name) {
  if (name.empty()) return "";
  std::wstring w = toWide(nativePath(name));
  std::vector<std::wstring> exts = {L""};
  std::string pathext = getEnv("PATHEXT").value_or(".COM;.EXE;.BAT;.CMD");
  size_t p = 0;
  while (p <= pathext.size()) {
    size_t q = pathext.find(';', p);
    if (q == std::string::npos) q = pathext.size();
    if (q > p) exts.push_back(toWide(pathext.substr(p, q - p)));
    p = q + 1;
  }
  for (auto& e : exts) {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = SearchPathW(nullptr, w.c_str(), e.empty() ? nullptr : e.c_str(), static_cast<DWORD>(std::size(buf)),
                          buf, nullptr);
    if (n > 0 && n < std::size(buf)) {
      DWORD attr = GetFileAttributesW(buf);
      if (attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY)) return toNarrow(buf);
    }
  }
  return "";
}

int readFolder(const std::string& folder, std::vector<DirEntry>& out) {
  out.clear();
  std::string dir = nativePath(folder.empty() ? std::string(".") : folder);
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(toWide(dir + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND) return kOk;  // an empty folder (a drive root)
    return e == ERROR_PATH_NOT_FOUND || e == ERROR_DIRECTORY ? kPathNotFound : static_cast<int>(e);
  }
  do {
    std::string name = toNarrow(fd.cFileName);
    if (name == "." || name == "..") continue;
    DirEntry entry;
    entry.name = name;
    entry.info = statPath(dir + name);
    out.push_back(std::move(entry));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return kOk;
}

std::optional<std::string> shellBrowseForFolder(const std::string& title, const std::string& root,
                                                bool newFolderButton) {
  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::wstring wtitle = toWide(title);
  BROWSEINFOW bi{};
  bi.hwndOwner = GetForegroundWindow();
  bi.lpszTitle = wtitle.c_str();
  bi.ulFlags = newFolderButton ? 0 : 512;  // BIF_NONEWFOLDERBUTTON
  PIDLIST_ABSOLUTE rootList = nullptr;
  if (!root.empty() && SHParseDisplayName(toWide(root).c_str(), nullptr, &rootList, 0, nullptr) == S_OK)
    bi.pidlRoot = rootList;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  std::string result;
  if (chosen) {
    wchar_t buf[MAX_PATH * 2];
    if (SHGetPathFromIDListW(chosen, buf)) result = toNarrow(buf);
    CoTaskMemFree(chosen);
  }
  if (rootList) CoTaskMemFree(rootList);
  if (SUCCEEDED(init)) CoUninitialize();
  return result;
}

std::optional<std::string> shellSaveAs(const std::vector<FileFilter>& filters, const std::string& initialName,
                                       const std::string& title, const std::string& defaultExtension) {
  // "Description\0pattern\0...\0\0"
  std::wstring filter;
  for (auto& f : filters) {
    filter += toWide(f.description);
    filter += L'\0';
    filter += toWide(f.pattern);
    filter += L'\0';
  }
  filter += L'\0';
  std::wstring file = toWide(initialName);
  file.resize(MAX_PATH * 4, L'\0');
  std::wstring wtitle = toWide(title), dir = toWide(currentDir()), ext = toWide(defaultExtension);
  OPENFILENAMEW of{};
  of.lStructSize = sizeof of;
  of.hwndOwner = GetActiveWindow();
  of.lpstrFilter = filters.empty() ? nullptr : filter.c_str();
  of.lpstrFile = file.data();
  of.nMaxFile = static_cast<DWORD>(file.size());
  of.lpstrInitialDir = dir.c_str();
  of.lpstrTitle = wtitle.c_str();
  of.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  // Prompt before overwriting, hide the read-only box, keep the current
  // folder, the path must exist, share-aware, no test file, no shortcut
  // following: 1132558.
  constexpr DWORD kFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                           OFN_SHAREAWARE | OFN_NOTESTFILECREATE | OFN_NODEREFERENCELINKS;
  static_assert(kFlags == 1132558);
  of.Flags = kFlags;
  if (!GetSaveFileNameW(&of)) return std::string();
  return toNarrow(of.lpstrFile);
}

int shellExecute(const std::string& file, const std::string& verb, const std::string& parameters,
                 int showMode) {
  // Shell32 is loaded for the call and released after it.
  HMODULE shell = LoadLibraryW(L"shell32.dll");
  if (!shell) return 0;
  using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  auto fn = reinterpret_cast<ShellExecuteFn>(reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteW")));
  int code = 0;
  if (fn) {
    std::wstring v = toWide(verb), f = toWide(file), p = toWide(parameters);
    HINSTANCE r = fn(GetForegroundWindow(), v.c_str(), f.c_str(), p.empty() ? nullptr : p.c_str(), L"", showMode);
    code = static_cast<int>(reinterpret_cast<INT_PTR>(r));
  }
  FreeLibrary(shell);
  return code;
}

}  // namespace kor::plat
