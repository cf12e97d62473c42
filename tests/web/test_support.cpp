// Shared set-up of the program-code tests.
#include "tests/web/test_support.h"

#include <chrono>
#include <cstring>
#include <mutex>

#include "commands/commands.h"
#include "program/dll_commands.h"
#include "runtime/interface/runtime_interface.h"
#include "runtime/program_binding.h"
#include "tests/support/core_library_record.h"

namespace {
// The core library's commands; its unit types are not needed by program code tests.
const LibraryInfo kCoreLibrary = CommandsOnlyCoreLibrary();
const LibraryInfo* const kLibraries[] = {&kCoreLibrary};
}  // namespace

// The test program: the core library and the program's own DLL declarations, no windows.
extern "C" const ProgramInfo kProgramInfo = {
    3, 0, 0x14805, 0, nullptr, 0, nullptr, 0, 1, kLibraries, dll::kCommandCount, dll::kFiles,
    dll::kNames};

DispatchCounter::DispatchCounter() {
  static const char kClass[] = "TestDispatchCounter";
  WNDCLASSA wc{};
  wc.lpfnWndProc = Procedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassA(&wc);  // fails harmlessly when a counter made it before
  window_ = CreateWindowA(kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

DispatchCounter::~DispatchCounter() { DestroyWindow(window_); }

LRESULT CALLBACK DispatchCounter::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP)
    if (auto* counter = reinterpret_cast<DispatchCounter*>(GetWindowLongPtrA(window, GWLP_USERDATA)))
      ++counter->dispatched_;
  return DefWindowProcA(window, message, wParam, lParam);
}

void StartTestRuntime() {
  static std::once_flag once;
  std::call_once(once, [] {
    rt::BindProgram(&kProgramInfo, nullptr);
    ProgramOtherHelp(kHelpInitialiseRuntime, nullptr, 0);
  });
}

BoxWatcher::BoxWatcher(DWORD pid, DWORD timeoutMs, HANDLE process) {
  thread_ = std::thread([this, pid, timeoutMs, process] {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return;
      HWND box = FindMessageBox(pid);
      if (box) {
        seen_ = ReadMessageBox(box);
        PressOk(box);
        return;
      }
      Sleep(50);
    }
  });
}

BoxWatcher::~BoxWatcher() {
  if (thread_.joinable()) thread_.join();
}

BoxSeen BoxWatcher::Wait() {
  if (thread_.joinable()) thread_.join();
  return seen_;
}

std::string TakeText(char* text) {
  std::string s = text ? text : "";
  MemFree(text);
  return s;
}

std::string TakeText(core::Text text) { return text.c_str(); }

std::string TakeBytes(core::Bytes set) {
  return std::string(reinterpret_cast<const char*>(set.data()), set.size());
}

std::string TakeBytes(uint8_t* set) {
  std::string s(reinterpret_cast<const char*>(ByteSetData(set)), ByteSetLength(set));
  MemFree(set);
  return s;
}

char* HeapText(const std::string& s) {
  if (s.empty()) return nullptr;
  char* t = static_cast<char*>(MemAlloc(static_cast<uint32_t>(s.size() + 1)));
  std::memcpy(t, s.c_str(), s.size() + 1);
  return t;
}

