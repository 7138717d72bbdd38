// Fuzzing of what the console takes from outside: the bytes a terminal
// sends (the key decoder), colour strings, and keys typed into a form of
// pictures and into the alert and the list chooser, on the headless
// backend.
//
// Input layout: a first line is the picture (and the colour string); the
// byte after it chooses the field's value type and the settings; the rest
// is read as keys, also fed raw to the key decoder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/alert.h"
#include "console/color.h"
#include "console/form.h"
#include "console/headless.h"
#include "console/keydecode.h"
#include "console/listbox.h"
#include "console/routines.h"
#include "console/screen.h"
#include "platform/clock.h"
#include "runtime/runtime.h"

using namespace kor;

namespace {

// Keys the bytes below 48 stand for; the others are characters.
constexpr int kKeys[] = {
    con::key::Enter,    con::key::Esc,       con::key::Up,        con::key::Down,      con::key::Left,
    con::key::Right,    con::key::Home,      con::key::End,       con::key::PgUp,      con::key::PgDn,
    con::key::Ins,      con::key::Del,       con::key::Backspace, con::key::Tab,       con::key::ShiftTab,
    con::key::CtrlLeft, con::key::CtrlRight, con::key::CtrlHome,  con::key::CtrlEnd,   con::key::CtrlBackspace,
    533,                532,                 537,                 con::key::CtrlW,     con::key::fn(2),
    con::key::LeftDown, con::key::LeftDouble, con::key::WheelForward, con::key::WheelBackward, con::key::Close,
};

Value valueOfKind(int kind) {
  switch (kind % 6) {
    case 0: return Value(std::string(12, ' '));
    case 1: return Value::number(123.45, 2);
    case 2: return Value::number(-7, 0);
    case 3: return Value::ymd(2021, 12, 9);
    case 4: return Value::logical(true);
    default: return Value("abc");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    con::registerRoutines();
    return true;
  }();
  (void)ready;
  std::string_view in(reinterpret_cast<const char*>(data), size);

  std::vector<con::InputEvent> events;
  con::KeyDecoder dec;
  dec.feed(in, events);
  dec.flush(events);

  size_t nl = in.find('\n');
  std::string_view picture = in.substr(0, std::min<size_t>(nl == std::string_view::npos ? in.size() : nl, 60));
  std::string_view rest = nl == std::string_view::npos ? std::string_view() : in.substr(nl + 1);
  con::parseColor(picture);
  con::firstAttr(picture);
  if (rest.empty()) return 0;
  unsigned char opts = static_cast<unsigned char>(rest[0]);
  rest.remove_prefix(1);

  plat::VirtualClock clock;
  rt::resetSettings();
  rt::resetVars();
  con::resetConsole();
  con::HeadlessBackend& h = con::installHeadless(con::HeadlessBackend::WhenDone::CloseRequest);
  rt::set(rt::Set::Insert, Value::logical(opts & 8));
  rt::set(rt::Set::Confirm, Value::logical(opts & 16));
  rt::set(rt::Set::Exit, Value::logical(opts & 32));
  std::vector<int> keys;
  for (size_t i = 0; i < rest.size() && keys.size() < 400; ++i) {
    unsigned char b = static_cast<unsigned char>(rest[i]);
    int k = b < 48 ? kKeys[b % (sizeof kKeys / sizeof kKeys[0])] : b;
    if (k == con::key::LeftDown || k == con::key::LeftDouble)
      h.mouse(k, (b * 7) % 25, (b * 13) % 80);
    else
      h.type({k});
  }
  if (opts & 64) con::setKey(con::key::fn(2), makeBlock([](Args&) {
                                 rt::assignVar("CB", Value("acao"));
                                 return Value();
                               }));

  rt::publicVar("VA", valueOfKind(opts));
  rt::publicVar("CB", Value("texto longo para rolar"));
  Value form = Value::array({con::fieldForVariable(3, 70, "VA", picture),
                             con::fieldForVariable(4, 2, "CB", "@S8"),
                             con::fieldForVariable(5, 2, "VA", picture)});
  con::readForm(form);

  // What is left of the script drives the alert and the list chooser.
  std::string message(picture);
  std::vector<std::string> buttons = {"Sim", std::string(rest.substr(0, 30)), "Não"};
  con::alert(message + ";" + std::string(rest.substr(0, 200)), buttons);
  con::ListSpec list;
  list.top = 2;
  list.left = 5;
  list.bottom = 2 + opts % 8;
  list.right = 30;
  for (size_t i = 0; i < rest.size() && i < 40; i += 3) list.items.push_back(std::string(rest.substr(i, 10)));
  for (size_t i = 0; i < list.items.size(); ++i) list.selectable.push_back((opts >> (i % 8)) & 1);
  if (opts & 128)
    list.handler = [](int mode, int, int) { return mode == con::kListException ? con::lastKey() % 4 : 2; };
  con::listChoose(list);
  con::setBackend(nullptr);
  return 0;
}
