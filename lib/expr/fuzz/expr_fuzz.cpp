// libFuzzer target: any text through the parser and the evaluator, over a
// small in-memory table and a few variables. Every outcome must be a value
// or an error record; crashes, sanitizer reports and hangs are failures.
//
// The limits are lowered so that one input cannot take long or much memory.
// Leak detection is off: values are reference counted, and the language can
// build cycles on purpose (an array holding itself, a callback stored in the
// parameter it captures); those are not faults of the code under test. The
// unit tests run under the leak checker.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "expr/expr.h"
#include "expr/memory_data.h"
#include "runtime/runtime.h"

extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace {

using namespace kor;

expr::MemoryData& data() {
  static expr::MemoryData d;
  return d;
}

void setUp() {
  expr::registerRoutines();
  expr::Limits& l = expr::limits();
  l.maxText = 64 * 1024;
  l.maxArray = 4096;
  l.maxCalls = 20000;
  l.maxNested = 64;
  rt::setErrorHandler([](rt::ErrorRecord& e) {
    // Retry once where that is allowed, so the retry paths run too.
    if (e.canRetry && e.tries < 2) return rt::ErrorAnswer::retry();
    if (e.genCode == rt::kErrArg && e.canSubstitute && e.tries == 1 && e.args.size() == 2)
      return rt::ErrorAnswer::substitute(Value(1));
    return rt::ErrorAnswer::byDefault();
  });
  expr::MemoryData& d = data();
  d.open("RICLAS", {{"NCM", 'C', 8}, {"DATA", 'D', 8}, {"HORA", 'C', 8}, {"VALOR", 'N', 12, 2}, {"OBS", 'M', 10}});
  d.open("RICLA9", {{"CAMPO", 'C', 10}, {"FLAG", 'L', 1}});
  d.append(1, {Value("12345678"), Value::ymd(2024, 1, 31), Value("12:00:00"), Value::number(1.5, 2), Value("memo")});
  d.append(1, {Value("87654321"), Value::ymd(2023, 12, 1), Value("08:30:00"), Value(7)});
  d.append(2, {Value("CAMPO"), Value::logical(true)});
  rt::registerRoutine("RECNO", [](Args&) { return Value(data().recno(data().currentArea())); }, rt::kPure);
  rt::registerRoutine("SELECT", [](Args&) { return Value(data().currentArea()); }, rt::kPure);
  rt::registerRoutine("DBGOTO", [](Args& a) {
    data().go(data().currentArea(), static_cast<int>(a[0].integer()));
    return Value();
  });
  rt::registerRoutine("DBSELECTAREA", [](Args& a) {
    data().selectArea(a[0].isNumber() ? static_cast<int>(a[0].integer()) : data().areaOf(a[0].str()));
    return Value();
  });
  rt::registerRoutine("QUIT", [](Args&) -> Value { rt::exitProgram(1); });
}

void variables() {
  rt::resetVars();
  rt::resetFrames();
  rt::resetSettings();
  rt::publicVar("cText", Value("abc  "));
  rt::publicVar("nNum", Value::number(12.5, 1));
  rt::publicVar("dDate", Value::ymd(2024, 2, 29));
  rt::publicVar("lFlag", Value::logical(true));
  rt::publicVar("aList", Value::array({Value(1), Value("x"), Value::array({Value(2)})}));
  rt::publicVar("hMap", Value::hash());
  rt::publicVar("cExpr", Value("nNum * 2"));
  rt::publicVar("bBlock", expr::toBlock("{|a, b| a + b}"));
  auto cls = std::make_shared<ClassDef>();
  cls->name = "TFUZZ";
  cls->methods.push_back({"TWICE", [](Value&, Args& a) { return Value::number(a[0].num() * 2, a[0].decimals()); }});
  cls->onUnknown = [](Value&, std::string_view m, Args&) { return Value(m); };
  rt::publicVar("oObj", makeObject(cls, {{"NAME", Value("fuzz")}}));
  data().selectArea(1);
  data().go(1, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static bool ready = (setUp(), true);
  (void)ready;
  expr::setDataContext(&data());
  variables();
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  try {
    expr::typeOf(text);
    Value v = expr::evalText(text);
    if (v.isBlock()) evalBlock(v, {Value(1), Value("x")});
    Value b = expr::toBlock(text);
    if (b.isBlock()) evalBlock(b, {Value(2)});
    rt::guard([&] { expr::evalText(text); }, [](rt::ErrorRecord&) {});
  } catch (rt::ProgramExit&) {
    // QUIT(): the program's exit path, which a real run ends in main.
  }
  rt::resetVars();
  return 0;
}
