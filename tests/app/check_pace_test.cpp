// The pace of the windowed check: the Retry-After forms, the pauses, the allowance, and the
// whole check run against simulated services on a virtual clock, where minutes and hours of a
// service's time take milliseconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <queue>
#include <deque>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/check_pace.h"
#include "app/check_window.h"

namespace {

TEST(CheckPace, RetryAfterIsSecondsOrADateOnTheServicesClock) {
  const char* date = "Tue, 08 Dec 2026 10:00:00 GMT";
  const std::tuple<const char*, const char*, std::optional<uint32_t>> cases[] = {
      {" 7 ", "", 7000u},
      {"0", "", 0u},
      {"86400000000", "", 120000u},
      {"Tue, 08 Dec 2026 10:01:30 GMT", date, 90000u},
      {"Tuesday, 08-Dec-26 10:00:45 GMT", date, 45000u},
      {"Tue Dec  8 10:00:05 2026", date, 5000u},
      {"Wed, 09 Dec 2026 10:00:00 GMT", date, 120000u},   // a day: the cap
      {"Tue, 08 Dec 2026 09:00:00 GMT", date, 0u},        // past: no pause
      {"Thu, 01 Jan 2027 00:00:10 GMT", "Thu, 31 Dec 2026 23:59:50 GMT", 20000u},
      {"Tue, 08 Dec 2026 10:01:30 GMT", "", std::nullopt},   // no Date to measure from
      {"Tue, 08 Dec 2026 10:01:30 GMT", "yesterday", std::nullopt},
      {"Tue, 08 Dec 2026 25:01:30 GMT", date, std::nullopt},
      {"Tue, 08 Foo 2026 10:01:30 GMT", date, std::nullopt},
      {"-5", "", std::nullopt},
      {"1.5", "", std::nullopt},
      {"", date, std::nullopt},
  };
  for (const auto& [value, dateField, expected] : cases)
    EXPECT_EQ(RetryAfterMs(value, dateField), expected) << value << " / " << dateField;
}

// 2, 4, 8 ... s or the service's pause, at most an eighth more, and the jitter kept inside the
// two minutes' cap, so that IDs told to wait two minutes do not all come back at once.
TEST(CheckPace, RetryPausesFollowTheServiceElseDoubleWithTheJitterInsideTheCap) {
  EXPECT_EQ(RetryPauseMs(0u, 1, 12345), 0u);
  for (uint32_t seed : {0u, 1u, 250u, 0xFFFFFFFFu}) {
    const std::tuple<std::optional<uint32_t>, int32_t, uint32_t> tries[] = {
        {std::nullopt, 1, 2000}, {std::nullopt, 2, 4000}, {std::nullopt, 3, 8000}, {7000u, 3, 7000}};
    for (const auto& [retryAfter, failed, base] : tries) {
      uint32_t pause = RetryPauseMs(retryAfter, failed, seed);
      EXPECT_GE(pause, base) << failed << " " << seed;
      EXPECT_LE(pause, base + base / 8) << failed << " " << seed;
    }
  }
  std::vector<uint32_t> capped;
  for (uint32_t seed = 0; seed < 64; ++seed) capped.push_back(RetryPauseMs(120000u, 1, seed * 7919));
  EXPECT_LE(*std::max_element(capped.begin(), capped.end()), 120000u);
  EXPECT_GE(*std::min_element(capped.begin(), capped.end()), 105000u);
  EXPECT_GT(std::set<uint32_t>(capped.begin(), capped.end()).size(), 32u) << "spread inside the cap";
  EXPECT_LE(RetryPauseMs(std::nullopt, 40, 99), 120000u);
}

// The allowance grows by one after as many whole pages as it allows, halves on a failure (once
// for all the requests in flight then), climbs back quickly to just below where it failed and
// only then slowly, not at all there while it is to hold; it stays within 1..its ceiling.
TEST(CheckPace, TheAllowanceFollowsTheServicesRoom) {
  Allowance a(2, 8);
  auto succeed = [&](int pages, bool hold = false) {
    for (int i = 0; i < pages; ++i) {
      a.StartNumber();
      a.Succeeded(hold);
    }
  };
  succeed(2 + 3 + 4 + 5);
  EXPECT_EQ(a.Current(), 6) << "one more after each run of as many pages";
  std::vector<uint32_t> burst;
  for (int i = 0; i < 6; ++i) burst.push_back(a.StartNumber());
  for (uint32_t number : burst) a.Failed(number);
  EXPECT_EQ(a.Current(), 3) << "six refusals of one burst halve once";
  succeed(2);
  EXPECT_EQ(a.Current(), 5) << "one a page up to one below where it failed";
  succeed(20, true);
  EXPECT_EQ(a.Current(), 5) << "no further while it holds";
  succeed(5);
  EXPECT_EQ(a.Current(), 6);
  a.Failed(a.StartNumber());
  EXPECT_EQ(a.Current(), 3) << "a request started after the halving halves again";
  for (int i = 0; i < 3; ++i) a.Failed(a.StartNumber());
  EXPECT_EQ(a.Current(), 1);
  succeed(100);
  EXPECT_EQ(a.Current(), 8) << "the ceiling";
}

// ---------------------------------------------------------------------------------------------
// Simulated services. Each answers a request asked at `now` with how it ends and when.

constexpr PaceMs kPageMs = 100;

struct Answer {
  PageEnd end = PageEnd::kWhole;
  PaceMs tookMs = kPageMs;
  std::optional<uint32_t> retryAfterMs;
};

class Service {
 public:
  virtual ~Service() = default;
  virtual Answer Ask(PaceMs now, int id) = 0;
};

Answer Refusal(std::optional<uint32_t> retryAfterMs) { return {PageEnd::kRefused, 1, retryAfterMs}; }

// Answers every page after 100 ms.
class Open : public Service {
 public:
  Answer Ask(PaceMs, int) override { return {}; }
};

// Refuses a request that arrives while `most` are in flight.
class AtOnce : public Service {
 public:
  AtOnce(int most, std::optional<uint32_t> retryAfterMs) : most_(most), retryAfterMs_(retryAfterMs) {}
  Answer Ask(PaceMs now, int) override {
    ends_.erase(ends_.begin(), ends_.upper_bound(now));
    if (static_cast<int>(ends_.size()) >= most_) return Refusal(retryAfterMs_);
    ends_.insert(now + kPageMs);
    return {};
  }

