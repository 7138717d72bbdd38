// Code page 850 texts in UTF-8 source files.
//
// The program's texts are code page 850 bytes, but our sources are UTF-8.
// The literal suffix _cp converts a UTF-8 literal to CP850 at compile time:
//   std::string_view s = "Erro nos parâmetros"_cp;   // 'â' becomes 0x83
// A character that CP850 cannot hold is a compile-time error.
//
// kCp850ToUnicode is the code page's table for bytes 0x80-0xFF; the
// terminal backend draws with it and the tests check it against iconv.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kor {

inline constexpr char16_t kCp850ToUnicode[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,  // B0
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,  // C8
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,  // D0
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,  // D8
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,  // E0
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,  // E8
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,  // F0
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,  // F8
};

// The CP850 byte of a Unicode code point, or -1 when the code page lacks it.
constexpr int cp850FromUnicode(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  for (int i = 0; i < 128; ++i)
    if (kCp850ToUnicode[i] == cp) return 0x80 + i;
  return -1;
}

namespace detail {

template <size_t N>
struct Cp850Literal {
  char bytes[N] = {};
  size_t len = 0;
  consteval Cp850Literal(const char (&s)[N]) {
    size_t i = 0;
    while (i + 1 < N) {
      unsigned char c = static_cast<unsigned char>(s[i]);
      char32_t cp = 0;
      int extra = 0;
      if (c < 0x80) {
        cp = c;
      } else if ((c & 0xE0) == 0xC0) {
        cp = c & 0x1F;
        extra = 1;
      } else if ((c & 0xF0) == 0xE0) {
        cp = c & 0x0F;
        extra = 2;
      } else if ((c & 0xF8) == 0xF0) {
        cp = c & 0x07;
        extra = 3;
      } else {
        throw "invalid UTF-8 in a _cp literal";
      }
      for (int k = 1; k <= extra; ++k) {
        if (i + k + 1 > N) throw "truncated UTF-8 in a _cp literal";
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
      }
      i += 1 + extra;
      int b = cp850FromUnicode(cp);
      if (b < 0) throw "character not in code page 850";
      bytes[len++] = static_cast<char>(b);
    }
  }
};

}  // namespace detail

namespace detail {
template <char... Cs>
struct Cp850Storage {
  static constexpr char source[sizeof...(Cs) + 1] = {Cs..., '\0'};
  static constexpr Cp850Literal<sizeof...(Cs) + 1> value{source};
};
}  // namespace detail

// The characters reach the operator as a template parameter pack (a GNU
// extension both our compilers accept) rather than as a class-type template
// argument: clang 14 crashes printing notes about the latter.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wgnu-string-literal-operator-template"
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
template <typename C, C... Cs>
constexpr std::string_view operator""_cp() {
  using S = detail::Cp850Storage<static_cast<char>(Cs)...>;
  return std::string_view(S::value.bytes, S::value.len);
}
#if defined(__clang__)
#pragma clang diagnostic pop
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace kor
