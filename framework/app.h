// The application object: start, message pump with idle processing, and end.
#pragma once

#include <windows.h>

#include <cstdint>

namespace fw {

class App {
 public:
  App();
  virtual ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Runs once at start; a false result skips Run() and goes straight to ExitInstance().
  virtual BOOL InitInstance() { return TRUE; }
  // Runs while the queue is empty; count starts at 0 for each idle period. Returns nonzero
  // while more idle work remains. The base releases temporary framework state.
  virtual BOOL OnIdle(int32_t count);
  // Offered every message before it is translated and dispatched; nonzero means handled.
  virtual BOOL PreTranslateMessage(MSG* msg);
  // Runs once at the end; its result is the process exit code.
  virtual int ExitInstance();
  // The plain main loop, used when InitInstance returns true.
  virtual int Run();

  // Retrieves, pre-translates and dispatches one message. False when WM_QUIT was retrieved.
  virtual BOOL PumpMessage();
  // False for messages that must not restart idle processing: mouse moves that did not move,
  // paints, timer ticks and the caret blink.
  virtual BOOL IsIdleMessage(MSG* msg);

  // The message being processed by PumpMessage.
  MSG currentMessage{};
  HINSTANCE instance = nullptr;
  // The main window, where the pre-translation walk stops.
  HWND mainWindow = nullptr;

 private:
  POINT lastMousePos_{-1, -1};
  UINT lastMouseMsg_ = 0;
};

// The one application object.
App* CurrentApp();

// Process main: InitInstance, then Run when it returned true, then ExitInstance.
int AppMain(HINSTANCE instance);

}  // namespace fw
