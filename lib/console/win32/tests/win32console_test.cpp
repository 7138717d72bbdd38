#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include "console/keys.h"
#include "console/win32/win32console.h"

namespace kor::con {
namespace {

TEST(Win32Keys, EventsBecomeTheClassicCodes) {
  struct Case {
    unsigned vk, state;
    wchar_t ch;
    int code;
  } cases[] = {
      {VK_RETURN, 0, L'\r', 13},
      {VK_ESCAPE, 0, 27, 27},
      {VK_UP, 0, 0, 5},
      {VK_DOWN, 0, 0, 24},
      {VK_DOWN, LEFT_ALT_PRESSED, 0, 416},
      {VK_F1, 0, 0, 28},
      {VK_F2, 0, 0, -1},
      {VK_F10, 0, 0, -9},
      {VK_F1, LEFT_ALT_PRESSED, 0, -30},
      {'S', LEFT_ALT_PRESSED, L's', 287},
      {'Q', RIGHT_ALT_PRESSED, L'q', 272},
      {'C', LEFT_CTRL_PRESSED, 3, 515},
      {'W', RIGHT_CTRL_PRESSED, 23, 535},
      {VK_TAB, SHIFT_PRESSED, L'\t', 271},
      {VK_TAB, 0, L'\t', 9},
      {'A', 0, L'a', 'a'},
      {'A', SHIFT_PRESSED, L'A', 'A'},
      {0xDE, 0, L'\u00e7', 0x87},   // ç
      {'E', LEFT_CTRL_PRESSED | RIGHT_ALT_PRESSED, L'\u20ac', 0},  // € is not in CP850
      {'Q', LEFT_CTRL_PRESSED | RIGHT_ALT_PRESSED, L'/', '/'},     // AltGr gives the character
      {VK_CANCEL, LEFT_CTRL_PRESSED, 0, 256},
      {VK_SHIFT, SHIFT_PRESSED, 0, 0},
  };
  for (auto& c : cases) EXPECT_EQ(translateWin32Key(c.vk, c.state, c.ch), c.code) << c.vk;
}

}  // namespace
}  // namespace kor::con
