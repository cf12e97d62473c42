// Retry pauses, the adaptive allowance of requests in flight, the pace of one host and the
// retry budget.
#include "app/check_pace.h"

#include <algorithm>

#include "web/http_date.h"

namespace {

constexpr uint32_t kFirstBackoffMs = 2000;
constexpr uint32_t kLongestPauseMs = kLongestRetryPause * 1000;
// After a refusal that named a pause, no probing above the refused level for this many times it.
constexpr PaceMs kCapPerPause = 20;
// Losses halve the allowance from this share of recent pages on (in 1/1024); the share follows
// each page's outcome with a weight of 1/16.
constexpr int32_t kLossCongested = 256;
// The gap goes an eighth wider than the rate the service took, and narrows by an eighth of
// itself in this much time of whole pages.
constexpr int64_t kNarrowEighthUs = 30000 * 1000;
constexpr int64_t kLongestGapUs = 10000 * 1000;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<uint32_t> RetryAfterMs(std::string_view value, std::string_view date) {
  value = Trimmed(value);
  if (value.empty()) return std::nullopt;
  int64_t seconds = 0;
  if (value.find_first_not_of("0123456789") == std::string_view::npos) {
    for (char c : value) seconds = std::min<int64_t>(seconds * 10 + (c - '0'), kLongestRetryPause);
  } else {
    std::optional<int64_t> until = web::HttpDateSeconds(value), now = web::HttpDateSeconds(date);
    if (!until || !now) return std::nullopt;
    seconds = std::clamp<int64_t>(*until - *now, 0, kLongestRetryPause);
  }
  return static_cast<uint32_t>(seconds * 1000);
}

uint32_t RetryPauseMs(std::optional<uint32_t> retryAfterMs, int32_t failedTries, uint32_t seed) {
  uint32_t pause = kFirstBackoffMs;
  for (int32_t i = 1; i < failedTries && pause < kLongestPauseMs; ++i) pause *= 2;
  if (retryAfterMs) pause = *retryAfterMs;
  pause = std::min(pause, kLongestPauseMs);
  const uint32_t jitter = seed % (pause / 8 + 1);
  return pause + jitter <= kLongestPauseMs ? pause + jitter : kLongestPauseMs - jitter;
}

void Allowance::Succeeded(bool holdBelowFailed) {
  // Below the level that last failed, the allowance climbs back one a page; from just below it
  // on, one a run, but not while it is to hold there.
  if (current_ < failedLevel_ - 1) {
    ++current_;
    successes_ = 0;
    return;
  }
  if ((holdBelowFailed && current_ >= failedLevel_ - 1) || ++successes_ < current_) return;
  successes_ = 0;
  if (current_ < most_) ++current_;
}

void Allowance::Failed(uint32_t startNumber) {
  // Started before the last halving (the numbers only grow): already accounted for.
  if (startNumber < halvedAt_) return;
  failedLevel_ = current_;
  current_ = current_ > 1 ? current_ / 2 : 1;
  successes_ = 0;
  halvedAt_ = started_;
}

bool HostPace::MayStart(PaceMs now) const {
  if (!paced_) return inFlight_ < allowance_.Current();
  if (down_) return !probing_ && now >= std::max(coolUntil_, holdUntil_);
  return inFlight_ < allowance_.Current() && now >= holdUntil_ && now >= GapEnd();
}

PaceMs HostPace::NextChance(PaceMs now) const {
  if (!paced_) return kNever;
  PaceMs at = down_ ? (probing_ ? kNever : std::max(coolUntil_, holdUntil_))
                    : (inFlight_ < allowance_.Current() ? std::max(holdUntil_, GapEnd())
                                                        : kNever);
  return at > now ? at : kNever;
}

uint32_t HostPace::Started(PaceMs now) {
  if (inFlight_ == 0 && failRun_ == 0) answeredAt_ = std::max(answeredAt_, now);
  // The allowance's number of the start is its ticket: Ended hands it back to the allowance.
  const uint32_t ticket = allowance_.StartNumber();
  starts_[ticket % kHistory] = {now, inFlight_ + 1, false};
  // The slot this start took: exactly one gap after the last while starts keep up with the gap,
  // so that fractions of a millisecond add up instead of being lost to rounding.
  lastSlotUs_ = std::max(lastSlotUs_ + gapUs_, now * 1000 - 999);
  if (down_) {
    probing_ = true;
    probeTicket_ = ticket;
  }
  ++inFlight_;
  return ticket;
}

void HostPace::Ended(uint32_t ticket, PaceMs now, PageEnd end, std::optional<uint32_t> retryAfterMs,
                     bool congestedWaiting) {
  --inFlight_;
  if (!paced_) return;
  const bool probe = probing_ && ticket == probeTicket_;
  if (probe) probing_ = false;
  lossShare_ += ((end == PageEnd::kLost ? 1024 : 0) - lossShare_) / 16;
  if (end == PageEnd::kWhole) {
    ++wholes_;
    failRun_ = 0;
    runCongested_ = false;
    down_ = false;
    coolMs_ = kFirstCoolMs;
    answeredAt_ = now;
    graceMs_ = -1;
    const PaceMs took = now - starts_[ticket % kHistory].at;
    pageMs_ = pageMs_ == 0 ? took + 1 : (7 * pageMs_ + took) / 8 + 1;
    NarrowGap(now);
    allowance_.Succeeded(congestedWaiting || now < capUntil_);
    return;
  }
  ++failRun_;
  if (end != PageEnd::kLost) runCongested_ = true;
  if (end != PageEnd::kLost || lossShare_ >= kLossCongested) allowance_.Failed(ticket);
  if (end == PageEnd::kRefused) {
    starts_[ticket % kHistory].refused = true;
    SetGapFrom(ticket, now, retryAfterMs.has_value());
    if (retryAfterMs) {
      holdUntil_ = std::max(holdUntil_, now + *retryAfterMs);
      capUntil_ = std::max(capUntil_, now + kCapPerPause * *retryAfterMs);
      if (graceMs_ < 0) graceMs_ = *retryAfterMs;
    }
  }
  if (down_ && probe) {
    coolMs_ = std::min(2 * coolMs_, kLongestCoolMs);
    coolUntil_ = now + coolMs_;
  } else if (!down_ && failRun_ >= kDownRun) {
    down_ = true;
    coolUntil_ = now + coolMs_;
  }
}

PaceMs HostPace::GiveUpAt() const {
  if (!paced_ || failRun_ == 0) return kNever;
  return answeredAt_ + std::max<PaceMs>(graceMs_, 0) + kSilenceMs;
}

// Spaces starts after a refusal. The starts the service took in the second before the refused
// one give the slowest rate worth keeping (a limit of requests a second shows there), an eighth
// slower. Below that the gap grows from what the refusal suggests: a refused page started beside
// others points at a limit of requests at once, so starts go at the rate those pages came back;
// a refused page started alone doubles the gap (at first to 100 ms), or, when the service named a
// pause and so speaks of seconds, goes straight to that slowest rate. Whole pages narrow a gap
// wider than an eighth above the spacing refused by an eighth a page, then by an eighth every
// 30 s. Refusals of one burst (within a second of the one that set it) only widen it. A refusal
// of the only start in its second says nothing of a rate: the host's failures and cool-down
// deal with a service that takes nothing.
void HostPace::SetGapFrom(uint32_t ticket, PaceMs now, bool paused) {
  const StartRecord& refused = starts_[ticket % kHistory];
  int32_t taken = 0;
  for (uint32_t back = 1; back < kHistory && back <= ticket; ++back) {
    const StartRecord& s = starts_[(ticket - back) % kHistory];
    if (s.at <= refused.at - 1000) break;
    taken += !s.refused;
  }
  if (taken == 0) return;
  const int64_t slowest = 1000000 * 9 / (8 * taken);
  int64_t gap = paused ? slowest : std::max<int64_t>(2 * gapUs_, 100000);
  if (refused.inFlight > 1) gap = (pageMs_ > 0 ? pageMs_ : 100) * 1000 / (refused.inFlight - 1);
  gap = std::min(gap, slowest);
  if (refused.at < gapSetAt_ + 1000) gap = std::max(gap, gapUs_);
  gapUs_ = std::min(gap, kLongestGapUs);
  // The spacing the service refused: a lone page's distance from the start before it. Whole
  // pages bring the gap back quickly to an eighth above it, and only then narrow it slowly.
  const PaceMs spacing = ticket > 0 ? refused.at - starts_[(ticket - 1) % kHistory].at : 0;
  refusedGapUs_ = refused.inFlight == 1 ? std::min<int64_t>(spacing * 1000, gapUs_) : gapUs_;
  gapSetAt_ = refused.at;
  narrowedAt_ = now;
}

void HostPace::NarrowGap(PaceMs now) {
  if (gapUs_ == 0) return;
  const int64_t above = refusedGapUs_ * 9 / 8;
  if (gapUs_ > above) {
    gapUs_ = std::max(above, gapUs_ * 7 / 8);
    narrowedAt_ = now;
    return;
  }
  const PaceMs since = std::min<PaceMs>(now - narrowedAt_, 1000);
  if (since <= 0) return;
  narrowedAt_ = now;
  gapUs_ -= (gapUs_ * since * 1000 + 8 * kNarrowEighthUs - 1) / (8 * kNarrowEighthUs);
  if (gapUs_ < 0) gapUs_ = 0;
}
