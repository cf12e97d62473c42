// The message loop: idle callbacks, the application object's idle steps, and the modal
// loop's ways out.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "framework/window.h"
#include "runtime/runtime_app.h"
#include "runtime/services.h"

namespace {

std::vector<uint32_t> calls;

void __cdecl Record(uint32_t argument) {
  calls.push_back(argument);
  if (calls.size() == 2) PostQuitMessage(0);
}

HWND NewWindow() {
  const char* cls = fw::RegisterHelperClass(0, nullptr, nullptr, nullptr);
  return CreateWindowExA(0, cls, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

void AddIdle(HWND hwnd, void(__cdecl* routine)(uint32_t), uint32_t argument) {
  uint32_t words[3] = {reinterpret_cast<uint32_t>(hwnd), reinterpret_cast<uint32_t>(routine), argument};
  rt::RuntimeNotify(kSvcAddIdleCallback, reinterpret_cast<uint32_t>(words), 0);
}

TEST(MessageLoop, IdleWorkOfTheFrameworkComesFirstThenWindowsFromCountTwo) {
  rt::RuntimeApp& app = rt::TheApp();
  EXPECT_EQ(app.OnIdle(0), TRUE);
  EXPECT_EQ(app.OnIdle(1), TRUE);
  EXPECT_EQ(app.OnIdle(2), FALSE);  // no window wants idle events
}

TEST(MessageLoop, IdleCallbacksRunLastToFirstAndDeadWindowsDropOut) {
  rt::RuntimeApp& app = rt::TheApp();
  HWND first = NewWindow(), second = NewWindow(), doomed = NewWindow();
  AddIdle(first, Record, 1);
  AddIdle(second, Record, 2);
  AddIdle(second, Record, 3);     // a window has one callback at most
  AddIdle(first, nullptr, 4);     // no routine, no entry
  AddIdle(doomed, Record, 5);
  DestroyWindow(doomed);
  EXPECT_EQ(app.idleCallbacks.size(), 3u);
  calls.clear();
  app.RunLoop(0);
  EXPECT_EQ(calls, (std::vector<uint32_t>{2, 1}));
  ASSERT_EQ(app.idleCallbacks.size(), 2u);
  EXPECT_EQ(app.idleCallbacks[0].window, first);
  EXPECT_EQ(app.idleCallbacks[1].window, second);
  EXPECT_EQ(app.idleCallbacks[1].argument, 2u);
  rt::RuntimeNotify(kSvcRemoveIdleCallback, reinterpret_cast<uint32_t>(first), 0);
  rt::RuntimeNotify(kSvcRemoveIdleCallback, reinterpret_cast<uint32_t>(second), 0);
  EXPECT_TRUE(app.idleCallbacks.empty());
  DestroyWindow(first);
  DestroyWindow(second);
}

void __cdecl EndModal(uint32_t) { rt::TheApp().modalWindowId = 0; }

TEST(MessageLoop, ModalLoopEndsWithItsWindowAndLeavesAQuitQueued) {
  rt::RuntimeApp& app = rt::TheApp();
  HWND window = NewWindow();
  app.modalWindowId = 0x52010002;
  AddIdle(window, EndModal, 0);
  app.RunLoop(1);
  EXPECT_EQ(app.modalWindowId, 0);
  rt::RuntimeNotify(kSvcRemoveIdleCallback, reinterpret_cast<uint32_t>(window), 0);

  // A quit arriving while a modal window runs is left for the main loop.
  app.modalWindowId = 0x52010002;
  PostQuitMessage(3);
  app.RunLoop(1);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
  app.modalWindowId = 0;
  DestroyWindow(window);
}

}  // namespace
