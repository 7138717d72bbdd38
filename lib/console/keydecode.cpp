#include "console/keydecode.h"

#include "console/keys.h"
#include "values/cp850.h"

namespace kor::con {

namespace {

// Modifier bits of the xterm parameter (parameter - 1).
constexpr int kShift = 1, kAlt = 2, kCtrl = 4, kMeta = 8;

enum Nav { kUp, kDown, kRight, kLeft, kHome, kEnd, kIns, kDel, kPgUp, kPgDn };
constexpr int kNavPlain[] = {key::Up, key::Down, key::Right, key::Left, key::Home,
                             key::End, key::Ins, key::Del, key::PgUp, key::PgDn};
constexpr int kNavCtrl[] = {key::CtrlUp, key::CtrlDown, key::CtrlRight, key::CtrlLeft, key::CtrlHome,
                            key::CtrlEnd, key::CtrlIns, key::CtrlDel, key::CtrlPgUp, key::CtrlPgDn};
constexpr int kNavAlt[] = {key::AltUp, key::AltDown, key::AltRight, key::AltLeft, key::AltHome,
                           key::AltEnd, key::AltIns, key::AltDel, key::AltPgUp, key::AltPgDn};

int navKey(Nav n, int mods) {
  if (mods & kCtrl) return kNavCtrl[n];
  if (mods & (kAlt | kMeta)) return kNavAlt[n];
  return kNavPlain[n];
}

int fnKey(int n, int mods) {
  if (mods & kCtrl) return key::ctrlFn(n);
  if (mods & (kAlt | kMeta)) return key::altFn(n);
  if (mods & kShift) return key::shiftFn(n);
  return key::fn(n);
}

// A printable ASCII character with modifiers.
int charKey(int c, int mods) {
  if (mods & kCtrl) {
    if (int k = key::ctrl(static_cast<char>(c))) return k;
  }
  if (mods & (kAlt | kMeta)) {
    if (int k = key::alt(static_cast<char>(c))) return k;
  }
  return c;
}

// A control byte (below 32, or DEL).
int controlKey(unsigned char b) {
  switch (b) {
    case 0x0D:
    case 0x0A: return key::Enter;
    case 0x09: return key::Tab;
    case 0x08:
    case 0x7F: return key::Backspace;
    case 0x1B: return key::Esc;
    default:
      if (b >= 1 && b <= 26) return 512 + b;
      return 0;  // NUL, Ctrl+\ ] ^ _ : nothing of ours
  }
}

// Length of a UTF-8 sequence from its lead byte; 0 for an invalid lead.
int utf8Length(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 0;
}

struct Parser {
  std::string_view s;
  bool final;
  std::vector<InputEvent>& out;

  void emit(int k, int row = -1, int col = -1) {
    if (k != 0) out.push_back(InputEvent{k, row, col});
  }

  // One UTF-8 character at `i`: bytes consumed (0 = incomplete).
  size_t utf8(size_t i, int mods) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int len = utf8Length(b);
    if (len == 0) return 1;  // a stray byte: dropped
    if (s.size() - i < static_cast<size_t>(len)) return final ? s.size() - i : 0;
    char32_t cp = b & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
      unsigned char c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return static_cast<size_t>(k);  // broken: drop the part read
      cp = (cp << 6) | (c & 0x3F);
    }
    int byte = cp850FromUnicode(cp);
    if (byte >= 0x20) emit(byte < 0x80 ? charKey(byte, mods) : byte);
    return static_cast<size_t>(len);
  }

  // Numeric parameters of a sequence ("1;5" -> {1, 5}); sub-parameters
  // after ':' are ignored.
  static std::vector<int> params(std::string_view p) {
    std::vector<int> v;
    int cur = 0;
    bool have = false, sub = false;
    for (char c : p) {
      if (c >= '0' && c <= '9') {
        if (!sub && cur < 100000) cur = cur * 10 + (c - '0');
        have = true;
      } else if (c == ';') {
        v.push_back(have ? cur : 0);
        cur = 0;
        have = sub = false;
      } else if (c == ':') {
        sub = true;
      }
    }
    v.push_back(have ? cur : 0);
    return v;
  }

  static int modsOf(const std::vector<int>& p, size_t i) {
    return (p.size() > i && p[i] > 1) ? p[i] - 1 : 0;
  }

  void tildeKey(int n, int mods) {
    switch (n) {
      case 1: case 7: emit(navKey(kHome, mods)); break;
      case 2: emit(navKey(kIns, mods)); break;
      case 3: emit(navKey(kDel, mods)); break;
      case 4: case 8: emit(navKey(kEnd, mods)); break;
      case 5: emit(navKey(kPgUp, mods)); break;
      case 6: emit(navKey(kPgDn, mods)); break;
      case 11: case 12: case 13: case 14: case 15: emit(fnKey(n - 10, mods)); break;
      case 17: case 18: case 19: case 20: case 21: emit(fnKey(n - 11, mods)); break;
      case 23: case 24: emit(fnKey(n - 12, mods)); break;
      default: break;  // paste markers and keys we do not have
    }
  }

