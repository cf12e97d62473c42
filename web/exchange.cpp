// One HTTP exchange on the window's thread: its handles, legs, redirects, results and the
// message-dispatching wait for several at once.
#include "web/exchange.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "program/dll_commands.h"
#include "program/program_state.h"
#include "program/program_values.h"
#include "runtime/interface/core_commands.h"
#include "web/cookie_jar.h"
#include "web/encodings.h"
#include "web/exchange_thread.h"
#include "web/url.h"
#include "web/wininet_constants.h"

namespace web {

namespace {

constexpr const char16_t* kUserAgent = u"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr const char* kSetCookie = "Set-Cookie: ";   // 12 bytes, blank included
constexpr uint32_t kTimeoutMs = 30000;               // per connect, send and receive
constexpr uint32_t kAllInput = 0x04FF;               // QS_ALLINPUT
constexpr uint32_t kInputAvailable = 0x0004;         // MWMO_INPUTAVAILABLE

// Calls `take` with the rest of every "Set-Cookie: " line of the response header block, the
// line's first 12 bytes dropped. The lines are read from a memory file as the line reader
// splits them. The line reader stops in front of a 0x1A byte without consuming it, so such a
// byte in a header (servers may send one) would make it return empty lines at the same place
// for ever: it is written to the file as a blank instead, and the reading also stops should
// the file ever hold such a byte.
template <typename Take>
void ForEachSetCookie(const char* headerText, Take take) {
  headerText = prog::TextArgument(headerText);
  if (core::FindText(headerText, kSetCookie, 1, true) == -1) return;
  core::Text lines = core::ReplaceSubtext(headerText, "\x1A", " ", {}, {}, true);
  int32_t file = core::OpenMemoryFile();
  core::WriteText(file, {TextArg(lines.c_str())});
  core::SeekToFileStart(file);
  while (!core::IsEndOfFile(file, false) && !core::IsEndOfFile(file, true)) {
    core::Text line = core::ReadLine(file);
    if (core::FindText(line.c_str(), kSetCookie, 1, true) == -1) continue;
    take(core::TextRight(line.c_str(), core::TextLength(line.c_str()) - 12));
  }
  core::CloseFile(file);
}

// Feeds one Set-Cookie line's rest to the WinINet cookie store under `url`: the name is what
// stands before the first "=", the value everything after it, attributes included.
void StoreInWinINet(const core::Text& rest, const char* url) {
  int32_t e = core::FindText(rest.c_str(), "=");
  core::Text name = core::TextLeft(rest.c_str(), e - 1);
  core::Text value = core::TextRight(rest.c_str(), core::TextLength(rest.c_str()) - e);
  dll::InternetSetCookieA(url, name.get(), value.get());
}

// The path of a leg's object, without its query: the path cookies are stored and looked up
// for.
std::string LegPath(const LegTarget& leg) { return leg.object.substr(0, leg.object.find('?')); }

// A leg's address as cookies see it: scheme, host (an IPv6 literal in brackets) and path.
std::string CookieAddress(const LegTarget& leg) {
  bool literal = leg.host.find(':') != std::string::npos;
  return (leg.secure ? "https://" : "http://") + (literal ? "[" + leg.host + "]" : leg.host) + LegPath(leg);
}

// What WinINet's store holds for `address`, HttpOnly cookies included, as a Cookie line's value;
// empty when it holds nothing.
std::string StoredCookies(const std::string& address) {
  using wininet::kCookieHttpOnly;
  uint32_t size = 0;
  if (!dll::InternetGetCookieExA(address.c_str(), nullptr, nullptr, &size, kCookieHttpOnly, nullptr) ||
      size == 0)
    return {};
  std::string text(size, '\0');
  if (!dll::InternetGetCookieExA(address.c_str(), nullptr, text.data(), &size, kCookieHttpOnly, nullptr))
    return {};
  text.resize(std::strlen(text.c_str()));
  return text;
}

// Whether the server sent a status line. WinINet makes up "HTTP/1.0 200 OK" for an answer
// that starts without one, so a block of a status line and no header field is taken as such
// an answer; a block too large for the buffer (the query failed asking for more) has fields.
bool HasStatusLine(const ExchangeRecord& r) {
  if (!r.headersFound) return r.headersSize > ExchangeRecord::kHeaderBufferSize;
  const char* lineEnd = std::strstr(r.rawHeaders, "\r\n");
  return std::strncmp(r.rawHeaders, "HTTP/", 5) == 0 && lineEnd && lineEnd[2] != '\r' &&
         lineEnd[2] != '\0';
}

// A malloc'ed zero-terminated copy of `text`, or null when the C++ heap has no room.
template <typename Char>
Char* CopyForLeg(const std::basic_string<Char>& text) {
  auto* copy = static_cast<Char*>(std::malloc((text.size() + 1) * sizeof(Char)));
  if (copy) std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(Char));
  return copy;
}

}  // namespace

