#include "values/picture.h"

#include <cmath>
#include <cstring>

#include "runtime/settings.h"
#include "values/textform.h"

namespace kor::values {

namespace {

bool isNumberSlotChar(char c) { return c == '9' || c == '#' || c == '$' || c == '*'; }
bool isTextSlotChar(char c) {
  switch (c) {
    case '9': case '#': case 'A': case 'N': case 'X': case '!': case 'L': case 'Y':
    case 'a': case 'n': case 'x': case 'l': case 'y':
      return true;
    default:
      return false;
  }
}

bool isLetter(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  if (c < 0x80) return false;
  return upperByte(c) != c || lowerByte(c) != c || c == 0xE1;  // 0xE1: sharp s
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Yes/no letters of Y positions follow the run-time message language.
char yesLetter() {
  const Value& lang = rt::setting(rt::Set::Language);
  return upper(lang.str()) == "PT" ? 'S' : 'Y';
}

// The number laid out in a template (no decorations, no @E yet). Returns
// false when it does not fit; `out` then holds asterisks in every number
// position and the point.
bool numberInTemplate(double n, std::string_view tmpl, bool withSign, std::string& out) {
  out.assign(tmpl);
  size_t point = tmpl.find('.');
  size_t intEnd = point == std::string_view::npos ? tmpl.size() : point;
  int intSlots = 0, dec = 0;
  for (size_t i = 0; i < tmpl.size(); ++i) {
    if (!isNumberSlotChar(tmpl[i])) continue;
    if (i < intEnd) ++intSlots;
    else ++dec;
  }
  char buf[1024];
  size_t len = numberText(std::fabs(n), dec, buf);
  std::string_view text(buf, len);
  size_t dot = text.find('.');
  std::string_view intDigits = text.substr(0, dot);
  std::string_view fracDigits = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (intDigits == "0" && (intSlots == 0 || !fracDigits.empty())) {
    // "0.50" shows as "  0.50" when there is room, ".50" when not.
    if (intSlots == 0) intDigits = {};
  }
  bool sign = withSign && n < 0 && text.find_first_not_of("0.") != std::string_view::npos;

  size_t k = intDigits.size();
  char fill = ' ';
  for (size_t i = intEnd; i-- > 0;) {
    char c = tmpl[i];
    if (isNumberSlotChar(c)) {
      fill = c == '*' ? '*' : c == '$' ? '$' : ' ';
      if (k > 0) out[i] = intDigits[--k];
      else if (sign) out[i] = '-', sign = false;
      else out[i] = fill;
    } else if (c == ',') {
      if (k > 0) out[i] = ',';
      else if (sign) out[i] = '-', sign = false;
      else {
        // The fill of the digit position to its left, if any.
        char f = ' ';
        for (size_t j = i; j-- > 0;)
          if (isNumberSlotChar(tmpl[j])) {
            f = tmpl[j] == '*' ? '*' : tmpl[j] == '$' ? '$' : ' ';
            break;
          }
        out[i] = f;
      }
    }
  }
  size_t j = 0;
  for (size_t i = intEnd + (point == std::string_view::npos ? 0 : 1); i < tmpl.size(); ++i)
    if (isNumberSlotChar(tmpl[i])) out[i] = j < fracDigits.size() ? fracDigits[j++] : '0';
  if (k == 0 && !sign) return true;
  for (size_t i = 0; i < tmpl.size(); ++i)
    if (isNumberSlotChar(tmpl[i]) || tmpl[i] == ',') out[i] = '*';
  return false;
}

// "." and "," exchanged at the number positions of a laid-out text.
void europeanize(std::string& s, std::string_view tmpl, bool noTemplate) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (!noTemplate && (i >= tmpl.size() || !(isNumberSlotChar(tmpl[i]) || tmpl[i] == ',' || tmpl[i] == '.')))
      continue;
    if (s[i] == '.') s[i] = ',';
    else if (s[i] == ',') s[i] = '.';
  }
}

std::string formatNumber(const Value& v, const PictureSpec& sp) {
  double n = v.num();
  bool decorated = sp.parenLead || sp.parenTight || sp.debit;
  std::string out;
  bool fits = true;
  int dec = 0;
  if (sp.tmpl.empty()) {
    dec = v.decimals();
    Value shown = decorated ? Value::number(std::fabs(n), v.decimals(), v.width()) : v;
    out = strNumber(shown);
    fits = out.find('*') == std::string::npos;
    if (sp.european) europeanize(out, sp.tmpl, true);
  } else {
    fits = numberInTemplate(n, sp.tmpl, !decorated, out);
    size_t point = sp.tmpl.find('.');
    if (point != std::string::npos)
      for (size_t i = point + 1; i < sp.tmpl.size(); ++i) dec += isNumberSlotChar(sp.tmpl[i]);
    if (sp.european) europeanize(out, sp.tmpl, false);
  }
  bool zero = roundHalfAway(n, dec) == 0;
  bool negative = n < 0 && !zero;
  if (sp.blankZero && zero && fits) return std::string(out.size(), ' ');
  if (sp.leftAlign) {
    size_t lead = out.find_first_not_of(' ');
    if (lead != std::string::npos && lead > 0) out = out.substr(lead) + std::string(lead, ' ');
  }
  if (negative && (sp.parenLead || sp.parenTight)) {
    if (sp.parenLead) {
      out = "(" + out + ")";
    } else {
      size_t lead = out.find_first_not_of(' ');
      if (lead == std::string::npos) lead = out.size();
      out = out.substr(0, lead) + "(" + out.substr(lead) + ")";
    }
  }
  if (sp.credit && n > 0 && !zero) out += " CR";
  if (sp.debit && negative) out += " DB";
  return out;
}

std::string formatText(std::string_view s, const PictureSpec& sp) {
  std::string src = sp.upper ? upper(s) : std::string(s);
  if (sp.tmpl.empty()) return src;
  std::string out;
  out.reserve(sp.tmpl.size());
  size_t j = 0;
  for (char c : sp.tmpl) {
    if (isTextSlotChar(c)) {
      char ch = j < src.size() ? src[j] : ' ';
      ++j;
      if (c == '!') ch = static_cast<char>(upperByte(static_cast<unsigned char>(ch)));
      out += ch;
    } else {
      out += c;
      if (!sp.insert) ++j;
    }
  }
  return out;
}

std::string dateFormatFor(const PictureSpec& sp) {
  if (sp.european && !sp.dateFormat) return rt::century() ? "dd/mm/yyyy" : "dd/mm/yy";
  return std::string(rt::dateFormat());
}

char logicalLetter(bool b, const PictureSpec& sp) {
  size_t first = sp.tmpl.find_first_not_of(' ');
  bool yn = first != std::string::npos && (sp.tmpl[first] == 'Y' || sp.tmpl[first] == 'y');
  if (yn) return b ? yesLetter() : 'N';
  return b ? 'T' : 'F';
}

}  // namespace

