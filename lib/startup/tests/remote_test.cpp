#include "startup/remote.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "errors/tests/fixture.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/program.h"
#include "testing/child.h"

namespace kor::startup {
namespace {

using kor::testing::FolderTest;
using kor::testing::ScriptedUser;

class Remote : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    registerProgramRoutines();
    for (const char* v : {"PATH", "HOME", "XDG_CONFIG_HOME", "COMSPEC"}) saved_.emplace_back(v, plat::getEnv(v));
    plat::setEnv("HOME", dir() + "/home");
    plat::setEnv("XDG_CONFIG_HOME", dir() + "/home/.config");
    plat::unsetEnv("COMSPEC");
    plat::makeDir("home");
    plat::makeDir("home/Desktop");
    plat::makeDir("bin");
    plat::setEnv("PATH", dir() + "/vazio" + (posix() ? ":" : ";") + dir() + "/bin");
    tools_ = remoteTools();
  }
  void TearDown() override {
    setRemoteTools(tools_);
    for (auto& [k, v] : saved_) {
      if (v) plat::setEnv(k, *v);
      else plat::unsetEnv(k);
    }
    FolderTest::TearDown();
  }
  bool posix() const { return plat::separator() == '/'; }
  // A tool that leaves a mark when it starts.
  std::string toolScript() const { return "#!/bin/sh\necho started > " + dir() + "/started.txt\n"; }
  static void makeExecutable(const std::string& path) {
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
  std::vector<RemoteTool> tools_;
};

TEST_F(Remote, SearchOrder) {
  write("bin/Ferramenta.exe", "path");
  std::string inPath = EXISTEPROGRAMAACESSO("Ferramenta.exe");
  EXPECT_EQ(inPath, dir() + (posix() ? "/bin/Ferramenta.exe" : "\\bin\\Ferramenta.exe"));
  if (posix()) {
    // The Desktop before the search path (on POSIX it follows HOME; the
    // Windows Desktop is the shell's and is not redirected by a test).
    write("home/Desktop/Ferramenta.exe", "desktop");
    EXPECT_EQ(read(EXISTEPROGRAMAACESSO("Ferramenta.exe")), "desktop");
  }
  write("Ferramenta.exe", "here");
  EXPECT_EQ(read(EXISTEPROGRAMAACESSO("Ferramenta.exe")), "here");
  EXPECT_EQ(EXISTEPROGRAMAACESSO("Nenhuma.exe"), "");
  EXPECT_EQ(EXISTEPROGRAMAACESSO(""), "");
  if (posix()) {
    write("bin/anydesk", "native");  // the tool installed as a Linux program
    EXPECT_EQ(EXISTEPROGRAMAACESSO("AnyDesk.exe"), dir() + "/bin/anydesk");
  }
}

TEST_F(Remote, NothingFoundAndNoWayToDownload) {
  ScriptedUser user;
  if (rt::routineExists("DOWNLOADFILE")) GTEST_SKIP() << "this program has the web-access module";
  setRemoteTools({{"https://a.example/UmA.exe"}, {"http://b.example/x/Outro.EXX"}});
  EXPECT_EQ(downloadTool("https://a.example/UmA.exe", dir() + "/UmA.exe"), Download::NotAvailable);
  PERMITIRACESSO();
  EXPECT_EQ(user.boxes, (std::vector<std::string>{"Procurando programa de acesso remoto...",
                                                  "Fazendo download do programa de acesso remoto...",
                                                  "Fazendo download do programa de acesso remoto..."}));
  EXPECT_EQ(user.closed.size(), 3u);  // every box closed again
  EXPECT_TRUE(user.alerts.empty());
}

TEST_F(Remote, FoundToolIsStarted) {
  if (!posix()) GTEST_SKIP() << "the tool here is a shell script";
  ScriptedUser user;
  setRemoteTools({{"https://a.example/Nenhum.exe"}, {"http://b.example/x/Suporte.EXX"}});
  write("bin/Suporte.EXE", toolScript());  // searched as .EXE
  makeExecutable(dir() + "/bin/Suporte.EXE");
  PERMITIRACESSO();
  ASSERT_TRUE(kor::testing::waitForFile(dir() + "/started.txt", 20000));
  ASSERT_GE(user.boxes.size(), 2u);
  EXPECT_EQ(user.boxes.back(), "Executando programa de acesso remoto...");
  EXPECT_EQ(user.closed.size(), user.boxes.size());
}

TEST_F(Remote, DownloadedToolIsStarted) {
  if (!posix()) GTEST_SKIP() << "the tool here is a shell script";
  ScriptedUser user;
  std::vector<std::string> fetched;
  std::string script = toolScript();
  rt::registerRoutine("DOWNLOADFILE", [&](Args& a) {
    fetched.push_back(a[0].string());
    plat::writeWholeFile(a[1].string(), script);
    makeExecutable(a[1].string());
    return a[1];
  });
  setRemoteTools({{"http://b.example/arquivos/AA_V3.EXX"}});
  PERMITIRACESSO();
  ASSERT_TRUE(kor::testing::waitForFile(dir() + "/started.txt", 20000));
  EXPECT_EQ(fetched, std::vector<std::string>{"http://b.example/arquivos/AA_V3.EXX"});
  EXPECT_TRUE(plat::fileExists("AA_V3.EXE"));  // kept under the name it is searched by
  EXPECT_EQ(user.boxes, (std::vector<std::string>{"Procurando programa de acesso remoto...",
                                                  "Fazendo download do programa de acesso remoto...",
                                                  "Executando programa de acesso remoto..."}));
}

}  // namespace
}  // namespace kor::startup