Exchange::~Exchange() {
  if (!finished_) Abandon();
}

bool Exchange::Open(const char* address, const char* proxy, bool post) {
  post_ = postLeg_ = post;
  address_ = prog::TextArgument(address);
  record_ = new (std::nothrow) ExchangeRecord;
  core::Text proxyCompact = core::RemoveAllSpaces(prog::TextArgument(proxy));
  std::u16string proxyText = TextForWinINet(std::string("http=") + prog::TextArgument(proxy));
  if (record_ && std::strcmp(prog::TextArgument(proxy), kSystemProxy) == 0)
    record_->internet = dll::InternetOpenW(kUserAgent, wininet::kOpenPreconfig, nullptr, nullptr, 0);
  else if (record_)
    record_->internet =
        proxyCompact.empty()
            ? dll::InternetOpenW(kUserAgent, wininet::kOpenDirect, nullptr, nullptr, 0)
            : dll::InternetOpenW(kUserAgent, wininet::kOpenProxy, proxyText.c_str(), u"", 0);
  // The first leg goes exactly where the address names, an "https://" one as plain HTTP.
  leg_ = LegTarget{false, UrlHost(address).c_str(), static_cast<uint32_t>(UrlPort(address)),
                   UrlPath(address).c_str()};
  if (!record_ || !record_->internet || !TakeHelperCalls(&record_->calls) || !OpenLeg(leg_)) {
    Fail();
    return false;
  }
  return true;
}

// The connection and the request of a leg, with the time limits of each of its receives
// (WinINet ignores them on the internet handle, so they go on the request). A leg to an
// "https://" address is made over TLS, with WinINet's own checks of the server's certificate,
// and with WinINet's cookie handling off (the routine's own, see LegHeaders). No leg reads from
// or writes to the user's Internet cache.
bool Exchange::OpenLeg(const LegTarget& target) {
  std::u16string host = TextForWinINet(target.host), object = TextForWinINet(target.object);
  record_->connection = dll::InternetConnectW(record_->internet, host.c_str(), target.port, nullptr,
                                              nullptr, wininet::kServiceHttp, 0, 0);
  if (!record_->connection) return false;
  uint32_t flags = wininet::kFlagReload | wininet::kFlagNoCacheWrite | wininet::kFlagNoAutoRedirect;
  if (target.secure) flags |= wininet::kFlagSecure | wininet::kFlagNoCookies;
  record_->request = dll::HttpOpenRequestW(record_->connection, postLeg_ ? u"POST" : u"GET",
                                           object.c_str(), u"HTTP/1.1", nullptr, nullptr, flags, 0);
  if (!record_->request) return false;
  using namespace wininet;
  for (uint32_t option : {kOptionConnectTimeout, kOptionSendTimeout, kOptionReceiveTimeout})
    dll::InternetSetOptionA(record_->request, option, &kTimeoutMs, sizeof kTimeoutMs);
  return true;
}

