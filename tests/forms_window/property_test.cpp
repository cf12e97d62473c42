// Class properties of the window and the edit box through the runtime's property access, the
// way program code reaches them: texts in and out as GBK heap texts, frames and selections
// applied to the live windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "forms/edit_box.h"
#include "forms/form_runtime.h"
#include "forms/form_window.h"
#include "runtime/heap.h"
#include "tests/forms_window/form_test_support.h"

using namespace formtest;

namespace {

constexpr int32_t kWindowProperty = 8;   // class properties start after the eight common ones

// Reads a text property and takes ownership of the heap text ("" for the null empty text).
std::string ReadText(int32_t windowId, uint32_t unit, int32_t property) {
  auto* text = reinterpret_cast<char*>(static_cast<uintptr_t>(
      forms::ReadUnitProperty(windowId, static_cast<int32_t>(unit), property, -1)));
  std::string copy = text ? text : "";
  rt::MemFree(text);
  return copy;
}

bool IsNullText(int32_t windowId, uint32_t unit, int32_t property) {
  return forms::ReadUnitProperty(windowId, static_cast<int32_t>(unit), property, -1) == 0;
}

void WriteText(int32_t windowId, uint32_t unit, int32_t property, const char* text) {
  forms::WriteUnitProperty(windowId, static_cast<int32_t>(unit), property, -1,
                           reinterpret_cast<uintptr_t>(text));
}

void WriteInt(int32_t windowId, uint32_t unit, int32_t property, int32_t value) {
  forms::WriteUnitProperty(windowId, static_cast<int32_t>(unit), property, -1, static_cast<uint32_t>(value));
}

int32_t ReadInt(int32_t windowId, uint32_t unit, int32_t property) {
  return static_cast<int32_t>(forms::ReadUnitProperty(windowId, static_cast<int32_t>(unit), property, -1));
}

class PropertyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitialiseTestProgram(); }
  void SetUp() override {
    ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
    Pump();
  }
  void TearDown() override {
    forms::DestroyAllWindows();
    Pump();
  }
};

