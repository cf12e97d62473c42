// Global arrays of the application.
#include "program/globals.h"

#include "program/window_info.h"
#include "program/word_array.h"

uint8_t* IdList = nullptr;
uint8_t* WindowList = nullptr;

void CreateGlobals() {
  IdList = NewWordArray();
  WindowList = NewWordArray();
}

// Run once by the runtime's end-of-program clean-up (not after a runtime error). Both
// variables are left null so nothing can free them twice.
extern "C" void __cdecl GlobalsCleanup() {
  FreeWindowInfoArray(WindowList);
  WindowList = nullptr;
  FreeTextArray(IdList);
  IdList = nullptr;
}
