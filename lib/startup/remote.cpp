#include "startup/remote.h"

#include "errors/ui.h"
#include "os/paths.h"
#include "os/shell.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/environment.h"
#include "values/textform.h"

namespace kor::startup {

namespace {

std::vector<RemoteTool>& tools() {
  // The three sources in the order they are tried: the AnyDesk client, the
  // TeamViewer QuickSupport client, and the support team's own tool from the
  // product's web server (kept there as .EXX so that it passes mail and web
  // filters; it is an .EXE once on the machine).
  static std::vector<RemoteTool> t = {
      {"https://download.anydesk.com/AnyDesk.exe"},
      {"http://download.teamviewer.com/download/version_11x/TeamViewerQS.exe"},
      {"http://www.korvo.com.br/arquivos/AA_V3.EXX"},
  };
  return t;
}

// The file name at the end of an address.
std::string addressFileName(const std::string& address) {
  size_t slash = address.find_last_of('/');
  std::string name = slash == std::string::npos ? address : address.substr(slash + 1);
  size_t q = name.find_first_of("?#");
  if (q != std::string::npos) name.resize(q);
  return name;
}

std::string withoutExe(const std::string& name) {
  if (name.size() > 4 && upper(name.substr(name.size() - 4)) == ".EXE") return name.substr(0, name.size() - 4);
  return "";
}

}  // namespace

const std::vector<RemoteTool>& remoteTools() { return tools(); }
void setRemoteTools(std::vector<RemoteTool> t) { tools() = std::move(t); }

Download downloadTool(const std::string& address, const std::string& target) {
  // Fetching files from the web is the web-access module's (DOWNLOADFILE);
  // in a program built without it there is nothing to download with.
  if (!rt::routineExists("DOWNLOADFILE")) return Download::NotAvailable;
  rt::callRoutine("DOWNLOADFILE", {Value(address), Value(target)});
  return plat::fileExists(target) ? Download::Done : Download::Failed;
}

std::string EXISTEPROGRAMAACESSO(std::string_view fileArg) {
  KOR_ROUTINE("EXISTEPROGRAMAACESSO");
  std::string file(alltrim(fileArg));
  if (file.empty()) return "";
  const bool windows = os::nativeStyle().drives;
  std::vector<std::string> folders = {os::DIRETORIO(), DIRDESKTOP()};
  std::string comspec = plat::getEnv("COMSPEC").value_or("");
  if (!comspec.empty()) folders.push_back(comspec.substr(0, 3));
  std::string here = os::DIRETORIO();
  folders.push_back(windows && here.size() >= 2 && here[1] == ':' ? here.substr(0, 2) + "\\" : std::string("/"));
  std::string path = plat::getEnv("PATH").value_or("");
  const char listSep = windows ? ';' : ':';
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find(listSep, i);
    if (j == std::string::npos) j = path.size();
    std::string dir(alltrim(std::string_view(path).substr(i, j - i)));
    if (!dir.empty()) folders.push_back(dir);
    i = j + 1;
  }
  std::vector<std::string> names = {file};
  if (!windows)
    if (std::string native = withoutExe(file); !native.empty()) names.push_back(native);
  for (auto& folder : folders) {
    if (folder.empty()) continue;
    for (auto& n : names) {
      std::string candidate = os::_TRUENAME(os::DIRFILE(folder, n));
      if (plat::fileExists(candidate)) return plat::resolveCase(candidate);
    }
  }
  return "";
}

void PERMITIRACESSO() {
  KOR_ROUTINE("PERMITIRACESSO");
  auto& ui = err::ui::ops();
  int box = ui.openBox("Procurando programa de acesso remoto...");
  for (const RemoteTool& tool : remoteTools()) {
    std::string name = addressFileName(tool.address);
    // The tool kept as .EXX is an .EXE on the machine: searched and saved so.
    if (name.size() > 4 && upper(name.substr(name.size() - 4)) == ".EXX") name = name.substr(0, name.size() - 4) + ".EXE";
    std::string found = EXISTEPROGRAMAACESSO(name);
    if (found.empty()) {
      ui.closeBox(box);
      box = ui.openBox("Fazendo download do programa de acesso remoto...");
      std::string target = os::DIRFILE(os::DIRETORIO(), name);
      if (downloadTool(tool.address, target) == Download::Done) found = target;
    }
    if (!found.empty() && plat::fileExists(found)) {
      ui.closeBox(box);
      box = ui.openBox("Executando programa de acesso remoto...");
      os::SHELL_EXECUTE(found);
      ui.closeBox(box);
      return;
    }
  }
  ui.closeBox(box);
}

void registerRemoteRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  rt::registerRoutine("PERMITIRACESSO", [](Args&) {
    PERMITIRACESSO();
    return Value();
  });
  rt::registerRoutine("EXISTEPROGRAMAACESSO", [](Args& a) { return Value(EXISTEPROGRAMAACESSO(a[0].string())); });
}

}  // namespace kor::startup
