// Finding and answering another program's message box from outside, as a user would, and the
// directory the running executable lies in (the test programs are built beside it). Header
// only, so that the drivers under tools/ can use it without linking anything.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "tests/support/process_window.h"

// The directory of the running executable, without a trailing backslash.
inline std::string TestDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  if (char* slash = std::strrchr(path, '\\')) *slash = '\0';
  return path;
}

// A visible message box ("#32770" top-level window) of process `pid` (this process when 0),
// or null.
inline HWND FindMessageBox(DWORD pid) {
  return FindWindowOfProcess(pid ? pid : GetCurrentProcessId(),
                           [](HWND window) { return ClassIs(window, "#32770"); });
}

// What a message box showed: its caption, its message (the static control 0xFFFF) and its
// owner window. `seen` is false when no box was read.
struct BoxSeen {
  std::string caption;
  std::string text;
  HWND owner = nullptr;
  bool seen = false;
};

inline BoxSeen ReadMessageBox(HWND box) {
  BoxSeen seen;
  seen.caption = WindowTextOf(box);
  HWND label = GetDlgItem(box, 0xFFFF);
  seen.text = label ? WindowTextOf(label) : "";
  seen.owner = GetWindow(box, GW_OWNER);
  seen.seen = true;
  return seen;
}

// Presses the box's OK button; posted, so that a box of this process does not block the call.
inline void PressOk(HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); }
