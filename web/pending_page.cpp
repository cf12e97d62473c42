// Pages fetched with only their address, several at once.
#include "web/pending_page.h"

#include <vector>

#include "program/dll_commands.h"
#include "program/program_values.h"
#include "web/request_steps.h"
#include "web/wininet_constants.h"

namespace web {

// The steps of 网页_访问 for an address given alone: trimmed, given a scheme, GET with the
// default header lines and nothing else.
PendingPage::PendingPage(const char* address) {
  char* url = prog::CopyText(address).ReleaseText();
  TrimAddress(&url);
  AddScheme(&url);
  char* headers = nullptr;
  if (exchange_.Open(url, nullptr, false)) {
    AddDefaultHeaders(&headers, url);
    exchange_.Send(headers, headers, nullptr);
  }
  core::Text done(url), sent(headers);
}

bool WaitForPages(PendingPage* const* pages, size_t count, uint32_t timeoutMs) {
  std::vector<Exchange*> exchanges(count);
  for (size_t i = 0; i < count; ++i) exchanges[i] = pages[i] ? &pages[i]->exchange_ : nullptr;
  return WaitForExchanges(exchanges.data(), count, timeoutMs);
}

void AllowConnectionsPerServer(uint32_t connections) {
  for (uint32_t option : {wininet::kOptionMaxConnsPerServer, wininet::kOptionMaxConnsPer10Server}) {
    uint32_t current = 0, size = sizeof current;
    if (dll::InternetQueryOptionA(0, option, &current, &size) && current >= connections) continue;
    dll::InternetSetOptionA(0, option, &connections, sizeof connections);
  }
}

}  // namespace web
