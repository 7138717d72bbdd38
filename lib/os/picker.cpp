#include "os/picker.h"

#include <algorithm>

#include "console/alert.h"
#include "console/boxes.h"
#include "console/form.h"
#include "console/keys.h"
#include "console/listbox.h"
#include "console/screen.h"
#include "os/files.h"
#include "os/paths.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "values/textform.h"

namespace kor::os {

namespace {

bool& systemDialogs() {
  static bool on = true;
  return on;
}

FolderReader& reader() {
  static FolderReader r;
  return r;
}

// The folders of a folder, sorted without regard to case; hidden ones (a
// leading "." on POSIX, the hidden attribute on Windows) left out, as the
// shell's picker leaves them out.
int readFolders(const std::string& folder, std::vector<std::string>& out) {
  out.clear();
  if (reader()) return reader()(folder, out);
  std::vector<plat::DirEntry> entries;
  int rc = plat::readFolder(folder, entries);
  if (rc != plat::kOk) return rc;
  for (auto& e : entries)
    if (e.info.isDir && !(e.info.attributes & 2)) out.push_back(e.name);
  std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) { return upper(a) < upper(b); });
  return plat::kOk;
}

// The folder above a full folder path; "" at the root.
std::string parentOf(const std::string& folder) {
  const PathStyle& st = nativeStyle();
  std::string f = folder;
  bool driveRoot = st.drives && f.size() == 3 && f[1] == ':';
  if (f.empty() || (f.size() == 1 && st.isSep(f[0])) || driveRoot) return "";
  while (f.size() > 1 && st.isSep(f.back())) f.pop_back();
  size_t sep = std::string::npos;
  for (size_t i = f.size(); i > 0; --i)
    if (st.isSep(f[i - 1])) {
      sep = i - 1;
      break;
    }
  if (sep == std::string::npos) return "";
  // "\\server\share" has nothing above it.
  if (st.drives && f.rfind("\\\\", 0) == 0 && f.find('\\', 2) >= sep) return "";
  std::string up = f.substr(0, sep);
  if (up.empty()) return std::string(1, st.sep);         // POSIX root
  if (st.drives && up.size() == 2 && up[1] == ':') up += st.sep;  // "C:\"
  return up;
}

bool sameFolder(const std::string& a, const std::string& b) {
  return nativeStyle().drives ? upper(a) == upper(b) : a == b;
}

// Whether `folder` is `root` or lies below it.
bool insideFolder(const std::string& folder, const std::string& root) {
  for (std::string f = folder; !f.empty(); f = parentOf(f))
    if (sameFolder(f, root)) return true;
  return false;
}

// A folder name the user typed: one name, without separators or the
// characters no file system here takes in a name.
bool validFolderName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

std::string fitLeft(const std::string& text, size_t width) {
  if (text.size() <= width) return text + std::string(width - text.size(), ' ');
  return "..." + text.substr(text.size() - (width - 3));
}

// Alert texts.
void cannotOpen(const std::string& folder, int code) {
  con::alert(std::string("Não foi possível abrir a pasta;"_cp) + folder + ";(Erro do DOS " + std::to_string(code) + ")");
}

// Asks for one line of text in a small framed form; nullopt when cancelled.
std::optional<std::string> askLine(const std::string& title, const std::string& label, const std::string& initial,
                                   int width) {
  con::ScreenStateGuard state;
  std::string screen = con::saveScreen();
  int top = 10, left = (80 - (width + 6)) / 2, right = left + width + 5;
  con::DESJAN(top, left, top + 4, right, false, title);
  con::writeAt(top + 1, left + 2, label, 0x70);
  std::string text = initial;
  text.resize(std::max<size_t>(254, text.size()), ' ');
  Value field = con::makeField(
      top + 2, left + 2,
      makeBlock([&text](Args& a) {
        if (a.size() > 0 && !a[0].isNil()) text = a[0].string();
        return Value(text);
      }),
      "CLINHA", "@S" + std::to_string(width), "W+/B,W+/B");
  con::readForm(Value::array({field}));
  int key = con::lastKey();
  con::restoreScreen(screen);
  if (key == con::key::Esc || key == con::key::Close) return std::nullopt;
  return std::string(alltrim(text));
}

}  // namespace

