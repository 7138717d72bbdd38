#include "values/charset.h"

#include <array>
#include <vector>

#include "platform/platform.h"
#include "runtime/frames.h"
#include "values/cp850.h"
#include "values/hooks.h"
#include "values/textform.h"

namespace kor {

namespace values {

namespace {

std::string utf8Of(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// --- the accent table -----------------------------------------------------------

struct AccentRow {
  std::string ansi, oem, plain, utf8;
  std::string printer;     // mode 5 form
  bool oemIsPlain = false;  // rows whose CP850 form is a plain vowel
  bool utf8Only = false;    // row 54: only ever a UTF-8 source
};

// Row data: the letter, its plain form, and the mode 5 accent mark ("'"
// acute, "," cedilla, "~" tilde, "`" grave, "\"" diaeresis; 0 = stays).
struct RowDef {
  char32_t letter;
  char plain;
  char mark;
};

const std::vector<AccentRow>& accentTable() {
  static const std::vector<AccentRow> rows = [] {
    const RowDef defs[] = {
        {U'Ã', 'A', '~'}, {U'Õ', 'O', '~'}, {U'ã', 'a', '~'}, {U'õ', 'o', '~'},                   // 1-4
        {U'Á', 'A', '\''}, {U'É', 'E', '\''}, {U'Í', 'I', '\''}, {U'Ó', 'O', '\''}, {U'Ú', 'U', '\''},  // 5-9
        {U'á', 'a', '\''}, {U'é', 'e', '\''}, {U'í', 'i', '\''}, {U'ó', 'o', '\''}, {U'ú', 'u', '\''},  // 10-14
        {U'ç', 'c', ','}, {U'Ç', 'C', ','},                                                      // 15-16
        {U'Â', 'A', 0}, {U'Ê', 'E', 0}, {U'Î', 'I', 0}, {U'Ô', 'O', 0}, {U'Û', 'U', 0},          // 17-21
        {U'â', 'a', 0}, {U'ê', 'e', 0}, {U'î', 'i', 0}, {U'ô', 'o', 0}, {U'û', 'u', 0},          // 22-26
        {U'º', 'o', 0}, {U'ª', 'a', 0}, {U'ü', 'u', 0}, {U'à', 'a', 0},                          // 27-30
        {U'&', '&', 0},                                                                          // 31
        {U'ä', 'a', '"'}, {U'Ï', 'I', '"'},                                                      // 32-33
        {U'<', '<', 0}, {U'>', '>', 0},                                                          // 34-35
        {U'Ü', 'U', '"'}, {U'À', 'A', '`'},                                                      // 36-37
        {U'ñ', 'n', '~'}, {U'Ñ', 'N', '~'},                                                      // 38-39
        {U'è', 'e', '`'}, {U'ì', 'i', '`'}, {U'ò', 'o', '`'}, {U'ù', 'u', '`'},                  // 40-43
        {U'È', 'E', '`'}, {U'Ì', 'I', '`'}, {U'Ò', 'O', '`'}, {U'Ù', 'U', '`'},                  // 44-47
        {U'ë', 'e', '"'}, {U'ï', 'i', '"'}, {U'ö', 'o', '"'},                                    // 48-50
        {U'Ä', 'A', '"'}, {U'Ë', 'E', '"'}, {U'Ö', 'O', '"'},                                    // 51-53
        {U'º', 'o', 0},                                                                          // 54
    };
    std::vector<AccentRow> out;
    int number = 0;
    for (const RowDef& d : defs) {
      ++number;
      AccentRow r;
      r.plain = std::string(1, d.plain);
      r.ansi = std::string(1, static_cast<char>(d.letter));  // Windows-1252 = Latin-1 here
      r.oem = std::string(1, static_cast<char>(cp850FromUnicode(d.letter)));
      r.utf8 = utf8Of(d.letter);
      r.printer = d.mark ? r.plain + '\b' + d.mark : r.oem;
      switch (number) {
        case 27: r.utf8 = "&deg;"; break;
        case 31: r.utf8 = "&amp;"; break;
        case 34: r.utf8 = "&lt;"; break;
        case 35: r.utf8 = "&gt;"; break;
        case 45: r.oem = "I"; r.oemIsPlain = true; break;
        case 52: r.oem = "E"; r.oemIsPlain = true; break;
        case 54: r.utf8Only = true; break;
        default: break;
      }
      out.push_back(std::move(r));
    }
    return out;
  }();
  return rows;
}

// Per-byte lookup of a character-by-character mode: the replacement of
// each byte, or nullptr to keep it.
using ByteMap = std::array<const std::string*, 256>;

const ByteMap& byteMap(int mode) {
  static std::array<ByteMap, 7> maps;
  static std::array<bool, 7> built{};
  if (!built[mode]) {
    ByteMap& m = maps[mode];
    m.fill(nullptr);
    bool fromOem = mode == 1 || mode == 2 || mode == 5 || mode == 6;
    for (const AccentRow& r : accentTable()) {
      if (r.utf8Only || (fromOem && r.oemIsPlain)) continue;
      unsigned char src = static_cast<unsigned char>((fromOem ? r.oem : r.ansi)[0]);
      if (m[src]) continue;  // the first matching row wins
      const std::string* target = nullptr;
      switch (mode) {
        case 1: case 4: target = &r.plain; break;
        case 2: target = &r.ansi; break;
        case 3: target = &r.oem; break;
        case 5: target = &r.printer; break;
        case 6: target = &r.utf8; break;
        default: break;
      }
      m[src] = target;
    }
    built[mode] = true;
  }
  return maps[mode];
}

void replaceAll(std::string& s, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  size_t pos = s.find(from);
  if (pos == std::string::npos) return;
  std::string out;
  out.reserve(s.size());
  size_t last = 0;
  while (pos != std::string::npos) {
    out.append(s, last, pos - last);
    out.append(to);
    last = pos + from.size();
    pos = s.find(from, last);
  }
  out.append(s, last, std::string::npos);
  s.swap(out);
}

// --- plain code-page mappings ---------------------------------------------------------

// Single-byte tables built once from the system's conversion; when the
// system has none, from the CP850 table (Windows-1252 then read as Latin-1).
struct ByteTables {
  std::array<char, 256> oemToAnsi{}, ansiToOem{};
  std::array<std::string, 256> oemToUtf8;
  ByteTables() {
    for (int b = 0; b < 256; ++b) {
      std::string in(1, static_cast<char>(b)), out;
      char32_t uni = b < 0x80 ? static_cast<char32_t>(b) : kCp850ToUnicode[b - 0x80];
      if (plat::convertCodePage(in, plat::kCp850, plat::kCp1252, out) && out.size() == 1) {
        oemToAnsi[b] = out[0];
      } else {
        oemToAnsi[b] = uni <= 0xFF && !(uni >= 0x80 && uni < 0xA0) ? static_cast<char>(uni) : '?';
      }
      if (plat::convertCodePage(in, plat::kCp1252, plat::kCp850, out) && out.size() == 1) {
        ansiToOem[b] = out[0];
      } else {
        int o = b >= 0x80 && b < 0xA0 ? -1 : cp850FromUnicode(static_cast<char32_t>(b));
        ansiToOem[b] = o < 0 ? '?' : static_cast<char>(o);
      }
      if (!plat::convertCodePage(in, plat::kCp850, plat::kCpUtf8, out) || out.empty()) out = utf8Of(uni);
      oemToUtf8[b] = out;
    }
  }
};

const ByteTables& byteTables() {
  static const ByteTables t;
  return t;
}

bool ascii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// UTF-8 to CP850 with the CP850 table, for a system without a converter.
std::string utf8ToOemOwn(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = 0;
    size_t len = 0;
    if (c < 0x80) cp = c, len = 1;
    else if (c >= 0xC2 && c <= 0xDF) cp = c & 0x1F, len = 2;
    else if (c >= 0xE0 && c <= 0xEF) cp = c & 0x0F, len = 3;
    else if (c >= 0xF0 && c <= 0xF4) cp = c & 0x07, len = 4;
    bool ok = len > 0 && i + len <= s.size();
    for (size_t k = 1; ok && k < len; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    int b = cp850FromUnicode(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
    i += len;
  }
  return out;
}

// --- HTML ------------------------------------------------------------------------------

// HTML 4 names of the Latin-1 characters 160-255.
constexpr const char* kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

// The entities HTMLTOCARAC replaces, in its order.
constexpr const char* kEntityOrder[68] = {
    "Aacute", "aacute", "Acirc",  "acirc",  "Agrave", "agrave", "Aring",  "aring",  "Atilde", "atilde",
    "Auml",   "auml",   "AElig",  "aelig",  "Eacute", "eacute", "Ecirc",  "ecirc",  "Egrave", "egrave",
    "Euml",   "euml",   "ETH",    "eth",    "Iacute", "iacute", "Icirc",  "icirc",  "Igrave", "igrave",
    "Iuml",   "iuml",   "Oacute", "oacute", "Ocirc",  "ocirc",  "Ograve", "ograve", "Oslash", "oslash",
    "Otilde", "otilde", "Ouml",   "ouml",   "Uacute", "uacute", "Ucirc",  "ucirc",  "Ugrave", "ugrave",
    "Uuml",   "uuml",   "Ccedil", "ccedil", "Ntilde", "ntilde", "lt",     "gt",     "amp",    "quot",
    "reg",    "copy",   "Yacute", "yacute", "THORN",  "thorn",  "szlig",  "apos",
};

char entityChar(std::string_view name) {
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "amp") return '&';
  if (name == "quot") return '"';
  if (name == "apos") return '\'';
  for (int i = 0; i < 96; ++i)
    if (name == kLatin1Names[i]) return static_cast<char>(160 + i);
  return '?';
}

// An "&" that already begins an entity reference: a ";" follows before
// any blank.
bool beginsEntity(std::string_view s, size_t amp) {
  for (size_t i = amp + 1; i < s.size(); ++i) {
    if (s[i] == ';') return true;
    if (s[i] == ' ') return false;
  }
  return false;
}

std::string htmlEscape(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 4);
  for (size_t i = 0; i < ansi.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(ansi[i]);
    switch (c) {
      case '&': out += beginsEntity(ansi, i) ? "&" : "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '^': out += "&circ;"; break;
      case '~': out += "&tilde;"; break;
      default:
        if (c >= 160) {
          out += '&';
          out += kLatin1Names[c - 160];
          out += ';';
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

}  // namespace

std::string replaceAccents(std::string_view text, int mode, bool showProgress) {
  std::string_view s = rtrim(text);
  if (mode >= 1 && mode <= 6) {
    const ByteMap& m = byteMap(mode);
    std::string out;
    out.reserve(s.size() + (mode == 5 || mode == 6 ? s.size() / 2 : 0));
    int64_t total = static_cast<int64_t>(s.size());
    if (showProgress) progress(0, total);
    for (size_t i = 0; i < s.size(); ++i) {
      const std::string* t = m[static_cast<unsigned char>(s[i])];
      if (t) out += *t;
      else out += s[i];
      if (showProgress && (i & 0x3FF) == 0x3FF) progress(static_cast<int64_t>(i + 1), total);
    }
    if (showProgress) progress(total, total);
    return out;
  }
  std::string out(s);
  if (mode == 7 || mode == 8) {
    const auto& rows = accentTable();
    int64_t total = static_cast<int64_t>(rows.size());
    if (showProgress) progress(0, total);
    int64_t done = 0;
    for (const AccentRow& r : rows) {
      replaceAll(out, r.utf8, mode == 7 ? r.plain : r.oem);
      if (showProgress) progress(++done, total);
    }
  }
  return out;
}

std::string utf8ToOem(std::string_view s) {
  if (ascii(s)) return std::string(s);
  std::string out;
  if (plat::convertCodePage(s, plat::kCpUtf8, plat::kCp850, out)) return out;
  return utf8ToOemOwn(s);
}

std::string oemToUtf8(std::string_view s) {
  if (ascii(s)) return std::string(s);
  const auto& t = byteTables();
  std::string out;
  out.reserve(s.size() + s.size() / 2);
  for (char c : s) out += t.oemToUtf8[static_cast<unsigned char>(c)];
  return out;
}

std::string ansiToOem(std::string_view s) {
  const auto& t = byteTables();
  std::string out(s);
  for (char& c : out) c = t.ansiToOem[static_cast<unsigned char>(c)];
  return out;
}

std::string oemToAnsi(std::string_view s) {
  const auto& t = byteTables();
  std::string out(s);
  for (char& c : out) c = t.oemToAnsi[static_cast<unsigned char>(c)];
  return out;
}

std::string oemToHtml(std::string_view s) { return htmlEscape(oemToAnsi(s)); }

std::string memoToHtml(std::string_view memo, bool softBreaksAsBlanks) {
  // Split into lines at CR LF (and at soft breaks when they are line
  // breaks); each line is converted on its own and the breaks become <br>.
  std::string out, line;
  auto flush = [&](bool lineBreak) {
    out += oemToHtml(line);
    line.clear();
    if (lineBreak) out += "<br>";
  };
  for (size_t i = 0; i < memo.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(memo[i]);
    if (c == 141) {
      if (softBreaksAsBlanks) line += ' ';
      else flush(true);
    } else if (c == '\r' && i + 1 < memo.size() && memo[i + 1] == '\n') {
      flush(true);
      ++i;
    } else {
      line += static_cast<char>(c);
    }
  }
  flush(false);
  return out;
}

bool isUtf8(std::string_view s) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size();
  for (size_t i = 0; i < n;) {
    unsigned char c = p[i];
    size_t len;
    unsigned char lo = 0x80;
    if (c < 0x80) len = 1;
    else if (c >= 194 && c <= 223) len = 2;
    else if (c == 224) len = 3, lo = 160;
    else if (c >= 225 && c <= 239) len = 3;
    else if (c >= 240 && c <= 244) len = 4;
    else return false;
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      unsigned char d = p[i + k];
      if (d < (k == 1 ? lo : 0x80) || d > 191) return false;
    }
    i += len;
  }
  return true;
}

bool isOem(std::string_view s) {
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 129 && u <= 168) return true;
  }
  return false;
}

bool isAnsi(std::string_view s) {
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u > 223 || u == 128) return true;
  }
  return false;
}

