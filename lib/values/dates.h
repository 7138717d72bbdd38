// Dates, times and durations: the 14-digit time stamp, durations in
// Portuguese words, the remaining-time estimate of progress displays,
// period labels, the mask formatter and the date with the Brazilian UTC
// offset.
//
// "Now" and "today" come from the platform clock (plat::nowMillis and
// plat::localTime), so tests run them on the virtual clock.
#pragma once

#include <string>
#include <string_view>

#include "values/value.h"

namespace kor {

// yyyymmddhhmmss: date (today), time text (now, "hh:mm:ss").
Value DATAHORA(const Value& date = Value(), const Value& time = Value());
// A duration in words: seconds or a time text "hh:mm:ss[:cc]".
Value TEMPOEXTENSO(const Value& duration);
// Remaining time in words: start (seconds since midnight), units done,
// total units.
Value TEMPOEST(const Value& start, const Value& done, const Value& total);
// A period label: first date (today), last date (the first).
Value PERIODOEXTENSO(const Value& first = Value(), const Value& last = Value());
// A date-time (now) through a mask ("DD/MM/AA hh:mm").
Value FORMATADATAHORA(const Value& dateTime = Value(), const Value& mask = Value());
// yyyy-mm-ddThh:mm:ss-03:00: date, time text ("00:00:00").
Value CONVDTUTC(const Value& date, const Value& time = Value());
// The first 17 characters of a date-time's text at a screen position.
Value SAYDATAHORA(const Value& row, const Value& col, const Value& dateTime);

namespace values {

// The local date and time of the platform clock.
DateTime now();
// Seconds since midnight with hundredths, as the program's clock gives them.
double secondsOfDay();
std::string durationInWords(std::string_view hhmmss);
std::string durationInWords(double seconds);

}  // namespace values

}  // namespace kor
