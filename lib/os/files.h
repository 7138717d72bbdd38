// File-system services: special folders, drive names, folder renaming,
// temporary files, short names, extensions, existence and file dates.
//
// Windows answers these through its shell and scripting objects; here each
// comes from the platform layer (platform/system.h), with the same results:
// on Linux the special folders are the XDG user folders, a drive is the
// mount point of the file system that holds a path, and a path is its own
// short name.
#pragma once

#include <string>
#include <string_view>

#include "values/value.h"

namespace kor::os {

// GETSPECIALFOLDER(name = "Desktop"), any case: PROGRAMFILES and
// LOCALAPPDATA the environment variables of those names (LOCALAPPDATA on
// POSIX, when unset: ~/.local/share), DOWNLOADS the documents folder's
// subfolder "Downloads", VIRTUALSTORE the LOCALAPPDATA folder's subfolder
// "VirtualStore", any other the shell's folder of that name ("" when the
// system has none).
std::string GETSPECIALFOLDER(std::string_view name = "Desktop");
// FGETDRIVENAME(path = the current folder): "C:" or "\\server\share" on
// Windows, the mount point on POSIX.
std::string FGETDRIVENAME(std::string_view path = {});
// DIRRENAME(old, new): -1 when the old folder does not exist or the new one
// does; otherwise the folder is moved and 0 returned. A move the system
// refuses is raised to the error handler (as the shell object's failure is)
// and gives -1 when the handler lets the program go on.
int DIRRENAME(std::string_view from, std::string_view to);
// WINTEMPFILE(folder = the temporary folder, prefix): a new empty file made
// by the system's temporary-name service; its full name ("" when none could
// be made).
std::string WINTEMPFILE(std::string_view folder = {}, std::string_view prefix = {});
// NOMECURTO(path): the short (8.3) form; on POSIX the full path. "" when the
// path does not exist.
std::string NOMECURTO(std::string_view path);
// EXTENSAOARQ(name): the file name's extension from its first "." on,
// including the dot; "" when it has none.
std::string EXTENSAOARQ(std::string_view name);
// EXISTFILE(name): whether the file exists, remembered per name for the run:
// every later call with the same name gives the first answer.
bool EXISTFILE(std::string_view name);
// Forgets the remembered answers (tests).
void forgetExistFile();
// DATEFILE(name): the file's last-modified date with its time (whole
// seconds); an empty date with time when the file does not exist.
Value DATEFILE(std::string_view name);

void registerFileRoutines();

}  // namespace kor::os
