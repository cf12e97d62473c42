// The program's one way into the runtime: 13 operations, each a stub that jumps through one
// slot of the runtime interface table. Program code includes this header and nothing of the
// runtime's internals.
#pragma once

#include <cstdint>

#include "runtime/interface/records.h"

// Slots of the runtime interface table, in their fixed order.
enum RuntimeSlot : uint32_t {
  kSlotReportRuntimeError,
  kSlotCallDllCommand,
  kSlotCallExtensionCommand,
  kSlotCallCoreCommand,
  kSlotReadUnitProperty,
  kSlotWriteUnitProperty,
  kSlotMemAlloc,
  kSlotMemRealloc,
  kSlotMemFree,
  kSlotEndProgram,
  kSlotRunMessageLoop,
  kSlotLoadStartWindow,
  kSlotOtherHelp,
  kRuntimeSlotCount
};
static_assert(kRuntimeSlotCount == 13);

// Helper numbers behind OtherHelp.
enum OtherHelpNumber : uint32_t {
  kHelpFindFile,
  kHelpCloseSearch,
  kHelpMakeArrayWritable,
  kHelpSetGlobalsCleanup,
  kHelpReadObjectProperty,
  kHelpWriteObjectProperty,
  kHelpInitialiseRuntime,
  kOtherHelpCount
};
static_assert(kOtherHelpCount == 7);

extern "C" {

// The jump stubs. Those with an ordinary signature are called directly; CallDllCommand,
// CallExtensionCommand, CallCoreCommand and OtherHelp take a value in EAX beside their
// arguments and are reached through the Program* helpers below.
[[noreturn]] void __cdecl ReportRuntimeError(int32_t number);
void __cdecl CallDllCommand();
void __cdecl CallExtensionCommand();
void __cdecl CallCoreCommand();
uint64_t __cdecl ReadUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index);
void __cdecl WriteUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index,
                               uint32_t low, uint32_t high);
void* __cdecl MemAlloc(uint32_t size);
void* __cdecl MemRealloc(void* block, uint32_t size);
void __cdecl MemFree(void* block);
[[noreturn]] void __cdecl EndProgram(int32_t code);
void __cdecl RunMessageLoop();
void __cdecl LoadStartWindow(int32_t windowId);
void __cdecl OtherHelp();

// Calls DLL command `index` with `count` native argument words. The stack position is saved
// before the arguments are pushed and compared after the call: a difference (a declaration
// that does not match the function) raises runtime error 6.
uint32_t __cdecl ProgramCallDll(uint32_t index, const uint32_t* args, uint32_t count);

// Calls a library command through `stub` (CallCoreCommand or CallExtensionCommand). Returns
// the result value and stores the result tag.
uint64_t __cdecl ProgramCallCommand(void (*stub)(), CommandEntry entry, int32_t count,
                                    ArgRecord* args, TypeTag* resultTag);

// Calls OtherHelp helper `number` with `count` argument words.
uint32_t __cdecl ProgramOtherHelp(uint32_t number, const uint32_t* args, uint32_t count);

}  // extern "C"

// The program's own parts, which every program defines: its information record, its entry
// routine (run by the runtime's InitInstance) and the base of its handler entry table.
extern "C" const ProgramInfo kProgramInfo;
extern "C" int32_t __cdecl ProgramEntry();
// The start of the handler entry table (add_handler_table); a program sets its CodeBase here.
extern "C" const char kHandlerBase[];
