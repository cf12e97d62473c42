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
constexpr uint32_t kMaxWords = 8;

}  // namespace

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
  uint32_t readCount;         // bytes the last read delivered into `chunk`
  uint32_t queryLength;       // the length word of the last query
  uint8_t chunk[RequestThread::kChunkSize];
  uint8_t query[RequestThread::kQueryBufferSize];
};

namespace {

// The helper thread: runs each call it is given until it is told to end.
uint32_t __stdcall RunCalls(void* parameter) {
  auto* record = static_cast<RequestThreadRecord*>(parameter);
  for (;;) {
    dll::WaitForSingleObject(record->go, kInfinite);
    if (record->command == kEndThread) return 0;
    record->result = ProgramCallDll(record->command, record->words, record->count);
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
  if (!record_->thread) {
    *result = ProgramCallDll(command, words.begin(), count);
    return true;
  }
  record_->command = command;
  record_->count = count < kMaxWords ? count : kMaxWords;
  std::memcpy(record_->words, words.begin(), 4 * record_->count);
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
  uint32_t value = 0;
  bool over = Call(dll::kHttpSendRequest,
                   {request, reinterpret_cast<uint32_t>(headers ? headersCopy : nullptr),
                    headersLength, reinterpret_cast<uint32_t>(optional ? optionalCopy : nullptr),
                    optionalLength},
                   &value);
  *result = static_cast<int32_t>(value);
  return over;
}

bool RequestThread::Read(dll::Handle file, const uint8_t** data, uint32_t* count,
                         int32_t* result) {
  std::memset(record_->chunk, 0, kChunkSize);
  record_->readCount = 0;
  uint32_t value = 0;
  bool over = Call(dll::kInternetReadFile,
                   {file, reinterpret_cast<uint32_t>(record_->chunk), kChunkSize,
                    reinterpret_cast<uint32_t>(&record_->readCount)},
                   &value);
  *data = record_->chunk;
  *count = over ? record_->readCount : 0;
  *result = static_cast<int32_t>(value);
  return over;
}

bool RequestThread::Query(dll::Handle request, uint32_t level, void* buffer, uint32_t* length,
                          int32_t* result) {
  uint32_t size = *length < kQueryBufferSize ? *length : kQueryBufferSize;
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
