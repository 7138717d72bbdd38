// The keyboard: the buffer, time-outs on the virtual clock, bindings run
// inside the central wait, the event mask and the mouse cell.
#include "console/tests/fixture.h"

namespace kor::con::test {
namespace {

using KeysTest = ConsoleTest;

TEST_F(KeysTest, BufferedKeysComeFirstAndInOrder) {
  h->type({'a'});
  pushKey(key::F1);
  pushKeys("xy");
  EXPECT_EQ(nextKey(), key::F1);
  EXPECT_EQ(inkey(Wait::forever()), key::F1);
  EXPECT_EQ(inkey(Wait::forever()), 'x');
  EXPECT_EQ(inkey(Wait::forever()), 'y');
  EXPECT_EQ(inkey(Wait::forever()), 'a');
  EXPECT_EQ(lastKey(), 'a');
  keyboard("q");
  keyboard("r");  // replaces
  EXPECT_EQ(inkey(Wait::none()), 'r');
  EXPECT_EQ(inkey(Wait::none()), 0);
  EXPECT_EQ(lastKey(), 'r');  // a read that gets nothing leaves the last key
}

TEST_F(KeysTest, TimeOutsRunOnTheClock) {
  int64_t t0 = clock.elapsed();
  EXPECT_EQ(inkey(Wait::seconds(5)), 0);
  EXPECT_EQ(clock.elapsed() - t0, 5000);
  h->after(1500, 'k');
  t0 = clock.elapsed();
  EXPECT_EQ(inkey(Wait::seconds(2.5)), 'k');
  EXPECT_EQ(clock.elapsed() - t0, 1500);
  h->after(3000, 'z');
  EXPECT_EQ(inkey(Wait::seconds(0.5)), 0);
  EXPECT_EQ(inkey(Wait::forever()), 'z');
  EXPECT_EQ(clock.elapsed() - t0, 4500);
  EXPECT_THROW(inkey(Wait::forever()), ScriptExhausted);
}

TEST_F(KeysTest, ClearingDropsTypeaheadButNotLaterKeys) {
  h->type({'a', 'b'});
  clock.advance(100);  // both typed while the program was busy
  h->after(50, 'c');
  pushKey('p');
  clearKeys();
  EXPECT_EQ(inkey(Wait::forever()), 'c');
}

TEST_F(KeysTest, BindingsRunInsideTheWaitWithTheirArguments) {
  std::vector<std::string> seen;
  setKey(key::F1, makeBlock([&](Args& a) {
           seen.push_back(a[0].string() + "/" + a[2].string());
           writeAt(0, 0, "help");
           return Value();
         }));
  setEditedVariableSource([] { return std::string("GNOME"); });
  h->type({key::F1, 'x'});
  {
    KOR_ROUTINE("MYFORM");
    EXPECT_EQ(waitKey(Wait::forever()), 'x');
  }
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "MYFORM/GNOME");
  EXPECT_EQ(shownRow(0), "help");
  // inkey itself leaves bindings alone.
  pushKey(key::F1);
  EXPECT_EQ(inkey(Wait::none()), key::F1);
  EXPECT_EQ(seen.size(), 1u);
  setEditedVariableSource(nullptr);
}

TEST_F(KeysTest, ABindingDoesNotReenterItself) {
  int runs = 0, inner = 0;
  setKey(key::fn(2), makeBlock([&](Args&) {
           ++runs;
           inner = waitKey(Wait::forever());  // F2 again arrives as a plain key
           return Value();
         }));
  h->type({key::fn(2), key::fn(2), 'e'});
  EXPECT_EQ(waitKey(Wait::forever()), 'e');
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(inner, key::fn(2));
}

TEST_F(KeysTest, RoutineNamesAsActionsAndRemoval) {
  int calls = 0;
  rt::registerRoutine("MYHELP", [&](Args& a) {
    ++calls;
    return Value();
  });
  EXPECT_TRUE(setKey(key::alt('S'), Value("MYHELP")).isNil());
  EXPECT_TRUE(hasBinding(287));
  h->type({287, key::Enter});
  EXPECT_EQ(waitKey(Wait::forever()), key::Enter);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(setKey(287, Value()).str(), "MYHELP");
  EXPECT_FALSE(hasBinding(287));
  {
    BindingsGuard guard;
    setKey(key::F1, Value("MYHELP"));
    setKey(key::Close, Value("MYHELP"));
  }
  EXPECT_TRUE(boundKeys().empty());
}

TEST_F(KeysTest, TheWaitsTimeOutCountsFromItsStartAcrossBindings) {
  setKey(key::F1, makeBlock([&](Args&) {
           clock.advance(4000);
           return Value();
         }));
  h->after(500, key::F1);
  int64_t t0 = clock.elapsed();
  EXPECT_EQ(waitKey(Wait::seconds(5)), 0);
  EXPECT_EQ(clock.elapsed() - t0, 5000);
}

TEST_F(KeysTest, TheEventMaskFiltersMouseEvents) {
  h->mouse(key::LeftDown, 3, 7).type({'k'});
  EXPECT_EQ(inkey(Wait::forever()), 'k');  // keyboard only by default
  h->mouse(key::LeftDown, 3, 7).mouse(key::MouseMove, 4, 8).type({'k'});
  EXPECT_EQ(inkey(Wait::forever(), kEvKeyboard | kEvLeftDown), key::LeftDown);
  EXPECT_EQ(mouseRow(), 3);
  EXPECT_EQ(mouseCol(), 7);
  int old = setEventMask(kEvAll);
  EXPECT_EQ(old, kEvKeyboard);
  EXPECT_EQ(inkey(Wait::forever()), key::MouseMove);
  EXPECT_EQ(mouseRow(), 4);
  setEventMask(old);
}

TEST_F(KeysTest, TonesWaitTheirDuration) {
  int64_t t0 = clock.elapsed();
  tone(500, 1.0 / 18);
  EXPECT_EQ(clock.elapsed() - t0, 56);
  ASSERT_EQ(h->tones().size(), 1u);
  EXPECT_EQ(h->tones()[0].first, 500);
  beep();
  flashWindow();
  EXPECT_EQ(h->beeps(), 1);
  EXPECT_EQ(h->flashes(), 1);
}

TEST_F(KeysTest, WithoutAConsoleAnEndlessReadGetsTheCloseRequest) {
  setBackend(nullptr);
  EXPECT_EQ(inkey(Wait::forever()), key::Close);
  h = &installHeadless();
}

TEST(KeyCodesTest, TheClassicCodes) {
  EXPECT_EQ(key::fn(1), 28);
  EXPECT_EQ(key::fn(2), -1);
  EXPECT_EQ(key::fn(10), -9);
  EXPECT_EQ(key::altFn(1), -30);
  EXPECT_EQ(key::altFn(5), -34);
  EXPECT_EQ(key::alt('S'), 287);
  EXPECT_EQ(key::alt('q'), 272);
  EXPECT_EQ(key::alt('A'), 286);
  EXPECT_EQ(key::alt('C'), 302);
  EXPECT_EQ(key::alt('B'), 304);
  EXPECT_EQ(key::alt('G'), 290);
  EXPECT_EQ(key::alt('E'), 274);
  EXPECT_EQ(key::alt('I'), 279);
  EXPECT_EQ(key::altChar(287), 'S');
  EXPECT_EQ(key::ctrl('C'), 515);
  EXPECT_EQ(key::ctrl('w'), key::CtrlW);
}

}  // namespace
}  // namespace kor::con::test
