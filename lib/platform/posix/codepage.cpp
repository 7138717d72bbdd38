// Code-page conversion through the C library's iconv.
#include <iconv.h>

#include <cerrno>
#include <map>
#include <tuple>

#include "platform/platform.h"

namespace kor::plat {

namespace {

const char* iconvName(int cp) {
  switch (cp) {
    case kCp850: return "CP850";
    case kCp1252: return "CP1252";
    case kCpUtf8: return "UTF-8";
    default: return nullptr;
  }
}

const iconv_t kBad = reinterpret_cast<iconv_t>(-1);

// Converters are opened once per pair and kept for the life of the process
// (the program has one thread); they are closed when the process ends.
struct ConverterCache {
  std::map<std::tuple<int, int, bool>, iconv_t> open;
  ~ConverterCache() {
    for (auto& [key, cd] : open)
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

iconv_t converter(int from, int to, bool translit) {
  static ConverterCache converters;
  auto& cache = converters.open;
  auto key = std::make_tuple(from, to, translit);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  const char* f = iconvName(from);
  const char* t = iconvName(to);
  iconv_t cd = kBad;
  if (f && t) {
    std::string target = t;
    if (translit) target += "//TRANSLIT";
    cd = iconv_open(target.c_str(), f);
  }
  cache.emplace(key, cd);
  return cd;
}

// Length of the character at p in the source code page; 0 when the bytes
// there are not a valid character (only UTF-8 can say so by itself).
size_t charLength(int cp, const unsigned char* p, size_t n) {
  if (cp != kCpUtf8) return 1;
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
  if (n < len) return 0;
  if (p[1] < lo || p[1] > hi) return 0;
  for (size_t i = 2; i < len; ++i)
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  return len;
}

// The system's single-character stand-in for a character the target lacks.
bool bestFit(int from, int to, const char* p, size_t len, char& fit) {
  iconv_t cd = converter(from, to, true);
  if (cd == kBad) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char buf[16];
  char* ip = const_cast<char*>(p);
  char* op = buf;
  size_t il = len, ol = sizeof buf;
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return false;
  size_t produced = static_cast<size_t>(op - buf);
  if (produced != 1 || buf[0] == '?') return false;
  fit = buf[0];
  return true;
}

}  // namespace

bool convertCodePage(std::string_view in, int fromCp, int toCp, std::string& out, char replacement) {
  out.clear();
  iconv_t cd = converter(fromCp, toCp, false);
  if (cd == kBad) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.reserve(in.size() + in.size() / 2 + 4);
  const char* p = in.data();
  size_t left = in.size();
  char buf[1024];
  while (left > 0) {
    char* ip = const_cast<char*>(p);
    char* op = buf;
    size_t ol = sizeof buf;
    size_t r = iconv(cd, &ip, &left, &op, &ol);
    int err = errno;
    out.append(buf, static_cast<size_t>(op - buf));
    p = ip;
    if (r != static_cast<size_t>(-1)) break;
    if (err == E2BIG) continue;
    size_t len = charLength(fromCp, reinterpret_cast<const unsigned char*>(p), left);
    char fit;
    if (len > 0 && err == EILSEQ && bestFit(fromCp, toCp, p, len, fit)) out += fit;
    else out += replacement;
    if (len == 0) len = 1;
    p += len;
    left -= len;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return true;
}

}  // namespace kor::plat
