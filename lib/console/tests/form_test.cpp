// Forms typed into through the headless console: pictures, validations,
// entry conditions, Esc, Ctrl+W, bound keys inside the read, readers.
#include "console/form.h"

#include "console/boxes.h"
#include "console/routines.h"
#include "console/tests/expected.h"
#include "console/tests/fixture.h"

namespace kor::con::test {
namespace {

class FormTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    registerRoutines();
    setColor("W/N,W+/B,,,N/W");
    rt::publicVar("GETLIST", Value::array());
  }
  std::string var(const char* name) { return rt::getVar(name).string(); }
  std::string shown(int r, int c, int n) { return h->rowText(r).substr(static_cast<size_t>(c), static_cast<size_t>(n)); }
};

TEST_F(FormTest, AFormOfSeveralFieldsWithPictures) {
  rt::publicVar("CNOME", Value(std::string(20, ' ')));
  rt::publicVar("NVALOR", Value::number(0, 2));
  rt::publicVar("DDATA", Value::emptyDate());
  rt::publicVar("LATIVO", Value::logical(false));
  rt::publicVar("CCEP", Value(std::string(8, ' ')));
  addGet(5, 10, "CNOME", "@!");
  addGet(6, 10, "NVALOR", "@E 999,999.99");
  addGet(7, 10, "DDATA");
  addGet(8, 10, "LATIVO", "Y");
  addGet(9, 10, "CCEP", "@R 99999-999");
  EXPECT_EQ(shown(6, 10, 10), "      0,00");
  EXPECT_EQ(shown(7, 10, 8), "  /  /  ");
  EXPECT_EQ(h->cell(5, 10).attr, 0x70);  // unselected colour

  std::string during;
  h->typeText("joão"_cp).type({key::Enter});
  h->probe([&] { during = shown(6, 10, 10) + "|" + std::to_string(h->cell(6, 10).attr); });
  h->typeText("1234,5").type({key::Enter});
  h->typeText("091221");  // fills the date: typing past its end leaves it
  h->typeText("s");
  h->typeText("01310100");
  EXPECT_TRUE(READ());
  EXPECT_EQ(var("CNOME"), std::string("JOÃO"_cp) + std::string(16, ' '));
  EXPECT_EQ(during, "      0,00|31");                          // the active field in the enhanced colour
  EXPECT_DOUBLE_EQ(rt::getVar("NVALOR").num(), 1234.5);
  EXPECT_EQ(rt::getVar("DDATA").julian(), julianFromYmd(2021, 12, 9));
  EXPECT_TRUE(rt::getVar("LATIVO").log());
  EXPECT_EQ(var("CCEP"), "01310100");
  EXPECT_EQ(shown(5, 10, 20), std::string("JOÃO"_cp) + std::string(16, ' '));
  EXPECT_EQ(shown(6, 10, 10), "  1.234,50");
  EXPECT_EQ(shown(7, 10, 8), "09/12/21");
  EXPECT_EQ(shown(8, 10, 1), "S");
  EXPECT_EQ(shown(9, 10, 9), "01310-100");
  EXPECT_EQ(h->cell(9, 10).attr, 0x70);
  EXPECT_EQ(rt::getVar("GETLIST").size(), 0u);  // READ empties the list
  EXPECT_EQ(lastKey(), '0');
}

TEST_F(FormTest, AValidationThatRefusesKeepsTheUserInTheField) {
  rt::publicVar("NQTD", Value::number(0));
  rt::publicVar("CDESC", Value(std::string(10, ' ')));
  Value valid = makeBlock([](Args& a) {
    Field* f = fieldOf(a[0]);
    return VALIDAGET(Value::logical(f->varGet().num() > 0), "Quantidade inválida"_cp);
  });
  addGet(3, 3, "NQTD", "999", valid);
  addGet(4, 3, "CDESC");
  std::string alertShown;
  h->typeText("0").type({key::Enter});
  h->probe([&] { alertShown = h->text(); }).type({key::Enter});  // dismisses the alert
  h->typeText("12").type({key::Enter});
  h->typeText("caixa").type({key::Enter});
  EXPECT_TRUE(READ());
  EXPECT_NE(alertShown.find("Quantidade inválida"_cp), std::string::npos);
  EXPECT_EQ(rt::getVar("NQTD").integer(), 12);
  EXPECT_EQ(var("CDESC"), "caixa     ");
}