void Exchange::Send(const char* headers, const char* getHeaders, const char* postData) {
  if (finished_) return;
  headerBlock_ = TextForWinINet(prog::TextArgument(headers));
  getHeaderBlock_ = TextForWinINet(prog::TextArgument(getHeaders));
  postData_ = post_ ? prog::TextArgument(postData) : "";
  record_->deadline = dll::GetTickCount() + kDeadlineMs;
  StartLeg();
}

// The header block of the current leg: for a POST leg the full block, for a GET leg of an
// exchange that began as POST the block without the form lines. A TLS leg's block also gets
// the Cookie line WinINet would have added, had it the cookies: what its store holds for the
// leg's address, then what the TLS jar holds; it stands before a closing blank line, and
// replaces the caller's Cookie line as WinINet's own does (a later line of the same name
// replaces an earlier one).
std::u16string Exchange::LegHeaders() const {
  const std::u16string& block = post_ && !postLeg_ ? getHeaderBlock_ : headerBlock_;
  if (!leg_.secure) return block;
  std::string cookies = StoredCookies(CookieAddress(leg_));
  std::string kept = TlsCookieJar().CookiesFor(leg_.host, LegPath(leg_), std::time(nullptr));
  if (!cookies.empty() && !kept.empty()) cookies += "; ";
  cookies += kept;
  if (cookies.empty()) return block;
  std::u16string line = TextForWinINet("Cookie: " + cookies + "\r\n");
  size_t at = block.ends_with(u"\r\n\r\n") ? block.size() - 2 : block.size();
  if (!block.empty() && !block.ends_with(u"\r\n")) line.insert(0, u"\r\n");
  return block.substr(0, at) + line + block.substr(at);
}

// Stores the Set-Cookie lines of the leg that answered under its own address: a plain leg's in
// WinINet's store, a TLS leg's in the TLS jar.
void Exchange::StoreLegCookies(const char* headerText) const {
  if (!leg_.secure) {
    std::string address = CookieAddress(leg_);
    ForEachSetCookie(headerText, [&](const core::Text& rest) { StoreInWinINet(rest, address.c_str()); });
    return;
  }
  std::string path = LegPath(leg_);
  ForEachSetCookie(headerText, [&](const core::Text& rest) {
    TlsCookieJar().Keep(leg_.host, path, rest.c_str(), std::time(nullptr));
  });
}

// Hands the current leg to a helper: a POST leg sends its block and the data, a GET leg no
// data. A leg no helper can take fails the exchange at once.
void Exchange::StartLeg() {
  std::free(record_->headers);
  std::free(record_->optional);
  const std::u16string block = LegHeaders();
  record_->headers = CopyForLeg(block);
  record_->optional = CopyForLeg(postLeg_ ? postData_ : std::string());
  if (!record_->headers || !record_->optional) return Fail();
  record_->headersLength = static_cast<uint32_t>(block.size());
  record_->optionalLength = postLeg_ ? static_cast<uint32_t>(postData_.size()) : 0;
  if (!HandLegToHelper(record_)) Fail();
}

void Exchange::Advance() {
  if (finished_) return;
  if (record_->state.load() == kLegDone) return Collect();
  if (PastDeadline(dll::GetTickCount(), record_->deadline)) Abandon();
}

uint32_t Exchange::TimeLeft() const {
  if (finished_) return 1;
  const uint32_t now = dll::GetTickCount();
  return PastDeadline(now, record_->deadline) ? 1 : record_->deadline - now;
}

// The leg is over: a redirect stores the cookies it set and starts the next leg; anything else
// ends the exchange, on the success path with the handles closed in reverse order and the
// received cookies stored.
void Exchange::Collect() {
  ReleaseHelper(record_->helper);
  record_->helper = nullptr;
  ExchangeRecord& r = *record_;
  bool stopped = r.timedOut || r.readFailed;
  if (!stopped && wininet::IsRedirectStatus(r.status) && (r.hasLocation || r.locationTooLong)) {
    StoreLegCookies(prog::CopyText(r.rawHeaders).c_str());
    if (!FollowRedirect()) Fail();
    return;
  }
  body_ = prog::NewByteSet(r.body, r.bodyLength);
  bool shortBody = r.hasContentLength && r.bodyLength < r.contentLength;
  complete_ = r.sent && !r.timedOut && !r.readFailed && !shortBody && HasStatusLine(r);
  status_ = r.status;
  retryAfter_ = r.retryAfter;
  date_ = r.date;
  if (!r.timedOut) headers_ = prog::CopyText(r.rawHeaders);
  CloseLegHandles();
  dll::InternetCloseHandle(r.internet);
  delete record_;
  record_ = nullptr;
  finished_ = true;
  StoreLegCookies(headers_.c_str());
}

