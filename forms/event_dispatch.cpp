// Event dispatch: FindHandler, raising events and the common events.
#include "forms/event_dispatch.h"

#include <windowsx.h>

#include "forms/form_runtime.h"
#include "forms/form_window.h"
#include "forms/unit_class.h"
#include "forms/window_template.h"
#include "runtime/errors.h"
#include "runtime/runtime_app.h"
#include "runtime/services.h"

namespace forms {

namespace {
uint32_t g_focusEvents = 0;
}

uint32_t FocusEventCount() { return g_focusEvents; }

// Builds the simple EventRecord and hands it to the runtime's event service (2008), as a
// library would; arguments beyond the fifth are dropped.
EventOutcome RaiseEvent(int32_t windowId, int32_t unitId, int32_t event,
                        std::initializer_list<uint32_t> args) {
  EventRecord record{};
  record.windowId = windowId;
  record.unitId = unitId;
  record.event = event;
  for (uint32_t arg : args) {
    if (record.argCount == 5) break;
    record.args[record.argCount++] = arg;
  }
  if (event == kEventGotFocus) ++g_focusEvents;
  EventOutcome outcome;
  outcome.ran = rt::RuntimeNotify(kSvcFireEvent, reinterpret_cast<uint32_t>(&record), 0) != 0;
  outcome.hasValue = outcome.ran && record.resultPresent == 1;
  outcome.value = record.result;
  return outcome;
}

// Ctrl, Shift and Alt from the thread's keyboard state as the message is handled.
uint32_t CurrentModifiers(uint32_t ownKey) {
  uint32_t modifiers = 0;
  if (ownKey != VK_CONTROL && GetKeyState(VK_CONTROL) < 0) modifiers |= 1;
  if (ownKey != VK_SHIFT && GetKeyState(VK_SHIFT) < 0) modifiers |= 2;
  if (ownKey != VK_MENU && GetKeyState(VK_MENU) < 0) modifiers |= 4;
  return modifiers;
}

// Keypad keys report the codes of the main keyboard's keys.
uint32_t NormaliseKey(uint32_t key) {
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return '0' + (key - VK_NUMPAD0);
  if (key == VK_SUBTRACT) return 189;
  if (key == VK_DECIMAL) return 190;
  if (key == VK_DIVIDE) return 191;
  return key;
}

fw::DeleteQueue& UnitDeleteQueue() {
  static fw::DeleteQueue queue;
  return queue;
}

// Every unit procedure runs in a frame of the queue, so a destroyed object is deleted only
// when none of them is on the stack.
LRESULT UnitObject::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  fw::DeleteQueue::Frame frame(UnitDeleteQueue());
  return UnitProc(msg, wParam, lParam);
}

// Final destruction: the runtime clears the unit's cursor and object slots (2000) and the
// object waits in the deferred delete: deletion waits for a safe point, since the object may
// still be inside its own window procedure, or inside its creation.
void UnitObject::PostNcDestroy() {
  ncDestroyed_ = true;
  rt::RuntimeNotify(kSvcReleaseUnitData, static_cast<uint32_t>(windowId_),
                    static_cast<uint32_t>(unitId_));
  UnitDeleteQueue().Defer(this);
}

// FindHandler. Steps: events blocked -> none; window, then item, must exist (runtime errors
// otherwise); the event link is followed to the item whose bindings the unit uses; the class
// must raise events; then the binding for the event. The event source is set only when a
// handler is returned.
void* FindHandler(int32_t windowId, int32_t unitId, int32_t event, int32_t /*argCount*/) {
  rt::RuntimeApp& app = rt::TheApp();
  if (app.eventBlockCount >= 1) return nullptr;
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  if (record == nullptr) rt::RuntimeError("未找到引发事件的窗口", 0);
  UnitList& units = record->units;
  UnitItem item = unitId == 0 ? units.ItemAt(0) : units.ItemById(static_cast<uint32_t>(unitId));
  if (!item) rt::RuntimeError("未找到引发事件的窗口组件", 0);
  uint32_t sourceUnit = unitId == 0 ? units.IdAt(0) : static_cast<uint32_t>(unitId);

  // The link names another unit of the same type whose bindings this one shares. A chain is
  // followed at most once round the list, so a cycle in the data cannot hang the lookup.
  for (uint32_t hops = 0; hops < units.Count() && item.EventLink() != 0; ++hops) {
    UnitItem linked = units.ItemById(item.EventLink());
    if (!linked || linked.IsMenuItem() || linked.TypeId() != item.TypeId()) break;
    item = linked;
  }
  if (item.IsMenuItem()) {
    uint32_t handler = item.MenuHandler();
    if (handler == 0) return nullptr;
    app.eventSourceWindow = windowId;
    app.eventSourceUnit = static_cast<int32_t>(sourceUnit);
    return reinterpret_cast<void*>(handler);
  }
  const UnitClassInfo* info = FindUnitClass(item.TypeId());
  if (info == nullptr || !ClassRaisesEvents(info->flags)) rt::RuntimeError("引发事件的窗口组件无效", 0);
  uint32_t handler = item.HandlerFor(event);
  if (handler == 0) return nullptr;
  app.eventSourceWindow = windowId;
  app.eventSourceUnit = static_cast<int32_t>(sourceUnit);
  return reinterpret_cast<void*>(handler);
}

