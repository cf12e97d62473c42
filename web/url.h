// Taking addresses apart for WinINet, and escaping account IDs for addresses. All work on GBK
// texts with byte positions; none changes its argument. Results are new texts in their holders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/interface/core_commands.h"

// Host name in lower case, without scheme, port, path and query.
core::Text UrlHost(const char* url);
// Path with query from the first "/" after the host; "/" when there is none.
core::Text UrlPath(const char* url);
// The port the address names; 80 when it names none. An address beginning "https://" gives 0.
int32_t UrlPort(const char* url);
// The UTF-8 form of a GBK text, every byte written as %XX, except that with `keepUnreserved`
// the bytes 0x2C-0x39, A-Z and a-z stay literal. Waiting window messages are dispatched after
// every byte, so the window stays responsive during long texts.
core::Text PercentEncode(const char* text, bool keepUnreserved = false);
// Where one leg of an exchange goes: TLS or not, the host, the port and the object (path and
// query) of the request line.
struct LegTarget {
  bool secure = false;
  std::string host;
  uint32_t port = 0;
  std::string object;
};

// The address a redirect's Location names, seen from the address `base` that answered with it,
// resolved as RFC 3986 resolves a reference (section 5.2): absolute addresses, "//host/path",
// "/path", "path" against the folder of the base, "?query" against the base's path, the empty
// reference as the base, with "." and ".." segments removed. The scheme is compared without
// regard to letter case and written in lower case; the fragment is dropped; blanks around the
// location are dropped, and spaces, control bytes and bytes above 0x7F left in it are escaped
// as %XX. Nothing when the location names a scheme other than http or https, or the result
// names no host.
std::optional<std::string> ResolveLocation(std::string_view base, std::string_view location);

// An absolute "http://" or "https://" address (as ResolveLocation makes them) taken apart for a
// leg, its authority read as RFC 3986 reads one: user information before a single "@" dropped;
// the host a registered name (letters, digits, "-._~!$&'()*+,;=" and %XX escapes, which covers
// IPv4 addresses) or an IPv6 address in brackets, given in lower case without the brackets; at
// most one ":" and the port in digits, leading zeros allowed, or the scheme's own (80, 443)
// when none is named. "/" for an empty path. Nothing for any other address, an empty host, a
// port outside 1..65535 or anything else the authority holds.
std::optional<LegTarget> SplitLegAddress(std::string_view address);