PictureSpec parsePicture(std::string_view p) {
  PictureSpec sp;
  if (p.empty() || p[0] != '@') {
    sp.tmpl = std::string(p);
    return sp;
  }
  size_t blank = p.find(' ');
  std::string_view fn = p.substr(1, blank == std::string_view::npos ? std::string_view::npos : blank - 1);
  if (blank != std::string_view::npos) sp.tmpl = std::string(p.substr(blank + 1));
  for (size_t i = 0; i < fn.size(); ++i) {
    switch (std::toupper(static_cast<unsigned char>(fn[i]))) {
      case '!': sp.upper = true; break;
      case 'E': sp.european = true; break;
      case 'R': sp.insert = true; break;
      case 'Z': sp.blankZero = true; break;
      case 'B': sp.leftAlign = true; break;
      case '(': sp.parenLead = true; break;
      case ')': sp.parenTight = true; break;
      case 'C': sp.credit = true; break;
      case 'X': sp.debit = true; break;
      case 'K': sp.clearOnType = true; break;
      case 'A': sp.lettersOnly = true; break;
      case 'D': sp.dateFormat = true; break;
      case 'S': {
        int n = 0;
        while (i + 1 < fn.size() && isDigit(fn[i + 1]) && n < 100000) n = n * 10 + (fn[++i] - '0');
        sp.scroll = n;
        break;
      }
      default: break;  // unknown functions are ignored
    }
  }
  return sp;
}

std::string transform(const Value& v, const PictureSpec& sp) {
  switch (v.type()) {
    case VType::Number: return formatNumber(v, sp);
    case VType::Text:
    case VType::Memo: return formatText(v.str(), sp);
    case VType::Date: return dateToText(v.dateTime(), dateFormatFor(sp));
    case VType::Logical: return std::string(1, logicalLetter(v.log(), sp));
    default: return {};
  }
}

std::string transform(const Value& v, std::string_view picture) {
  return transform(v, parsePicture(picture));
}

// --- form fields ---------------------------------------------------------------

FieldPicture::FieldPicture(std::string_view picture, const Value& value)
    : FieldPicture(parsePicture(picture), value) {}

