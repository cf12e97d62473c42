// The helper threads that make the blocking WinINet calls of an exchange (web/exchange.h).
//
// One hand-over runs one leg of an exchange on a helper: the send, the whole body read in pieces
// that never wait past a receive limit, and the header queries the routine needs, then one
// signal. The window's thread meanwhile waits with window messages dispatched.
//
// A helper touches nothing of the program: not the DLL command table (the end of the program
// empties it), not the runtime heap (it goes at the end of the program), no program state. It
// calls WinINet and kernel32 only through the addresses in its record, taken on the window's
// thread when the exchange starts, and writes only into its record, which lives on the C++
// heap.
//
// A helper is never replaced by the window's thread itself: when no helper can be had (the
// system gives no thread, or too many abandoned helpers are still inside their calls) the leg
// fails at once, so no blocking WinINet call ever runs on the window's thread.
//
// Ownership of a record passes by one atomic state change. While a leg runs (kBusy) the helper
// owns the record. It ends the leg with kBusy -> kDone and from then on leaves the record to the
// window's thread. The window's thread may instead stop waiting (the program is ending, or the
// exchange ran out of time while a call is still blocked) with kBusy -> kAbandoned: the record
// is then the helper's for good; once its call returns, the helper closes the exchange's
// handles, frees the record and ends normally. Exactly one of the two changes succeeds.
#pragma once

#include <atomic>
#include <cstdint>

namespace web {

// A wait without a time limit (INFINITE).
inline constexpr uint32_t kNoTimeLimit = 0xFFFFFFFF;

// The functions a helper calls, as their addresses.
struct HelperCalls {
  int32_t(__stdcall* send)(uint32_t request, const char16_t* headers, uint32_t headersLength,
                           const void* optional, uint32_t optionalLength);
  int32_t(__stdcall* dataAvailable)(uint32_t file, uint32_t* available, uint32_t flags,
                                    uint32_t context);
  int32_t(__stdcall* read)(uint32_t file, void* buffer, uint32_t toRead, uint32_t* read);
  int32_t(__stdcall* query)(uint32_t request, uint32_t level, void* buffer, uint32_t* length,
                            uint32_t* index);
  int32_t(__stdcall* closeInternet)(uint32_t handle);
  int32_t(__stdcall* setEvent)(uint32_t event);
  uint32_t(__stdcall* wait)(uint32_t object, uint32_t milliseconds);
  uint32_t(__stdcall* tickCount)();
  int32_t(__stdcall* closeHandle)(uint32_t object);
};

// Takes the addresses through the declared GetProcAddress command, from WinINet (pinned, so it
// stays loaded while an abandoned helper is inside it) and kernel32. False when one is missing.
bool TakeHelperCalls(HelperCalls* calls);

enum LegState : uint32_t { kLegIdle, kLegBusy, kLegDone, kLegAbandoned };

struct Helper;

// An exchange's record on the C++ heap: its handles, the leg to run and what the leg gave.
struct ExchangeRecord {
  static constexpr uint32_t kPieceSize = 1024;        // bytes asked of one InternetReadFile
  static constexpr uint32_t kHeaderBufferSize = 2048;
  // The longest Retry-After or Date value kept; an HTTP-date takes 29 bytes.
  static constexpr uint32_t kFieldSize = 64;
  // The longest Location read; a redirect naming a longer one fails the exchange.
  static constexpr uint32_t kLongestLocation = 64 * 1024;

  HelperCalls calls;
  std::atomic<uint32_t> state{kLegIdle};
  Helper* helper = nullptr;       // the window's thread's note of who runs the leg
  uint32_t finishedEvent = 0;     // set by the helper after kBusy -> kDone
  // The exchange's handles, closed by the helper when the record is abandoned.
  uint32_t internet = 0, connection = 0, request = 0;
  // The leg: what is sent, and the tick count by which the exchange must be over.
  char16_t* headers = nullptr;    // malloc'ed copies, each zero-terminated
  uint32_t headersLength = 0;     // UTF-16 units
  char* optional = nullptr;
  uint32_t optionalLength = 0;
  uint32_t deadline = 0;
  // What the leg gave.
  bool sent = false;              // the send succeeded: a response came
  bool readFailed = false;        // a piece of the body could not be read
  bool timedOut = false;          // the deadline passed between two calls
  uint8_t* body = nullptr;        // malloc'ed, bodyLength bytes used of bodyCapacity
  uint32_t bodyLength = 0, bodyCapacity = 0;
  uint32_t status = 0;            // 0 when the query failed
  bool hasLocation = false;       // asked only of redirect statuses
  bool locationTooLong = false;   // longer than kLongestLocation
  char* location = nullptr;       // malloc'ed, zero-terminated; locationCapacity bytes
  uint32_t locationCapacity = 0;
  int32_t headersFound = 0;       // what the raw header query returned
  uint32_t headersSize = 0;       // the length word it left
  char rawHeaders[kHeaderBufferSize + 1] = {};  // starts as blanks; a failed query leaves them
  bool hasContentLength = false;
  uint32_t contentLength = 0;
  // An error answer's Retry-After and Date fields, asked for by name, so they are read however
  // large the header block; empty when absent or longer than kFieldSize.
  char retryAfter[kFieldSize + 1] = {};
  char date[kFieldSize + 1] = {};

  ExchangeRecord();
  ~ExchangeRecord();
  // Forgets what the last leg gave, before the next one.
  void ClearResults();
};

// Whether the tick count `now` is at or past `deadline`, also when the 32-bit count wrapped in
// between (deadlines lie less than 2^31 ms ahead). Every deadline of the exchanges is compared
// here.
inline bool PastDeadline(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) >= 0;
}

// The most helpers that may be left inside calls of abandoned exchanges at once; past it a new
// leg fails at once instead of starting another thread.
inline constexpr uint32_t kMaxAbandonedHelpers = 32;

// Hands the record's leg to an idle helper (starting one when none is idle) and marks it busy.
// False, with the record untouched and still idle, when no helper can be had.
bool HandLegToHelper(ExchangeRecord* record);
// Once the record is kLegDone: its helper goes back to the idle pool (of at most 16) or ends.
void ReleaseHelper(Helper* helper);
// kBusy -> kAbandoned. True when it succeeded: the record is no longer the caller's to touch.
// False when the leg was done meanwhile: the record stays the caller's.
bool AbandonLeg(ExchangeRecord* record);
// Helpers of abandoned exchanges still inside their calls.
uint32_t AbandonedHelpers();

// Exchange records alive now, abandoned ones included: every exchange's record (and the body
// and Location it holds) is freed when the exchange ends, or by its helper once an abandoned
// call returns, so after a check the count is back at its level.
uint32_t LiveExchangeRecords();

// The auto-reset event every helper sets after it finished a leg; never closed.
uint32_t LegFinishedEvent();

}  // namespace web
