// Progress bars as the user sees them: the window at row 9, column 19, the
// caption and bar, the window title, and the screen given back.
#include "console/progress.h"

#include "console/boxes.h"
#include "console/routines.h"
#include "console/tests/expected.h"
#include "console/tests/fixture.h"

namespace kor::con::test {
namespace {

std::string repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::string centred(std::string_view text, int width = 39) {
  std::string t(text.substr(0, static_cast<size_t>(width)));
  int pad = width - static_cast<int>(t.size());
  return repeat("─"_cp, pad / 2) + t + repeat("─"_cp, pad - pad / 2);
}

class ProgressTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    registerRoutines();
    setTableProbe({});
    // The remaining-time estimate of the values library, seen from here.
    rt::registerRoutine("TEMPOEST", [](Args& a) {
      return Value(a[1].num() > 0 ? std::string("1 Minuto") : std::string());
    });
    patternScreen();
  }
  void TearDown() override {
    setTableProbe({});
    ConsoleTest::TearDown();
  }

  // The expected window of a bar at row 9, column 19.
  ExpectedScreen barScreen(std::string_view caption, int cells, std::string_view bottom = {}) {
    ExpectedScreen want(*h);
    want.window(9, 19, 11, 60, 0x70);
    want.shadow(9, 19, 11, 60);
    want.text(9, 20, centred(caption), 0x70);
    want.text(10, 20, repeat("░"_cp, 40), 0x70);
    want.text(10, 20, repeat("█"_cp, cells), 0x07);
    if (!bottom.empty()) want.text(11, 20, centred(bottom), 0x70);
    return want;
  }
};

TEST_F(ProgressTest, DefaultsOfANewBar) {
  setTitle("Meu sistema");
  Value bar = TPROGBAR();
  ObjectRep* o = bar.objectRep();
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->cls->name, "TPROGBAR");
  const char* names[] = {"TOTAL", "CONTADOR", "INICIADO", "VISIVEL", "MENSAGEM", "LINHA", "COLUNA", "PERCENTUAL",
                         "CPERCENTUAL", "PERCENTUALANT", "MSGANTERIOR", "TEMPORESTANTE", "CANCELAR", "ALIAS",
                         "LWINTITULO", "TITULOJANELA", "LSOMBRA"};
  ASSERT_EQ(o->fields.size(), std::size(names));
  for (size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(o->fields[i].first, names[i]);
  EXPECT_EQ(o->field("TOTAL")->integer(), 100);
  EXPECT_EQ(o->field("LINHA")->integer(), 9);
  EXPECT_EQ(o->field("COLUNA")->integer(), 19);
  EXPECT_EQ(o->field("MENSAGEM")->str(), "Processando, aguarde...");
  EXPECT_EQ(o->field("CPERCENTUAL")->str(), "0");
  EXPECT_EQ(o->field("TITULOJANELA")->str(), "Meu sistema");
  EXPECT_TRUE(o->field("LWINTITULO")->log());
  EXPECT_FALSE(o->field("TEMPORESTANTE")->log());
  EXPECT_EQ(saveScreen().size(), 4000u);
  EXPECT_EQ(h->titleText(), "Meu sistema");  // nothing drawn yet
}

