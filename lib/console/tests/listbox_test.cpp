// The list chooser: moving, scrolling, choosing, and the key handler's
// modes and actions as the selection widgets use them.
#include "console/listbox.h"

#include "console/routines.h"
#include "console/tests/fixture.h"

namespace kor::con::test {
namespace {

class ListTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    registerRoutines();
    setColor("W/N,N/W,,,W+/N");
    for (int i = 1; i <= 12; ++i) chooser.items.push_back("Item " + std::to_string(i));
    chooser.top = 5;
    chooser.left = 10;
    chooser.bottom = 9;  // five rows
    chooser.right = 19;
  }
  ListSpec chooser;
};

TEST_F(ListTest, ShowsTheWindowAndChoosesWithEnter) {
  std::vector<std::string> rows;
  std::string colours;
  h->probe([&] {
     for (int r = 5; r <= 9; ++r) rows.push_back(h->rowText(r).substr(10, 10));
     colours = h->rowColors(5) + "|" + h->rowColors(6);
   }).type({key::Down, key::Down, key::Enter});
  std::vector<std::string> want = {"Item 1    ", "Item 2    ", "Item 3    ", "Item 4    ", "Item 5    "};
  EXPECT_EQ(listChoose(chooser), 3);
  EXPECT_EQ(rows, want);
  EXPECT_EQ(colours, "W/N*10 N/W*10 W/N*60|W/N*80");
}

TEST_F(ListTest, MovementKeys) {
  struct Case {
    const char* name;
    std::vector<int> keys;
    int result;
  };
  const Case cases[] = {
      {"up at the top stays", {key::Up, key::Enter}, 1},
      {"pgdn", {key::PgDn, key::Enter}, 6},
      {"pgdn twice", {key::PgDn, key::PgDn, key::Enter}, 11},
      {"pgdn at the end", {key::PgDn, key::PgDn, key::PgDn, key::PgDn, key::Enter}, 12},
      {"end", {key::End, key::Enter}, 12},
      {"ctrl+pgdn then pgup", {key::CtrlPgDn, key::PgUp, key::Enter}, 7},
      {"home", {key::End, key::Home, key::Enter}, 1},
      {"ctrl+end: last in window", {key::CtrlEnd, key::Enter}, 5},
      {"ctrl+home: first in window", {key::End, key::CtrlHome, key::Enter}, 8},
      {"wheel", {key::WheelBackward, key::WheelBackward, key::WheelForward, key::Enter}, 2},
      {"letter", {'i', key::Enter}, 2},
      {"esc", {key::Down, key::Esc}, 0},
      {"left", {key::Left}, 0},
      {"right", {key::Right}, 0},
      {"close request", {key::Close}, 0},
  };
  for (const Case& c : cases) {
    h->type(c.keys);
    EXPECT_EQ(listChoose(chooser), c.result) << c.name;
  }
}

TEST_F(ListTest, ScrollingKeepsTheCurrentItemInTheWindow) {
  std::string shown;
  h->type({key::End}).probe([&] { shown = h->rowText(5).substr(10, 10) + "/" + h->rowText(9).substr(10, 10); });
  h->type({key::Esc});
  listChoose(chooser);
  EXPECT_EQ(shown, "Item 8    /Item 12   ");
  // Starting on item 10 in the window's third row.
  chooser.initial = 10;
  chooser.initialRow = 2;
  h->probe([&] { shown = h->rowText(5).substr(10, 10); }).type({key::Enter});
  EXPECT_EQ(listChoose(chooser), 10);
  EXPECT_EQ(shown, "Item 8    ");
}

TEST_F(ListTest, ItemsThatCannotBeChosenAreSkipped) {
  chooser.selectable = {true, false, false, true};
  h->type({key::Down, key::Enter});
  EXPECT_EQ(listChoose(chooser), 4);
  EXPECT_EQ(h->cell(6, 10).attr, 0x0F);  // shown in the unselected colour
  chooser.initial = 2;  // not selectable: the next one is current
  h->type({key::Enter});
  EXPECT_EQ(listChoose(chooser), 4);
  chooser.selectable.assign(12, false);
  int modes = -1;
  chooser.handler = [&](int mode, int, int) {
    modes = mode;
    return kListContinue;
  };
  EXPECT_EQ(listChoose(chooser), 0);
  EXPECT_EQ(modes, kListNoItem);
}

TEST_F(ListTest, MouseChoosesTheClickedItem) {
  h->mouse(key::LeftDown, 7, 12);
  EXPECT_EQ(listChoose(chooser), 3);
  h->mouse(key::LeftDown, 2, 2).type({key::Enter});  // outside: ignored
  EXPECT_EQ(listChoose(chooser), 1);
}

