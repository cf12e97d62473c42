// One HTTP exchange of the request routine, driven from the window's thread: its own internet,
// connection and request handles, the legs of its redirects, and its results. Everything but
// the blocking WinINet calls runs on the window's thread (texts, the runtime heap, cookies
// stored from Set-Cookie lines); those calls run on a helper (web/exchange_thread.h), one leg
// per hand-over.
//
// Bounds: connect, send and every receive of a leg give up after 30 s (set on each request
// handle); the exchange as a whole ends as failed when it is not over 60 s after its first
// send started, even when a call is still blocked then (a server dripping its header block a
// byte at a time holds HttpSendRequestA for hours, since every byte restarts the receive
// limit): the leg is abandoned to its helper. Redirects (301, 302, 303, 307, 308 with a
// Location) are followed here, at most ten; one more ends the exchange as failed. Each further
// leg is the request WinINet's own following would make: to the Location resolved against the
// address that answered, over TLS on 443 (or the port named) for an "https://" one, with the
// same header lines.
//
// Cookies: every leg's Set-Cookie lines are stored under that leg's own address, never under
// another leg's. A plain leg's go into WinINet's store (which WinINet also fills and sends from
// by itself on plain legs); a TLS leg's go into the routine's own jar (web/cookie_jar.h) and
// never into that store, which would send them over plain HTTP as well. A TLS leg is made with
// WinINet's cookie handling off and carries what the store holds for its address and then
// what the jar holds.
//
// WinINet behaviour kept as it is: the body of a malformed chunked response reads as whole, and
// a response the server ends by closing, without any length, is taken as whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/interface/core_commands.h"
#include "web/exchange_thread.h"
#include "web/url.h"

namespace web {

// The proxy value that asks for the system's own proxy settings (WinINet's preconfigured
// access) instead of naming a proxy: no host:port is spelt so.
inline constexpr char kSystemProxy[] = "<system>";

class Exchange {
 public:
  static constexpr uint32_t kDeadlineMs = 60000;
  static constexpr uint32_t kMaxRedirects = 10;

  Exchange() = default;
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;
  // Abandons an unfinished exchange (see Abandon).
  ~Exchange();

  // Open: the internet handle (direct, through the HTTP proxy host:port when `proxy` is not
  // blank, or as the system's settings say for kSystemProxy), the connection and the request
  // for `address` ("http://" or "https://", the latter sent as plain HTTP on the port UrlPort
  // names), GET or POST. False, with whatever was opened closed again in reverse order and the
  // exchange finished as failed, when one of them fails.
  bool Open(const char* address, const char* proxy, bool post);
  // Send: starts the first leg with the header block `headers` and, for POST, `postData`.
  // `getHeaders` is the block of a later leg that a redirect turned from POST into GET.
  void Send(const char* headers, const char* getHeaders, const char* postData);

  bool Finished() const { return finished_; }
  // Collects a leg whose helper is done and starts the next leg of a redirect, or ends the
  // exchange when its deadline has passed.
  void Advance();
  // Milliseconds until the deadline, at least 1; for bounding a wait.
  uint32_t TimeLeft() const;
  // Stops waiting for the exchange: a running leg goes to its helper, which cleans up when its
  // call returns; the exchange is finished as failed. Makes no call when the leg is running.
  void Abandon();

  // Once finished: the body (whatever was read, also after a failed read; null when empty),
  // the final leg's raw header block (empty after a failure that left none), and whether the
  // page is whole (a status line, no failed read, no shorter body than announced, in time).
  core::Bytes TakeBody() { return std::move(body_); }
  core::Text TakeHeaders() { return std::move(headers_); }
  bool Complete() const { return complete_; }
  // Once finished: the status code of the final leg; 0 when it gave none.
  uint32_t Status() const { return status_; }
  // Once finished: the final leg's Retry-After and Date fields when it was an error answer
  // (status 400 and above), else empty.
  const std::string& RetryAfter() const { return retryAfter_; }
  const std::string& Date() const { return date_; }

 private:
  bool OpenLeg(const LegTarget& target);
  std::u16string LegHeaders() const;
  void StoreLegCookies(const char* headerText) const;
  void StartLeg();
  void Collect();
  bool FollowRedirect();
  void CloseLegHandles();
  void Fail();

  ExchangeRecord* record_ = nullptr;
  std::string address_;           // the current leg's address
  LegTarget leg_;                 // where the current leg goes, as it was opened
  bool post_ = false;             // the exchange began as POST
  bool postLeg_ = false;          // the current leg is POST
  std::u16string headerBlock_, getHeaderBlock_;
  std::string postData_;
  uint32_t redirects_ = 0;
  bool finished_ = false;
  bool complete_ = false;
  uint32_t status_ = 0;
  std::string retryAfter_, date_;
  core::Bytes body_;
  core::Text headers_;
};

// Waits until at least one exchange of the list that is unfinished now has finished, or
// `timeoutMs` has passed (kNoTimeLimit: no limit), dispatching window messages all the while.
// Advances every exchange whose helper answered. A list with nothing unfinished waits out the
// time limit (and returns at once without one). False as soon as the program is ending; the
// exchanges are then left unfinished.
bool WaitForExchanges(Exchange* const* exchanges, size_t count, uint32_t timeoutMs);

}  // namespace web