std::string_view charsetOf(std::string_view s) {
  if (isUtf8(s)) return "UTF-8";
  if (isOem(s)) return "OEM";
  return "ANSI";
}

std::string toOem(std::string_view s) {
  std::string_view cs = charsetOf(s);
  if (cs == "UTF-8") return utf8ToOem(s);
  if (cs == "OEM") return std::string(s);
  return ansiToOem(s);
}

std::string htmlToChars(std::string_view s) {
  std::string out(s);
  if (out.find('&') == std::string::npos) return out;
  for (const char* name : kEntityOrder) {
    std::string entity = std::string("&") + name + ";";
    replaceAll(out, entity, std::string(1, entityChar(name)));
  }
  return out;
}

std::string urlEncode(std::string_view s) {
  static constexpr std::string_view kCoded = " #:?/&<|%>;";
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(s.size() + 8);
  for (char c : s) {
    if (kCoded.find(c) != std::string_view::npos) {
      unsigned char u = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool equalOrContained(std::string_view pattern, std::string_view text) {
  if (pattern.find('*') == std::string_view::npos) return pattern == text;
  std::string bare;
  for (char c : pattern)
    if (c != '*') bare += c;
  return text.find(bare) != std::string_view::npos;
}

}  // namespace values

// --- routines ------------------------------------------------------------------------------

namespace {
std::string_view textOf(const Value& v) { return v.str(); }
}  // namespace

Value TROCAACENTO(const Value& text, const Value& mode, const Value& progress) {
  KOR_ROUTINE("TROCAACENTO");
  int m = mode.isNumber() ? static_cast<int>(mode.integer()) : 1;
  return Value(values::replaceAccents(textOf(text), m, progress.log()));
}

Value TROCAASSENTO(const Value& text, const Value& mode, const Value& progress) {
  KOR_ROUTINE("TROCAASSENTO");
  int m = mode.isNumber() ? static_cast<int>(mode.integer()) : 1;
  return Value(values::replaceAccents(textOf(text), m, progress.log()));
}

Value IGNORAVOGAIS(const Value& list) {
  KOR_ROUTINE("IGNORAVOGAIS");
  std::vector<Value> out;
  for (const Value& v : list.items()) {
    // "occurs within": the element, upper-cased, is a part of "AEIOU ".
    if (v.isText() && std::string_view("AEIOU ").find(upper(v.str())) != std::string_view::npos)
      out.push_back(Value(""));
    else
      out.push_back(v);
  }
  return Value::array(std::move(out));
}

Value UTF8_TO_OEM(const Value& text) {
  KOR_ROUTINE("UTF8_TO_OEM");
  return Value(values::utf8ToOem(textOf(text)));
}
Value OEM_TO_UTF8(const Value& text) {
  KOR_ROUTINE("OEM_TO_UTF8");
  return Value(values::oemToUtf8(textOf(text)));
}
Value ANSI_TO_OEM(const Value& text) {
  KOR_ROUTINE("ANSI_TO_OEM");
  return Value(values::ansiToOem(textOf(text)));
}
Value OEM_TO_ANSI(const Value& text) {
  KOR_ROUTINE("OEM_TO_ANSI");
  return Value(values::oemToAnsi(textOf(text)));
}
Value OEM_TO_HTML(const Value& text) {
  KOR_ROUTINE("OEM_TO_HTML");
  return Value(values::oemToHtml(textOf(text)));
}
Value MEMOTOHTML(const Value& memo, const Value& softAsBlank) {
  KOR_ROUTINE("MEMOTOHTML");
  return Value(values::memoToHtml(textOf(memo), softAsBlank.isLogical() ? softAsBlank.log() : true));
}
Value ISU8(const Value& text) {
  KOR_ROUTINE("ISU8");
  return Value::logical(values::isUtf8(textOf(text)));
}
Value ISOEM(const Value& text) {
  KOR_ROUTINE("ISOEM");
  return Value::logical(values::isOem(textOf(text)));
}
Value ISANSI(const Value& text) {
  KOR_ROUTINE("ISANSI");
  return Value::logical(values::isAnsi(textOf(text)));
}
Value IDCHARSET(const Value& text) {
  KOR_ROUTINE("IDCHARSET");
  return Value(values::charsetOf(textOf(text)));
}
Value XTOOEM(const Value& text) {
  KOR_ROUTINE("XTOOEM");
  if (!text.isText()) return text;
  return Value(values::toOem(text.str()));
}
Value HTMLTOCARAC(const Value& text) {
  KOR_ROUTINE("HTMLTOCARAC");
  return Value(values::htmlToChars(textOf(text)));
}
Value STRURL(const Value& text) {
  KOR_ROUTINE("STRURL");
  return Value(values::urlEncode(textOf(text)));
}
Value IGUALOUCONTIDO(const Value& pattern, const Value& text) {
  KOR_ROUTINE("IGUALOUCONTIDO");
  return Value::logical(values::equalOrContained(textOf(pattern), textOf(text)));
}

}  // namespace kor