TEST_F(FormTest, AnEntryConditionSkipsAFieldInTheDirectionOfTravel) {
  rt::publicVar("CA", Value("a"));
  rt::publicVar("CB", Value("b"));
  rt::publicVar("CC", Value("c"));
  std::vector<std::string> entered;
  auto track = [&](const char* name, bool allow) {
    return makeBlock([&entered, name, allow](Args&) {
      entered.push_back(name);
      return Value::logical(allow);
    });
  };
  addGet(1, 1, "CA", {}, {}, track("A", true));
  addGet(2, 1, "CB", {}, {}, track("B", false));
  addGet(3, 1, "CC", {}, {}, track("C", true));
  // Down to C (B skipped), Up to A (B skipped again), then Enter, C, Enter.
  h->type({key::Down, key::Up, key::Enter, 'z'});
  READ();
  EXPECT_EQ(entered, (std::vector<std::string>{"A", "B", "C", "B", "A", "B", "C"}));
  EXPECT_EQ(var("CC"), "z");
  EXPECT_EQ(var("CB"), "b");
}

TEST_F(FormTest, EscUndoesTheFieldAndEndsTheForm) {
  rt::publicVar("CA", Value("aaaa"));
  rt::publicVar("CB", Value("bbbb"));
  rt::publicVar("CC", Value("cccc"));
  addGet(1, 1, "CA");
  addGet(2, 1, "CB");
  addGet(3, 1, "CC");
  h->typeText("xy").type({key::Enter});
  h->typeText("zz").type({key::Esc});
  EXPECT_TRUE(READ());  // the first field changed
  EXPECT_EQ(var("CA"), "xyaa");
  EXPECT_EQ(var("CB"), "bbbb");
  EXPECT_EQ(shown(2, 1, 4), "bbbb");
  EXPECT_EQ(var("CC"), "cccc");
  EXPECT_EQ(lastKey(), key::Esc);
  // Nothing changed: the read reports no update.
  addGet(1, 1, "CA");
  h->type({key::Esc});
  EXPECT_FALSE(READ());
}

TEST_F(FormTest, CtrlWEndsTheReadKeepingTheField) {
  rt::publicVar("CA", Value("aaaa"));
  rt::publicVar("CB", Value("bbbb"));
  addGet(1, 1, "CA");
  addGet(2, 1, "CB");
  h->typeText("q").type({key::CtrlW});
  EXPECT_TRUE(READ());
  EXPECT_EQ(var("CA"), "qaaa");
  EXPECT_EQ(var("CB"), "bbbb");
  EXPECT_EQ(lastKey(), 535);
  struct Case {
    int key;
  };
  for (int k : {key::PgDn, key::PgUp, key::CtrlEnd}) {
    addGet(1, 1, "CA");
    addGet(2, 1, "CB");
    h->type({k});
    READ();
    EXPECT_EQ(lastKey(), k);
  }
}

TEST_F(FormTest, ABoundKeyRunsInsideTheRead) {
  rt::publicVar("GNOME", Value(std::string(8, ' ')));
  rt::publicVar("CNOME", Value("00"));
  std::string sawVar, sawArg;
  setKey(key::fn(2), makeBlock([&](Args& a) {
           sawVar = GETVAR();
           sawArg = a[2].string();
           rt::assignVar("GNOME", Value("LISTA   "));  // a lookup fills the field
           return Value();
         }));
  addGet(4, 4, "GNOME");
  h->typeText("ab").type({key::fn(2)});
  std::string after;
  h->probe([&] { after = shown(4, 4, 8); }).type({key::Enter});
  READ();
  EXPECT_EQ(sawVar, "CNOME");
  EXPECT_EQ(sawArg, "GNOME");
  EXPECT_EQ(after, "LISTA   ");
  EXPECT_EQ(var("GNOME"), "LISTA   ");
}

