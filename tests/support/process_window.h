// Finding another program's windows from outside, as a user's tools do: its top-level windows
// by process, their children by class and text. Header only, so that the drivers under tools/
// and bench/ can use it without linking anything.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Tells whether a window is the one looked for.
using WindowMatch = std::function<bool(HWND)>;

// A window's text, read with WM_GETTEXT so that it works across processes.
inline std::string WindowTextOf(HWND window) {
  std::vector<char> buffer(4096, 0);
  SendMessageA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return buffer.data();
}

// A top-level window's caption as the system keeps it. No message goes to the window's
// program, so a program that is busy or hung does not hold the caller.
inline std::string CaptionOf(HWND window) {
  char caption[256] = {};
  GetWindowTextA(window, caption, sizeof caption);
  return caption;
}

// True when the window's class is `cls`, compared without case as the system compares them.
inline bool ClassIs(HWND window, const char* cls) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return lstrcmpiA(name, cls) == 0;
}

namespace process_window_detail {
struct Search {
  DWORD pid;  // 0 for a search among children
  const WindowMatch* matches;
  HWND found;
};

inline BOOL CALLBACK Match(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (search->pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid || !IsWindowVisible(window)) return TRUE;
  }
  if (*search->matches && !(*search->matches)(window)) return TRUE;
  search->found = window;
  return FALSE;
}
}  // namespace process_window_detail

// The first visible top-level window of process `pid` that `matches` accepts (any one when
// `matches` is empty), or null. Hidden windows (the runtime's helper window, a message box not
// yet shown) do not count.
inline HWND FindWindowOfProcess(DWORD pid, const WindowMatch& matches = {}) {
  process_window_detail::Search search{pid, &matches, nullptr};
  EnumWindows(process_window_detail::Match, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits up to `limitMs` for FindWindowOfProcess(process.dwProcessId, matches), looking every
// 50 ms; null when the process ends first or the time runs out. `beforeEachLook` (when given)
// runs before every look, for a caller that answers the program's message boxes meanwhile.
inline HWND WaitForWindowOfProcess(const PROCESS_INFORMATION& process, const WindowMatch& matches,
                                 DWORD limitMs, const std::function<void()>& beforeEachLook = {}) {
  for (DWORD waited = 0; waited <= limitMs; waited += 50) {
    if (beforeEachLook) beforeEachLook();
    if (HWND window = FindWindowOfProcess(process.dwProcessId, matches)) return window;
    if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

// The first child of `parent`, at any depth, that `matches` accepts, or null.
inline HWND FindChildWindow(HWND parent, const WindowMatch& matches) {
  process_window_detail::Search search{0, &matches, nullptr};
  EnumChildWindows(parent, process_window_detail::Match, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The first child of `parent`, at any depth, of class `cls` whose text is `text` (any text when
// null), or null.
inline HWND FindChildWindow(HWND parent, const char* cls, const char* text = nullptr) {
  return FindChildWindow(parent, [&](HWND child) {
    return ClassIs(child, cls) && (!text || WindowTextOf(child) == text);
  });
}