TEST_F(ProgressTest, TheUpdateRunSequenceOf200Records) {
  setTitle("Utilitário de atualização"_cp);
  std::string before = saveScreen();
  rt::publicVar("CNCM", Value(""));
  Value caption = makeBlock([](Args&) { return Value("Lendo " + rt::getVar("CNCM").string()); });
  Value bar = TPROGBAR_INIT(TPROGBAR(), Value(200), caption, Value::logical(true));
  EXPECT_EQ(saveScreen(), before);

  ASSERT_TRUE(TPROGBAR_INCREMENTA(bar, Value(1)));
  // The caption shows the code of the record before: none for the first.
  ExpectedScreen first = barScreen("Lendo  0%", 0, "Tempo restante: 1 Minuto");
  EXPECT_EQ(first.diff(*h), "");
  EXPECT_EQ(h->titleText(), "Utilitário de atualização - 0%"_cp);
  EXPECT_EQ(bar.objectRep()->field("MSGANTERIOR")->str(), "Lendo  0%");

  for (int i = 2; i <= 200; ++i) {
    rt::assignVar("CNCM", Value("0101" + std::to_string(1000 + i - 1)));
    ASSERT_TRUE(TPROGBAR_INCREMENTA(bar, Value(1)));
    if (i == 75) {  // 37 %: 14 cells
      EXPECT_EQ(barScreen("Lendo 01011074 37%", 14, "Tempo restante: 1 Minuto").diff(*h), "");
      EXPECT_EQ(h->titleText(), "Utilitário de atualização - 37%"_cp);
    }
  }
  EXPECT_EQ(barScreen("Lendo 01011199 100%", 40, "Tempo restante: 1 Minuto").diff(*h), "");
  EXPECT_EQ(h->titleText(), "Utilitário de atualização - 100%"_cp);
  EXPECT_EQ(bar.objectRep()->field("CONTADOR")->integer(), 200);
  EXPECT_EQ(bar.objectRep()->field("PERCENTUAL")->integer(), 100);

  TPROGBAR_CLOSE(bar);
  EXPECT_EQ(saveScreen(), before);
  EXPECT_EQ(h->titleText(), "Utilitário de atualização"_cp);
  // Closing twice gives the same cells back again.
  writeAt(10, 30, "rabisco");
  TPROGBAR_CLOSE(bar);
  EXPECT_EQ(saveScreen(), before);
}

TEST_F(ProgressTest, BeyondTheTotal) {
  Value bar = TPROGBAR_INIT(TPROGBAR(), Value(200), Value("Importando"));
  TPROGBAR_INCREMENTA(bar, Value(202));
  EXPECT_EQ(barScreen("Importando 101%", 40).diff(*h), "");
  TPROGBAR_INCREMENTA(bar, Value(2));
  EXPECT_EQ(barScreen("ERRO >  100%", 40).diff(*h), "");
  TPROGBAR_INCREMENTA(bar, Value(-104));  // the caption stays "ERRO > "
  EXPECT_EQ(barScreen("ERRO >  50%", 20).diff(*h), "");
  TPROGBAR_CLOSE(bar);
}

TEST_F(ProgressTest, LongCaptionsAreCutAndPlacesAndShadowFollowTheFields) {
  Value bar = TPROGBAR_INIT(TPROGBAR(), Value(10), Value(std::string(50, 'c')), {}, Value(2), Value(5));
  bar.objectRep()->field("LSOMBRA")->operator=(Value::logical(false));
  bar.objectRep()->field("LWINTITULO")->operator=(Value::logical(false));
  setTitle("fixo");
  TPROGBAR_INCREMENTA(bar, Value(5));
  EXPECT_EQ(h->rowText(2).substr(6, 39), std::string(39, 'c'));
  EXPECT_EQ(h->cell(2, 46).ch, static_cast<uint8_t>("┐"_cp[0]));
  EXPECT_EQ(h->cell(5, 6).attr, 0x07 + (5 % 3) * 0x10);  // no shadow
  EXPECT_EQ(h->titleText(), "fixo");
  TPROGBAR_CLOSE(bar);
  EXPECT_EQ(h->titleText(), "fixo");
}

TEST_F(ProgressTest, CancellingWithEsc) {
  Value bar = TPROGBAR_INIT(TPROGBAR(), Value(10), {}, {}, {}, {}, Value::logical(true));
  // Esc waiting, then "Não": go on.
  pushKey(key::Esc);
  h->type({key::Enter});
  EXPECT_TRUE(TPROGBAR_INCREMENTA(bar));
  // Esc, then "Sim": the step answers false.
  std::string question;
  pushKey(key::Esc);
  h->probe([&] { question = shownRow(10) + shownRow(11); }).type({key::Right, key::Enter});
  EXPECT_FALSE(TPROGBAR_INCREMENTA(bar));
  EXPECT_NE(question.find("Atenção!"_cp), std::string::npos);
  EXPECT_NE(question.find("Deseja realmente cancelar este procedimento?"), std::string::npos);
  // Any other waiting key is consumed without a question.
  pushKey('x');
  EXPECT_TRUE(TPROGBAR_INCREMENTA(bar));
  EXPECT_EQ(pendingKeys(), 0u);
  EXPECT_EQ(bar.objectRep()->field("CONTADOR")->integer(), 3);
  // Without CANCELAR the keys stay for the caller.
  Value quiet = TPROGBAR_INIT(TPROGBAR(), Value(10));
  pushKey(key::Esc);
  EXPECT_TRUE(TPROGBAR_INCREMENTA(quiet));
  EXPECT_EQ(inkey(Wait::none()), key::Esc);
}

