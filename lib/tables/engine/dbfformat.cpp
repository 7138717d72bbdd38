#include "tables/engine/dbfformat.h"

#include "values/cp850.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kor::tables::dbf {

namespace {

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

Parsed fail(Fault f, std::string_view detail) { return Parsed{f, std::string(detail)}; }

bool knownVersion(uint8_t v) {
  switch (v) {
    case 0x03: case 0x83: case 0x8B: case 0xF5: case 0x30: case 0x31: case 0x32: return true;
    default: return false;
  }
}

// Type letters other writers use that we can at least read.
bool knownType(char t) { return std::strchr("CNFDLMIBOYT@+GPWVQ0", t) != nullptr && t != '\0'; }

// Fixed lengths of the types that have one.
bool lengthFits(char type, unsigned len, unsigned dec) {
  switch (type) {
    case 'D': return len == 8 || len == 4;  // 4: a binary date of the later layout
    case 'L': return len == 1;
    case 'M': case 'G': case 'P': case 'W': return len == 10 || len == 4;
    case 'I': case '+': return len == 4;
    case 'Y': case 'T': case 'O': case '@': return len == 8;
    case 'B': return len == 8 || len == 10;
    case 'N': case 'F': return len >= 1 && len <= 255 && dec <= len;
    default: return len >= 1;
  }
}

}  // namespace

uint8_t versionFor(MemoKind k) {
  switch (k) {
    case MemoKind::None: return 0x03;
    case MemoKind::Dbt: return 0x83;
    case MemoKind::Dbt4: return 0x8B;
    case MemoKind::Fpt: return 0xF5;
  }
  return 0x03;
}

MemoKind memoKindOf(uint8_t version, const std::vector<FieldDesc>& fields) {
  bool hasMemo = false;
  for (auto& f : fields)
    if (f.type == 'M' || f.type == 'G' || f.type == 'P' || f.type == 'W' || (f.type == 'B' && f.len == 10))
      hasMemo = true;
  switch (version) {
    case 0x83: return MemoKind::Dbt;
    case 0x8B: return MemoKind::Dbt4;
    case 0xF5: case 0x30: case 0x31: case 0x32: return hasMemo ? MemoKind::Fpt : MemoKind::None;
    default: return hasMemo ? MemoKind::Fpt : MemoKind::None;  // memo fields without a memo mark: see dbf.cpp
  }
}

