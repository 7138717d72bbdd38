// Decoding of what a terminal sends into the console's key codes.
//
// A terminal delivers bytes: plain characters as UTF-8, control bytes for
// Ctrl combinations, and escape sequences for the other keys and the mouse
// (xterm and its followers: CSI and SS3 sequences with modifier parameters,
// ESC + key for Alt, SGR and X10 mouse reports; the Linux console's and
// rxvt's variants too). KeyDecoder turns that stream into key codes
// (console/keys.h); characters become their code page 850 byte, and those
// the code page lacks are dropped.
//
// An ESC byte may be the Esc key or the start of a sequence: the decoder
// keeps it pending until more bytes come, and the backend calls flush()
// when none came within the escape delay.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/backend.h"

namespace kor::con {

class KeyDecoder {
 public:
  // Feeds bytes; the complete events are appended to `out`.
  void feed(std::string_view bytes, std::vector<InputEvent>& out);
  // Resolves what is pending as if nothing more will follow.
  void flush(std::vector<InputEvent>& out);
  bool pending() const { return !buf_.empty(); }

 private:
  std::string buf_;
};

// Decodes a whole byte string at once (feed + flush): the tests' form.
std::vector<InputEvent> decodeKeys(std::string_view bytes);

}  // namespace kor::con
