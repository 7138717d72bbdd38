#include "console/color.h"

#include <memory>
#include <unordered_map>

namespace kor::con {

namespace {

// One side of a pair: letters (or a number) giving a colour 0-7 (0-15 for a
// number); nullopt when malformed. `empty` tells an absent side.
std::optional<int> parseSide(std::string_view s, bool& empty, bool& bright, bool& blink, bool& inverse,
                             bool& blank) {
  int colour = 0;
  bool any = false, digits = false;
  int number = 0;
  for (char c : s) {
    switch (c) {
      case ' ': break;
      case '+': bright = true; break;
      case '*': blink = true; break;
      case 'n': case 'N': any = true; break;
      case 'b': case 'B': colour |= 1; any = true; break;
      case 'g': case 'G': colour |= 2; any = true; break;
      case 'r': case 'R': colour |= 4; any = true; break;
      case 'w': case 'W': colour |= 7; any = true; break;
      case 'u': case 'U': colour |= 1; any = true; break;
      case 'i': case 'I': inverse = true; any = true; break;
      case 'x': case 'X': blank = true; any = true; break;
      default:
        if (c >= '0' && c <= '9') {
          digits = true;
          number = number * 10 + (c - '0');
          if (number > 15) return std::nullopt;
          break;
        }
        return std::nullopt;
    }
  }
  if (digits && any) return std::nullopt;
  empty = !any && !digits;
  return digits ? number : colour;
}

}  // namespace

std::optional<uint8_t> parsePair(std::string_view pair) {
  size_t slash = pair.find('/');
  std::string_view fgText = slash == std::string_view::npos ? pair : pair.substr(0, slash);
  std::string_view bgText = slash == std::string_view::npos ? std::string_view() : pair.substr(slash + 1);
  bool fgEmpty = true, bgEmpty = true, bright = false, blink = false, inverse = false, blank = false;
  auto fg = parseSide(fgText, fgEmpty, bright, blink, inverse, blank);
  auto bg = parseSide(bgText, bgEmpty, bright, blink, inverse, blank);
  if (!fg || !bg) return std::nullopt;
  if (fgEmpty && bgEmpty && !bright && !blink) return std::nullopt;
  int f = *fg, b = *bg;
  if (inverse) f = 0, b = 7;
  if (bright) f |= 8;
  if (blink) b |= 8;
  if (blank) f = b;
  return static_cast<uint8_t>((b & 15) << 4 | (f & 15));
}

ColorSpec ColorSpec::over(const ColorSpec& base) const {
  ColorSpec out = base;
  for (int i = 0; i < kSlots; ++i)
    if (given[i]) {
      out.attr[i] = attr[i];
      out.given[i] = true;
    }
  return out;
}

ColorSpec parseColor(std::string_view text) {
  static std::unordered_map<std::string, std::unique_ptr<ColorSpec>> cache;
  std::string key(text);
  auto it = cache.find(key);
  if (it != cache.end()) return *it->second;
  auto spec = std::make_unique<ColorSpec>();
  size_t start = 0;
  for (int slot = 0; slot < kSlots && start <= text.size(); ++slot) {
    size_t comma = text.find(',', start);
    std::string_view pair = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    if (auto a = parsePair(pair)) {
      spec->attr[slot] = *a;
      spec->given[slot] = true;
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  // A program uses a handful of colour strings; a runaway caller building
  // new ones forever must not grow the cache without bound.
  if (cache.size() > 4096) cache.clear();
  return *cache.emplace(std::move(key), std::move(spec)).first->second;
}

uint8_t firstAttr(std::string_view colorText, uint8_t fallback) {
  ColorSpec s = parseColor(firstPair(colorText));
  return s.at(kStandard, fallback);
}

std::string pairText(uint8_t attr) {
  static const char* const kNames[8] = {"N", "B", "G", "BG", "R", "RB", "GR", "W"};
  std::string out = kNames[attr & 7];
  if (attr & 8) out += '+';
  out += '/';
  out += kNames[(attr >> 4) & 7];
  if (attr & 0x80) out += '*';
  return out;
}

std::string_view firstPair(std::string_view colorText) {
  size_t comma = colorText.find(',');
  return comma == std::string_view::npos ? colorText : colorText.substr(0, comma);
}

std::string reversePair(std::string_view pair) {
  size_t slash = pair.find('/');
  if (slash == std::string_view::npos) return std::string(pair);
  std::string out(pair.substr(slash + 1));
  out += '/';
  out += pair.substr(0, slash);
  return out;
}

}  // namespace kor::con
