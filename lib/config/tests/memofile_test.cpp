#include <gtest/gtest.h>

#include "config/memofile.h"
#include "config/store.h"
#include "errors/tests/fixture.h"
#include "os/paths.h"
#include "platform/fault.h"

namespace kor::cfg {
namespace {

using testing::FolderTest;
using testing::ScriptedUser;

class MemoFileTest : public FolderTest {
 protected:
  plat::VirtualClock clock_;
  ScriptedUser user_;
  std::string full(const std::string& f) { return os::_TRUENAME(f); }
  bool logHas(const std::string& line) { return read("ERRO.LOG").find(line + "\r\n") != std::string::npos; }
  bool noTempLeft() {
    for (auto& e : plat::listDir(".", "*~*")) {
      ADD_FAILURE() << "left behind: " << e.name;
      return false;
    }
    return true;
  }
};

const std::vector<std::string> kWriteButtons = {"Repetir", "Ignorar", "Abortar"};

TEST_F(MemoFileTest, ReadOfAMissingFileIsEmptyAndTrue) {
  std::string t = "old";
  EXPECT_TRUE(FMEMOREAD("NADA.TXT", t));
  EXPECT_EQ(t, "");
  EXPECT_TRUE(user_.alerts.empty());
}

TEST_F(MemoFileTest, ReadTriesFourTimesThenAsksAndAborts) {
  write("A.TXT", "conteudo");
  plat::FaultScope faults;
  plat::failOpen(faults, "A.TXT", plat::kSharingViolation);
  user_.answers = {2};  // "Abortar"
  std::string t;
  EXPECT_FALSE(FMEMOREAD("A.TXT", t));
  EXPECT_EQ(t, "");
  EXPECT_EQ(user_.waits, (std::vector<int64_t>{3000, 3000, 3000}));
  ASSERT_EQ(user_.alerts.size(), 1u);
  EXPECT_EQ(user_.alerts[0].message, "Erro!;Erro 32 na leitura do arquivo A.TXT");
  EXPECT_EQ(user_.alerts[0].buttons, (std::vector<std::string>{"Repetir", "Abortar"}));
  EXPECT_EQ(user_.alerts[0].timeoutMs, 5000);
  EXPECT_TRUE(logHas("Erro 32 na leitura do arquivo A.TXT, abortado pelo usuario"));
}

TEST_F(MemoFileTest, ReadRetriedAfterTheAlertTimesOut) {
  write("A.TXT", "conteudo");
  std::string t;
  {
    plat::FaultScope faults;
    plat::failOpen(faults, "A.TXT", plat::kAccessDenied, 5);  // 4 attempts, then 1 more after "Repetir"
    EXPECT_TRUE(FMEMOREAD("A.TXT", t));
  }
  EXPECT_EQ(t, "conteudo");
  ASSERT_EQ(user_.alerts.size(), 1u);  // timed out: counts as "Repetir"
  EXPECT_EQ(clock_.elapsed(), 3 * 3000 + 5000 + 3000);
  EXPECT_TRUE(logHas("Erro 5 na leitura do arquivo A.TXT, repetido pelo usuario"));
}

TEST_F(MemoFileTest, CreateRetriesAccessDeniedThenAsks) {
  {
    plat::FaultScope faults;
    plat::failOpen(faults, "N.TXT.~", plat::kAccessDenied, 5);  // 1 + 3 automatic, 1 after "Repetir"
    EXPECT_TRUE(MEMOWRITE("N.TXT", "abc"));
  }
  EXPECT_EQ(read("N.TXT"), "abc");
  ASSERT_EQ(user_.alerts.size(), 2u);  // after "Repetir" the automatic retries are not granted again
  EXPECT_EQ(user_.alerts[0].message, "Erro 5 ao criar o arquivo;" + full("N.TXT"));
  EXPECT_EQ(user_.alerts[0].buttons, kWriteButtons);
  EXPECT_EQ(user_.alerts[0].timeoutMs, 5000);
  EXPECT_TRUE(logHas("Erro 5 ao criar o arquivo;" + full("N.TXT")));
  EXPECT_TRUE(noTempLeft());
}

TEST_F(MemoFileTest, IgnoreGivesUpWithoutTouchingTheFile) {
  write("S.TXT", "antigo");
  plat::FaultScope faults;
  plat::failOpen(faults, "S.TXT", plat::kSharingViolation, 1);  // the existing file is busy
  user_.answers = {2};                                       // "Ignorar"
  EXPECT_FALSE(MEMOWRITE("S.TXT", "novo"));
  EXPECT_EQ(lastWriteError(), 32);
  ASSERT_EQ(user_.alerts.size(), 1u);
  EXPECT_EQ(user_.alerts[0].message, "Erro 32 ao abrir o arquivo;" + full("S.TXT"));
  EXPECT_EQ(read("S.TXT"), "antigo");
  EXPECT_FALSE(plat::fileExists("ERRO.LOG"));  // logged only when the user retries
}

TEST_F(MemoFileTest, OpenFailureLoggedWhenRetried) {
  write("S.TXT", "antigo");
  {
    plat::FaultScope faults;
    plat::failOpen(faults, "S.TXT", plat::kSharingViolation, 1);
    user_.answers = {1};  // "Repetir"
    EXPECT_TRUE(MEMOWRITE("S.TXT", "novo"));
  }
  EXPECT_EQ(read("S.TXT"), "novo");
  EXPECT_TRUE(logHas("Erro 32 ao abrir o arquivo;" + full("S.TXT")));
}

TEST_F(MemoFileTest, FullDiskNeverLeavesAHalfWrittenStore) {
  write("COOKIE.SYS", "A=1\r\nB=2\r\n");
  {
    plat::FaultScope faults;
    plat::failWritesTo(faults, "COOKIE.SYS", plat::kDiskFull, 4);  // the new content stops after 4 bytes
    user_.answers = {2};                                           // "Ignorar"
    EXPECT_TRUE(PUTMEMO(Value("C"), false, Value(std::string(500, 'x'))));
  }
  EXPECT_EQ(read("COOKIE.SYS"), "A=1\r\nB=2\r\n");
  ASSERT_EQ(user_.alerts.size(), 1u);
  EXPECT_EQ(user_.alerts[0].message, "Erro 112 ao gravar o arquivo;" + full("COOKIE.SYS"));
  EXPECT_TRUE(logHas("Erro 112 ao gravar o arquivo;" + full("COOKIE.SYS")));
  EXPECT_TRUE(noTempLeft());
}

TEST_F(MemoFileTest, ShortWriteWithAccessDeniedIsRetriedAutomatically) {
  {
    plat::FaultScope faults;
    auto orig = faults.original().write;
    int failing = 3;  // another program holds the file for a moment
    plat::ops().write = [&](plat::Handle h, int64_t off, const void* buf, int64_t n) {
      if (failing > 0) {
        --failing;
        return plat::IoResult{0, plat::kAccessDenied};
      }
      return orig(h, off, buf, n);
    };
    EXPECT_TRUE(MEMOWRITE("W.TXT", "dados"));
  }
  EXPECT_TRUE(user_.alerts.empty());
  EXPECT_EQ(clock_.elapsed(), 3000);
  EXPECT_EQ(read("W.TXT"), "dados");
}

TEST_F(MemoFileTest, FailingErrorLogDoesNotLogItselfForever) {
  {
    plat::FaultScope faults;
    plat::failWritesTo(faults, "X.TXT", plat::kDiskFull);
    plat::failWritesTo(faults, "ERRO.LOG", plat::kDiskFull);
    user_.answers = {2, 1, 2};  // "Ignorar" for ERRO.LOG, "Ok", "Ignorar" for X.TXT
    EXPECT_FALSE(MEMOWRITE("X.TXT", "abc"));
  }
  // X.TXT's failure, ERRO.LOG's own failure (not logged again), and the
  // activity log's "Ok" alert.
  ASSERT_EQ(user_.alerts.size(), 3u);
  EXPECT_EQ(user_.alerts[0].message, "Erro 112 ao gravar o arquivo;" + full("ERRO.LOG"));
  EXPECT_EQ(user_.alerts[1].message, "Erro 112 ao gravar o arquivo ERRO.LOG");
  EXPECT_EQ(user_.alerts[1].buttons, std::vector<std::string>{"Ok"});
  EXPECT_EQ(user_.alerts[2].message, "Erro 112 ao gravar o arquivo;" + full("X.TXT"));
  EXPECT_FALSE(plat::fileExists("X.TXT"));
  EXPECT_FALSE(plat::fileExists("ERRO.LOG"));
}

TEST_F(MemoFileTest, AbortEndsTheProgramThroughTheShutDown) {
  write("S.TXT", "antigo");
  bool shutdown = false;
  int code = rt::runProgram(
      [&] {
        plat::FaultScope faults;
        plat::failWritesTo(faults, "S.TXT", plat::kDiskFull);
        user_.answers = {3};  // "Abortar"
        MEMOWRITE("S.TXT", "novo");
        ADD_FAILURE() << "MEMOWRITE returned after Abortar";
      },
      [&] { shutdown = true; });
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(shutdown);
  EXPECT_EQ(read("S.TXT"), "antigo");
  EXPECT_TRUE(noTempLeft());
  rt::setExitCode(0);
}

TEST_F(MemoFileTest, LineEndFlag) {
  EXPECT_TRUE(MEMOWRITE("A.TXT", "x", true));
  EXPECT_EQ(read("A.TXT"), "x\r\n");
  EXPECT_TRUE(MEMOWRITE("A.TXT", "y\r\n", true));
  EXPECT_EQ(read("A.TXT"), "y\r\n");
  EXPECT_TRUE(MEMOWRITE("A.TXT", "", true));
  EXPECT_EQ(read("A.TXT"), "");
}

}  // namespace
}  // namespace kor::cfg
