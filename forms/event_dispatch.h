// Event dispatch of the form runtime: handler lookup, raising events, the common events every
// unit shares, and the base class of the units' window objects.
//
// A unit never calls program code itself. It fills an EventRecord and hands it to the runtime
// (RuntimeNotify 2008), which looks the handler up with FindHandler and calls it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>

#include "framework/deferred_delete.h"
#include "framework/window.h"
#include "runtime/interface/records.h"

namespace forms {

// Notifications a form window hands back to the unit control that sent them: the message
// number plus kReflectBase, the same wParam and lParam. A unit that does not handle one
// answers 0 and the form window does its default processing.
inline constexpr UINT kReflectBase = 0x2000;
inline constexpr UINT kReflectCommand = kReflectBase + WM_COMMAND;
inline constexpr UINT kReflectNotify = kReflectBase + WM_NOTIFY;
inline constexpr UINT kReflectCtlColorEdit = kReflectBase + WM_CTLCOLOREDIT;
inline constexpr UINT kReflectCtlColorStatic = kReflectBase + WM_CTLCOLORSTATIC;
inline constexpr UINT kReflectCtlColorButton = kReflectBase + WM_CTLCOLORBTN;
// Window property naming the unit a helper control (an edit box's up-down) reports for.
inline constexpr char kReflectTargetProp[] = "FormUnitReflectTarget";

// Private messages the form window sends to every unit after a load and after re-creation.
inline constexpr UINT kMsgUnitsCreated = 0x806F;
inline constexpr UINT kMsgLayout = 0x8004;
inline constexpr UINT kMsgUnitsShown = 0x8076;

// Event numbers of the common events (every unit and the window).
enum CommonEvent : int32_t {
  kEventLeftDown = -1,
  kEventLeftUp = -2,
  kEventLeftDouble = -3,
  kEventRightDown = -4,
  kEventRightUp = -5,
  kEventMouseMove = -6,
  kEventGotFocus = -7,
  kEventLostFocus = -8,
  kEventKeyDown = -9,
  kEventKeyUp = -10,
  kEventChar = -11,
  kEventWheel = -12,
};

// What became of a raised event.
struct EventOutcome {
  bool ran = false;        // a handler was found and called
  bool hasValue = false;   // it returned a value
  uint32_t value = 0;
  // True when a handler ran and returned the value 0 (false): the raiser refuses or swallows.
  bool Refused() const { return ran && hasValue && value == 0; }
};

// Raises `event` of unit (windowId, unitId) with up to five argument words through the
// runtime's event service. Unit id 0 means the window itself.
EventOutcome RaiseEvent(int32_t windowId, int32_t unitId, int32_t event,
                        std::initializer_list<uint32_t> args = {});

// Number of got-the-focus events (-7) raised so far; lets a caller tell whether an action
// already raised one.
uint32_t FocusEventCount();

// Modifier word of the common events: 1 Ctrl, 2 Shift, 4 Alt, from the keyboard state now.
// A modifier key's own press (ownKey) does not count itself.
uint32_t CurrentModifiers(uint32_t ownKey = 0);

// Key code of the common key events: keypad digits become "0".."9", keypad minus 189,
// keypad decimal point 190, keypad divide 191; any other code is unchanged.
uint32_t NormaliseKey(uint32_t virtualKey);

// Base of the window objects of units (and of the form window): the ids every event of the
// unit carries. Objects own themselves: they are deleted after their window is gone.
class UnitObject : public fw::WindowObject {
 public:
  int32_t WindowId() const { return windowId_; }
  int32_t UnitId() const { return unitId_; }

 protected:
  UnitObject(int32_t windowId, int32_t unitId) : windowId_(windowId), unitId_(unitId) {}
  // Raises an event of this unit.
  EventOutcome Raise(int32_t event, std::initializer_list<uint32_t> args = {}) {
    return RaiseEvent(windowId_, unitId_, event, args);
  }
  // Runs UnitProc, the class's own procedure, inside a frame of the unit delete queue.
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) final;
  virtual LRESULT UnitProc(UINT, WPARAM, LPARAM) { return Default(); }
  // Tells the runtime the unit is gone (RuntimeNotify 2000), then hands the object to the
  // deferred delete: a window procedure of the object may still be on the stack.
  void PostNcDestroy() override;
  // Deletes an object whose creation failed, unless its window got as far as being destroyed
  // (then the deferred delete already owns it).
  void DiscardUnbuilt() {
    if (!ncDestroyed_) delete this;
  }

  int32_t windowId_;
  int32_t unitId_;
  bool ncDestroyed_ = false;  // the final message has been handled; deletion is scheduled
};

// The deferred deletion of the form runtime's unit objects (the window's included): each
// unit window procedure runs in one of its frames, and an object whose window is gone waits
// there until none runs. FlushDeletedUnits deletes the waiting ones at the runtime's safe
// points (idle time, the next load, the end of the program).
fw::DeleteQueue& UnitDeleteQueue();
inline void FlushDeletedUnits() { UnitDeleteQueue().Flush(); }

class InstanceUnits;

// The unit that `hwnd` belongs to inside the window `form`, among the units of form's own
// instance: the unit whose window it is, or whose container holds it. Returns false when it
// belongs to none (or to the window itself).
bool FindUnitOfWindow(const InstanceUnits& units, HWND form, HWND hwnd, int32_t* unitId);

// Raises the common event for a key, character, mouse-button, mouse-move or wheel message of
// a unit (or the window, unit id 0). Returns true when the handler swallowed the message; a
// character event may instead replace msg->wParam.
bool RaiseCommonEvent(int32_t windowId, int32_t unitId, MSG* msg);

}  // namespace forms
