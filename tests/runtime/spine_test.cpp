// The runtime spine seen from outside: a small program is started, its runtime error box is
// found as a real window and closed, and its exit code and its log of clean-up steps checked.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/child_program.h"

namespace {

struct Outcome {
  DWORD exitCode = 0;
  std::string boxText;   // empty when no error box appeared
  std::string boxCaption;
  std::string log;
};

// Starts the spine program with a mode, closes an error box if one appears, and collects the
// outcome. Gives up after fifteen seconds.
Outcome Start(const char* mode) {
  std::string dir = TestDirectory();
  std::string log = dir + "\\spine-" + mode + ".log";
  DeleteFileA(log.c_str());
  std::string command = "\"" + dir + "\\spine_program.exe\" " + mode + " " + log;
  ChildRun child = RunChild(command, 15000);
  return Outcome{child.exitCode, child.box.text, child.box.caption, ReadWholeFile(log)};
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
