// The WinINet numbers the request routine uses: access types, flags, options, query levels and
// HTTP status codes, with their WinINet names.
#pragma once

#include <cstdint>

namespace web::wininet {

// InternetOpenA access types and InternetConnectA services.
constexpr uint32_t kOpenPreconfig = 0;              // INTERNET_OPEN_TYPE_PRECONFIG
constexpr uint32_t kOpenDirect = 1;                 // INTERNET_OPEN_TYPE_DIRECT
constexpr uint32_t kOpenProxy = 3;                  // INTERNET_OPEN_TYPE_PROXY
constexpr uint32_t kServiceHttp = 3;                // INTERNET_SERVICE_HTTP

// HttpOpenRequestA flags: the cache is bypassed for reading and not written either (no page
// of the service lands in the user's Internet cache; the request on the wire is the same), and
// redirects are left to the routine, which follows them itself so that their number is bounded.
constexpr uint32_t kFlagReload = 0x80000000;        // INTERNET_FLAG_RELOAD
constexpr uint32_t kFlagNoCacheWrite = 0x04000000;  // INTERNET_FLAG_NO_CACHE_WRITE
constexpr uint32_t kFlagNoAutoRedirect = 0x00200000;  // INTERNET_FLAG_NO_AUTO_REDIRECT
constexpr uint32_t kFlagSecure = 0x00800000;        // INTERNET_FLAG_SECURE: the leg over TLS
// A TLS leg leaves cookies to the routine: WinINet neither adds stored ones nor stores the
// ones the answer sets (see web/cookie_jar.h).
constexpr uint32_t kFlagNoCookies = 0x00080000;     // INTERNET_FLAG_NO_COOKIES

// InternetGetCookieExA: HttpOnly cookies are returned too, as WinINet itself sends them.
constexpr uint32_t kCookieHttpOnly = 0x00002000;    // INTERNET_COOKIE_HTTPONLY

// Options, set on a request handle or (with a null handle) for the process.
constexpr uint32_t kOptionConnectTimeout = 2;       // INTERNET_OPTION_CONNECT_TIMEOUT
constexpr uint32_t kOptionSendTimeout = 5;          // INTERNET_OPTION_SEND_TIMEOUT
constexpr uint32_t kOptionReceiveTimeout = 6;       // INTERNET_OPTION_RECEIVE_TIMEOUT
constexpr uint32_t kOptionMaxConnsPerServer = 73;   // INTERNET_OPTION_MAX_CONNS_PER_SERVER
constexpr uint32_t kOptionMaxConnsPer10Server = 74;  // INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER

// HttpQueryInfoA levels and modifiers.
constexpr uint32_t kQueryContentLength = 5;         // HTTP_QUERY_CONTENT_LENGTH
constexpr uint32_t kQueryDate = 9;                  // HTTP_QUERY_DATE
constexpr uint32_t kQueryStatusCode = 19;           // HTTP_QUERY_STATUS_CODE
constexpr uint32_t kQueryRawHeadersCrLf = 22;       // HTTP_QUERY_RAW_HEADERS_CRLF
constexpr uint32_t kQueryLocation = 33;             // HTTP_QUERY_LOCATION
constexpr uint32_t kQueryRetryAfter = 36;           // HTTP_QUERY_RETRY_AFTER
constexpr uint32_t kQueryNumber = 0x20000000;       // HTTP_QUERY_FLAG_NUMBER

// Redirect statuses, and what each does to the method of the next request.
constexpr uint32_t kStatusMovedPermanently = 301;   // HTTP_STATUS_MOVED: POST becomes GET
constexpr uint32_t kStatusFound = 302;              // HTTP_STATUS_REDIRECT: POST becomes GET
constexpr uint32_t kStatusSeeOther = 303;           // HTTP_STATUS_REDIRECT_METHOD: always GET
constexpr uint32_t kStatusTemporaryRedirect = 307;  // HTTP_STATUS_REDIRECT_KEEP_VERB
constexpr uint32_t kStatusPermanentRedirect = 308;  // HTTP_STATUS_PERMANENT_REDIRECT

constexpr bool IsRedirectStatus(uint32_t status) {
  return status == kStatusMovedPermanently || status == kStatusFound ||
         status == kStatusSeeOther || status == kStatusTemporaryRedirect ||
         status == kStatusPermanentRedirect;
}

// GetModuleHandleExA: the module stays loaded to the end of the process.
constexpr uint32_t kPinModule = 1;                  // GET_MODULE_HANDLE_EX_FLAG_PIN

}  // namespace web::wininet
