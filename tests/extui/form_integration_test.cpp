// The rich edit box inside the real form runtime: a window built from its template, coloured
// lines appended as the program appends them (SetSelCharFormat through CallExtensionCommand,
// then a SelText write through WriteUnitProperty), events reaching the program's handlers, and
// re-creation after a ReadOnly write.
#include <gtest/gtest.h>

#include <windows.h>
#include <richedit.h>

#include <string>

#include "commands/commands.h"
#include "extui/ext_library.h"
#include "forms/form_runtime.h"
#include "runtime/interface/ext_commands.h"
#include "runtime/interface/runtime_interface.h"
#include "runtime/interface/services.h"
#include "runtime/runtime_app.h"
#include "runtime/services.h"

extern "C" const unsigned char kExtUiFormTemplate[];
extern "C" const unsigned kExtUiFormTemplateSize;
extern "C" const char kHandlerBase[];

namespace {

constexpr int32_t kWindow = 0x52010031;
constexpr int32_t kOutputBox = 0x160117D3;
constexpr int32_t kEventBox = 0x16010002;
constexpr int32_t kSelText = 19, kReadOnly = 14, kContent = 9;

int g_changed = 0, g_selChanged = 0, g_focus = 0, g_blur = 0;
bool g_lockOnChange = false;

}  // namespace

// With g_lockOnChange the handler makes its box read-only, which re-creates the box from inside
// the notification the old control is still sending.
extern "C" HandlerReturn __cdecl OnBoxChanged() {
  ++g_changed;
  if (g_lockOnChange) {
    g_lockOnChange = false;
    WriteUnitProperty(kWindow, kEventBox, kReadOnly, -1, 1, 0);
  }
  return kHandlerNoValue;
}
extern "C" HandlerReturn __cdecl OnBoxSelChanged() { ++g_selChanged; return kHandlerNoValue; }
extern "C" HandlerReturn __cdecl OnBoxFocus() { ++g_focus; return kHandlerNoValue; }
extern "C" HandlerReturn __cdecl OnBoxBlur() { ++g_blur; return kHandlerNoValue; }

namespace {
const LibraryInfo* const kLibraries[2] = {&kCoreLibraryInfo, &kExtUiLibraryInfo};
}  // namespace

extern "C" const ProgramInfo kProgramInfo = {
    3, 0, 0x14805, reinterpret_cast<uintptr_t>(kHandlerBase), nullptr, 0,
    kExtUiFormTemplate, kExtUiFormTemplateSize, 2, kLibraries, 0, nullptr, nullptr};
extern "C" int32_t __cdecl ProgramEntry() { return 0; }

namespace {

class FormBoxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    forms::StartFormRuntime();
    rt::TheApp().Initialise(kProgramInfo);
    ASSERT_TRUE(forms::LoadStartWindow(kWindow));
  }
  static HWND Box(int32_t unit) {
    auto* object = reinterpret_cast<fw::WindowObject*>(
        rt::RuntimeNotify(kSvcUnitObject, kWindow, static_cast<uint32_t>(unit)));
    return object ? object->Handle() : nullptr;
  }
  static void Pump() {
    for (int i = 0; i < 3; ++i) rt::ProcessPendingMessages(), Sleep(5);
  }
  // The program's way of appending a line.
  static void AppendLine(uint32_t colour, const std::string& line) {
    CharFormatValue* format = NewCharFormatValue();
    format->color = colour;
    SetSelCharFormat(kWindow, kOutputBox, format);
    const std::string text = line + "\r\n";
    WriteUnitProperty(kWindow, kOutputBox, kSelText, -1, reinterpret_cast<uintptr_t>(text.c_str()), 0);
    SendMessageA(Box(kOutputBox), WM_VSCROLL, SB_BOTTOM, 0);
    FreeCharFormatValue(format);
  }
  static uint32_t ColourAt(HWND box, LONG start, LONG end) {
    CHARRANGE r{start, end};
    SendMessageA(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    SendMessageA(box, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    return (cf.dwEffects & CFE_AUTOCOLOR) ? 0xFF000000u : cf.crTextColor;
  }
  static std::string Text(int32_t unit) {
    auto* text = reinterpret_cast<char*>(static_cast<uintptr_t>(
        ReadUnitProperty(kWindow, unit, kContent, -1)));
    std::string out = text ? text : "";
    if (text) MemFree(text);
    return out;
  }
};

TEST_F(FormBoxTest, OutputBoxTakesItsTemplateSettingsAndAppendsColouredLines) {
  HWND box = Box(kOutputBox);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE) << "sunken";
  const LRESULT previous = SendMessageA(box, EM_SETBKGNDCOLOR, 0, 0);
  EXPECT_EQ(previous, 0) << "black background from the template";

  WriteUnitProperty(kWindow, kOutputBox, kContent, -1, reinterpret_cast<uintptr_t>(""), 0);
  AppendLine(0xFF00, "账号 a 未注册！");
  AppendLine(0xFF, "账号 b 已注册！");
  AppendLine(0xFFFF, "");
  AppendLine(0xFFFF, "usage");
  EXPECT_EQ(Text(kOutputBox), "账号 a 未注册！\r\n账号 b 已注册！\r\n\r\nusage\r\n");
  EXPECT_EQ(ColourAt(box, 0, 2), 0xFF00u);
  EXPECT_EQ(ColourAt(box, 10, 12), 0xFFu);
  EXPECT_EQ(ColourAt(box, 22, 27), 0xFFFFu);

  // A user selection made between two lines is replaced by the next line.
  CHARRANGE mine{3, 4};
  SendMessageA(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&mine));
  AppendLine(0xFF, "X");
  EXPECT_EQ(Text(kOutputBox).substr(0, 8), "账号 X\r\n");
}

