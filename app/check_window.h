// What the windowed check starts, when, and what a failed page does: the IDs between the first
// line not yet written and the last ID started, each with its page in flight, its next try or
// its verdict, and the pace of the two hosts it asks (app/check_pace.h). It makes no request
// and reads no clock: its caller starts the pages it names, tells it how they ended and writes
// the lines it hands out, in input order. The program drives it with real pages
// (app/parallel_check.cpp), the tests with simulated services on a virtual clock.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

#include "app/check_pace.h"

// The hosts of the check, paced apart: a refused search page does not hold back profile pages.
enum class CheckHost : uint8_t { kProfile, kSearch };

// The allowance of requests in flight that `parallel=auto` starts with.
inline constexpr int32_t kAutoStartAllowance = 2;

struct PaceSettings {
  int32_t parallel = 1;    // IDs in flight at once; the allowance's ceiling when paced
  bool adaptive = false;   // parallel=auto: the allowance starts low and follows the service
  int32_t retries = 0;     // more tries for an ID whose page failed
  // Paced: retries or `auto`. Unpaced, `parallel` pages are in flight and a failed page gives
  // its grey line at once, as without these settings.
  bool Paced() const { return adaptive || retries > 0; }
};

class CheckWindow {
 public:
  // An ID's verdict as the caller defines it; kFailedLine is the line of an ID whose last try
  // failed, or that the check gave up on.
  static constexpr uint8_t kFailedLine = 0xFF;
  // Unpaced, IDs are started at most this many times `parallel` ahead of the first line not yet
  // written, so the lines waiting behind a slow ID stay few.
  static constexpr int32_t kAheadPerRequest = 4;
  // Paced, IDs waiting for their next try do not hold the window: they are bounded by
  // themselves, and the window reaches at most this far from its first line.
  static constexpr int32_t kMostWaiting = 256;
  static constexpr int32_t kLongestWindow = 4096;

  struct Start {
    int32_t id;        // 1-based, in input order
    CheckHost host;
    uint32_t ticket;   // the host pace's
  };
  struct Line {
    int32_t id;
    uint8_t verdict;
  };

  CheckWindow(int32_t ids, const PaceSettings& settings, uint32_t seed);

  // The next page to start at `now`, if any may start: an ID's next page in input order (a
  // search page, or a try that is due), else a new ID's profile page.
  std::optional<Start> NextStart(PaceMs now);
  // The page of `start` came back whole and decided its ID.
  void Answered(const Start& start, PaceMs now, uint8_t verdict);
  // The page of `start` came back whole; the ID needs its page on `next`.
  void AskNext(const Start& start, PaceMs now, CheckHost next);
  // The page of `start` failed; `retryAfterMs` is the pause a refusal named.
  void Failed(const Start& start, PaceMs now, PageEnd end, std::optional<uint32_t> retryAfterMs);
  // The first line not yet written, once its ID is decided.
  std::optional<Line> TakeLine();
  bool LineReady() const;

  // When time alone may change something (a try comes due, a pause or gap passes, the check
  // gives up); kNever when only a page ending can.
  PaceMs WakeAt(PaceMs now) const;
  // Every line is out.
  bool Done() const { return first_ > ids_; }
  // A host answered no page for too long: every ID not yet decided has its failed line, and the
  // pages still in flight no longer count.
  bool GaveUp() const { return gaveUp_; }
  // For tests and the memory bound: IDs kept (from the first line not yet written on) and
  // IDs waiting for their next try.
  int32_t Kept() const { return static_cast<int32_t>(entries_.size()); }
  int32_t Waiting() const { return waiting_; }

 private:
  enum class State : uint8_t { kReady, kInFlight, kWaiting, kDecided };
  struct Entry {
    PaceMs dueAt = 0;          // kWaiting: when its next try may start
    uint32_t chargedRun = ~0u; // the host's whole pages at its last failure that cost a try
    State state = State::kReady;
    CheckHost host = CheckHost::kProfile;   // the page it needs or has in flight
    uint8_t failedTries = 0;
    uint8_t verdict = 0;       // kDecided
    bool congested = false;    // kWaiting after a refusal or a time limit
    bool afterFailure = false; // its next page is a retry, not a first try
  };

  HostPace& PaceOf(CheckHost host) { return hosts_[static_cast<size_t>(host)]; }
  Entry* Find(const Start& start);
  void Advance(PaceMs now);
  bool MayAdmit() const;
  Start Begin(int32_t id, Entry& entry, PaceMs now);
  Start Admit(PaceMs now);
  size_t FirstReady(CheckHost host, bool fresh) const;
  void Decide(Entry& entry, uint8_t verdict);
  void GiveUp();

  int32_t ids_;
  PaceSettings settings_;
  uint32_t seed_;
  std::array<HostPace, 2> hosts_;
  RetryBudget budget_;
  std::deque<Entry> entries_;   // IDs first_ .. first_ + size - 1
  int32_t first_ = 1;           // the first line not yet written
  std::array<int32_t, 2> ready_{};             // per host: IDs ready for a page there
  int32_t waiting_ = 0;
  std::array<int32_t, 2> congestedWaiting_{};  // per host: waiting after congestion
  PaceMs nextDue_ = kNever;                    // no waiting ID is due before this
  // Per host, the run of failures seen last: its whole-page count, its first ID, and whether
  // another ID failed in it too.
  std::array<uint32_t, 2> runWholes_{~0u, ~0u};
  std::array<int32_t, 2> runFirst_{};
  std::array<bool, 2> runMixed_{};
  bool gaveUp_ = false;
};
