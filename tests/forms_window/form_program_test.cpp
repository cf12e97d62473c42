// The form runtime seen from outside: the test program is started, driven through its real
// windows like a user would, and its exit code, error box and handler log are checked.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/child_program.h"
#include "tests/support/process_window.h"

namespace {

struct Outcome {
  DWORD exitCode = 0;
  std::string boxText;   // empty when no error box appeared
  std::string log;
};

// Starts the program with a mode; `drive` acts on its window once it is up. An error box is
// read and closed. Gives up after fifteen seconds.
template <typename Drive>
Outcome RunProgram(const char* program, const char* mode, const char* title, Drive drive) {
  std::string dir = TestDirectory();
  std::string log = dir + "\\form-" + mode + ".log";
  DeleteFileA(log.c_str());
  std::string command = "\"" + dir + "\\" + program + "\" " + mode + " " + log;
  bool driven = false;
  ChildRun child = RunChild(command, 15000, [&](DWORD pid) {
    if (driven) return;
    HWND form = FindWindowOfProcess(pid, [&](HWND w) { return ClassIs(w, "WTWindow") && WindowTextOf(w) == title; });
    if (form) {
      driven = true;
      drive(form);
    }
  });
  return Outcome{child.exitCode, child.box.text, ReadWholeFile(log)};
}

// Runs the test program with a mode; its window is the first test window.
template <typename Drive>
Outcome RunTestProgram(const char* mode, Drive drive) {
  return RunProgram("form_program.exe", mode, "测试窗体", drive);
}

// The position of a child window in its parent's client area, and its size.
RECT ClientRect(HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The focused window of the program's thread. Other programs' windows may take the
// activation (and with it the focus) meanwhile, so the window is brought back first.
HWND FocusOf(HWND window) {
  GUITHREADINFO info{sizeof info};
  for (int i = 0; i < 40; ++i) {
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    if (info.hwndFocus) break;
    SetForegroundWindow(window);
    Sleep(25);
  }
  return info.hwndFocus;
}

TEST(FormProgram, TheStartWindowHasItsFrameUnitsAndTabOrder) {
  Outcome run = RunProgram("start_window_program.exe", "start", "青柚贴吧未注册账号检测机V1.1", [](HWND form) {
    RECT r;
    GetWindowRect(form, &r);
    EXPECT_EQ(418, r.right - r.left);
    EXPECT_EQ(417, r.bottom - r.top);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 418) / 2, r.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 417) / 2, r.top);
    DWORD style = static_cast<DWORD>(GetWindowLongA(form, GWL_STYLE));
    DWORD frame = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;
    EXPECT_EQ(static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), style & frame);
    EXPECT_EQ(nullptr, GetWindow(form, GW_OWNER)) << "a taskbar window has no owner";
    // The icons are checked in-process (forms_window_test): Wine answers WM_GETICON from
    // another process with 0 although the window has both icons.

    struct Unit {
      int id;
      RECT rect;   // left, top, width, height
      const char* text;
    } units[] = {
        {100, {8, 24, 144, 344}, ""},      {110, {160, 88, 48, 24}, "检测"},
        {120, {160, 264, 48, 24}, "退出"}, {130, {160, 176, 48, 24}, "说明"},
        {140, {216, 24, 192, 344}, nullptr},
    };
    for (const Unit& u : units) {
      HWND h = GetDlgItem(form, u.id);
      ASSERT_NE(nullptr, h) << u.id;
      RECT got = ClientRect(form, h);
      EXPECT_EQ(u.rect.left, got.left) << u.id;
      EXPECT_EQ(u.rect.top, got.top) << u.id;
      EXPECT_EQ(u.rect.right, got.right) << u.id;
      EXPECT_EQ(u.rect.bottom, got.bottom) << u.id;
      EXPECT_TRUE(IsWindowVisible(h)) << u.id;
      if (u.text) {
        char text[64] = {};
        SendMessageA(h, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(u.text, text) << u.id;
      }
    }
    // The edit box has the focus; Tab visits the buttons 检测, 退出, 说明, then the output box.
    EXPECT_EQ(GetDlgItem(form, 100), FocusOf(form));
    for (int id : {110, 120, 130, 140, 100}) {
      HWND focus = FocusOf(form);
      PostMessageA(focus, WM_KEYDOWN, VK_TAB, 1);
      PostMessageA(focus, WM_KEYUP, VK_TAB, 0xC0000001);
      for (int i = 0; i < 80 && FocusOf(form) != GetDlgItem(form, id); ++i) Sleep(25);
      EXPECT_EQ(GetDlgItem(form, id), FocusOf(form)) << id;
    }
    PostMessageA(form, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ("", run.boxText);
  EXPECT_EQ("OnStartWindowCreated\n", run.log);
}

TEST(FormProgram, EscapeClosesTheLastWindowAndTheProgramEndsWithZero) {
  Outcome run = RunTestProgram("run", [](HWND form) {
    // A click on the button at handler offset 0, then Escape in the focused edit box.
    HWND button = GetDlgItem(form, 130);
    SendMessageA(button, BM_CLICK, 0, 0);
    HWND edit = GetDlgItem(form, 100);
    PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(edit, WM_KEYUP, VK_ESCAPE, 0xC0000001);
  });
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ("", run.boxText);
  EXPECT_NE(std::string::npos, run.log.find("OnFormCreated\n")) << run.log;
  EXPECT_NE(std::string::npos, run.log.find("OnButton2\nOnFormClose\nOnFormDestroy\n")) << run.log;
}

TEST(FormProgram, EventsOfUnknownWindowsAndUnitsAreRuntimeErrors) {
  struct Case {
    const char* mode;
    const char* message;
  } cases[] = {
      {"nowindow", "未找到引发事件的窗口\r\n"},
      {"nounit", "未找到引发事件的窗口组件\r\n"},
      {"badclass", "引发事件的窗口组件无效\r\n"},
      {"badload", "载入启动窗口失败\r\n"},
  };
  for (const Case& c : cases) {
    Outcome run = RunTestProgram(c.mode, [](HWND) {});
    EXPECT_EQ(static_cast<DWORD>(-1), run.exitCode) << c.mode;
    EXPECT_NE(std::string::npos, run.boxText.find(c.message)) << c.mode << ": " << run.boxText;
    EXPECT_EQ("", run.log) << c.mode << ": no handler runs";
  }
}

}  // namespace
