#include "console/textwrap.h"

#include "values/textform.h"

namespace kor::con {

std::vector<std::string> wrapText(std::string_view text, int width) {
  if (width < 1) width = 1;
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string_view hard = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!hard.empty() && hard.back() == '\r') hard.remove_suffix(1);
    do {
      if (static_cast<int>(hard.size()) <= width) {
        out.emplace_back(hard);
        break;
      }
      size_t cut = hard.substr(0, static_cast<size_t>(width) + 1).find_last_of(' ');
      if (cut == std::string_view::npos || cut == 0) {
        out.emplace_back(hard.substr(0, static_cast<size_t>(width)));
        hard.remove_prefix(static_cast<size_t>(width));
      } else {
        out.emplace_back(hard.substr(0, cut));
        hard.remove_prefix(cut + 1);
      }
    } while (!hard.empty());
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return out;
}

std::string semicolonLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == ';')
      out += "\r\n";
    else
      out.push_back(c);
  }
  return out;
}

unsigned char upperKey(int code) {
  if (code < 0 || code > 255) return 0;
  return upperByte(static_cast<unsigned char>(code));
}

}  // namespace kor::con
