// The runtime interface table and the OtherHelp helper table: the fixed slots through which
// program code reaches the runtime.
#include <windows.h>

#include <iterator>

#include "runtime/dll_binding.h"
#include "runtime/errors.h"
#include "runtime/form_hooks.h"
#include "runtime/heap.h"
#include "runtime/interface/runtime_interface.h"
#include "runtime/other_help.h"
#include "runtime/runtime_app.h"

namespace {

uint64_t __cdecl SlotReadUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index) {
  return rt::Forms().readUnitProperty(windowId, unitId, property, index);
}

void __cdecl SlotWriteUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index,
                                   uint32_t low, uint32_t high) {
  rt::Forms().writeUnitProperty(windowId, unitId, property, index, (uint64_t{high} << 32) | low);
}

void* __cdecl SlotMemAlloc(uint32_t size) { return rt::MemAlloc(size); }
void* __cdecl SlotMemRealloc(void* block, uint32_t size) { return rt::MemRealloc(block, size); }
void __cdecl SlotMemFree(void* block) { rt::MemFree(block); }
void __cdecl SlotEndProgram(int32_t code) { rt::EndProgramNow(code); }

// Runs the main loop unless no loaded window is alive any more.
void __cdecl SlotRunMessageLoop() {
  rt::RuntimeApp& app = rt::TheApp();
  app.loopStarted = 1;
  if (!rt::Forms().anyWindowAlive()) return;
  app.RunLoop(0);
}

void __cdecl SlotLoadStartWindow(int32_t windowId) {
  if (!rt::Forms().loadStartWindow(windowId)) rt::RuntimeError("载入启动窗口失败", 0);
}

}  // namespace

extern "C" {

void __cdecl RtCallCommand();
void __cdecl RtOtherHelp();
void __cdecl RtReportRuntimeError(int32_t number) { rt::ReportRuntimeError(number); }

extern const void* const kRuntimeInterface[kRuntimeSlotCount];
extern const void* const kOtherHelpTable[kOtherHelpCount];

// In slot order (RuntimeSlot); the stubs jump through these.
const void* const kRuntimeInterface[] = {
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

// In helper order (OtherHelpNumber); RtOtherHelp (call_gates.S) checks the number against
// the same count before it jumps.
const void* const kOtherHelpTable[] = {
    reinterpret_cast<const void*>(&rt::HelpFindFile),
    reinterpret_cast<const void*>(&rt::HelpCloseSearch),
    reinterpret_cast<const void*>(&rt::HelpMakeArrayWritable),
    reinterpret_cast<const void*>(&rt::HelpSetGlobalsCleanup),
    reinterpret_cast<const void*>(&rt::HelpReadObjectProperty),
    reinterpret_cast<const void*>(&rt::HelpWriteObjectProperty),
    reinterpret_cast<const void*>(&rt::HelpInitialiseRuntime),
};

}  // extern "C"

// Every slot and every helper is filled: the definitions take their length from their
// entries, and that length must be the named count.
static_assert(std::size(kRuntimeInterface) == kRuntimeSlotCount);
static_assert(std::size(kOtherHelpTable) == kOtherHelpCount);
static_assert(kOtherHelpCount == 7, "call_gates.S compares the helper number with 7");
