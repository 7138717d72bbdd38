// Windows, message boxes, the confirmation dialogue, prompts and hints, as
// the user sees them on a 25 x 80 screen.
#include "console/boxes.h"

#include "console/routines.h"
#include "console/tests/expected.h"
#include "console/tests/fixture.h"

namespace kor::con::test {
namespace {

class BoxesTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    registerRoutines();
    setAnswerMemory({});
    patternScreen();
  }
};

TEST_F(BoxesTest, WindowWithTitlesAndShadow) {
  struct Case {
    int pos;
    int row, col;
  };
  // Window rows 5 to 10, columns 10 to 30, title "Teste" (5 characters).
  const Case cases[] = {{11, 5, 12}, {12, 5, 17}, {13, 5, 23}, {21, 10, 12}, {22, 10, 17}, {23, 10, 23}, {15, 5, 17}};
  for (const Case& c : cases) {
    patternScreen();
    std::string before = saveScreen();
    ExpectedScreen want(*h);
    want.window(5, 10, 10, 30, 0x70);
    want.shadow(5, 10, 10, 30);
    want.text(c.row, c.col, "Teste", 0x70);
    setColor("GR+/B");
    EXPECT_TRUE(DESJAN(5.9, 10.2, 10, 30, false, "Teste", c.pos));
    EXPECT_EQ(want.diff(*h), "") << "title position " << c.pos;
    EXPECT_EQ(colorText(), "GR+/B");
    EXPECT_EQ(cursorShape(), kCursorNormal);
    restoreScreen(before);
  }
  // Title position 23: its last character three columns left of the corner.
  DESJAN(5, 10, 10, 30, false, "Teste", 23);
  EXPECT_EQ(h->cell(10, 27).ch, 'e');
  EXPECT_EQ(h->cell(10, 28).ch, static_cast<uint8_t>("─"_cp[0]));
  // LCONFCOR is created as false when missing.
  EXPECT_TRUE(rt::getVar("LCONFCOR").isLogical());
  EXPECT_FALSE(rt::getVar("LCONFCOR").log());
}

TEST_F(BoxesTest, WindowColoursFromTheConfiguredSchemeAndFlatWindows) {
  rt::publicVar("LCONFCOR", Value::logical(true));
  rt::publicVar("CCORJAN", Value("W+/B"));
  rt::publicVar("CCORMENU", Value("N/BG,W+/N"));
  DESJAN(2, 2, 6, 20, false, {}, 13, {}, false);
  EXPECT_EQ(h->cell(2, 2).attr, 0x1F);
  EXPECT_EQ(h->cell(7, 3).attr, (0x07 + (7 % 3) * 0x10));  // no shadow
  DESJAN(2, 40, 6, 60, true);
  EXPECT_EQ(h->cell(3, 45).attr, 0x30);
  EXPECT_EQ(h->cell(7, 45).attr, 0x08);

  rt::publicVar("NEWWINDOW", Value::logical(true));
  rt::publicVar("CCORALERT", Value("W+/R"));
  DESJAN(12, 10, 15, 29, false, "Flat");
  EXPECT_EQ(shownRow(12).substr(10, 20), "        Flat        ");
  EXPECT_EQ(h->cell(12, 10).attr, 0x4F);
  EXPECT_EQ(h->cell(13, 10).ch, ' ');  // no frame
  EXPECT_EQ(h->cell(13, 10).attr, 0x1F);
  EXPECT_EQ(h->cell(16, 11).attr, (0x07 + (16 % 3) * 0x10));  // no shadow by default
  EXPECT_EQ(row(), 12);
  EXPECT_EQ(col(), 10);
}

TEST_F(BoxesTest, ShadowAtTheScreenEdges) {
  ExpectedScreen want(*h);
  BOXSHADOW(20, 5, 24, 10);  // bottom is the last row: that row itself darkens
  for (int c = 6; c <= 11; ++c) want.colour(24, c, 0x08);
  for (int r = 21; r <= 24; ++r) want.colour(r, 11, 0x08);
  BOXSHADOW(3, 70, 6, 79);  // right is the last column
  for (int c = 71; c <= 79; ++c) want.colour(7, c, 0x08);
  for (int r = 4; r <= 6; ++r) want.colour(r, 79, 0x08);
  EXPECT_EQ(want.diff(*h), "");
}