Parsed parseHeader(const uint8_t* p, size_t n, Header& h) {
  if (n < 32) return fail(Fault::Truncated, "arquivo menor que um cabeçalho de tabela"_cp);
  h = Header{};
  h.version = p[0];
  if (!knownVersion(h.version)) return fail(Fault::NotDbf, std::string("byte de versão desconhecido "_cp) + std::to_string(p[0]));
  h.year = p[1];
  h.month = p[2];
  h.day = p[3];
  h.recCount = u32(p + 4);
  h.headerLen = u16(p + 8);
  h.recordLen = u16(p + 10);
  h.transaction = p[14];
  h.encrypted = p[15];
  std::memcpy(h.multiUser.data(), p + 16, 12);
  h.tableFlags = p[28];
  h.codePage = p[29];
  h.laterLayout = h.version >= 0x30 && h.version <= 0x32;

  if (h.headerLen < 33) return fail(Fault::BadHeaderLength, std::string("tamanho do cabeçalho "_cp) + std::to_string(h.headerLen));
  if (h.recordLen < 2) return fail(Fault::BadRecordLength, "tamanho do registro " + std::to_string(h.recordLen));
  // Descriptors run from 32 to the terminator, which must lie inside the
  // header length. The scan may look past the header length (into what the
  // caller read) to tell a header length that is too short for its fields
  // from a missing terminator.
  size_t pos = 32;
  std::vector<uint8_t> hiBytes;  // decimals bytes of C fields, for the fallback below
  auto damaged = [&](Fault f, std::string_view why) {
    // A descriptor that does not fit before the header's last byte stands
    // where the terminator belongs.
    if (pos + 32 >= h.headerLen) return fail(Fault::NoTerminator, "descritores de campo sem terminador");
    return fail(f, why);
  };
  for (;;) {
    if (pos >= n) {
      if (n < h.headerLen) return fail(Fault::Truncated, "o arquivo termina dentro do cabeçalho"_cp);
      return fail(Fault::NoTerminator, "descritores de campo sem terminador");
    }
    if (p[pos] == kTerminator) break;
    if (pos + 32 > n) {
      if (n < h.headerLen) return fail(Fault::Truncated, "o arquivo termina dentro do cabeçalho"_cp);
      return fail(Fault::NoTerminator, "descritores de campo sem terminador");
    }
    if (h.fields.size() >= 2046) return fail(Fault::NoTerminator, "descritores de campo sem terminador");
    const uint8_t* d = p + pos;
    FieldDesc f;
    size_t nl = 0;
    while (nl < 11 && d[nl] != 0) ++nl;
    std::string which = "campo " + std::to_string(h.fields.size() + 1);
    if (nl == 0) return damaged(Fault::BadField, which + " sem nome");
    for (size_t i = 0; i < nl; ++i) {
      unsigned char c = d[i];
      if (c <= 0x20 || c == 0x7F) return damaged(Fault::BadField, which + std::string(" com nome inválido"_cp));
      f.name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    f.type = static_cast<char>(d[11] >= 'a' && d[11] <= 'z' ? d[11] - 32 : d[11]);
    if (!knownType(f.type)) return damaged(Fault::BadField, "campo " + f.name + " de tipo desconhecido");
    unsigned len = d[16];
    unsigned dec = d[17];
    if (f.type == 'C') {
      len += 256u * dec;
      hiBytes.push_back(d[17]);
      dec = 0;
    }
    if (len == 0) return damaged(Fault::BadField, "campo " + f.name + " de tamanho 0");
    if (!lengthFits(f.type, len, dec)) return damaged(Fault::BadField, "campo " + f.name + std::string(" de tamanho impossível"_cp));
    f.len = static_cast<uint16_t>(len);
    f.dec = static_cast<uint8_t>(dec);
    h.fields.push_back(std::move(f));
    pos += 32;
  }
  if (h.fields.empty()) return fail(Fault::BadField, "tabela sem campos");
  if (pos + 1 > h.headerLen)
    return fail(Fault::BadHeaderLength,
                std::string("tamanho do cabeçalho "_cp) + std::to_string(h.headerLen) + " menor que seus " + std::to_string(h.fields.size()) + " campos");

  auto layout = [&h]() {
    uint32_t off = 1;
    for (auto& f : h.fields) {
      f.offset = off;
      off += f.len;
    }
    return off;
  };
  uint32_t total = layout();
  if (total != h.recordLen) {
    // Writers that do not know long text fields may leave garbage in the
    // decimals byte of a C field; the record length tells which reading is
    // meant.
    size_t ci = 0;
    bool anyHigh = false;
    for (auto& f : h.fields)
      if (f.type == 'C') {
        if (hiBytes[ci]) {
          f.len = static_cast<uint16_t>(f.len - 256u * hiBytes[ci]);
          anyHigh = true;
        }
        ++ci;
      }
    bool zeroLen = false;
    for (auto& f : h.fields) zeroLen |= f.len == 0;
    if (!anyHigh || zeroLen || layout() != h.recordLen)
      return fail(Fault::BadRecordLength, "tamanho do registro " + std::to_string(h.recordLen) + ", mas os campos somam " +
                                               std::to_string(total));
  }
  h.memoKind = memoKindOf(h.version, h.fields);
  return Parsed{};
}

uint32_t recordsInFile(const Header& h, int64_t fileSize) {
  if (fileSize <= h.headerLen || h.recordLen == 0) return 0;
  int64_t n = (fileSize - h.headerLen) / h.recordLen;
  return n > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
}

Parsed checkFileSize(const Header& h, int64_t fileSize) {
  if (fileSize < h.headerLen) return fail(Fault::Truncated, "arquivo menor que seu cabeçalho"_cp);
  uint32_t present = recordsInFile(h, fileSize);
  if (h.recCount > present)
    return fail(Fault::CountBeyondEnd, std::string("o cabeçalho conta "_cp) + std::to_string(h.recCount) + " registros, o arquivo tem " +
                                           std::to_string(present));
  return Parsed{};
}

void encodeFixed(const Header& h, uint8_t out[32]) {
  std::memset(out, 0, 32);
  out[0] = h.version;
  out[1] = h.year;
  out[2] = h.month;
  out[3] = h.day;
  put32(out + 4, h.recCount);
  put16(out + 8, h.headerLen);
  put16(out + 10, h.recordLen);
  out[14] = h.transaction;
  out[15] = h.encrypted;
  std::memcpy(out + 16, h.multiUser.data(), 12);
  out[28] = h.tableFlags;
  out[29] = h.codePage;
}

std::string buildHeader(Header& h) {
  uint32_t off = 1;
  for (auto& f : h.fields) {
    f.offset = off;
    off += f.len;
  }
  h.recordLen = static_cast<uint16_t>(off);
  h.headerLen = static_cast<uint16_t>(32 + 32 * h.fields.size() + 1);
  std::string out(h.headerLen, '\0');
  auto* p = reinterpret_cast<uint8_t*>(out.data());
  encodeFixed(h, p);
  for (size_t i = 0; i < h.fields.size(); ++i) {
    const FieldDesc& f = h.fields[i];
    uint8_t* d = p + 32 + 32 * i;
    std::memcpy(d, f.name.data(), std::min(f.name.size(), kFieldNameMax));
    d[11] = static_cast<uint8_t>(f.type);
    if (f.type == 'C') {
      d[16] = static_cast<uint8_t>(f.len & 0xFF);
      d[17] = static_cast<uint8_t>(f.len >> 8);
    } else {
      d[16] = static_cast<uint8_t>(f.len);
      d[17] = f.dec;
    }
  }
  p[h.headerLen - 1] = kTerminator;
  return out;
}

// --- values --------------------------------------------------------------------

bool writableType(char t) { return std::strchr("CNFDLMI", t) != nullptr && t != '\0'; }

double parseNumber(const char* p, size_t n) {
  size_t i = 0;
  while (i < n && (p[i] == ' ' || p[i] == '\0')) ++i;
  bool neg = false;
  if (i < n && (p[i] == '-' || p[i] == '+')) {
    neg = p[i] == '-';
    ++i;
  }
  uint64_t mant = 0;
  int digits = 0, frac = 0;
  bool point = false;
  size_t start = i;
  for (; i < n; ++i) {
    char c = p[i];
    if (c >= '0' && c <= '9') {
      if (digits < 18) {
        mant = mant * 10 + static_cast<unsigned>(c - '0');
        if (mant) ++digits;
        if (point) ++frac;
      } else {
        // Too many digits for the fast path: let the library read it.
        char buf[300];
        size_t len = std::min<size_t>(n - start, sizeof buf - 1);
        std::memcpy(buf, p + start, len);
        buf[len] = '\0';
        double v = std::strtod(buf, nullptr);
        return neg ? -v : v;
      }
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  static const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
                                  1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
  double v = static_cast<double>(mant);
  if (frac) v /= kPow10[frac];
  return neg ? -v : v;
}

namespace {

int32_t i32(const char* p) { return static_cast<int32_t>(u32(reinterpret_cast<const uint8_t*>(p))); }
int64_t i64(const char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(p[i]);
  return static_cast<int64_t>(v);
}
double f64(const char* p) {
  uint64_t v = static_cast<uint64_t>(i64(p));
  double d;
  std::memcpy(&d, &v, 8);
  return d;
}

bool allBlank(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != ' ' && p[i] != '\0') return false;
  return true;
}

int digitsAt(const char* p, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return -1;
    v = v * 10 + (p[i] - '0');
  }
  return v;
}

}  // namespace

Value decode(const FieldDesc& f, const char* p) {
  switch (f.type) {
    case 'C':
    case 'V':
    case 'Q':
    case '0':
      return Value(std::string_view(p, f.len));
    case 'N':
    case 'F':
      return Value::number(parseNumber(p, f.len), f.dec, f.len);
    case 'D': {
      if (f.len == 4) return Value::date(i32(p));
      if (allBlank(p, 8)) return Value::emptyDate();
      int y = digitsAt(p, 4), m = digitsAt(p + 4, 2), d = digitsAt(p + 6, 2);
      if (y < 0 || m < 0 || d < 0) return Value::emptyDate();
      return Value::ymd(y, m, d);
    }
    case 'L':
      return Value::logical(p[0] == 'T' || p[0] == 't' || p[0] == 'Y' || p[0] == 'y');
    case 'I':
    case '+':
      return Value::number(i32(p), 0, 10);
    case 'Y':
      return Value::number(static_cast<double>(i64(p)) / 10000.0, 4, 20);
    case 'B':
    case 'O':
      if (f.len == 8) return Value::number(f64(p), f.dec, 20);
      return Value(std::string_view(p, f.len));
    case 'T': {
      int32_t jd = i32(p), ms = i32(p + 4);
      if (jd == 0) return Value::emptyDate();
      return Value::date(DateTime{jd, ms >= 0 && ms < 86400000 ? ms : 0});
    }
    default:
      return Value(std::string_view(p, f.len));
  }
}

uint32_t memoPointer(const FieldDesc& f, const char* p) {
  if (f.len == 4) return static_cast<uint32_t>(i32(p));
  // Ten digits, right-aligned with blanks or leading zeros.
  uint64_t v = 0;
  bool any = false;
  for (size_t i = 0; i < f.len; ++i) {
    char c = p[i];
    if (c >= '0' && c <= '9') {
      v = v * 10 + static_cast<unsigned>(c - '0');
      any = true;
      if (v > 0xFFFFFFFFull) return 0xFFFFFFFFu;  // absurd: the memo layer refuses it
    } else if (c != ' ' && c != '\0') {
      return any ? static_cast<uint32_t>(v) : 0;
    }
  }
  return static_cast<uint32_t>(v);
}

void encodeMemoPointer(const FieldDesc& f, uint32_t block, char* p) {
  if (f.len == 4) {
    put32(reinterpret_cast<uint8_t*>(p), block);
    return;
  }
  std::memset(p, ' ', f.len);
  if (block == 0) return;
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, block);
  size_t n = static_cast<size_t>(r.ptr - buf);
  std::memcpy(p + f.len - n, buf, n);
}

