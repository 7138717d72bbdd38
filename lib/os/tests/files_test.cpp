#include "os/files.h"

#include <gtest/gtest.h>

#include "os/paths.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "testing/child.h"

namespace kor::os {
namespace {

using kor::testing::ScratchDir;

// Sets environment variables for one test and puts the old values back.
class EnvScope {
 public:
  void set(const std::string& name, const std::optional<std::string>& value) {
    saved_.emplace_back(name, plat::getEnv(name));
    if (value) plat::setEnv(name, *value);
    else plat::unsetEnv(name);
  }
  ~EnvScope() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) plat::setEnv(it->first, *it->second);
      else plat::unsetEnv(it->first);
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(Files, ExtensionFromTheFirstDotOfTheName) {
  struct Case {
    const char *name, *ext;
  } cases[] = {
      {"RICLAS.DBF", ".DBF"},        {"ARQ.TAR.GZ", ".TAR.GZ"},   {"SEMEXT", ""},
      {"C:\\A.B\\ARQ", ""},          {"/dados.x/ARQ.txt", ".txt"}, {"dados\\x.ntx", ".ntx"},
      {"  relatorio.htm ", ".htm"},  {"", ""},                     {"ARQ.", "."},
  };
  for (auto& c : cases) EXPECT_EQ(EXTENSAOARQ(c.name), c.ext) << c.name;
}

TEST(Files, ExistenceIsRememberedPerName) {
  ScratchDir dir("existfile");
  forgetExistFile();
  std::string f = dir.file("novo.txt");
  EXPECT_FALSE(EXISTFILE(f));
  plat::writeWholeFile(f, "x");
  EXPECT_FALSE(EXISTFILE(f));  // the first answer stands for the run
  std::string g = dir.file("velho.txt");
  plat::writeWholeFile(g, "x");
  EXPECT_TRUE(EXISTFILE(g));
  plat::removeFile(g);
  EXPECT_TRUE(EXISTFILE(g));
  forgetExistFile();
  EXPECT_TRUE(EXISTFILE(f));
}

TEST(Files, FolderRename) {
  ScratchDir dir("dirrename");
  std::string a = dir.file("A"), b = dir.file("B"), c = dir.file("C");
  plat::makeDir(a);
  plat::writeWholeFile(a + "/dentro.txt", "1");
  plat::makeDir(b);
  EXPECT_EQ(DIRRENAME(a, b), -1);  // onto an existing folder: nothing moves
  EXPECT_TRUE(plat::fileExists(a + "/dentro.txt"));
  EXPECT_EQ(DIRRENAME(dir.file("nada"), c), -1);
  EXPECT_EQ(DIRRENAME(a, c), 0);
  EXPECT_FALSE(plat::dirExists(a));
  EXPECT_TRUE(plat::fileExists(c + "/dentro.txt"));
  plat::writeWholeFile(dir.file("arquivo"), "");
  EXPECT_EQ(DIRRENAME(c, dir.file("arquivo")), -1);  // a file of that name counts too
}

TEST(Files, FileDateWithTime) {
  ScratchDir dir("datefile");
  std::string f = dir.file("a.txt");
  plat::writeWholeFile(f, "x");
  plat::LocalTime t{2021, 12, 9, 14, 3, 27, 500, 0};
  plat::setFileTime(f, plat::fromLocalTime(t));
  Value d = DATEFILE(f);
  ASSERT_TRUE(d.isDate());
  EXPECT_EQ(d.julian(), julianFromYmd(2021, 12, 9));
  EXPECT_EQ(d.dateTime().millis, ((14 * 60 + 3) * 60 + 27) * 1000);
  Value none = DATEFILE(dir.file("nao.txt"));
  ASSERT_TRUE(none.isDate());
  EXPECT_TRUE(none.dateTime().empty());
  EXPECT_TRUE(none.dateTime().hasTime());
}

TEST(Files, TemporaryFileIsMadeAndKept) {
  ScratchDir dir("wintemp");
  std::string a = WINTEMPFILE(dir.path(), "ABCDEF");
  std::string b = WINTEMPFILE(dir.path(), "ABCDEF");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_TRUE(plat::fileExists(a));
  EXPECT_EQ(NOMEDIR(a, false), dir.path());
  std::string name = NOMEARQ(a);
  EXPECT_EQ(name.substr(0, 3), "ABC");
  EXPECT_EQ(name.substr(name.size() - 4), ".TMP");
  EXPECT_EQ(WINTEMPFILE(dir.file("nao/existe"), "X"), "");
}

TEST(Files, ShortNamesAndDrives) {
  ScratchDir dir("shortname");
  std::string f = dir.file("um nome comprido.texto");
  plat::writeWholeFile(f, "");
  EXPECT_FALSE(NOMECURTO(f).empty());
  if (plat::separator() == '/') EXPECT_EQ(NOMECURTO(f), f);
  EXPECT_EQ(NOMECURTO(dir.file("nada")), "");
  std::string drive = FGETDRIVENAME();
  ASSERT_FALSE(drive.empty());
  EXPECT_EQ(DIRETORIO().rfind(drive, 0), 0u);  // the current folder lies on it
  EXPECT_EQ(FGETDRIVENAME(f), FGETDRIVENAME(dir.path()));
}

TEST(Files, SpecialFolders) {
  if (plat::separator() != '/') GTEST_SKIP() << "the XDG folders are the POSIX side";
  ScratchDir dir("special");
  EnvScope env;
  env.set("XDG_CONFIG_HOME", dir.path());
  env.set("HOME", dir.path());
  plat::writeWholeFile(dir.file("user-dirs.dirs"),
                       "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Área de trabalho\"\n"
                       "XDG_DOCUMENTS_DIR=\"$HOME/Documentos\"\n");
  EXPECT_EQ(GETSPECIALFOLDER(), dir.path() + "/Área de trabalho");
  EXPECT_EQ(GETSPECIALFOLDER("desktop"), dir.path() + "/Área de trabalho");
  // Downloads is the documents folder's subfolder, in any case.
  EXPECT_EQ(GETSPECIALFOLDER("Downloads"), dir.path() + "/Documentos/Downloads");
  EXPECT_EQ(GETSPECIALFOLDER("DOWNLOADS"), dir.path() + "/Documentos/Downloads");
  env.set("LOCALAPPDATA", "/srv/local");
  EXPECT_EQ(GETSPECIALFOLDER("VirtualStore"), "/srv/local/VirtualStore");
  EXPECT_EQ(GETSPECIALFOLDER("localappdata"), "/srv/local");
  env.set("LOCALAPPDATA", std::nullopt);
  EXPECT_EQ(GETSPECIALFOLDER("LocalAppData"), dir.path() + "/.local/share");
  env.set("PROGRAMFILES", "/opt");
  EXPECT_EQ(GETSPECIALFOLDER("ProgramFiles"), "/opt");
  EXPECT_EQ(GETSPECIALFOLDER("NoSuchFolder"), "");
  plat::removeFile(dir.file("user-dirs.dirs"));
  EXPECT_EQ(GETSPECIALFOLDER("Desktop"), dir.path() + "/Desktop");
  EXPECT_EQ(GETSPECIALFOLDER("Downloads"), dir.path() + "/Downloads");
}

TEST(Files, RoutinesByName) {
  registerRoutines();
  EXPECT_EQ(rt::callRoutine("EXTENSAOARQ", {Value("A.DBF")}).string(), ".DBF");
  EXPECT_EQ(rt::callRoutine("DIRRENAME", {Value("/nao/existe"), Value("/x")}).integer(), -1);
}

}  // namespace
}  // namespace kor::os