TEST_F(ProgressTest, HiddenBarsAndTheLastReference) {
  std::string before = saveScreen();
  {
    Value bar = TPROGBAR_INIT(TPROGBAR(), Value(4));
    TPROGBAR_INCREMENTA(bar, Value(1));
    EXPECT_NE(saveScreen(), before);
    bar.objectRep()->field("VISIVEL")->operator=(Value::logical(false));
    TPROGBAR_SHOW(bar);
    EXPECT_EQ(saveScreen(), before);
    bar.objectRep()->field("VISIVEL")->operator=(Value::logical(true));
    TPROGBAR_INCREMENTA(bar, Value(1));
    EXPECT_EQ(barScreen("Processando, aguarde... 50%", 20).diff(*h), "");
  }  // the last reference goes: the bar closes itself
  EXPECT_EQ(saveScreen(), before);
  {
    Value bar = TPROGBAR_INIT(TPROGBAR(), Value(4));
    TPROGBAR_INCREMENTA(bar, Value(1));
    TPROGBAR_CLOSE(bar);
    writeAt(10, 25, "depois");  // drawn after the bar was closed
  }
  EXPECT_EQ(h->rowText(10).substr(25, 6), "depois");
}

TEST_F(ProgressTest, CountingFromTheTable) {
  double recno = 0;
  TableProbe p;
  p.currentAlias = [] { return std::string("ORIGEM"); };
  p.orderName = [](const std::string&) { return std::string(); };
  p.recNo = [&](const std::string& a) { return a == "ORIGEM" ? recno : -1; };
  p.recCount = [](const std::string&) { return 40.0; };
  p.keyCount = [](const std::string&) { return 30.0; };
  p.keyPosition = [](const std::string&) { return 7.0; };
  setTableProbe(p);
  Value bar = TPROGBAR_INIT(TPROGBAR());
  EXPECT_EQ(bar.objectRep()->field("ALIAS")->str(), "ORIGEM");
  EXPECT_EQ(bar.objectRep()->field("TOTAL")->integer(), 40);
  recno = 10;
  TPROGBAR_INCREMENTA(bar);
  EXPECT_EQ(bar.objectRep()->field("PERCENTUAL")->integer(), 25);
  // With a controlling order: the key position of the key count.
  p.orderName = [](const std::string&) { return std::string("RICLAS"); };
  setTableProbe(p);
  Value ordered = TPROGBAR_INIT(TPROGBAR());
  EXPECT_EQ(ordered.objectRep()->field("TOTAL")->integer(), 30);
  TPROGBAR_INCREMENTA(ordered);
  EXPECT_EQ(ordered.objectRep()->field("CONTADOR")->integer(), 7);
  EXPECT_EQ(ordered.objectRep()->field("PERCENTUAL")->integer(), 23);
  TPROGBAR_CLOSE(ordered);
  TPROGBAR_CLOSE(bar);
}

TEST_F(ProgressTest, WithoutTotalOrTableTheBarShowsNothingDone) {
  Value bar = TPROGBAR_INIT(TPROGBAR());
  EXPECT_TRUE(bar.objectRep()->field("TOTAL")->isNil());
  EXPECT_TRUE(TPROGBAR_INCREMENTA(bar));
  EXPECT_EQ(barScreen("Processando, aguarde... 0%", 0).diff(*h), "");
  TPROGBAR_CLOSE(bar);
}

