// The records of visible top-level windows.
#include "program/window_info.h"

#include "program/program_values.h"
#include "program/word_array.h"
#include "runtime/interface/runtime_interface.h"

// A record owns its two texts, so a copy gets copies of them.
WindowInfo* CopyWindowInfo(const WindowInfo& info) {
  auto* copy = static_cast<WindowInfo*>(MemAlloc(sizeof(WindowInfo)));
  *copy = info;
  copy->title = prog::CopyText(info.title).ReleaseText();
  copy->className = prog::CopyText(info.className).ReleaseText();
  return copy;
}

void FreeWindowInfo(WindowInfo* info) {
  if (!info) return;
  MemFree(info->title);
  MemFree(info->className);
  MemFree(info);
}

void FreeWindowInfoArray(uint8_t* array) {
  if (!array) return;
  uint32_t count = WordArrayCount(array);
  for (uint32_t i = 0; i < count; ++i)
    FreeWindowInfo(reinterpret_cast<WindowInfo*>(WordArrayMembers(array)[i]));
  MemFree(array);
}
