// Display pictures: how a value is shown in a form field, a browser column
// or a report, and how an edited field text turns back into a value.
//
// A picture is an optional function part and an optional template:
//   "@E 999,999.99"   functions "E", template "999,999.99"
//   "@!S69"           functions "!" and "S69", no template
//   "@R 9999.99.99"   functions "R", template "9999.99.99"
//   "999.99"          template only
// The function part starts with "@" and ends at the first blank; the
// template is everything after that blank.
//
// Functions (any case):
//   !    texts upper case            E    numbers with decimal comma and
//   R    template literals are            thousands point; dates dd/mm/yy
//        inserted, not stored        Z    zero shows as blanks
//   B    numbers left-aligned        (    negatives in parentheses, "(" at
//   )    negatives in parentheses,        the left edge of the field
//        "(" next to the digits      C    " CR" after positive numbers
//   X    " DB" after negatives       K    (forms) typing a character first
//   A    (forms) letters only             clears the field
//   D    dates in the date format    S<n> (forms) visible width n, the text
//                                         scrolls inside it
// Template characters:
//   9 digit (numbers: digit or sign)  # digit, blank or sign
//   A letter   N letter or digit      X any character   ! any, upper case
//   L logical T/F   Y logical yes/no ("S"/"N" in Portuguese, else "Y"/"N")
//   $ * digit positions whose leading blanks show as "$" / "*"
//   . the decimal point (numbers)      , thousands separator, shown only
//                                        with a digit on its left
// Any other template character is a literal. In a number it is always
// inserted; in a text it takes the place of one character of the value
// (and is stored with it) unless the function R is given.
//
// transform() is the display of any value by a picture; FieldPicture is
// the same layout seen by a form field: fixed width, the editable positions,
// what a typed character becomes, and the edited text read back.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "values/value.h"

namespace kor::values {

// A picture taken apart.
struct PictureSpec {
  bool upper = false;        // @!
  bool european = false;     // @E
  bool insert = false;       // @R
  bool blankZero = false;    // @Z
  bool leftAlign = false;    // @B
  bool parenLead = false;    // @(
  bool parenTight = false;   // @)
  bool credit = false;       // @C
  bool debit = false;        // @X
  bool clearOnType = false;  // @K
  bool lettersOnly = false;  // @A
  bool dateFormat = false;   // @D
  int scroll = 0;            // @S<n>; 0 when not given
  std::string tmpl;          // the template, as written
};

PictureSpec parsePicture(std::string_view picture);

// The value shown by the picture. Numbers, texts (and memos), dates and
// logicals; every other type gives "". An empty picture gives the value's
// plain display: a number in its Str form, a text as it is, a date in the
// program's date format, a logical as "T"/"F". @S is ignored here: the
// field that shows the text scrolls it.
std::string transform(const Value& v, std::string_view picture);
std::string transform(const Value& v, const PictureSpec& spec);

// The layout of a form field of a given value's type. Positions are 0-based
// columns of the field's display text, which is always width() characters.
class FieldPicture {
 public:
  // `value` is the field's current value; it fixes the type, the width of
  // a text without template and the width and decimals of a number.
  FieldPicture(std::string_view picture, const Value& value);
  FieldPicture(PictureSpec spec, const Value& value);

  // 'C' (texts and memos), 'N', 'D', 'L'; 'U' for any other type, which no
  // field can edit (width 0).
  char type() const { return type_; }
  const PictureSpec& spec() const { return spec_; }
  int width() const { return static_cast<int>(slots_.size()); }
  // Columns on screen: the @S width when given, else width().
  int visibleWidth() const { return spec_.scroll > 0 ? spec_.scroll : width(); }
  // Decimals an edited number gets back.
  int decimals() const { return decimals_; }
  // Column of the decimal point of a number field, -1 when it has none.
  int pointPos() const { return pointPos_; }

  // The display text of a value of the field's type (width() characters).
  std::string display(const Value& v) const;
  // The text of an emptied field (@K, or when the user clears it): blanks
  // in every editable position, literals kept.
  std::string blank() const;

  bool editable(int pos) const;
  // Editable positions in order; -1 when there is none in that direction.
  int firstEditable() const;
  int lastEditable() const;
  int nextEditable(int pos) const;  // the first editable position after pos
  int prevEditable(int pos) const;  // the last editable position before pos

  // The byte stored at `pos` when the user types `c` there (upper-cased by
  // "!" or @!, "S" for a yes in a Y position ...), or nothing when the
  // position does not take that character.
  std::optional<char> accept(int pos, char c) const;

  // An edited display text back to a value of the field's type. `original`
  // is the value the field started with: a text keeps its length beyond
  // the edited positions, a number its width.
  Value parse(std::string_view text, const Value& original) const;
  Value parse(std::string_view text) const { return parse(text, original_); }

 private:
  enum class Slot : unsigned char {
    Literal,  // shown, never edited
    Digit,    // number: 9 # $ * (and the sign); date: a digit of d, m, y
    Comma,    // number: thousands separator (not edited)
    Point,    // number: the decimal point (not edited)
    Text,     // text: a template character (or any, without template)
    Logical,  // L or Y
    Decor,    // "(", ")", " CR", " DB" columns a number may add
  };
  void build();
  std::string dateFormatOf() const;

  PictureSpec spec_;
  Value original_;
  char type_ = 'U';
  int decimals_ = 0;
  int pointPos_ = -1;
  std::string tmplChars_;  // per position: the template character
  std::vector<Slot> slots_;
};

}  // namespace kor::values