 private:
  int most_;
  std::optional<uint32_t> retryAfterMs_;
  std::multiset<PaceMs> ends_;
};

// Refuses a request that arrives when `rate` requests were taken within the last second.
class PerSecond : public Service {
 public:
  PerSecond(int rate, std::optional<uint32_t> retryAfterMs) : rate_(rate), retryAfterMs_(retryAfterMs) {}
  Answer Ask(PaceMs now, int) override {
    while (!taken_.empty() && taken_.front() <= now - 1000) taken_.pop_front();
    if (static_cast<int>(taken_.size()) >= rate_) return Refusal(retryAfterMs_);
    taken_.push_back(now);
    return {};
  }

 private:
  int rate_;
  std::optional<uint32_t> retryAfterMs_;
  std::deque<PaceMs> taken_;
};

// A per-second limit without burst, as a widely used web server keeps it: a request no later
// than 1/rate after the last one taken is refused with 503 and no Retry-After.
class Spaced : public Service {
 public:
  explicit Spaced(int rate) : spacing_(1000 / rate) {}
  Answer Ask(PaceMs now, int) override {
    if (now <= last_ + spacing_) return Refusal(std::nullopt);
    last_ = now;
    return {};
  }

 private:
  PaceMs spacing_, last_ = -100000;
};

// Resets a share of its requests at random, halfway through the page.
class Lossy : public Service {
 public:
  explicit Lossy(double share) : share_(share) {}
  Answer Ask(PaceMs, int) override {
    if (std::uniform_real_distribution<double>(0, 1)(random_) < share_) return {PageEnd::kLost, kPageMs / 2, {}};
    return {};
  }

 private:
  double share_;
  std::mt19937 random_{20261208};
};

// Answers everything with `end` after `tookMs` (a refusal, a gate, or the time limit of a
// service that never answers).
class Always : public Service {
 public:
  Always(PageEnd end, PaceMs tookMs, std::optional<uint32_t> retryAfterMs = std::nullopt)
      : answer_{end, tookMs, retryAfterMs} {}
  Answer Ask(PaceMs, int) override { return answer_; }

 private:
  Answer answer_;
};

// Refuses everything (503, Retry-After: 1) from second `from` to second `to`, else as `rest`.
class Outage : public Service {
 public:
  Outage(PaceMs from, PaceMs to, std::unique_ptr<Service> rest) : from_(from), to_(to), rest_(std::move(rest)) {}
  Answer Ask(PaceMs now, int) override {
    if (now >= from_ * 1000 && now < to_ * 1000) return Refusal(1000u);
    return rest_->Ask(now, 0);
  }