FieldPicture::FieldPicture(PictureSpec spec, const Value& value) : spec_(std::move(spec)), original_(value) {
  switch (value.type()) {
    case VType::Text:
    case VType::Memo: type_ = 'C'; break;
    case VType::Number: type_ = 'N'; break;
    case VType::Date: type_ = 'D'; break;
    case VType::Logical: type_ = 'L'; break;
    default: type_ = 'U'; break;
  }
  build();
}

std::string FieldPicture::dateFormatOf() const { return dateFormatFor(spec_); }

void FieldPicture::build() {
  slots_.clear();
  tmplChars_.clear();
  auto add = [this](Slot s, char t) {
    slots_.push_back(s);
    tmplChars_ += t;
  };
  switch (type_) {
    case 'N': {
      std::string t = spec_.tmpl;
      if (t.empty()) {
        int w = original_.width() > 0 ? original_.width() : ownWidth(original_);
        int dec = original_.decimals();
        int intW = dec > 0 ? w - dec - 1 : w;
        if (intW < 0) intW = 0;
        t.assign(static_cast<size_t>(intW), '9');
        if (dec > 0) t += '.' + std::string(static_cast<size_t>(dec), '9');
        decimals_ = dec;
      } else {
        decimals_ = 0;
        size_t point = t.find('.');
        if (point != std::string::npos)
          for (size_t i = point + 1; i < t.size(); ++i) decimals_ += isNumberSlotChar(t[i]);
      }
      bool paren = spec_.parenLead || spec_.parenTight;
      if (paren) add(Slot::Decor, ' ');
      size_t point = t.find('.');
      for (size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (isNumberSlotChar(c)) add(Slot::Digit, c);
        else if (i == point) pointPos_ = static_cast<int>(slots_.size()), add(Slot::Point, c);
        else if (c == ',' && (point == std::string::npos || i < point)) add(Slot::Comma, c);
        else add(Slot::Literal, c);
      }
      if (paren) add(Slot::Decor, ' ');
      if (spec_.credit || spec_.debit)
        for (int i = 0; i < 3; ++i) add(Slot::Decor, ' ');
      break;
    }
    case 'C': {
      if (spec_.tmpl.empty()) {
        for (size_t i = 0; i < original_.str().size(); ++i) add(Slot::Text, 'X');
      } else {
        for (char c : spec_.tmpl) add(isTextSlotChar(c) ? Slot::Text : Slot::Literal, c);
      }
      break;
    }
    case 'D': {
      std::string f = dateFormatOf();
      std::string shown = dateToText(DateTime{}, f);  // blanks where digits go
      for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == ' ') add(Slot::Digit, '9');
        else add(Slot::Literal, shown[i]);
      }
      break;
    }
    case 'L': {
      size_t first = spec_.tmpl.find_first_not_of(' ');
      char t = first != std::string::npos && (spec_.tmpl[first] == 'Y' || spec_.tmpl[first] == 'y') ? 'Y' : 'L';
      add(Slot::Logical, t);
      break;
    }
    default: break;
  }
}

std::string FieldPicture::display(const Value& v) const {
  std::string out;
  switch (type_) {
    case 'N': {
      if (!v.isNumber()) return blank();
      if (spec_.tmpl.empty()) {
        // The field's own layout: its width and decimals, whatever the value.
        int inner = 0;
        for (Slot s : slots_) inner += s == Slot::Digit || s == Slot::Point;
        out = formatNumber(Value::number(v.num(), decimals_, inner), spec_);
      } else {
        out = formatNumber(v, spec_);
      }
      // Positives carry no parentheses: their columns stay blank.
      if ((spec_.parenLead || spec_.parenTight) && out.find('(') == std::string::npos) out = " " + out + " ";
      break;
    }
    case 'C': out = v.isText() ? formatText(v.str(), spec_) : std::string(); break;
    case 'D': out = v.isDate() ? dateToText(v.dateTime(), dateFormatOf()) : blank(); break;
    case 'L': out = std::string(1, logicalLetter(v.log(), spec_)); break;
    default: return {};
  }
  if (out.size() < slots_.size()) out.append(slots_.size() - out.size(), ' ');
  else if (out.size() > slots_.size()) out.resize(slots_.size());
  return out;
}

std::string FieldPicture::blank() const {
  std::string out;
  for (size_t i = 0; i < slots_.size(); ++i) {
    switch (slots_[i]) {
      case Slot::Literal: out += tmplChars_[i]; break;
      case Slot::Point: out += spec_.european ? ',' : '.'; break;
      default: out += ' '; break;
    }
  }
  return out;
}

