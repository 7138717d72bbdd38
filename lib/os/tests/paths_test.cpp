#include "os/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"

namespace kor::os {
namespace {

TEST(Paths, JoinWithOneSeparator) {
  struct Case {
    const char *folder, *file, *win, *posix;
  } cases[] = {
      {"C:\\WINDOWS", "KORVO.INI", "C:\\WINDOWS\\KORVO.INI", "C:/WINDOWS/KORVO.INI"},
      {"C:\\A\\", "\\B", "C:\\A\\B", "C:/A/B"},
      {"", "X", "X", "X"},
      {"  /etc ", " KORVO.INI ", "/etc\\KORVO.INI", "/etc/KORVO.INI"},
      {"/data/", "/RICLAS.DBF", "/data/\\/RICLAS.DBF", "/data/RICLAS.DBF"},
      {"D:", "", "D:\\", "D:/"},
      {"C:\\", "BK\\RICLAS.X", "C:\\BK\\RICLAS.X", "C:/BK/RICLAS.X"},
      {"\\\\SRV\\DADOS", "RICLAS.DBF", "\\\\SRV\\DADOS\\RICLAS.DBF", "//SRV/DADOS/RICLAS.DBF"},
      {"C:\\A", "", "C:\\A\\", "C:/A/"},
      {"", "", "", ""},
      {"", "\\X", "X", "X"},
      {"/", "etc", "/\\etc", "/etc"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(dirFile(c.folder, c.file, kWindowsPaths), c.win) << c.folder << "+" << c.file;
    EXPECT_EQ(dirFile(c.folder, c.file, kPosixPaths), c.posix) << c.folder << "+" << c.file;
  }
}

TEST(Paths, FileNames) {
  struct Case {
    const char* path;
    bool keepExt;
    const char *win, *posix;
  } cases[] = {
      {"C:\\DADOS\\RICLAS.DBF", false, "RICLAS", "RICLAS"},
      {"C:\\DADOS\\RICLAS.DBF", true, "RICLAS.DBF", "RICLAS.DBF"},
      {"A:ARQ.TXT", true, "ARQ.TXT", "A:ARQ.TXT"},
      {" /tmp/ARQ.TAR.GZ ", false, "/tmp/ARQ", "ARQ"},
      {"dados\\x.dbf", true, "x.dbf", "x.dbf"},
      {"", true, "", ""},
      {"\\\\SRV\\SHARE\\A.B.C", false, "A", "A"},
      {"C:ARQ", true, "ARQ", "C:ARQ"},
      {"/home/ana/relatorio.htm", true, "/home/ana/relatorio.htm", "relatorio.htm"},
      {"C:\\DADOS\\", true, "", ""},
  };
  for (auto& c : cases) {
    EXPECT_EQ(fileNameOf(c.path, c.keepExt, kWindowsPaths), c.win) << c.path;
    EXPECT_EQ(fileNameOf(c.path, c.keepExt, kPosixPaths), c.posix) << c.path;
  }
}

TEST(Paths, FolderOfAFullPath) {
  struct Case {
    const char* full;
    bool quote;
    const PathStyle* st;
    const char* folder;
  } cases[] = {
      {"C:\\DADOS\\DADOS", true, &kWindowsPaths, "C:\\DADOS"},
      {"C:\\Meus Dados\\a.txt", true, &kWindowsPaths, "\"C:\\Meus Dados\""},
      {"C:\\Meus Dados\\a.txt", false, &kWindowsPaths, "C:\\Meus Dados"},
      {"C:\\a.txt", true, &kWindowsPaths, "C:\\"},
      {"/a.txt", true, &kPosixPaths, "/"},
      {"/home/x/Meus Dados/a.txt", true, &kPosixPaths, "\"/home/x/Meus Dados\""},
      {"/data/RICLAS/RICLAS", true, &kPosixPaths, "/data/RICLAS"},
      {"C:\\A\\B\\", true, &kWindowsPaths, "C:\\A\\B"},
      {"\\\\SRV\\DADOS\\X.DBF", true, &kWindowsPaths, "\\\\SRV\\DADOS"},
      {"\\\\SRV\\DADOS\\X.DBF", true, &kPosixPaths, "//SRV/DADOS"},
      {"C:\\Meus Dados\\a.txt", true, &kPosixPaths, "\"C:/Meus Dados\""},
      {"/a/b/c.txt", false, &kPosixPaths, "/a/b"},
      {"/a", false, &kPosixPaths, "/"},
  };
  for (auto& c : cases) EXPECT_EQ(folderOf(c.full, c.quote, *c.st), c.folder) << c.full;
}

TEST(Paths, TrueNameAndCurrentFolder) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "kor_paths_test";
  fs::create_directories(dir / "sub");
  const std::string sep(1, plat::separator());
  std::string before = DIRETORIO();
  std::string prev = CHANGEDIR(dir.string());
  EXPECT_EQ(prev, before);
  EXPECT_EQ(DIRETORIO(), dir.string());
  EXPECT_EQ(_TRUENAME("tabela.DBF"), dir.string() + sep + "tabela.DBF");
  EXPECT_EQ(_TRUENAME("sub\\..\\x.dbf"), dir.string() + sep + "x.dbf");
  EXPECT_EQ(_TRUENAME(""), "");
  EXPECT_EQ(NOMEDIR("sub/file.txt"), (dir / "sub").string());
  EXPECT_TRUE(DIRETORIO(std::string_view("sub")));
  EXPECT_FALSE(DIRETORIO(std::string_view("nope")));
  // The root of the current drive (just "/" on POSIX), with its separator.
  std::string root = sep == "/" ? "/" : DIRETORIO().substr(0, 2) + sep;
  CHANGEDIR(sep);
  EXPECT_EQ(DIRETORIO(), root);
  CHANGEDIR(before);
  fs::remove_all(dir);
}

TEST(Paths, ValidFileNames) {
  struct Case {
    const char *in, *out;
  } cases[] = {
      {"a\"b.c/d\\e*f>g<h|i:j,k&l m", "abcdefghijklm"},
      {"Relatório 12/2021", "Relatório122021"},
      {"", ""},
      {"ARQ.DBF", "ARQDBF"},
      {"C:\\DADOS\\X", "CDADOSX"},
  };
  for (auto& c : cases) EXPECT_EQ(NOMEARQUIVOVALIDO(c.in), c.out) << c.in;
}

TEST(Paths, LongFolderNames) {
  struct Case {
    const char* path;
    bool longName;
  } cases[] = {
      {"C:\\PASTALONGA\\X", true},    {"/pastalonga/x", true},
      {"/tmp/nomecomprido.txt", true},   {"C:\\DADOS\\RICLAS", false},
      {"/dados/riclas", false},          {"C:\\DADOS\\RICLAS.DB", true},  // the extension counts
      {"C:\\DADOS\\RICLA.DB", false}, {"12345678/12345678", false},
      {"123456789", true},               {"", false},
      {"a\\b/c", false},
  };
  for (auto& c : cases) EXPECT_EQ(PASTANOMELONGO(c.path), c.longName) << c.path;
}

TEST(Paths, SmallRules) {
  std::string here = DIRETORIO();
  EXPECT_GT(_DISKSPACE(here, 3), 0);
  EXPECT_LE(_DISKSPACE(here, 1), _DISKSPACE(here, 3));
  EXPECT_EQ(_DISKSPACE("/no/such/folder", 1), -1);
  auto a = plat::getEnv("PROCESSOR_ARCHITECTURE"), b = plat::getEnv("PROCESSOR_ARCHITEW6432");
  plat::unsetEnv("PROCESSOR_ARCHITECTURE");
  plat::unsetEnv("PROCESSOR_ARCHITEW6432");
  EXPECT_FALSE(OSIS64());
  plat::setEnv("PROCESSOR_ARCHITEW6432", "AMD64");
  EXPECT_TRUE(OSIS64());
  if (a) plat::setEnv("PROCESSOR_ARCHITECTURE", *a);
  if (b) plat::setEnv("PROCESSOR_ARCHITEW6432", *b);
  else plat::unsetEnv("PROCESSOR_ARCHITEW6432");
}

}  // namespace
}  // namespace kor::os