void useSystemDialogs(bool on) { systemDialogs() = on; }

FolderReader setFolderReader(FolderReader r) {
  FolderReader old = std::move(reader());
  reader() = std::move(r);
  return old;
}

std::string browseFolderOnConsole(const std::string& title, const std::string& rootArg, bool newFolder,
                                  const std::string& startArg) {
  KOR_ROUTINE("FBROWSEFORFOLDER");
  con::ScreenStateGuard state;
  std::string screen = con::saveScreen();
  const int top = 3, left = 9, bottom = 21, right = 70;
  const int listTop = top + 3, listBottom = bottom - 3;
  const size_t inner = static_cast<size_t>(right - left - 1);
  std::string root = rootArg.empty() ? std::string() : _TRUENAME(rootArg);
  // Where the browser opens: the start folder when it lies inside the root,
  // else the root, else the current folder.
  std::string folder = root.empty() ? DIRETORIO() : root;
  if (!startArg.empty()) {
    std::string start = _TRUENAME(startArg);
    if (root.empty() || insideFolder(start, root)) folder = start;
  }
  std::vector<std::string> folders;
  // Start in a folder that can be read: the start folder or one above it.
  while (readFolders(folder, folders) != plat::kOk) {
    std::string up = parentOf(folder);
    if (up.empty() || (!root.empty() && sameFolder(folder, root))) break;
    folder = up;
  }
  const std::string kChoose = "[Selecionar esta pasta]";
  const std::string kUp = "..";
  const std::string kNew = "[Nova pasta]";
  std::string result;
  int initial = 1;
  std::string highlight;  // a folder to highlight when the list is built
  for (;;) {
    bool atTop = parentOf(folder).empty() || (!root.empty() && sameFolder(folder, root));
    std::vector<std::string> items = {kChoose};
    if (!atTop) items.push_back(kUp);
    if (newFolder) items.push_back(kNew);
    size_t firstFolder = items.size();
    for (auto& f : folders) {
      items.push_back(f);
      if (!highlight.empty() && sameFolder(f, highlight)) initial = static_cast<int>(items.size());
    }
    highlight.clear();
    {
      con::DispGuard buffered;
      con::DESJAN(top, left, bottom, right, false, title);
      con::writeAt(top + 1, left + 1, " " + fitLeft(folder, inner - 2) + " ", 0x70);
      con::writeAt(top + 2, left + 1, std::string(inner, static_cast<char>("─"_cp[0])), 0x70);
      con::writeAt(bottom - 2, left + 1, std::string(inner, static_cast<char>("─"_cp[0])), 0x70);
      con::writeAt(bottom - 1, left + 1, fitLeft(" Enter=Abrir  F10=Escolher  Backspace=Acima  Esc=Cancelar", inner),
                   0x70);
    }
    con::ListSpec spec;
    spec.top = listTop;
    spec.left = left + 2;
    spec.bottom = listBottom;
    spec.right = right - 2;
    spec.items = items;
    spec.initial = std::min<int>(initial, static_cast<int>(items.size()));
    spec.handler = [](int mode, int, int) {
      if (mode != con::kListException) return static_cast<int>(con::kListContinue);
      int k = con::lastKey();
      switch (k) {
        case con::key::Enter:
        case con::key::CtrlEnter:
        case con::key::LeftDouble:
        case con::key::Backspace:
        case con::key::fn(10):
          return static_cast<int>(con::kListSelect);
        case con::key::Esc:
        case con::key::Close:
          return static_cast<int>(con::kListAbort);
        default:
          return static_cast<int>(k >= 32 && k < 256 ? con::kListGoto : con::kListContinue);
      }
    };
    std::string oldColour = con::setColor("N/W,W+/B,,,N/W");
    int n = con::listChoose(spec);
    con::setColor(oldColour);
    int key = con::lastKey();
    if (n == 0) break;  // Esc, the close request: cancelled
    const std::string& item = items[static_cast<size_t>(n) - 1];
    bool isFolder = static_cast<size_t>(n) > firstFolder;
    std::string target;
    if (key == con::key::Backspace) {
      target = atTop ? std::string() : parentOf(folder);
    } else if (key == con::key::fn(10) || key == con::key::CtrlEnter) {
      // The highlighted folder; on the other entries the folder shown.
      result = isFolder ? dirFile(folder, item, nativeStyle()) : folder;
      break;
    } else if (item == kChoose) {
      result = folder;
      break;
    } else if (item == kUp) {
      target = parentOf(folder);
    } else if (item == kNew) {
      std::optional<std::string> name = askLine("Nova pasta", "Nome da pasta:", "", 40);
      if (name && !name->empty() && !validFolderName(*name)) {
        con::alert(std::string("Nome de pasta inválido:;"_cp) + *name);
      } else if (name && !name->empty()) {
        std::string made = dirFile(folder, *name, nativeStyle());
        int rc = plat::makeDir(made);
        if (rc != plat::kOk)
          con::alert(std::string("Não foi possível criar a pasta;"_cp) + made + ";(Erro do DOS " + std::to_string(rc) +
                     ")");
        else
          target = made;
      }
    } else if (isFolder) {
      target = dirFile(folder, item, nativeStyle());
    }
    if (target.empty()) {
      initial = n;
      continue;
    }
    std::vector<std::string> next;
    int rc = readFolders(target, next);
    if (rc != plat::kOk) {
      cannotOpen(target, rc);
      initial = n;
      continue;
    }
    // Going up leaves the folder we came from highlighted.
    if (item == kUp || key == con::key::Backspace) highlight = NOMEARQ(folder);
    folder = target;
    folders = std::move(next);
    initial = 1;
  }
  con::restoreScreen(screen);
  return result;
}

