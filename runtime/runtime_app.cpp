#include "runtime/runtime_app.h"

#include <ole2.h>
#include <winsock2.h>

#include <algorithm>

#include "forms/form_runtime.h"
#include "runtime/dll_binding.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/program_binding.h"
#include "runtime/services.h"

namespace rt {
namespace {

// Splits a path at its last backslash, stepping over two-byte characters so that a trail
// byte equal to '\' is never taken for a separator. Returns the index or -1.
int LastBackslash(const char* path) {
  int last = -1;
  for (int i = 0; path[i]; ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\') last = i;
    else if (c >= 0x80 && path[i + 1]) ++i;
  }
  return last;
}

}  // namespace

RuntimeApp& TheApp() {
  static RuntimeApp app;
  return app;
}

RuntimeApp::RuntimeApp() { ::InitializeCriticalSection(&threadLock); }

RuntimeApp::~RuntimeApp() { ::DeleteCriticalSection(&threadLock); }

LRESULT HelperWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kEndProgramMessage) EndProgramNow(static_cast<int32_t>(wParam));
  return fw::WindowObject::WndProc(msg, wParam, lParam);
}

// Sets the module directory and runs the program's entry routine; its result (0) skips the
// framework's own loop, so ExitInstance follows at once.
BOOL RuntimeApp::InitInstance() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(instance, path, sizeof path);
  int cut = LastBackslash(path);
  moduleDirectory.assign(path, cut >= 0 ? cut + 1 : 0);
  const ProgramBinding& binding = BoundProgram();
  return binding.entry ? binding.entry() : FALSE;
}

void RuntimeApp::Initialise(const ProgramInfo& info) {
  program = &info;
  heap = ::GetProcessHeap();
  runMode = static_cast<int32_t>(info.runMode);
  reservedWord = static_cast<int32_t>(info.reserved);
  word3PlusOne = static_cast<int32_t>(info.word3 + 1);
  if (!oleInitialised && SUCCEEDED(::OleInitialize(nullptr))) oleInitialised = true;

  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, sizeof path);
  int cut = LastBackslash(path);
  programDirectory.assign(path, cut >= 0 ? cut : 0);
  programFileName.assign(cut >= 0 ? path + cut + 1 : path);
  if (!programDirectory.empty()) ::SetCurrentDirectoryA(programDirectory.c_str());

  if (!helperWindow) {
    helperWindow = new HelperWindow;
    const char* cls = fw::RegisterHelperClass(0, ::LoadCursor(nullptr, IDC_ARROW),
                                              static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)), nullptr);
    helperWindow->Create(WS_EX_TOOLWINDOW, cls, "", 0, 0, 0, 0, 0, nullptr, nullptr);
  }
  mainThreadId = ::GetCurrentThreadId();

  if (info.constantSize) AddConstantRange(info.constantStart, info.constantSize);

  if (static_cast<int32_t>(info.dllCommandCount) > 0) {
    uint32_t n = info.dllCommandCount;
    dll.files.assign(info.dllFiles, info.dllFiles + n);
    dll.names.assign(info.dllNames, info.dllNames + n);
    dll.modules.assign(n, nullptr);
    dll.addresses.assign(n, nullptr);
  }

  if (static_cast<int32_t>(info.libraryCount) > 0) {
    for (uint32_t i = 0; i < info.libraryCount; ++i) {
      const LibraryInfo* lib = info.libraries[i];
      if (lib && lib->notify) lib->notify(LIB_EVENT_START, reinterpret_cast<uint32_t>(&RuntimeNotify), 0);
    }
    libraries.assign(info.libraries, info.libraries + info.libraryCount);
    libraryValues.assign(info.libraryCount, 0);
  }

  forms::LoadWindowTemplate(info);
}

BOOL RuntimeApp::PreTranslateMessage(MSG* msg) {
  // Thread messages have no handlers in this runtime.
  if (!msg->hwnd) return FALSE;
  for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
    fw::WindowObject* object = fw::WindowObject::FromHandlePermanent(hwnd);
    if (!object) object = reinterpret_cast<fw::WindowObject*>(::SendMessageA(hwnd, kQueryObjectMessage, 0, 0));
    if (object && object->PreTranslateMessage(msg)) return TRUE;
    if (hwnd == mainWindow) break;
  }
  return FALSE;
}

// Framework idle work first; then, from idle count 2 on, the windows' idle event.
BOOL RuntimeApp::OnIdle(int32_t count) {
  if (count == 0) {
    frameworkIdlePending_ = TRUE;
    idleStart_ = ::GetTickCount();
    idleDeclined_.clear();
  }
  if (frameworkIdlePending_) {
    frameworkIdlePending_ = fw::App::OnIdle(count);
    return TRUE;
  }
  if (count < 2) return TRUE;
  return forms::RaiseIdleEvents(::GetTickCount() - idleStart_, idleDeclined_) ? TRUE : FALSE;
}

