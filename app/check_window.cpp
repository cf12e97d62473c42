// The windowed check's IDs and the decisions of what to start next.
#include "app/check_window.h"

#include <algorithm>

namespace {

uint32_t NextSeed(uint32_t seed) { return seed * 1664525u + 1013904223u; }

HostPace PaceFor(const PaceSettings& settings) {
  return HostPace(settings.Paced(), settings.adaptive ? kAutoStartAllowance : settings.parallel,
                  settings.parallel);
}

}  // namespace

CheckWindow::CheckWindow(int32_t ids, const PaceSettings& settings, uint32_t seed)
    : ids_(ids), settings_(settings), seed_(seed), hosts_{PaceFor(settings), PaceFor(settings)} {}

CheckWindow::Entry* CheckWindow::Find(const Start& start) {
  const int64_t at = static_cast<int64_t>(start.id) - first_;
  if (at < 0 || at >= static_cast<int64_t>(entries_.size())) return nullptr;
  Entry& entry = entries_[static_cast<size_t>(at)];
  return entry.state == State::kInFlight && entry.host == start.host ? &entry : nullptr;
}

// New IDs join while the window is short enough: unpaced a few times `parallel` from its first
// line; paced its waiting IDs and its length are bounded apart, so that an ID waiting its turn
// at the front does not stop the IDs behind it.
bool CheckWindow::MayAdmit() const {
  const auto kept = static_cast<int32_t>(entries_.size());
  if (gaveUp_ || first_ + kept > ids_) return false;
  if (!settings_.Paced()) return kept < kAheadPerRequest * settings_.parallel;
  return kept < kLongestWindow && waiting_ < kMostWaiting;
}

// In a run of a host's failures (and so when it is down and probes) the next page there is one
// that no failure of the run touched: a new ID where one may join, else an ID's first page there;
// only then an ID that failed. So a run that is the service's, not the ID's, spreads over
// several IDs, each spending at most one try on it, and one ID that the service always refuses
// cannot keep the host down and spend the check's time on itself. Otherwise IDs go in input
// order, a try that is due before a new ID. Unpaced or paced, at most `parallel` IDs are in
// flight on both hosts together.
std::optional<CheckWindow::Start> CheckWindow::NextStart(PaceMs now) {
  Advance(now);
  if (gaveUp_ || hosts_[0].InFlight() + hosts_[1].InFlight() >= settings_.parallel) return std::nullopt;
  for (CheckHost host : {CheckHost::kProfile, CheckHost::kSearch}) {
    const auto h = static_cast<size_t>(host);
    if (!hosts_[h].MayStart(now)) continue;
    const bool fresh = hosts_[h].Down() || hosts_[h].CongestedRun();
    if (fresh && host == CheckHost::kProfile && MayAdmit()) return Admit(now);
    if (ready_[h] > 0) {
      const size_t i = FirstReady(host, fresh);
      return Begin(first_ + static_cast<int32_t>(i), entries_[i], now);
    }
  }
  if (!MayAdmit() || !PaceOf(CheckHost::kProfile).MayStart(now)) return std::nullopt;
  return Admit(now);
}

// The first ID ready for a page on `host`, in input order; with `fresh` the first one whose last
// page did not fail, where there is one. There is at least one ready.
size_t CheckWindow::FirstReady(CheckHost host, bool fresh) const {
  size_t first = entries_.size();
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    if (entry.state != State::kReady || entry.host != host) continue;
    if (!fresh || !entry.afterFailure) return i;
    if (first == entries_.size()) first = i;
  }
  return first;
}

CheckWindow::Start CheckWindow::Admit(PaceMs now) {
  Entry& entry = entries_.emplace_back();
  ++ready_[0];
  return Begin(first_ + static_cast<int32_t>(entries_.size()) - 1, entry, now);
}

CheckWindow::Start CheckWindow::Begin(int32_t id, Entry& entry, PaceMs now) {
  if (!entry.afterFailure) budget_.FirstTry();
  --ready_[static_cast<size_t>(entry.host)];
  entry.state = State::kInFlight;
  return Start{id, entry.host, PaceOf(entry.host).Started(now)};
}

void CheckWindow::Answered(const Start& start, PaceMs now, uint8_t verdict) {
  Entry* entry = Find(start);
  if (!entry) return;
  const auto h = static_cast<size_t>(start.host);
  hosts_[h].Ended(start.ticket, now, PageEnd::kWhole, std::nullopt, congestedWaiting_[h] > 0);
  Decide(*entry, verdict);
}

void CheckWindow::AskNext(const Start& start, PaceMs now, CheckHost next) {
  Entry* entry = Find(start);
  if (!entry) return;
  const auto h = static_cast<size_t>(start.host);
  hosts_[h].Ended(start.ticket, now, PageEnd::kWhole, std::nullopt, congestedWaiting_[h] > 0);
  entry->state = State::kReady;
  entry->host = next;
  entry->afterFailure = false;
  ++ready_[static_cast<size_t>(next)];
}