TEST_F(BoxesTest, MessageBoxOfFiveLines) {
  std::string before = saveScreen();
  std::string longest(60, 'L');
  Value msg = Value::array({Value("um"), Value(longest), Value("  tres  "), Value("quatro"), Value("cinco")});
  ExpectedScreen want(*h);
  want.window(7, 8, 13, 70, 0x70);
  want.shadow(7, 8, 13, 70);
  const char* lines[] = {"um", longest.c_str(), "tres", "quatro", "cinco"};
  for (int i = 0; i < 5; ++i) {
    std::string l = lines[i];
    want.text(8 + i, 10, std::string((60 - l.size()) / 2, ' ') + l, 0x70);
  }
  setPos(3, 4);
  Value id = MSG_BOX(msg);
  EXPECT_EQ(want.diff(*h), "");
  EXPECT_EQ(row(), 3);
  EXPECT_EQ(col(), 4);
  ASSERT_TRUE(id.isNumber());
  EXPECT_GE(id.integer(), 1);
  EXPECT_LE(id.integer(), 999999);
  Value reg = rt::getVar("_ID_MSG");
  ASSERT_EQ(reg.size(), 1u);
  EXPECT_EQ(reg.at(0).at(0).integer(), id.integer());
  EXPECT_EQ(reg.at(0).at(1).integer(), 7);
  EXPECT_EQ(reg.at(0).at(2).integer(), 8);
  EXPECT_EQ(reg.at(0).at(3).integer(), 14);
  EXPECT_EQ(reg.at(0).at(4).integer(), 71);
  EXPECT_TRUE(MSG_BOX(id).isNil());
  EXPECT_EQ(saveScreen(), before);
  // Closing again without an identifier restores the same cells again.
  writeAt(10, 20, "scribble");
  MSG_BOX();
  EXPECT_EQ(saveScreen(), before);
  EXPECT_EQ(rt::getVar("_ID_MSG").size(), 1u);  // entries stay
}

TEST_F(BoxesTest, MessageBoxOfOneLineWithTitleAndColours) {
  ExpectedScreen want(*h);
  want.window(9, 18, 11, 60, 0x4F);
  want.shadow(9, 18, 11, 60);
  want.text(9, 18 + (42 - 7) / 2, "Aten\x87\xC6o", 0x4F);
  want.text(10, 20, std::string((40 - 10) / 2, ' ') + "Aguarde...", 0x4F);
  MSG_BOX(Value("Aguarde..."), Value("W+/R,N/W"), {}, {}, Value("Aten\x87\xC6o"));
  EXPECT_EQ(want.diff(*h), "");
  // Without a colour: CCORJAN when it exists, else the current colour's
  // first pair reversed.
  setColor("GR+/B,W/N");
  MSG_BOX(Value("x"));
  EXPECT_EQ(h->cell(10, 19).attr, 0x69);  // B/GR+
  rt::publicVar("CCORJAN", Value("B/W"));
  MSG_BOX(Value("y"), {}, Value(3));
  EXPECT_EQ(h->cell(3, 18).attr, 0x71);
  EXPECT_EQ(h->cell(4, 39).ch, 'y');
}

TEST_F(BoxesTest, MessageBoxWaits) {
  h->after(1000, 'a').after(1000, 'b');
  int64_t t0 = clock.elapsed();
  MSG_BOX(Value("espera"), {}, {}, Value(3));
  EXPECT_EQ(clock.elapsed() - t0, 3000);
  EXPECT_NE(shownRow(10).find("espera"), std::string::npos);  // still on screen
  EXPECT_EQ(inkey(Wait::none()), 0);  // the keys pressed meanwhile are lost
  h->after(500, 'k');
  MSG_BOX(Value("tecla"), {}, {}, Value(0));
  EXPECT_EQ(lastKey(), 'k');
  EXPECT_NE(shownRow(10).find("tecla"), std::string::npos);
}

TEST_F(BoxesTest, MessageBoxWithNothingToClose) {
  std::string before = saveScreen();
  EXPECT_TRUE(MSG_BOX().isNil());
  EXPECT_TRUE(MSG_BOX(Value(4242)).isNil());
  EXPECT_EQ(saveScreen(), before);
}

// --- the confirmation dialogue --------------------------------------------

const char* kFolderQuestion = "Confirme a pasta do VELTAR que deseja atualizar;;Pasta: C:\\VELTAR;";
Value runButtons() { return Value::array({Value("Ok"), Value("Selecionar outra"), Value("Cancelar")}); }

