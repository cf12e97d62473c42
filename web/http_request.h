// The program's one network routine: fetches a page over HTTP with WinINet and returns the
// response body as a byte set (null when empty, and on every failure). It returns when the
// exchange is over; meanwhile its blocking calls run on a helper thread and window messages are
// dispatched (web/exchange.h). Connect, send and every receive give up after 30 s, the whole
// exchange after 60 s from its send, and redirects, which the routine follows itself, after
// ten. Pages fetched with only their address can also be fetched several at once
// (web/pending_page.h).
//
// Text parameters passed as pointers are the caller's variables, which the routine may write;
// a null pointer means the parameter was not given: it reads as the empty text and what the
// routine would write into it is dropped.
//   url              the address; written back trimmed, with "http://" added when it had no
//                    scheme
//   method           0: GET, 1: POST, anything else: a notice box and an empty result
//   proxy            HTTP proxy as host:port; blank = direct connection
//   requestHeaders   extra header lines, each ending in CR LF; the routine appends its own
//   postData         request body for POST
//   cookies          value of a Cookie line
//   charsetConversion  1: UTF-8 page to GBK; 2: Big5 page to simplified GBK; else none
//   responseHeaders  out: the raw response header block (2048 spaces when it is larger)
#pragma once

#include <cstdint>
#include <string>

uint8_t* 网页_访问(char** url, int32_t method = 0, char** proxy = nullptr,
                   char** requestHeaders = nullptr, char** postData = nullptr,
                   char** cookies = nullptr, int32_t charsetConversion = 0,
                   char** responseHeaders = nullptr);

// Whether the page the last finished call of 网页_访问 returned is a whole response: the server
// sent a status line, no read failed, and the body is as long as its Content-Length announced
// (when it announced one). False after every failure, also when a page came back in part:
// the call still returns what it read, and a caller that must not take a part for the whole
// page asks here right after the call.
bool LastPageComplete();
// The status code of the final response of the last finished call of 网页_访问 (after its
// redirects); 0 when there was none (the exchange failed before a status line came).
uint32_t LastPageStatus();
// The Retry-After and Date fields of that final response when it was an error (status 400 and
// above), else empty: what a caller needs to wait as long as the service asked.
const std::string& LastPageRetryAfter();
const std::string& LastPageDate();
