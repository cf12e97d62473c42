// Framework layer: archive round trips and short-data failures, memory file growth, and
// message dispatch through window objects, paths turned into GBK.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "framework/app.h"
#include "framework/archive.h"
#include "framework/deferred_delete.h"
#include "framework/gbk_text.h"
#include "framework/global_memory.h"
#include "framework/memfile.h"
#include "framework/scoped_handle.h"
#include "framework/window.h"

namespace {

TEST(Archive, RoundTripsEveryKindAcrossBufferBoundaries) {
  fw::MemFile file(1024);
  std::string big(5000, 'x');
  big[4095] = '\xB0';
  {
    fw::Archive out(file, fw::Archive::kStore);
    out.WriteWord(0x12345678);
    out.WriteCountedText(big);
    out.WriteCountedBlock("\0\1\2", 3);
    out.WriteZeroText("\xC4\xE3\xBA\xC3");
    out.WriteCountedText("");
    out.WriteHalf(0xBEEF);
    out.Close();
  }
  EXPECT_EQ(file.Length(), 4u + 4 + 5000 + 4 + 3 + 5 + 4 + 2);
  file.Seek(0, FILE_BEGIN);
  fw::Archive in(file, fw::Archive::kLoad);
  EXPECT_EQ(in.ReadWord(), 0x12345678u);
  EXPECT_EQ(in.ReadCountedText(), big);
  EXPECT_EQ(in.ReadCountedBlock(), (std::vector<uint8_t>{0, 1, 2}));
  EXPECT_EQ(in.ReadZeroText(), "\xC4\xE3\xBA\xC3");
  EXPECT_EQ(in.ReadCountedText(), "");
  EXPECT_EQ(in.ReadHalf(), 0xBEEF);
  EXPECT_THROW(in.ReadBytes(&big[0], 1), fw::ArchiveError);
}

TEST(Archive, ShortAndHostileDataThrowsWithTheOffset) {
  // A counted text announcing more than the data holds must fail before allocating it.
  const uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0x7F, 'a'};
  fw::MemFile file(huge, sizeof huge);
  fw::Archive in(file, fw::Archive::kLoad);
  try {
    in.ReadCountedText();
    FAIL() << "no exception";
  } catch (const fw::ArchiveError& e) {
    EXPECT_EQ(e.offset, 4u);
  }
  // A negative count is an empty text, not an error.
  const uint8_t negative[] = {0xFE, 0xFF, 0xFF, 0xFF};
  fw::MemFile file2(negative, sizeof negative);
  fw::Archive in2(file2, fw::Archive::kLoad);
  EXPECT_EQ(in2.ReadCountedText(), "");
  // A zero-terminated text without its terminator is short.
  const uint8_t open[] = {'a', 'b'};
  fw::MemFile file3(open, sizeof open);
  fw::Archive in3(file3, fw::Archive::kLoad);
  EXPECT_THROW(in3.ReadZeroText(), fw::ArchiveError);
}

TEST(MemFile, ReadOnlyViewRefusesWritesAndSeeksClamp) {
  const char data[] = "abc";
  fw::MemFile view(data, 3);
  EXPECT_FALSE(view.Write("x", 1));
  EXPECT_EQ(view.Seek(10, FILE_BEGIN), 3u);
  EXPECT_EQ(view.Seek(-10, FILE_CURRENT), 0u);
  char out[4] = {};
  EXPECT_EQ(view.Read(out, 10), 3u);
  EXPECT_STREQ(out, "abc");
}

class Recorder : public fw::WindowObject {
 public:
  std::vector<UINT> seen;
  bool destroyed = false;
 protected:
  LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_USER + 1) return 42;
    seen.push_back(msg);
    return fw::WindowObject::WndProc(msg, w, l);
  }
  void PostNcDestroy() override { destroyed = true; }
};