TEST_F(BoxesTest, AlertGeometryAndColours) {
  std::string before = saveScreen();
  ExpectedScreen want(*h);
  // Four lines (the trailing ";" ends an empty one), buttons 36 wide: the
  // box is 47 + 4 wide and 8 high, centred.
  want.window(8, 14, 15, 64, 0x4F);
  want.text(9, 16, "Confirme a pasta do VELTAR que deseja atualizar", 0x4F);
  want.text(11, 16 + (47 - 16) / 2, "Pasta: C:\\VELTAR", 0x4F);
  want.text(14, 21, " Ok ", 0x1F);
  want.text(14, 27, " Selecionar outra ", 0x4F);
  want.text(14, 47, " Cancelar ", 0x4F);
  std::string shown;
  h->probe([&] { shown = want.diff(*h); }).type({key::Enter});
  EXPECT_EQ(MSGALERTA(Value(kFolderQuestion), runButtons()), 1);
  EXPECT_EQ(shown, "");
  EXPECT_EQ(saveScreen(), before);
  EXPECT_EQ(cursorShape(), kCursorNormal);
}

TEST_F(BoxesTest, AlertKeys) {
  struct Case {
    const char* name;
    std::vector<int> keys;
    int result;
  };
  const Case cases[] = {
      {"enter", {key::Enter}, 1},
      {"space", {key::Space}, 1},
      {"right enter", {key::Right, key::Enter}, 2},
      {"tab tab space", {key::Tab, key::Tab, key::Space}, 3},
      {"right wraps", {key::Right, key::Right, key::Right, key::Enter}, 1},
      {"left wraps", {key::Left, key::Enter}, 3},
      {"shift-tab", {key::ShiftTab, key::ShiftTab, key::Enter}, 2},
      {"hot letter", {'c'}, 3},
      {"hot letter upper", {'S'}, 2},
      {"other key ignored", {'z', key::F1, key::Enter}, 1},
      {"esc", {key::Right, key::Esc}, 0},
      {"close request", {key::Close}, 0},
  };
  for (const Case& c : cases) {
    h->type(c.keys);
    EXPECT_EQ(MSGALERTA(Value(kFolderQuestion), runButtons()), c.result) << c.name;
    EXPECT_EQ(h->scriptLeft(), 0u) << c.name;
  }
}

TEST_F(BoxesTest, AlertHotLettersSkipLeadingBlanksAndIgnoreCase) {
  h->type({'n'});
  EXPECT_EQ(MSGALERTA(Value("Confirma?"), Value::array({Value(" Sim "), Value(" N\x83o ")})), 2);
  h->type({0x87});  // ç matches Ç
  EXPECT_EQ(MSGALERTA(Value("?"), Value::array({Value("Ok"), Value("\x80" "a")})), 2);
}

TEST_F(BoxesTest, AlertMouseClickOnAButton) {
  h->mouse(key::LeftDown, 14, 40);
  EXPECT_EQ(MSGALERTA(Value(kFolderQuestion), runButtons()), 2);
  h->mouse(key::LeftDown, 14, 26).mouse(key::LeftDown, 14, 47);  // a gap, then " Cancelar "
  EXPECT_EQ(MSGALERTA(Value(kFolderQuestion), runButtons()), 3);
}

TEST_F(BoxesTest, AlertTimeOutChoosesTheCurrentButton) {
  int64_t t0 = clock.elapsed();
  EXPECT_EQ(MSGALERTA(Value("Erro 5 no arquivo"), Value::array({Value("Repetir"), Value("Ignorar"), Value("Abortar")}),
                      {}, 5),
            1);
  EXPECT_EQ(clock.elapsed() - t0, 5000);
  // A key that does not move keeps the time-out running from the start.
  h->after(2000, 'z');
  t0 = clock.elapsed();
  EXPECT_EQ(MSGALERTA(Value("x"), Value::array({Value("Repetir"), Value("Abortar")}), {}, 5), 1);
  EXPECT_EQ(clock.elapsed() - t0, 5000);
  // Moving cancels it: the dialogue waits for the choice.
  h->after(1000, key::Right).after(9000, key::Enter);
  t0 = clock.elapsed();
  EXPECT_EQ(MSGALERTA(Value("x"), Value::array({Value("Repetir"), Value("Abortar")}), {}, 5), 2);
  EXPECT_EQ(clock.elapsed() - t0, 10000);
}

TEST_F(BoxesTest, ABoundKeyRunsInsideTheDialogue) {
  std::string seenCaller;
  std::string underneath;
  setKey(key::F1, makeBlock([&](Args& a) {
           seenCaller = a[0].string();
           underneath = shownRow(14);
           return Value();
         }));
  h->type({key::fn(1), key::Right, key::Enter});
  EXPECT_EQ(MSGALERTA(Value(kFolderQuestion), runButtons()), 2);
  EXPECT_EQ(seenCaller, "MSGALERTA");
  EXPECT_NE(underneath.find("Selecionar outra"), std::string::npos);
}

