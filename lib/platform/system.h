// The machine and its desktop: temporary and short file names, network
// connections of local devices, printers on ports, the user's special
// folders, the operating system's name, and handing a document to the
// desktop's opener.
//
// Part of the platform layer (posix/system.cpp, win32/system.cpp); texts are
// code page 850 like everywhere above the platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kor::plat {

// --- names --------------------------------------------------------------------

// Creates a new, unique, empty file in `folder` (empty: the temporary folder)
// named from the first three characters of `prefix`, a hexadecimal number and
// ".TMP", as the system's temporary-name service does, and returns its full
// name. "" when no file could be created (*error holds the OsCode).
std::string makeTempFile(const std::string& folder, const std::string& prefix, int* error = nullptr);

// The short (8.3) form of an existing path; POSIX file systems have no short
// names, so there it is the full path itself. "" when the path does not exist.
std::string shortPath(const std::string& path);

// The drive part of a path: on Windows "C:" or "\\server\share" as written
// in the full path; on POSIX the mount point of the file system holding it.
std::string driveOf(const std::string& path);

// --- network connections ---------------------------------------------------------

// One local device redirected to a network resource: a drive ("X:") or a
// printer port ("LPT1:") on Windows, the mount point of an SMB or NFS file
// system on POSIX; the remote side as the system names it ("\\server\share",
// "//server/share", "server:/export").
struct NetworkConnection {
  std::string local;
  std::string remote;
};
// The network resource a device is redirected to; "" when it is not. On
// POSIX the device is a folder, and the answer is the network file system
// that holds it.
std::string networkConnection(const std::string& device);
// Every redirected device: on Windows the drives A: to Z: and then the ports
// LPT1: to LPT4:, on POSIX the network mounts in mount order.
std::vector<NetworkConnection> networkConnections();
// The name of the printer attached to a port ("LPT1:"); "" when none is or the
// system has no printers on ports (POSIX print queues are not tied to ports).
std::string printerOnPort(const std::string& port);

// --- folders and the system -------------------------------------------------------

// A folder of the user's desktop by its shell name, any case: "Desktop",
// "MyDocuments", "Templates", "Startup", "StartMenu", "Programs", "Favorites",
// "Recent", "SendTo", "Fonts", "AppData", "AllUsersDesktop",
// "AllUsersStartMenu", "AllUsersPrograms", "AllUsersStartup" (POSIX: the XDG
// user folders where there are such, see posix/system.cpp). nullopt for a
// name the system does not know.
std::optional<std::string> specialFolder(const std::string& name);

struct OsInfo {
  bool windows = false;
  bool nt = false;    // the Windows NT family (every Windows this program runs on)
  int major = 0, minor = 0, build = 0;
  std::string name;   // "Windows 6.1.7601", "Linux 6.1.0-18-amd64"
};
OsInfo osInfo();

// How many files one process may hold open.
int fileHandleLimit();

// The full path of a program found on the search path (PATH, and on Windows
// with the extensions of PATHEXT); "" when it is not found.
std::string findProgram(const std::string& name);

// The entries of a folder, like listDir(), but telling why a folder could
// not be read: kOk, or the OsCode (3 path not found, 5 access denied ...).
int readFolder(const std::string& folder, std::vector<DirEntry>& out);

// --- the desktop ---------------------------------------------------------------------

// The shell's folder picker over the foreground window (Windows): the chosen
// folder, "" when the user cancels; nullopt where the system has no such
// dialogue (the caller then draws its own). `root` "" means the Desktop.
std::optional<std::string> shellBrowseForFolder(const std::string& title, const std::string& root,
                                                bool newFolderButton);
// The shell's Save As dialogue over the active window (Windows): the chosen
// full file name, "" when cancelled; nullopt where the system has none.
// `filters` are pairs of description and pattern ("*.csv"); the dialogue
// starts in the current folder and asks before replacing a file.
struct FileFilter {
  std::string description, pattern;
};
std::optional<std::string> shellSaveAs(const std::vector<FileFilter>& filters, const std::string& initialName,
                                       const std::string& title, const std::string& defaultExtension);

// Hands a document, folder or program to the desktop, as the Windows shell's
// execute call does: the verb "open" or "print", command-line parameters for a
// program, and the window mode (1 normal, 0 hidden). Does not wait for what it
// starts. Returns that call's code: above 32 on success; 2 when the file does
// not exist, 3 when its folder does not, 31 when nothing on the system opens
// (or prints) that kind of file, 8 when no process could be started.
// POSIX: a program file with execute permission is started with the
// parameters; anything else goes to the desktop's opener (xdg-open; "print"
// to lp). The opener's own output is discarded so that it cannot disturb the
// console.
int shellExecute(const std::string& file, const std::string& verb, const std::string& parameters,
                 int showMode);

}  // namespace kor::plat
