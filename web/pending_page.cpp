// Pages fetched with only their address, several at once.
#include "web/pending_page.h"

#include <vector>

#include "program/dll_commands.h"
#include "program/program_values.h"
#include "web/request_steps.h"
#include "web/wininet_constants.h"

namespace web {

// The steps of 网页_访问 for an address given alone (and a proxy): GET with the default header
// lines and nothing else.
PendingPage::PendingPage(const char* address, const char* proxy) {
  char* url = prog::CopyText(address).ReleaseText();
  char* headers = nullptr;
  TrimAddress(&url);
  StartExchange(exchange_, &url, proxy, &headers, false, nullptr, nullptr);
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
