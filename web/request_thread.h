// The helper thread of one request. The WinINet calls that wait for the network (name
// resolution, connecting, sending and the response head inside HttpSendRequestA, and every
// InternetReadFile) run on it, one at a time, while the window's thread waits for each with
// window messages dispatched: the window repaints and takes clicks during every phase of a
// request, and the exit button, which ends the process from inside that dispatch, ends it at
// once.
//
// Ownership: the window's thread creates the thread's record (the call, its argument copies and
// its read buffer), its two events and the thread. When the request is over, the idle thread
// with its record and events is kept for the next request (one at a time); any other is ended
// and released. A call the window's thread stops waiting for because the program is
// ending is abandoned: record, events and thread are left as they are, so the call can still
// finish into memory that stays valid, and the end of the process takes them all.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "core_commands.h"
#include "dll_commands.h"

namespace web {

struct RequestThreadRecord;

class RequestThread {
 public:
  // Bytes InternetReadFile is asked for at a time.
  static constexpr uint32_t kChunkSize = 1024;
  // Redirects one request may follow; WinINet follows them on its own, and one more ends the
  // request as failed.
  static constexpr uint32_t kMaxRedirects = 10;

  // Starts the thread. Should that fail, the calls run on the window's thread as they come.
  RequestThread();
  RequestThread(const RequestThread&) = delete;
  RequestThread& operator=(const RequestThread&) = delete;
  // Ends and releases an idle thread; leaves an abandoned one alone.
  ~RequestThread();

  // The context to open the request handle with, and the status callback that counts its
  // redirects; call WatchRedirects once the handle is open.
  uint32_t Context() const;
  void WatchRedirects(dll::Handle request);

  // Names a header query that the request will make once its body is read:
  // HttpQueryInfoA(request, level, buffer, &length, nullptr) with `length` bytes of `buffer`
  // (at most kQueryBufferSize) as they are now. When the thread meets the end of the body
  // within a hand-over, it makes the planned queries right there, in order, and the matching
  // Query calls later return their results without a further hand-over. At most kPlannedQueries.
  void PlanQuery(uint32_t level, const void* buffer, uint32_t length);
  static constexpr uint32_t kPlannedQueries = 2;

  // HttpSendRequestA(request, headers, headersLength, optional, optionalLength) on the thread.
  // The thread works on copies of the two texts (a null one stays null), and in the same
  // hand-over goes on to read ahead from the request (see Read): each hand-over costs two
  // thread switches through the window server, more than a small page's own reads. True with
  // the call's result in *result; false when it did not come to its end: the program began
  // ending during the wait, or WinINet followed more than kMaxRedirects redirects.
  bool Send(dll::Handle request, const char* headers, uint32_t headersLength,
            const char* optional, uint32_t optionalLength, int32_t* result);
  // The next InternetReadFile(file, buffer, kChunkSize, &count), into a zeroed buffer of the
  // record; *data then points at *count bytes, valid until the next call. The result of the
  // call goes to *result. The thread reads ahead: one hand-over makes several reads in a row,
  // which later calls return in order without waiting. False as for Send.
  bool Read(dll::Handle file, const uint8_t** data, uint32_t* count, int32_t* result);

  // HttpQueryInfoA(request, level, buffer, length, nullptr) on the thread, through a copy of
  // the buffer held by the record (at most kQueryBufferSize bytes): assembling a large header
  // block takes WinINet long enough to be felt. A planned query already made (same level,
  // buffer and length) gives its result without a hand-over. False as for Send.
  bool Query(dll::Handle request, uint32_t level, void* buffer, uint32_t* length,
             int32_t* result);
  static constexpr uint32_t kQueryBufferSize = 2048;

  // True once a call was abandoned or stopped: nothing more may be asked of this request but
  // the closing of its handles.
  bool Stopped() const { return stopped_; }

 private:
  bool Call(dll::Command command, std::initializer_list<uint32_t> words, uint32_t* result);
  void StartReadAhead(dll::Handle file);

  core::OwnedBlock recordBlock_;            // the record's heap block, released with it
  RequestThreadRecord* record_ = nullptr;
  uint32_t nextRead_ = 0;                   // the next read-ahead result to return
  dll::Handle readFile_ = 0;                // the handle the read-ahead results come from
  core::Text sendCopy_;                     // the texts of the last send
  bool stopped_ = false;
  bool abandoned_ = false;
};

}  // namespace web
