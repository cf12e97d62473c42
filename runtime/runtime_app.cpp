#include "runtime/runtime_app.h"

#include <ole2.h>

#include <algorithm>

#include "framework/gbk_text.h"
#include "runtime/dll_binding.h"
#include "runtime/errors.h"
#include "runtime/form_hooks.h"
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

// A module's file name as UTF-16.
std::wstring WideModuleFileName(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, n < MAX_PATH ? n : MAX_PATH - 1);
}

// A module's file name as GBK. A character GBK cannot hold becomes '?', never a look-alike that
// could name another folder: the files the runtime looks for beside such a program count as
// missing.
std::string ModuleFileName(HMODULE module) {
  std::wstring path = WideModuleFileName(module);
  return fw::GbkPathFromWide(path.c_str(), static_cast<int>(path.size()));
}

}  // namespace

RuntimeApp& TheApp() {
  static RuntimeApp app;
  return app;
}

LRESULT HelperWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kEndProgramMessage) EndProgramNow(static_cast<int32_t>(wParam));
  return fw::WindowObject::WndProc(msg, wParam, lParam);
}

// Sets the module directory and runs the program's entry routine; its result (0) skips the
// framework's own loop, so ExitInstance follows at once.
BOOL RuntimeApp::InitInstance() {
  std::string path = ModuleFileName(instance);
  int cut = LastBackslash(path.c_str());
  paths.moduleDirectory.assign(path.c_str(), cut >= 0 ? cut + 1 : 0);
  const ProgramBinding& binding = BoundProgram();
  return binding.entry ? binding.entry() : FALSE;
}

// The executable's directory and file name. The directory is also made the current directory,
// by its UTF-16 name, so that it is the program's own folder even where GBK cannot hold it.
void RuntimeApp::SetProgramPaths() {
  std::string path = ModuleFileName(nullptr);
  int cut = LastBackslash(path.c_str());
  paths.programDirectory.assign(path.c_str(), cut >= 0 ? cut : 0);
  paths.programFileName.assign(cut >= 0 ? path.c_str() + cut + 1 : path.c_str());
  std::wstring wide = WideModuleFileName(nullptr);
  size_t wideCut = wide.rfind(L'\\');
  if (wideCut != std::wstring::npos && wideCut > 0) ::SetCurrentDirectoryW(wide.substr(0, wideCut).c_str());
}

void RuntimeApp::CreateHelperWindow() {
  if (helperWindow) return;
  helperWindow = new HelperWindow;
  const char* cls = fw::RegisterHelperClass(0, ::LoadCursor(nullptr, IDC_ARROW),
                                            static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)), nullptr);
  helperWindow->Create(WS_EX_TOOLWINDOW, cls, "", 0, 0, 0, 0, 0, nullptr, nullptr);
}

// Hands every library the service function, then keeps the library table.
void RuntimeApp::NotifyLibrariesOfStart(const ProgramInfo& info) {
  if (static_cast<int32_t>(info.libraryCount) <= 0) return;
  for (uint32_t i = 0; i < info.libraryCount; ++i) {
    const LibraryInfo* lib = info.libraries[i];
    if (lib && lib->notify) lib->notify(kLibEventStart, reinterpret_cast<uint32_t>(&RuntimeNotify), 0);
  }
  libraries.assign(info.libraries, info.libraries + info.libraryCount);
  libraryValues.assign(info.libraryCount, 0);
}

void RuntimeApp::Initialise(const ProgramInfo& info) {
  runMode = static_cast<int32_t>(info.runMode);
  if (!oleInitialised && SUCCEEDED(::OleInitialize(nullptr))) oleInitialised = true;
  SetProgramPaths();
  CreateHelperWindow();
  mainThreadId = ::GetCurrentThreadId();

  if (info.constantSize) AddConstantRange(info.constantStart, info.constantSize);

  if (static_cast<int32_t>(info.dllCommandCount) > 0) {
    uint32_t n = info.dllCommandCount;
    dll.files.assign(info.dllFiles, info.dllFiles + n);
    dll.names.assign(info.dllNames, info.dllNames + n);
    dll.modules.assign(n, nullptr);
    dll.addresses.assign(n, nullptr);
  }

  NotifyLibrariesOfStart(info);
  Forms().loadWindowTemplate(info);
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
  return Forms().raiseIdleEvents(::GetTickCount() - idleStart_, idleDeclined_) ? TRUE : FALSE;
}

