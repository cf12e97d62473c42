// The form runtime's entry points: its start, the window template loader, window loading,
// event handler lookup, unit property access and menus. The runtime below reaches them only
// through the hooks StartFormRuntime registers (runtime/form_hooks.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "runtime/interface/records.h"

namespace forms {

// Hands the runtime the form runtime's hooks: its window and unit requests, the start window,
// events, properties and the end-of-program destruction. Called once by the process entry
// before the runtime initialises (and by tests that run the form runtime in their own
// process).
void StartFormRuntime();

// Reads the program's window template into the WindowDirectory and relocates its handlers by
// the program's CodeBase. Does nothing for a template length of 0. Any read error is the fatal
// runtime error "载入窗口模板数据段出错!" (window_template.cpp).
void LoadWindowTemplate(const ProgramInfo& info);

// Loads and shows the window with this id; false when it is unknown or cannot be created (the
// runtime then reports "载入启动窗口失败").
bool LoadStartWindow(int32_t windowId);
// True while any loaded window has a live system window.
bool AnyWindowAlive();
// Destroys every loaded window (end-of-program clean-up).
void DestroyAllWindows();

// The handler bound to (window, unit, event), or null; sets the event source when found.
void* FindHandler(int32_t windowId, int32_t unitId, int32_t event, int32_t argCount);

// Property access by number (unit_property.cpp). Reads return the application form: texts and
// byte sets as new heap blocks owned by the caller.
uint64_t ReadUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index);
void WriteUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index,
                       uint64_t value);

// Idle step of the application object: raises window event 7 for windows not yet declining.
int32_t RaiseIdleEvents(uint32_t elapsedMs, std::vector<HWND>& declined);

// Rebuilds the menu bar of a live window from its menu items.
void RebuildMenu(int32_t windowId);

}  // namespace forms