TEST_F(FormBoxTest, EventsReachTheProgramsHandlers) {
  HWND box = Box(kEventBox);
  ASSERT_NE(box, nullptr);
  SetFocus(Box(kOutputBox));  // the window may have given this box the focus when shown
  g_changed = g_selChanged = g_focus = g_blur = 0;
  WriteUnitProperty(kWindow, kEventBox, kSelText, -1, reinterpret_cast<uintptr_t>("abc"), 0);
  EXPECT_GE(g_changed, 1);
  EXPECT_GE(g_selChanged, 1);
  SetFocus(box);
  SetFocus(Box(kOutputBox));
  Pump();
  EXPECT_EQ(g_focus, 1);
  EXPECT_EQ(g_blur, 1);
}

// Enter typed into a multi-line box is a line break there, although the window moves the focus
// on Enter elsewhere (its 回车下移输入点 is set).
TEST_F(FormBoxTest, EnterStaysInTheBox) {
  HWND box = Box(kEventBox);
  WriteUnitProperty(kWindow, kEventBox, kContent, -1, reinterpret_cast<uintptr_t>("ab"), 0);
  SetFocus(box);
  CHARRANGE end{-1, -1};
  SendMessageA(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
  PostMessageA(box, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageA(box, WM_KEYUP, VK_RETURN, 0xC0000001);
  Pump();
  EXPECT_EQ(GetFocus(), box);
  EXPECT_EQ(Text(kEventBox), "ab\r\n");
}

// Writing ReadOnly asks the runtime to re-create the box: a new control, read-only, with the
// lines it had. The same from the box's own change handler, while the old control is inside the
// write that raised it: the old control finishes that write before its window goes, and the new
// box holds the write's text.
TEST_F(FormBoxTest, ReadOnlyWriteRecreatesTheBoxWithItsLines) {
  auto expectRecreated = [](int32_t unit, HWND before, const char* text) {
    HWND after = Box(unit);
    ASSERT_NE(after, nullptr);
    EXPECT_NE(after, before);
    EXPECT_FALSE(IsWindow(before));
    EXPECT_NE(GetWindowLongA(after, GWL_STYLE) & ES_READONLY, 0u);
    EXPECT_EQ(Text(unit), text);
  };
  WriteUnitProperty(kWindow, kOutputBox, kContent, -1, reinterpret_cast<uintptr_t>(""), 0);
  AppendLine(0xFF, "kept");
  HWND before = Box(kOutputBox);
  WriteUnitProperty(kWindow, kOutputBox, kReadOnly, -1, 1, 0);
  Pump();
  expectRecreated(kOutputBox, before, "kept\r\n");
  AppendLine(0xFF00, "more");
  EXPECT_EQ(Text(kOutputBox), "kept\r\nmore\r\n");

  WriteUnitProperty(kWindow, kEventBox, kContent, -1, reinterpret_cast<uintptr_t>(""), 0);
  before = Box(kEventBox);
  g_lockOnChange = true;
  WriteUnitProperty(kWindow, kEventBox, kSelText, -1, reinterpret_cast<uintptr_t>("locked"), 0);
  expectRecreated(kEventBox, before, "locked");
  WriteUnitProperty(kWindow, kEventBox, kReadOnly, -1, 0, 0);
}

}  // namespace