TEST_F(FormTest, UpAndDownLeaveTheFormOnlyWithTheExitSetting) {
  rt::publicVar("CA", Value("a"));
  rt::publicVar("CB", Value("b"));
  addGet(1, 1, "CA");
  addGet(2, 1, "CB");
  h->type({key::Up, 'x', key::Down, key::Down, key::Down, key::Enter});  // stays on the last field
  READ();
  EXPECT_EQ(var("CA"), "x");
  rt::set(rt::Set::Exit, Value::logical(true));
  addGet(1, 1, "CA");
  addGet(2, 1, "CB");
  h->type({key::Up});
  READ();
  EXPECT_EQ(h->scriptLeft(), 0u);
  addGet(1, 1, "CA");
  addGet(2, 1, "CB");
  h->type({key::Down, key::Down});
  READ();
  EXPECT_EQ(h->scriptLeft(), 0u);
}

TEST_F(FormTest, EditingKeysAndInsertMode) {
  struct Case {
    const char* name;
    std::vector<int> keys;
    const char* result;
    bool enter = true;
  };
  const int kIns = key::Ins;
  const Case cases[] = {
      {"overwrite", {'x', 'y'}, "xycdef"},
      {"insert", {kIns, 'x', kIns}, "xabcde"},
      {"end of a full field is its last position", {key::End, 'z'}, "abcdez", false},
      {"end then left", {key::End, key::Left, 'z'}, "abcdzf"},
      {"right and backspace", {key::Right, key::Right, key::Backspace}, "acdef "},
      {"del", {key::Del, key::Del}, "cdef  "},
      {"ctrl+y", {key::Right, key::Right, 537}, "ab    "},
      {"home", {key::End, key::Home, 'q'}, "qbcdef"},
      {"undo", {'x', 'x', 533}, "abcdef"},
  };
  for (const Case& c : cases) {
    rt::publicVar("CT", Value("abcdef"));
    addGet(1, 1, "CT");
    std::vector<int> keys = c.keys;
    if (c.enter) keys.push_back(key::Enter);  // else typing past the end left the field
    h->type(keys);
    READ();
    EXPECT_EQ(var("CT"), c.result) << c.name;
    EXPECT_EQ(h->scriptLeft(), 0u) << c.name;
  }
  rt::publicVar("CP", Value("abc   "));
  addGet(1, 1, "CP");
  h->type({key::End, 'z', key::Enter});  // after the last character typed
  READ();
  EXPECT_EQ(var("CP"), "abcz  ");
  rt::publicVar("CW", Value("um dois tres"));
  addGet(1, 1, "CW");
  h->type({key::CtrlRight, 532, key::Enter});  // Ctrl+T deletes the word
  READ();
  EXPECT_EQ(var("CW"), "um tres     ");
}

TEST_F(FormTest, InsTogglesTheCursorShape) {
  rt::publicVar("CT", Value("abc"));
  addGet(1, 1, "CT");
  int shapeIn = -1, shapeOver = -1;
  h->probe([&] { shapeOver = h->cursorShape(); }).type({key::Ins});
  h->probe([&] { shapeIn = h->cursorShape(); }).type({key::Ins, key::Enter});
  READ();
  EXPECT_EQ(shapeOver, kCursorNormal);
  EXPECT_EQ(shapeIn, kCursorInsert);
  EXPECT_FALSE(rt::setting(rt::Set::Insert).log());
}

TEST_F(FormTest, ScrollingFieldsShowTheirWidth) {
  rt::publicVar("CLONGO", Value(std::string(30, ' ')));
  addGet(2, 5, "CLONGO", "@S10");
  EXPECT_EQ(shown(2, 5, 11), std::string(10, ' ') + ' ');
  std::string mid;
  int cursor = -1;
  h->typeText("abcdefghijklmno").probe([&] {
    mid = shown(2, 5, 10);
    cursor = h->cursorCol();
  });
  h->type({key::Home});
  std::string home;
  h->probe([&] { home = shown(2, 5, 10); }).type({key::Enter});
  READ();
  EXPECT_EQ(mid, "ghijklmno ");
  EXPECT_EQ(cursor, 14);
  EXPECT_EQ(home, "abcdefghij");
  EXPECT_EQ(var("CLONGO"), "abcdefghijklmno" + std::string(15, ' '));
  EXPECT_EQ(shown(2, 5, 11), "abcdefghij ");
}

