#include "tests/extui/fake_runtime.h"

#include "extui/ext_library.h"
#include "extui/rich_edit_class.h"
#include "runtime/heap_blocks.h"
#include "runtime/interface/services.h"

namespace extui_test {

FakeRuntime& Runtime() {
  static FakeRuntime runtime;
  return runtime;
}

int FakeRuntime::CountEvents(int32_t event) const {
  int n = 0;
  for (const auto& e : events) n += e.event == event;
  return n;
}

namespace {

int32_t __cdecl FakeNotify(int32_t code, uint32_t a1, uint32_t a2) {
  FakeRuntime& rt = Runtime();
  switch (code) {
    // Blocks come from the runtime's own store, uninitialised as the runtime gives them, so
    // in a guarded build the library's overreads and uses after free fault here too.
    case kSvcAlloc:
      ++rt.allocations;
      return static_cast<int32_t>(reinterpret_cast<uintptr_t>(::rt::blocks::Allocate(a1)));
    case kSvcFree:
      ++rt.frees;
      if (a1) ::rt::blocks::Release(reinterpret_cast<void*>(static_cast<uintptr_t>(a1)));
      return 0;
    case kSvcFireEvent: {
      const auto* rec = reinterpret_cast<const EventRecord*>(static_cast<uintptr_t>(a1));
      rt.events.push_back({rec->windowId, rec->unitId, rec->event});
      if (rt.onEvent) rt.onEvent(rt.events.back());
      return 0;
    }
    case kSvcReleaseUnitData:
      rt.released.emplace_back(static_cast<int32_t>(a1), static_cast<int32_t>(a2));
      rt.units.erase({static_cast<int32_t>(a1), static_cast<int32_t>(a2)});
      return 0;
    case kSvcUnitObject:
    case kSvcUnitObjectChecked: {
      auto it = rt.units.find({static_cast<int32_t>(a1), static_cast<int32_t>(a2)});
      if (it != rt.units.end()) return static_cast<int32_t>(reinterpret_cast<uintptr_t>(it->second));
      // The real runtime shows the error box and ends the program here.
      if (code == kSvcUnitObjectChecked) rt.errors.push_back(extui::kUnitNotLoaded);
      return 0;
    }
    default:
      return 0;
  }
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND && lParam)
    return SendMessageA(reinterpret_cast<HWND>(lParam), extui::kReflectBase + msg, wParam, lParam);
  if (msg == WM_NOTIFY && lParam)
    return SendMessageA(reinterpret_cast<NMHDR*>(lParam)->hwndFrom, extui::kReflectBase + msg,
                        wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

void InstallFakeRuntime() {
  Runtime().Reset();
  kExtUiLibraryInfo.notify(kLibEventStart, reinterpret_cast<uintptr_t>(&FakeNotify), 0);
}

HWND CreateHostWindow() {
  static HWND host = nullptr;
  if (host) {
    // One host for the whole run (destroying a shown top-level window is slow on a bare X
    // display): each test starts with it empty.
    while (HWND child = GetWindow(host, GW_CHILD)) DestroyWindow(child);
    return host;
  }
  {
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ExtUiTestHost";
    RegisterClassA(&wc);
  }
  host = CreateWindowExA(0, "ExtUiTestHost", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              500, 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  return host;
}

extui::RichEditUnit* CreateBox(HWND host, const void* block, int32_t length, int32_t unitId,
                               uint32_t designFlag) {
  auto create = reinterpret_cast<UnitCreateFn>(extui::RichEditUnitInterface(kUnitOpCreate));
  void* object = create(block, length, WS_VISIBLE | WS_TABSTOP, host, 140, nullptr, 10, 10, 300,
                        200, 1, unitId, 0, designFlag);
  if (!object) return nullptr;
  Runtime().units[{1, unitId}] = object;
  return static_cast<extui::RichEditUnit*>(static_cast<fw::WindowObject*>(object));
}

int32_t WriteProp(extui::RichEditUnit* unit, int32_t classIndex, uint32_t value) {
  auto write = reinterpret_cast<UnitWriteFn>(extui::RichEditUnitInterface(kUnitOpWrite));
  UnitValue v{value, 0};
  int32_t out = 77;
  const int32_t r = write(static_cast<fw::WindowObject*>(unit), classIndex, &v, &out);
  return out == 0 ? r : -100;  // the out word must have been cleared
}

int32_t WriteText(extui::RichEditUnit* unit, int32_t classIndex, const char* text) {
  return WriteProp(unit, classIndex, reinterpret_cast<uintptr_t>(text));
}

int32_t ReadInt(extui::RichEditUnit* unit, int32_t classIndex) {
  auto read = reinterpret_cast<UnitReadFn>(extui::RichEditUnitInterface(kUnitOpRead));
  UnitValue v{0, 0};
  read(static_cast<fw::WindowObject*>(unit), classIndex, &v);
  return static_cast<int32_t>(v.first);
}

std::string ReadText(extui::RichEditUnit* unit, int32_t classIndex) {
  auto read = reinterpret_cast<UnitReadFn>(extui::RichEditUnitInterface(kUnitOpRead));
  UnitValue v{0, 0};
  read(static_cast<fw::WindowObject*>(unit), classIndex, &v);
  const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(v.first));
  return text ? text : "";
}

void SetSelFormat(int32_t windowId, int32_t unitId, const void* format) {
  ArgRecord args[2];
  args[0] = MakeArg(extui::kRichEditType,
                    static_cast<uint32_t>(windowId) | uint64_t{static_cast<uint32_t>(unitId)} << 32);
  args[1] = MakeArg(extui::kCharFormatType, reinterpret_cast<uintptr_t>(format));
  ArgRecord result{};
  kExtUiLibraryInfo.commands[0](&result, 2, args);
}

namespace {
DWORD CALLBACK AppendOut(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* taken) {
  reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<char*>(buffer), count);
  *taken = count;
  return 0;
}
}  // namespace

std::string ControlText(HWND control) {
  std::string out;
  EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&out), 0, AppendOut};
  SendMessageA(control, EM_STREAMOUT, SF_TEXT, reinterpret_cast<LPARAM>(&es));
  return out;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace extui_test
