// Character sets: code page 850 (the program's own, "OEM"), Windows-1252
// ("ANSI"), UTF-8 and HTML; the accent table and its conversion modes.
//
// The plain code-page mappings are the operating system's (platform
// convertCodePage); the accent table, the HTML entities and the URL codes
// are this system's own tables.
#pragma once

#include <string>
#include <string_view>

#include "values/value.h"

namespace kor {

// --- plain forms for C++ callers --------------------------------------------

namespace values {

// Accent table conversion (TROCAACENTO) of a text; modes 1-8 as below, any
// other mode only removes trailing blanks.
//   1 CP850 -> plain       2 CP850 -> Windows-1252   3 Windows-1252 -> CP850
//   4 Windows-1252 -> plain  5 CP850 -> printer forms  6 CP850 -> UTF-8 forms
//   7 UTF-8 forms -> plain   8 UTF-8 forms -> CP850
std::string replaceAccents(std::string_view text, int mode = 1, bool showProgress = false);

std::string utf8ToOem(std::string_view s);
std::string oemToUtf8(std::string_view s);
std::string ansiToOem(std::string_view s);
std::string oemToAnsi(std::string_view s);
std::string oemToHtml(std::string_view s);
std::string memoToHtml(std::string_view memo, bool softBreaksAsBlanks = true);
bool isUtf8(std::string_view s);
bool isOem(std::string_view s);
bool isAnsi(std::string_view s);
// "UTF-8", "OEM" or "ANSI".
std::string_view charsetOf(std::string_view s);
std::string toOem(std::string_view s);
std::string htmlToChars(std::string_view s);
std::string urlEncode(std::string_view s);
bool equalOrContained(std::string_view pattern, std::string_view text);

}  // namespace values

// --- the routines -------------------------------------------------------------

Value TROCAACENTO(const Value& text, const Value& mode = Value(), const Value& progress = Value());
Value TROCAASSENTO(const Value& text, const Value& mode = Value(), const Value& progress = Value());
Value IGNORAVOGAIS(const Value& list);
Value UTF8_TO_OEM(const Value& text);
Value OEM_TO_UTF8(const Value& text);
Value ANSI_TO_OEM(const Value& text);
Value OEM_TO_ANSI(const Value& text);
Value OEM_TO_HTML(const Value& text);
Value MEMOTOHTML(const Value& memo, const Value& softAsBlank = Value());
Value ISU8(const Value& text);
Value ISOEM(const Value& text);
Value ISANSI(const Value& text);
Value IDCHARSET(const Value& text);
Value XTOOEM(const Value& text);
Value HTMLTOCARAC(const Value& text);
Value STRURL(const Value& text);
Value IGUALOUCONTIDO(const Value& pattern, const Value& text);

}  // namespace kor