TEST_F(FormTest, ClearingOnTypeAndTheDecimalPoint) {
  rt::publicVar("NV", Value::number(123.45, 2));
  rt::publicVar("CK", Value("antigo"));
  addGet(1, 1, "NV", "999.99");
  addGet(2, 1, "CK", "@K");
  h->typeText("7").type({key::Enter});
  h->typeText("no").type({key::Enter});
  READ();
  EXPECT_DOUBLE_EQ(rt::getVar("NV").num(), 7);
  EXPECT_EQ(var("CK"), "no    ");
  // Moving first keeps the number: typing then changes one digit.
  rt::publicVar("NV", Value::number(123.45, 2));
  addGet(1, 1, "NV", "999.99");
  h->type({key::Right, '9', key::Enter});
  READ();
  EXPECT_DOUBLE_EQ(rt::getVar("NV").num(), 193.45);
  rt::publicVar("NV", Value::number(0, 2));
  addGet(1, 1, "NV", "999.99");
  h->typeText("12.5").type({key::Enter});
  READ();
  EXPECT_DOUBLE_EQ(rt::getVar("NV").num(), 12.5);
  // Negative numbers.
  addGet(1, 1, "NV", "999.99");
  h->typeText("-3").type({key::Enter});
  READ();
  EXPECT_DOUBLE_EQ(rt::getVar("NV").num(), -3);
}

TEST_F(FormTest, TypingPastTheEndAndTheConfirmSetting) {
  rt::publicVar("CA", Value("ab"));
  rt::publicVar("CB", Value("cd"));
  addGet(1, 1, "CA");
  addGet(2, 1, "CB");
  h->typeText("wxyz");
  READ();
  EXPECT_EQ(var("CA"), "wx");
  EXPECT_EQ(var("CB"), "yz");
  rt::set(rt::Set::Confirm, Value::logical(true));
  addGet(1, 1, "CA");
  addGet(2, 1, "CB");
  h->typeText("123").type({key::Enter, key::Esc});
  READ();
  EXPECT_EQ(var("CA"), "13");  // stays on the last position: the third key overwrote it
  EXPECT_EQ(var("CB"), "yz");
}

TEST_F(FormTest, ABadDateKeepsTheUserInTheField) {
  rt::publicVar("DD", Value::emptyDate());
  rt::publicVar("CX", Value("x"));
  addGet(1, 1, "DD");
  addGet(2, 1, "CX");
  h->typeText("31029");  // 31/02/9_ is no date
  h->type({key::Enter});
  h->type({key::Home}).typeText("280221").type({key::Enter});
  READ();
  EXPECT_EQ(rt::getVar("DD").julian(), julianFromYmd(2021, 2, 28));
  EXPECT_GE(h->beeps(), 1);
}

TEST_F(FormTest, AClickOnAnotherFieldGoesThere) {
  rt::publicVar("CA", Value("aaa"));
  rt::publicVar("CB", Value("bbb"));
  rt::publicVar("CC", Value("ccc"));
  addGet(1, 1, "CA");
  addGet(2, 1, "CB");
  addGet(3, 1, "CC");
  h->mouse(key::LeftDown, 3, 2).typeText("z").type({key::CtrlW});
  READ();
  EXPECT_EQ(var("CC"), "zcc");
  EXPECT_EQ(var("CA"), "aaa");
}

TEST_F(FormTest, WidgetsInEntryConditionsSeeTheFormAndPlaceKeys) {
  rt::publicVar("GCIDADE", Value("     "));
  rt::publicVar("CCIDADE", Value("00"));
  rt::publicVar("GUF", Value("  "));
  std::string var;
  int posUf = -1, posCidade = -1;
  Value widget = makeBlock([&](Args& a) {
    var = GETVAR();
    posUf = GETPOS("guf");
    posCidade = GETPOS("GCIDADE");
    rt::assignVar("GCIDADE", Value("Belém"_cp));
    rt::assignVar("CCIDADE", Value("03"));
    fieldOf(a[0])->changed = true;
    pushKey(key::Down);  // the form moves on as if the user had left the field
    return Value::logical(false);
  });
  addGet(1, 1, "GCIDADE", {}, {}, widget);
  addGet(2, 1, "GUF");
  h->typeText("PA").type({key::Enter});
  READ();
  EXPECT_EQ(var, "CCIDADE");
  EXPECT_EQ(posUf, 2);
  EXPECT_EQ(posCidade, 1);
  EXPECT_EQ(shown(1, 1, 5), "Belém"_cp);
  EXPECT_EQ(this->var("GUF"), "PA");
  EXPECT_EQ(GETPOS("GUF"), 0);  // no form now, GETLIST emptied
  Value list = Value::array({fieldForVariable(0, 0, "X"), fieldForVariable(0, 0, "gUf")});
  EXPECT_EQ(GETPOS(" GUF ", list), 2);
  EXPECT_EQ(GETVAR(), "");
}

