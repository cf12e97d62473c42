// The helper threads of the exchanges, their idle pool and the one leg a hand-over runs.
#include "web/exchange_thread.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "program/dll_commands.h"
#include "web/wininet_constants.h"

namespace web {

// A helper thread and the event that wakes it. The window's thread writes `record` and sets
// `go`; the helper reads `record` once it wakes. A null record tells an idle helper to end.
struct Helper {
  HelperCalls calls;
  uint32_t thread = 0;
  uint32_t go = 0;                // auto-reset
  ExchangeRecord* record = nullptr;
};

namespace {

constexpr uint32_t kMaxIdleHelpers = 16;

// Idle helpers kept for the next legs; used by the window's thread only. Starting a thread and
// its event for every leg would cost more than a small page's own work.
Helper* g_idleHelpers[kMaxIdleHelpers];
uint32_t g_idleCount = 0;
uint32_t g_legFinished = 0;
// Counted up by the window's thread when it abandons a running leg, down by the helper as it
// ends.
std::atomic<uint32_t> g_abandonedHelpers{0};
// Counted up as a record is made, down as it is freed, on whichever thread.
std::atomic<uint32_t> g_liveRecords{0};

// Room for `more` further body bytes; false when the C++ heap has none.
bool MakeRoom(ExchangeRecord* r, uint32_t more) {
  if (r->bodyCapacity - r->bodyLength >= more) return true;
  uint32_t capacity = r->bodyCapacity ? r->bodyCapacity : 4096;
  while (capacity - r->bodyLength < more) capacity *= 2;
  void* grown = std::realloc(r->body, capacity);
  if (!grown) return false;
  r->body = static_cast<uint8_t*>(grown);
  r->bodyCapacity = capacity;
  return true;
}

// Reads the body: asks how much is there (which waits at most one receive limit for the next
// byte), then reads no more than that, so InternetReadFile never waits for a full buffer. Stops
// at the end of the body (nothing more available), a failed call, or the deadline.
void ReadBody(ExchangeRecord* r) {
  const HelperCalls& c = r->calls;
  for (;;) {
    if (PastDeadline(c.tickCount(), r->deadline)) {
      r->timedOut = true;
      return;
    }
    uint32_t available = 0;
    if (!c.dataAvailable(r->request, &available, 0, 0)) {
      r->readFailed = true;
      return;
    }
    if (available == 0) return;
    uint32_t piece = available < ExchangeRecord::kPieceSize ? available : ExchangeRecord::kPieceSize;
    uint32_t count = 0;
    if (!MakeRoom(r, piece)) {
      r->readFailed = true;
      return;
    }
    int32_t read = c.read(r->request, r->body + r->bodyLength, piece, &count);
    r->bodyLength += count;
    if (!read) r->readFailed = true;
    if (!read || count == 0) return;
  }
}

// The Location of a redirect, of any length up to kLongestLocation: a query that finds the
// buffer too small reports the size it needs, and is asked again with that much room.
void QueryLocation(ExchangeRecord* r) {
  uint32_t capacity = ExchangeRecord::kHeaderBufferSize;
  for (;;) {
    if (capacity > r->locationCapacity) {
      void* grown = std::realloc(r->location, capacity + 1);
      if (!grown) return;
      r->location = static_cast<char*>(grown);
      r->locationCapacity = capacity;
    }
    uint32_t size = r->locationCapacity;
    if (r->calls.query(r->request, wininet::kQueryLocation, r->location, &size, nullptr)) {
      r->location[size < r->locationCapacity ? size : r->locationCapacity] = '\0';
      r->hasLocation = true;
      return;
    }
    if (size <= r->locationCapacity) return;   // no Location at all
    if (size > ExchangeRecord::kLongestLocation) {
      r->locationTooLong = true;
      return;
    }
    capacity = size;
  }
}

// One header field by its query level into `field` (kFieldSize bytes and a zero), or empty.
void QueryField(ExchangeRecord* r, uint32_t level, char* field) {
  uint32_t size = ExchangeRecord::kFieldSize;
  if (!r->calls.query(r->request, level, field, &size, nullptr) || size > ExchangeRecord::kFieldSize) size = 0;
  field[size] = '\0';
}

// The header queries the routine needs: the status, the redirect target (of a redirect only),
// the raw header block into a buffer of blanks, the announced length, and of an error answer
// the pause the service asks for with the time it gave.
void QueryResponse(ExchangeRecord* r) {
  using namespace wininet;
  const HelperCalls& c = r->calls;
  uint32_t size = sizeof r->status;
  if (!c.query(r->request, kQueryStatusCode | kQueryNumber, &r->status, &size, nullptr))
    r->status = 0;
  if (wininet::IsRedirectStatus(r->status)) QueryLocation(r);
  std::memset(r->rawHeaders, ' ', ExchangeRecord::kHeaderBufferSize);
  r->headersSize = ExchangeRecord::kHeaderBufferSize;
  r->headersFound =
      c.query(r->request, kQueryRawHeadersCrLf, r->rawHeaders, &r->headersSize, nullptr);
  size = sizeof r->contentLength;
  r->hasContentLength =
      c.query(r->request, kQueryContentLength | kQueryNumber, &r->contentLength, &size, nullptr) != 0;
  if (r->status >= 400) {
    QueryField(r, kQueryRetryAfter, r->retryAfter);
    QueryField(r, kQueryDate, r->date);
  }
}

// One leg: the send, the body, the header queries. Its result is in the record.
void RunLeg(ExchangeRecord* r) {
  r->sent = r->calls.send(r->request, r->headers, r->headersLength, r->optional, r->optionalLength) != 0;
  ReadBody(r);
  if (!r->timedOut) QueryResponse(r);
}

// The end of a helper whose record was abandoned: it closes the exchange's handles in reverse
// order of opening, frees the record, and its own handles.
void FinishAbandoned(Helper* helper, ExchangeRecord* r) {
  for (uint32_t h : {r->request, r->connection, r->internet})
    if (h) r->calls.closeInternet(h);
  delete r;
  helper->calls.closeHandle(helper->go);
  helper->calls.closeHandle(helper->thread);
  delete helper;
  g_abandonedHelpers.fetch_sub(1);
}

// The helper thread: runs the legs it is handed until it is told to end or its record was
// abandoned. After kBusy -> kDone it touches the record no more.
uint32_t __stdcall RunLegs(void* parameter) {
  auto* helper = static_cast<Helper*>(parameter);
  for (;;) {
    helper->calls.wait(helper->go, kNoTimeLimit);
    ExchangeRecord* r = helper->record;
    if (!r) {
      helper->calls.closeHandle(helper->go);
      helper->calls.closeHandle(helper->thread);
      delete helper;
      return 0;
    }
    RunLeg(r);
    const uint32_t finished = r->finishedEvent;
    auto setEvent = r->calls.setEvent;
    uint32_t busy = kLegBusy;
    if (r->state.compare_exchange_strong(busy, kLegDone)) {
      setEvent(finished);
      continue;
    }
    FinishAbandoned(helper, r);
    return 0;
  }
}

// A new helper thread, or null when the system gives none.
Helper* StartHelper(const HelperCalls& calls) {
  auto* helper = new (std::nothrow) Helper;
  if (!helper) return nullptr;
  helper->calls = calls;
  helper->go = dll::CreateEventA(nullptr, 0, 0, nullptr);
  if (helper->go) helper->thread = dll::CreateThread(nullptr, 0, RunLegs, helper, 0, nullptr);
  if (helper->thread) return helper;
  if (helper->go) dll::CloseHandle(helper->go);
  delete helper;
  return nullptr;
}

// The address of an export of `module`, or null.
template <typename F>
bool Take(uint32_t module, const char* name, F* address) {
  *address = reinterpret_cast<F>(dll::GetProcAddress(module, name));
  return *address != nullptr;
}

}  // namespace

ExchangeRecord::ExchangeRecord() { g_liveRecords.fetch_add(1); }

ExchangeRecord::~ExchangeRecord() {
  std::free(headers);
  std::free(optional);
  std::free(body);
  std::free(location);
  g_liveRecords.fetch_sub(1);
}

void ExchangeRecord::ClearResults() {
  sent = readFailed = timedOut = hasLocation = locationTooLong = hasContentLength = false;
  bodyLength = status = contentLength = headersSize = 0;
  headersFound = 0;
  if (location) location[0] = '\0';
  retryAfter[0] = date[0] = '\0';
}

bool TakeHelperCalls(HelperCalls* calls) {
  static uint32_t wininet = 0, kernel = 0;
  if (!wininet) dll::GetModuleHandleExA(wininet::kPinModule, "wininet.dll", &wininet);
  if (!kernel) dll::GetModuleHandleExA(wininet::kPinModule, "kernel32.dll", &kernel);
  if (!wininet || !kernel) return false;
  return Take(wininet, "HttpSendRequestW", &calls->send) &&
         Take(wininet, "InternetQueryDataAvailable", &calls->dataAvailable) &&
         Take(wininet, "InternetReadFile", &calls->read) &&
         Take(wininet, "HttpQueryInfoA", &calls->query) &&
         Take(wininet, "InternetCloseHandle", &calls->closeInternet) &&
         Take(kernel, "SetEvent", &calls->setEvent) &&
         Take(kernel, "WaitForSingleObject", &calls->wait) &&
         Take(kernel, "GetTickCount", &calls->tickCount) &&
         Take(kernel, "CloseHandle", &calls->closeHandle);
}

uint32_t LegFinishedEvent() {
  if (!g_legFinished) g_legFinished = dll::CreateEventA(nullptr, 0, 0, nullptr);
  return g_legFinished;
}

bool HandLegToHelper(ExchangeRecord* record) {
  if (g_abandonedHelpers.load() >= kMaxAbandonedHelpers || !LegFinishedEvent()) return false;
  Helper* helper = g_idleCount ? g_idleHelpers[--g_idleCount] : StartHelper(record->calls);
  if (!helper) return false;
  record->ClearResults();
  record->helper = helper;
  record->finishedEvent = g_legFinished;
  record->state = kLegBusy;
  helper->record = record;
  dll::SetEvent(helper->go);
  return true;
}

void ReleaseHelper(Helper* helper) {
  if (!helper) return;
  if (g_idleCount < kMaxIdleHelpers) {
    g_idleHelpers[g_idleCount++] = helper;
    return;
  }
  helper->record = nullptr;
  dll::SetEvent(helper->go);
}

bool AbandonLeg(ExchangeRecord* record) {
  // Counted before the change, so that the helper's count down never comes first.
  g_abandonedHelpers.fetch_add(1);
  uint32_t busy = kLegBusy;
  if (record->state.compare_exchange_strong(busy, kLegAbandoned)) return true;
  g_abandonedHelpers.fetch_sub(1);
  return false;
}

uint32_t AbandonedHelpers() { return g_abandonedHelpers.load(); }

uint32_t LiveExchangeRecords() { return g_liveRecords.load(); }

}  // namespace web
