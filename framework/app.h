// The application object: start, message pump with idle processing, and end.
#pragma once

#include <windows.h>

#include <cstdint>

namespace fw {

// What a loop run by App::RunMessages may add: work before each idle step, and ways to end
// early. The default hook adds nothing.
class LoopHook {
 public:
  virtual ~LoopHook() = default;
  // Runs before each OnIdle call.
  virtual void BeforeIdle() {}
  // Asked after each idle step and after each dispatched message: true ends the loop.
  virtual bool Done() { return false; }
  // Asked with the next message before it is retrieved: true ends the loop and leaves the
  // message queued.
  virtual bool LeaveQueued(const MSG& /*pending*/) { return false; }
};

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
  // The plain main loop, used when InitInstance returns true: RunMessages, then ExitInstance.
  virtual int Run();
  // The message loop with idle processing: OnIdle(count) while the queue is empty, counting
  // from 0 again after each message that IsIdleMessage accepts, until an OnIdle returns 0;
  // then messages until the queue is empty again. Returns true when WM_QUIT was retrieved,
  // false when the hook ended the loop.
  bool RunMessages(LoopHook& hook);

  // Retrieves one message into msg, pre-translates and dispatches it. False when WM_QUIT was
  // retrieved. The caller owns msg, so a handler that pumps messages while msg is being
  // pre-translated or dispatched retrieves its own and leaves msg as it was.
  virtual BOOL PumpMessage(MSG& msg);
  // False for messages that must not restart idle processing: mouse moves that did not move,
  // paints, timer ticks and the caret blink.
  virtual BOOL IsIdleMessage(MSG* msg);

  // The exit code of the last WM_QUIT that RunMessages retrieved.
  WPARAM quitCode = 0;
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
