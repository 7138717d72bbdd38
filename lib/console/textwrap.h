// Breaking message texts into screen lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kor::con {

// The lines of a text word-wrapped at `width` columns: CR LF (or a lone LF)
// ends a line; a line longer than the width breaks after its last blank
// within the width (the blank is dropped), or is cut at the width when it
// has none. An empty text gives one empty line.
std::vector<std::string> wrapText(std::string_view text, int width);

// The text with every ";" turned into a line end (CR LF).
std::string semicolonLines(std::string_view text);

// CP850 upper case of one byte, for hot letters.
unsigned char upperKey(int code);

}  // namespace kor::con
