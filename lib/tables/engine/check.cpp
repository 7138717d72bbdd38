#include "tables/engine/check.h"

#include <cstdio>

#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/settings.h"
#include "tables/engine.h"

namespace kor::tables {

namespace {

std::string describe(const rt::ErrorRecord& e) {
  std::string s = "error " + e.subsystem + "/" + std::to_string(e.subCode) + " (generic " +
                  std::to_string(e.genCode) + ")";
  if (!e.operation.empty()) s += " " + e.operation;
  if (e.cargo.isText()) s += ": " + e.cargo.string();
  if (e.osCode) s += " [OS " + std::to_string(e.osCode) + "]";
  if (!e.filename.empty()) s += " in " + e.filename;
  return s;
}

const char* memoName(dbf::MemoKind k) {
  switch (k) {
    case dbf::MemoKind::None: return "none";
    case dbf::MemoKind::Dbt: return "DBT";
    case dbf::MemoKind::Dbt4: return "DBT (newer kind)";
    case dbf::MemoKind::Fpt: return "FPT";
  }
  return "?";
}

// The bytes of a text-form field are what its type allows.
bool wellFormed(const dbf::FieldDesc& f, const char* p) {
  switch (f.type) {
    case 'N':
    case 'F':
      for (size_t i = 0; i < f.len; ++i) {
        char c = p[i];
        if (!(c == ' ' || c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9') || c == '*')) return false;
      }
      return true;
    case 'D': {
      if (f.len != 8) return true;
      bool blank = true;
      for (int i = 0; i < 8; ++i) blank &= p[i] == ' ';
      if (blank) return true;
      Value v = dbf::decode(f, p);
      return !v.dateTime().empty();
    }
    case 'L':
      return std::string_view("TtFfYyNn? ").find(p[0]) != std::string_view::npos;
    default:
      return true;
  }
}

}  // namespace

CheckReport checkTable(const std::string& path, size_t maxProblems) {
  CheckReport r;
  std::vector<rt::ErrorRecord> errors;
  rt::ErrorHandler saved = rt::setErrorHandler([&](rt::ErrorRecord& e) {
    errors.push_back(e);
    return rt::ErrorAnswer::byDefault();
  });
  auto problem = [&](std::string s) {
    if (r.problems.size() < maxProblems) r.problems.push_back(std::move(s));
  };
  auto drain = [&](const std::string& where) {
    for (auto& e : errors) problem(where + describe(e));
    errors.clear();
  };

  AreaScope keep(currentArea());
  OpenSpec spec;
  spec.file = path;
  spec.shared = true;
  spec.readOnly = true;
  spec.alias = "_CHECK" + std::to_string(freeArea());
  int n = openTable(spec);
  drain("open: ");
  if (!n) {
    rt::setErrorHandler(saved);
    return r;
  }
  r.opened = true;
  WorkArea* a = area(n);
  const DbfTable& t = a->table();
  const dbf::Header& h = t.header();
  char line[256];
  std::snprintf(line, sizeof line, "file: %s\nversion: 0x%02X, memo: %s%s\nlast update: %04d-%02d-%02d\n", t.path().c_str(),
                h.version, memoName(h.memoKind), h.laterLayout ? " (later layout, read only)" : "", 1900 + h.year,
                h.month, h.day);
  r.summary += line;
  std::snprintf(line, sizeof line, "records: %u, header length: %u, record length: %u, encrypted: %s, code page: %u\n",
                h.recCount, h.headerLen, h.recordLen, h.encrypted ? "yes" : "no", h.codePage);
  r.summary += line;
  for (size_t i = 0; i < h.fields.size(); ++i) {
    const dbf::FieldDesc& f = h.fields[i];
    std::snprintf(line, sizeof line, "  %3zu %-10s %c %5u %2u  at %u\n", i + 1, f.name.c_str(), f.type, f.len, f.dec,
                  f.offset);
    r.summary += line;
  }

  // The file: whole records, then the end-of-file mark.
  plat::FileInfo fi = plat::statPath(t.path());
  int64_t expected = static_cast<int64_t>(h.headerLen) + static_cast<int64_t>(h.recCount) * h.recordLen;
  if (fi.size == expected)
    r.summary += "end-of-file mark: missing (allowed)\n";
  else if (fi.size > expected + 1)
    problem("the file has " + std::to_string(fi.size - expected - 1) + " bytes after the end-of-file mark");

  // Every record in file order, deleted ones included.
  Value wasDeleted = rt::set(rt::Set::Deleted, Value::logical(false));
  a->goTop();
  for (uint32_t rec = 1; rec <= h.recCount && !a->eof(); ++rec, a->skip(1)) {
    const char* bytes = a->recordBytes();
    drain("record " + std::to_string(rec) + ": ");
    ++r.records;
    if (bytes[0] == dbf::kDeleted)
      ++r.deleted;
    else if (bytes[0] != dbf::kLive)
      problem("record " + std::to_string(rec) + ": deleted flag is byte " + std::to_string(static_cast<uint8_t>(bytes[0])));
    if (h.encrypted && !t.hasKey()) continue;
    for (int f = 1; f <= a->fieldCount(); ++f) {
      const dbf::FieldDesc& fd = *a->field(f);
      if (!wellFormed(fd, bytes + fd.offset))
        problem("record " + std::to_string(rec) + ": field " + fd.name + " holds \"" +
                std::string(bytes + fd.offset, fd.len) + "\"");
      if (fd.type == 'M') {
        a->getField(f);
        drain("record " + std::to_string(rec) + ", field " + fd.name + ": ");
      }
    }
  }
  rt::set(rt::Set::Deleted, wasDeleted);
  closeArea(n);
  rt::setErrorHandler(saved);
  return r;
}

}  // namespace kor::tables
