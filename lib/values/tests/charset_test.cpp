#include "values/charset.h"

#include <gtest/gtest.h>

#include "values/cp850.h"
#include "values/hooks.h"

namespace kor {
namespace {

std::string cp(std::string_view s) { return std::string(s); }
std::string troca(std::string_view s, int mode) { return TROCAACENTO(Value(s), Value(mode)).string(); }

// The accented letters of the table in each code page.
constexpr std::string_view kLettersUtf8 = "ÃÕãõÁÉÍÓÚáéíóúçÇÂÊÎÔÛâêîôûªüàäÏÜÀñÑèìòùÈÒÙëïöÄÖ";
constexpr std::string_view kPlain = "AOaoAEIOUaeioucCAEIOUaeiouauaaIUAnNeiouEOUeioAO";

std::string ansiOf(std::string_view utf8) {
  // UTF-8 of Latin-1 letters to their single Windows-1252 bytes.
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) out += static_cast<char>(c);
    else out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
  }
  return out;
}

TEST(Charset, AccentModesTable) {
  std::string oem = cp("ÃÕãõÁÉÍÓÚáéíóúçÇÂÊÎÔÛâêîôûªüàäÏÜÀñÑèìòùÈÒÙëïöÄÖ"_cp);
  std::string ansi = ansiOf(kLettersUtf8);
  std::string utf8(kLettersUtf8);
  std::string plain(kPlain);
  struct Case {
    std::string in;
    int mode;
    std::string out;
  } cases[] = {
      {cp("Ação  "_cp), 1, "Acao"},
      {oem, 1, plain},
      {oem, 2, ansi},
      {ansi, 3, oem},
      {ansi, 4, plain},
      {oem, 6, utf8},
      {utf8, 7, plain},
      {utf8, 8, oem},
      {cp("coração"_cp), 2, "cora\xE7\xE3o"},
      {"cora\xE7\xE3o", 3, cp("coração"_cp)},
      {"a & b", 6, "a &amp; b"},
      {"a &amp; b", 7, "a & b"},
      {"a <b>", 6, "a &lt;b&gt;"},
      {cp("nº"_cp), 6, "n&deg;"},
      {"n&deg;", 8, cp("nº"_cp)},
      {"n\xC2\xBA", 8, cp("nº"_cp)},  // the standard UTF-8 ordinal sign too
      {"n\xC2\xBA", 7, "no"},
      {"\xCC", 3, "I"},              // Windows-1252 Ì
      {"\xCB", 3, "E"},              // Windows-1252 Ë
      {cp("Ì"_cp), 1, cp("Ì"_cp)},   // code page 850 Ì is not in the table
      {cp("Ì"_cp), 2, cp("Ì"_cp)},
      {"I E", 2, "I E"},             // plain vowels stay plain
      {"Ideia", 6, "Ideia"},
      {"\xC3\x8C", 8, "I"},          // UTF-8 Ì
      {"a &amp;lt; b", 7, "a < b"},  // entities in table order, over the whole text
      {cp("é"_cp), 5, "e\b'"},
      {cp("É"_cp), 5, "E\b'"},
      {cp("ç"_cp), 5, "c\b,"},
      {cp("ãâü&"_cp), 5, cp("a\b~âü&"_cp)},
      {"abc   ", 9, "abc"},
      {"", 1, ""},
      {"\xFF\xFE", 8, "\xFF\xFE"},
  };
  for (auto& c : cases) EXPECT_EQ(troca(c.in, c.mode), c.out) << c.in << " mode " << c.mode;
  EXPECT_EQ(TROCAASSENTO(Value("Ação"_cp)).string(), "Acao");
  EXPECT_EQ(TROCAACENTO(Value()).string(), "");
}

TEST(Charset, ProgressIsReported) {
  std::vector<std::pair<int64_t, int64_t>> calls;
  values::consoleHooks().progress = [&](int64_t d, int64_t t) { calls.emplace_back(d, t); };
  TROCAACENTO(Value("abc"), Value(1), Value::logical(true));
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.front(), (std::pair<int64_t, int64_t>{0, 3}));
  EXPECT_EQ(calls.back(), (std::pair<int64_t, int64_t>{3, 3}));
  calls.clear();
  TROCAACENTO(Value("abc"), Value(8), Value::logical(true));
  EXPECT_EQ(calls.back(), (std::pair<int64_t, int64_t>{54, 54}));
  calls.clear();
  TROCAACENTO(Value("abc"), Value(8));
  EXPECT_TRUE(calls.empty());
  values::resetConsoleHooks();
}

TEST(Charset, IgnoraVogais) {
  Value r = IGNORAVOGAIS(Value::array({Value("a"), Value("B"), Value(" "), Value(""), Value("e"), Value("IO"),
                                       Value("x"), Value(5)}));
  ASSERT_EQ(r.size(), 8u);
  const char* want[] = {"", "B", "", "", "", "", "x"};
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(r.at(i).string(), want[i]) << i;
  EXPECT_EQ(r.at(7).integer(), 5);
}

