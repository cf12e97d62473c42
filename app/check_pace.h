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
// Retry-After when it gave one, else 2 s doubled for each earlier failed try (2, 4, 8 ... s, at
// most kLongestRetryPause), plus a jitter of up to an eighth drawn from `seed`, so that IDs
// refused together do not all come back at the same moment.
uint32_t RetryPauseMs(std::optional<uint32_t> retryAfter, int32_t failedTries, uint32_t seed);

// The number of requests that may be in flight, adapted to the service as TCP adapts its
// congestion window: it grows by one after as many pages in a row came back whole as it
// allows, up to its ceiling, and halves (down to 1) when a page failed: refused, out of time or
// cut off. Pages in flight when it halved say nothing about the new allowance, so their
// failures do not halve it again: one burst of refusals halves it once. `parallel=auto` starts
// it at 2 below a ceiling of 16; a fixed `parallel` with retries starts it at that number as
// its ceiling, so that the retries of refused IDs find the service with room.
class Allowance {
 public:
  Allowance(int32_t start, int32_t most) : most_(most), current_(start) {}

  int32_t Current() const { return current_; }
  // The number a request started now carries, for telling its outcome later.
  uint32_t StartNumber() { return started_++; }
  // The outcome of the request that carried `startNumber`.
  void Succeeded();
  void Failed(uint32_t startNumber);

 private:
  int32_t most_;
  int32_t current_;
  int32_t successes_ = 0;   // pages come back whole since the last change
  uint32_t started_ = 0;    // requests started so far
  uint32_t halvedAt_ = 0;   // requests started when the allowance last halved
};
