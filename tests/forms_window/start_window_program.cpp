// The program's start window on the form runtime, without the application's logic: its
// handlers only log their names. Started by form_program_test to check the window a user sees.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "extui/ext_library.h"
#include "forms/button.h"
#include "forms/edit_box.h"
#include "forms/form_window.h"
#include "runtime/interface/runtime_interface.h"
#include "tests/support/program_arguments.h"

namespace {

char logPath[MAX_PATH];

HandlerReturn Note(const char* name) {
  test_support::AppendToLog(logPath, name);
  return kHandlerNoValue;
}

UnitClassInfo coreTypes[51];
LibraryInfo coreLibrary;
const LibraryInfo* const kLibraries[] = {&coreLibrary, &kExtUiLibraryInfo};

}  // namespace

#define HANDLER(name, offset) \
  extern "C" HandlerReturn __cdecl name() { return Note(#name); }
#include "app/handlers.def"
#undef HANDLER

extern "C" const unsigned char kStartWindowTemplate[];
extern "C" const unsigned kStartWindowTemplateSize;

extern "C" const ProgramInfo kProgramInfo = {
    3, 0, 0x14805, reinterpret_cast<uintptr_t>(kHandlerBase), nullptr, 0, kStartWindowTemplate,
    kStartWindowTemplateSize, 2, kLibraries, 0, nullptr, nullptr,
};

extern "C" int32_t __cdecl ProgramEntry() {
  // Arguments: a mode word (unused) and the log path.
  char mode[32];
  test_support::ReadModeAndPath(mode, sizeof mode, logPath, sizeof logPath);
  if (!logPath[0]) std::snprintf(logPath, sizeof logPath, "%s", "start-window.log");
  coreTypes[0] = forms::kWindowClass;
  coreTypes[4] = forms::kEditBoxClass;
  coreTypes[10] = forms::kButtonClass;
  coreLibrary.format = kLibraryFormat;
  coreLibrary.typeCount = 51;
  coreLibrary.typeTable = coreTypes;
  ProgramOtherHelp(kHelpInitialiseRuntime, nullptr, 0);
  LoadStartWindow(0x52010001);
  RunMessageLoop();
  return 0;
}
