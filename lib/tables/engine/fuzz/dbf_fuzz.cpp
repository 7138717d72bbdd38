// Fuzz target for the table parsers: the header and descriptors, records of
// every type, and memo blocks of all three memo kinds.
//
// Input: a 16-bit little-endian length n, then n bytes of table file, then
// the memo file. Both become memory files; the table is opened, every field
// of every record read (memos included), and a few writes made, with a
// handler that answers every error with the default.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/engine/dbfformat.h"

namespace {

void putFile(const std::string& name, const uint8_t* p, size_t n) {
  kor::plat::OpenResult f = kor::plat::openFile(name, kor::plat::Access::ReadWrite, kor::plat::Share::DenyNone,
                                                kor::plat::Disposition::CreateAlways);
  if (!f.ok()) return;
  if (n) kor::plat::writeAt(f.handle, 0, p, static_cast<int64_t>(n));
  kor::plat::closeFile(f.handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kor;
  static bool init = [] {
    rt::setErrorHandler([](rt::ErrorRecord&) { return rt::ErrorAnswer::byDefault(); });
    return true;
  }();
  (void)init;
  if (size < 2) return 0;
  size_t n = static_cast<size_t>(data[0] | data[1] << 8);
  data += 2;
  size -= 2;
  if (n > size) n = size;

  // The parser alone, on exactly these bytes.
  tables::dbf::Header h;
  tables::dbf::parseHeader(data, n, h);

  putFile("MEM:FUZZ.DBF", data, n);
  putFile("MEM:FUZZ.FPT", data + n, size - n);
  putFile("MEM:FUZZ.DBT", data + n, size - n);
  tables::OpenSpec spec;
  spec.file = "MEM:FUZZ.DBF";
  spec.shared = false;
  if (int area = tables::openTable(spec)) {
    tables::WorkArea* a = tables::area(area);
    int steps = 0;
    for (a->goTop(); !a->eof() && steps < 200; a->skip(1), ++steps) {
      for (int f = 1; f <= a->fieldCount(); ++f) a->getField(f);
      a->deleted();
    }
    a->goBottom();
    a->skip(-1);
    if (!a->readOnly() && a->append()) {
      for (int f = 1; f <= a->fieldCount(); ++f) {
        switch (a->field(f)->type) {
          case 'C': case 'M': a->putField(f, Value("fuzz \x1A text")); break;
          case 'N': case 'F': case 'I': a->putField(f, Value::number(-12.5, 1)); break;
          case 'D': a->putField(f, Value::ymd(2021, 12, 9)); break;
          case 'L': a->putField(f, Value::logical(true)); break;
          default: a->putField(f, Value("x"));
        }
      }
      a->goTo(1);
      for (int f = 1; f <= a->fieldCount(); ++f) a->getField(f);
    }
    tables::closeAll();
  }
  plat::removeFile("MEM:FUZZ.DBF");
  plat::removeFile("MEM:FUZZ.FPT");
  plat::removeFile("MEM:FUZZ.DBT");
  return 0;
}
