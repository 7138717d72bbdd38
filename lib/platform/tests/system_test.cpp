#include "platform/system.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/platform.h"
#include "testing/child.h"

namespace kor::plat {
namespace {

using kor::testing::ScratchDir;

TEST(System, TemporaryFilesAreNewAndNamedLikeTheService) {
  ScratchDir dir("plat_temp");
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    std::string f = makeTempFile(dir.path(), "KORVO");
    ASSERT_FALSE(f.empty());
    EXPECT_TRUE(names.insert(f).second) << f;
    EXPECT_TRUE(fileExists(f));
    std::string name = f.substr(f.find_last_of("/\\") + 1);
    EXPECT_EQ(name.substr(0, 3), "KOR");
    EXPECT_EQ(name.substr(name.size() - 4), ".TMP");
    for (char c : name.substr(3, name.size() - 7)) EXPECT_TRUE(isxdigit(static_cast<unsigned char>(c))) << name;
  }
  int error = 0;
  EXPECT_EQ(makeTempFile(dir.file("nao/ha"), "X", &error), "");
  EXPECT_NE(error, 0);
}

TEST(System, FolderReadingTellsWhy) {
  ScratchDir dir("plat_readfolder");
  writeWholeFile(dir.file("a.txt"), "1");
  makeDir(dir.file("sub"));
  std::vector<DirEntry> e;
  ASSERT_EQ(readFolder(dir.path(), e), kOk);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(readFolder(dir.file("nada"), e), kPathNotFound);
  EXPECT_TRUE(e.empty());
  EXPECT_EQ(readFolder(dir.file("a.txt"), e), kPathNotFound);
}

TEST(System, NamesOfTheSystem) {
  OsInfo os = osInfo();
  EXPECT_FALSE(os.name.empty());
  EXPECT_EQ(os.windows, separator() == '\\');
  EXPECT_GT(fileHandleLimit(), 0);
  EXPECT_EQ(specialFolder("NaoExiste"), std::nullopt);
  ASSERT_TRUE(specialFolder("Desktop").has_value());
  ScratchDir dir("plat_short");
  writeWholeFile(dir.file("nome comprido demais.texto"), "");
  EXPECT_FALSE(shortPath(dir.file("nome comprido demais.texto")).empty());
  EXPECT_EQ(shortPath(dir.file("nada")), "");
  EXPECT_EQ(networkConnection(dir.path()), "");
  EXPECT_FALSE(driveOf(dir.path()).empty());
  if (separator() == '/') {
    EXPECT_FALSE(findProgram("sh").empty());
    EXPECT_EQ(findProgram("nao-ha-programa-assim"), "");
    EXPECT_EQ(shellBrowseForFolder("x", "", false), std::nullopt);  // the console draws its own
    EXPECT_EQ(shellSaveAs({}, "", "x", "csv"), std::nullopt);
    EXPECT_EQ(printerOnPort("LPT1:"), "");
  }
}

}  // namespace
}  // namespace kor::plat