TEST(WindowObject, DispatchesFromCreationToDestruction) {
  const char* cls = fw::RegisterHelperClass(0, LoadCursor(nullptr, IDC_ARROW), nullptr, nullptr);
  Recorder w;
  ASSERT_TRUE(w.Create(0, cls, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
  HWND h = w.Handle();
  EXPECT_EQ(fw::WindowObject::FromHandlePermanent(h), &w);
  EXPECT_EQ(SendMessageA(h, WM_USER + 1, 0, 0), 42);
  ASSERT_FALSE(w.seen.empty());
  EXPECT_EQ(w.seen.front(), static_cast<UINT>(WM_GETMINMAXINFO));
  DestroyWindow(h);
  EXPECT_TRUE(w.destroyed);
  EXPECT_EQ(w.Handle(), nullptr);
  EXPECT_EQ(fw::WindowObject::FromHandlePermanent(h), nullptr);
}

// Deletes itself once its window is gone, as windows that own themselves do.
class SelfOwned : public fw::WindowObject {
 public:
  explicit SelfOwned(bool* deleted) : deleted_(deleted) {}
  ~SelfOwned() override { *deleted_ = true; }
 protected:
  LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_CLOSE) {
      DestroyWindow(Handle());  // the object is deleted inside this call
      return 0;
    }
    return fw::WindowObject::WndProc(msg, w, l);
  }
  void PostNcDestroy() override { delete this; }
 private:
  bool* deleted_;
};

TEST(WindowObject, AnObjectMayDeleteItselfInsideItsOwnProcedure) {
  const char* cls = fw::RegisterHelperClass(0, nullptr, nullptr, nullptr);
  bool deleted = false;
  auto* w = new SelfOwned(&deleted);
  ASSERT_TRUE(w->Create(0, cls, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  HWND h = w->Handle();
  SendMessageA(h, WM_CLOSE, 0, 0);
  EXPECT_TRUE(deleted);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}

TEST(WindowObject, SubclassedSystemControlKeepsItsBehaviour) {
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  Recorder w;
  ASSERT_TRUE(w.SubclassWindow(edit));
  EXPECT_FALSE(w.SubclassWindow(edit));
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("hello"));
  char buf[16] = {};
  SendMessageA(edit, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(w.UnsubclassWindow(), edit);
  EXPECT_EQ(fw::WindowObject::FromHandlePermanent(edit), nullptr);
  DestroyWindow(edit);
}

// A parent that destroys its edit control from the control's own change notification.
class DestroyingParent : public fw::WindowObject {
 public:
  HWND edit = nullptr;
  const Recorder* editObject = nullptr;
  bool endedInHandler = false, sawDestroyInHandler = false, windowKeptInHandler = false;
 protected:
  LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_COMMAND && HIWORD(w) == EN_CHANGE && edit) {
      fw::WindowObject::DestroyWhenReturned(std::exchange(edit, nullptr));
      endedInHandler = editObject->destroyed;
      const auto& seen = editObject->seen;
      sawDestroyInHandler = std::find(seen.begin(), seen.end(), UINT{WM_DESTROY}) != seen.end();
      windowKeptInHandler = ::IsWindow(reinterpret_cast<HWND>(l)) && ::GetParent(reinterpret_cast<HWND>(l)) != Handle();
    }
    return fw::WindowObject::WndProc(msg, w, l);
  }
};

// The object of a control destroyed inside one of the control's own messages ends at once; the
// window stays the control's, out of its parent's children, until that message has returned.
TEST(WindowObject, AControlDestroyedInsideItsOwnMessageKeepsItsWindowUntilItReturns) {
  const char* cls = fw::RegisterHelperClass(0, nullptr, nullptr, nullptr);
  DestroyingParent parent;
  ASSERT_TRUE(parent.Create(0, cls, "", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr));
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 90, 20, parent.Handle(),
                              nullptr, nullptr, nullptr);
  Recorder object;
  ASSERT_TRUE(object.SubclassWindow(edit));
  parent.edit = edit;
  parent.editObject = &object;
  SendMessageA(edit, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("typed"));
  EXPECT_TRUE(parent.endedInHandler);
  EXPECT_TRUE(parent.sawDestroyInHandler);
  EXPECT_TRUE(parent.windowKeptInHandler);
  EXPECT_FALSE(IsWindow(edit)) << "destroyed once the replacement returned";
  EXPECT_EQ(fw::WindowObject::FromHandlePermanent(edit), nullptr);
  parent.Destroy();
}

