// How fast the windowed check asks a service that limits its clients: per host, how many
// requests may be in flight, how far apart they start, how long the service asked to be left
// alone and whether it answers at all; for the check, how many retries it may spend and how long
// an ID waits before its next try.
//
// Every rule takes the time from its caller, in milliseconds on a clock that only grows
// (PaceMs), and the outcome of each page as a PageEnd. The program feeds it the tick count and
// its real pages (app/parallel_check.cpp); the tests feed it a virtual clock and simulated
// services, and run hours of a service's behaviour in seconds.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

// Milliseconds on the caller's clock; kNever is a time that never comes.
using PaceMs = int64_t;
inline constexpr PaceMs kNever = std::numeric_limits<PaceMs>::max();

// The longest pause before a try, in seconds, whatever the service asks for.
inline constexpr uint32_t kLongestRetryPause = 120;

// How a page ended, as far as the pace cares.
enum class PageEnd : uint8_t {
  kWhole,      // came back whole: the service answered
  kRefused,    // the service said no (429, 5xx, 401, 403, 407, 451): it is busy or closed
  kTimedOut,   // a time limit passed without the page: the service or the way there is slow
  kLost,       // reset, cut short, a failed TLS handshake: says little about load on its own
};

// The pause that a Retry-After field value names, in milliseconds, at most kLongestRetryPause:
// a number of seconds, or an HTTP-date measured from the `date` field of the same answer, so
// that both ends of the pause are on the service's clock and the client's own clock does not
// matter (a date in the past is no pause). Nothing when the value is neither, or a date comes
// without a Date field to measure it from.
std::optional<uint32_t> RetryAfterMs(std::string_view value, std::string_view date);

// The pause before try number `failedTries` + 1 of an ID, in milliseconds: the service's
// Retry-After when it gave one, else 2 s doubled for each earlier failed try (2, 4, 8 ... s);
// either with a jitter of up to an eighth drawn from `seed`, so that IDs refused together do
// not all come back at the same moment. At most kLongestRetryPause in all: a pause the cap cuts
// takes its jitter off the cap instead of adding it.
uint32_t RetryPauseMs(std::optional<uint32_t> retryAfterMs, int32_t failedTries, uint32_t seed);

// The number of requests that may be in flight, adapted to the service as TCP adapts its
// congestion window. A congestion signal halves it, at least to 1; pages in flight when it
// halved say nothing about the new allowance, so their failures do not halve it again: one burst
// of refusals halves it once. Pages that come back whole let it grow: by one a page back up to
// one below the level that failed (where the service had room), then by one after as many pages
// in a row as it allows, up to its ceiling; but not beyond that level while `holdBelowFailed`
// (refused IDs wait for the room it would take, or the service asked for a long pause).
class Allowance {
 public:
  Allowance(int32_t start, int32_t most) : most_(most), current_(start) {}

  int32_t Current() const { return current_; }
  // The number a request started now carries, for telling its outcome later.
  uint32_t StartNumber() { return started_++; }
  void Succeeded(bool holdBelowFailed = false);
  void Failed(uint32_t startNumber);

 private:
  int32_t most_;
  int32_t current_;
  int32_t successes_ = 0;   // pages come back whole since the last change
  uint32_t started_ = 0;    // requests started so far
  uint32_t halvedAt_ = 0;   // requests started when the allowance last halved
  int32_t failedLevel_ = 0; // the allowance when it last halved
};

// The pace of one host. Paced (retries or `auto`), a page may start when all of these hold:
// - fewer pages are in flight than the allowance;
// - the pause the service named in a Retry-After has passed: it is said to the client, not to
//   one request, so it holds every start to the host; after it, the allowance does not probe
//   above the level refused for twenty times that pause;
// - the gap since the last start has passed. A refusal sets the gap from the starts the service
//   took in the second before the refused one (a limit of requests a second shows there; a
//   limit of requests at once is then paced at about the rate it allows anyway), an eighth
//   wider; whole pages bring it back quickly to an eighth above the spacing refused, then
//   narrow it by an eighth every 30 s;
// - the host is not down. After kDownRun failures in a row with no whole page between, nothing
//   starts for a cool-down (1 s, doubled after each failed probe up to 16 s), then one page
//   probes; a whole page ends it. While down, failures cost the ID no try: it waits with the
//   host.
// Losses (resets, pages cut short) halve the allowance only when they are a quarter of the
// recent pages or more; refusals and time limits always do.
// The host gives up when it has answered no page for two minutes during a run of failures (not
// counting the first pause it asked for): the check then ends.
// Unpaced (a fixed `parallel` without retries), only the first rule holds, with the allowance
// fixed at `parallel`.
class HostPace {
 public:
  static constexpr int32_t kDownRun = 4;
  static constexpr PaceMs kFirstCoolMs = 1000;
  static constexpr PaceMs kLongestCoolMs = 16000;
  static constexpr PaceMs kSilenceMs = 120000;

