// Text forms of values and number reading for the core commands.
#include "commands/value_format.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands/command_support.h"
#include "runtime/values.h"

namespace corelib {

namespace {

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

}  // namespace

// The forms are the runtime's own conversions, so units and commands print values alike.
static uint32_t CopyForm(const std::string& form, char* out) {
  uint32_t n = static_cast<uint32_t>(form.size() < kFormBufferSize ? form.size() : kFormBufferSize - 1);
  std::memcpy(out, form.data(), n);
  out[n] = 0;
  return n;
}

uint32_t SingleToText(float value, char* out) { return CopyForm(rt::FloatToText(value), out); }
uint32_t DoubleToText(double value, char* out) { return CopyForm(rt::DoubleToText(value), out); }
uint32_t DateTimeToText(double value, char* out) { return CopyForm(rt::DateTimeToText(value), out); }

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

void NormaliseNarrow(const char* text, char* out) {
  std::string narrow = rt::NormaliseWide(text, false);
  std::memcpy(out, narrow.c_str(), narrow.size() + 1);
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
