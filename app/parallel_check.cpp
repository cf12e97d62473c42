// The windowed check: a window of IDs in input order, the first undecided one at its front.
// Pages are judged and freed as they arrive; decided lines leave from the front. An ID whose
// page failed waits in its place for its next try, holding no page meanwhile.
#include "app/parallel_check.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/check_pace.h"
#include "app/output_log.h"
#include "app/verdict.h"
#include "program/dll_commands.h"
#include "program/program_state.h"
#include "web/pending_page.h"

namespace {

// IDs started ahead of the first undecided one, per request in flight: enough to keep every
// request busy past a few slow IDs, few enough that waiting lines stay a handful.
constexpr int32_t kAheadPerRequest = 4;
// Lines decided in quick succession are written together, at most this often, with the output
// box painted once per batch: painting a visible line costs as much as a fast request.
constexpr uint32_t kBatchIntervalMs = 50;

// One ID of the window: the page in flight for it, its next try, or its verdict once decided.
struct IdCheck {
  int32_t index;                            // the ID's place in IdList
  std::unique_ptr<web::PendingPage> page;   // null once decided, while waiting, or before a start
  bool searching = false;                   // the ID's page is the search page
  bool waiting = false;                     // its last page failed; the next try is due at retryAt
  int32_t failedTries = 0;
  uint32_t retryAt = 0;                     // tick count
  uint32_t holdsSlotUntil = 0;              // tick count: while waiting, its page's slot is kept
  uint32_t startedAt = 0;                   // tick count the page in flight started
  uint32_t startNumber = 0;                 // the allowance's number of the page in flight
  std::optional<Verdict> verdict;
};

// Whether tick count `at` has come by `now` (tick counts wrap after 49 days).
bool HasCome(uint32_t at, uint32_t now) { return static_cast<int32_t>(now - at) >= 0; }

class ParallelCheck {
 public:
  ParallelCheck(int32_t n, const CheckSettings& settings)
      : n_(n), parallel_(settings.parallel), paced_(settings.adaptive || settings.retries > 0),
        retries_(settings.retries), proxy_(settings.proxy.Argument()),
        allowance_(settings.adaptive ? kAutoStart : settings.parallel, settings.parallel),
        seed_(dll::GetTickCount()) {}
  void Run();

 private:
  // The number of IDs that may be in flight now: the allowance, or `parallel` as it is when
  // there are neither retries nor `auto` (a failed page then gives its grey line at once).
  int32_t Limit() const { return paced_ ? allowance_.Current() : parallel_; }
  void StartMore();
  bool StartPage(IdCheck& check);
  void AdvanceFinished();
  void Judge(IdCheck& check);
  void Failed(IdCheck& check, const core::Text& headers);
  int32_t Busy(uint32_t now) const;
  bool LinesWaiting() const { return !window_.empty() && window_.front().verdict; }
  uint32_t BatchWait() const;
  uint32_t StartWait() const;
  void WriteDecidedLines();

