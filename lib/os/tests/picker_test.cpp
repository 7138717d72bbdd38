#include "os/picker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "console/headless.h"
#include "console/keys.h"
#include "console/screen.h"
#include "errors/tests/fixture.h"
#include "testing/child.h"
#include "os/paths.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "runtime/runtime.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kor::os {
namespace {

using kor::testing::FolderTest;
namespace key = con::key;

// The folder browser and the save form on the headless console: keys and
// clicks scripted, the screen looked at while they wait.
class Picker : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    con::resetConsole();
    hb_ = new con::HeadlessBackend();
    previous_ = con::setBackend(std::unique_ptr<con::Backend>(hb_));
    for (const char* d : {"a", "b", "b/c", "zz"}) plat::makeDir(d);
    // Hidden by its name on POSIX (on Windows hiding is an attribute).
    if (plat::separator() == '/') plat::makeDir(".oculta");
    write("arquivo.txt", "x");
    useSystemDialogs(false);
    registerPickerRoutines();
  }
  void TearDown() override {
    setFolderReader(nullptr);
    useSystemDialogs(true);
    con::setBackend(std::move(previous_));
    FolderTest::TearDown();
  }
  std::string screen() const { return hb_->text(); }
  bool shows(const std::string& text) const { return screen().find(text) != std::string::npos; }
  // A path below the scratch folder as the system writes it.
  std::string path(std::string rel) const {
    for (char& c : rel)
      if (c == '/') c = plat::separator();
    return dir() + plat::separator() + rel;
  }
  plat::VirtualClock clock_;
  con::HeadlessBackend* hb_ = nullptr;
  std::unique_ptr<con::Backend> previous_;
};

TEST_F(Picker, ChoosingAFolder) {
  std::string before = con::saveScreen();
  // Items: [Selecionar esta pasta], [Nova pasta], a, b, zz (no "..": the
  // root given; hidden folders and files are not listed).
  hb_->probe([&] {
    EXPECT_TRUE(shows("Indique a pasta do Veltar"));
    EXPECT_TRUE(shows(dir()));
    EXPECT_TRUE(shows("[Selecionar esta pasta]"));
    EXPECT_FALSE(shows(".oculta"));
    EXPECT_FALSE(shows("arquivo.txt"));
    EXPECT_FALSE(shows(" .. "));
  });
  hb_->type({key::Down, key::Down, key::Down, key::Enter});  // open b
  hb_->probe([&] {
    EXPECT_TRUE(shows(path("b")));
    EXPECT_TRUE(shows(".."));
  });
  hb_->type({key::Enter});  // [Selecionar esta pasta]
  EXPECT_EQ(browseFolderOnConsole("Indique a pasta do Veltar", dir(), true), path("b"));
  EXPECT_EQ(con::saveScreen(), before);  // the screen comes back
}

TEST_F(Picker, CancellingGivesNothing) {
  hb_->type({key::Down, key::Esc});
  EXPECT_EQ(browseFolderOnConsole("Indique uma pasta", dir(), false), "");
  hb_->type({key::Close});
  EXPECT_EQ(FBROWSEFORFOLDER("", dir()), "");
}

TEST_F(Picker, TheHighlightedFolderWithF10) {
  // Without new folders: [Selecionar esta pasta], a, b, zz.
  hb_->type({key::Down, key::Down, key::fn(10)});
  EXPECT_EQ(browseFolderOnConsole("Indique uma pasta", dir(), false), path("b"));
  hb_->type({'z', key::CtrlEnter});  // a letter goes to the folder beginning with it
  EXPECT_EQ(browseFolderOnConsole("Indique uma pasta", dir(), false), path("zz"));
}

TEST_F(Picker, UpAndDownWithoutARoot) {
  CHANGEDIR(path("b"));
  // In b: [Selecionar esta pasta], .., c. ".." goes up with b highlighted.
  hb_->type({key::Down, key::Enter});
  hb_->probe([&] { EXPECT_TRUE(shows(dir() + " ")); });
  hb_->type({key::fn(10)});
  EXPECT_EQ(browseFolderOnConsole("Indique uma pasta", "", false), path("b"));
  // Backspace goes up too (b highlighted again; Home: [Selecionar esta pasta]).
  hb_->type({key::Backspace, key::Home, key::Enter});
  EXPECT_EQ(browseFolderOnConsole("Indique uma pasta", "", false), dir());
}

