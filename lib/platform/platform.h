// The only place that talks to the operating system.
//
// Everything above this layer works with these calls; posix/ and win32/
// implement them. Errors are reported as the Windows/DOS error codes the
// rest of the system shows to the user (2 file not found, 3 path not found,
// 5 access denied, 32 sharing violation, 33 lock violation, 80 file exists,
// 112 disk full ...), whatever the OS: see errorFromErrno() on POSIX.
//
// Every file, lock and clock call goes through the table returned by ops(),
// so tests can replace any entry to make it fail with a chosen code (see
// FaultScope in platform/fault.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kor::plat {

// OS error codes, Windows numbering.
enum OsCode : int {
  kOk = 0,
  kNotFound = 2,
  kPathNotFound = 3,
  kTooManyOpen = 4,
  kAccessDenied = 5,
  kInvalidHandle = 6,
  kNoMemory = 8,
  kWriteProtect = 19,
  kNotReady = 21,
  kWriteFault = 29,
  kReadFault = 30,
  kSharingViolation = 32,
  kLockViolation = 33,
  kFileExists = 80,
  kCannotMake = 82,
  kInvalidParameter = 87,
  kDiskFull = 112,
  kDirNotEmpty = 145,
  kAlreadyExists = 183,
};

using Handle = int64_t;
constexpr Handle kNoHandle = -1;

// How a file is opened.
enum class Access { Read, ReadWrite };
// What the opener lets others do meanwhile (Windows share modes; on POSIX
// built on locks in a reserved range, see posix/files.cpp).
enum class Share { DenyNone, DenyWrite, Exclusive };
enum class Disposition {
  OpenExisting,  // fails with kNotFound when missing
  CreateAlways,  // creates or truncates
  CreateNew,     // fails with kFileExists when present
  OpenAlways,    // opens or creates
};

struct OpenResult {
  Handle handle = kNoHandle;
  int error = 0;  // OsCode when handle == kNoHandle
  bool ok() const { return handle != kNoHandle; }
};

struct IoResult {
  int64_t bytes = 0;
  int error = 0;
  bool ok() const { return error == 0; }
};

enum class LockResult { Locked, Busy, Error };

struct FileInfo {
  bool exists = false;
  bool isDir = false;
  int64_t size = 0;
  int64_t mtimeMillis = 0;  // milliseconds since 1970-01-01 UTC
  // Windows attribute bits: 1 read-only, 2 hidden, 4 system, 16 directory,
  // 32 archive. On POSIX: read-only when the owner cannot write; hidden for
  // names beginning with ".".
  int attributes = 0;
};

struct DirEntry {
  std::string name;
  FileInfo info;
};

// The injectable table. Paths are passed as given: implementations map "\"
// to "/" on POSIX and resolve names case-insensitively when the exact name
// does not exist (tables copied from Windows keep upper-case names).
// Paths beginning with "MEM:" name files of the memory file system
// (memfs.cpp): they live in this process's memory until removed, with the
// same share modes and locks as disk files.
struct Ops {
  std::function<OpenResult(const std::string& path, Access, Share, Disposition)> open;
  std::function<IoResult(Handle, int64_t offset, void* buf, int64_t n)> read;
  std::function<IoResult(Handle, int64_t offset, const void* buf, int64_t n)> write;
  std::function<int(Handle)> sync;
  std::function<int(Handle, int64_t size)> truncate;
  std::function<int64_t(Handle)> size;  // -1 on error
  std::function<int(Handle)> close;
  // Byte-range locks at the given offset, never waiting. `exclusive` false
  // gives a shared (read) lock. Locks belong to the open handle: another
  // handle on the same file conflicts even in the same process, and closing
  // one handle leaves the others' locks alone.
  std::function<LockResult(Handle, uint64_t offset, uint64_t len, bool exclusive)> lock;
  std::function<int(Handle, uint64_t offset, uint64_t len)> unlock;

  std::function<FileInfo(const std::string& path)> stat;
  std::function<int(const std::string& path)> remove;
  std::function<int(const std::string& from, const std::string& to)> rename;
  std::function<int(const std::string& path)> makeDir;
  std::function<int(const std::string& path)> removeDir;
  std::function<int(const std::string& path, int64_t mtimeMillis)> setMtime;

  // Clocks and waiting. Tests install a virtual clock (platform/clock.h).
  std::function<int64_t()> nowMillis;        // wall clock, ms since 1970 UTC
  std::function<int64_t()> monotonicMillis;  // for time-outs
  std::function<void(int64_t millis)> sleep;
};

Ops& ops();
// The table as built by the platform (for restoring after a test).
const Ops& defaultOps();

// --- convenience wrappers over ops() ---------------------------------------
OpenResult openFile(const std::string& path, Access a, Share s, Disposition d);
IoResult readAt(Handle h, int64_t offset, void* buf, int64_t n);
IoResult writeAt(Handle h, int64_t offset, const void* buf, int64_t n);
int syncFile(Handle h);
int truncateFile(Handle h, int64_t size);
int64_t fileSize(Handle h);
int closeFile(Handle h);
LockResult lockRange(Handle h, uint64_t offset, uint64_t len, bool exclusive = true);
int unlockRange(Handle h, uint64_t offset, uint64_t len);
// True when one unlock of a range releases every lock the handle holds
// inside it, whatever ranges they were taken with (POSIX). False where an
// unlock must name a range exactly as it was locked (Windows): callers then
// release each lock by itself.
bool unlockSpansLocks();