bool FieldPicture::editable(int pos) const {
  if (pos < 0 || pos >= width()) return false;
  Slot s = slots_[static_cast<size_t>(pos)];
  return s == Slot::Digit || s == Slot::Text || s == Slot::Logical;
}

int FieldPicture::firstEditable() const { return nextEditable(-1); }
int FieldPicture::lastEditable() const { return prevEditable(width()); }
int FieldPicture::nextEditable(int pos) const {
  for (int i = pos < -1 ? 0 : pos + 1; i < width(); ++i)
    if (editable(i)) return i;
  return -1;
}
int FieldPicture::prevEditable(int pos) const {
  for (int i = (pos > width() ? width() : pos) - 1; i >= 0; --i)
    if (editable(i)) return i;
  return -1;
}

std::optional<char> FieldPicture::accept(int pos, char c) const {
  if (!editable(pos)) return std::nullopt;
  unsigned char u = static_cast<unsigned char>(c);
  char t = tmplChars_[static_cast<size_t>(pos)];
  switch (slots_[static_cast<size_t>(pos)]) {
    case Slot::Digit:
      if (isDigit(c) || c == ' ') return c;
      if (type_ == 'N' && (c == '-' || c == '+')) return c;
      return std::nullopt;
    case Slot::Logical: {
      char up = static_cast<char>(std::toupper(u));
      bool yes = up == 'T' || up == 'Y' || up == 'S';
      bool no = up == 'F' || up == 'N';
      if (!yes && !no) return std::nullopt;
      return logicalLetter(yes, spec_);
    }
    case Slot::Text: {
      bool ok = true;
      switch (std::toupper(static_cast<unsigned char>(t))) {
        case '9': ok = isDigit(c); break;
        case '#': ok = isDigit(c) || c == ' ' || c == '+' || c == '-'; break;
        case 'A': ok = isLetter(u); break;
        case 'N': ok = isLetter(u) || isDigit(c); break;
        case 'L': {
          char up = static_cast<char>(std::toupper(u));
          ok = up == 'T' || up == 'F' || up == 'Y' || up == 'N';
          break;
        }
        case 'Y': {
          char up = static_cast<char>(std::toupper(u));
          ok = up == 'Y' || up == 'N';
          break;
        }
        default: break;  // X and !: anything
      }
      if (spec_.lettersOnly && !isLetter(u)) ok = false;
      if (!ok) return std::nullopt;
      char up = std::toupper(static_cast<unsigned char>(t));
      if (spec_.upper || t == '!' || up == 'L' || up == 'Y') return static_cast<char>(upperByte(u));
      return c;
    }
    default: return std::nullopt;
  }
}

Value FieldPicture::parse(std::string_view text, const Value& original) const {
  bool positional = text.size() == slots_.size();
  auto slotAt = [&](size_t i) { return positional ? slots_[i] : Slot::Text; };
  switch (type_) {
    case 'N': {
      bool neg = false;
      std::string digits;
      char decimalMark = spec_.european ? ',' : '.';
      char thousands = spec_.european ? '.' : ',';
      bool seenPoint = false;
      for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        Slot s = slotAt(i);
        if (s == Slot::Literal) continue;
        if (isDigit(c)) digits += c;
        else if (c == '-' || c == '(') neg = true;
        else if (c == decimalMark && !seenPoint) digits += '.', seenPoint = true;
        else if (c == 'D' && i + 1 < text.size() && text[i + 1] == 'B') neg = true;
        else if (c == thousands || c == ' ' || c == '*' || c == '$' || c == '+' || c == ')') continue;
      }
      Value n = valNumber(digits);
      double x = roundHalfAway(n.num(), decimals_);
      if (neg) x = -x;
      if (x == 0) x = 0;
      return Value::number(x, decimals_, original.width());
    }
    case 'C': {
      std::string collected;
      size_t n = std::min(text.size(), positional ? slots_.size() : text.size());
      for (size_t i = 0; i < n; ++i) {
        Slot s = slotAt(i);
        if (s == Slot::Literal && spec_.insert) continue;
        collected += text[i];
      }
      std::string_view orig = original.str();
      if (orig.size() > collected.size()) collected.append(orig.substr(collected.size()));
      return original.isMemo() ? Value::memo(collected) : Value(collected);
    }
    case 'D': return Value::date(textToDate(text, dateFormatOf(), rt::epoch()));
    case 'L': {
      for (size_t i = 0; i < text.size(); ++i) {
        char up = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
        if (up == ' ') continue;
        return Value::logical(up == 'T' || up == 'Y' || up == 'S');
      }
      return Value::logical(false);
    }
    default: return original;
  }
}

}  // namespace kor::values