TEST_F(Picker, ByMouse) {
  // The list starts at row 6; a double click on "a" (the second item) opens it.
  hb_->mouse(key::LeftDouble, 7, 20);
  hb_->probe([&] { EXPECT_TRUE(shows(path("a"))); });
  hb_->mouse(key::LeftDouble, 6, 20);  // [Selecionar esta pasta]
  EXPECT_EQ(browseFolderOnConsole("Indique uma pasta", dir(), false), path("a"));
}

TEST_F(Picker, FolderThatCannotBeRead) {
  // b refuses to be read; the others are read as the system has them.
  setFolderReader([&](const std::string& folder, std::vector<std::string>& out) {
    if (folder == path("b")) return static_cast<int>(plat::kAccessDenied);
    std::vector<plat::DirEntry> entries;
    int rc = plat::readFolder(folder, entries);
    for (auto& e : entries)
      if (e.info.isDir && e.name[0] != '.') out.push_back(e.name);
    std::sort(out.begin(), out.end());
    return rc;
  });
  bool alerted = false;
  hb_->type({key::Down, key::Down, key::Enter});  // b
  hb_->probe([&] {
    alerted = shows(std::string("Não foi possível abrir a pasta"_cp)) && shows(path("b")) && shows("(Erro do DOS 5)");
  });
  // The alert's Ok: still in the folder above, on b; F10 chooses b itself.
  hb_->type({key::Enter});
  hb_->probe([&] { EXPECT_TRUE(shows(dir() + " ")); });
  hb_->type({key::Home, key::Enter});
  EXPECT_EQ(browseFolderOnConsole("Indique uma pasta", dir(), false), dir());
  EXPECT_TRUE(alerted);
}

// Runs as a child without the superuser's rights (see below).
TEST(PickerRoles, DISABLED_FolderWithoutReadPermission) {
#ifndef _WIN32
  if (::geteuid() == 0) {
    ASSERT_EQ(::setgid(65534), 0);
    ASSERT_EQ(::setuid(65534), 0);
  }
  namespace fs = std::filesystem;
  kor::testing::ScratchDir scratch("picker_perm");
  std::string dir = scratch.path();
  fs::create_directories(dir + "/a");
  fs::create_directories(dir + "/b/dentro");
  fs::permissions(dir + "/b", fs::perms::none);
  rt::resetVars();
  rt::resetSettings();
  con::resetConsole();
  plat::VirtualClock clock;
  con::HeadlessBackend& hb = con::installHeadless();
  useSystemDialogs(false);
  bool alerted = false;
  hb.type({key::Down, key::Down, key::Enter});  // b
  hb.probe([&] { alerted = hb.text().find("(Erro do DOS 5)") != std::string::npos; });
  hb.type({key::Enter, key::Esc});
  EXPECT_EQ(FBROWSEFORFOLDER("Indique uma pasta", dir, false), "");
  EXPECT_TRUE(alerted);
  fs::permissions(dir + "/b", fs::perms::owner_all);
  con::setBackend(nullptr);
#endif
}

TEST_F(Picker, FolderWithoutReadPermission) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX permissions";
#else
  // The superuser reads every folder: the child gives its rights up first.
  auto child = kor::testing::spawnChild("PickerRoles.DISABLED_FolderWithoutReadPermission");
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.wait(), 0);
#endif
}

TEST_F(Picker, ByNameAsTheUpdateRunCallsIt) {
  // Title, no root, no new folders: [Selecionar esta pasta], .., a, b, zz.
  CHANGEDIR(path("b"));
  bool noNewFolder = false;
  hb_->probe([&] { noNewFolder = shows("Indique a pasta do Veltar") && !shows("[Nova pasta]"); });
  hb_->type({key::Down, key::Enter});  // ".." up to the scratch folder, b highlighted
  hb_->type({key::Down, key::fn(10)});  // zz
  Value got = rt::callRoutine("FBROWSEFORFOLDER", {Value("Indique a pasta do Veltar"), Value(), Value::logical(false)});
  EXPECT_EQ(got.string(), path("zz"));
  EXPECT_TRUE(noNewFolder);
  // Cancelled: an empty text.
  hb_->type({key::Esc});
  EXPECT_EQ(rt::callRoutine("FBROWSEFORFOLDER", {}).string(), "");
}

