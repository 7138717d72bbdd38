// Code-page conversion through the system's MultiByteToWideChar and
// WideCharToMultiByte, one source character at a time, so that invalid
// input and characters the target lacks become the replacement one by one.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/platform.h"

namespace kor::plat {

namespace {

bool known(int cp) { return cp == kCp850 || cp == kCp1252 || cp == kCpUtf8; }

// Length of the UTF-8 character at p; 0 when the bytes there are invalid.
size_t utf8Length(const unsigned char* p, size_t n) {
  unsigned char c = p[0];
  if (c < 0x80) return 1;
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) len = 2;
  else if (c == 0xE0) len = 3, lo = 0xA0;
  else if (c == 0xED) len = 3, hi = 0x9F;
  else if (c >= 0xE1 && c <= 0xEF) len = 3;
  else if (c == 0xF0) len = 4, lo = 0x90;
  else if (c == 0xF4) len = 4, hi = 0x8F;
  else if (c >= 0xF1 && c <= 0xF3) len = 4;
  else return 0;
  if (n < len || p[1] < lo || p[1] > hi) return 0;
  for (size_t i = 2; i < len; ++i)
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  return len;
}

}  // namespace

bool convertCodePage(std::string_view in, int fromCp, int toCp, std::string& out, char replacement) {
  out.clear();
  if (!known(fromCp) || !known(toCp)) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in.data());
  size_t n = in.size();
  for (size_t i = 0; i < n;) {
    size_t len = fromCp == kCpUtf8 ? utf8Length(p + i, n - i) : 1;
    if (len == 0) {
      out += replacement;
      ++i;
      continue;
    }
    wchar_t wide[4];
    int wn = MultiByteToWideChar(static_cast<UINT>(fromCp), fromCp == kCpUtf8 ? MB_ERR_INVALID_CHARS : 0,
                                 reinterpret_cast<const char*>(p + i), static_cast<int>(len), wide, 4);
    i += len;
    if (wn <= 0) {
      out += replacement;
      continue;
    }
    char buf[16];
    BOOL usedDefault = FALSE;
    int bn = WideCharToMultiByte(static_cast<UINT>(toCp), 0, wide, wn, buf, sizeof buf, nullptr,
                                 toCp == kCpUtf8 ? nullptr : &usedDefault);
    if (bn <= 0 || usedDefault) out += replacement;
    else out.append(buf, static_cast<size_t>(bn));
  }
  return true;
}

}  // namespace kor::plat