TEST_F(ProgressTest, MethodsByNameAndByMessage) {
  Value bar = rt::callRoutine("TPROGBAR");
  rt::callRoutine("TPROGBAR_INIT", Args{bar, Value(8), Value("Por nome")});
  EXPECT_TRUE(rt::callRoutine("TPROGBAR_INCREMENTA", Args{bar, Value(2)}).log());
  EXPECT_EQ(bar.objectRep()->field("CPERCENTUAL")->str(), "25");
  const ClassDef::Method* m = bar.objectRep()->cls->method("INCREMENTA");
  ASSERT_NE(m, nullptr);
  Args args{Value(2)};
  EXPECT_TRUE((*m)(bar, args).log());
  EXPECT_EQ(bar.objectRep()->field("CPERCENTUAL")->str(), "50");
  rt::callRoutine("TPROGBAR_CLOSE", Args{bar});
}

TEST_F(ProgressTest, OneCallBarDrawRule) {
  struct Case {
    int current, total;
    bool draws;
  };
  const Case cases[] = {{7, 300, false}, {6, 300, true},  {3, 300, true},  {15, 600, true},
                        {150, 300, true}, {395, 400, false}, {396, 400, true}, {399, 400, true},
                        {2, 400, true},  {0, 0, true}};
  for (const Case& c : cases) {
    patternScreen();
    std::string before = saveScreen();
    EXPECT_TRUE(PROGBAR(Value(c.current), Value(c.total)));
    EXPECT_EQ(saveScreen() != before, c.draws) << c.current << " of " << c.total;
  }
  patternScreen();
  PROGBAR(Value(6), Value(300));
  EXPECT_EQ(barScreen("Processando, Aguarde...  2%", 0).diff(*h), "");
  patternScreen();
  PROGBAR(Value(150), Value(300), Value("Gerando"), Value(3), Value(10));
  EXPECT_EQ(shownRow(3).substr(11, 39), centred("Gerando 50%"));
  EXPECT_EQ(h->rowText(4).substr(11, 20), repeat("█"_cp, 20));
  // A start time: the estimate takes the caption's place when there is none...
  patternScreen();
  PROGBAR(Value(1), Value(1), {}, {}, {}, {}, Value(100));
  EXPECT_EQ(barScreen("Tempo restante: 1 Minuto100%", 40).diff(*h), "");
  // ... or the bottom border under a caption.
  patternScreen();
  PROGBAR(Value(1), Value(1), Value("Lendo"), {}, {}, {}, Value(100));
  EXPECT_EQ(barScreen("Lendo100%", 40, "Tempo restante: 1 Minuto").diff(*h), "");
}

TEST_F(ProgressTest, OneCallBarCancel) {
  pushKey(key::Esc);
  std::string before = saveScreen();
  h->type({key::Enter});  // "Sim"
  EXPECT_FALSE(PROGBAR(Value(1), Value(2), {}, {}, {}, Value::logical(true)));
  EXPECT_EQ(saveScreen(), before);
  pushKey(key::Esc);
  h->type({key::Right, key::Enter});  // "Não"
  EXPECT_TRUE(PROGBAR(Value(1), Value(2), {}, {}, {}, Value::logical(true)));
  EXPECT_NE(saveScreen(), before);
}

TEST_F(ProgressTest, IndexBuildPercentage) {
  rt::publicVar("NCOMPLETE", Value(49));
  rt::publicVar("NCONTREG", Value(100));
  EXPECT_TRUE(NTXPROGRESS());
  EXPECT_EQ(rt::getVar("NCOMPLETE").integer(), 50);
  EXPECT_EQ(h->rowText(12).substr(40, 7), " 50.00%");
  EXPECT_EQ(h->cell(12, 40).attr, 0x70);
  rt::publicVar("NPASSOPROGRESSO", Value(10));
  writeAt(12, 40, "       ");
  NTXPROGRESS();  // 51 %: not a multiple of 10
  EXPECT_EQ(h->rowText(12).substr(40, 7), "       ");
  rt::publicVar("NCOMPLETE", Value(59));
  NTXPROGRESS();
  EXPECT_EQ(h->rowText(12).substr(40, 7), " 60.00%");
}

}  // namespace
}  // namespace kor::con::test