// The next leg to the address the Location names, resolved against the current leg's address,
// with WinINet's method rules: 303 makes any method GET, 301 and 302 make POST GET, 307 and 308
// keep it; a GET sends no data. A Location to "https://" makes the next leg TLS, one back to
// "http://" a plain leg, as WinINet's own following does by default. False when the limit of
// redirects is reached, the deadline has passed, the Location is too long or names no usable
// address, or the next leg cannot be opened.
bool Exchange::FollowRedirect() {
  using namespace wininet;
  ExchangeRecord& r = *record_;
  if (redirects_ == kMaxRedirects || PastDeadline(dll::GetTickCount(), r.deadline)) return false;
  ++redirects_;
  if (r.status == kStatusSeeOther || r.status == kStatusMovedPermanently ||
      r.status == kStatusFound)
    postLeg_ = false;
  std::optional<std::string> next;
  if (r.hasLocation) next = ResolveLocation(address_, r.location);
  std::optional<LegTarget> target;
  if (next) target = SplitLegAddress(*next);
  if (!target) return false;
  address_ = std::move(*next);
  leg_ = std::move(*target);
  CloseLegHandles();
  if (!OpenLeg(leg_)) return false;
  StartLeg();
  return true;
}

void Exchange::CloseLegHandles() {
  for (uint32_t* h : {&record_->request, &record_->connection}) {
    if (*h) dll::InternetCloseHandle(*h);
    *h = 0;
  }
}

// Ends the exchange as failed, with nothing read; the record is the window's thread's here.
void Exchange::Fail() {
  if (record_) {
    CloseLegHandles();
    if (record_->internet) dll::InternetCloseHandle(record_->internet);
    delete record_;
    record_ = nullptr;
  }
  body_ = core::Bytes();
  headers_ = core::Text();
  complete_ = false;
  status_ = 0;
  retryAfter_.clear();
  date_.clear();
  finished_ = true;
}

void Exchange::Abandon() {
  if (finished_) return;
  if (record_ && record_->state.load() != kLegIdle && AbandonLeg(record_)) {
    record_ = nullptr;   // the helper's now
  } else if (record_ && record_->state.load() == kLegDone) {
    ReleaseHelper(record_->helper);
    record_->helper = nullptr;
  }
  Fail();
}

bool WaitForExchanges(Exchange* const* exchanges, size_t count, uint32_t timeoutMs) {
  std::vector<Exchange*> waiting;
  for (size_t i = 0; i < count; ++i)
    if (exchanges[i] && !exchanges[i]->Finished()) waiting.push_back(exchanges[i]);
  const uint32_t start = dll::GetTickCount();
  for (;;) {
    core::ProcessEvents();
    if (ProgramEnding()) return false;
    uint32_t wait = timeoutMs;
    bool any = waiting.empty() && timeoutMs == kNoTimeLimit;
    for (Exchange* e : waiting) {
      e->Advance();
      if (e->Finished()) any = true;
      else if (e->TimeLeft() < wait) wait = e->TimeLeft();
    }
    if (any) return true;
    if (timeoutMs != kNoTimeLimit) {
      uint32_t elapsed = dll::GetTickCount() - start;
      if (elapsed >= timeoutMs) return true;
      if (timeoutMs - elapsed < wait) wait = timeoutMs - elapsed;
    }
    const uint32_t finished = LegFinishedEvent();
    dll::MsgWaitForMultipleObjectsEx(1, &finished, wait, kAllInput, kInputAvailable);
  }
}

}  // namespace web