  void mouseEvent(int b, int x, int y, bool release) {
    int row = y - 1, col = x - 1;
    if (b & 64) {
      if ((b & 3) == 0) emit(key::WheelForward, row, col);
      if ((b & 3) == 1) emit(key::WheelBackward, row, col);
      return;
    }
    if (b & 32) {
      emit(key::MouseMove, row, col);
      return;
    }
    switch (b & 3) {
      case 0: emit(release ? key::LeftUp : key::LeftDown, row, col); break;
      case 1: emit(release ? key::MiddleUp : key::MiddleDown, row, col); break;
      case 2: emit(release ? key::RightUp : key::RightDown, row, col); break;
      default: emit(key::LeftUp, row, col); break;  // X10 release: button unknown
    }
  }

  // "ESC [" at `i` - 2; returns bytes consumed from the ESC (0 = incomplete).
  size_t csi(size_t start, int extraMods) {
    size_t i = start + 2;
    if (i >= s.size()) return 0;
    if (s[i] == 'M' ) {  // X10 mouse: three bytes follow
      if (s.size() - i < 4) return 0;
      int b = static_cast<unsigned char>(s[i + 1]) - 32;
      int x = static_cast<unsigned char>(s[i + 2]) - 32;
      int y = static_cast<unsigned char>(s[i + 3]) - 32;
      mouseEvent(b, x, y, false);
      return i + 4 - start;
    }
    if (s[i] == '[') {  // Linux console F1-F5
      if (s.size() - i < 2) return 0;
      char f = s[i + 1];
      if (f >= 'A' && f <= 'E') emit(fnKey(f - 'A' + 1, extraMods));
      return i + 2 - start;
    }
    size_t p = i;
    while (p < s.size() && static_cast<unsigned char>(s[p]) >= 0x20 && static_cast<unsigned char>(s[p]) <= 0x3F) ++p;
    while (p < s.size() && static_cast<unsigned char>(s[p]) >= 0x20 && static_cast<unsigned char>(s[p]) <= 0x2F) ++p;
    if (p >= s.size()) return (p - start > 40) ? p - start : 0;  // a runaway sequence is dropped
    unsigned char fin = static_cast<unsigned char>(s[p]);
    size_t used = p + 1 - start;
    if (fin < 0x40 || fin > 0x7E) return p - start;  // malformed: drop up to the odd byte
    std::string_view body = s.substr(i, p - i);
    if (!body.empty() && body[0] == '<') {  // SGR mouse
      if (fin == 'M' || fin == 'm') {
        std::vector<int> v = params(body.substr(1));
        if (v.size() >= 3) mouseEvent(v[0], v[1], v[2], fin == 'm');
      }
      return used;
    }
    if (!body.empty() && (body[0] == '?' || body[0] == '>' || body[0] == '=')) return used;  // replies
    std::vector<int> v = params(body);
    int mods = modsOf(v, 1) | extraMods;
    switch (fin) {
      case 'A': emit(navKey(kUp, mods)); break;
      case 'B': emit(navKey(kDown, mods)); break;
      case 'C': emit(navKey(kRight, mods)); break;
      case 'D': emit(navKey(kLeft, mods)); break;
      case 'H': emit(navKey(kHome, mods)); break;
      case 'F': emit(navKey(kEnd, mods)); break;
      case 'P': emit(fnKey(1, mods)); break;
      case 'Q': emit(fnKey(2, mods)); break;
      case 'R': emit(fnKey(3, mods)); break;
      case 'S': emit(fnKey(4, mods)); break;
      case 'Z': emit(key::ShiftTab); break;
      case '~': tildeKey(v[0], mods); break;
      case '^': tildeKey(v[0], mods | kCtrl); break;   // rxvt
      case '$': tildeKey(v[0], mods | kShift); break;  // rxvt
      case '@': tildeKey(v[0], mods | kCtrl | kShift); break;
      case 'a': emit(navKey(kUp, mods | kShift)); break;  // rxvt Shift+arrows
      case 'b': emit(navKey(kDown, mods | kShift)); break;
      case 'c': emit(navKey(kRight, mods | kShift)); break;
      case 'd': emit(navKey(kLeft, mods | kShift)); break;
      case 'u': {  // "CSI code ; modifiers u": a key by its code point
        int cp = v[0];
        if (cp == 13) emit(mods & (kAlt | kMeta) ? key::AltEnter : (mods & kCtrl) ? key::CtrlEnter : key::Enter);
        else if (cp == 9) emit(mods & kShift ? key::ShiftTab : (mods & kCtrl) ? key::CtrlTab : key::Tab);
        else if (cp == 27) emit(key::Esc);
        else if (cp == 127 || cp == 8) emit(mods & (kAlt | kMeta) ? key::AltBackspace : (mods & kCtrl) ? key::CtrlBackspace : key::Backspace);
        else if (cp >= 32 && cp < 127) emit(charKey(cp, mods));
        else if (int b = cp850FromUnicode(static_cast<char32_t>(cp)); b >= 0x80) emit(b);
        break;
      }
      default: break;  // focus reports, keypad centre and the like
    }
    return used;
  }

