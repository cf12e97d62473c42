// The notice box of the request routine and the enumeration of visible top-level windows that
// finds an owner for that box.
#pragma once

#include <cstdint>
#include <optional>

#include "program/window_info.h"

// MessageBoxW(owner, message, caption, style) - 1 (texts given as GBK), so OK gives 0 and a failed box -1.
// Not given: style 0x40 (information icon, OK), caption "友情提醒", owner the first visible
// top-level window of this process (0 when it has none).
int32_t ShowNotice(const char* message, std::optional<int32_t> style = std::nullopt,
                   std::optional<const char*> caption = std::nullopt,
                   std::optional<uint32_t> owner = std::nullopt);

// Handle of the first visible top-level window (top of the Z order first) of the process,
// or 0.
uint32_t FindProcessWindow(uint32_t processId);

// Replaces the caller's WindowInfo array with one record per visible top-level window and
// returns their number. WindowList is empty again afterwards.
int32_t ListVisibleWindows(uint8_t** list);

// EnumWindows callback: appends a record for a visible window to WindowList. Always returns
// true, so the enumeration runs to the end.
extern "C" int32_t __stdcall CollectVisibleWindow(uint32_t window, uint32_t param);
