// The screen grid: writing, clipping, saving and restoring, buffered
// drawing, and what reaches the backend.
#include "console/tests/fixture.h"

namespace kor::con::test {
namespace {

using ScreenTest = ConsoleTest;

TEST_F(ScreenTest, WritesShowAtOnceAndAreClippedAtTheRowEnd) {
  writeAt(3, 75, "abcdefgh", 0x4F);
  EXPECT_EQ(h->rowText(3).substr(75), "abcde");
  EXPECT_EQ(h->rowText(4), std::string(80, ' '));
  EXPECT_EQ(h->cell(3, 75).attr, 0x4F);
  EXPECT_EQ(h->rowColors(3), "W/N*75 W+/R*5");
  EXPECT_EQ(row(), 0);  // writeAt leaves the cursor alone
  say(5, 10, "xy");
  EXPECT_EQ(row(), 5);
  EXPECT_EQ(col(), 12);
  EXPECT_EQ(h->cursorRow(), 5);
  EXPECT_EQ(h->cursorCol(), 12);
  writeAt(-1, 0, "no");
  writeAt(25, 0, "no");
  writeAt(0, -2, "abc");
  EXPECT_EQ(h->rowText(0).substr(0, 2), "c ");
}

TEST_F(ScreenTest, TheStandardColourComesFromTheColourSetting) {
  setColor("GR+/B,W+/R");
  writeAt(0, 0, "x");
  EXPECT_EQ(h->cell(0, 0).attr, 0x1E);
  EXPECT_EQ(colorAttr(kEnhanced), 0x4F);
  EXPECT_EQ(colorAttr(kUnselected), 0x70);  // the default fills empty slots
  rt::set(rt::Set::Color, Value("N/W"));
  EXPECT_EQ(colorAttr(), 0x70);
  EXPECT_EQ(colorText(), "N/W");
}

TEST_F(ScreenTest, OnlyChangedCellsReachTheBackend) {
  writeAt(10, 0, std::string(80, 'a'));
  long before = h->cellsWritten();
  writeAt(10, 0, std::string(80, 'a'));
  EXPECT_EQ(h->cellsWritten(), before);
  writeAt(10, 5, "aab");  // only the 'b' differs
  EXPECT_EQ(h->cellsWritten(), before + 1);
}

TEST_F(ScreenTest, BufferedDrawingShowsWhenTheOutermostBufferEnds) {
  dispBegin();
  writeAt(1, 1, "one");
  dispBegin();
  writeAt(2, 1, "two");
  dispEnd();
  EXPECT_EQ(h->rowText(1).substr(1, 3), "   ");
  EXPECT_EQ(dispCount(), 1);
  int presents = h->presents();
  dispEnd();
  EXPECT_EQ(h->rowText(1).substr(1, 3), "one");
  EXPECT_EQ(h->rowText(2).substr(1, 3), "two");
  EXPECT_EQ(h->presents(), presents + 1);
  dispEnd();  // unbalanced: harmless
  EXPECT_EQ(dispCount(), 0);
}

TEST_F(ScreenTest, SaveAndRestoreGiveBackCellsAndColours) {
  for (int r = 0; r <= maxRow(); ++r) writeAt(r, 0, std::string(80, static_cast<char>('A' + r)), static_cast<uint8_t>(r));
  std::string whole = saveScreen();
  ASSERT_EQ(whole.size(), 25u * 80u * 2u);
  std::string part = saveRect(5, 10, 7, 14);
  ASSERT_EQ(part.size(), 3u * 5u * 2u);
  clearRect(0, 0, maxRow(), maxCol(), 0x1F);
  EXPECT_EQ(h->cell(6, 12).ch, ' ');
  restoreRect(5, 10, 7, 14, part);
  EXPECT_EQ(h->cell(6, 12).ch, 'A' + 6);
  EXPECT_EQ(h->cell(6, 12).attr, 6);
  EXPECT_EQ(h->cell(6, 15).attr, 0x1F);
  restoreScreen(whole);
  EXPECT_EQ(saveScreen(), whole);
  // A saved area put elsewhere, and a short text restoring what it holds.
  restoreRect(0, 0, 2, 4, part);
  EXPECT_EQ(h->rowText(0).substr(0, 5), "FFFFF");
  restoreRect(20, 0, 20, 79, "Zz");
  EXPECT_EQ(h->cell(20, 0).ch, 'Z');
  EXPECT_EQ(h->cell(20, 0).attr, 'z');
  EXPECT_EQ(h->cell(20, 1).ch, 'A' + 20);
}

TEST_F(ScreenTest, BoxesFillsScrollsAndRecolouring) {
  drawBox(2, 2, 5, 8, "+-+|+-+|.", 0x70);
  EXPECT_EQ(h->rowText(2).substr(2, 7), "+-----+");
  EXPECT_EQ(h->rowText(3).substr(2, 7), "|.....|");
  EXPECT_EQ(h->rowText(5).substr(2, 7), "+-----+");
  drawBox(10, 0, 12, 3, "12345678", 0x07);  // no fill: the inside stays
  EXPECT_EQ(h->rowText(10).substr(0, 4), "1223");
  EXPECT_EQ(h->rowText(11).substr(0, 4), "8  4");
  EXPECT_EQ(h->rowText(12).substr(0, 4), "7665");
  recolorRect(2, 2, 2, 4, 0x08);
  EXPECT_EQ(h->cell(2, 3).ch, '-');
  EXPECT_EQ(h->cell(2, 3).attr, 0x08);
  writeAt(20, 0, "line20");
  writeAt(21, 0, "line21");
  scrollRect(20, 0, 21, 79, 1, 0, 0x07);
  EXPECT_EQ(shownRow(20), "line21");
  EXPECT_EQ(shownRow(21), "");
  scrollRect(20, 0, 21, 79, -1, 0, 0x07);
  EXPECT_EQ(shownRow(20), "");
  EXPECT_EQ(shownRow(21), "line21");
}

TEST_F(ScreenTest, LineOutputWrapsAndScrolls) {
  setPos(23, 0);
  outText("first");
  outLine("second");
  EXPECT_EQ(shownRow(23), "first");
  EXPECT_EQ(shownRow(24), "second");
  outLine(std::string(85, 'x'));
  EXPECT_EQ(shownRow(21), "first");
  EXPECT_EQ(shownRow(22), "second");
  EXPECT_EQ(shownRow(23), std::string(80, 'x'));
  EXPECT_EQ(shownRow(24), "xxxxx");
  EXPECT_EQ(row(), 24);
  EXPECT_EQ(col(), 5);
}

TEST_F(ScreenTest, CursorShapeIsTheSettingAndReachesTheBackend) {
  EXPECT_EQ(setCursor(kCursorNone), kCursorNormal);
  EXPECT_EQ(h->cursorShape(), 0);
  EXPECT_EQ(rt::setting(rt::Set::Cursor).integer(), 0);
  {
    ScreenStateGuard guard;
    setCursor(kCursorInsert);
    setColor("W+/R");
    setPos(7, 7);
    rt::set(rt::Set::Device, Value("PRINTER"));
  }
  EXPECT_EQ(cursorShape(), kCursorNone);
  EXPECT_EQ(colorText(), "W/N,N/W,N,N,N/W");
  EXPECT_EQ(row(), 0);
  EXPECT_EQ(rt::setting(rt::Set::Device).str(), "SCREEN");
}

TEST_F(ScreenTest, ANewBackendReceivesTheWholeGridAndTheTitle) {
  writeAt(12, 30, "kept");
  setTitle("Utilit\x87rio");
  HeadlessBackend& other = installHeadless();
  EXPECT_EQ(other.rowText(12).substr(30, 4), "kept");
  EXPECT_EQ(other.titleText(), "Utilit\x87rio");
  h = &other;
}

TEST_F(ScreenTest, SetModeKeepsWhatFits) {
  writeAt(0, 0, "top");
  writeAt(24, 0, "bottom");
  ASSERT_TRUE(setMode(50, 80));
  EXPECT_EQ(maxRow(), 49);
  EXPECT_EQ(h->rows(), 50);
  EXPECT_EQ(shownRow(0), "top");
  EXPECT_EQ(shownRow(24), "bottom");
  EXPECT_FALSE(setMode(3, 80));
  ASSERT_TRUE(setMode(25, 80));
  EXPECT_EQ(shownRow(24), "bottom");
}

}  // namespace
}  // namespace kor::con::test
