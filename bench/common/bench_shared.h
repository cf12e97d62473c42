// What the benchmark driver, the bare programs and the line-writing build of the checker must
// agree on: the bare window's title, the lines of the output benchmark and the service
// addresses built from an ID. Header only.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "app/app_ids.h"

namespace bench {

// Title of every window of the bare programs (the checker's own title is the driver's business).
inline constexpr char kBareTitle[] = "bare window";

// Lines written by the output benchmark, and line i of them (1-based): verdict lines of the
// length a check writes.
inline constexpr int kLogLines = 10000;
inline std::string LogLine(int i) {
  char line[64];
  std::snprintf(line, sizeof line, "账号 taken%05d 已注册！", i);
  return line;
}

// Percent escapes of every byte, or (keepUnreserved) of every byte but , - . / digits and
// letters: the two ways the checker escapes an ID. The IDs of the benchmarks are ASCII, so
// their bytes are their UTF-8 bytes.
inline std::string PercentEncode(std::string_view id, bool keepUnreserved) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : id) {
    bool literal = keepUnreserved && ((c >= 0x2C && c <= 0x39) || (c >= 'A' && c <= 'Z') ||
                                      (c >= 'a' && c <= 'z'));
    if (literal) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

inline std::string ProfileAddress(std::string_view id) {
  return "http://" SERVICE_MAIN_HOST "/p/" + PercentEncode(id, false) + "?from=tieba";
}
inline std::string SearchAddress(std::string_view id) {
  return "http://" SERVICE_FORUM_HOST "/f/search/res?ie=utf-8&qw=" + PercentEncode(id, true);
}
inline constexpr char kUpdateAddress[] =
    "http://" SERVICE_BLOG_HOST "/柚工坊/item/1121dbf01dc7637dc9f337a5";

}  // namespace bench
