// Text forms of values and number reading for the core commands.
#include "commands/value_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands/command_support.h"

namespace corelib {

namespace {

uint32_t Printed(int n) { return n > 0 ? static_cast<uint32_t>(n) : 0; }

// Signed decimal digits of a 64-bit value.
uint32_t LongToText(int64_t value, char* out) {
  char digits[24];
  uint32_t n = 0;
  uint64_t v = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  uint32_t len = 0;
  if (value < 0) out[len++] = '-';
  while (n) out[len++] = digits[--n];
  out[len] = 0;
  return len;
}

// Calendar date of a day count relative to 1 January 1970 (proleptic Gregorian calendar):
// shift to an era starting 1 March 0000 so that the leap day falls at the end of each year.
void CivilFromDays(int64_t days, int32_t* year, int32_t* month, int32_t* day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const uint32_t dayOfEra = static_cast<uint32_t>(days - era * 146097);
  const uint32_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const uint32_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  *day = static_cast<int32_t>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  *month = static_cast<int32_t>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  *year = static_cast<int32_t>(yearOfEra + era * 400) + (*month <= 2 ? 1 : 0);
}

// Day 0 of the date-time scale (30 December 1899) counted from 1 January 1970.
constexpr int64_t kDateTimeEpoch = -25569;

}  // namespace

// Rounds to six significant digits through the value's binary exponent, so that the
// printed digits are those of the decimal the single was written as, not of its exact
// binary expansion.
uint32_t SingleToText(float value, char* out) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  const int8_t e = static_cast<int8_t>(static_cast<int32_t>(bits >> 23 & 0xFF) - 127);
  int32_t k = static_cast<int32_t>(e * 0.30102999566398120);
  double p = std::pow(10.0, k < 0 ? -k : k);
  double x = std::fabs(static_cast<double>(value));
  x = k > 0 ? x / p : x * p;
  if (x >= 10) {
    p *= 10;
    k += 1;
    x *= 10000;
  } else if (x >= 1) {
    x *= 100000;
  } else {
    p *= 10;
    k -= 1;
    x *= 1000000;
  }
  double whole;
  double fraction = std::modf(x, &whole);
  if (fraction >= 0.5) whole += 1;
  if (value < 0) p = -p;
  double rounded = k > 0 ? whole * (p * 0.00001) : whole / (p * 100000);
  return Printed(std::snprintf(out, kFormBufferSize, "%.6g", rounded));
}

// Thirteen significant digits, exponent form when the value needs it.
uint32_t DoubleToText(double value, char* out) {
  return Printed(std::snprintf(out, kFormBufferSize, "%.13g", value));
}

// The whole part of the value is the day, the fraction's magnitude the time of day (also for
// negative values), rounded to the nearest second.
uint32_t DateTimeToText(double value, char* out) {
  if (!(value >= -657434.0)) value = -657434.0;  // NaN lands on the lower bound as well
  if (value > 2958465.0) value = 2958465.0;
  double whole = std::trunc(value);
  int64_t days = static_cast<int64_t>(whole);
  int64_t seconds = static_cast<int64_t>(std::floor(std::fabs(value - whole) * 86400.0 + 0.5));
  if (seconds >= 86400) {
    days += 1;
    seconds = 0;
  }
  int32_t year, month, day;
  CivilFromDays(days + kDateTimeEpoch, &year, &month, &day);
  const int32_t hour = static_cast<int32_t>(seconds / 3600);
  const int32_t minute = static_cast<int32_t>(seconds / 60 % 60);
  const int32_t second = static_cast<int32_t>(seconds % 60);
  int n = std::snprintf(out, kFormBufferSize, "%d年%d月%d日", year, month, day);
  if (n < 0) n = 0;
  char* t = out + n;
  const uint32_t room = kFormBufferSize - n;
  int m = 0;
  if (second != 0) {
    m = std::snprintf(t, room, "%d时%d分%d秒", hour, minute, second);
  } else if (minute != 0) {
    m = std::snprintf(t, room, "%d时%d分", hour, minute);
  } else if (hour != 0) {
    m = std::snprintf(t, room, "%d时", hour);
  }
  return Printed(n) + Printed(m);
}

// Integers print in decimal (a byte unsigned, the others signed), singles and doubles through
// their rounding formats, logicals as 真 / 假, date-times in calendar form, texts as themselves.
uint32_t TextForm(const ArgRecord& value, char (&buffer)[kFormBufferSize], const char** text) {
  *text = buffer;
  buffer[0] = 0;
  switch (value.tag) {
    case TAG_BYTE: return LongToText(value.byteValue, buffer);
    case TAG_SHORT: return LongToText(value.shortValue, buffer);
    case TAG_INT: return LongToText(value.intValue, buffer);
    case TAG_LONG: return LongToText(value.longValue, buffer);
    case TAG_FLOAT: return SingleToText(value.floatValue, buffer);
    case TAG_DOUBLE: return DoubleToText(value.doubleValue, buffer);
    case TAG_DATETIME: return DateTimeToText(value.doubleValue, buffer);
    case TAG_BOOL: {
      const char* word = value.intValue != 0 ? "真" : "假";
      std::strcpy(buffer, word);
      return static_cast<uint32_t>(std::strlen(word));
    }
    case TAG_TEXT:
      if (!value.text) return 0;
      *text = value.text;
      return static_cast<uint32_t>(std::strlen(value.text));
    default: return 0;
  }
}

// The walk maps only the listed full-width characters; everything else is kept as it is.
void NormaliseNarrow(const char* text, char* out) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(text);
  uint8_t* q = reinterpret_cast<uint8_t*>(out);
  while (*p) {
    uint8_t b = *p;
    if (b < 0x80) {
      *q++ = b;
      ++p;
      continue;
    }
    uint8_t c = p[1];
    if (c == 0) break;
    if (b == 0xA3 && c >= 0xA1 && c <= 0xFE) {
      *q++ = c & 0x7F;
    } else if (b == 0xA1 && c == 0xA1) {
      *q++ = ' ';
    } else if (b == 0xA1 && c == 0xAB) {
      *q++ = '~';
    } else if (b == 0xA1 && (c == 0xEE || c == 0xEF)) {
      *q++ = '*';
    } else {
      *q++ = b;
      *q++ = c;
    }
    p += 2;
  }
  *q = 0;
}

// Finds the longest prefix of the classic decimal form and converts exactly that prefix, so
// forms the classic reader does not know (hexadecimal, "inf", "nan") read as 0.
double ReadLeadingNumber(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  const char* digitsStart = p;
  while (*p >= '0' && *p <= '9') ++p;
  bool digits = p != digitsStart;
  if (*p == '.') {
    const char* fraction = ++p;
    while (*p >= '0' && *p <= '9') ++p;
    digits = digits || p != fraction;
  }
  if (!digits) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '+' || *q == '-') ++q;
    if (*q >= '0' && *q <= '9') {
      while (*q >= '0' && *q <= '9') ++q;
      p = q;
    }
  }
  // strtod reads the copied prefix only; long digit runs get a heap copy.
  uint32_t n = static_cast<uint32_t>(p - start);
  char local[128];
  char* copy = n < sizeof(local) ? local : static_cast<char*>(TryAlloc(n + 1));
  if (!copy) return 0.0;
  std::memcpy(copy, start, n);
  copy[n] = 0;
  double v = std::strtod(copy, nullptr);
  if (copy != local) Free(copy);
  return v;
}

}  // namespace corelib