TEST_F(BoxesTest, RememberedAnswers) {
  auto ask = [&](std::vector<int> keys, Value buttons) {
    KOR_ROUTINE("CONFIRMA");
    h->type(keys);
    return MSGALERTA(Value("?"), buttons, {}, 0, true);
  };
  EXPECT_EQ(ask({key::Left, key::Enter}, runButtons()), 3);
  EXPECT_EQ(ask({key::Enter}, runButtons()), 3);  // opens on the remembered button
  // A remembered 3 with two buttons opens on the first.
  EXPECT_EQ(ask({key::Enter}, Value::array({Value("Sim"), Value("N\x83o")})), 1);
  EXPECT_EQ(ask({key::Esc}, runButtons()), 0);  // 0 is remembered too
  EXPECT_EQ(ask({key::Enter}, runButtons()), 1);

  // The memory is replaceable: the configuration store plugs in here.
  std::map<std::string, int> store{{"CONFIRMA", 2}};
  setAnswerMemory({[&](const std::string& k) { return store.count(k) ? store[k] : 0; },
                   [&](const std::string& k, int v) { store[k] = v; }});
  EXPECT_EQ(ask({key::Enter}, runButtons()), 2);
  EXPECT_EQ(ask({key::Right, key::Enter}, runButtons()), 3);
  EXPECT_EQ(store["CONFIRMA"], 3);
  setAnswerMemory({});
}

TEST_F(BoxesTest, AlertDiscardsTypeaheadAndBeepsAndFlashesOnRequest) {
  h->type({key::Esc});
  clock.advance(50);  // Esc typed before the dialogue opened
  h->after(10, key::Enter);
  EXPECT_EQ(MSGALERTA(Value("x"), {}, {}, 0, false, true, true), 1);
  EXPECT_EQ(h->beeps(), 1);
  EXPECT_EQ(h->flashes(), 1);
}

TEST_F(BoxesTest, AlertWithEmptyLinesAndLongLines) {
  std::vector<std::string> shown;
  std::string longLine;
  for (int i = 0; i < 12; ++i) longLine += "palavra" + std::to_string(i) + " ";
  h->probe([&] {
     for (int r = 0; r <= 24; ++r) shown.push_back(shownRow(r));
   }).type({key::Enter});
  MSGALERTA(Value("um;;dois;" + longLine), {}, Value("N/W"));
  // Rows of the box: frame, "um", "", "dois", two wrapped rows, blank, button, frame.
  int top = (25 - 9) / 2;
  EXPECT_NE(shown[static_cast<size_t>(top + 1)].find("um"), std::string::npos);
  EXPECT_EQ(h->rowText(0).size(), 80u);
  EXPECT_EQ(shown[static_cast<size_t>(top + 2)].substr(11, 58), std::string(58, ' '));
  EXPECT_NE(shown[static_cast<size_t>(top + 3)].find("dois"), std::string::npos);
  EXPECT_NE(shown[static_cast<size_t>(top + 4)].find("palavra0"), std::string::npos);
  EXPECT_NE(shown[static_cast<size_t>(top + 5)].find("palavra11"), std::string::npos);
  EXPECT_NE(shown[static_cast<size_t>(top + 7)].find(" Ok "), std::string::npos);
}

// --- prompts, hints, hot keys -------------------------------------------------

TEST_F(BoxesTest, PromptOnTheBottomRow) {
  std::string before = saveScreen();
  ExpectedScreen want(*h);
  want.text(24, 0, std::string(58, ' '), 0x70);
  want.text(24, 0, " [Enter]=Continua", 0x70);
  std::string during;
  h->probe([&] { during = want.diff(*h); }).type({key::Enter});
  EXPECT_EQ(MSGOPC(" [Enter]=Continua   "), key::Enter);
  EXPECT_EQ(during, "");
  EXPECT_EQ(saveScreen(), before);
  ASSERT_EQ(h->tones().size(), 1u);
  EXPECT_EQ(h->tones()[0].first, 500);
  // No beep with MSGOPCBEEP false; mouse events do not end it; no restore.
  rt::publicVar("MSGOPCBEEP", Value::logical(false));
  h->mouse(key::LeftDown, 1, 1).type({'x'});
  EXPECT_EQ(MSGOPC("Tecle algo", 20.5, std::nullopt, 15, false), 'x');
  EXPECT_EQ(h->tones().size(), 1u);
  EXPECT_EQ(h->rowText(20).substr(0, 15), "Tecle algo     ");
  EXPECT_EQ(h->cell(20, 15).attr, 0x07 + (20 % 3) * 0x10);
}

