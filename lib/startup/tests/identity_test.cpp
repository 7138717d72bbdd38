#include "startup/identity.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "runtime/runtime.h"

namespace kor::startup {
namespace {

class Identity : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetVars();
    saved_ = plat::getEnv("USERNAME");
    plat::setEnv("USERNAME", "ana");
  }
  void TearDown() override {
    if (saved_) plat::setEnv("USERNAME", *saved_);
    else plat::unsetEnv("USERNAME");
    rt::resetVars();
  }
  std::optional<std::string> saved_;
};

TEST_F(Identity, UsuarioModes) {
  std::string m = machineName();
  EXPECT_EQ(USUARIO(), m);
  EXPECT_EQ(USUARIO(2), m + "/ana");
  rt::publicVar("cUserLog", Value("JOAO    "));
  EXPECT_EQ(USUARIO(2), m + "/JOAO/ana");
  EXPECT_EQ(USUARIO(3, ";"), m + ";ana");
  EXPECT_EQ(USUARIO(7), m);
  rt::publicVar("cUserLog", Value(5));  // not a text: ignored
  EXPECT_EQ(USUARIO(2), m + "/ana");
  plat::setEnv("USERNAME", "");
  EXPECT_EQ(windowsUserName(), accountName());
}

TEST_F(Identity, WindowsFolderFromTheEnvironment) {
  auto keep = [](const char* n) { return plat::getEnv(n); };
  auto w = keep("WINDIR"), b = keep("WINBOOTDIR"), s = keep("SYSTEMROOT");
  plat::unsetEnv("WINDIR");
  plat::unsetEnv("WINBOOTDIR");
  plat::setEnv("SYSTEMROOT", "/opt/win");
  EXPECT_EQ(DIRWINDOWS(), "/opt/win");
  plat::setEnv("WINBOOTDIR", "/boot/win");
  EXPECT_EQ(DIRWINDOWS(), "/boot/win");
  plat::setEnv("WINDIR", "");
  EXPECT_EQ(DIRWINDOWS(), "/boot/win");  // empty values do not count
  plat::unsetEnv("WINBOOTDIR");
  plat::unsetEnv("SYSTEMROOT");
  EXPECT_EQ(DIRWINDOWS(), plat::separator() == '/' ? std::string(kPosixWindowsFolder) : std::string("C:\\WINDOWS"));
  auto restore = [](const char* n, const std::optional<std::string>& v) {
    if (v) plat::setEnv(n, *v);
    else plat::unsetEnv(n);
  };
  restore("WINDIR", w);
  restore("WINBOOTDIR", b);
  restore("SYSTEMROOT", s);
}

TEST(Between, BoundsIncluded) {
  EXPECT_TRUE(BETWEEN(Value(5), Value(5), Value(9)));
  EXPECT_FALSE(BETWEEN(Value(10), Value(5), Value(9)));
  EXPECT_TRUE(BETWEEN(Value("b"), Value("a"), Value("c")));
  EXPECT_FALSE(BETWEEN(Value("5"), Value(1), Value(9)));
}

}  // namespace
}  // namespace kor::startup