TEST_F(FormTest, AReaderOfItsOwn) {
  // A masked reader: echoes an asterisk per character, keeps the typed text.
  rt::publicVar("CSENHA", Value("      "));
  std::string typed;
  Value reader = makeBlock([&](Args& a) {
    Value fv = a[0];
    Field& f = *fieldOf(fv);
    if (!fieldPreValidate(fv)) return Value();
    f.setFocus();
    bool first = true;
    while (f.exitState == kExitNone) {
      int k = waitKey(Wait::forever());
      if (k >= 32 && k <= 255) {
        if (first) f.clearAll(), first = false;
        typed += static_cast<char>(k);
        f.overstrike('*');
      } else if (k == key::Backspace) {
        if (!typed.empty()) typed.pop_back();
        f.backspace();
      } else if (k == key::Esc) {
        f.undo();
        f.exitState = kExitEscape;
      } else if (k == key::Enter) {
        fieldApplyKey(fv, k);
      }
      if (f.exitState != kExitNone && !fieldPostValidate(fv)) f.exitState = kExitNone;
    }
    f.killFocus();
    return Value();
  });
  Value field = addGet(1, 1, "CSENHA");
  fieldOf(field)->reader = reader;
  std::string masked;
  h->typeText("xy").type({key::Backspace}).typeText("z").probe([&] { masked = shown(1, 1, 6); });
  h->type({key::Enter});
  READ();
  EXPECT_EQ(typed, "xz");
  EXPECT_EQ(masked, "**    ");
  EXPECT_EQ(var("CSENHA"), "**    ");
}

TEST_F(FormTest, ElementsOfListsAndCallbacks) {
  rt::publicVar("AITENS", Value::array({Value("um"), Value("do")}));
  double store = 5;
  Value getset = makeBlock([&](Args& a) {
    if (a.size() > 0) store = a[0].num();
    return Value::number(store);
  });
  Value list = Value::array({fieldForVariable(1, 1, "AITENS[2]"), makeField(2, 1, getset, "NVIA", "99")});
  h->typeText("oi").typeText("42");
  readForm(list);
  EXPECT_EQ(rt::getVar("AITENS").at(1).str(), "oi");
  EXPECT_EQ(store, 42);
  EXPECT_EQ(fieldOf(list.at(0))->name, "AITENS");
  EXPECT_EQ(fieldOf(list.at(0))->subscript, std::vector<int>{2});
}

TEST_F(FormTest, ANestedReadInsideAnEntryCondition) {
  rt::publicVar("CA", Value("a"));
  rt::publicVar("CB", Value("b"));
  rt::publicVar("CI", Value("ii"));
  Value nested = makeBlock([&](Args&) {
    Value inner = Value::array({fieldForVariable(10, 10, "CI")});
    readForm(inner);
    EXPECT_EQ(GETVAR(), "CB");  // the outer form is active again
    return Value::logical(true);
  });
  addGet(1, 1, "CA");
  addGet(2, 1, "CB", {}, {}, nested);
  h->type({key::Enter}).typeText("j").type({key::Enter}).typeText("c").type({key::Enter});
  READ();
  EXPECT_EQ(var("CI"), "ji");
  EXPECT_EQ(var("CB"), "c");
}

TEST_F(FormTest, TheCloseRequestEndsTheReadLikeEsc) {
  rt::publicVar("CA", Value("abc"));
  addGet(1, 1, "CA");
  h->typeText("x").type({key::Close});
  EXPECT_FALSE(READ());
  EXPECT_EQ(var("CA"), "abc");
}