std::string FBROWSEFORFOLDER(std::string_view titleArg, std::string_view root, std::optional<bool> newFolder) {
  KOR_ROUTINE("FBROWSEFORFOLDER");
  std::string title = titleArg.empty() ? std::string("Indique uma pasta") : std::string(titleArg);
  bool allowNew = newFolder.value_or(true);
  if (systemDialogs())
    if (auto chosen = plat::shellBrowseForFolder(title, std::string(root), allowNew)) return *chosen;
  return browseFolderOnConsole(title, std::string(root), allowNew);
}

namespace {

// The extension a filter's pattern gives ("*.csv" -> ".csv"); "" for "*.*".
std::string patternExtension(const std::string& pattern) {
  std::string p = pattern.substr(0, pattern.find(';'));
  size_t dot = p.rfind('.');
  if (dot == std::string::npos) return "";
  std::string ext = p.substr(dot);
  return ext.find_first_of("*?") == std::string::npos ? ext : std::string();
}

}  // namespace

std::string saveAsOnConsole(const std::vector<plat::FileFilter>& filtersArg, const std::string& initialName) {
  KOR_ROUTINE("SAVEAS");
  std::vector<plat::FileFilter> filters = filtersArg;
  if (filters.empty()) filters.push_back({"Todos os arquivos", "*.*"});
  con::ScreenStateGuard state;
  con::BindingsGuard bindings;
  std::string screen = con::saveScreen();
  const int top = 8, left = 8, bottom = 16, right = 71;
  const int width = right - left - 11;
  std::string folderText = DIRETORIO();
  std::string nameText = initialName;
  size_t type = 0;
  auto padded = [](std::string s) {
    s.resize(std::max<size_t>(254, s.size()), ' ');
    return s;
  };
  folderText = padded(folderText);
  nameText = padded(nameText);
  auto drawType = [&] {
    std::string t = filters[type].description + " (" + filters[type].pattern + ")";
    con::writeAt(top + 5, left + 2, "Tipo:  " + fitLeft(t, static_cast<size_t>(width + 2)), 0x70);
  };
  auto draw = [&] {
    con::DispGuard buffered;
    con::DESJAN(top, left, bottom, right, false, "Salvar como");
    con::writeAt(top + 2, left + 2, "Pasta:", 0x70);
    con::writeAt(top + 3, left + 2, "Nome: ", 0x70);
    drawType();
    con::writeAt(bottom - 1, left + 2, " Enter=Salvar  F2=Pastas  F3=Tipo  Esc=Cancelar", 0x70);
  };
  Value folderField = con::makeField(top + 2, left + 9,
                                     makeBlock([&](Args& a) {
                                       if (a.size() > 0 && !a[0].isNil()) folderText = a[0].string();
                                       return Value(folderText);
                                     }),
                                     "CPASTA", "@S" + std::to_string(width), "W+/B,W+/B");
  Value nameField = con::makeField(top + 3, left + 9,
                                   makeBlock([&](Args& a) {
                                     if (a.size() > 0 && !a[0].isNil()) nameText = a[0].string();
                                     return Value(nameText);
                                   }),
                                   "CNOME", "@S" + std::to_string(width), "W+/B,W+/B");
  // F2: the folder browser fills the folder; F3: the file type.
  con::setKey(con::key::fn(2), makeBlock([&](Args&) {
                std::string typed(alltrim(folderText));
                std::string chosen = browseFolderOnConsole("Indique uma pasta", "", true,
                                                           plat::dirExists(typed) ? typed : std::string());
                if (!chosen.empty()) {
                  folderText = padded(chosen);
                  // The field being edited shows it by itself; the other one here.
                  if (con::Field* f = con::fieldOf(folderField); f && !f->hasFocus) f->display();
                }
                return Value();
              }));
  con::setKey(con::key::fn(3), makeBlock([&](Args&) {
                std::vector<std::string> items;
                for (auto& f : filters) items.push_back(f.description + " (" + f.pattern + ")");
                con::ScreenStateGuard inner;
                std::string under = con::saveScreen();
                int h = std::min<int>(static_cast<int>(items.size()), 8);
                con::DESJAN(top + 5, left + 8, top + 6 + h, right - 2, false, "Tipo");
                con::ListSpec spec;
                spec.top = top + 6;
                spec.left = left + 9;
                spec.bottom = top + 5 + h;
                spec.right = right - 3;
                spec.items = items;
                spec.initial = static_cast<int>(type) + 1;
                con::setColor("N/W,W+/B,,,N/W");
                int n = con::listChoose(spec);
                con::restoreScreen(under);
                if (n > 0) type = static_cast<size_t>(n) - 1;
                drawType();
                return Value();
              }));
  std::string result;
  int start = 2;  // the name
  for (;;) {
    draw();
    con::readForm(Value::array({folderField, nameField}), start);
    int key = con::lastKey();
    if (key == con::key::Esc || key == con::key::Close) break;
    std::string folder(alltrim(folderText)), name(alltrim(nameText));
    if (name.empty()) {
      start = 2;
      continue;
    }
    std::string full = _TRUENAME(plat::isAbsolute(name) ? name : dirFile(folder, name, nativeStyle()));
    std::string dir = NOMEDIR(full, false);
    if (!plat::dirExists(dir)) {
      con::alert(std::string("A pasta não existe:;"_cp) + dir);
      start = 1;
      continue;
    }
    if (EXTENSAOARQ(full).empty()) {
      std::string ext = patternExtension(filters[type].pattern);
      full += ext.empty() ? std::string(".csv") : ext;
    }
    if (plat::statPath(full).exists) {
      int a = con::alert(std::string("O arquivo;"_cp) + full + std::string(";já existe. Deseja substituí-lo?"_cp),
                         {"Sim", std::string("Não"_cp)});
      if (a != 1) {
        start = 2;
        continue;
      }
    }
    result = full;
    break;
  }
  con::restoreScreen(screen);
  return result;
}

std::string SAVEAS(const std::vector<plat::FileFilter>& filters, std::string_view initialName) {
  KOR_ROUTINE("SAVEAS");
  if (systemDialogs())
    if (auto chosen = plat::shellSaveAs(filters, std::string(initialName), "Salvar como", "csv")) return *chosen;
  return saveAsOnConsole(filters, std::string(initialName));
}

void registerPickerRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  rt::registerRoutine("FBROWSEFORFOLDER", [](Args& a) {
    std::optional<bool> flag;
    if (a[2].isLogical()) flag = a[2].log();
    return Value(FBROWSEFORFOLDER(a[0].str(), a[1].str(), flag));
  });
  rt::registerRoutine("SAVEAS", [](Args& a) {
    std::vector<plat::FileFilter> filters;
    if (a[0].isArray())
      for (size_t i = 0; i < a[0].size(); ++i) {
        const Value& f = a[0].at(i);
        if (f.isArray() && f.size() >= 2) filters.push_back({f.at(0).string(), f.at(1).string()});
      }
    return Value(SAVEAS(filters, a[1].str()));
  });
}

}  // namespace kor::os