void blank(const FieldDesc& f, char* p) {
  switch (f.type) {
    case 'I': case '+': case 'Y': case 'T': case 'O': case '@':
      std::memset(p, 0, f.len);
      return;
    case 'B': case 'D': case 'M': case 'G': case 'P': case 'W':
      std::memset(p, f.len == 10 || f.len == 8 ? ' ' : 0, f.len);
      if (f.type == 'B' && f.len == 8) std::memset(p, 0, 8);
      return;
    default:
      std::memset(p, ' ', f.len);
  }
}

PutResult encode(const FieldDesc& f, const Value& v, char* p) {
  switch (f.type) {
    case 'C': {
      if (!v.isText()) return PutResult::TypeMismatch;
      std::string_view s = v.str();
      size_t n = std::min<size_t>(s.size(), f.len);
      std::memcpy(p, s.data(), n);
      std::memset(p + n, ' ', f.len - n);
      return PutResult::Ok;
    }
    case 'N':
    case 'F': {
      if (!v.isNumber()) return PutResult::TypeMismatch;
      double x = v.num();
      if (!std::isfinite(x)) return PutResult::TooWide;
      char buf[1024];
      size_t n = numberText(x, f.dec, buf);
      if (n > f.len) return PutResult::TooWide;
      std::memset(p, ' ', f.len - n);
      std::memcpy(p + f.len - n, buf, n);
      return PutResult::Ok;
    }
    case 'D': {
      if (!v.isDate()) return PutResult::TypeMismatch;
      if (f.len != 8) return PutResult::Unsupported;
      DateTime d = v.dateTime();
      if (d.empty()) {
        std::memset(p, ' ', 8);
        return PutResult::Ok;
      }
      int y, m, dd;
      ymdFromJulian(d.julian, y, m, dd);
      if (y < 0 || y > 9999) return PutResult::TooWide;
      char buf[9];
      buf[0] = static_cast<char>('0' + y / 1000);
      buf[1] = static_cast<char>('0' + y / 100 % 10);
      buf[2] = static_cast<char>('0' + y / 10 % 10);
      buf[3] = static_cast<char>('0' + y % 10);
      buf[4] = static_cast<char>('0' + m / 10);
      buf[5] = static_cast<char>('0' + m % 10);
      buf[6] = static_cast<char>('0' + dd / 10);
      buf[7] = static_cast<char>('0' + dd % 10);
      std::memcpy(p, buf, 8);
      return PutResult::Ok;
    }
    case 'L':
      if (!v.isLogical()) return PutResult::TypeMismatch;
      p[0] = v.log() ? 'T' : 'F';
      return PutResult::Ok;
    case 'I': {
      if (!v.isNumber()) return PutResult::TypeMismatch;
      double x = roundHalfAway(v.num(), 0);
      if (!std::isfinite(x) || x < -2147483648.0 || x > 2147483647.0) return PutResult::TooWide;
      put32(reinterpret_cast<uint8_t*>(p), static_cast<uint32_t>(static_cast<int32_t>(x)));
      return PutResult::Ok;
    }
    default:
      return PutResult::Unsupported;
  }
}

}  // namespace kor::tables::dbf
