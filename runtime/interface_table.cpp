// The runtime interface table and the OtherHelp helper table: the fixed slots through which
// program code reaches the runtime.
#include <windows.h>

#include "forms/form_runtime.h"
#include "runtime/dll_binding.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/other_help.h"
#include "runtime/runtime_app.h"

namespace {

uint64_t __cdecl SlotReadUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index) {
  return forms::ReadUnitProperty(windowId, unitId, property, index);
}

void __cdecl SlotWriteUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index,
                                   uint32_t low, uint32_t high) {
  forms::WriteUnitProperty(windowId, unitId, property, index, (uint64_t{high} << 32) | low);
}

void* __cdecl SlotMemAlloc(uint32_t size) { return rt::MemAlloc(size); }
void* __cdecl SlotMemRealloc(void* block, uint32_t size) { return rt::MemRealloc(block, size); }
void __cdecl SlotMemFree(void* block) { rt::MemFree(block); }
void __cdecl SlotEndProgram(int32_t code) { rt::EndProgramNow(code); }

// Runs the main loop unless no loaded window is alive any more.
void __cdecl SlotRunMessageLoop() {
  rt::RuntimeApp& app = rt::TheApp();
  app.loopStarted = 1;
  if (!forms::AnyWindowAlive()) return;
  app.RunLoop(0);
}

void __cdecl SlotLoadStartWindow(int32_t windowId) {
  if (!forms::LoadStartWindow(windowId)) rt::RuntimeError("载入启动窗口失败", 0);
}

}  // namespace

extern "C" {

void __cdecl RtCallCommand();
void __cdecl RtOtherHelp();
void __cdecl RtReportRuntimeError(int32_t number) { rt::ReportRuntimeError(number); }

extern const void* const kRuntimeInterface[13];
extern const void* const kOtherHelpTable[7];

const void* const kRuntimeInterface[13] = {
    reinterpret_cast<const void*>(&RtReportRuntimeError),
    reinterpret_cast<const void*>(&RtCallDllCommand),
    reinterpret_cast<const void*>(&RtCallCommand),     // extension-library commands
    reinterpret_cast<const void*>(&RtCallCommand),     // core-library commands
    reinterpret_cast<const void*>(&SlotReadUnitProperty),
    reinterpret_cast<const void*>(&SlotWriteUnitProperty),
    reinterpret_cast<const void*>(&SlotMemAlloc),
    reinterpret_cast<const void*>(&SlotMemRealloc),
    reinterpret_cast<const void*>(&SlotMemFree),
    reinterpret_cast<const void*>(&SlotEndProgram),
    reinterpret_cast<const void*>(&SlotRunMessageLoop),
    reinterpret_cast<const void*>(&SlotLoadStartWindow),
    reinterpret_cast<const void*>(&RtOtherHelp),
};

const void* const kOtherHelpTable[7] = {
    reinterpret_cast<const void*>(&rt::HelpFindFile),
    reinterpret_cast<const void*>(&rt::HelpCloseSearch),
    reinterpret_cast<const void*>(&rt::HelpMakeArrayWritable),
    reinterpret_cast<const void*>(&rt::HelpSetGlobalsCleanup),
    reinterpret_cast<const void*>(&rt::HelpReadObjectProperty),
    reinterpret_cast<const void*>(&rt::HelpWriteObjectProperty),
    reinterpret_cast<const void*>(&rt::HelpInitialiseRuntime),
};

}  // extern "C"
