// Conversions between numbers, date-times and text that the command library and the units
// share. Texts are GBK; a date-time counts days since 30 December 1899.
#pragma once

#include <cstdint>
#include <string>

namespace rt {

// A single rounded to six significant digits first, so 0.1f prints as 0.1.
std::string FloatToText(float value);
// "%.13g".
std::string DoubleToText(double value);
// "2000年1月1日", followed by the time down to its last nonzero part.
std::string DateTimeToText(double value);
// Parses "2013-7-16", "2013年07月16日 8时5分" and the like. False when the text is not a
// valid date, including any part out of range.
bool TextToDateTime(const char* text, double* result);
// Maps full-width ASCII (A3 A1-A3 FE) and a few punctuation marks to single bytes; drops
// blanks when asked.
std::string NormaliseWide(const char* text, bool dropBlanks);

// Date parts <-> date-time, as the OLE automation date does it.
struct DateParts {
  int year, month, day, hour, minute, second;
};
DateParts SplitDateTime(double value);
double JoinDateTime(const DateParts& parts);
int DaysInMonth(int year, int month);

}  // namespace rt