TEST_F(FormTest, MessagesToFieldObjects) {
  rt::publicVar("CA", Value("abc"));
  Value f = fieldForVariable(3, 4, "CA", "@!");
  const ClassDef& cls = *f.objectRep()->cls;
  Args none;
  EXPECT_EQ((*cls.method("ROW"))(f, none).integer(), 3);
  EXPECT_EQ((*cls.method("NAME"))(f, none).str(), "CA");
  Args five{Value(5)};
  cls.onUnknown(f, "_ROW", five);
  EXPECT_EQ(fieldOf(f)->row, 5);
  EXPECT_EQ((*cls.method("VARGET"))(f, none).str(), "abc");
  (*cls.method("SETFOCUS"))(f, none);
  Args ch{Value("z")};
  (*cls.method("OVERSTRIKE"))(f, ch);
  // The buffer is the display: upper case by the picture, and so is what it stores.
  EXPECT_EQ((*cls.method("BUFFER"))(f, none).str(), "ZBC");
  (*cls.method("ASSIGN"))(f, none);
  EXPECT_EQ(var("CA"), "ZBC");
  (*cls.method("KILLFOCUS"))(f, none);
  EXPECT_EQ(shown(5, 4, 3), "ZBC");
}

}  // namespace
}  // namespace kor::con::test

namespace kor::con::test {
namespace {

class FormActionTest : public FormTest {};

TEST_F(FormActionTest, EscAfterABoundKeyPutsTheVariableBack) {
  // The action sees what was typed in the variable; Esc (and Ctrl+U then
  // Enter) still give the field back as it was when it got the focus.
  struct Case {
    const char* name;
    int undoKey;
    std::vector<int> after;
  };
  const Case cases[] = {{"esc", key::Esc, {}}, {"ctrl+u then enter", 533, {key::Enter}}};
  for (const Case& c : cases) {
    rt::publicVar("CA", Value("abcd"));
    std::string seen;
    setKey(key::fn(3), makeBlock([&](Args&) {
             seen = var("CA");
             return Value();
           }));
    addGet(1, 1, "CA");
    std::vector<int> keys = {'x', 'y', key::fn(3), c.undoKey};
    keys.insert(keys.end(), c.after.begin(), c.after.end());
    h->type(keys);
    READ();
    EXPECT_EQ(seen, "xycd") << c.name;
    EXPECT_EQ(var("CA"), "abcd") << c.name;
    EXPECT_EQ(shown(1, 1, 4), "abcd") << c.name;
  }
}

TEST_F(FormActionTest, AnActionThatEditsTheBufferKeepsItsEdit) {
  rt::publicVar("CA", Value("abcd"));
  setKey(key::fn(4), makeBlock([](Args&) {
           Value f = activeField();
           Args text{Value("wxyz")};
           (*f.objectRep()->cls->method("BUFFER"))(f, text);
           return Value();
         }));
  addGet(1, 1, "CA");
  std::string during;
  h->type({key::fn(4)}).probe([&] { during = shown(1, 1, 4); }).type({key::Enter});
  EXPECT_TRUE(READ());
  EXPECT_EQ(during, "wxyz");
  EXPECT_EQ(var("CA"), "wxyz");
}

TEST_F(FormActionTest, TheScoreboardShowsInsertModeAndGivesTheRowBack) {
  patternScreen();
  std::string before = h->rowText(0);
  rt::publicVar("CA", Value("abc"));
  addGet(5, 1, "CA");
  std::string during;
  h->type({key::Ins}).probe([&] { during = h->rowText(0).substr(60, 4); }).type({key::Ins, key::Enter});
  READ();
  EXPECT_EQ(during, "Ins ");
  EXPECT_EQ(h->rowText(0), before);
  // Off: nothing is written there.
  rt::set(rt::Set::Scoreboard, Value::logical(false));
  addGet(5, 1, "CA");
  h->type({key::Ins}).probe([&] { during = h->rowText(0); }).type({key::Ins, key::Enter});
  READ();
  EXPECT_EQ(during, before);
}

TEST_F(FormActionTest, ANestedReadOfGetlistReadsOnlyItsOwnFields) {
  rt::publicVar("CA", Value("a"));
  rt::publicVar("CB", Value("b"));
  rt::publicVar("CI", Value("ii"));
  int innerFields = -1;
  Value nested = makeBlock([&](Args&) {
    KOR_ROUTINE("PERGUNTA");
    addGet(10, 10, "CI");
    innerFields = static_cast<int>(rt::getVar("GETLIST").size());
    READ();
    return Value::logical(true);
  });
  addGet(1, 1, "CA");
  addGet(2, 1, "CB", {}, {}, nested);
  h->type({key::Enter, 'j', key::Enter, 'c'});
  READ();
  EXPECT_EQ(innerFields, 1);
  EXPECT_EQ(var("CI"), "ji");
  EXPECT_EQ(var("CB"), "c");
  EXPECT_EQ(var("CA"), "a");
  EXPECT_EQ(rt::getVar("GETLIST").size(), 0u);
  EXPECT_EQ(h->scriptLeft(), 0u);
}

TEST_F(FormActionTest, TheActiveFieldAsOtherLibrariesSeeIt) {
  // An entry condition that loads a remembered value and a validation that
  // reads the edit text: the way the store remembers a field's last entry.
  rt::publicVar("CNOME", Value("      "));
  std::string seenName, seenText;
  Value load = makeBlock([](Args&) {
    ActiveFieldView v;
    EXPECT_TRUE(activeFieldView(v));
    EXPECT_EQ(v.editText, "      ");
    putActiveField(Value("maria "));
    return Value::logical(true);
  });
  Value save = makeBlock([&](Args&) {
    ActiveFieldView v;
    activeFieldView(v);
    seenName = v.name;
    seenText = v.editText;
    return Value::logical(true);
  });
  addGet(1, 1, "CNOME", {}, save, load);
  std::string during;
  h->probe([&] { during = shown(1, 1, 6); }).type({key::End}).typeText("x").type({key::Enter});
  READ();
  EXPECT_EQ(during, "maria ");
  EXPECT_EQ(seenName, "CNOME");
  EXPECT_EQ(seenText, "mariax");
  EXPECT_EQ(var("CNOME"), "mariax");
  ActiveFieldView none;
  EXPECT_FALSE(activeFieldView(none));
  EXPECT_FALSE(putActiveField(Value("x")));
}

}  // namespace
}  // namespace kor::con::test

