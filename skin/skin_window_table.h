// The skin's per-window state, found by window handle in the process's own memory.
//
// Every message to a styled window looks its state up, so the lookup must cost no more than a
// few memory reads: a window property would ask the window server each time. The table is an
// open-addressed hash table over the handle values, shared by all threads of the process and
// guarded by a slim reader/writer lock (lookups take it shared).
#pragma once

#include <windows.h>

namespace skin {

// The state registered for `window`, or null.
void* FindWindowState(HWND window);
// Registers `state` for `window`. Returns the state that was registered for the same handle
// before (a window that was destroyed without the skin seeing its last message), or null.
// `*stored` is false when the table could not grow; nothing has changed then.
void* StoreWindowState(HWND window, void* state, bool* stored);
// Removes the entry of `window` and returns its state, or null when there was none.
void* RemoveWindowState(HWND window);

}  // namespace skin