  int32_t n_, parallel_;
  bool paced_;
  int32_t retries_;
  std::string proxy_;
  Allowance allowance_;
  uint32_t seed_;           // for the jitter of retry pauses
  int32_t next_ = 1;        // the next ID to start
  int32_t inFlight_ = 0;    // IDs of the window with a page in flight
  uint32_t pageTimeMs_ = 0; // smoothed time a page takes to come back whole; 0 before one did
  uint32_t lastBatch_ = 0;  // tick count of the last batch of lines written
  bool wroteBatch_ = false;
  std::deque<IdCheck> window_;
};

// Starts IDs while fewer than the limit are in flight: first those whose next try has come, in
// input order, then new ones while the window is not too far ahead of its first undecided ID.
// The window's bound is a few times `parallel` (the ceiling, for `auto`), not the limit of the
// moment: shrinking the limit never leaves IDs outside the window, and an ID waiting a second
// at the front for its next try does not stop the IDs behind it.
void ParallelCheck::StartMore() {
  const uint32_t now = dll::GetTickCount();
  for (IdCheck& check : window_) {
    if (Busy(now) >= Limit()) return;
    if (!check.waiting || !HasCome(check.retryAt, now)) continue;
    check.waiting = false;
    if (!StartPage(check)) return;
    Judge(check);
  }
  while (next_ <= n_ && Busy(now) < Limit() &&
         static_cast<int32_t>(window_.size()) < kAheadPerRequest * parallel_) {
    IdCheck& check = window_.emplace_back(IdCheck{next_++, nullptr});
    if (!StartPage(check)) return;
    Judge(check);
  }
}

// Starts the ID's profile page, or its search page once the profile sent it there. Building an
// address dispatches window messages, so the program may be ending after it: then nothing is
// started and the result is false.
bool ParallelCheck::StartPage(IdCheck& check) {
  core::Text address = check.searching ? SearchAddress(check.index) : ProfileAddress(check.index);
  if (ProgramEnding()) return false;
  check.page = std::make_unique<web::PendingPage>(address.c_str(), proxy_.c_str());
  check.startedAt = dll::GetTickCount();
  check.startNumber = allowance_.StartNumber();
  ++inFlight_;
  return true;
}

// Judges the page of `check` if it has arrived (a page that could not even be opened arrives at
// once): the profile page decides, or starts the search page, which then decides. A failed page
// makes the ID wait for its next try while it has tries left. The page's text is freed here.
void ParallelCheck::Judge(IdCheck& check) {
  while (check.page && check.page->Finished()) {
    uint32_t status = check.page->Status();
    bool complete = check.page->Complete();
    core::Text page = PageText(check.page->TakeBody(), complete, status);
    core::Text headers = check.page->TakeHeaders();
    check.page.reset();
    --inFlight_;
    if (page.empty()) {
      allowance_.Failed(check.startNumber);
      if (check.failedTries < retries_) return Failed(check, headers);
    } else {
      allowance_.Succeeded(std::any_of(window_.begin(), window_.end(), [](const IdCheck& c) { return c.waiting; }));
      uint32_t took = dll::GetTickCount() - check.startedAt;
      pageTimeMs_ = pageTimeMs_ == 0 ? took + 1 : (7 * pageTimeMs_ + took) / 8 + 1;
    }
    Verdict verdict = check.searching ? JudgeSearch(page) : JudgeProfile(page);
    if (verdict == Verdict::kAskSearch) {
      check.searching = true;
      if (!StartPage(check)) return;
      continue;
    }
    check.verdict = verdict;
  }
}

// Sets the ID's next try after the pause the service asked for, or after the growing pause.
// Its page keeps its slot among those in flight for as long as a page takes to come back: a
// refusal comes back at once, and the room it made would at once go to another request, which
// a service counting requests a second refuses too, and so on through the list.
void ParallelCheck::Failed(IdCheck& check, const core::Text& headers) {
  ++check.failedTries;
  seed_ = seed_ * 1664525u + 1013904223u;
  uint32_t pause = RetryPauseMs(RetryAfterSeconds(headers.c_str()), check.failedTries, seed_ >> 8);
  const uint32_t now = dll::GetTickCount();
  check.waiting = true;
  check.retryAt = now + pause;
  check.holdsSlotUntil = now + pageTimeMs_;
}

// The slots in use at tick count `now`: pages in flight, and the slots failed pages still keep.
int32_t ParallelCheck::Busy(uint32_t now) const {
  int32_t busy = inFlight_;
  for (const IdCheck& check : window_)
    busy += check.waiting && !HasCome(check.holdsSlotUntil, now);
  return busy;
}

void ParallelCheck::AdvanceFinished() {
  for (IdCheck& check : window_) {
    if (ProgramEnding()) return;
    Judge(check);
  }
}

// How long decided lines may wait for the next batch: none when nothing else is in flight.
uint32_t ParallelCheck::BatchWait() const {
  if (!LinesWaiting()) return web::kNoTimeLimit;
  if (inFlight_ == 0 || !wroteBatch_) return 0;
  uint32_t since = dll::GetTickCount() - lastBatch_;
  return since >= kBatchIntervalMs ? 0 : kBatchIntervalMs - since;
}

// How long until a waiting ID may make a difference: a slot a failed page keeps comes free, or,
// while there is room, a next try is due. Without room only time or a finished page makes some.
uint32_t ParallelCheck::StartWait() const {
  const uint32_t now = dll::GetTickCount();
  const bool room = Busy(now) < Limit();
  uint32_t wait = web::kNoTimeLimit;
  for (const IdCheck& check : window_) {
    if (!check.waiting) continue;
    if (!HasCome(check.holdsSlotUntil, now)) wait = std::min(wait, check.holdsSlotUntil - now);
    if (room) wait = std::min(wait, HasCome(check.retryAt, now) ? 0 : check.retryAt - now);
  }
  return wait;
}

void ParallelCheck::WriteDecidedLines() {
  HeldRepaints held;
  for (; LinesWaiting(); window_.pop_front()) WriteVerdict(window_.front().index, *window_.front().verdict);
  lastBatch_ = dll::GetTickCount();
  wroteBatch_ = true;
}

// Every step that can dispatch window messages (building an address, starting a page, waiting)
// is followed by asking whether the program is ending: its window may be gone, and with it the
// output box, so the check then starts and writes nothing more. While IDs only wait for their
// next try the wait has no page to watch: it dispatches messages until the try is due.
void ParallelCheck::Run() {
  std::vector<web::PendingPage*> pages;
  for (;;) {
    StartMore();
    if (ProgramEnding()) return;
    uint32_t wait = BatchWait();
    if (wait == 0) {
      WriteDecidedLines();
      continue;
    }
    if (window_.empty()) return;
    wait = std::min(wait, StartWait());
    if (wait == 0) continue;
    pages.clear();
    for (IdCheck& check : window_)
      if (check.page) pages.push_back(check.page.get());
    if (pages.empty() && wait == web::kNoTimeLimit) return;   // nothing could make progress
    if (!web::WaitForPages(pages.data(), pages.size(), wait)) return;
    AdvanceFinished();
    if (ProgramEnding()) return;
  }
}

}  // namespace

void CheckInParallel(int32_t n, const CheckSettings& settings) {
  web::AllowConnectionsPerServer(static_cast<uint32_t>(settings.parallel));
  ParallelCheck(n, settings).Run();
}
