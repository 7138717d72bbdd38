// Names of files and folders, by the library's path rules.
//
// The rules were made for Windows paths ("\" between folders, "C:" drives,
// "\\server\share" network paths). On POSIX "/" takes the place of "\" in
// every rule, a "\" inside a path the program is given is read as a
// separator too, and the drive-letter rules do not apply. A folder text
// carries no trailing separator except the root ("C:\" on Windows, "/" on
// POSIX); a joined path has exactly one separator at the seam.
//
// The rules are written once over a PathStyle, so both styles are testable
// on any machine; the routines use the style of the platform they run on.
#pragma once

#include <string>
#include <string_view>

namespace kor::os {

struct PathStyle {
  char sep;     // the separator written into results
  bool drives;  // drive letters and the "X:" rules apply
  bool isSep(char c) const { return c == '\\' || (!drives && c == '/'); }
};
inline constexpr PathStyle kWindowsPaths{'\\', true};
inline constexpr PathStyle kPosixPaths{'/', false};
const PathStyle& nativeStyle();

// The pure rules (no disk access).
std::string dirFile(std::string_view folder, std::string_view file, const PathStyle& st);
std::string fileNameOf(std::string_view path, bool keepExtension, const PathStyle& st);
// The folder part of an already full path (NOMEDIR without the expansion).
std::string folderOf(std::string_view fullPath, bool quote, const PathStyle& st);

// DIRFILE(folder, file): ("C:\WINDOWS", "KORVO.INI") gives C:\WINDOWS\KORVO.INI.
std::string DIRFILE(std::string_view folder, std::string_view file);
// NOMEARQ(path, keepExtension = true).
std::string NOMEARQ(std::string_view path, bool keepExtension = true);
// NOMEDIR(path, quoteWhenBlank = true).
std::string NOMEDIR(std::string_view path, bool quote = true);
// _TRUENAME(name): the full path against the current folder.
std::string _TRUENAME(std::string_view name);
// DIRETORIO(): the current folder. DIRETORIO(folder): whether it exists.
std::string DIRETORIO();
bool DIRETORIO(std::string_view folder);
// CHANGEDIR(path): makes the folder current (entered part by part from the
// root, as the rules say) and returns the folder that was current.
std::string CHANGEDIR(std::string_view path);
// NOMEARQUIVOVALIDO(text): the text without "./\*><|:,& and blanks.
std::string NOMEARQUIVOVALIDO(std::string_view text);
// PASTANOMELONGO(path): some part between separators is longer than 8.
bool PASTANOMELONGO(std::string_view path);
// FILEREADONLY(file): the file exists and is read-only.
bool FILEREADONLY(std::string_view file);
// _DISKSPACE(drive or folder, kind): 0 or 1 free bytes available to the
// user, 2 used, 3 total; -1 when the query fails.
double _DISKSPACE(std::string_view where, int kind = 1);
// OSIS64(): "64" occurs in PROCESSOR_ARCHITECTURE or PROCESSOR_ARCHITEW6432.
bool OSIS64();
// _CMD(kind = 1): the command interpreter's path followed by one blank.
std::string _CMD(int kind = 1);

void registerRoutines();

}  // namespace kor::os
