// The application's global arrays and their release at program end.
#pragma once

#include <cstdint>

#include "runtime/interface/runtime_interface.h"

// Global arrays as ArrayBlocks {1, count, members}: IdList holds texts (the IDs of the last
// check), WindowList holds addresses of WindowInfo records.
extern uint8_t* IdList;
extern uint8_t* WindowList;

// Creates both arrays empty (program entry, before anything uses them).
void CreateGlobals();
// Releases WindowList (each record's texts, each record, the block), then IdList (each text,
// the block). Registered at program entry; the runtime calls it once at program end.
extern "C" void __cdecl GlobalsCleanup();
