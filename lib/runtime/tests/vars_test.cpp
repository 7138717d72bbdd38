#include "runtime/vars.h"

#include <gtest/gtest.h>

#include "runtime/frames.h"

namespace kor::rt {
namespace {

class Vars : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVars();
    resetFrames();
  }
};

TEST_F(Vars, NamesIgnoreCaseAndPrivatesEndWithTheirFrame) {
  publicVar("cUserLog", Value("pub"));
  EXPECT_TRUE(varExists("CUSERLOG"));
  {
    FrameGuard f("OUTER");
    privateVar("cuserlog", Value("priv"));
    EXPECT_EQ(getVar("CUserLog").str(), "priv");
    {
      FrameGuard g("INNER");
      EXPECT_EQ(getVar("cUserLog").str(), "priv");  // visible to callees
      assignVar("cUserLog", Value("changed"));        // assigns the visible one
      assignVar("nNew", Value(5));                    // creates a private of INNER
      EXPECT_TRUE(varExists("NNEW"));
    }
    EXPECT_FALSE(varExists("nNew"));
    EXPECT_EQ(getVar("cUserLog").str(), "changed");
  }
  EXPECT_EQ(getVar("cUserLog").str(), "pub");
  EXPECT_FALSE(varExists("missing"));
  EXPECT_TRUE(getVar("missing").isNil());
}

TEST_F(Vars, ByReferenceArgumentsChangeTheCallersVariable) {
  FrameGuard f("CALLER");
  privateVar("cUnit", Value(""));
  Args args{Value(1536), varRef("cUnit")};
  args.set(1, Value("KB"));
  EXPECT_EQ(getVar("cUnit").str(), "KB");
}

TEST_F(Vars, ElementsOfAnExistingList) {
  publicVar("aList", Value::array({Value(1), Value::array({Value("a"), Value("b")})}));
  struct Case {
    const char* text;
    bool found;
  } cases[] = {{"aList", true},     {"ALIST[1]", true},   {"alist[2][2]", true}, {"aList[3]", false},
               {"aList[0]", false}, {"aList[1][1]", false}, {"aList[x]", false}, {"nope[1]", false}};
  for (auto& c : cases) EXPECT_EQ(varElement(c.text) != nullptr, c.found) << c.text;
  *varElement("aList[2][2]") = Value("z");
  EXPECT_EQ(getVar("aList").at(1).at(1).str(), "z");
}

TEST_F(Vars, ReleaseAndNames) {
  publicVar("B");
  publicVar("A");
  EXPECT_EQ(varNames(), (std::vector<std::string>{"A", "B"}));
  releaseVar("a");
  EXPECT_FALSE(varExists("A"));
}

}  // namespace
}  // namespace kor::rt
