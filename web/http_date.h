// Dates as HTTP fields carry them (Date, Retry-After, a cookie's Expires), read leniently as
// RFC 6265 section 5.1.1 reads a cookie date: the IMF-fixdate form ("Sun, 06 Nov 1994
// 08:49:37 GMT"), the obsolete RFC 850 and asctime forms a recipient must accept, and the
// looser forms servers send in cookies. Plain C++, no system call: the pace of the check uses
// it as well as the request routine.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace web {

// The seconds since 1970 (UTC) that `text` names; nothing when it is no such date.
std::optional<int64_t> HttpDateSeconds(std::string_view text);

}  // namespace web