  HostPace(bool paced, int32_t start, int32_t most) : paced_(paced), allowance_(start, most) {}

  int32_t InFlight() const { return inFlight_; }
  bool Down() const { return down_; }
  // Failures since the last whole page.
  int32_t FailRun() const { return failRun_; }
  // Whether the failures since the last whole page include a refusal or a time limit.
  bool CongestedRun() const { return failRun_ > 0 && runCongested_; }
  // Whole pages so far: a run of failures is the time this stays the same.
  uint32_t Wholes() const { return wholes_; }
  // Whether a page to the host may start at `now`.
  bool MayStart(PaceMs now) const;
  // The earliest time after `now` at which time alone may let a page start (a pause, the gap or
  // a cool-down passes); kNever when only a page ending can.
  PaceMs NextChance(PaceMs now) const;
  // A page starts now; the result is its ticket for Ended.
  uint32_t Started(PaceMs now);
  // The page with `ticket` ended. `congestedWaiting`: IDs refused for congestion wait for their
  // next try on this host. `retryAfterMs` counts only on a refusal.
  void Ended(uint32_t ticket, PaceMs now, PageEnd end, std::optional<uint32_t> retryAfterMs,
             bool congestedWaiting);
  // When the host has been silent too long; kNever outside a run of failures.
  PaceMs GiveUpAt() const;

 private:
  static constexpr size_t kHistory = 256;   // recent starts kept, for the gap's estimate
  struct StartRecord {
    PaceMs at = 0;
    int32_t inFlight = 0;   // pages to the host in flight as it started, itself included
    bool refused = false;
  };
  void SetGapFrom(uint32_t ticket, PaceMs now, bool paused);
  void NarrowGap(PaceMs now);
  // The first moment the gap lets the next page start.
  PaceMs GapEnd() const { return (lastSlotUs_ + gapUs_ + 999) / 1000; }

  bool paced_;
  Allowance allowance_;
  int32_t inFlight_ = 0;
  std::array<StartRecord, kHistory> starts_{};
  int64_t lastSlotUs_ = std::numeric_limits<int64_t>::min() / 4;   // the last start's slot
  int64_t gapUs_ = 0;
  PaceMs gapSetAt_ = std::numeric_limits<PaceMs>::min() / 2;   // start of the refused page
  PaceMs narrowedAt_ = 0;
  int64_t refusedGapUs_ = 0;       // the spacing last refused
  PaceMs holdUntil_ = 0;          // the service's pause
  PaceMs capUntil_ = 0;           // no probing above the refused level before this
  PaceMs pageMs_ = 0;             // smoothed time of a whole page; 0 before one came
  int32_t lossShare_ = 0;         // of recent pages, in 1/1024
  int32_t failRun_ = 0;           // failures since the last whole page
  uint32_t wholes_ = 0;
  bool runCongested_ = false;
  bool down_ = false;
  PaceMs coolMs_ = kFirstCoolMs;
  PaceMs coolUntil_ = 0;
  bool probing_ = false;          // a probe of the down host is in flight
  uint32_t probeTicket_ = 0;
  PaceMs answeredAt_ = 0;         // the last whole page, or the first start after a quiet time
  PaceMs graceMs_ = -1;           // the first pause asked since answeredAt_; -1: none yet
};

// Retries come from a budget, as gRPC's retry throttling has them: first tries earn a fifth of
// a retry, a retry spends one, and the budget holds at most ten. A service that refuses most
// requests thus gets little more than one request per ID, however many retries are set.
class RetryBudget {
 public:
  void FirstTry() { tenths_ = tenths_ + kEarn < kMost ? tenths_ + kEarn : kMost; }
  bool TakeRetry() {
    if (tenths_ < kCost) return false;
    tenths_ -= kCost;
    return true;
  }

 private:
  static constexpr int32_t kMost = 100, kEarn = 2, kCost = 10;   // tenths of a retry
  int32_t tenths_ = kMost;
};
