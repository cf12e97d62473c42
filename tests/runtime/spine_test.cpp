// The runtime spine seen from outside: a small program is started, its runtime error box is
// found as a real window and closed, and its exit code and its log of clean-up steps checked.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
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
  std::string boxCaption;
  std::string log;
};

struct BoxSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<BoxSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[32] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (pid == search->pid && !strcmp(cls, "#32770") && IsWindowVisible(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Starts the spine program with a mode, closes an error box if one appears, and collects the
// outcome. Gives up after ten seconds.
Outcome Start(const char* mode) {
  std::string dir = TestDirectory();
  std::string log = dir + "\\spine-" + mode + ".log";
  DeleteFileA(log.c_str());
  std::string command = "\"" + dir + "\\spine_program.exe\" " + mode + " " + log;
  STARTUPINFOA si{sizeof si};
  PROCESS_INFORMATION pi{};
  Outcome run;
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ADD_FAILURE() << "cannot start " << command;
    return run;
  }
  for (int i = 0; i < 200; ++i) {
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
    BoxSearch search{pi.dwProcessId, nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (!search.found) continue;
    char text[1024] = {}, caption[64] = {};
    SendMessageA(GetDlgItem(search.found, 0xFFFF), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    SendMessageA(search.found, WM_GETTEXT, sizeof caption, reinterpret_cast<LPARAM>(caption));
    run.boxText = text;
    run.boxCaption = caption;
    PostMessageA(search.found, WM_COMMAND, IDOK, 0);
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

TEST(Spine, NormalEndRunsGlobalsCleanupOnceBeforeTheLibraries) {
  Outcome run = Start("normal");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.boxText, "");
  EXPECT_EQ(run.log, "library event 1\nglobals clean-up\nlibrary event 6\n");
}

TEST(Spine, NumberedErrorShowsTheBoxAndSkipsGlobalsCleanup) {
  Outcome run = Start("error6");
  EXPECT_EQ(run.boxCaption, "错误");
  EXPECT_EQ(run.boxText, "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n");
  EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
  EXPECT_EQ(run.log, "library event 1\nlibrary event 6\n");
}

TEST(Spine, OutOfMemoryHasNoCodeLine) {
  Outcome run = Start("oom");
  EXPECT_EQ(run.boxText, "运行时出错!\r\n\r\n错误信息：分配 2147483632 字节内存失败!\r\n");
  EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
}

TEST(Spine, UnknownStartWindowIsFatal) {
  Outcome run = Start("nowindow");
  EXPECT_EQ(run.boxText, "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
  EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
}

TEST(Spine, ConstantsLieInTheConstantAreaAndAreNeverFreed) {
  Outcome run = Start("constants");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.log, "library event 1\ninside\ncopied\nglobals clean-up\nlibrary event 6\n");
}

TEST(Spine, EndProgramRunsTheCleanupWithItsCode) {
  Outcome run = Start("end");
  EXPECT_EQ(run.exitCode, 3u);
  EXPECT_EQ(run.log, "library event 1\nglobals clean-up\nlibrary event 6\n");
}

TEST(Spine, EndFromAnotherThreadIsCarriedOutByTheMainThread) {
  Outcome run = Start("thread");
  EXPECT_EQ(run.exitCode, 7u);
  // The clean-up ran on the main thread, in full, and the main thread went no further.
  EXPECT_EQ(run.log, "library event 1\nglobals clean-up\nlibrary event 6\n");
}

}  // namespace