FileInfo statPath(const std::string& path);
bool fileExists(const std::string& path);  // a file, not a folder
bool dirExists(const std::string& path);
int removeFile(const std::string& path);
int renameFile(const std::string& from, const std::string& to);
int makeDir(const std::string& path);
int makeDirs(const std::string& path);  // every missing level
int removeDir(const std::string& path);
int setFileTime(const std::string& path, int64_t mtimeMillis);
// Copies a file whole; the copy keeps the original's modification time
// when keepTime is set. Returns an OsCode.
int copyFile(const std::string& from, const std::string& to, bool keepTime = true);
// Reads/writes a whole file (write replaces atomically: temporary + rename).
std::optional<std::string> readWholeFile(const std::string& path, int* error = nullptr);
int writeWholeFile(const std::string& path, std::string_view data);

// Entries of a folder whose names match a pattern with * and ? (without
// regard to case); "." and ".." left out.
std::vector<DirEntry> listDir(const std::string& folder, std::string_view pattern = "*");
bool wildMatch(std::string_view pattern, std::string_view name, bool ignoreCase = true);
// True for "MEM:..." names (any case): files of the memory file system.
// listDir("MEM:", pattern) lists them.
bool isMemoryPath(std::string_view path);

// --- paths ------------------------------------------------------------------
char separator();  // '/' on POSIX, '\\' on Windows
// The path with the other platform's separator read as this one's.
std::string nativePath(std::string_view path);
// The existing name of a path whose exact spelling does not exist but a
// spelling differing only in case does (POSIX); the path otherwise.
std::string resolveCase(const std::string& path);
bool isAbsolute(std::string_view path);
std::string currentDir();
int changeDir(const std::string& path);
// Absolute, normalised ("." and ".." removed) path of `path` against `base`
// (the current folder when empty). Does not touch the disk.
std::string absolutePath(std::string_view path, std::string_view base = {});
std::string tempDir();
// Space of the file system holding a folder, in bytes.
struct DiskSpace {
  uint64_t total = 0, free = 0, available = 0;  // available: free to this user
};
std::optional<DiskSpace> diskSpace(const std::string& folder);
std::string homeDir();
std::string executablePath();
// The network source of the folder holding `path` when it lies on a network
// file system ("\\server\share" on Windows for a mapped drive, "//server/share"
// or "server:/export" on POSIX for SMB and NFS mounts); "" for local disks.
std::string networkSource(const std::string& path);

// --- environment, identity, processes ---------------------------------------
std::optional<std::string> getEnv(const std::string& name);
void setEnv(const std::string& name, const std::string& value);
void unsetEnv(const std::string& name);
std::string hostName();
// The operating system's name and version, one line ("Linux 6.1.0-13-amd64
// x86_64", "Windows 10.0 build 19045").
std::string osVersionText();
// True inside a remote session: a terminal-services client connection on
// Windows, an SSH login on POSIX.
bool remoteSession();
std::string userName();  // the login account
int64_t processId();
// Resident memory of this process in bytes (0 when the OS does not tell);
// benchmarks watch it.
int64_t residentBytes();
// The most resident memory this process has had so far, in bytes (0 when
// the OS does not tell).
int64_t peakResidentBytes();
// Starts the peak over from the present resident memory where the OS
// allows it (Linux); false where it does not.
bool resetPeakResident();
bool processAlive(int64_t pid);
// Runs a command line through the system's shell and waits; returns its
// exit status, or -1 when it could not start.
int runShell(const std::string& commandLine);
// Starts a program with arguments and extra environment variables, without
// waiting. Returns its process id, or -1 when it could not start.
int64_t startProcess(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::pair<std::string, std::string>>& env = {});
// Waits for a process started by startProcess; its exit code, or nullopt
// on a time-out (timeoutMillis < 0: no limit).
std::optional<int> waitProcess(int64_t pid, int64_t timeoutMillis = -1);
void killProcess(int64_t pid);

// --- time -------------------------------------------------------------------
int64_t nowMillis();
int64_t monotonicMillis();
void sleepMillis(int64_t ms);
// Local calendar time of a wall-clock instant.
struct LocalTime {
  int year, month, day, hour, minute, second, millis;
  int utcOffsetMinutes;
};
LocalTime localTime(int64_t millis);
int64_t fromLocalTime(const LocalTime& t);  // ignores utcOffsetMinutes

// --- code pages ---------------------------------------------------------------
// Code pages by their Windows numbers.
enum CodePage : int { kCp850 = 850, kCp1252 = 1252, kCpUtf8 = 65001 };
// Converts a text between two code pages with the system's own mapping
// (iconv on POSIX, MultiByteToWideChar/WideCharToMultiByte on Windows).
// A character the target lacks becomes the system's single-character best
// fit when it has one (a curly quote becomes a straight one), else
// `replacement`; every byte that is not valid in the source becomes
// `replacement`. Returns false, leaving `out` empty, when the system has no
// converter for the pair.
bool convertCodePage(std::string_view in, int fromCp, int toCp, std::string& out,
                     char replacement = '?');

// --- terminal ------------------------------------------------------------------
// What the console's terminal backend needs from the OS. Descriptors are the
// standard ones (0 input, 1 output) or a terminal the caller opened.

bool isTerminal(int fd);
// Waits up to waitMs (-1 without limit) for input from a terminal and reads
// what is there: the number of bytes read, 0 when none came in time (or a
// signal interrupted the wait), -1 when the terminal is gone (hung up, end
// of input, read error).
int readTerminal(int fd, char* buf, int max, int64_t waitMs);
// The terminal's size in rows and columns; false when it cannot be told.
bool terminalSize(int fd, int& rows, int& cols);
// Catches the signals of a terminal session: hang-up and termination (the
// close requests of the console) and the change of the window's size. Each
// only sets a flag that the backend takes below. Idempotent.
void watchTerminalSignals();
// The number of close requests (hang-ups, termination requests) since the
// last call.
int takeCloseRequests();
// True once after each change of the terminal's size.
bool takeResize();

}  // namespace kor::plat
