// The check with several IDs in flight: a window of IDs in input order, the first undecided
// one at its front. Pages are judged and freed as they arrive; decided lines leave from the
// front.
#include "app/parallel_check.h"

#include <deque>
#include <memory>
#include <optional>
#include <vector>

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

// One ID of the window: the page in flight for it, or its verdict once decided.
struct IdCheck {
  int32_t index;                            // the ID's place in IdList
  std::unique_ptr<web::PendingPage> page;   // null once decided (or when none could start)
  bool searching = false;                   // the page in flight is the search page
  std::optional<Verdict> verdict;
};

class ParallelCheck {
 public:
  ParallelCheck(int32_t n, int32_t parallel) : n_(n), parallel_(parallel) {}
  void Run();

 private:
  void StartMore();
  void AdvanceFinished();
  void Judge(IdCheck& check);
  bool LinesWaiting() const { return !window_.empty() && window_.front().verdict; }
  uint32_t BatchWait() const;
  void WriteDecidedLines();

  int32_t n_, parallel_;
  int32_t next_ = 1;        // the next ID to start
  int32_t inFlight_ = 0;    // IDs of the window with a page in flight
  uint32_t lastBatch_ = 0;  // tick count of the last batch of lines written
  bool wroteBatch_ = false;
  std::deque<IdCheck> window_;
};

// Starts IDs in input order while fewer than `parallel` are in flight and the window is not
// too far ahead of its first undecided ID. Building an address dispatches window messages, so
// the program may be ending after it: then nothing more is started.
void ParallelCheck::StartMore() {
  while (next_ <= n_ && inFlight_ < parallel_ &&
         static_cast<int32_t>(window_.size()) < kAheadPerRequest * parallel_) {
    core::Text address = ProfileAddress(next_);
    if (ProgramEnding()) return;
    IdCheck& check = window_.emplace_back(IdCheck{next_++, nullptr});
    ++inFlight_;
    check.page = std::make_unique<web::PendingPage>(address.c_str());
    Judge(check);
  }
}

// Judges the page of `check` if it has arrived (a page that could not even be opened arrives at
// once): the profile page decides, or starts the search page, which then decides. The page's
// text is freed here. Once the program is ending no search page is started.
void ParallelCheck::Judge(IdCheck& check) {
  while (check.page && check.page->Finished()) {
    uint32_t status = check.page->Status();
    bool complete = check.page->Complete();
    core::Text page = PageText(check.page->TakeBody(), complete, status);
    Verdict verdict = check.searching ? JudgeSearch(page) : JudgeProfile(page);
    check.page.reset();
    if (verdict == Verdict::kAskSearch) {
      core::Text address = SearchAddress(check.index);
      if (ProgramEnding()) return;
      check.searching = true;
      check.page = std::make_unique<web::PendingPage>(address.c_str());
      continue;
    }
    check.verdict = verdict;
    --inFlight_;
  }
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

void ParallelCheck::WriteDecidedLines() {
  HeldRepaints held;
  for (; LinesWaiting(); window_.pop_front()) WriteVerdict(window_.front().index, *window_.front().verdict);
  lastBatch_ = dll::GetTickCount();
  wroteBatch_ = true;
}

// Every step that can dispatch window messages (building an address, starting a page, waiting)
// is followed by asking whether the program is ending: its window may be gone, and with it the
// output box, so the check then starts and writes nothing more.
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
    pages.clear();
    for (IdCheck& check : window_)
      if (check.page) pages.push_back(check.page.get());
    if (!web::WaitForPages(pages.data(), pages.size(), wait)) return;
    AdvanceFinished();
    if (ProgramEnding()) return;
  }
}

}  // namespace

void CheckInParallel(int32_t n, int32_t parallel) {
  web::AllowConnectionsPerServer(static_cast<uint32_t>(parallel));
  ParallelCheck(n, parallel).Run();
}
