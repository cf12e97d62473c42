// One record per visible top-level window, as the window enumeration collects them.
#pragma once

#include <cstdint>

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

// Record helpers: a new copy (texts copied) and the release of a record or a whole array.
WindowInfo* CopyWindowInfo(const WindowInfo& info);
void FreeWindowInfo(WindowInfo* info);
void FreeWindowInfoArray(uint8_t* array);
