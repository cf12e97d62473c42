// Starting one of our small test programs from a test and seeing it to its end: its message
// boxes are read and answered with OK, and its exit code is collected.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tests/support/message_box.h"

struct ChildRun {
  bool started = false;  // false: the program could not be started
  bool ended = false;    // false: still running at the timeout, so it was ended with code 99
  DWORD exitCode = 0;
  BoxSeen box;           // the last message box answered; box.seen is false when none came
};

// Runs `commandLine` and waits at most `timeoutMs` for it to end. Every 50 ms a message box of
// the program is read and answered with OK; while none is showing, `tick` (when given) is
// called with the program's process id, for a test that drives its windows. A program that
// cannot be started or does not end in time is a test failure.
ChildRun RunChild(const std::string& commandLine, DWORD timeoutMs,
                  const std::function<void(DWORD pid)>& tick = {});

// The whole content of a text file (a log a test program wrote), or "" when there is none.
std::string ReadWholeFile(const std::string& path);
