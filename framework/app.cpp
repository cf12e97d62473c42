#include "framework/app.h"

#include <cassert>

#include "framework/window.h"

namespace fw {
namespace {
App* g_currentApp = nullptr;
}

App::App() {
  assert(!g_currentApp);
  g_currentApp = this;
}

App::~App() {
  if (g_currentApp == this) g_currentApp = nullptr;
}

App* CurrentApp() { return g_currentApp; }

BOOL App::OnIdle(int32_t count) {
  // The framework keeps no temporary objects; one pass of idle work is all there is.
  return count < 1;
}

// Walks from the message's window up through its parents, offering the message to each
// permanent window object, and stops after the main window.
BOOL App::PreTranslateMessage(MSG* msg) {
  for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
    if (WindowObject* object = WindowObject::FromHandlePermanent(hwnd)) {
      if (object->PreTranslateMessage(msg)) return TRUE;
    }
    if (hwnd == mainWindow) break;
  }
  return FALSE;
}

int App::ExitInstance() { return 0; }

BOOL App::PumpMessage(MSG& msg) {
  if (!::GetMessageA(&msg, nullptr, 0, 0)) return FALSE;
  if (!PreTranslateMessage(&msg)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return TRUE;
}

BOOL App::IsIdleMessage(MSG* msg) {
  if (msg->message == WM_MOUSEMOVE || msg->message == WM_NCMOUSEMOVE) {
    // A mouse move to the same place (sent after every paint) is not new input.
    if (msg->message == lastMouseMsg_ && msg->pt.x == lastMousePos_.x && msg->pt.y == lastMousePos_.y)
      return FALSE;
    lastMousePos_ = msg->pt;
    lastMouseMsg_ = msg->message;
    return TRUE;
  }
  return msg->message != WM_PAINT && msg->message != WM_TIMER && msg->message != 0x0118;  // caret blink
}

int App::Run() {
  LoopHook plain;
  RunMessages(plain);
  return ExitInstance();
}

// Each retrieved message lives on this frame for its iteration: nested loops that handlers
// run have their own.
bool App::RunMessages(LoopHook& hook) {
  MSG probe;
  bool idle = true;
  int32_t count = 0;
  for (;;) {
    while (idle && !::PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE)) {
      hook.BeforeIdle();
      if (!OnIdle(count++)) idle = false;
      if (hook.Done()) return false;
    }
    // Pump until the queue is empty; the first retrieval waits for a message.
    do {
      if (::PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE) && hook.LeaveQueued(probe)) return false;
      MSG msg;
      if (!PumpMessage(msg)) {
        quitCode = msg.wParam;
        return true;
      }
      if (hook.Done()) return false;
      if (IsIdleMessage(&msg)) {
        idle = true;
        count = 0;
      }
    } while (::PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE));
  }
}

int AppMain(HINSTANCE instance) {
  App* app = CurrentApp();
  if (!app) return -1;
  app->instance = instance;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}

}  // namespace fw