TEST_F(ListTest, TheHandlerSeesModesAndAnswersWithActions) {
  std::vector<std::string> calls;
  chooser.handler = [&](int mode, int cur, int row) {
    calls.push_back(std::to_string(mode) + ":" + std::to_string(cur) + "@" + std::to_string(row) + "/" +
                    std::to_string(lastKey()));
    if (mode != kListException) return kListContinue;
    if (lastKey() == key::Enter) return kListSelect;
    if (lastKey() == key::Esc) return kListAbort;
    return kListGoto;
  };
  // The handler is not called before the first key; a movement with no key
  // waiting gives an idle call; a key it does not handle is an exception.
  pushKey(key::Right);
  h->type({key::Up, key::Down, 'I', key::Enter});
  EXPECT_EQ(listChoose(chooser), 3);
  std::vector<std::string> want = {"3:1@0/4", "1:1@0/5", "0:2@1/24", "3:2@1/73", "3:3@2/13"};
  EXPECT_EQ(calls, want);

  calls.clear();
  chooser.initial = 12;
  h->type({key::Down, key::PgDn, key::Esc});
  EXPECT_EQ(listChoose(chooser), 0);
  want = {"2:12@4/24", "2:12@4/3", "3:12@4/27"};
  EXPECT_EQ(calls, want);
}

TEST_F(ListTest, AHandlerCanWrapByPlacingKeys) {
  // The file picker's handler: past the top, go to the last item; past the
  // bottom, to the first.
  chooser.handler = [](int mode, int, int) {
    if (mode == kListHitTop) pushKey(key::CtrlPgDn);
    if (mode == kListHitBottom) pushKey(key::CtrlPgUp);
    if (mode == kListException) return lastKey() == key::Enter ? kListSelect : kListAbort;
    return kListContinue;
  };
  h->type({key::Up, key::Enter});
  EXPECT_EQ(listChoose(chooser), 12);
  chooser.initial = 12;
  h->type({key::Down, key::Down, key::Enter});
  EXPECT_EQ(listChoose(chooser), 2);
}

TEST_F(ListTest, ClicksAreExceptionsForAHandlerAfterTheItemBecomesCurrent) {
  int seen = 0;
  chooser.handler = [&](int mode, int cur, int) {
    if (mode == kListException && lastKey() == key::LeftDown) {
      seen = cur;
      return kListSelect;
    }
    return kListContinue;
  };
  h->mouse(key::LeftDown, 8, 11);
  EXPECT_EQ(listChoose(chooser), 4);
  EXPECT_EQ(seen, 4);
}

TEST_F(ListTest, BoundKeysRunWhileTheListWaits) {
  int ran = 0;
  setKey(key::fn(1), makeBlock([&](Args&) {
           ++ran;
           EXPECT_EQ(runningList().current, 2);
           return Value();
         }));
  h->type({key::Down, key::fn(1), key::Enter});
  EXPECT_EQ(listChoose(chooser), 2);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(runningList().current, 0);
}

TEST_F(ListTest, ByNameWithARoutineAsHandler) {
  std::vector<int> modes;
  rt::registerRoutine("TECLASLISTA", [&](Args& a) {
    modes.push_back(static_cast<int>(a[0].integer()));
    return Value(a[0].integer() == kListException ? 1 : 2);
  });
  Value items = Value::array({Value("um"), Value("dois"), Value("tres")});
  h->type({key::Down, key::Enter});
  EXPECT_EQ(rt::callRoutine("ACHOICE", Args{Value(1), Value(1), Value(3), Value(10), items, Value::logical(true),
                                            Value("TeclasLista")})
                .integer(),
            2);
  EXPECT_EQ(modes, (std::vector<int>{kListIdle, kListException}));
  h->type({key::Down, key::Enter});
  EXPECT_EQ(rt::callRoutine("ACHOICE", Args{Value(1), Value(1), Value(3), Value(10), items,
                                            Value::array({Value::logical(true), Value(".F."), Value("1 = 1")})})
                .integer(),
            3);
}

}  // namespace
}  // namespace kor::con::test

namespace kor::con::test {
namespace {

TEST_F(ListTest, AHandlerThatMarksAnItemShowsTheMark) {
  // The file picker's way: Space puts a mark in the item's last position of
  // the list it passed, and the chooser shows it at once.
  Value items = Value::array({Value(" um   "), Value(" dois "), Value(" tres ")});
  rt::publicVar("AITENS", items);
  rt::registerRoutine("MARCALISTA", [](Args& a) {
    if (a[0].integer() != kListException) return Value(2);
    if (lastKey() == key::Esc) return Value(0);
    if (lastKey() != key::Space) return Value(3);
    Value* list = rt::findVar("AITENS");
    Value& item = list->derefMut().items()[static_cast<size_t>(a[1].integer() - 1)];
    std::string t = item.string();
    t.back() = t.back() == ' ' ? '\xFB' : ' ';
    item = Value(t);
    return Value(2);
  });
  std::string shown;
  h->type({key::Down, key::Space}).probe([&] { shown = h->rowText(2).substr(1, 6); });
  h->type({'t'}).probe([&] { shown += "|" + std::to_string(runningList().current); }).type({key::Esc});
  EXPECT_EQ(rt::callRoutine("ACHOICE", Args{Value(1), Value(1), Value(3), Value(10), items, Value::logical(true),
                                            Value("MarcaLista")})
                .integer(),
            0);
  EXPECT_EQ(shown, " dois\xFB|3");
  EXPECT_EQ(rt::getVar("AITENS").at(1).string(), " dois\xFB");
}

}  // namespace
}  // namespace kor::con::test