TEST_F(PropertyTest, WindowFrameAndTitleFollowTheirProperties) {
  HWND form = FormHandle(kFirstWindow);
  WriteText(kFirstWindow, 0, kWindowProperty + forms::kWinCaption, "新标题");
  EXPECT_EQ("新标题", WindowText(form));
  EXPECT_EQ("新标题", ReadText(kFirstWindow, 0, kWindowProperty + forms::kWinCaption));

  WriteInt(kFirstWindow, 0, kWindowProperty + forms::kWinBorder, 1);
  EXPECT_TRUE(GetWindowLongA(form, GWL_STYLE) & WS_THICKFRAME) << "border 1 is sizable";
  WriteInt(kFirstWindow, 0, kWindowProperty + forms::kWinBorder, 99);
  EXPECT_EQ(6, ReadInt(kFirstWindow, 0, kWindowProperty + forms::kWinBorder)) << "choices clamp";
  EXPECT_TRUE(GetWindowLongA(form, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

  WriteInt(kFirstWindow, 0, kWindowProperty + forms::kWinMinButton, 0);
  EXPECT_FALSE(GetWindowLongA(form, GWL_STYLE) & WS_MINIMIZEBOX);

  WriteInt(kFirstWindow, 0, kWindowProperty + forms::kWinAlwaysOnTop, 1);
  EXPECT_TRUE(GetWindowLongA(form, GWL_EXSTYLE) & WS_EX_TOPMOST);
  WriteInt(kFirstWindow, 0, kWindowProperty + forms::kWinAlwaysOnTop, 0);
  EXPECT_FALSE(GetWindowLongA(form, GWL_EXSTYLE) & WS_EX_TOPMOST);

  // Re-centring a window that was moved.
  SetWindowPos(form, nullptr, 3, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  WriteInt(kFirstWindow, 0, kWindowProperty + forms::kWinStartPosition, 1);
  RECT r;
  GetWindowRect(form, &r);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2, r.left);

  WriteInt(kFirstWindow, 0, kWindowProperty + forms::kWinMovable, 0);
  EXPECT_EQ(-1, GetMenuState(GetSystemMenu(form, FALSE), SC_MOVE, MF_BYCOMMAND)) << "no Move entry";
  WriteInt(kFirstWindow, 0, kWindowProperty + forms::kWinMovable, 1);
  EXPECT_NE(-1, GetMenuState(GetSystemMenu(form, FALSE), SC_MOVE, MF_BYCOMMAND));
}

TEST_F(PropertyTest, EditContentSelectionAndSelectedTextInCharacters) {
  constexpr int32_t content = kWindowProperty + forms::kEditContent;
  EXPECT_TRUE(IsNullText(kFirstWindow, kEdit1, content)) << "an empty box reads as the null text";
  // Typed lines read back with CR LF.
  HWND edit = UnitHandle(kFirstWindow, kEdit1);
  SetFocus(edit);
  for (const char* c = "ab\rcd\ref"; *c; ++c) PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 0);
  Pump();
  EXPECT_EQ("ab\r\ncd\r\nef", ReadText(kFirstWindow, kEdit1, content));

  // Positions count characters, so a two-byte character is one step.
  WriteText(kFirstWindow, kEdit1, content, "甲乙丙丁");
  WriteInt(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelStart, 1);
  WriteInt(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelLength, 2);
  EXPECT_EQ(1, ReadInt(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelStart));
  EXPECT_EQ(2, ReadInt(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelLength));
  EXPECT_EQ("乙丙", ReadText(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelText));
  WriteText(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelText, "中");
  EXPECT_EQ("甲中丁", ReadText(kFirstWindow, kEdit1, content));

  // A length up to the 32-bit limit selects to the end of the text.
  WriteInt(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelStart, 1);
  WriteInt(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelLength, INT32_MAX);
  EXPECT_EQ(1, ReadInt(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelStart));
  EXPECT_EQ("中丁", ReadText(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelText));

  // -1 selects everything; other negatives are 0.
  WriteInt(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelLength, -1);
  EXPECT_EQ("甲中丁", ReadText(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelText));
  WriteInt(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelStart, -7);
  EXPECT_EQ(0, ReadInt(kFirstWindow, kEdit1, kWindowProperty + forms::kEditSelStart));

  // A null text written is the empty text.
  WriteText(kFirstWindow, kEdit1, content, nullptr);
  EXPECT_TRUE(IsNullText(kFirstWindow, kEdit1, content));
}

TEST_F(PropertyTest, PasswordModeAndLimitsApplyToTheLiveBox) {
  // Password masking needs a single-line box.
  HWND edit = UnitHandle(kFirstWindow, kEdit2);
  WriteInt(kFirstWindow, kEdit2, kWindowProperty + forms::kEditInputMode, 2);
  EXPECT_EQ('*', SendMessageA(edit, EM_GETPASSWORDCHAR, 0, 0));
  WriteText(kFirstWindow, kEdit2, kWindowProperty + forms::kEditPasswordChar, "#");
  EXPECT_EQ('#', SendMessageA(edit, EM_GETPASSWORDCHAR, 0, 0));
  EXPECT_EQ("#", ReadText(kFirstWindow, kEdit2, kWindowProperty + forms::kEditPasswordChar));
  // An empty text would unmask the password: the character stays.
  WriteText(kFirstWindow, kEdit2, kWindowProperty + forms::kEditPasswordChar, "");
  EXPECT_EQ('#', SendMessageA(edit, EM_GETPASSWORDCHAR, 0, 0));

  WriteInt(kFirstWindow, kEdit2, kWindowProperty + forms::kEditInputMode, 1);
  EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(0, SendMessageA(edit, EM_GETPASSWORDCHAR, 0, 0));
  WriteInt(kFirstWindow, kEdit2, kWindowProperty + forms::kEditInputMode, 40);
  EXPECT_EQ(11, ReadInt(kFirstWindow, kEdit2, kWindowProperty + forms::kEditInputMode));
  EXPECT_FALSE(GetWindowLongA(edit, GWL_STYLE) & ES_READONLY);

  WriteInt(kFirstWindow, kEdit2, kWindowProperty + forms::kEditMaxLength, -3);
  EXPECT_EQ(0, ReadInt(kFirstWindow, kEdit2, kWindowProperty + forms::kEditMaxLength));
  WriteInt(kFirstWindow, kEdit2, kWindowProperty + forms::kEditMaxLength, 5);
  EXPECT_EQ(5, SendMessageA(edit, EM_GETLIMITTEXT, 0, 0));
}

TEST_F(PropertyTest, SpinRangeIsOrderedWhicheverEndIsWrittenFirst) {
  HWND spin = GetDlgItem(FormHandle(kFirstWindow), 114);
  WriteInt(kFirstWindow, kEdit2, kWindowProperty + forms::kEditSpinMin, 10);
  WriteInt(kFirstWindow, kEdit2, kWindowProperty + forms::kEditSpinMax, 5);
  int low = 0, high = 0;
  SendMessageA(spin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  EXPECT_EQ(5, low);
  EXPECT_EQ(10, high);
  EXPECT_EQ(10, ReadInt(kFirstWindow, kEdit2, kWindowProperty + forms::kEditSpinMin)) << "stored as written";
}

}  // namespace
