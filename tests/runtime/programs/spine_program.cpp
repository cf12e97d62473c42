// A minimal program on the runtime, driven by the spine tests. Its first argument picks what
// it does after initialisation; it logs its globals clean-up and its library's notifications
// to the file named by its second argument, so the test can see what ran and in which order.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "runtime/interface/constant_area.h"
#include "runtime/interface/runtime_interface.h"
#include "tests/support/program_arguments.h"

namespace {

char logPath[MAX_PATH];

void Log(const char* line) { test_support::AppendToLog(logPath, line); }

int32_t __cdecl TestLibraryNotify(int32_t event, uint32_t, uint32_t) {
  char line[32];
  std::snprintf(line, sizeof line, "library event %d", static_cast<int>(event));
  Log(line);
  return 0;
}

const LibraryInfo kTestLibrary = [] {
  LibraryInfo info{};
  info.format = kLibraryFormat;
  info.notify = &TestLibraryNotify;
  return info;
}();
const LibraryInfo* const kLibraries[] = {&kTestLibrary};

void __cdecl GlobalsCleanup() { Log("globals clean-up"); }

DWORD WINAPI EndFromWorker(void*) { EndProgram(7); }

PROGRAM_CONSTANT const char kConstantText[] = "abc";

// The constant lies inside the area the runtime knows; freeing it is ignored and resizing it
// copies it.
void CheckConstants() {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(kConstantText);
  Log(p >= kConstantAreaStart && p < kConstantAreaEnd ? "inside" : "outside");
  MemFree(const_cast<char*>(kConstantText));
  char* copy = static_cast<char*>(MemRealloc(const_cast<char*>(kConstantText), 100));
  Log(copy != kConstantText && !std::strcmp(copy, "abc") ? "copied" : "not copied");
  MemFree(copy);
}

}  // namespace

extern "C" HandlerReturn __cdecl SpineHandlerAtZero() { return kHandlerNoValue; }
extern "C" HandlerReturn __cdecl SpineHandlerLater() { return kHandlerNoValue; }

extern "C" const ProgramInfo kProgramInfo = {
    3, 0, 0x14805, reinterpret_cast<uintptr_t>(kHandlerBase), ConstantAreaStart(),
    ConstantAreaSize(), nullptr, 0,
    1, kLibraries, 0, nullptr, nullptr,
};

extern "C" int32_t __cdecl ProgramEntry() {
  char mode[32];
  test_support::ReadModeAndPath(mode, sizeof mode, logPath, sizeof logPath);
  ProgramOtherHelp(kHelpInitialiseRuntime, nullptr, 0);
  uint32_t routine = reinterpret_cast<uint32_t>(&GlobalsCleanup);
  ProgramOtherHelp(kHelpSetGlobalsCleanup, &routine, 1);
  if (!std::strcmp(mode, "constants")) CheckConstants();
  if (!std::strcmp(mode, "error6")) ReportRuntimeError(6);
  if (!std::strcmp(mode, "oom")) MemAlloc(0x7FFFFFF0);
  if (!std::strcmp(mode, "end")) EndProgram(3);
  if (!std::strcmp(mode, "nowindow")) LoadStartWindow(0x52010001);
  if (!std::strcmp(mode, "thread")) {
    // An end requested from another thread is carried out by the main thread.
    // The main thread keeps taking messages while it waits, as a window's loop would.
    HANDLE t = CreateThread(nullptr, 0, EndFromWorker, nullptr, 0, nullptr);
    while (MsgWaitForMultipleObjects(1, &t, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    Log("main thread continued");
  }
  RunMessageLoop();
  return 0;
}