TEST_F(BoxesTest, HintsAlignAndFill) {
  struct Case {
    const char* align;
    const char* fill;
    const char* shown;
  };
  const Case cases[] = {{"L", " ", "  abc"}, {"R", " ", "abc  "}, {"C", " ", " abc "}, {"X", "-", "-abc-"}, {"l", ".", "..abc"}};
  for (const Case& c : cases) {
    EXPECT_TRUE(MSGEXP("abc", 20, 5, c.align, c.fill));
    EXPECT_EQ(h->rowText(20).substr(0, 5), c.shown) << c.align;
    EXPECT_EQ(h->cell(20, 0).attr, 0x30);
  }
  MSGEXP("abcdefgh", 20, 5);
  EXPECT_EQ(h->rowText(20).substr(0, 5), "abcde");
  setPos(2, 3);
  MSGEXP("dica");
  EXPECT_EQ(shownRow(24).substr(0, 4), "dica");
  EXPECT_EQ(h->rowText(24).substr(4, 54), std::string(54, ' '));
  EXPECT_EQ(row(), 2);
  rt::publicVar("LCONFCOR", Value::logical(true));
  rt::publicVar("CCORAVISO", Value("N+/BG"));
  MSGEXP("x");
  EXPECT_EQ(h->cell(24, 0).attr, 0x38);
}

TEST_F(BoxesTest, HotKeysFromRoutineNamesAndCallbacks) {
  int calls = 0;
  rt::registerRoutine("MINHAROTINA", [&](Args&) {
    ++calls;
    return Value();
  });
  EXPECT_TRUE(HOTKEY(key::fn(5), Value("MinhaRotina"), Value("[F6]=Minha")));
  EXPECT_EQ(shownRow(24).substr(0, 10), "[F6]=Minha");
  EXPECT_EQ(keyAction(key::fn(5)).blockRep()->source, "MinhaRotina()");
  HOTKEY(key::fn(6), Value("MinhaRotina()"));
  h->type({key::fn(5), key::fn(6), 'x'});
  EXPECT_EQ(waitKey(Wait::forever()), 'x');
  EXPECT_EQ(calls, 2);
  HOTKEY(key::fn(5));
  EXPECT_FALSE(hasBinding(key::fn(5)));
  Value cb = makeBlock([](Args&) { return Value(); });
  HOTKEY(key::fn(7), cb);
  EXPECT_TRUE(keyAction(key::fn(7)).sameAs(cb));
}

TEST_F(BoxesTest, MouseAreasAndClicks) {
  h->mouse(key::LeftDown, 5, 10);
  setEventMask(kEvAll);
  inkey(Wait::forever());
  EXPECT_TRUE(MOUSEAREA(5, 9, 6, 11));
  EXPECT_FALSE(MOUSEAREA(5, 10, 6, 12));  // columns from left + 1
  EXPECT_FALSE(MOUSEAREA(5, 9, 5, 11));   // rows to bottom - 1: empty
  EXPECT_TRUE(CLICKAREA(4.5, 9, 6, 11.9));
  pushKey('a');
  inkey(Wait::none());
  EXPECT_FALSE(CLICKAREA(5, 9, 6, 11));
}

TEST_F(BoxesTest, ValidationMessage) {
  std::string before = saveScreen();
  std::string during;
  h->probe([&] { during = shownRow(10) + "|" + shownRow(11); }).type({key::Enter});
  Value r = VALIDAGET(Value::logical(false), "Valor inv\xA0lido;Tente de novo");
  EXPECT_FALSE(r.log());
  EXPECT_NE(during.find("Valor inv\xA0lido"), std::string::npos);
  EXPECT_NE(during.find("Tente de novo"), std::string::npos);
  EXPECT_EQ(saveScreen(), before);
  EXPECT_TRUE(VALIDAGET(Value::logical(true), "nunca").log());  // no dialogue: no key needed
}

TEST_F(BoxesTest, RoutinesByName) {
  h->type({key::Right, key::Enter});
  EXPECT_EQ(rt::callRoutine("MSGALERTA", Args{Value(kFolderQuestion), runButtons()}).integer(), 2);
  Value id = rt::callRoutine("MSG_BOX", Args{Value("por nome")});
  EXPECT_TRUE(id.isNumber());
  rt::callRoutine("MSG_BOX", Args{id});
  EXPECT_TRUE(rt::callRoutine("DESJAN", Args{Value(1), Value(1), Value(3), Value(10)}).log());
  EXPECT_EQ(rt::callRoutine("SETCOLOR", Args{Value("W+/R")}).str(), "W/N,N/W,N,N,N/W");
  EXPECT_EQ(rt::callRoutine("MAXROW").integer(), 24);
}

}  // namespace
}  // namespace kor::con::test
