// The folder picker and the Save As dialogue.
//
// Where the system has them (Windows) these are the shell's own dialogues
// (platform/system.h). Elsewhere, and on the console, they are drawn with
// the console's widgets and give the same results: the chosen path, or ""
// when the user cancels.
//
// The console folder browser: a window with the title, the folder being
// looked at, and a list of its folders after the entries
// "[Selecionar esta pasta]", ".." (the folder above; not above the root
// folder given) and, when new folders are allowed, "[Nova pasta]".
//   Enter, a double click     open the folder (".." goes up); on
//                             "[Selecionar esta pasta]" choose the folder shown
//   F10, Ctrl+Enter           choose the highlighted folder
//   Backspace                 the folder above
//   a letter                  the next folder beginning with it
//   Esc, the close request    cancel ("")
// A folder that cannot be read is reported in an alert ("Não foi possível
// abrir a pasta", with the system's error code) and not entered. Without a
// root the browser opens in the current folder and can go up to the root
// of its file system (on Windows: of its drive). "[Nova pasta]" asks for a
// name (one name: no separators, none of * ? " < > | :), creates the folder
// and opens it.
//
// The console Save As form: the folder and the file name as input fields,
// the file type below them.
//   F2 picks the folder with the folder browser, F3 chooses the file type;
//   Enter on the name (or Ctrl+W) saves, Esc cancels ("").
// The folder must exist; a name without extension gets the type's
// extension; an existing file is replaced only after "Sim".
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"
#include "values/value.h"

namespace kor::os {

// FBROWSEFORFOLDER(title = "Indique uma pasta", root, newFolder): new
// folders may be made unless newFolder is given as false.
std::string FBROWSEFORFOLDER(std::string_view title = {}, std::string_view root = {},
                             std::optional<bool> newFolder = std::nullopt);
// SAVEAS(filters, initial name).
std::string SAVEAS(const std::vector<plat::FileFilter>& filters = {}, std::string_view initialName = {});

// The console versions. The browser cannot leave `root` ("" : the whole
// file system) and opens in `start` when that lies inside it (else in the
// root, else in the current folder).
std::string browseFolderOnConsole(const std::string& title, const std::string& root, bool newFolder,
                                  const std::string& start = {});
std::string saveAsOnConsole(const std::vector<plat::FileFilter>& filters, const std::string& initialName);

// Whether the shell's dialogues are used where the system has them (true
// unless a program or a test asks for the console's).
void useSystemDialogs(bool on);

// How the browser reads a folder: its folders' names, or the OsCode that
// kept it from being read. Tests replace it; empty: the platform's.
using FolderReader = std::function<int(const std::string& folder, std::vector<std::string>& folders)>;
FolderReader setFolderReader(FolderReader reader);

void registerPickerRoutines();

}  // namespace kor::os
