// Shared set-up of the program-code tests: the runtime initialised with the program's own DLL
// declarations, a watcher that answers message boxes, and small value helpers.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include "runtime/interface/core_commands.h"
#include "runtime/interface/runtime_interface.h"
#include "tests/support/message_box.h"

// Initialises the runtime once per process with the program's own DLL declarations and no
// windows or libraries, as the program's entry routine would.
void StartTestRuntime();

// Waits on a thread of its own for one message box of process `pid` (this process when 0),
// records it and presses OK. Gives up after the timeout, or as soon as `process` (when given)
// has ended. Join with Wait().
class BoxWatcher {
 public:
  explicit BoxWatcher(DWORD pid = 0, DWORD timeoutMs = 15000, HANDLE process = nullptr);
  ~BoxWatcher();
  BoxSeen Wait();

 private:
  std::thread thread_;
  BoxSeen seen_;
};

// A message-only window of this thread that counts the WM_APP messages dispatched to it: posted
// before a long routine runs, they show whether the routine dispatched the waiting messages.
class DispatchCounter {
 public:
  DispatchCounter();
  ~DispatchCounter();
  DispatchCounter(const DispatchCounter&) = delete;
  DispatchCounter& operator=(const DispatchCounter&) = delete;

  void Post() { PostMessageA(window_, WM_APP, 0, 0); }
  int Dispatched() const { return dispatched_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window_ = nullptr;
  int dispatched_ = 0;
};

// Program values as strings: a heap text (null = "") and a byte set; both are freed.
std::string TakeText(char* text);
std::string TakeText(core::Text text);
std::string TakeBytes(uint8_t* set);
std::string TakeBytes(core::Bytes set);
// A new heap text holding `s` (null for ""), as a program variable would.
char* HeapText(const std::string& s);