  // "ESC O" at start.
  size_t ss3(size_t start, int extraMods) {
    size_t i = start + 2;
    size_t p = i;
    while (p < s.size() && s[p] >= '0' && s[p] <= '9') ++p;
    if (p >= s.size()) return (p - start > 8) ? p - start : 0;
    int mods = extraMods;
    if (p > i) {
      int m = 0;
      for (size_t k = i; k < p && m < 100000; ++k) m = m * 10 + (s[k] - '0');  // bounded: no overflow on junk
      if (m > 1) mods |= m - 1;
    }
    char f = s[p];
    switch (f) {
      case 'A': emit(navKey(kUp, mods)); break;
      case 'B': emit(navKey(kDown, mods)); break;
      case 'C': emit(navKey(kRight, mods)); break;
      case 'D': emit(navKey(kLeft, mods)); break;
      case 'H': emit(navKey(kHome, mods)); break;
      case 'F': emit(navKey(kEnd, mods)); break;
      case 'P': emit(fnKey(1, mods)); break;
      case 'Q': emit(fnKey(2, mods)); break;
      case 'R': emit(fnKey(3, mods)); break;
      case 'S': emit(fnKey(4, mods)); break;
      case 'M': emit(key::Enter); break;
      case 'a': emit(navKey(kUp, mods | kCtrl)); break;  // rxvt Ctrl+arrows
      case 'b': emit(navKey(kDown, mods | kCtrl)); break;
      case 'c': emit(navKey(kRight, mods | kCtrl)); break;
      case 'd': emit(navKey(kLeft, mods | kCtrl)); break;
      case 'j': emit('*'); break;
      case 'k': emit('+'); break;
      case 'l': emit(','); break;
      case 'm': emit('-'); break;
      case 'n': emit('.'); break;
      case 'o': emit('/'); break;
      case 'X': emit('='); break;
      default:
        if (f >= 'p' && f <= 'y') emit('0' + (f - 'p'));
        break;
    }
    return p + 1 - start;
  }

  // One event at the start of s; bytes consumed, 0 when more are needed.
  size_t one() {
    unsigned char b = static_cast<unsigned char>(s[0]);
    if (b != 0x1B) {
      if (b < 0x20 || b == 0x7F) {
        emit(controlKey(b));
        return 1;
      }
      if (b < 0x80) {
        emit(b);
        return 1;
      }
      return utf8(0, 0);
    }
    if (s.size() < 2) return final ? (emit(key::Esc), 1) : 0;
    unsigned char c = static_cast<unsigned char>(s[1]);
    size_t n = 0;
    if (c == '[') {
      n = csi(0, 0);
    } else if (c == 'O') {
      n = ss3(0, 0);
    } else if (c == 0x1B) {
      // ESC ESC [ ... : Alt with a sequence key; a second ESC alone is a
      // second Esc key.
      if (s.size() < 3) {
        if (!final) return 0;
      } else if (s[2] == '[' || s[2] == 'O') {
        std::string_view rest = s.substr(1);
        Parser inner{rest, final, out};
        size_t k = s[2] == '[' ? inner.csi(0, kAlt) : inner.ss3(0, kAlt);
        if (k) return k + 1;
        if (!final) return 0;
      }
      emit(key::Esc);
      return 1;
    } else if (c >= 0x20 && c < 0x7F) {
      emit(charKey(c, kAlt));
      return 2;
    } else if (c == 0x7F || c == 0x08) {
      emit(key::AltBackspace);
      return 2;
    } else if (c == 0x0D) {
      emit(key::AltEnter);
      return 2;
    } else if (c < 0x20) {
      emit(controlKey(c));
      return 2;
    } else {
      size_t k = utf8(1, kAlt);
      return k ? k + 1 : 0;
    }
    if (n) return n;
    if (!final) return 0;
    if (s.size() == 2) {  // "ESC O" or "ESC [" and nothing more: Alt with that character
      emit(charKey(c, kAlt));
      return 2;
    }
    emit(key::Esc);  // an unfinished sequence: the Esc key, then plain bytes
    return 1;
  }
};

}  // namespace

void KeyDecoder::feed(std::string_view bytes, std::vector<InputEvent>& out) {
  buf_.append(bytes);
  size_t pos = 0;
  while (pos < buf_.size()) {
    Parser p{std::string_view(buf_).substr(pos), false, out};
    size_t n = p.one();
    if (n == 0) break;
    pos += n;
  }
  buf_.erase(0, pos);
}

void KeyDecoder::flush(std::vector<InputEvent>& out) {
  size_t pos = 0;
  while (pos < buf_.size()) {
    Parser p{std::string_view(buf_).substr(pos), true, out};
    size_t n = p.one();
    pos += n ? n : 1;
  }
  buf_.clear();
}

std::vector<InputEvent> decodeKeys(std::string_view bytes) {
  KeyDecoder d;
  std::vector<InputEvent> out;
  d.feed(bytes, out);
  d.flush(out);
  return out;
}

}  // namespace kor::con
