#include "runtime/settings.h"

#include <string>

namespace kor::rt {

namespace {

std::array<Value, kSetCount> defaults() {
  std::array<Value, kSetCount> v;
  auto put = [&v](Set s, Value x) { v[static_cast<int>(s)] = std::move(x); };
  put(Set::Exact, Value::logical(false));
  put(Set::Fixed, Value::logical(false));
  put(Set::Decimals, Value(2));
  put(Set::DateFormat, Value("dd/mm/yy"));
  put(Set::Epoch, Value(1940));
  put(Set::Path, Value(""));
  put(Set::Default, Value(""));
  put(Set::Exclusive, Value::logical(false));
  put(Set::SoftSeek, Value::logical(false));
  put(Set::Unique, Value::logical(false));
  put(Set::Deleted, Value::logical(false));
  put(Set::Cancel, Value::logical(true));
  put(Set::Color, Value("W/N,N/W,N,N,N/W"));
  put(Set::Cursor, Value(1));
  put(Set::Console, Value::logical(true));
  put(Set::Device, Value("SCREEN"));
  put(Set::Printer, Value::logical(false));
  put(Set::PrintFile, Value(""));
  put(Set::Bell, Value::logical(false));
  put(Set::Confirm, Value::logical(false));
  put(Set::Escape, Value::logical(true));
  put(Set::Insert, Value::logical(false));
  put(Set::Exit, Value::logical(false));
  put(Set::Intensity, Value::logical(true));
  put(Set::Scoreboard, Value::logical(true));
  put(Set::Delimiters, Value::logical(false));
  put(Set::DelimChars, Value("::"));
  put(Set::Wrap, Value::logical(false));
  put(Set::Message, Value(0));
  put(Set::MCenter, Value::logical(false));
  put(Set::Century, Value::logical(false));
  put(Set::CodePage, Value("PT850"));
  put(Set::Language, Value("PT"));
  put(Set::HardCommit, Value::logical(true));
  put(Set::AutoOpen, Value::logical(true));
  put(Set::Optimize, Value::logical(true));
  put(Set::MemoBlockSize, Value(64));
  put(Set::TypeAhead, Value(50));
  put(Set::DbfLockScheme, Value(0));
  put(Set::Extra, Value::logical(false));
  put(Set::ExtraFile, Value(""));
  return v;
}

std::array<Value, kSetCount>& table() {
  static std::array<Value, kSetCount> t = defaults();
  return t;
}

// Cached copies of the settings read on hot paths.
struct Hot {
  bool exact = false;
  bool deleted = false;
  int epoch = 1940;
  bool century = false;
  std::string dateFormat = "dd/mm/yy";
  std::string defaultFolder;
};
Hot& hot() {
  static Hot h;
  return h;
}

void refreshHot(Set s) {
  const Value& v = table()[static_cast<int>(s)];
  Hot& h = hot();
  switch (s) {
    case Set::Exact: h.exact = v.log(); break;
    case Set::Deleted: h.deleted = v.log(); break;
    case Set::Epoch: h.epoch = static_cast<int>(v.integer()); break;
    case Set::Century: h.century = v.log(); break;
    case Set::DateFormat: h.dateFormat = v.string(); break;
    case Set::Default: h.defaultFolder = v.string(); break;
    default: break;
  }
}

bool valid(int n) { return n > 0 && n < kSetCount; }

}  // namespace

const Value& setting(Set s) { return table()[static_cast<int>(s)]; }

Value set(Set s, Value v) {
  Value old = table()[static_cast<int>(s)];
  table()[static_cast<int>(s)] = std::move(v);
  refreshHot(s);
  return old;
}

const Value& setting(int number) {
  static const Value nil;
  return valid(number) ? table()[number] : nil;
}

Value set(int number, Value v) {
  if (!valid(number)) return Value();
  return set(static_cast<Set>(number), std::move(v));
}

bool exact() { return hot().exact; }
bool deletedFilter() { return hot().deleted; }
int epoch() { return hot().epoch; }
std::string_view dateFormat() { return hot().dateFormat; }
std::string_view defaultFolder() { return hot().defaultFolder; }
bool century() { return hot().century; }

void setCentury(bool on) {
  set(Set::Century, Value::logical(on));
  std::string f = hot().dateFormat;
  // Normalise the year part to "yy" or "yyyy", whatever case it is in.
  std::string out;
  for (size_t i = 0; i < f.size();) {
    if (f[i] == 'y' || f[i] == 'Y') {
      size_t j = i;
      while (j < f.size() && (f[j] == 'y' || f[j] == 'Y')) ++j;
      out += on ? "yyyy" : "yy";
      i = j;
    } else {
      out += f[i++];
    }
  }
  set(Set::DateFormat, Value(out));
}

void resetSettings() {
  table() = defaults();
  for (int i = 1; i < kSetCount; ++i) refreshHot(static_cast<Set>(i));
}

SettingsSnapshot::SettingsSnapshot() : values_(table()) {}

void SettingsSnapshot::restore() const {
  table() = values_;
  for (int i = 1; i < kSetCount; ++i) refreshHot(static_cast<Set>(i));
}

}  // namespace kor::rt
