// The notice box, window enumeration and the release of the global arrays.
#include <gtest/gtest.h>

#include "program/globals.h"
#include "program/window_routines.h"
#include "program/word_array.h"
#include "runtime/heap.h"
#include "tests/web/test_support.h"

namespace {

// The suite's one visible top-level window, made by the first test that needs it (hiding or
// destroying a window takes the platform about two seconds here, so it lives to the end).
class WindowRoutines : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestRuntime();
    if (!WindowList) CreateGlobals();
  }
  static void TearDownTestSuite() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
  }
  static HWND VisibleWindow() {
    if (!window_)
      window_ = CreateWindowA("STATIC", "list me", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                              100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    return window_;
  }

 private:
  static inline HWND window_ = nullptr;
};

const WindowInfo* Member(uint8_t* list, uint32_t i) {
  return reinterpret_cast<const WindowInfo*>(WordArrayMembers(list)[i]);
}

TEST_F(WindowRoutines, NoticeHasDefaultsAndOwnerFromProcess) {
  {
    BoxWatcher watcher;
    EXPECT_EQ(ShowNotice("hello"), 0) << "OK answers 0";
    BoxSeen seen = watcher.Wait();
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.caption, "友情提醒");
    EXPECT_EQ(seen.text, "hello");
    EXPECT_EQ(seen.owner, nullptr) << "no visible window of this process yet";
  }
  {
    HWND w = VisibleWindow();
    BoxWatcher watcher;
    ShowNotice("owned", std::nullopt, "cap");
    BoxSeen seen = watcher.Wait();
    EXPECT_EQ(seen.caption, "cap");
    EXPECT_EQ(seen.owner, w);
  }
}

TEST_F(WindowRoutines, ListsVisibleWindowsAndEmptiesWindowList) {
  HWND w = VisibleWindow();
  uint8_t* list = NewWordArray();
  int32_t first = ListVisibleWindows(&list);
  EXPECT_EQ(WordArrayCount(WindowList), 0u);
  ASSERT_GE(first, 1);
  ASSERT_EQ(WordArrayCount(list), static_cast<uint32_t>(first));
  bool found = false;
  for (int32_t i = 0; i < first; ++i) {
    const WindowInfo* info = Member(list, i);
    EXPECT_TRUE(IsWindowVisible(reinterpret_cast<HWND>(info->handle)));
    if (reinterpret_cast<HWND>(info->handle) == w) {
      found = true;
      EXPECT_EQ(info->processId, GetCurrentProcessId());
      EXPECT_EQ(info->threadId, GetCurrentThreadId());
      EXPECT_STREQ(info->title, "list me");
      EXPECT_STREQ(info->className, "Static");
    }
  }
  EXPECT_TRUE(found);
  // A second call replaces the caller's array and counts on its own.
  int32_t second = ListVisibleWindows(&list);
  EXPECT_EQ(second, first);
  EXPECT_EQ(WordArrayCount(WindowList), 0u);
  FreeWindowInfoArray(list);
}

TEST_F(WindowRoutines, FindsAWindowOfTheProcessOrNone) {
  EXPECT_EQ(FindProcessWindow(0xFFFFFFF0u), 0u);
  VisibleWindow();
  uint32_t found = FindProcessWindow(GetCurrentProcessId());
  ASSERT_NE(found, 0u);
  DWORD pid = 0;
  GetWindowThreadProcessId(reinterpret_cast<HWND>(found), &pid);
  EXPECT_EQ(pid, GetCurrentProcessId());
}

TEST_F(WindowRoutines, FailedBoxAnswersOneLessThanThePlatform) {
  // An owner that is not a window makes MessageBoxA fail: 0 on Windows, so the notice answers
  // -1. The platform's own answer is measured first and a different one reported.
  const HWND notAWindow = reinterpret_cast<HWND>(0x7FFFFF0);
  int platform = MessageBoxA(notAWindow, "x", "c", 0);
  if (platform != 0)
    std::printf("platform gap: MessageBoxA with an owner that is not a window answers %d, not 0\n",
                platform);
  EXPECT_EQ(ShowNotice("x", 0, "c", 0x7FFFFF0u), platform - 1);
}

// Both arrays, their members and what the members hold go back to the heap.
TEST_F(WindowRoutines, GlobalsCleanupReleasesBothArrays) {
  GlobalsCleanup();
  const int32_t emptyHeap = rt::BusyBlockCount();
  CreateGlobals();
  AppendWord(&IdList, reinterpret_cast<uint32_t>(HeapText("id1")));
  AppendWord(&IdList, 0);
  WindowInfo info{1, 2, 3, HeapText("t"), nullptr};
  AppendWord(&WindowList, reinterpret_cast<uint32_t>(CopyWindowInfo(info)));
  MemFree(info.title);
  EXPECT_GT(rt::BusyBlockCount(), emptyHeap);
  GlobalsCleanup();
  EXPECT_EQ(IdList, nullptr);
  EXPECT_EQ(WindowList, nullptr);
  EXPECT_EQ(rt::BusyBlockCount(), emptyHeap) << "every block of the globals is freed";
  CreateGlobals();
}

}  // namespace
