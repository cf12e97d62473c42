// The request routine's text steps that a page fetched with only its address shares with
// 网页_访问 (web/pending_page.h), so that both send the same request.
#pragma once

namespace web {

// The address trimmed of blanks, written back.
void TrimAddress(char** url);
// "http://" put before an address with neither "http://" nor "https://" (compared byte for
// byte); an "https://" address stays, and is still requested as plain HTTP.
void AddScheme(char** url);
// Appends the default Accept, Referer (of `url`) and Accept-Language lines to a header
// variable, each unless the variable already names its key, in any letter case.
void AddDefaultHeaders(char** headers, const char* url);

}  // namespace web
