// Values to text and back: the text forms the change audit, the
// configuration store, logs and reports rely on character for character.
//
// Every routine takes positional Values; a missing (nil) argument takes the
// default named in its comment. None raises an error of its own: text that
// does not read as a number gives 0, as a date the empty date, as a logical
// false. Only LARGURA and SONUMERO, which evaluate expression texts, can
// raise (through the expression language).
#pragma once

#include <string>
#include <string_view>

#include "values/value.h"

namespace kor {

// Text of any value. Separator of array and hash items (", "), English
// words for logicals (false), trim texts (false), decimals for numbers
// (the number's own). Numbers use a decimal comma; dates the program's date
// format ("  /  /  " for the empty date); logicals "Verdadeiro"/"Falso".
// With the variable DEBUGX_TO_C holding a logical, the value and its type
// letter are first written on a new console line (values/hooks.h).
Value X_TO_C(const Value& v, const Value& separator = Value(), const Value& english = Value(),
             const Value& trim = Value(), const Value& decimals = Value());

// Text to a value of a type: "N", "L", "D", "E" (scientific notation); any
// other letter gives the first argument back exactly as passed.
Value CTOX(const Value& text, const Value& type = Value());

// Text to an array: separator (";"), item kind "C" or "N" ("C").
Value CTOA(const Value& text, const Value& separator = Value(), const Value& kind = Value());

// The lenient number readers (see docs/values.md for their differences).
Value CTOV(const Value& text);
Value CONVERTEVALOR(const Value& v);
Value VALTRIM(const Value& text);

// A value fitted to a field of the current work area: field name or
// position, value (the field's blank value), upper case (false).
Value X_TO_X(const Value& field, const Value& value = Value(), const Value& upperCase = Value());

// Fixed-width number text: width (15), decimals (0), decimal mark (""),
// layout "0" zero-padded, "1" right-aligned, "3" left-aligned, other
// trimmed ("0").
Value CONVNUM(const Value& n, const Value& width = Value(), const Value& decimals = Value(),
              const Value& mark = Value(), const Value& layout = Value());

// Date text in one of fourteen formats (1); empty-date rule 1/true blanks,
// 2/false as built, 3 blanks as zeros, 4 empty text (2); separator ("/").
Value CONVDATA(const Value& d, const Value& format = Value(), const Value& emptyRule = Value(),
               const Value& separator = Value());

// Fixed-width text: width (length of the X_TO_C text), kind "C" or other.
Value CONVCHAR(const Value& v, const Value& width = Value(), const Value& kind = Value());

// Trimmed number text with a point: width, decimals, drop zero decimals.
Value STRTRIM(const Value& n, const Value& width = Value(), const Value& decimals = Value(),
              const Value& dropZeroDecimals = Value());

// {width, decimals} of a value.
Value LENX(const Value& v);

// Width (or, with mode "D", decimals) of an expression text's value.
Value LARGURA(const Value& expression, const Value& mode = Value());

// The value formatted by a display picture, leading blanks removed.
Value TRANSFTRIM(const Value& v, const Value& picture = Value());

// A memo as one line: line width (65).
Value MTOC(const Value& memo, const Value& width = Value());

// A date-time value; a text read as a time stamp; nil otherwise.
Value XTOT(const Value& v);

// The digits of a text, with "." and "," unless keepSeparators is false.
Value SODIGITO(const Value& text, const Value& keepSeparators = Value());

// True when the text, evaluated as an expression, yields a number.
Value SONUMERO(const Value& text);

// True when the value is empty.
Value VARVAZIA(const Value& v);

// Truncation and whole numbers on the standard text form.
Value CASADEC(const Value& n, const Value& decimals = Value());
Value INTEIRO(const Value& n, const Value& keepFractions = Value());
Value TRUNCAVAL(const Value& n, const Value& decimals = Value());

// a x b / 100, rounded half away from zero to decimals (2).
Value PORCENTO(const Value& a, const Value& b, const Value& decimals = Value());

// A byte count in the largest unit it reaches; the unit ("Bytes", "KB" ...)
// is written to *unit.
Value BYTESTOX(const Value& bytes, Value* unit = nullptr);

// First delimiter + X_TO_C text (trimmed when asked) + last delimiter
// ("()").
Value CONCATCHAR(const Value& v, const Value& trim = Value(), const Value& delimiters = Value());

namespace values {

// The number's text with a decimal comma (X_TO_C of a number).
std::string numberWithComma(double n, int decimals);
// CTOX's number reader on a text.
Value readNumber(std::string_view text);
// A date text, optionally followed by a time of day ("09/12/21 14:05:07"),
// in the program's date format; the empty date when it is none.
DateTime readDateTime(std::string_view text);
// "hh:mm", "hh:mm:ss", "hh:mm:ss:cc" or "hh:mm:ss.ccc" as milliseconds
// since midnight; -1 when the text is not a valid time of day.
int readTimeOfDay(std::string_view text);
// "Janeiro" .. "Dezembro" (CP850); "" outside 1-12.
std::string_view monthName(int month);
// The text form of a date-time: the date in the program's date format, a
// blank and "hh:mm:ss" (":" and hundredths when they are not zero).
std::string dateTimeText(DateTime d);

}  // namespace values

}  // namespace kor
