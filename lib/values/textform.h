// The basic text forms of numbers and dates, and case mapping of CP850
// texts. The expression language's Str/Val/Dtoc/Ctod/Dtos/Upper and the
// conversion routines of values/convert.h are built on these, so there is
// one rule for each form.
#pragma once

#include <string>
#include <string_view>

#include "values/value.h"

namespace kor {

// --- numbers ----------------------------------------------------------------

// The width a number shows in when none is given: its declared width when it
// has one (a field's length), else 10 positions for the whole part plus a
// point and its decimals.
int ownWidth(const Value& n);

// Str(): the number rounded to `decimals` and right-aligned in `width`
// positions; a number that does not fit gives `width` asterisks. width < 0
// takes the number's own width, decimals < 0 its own decimals (when only a
// width is given, decimals are 0).
std::string strNumber(const Value& n, int width = -1, int decimals = -1);

// Val(): leading blanks skipped, an optional sign, digits, an optional point
// and digits; reading stops at the first other character; a text with no
// leading number reads 0. The result carries as many decimals as digits were
// read after the point.
Value valNumber(std::string_view text);

// --- dates -------------------------------------------------------------------

// The date in a date format made of d, m and y runs ("dd/mm/yy",
// "dd/mm/yyyy", "yyyy-mm-dd" ...; any case). The empty date gives the format
// with blanks for its letters ("  /  /  ").
std::string dateToText(DateTime d, std::string_view format);
// Reads a date in a date format; two-digit years are placed by the century
// window starting at `epoch` (1940: 40-99 are 1940-1999, 00-39 2000-2039);
// four-digit years are taken as written. A text that is not a valid date,
// blank or empty, gives the empty date.
DateTime textToDate(std::string_view text, std::string_view format, int epoch);
// The program's date format and epoch (runtime settings).
std::string dtoc(DateTime d);
DateTime ctod(std::string_view text);
// "yyyymmdd"; the empty date gives 8 blanks.
std::string dtos(DateTime d);
// Reads "yyyymmdd"; anything else gives the empty date.
DateTime stod(std::string_view text);
// "hh:mm:ss" of a time of day in milliseconds.
std::string timeText(int millis);

// --- case of CP850 texts ----------------------------------------------------

// Upper and lower case of CP850 bytes: ASCII letters and the accented
// letters that have both cases in the code page (á/Á, ç/Ç, ã/Ã ...).
unsigned char upperByte(unsigned char c);
unsigned char lowerByte(unsigned char c);
std::string upper(std::string_view s);
std::string lower(std::string_view s);

// Leading/trailing blanks (spaces only, as Trim/LTrim/AllTrim do).
std::string_view rtrim(std::string_view s);
std::string_view ltrim(std::string_view s);
std::string_view alltrim(std::string_view s);

}  // namespace kor
