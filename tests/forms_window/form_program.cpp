// A small program on the runtime with the test windows, started by form_program_test. Its
// first argument picks what it does; every handler that runs is logged to the file named by
// the second argument, so the test sees which events reached the program.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "forms/button.h"
#include "forms/edit_box.h"
#include "forms/form_window.h"
#include "runtime/interface/runtime_interface.h"
#include "runtime/services.h"
#include "tests/support/program_arguments.h"

namespace {

char logPath[MAX_PATH];

HandlerReturn Note(const char* name) {
  test_support::AppendToLog(logPath, name);
  return kHandlerNoValue;
}

UnitClassInfo coreTypes[51];
LibraryInfo coreLibrary;
const LibraryInfo* const kLibraries[] = {&coreLibrary};

// Raises an event the way a library does, through the runtime's service function.
void Raise(int32_t windowId, int32_t unitId) {
  EventRecord record{};
  record.windowId = windowId;
  record.unitId = unitId;
  rt::RuntimeNotify(kSvcFireEvent, reinterpret_cast<uint32_t>(&record), 0);
}

}  // namespace

// Every handler of the list logs its own name.
#define HANDLER(name, offset) \
  extern "C" HandlerReturn __cdecl name() { return Note(#name); }
#include "tests/forms_window/handlers.def"
#undef HANDLER

extern "C" const unsigned char kFormTestTemplate[];
extern "C" const unsigned kFormTestTemplateSize;

// Filled before the program starts (the template's size is another unit's constant).
extern "C" const ProgramInfo kProgramInfo = {
    3, 0, 0x14805, reinterpret_cast<uintptr_t>(kHandlerBase), nullptr, 0, kFormTestTemplate,
    kFormTestTemplateSize, 1, kLibraries, 0, nullptr, nullptr,
};

extern "C" int32_t __cdecl ProgramEntry() {
  char mode[32];
  test_support::ReadModeAndPath(mode, sizeof mode, logPath, sizeof logPath);
  coreTypes[0] = forms::kWindowClass;
  coreTypes[4] = forms::kEditBoxClass;
  coreTypes[10] = forms::kButtonClass;
  // "badclass": the edit box class claims to raise no events.
  if (!std::strcmp(mode, "badclass")) coreTypes[4].flags = 0;
  coreLibrary.format = kLibraryFormat;
  coreLibrary.typeCount = 51;
  coreLibrary.typeTable = coreTypes;

  ProgramOtherHelp(kHelpInitialiseRuntime, nullptr, 0);
  if (!std::strcmp(mode, "nowindow")) Raise(0x5201FFFF, 0);
  if (!std::strcmp(mode, "nounit")) Raise(0x52010011, 0x1601FFFF);
  if (!std::strcmp(mode, "badclass")) Raise(0x52010011, 0x16010002);
  if (!std::strcmp(mode, "badload")) LoadStartWindow(0x52010014);
  LoadStartWindow(0x52010011);
  RunMessageLoop();
  return 0;
}
