#include "runtime/error.h"

#include <gtest/gtest.h>

#include "runtime/frames.h"
#include "runtime/registry.h"
#include "values/cp850.h"

namespace kor::rt {
namespace {

class Errors : public ::testing::Test {
 protected:
  void SetUp() override { resetFrames(); }
  void TearDown() override { setErrorHandler(nullptr); }
};

TEST_F(Errors, RecordGetsDescriptionLocationAndStack) {
  ErrorRecord seen;
  setErrorHandler([&](ErrorRecord& e) {
    seen = e;
    return ErrorAnswer::byDefault();
  });
  {
    FrameGuard outer("MAIN");
    FrameGuard inner("ABREARQ");
    setLine(77);
    ErrorRecord e = makeError(kErrOpen, "DBFNTX", 1001, "", "RICLAS.DBF", 2);
    raise(e);
  }
  EXPECT_EQ(seen.description, "Erro de abertura");
  EXPECT_EQ(seen.procName, "ABREARQ");
  EXPECT_EQ(seen.procLine, 77);
  EXPECT_EQ(seen.moduleName, "error_test.cpp");
  ASSERT_EQ(seen.stack.size(), 2u);
  EXPECT_EQ(seen.stack[1].routine, "MAIN");
  EXPECT_EQ(seen.tries, 1);
  EXPECT_EQ(genCodeText(34), "Tamanho do dato muito longo");
  EXPECT_EQ(genCodeText(9), "");
  EXPECT_EQ(genCodeText(5), "Divisão por zero"_cp);
}

TEST_F(Errors, RetryLoopActsOnTheAnswers) {
  int calls = 0;
  setErrorHandler([&](ErrorRecord& e) { return e.tries < 3 ? ErrorAnswer::retry() : ErrorAnswer::byDefault(); });
  LoopResult r = raiseLoop([&](ErrorRecord& rec) {
    ++calls;
    rec = makeError(kErrWrite, "BASE", 1);
    return false;
  });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(calls, 3);
  setErrorHandler([](ErrorRecord&) { return ErrorAnswer::substitute(Value(7)); });
  Value v = callRoutine("NO_SUCH_ROUTINE_X");
  EXPECT_EQ(v.num(), 7);
}

TEST_F(Errors, GuardReceivesTheRecordAndUnwindsFrames) {
  bool handlerCalled = false;
  setErrorHandler([&](ErrorRecord&) {
    handlerCalled = true;
    return ErrorAnswer::byDefault();
  });
  FrameGuard f("CALLER");
  int depthBefore = depth();
  ErrorRecord caught;
  bool completed = guard(
      [&] {
        FrameGuard g("DEEP");
        ErrorRecord e = makeError(kErrCorruption, "DBFNTX", 1012, "", "RICLAS.ntx");
        raise(e);
        FAIL() << "raise must not return inside a guard";
      },
      [&](ErrorRecord& e) { caught = e; });
  EXPECT_FALSE(completed);
  EXPECT_FALSE(handlerCalled);
  EXPECT_EQ(caught.genCode, kErrCorruption);
  EXPECT_EQ(caught.procName, "DEEP");
  EXPECT_EQ(depth(), depthBefore);
  EXPECT_FALSE(inGuard());
  EXPECT_TRUE(guard([] {}, nullptr));
}

TEST_F(Errors, ProgramExitUnwindsToRunProgramAndRunsShutdown) {
  bool shutdownRan = false;
  int code = runProgram(
      [] {
        FrameGuard f("MAIN");
        exitProgram(1);
      },
      [&] { shutdownRan = true; });
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(shutdownRan);
  EXPECT_EQ(depth(), 0);
  setExitCode(0);
  EXPECT_EQ(runProgram([] {}, nullptr), 0);
}

TEST_F(Errors, PlainHandlerAnswersZeroForDivisionByZeroAndEndsOtherwise) {
  ErrorRecord z = makeError(kErrZeroDiv, "BASE", 1340);
  ErrorAnswer a = raise(z);
  EXPECT_EQ(a.kind, ErrorAnswer::Substitute);
  EXPECT_EQ(a.value.num(), 0);
  int code = runProgram(
      [] {
        ErrorRecord e = makeError(kErrArg, "BASE", 1081, "+");
        raise(e);
      },
      nullptr);
  EXPECT_EQ(code, 1);
  setExitCode(0);
}

TEST(Frames, LiteralModuleRoutineAndLineMeanWhatTheySay) {
  resetFrames();
  {
    FrameGuard f("clasupd.prg", "MAIN", 40);
    auto st = callStack();
    ASSERT_EQ(st.size(), 1u);
    EXPECT_EQ(st[0].module, "clasupd.prg");
    EXPECT_EQ(st[0].routine, "MAIN");
    EXPECT_EQ(st[0].line, 40);
  }
  {
    FrameGuard g("ROTINA");
    EXPECT_EQ(callStack()[0].module, "error_test.cpp");
  }
}

TEST(Frames, LocationTexts) {
  struct Case {
    FrameInfo f;
    const char* loc;
    const char* full;
  } cases[] = {
      {{"clasupd.cpp", "ACOMODA", 12}, "clasupd->ACOMODA(12)", "clasupd->ACOMODA(12)"},
      {{"main.cpp", "MAIN", 3}, "MAIN(3)", "main->MAIN(3)"},
      {{"abrearq.cpp", "(b)ABREARQ", 40}, "(b)ABREARQ(40)", "abrearq->(b)ABREARQ(40)"},
      {{"", "X", 1}, "X(1)", "->X(1)"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(locationText(c.f), c.loc);
    EXPECT_EQ(fullLocationText(c.f), c.full);
  }
}

}  // namespace
}  // namespace kor::rt
