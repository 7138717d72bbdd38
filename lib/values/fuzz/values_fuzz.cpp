// Any byte string given to the text readers returns a value and never
// crashes: CTOX of every type, the date readers, the UTF-8 recogniser and
// converters, and display pictures.
//
// The first byte chooses the reader; the rest is the text.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/settings.h"
#include "values/charset.h"
#include "values/convert.h"
#include "values/dates.h"
#include "values/picture.h"
#include "values/textform.h"

using namespace kor;

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void readers(std::string_view s) {
  Value text(s);
  for (const char* type : {"N", "L", "D", "E", "C"}) {
    Value v = CTOX(text, Value(type));
    Value back = X_TO_C(v);
    check(back.isText());
  }
  // A number read from text comes back from its own text form.
  Value n = CTOX(text, Value("N"));
  check(std::isfinite(n.num()));
  Value again = CTOX(X_TO_C(n), Value("N"));
  check(again.num() == n.num() && again.decimals() == n.decimals());
  // A date inside the century window survives its text form.
  Value d = CTOX(text, Value("D"));
  if (!d.dateTime().empty()) {
    int y, m, day;
    ymdFromJulian(d.julian(), y, m, day);
    if (y >= 1940 && y <= 2039) check(CTOX(X_TO_C(d), Value("D")).julian() == d.julian());
  }
  CTOV(text);
  CONVERTEVALOR(text);
  VALTRIM(text);
  CTOA(text, Value(), Value("N"));
  XTOT(text);
}

void dates(std::string_view s) {
  for (const char* f : {"dd/mm/yy", "dd/mm/yyyy", "yyyy-mm-dd", "mm/dd/yy", "yymmdd"}) {
    DateTime d = textToDate(s, f, 1940);
    if (!d.empty()) check(!dateToText(d, f).empty());
  }
  ctod(s);
  stod(s);
  values::readDateTime(s);
  values::readTimeOfDay(s);
  TEMPOEXTENSO(Value(s));
  FORMATADATAHORA(Value(s), Value(s));
}

void charsets(std::string_view s) {
  bool u8 = values::isUtf8(s);
  std::string oem = values::utf8ToOem(s);
  if (u8) check(oem.size() <= s.size());
  check(values::utf8ToOem(values::oemToUtf8(s)) == std::string(s));
  values::charsetOf(s);
  values::toOem(s);
  values::oemToHtml(s);
  values::htmlToChars(s);
  values::memoToHtml(s);
  for (int mode = 1; mode <= 8; ++mode) values::replaceAccents(s, mode);
  MTOC(Value::memo(s), Value(7));
}

void pictures(std::string_view s) {
  size_t cut = s.find('\n');
  std::string_view picture = s.substr(0, cut);
  std::string_view rest = cut == std::string_view::npos ? std::string_view() : s.substr(cut + 1);
  Value samples[] = {Value::number(-1234.567, 3), Value(0), Value(rest), Value::ymd(2021, 12, 25),
                     Value::logical(true), Value::number(1e300, 2)};
  for (const Value& v : samples) {
    values::transform(v, picture);
    values::FieldPicture f(picture, v);
    std::string shown = f.display(v);
    check(static_cast<int>(shown.size()) == f.width());
    f.parse(shown);
    f.parse(rest);
    for (int p = f.firstEditable(); p >= 0; p = f.nextEditable(p)) f.accept(p, 'x');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool init = (rt::resetSettings(), true);
  (void)init;
  if (size == 0) return 0;
  std::string_view s(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0: readers(s); break;
    case 1: dates(s); break;
    case 2: charsets(s); break;
    default: pictures(s); break;
  }
  return 0;
}
