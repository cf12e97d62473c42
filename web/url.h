// Taking addresses apart for WinINet, and escaping account IDs for addresses. All work on GBK
// texts with byte positions; none changes its argument. Results are new texts in their holders.
#pragma once

#include <cstdint>

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
// The address a redirect's Location names, seen from the address `base` that answered with it:
// an absolute "http://" or "https://" address as it is, "//host/path" with "http:" before it,
// "/path" on the host and port of `base`, and any other text relative to the folder of
// `base`'s path (its query left out). Blanks around the location are dropped.
core::Text ResolveLocation(const char* base, const char* location);
