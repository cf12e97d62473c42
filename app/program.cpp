// The checker as a program of the runtime: its information record, its libraries and its
// entry routine.
#include "app/app_ids.h"
#include "app/carried_data.h"
#include "program/dll_commands.h"
#include "program/globals.h"
#include "runtime/interface/constant_area.h"
#include "runtime/interface/runtime_interface.h"

extern "C" const LibraryInfo kCoreLibraryInfo;
extern "C" const LibraryInfo kExtUiLibraryInfo;
extern "C" const LibraryInfo kSpecialLibraryInfo;

namespace {

// In library-number order: the core library, the extended interface library, the
// special-function library.
const LibraryInfo* const kLibraries[] = {&kCoreLibraryInfo, &kExtUiLibraryInfo, &kSpecialLibraryInfo};

// Class initialisation and start routines of the program; it has nothing to do in either.
void InitialiseClasses() {}
void StartRoutine() {}

}  // namespace

extern "C" const ProgramInfo kProgramInfo = {
    3,                                          // run mode
    0,                                          // reserved
    0x14805,                                    // stored plus one
    reinterpret_cast<uintptr_t>(kHandlerBase),  // CodeBase
    ConstantAreaStart(),
    ConstantAreaSize(),
    kStartWindowTemplate,
    kStartWindowTemplateSize,
    3,
    kLibraries,
    dll::kCommandCount,
    dll::kFiles,
    dll::kNames,
};

// The program's entry routine: runtime initialisation, the global arrays, the start window
// and the message loop.
extern "C" int32_t __cdecl ProgramEntry() {
  ProgramOtherHelp(kHelpInitialiseRuntime, nullptr, 0);
  CreateGlobals();
  uint32_t cleanup = reinterpret_cast<uint32_t>(&GlobalsCleanup);
  ProgramOtherHelp(kHelpSetGlobalsCleanup, &cleanup, 1);
  InitialiseClasses();
  StartRoutine();
  LoadStartWindow(kStartWindowId);
  RunMessageLoop();
  return 0;
}
