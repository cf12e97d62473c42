// Shared set-up of the form window tests: a program record over the generated test windows,
// a core library whose type table holds the window, edit box and button classes, and small
// helpers to pump messages and find units.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/interface/services.h"
#include "runtime/interface/unit_records.h"

namespace formtest {

// The test windows (tests/forms_window/form_windows.json).
inline constexpr int32_t kFirstWindow = 0x52010011;
inline constexpr int32_t kSecondWindow = 0x52010012;
inline constexpr int32_t kModalWindow = 0x52010013;
inline constexpr int32_t kBadWindow = 0x52010014;
inline constexpr int32_t kDockWindow = 0x52010015;   // three dockable bars of test class 20
// Units of the first window, by index 1..5.
inline constexpr uint32_t kButton3 = 0x16010006, kButton2 = 0x16010005, kButton1 = 0x16010004,
                          kEdit2 = 0x16010003, kEdit1 = 0x16010002;
// Units of the second window.
inline constexpr uint32_t kDefault = 0x16010011, kSingleLine = 0x16010012, kOther = 0x16010013,
                          kMultiLine = 0x16010014, kHidden = 0x16010015, kLinked = 0x16010016;

// The private messages 0x806F and 0x8076 as the dock bars of kDockWindow received them:
// (message, unit id), in order.
std::vector<std::pair<UINT, uint32_t>>& PrivateMessages();

// While one lives, units of the button class cannot be created: their class's create
// operation gives nothing, as when the system refuses a control.
class ButtonsFailToCreate {
 public:
  ButtonsFailToCreate();
  ~ButtonsFailToCreate();
  ButtonsFailToCreate(const ButtonsFailToCreate&) = delete;
  ButtonsFailToCreate& operator=(const ButtonsFailToCreate&) = delete;
};

// Initialises the runtime once with the test program record.
void InitialiseTestProgram();
// Lets posted messages run through the runtime's pre-translation and dispatch.
void Pump();
// The object and system window of a unit (0: the window), or null when not loaded.
void* UnitObject(int32_t windowId, uint32_t unitId);
HWND UnitHandle(int32_t windowId, uint32_t unitId);
HWND FormHandle(int32_t windowId);
// The GBK window text.
std::string WindowText(HWND hwnd);
// The focused window of the thread. Windows of other programs running at the same time may
// take the activation, and with it the focus, away: then `form` is brought back first.
HWND Focused(HWND form);
// Posts a key press (down and up) to a window, optionally with a modifier held, and pumps.
void PressKey(HWND target, UINT key, UINT modifier = 0);

}  // namespace formtest