// Looks the window up among the unit objects of the instance.
bool FindUnitOfWindow(const InstanceUnits& units, HWND form, HWND hwnd, int32_t* unitId) {
  if (hwnd == nullptr || hwnd == form) return false;
  // The message's own window first, then its ancestors below the form: a container's child
  // windows (an edit inside a combination unit) count as the unit.
  for (HWND h = hwnd; h != nullptr && h != form; h = GetParent(h)) {
    for (uint32_t i = 1; i < units.Count(); ++i) {
      if (UnitWindow(units.Object(i)) == h) {
        *unitId = static_cast<int32_t>(units.List().IdAt(i));
        return true;
      }
    }
  }
  return false;
}

namespace {

// Mouse events carry x and y (the low and high 16 bits of the position word, sign-extended)
// and the modifiers.
bool RaiseMouseEvent(int32_t windowId, int32_t unitId, int32_t event, const MSG& msg) {
  uint32_t x = static_cast<uint32_t>(GET_X_LPARAM(msg.lParam));
  uint32_t y = static_cast<uint32_t>(GET_Y_LPARAM(msg.lParam));
  return RaiseEvent(windowId, unitId, event, {x, y, CurrentModifiers()}).Refused();
}

// Key events carry the normalised key code and the modifiers; the generic modifier codes stand
// for either side's key.
bool RaiseKeyEvent(int32_t windowId, int32_t unitId, const MSG& msg) {
  bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  uint32_t key = static_cast<uint32_t>(msg.wParam);
  uint32_t own = key == VK_LCONTROL || key == VK_RCONTROL ? VK_CONTROL
                 : key == VK_LSHIFT || key == VK_RSHIFT   ? VK_SHIFT
                 : key == VK_LMENU || key == VK_RMENU     ? VK_MENU
                                                          : key;
  return RaiseEvent(windowId, unitId, down ? kEventKeyDown : kEventKeyUp,
                    {NormaliseKey(key), CurrentModifiers(own)})
      .Refused();
}

// The character event: a handler's value other than 0 replaces the character, 0 swallows it.
bool RaiseCharEvent(int32_t windowId, int32_t unitId, MSG* msg) {
  EventOutcome outcome = RaiseEvent(windowId, unitId, kEventChar, {static_cast<uint32_t>(msg->wParam)});
  if (!outcome.ran || !outcome.hasValue) return false;
  if (outcome.value == 0) return true;
  msg->wParam = outcome.value;
  return false;
}

// The wheel event carries the notches turned and the modifiers.
bool RaiseWheelEvent(int32_t windowId, int32_t unitId, const MSG& msg) {
  int32_t notches = GET_WHEEL_DELTA_WPARAM(msg.wParam) / WHEEL_DELTA;
  return RaiseEvent(windowId, unitId, kEventWheel, {static_cast<uint32_t>(notches), CurrentModifiers()})
      .Refused();
}

}  // namespace

// Common events -1 to -6 carry x, y and the modifiers; -9 and -10 the normalised key code and
// the modifiers; -11 the character; -12 the wheel notches and the modifiers. A handler that
// returns false swallows the message; for -11 a value other than 0 replaces the character.
bool RaiseCommonEvent(int32_t windowId, int32_t unitId, MSG* msg) {
  switch (msg->message) {
    case WM_LBUTTONDOWN: return RaiseMouseEvent(windowId, unitId, kEventLeftDown, *msg);
    case WM_LBUTTONUP: return RaiseMouseEvent(windowId, unitId, kEventLeftUp, *msg);
    case WM_LBUTTONDBLCLK: return RaiseMouseEvent(windowId, unitId, kEventLeftDouble, *msg);
    case WM_RBUTTONDOWN: return RaiseMouseEvent(windowId, unitId, kEventRightDown, *msg);
    case WM_RBUTTONUP: return RaiseMouseEvent(windowId, unitId, kEventRightUp, *msg);
    case WM_MOUSEMOVE: return RaiseMouseEvent(windowId, unitId, kEventMouseMove, *msg);
    case WM_KEYDOWN: return RaiseKeyEvent(windowId, unitId, *msg);
    case WM_SYSKEYDOWN: return RaiseKeyEvent(windowId, unitId, *msg);
    case WM_KEYUP: return RaiseKeyEvent(windowId, unitId, *msg);
    case WM_SYSKEYUP: return RaiseKeyEvent(windowId, unitId, *msg);
    case WM_CHAR: return RaiseCharEvent(windowId, unitId, msg);
    case WM_MOUSEWHEEL: return RaiseWheelEvent(windowId, unitId, *msg);
    default: return false;
  }
}

}  // namespace forms
