#include <gtest/gtest.h>

#include "config/store.h"
#include "errors/tests/fixture.h"
#include "platform/fault.h"
#include "startup/identity.h"
#include "values/textform.h"

namespace kor::cfg {
namespace {

using testing::FolderTest;
using testing::ScriptedUser;

class StoreTest : public FolderTest {};

Value pair(const char* section, const char* key) { return Value::array({Value(section), Value(key)}); }

struct ReadCase {
  const char* name;
  const char* content;  // nullptr: the file does not exist
  Value key;
  Value def;
  Value expected;
};

TEST_F(StoreTest, ReadsByTheFileFormatRules) {
  const ReadCase cases[] = {
      {"missing file gives the default", nullptr, Value("X"), Value("d"), Value("d")},
      {"section any case", "[veltar]\r\ncaminho=C:\\VELTAR\\\r\n", pair("VELTAR", "CAMINHO"), Value(""),
       Value("C:\\VELTAR\\")},
      {"brackets in the section name", "[VELTAR]\r\nCAMINHO=X\r\n", pair("[VELTAR]", "CAMINHO"), Value(""), Value("X")},
      {"other section gives the default", "[outra]\r\ncaminho=C:\\VELTAR\\\r\n", pair("VELTAR", "CAMINHO"), Value(""),
       Value("")},
      {"no section finds any section", "[outra]\r\ncaminho=C:\\VELTAR\\\r\n", Value("CAMINHO"), Value(""),
       Value("C:\\VELTAR\\")},
      {"blanks around = are part of the key", "RDD = DBFCDX\r\n", Value("RDD"), Value("DBFNTX"), Value("DBFNTX")},
      {"numeric default converts", "POPMENU=3\r\n", Value("POPMENU"), Value(1), Value(3)},
      {"logical default converts", "LIGADO=true\r\n", Value("LIGADO"), Value::logical(false), Value::logical(true)},
      {"decimal comma with thousands points", "V=1.234,5\r\n", Value("V"), Value(0), Value::number(1234.5, 1)},
      {"date default converts", "D=25/12/21\r\n", Value("D"), Value::emptyDate(), Value::ymd(2021, 12, 25)},
      {"value holding =", "K=a=b  \r\n", Value("K"), Value(), Value("a=b")},
      {"leading blanks of the value stay", "K=  lead \r\n", Value("K"), Value(), Value("  lead")},
      {"key any case", "popmenu=7\r\n", Value("POPMENU"), Value(), Value("7")},
      {"first match wins", "K=1\r\nK=2\r\n", Value("K"), Value(), Value("1")},
      {"last line without CR LF", "[A]\r\nK=1\r\n[B]\r\nK=2", pair("B", "K"), Value(), Value("2")},
      {"a line feed alone does not end a line", "A=1\nB=2\r\n", Value("B"), Value("none"), Value("none")},
      {"header followed by text still enters", "[VELTAR] old\r\nK=9\r\n", pair("VELTAR", "K"), Value(), Value("9")},
      {"not found without default is nil", "A=1\r\n", Value("B"), Value(), Value()},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    plat::removeFile("T.INI");
    if (c.content) write("T.INI", c.content);
    Value got = READMEMO(c.key, false, c.def, "T.INI");
    EXPECT_EQ(got.typeLetter(), c.expected.typeLetter());
    EXPECT_TRUE(got.sameAs(c.expected)) << got.string() << " / " << got.num();
  }
}

struct PutCase {
  const char* name;
  const char* before;  // nullptr: no file
  const char* section;
  const char* key;
  const char* value;
  bool remove;
  const char* after;
};

TEST_F(StoreTest, WritesByTheFileFormatRules) {
  const std::string longWords = std::string(200, 'a') + " " + std::string(100, 'b');
  const std::string longSolid(300, 'c');
  const std::string tabbed = "\tk\tv";
  const std::string reflowIn = "  x=1  \r\n" + tabbed + "\r\n" + longWords + "\r\n" + longSolid + "\r\n\x1A\r\n";
  const std::string reflowOut = "x=1\r\nk   v\r\n" + std::string(200, 'a') + "\r\n" + std::string(100, 'b') +
                                "\r\n" + std::string(254, 'c') + "\r\n" + std::string(46, 'c') + "\r\nN=1\r\n";
  const PutCase cases[] = {
      {"new file", nullptr, "", "K", "v", false, "K=v\r\n"},
      {"new file with a section", nullptr, "veltar", "CAMINHO", "C:\\X", false, "[VELTAR]\r\nCAMINHO=C:\\X\r\n"},
      {"new key at the end of its section", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n", "A", "z", "3", false,
       "[A]\r\nx=1\r\nz=3\r\n[B]\r\ny=2\r\n"},
      {"missing section after a blank line", "x=1\r\n", "c", "k", "v", false, "x=1\r\n\r\n[C]\r\nk=v\r\n"},
      {"header of any case is the section", "[veltar]\r\nA=1\r\n", "VELTAR", "B", "2", false,
       "[veltar]\r\nA=1\r\nB=2\r\n"},
      {"replaced with the key as the caller wrote it", "POPMENU=1\r\n", "", "PopMenu", "2", false, "PopMenu=2\r\n"},
      {"replaced only inside the section", "[A]\r\nk=1\r\n[B]\r\nk=1\r\n", "B", "k", "5", false,
       "[A]\r\nk=1\r\n[B]\r\nk=5\r\n"},
      {"without a section every occurrence", "[A]\r\nk=1\r\n[B]\r\nk=2\r\n", "", "K", "5", false,
       "[A]\r\nK=5\r\n[B]\r\nK=5\r\n"},
      {"trailing blanks of the value dropped", nullptr, "", "K", "v  ", false, "K=v\r\n"},
      {"deletion", "a=1\r\nb=2\r\nc=3\r\n", "", "B", "", true, "a=1\r\nc=3\r\n"},
      {"deleting a missing key re-flows", "  a=1\t\r\n", "", "Z", "", true, "a=1\r\n"},
      {"leading empty lines removed", "\r\n\r\n a=1\r\n", "", "b", "2", false, "a=1\r\nb=2\r\n"},
      {"RDD = X does not define RDD", "RDD = X\r\n", "", "RDD", "DBFNTX", false, "RDD = X\r\nRDD=DBFNTX\r\n"},
      {"a shorter value than one holding =", "K=a=b\r\n", "", "K", "a", false, "K=a\r\n"},
      {"re-flow, trim, tabs and the end-of-file mark", reflowIn.c_str(), "", "N", "1", false, reflowOut.c_str()},
  };
  for (const PutCase& c : cases) {
    SCOPED_TRACE(c.name);
    plat::removeFile("T.INI");
    if (c.before) write("T.INI", c.before);
    Value key = *c.section ? pair(c.section, c.key) : Value(c.key);
    EXPECT_TRUE(PUTMEMO(key, false, Value(c.value), "T.INI", c.remove));
    EXPECT_EQ(read("T.INI"), c.after);
  }
}

TEST_F(StoreTest, ReflowedLinesHoldTheLimits) {
  std::string line;
  for (int i = 0; i < 120; ++i) line += (i % 7 ? "word\t" : "x ");
  std::vector<std::string> out;
  reflowLine(line, out);
  ASSERT_GT(out.size(), 1u);
  for (const std::string& l : out) {
    EXPECT_LE(l.size(), kStoreLineWidth);
    EXPECT_EQ(l.find('\t'), std::string::npos);
    ASSERT_FALSE(l.empty());
    EXPECT_NE(l.front(), ' ');
    EXPECT_NE(l.back(), ' ');
  }
}

TEST_F(StoreTest, UnchangedValueLeavesBytesAndTimeAlone) {
  const std::string content = "  A=1\r\n\tB=x\r\n";  // would be re-flowed by a rewrite
  write("T.INI", content);
  const int64_t old = 946684800000;  // 2000-01-01
  ASSERT_EQ(plat::setFileTime("T.INI", old), 0);
  EXPECT_TRUE(PUTMEMO(Value("B"), false, Value("x  "), "T.INI"));
  EXPECT_EQ(read("T.INI"), content);
  EXPECT_EQ(plat::statPath("T.INI").mtimeMillis, old);
}

TEST_F(StoreTest, CookieCfgReplacesTheDefaultStore) {
  EXPECT_EQ(SYSTOCFG("cookie.sys"), "cookie.sys");
  write("COOKIE.CFG", "POPMENU=4\r\n");
  EXPECT_EQ(SYSTOCFG("cookie.sys"), "COOKIE.CFG");
  EXPECT_EQ(SYSTOCFG("sub/COOKIE.SYS"), "sub/COOKIE.SYS");
  EXPECT_EQ(READMEMO(Value("POPMENU"), false, Value(1)).num(), 4);
  PUTMEMO(Value("OUTRA"), false, Value("x"));
  EXPECT_EQ(read("COOKIE.CFG"), "POPMENU=4\r\nOUTRA=x\r\n");
  EXPECT_FALSE(plat::fileExists("COOKIE.SYS"));
}

TEST_F(StoreTest, PerUserKeysCarryTheUserSettingsName) {
  const std::string machine(alltrim(startup::machineName()));
  PUTMEMO(Value("IMPRESSORA"), true, Value("3"));
  EXPECT_EQ(read("COOKIE.SYS"), machine + "IMPRESSORA=3\r\n");
  EXPECT_EQ(READMEMO(Value("IMPRESSORA"), true, Value(0)).num(), 3);
  EXPECT_TRUE(READMEMO(Value("IMPRESSORA"), false).isNil());
}

TEST_F(StoreTest, UserSettingsName) {
  const std::string machine = startup::machineName();
  EXPECT_EQ(USR_NAME(), machine);
  rt::publicVar("cUserLog", Value("JOAO  "));
  EXPECT_EQ(USR_NAME(), machine);  // no login kept by the application
  rt::publicVar("GETUSUARIO", Value::logical(false));
  EXPECT_EQ(USR_NAME(), "JOAO");
  plat::setEnv("AMBIENTE", "KORVO-DEV");
  EXPECT_EQ(USR_NAME(), machine);  // the maker's environment ignores the login
  plat::setEnv("KOR_TEST_USER", "ana");
  rt::publicVar("USERNAME", Value("KOR_TEST_USER"));
  EXPECT_EQ(USR_NAME(), "ana");
  rt::publicVar("USERNAMEACCOUNT", Value::logical(true));
  EXPECT_EQ(USR_NAME(), startup::accountName());
  plat::unsetEnv("AMBIENTE");
  plat::unsetEnv("KOR_TEST_USER");
}

TEST_F(StoreTest, VerifiedStoreIsRewrittenAfterAShortWrite) {
  plat::FaultScope faults;
  auto orig = faults.original().write;
  int shortened = 0;
  // The first write to the store loses its last byte but reports success.
  plat::ops().write = [&](plat::Handle h, int64_t off, const void* buf, int64_t n) {
    if (shortened == 0 && n == 5) {
      ++shortened;
      plat::IoResult r = orig(h, off, buf, n - 1);
      return plat::IoResult{n, r.error};
    }
    return orig(h, off, buf, n);
  };
  PUTMEMO(Value("K"), false, Value("1"), "ZENO.SYS");
  EXPECT_EQ(shortened, 1);
  EXPECT_EQ(read("ZENO.SYS"), "K=1\r\n");
  EXPECT_NE(read("LOGSYS.LOG").find("Gravacao com erro\r\n"), std::string::npos);
}

TEST_F(StoreTest, FieldMemoryThroughTheActiveField) {
  ActiveField f;
  f.name = "CNOME";
  f.value = Value("     ");
  f.editText = "ana  ";
  Value assigned;
  int refreshed = 0;
  f.assign = [&](const Value& v) { assigned = v; };
  f.refresh = [&] { ++refreshed; };
  setActiveFieldProvider([&] { return &f; });
  {
    KOR_ROUTINE("CADASTRO");
    PUTMEMO(Value());
  }
  EXPECT_EQ(read("COOKIE.SYS"), "CADASTROCNOME=ana\r\n");
  {
    KOR_ROUTINE("CADASTRO");
    GETMEMO();
  }
  EXPECT_EQ(assigned.string(), "ana  ");
  EXPECT_EQ(refreshed, 1);
  setActiveFieldProvider(nullptr);
}

TEST_F(StoreTest, RememberedAnswersOfTheDialogue) {
  EXPECT_EQ(rememberedAnswer("ATUALIZA"), 0);
  rememberAnswer("(b)ATUALIZA", 3);
  EXPECT_EQ(read("COOKIE1.SYS"), std::string(alltrim(startup::machineName())) + "ATUALIZA=3\r\n");
  EXPECT_EQ(rememberedAnswer("ATUALIZA"), 3);
}

TEST_F(StoreTest, RoutinesByName) {
  registerRoutines();
  rt::callRoutine("PUTMEMO", Args{Value("K"), Value(), Value("v"), Value("R.SYS")});
  EXPECT_EQ(rt::callRoutine("READMEMO", Args{Value("K"), Value(), Value(), Value("R.SYS")}).string(), "v");
  rt::publicVar("TXT", Value(""));
  Value ok = rt::callRoutine("FMEMOREAD", Args{Value("R.SYS"), rt::varRef("TXT")});
  EXPECT_TRUE(ok.log());
  EXPECT_EQ(rt::getVar("TXT").string(), "K=v\r\n");
  EXPECT_TRUE(rt::callRoutine("MEMOWRITE", Args{Value("W.TXT"), Value("abc"), Value::logical(true)}).log());
  EXPECT_EQ(read("W.TXT"), "abc\r\n");
}

}  // namespace
}  // namespace kor::cfg
