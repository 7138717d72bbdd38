#include "startup/presence.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "runtime/runtime.h"
#include "testing/child.h"

namespace kor::startup {
namespace {

namespace fs = std::filesystem;

class Presence : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetVars();
    dir_ = fs::temp_directory_path() / ("kor_presence_" + std::to_string(plat::processId()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    old_ = fs::current_path();
    fs::current_path(dir_);
    setApplicationName("CLASUPD");
  }
  void TearDown() override {
    removePresenceFile();
    fs::current_path(old_);
    fs::remove_all(dir_);
    rt::resetVars();
  }
  fs::path dir_, old_;
};

TEST_F(Presence, FileHasTwoLinesAndIsRemovedAtTheEnd) {
  createPresenceFile();
  std::string name = rt::getVar("CFILESISTEMA").string();
  ASSERT_FALSE(name.empty());
  EXPECT_EQ(name.rfind("CLASUPD", 0), 0u);
  EXPECT_EQ(name.substr(name.size() - 4), ".usr");
  int number = std::stoi(name.substr(7, name.size() - 11));
  EXPECT_GE(number, 1);
  EXPECT_LE(number, 999);
  EXPECT_NE(rt::getVar("NHANDLESISTEMA").integer(), -1);
  std::string text = *plat::readWholeFile(name);
  size_t crlf = text.find("\r\n");
  ASSERT_NE(crlf, std::string::npos);
  EXPECT_EQ(text.find("\r\n", crlf + 2), std::string::npos);  // exactly two lines
  EXPECT_EQ(text[2], '/');
  EXPECT_EQ(text[5], '/');
  EXPECT_EQ(text[10], ' ');
  EXPECT_EQ(text.substr(crlf + 2, 1), "(");
  removePresenceFile();
  EXPECT_FALSE(plat::fileExists(name));
}

TEST_F(Presence, RunningInstancesAreCountedLeftoversAreNot) {
  plat::writeWholeFile("CLASUPD5.usr", "01/01/2020 10:00:00 DEAD/x\r\n() /x");  // a crashed instance
  auto child = kor::testing::spawnChild("PresenceRoles.DISABLED_RunAnotherApplication", {{"DIR", dir_.string()}});
  ASSERT_TRUE(kor::testing::waitForFile((dir_ / "ready").string()));
  createPresenceFile();
  Value own = Value::array(), others = Value::array();
  EXPECT_EQ(USUARIOSATIVOS(&own, &others), 2);
  ASSERT_EQ(own.size(), 1u);
  std::string line = own.at(0).string();
  EXPECT_EQ(line.size(), 50u);
  EXPECT_NE(line.find("(eu)"), std::string::npos);
  ASSERT_EQ(others.size(), 1u);
  EXPECT_NE(others.at(0).str().find(" OUTRO"), std::string::npos);
  EXPECT_TRUE(plat::fileExists("CLASUPD5.usr"));  // leftovers are not deleted
  kor::testing::touchFile((dir_ / "done").string());
  EXPECT_EQ(child.wait(), 0);
  EXPECT_EQ(USUARIOSATIVOS(), 1);
}

TEST_F(Presence, DriverNames) {
  rt::publicVar("CRDDDEFAULT", Value("DBFNTX"));
  EXPECT_FALSE(ISDBSQL());
  EXPECT_TRUE(ISDBSQL(Value("SQLRDD")));
  EXPECT_FALSE(ISDBSQL(Value("sqlrdd")));
  EXPECT_TRUE(ISDBLETO(Value("LETO")));
}

// Runs in a second process: another application holding its presence file
// until the parent says "done".
TEST(PresenceRoles, DISABLED_RunAnotherApplication) {
  std::string dir = kor::testing::childArg("DIR");
  fs::current_path(dir);
  setApplicationName("OUTRO");
  createPresenceFile();
  ASSERT_NE(rt::getVar("NHANDLESISTEMA").integer(), -1);
  kor::testing::touchFile("ready");
  EXPECT_TRUE(kor::testing::waitForFile("done"));
  removePresenceFile();
}

}  // namespace
}  // namespace kor::startup
