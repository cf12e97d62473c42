// The steps of 网页_访问 that a page fetched with only its address (web/pending_page.h) takes
// too, so that both send the same request.
#pragma once

#include "web/exchange.h"

namespace web {

// The address trimmed of blanks, written back.
void TrimAddress(char** url);

// The steps after the address is trimmed (and the method checked): "http://" put before an
// address with neither "http://" nor "https://" (compared byte for byte; an "https://" address
// stays, and is still requested as plain HTTP), the exchange opened, the default Accept,
// Referer and Accept-Language lines appended to the caller's header variable unless it names
// their keys, then the routine's own lines (for POST with data the form and length lines, for
// any method the Cookie line when cookies are given), and the send. A redirect that turns the
// POST into a GET sends the block without the form and length lines. False when the exchange
// could not be opened (it is then finished, failed).
bool StartExchange(Exchange& exchange, char** url, const char* proxy, char** headers, bool post,
                   const char* postData, const char* cookies);

}  // namespace web
