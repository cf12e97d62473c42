// Pages fetched as 网页_访问 fetches an address given alone, several in flight at once, all
// driven from the window's thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/interface/core_commands.h"
#include "web/exchange.h"

namespace web {

// One call of 网页_访问 with only its address (and optionally a proxy) given, started now and
// collected later: the same request on the wire (GET, the default Accept, Referer and
// Accept-Language lines, no cookie line), the same bounds and redirects, and cookies from its
// Set-Cookie lines stored as 网页_访问 stores them. Everything but the blocking WinINet calls
// runs on the window's thread.
class PendingPage {
 public:
  // Starts the exchange at once. A page that cannot even be started (not opened, or no helper
  // to be had) is finished at once, empty.
  explicit PendingPage(const char* address, const char* proxy = nullptr);
  PendingPage(const PendingPage&) = delete;
  PendingPage& operator=(const PendingPage&) = delete;
  // Abandons an unfinished exchange: its helper cleans up when its call returns.
  ~PendingPage() = default;

  bool Finished() const { return exchange_.Finished(); }
  // Once finished: the body as 网页_访问 would return it (null when empty).
  core::Bytes TakeBody() { return exchange_.TakeBody(); }
  // Once finished: what LastPageComplete() would say for it.
  bool Complete() const { return exchange_.Complete(); }
  // Once finished: the final response's status code (0 when none came).
  uint32_t Status() const { return exchange_.Status(); }
  // Once finished: the final response's Retry-After and Date fields, when it was an error.
  const std::string& RetryAfter() const { return exchange_.RetryAfter(); }
  const std::string& Date() const { return exchange_.Date(); }
  // Once finished: the final response's raw header block, as 网页_访问 returns it.
  core::Text TakeHeaders() { return exchange_.TakeHeaders(); }

 private:
  friend bool WaitForPages(PendingPage* const* pages, size_t count, uint32_t timeoutMs);
  Exchange exchange_;
};

// Waits until at least one page among `pages` that is unfinished now has finished, or
// `timeoutMs` has passed (kNoTimeLimit: no limit), dispatching window messages all the while (the
// window repaints and takes clicks). Advances every page whose helper answered; a redirect
// starts its next leg here. Returns false as soon as the program is ending (ProgramEnding()):
// the pages are then left unfinished.
bool WaitForPages(PendingPage* const* pages, size_t count, uint32_t timeoutMs);

// Raises WinINet's limits of connections per server (HTTP/1.1 and HTTP/1.0) for the process to
// `connections` where they are lower, so that as many exchanges with one host can be in flight.
void AllowConnectionsPerServer(uint32_t connections);

}  // namespace web
