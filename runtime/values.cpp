#include "runtime/values.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace rt {
namespace {

// Days from 1970-01-01 to a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp + (mp < 10 ? 3 : -9);
  *year = static_cast<int>(y + (m <= 2));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

constexpr int64_t kOleEpochFromUnix = -25569;  // 1899-12-30 in days from 1970-01-01
constexpr double kHalfSecond = 1.0 / 172800.0;

// Reads up to `maxDigits` decimal digits; missing digits give 0.
int ReadNumber(const unsigned char*& p, int maxDigits) {
  int value = 0;
  for (int i = 0; i < maxDigits && *p >= '0' && *p <= '9'; ++i) value = value * 10 + (*p++ - '0');
  return value;
}

// Skips one of the given single-byte separators or the given two-byte character.
void SkipOne(const unsigned char*& p, const char* singles, const char* twoByte) {
  if (*p && std::strchr(singles, *p)) {
    ++p;
  } else if (twoByte && p[0] == static_cast<unsigned char>(twoByte[0]) &&
             p[1] == static_cast<unsigned char>(twoByte[1])) {
    p += 2;
  }
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// Formats one double with msvcrt's own formatter. mingw's printf family (and the UCRT's)
// writes two exponent digits ("1e+20"); msvcrt writes at least three ("1e+020"), and that is
// the text the program shows. The formatter is taken from msvcrt.dll itself, so no header
// configuration can put another one in its place. Its _snprintf does not terminate a cut text,
// so the buffer is terminated here; the forms used need at most 25 bytes.
std::string MsvcrtFormat(const char* format, double value) {
  using Formatter = int(__cdecl*)(char*, size_t, const char*, ...);
  static const Formatter formatter = [] {
    HMODULE msvcrt = ::GetModuleHandleW(L"msvcrt.dll");
    if (!msvcrt) msvcrt = ::LoadLibraryW(L"msvcrt.dll");
    return reinterpret_cast<Formatter>(reinterpret_cast<void*>(::GetProcAddress(msvcrt, "_snprintf")));
  }();
  char buf[64];
  int n = formatter(buf, sizeof buf - 1, format, value);
  buf[n >= 0 && n < static_cast<int>(sizeof buf) ? n : sizeof buf - 1] = 0;
  return buf;
}

}  // namespace

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Rounds to six significant digits in decimal before formatting, by the exponent of the
// single's binary form, so that the nearest six-digit decimal is what "%.6g" sees. Every step
// is a double operation: this file is compiled for SSE2 arithmetic (runtime/CMakeLists.txt),
// so no intermediate keeps x87 extended precision, which would round exact halves such as
// 96187.75 the other way.
std::string FloatToText(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  int e = static_cast<int8_t>(static_cast<uint8_t>(((bits >> 23) & 0xFF) - 127));
  int k = static_cast<int>(e * 0.30102999566398120);
  double p = std::pow(10.0, k < 0 ? -k : k);
  double x = std::fabs(static_cast<double>(value));
  if (k > 0) x /= p;
  else x *= p;
  if (x >= 10) {
    p *= 10;
    ++k;
    x *= 10000;
  } else if (x >= 1) {
    x *= 100000;
  } else {
    p *= 10;
    --k;
    x *= 1000000;
  }
  double integral;
  double fraction = std::modf(x, &integral);
  if (fraction >= 0.5) integral += 1;
  if (value < 0) p = -p;
  double rounded = k > 0 ? integral * (p * 0.00001) : integral / (p * 100000);
  return MsvcrtFormat("%.6g", rounded);
}

std::string DoubleToText(double value) { return MsvcrtFormat("%.13g", value); }

DateParts SplitDateTime(double value) {
  double shifted = value + (value > 0 ? kHalfSecond : -kHalfSecond);
  int64_t days = static_cast<int64_t>(shifted);
  double magnitude = std::fabs(shifted);
  int seconds = static_cast<int>((magnitude - std::floor(magnitude)) * 86400.0);
  DateParts parts{};
  CivilFromDays(days + kOleEpochFromUnix, &parts.year, &parts.month, &parts.day);
  parts.hour = seconds / 3600;
  parts.minute = seconds / 60 % 60;
  parts.second = seconds % 60;
  return parts;
}

double JoinDateTime(const DateParts& d) {
  int64_t days = DaysFromCivil(d.year, d.month, d.day) - kOleEpochFromUnix;
  double time = (d.hour * 3600 + d.minute * 60 + d.second) / 86400.0;
  return static_cast<double>(days) + (days >= 0 ? time : -time);
}

std::string DateTimeToText(double value) {
  if (!(value >= -657434.0)) value = -657434.0;  // also catches NaN
  if (value > 2958465.0) value = 2958465.0;
  DateParts d = SplitDateTime(value);
  char buf[96];
  int n = std::snprintf(buf, sizeof buf, "%d年%d月%d日", d.year, d.month, d.day);
  if (d.second) std::snprintf(buf + n, sizeof buf - n, "%d时%d分%d秒", d.hour, d.minute, d.second);
  else if (d.minute) std::snprintf(buf + n, sizeof buf - n, "%d时%d分", d.hour, d.minute);
  else if (d.hour) std::snprintf(buf + n, sizeof buf - n, "%d时", d.hour);
  return buf;
}

std::string NormaliseWide(const char* text, bool dropBlanks) {
  std::string out;
  if (!text) return out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    char c;
    if (*p < 0x80) {
      c = static_cast<char>(*p++);
    } else {
      if (!p[1]) break;  // a lead byte without its trail byte ends the text
      unsigned char lead = p[0], trail = p[1];
      p += 2;
      if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) c = static_cast<char>(trail & 0x7F);
      else if (lead == 0xA1 && trail == 0xA1) c = ' ';
      else if (lead == 0xA1 && trail == 0xAB) c = '~';
      else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) c = '*';
      else {
        out.push_back(static_cast<char>(lead));
        out.push_back(static_cast<char>(trail));
        continue;
      }
    }
    if (dropBlanks && c == ' ') continue;
    out.push_back(c);
  }
  return out;
}

bool TextToDateTime(const char* text, double* result) {
  std::string normal = NormaliseWide(text, false);
  if (normal.empty()) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(normal.c_str());
  static const char kSeparators[] = "-./:";
  DateParts d{};
  d.year = ReadNumber(p, 4);
  SkipOne(p, kSeparators, "年");
  d.month = ReadNumber(p, 2);
  SkipOne(p, kSeparators, "月");
  d.day = ReadNumber(p, 2);
  SkipOne(p, " -./:", "日");
  d.hour = ReadNumber(p, 2);
  SkipOne(p, kSeparators, "时");
  d.minute = ReadNumber(p, 2);
  SkipOne(p, kSeparators, "分");
  d.second = ReadNumber(p, 2);
  const char* seconds = "秒";
  if (*p && !(p[0] == static_cast<unsigned char>(seconds[0]) &&
              p[1] == static_cast<unsigned char>(seconds[1]) && p[2] == 0))
    return false;

  DateParts n = d;
  n.year = Clamp(n.year, 100, 9999);
  n.month = Clamp(n.month, 1, 12);
  n.day = Clamp(n.day, 1, 31);
  n.hour = Clamp(n.hour, 0, 23);
  n.minute = Clamp(n.minute, 0, 59);
  n.second = Clamp(n.second, 0, 59);
  n.day = Clamp(n.day, 1, DaysInMonth(n.year, n.month));
  if (std::memcmp(&n, &d, sizeof d) != 0) return false;
  *result = JoinDateTime(d);
  return true;
}

}  // namespace rt
