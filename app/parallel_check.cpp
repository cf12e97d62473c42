// The windowed check on real pages: the window (app/check_window.h) names the pages to start and
// when; this file starts them, judges them as they arrive, tells the window how each ended, and
// writes the lines it hands out.
#include "app/parallel_check.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "app/check_pace.h"
#include "app/check_window.h"
#include "app/output_log.h"
#include "app/verdict.h"
#include "program/dll_commands.h"
#include "program/program_state.h"
#include "web/pending_page.h"

namespace {

// Lines decided in quick succession are written together, at most this often, with the output
// box painted once per batch: painting a visible line costs as much as a fast request.
constexpr uint32_t kBatchIntervalMs = 50;
// A failed page that took this long ran into a time limit (each receive of a leg has 30 s), which
// says the service or the way there is slow; a quicker failure is a page lost on its way.
constexpr uint32_t kTimeLimitMs = 29000;

// A page in flight and the start the window named for it.
struct Flight {
  CheckWindow::Start start;
  std::unique_ptr<web::PendingPage> page;
  uint32_t startedAt;   // tick count
};

PaceSettings PaceSettingsOf(const CheckSettings& settings) {
  return PaceSettings{settings.parallel, settings.adaptive, settings.retries};
}

class ParallelCheck {
 public:
  ParallelCheck(int32_t n, const CheckSettings& settings)
      : proxy_(settings.proxy.Argument()), lastTick_(dll::GetTickCount()),
        window_(n, PaceSettingsOf(settings), lastTick_) {}
  void Run();

 private:
  PaceMs Now();
  bool StartPages();
  bool CollectFinished();
  void Judge(Flight& flight);
  uint32_t BatchWait() const;
  void WriteDecidedLines();

  std::string proxy_;
  uint32_t lastTick_;        // the tick count when Now() last read it
  PaceMs clock_ = 0;         // milliseconds since the check started; the tick count may wrap
  uint32_t lastBatch_ = 0;   // tick count of the last batch of lines written
  bool wroteBatch_ = false;
  CheckWindow window_;
  std::vector<Flight> flights_;
};

PaceMs ParallelCheck::Now() {
  const uint32_t tick = dll::GetTickCount();
  clock_ += tick - lastTick_;
  lastTick_ = tick;
  return clock_;
}

// Starts every page the window allows now. Building an address dispatches window messages, so
// the program may be ending after it: then nothing is started and the result is false.
bool ParallelCheck::StartPages() {
  while (std::optional<CheckWindow::Start> start = window_.NextStart(Now())) {
    core::Text address =
        start->host == CheckHost::kSearch ? SearchAddress(start->id) : ProfileAddress(start->id);
    if (ProgramEnding()) return false;
    flights_.push_back({*start, std::make_unique<web::PendingPage>(address.c_str(), proxy_.c_str()),
                        dll::GetTickCount()});
  }
  return true;
}

// Judges and frees every page that has arrived (a page that could not even be opened arrives at
// once); true when there was one.
bool ParallelCheck::CollectFinished() {
  const size_t before = flights_.size();
  for (size_t i = 0; i < flights_.size();) {
    if (!flights_[i].page->Finished()) {
      ++i;
      continue;
    }
    Judge(flights_[i]);
    flights_.erase(flights_.begin() + static_cast<ptrdiff_t>(i));
  }
  return flights_.size() != before;
}

// A whole page decides its ID, or sends it on to its search page; anything else is a failure of
// the kind the pace tells apart: a refusal (with the pause it named), a time limit, or a loss.
void ParallelCheck::Judge(Flight& flight) {
  web::PendingPage& page = *flight.page;
  const uint32_t status = page.Status();
  const core::Text text = PageText(page.TakeBody(), page.Complete(), status);
  const PaceMs now = Now();
  if (text.empty()) {
    const PageEnd end = IsRefusal(status) ? PageEnd::kRefused
                        : dll::GetTickCount() - flight.startedAt >= kTimeLimitMs ? PageEnd::kTimedOut
                                                                                  : PageEnd::kLost;
    return window_.Failed(flight.start, now, end, RetryAfterMs(page.RetryAfter(), page.Date()));
  }
  const Verdict verdict = flight.start.host == CheckHost::kSearch ? JudgeSearch(text) : JudgeProfile(text);
  if (verdict == Verdict::kAskSearch) return window_.AskNext(flight.start, now, CheckHost::kSearch);
  window_.Answered(flight.start, now, static_cast<uint8_t>(verdict));
}

// How long decided lines may wait for the next batch: none when nothing else is in flight.
uint32_t ParallelCheck::BatchWait() const {
  if (!window_.LineReady()) return web::kNoTimeLimit;
  if (flights_.empty() || !wroteBatch_) return 0;
  uint32_t since = dll::GetTickCount() - lastBatch_;
  return since >= kBatchIntervalMs ? 0 : kBatchIntervalMs - since;
}

void ParallelCheck::WriteDecidedLines() {
  HeldRepaints held;
  while (std::optional<CheckWindow::Line> line = window_.TakeLine())
    WriteVerdict(line->id, line->verdict == CheckWindow::kFailedLine ? Verdict::kFailed
                                                                     : static_cast<Verdict>(line->verdict));
  lastBatch_ = dll::GetTickCount();
  wroteBatch_ = true;
}

// Every step that can dispatch window messages (building an address, starting a page, waiting)
// is followed by asking whether the program is ending: its window may be gone, and with it the
// output box, so the check then starts and writes nothing more. While IDs only wait (for their
// next try, a pause the service asked for, a gap between starts) the wait has no page to watch:
// it dispatches messages until the window's next moment.
void ParallelCheck::Run() {
  std::vector<web::PendingPage*> pages;
  for (;;) {
    if (!StartPages() || ProgramEnding()) return;
    if (window_.GaveUp()) flights_.clear();   // their pages no longer count; dropped unfinished
    if (CollectFinished()) continue;
    uint32_t wait = BatchWait();
    if (wait == 0) {
      WriteDecidedLines();
      continue;
    }
    if (window_.Done()) return;
    const PaceMs now = Now(), wake = window_.WakeAt(now);
    if (wake != kNever) wait = std::min<PaceMs>(wait, std::max<PaceMs>(wake - now, 0));
    if (wait == 0) continue;
    pages.clear();
    for (Flight& flight : flights_) pages.push_back(flight.page.get());
    if (pages.empty() && wait == web::kNoTimeLimit) return;   // nothing could make progress
    if (!web::WaitForPages(pages.data(), pages.size(), wait)) return;
    if (ProgramEnding()) return;
  }
}

}  // namespace

void CheckInParallel(int32_t n, const CheckSettings& settings) {
  web::AllowConnectionsPerServer(static_cast<uint32_t>(settings.parallel));
  ParallelCheck(n, settings).Run();
}