 private:
  PaceMs from_, to_;
  std::unique_ptr<Service> rest_;
};

// ---------------------------------------------------------------------------------------------
// The check against a service: profile pages and (for every `freeEvery`th ID) search pages on a
// service of their own, pages delivered on the virtual clock.

constexpr uint8_t kRegistered = 1, kFree = 2;

struct Outcome {
  PaceMs tookMs = 0;
  int grey = 0, requests = 0, mostKept = 0, mostWaiting = 0;
  bool inOrder = true, stuck = false;
};

Outcome Check(int ids, const PaceSettings& settings, Service& profiles, Service* searches = nullptr,
            int freeEvery = 0) {
  CheckWindow window(ids, settings, 12345);
  struct Pending {
    PaceMs at;
    uint64_t order;
    CheckWindow::Start start;
    Answer answer;
    bool operator>(const Pending& o) const { return std::tie(at, order) > std::tie(o.at, o.order); }
  };
  std::priority_queue<Pending, std::vector<Pending>, std::greater<>> pending;
  Outcome out;
  PaceMs now = 0;
  uint64_t order = 0;
  int expected = 1;
  for (int steps = 0;; ++steps) {
    while (auto start = window.NextStart(now)) {
      Service& service = start->host == CheckHost::kSearch ? *searches : profiles;
      Answer answer = service.Ask(now, start->id);
      ++out.requests;
      pending.push({now + answer.tookMs, order++, *start, answer});
    }
    while (auto line = window.TakeLine()) {
      out.inOrder &= line->id == expected++;
      out.grey += line->verdict == CheckWindow::kFailedLine;
    }
    out.mostKept = std::max(out.mostKept, window.Kept());
    out.mostWaiting = std::max(out.mostWaiting, window.Waiting());
    if (window.Done()) break;
    PaceMs next = std::min(pending.empty() ? kNever : pending.top().at, window.WakeAt(now));
    if (next == kNever || steps > 10000000) {
      out.stuck = true;
      break;
    }
    now = std::max(now, next);
    while (!pending.empty() && pending.top().at <= now) {
      Pending p = pending.top();
      pending.pop();
      if (window.GaveUp()) continue;
      const bool free = freeEvery > 0 && p.start.id % freeEvery == 0;
      if (p.answer.end != PageEnd::kWhole)
        window.Failed(p.start, now, p.answer.end, p.answer.retryAfterMs);
      else if (free && p.start.host == CheckHost::kProfile)
        window.AskNext(p.start, now, CheckHost::kSearch);
      else
        window.Answered(p.start, now, free ? kFree : kRegistered);
    }
  }
  out.tookMs = now;
  return out;
}

PaceSettings Auto() { return PaceSettings{16, true, 3}; }
PaceSettings Fixed(int parallel) { return PaceSettings{parallel, false, 0}; }

double Seconds(PaceMs ms) { return static_cast<double>(ms) / 1000; }

// Every row: the service, the list, and the goal as the most time it may take (and, where a
// row expects every ID's failed line, the most requests per ID).
TEST(CheckPace, EveryWayOfSayingNoIsMetWithinItsGoal) {
  Open open;
  AtOnce unlimited6(1 << 30, std::nullopt);
  const PaceMs six = Check(2000, Fixed(6), open).tookMs;            // parallel=6, nothing refused
  const PaceMs clean = Check(2000, Auto(), open).tookMs;            // auto without resets
  struct Row {
    std::string name;
    int ids;
    std::function<std::unique_ptr<Service>()> service;
    bool allGrey;
    PaceMs most;
    double requestsPerId = 0;   // when all grey: the most requests per ID
  };
  const Row rows[] = {
      {"6 at once, Retry-After: 1", 2000, [] { return std::make_unique<AtOnce>(6, 1000u); }, false, six * 5 / 4},
      {"6 at once, Retry-After: 120", 2000, [] { return std::make_unique<AtOnce>(6, 120000u); }, false,
       six * 5 / 4 + 120000},
      {"20 a second", 2000, [] { return std::make_unique<PerSecond>(20, 1000u); }, false, 2000 * 1000 / 20 * 5 / 4},
      {"5 a second", 500, [] { return std::make_unique<PerSecond>(5, 1000u); }, false, 500 * 1000 / 5 * 5 / 4},
      {"1 a second", 200, [] { return std::make_unique<PerSecond>(1, 1000u); }, false, 200 * 1000 * 13 / 10},
      {"5 a second, 503 without Retry-After, no burst", 500, [] { return std::make_unique<Spaced>(5); }, false,
       500 * 1000 / 5 * 5 / 4},
      {"5 % of pages reset", 2000, [] { return std::make_unique<Lossy>(0.05); }, false, clean * 13 / 10},
      {"refuses everything", 1000, [] { return std::make_unique<Always>(PageEnd::kRefused, 1, 1000u); }, true,
       180000, 1.2},
      {"refuses everything, Retry-After: 120", 1000,
       [] { return std::make_unique<Always>(PageEnd::kRefused, 1, 120000u); }, true, 300000, 1.2},
      {"accepts, never answers", 100, [] { return std::make_unique<Always>(PageEnd::kTimedOut, 30000); }, true,
       300000, 1.2},
      {"refuses everything from 20 s to 50 s, else 6 at once", 2000,
       [] { return std::make_unique<Outage>(20, 50, std::make_unique<AtOnce>(6, 1000u)); }, false, kNever},
      {"a gate: 403 to every page", 100, [] { return std::make_unique<Always>(PageEnd::kRefused, 1); }, true, 180000,
       1.2},
  };
  std::printf("%-52s %8s %8s %6s %9s %6s %7s\n", "service", "IDs", "took s", "grey", "requests", "kept",
              "waiting");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::unique_ptr<Service> service = row.service();
    const Outcome out = Check(row.ids, Auto(), *service);
    std::printf("%-52s %8d %8.1f %6d %9d %6d %7d\n", row.name.c_str(), row.ids, Seconds(out.tookMs), out.grey,
                out.requests, out.mostKept, out.mostWaiting);
    EXPECT_FALSE(out.stuck);
    EXPECT_TRUE(out.inOrder);
    EXPECT_EQ(out.grey, row.allGrey ? row.ids : 0);
    if (row.most != kNever) {
      EXPECT_LE(out.tookMs, row.most);
    }
    if (row.allGrey) {
      EXPECT_LE(out.requests, row.requestsPerId * row.ids);
    }
    EXPECT_LE(out.mostKept, CheckWindow::kLongestWindow);
    EXPECT_LE(out.mostWaiting, CheckWindow::kMostWaiting);
  }
  std::printf("parallel=6 unrefused: %.1f s; auto without resets: %.1f s\n", Seconds(six), Seconds(clean));
}

