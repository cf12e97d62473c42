// A program under measurement, driven from outside as a user would: started, its window
// found, IDs typed into its input box, a button clicked, its output box watched for lines.
// The checker and the bare programs are driven the same way, so that the cost of watching
// falls on both alike.
#pragma once

#include <windows.h>

#include <string>

namespace bench {

// Seconds on a steady clock.
double Now();

class DrivenProgram {
 public:
  DrivenProgram() = default;
  DrivenProgram(const DrivenProgram&) = delete;
  DrivenProgram& operator=(const DrivenProgram&) = delete;
  ~DrivenProgram() { End(); }

  // Starts `commandLine` in the driver's directory; false when it could not be started.
  bool Start(const std::string& commandLine);
  // Waits until the program shows a window titled `title`, looking every `pollMs`; false when
  // the program ended first or `limitMs` passed. The time it was seen is WindowSeenAt().
  bool WaitForWindow(const char* title, int pollMs, int limitMs);
  double WindowSeenAt() const { return windowSeenAt_; }

  void Type(const std::string& text);
  // Clicks a button; Click returns at once, ClickAndWait once the click has been handled.
  void Click(const char* caption);
  void ClickAndWait(const char* caption);
  // Waits until the output box holds `count` lines, asking its line count every `pollMs`;
  // the time they were seen, or a negative value when the program ended or `limitMs` passed.
  double WaitForLines(int count, int pollMs, int limitMs);
  // The last line of the output box as WaitForLines last read it.
  std::string LastLine() const;
  // The number of lines of the output box, as WaitForLines last read it, that hold `part`.
  int LinesHolding(const std::string& part) const;
  // Returns once the program's window thread has answered a message, that is once it is back
  // in a message loop.
  void WaitUntilAnswering();

  // Ends the program. Once it is measured nothing of its own end matters, and a window that
  // closes makes Wine wait for a window manager that the test display does not have.
  void End();

  HANDLE Process() const { return pi_.hProcess; }
  DWORD ProcessId() const { return pi_.dwProcessId; }

 private:
  int CountLineBreaks(int expected);

  PROCESS_INFORMATION pi_{};
  HWND window_ = nullptr;
  HWND input_ = nullptr;
  HWND output_ = nullptr;
  double windowSeenAt_ = 0;
  std::string text_;  // the output box's text as last read
};

}  // namespace bench