TEST_F(Picker, NewFolderNameMustBeOneName) {
  hb_->type({key::Down, key::Enter});  // [Nova pasta]
  hb_->typeText("x/y");
  hb_->type({key::Enter});
  bool refused = false;
  hb_->probe([&] { refused = shows(std::string("Nome de pasta inválido:"_cp)); });
  hb_->type({key::Enter, key::Esc});
  EXPECT_EQ(browseFolderOnConsole("Indique uma pasta", dir(), true), "");
  EXPECT_TRUE(refused);
  EXPECT_FALSE(plat::dirExists(path("x")));
}

TEST_F(Picker, NewFolder) {
  hb_->type({key::Down, key::Enter});  // [Nova pasta]
  hb_->probe([&] { EXPECT_TRUE(shows("Nome da pasta:")); });
  hb_->typeText("nova");
  hb_->type({key::Enter});
  hb_->probe([&] { EXPECT_TRUE(shows(path("nova"))); });
  hb_->type({key::Enter});
  EXPECT_EQ(browseFolderOnConsole("Indique uma pasta", dir(), true), path("nova"));
  EXPECT_TRUE(plat::dirExists(path("nova")));
}

TEST_F(Picker, SaveAsWithTheTypesExtension) {
  std::vector<plat::FileFilter> f = {{"Planilha", "*.csv"}, {"Texto", "*.txt"}};
  hb_->probe([&] {
    EXPECT_TRUE(shows("Salvar como"));
    EXPECT_TRUE(shows("Planilha (*.csv)"));
  });
  hb_->type({key::Enter});
  EXPECT_EQ(SAVEAS(f, "relatorio"), path("relatorio.csv"));
  // F3 chooses the type.
  hb_->type({key::fn(3), key::Down, key::Enter});
  hb_->probe([&] { EXPECT_TRUE(shows("Texto (*.txt)")); });
  hb_->type({key::Enter});
  EXPECT_EQ(SAVEAS(f, "relatorio"), path("relatorio.txt"));
  // A name of one's own, with its extension.
  hb_->type({key::ctrl('Y')});
  hb_->typeText("dados.prn");
  hb_->type({key::Enter});
  EXPECT_EQ(SAVEAS(f, "relatorio"), path("dados.prn"));
  hb_->type({key::Esc});
  EXPECT_EQ(SAVEAS(f, "relatorio"), "");
}

TEST_F(Picker, SaveAsAsksBeforeReplacing) {
  write("relatorio.csv", "old");
  std::vector<plat::FileFilter> f = {{"Planilha", "*.csv"}};
  hb_->type({key::Enter});
  hb_->probe([&] { EXPECT_TRUE(shows(std::string("já existe. Deseja substituí-lo?"_cp))); });
  hb_->type({key::Right, key::Enter});  // "Não": back in the form
  hb_->type({key::Enter});
  hb_->type({key::Enter});  // "Sim"
  EXPECT_EQ(SAVEAS(f, "relatorio"), path("relatorio.csv"));
}

TEST_F(Picker, SaveAsNeedsAnExistingFolder) {
  std::vector<plat::FileFilter> f = {{"Planilha", "*.csv"}};
  hb_->type({key::Up, key::ctrl('Y')});
  hb_->typeText(path("naoexiste"));
  hb_->type({key::Enter, key::Enter});
  hb_->probe([&] { EXPECT_TRUE(shows(std::string("A pasta não existe:"_cp))); });
  hb_->type({key::Enter, key::Esc});
  EXPECT_EQ(SAVEAS(f, "x"), "");
  // F2 picks the folder with the browser.
  hb_->type({key::fn(2), key::Home, key::Down, key::Down, key::Down, key::fn(10)});  // [Selecionar], .., [Nova pasta], a
  bool folderShown = false;
  hb_->probe([&] {
    // The field shows what fits of it (52 columns).
    std::string want = path("a");
    want = want.size() < 52 ? want + " " : want.substr(0, 52);
    folderShown = hb_->rowText(10).find("Pasta: " + want) != std::string::npos;
  });
  hb_->type({key::Enter});
  EXPECT_EQ(SAVEAS(f, "x"), path("a/x.csv"));
  EXPECT_TRUE(folderShown) << "the folder field shows the folder chosen";
}

}  // namespace
}  // namespace kor::os
