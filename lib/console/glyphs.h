// What each code page 850 byte looks like, as a Unicode code point, for the
// backends that draw with Unicode (the terminal). Bytes 128-255 are the code
// page's characters (values/cp850.h); the control bytes 0-31 and 127 are
// drawn as the console's classic glyphs (code 7 is "•", 16 "►", 24 "↑",
// 25 "↓", 30 "▲", 31 "▼" ...), which widgets use as marks and arrows.
#pragma once

#include <cstdint>

namespace kor::con {

char32_t glyphOf(uint8_t cp850);

}  // namespace kor::con
