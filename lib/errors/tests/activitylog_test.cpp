#include <gtest/gtest.h>

#include "errors/activitylog.h"
#include "errors/tests/fixture.h"
#include "platform/fault.h"
#include "startup/identity.h"
#include "values/textform.h"

namespace kor::err {
namespace {

using testing::FolderTest;
using testing::ScriptedUser;

class ActivityLogTest : public FolderTest {
 protected:
  // 2021-12-09 14:03:27 local time.
  plat::VirtualClock clock_{plat::fromLocalTime(plat::LocalTime{2021, 12, 9, 14, 3, 27, 0, 0})};
  ScriptedUser user_;
  std::string machine() { return std::string(alltrim(startup::machineName())); }
  std::string winUser() { return startup::windowsUserName(); }
};

TEST_F(ActivityLogTest, FirstEntryStartsWithTheHeader) {
  GRAVALOG("ERRO.LOG", Value("primeira"));
  EXPECT_EQ(read("ERRO.LOG"), std::string(80, '_') + "\r\nTerminal/Usuario: " + machine() + "/" + winUser() +
                                  "\r\nData: 09/12/21 as 14:03\r\nprimeira\r\n");
}

TEST_F(ActivityLogTest, HeaderCarriesVersionAndLogin) {
  rt::publicVar("c_Versao", Value("2.1"));
  rt::publicVar("cUserLog", Value("JOAO "));
  rt::setCentury(true);
  GRAVALOG("A.LOG", Value("x"));
  std::string log = read("A.LOG");
  EXPECT_NE(log.find("/" + winUser() + "/JOAO\r\n2.1  Data: 09/12/2021 as 14:03\r\nx\r\n"), std::string::npos) << log;
}

TEST_F(ActivityLogTest, EntryForms) {
  GRAVALOG("A.LOG", Value("um#;#dois"), false);
  GRAVALOG("A.LOG", Value::array({Value("lista"), Value(3), Value::logical(true)}), false, false);
  GRAVALOG("A.LOG", Value("fim"), false);
  EXPECT_EQ(read("A.LOG"), "um\r\ndois\r\nlista 3 Verdadeirofim\r\n");
}

TEST_F(ActivityLogTest, SemicolonRecord) {
  plat::setEnv("USERNAME", "ANA");
  rt::publicVar("c_Versao", Value("2.1"));
  GRAVALOG("R.LOG", Value("linha 1\r\nlinha 2"), true, true, true);
  EXPECT_EQ(read("R.LOG"), "\r\n09/12/21;14:03:27;2.1;" + machine() + ";ANA;linha 1\nlinha 2");
  rt::publicVar("cUserLog", Value("JOAO"));
  GRAVALOG("R.LOG", Value("b"), true, true, true);
  EXPECT_NE(read("R.LOG").find(";" + machine() + ";ANA;JOAO;b"), std::string::npos);
  plat::unsetEnv("USERNAME");
}

TEST_F(ActivityLogTest, SemicolonWithoutHeaderAddsNothingButStillTrims) {
  write("R.LOG", std::string(62995, 'o'));
  GRAVALOG("R.LOG", Value("0123456789"), false, true, true);
  EXPECT_EQ(read("R.LOG"), std::string(62990, 'o'));
}

TEST_F(ActivityLogTest, CapDropsTheOldestPart) {
  std::string old;
  for (int i = 0; old.size() < 62990; ++i) old += "entrada " + std::to_string(i) + "\r\n";
  old.resize(62990);
  write("ERRO.LOG", old);
  const std::string text(98, 't');  // 98 + CR LF... the text itself is what counts
  GRAVALOG("ERRO.LOG", Value(std::string(100, 't')), false, false);
  std::string now = read("ERRO.LOG");
  EXPECT_EQ(now, old.substr(old.size() - 62900) + std::string(100, 't'));
  // Below the cap nothing is dropped.
  write("B.LOG", "abc\r\n");
  GRAVALOG("B.LOG", Value("d"), false);
  EXPECT_EQ(read("B.LOG"), "abc\r\nd\r\n");
}

TEST_F(ActivityLogTest, FailedWriteIsReported) {
  plat::FaultScope faults;
  plat::failWritesTo(faults, "F.LOG", plat::kDiskFull);
  user_.answers = {2, 1};  // "Ignorar" on the write alert, then "Ok"
  GRAVALOG("F.LOG", Value("x"));
  ASSERT_EQ(user_.alerts.size(), 2u);
  EXPECT_EQ(user_.alerts[1].message, "Erro 112 ao gravar o arquivo F.LOG");
  EXPECT_EQ(user_.alerts[1].buttons, std::vector<std::string>{"Ok"});
}

TEST_F(ActivityLogTest, FailedWriteWithADisplayTimeUsesTheMessageBox) {
  plat::FaultScope faults;
  plat::failWritesTo(faults, "F.LOG", plat::kDiskFull);
  user_.answers = {2};
  GRAVALOG("F.LOG", Value("x"), true, true, false, 4);
  ASSERT_EQ(user_.boxes.size(), 1u);
  EXPECT_EQ(user_.boxes[0], "Erro 112 ao gravar o arquivo F.LOG");
  EXPECT_EQ(user_.waits.back(), 4000);
  EXPECT_EQ(user_.closed.size(), 1u);
}

}  // namespace
}  // namespace kor::err
