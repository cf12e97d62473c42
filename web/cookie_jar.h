// The cookies that answers over TLS set, kept by the request routine itself for the program's
// run and sent only on TLS legs.
//
// WinINet's cookie store cannot keep a cookie to TLS: under Wine it ignores both the scheme of
// the address a cookie is stored under and the secure attribute (measured: a cookie stored for
// "https://host" with "; secure", or set by a TLS answer with it, goes out on the next plain
// request to the host). So a TLS leg is made with WinINet's cookie handling off, and its
// Set-Cookie lines come here instead of into that store; its Cookie line is what the store holds
// for the address (cookies set over plain HTTP may go over TLS) followed by what this jar holds.
// Nothing set over TLS is written to disk, so none of it outlives the program either.
//
// The jar takes a Set-Cookie line as RFC 6265 (sections 5.1 to 5.4) does, without its public
// suffix list: name and value, Expires and Max-Age (a date in the past or a Max-Age of 0 or less
// deletes the cookie), Domain (the host itself or a domain it lies in, else the cookie is
// refused; a domain of a single label is refused unless it is the host), Path (the default path
// of the request when none is given). HttpOnly, Secure and anything else are of no further use
// here. At most kPerDomain cookies are kept for one domain and kTotal in all; past that the
// oldest goes. The clock comes from outside: seconds since 1970, UTC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace web {

class CookieJar {
 public:
  static constexpr size_t kPerDomain = 50;
  static constexpr size_t kTotal = 3000;

  // Takes the text of one Set-Cookie line after "Set-Cookie: ", received from `host` (lower
  // case) for the request path `path` (without the query) at `now`. A cookie of the same name,
  // domain and path is replaced, keeping its place among the older ones.
  void Keep(std::string_view host, std::string_view path, std::string_view line, int64_t now);
  // The value of a Cookie line for a request to `host` and `path` at `now` ("a=1; b=2"): the
  // cookies whose domain and path match, longer paths first, then older first; empty when none.
  // Cookies that have expired are dropped.
  std::string CookiesFor(std::string_view host, std::string_view path, int64_t now);

 private:
  struct Cookie {
    std::string name, value, domain, path;
    bool hostOnly = true;
    int64_t expires = 0;   // seconds since 1970; INT64_MAX for the run
  };
  std::vector<Cookie> cookies_;   // oldest first
};

// The jar of every TLS leg of the program's exchanges; used on the window's thread only.
CookieJar& TlsCookieJar();

}  // namespace web
