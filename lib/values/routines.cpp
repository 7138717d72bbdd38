#include "values/routines.h"

#include "runtime/registry.h"
#include "values/charset.h"
#include "values/convert.h"
#include "values/dates.h"

namespace kor::values {

void registerRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  using rt::kNone;
  using rt::kPure;
  auto reg = [](const char* name, rt::NativeFn fn, unsigned flags = kPure) {
    rt::registerRoutine(name, std::move(fn), flags);
  };
  // Conversion and formatting.
  reg("X_TO_C", [](Args& a) { return X_TO_C(a[0], a[1], a[2], a[3], a[4]); });
  reg("CTOX", [](Args& a) { return CTOX(a[0], a[1]); });
  reg("CTOA", [](Args& a) { return CTOA(a[0], a[1], a[2]); });
  reg("CTOV", [](Args& a) { return CTOV(a[0]); });
  reg("CONVERTEVALOR", [](Args& a) { return CONVERTEVALOR(a[0]); });
  reg("VALTRIM", [](Args& a) { return VALTRIM(a[0]); });
  reg("CONVNUM", [](Args& a) { return CONVNUM(a[0], a[1], a[2], a[3], a[4]); });
  reg("CONVDATA", [](Args& a) { return CONVDATA(a[0], a[1], a[2], a[3]); });
  reg("CONVCHAR", [](Args& a) { return CONVCHAR(a[0], a[1], a[2]); });
  reg("STRTRIM", [](Args& a) { return STRTRIM(a[0], a[1], a[2], a[3]); });
  reg("LENX", [](Args& a) { return LENX(a[0]); });
  reg("TRANSFTRIM", [](Args& a) { return TRANSFTRIM(a[0], a[1]); });
  reg("MTOC", [](Args& a) { return MTOC(a[0], a[1]); });
  reg("XTOT", [](Args& a) { return XTOT(a[0]); });
  reg("SODIGITO", [](Args& a) { return SODIGITO(a[0], a[1]); });
  reg("VARVAZIA", [](Args& a) { return VARVAZIA(a[0]); });
  reg("CASADEC", [](Args& a) { return CASADEC(a[0], a[1]); });
  reg("INTEIRO", [](Args& a) { return INTEIRO(a[0], a[1]); });
  reg("TRUNCAVAL", [](Args& a) { return TRUNCAVAL(a[0], a[1]); });
  reg("PORCENTO", [](Args& a) { return PORCENTO(a[0], a[1], a[2]); });
  reg("BYTESTOX", [](Args& a) {
    Value unit;
    Value n = BYTESTOX(a[0], &unit);
    a.set(1, unit);
    return n;
  });
  reg("CONCATCHAR", [](Args& a) { return CONCATCHAR(a[0], a[1], a[2]); });
  reg("X_TO_X", [](Args& a) { return X_TO_X(a[0], a[1], a[2]); }, kNone);
  reg("LARGURA", [](Args& a) { return LARGURA(a[0], a[1]); }, kNone);
  reg("SONUMERO", [](Args& a) { return SONUMERO(a[0]); }, kNone);
  // Dates and durations.
  reg("DATAHORA", [](Args& a) { return DATAHORA(a[0], a[1]); });
  reg("TEMPOEXTENSO", [](Args& a) { return TEMPOEXTENSO(a[0]); });
  reg("TEMPOEST", [](Args& a) { return TEMPOEST(a[0], a[1], a[2]); });
  reg("PERIODOEXTENSO", [](Args& a) { return PERIODOEXTENSO(a[0], a[1]); });
  reg("FORMATADATAHORA", [](Args& a) { return FORMATADATAHORA(a[0], a[1]); });
  reg("CONVDTUTC", [](Args& a) { return CONVDTUTC(a[0], a[1]); });
  reg("SAYDATAHORA", [](Args& a) { return SAYDATAHORA(a[0], a[1], a[2]); }, kNone);
  // Character sets.
  reg("TROCAACENTO", [](Args& a) { return TROCAACENTO(a[0], a[1], a[2]); });
  reg("TROCAASSENTO", [](Args& a) { return TROCAASSENTO(a[0], a[1], a[2]); });
  reg("IGNORAVOGAIS", [](Args& a) { return IGNORAVOGAIS(a[0]); });
  reg("UTF8_TO_OEM", [](Args& a) { return UTF8_TO_OEM(a[0]); });
  reg("OEM_TO_UTF8", [](Args& a) { return OEM_TO_UTF8(a[0]); });
  reg("ANSI_TO_OEM", [](Args& a) { return ANSI_TO_OEM(a[0]); });
  reg("OEM_TO_ANSI", [](Args& a) { return OEM_TO_ANSI(a[0]); });
  reg("OEM_TO_HTML", [](Args& a) { return OEM_TO_HTML(a[0]); });
  reg("MEMOTOHTML", [](Args& a) { return MEMOTOHTML(a[0], a[1]); });
  reg("ISU8", [](Args& a) { return ISU8(a[0]); });
  reg("ISOEM", [](Args& a) { return ISOEM(a[0]); });
  reg("ISANSI", [](Args& a) { return ISANSI(a[0]); });
  reg("IDCHARSET", [](Args& a) { return IDCHARSET(a[0]); });
  reg("XTOOEM", [](Args& a) { return XTOOEM(a[0]); });
  reg("HTMLTOCARAC", [](Args& a) { return HTMLTOCARAC(a[0]); });
  reg("STRURL", [](Args& a) { return STRURL(a[0]); });
  reg("IGUALOUCONTIDO", [](Args& a) { return IGUALOUCONTIDO(a[0], a[1]); });
}

}  // namespace kor::values
