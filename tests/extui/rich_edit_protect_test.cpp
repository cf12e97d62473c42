// Protected text: typing into it is refused, a character-format change on it is allowed. Where
// the platform's control does not enforce protection itself, the unit does.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "extui/char_format.h"
#include "extui/rich_edit_unit.h"
#include "tests/extui/fake_runtime.h"

using namespace extui;
using namespace extui_test;

namespace {

class ProtectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFakeRuntime();
    host_ = CreateHostWindow();
    box_ = CreateBox(host_);
    ASSERT_NE(box_, nullptr);
    edit_ = box_->Handle();
    format_ = NewCharFormat();
    // "保护文本" protected, then an unprotected line "free".
    WriteText(box_, kPropSelText, "保护文本\r\n");
    Select(0, 4);
    format_->effects = kEffectProtected;
    SetSelFormat(1, 7, format_);
    Select(-1, -1);
    format_->effects = 0;
    SetSelFormat(1, 7, format_);
    WriteText(box_, kPropSelText, "free");
    ASSERT_EQ(ControlText(edit_), kText);
  }
  void TearDown() override {
    ReleaseCharFormat(format_);
    CreateHostWindow();  // destroys this test's boxes
    Pump();
  }
  void Select(LONG start, LONG end) {
    CHARRANGE r{start, end};
    SendMessageA(edit_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  }
  // Posts a key the way typing arrives: key down and up through the message loop, where
  // TranslateMessage adds the character message.
  void Type(UINT key) {
    PostMessageA(edit_, WM_KEYDOWN, key, 1);
    PostMessageA(edit_, WM_KEYUP, key, 0xC0000001);
    Pump();
  }

  static constexpr const char* kText = "保护文本\r\nfree";
  HWND host_ = nullptr;
  HWND edit_ = nullptr;
  RichEditUnit* box_ = nullptr;
  CharFormat* format_ = nullptr;
};

TEST_F(ProtectionTest, TypingIntoProtectedTextIsRefused) {
  if (!RichEditUnit::SystemEnforcesProtection()) {
    std::printf("[ platform ] this rich edit control stores CFE_PROTECTED but does not enforce it "
                "and sends no EN_PROTECTED; the unit enforces protection itself\n");
    RecordProperty("platform_gap", "protection not enforced by the control");
  }
  Select(2, 2);
  Type('X');
  EXPECT_EQ(ControlText(edit_), kText) << "character inside protected text";
  Type(VK_BACK);
  EXPECT_EQ(ControlText(edit_), kText) << "backspace inside protected text";
  Type(VK_DELETE);
  EXPECT_EQ(ControlText(edit_), kText) << "delete inside protected text";
  Select(0, 0);
  Type(VK_DELETE);
  EXPECT_EQ(ControlText(edit_), kText) << "delete at the start";
  Select(4, 4);
  Type(VK_BACK);
  EXPECT_EQ(ControlText(edit_), kText) << "backspace right after protected text";
  Select(1, 3);
  Type('Y');
  SendMessageA(edit_, WM_CLEAR, 0, 0);
  SendMessageA(edit_, WM_CUT, 0, 0);
  EXPECT_EQ(ControlText(edit_), kText) << "a selection inside protected text";
  Select(3, 7);
  Type(VK_RETURN);
  EXPECT_EQ(ControlText(edit_), kText) << "a selection reaching into protected text";
}

TEST_F(ProtectionTest, UnprotectedTextStaysEditable) {
  Select(-1, -1);
  Type('Z');
  EXPECT_EQ(ControlText(edit_), std::string(kText) + "z");
  Type(VK_BACK);
  Type(VK_BACK);
  EXPECT_EQ(ControlText(edit_), "保护文本\r\nfre");
  // Programmatic writes are not user edits: the log can still replace everything.
  WriteText(box_, kPropContent, "new");
  EXPECT_EQ(ControlText(edit_), "new");
}

// The answer to EN_PROTECTED, where the control asks: refused unless it is a format change.
TEST_F(ProtectionTest, ProtectedNotificationAnswer) {
  ENPROTECTED note{};
  note.nmhdr.hwndFrom = edit_;
  note.nmhdr.code = EN_PROTECTED;
  note.msg = WM_CHAR;
  EXPECT_EQ(SendMessageA(host_, WM_NOTIFY, 140, reinterpret_cast<LPARAM>(&note)), 1);
  note.msg = EM_SETCHARFORMAT;
  EXPECT_EQ(SendMessageA(host_, WM_NOTIFY, 140, reinterpret_cast<LPARAM>(&note)), 0);
}

TEST_F(ProtectionTest, FormatChangesOnProtectedTextAreAllowed) {
  Select(0, 4);
  format_->color = 0x0000FF;
  format_->effects = kEffectProtected | kEffectBold;
  SetSelFormat(1, 7, format_);
  CHARFORMATA cf{};
  cf.cbSize = sizeof cf;
  Select(0, 4);
  SendMessageA(edit_, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  EXPECT_EQ(cf.crTextColor, 0x0000FFu);
  EXPECT_NE(cf.dwEffects & CFE_BOLD, 0u);
  EXPECT_NE(cf.dwEffects & CFE_PROTECTED, 0u);
  EXPECT_EQ(ControlText(edit_), kText);

  // Lifting the protection with a format makes the text editable again.
  format_->effects = 0;
  SetSelFormat(1, 7, format_);
  Select(2, 2);
  Type('Q');
  EXPECT_EQ(ControlText(edit_), "保护q文本\r\nfree");
}

}  // namespace
