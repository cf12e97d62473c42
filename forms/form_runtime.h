// What the runtime core asks of the form runtime: loading the window templates, window
// lifetime, handler lookup, unit properties, idle events and the window and unit services.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "runtime/interface/records.h"

namespace forms {

// Reads the program's window templates into the window directory. Any read error is the
// fatal "载入窗口模板数据段出错!". Does nothing for a template size of 0.
void LoadWindowTemplate(const ProgramInfo& info);
// Loads and shows a window non-modally; false when the id is unknown or creation fails.
bool LoadStartWindow(int32_t windowId);
// True while some loaded window has a live window handle.
bool AnyWindowAlive();
// Destroys every loaded window (end of the program).
void DestroyAllWindows();
// The handler bound to an event of a unit (unit id 0: the window), or null. Sets the event
// source while it finds one; finds none while events are blocked.
void* FindHandler(int32_t windowId, int32_t unitId, int32_t event, int32_t argCount);
// Unit property access behind runtime interface slots 5 and 6.
uint64_t ReadUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index);
void WriteUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index,
                       uint64_t value);
// Raises the idle event (7) of every live window not in `declined`; windows whose handler
// did not return true join `declined`. Returns 1 while some window still wants idle events.
int32_t RaiseIdleEvents(uint32_t elapsedMs, std::vector<HWND>& declined);
// The window and unit requests of RuntimeNotify.
int32_t FormService(int32_t code, uint32_t arg1, uint32_t arg2);

}  // namespace forms
