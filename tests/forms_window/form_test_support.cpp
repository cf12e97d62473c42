#include "tests/forms_window/form_test_support.h"

#include "forms/button.h"
#include "forms/edit_box.h"
#include "forms/form_runtime.h"
#include "forms/form_window.h"
#include "framework/window.h"
#include "runtime/runtime_app.h"
#include "runtime/services.h"

extern "C" const unsigned char kFormTestTemplate[];
extern "C" const unsigned kFormTestTemplateSize;
extern "C" const char kHandlerBase[];

namespace formtest {
namespace {

UnitClassInfo coreTypes[51];

// A dock bar notes the runtime's private messages it receives.
class Bar : public fw::WindowObject {
 public:
  explicit Bar(uint32_t unitId) : unitId_(unitId) {}

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == 0x806F || msg == 0x8076) PrivateMessages().emplace_back(msg, unitId_);
    return fw::WindowObject::WndProc(msg, wParam, lParam);
  }

 private:
  uint32_t unitId_;
};

// A dockable bar class of the tests (class 20): a plain child window whose low two style bits
// come from the first word of its block (1 stacks at the top, 3 at the bottom).
void* __cdecl CreateBar(const void* block, int32_t length, uint32_t style, void* parent, uint32_t controlId,
                        void*, int32_t left, int32_t top, int32_t width, int32_t height, int32_t, int32_t unitId,
                        uint32_t, uint32_t) {
  static const char* barClass = fw::RegisterHelperClass(0, nullptr, nullptr, nullptr);
  uint32_t type = length >= 4 ? *static_cast<const uint32_t*>(block) & 3 : 0;
  auto* bar = new Bar(static_cast<uint32_t>(unitId));
  if (!bar->Create(0, barClass, "", style | WS_CHILD | type, left, top, width, height, static_cast<HWND>(parent),
                   reinterpret_cast<HMENU>(static_cast<uintptr_t>(controlId)))) {
    delete bar;
    return nullptr;
  }
  return bar;
}

void* __cdecl BarInterface(int32_t op) { return op == kUnitOpCreate ? reinterpret_cast<void*>(&CreateBar) : nullptr; }

const UnitClassInfo kBarClass = {"停靠条", "DockBar", {0, 0, 0}, kClassDockable | kClassEvents, {0, 0, 0},
                                 8, kCommonPropertyInfos, &BarInterface, {0, 0}};
// The button class with a create operation that makes nothing.
void* __cdecl CreateNothing(const void*, int32_t, uint32_t, void*, uint32_t, void*, int32_t, int32_t, int32_t,
                            int32_t, int32_t, int32_t, uint32_t, uint32_t) {
  return nullptr;
}
void* __cdecl FailingButtonInterface(int32_t op) {
  return op == kUnitOpCreate ? reinterpret_cast<void*>(&CreateNothing) : forms::kButtonClass.unitInterface(op);
}

LibraryInfo coreLibrary;
const LibraryInfo* libraries[1] = {&coreLibrary};
ProgramInfo program;

}  // namespace

std::vector<std::pair<UINT, uint32_t>>& PrivateMessages() {
  static std::vector<std::pair<UINT, uint32_t>> messages;
  return messages;
}

ButtonsFailToCreate::ButtonsFailToCreate() { coreTypes[10].unitInterface = &FailingButtonInterface; }
ButtonsFailToCreate::~ButtonsFailToCreate() { coreTypes[10].unitInterface = forms::kButtonClass.unitInterface; }

void InitialiseTestProgram() {
  static bool done = false;
  if (done) return;
  done = true;
  coreTypes[0] = forms::kWindowClass;
  coreTypes[4] = forms::kEditBoxClass;
  coreTypes[10] = forms::kButtonClass;
  coreTypes[19] = kBarClass;
  coreLibrary.format = kLibraryFormat;
  coreLibrary.typeCount = 51;
  coreLibrary.typeTable = coreTypes;
  program = ProgramInfo{3, 0, 0x14805, reinterpret_cast<uintptr_t>(kHandlerBase), nullptr, 0,
                        kFormTestTemplate, kFormTestTemplateSize, 1, libraries, 0, nullptr, nullptr};
  forms::StartFormRuntime();
  rt::TheApp().Initialise(program);
}

void Pump() {
  for (int i = 0; i < 4; ++i) {
    rt::ProcessPendingMessages();
    Sleep(5);
  }
  rt::ProcessPendingMessages();
}

void* UnitObject(int32_t windowId, uint32_t unitId) {
  return reinterpret_cast<void*>(rt::RuntimeNotify(kSvcUnitObject, static_cast<uint32_t>(windowId), unitId));
}

HWND UnitHandle(int32_t windowId, uint32_t unitId) {
  auto* object = static_cast<fw::WindowObject*>(UnitObject(windowId, unitId));
  return object ? object->Handle() : nullptr;
}

HWND FormHandle(int32_t windowId) { return UnitHandle(windowId, 0); }

std::string WindowText(HWND hwnd) {
  char text[4096] = {};
  SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

HWND Focused(HWND form) {
  Pump();
  for (int i = 0; i < 40 && GetFocus() == nullptr; ++i) {
    SetForegroundWindow(form);
    Pump();
  }
  return GetFocus();
}

void PressKey(HWND target, UINT key, UINT modifier) {
  BYTE state[256] = {};
  GetKeyboardState(state);
  if (modifier) {
    state[modifier] = 0x80;
    SetKeyboardState(state);
  }
  PostMessageA(target, WM_KEYDOWN, key, 1);
  PostMessageA(target, WM_KEYUP, key, 0xC0000001);
  Pump();
  if (modifier) {
    state[modifier] = 0;
    SetKeyboardState(state);
  }
}

}  // namespace formtest