namespace kor::con::test {
namespace {

TEST_F(FormActionTest, AnActionThatEndsTheReadEndsItAtOnce) {
  rt::publicVar("CA", Value("abc"));
  rt::publicVar("CB", Value("def"));
  setKey(key::fn(9), makeBlock([](Args&) {
           killRead();
           return Value();
         }));
  addGet(1, 1, "CA");
  addGet(2, 1, "CB");
  h->typeText("x").type({key::fn(9)});
  READ();  // the script has nothing after F9: another wait would be the close request
  EXPECT_EQ(var("CA"), "xbc");
  EXPECT_EQ(var("CB"), "def");
  EXPECT_EQ(lastKey(), key::fn(9));
}

}  // namespace
}  // namespace kor::con::test

namespace kor::con::test {
namespace {

TEST_F(FormActionTest, AnEntryConditionThatMarksTheFieldChangedUpdatesTheForm) {
  rt::publicVar("GUF", Value("  "));
  struct Case {
    bool marks;
    bool updated;
  };
  for (Case c : {Case{true, true}, Case{false, false}}) {
    int runs = 0;
    Value widget = makeBlock([c, &runs](Args& a) {
      ++runs;
      rt::assignVar("GUF", Value("SP"));
      if (c.marks) fieldOf(a[0])->changed = true;
      pushKey(key::Down);  // Down on the only field: the user stays there
      return Value::logical(true);
    });
    addGet(1, 1, "GUF", {}, {}, widget);
    h->type({key::Enter});
    EXPECT_EQ(READ(), c.updated) << c.marks;
    EXPECT_EQ(var("GUF"), "SP");
    EXPECT_EQ(runs, 1) << "the widget ran again when the user stayed in the field";
    EXPECT_EQ(h->scriptLeft(), 0u);
  }
}

}  // namespace
}  // namespace kor::con::test
