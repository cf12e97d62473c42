// The run directory, the message box, message pumping and messages to units.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/commands/test_runtime.h"

using namespace testrt;

namespace {

class SystemCommands : public ::testing::Test {
 protected:
  void SetUp() override { Attach(); }
};

TEST_F(SystemCommands, RunDirectoryIsACopy) {
  static const char kDir[] = "C:\\prog";
  SetRunDirectory(kDir);
  ArgRecord r = Call(kCmdGetRunDirectory, {});
  EXPECT_NE(r.text, kDir);
  EXPECT_EQ(Text(r), "C:\\prog");
  SetRunDirectory("");
  EXPECT_EQ(TakeText(Call(kCmdGetRunDirectory, {})), std::nullopt);
}

TEST_F(SystemCommands, ProcessEventsAsksTheRuntime) {
  Call(kCmdProcessEvents, {});
  EXPECT_EQ(RequestCount(kSvcProcessEvents), 1);
}

LRESULT CALLBACK Answering(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER + 5) return static_cast<LRESULT>(w * 1000 + l);
  return DefWindowProcA(h, m, w, l);
}

TEST_F(SystemCommands, SendUnitMessageReachesTheUnitsWindow) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Answering;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "CommandsTestUnit";
  RegisterClassA(&wc);
  HWND window = CreateWindowA("CommandsTestUnit", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  AddUnit(0x52010001, 7, window);
  ArgRecord unit = MakeArg(0x00020006, uint64_t{7} << 32 | 0x52010001);
  EXPECT_EQ(Call(kCmdSendUnitMessage, {unit, Int(WM_USER + 5), Int(3), Int(4)}).intValue, 3004);
  // A unit that is not loaded is the runtime's fatal error.
  ArgRecord missing = MakeArg(0x00020006, uint64_t{8} << 32 | 0x52010001);
  EXPECT_THROW(Call(kCmdSendUnitMessage, {missing, Int(WM_USER + 5), Int(0), Int(0)}),
               FatalError);
  DestroyWindow(window);
}

// The message box is answered by a watcher thread as soon as it is visible. The watcher notes
// the box's caption and text, and whether the thread's other window was disabled, which is
// how a task-modal box without an owner shows itself.
struct BoxWatch {
  int answer = IDOK;
  DWORD thread = 0;
  std::string caption, text;
  HWND other = nullptr;
  bool otherDisabled = false;
  bool seen = false;
};

BOOL CALLBACK FindBox(HWND h, LPARAM l) {
  char cls[16] = {};
  GetClassNameA(h, cls, sizeof cls);
  if (std::string(cls) != "#32770" || !IsWindowVisible(h)) return TRUE;
  *reinterpret_cast<HWND*>(l) = h;
  return FALSE;
}

DWORD WINAPI Watch(void* p) {
  BoxWatch& w = *static_cast<BoxWatch*>(p);
  for (int i = 0; i < 500; ++i) {
    HWND box = nullptr;
    EnumThreadWindows(w.thread, FindBox, reinterpret_cast<LPARAM>(&box));
    if (box) {
      char buf[256] = {};
      GetWindowTextA(box, buf, sizeof buf);
      w.caption = buf;
      buf[0] = 0;
      GetDlgItemTextA(box, 0xFFFF, buf, sizeof buf);
      w.text = buf;
      w.otherDisabled = !IsWindowEnabled(w.other);
      w.seen = true;
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(w.answer, BN_CLICKED), 0);
      return 0;
    }
    Sleep(10);
  }
  return 0;
}

BoxWatch Show(std::initializer_list<ArgRecord> args, int answer, int32_t* result) {
  BoxWatch watch;
  watch.answer = answer;
  watch.thread = GetCurrentThreadId();
  watch.other = CreateWindowA("STATIC", "other", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                              nullptr, nullptr, nullptr);
  HANDLE watcher = CreateThread(nullptr, 0, Watch, &watch, 0, nullptr);
  *result = Call(kCmdMessageBox, args).intValue;
  WaitForSingleObject(watcher, INFINITE);
  CloseHandle(watcher);
  DestroyWindow(watch.other);
  EXPECT_TRUE(watch.seen);
  return watch;
}

TEST_F(SystemCommands, MessageBoxCaptionTextAndAnswers) {
  int32_t result = -1;
  BoxWatch w = Show({Txt("你好"), Int(0)}, IDOK, &result);
  EXPECT_EQ(w.caption, "信息：");
  EXPECT_EQ(w.text, "你好");
  EXPECT_EQ(result, 0);

  w = Show({Int(42), Int(MB_YESNO), Txt("标题")}, IDNO, &result);
  EXPECT_EQ(w.caption, "标题");
  EXPECT_EQ(w.text, "42");
  EXPECT_EQ(result, 6);

  Show({Txt("x"), Int(MB_YESNOCANCEL)}, IDYES, &result);
  EXPECT_EQ(result, 5);
  Show({Txt("x"), Int(MB_ABORTRETRYIGNORE)}, IDIGNORE, &result);
  EXPECT_EQ(result, 4);
}

TEST_F(SystemCommands, MessageBoxIsTaskModalUnlessSystemModal) {
  int32_t result;
  BoxWatch task = Show({Txt("x"), Int(0)}, IDOK, &result);
  BoxWatch system = Show({Txt("x"), Int(MB_SYSTEMMODAL)}, IDOK, &result);
  if (!task.otherDisabled) {
    GTEST_SKIP() << "this platform does not disable the thread's windows for a task-modal box";
  }
  EXPECT_TRUE(task.otherDisabled);
  EXPECT_FALSE(system.otherDisabled);
}

}  // namespace