void RuntimeApp::RunLoop(int mode) {
  MSG probe;
  bool idleWanted = true;
  int32_t idleCount = 0;
  for (;;) {
    while (idleWanted && !::PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE)) {
      // Idle callbacks from the last to the first; a dead window's entry is dropped.
      for (size_t i = idleWindows.size(); i-- > 0;) {
        if (i >= idleWindows.size()) continue;
        if (!::IsWindow(idleWindows[i])) {
          idleWindows.erase(idleWindows.begin() + i);
          idleRoutines.erase(idleRoutines.begin() + i);
          idleArguments.erase(idleArguments.begin() + i);
        } else {
          idleRoutines[i](idleArguments[i]);
        }
      }
      if (!OnIdle(idleCount++)) idleWanted = false;
      if (mode == 1 && modalWindowId == 0) return;
    }
    // Pump until the queue is empty; the first retrieval waits for a message.
    do {
      if (mode == 1 && ::PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE) && probe.message == WM_QUIT)
        return;  // stays queued for the outer loop
      if (!PumpMessage()) {
        if (mode == 1) ::PostQuitMessage(static_cast<int>(currentMessage.wParam));
        return;
      }
      if (mode == 1 && modalWindowId == 0) return;
      if (IsIdleMessage(&currentMessage)) {
        idleWanted = true;
        idleCount = 0;
      }
    } while (::PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE));
  }
}

int RuntimeApp::ExitInstance() {
  Cleanup(0);
  return fw::App::ExitInstance();
}

void RuntimeApp::Cleanup(int32_t code) {
  ++eventBlockCount;
  if (mainThreadId && ::GetCurrentThreadId() != mainThreadId) {
    // Only the main thread may destroy windows: hand the end over to it.
    if (helperWindow && helperWindow->IsWindow())
      ::SendMessageA(helperWindow->Handle(), kEndProgramMessage, static_cast<WPARAM>(code), 0);
    if (!ending) ::ExitProcess(static_cast<UINT>(code));
    return;
  }
  if (ending) return;
  ending = true;

  idleWindows.clear();
  idleRoutines.clear();
  idleArguments.clear();

  forms::DestroyAllWindows();

  if (globalsCleanup) {
    GlobalsCleanupRoutine routine = globalsCleanup;
    globalsCleanup = nullptr;
    routine();
  }

  for (size_t i = 0; i < libraries.size(); ++i) {
    if (libraries[i] && libraries[i]->notify) libraries[i]->notify(LIB_EVENT_END, libraryValues[i], 0);
  }
  libraries.clear();
  libraryValues.clear();

  ReleaseDllCommands();

  for (HMODULE module : extraModules)
    if (module) ::FreeLibrary(module);
  extraModules.clear();
  extraModuleNames.clear();

  ClearConstantRanges();

  defaultIconLarge.Reset();
  defaultIconSmall.Reset();

  if (helperWindow && helperWindow->IsWindow()) helperWindow->Destroy();

  // Background threads: signal all under the lock, then wait for each outside it.
  std::vector<HANDLE> threads;
  ::EnterCriticalSection(&threadLock);
  threads.swap(backgroundThreads);
  for (HANDLE stop : backgroundStopEvents) ::SetEvent(stop);
  backgroundStopEvents.clear();
  ::LeaveCriticalSection(&threadLock);
  for (HANDLE thread : threads) {
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
  }

  for (IconRecord* record : iconRecords) ReleaseIconRecord(record);
  iconRecords.clear();

  if (socketsStarted) {
    ::WSACleanup();
    socketsStarted = false;
  }
  if (oleInitialised) {
    ::OleUninitialize();
    oleInitialised = false;
  }
}

void ReleaseIconRecord(IconRecord* record) {
  HICON icon = record->icon;
  void* buffer = record->buffer;
  record->icon = nullptr;
  record->buffer = nullptr;
  if (icon) ::DestroyIcon(icon);
  MemFree(buffer);
  MemFree(record);
}

void EndProgramNow(int32_t code) {
  TheApp().Cleanup(code);
  ::ExitProcess(static_cast<UINT>(code));
}

void ProcessPendingMessages() {
  RuntimeApp& app = TheApp();
  MSG probe;
  while (::PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE) && probe.message != WM_QUIT) app.PumpMessage();
}

void DefaultIcons(HICON* large, HICON* small) {
  RuntimeApp& app = TheApp();
  HINSTANCE module = ::GetModuleHandleA(nullptr);
  if (!app.defaultIconLarge)
    app.defaultIconLarge.Reset(static_cast<HICON>(::LoadImageA(module, "DEFAULT_ICON", IMAGE_ICON,
        ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
  if (!app.defaultIconSmall)
    app.defaultIconSmall.Reset(static_cast<HICON>(::LoadImageA(module, "DEFAULT_ICON", IMAGE_ICON,
        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
  if (large) *large = app.defaultIconLarge.Get();
  if (small) *small = app.defaultIconSmall.Get();
}

}  // namespace rt
