// What the runtime needs of the form runtime, handed over by the form runtime when it starts.
// The runtime sits below the form runtime and names nothing of it: windows, units and menus
// reach the runtime only through this record. Until a record is registered, the runtime
// behaves as a runtime without windows (no template, no window alive, no handler found, the
// start window cannot be loaded, form requests answer 0).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "runtime/interface/records.h"

namespace rt {

// A RuntimeNotify request's handler: the request's two arguments in, its result out.
using ServiceHandler = int32_t (*)(uint32_t arg1, uint32_t arg2);

struct FormHooks {
  // Start and end of the program: reads the window template at initialisation; destroys
  // every loaded window (and the objects of deleted units) at clean-up.
  void (*loadWindowTemplate)(const ProgramInfo& info);
  void (*destroyAllWindows)();

  // Behind the runtime interface slots: the start window (false when it cannot be loaded),
  // whether any loaded window lives (the message loop runs only then), and unit properties.
  bool (*loadStartWindow)(int32_t windowId);
  bool (*anyWindowAlive)();
  uint64_t (*readUnitProperty)(int32_t windowId, int32_t unitId, int32_t property, int32_t index);
  void (*writeUnitProperty)(int32_t windowId, int32_t unitId, int32_t property, int32_t index,
                            uint64_t value);

  // Events: the handler bound to (window, unit, event) or null; the idle event of the windows
  // (1 while some window still wants it in this idle period, else 0).
  void* (*findHandler)(int32_t windowId, int32_t unitId, int32_t event, int32_t argCount);
  int32_t (*raiseIdleEvents)(uint32_t elapsedMs, std::vector<HWND>& declined);

  // The window and unit requests of RuntimeNotify, one handler each; the service table calls
  // them by request code.
  ServiceHandler windowDirectory;      // 1001
  ServiceHandler isUnitWindow;         // 1014
  ServiceHandler releaseUnitData;      // 2000
  ServiceHandler loadWindow;           // 2005
  ServiceHandler unitObject;           // 2006
  ServiceHandler unitObjectChecked;    // 2007
  ServiceHandler destroyFormObjects;   // 2014
  ServiceHandler unitTypeId;           // 2022
  ServiceHandler windowCount;          // 2032
  ServiceHandler windowHandleAt;       // 2033
  ServiceHandler markMenu;             // 2037
  ServiceHandler rebuildMenu;          // 2040
};

// True when every member is set; a record handed to RegisterFormHooks is checked with it at
// compile time.
constexpr bool Complete(const FormHooks& h) {
  return h.loadWindowTemplate && h.destroyAllWindows && h.loadStartWindow && h.anyWindowAlive &&
         h.readUnitProperty && h.writeUnitProperty && h.findHandler && h.raiseIdleEvents &&
         h.windowDirectory && h.isUnitWindow && h.releaseUnitData && h.loadWindow && h.unitObject &&
         h.unitObjectChecked && h.destroyFormObjects && h.unitTypeId && h.windowCount &&
         h.windowHandleAt && h.markMenu && h.rebuildMenu;
}

// Makes `hooks` the form runtime the runtime talks to. The record must be complete and must
// outlive the program (the form runtime hands a constant of its own).
void RegisterFormHooks(const FormHooks& hooks);

// The registered record, or the record of a runtime without windows.
const FormHooks& Forms();

}  // namespace rt
