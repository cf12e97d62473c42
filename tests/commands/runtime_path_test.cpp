// The core library on the real runtime: the runtime's initialisation hands the library its
// service function (event 1), and program-side calls go through the typed command layer, the
// CallCoreCommand slot of the runtime interface, the runtime's heap, numeric conversion,
// open-file registry and message pumping.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "commands/commands.h"
#include "runtime/interface/core_commands.h"
#include "runtime/interface/runtime_interface.h"
#include "runtime/program_binding.h"
#include "tests/support/core_library_record.h"
#include "tests/support/message_box.h"

namespace {

// The core library as this test program links it: commands and notification entry. Its data
// types belong to the form runtime and play no part here.
const LibraryInfo kLibrary = CommandsOnlyCoreLibrary();
const LibraryInfo* const kLibraries[] = {&kLibrary};

}  // namespace

extern "C" const ProgramInfo kProgramInfo = {3, 0, 0x14805,    0, nullptr, 0,      nullptr,
                                             0, 1, kLibraries, 0, nullptr, nullptr};

namespace {

class OnTheRuntime : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    rt::BindProgram(&kProgramInfo, nullptr);
    ProgramOtherHelp(kHelpInitialiseRuntime, nullptr, 0);
  }
};

TEST_F(OnTheRuntime, TypedTextCommandsRoundTrip) {
  core::TextArray ids = core::SplitText("ab1\r\n\r\n\xD5\xCB\xBA\xC5\r\n", "\r\n");
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_STREQ(ids[0], "ab1");
  EXPECT_STREQ(ids[1], "");
  EXPECT_STREQ(ids[2], "\xD5\xCB\xBA\xC5");

  core::Text host = core::ReplaceSubtext("https://a/https://b", "https://", nullptr, {}, {}, true);
  EXPECT_STREQ(host.c_str(), "a/b");
  EXPECT_EQ(core::FindTextReverse("aaaa", "aa", 4), 2);
  EXPECT_EQ(core::FindText("Accept: x", "accept:", 1, true), 1);
  EXPECT_STREQ(core::TrimSpaces("\xA1\xA1 x ").c_str(), "x");
  EXPECT_TRUE(core::TextLeft("abc", 0).empty());
  EXPECT_EQ(core::CompareText("HTTP://", "http://", false), 0);
}

TEST_F(OnTheRuntime, ConversionsAndByteSets) {
  const int32_t page[3] = {1, 4, 0x00434241};
  EXPECT_STREQ(core::ToText(BytesArg(page)).c_str(), "ABC");
  EXPECT_EQ(core::ToNumber(TextArg("\xA3\xB8\xA3\xB0")), 80.0);
  core::Bytes bytes = core::ToByteSet(TextArg("xyz"));
  ASSERT_EQ(bytes.size(), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 3), "xyz");
  EXPECT_EQ(core::ByteSetLength(core::ByteSetLeft(bytes.get(), 2).get()), 2);
  EXPECT_EQ(core::ByteSetLength(nullptr), 0);
  EXPECT_STREQ(core::ToHexText(255).c_str(), "FF");
}

// A count of another numeric kind goes through the runtime's own numeric conversion.
TEST_F(OnTheRuntime, NumericArgumentsUseTheRuntimesConversion) {
  ArgRecord count = DoubleArg(3.9);
  uint64_t v = ProgramCallCommand(
      CallCoreCommand, kProgramInfo.libraries[0]->commands[kCmdSpaceText], 1, &count, nullptr);
  core::Text spaces(reinterpret_cast<void*>(static_cast<uint32_t>(v)));
  EXPECT_STREQ(spaces.c_str(), "   ");
}

TEST_F(OnTheRuntime, MemoryFileThroughTheRuntimesRegistry) {
  int32_t file = core::OpenMemoryFile();
  ASSERT_NE(file, 0);
  EXPECT_TRUE(core::WriteText(file, {TextArg("Set-Cookie: a=1\r\n"), IntArg(2), TextArg("\n")}));
  EXPECT_TRUE(core::SeekToFileStart(file));
  EXPECT_FALSE(core::IsEndOfFile(file, false));
  EXPECT_STREQ(core::ReadLine(file).c_str(), "Set-Cookie: a=1");
  EXPECT_STREQ(core::ReadLine(file).c_str(), "2");
  EXPECT_TRUE(core::IsEndOfFile(file));
  // A long value list is laid out in one block as well.
  EXPECT_TRUE(core::WriteText(
      file, {IntArg(0),  IntArg(1),  IntArg(2),  IntArg(3),  IntArg(4),  IntArg(5),  IntArg(6),
             IntArg(7),  IntArg(8),  IntArg(9),  IntArg(10), IntArg(11), IntArg(12), IntArg(13),
             IntArg(14), IntArg(15), IntArg(16), IntArg(17), IntArg(18), IntArg(19)}));
  EXPECT_TRUE(core::SeekToFileStart(file));
  EXPECT_STREQ(core::ReadLine(file).c_str(), "Set-Cookie: a=1");
  EXPECT_STREQ(core::ReadLine(file).c_str(), "2");
  EXPECT_STREQ(core::ReadLine(file).c_str(), "012345678910111213141516171819");
  core::CloseFile(file);
  EXPECT_FALSE(core::SeekToFileStart(file));
  EXPECT_TRUE(core::IsEndOfFile(file));
  core::CloseFile(file);  // already closed: nothing happens
}

TEST_F(OnTheRuntime, RunDirectoryIsTheProgramsDirectory) {
  EXPECT_EQ(std::string(core::GetRunDirectory().c_str()), TestDirectory());
}

int g_delivered = 0;
LRESULT CALLBACK Counting(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER + 1) ++g_delivered;
  return DefWindowProcA(h, m, w, l);
}

TEST_F(OnTheRuntime, ProcessEventsDispatchesAndLeavesQuitQueued) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Counting;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "CommandsRuntimeCounting";
  RegisterClassA(&wc);
  HWND window =
      CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_USER + 1, 0, 0);
  PostMessageA(window, WM_USER + 1, 0, 0);
  core::ProcessEvents();
  EXPECT_EQ(g_delivered, 2);
  PostQuitMessage(0);
  core::ProcessEvents();
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  DestroyWindow(window);
}

}  // namespace

