// Key decoding: raw terminal byte sequences and the key codes they give.
#include <gtest/gtest.h>

#include "console/keydecode.h"
#include "console/keys.h"

namespace kor::con {
namespace {

struct Case {
  const char* name;
  std::string bytes;
  std::vector<int> keys;
};

std::vector<int> codes(std::string_view bytes) {
  std::vector<int> out;
  for (const InputEvent& e : decodeKeys(bytes)) out.push_back(e.key);
  return out;
}

TEST(KeyDecodeTest, TableOfSequences) {
  const Case cases[] = {
      // Characters, CP850 from UTF-8.
      {"letters", "aZ9 ~", {'a', 'Z', '9', ' ', '~'}},
      {"c cedilla", "\xC3\xA7", {0x87}},
      {"a tilde, E acute", "\xC3\xA3\xC3\x89", {0xC6, 0x90}},
      {"not in CP850 (euro)", "\xE2\x82\xAC" "x", {'x'}},
      {"box char typed", "\xE2\x94\x80", {0xC4}},
      {"stray continuation", "\x80" "a", {'a'}},
      {"broken sequence", "\xC3" "a", {'a'}},
      // Control bytes.
      {"enter CR", "\r", {key::Enter}},
      {"enter LF", "\n", {key::Enter}},
      {"tab", "\t", {key::Tab}},
      {"backspace DEL", "\x7F", {key::Backspace}},
      {"backspace BS", "\x08", {key::Backspace}},
      {"ctrl+C", "\x03", {515}},
      {"ctrl+W", "\x17", {535}},
      {"ctrl+A", "\x01", {513}},
      {"ctrl+Z", "\x1A", {538}},
      {"NUL ignored", std::string("\0x", 2), {'x'}},
      {"esc alone", "\x1B", {key::Esc}},
      {"esc esc", "\x1B\x1B", {key::Esc, key::Esc}},
      // Cursor keys, normal and application mode.
      {"up", "\x1B[A", {key::Up}},
      {"down", "\x1B[B", {key::Down}},
      {"right", "\x1B[C", {key::Right}},
      {"left", "\x1B[D", {key::Left}},
      {"up SS3", "\x1BOA", {key::Up}},
      {"right SS3", "\x1BOC", {key::Right}},
      {"home CSI H", "\x1B[H", {key::Home}},
      {"end CSI F", "\x1B[F", {key::End}},
      {"home SS3", "\x1BOH", {key::Home}},
      {"end SS3", "\x1BOF", {key::End}},
      {"home 1~", "\x1B[1~", {key::Home}},
      {"home 7~", "\x1B[7~", {key::Home}},
      {"end 4~", "\x1B[4~", {key::End}},
      {"end 8~", "\x1B[8~", {key::End}},
      {"ins", "\x1B[2~", {key::Ins}},
      {"del", "\x1B[3~", {key::Del}},
      {"pgup", "\x1B[5~", {key::PgUp}},
      {"pgdn", "\x1B[6~", {key::PgDn}},
      {"shift+tab", "\x1B[Z", {key::ShiftTab}},
      // Modifiers.
      {"ctrl+up", "\x1B[1;5A", {key::CtrlUp}},
      {"ctrl+down", "\x1B[1;5B", {key::CtrlDown}},
      {"ctrl+left", "\x1B[1;5D", {key::CtrlLeft}},
      {"ctrl+right", "\x1B[1;5C", {key::CtrlRight}},
      {"alt+down", "\x1B[1;3B", {key::AltDown}},
      {"alt+up", "\x1B[1;3A", {key::AltUp}},
      {"shift+up is up", "\x1B[1;2A", {key::Up}},
      {"ctrl+home", "\x1B[1;5H", {key::CtrlHome}},
      {"ctrl+end", "\x1B[1;5F", {key::CtrlEnd}},
      {"ctrl+pgup", "\x1B[5;5~", {key::CtrlPgUp}},
      {"ctrl+pgdn", "\x1B[6;5~", {key::CtrlPgDn}},
      {"ctrl+ins", "\x1B[2;5~", {402}},
      {"ctrl+del", "\x1B[3;5~", {403}},
      {"alt+ins", "\x1B[2;3~", {418}},
      {"alt+down meta-escape", "\x1B\x1B[B", {key::AltDown}},
      {"rxvt ctrl+up", "\x1BOa", {key::CtrlUp}},
      {"rxvt ctrl+pgdn", "\x1B[6^", {key::CtrlPgDn}},
      // Function keys.
      {"F1 SS3", "\x1BOP", {28}},
      {"F2 SS3", "\x1BOQ", {-1}},
      {"F4 SS3", "\x1BOS", {-3}},
      {"F1 11~", "\x1B[11~", {28}},
      {"F5", "\x1B[15~", {-4}},
      {"F6", "\x1B[17~", {-5}},
      {"F10", "\x1B[21~", {-9}},
      {"F11", "\x1B[23~", {-40}},
      {"F12", "\x1B[24~", {-41}},
      {"linux F1", "\x1B[[A", {28}},
      {"linux F5", "\x1B[[E", {-4}},
      {"alt+F1", "\x1B[1;3P", {-30}},
      {"alt+F5", "\x1B[15;3~", {-34}},
      {"ctrl+F2", "\x1B[1;5Q", {-21}},
      {"shift+F3", "\x1B[1;2R", {-12}},
      {"alt+F1 meta-escape", "\x1B\x1BOP", {-30}},
      // Alt with characters.
      {"alt+s", "\x1Bs", {287}},
      {"alt+S", "\x1BS", {287}},
      {"alt+q", "\x1Bq", {272}},
      {"alt+c", "\x1B" "c", {302}},
      {"alt+1", "\x1B" "1", {376}},
      {"alt+0", "\x1B" "0", {385}},
      {"alt+enter", "\x1B\r", {key::AltEnter}},
      {"alt+backspace", "\x1B\x7F", {key::AltBackspace}},
      {"alt+O alone", "\x1BO", {key::alt('O')}},
      {"alt+punctuation is the character", "\x1B-", {'-'}},
      // Keys by code point.
      {"csi-u ctrl+enter", "\x1B[13;5u", {key::CtrlEnter}},
      {"csi-u alt+a", "\x1B[97;3u", {286}},
      // Replies and focus reports give nothing.
      {"focus in", "\x1B[I", {}},
      {"device reply", "\x1B[?62;c", {}},
      {"paste markers", "\x1B[200~ab\x1B[201~", {'a', 'b'}},
      // Sequences in a row.
      {"several", "a\x1B[Ab\x1BOPc\r", {'a', key::Up, 'b', 28, 'c', key::Enter}},
      {"unfinished CSI then char", "\x1B[", {'['}},
  };
  for (const Case& c : cases) EXPECT_EQ(codes(c.bytes), c.keys) << c.name;
}

TEST(KeyDecodeTest, MouseReports) {
  struct MouseCase {
    const char* name;
    std::string bytes;
    int key, row, col;
  };
  const MouseCase cases[] = {
      {"SGR left press", "\x1B[<0;11;6M", key::LeftDown, 5, 10},
      {"SGR left release", "\x1B[<0;11;6m", key::LeftUp, 5, 10},
      {"SGR right press", "\x1B[<2;1;1M", key::RightDown, 0, 0},
      {"SGR middle press", "\x1B[<1;80;25M", key::MiddleDown, 24, 79},
      {"SGR wheel up", "\x1B[<64;5;5M", key::WheelForward, 4, 4},
      {"SGR wheel down", "\x1B[<65;5;5M", key::WheelBackward, 4, 4},
      {"SGR move", "\x1B[<35;3;4M", key::MouseMove, 3, 2},
      {"SGR ctrl+left press", "\x1B[<16;2;2M", key::LeftDown, 1, 1},
      {"X10 left press", std::string("\x1B[M") + char(32) + char(33 + 10) + char(33 + 5), key::LeftDown, 5, 10},
      {"X10 release", std::string("\x1B[M") + char(35) + char(33) + char(33), key::LeftUp, 0, 0},
  };
  for (const MouseCase& c : cases) {
    std::vector<InputEvent> ev = decodeKeys(c.bytes);
    ASSERT_EQ(ev.size(), 1u) << c.name;
    EXPECT_EQ(ev[0].key, c.key) << c.name;
    EXPECT_EQ(ev[0].row, c.row) << c.name;
    EXPECT_EQ(ev[0].col, c.col) << c.name;
  }
}

TEST(KeyDecodeTest, SequencesSplitAcrossReadsWaitForTheirEnd) {
  KeyDecoder d;
  std::vector<InputEvent> out;
  d.feed("\x1B", out);
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(d.pending());
  d.feed("[1;", out);
  EXPECT_TRUE(out.empty());
  d.feed("5A\xC3", out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].key, key::CtrlUp);
  d.feed("\xA7", out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].key, 0x87);
  // A lone ESC becomes the Esc key when the escape delay passes.
  d.feed("\x1B", out);
  EXPECT_EQ(out.size(), 2u);
  d.flush(out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[2].key, key::Esc);
  EXPECT_FALSE(d.pending());
}

TEST(KeyDecodeTest, RunawaySequencesAreDroppedNotHoarded) {
  KeyDecoder d;
  std::vector<InputEvent> out;
  d.feed("\x1B[" + std::string(200, '1'), out);
  d.feed("x", out);
  EXPECT_FALSE(out.empty());
  EXPECT_EQ(out.back().key, 'x');
}

TEST(KeyDecodeTest, AHugeModifierNumberIsReadWithoutOverflow) {
  // Found by the fuzz target: the digits after ESC O overflowed an int
  // (the sanitizer build stops there).
  KeyDecoder d;
  std::vector<InputEvent> out;
  d.feed("\x1BO5777738333A", out);
  d.feed("x", out);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back().key, 'x');
}

}  // namespace
}  // namespace kor::con
