// How fast the windowed check asks a service that limits its clients: the pause before an ID
// is asked again, and how many requests may be in flight.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The longest pause before a try, in seconds, whatever the service asks for.
inline constexpr uint32_t kLongestRetryPause = 120;

// The Retry-After field of a raw response header block (field name in any letter case) in
// seconds, at most kLongestRetryPause; nothing when the block has none or its value is not a
// number of seconds. The HTTP-date form counts as none: it is a time on the service's clock,
// and a client's clock may be off by more than the pause it names.
std::optional<uint32_t> RetryAfterSeconds(std::string_view headerBlock);

// The pause before try number `failedTries` + 1 of an ID, in milliseconds: the service's
// Retry-After when it gave one, else 2 s doubled for each earlier failed try (2, 4, 8 ... s);
// either plus a jitter of up to an eighth drawn from `seed`, so that IDs refused together do
// not all come back at the same moment; at most kLongestRetryPause in all.
uint32_t RetryPauseMs(std::optional<uint32_t> retryAfter, int32_t failedTries, uint32_t seed);

// The number of requests that may be in flight, adapted to the service as TCP adapts its
// congestion window. A page that failed (refused, out of time, cut off) halves it, at least to
// 1; pages in flight when it halved say nothing about the new allowance, so their failures do
// not halve it again: one burst of refusals halves it once. Pages that come back whole let it
// grow: by one a page back up to one below the level that failed (where the service had room),
// then by one after as many pages in a row as it allows, up to its ceiling; but not beyond that
// level while refused IDs wait for their next try, which needs the room it would take.
// `parallel=auto` starts it at 2 below a ceiling of 16; a fixed `parallel` with retries starts
// it at that number as its ceiling.
class Allowance {
 public:
  Allowance(int32_t start, int32_t most) : most_(most), current_(start) {}

  int32_t Current() const { return current_; }
  // The number a request started now carries, for telling its outcome later.
  uint32_t StartNumber() { return started_++; }
  // The outcome of the request that carried `startNumber`; `retriesWaiting`: refused IDs wait
  // for their next try.
  void Succeeded(bool retriesWaiting = false);
  void Failed(uint32_t startNumber);

 private:
  int32_t most_;
  int32_t current_;
  int32_t successes_ = 0;   // pages come back whole since the last change
  uint32_t started_ = 0;    // requests started so far
  uint32_t halvedAt_ = 0;   // requests started when the allowance last halved
  int32_t failedLevel_ = 0; // the allowance when it last halved
};
