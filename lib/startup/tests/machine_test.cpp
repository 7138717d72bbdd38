#include "startup/machine.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "runtime/runtime.h"
#include "testing/child.h"

namespace kor::startup {
namespace {

using kor::testing::ScratchDir;

std::string fileName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

TEST(TempFile, MadeInTheFolderAndDeleted) {
  ScratchDir dir("tempfile");
  std::string a = TEMPFILE(dir.path());
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(a.substr(0, dir.path().size()), dir.path());
  EXPECT_EQ(fileName(a).substr(0, 2), "TM");
  EXPECT_EQ(a.substr(a.size() - 4), ".TMP");
  EXPECT_FALSE(plat::statPath(a).exists);
  std::string b = TEMPFILE(dir.path(), "", 0, "RELATORIO");
  EXPECT_EQ(fileName(b).substr(0, 3), "REL");  // three characters of the prefix
  std::string sys = TEMPFILE();
  EXPECT_EQ(sys.substr(0, plat::tempDir().size()), plat::tempDir());
}

TEST(TempFile, WithAnExtension) {
  ScratchDir dir("tempfile_ext");
  for (const char* ext : {"dbf", ".dbf", "d.b.f"}) {
    std::string t = TEMPFILE(dir.path(), ext, 0, "tm");
    ASSERT_FALSE(t.empty()) << ext;
    std::string name = fileName(t);
    EXPECT_EQ(name.substr(name.size() - 4), ".DBF") << ext;
    for (char c : name) EXPECT_FALSE(c >= 'a' && c <= 'z') << name;
    EXPECT_EQ(name.substr(0, 2), "TM");
    EXPECT_EQ(name.find(".TMP"), std::string::npos);
    EXPECT_FALSE(plat::statPath(t).exists);
    EXPECT_EQ(t.substr(0, dir.path().size()), dir.path());  // the folder keeps its spelling
  }
}

TEST(TempFile, NoFolderNoName) {
  EXPECT_EQ(TEMPFILE("/nao/existe/pasta", "dbf"), "");
}

TEST(FileSize, FromTheFileSystemOrTheListing) {
  ScratchDir dir("tamanho");
  plat::writeWholeFile(dir.file("vazio.txt"), "");
  plat::writeWholeFile(dir.file("dez.txt"), "0123456789");
  EXPECT_EQ(TAMANHOARQ(dir.file("vazio.txt")), 0);
  EXPECT_EQ(TAMANHOARQ(dir.file("dez.txt")), 10);
  EXPECT_EQ(TAMANHOARQ(dir.file("nao.txt")), -1);
  EXPECT_EQ(TAMANHOARQ(""), -1);
  EXPECT_EQ(TAMANHOARQ(dir.file("DEZ.TXT")), 10);  // names found without regard to case
  rt::publicVar("CRDDDEFAULT", Value("DBFNTX"));
  EXPECT_EQ(_FILESIZE(dir.file("dez.txt")), 10);
  EXPECT_EQ(_FILESIZE(dir.file("nao.txt")), 0);
  rt::publicVar("CRDDDEFAULT", Value("SQLRDD"));
  EXPECT_EQ(_FILESIZE(dir.file("dez.txt")), 0);  // tables live on the server
  rt::releaseVar("CRDDDEFAULT");
}

TEST(Machine, NetworkNamesOfLocalDevices) {
  ScratchDir dir("rede");
  // A scratch folder lies on a local disk: no network name.
  EXPECT_EQ(NOMEREDE(dir.path()), "");
  EXPECT_EQ(NETLOCNAME(dir.path()), "");
  EXPECT_EQ(NOMELOCAL("\\\\NINGUEM\\NADA"), "");
  EXPECT_EQ(NOMELOCAL(""), "");
  if (plat::separator() == '/') {
    EXPECT_EQ(NOMEREDE("lpt1"), "");  // no printers on ports here
    EXPECT_EQ(WINVER(), "");
    EXPECT_EQ(WINVER(true), "");
  } else {
    EXPECT_EQ(WINVER(), "XP");
  }
}

TEST(Machine, HostFileName) {
  std::string r = REMOTO();
  EXPECT_EQ(r.rfind("HOST", 0), 0u);
  EXPECT_EQ(r.substr(r.size() - 4), ".HTM");
  EXPECT_FALSE(plat::statPath(r).exists);
}

TEST(Machine, RoutinesByName) {
  registerMachineRoutines();
  ScratchDir dir("machine_names");
  std::string t = rt::callRoutine("TEMPFILE", {Value(dir.path()), Value("csv")}).string();
  EXPECT_EQ(t.substr(t.size() - 4), ".CSV");
  EXPECT_EQ(fileName(t).substr(0, 2), "TM");
  EXPECT_EQ(rt::callRoutine("TAMANHOARQ", {Value(dir.file("x"))}).integer(), -1);
}

}  // namespace
}  // namespace kor::startup
