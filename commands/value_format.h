// Text forms of values and the number reading used by the conversion, file and message
// commands. The formats are the system's: "%.6g" after six-digit rounding for singles,
// "%.13g" for doubles, and the Chinese calendar form for date-times.
#pragma once

#include <cstdint>

#include "runtime/interface/records.h"

namespace corelib {

// Every text form except that of a text fits in this many bytes.
inline constexpr uint32_t kFormBufferSize = 100;

// A single rounded to six significant digits, then "%.6g" (so 0.1f reads 0.1).
uint32_t SingleToText(float value, char* out);
// "%.13g".
uint32_t DoubleToText(double value, char* out);
// Date-time (days since 30 December 1899) as "2000年1月1日8时0分5秒", the time part shortened
// from the right while its trailing fields are zero. The value is clamped to years 100-9999.
uint32_t DateTimeToText(double value, char* out);

// The text form of a value: points `*text` at the bytes and returns their count. Texts are
// used in place; the numeric, logical and date-time forms are written into `buffer`. Any
// other kind (byte sets, arrays, omitted) has no text form and gives 0.
uint32_t TextForm(const ArgRecord& value, char (&buffer)[kFormBufferSize], const char** text);

// Copies `text` into `out` (at least as long), turning full-width ASCII (A3 A1-A3 FE), the
// full-width space, A1 AB and A1 EE / A1 EF into their one-byte forms; other two-byte
// characters are copied unchanged and a lone first byte ends the copy. `out` is terminated.
void NormaliseNarrow(const char* text, char* out);
// Reads a number the way the C runtime's atof does: white space, sign, digits, decimal
// point, exponent; reading stops at the first byte that does not fit. No digits give 0.
double ReadLeadingNumber(const char* text);

}  // namespace corelib
