// The helper thread of one request and the message-dispatching wait for its calls.
#include "request_thread.h"

#include <cstring>

#include "core_commands.h"
#include "runtime_interface.h"
#include "window_routines.h"

namespace web {

namespace {

constexpr uint32_t kInfinite = 0xFFFFFFFF;          // INFINITE
constexpr uint32_t kWaitObject0 = 0;                // WAIT_OBJECT_0
constexpr uint32_t kAllInput = 0x04FF;              // QS_ALLINPUT
constexpr uint32_t kInputAvailable = 0x0004;        // MWMO_INPUTAVAILABLE
constexpr uint32_t kStatusRedirect = 110;           // INTERNET_STATUS_REDIRECT
constexpr uint32_t kPinModule = 1;                  // GET_MODULE_HANDLE_EX_FLAG_PIN
constexpr uint32_t kEndThread = 0xFFFFFFFF;         // the command that ends the thread
constexpr uint32_t kReadBatch = 0xFFFFFFFE;         // the command that reads ahead
constexpr uint32_t kSendAndRead = 0xFFFFFFFD;       // sends, then reads ahead
// Reads one read-ahead makes at most. The body is used only once it is whole, so reading ahead
// changes nothing but the number of hand-overs between the two threads, which under Wine cost
// more than a read of data already there.
constexpr uint32_t kReadAhead = 16;
constexpr uint32_t kMaxWords = 8;

}  // namespace

// A header query named in advance, made by the thread once it meets the end of the body.
struct PlannedQuery {
  uint32_t level;
  uint32_t offered;           // bytes of the buffer offered to the query
  uint32_t length;            // the length word the query left
  int32_t result;             // what HttpQueryInfoA returned
  uint32_t made;              // 1 once the thread has made it
  uint8_t initial[RequestThread::kQueryBufferSize];   // the buffer as the caller will offer it
  uint8_t buffer[RequestThread::kQueryBufferSize];    // the buffer as the query left it
};

// Shared by the window's thread and the helper thread. The window's thread writes a call and
// signals `go`; the helper thread runs it, writes `result` and signals `done`. Each event hands
// the record over as a whole, so neither side touches it while the other owns it. Only the
// status callback writes `redirects` and `redirectLoop`, on the helper thread, during a call.
struct RequestThreadRecord {
  dll::Handle thread;         // null: calls run on the window's thread
  dll::Handle go;             // auto-reset event: a call (or the end) is waiting
  dll::Handle done;           // auto-reset event: the call is over
  uint32_t command;           // a dll::Command, or kEndThread
  uint32_t count;             // argument words
  uint32_t words[kMaxWords];
  uint32_t result;
  uint32_t redirects;         // redirects followed so far
  uint32_t redirectLoop;      // 1: more than kMaxRedirects; the thread has ended
  uint32_t queryLength;       // the length word of the last query
  uint32_t plannedCount;      // planned queries for the current request
  PlannedQuery planned[RequestThread::kPlannedQueries];
  uint32_t batchReads;        // reads the last read-ahead made, each into its chunk of `chunk`
  uint32_t batchCounts[kReadAhead];   // bytes each of them delivered
  int32_t batchResults[kReadAhead];   // what InternetReadFile returned for each
  uint8_t chunk[kReadAhead * RequestThread::kChunkSize];
  uint8_t query[RequestThread::kQueryBufferSize];
};

namespace {

// Makes the planned header queries on the request in words[0], in the order they were planned.
void MakePlannedQueries(RequestThreadRecord* record) {
  for (uint32_t i = 0; i < record->plannedCount; ++i) {
    PlannedQuery& q = record->planned[i];
    std::memcpy(q.buffer, q.initial, q.offered);
    q.length = q.offered;
    const uint32_t words[5] = {record->words[0], q.level, reinterpret_cast<uint32_t>(q.buffer),
                               reinterpret_cast<uint32_t>(&q.length), 0};
    q.result = static_cast<int32_t>(ProgramCallDll(dll::kHttpQueryInfo, words, 5));
    q.made = 1;
  }
}

// Reads ahead from the file handle in words[0]: 1024-byte reads, one after the other, each into
// its own chunk, until a read fails or delivers nothing or kReadAhead reads are made. A read
// that ends the body is followed by the planned queries.
uint32_t ReadAhead(RequestThreadRecord* record) {
  for (record->batchReads = 0; record->batchReads < kReadAhead;) {
    uint32_t i = record->batchReads;
    uint32_t count = 0;
    const uint32_t words[4] = {record->words[0],
                               reinterpret_cast<uint32_t>(record->chunk + i * RequestThread::kChunkSize),
                               RequestThread::kChunkSize, reinterpret_cast<uint32_t>(&count)};
    int32_t succeeded = static_cast<int32_t>(ProgramCallDll(dll::kInternetReadFile, words, 4));
    record->batchCounts[i] = count;
    record->batchResults[i] = succeeded;
    record->batchReads = i + 1;
    if (!succeeded || count == 0) {
      MakePlannedQueries(record);
      break;
    }
  }
  return 1;
}

// Runs the call the record holds. A send's result is the call's; its read-ahead is kept in
// the record like any other.
uint32_t RunCall(RequestThreadRecord* record) {
  if (record->command == kReadBatch) return ReadAhead(record);
  if (record->command == kSendAndRead) {
    uint32_t sent = ProgramCallDll(dll::kHttpSendRequest, record->words, record->count);
    ReadAhead(record);
    return sent;
  }
  return ProgramCallDll(record->command, record->words, record->count);
}

// The helper thread: runs each call it is given until it is told to end.
uint32_t __stdcall RunCalls(void* parameter) {
  auto* record = static_cast<RequestThreadRecord*>(parameter);
  for (;;) {
    dll::WaitForSingleObject(record->go, kInfinite);
    if (record->command == kEndThread) return 0;
    record->result = RunCall(record);
    dll::SetEvent(record->done);
  }
}

// WinINet's status callback for a watched request. WinINet follows redirects inside
// HttpSendRequestA, on the helper thread, and offers no way to stop them; a server that
// redirects to itself would keep it there for ever. Past the limit the thread tells the window's
// thread and ends itself here: the platform's WinINet holds no lock of its own while it reports
// a redirect (the next request of the program goes through as usual), and what the unfinished
// call had allocated stays with the request handle, which is closed as usual.
void __stdcall OnRequestStatus(dll::Handle, uint32_t context, uint32_t status, void*, uint32_t) {
  if (status != kStatusRedirect || context == 0) return;
  auto* record = reinterpret_cast<RequestThreadRecord*>(context);
  if (++record->redirects <= RequestThread::kMaxRedirects) return;
  record->redirectLoop = 1;
  dll::SetEvent(record->done);
  dll::ExitThread(0);
}

// Keeps WinINet loaded to the end of the process. The end of the program releases the DLLs of
// the declared commands before the process exits; a request abandoned at that moment is still
// inside WinINet on its thread.
void PinWinInet() {
  static bool pinned = false;
  dll::Handle module = 0;
  if (!pinned) pinned = dll::GetModuleHandleExA(kPinModule, "wininet.dll", &module) != 0;
}

// The thread of a finished request, waiting for its next call. Starting a thread and its two
// events for every request would cost more than a request's own work on a fast network; a
// thread left waiting here at the end of the process ends with it.
RequestThreadRecord* spareRecord = nullptr;

}  // namespace

RequestThread::RequestThread() {
  if (spareRecord) {
    record_ = spareRecord;
    spareRecord = nullptr;
    record_->redirects = 0;
    record_->batchReads = 0;
    record_->plannedCount = 0;
  } else {
    record_ = static_cast<RequestThreadRecord*>(MemAlloc(sizeof(RequestThreadRecord)));
    std::memset(record_, 0, sizeof *record_);
    PinWinInet();
    record_->go = dll::CreateEventA(nullptr, 0, 0, nullptr);
    record_->done = dll::CreateEventA(nullptr, 0, 0, nullptr);
    if (record_->go && record_->done)
      record_->thread = dll::CreateThread(nullptr, 0, RunCalls, record_, 0, nullptr);
  }
  recordBlock_ = core::OwnedBlock(record_);
}

RequestThread::~RequestThread() {
  if (abandoned_) {
    // The call may still finish into the record and read the copies: both stay.
    recordBlock_.Release();
    sendCopy_.Release();
    return;
  }
  // A thread that is waiting for its next call is kept for the next request, unless one is
  // kept already (a request made by a handler during another one).
  if (record_->thread && !record_->redirectLoop && !spareRecord) {
    spareRecord = record_;
    recordBlock_.Release();
    return;
  }
  if (record_->thread && !record_->redirectLoop) {
    record_->command = kEndThread;
    dll::SetEvent(record_->go);
  }
  // An idle thread ends at once; one that stopped a redirect loop has ended already.
  if (record_->thread) dll::WaitForSingleObject(record_->thread, kInfinite);
  for (dll::Handle h : {record_->thread, record_->go, record_->done})
    if (h) dll::CloseHandle(h);
}

uint32_t RequestThread::Context() const {
  return record_->thread ? reinterpret_cast<uint32_t>(record_) : 0;
}

void RequestThread::WatchRedirects(dll::Handle request) {
  // The callback ends the thread it runs on, so it watches only requests sent from the thread.
  if (record_->thread) dll::InternetSetStatusCallbackA(request, OnRequestStatus);
}

// Runs one call. While it runs on the thread, this thread waits for it or for input; input is
// dispatched, and once the program is ending (the window was closed meanwhile) the call is
// abandoned. A failed wait falls back to waiting without dispatching.
bool RequestThread::Call(dll::Command command, std::initializer_list<uint32_t> words,
                         uint32_t* result) {
  if (stopped_ || ProgramEnding()) {
    stopped_ = true;
    return false;
  }
  uint32_t count = static_cast<uint32_t>(words.size());
  record_->command = command;
  record_->count = count < kMaxWords ? count : kMaxWords;
  std::memcpy(record_->words, words.begin(), 4 * record_->count);
  if (!record_->thread) {
    *result = RunCall(record_);
    return true;
  }
  dll::SetEvent(record_->go);
  for (;;) {
    uint32_t woke = dll::MsgWaitForMultipleObjectsEx(1, &record_->done, kInfinite, kAllInput,
                                                     kInputAvailable);
    if (woke == kWaitObject0) break;
    if (woke != kWaitObject0 + 1) {
      dll::WaitForSingleObject(record_->done, kInfinite);
      break;
    }
    core::ProcessEvents();
    if (ProgramEnding()) {
      stopped_ = abandoned_ = true;
      return false;
    }
  }
  if (record_->redirectLoop) {
    stopped_ = true;
    return false;
  }
  *result = record_->result;
  return true;
}

bool RequestThread::Send(dll::Handle request, const char* headers, uint32_t headersLength,
                         const char* optional, uint32_t optionalLength, int32_t* result) {
  // One block holds both copies, each with its terminator.
  sendCopy_ = core::Text(MemAlloc(headersLength + optionalLength + 2));
  char* headersCopy = sendCopy_.get();
  char* optionalCopy = headersCopy + headersLength + 1;
  if (headersLength) std::memcpy(headersCopy, headers, headersLength);
  headersCopy[headersLength] = '\0';
  if (optionalLength) std::memcpy(optionalCopy, optional, optionalLength);
  optionalCopy[optionalLength] = '\0';
  StartReadAhead(request);
  uint32_t value = 0;
  bool over = Call(static_cast<dll::Command>(kSendAndRead),
                   {request, reinterpret_cast<uint32_t>(headers ? headersCopy : nullptr),
                    headersLength, reinterpret_cast<uint32_t>(optional ? optionalCopy : nullptr),
                    optionalLength},
                   &value);
  *result = static_cast<int32_t>(value);
  return over;
}

// Empties the read-ahead before a hand-over that reads from `file`.
void RequestThread::StartReadAhead(dll::Handle file) {
  std::memset(record_->chunk, 0, sizeof record_->chunk);
  record_->batchReads = 0;
  nextRead_ = 0;
  readFile_ = file;
}

void RequestThread::PlanQuery(uint32_t level, const void* buffer, uint32_t length) {
  if (record_->plannedCount >= kPlannedQueries) return;
  PlannedQuery& q = record_->planned[record_->plannedCount++];
  q.level = level;
  q.offered = length < kQueryBufferSize ? length : kQueryBufferSize;
  q.made = 0;
  std::memcpy(q.initial, buffer, q.offered);
}

bool RequestThread::Read(dll::Handle file, const uint8_t** data, uint32_t* count,
                         int32_t* result) {
  // After a stopped call the record may still be written by the thread.
  if (stopped_ || file != readFile_ || nextRead_ >= record_->batchReads) {
    StartReadAhead(file);
    uint32_t value = 0;
    if (!Call(static_cast<dll::Command>(kReadBatch), {file}, &value)) {
      *data = record_->chunk;
      *count = 0;
      *result = 0;
      return false;
    }
  }
  uint32_t i = nextRead_++;
  *data = record_->chunk + i * kChunkSize;
  *count = record_->batchCounts[i];
  *result = record_->batchResults[i];
  return true;
}

bool RequestThread::Query(dll::Handle request, uint32_t level, void* buffer, uint32_t* length,
                          int32_t* result) {
  uint32_t size = *length < kQueryBufferSize ? *length : kQueryBufferSize;
  for (uint32_t i = 0; i < record_->plannedCount && !stopped_; ++i) {
    const PlannedQuery& q = record_->planned[i];
    if (q.made && q.level == level && q.offered == size && std::memcmp(q.initial, buffer, size) == 0) {
      std::memcpy(buffer, q.buffer, size);
      *length = q.length;
      *result = q.result;
      return true;
    }
  }
  std::memcpy(record_->query, buffer, size);
  record_->queryLength = size;
  uint32_t value = 0;
  bool over = Call(dll::kHttpQueryInfo,
                   {request, level, reinterpret_cast<uint32_t>(record_->query),
                    reinterpret_cast<uint32_t>(&record_->queryLength), 0},
                   &value);
  *result = over ? static_cast<int32_t>(value) : 0;
  if (!over) return false;
  std::memcpy(buffer, record_->query, size);
  *length = record_->queryLength;
  return true;
}

}  // namespace web
