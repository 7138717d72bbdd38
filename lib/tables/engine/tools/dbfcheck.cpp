// dbfcheck: prints a table's header and fields, checks the file against
// them (records, field bytes, memo pointers and blocks) and optionally dumps
// the records.
//
//   dbfcheck [-d] [-n count] table...
//     -d        dump the records, one line each: number, "*" when deleted,
//               then the fields separated by "|"
//     -n count  dump at most that many records
// Exit code: 0 when every table is sound, 1 when problems were found, 2 when
// a table could not be opened.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/engine/check.h"
#include "values/textform.h"

namespace {

using namespace kor;
using namespace kor::tables;

std::string show(const Value& v) {
  switch (v.type()) {
    case VType::Text: return std::string(rtrim(v.str()));
    case VType::Memo: {
      std::string s(v.str().substr(0, 40));
      for (char& c : s)
        if (c == '\n' || c == '\r' || c == '|') c = ' ';
      return s + (v.textLen() > 40 ? "...(" + std::to_string(v.textLen()) + ")" : "");
    }
    case VType::Number: return numberText(v.num(), v.decimals());
    case VType::Date: return v.dateTime().empty() ? "" : dtos(v.dateTime());
    case VType::Logical: return v.log() ? "T" : "F";
    default: return "";
  }
}

void dump(const std::string& file, long limit) {
  OpenSpec s;
  s.file = file;
  s.readOnly = true;
  s.alias = "_DUMP";
  int n = openTable(s);
  if (!n) return;
  WorkArea* a = area(n);
  long done = 0;
  for (a->goTop(); !a->eof() && (limit < 0 || done < limit); a->skip(1), ++done) {
    std::printf("%u%s", a->recNo(), a->deleted() ? "*" : "");
    for (int f = 1; f <= a->fieldCount(); ++f) std::printf("|%s", show(a->getField(f)).c_str());
    std::printf("\n");
  }
  closeArea(n);
}

}  // namespace

int main(int argc, char** argv) {
  bool doDump = false;
  long limit = -1;
  int status = 0;
  int files = 0;
  rt::setErrorHandler([](rt::ErrorRecord& e) {
    std::fprintf(stderr, "error %s/%d (generic %d) %s%s\n", e.subsystem.c_str(), e.subCode, e.genCode,
                 e.filename.c_str(), e.osCode ? (" [OS " + std::to_string(e.osCode) + "]").c_str() : "");
    return rt::ErrorAnswer::byDefault();
  });
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-d") {
      doDump = true;
    } else if (arg == "-n" && i + 1 < argc) {
      limit = std::strtol(argv[++i], nullptr, 10);
    } else if (arg == "-h" || arg == "--help") {
      std::printf("usage: dbfcheck [-d] [-n count] table...\n");
      return 0;
    } else {
      ++files;
      CheckReport r = checkTable(arg);
      if (!r.opened) {
        std::fprintf(stderr, "%s: cannot be opened\n", arg.c_str());
        for (auto& p : r.problems) std::fprintf(stderr, "  %s\n", p.c_str());
        status = 2;
        continue;
      }
      std::printf("%s", r.summary.c_str());
      std::printf("checked: %u records, %u deleted: %s\n", r.records, r.deleted,
                  r.ok() ? "sound" : (std::to_string(r.problems.size()) + " problem(s)").c_str());
      for (auto& p : r.problems) std::printf("  %s\n", p.c_str());
      if (!r.ok() && status == 0) status = 1;
      if (doDump) {
        rt::ErrorHandler quiet = rt::setErrorHandler([](rt::ErrorRecord&) { return rt::ErrorAnswer::byDefault(); });
        dump(arg, limit);
        rt::setErrorHandler(quiet);
      }
    }
  }
  if (!files) {
    std::fprintf(stderr, "usage: dbfcheck [-d] [-n count] table...\n");
    return 2;
  }
  closeAll();
  return status;
}