// A failed page costs its ID a try, and the retry budget one retry; in a run of the host's
// failures (failures with no whole page between) that other IDs share, only once: a service
// that fails everyone says nothing about the ID. A run of one ID's failures alone is the ID's.
// While the host is down the ID only waits with the host, which probes for it. Without a try
// or a retry left, or unpaced, the ID has its failed line.
void CheckWindow::Failed(const Start& start, PaceMs now, PageEnd end, std::optional<uint32_t> retryAfterMs) {
  Entry* entry = Find(start);
  if (!entry) return;
  const auto h = static_cast<size_t>(start.host);
  if (end != PageEnd::kRefused) retryAfterMs.reset();
  hosts_[h].Ended(start.ticket, now, end, retryAfterMs, congestedWaiting_[h] > 0);
  if (!settings_.Paced()) return Decide(*entry, kFailedLine);
  entry->afterFailure = true;
  if (hosts_[h].Down()) {
    entry->state = State::kReady;
    ++ready_[h];
    return;
  }
  // The run's first failure names its ID; a failure of another ID makes it the service's.
  if (runWholes_[h] != hosts_[h].Wholes() || hosts_[h].FailRun() == 1) {
    runWholes_[h] = hosts_[h].Wholes();
    runFirst_[h] = start.id;
    runMixed_[h] = false;
  } else if (start.id != runFirst_[h]) {
    runMixed_[h] = true;
  }
  if (!runMixed_[h] || entry->chargedRun != hosts_[h].Wholes()) {
    if (entry->failedTries >= settings_.retries || !budget_.TakeRetry()) return Decide(*entry, kFailedLine);
    ++entry->failedTries;
    entry->chargedRun = hosts_[h].Wholes();
  }
  seed_ = NextSeed(seed_);
  entry->state = State::kWaiting;
  // A page lost on its way says nothing of load: it is asked again at once (a host that loses
  // every page goes down and is probed instead). A refusal that named a pause holds the whole
  // host that long, and the host's pace spreads the IDs that come back then; the refused ID is
  // due first, in its place. Other failures wait 2, 4, 8 ... s.
  const bool lost = end == PageEnd::kLost;
  PaceMs pause = retryAfterMs ? *retryAfterMs : RetryPauseMs(std::nullopt, entry->failedTries, seed_ >> 8);
  if (lost) pause = 0;
  entry->dueAt = now + std::min<PaceMs>(pause, kLongestRetryPause * 1000);
  entry->congested = !lost;
  ++waiting_;
  congestedWaiting_[h] += entry->congested;
  nextDue_ = std::min(nextDue_, entry->dueAt);
}

void CheckWindow::Decide(Entry& entry, uint8_t verdict) {
  if (entry.state == State::kReady) --ready_[static_cast<size_t>(entry.host)];
  if (entry.state == State::kWaiting) {
    --waiting_;
    congestedWaiting_[static_cast<size_t>(entry.host)] -= entry.congested;
  }
  entry.state = State::kDecided;
  entry.verdict = verdict;
}

// Tries that have come due become ready; a host silent for too long ends the check.
void CheckWindow::Advance(PaceMs now) {
  if (gaveUp_) return;
  for (const HostPace& host : hosts_)
    if (now >= host.GiveUpAt()) return GiveUp();
  if (waiting_ == 0 || now < nextDue_) return;
  nextDue_ = kNever;
  for (Entry& entry : entries_) {
    if (entry.state != State::kWaiting) continue;
    if (entry.dueAt > now) {
      nextDue_ = std::min(nextDue_, entry.dueAt);
      continue;
    }
    const auto h = static_cast<size_t>(entry.host);
    --waiting_;
    congestedWaiting_[h] -= entry.congested;
    entry.state = State::kReady;
    ++ready_[h];
  }
}

void CheckWindow::GiveUp() {
  gaveUp_ = true;
  for (Entry& entry : entries_)
    if (entry.state != State::kDecided) Decide(entry, kFailedLine);
}

std::optional<CheckWindow::Line> CheckWindow::TakeLine() {
  if (!entries_.empty()) {
    if (entries_.front().state != State::kDecided) return std::nullopt;
    Line line{first_++, entries_.front().verdict};
    entries_.pop_front();
    return line;
  }
  if (gaveUp_ && first_ <= ids_) return Line{first_++, kFailedLine};
  return std::nullopt;
}

bool CheckWindow::LineReady() const {
  if (!entries_.empty()) return entries_.front().state == State::kDecided;
  return gaveUp_ && first_ <= ids_;
}

PaceMs CheckWindow::WakeAt(PaceMs now) const {
  if (gaveUp_) return kNever;
  PaceMs at = waiting_ > 0 ? nextDue_ : kNever;
  for (const HostPace& host : hosts_) at = std::min(at, host.GiveUpAt());
  if (hosts_[0].InFlight() + hosts_[1].InFlight() >= settings_.parallel) return at;
  for (size_t h = 0; h < hosts_.size(); ++h)
    if (ready_[h] > 0 || (h == 0 && MayAdmit()))
      at = std::min(at, hosts_[h].MayStart(now) ? now : hosts_[h].NextChance(now));
  return at;
}