// Pre-translating its first message, it posts a second one and pumps it in a nested loop, as
// a handler that processes pending messages does; it counts what reaches its procedure.
class PumpingInPreTranslation : public fw::WindowObject {
 public:
  std::vector<UINT> dispatched;
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message != WM_USER + 1) return FALSE;
    Post(WM_USER + 2);
    MSG inner;
    fw::CurrentApp()->PumpMessage(inner);
    return FALSE;
  }
 protected:
  LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg >= WM_USER) dispatched.push_back(msg);
    return fw::WindowObject::WndProc(msg, w, l);
  }
};

TEST(App, AMessagePumpedDuringPreTranslationIsDispatchedOnceAndTheOuterOneStill) {
  fw::App app;
  const char* cls = fw::RegisterHelperClass(0, nullptr, nullptr, nullptr);
  PumpingInPreTranslation w;
  ASSERT_TRUE(w.Create(0, cls, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  w.Post(WM_USER + 1);
  PostQuitMessage(7);
  fw::LoopHook plain;
  EXPECT_TRUE(app.RunMessages(plain));
  EXPECT_EQ(app.quitCode, 7u);
  EXPECT_EQ(w.dispatched, (std::vector<UINT>{WM_USER + 2, WM_USER + 1}));
  w.Destroy();
}

// A handle is closed exactly once, by its last owner, without losing the thread's last error.
TEST(ScopedHandle, ClosesOnceKeepsTheLastErrorAndMovesOwnership) {
  HBRUSH raw = CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_NE(raw, nullptr);
  {
    fw::ScopedBrush first(raw);
    fw::ScopedBrush second(std::move(first));
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(second.Get(), raw);
    SetLastError(ERROR_FILE_NOT_FOUND);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetObjectType(raw), 0u) << "the brush is gone";

  fw::ScopedGlobal memory = fw::CopyToGlobal("abc", 3);
  ASSERT_TRUE(memory);
  EXPECT_EQ(GlobalSize(memory.Get()), 3u);
  EXPECT_TRUE(GlobalFlags(memory.Get()) & GMEM_DDESHARE);
  EXPECT_EQ(fw::CopyFromGlobal(memory.Get()), (std::vector<uint8_t>{'a', 'b', 'c'}));
}

// Counts its own deletion.
class Counted : public fw::WindowObject {
 public:
  explicit Counted(int* deleted) : deleted_(deleted) {}
  ~Counted() override { ++*deleted_; }
 private:
  int* deleted_;
};

TEST(DeleteQueue, HoldsObjectsWhileAFrameRunsAndDeletesThemAfterwards) {
  fw::DeleteQueue queue;
  int deleted = 0;
  queue.DeleteOrDefer(new Counted(&deleted));
  EXPECT_EQ(deleted, 1) << "no frame: deleted at once";
  {
    fw::DeleteQueue::Frame outer(queue, true);
    {
      fw::DeleteQueue::Frame inner(queue);
      queue.DeleteOrDefer(new Counted(&deleted));
      queue.Flush();
    }
    EXPECT_EQ(deleted, 1) << "held while the outer frame runs";
  }
  EXPECT_EQ(deleted, 2) << "the outermost frame deleted it on leaving";
  {
    fw::DeleteQueue::Frame procedure(queue);
    queue.Defer(new Counted(&deleted));
  }
  EXPECT_EQ(deleted, 2) << "a frame without flushOnExit leaves it to the next flush";
  queue.Flush();
  EXPECT_EQ(deleted, 3);
}

}  // namespace

// A path the system gives as UTF-16 becomes GBK without best-fit look-alikes: a character GBK
// cannot hold is '?', which names no file, never a letter that names another folder.
TEST(GbkText, PathsKeepNoLookAlikes) {
  const std::pair<const wchar_t*, const char*> paths[] = {
      {L"C:\\Ch\u00E2teau\\a.exe", "C:\\Ch?teau\\a.exe"},   {L"C:\\Jos\u00E9", "C:\\Jos\xA8\xA6"},
      {L"C:\\\uD55C\uAD6D", "C:\\??"},                      {L"C:\\Stra\u00DFe", "C:\\Stra?e"},
      {L"C:\\\u4E2D\u6587\\\u00B2", "C:\\\xD6\xD0\xCE\xC4\\?"}};
  for (const auto& [wide, gbk] : paths) EXPECT_EQ(fw::GbkPathFromWide(wide), gbk);
  EXPECT_EQ(fw::GbkPathFromWide(L"ab\u00E2c", 3), "ab?");
}