TEST(Charset, PlainCodePageConversions) {
  EXPECT_EQ(OEM_TO_ANSI(Value("coração"_cp)).string(), "cora\xE7\xE3o");
  EXPECT_EQ(ANSI_TO_OEM(Value("cora\xE7\xE3o")).string(), cp("coração"_cp));
  EXPECT_EQ(OEM_TO_UTF8(Value("coração ─"_cp)).string(), "coração ─");
  EXPECT_EQ(UTF8_TO_OEM(Value("coração ─")).string(), cp("coração ─"_cp));
  EXPECT_EQ(UTF8_TO_OEM(Value("a\xFF\xC3")).string(), "a??");       // malformed UTF-8
  EXPECT_EQ(UTF8_TO_OEM(Value("日本")).string(), "??");              // not in code page 850
  EXPECT_EQ(OEM_TO_ANSI(Value("\xB0")).string(), "?");               // shade block
  EXPECT_EQ(ANSI_TO_OEM(Value("\x80")).string(), "?");               // euro sign
  // Every letter that both code pages hold goes there and back.
  for (int b = 0x80; b < 0x100; ++b) {
    std::string one(1, static_cast<char>(b));
    std::string ansi = OEM_TO_ANSI(Value(one)).string();
    if (ansi != "?" && static_cast<unsigned char>(ansi[0]) >= 0xA0)
      EXPECT_EQ(ANSI_TO_OEM(Value(ansi)).string(), one) << b;
    EXPECT_EQ(UTF8_TO_OEM(OEM_TO_UTF8(Value(one))).string(), one) << b;
  }
}

TEST(Charset, RecognisesTheCharacterSet) {
  struct Case {
    std::string s;
    bool u8, oem, ansi;
    const char* id;
  } cases[] = {
      {"", true, false, false, "UTF-8"},
      {"plain ascii", true, false, false, "UTF-8"},
      {"ação", true, true, false, "UTF-8"},  // ç is C3 A7, ã C3 A3
      {"\xE7", false, false, true, "ANSI"},   // Windows-1252 ç
      {"\x87", false, true, false, "OEM"},    // code page 850 ç
      {"\xC3", false, false, false, "ANSI"},  // a lone lead byte at the end
      {"\xC3\x28", false, false, false, "ANSI"},
      {"\xE0\x9F\x80", false, true, true, "OEM"},   // 224 needs 160-191 next
      {"\xE0\xA0\x80", true, true, true, "UTF-8"},
      {"\xF4\x80\x80\x80", true, false, true, "UTF-8"},
      {"\xF5\x80\x80\x80", false, false, true, "ANSI"},
      {"\xC1\xBF", false, false, false, "ANSI"},
      {"\x80", false, false, true, "ANSI"},
      {"\xA8", false, true, false, "OEM"},
      {"\xA9", false, false, false, "ANSI"},
      {"\xE2\x82", false, true, true, "OEM"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ISU8(Value(c.s)).log(), c.u8) << c.s;
    EXPECT_EQ(ISOEM(Value(c.s)).log(), c.oem) << c.s;
    EXPECT_EQ(ISANSI(Value(c.s)).log(), c.ansi) << c.s;
    EXPECT_EQ(IDCHARSET(Value(c.s)).string(), c.id) << c.s;
  }
  EXPECT_EQ(XTOOEM(Value("ação")).string(), cp("ação"_cp));
  EXPECT_EQ(XTOOEM(Value("a\xE7\xE3o")).string(), cp("ação"_cp));
  EXPECT_EQ(XTOOEM(Value("ação"_cp)).string(), cp("ação"_cp));
  EXPECT_EQ(XTOOEM(Value(5)).integer(), 5);
}

TEST(Charset, HtmlAndUrls) {
  struct Case {
    std::string in, out;
  } html[] = {
      {cp("Ação & <b>"_cp), "A&ccedil;&atilde;o &amp; &lt;b&gt;"},
      {"a &amp; b", "a &amp; b"},
      {"a &nbsp;b", "a &nbsp;b"},
      {"a & b;", "a &amp; b;"},
      {"a &x", "a &amp;x"},
      {"2^3 ~x", "2&circ;3 &tilde;x"},
      {cp("nº 5 ½"_cp), "n&ordm; 5 &frac12;"},
      {"\"q\"", "\"q\""},
  };
  for (auto& c : html) EXPECT_EQ(OEM_TO_HTML(Value(c.in)).string(), c.out) << c.in;
  EXPECT_EQ(MEMOTOHTML(Value::memo("a\r\nb\x8D\nc")).string(), "a<br>b \nc");
  EXPECT_EQ(MEMOTOHTML(Value::memo("a\x8D\nc"), Value::logical(false)).string(), "a<br>\nc");
  EXPECT_EQ(MEMOTOHTML(Value::memo("")).string(), "");

  EXPECT_EQ(HTMLTOCARAC(Value("&amp;lt;")).string(), "&lt;");
  EXPECT_EQ(HTMLTOCARAC(Value("&Aacute;&ccedil;&quot;&apos;&szlig;&copy;")).string(), "\xC1\xE7\"'\xDF\xA9");
  EXPECT_EQ(HTMLTOCARAC(Value("&nbsp;&euro;")).string(), "&nbsp;&euro;");  // not among the 68
  EXPECT_EQ(HTMLTOCARAC(Value("no entities")).string(), "no entities");

  EXPECT_EQ(STRURL(Value("a b/c")).string(), "a%20b%2fc");
  EXPECT_EQ(STRURL(Value("100%")).string(), "100%25");
  EXPECT_EQ(STRURL(Value(" #:?/&<|%>;x")).string(), "%20%23%3a%3f%2f%26%3c%7c%25%3e%3bx");

  EXPECT_TRUE(IGUALOUCONTIDO(Value("*NOTA*"), Value("NOTA FISCAL")).log());
  EXPECT_FALSE(IGUALOUCONTIDO(Value("NOTA"), Value("NOTA FISCAL")).log());
  EXPECT_TRUE(IGUALOUCONTIDO(Value("NOTA"), Value("NOTA")).log());
  EXPECT_TRUE(IGUALOUCONTIDO(Value("*FIS*CAL"), Value("NOTA FISCAL")).log());
  EXPECT_FALSE(IGUALOUCONTIDO(Value("*nota*"), Value("NOTA FISCAL")).log());
  EXPECT_TRUE(IGUALOUCONTIDO(Value("*"), Value("")).log());
}

}  // namespace
}  // namespace kor