// The profile host and the search host are paced apart: a search host refusing most requests
// slows the search pages, not the profile pages of registered IDs.
TEST(CheckPace, EachHostHasItsOwnPace) {
  Open profiles;
  PerSecond searches(2, 1000u);
  const Outcome out = Check(600, Auto(), profiles, &searches, 10);   // 60 free IDs
  EXPECT_FALSE(out.stuck);
  EXPECT_TRUE(out.inOrder);
  EXPECT_EQ(out.grey, 0);
  EXPECT_LE(out.tookMs, 60 * 1000 / 2 * 13 / 10) << "the search pages set the pace, at 2 a second";
  EXPECT_LE(out.requests, 660 + 20);
}

// One ID that the service always refuses (503, Retry-After: 1), one at a time: it has its failed
// line after its tries, and the IDs after it their verdicts; it neither holds the host down nor
// makes the check give up.
TEST(CheckPace, AnIdAlwaysRefusedSpendsItsTriesAlone) {
  class RefusesOne : public Service {
   public:
    Answer Ask(PaceMs, int id) override { return id == 3 ? Refusal(1000u) : Answer{}; }
  } service;
  const Outcome out = Check(40, PaceSettings{1, false, 3}, service);
  EXPECT_FALSE(out.stuck);
  EXPECT_TRUE(out.inOrder);
  EXPECT_EQ(out.grey, 1);
  EXPECT_LE(out.requests, 40 + 12);
  EXPECT_LE(out.tookMs, 60000);
}

// Unpaced, a fixed `parallel` keeps exactly that many pages in flight and a failed page is the
// ID's failed line at once; the window reaches four times `parallel` from its first line.
TEST(CheckPace, WithoutRetriesAFixedParallelIsKeptAndFailuresAreFinal) {
  AtOnce service(6, 1000u);
  const Outcome out = Check(200, Fixed(8), service);
  EXPECT_FALSE(out.stuck);
  EXPECT_TRUE(out.inOrder);
  EXPECT_GT(out.grey, 0);
  EXPECT_EQ(out.requests, 200);
  EXPECT_LE(out.mostKept, 32);
}

}  // namespace
