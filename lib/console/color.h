// Colour strings and attributes.
//
// A cell's colour is one attribute byte: the foreground in the low four bits,
// the background in the high four (0 black, 1 blue, 2 green, 3 cyan, 4 red,
// 5 magenta, 6 brown, 7 grey, +8 the bright form). Attribute 8 (grey on
// black) is the shadow colour.
//
// A colour string is a list of foreground/background pairs separated by
// commas: standard, enhanced, border, background, unselected
// ("W+/N", "N/W,W+/N", "B/W,N/BG,,,B/W"). A side is made of the letters N B G
// BG R RB GR W (in any order and case: "GB" is "BG"), or a number 0-15; "+"
// anywhere in a pair brightens the foreground, "*" the background (a blinking
// background on the consoles of old, a bright one on today's). "I" is the
// inverse pair (N/W), "X" blank (N/N), "U" underline (blue on colour
// screens). An empty pair leaves that slot as it was.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kor::con {

enum ColorSlot : int { kStandard = 0, kEnhanced = 1, kBorder = 2, kBackground = 3, kUnselected = 4 };
constexpr int kSlots = 5;

constexpr uint8_t kShadowAttr = 0x08;

// The attribute of one pair; nullopt for an empty or malformed pair.
std::optional<uint8_t> parsePair(std::string_view pair);

// A parsed colour string: the slots it gives.
struct ColorSpec {
  std::array<uint8_t, kSlots> attr{};
  std::array<bool, kSlots> given{};
  // This spec laid over `base`: the slots it gives replace those of base.
  ColorSpec over(const ColorSpec& base) const;
  uint8_t at(int slot, uint8_t fallback) const { return given[slot] ? attr[slot] : fallback; }
};

// Parses a colour string (results are cached by text: colour strings are
// few and used over and over).
ColorSpec parseColor(std::string_view text);

// The attribute of the first pair of a colour string ("W+/R,N/W" -> W+/R);
// `fallback` when that pair is empty or malformed.
uint8_t firstAttr(std::string_view colorText, uint8_t fallback = 0x07);

// The pair text of an attribute ("W+/N", "N/W", "GR+/B*").
std::string pairText(uint8_t attr);

// Text helpers for colour strings as the library handles them.
// The text before the first comma.
std::string_view firstPair(std::string_view colorText);
// The pair with the texts on both sides of its first slash swapped ("W/N" -> "N/W").
std::string reversePair(std::string_view pair);

}  // namespace kor::con
