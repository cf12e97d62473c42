// Reading the dates of HTTP fields.
#include "web/http_date.h"

#include <cctype>
#include <string>

namespace web {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// RFC 6265 5.1.1: the bytes that separate the tokens of a cookie date.
bool IsDateDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

// `min` to `max` digits at `at`, followed by the token's end or a byte that is no digit: their
// value, with `at` moved past them; -1 otherwise.
int ReadNumber(std::string_view token, size_t& at, size_t min, size_t max) {
  size_t start = at;
  int value = 0;
  while (at < token.size() && at - start < max && IsDigit(token[at])) value = value * 10 + (token[at++] - '0');
  if (at - start < min || (at < token.size() && IsDigit(token[at]))) return -1;
  return value;
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
}

}  // namespace

std::optional<int64_t> HttpDateSeconds(std::string_view text) {
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  int hour = -1, minute = -1, second = -1, day = -1, month = -1, year = -1;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsDateDelimiter(static_cast<unsigned char>(text[i]))) ++i;
    size_t end = i;
    while (end < text.size() && !IsDateDelimiter(static_cast<unsigned char>(text[end]))) ++end;
    std::string_view token = text.substr(i, end - i);
    i = end;
    if (token.empty()) continue;
    size_t at = 0;
    if (hour < 0) {
      int h = ReadNumber(token, at, 1, 2), m = -1, s = -1;
      if (h >= 0 && at < token.size() && token[at] == ':' && (m = ReadNumber(token, ++at, 1, 2)) >= 0 &&
          at < token.size() && token[at] == ':' && (s = ReadNumber(token, ++at, 1, 2)) >= 0) {
        hour = h, minute = m, second = s;
        continue;
      }
      at = 0;
    }
    if (day < 0 && (day = ReadNumber(token, at, 1, 2)) >= 0) continue;
    at = 0;
    if (month < 0 && token.size() >= 3) {
      std::string prefix(token.substr(0, 3));
      for (char& c : prefix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      for (int m = 0; m < 12; ++m)
        if (prefix == kMonths[m]) month = m + 1;
      if (month > 0) continue;
    }
    if (year < 0) year = ReadNumber(token, at, 2, 4);
  }
  if (year >= 70 && year <= 99) year += 1900;
  else if (year >= 0 && year <= 69) year += 2000;
  if (hour < 0 || day < 1 || day > 31 || month < 1 || year < 1601 || hour > 23 || minute > 59 ||
      second > 59)
    return std::nullopt;
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace web
