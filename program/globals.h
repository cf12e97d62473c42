// The application's global arrays and their release at program end.
#pragma once

#include <cstdint>

#include "runtime_interface.h"

// One record per visible top-level window, filled only during one enumeration.
// Both texts belong to the record.
struct WindowInfo {
  uint32_t handle;      // the top-level window
  uint32_t processId;   // from GetWindowThreadProcessId
  uint32_t threadId;    // the creating thread: GetWindowThreadProcessId's result
  char* title;          // window text (null when empty)
  char* className;      // window class name (null when empty)
};
static_assert(sizeof(WindowInfo) == 20);

// Global arrays as ArrayBlocks {1, count, members}: IdList holds texts (the IDs of the last
// check), WindowList holds addresses of WindowInfo records.
extern uint8_t* IdList;
extern uint8_t* WindowList;

// Creates both arrays empty (program entry, before anything uses them).
void CreateGlobals();
// Releases WindowList (each record's texts, each record, the block), then IdList (each text,
// the block). Registered at program entry; the runtime calls it once at program end.
extern "C" void __cdecl GlobalsCleanup();

// One-dimensional arrays of 4-byte members (texts or record addresses).
uint8_t* NewWordArray();
uint32_t WordArrayCount(const uint8_t* array);
uint32_t* WordArrayMembers(uint8_t* array);
// Appends one member; the block is reallocated to 8 + 4 x (count + 1) bytes.
void AppendWord(uint8_t** array, uint32_t member);
// Frees every member as a text, then the block.
void FreeTextArray(uint8_t* array);
