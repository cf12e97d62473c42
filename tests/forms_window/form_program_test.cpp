// The form runtime seen from outside: the test program is started, driven through its real
// windows like a user would, and its exit code, error box and handler log are checked.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string TestDirectory() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  *strrchr(path, '\\') = 0;
  return path;
}

struct Outcome {
  DWORD exitCode = 0;
  std::string boxText;   // empty when no error box appeared
  std::string log;
};

struct Search {
  DWORD pid;
  const char* className;
  const char* title;
  HWND found;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[64] = {}, title[128] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  SendMessageA(hwnd, WM_GETTEXT, sizeof title, reinterpret_cast<LPARAM>(title));
  if (pid == s->pid && !strcmp(cls, s->className) && (!s->title || !strcmp(title, s->title)) &&
      IsWindowVisible(hwnd)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND FindOf(DWORD pid, const char* className, const char* title = nullptr) {
  Search s{pid, className, title, nullptr};
  EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Starts the program with a mode; `drive` acts on its window once it is up. An error box is
// read and closed. Gives up after ten seconds.
template <typename Drive>
Outcome RunProgram(const char* mode, Drive drive) {
  std::string dir = TestDirectory();
  std::string log = dir + "\\form-" + mode + ".log";
  DeleteFileA(log.c_str());
  std::string command = "\"" + dir + "\\form_program.exe\" " + mode + " " + log;
  STARTUPINFOA si{sizeof si};
  PROCESS_INFORMATION pi{};
  Outcome run;
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ADD_FAILURE() << "cannot start " << command;
    return run;
  }
  bool driven = false;
  for (int i = 0; i < 200; ++i) {
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
    if (HWND box = FindOf(pi.dwProcessId, "#32770")) {
      char text[1024] = {};
      SendMessageA(GetDlgItem(box, 0xFFFF), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
      run.boxText = text;
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      continue;
    }
    if (!driven) {
      if (HWND form = FindOf(pi.dwProcessId, "WTWindow", "测试窗体")) {
        driven = true;
        drive(form);
      }
    }
  }
  if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 99);
    ADD_FAILURE() << mode << ": the program did not end";
  }
  GetExitCodeProcess(pi.hProcess, &run.exitCode);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  std::ifstream in(log);
  std::stringstream all;
  all << in.rdbuf();
  run.log = all.str();
  return run;
}

TEST(FormProgram, EscapeClosesTheLastWindowAndTheProgramEndsWithZero) {
  Outcome run = RunProgram("run", [](HWND form) {
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
    Outcome run = RunProgram(c.mode, [](HWND) {});
    EXPECT_EQ(static_cast<DWORD>(-1), run.exitCode) << c.mode;
    EXPECT_NE(std::string::npos, run.boxText.find(c.message)) << c.mode << ": " << run.boxText;
    EXPECT_EQ("", run.log) << c.mode << ": no handler runs";
  }
}

}  // namespace