void RuntimeApp::AddIdleCallback(const IdleCallback& callback) {
  if (!::IsWindow(callback.window) || !callback.routine) return;
  for (const IdleCallback& c : idleCallbacks)
    if (c.window == callback.window) return;
  idleCallbacks.push_back(callback);
}

void RuntimeApp::RemoveIdleCallback(HWND window) {
  std::erase_if(idleCallbacks, [window](const IdleCallback& c) { return c.window == window; });
}

// A routine may add or remove callbacks, so each step re-checks the index against the list.
void RuntimeApp::RunIdleCallbacks() {
  for (size_t i = idleCallbacks.size(); i-- > 0;) {
    if (i >= idleCallbacks.size()) continue;
    IdleCallback callback = idleCallbacks[i];
    if (!::IsWindow(callback.window)) idleCallbacks.erase(idleCallbacks.begin() + i);
    else callback.routine(callback.argument);
  }
}

const KeyEntry* RuntimeApp::FindKey(uint32_t key) const {
  for (const KeyEntry& entry : keys)
    if (entry.key == key) return &entry;
  return nullptr;
}

namespace {

// The runtime's additions to the framework's loop: the idle callbacks before each idle step
// and, for a modal window's loop, its two ways out.
class RuntimeLoopHook : public fw::LoopHook {
 public:
  RuntimeLoopHook(RuntimeApp& app, int mode) : app_(app), modal_(mode == 1) {}
  void BeforeIdle() override { app_.RunIdleCallbacks(); }
  bool Done() override { return modal_ && app_.modalWindowId == 0; }
  bool LeaveQueued(const MSG& pending) override { return modal_ && pending.message == WM_QUIT; }

 private:
  RuntimeApp& app_;
  bool modal_;
};

}  // namespace

// A WM_QUIT that a modal loop retrieves after all is posted again for the main loop.
void RuntimeApp::RunLoop(int mode) {
  RuntimeLoopHook hook(*this, mode);
  if (RunMessages(hook) && mode == 1) ::PostQuitMessage(static_cast<int>(quitCode));
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

  idleCallbacks.clear();
  Forms().destroyAllWindows();

  if (globalsCleanup) {
    GlobalsCleanupRoutine routine = globalsCleanup;
    globalsCleanup = nullptr;
    routine();
  }

  for (size_t i = 0; i < libraries.size(); ++i) {
    if (libraries[i] && libraries[i]->notify) libraries[i]->notify(kLibEventEnd, libraryValues[i], 0);
  }
  libraries.clear();
  libraryValues.clear();

  ReleaseDllCommands();
  ClearConstantRanges();

  defaultIconLarge.Reset();
  defaultIconSmall.Reset();

  if (helperWindow && helperWindow->IsWindow()) helperWindow->Destroy();

  for (IconRecord* record : iconRecords) ReleaseIconRecord(record);
  iconRecords.clear();

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
  MSG probe, msg;
  while (::PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE) && probe.message != WM_QUIT) app.PumpMessage(msg);
}

void DefaultIcons(HICON* large, HICON* small) {
  RuntimeApp& app = TheApp();
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  if (!app.defaultIconLarge)
    app.defaultIconLarge.Reset(static_cast<HICON>(::LoadImageW(module, L"DEFAULT_ICON", IMAGE_ICON,
        ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
  if (!app.defaultIconSmall)
    app.defaultIconSmall.Reset(static_cast<HICON>(::LoadImageW(module, L"DEFAULT_ICON", IMAGE_ICON,
        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
  if (large) *large = app.defaultIconLarge.Get();
  if (small) *small = app.defaultIconSmall.Get();
}

}  // namespace rt
