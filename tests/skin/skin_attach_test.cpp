// The skin library attached to live windows: the carried library loads under its file name,
// skin 33 restyles the window background, the push button and the edit box, and the controls
// still take clicks, keys and focus. Later skins replace it; refused blocks leave it in place.
#include <gtest/gtest.h>

#include "skin_test_support.h"

using namespace skintest;

namespace {

// The library stays loaded (and attached) for the whole program, as in the real program.
AttachFn Attach() {
  static AttachFn attach = [] {
    return FindAttach(LoadCarriedLibrary());
  }();
  return attach;
}

int32_t AttachSkin(int number) {
  std::vector<uint8_t> block = SkinCopy(number);
  bool balanced = false;
  int32_t result = AttachChecked(Attach(), block.data(), static_cast<uint32_t>(block.size()), &balanced);
  EXPECT_TRUE(balanced) << "the export must remove its six argument words (stdcall)";
  Pump(100);
  return result;
}

RECT ClientRectOf(HWND window) {
  RECT rc;
  GetClientRect(window, &rc);
  return rc;
}

// Checks the three styled surfaces of a test window against a scheme.
void ExpectStyled(const TestWindow& w, const skin::SkinScheme& s, const char* when) {
  SCOPED_TRACE(when);
  COLORREF back = ClientPixel(w.frame, 300, 200);
  EXPECT_TRUE(Near(back, s.colours[skin::kWindowBack])) << "window background " << Hex(back);

  RECT b = ClientRectOf(w.button);
  int y = b.bottom / 2;
  COLORREF face = ClientPixel(w.button, 4, y);
  COLORREF expected = FaceAt(s.colours[skin::kButtonFaceTop], s.colours[skin::kButtonFaceBottom], y, b.bottom);
  EXPECT_TRUE(Near(face, expected, 3)) << "button face " << Hex(face) << " expected " << Hex(expected);
  COLORREF border = ClientPixel(w.button, 0, y);
  EXPECT_TRUE(Near(border, s.colours[skin::kButtonBorder]) || Near(border, s.colours[skin::kAccent]))
      << "button outline " << Hex(border);

  RECT e = ClientRectOf(w.edit);
  COLORREF field = ClientPixel(w.edit, e.right - 3, e.bottom - 3);
  EXPECT_TRUE(Near(field, s.colours[skin::kEditBack])) << "edit background " << Hex(field);
}

class SkinAttach : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Attach(), nullptr) << "SkinH_AttachRes not found in the written library";
    // The mouse rests away from the windows, so no button starts under it.
    MouseMoveTo(GetDesktopWindow(), 1200, 1000);
    ASSERT_TRUE(CreateTestWindow(&w_, 40, 40));
  }
  void TearDown() override { DestroyTestWindow(&w_); }
  TestWindow w_;
};

TEST_F(SkinAttach, Skin33RestylesWindowButtonAndEdit) {
  COLORREF standard = ClientPixel(w_.frame, 300, 200);
  ASSERT_EQ(0, AttachSkin(33));
  skin::SkinScheme s = SchemeOf(33);
  ASSERT_FALSE(Near(standard, s.colours[skin::kWindowBack])) << "skin 33 must differ from the standard look";
  ExpectStyled(w_, s, "after attaching skin 33");

  // Text typed into the edit box is drawn in the edit text colour: some pixel of the text
  // row carries it (the text is anti-aliased, so look for the brightest match).
  SetWindowTextA(w_.edit, "MMMM");
  Pump(50);
  bool found = false;
  for (int x = 2; x < 40 && !found; ++x)
    for (int y = 2; y < 14 && !found; ++y) found = Near(ClientPixel(w_.edit, x, y), s.colours[skin::kEditText], 24);
  EXPECT_TRUE(found) << "no pixel of the edit text has the edit text colour";
}

TEST_F(SkinAttach, ControlsKeepWorkingWhenSkinned) {
  ASSERT_EQ(0, AttachSkin(33));
  skin::SkinScheme s = SchemeOf(33);
  RECT b = ClientRectOf(w_.button);

  // A real mouse click: pressed face while the button is held, one click notification.
  MouseMoveTo(w_.button, b.right / 2, b.bottom / 2);
  Pump(60);
  MouseButton(true);
  Pump(80);
  int y = b.bottom / 2;
  COLORREF held = ClientPixel(w_.button, 4, y);
  COLORREF pressed = FaceAt(s.colours[skin::kButtonPressedTop], s.colours[skin::kButtonPressedBottom], y, b.bottom);
  EXPECT_TRUE(Near(held, pressed, 3)) << "held button " << Hex(held) << " expected " << Hex(pressed);
  MouseButton(false);
  Pump(80);
  EXPECT_EQ(1, w_.clicks);
  COLORREF hover = ClientPixel(w_.button, 4, y);
  COLORREF hot = FaceAt(s.colours[skin::kButtonHotTop], s.colours[skin::kButtonHotBottom], y, b.bottom);
  EXPECT_TRUE(Near(hover, hot, 3)) << "button under the mouse " << Hex(hover) << " expected " << Hex(hot);
  MouseMoveTo(w_.frame, 320, 200);
  Pump(400);
  COLORREF rest = ClientPixel(w_.button, 4, y);
  COLORREF normal = FaceAt(s.colours[skin::kButtonFaceTop], s.colours[skin::kButtonFaceBottom], y, b.bottom);
  EXPECT_TRUE(Near(rest, normal, 3)) << "button after the mouse left " << Hex(rest) << " expected " << Hex(normal);

  // Keyboard: space on the focused button clicks it.
  SetFocus(w_.button);
  TypeKey(VK_SPACE);
  Pump(80);
  EXPECT_EQ(2, w_.clicks);

  // Typing into the edit box; its frame shows the accent colour while it has the focus.
  SetFocus(w_.edit);
  TypeKey('A');
  TypeKey('B');
  TypeKey(VK_RETURN);
  TypeKey('C');
  Pump(100);
  char text[32] = {};
  GetWindowTextA(w_.edit, text, sizeof text);
  EXPECT_STREQ("ab\r\nc", text);
  EXPECT_TRUE(Near(WindowPixel(w_.edit, 0, 40), s.colours[skin::kAccent]))
      << "focused edit frame " << Hex(WindowPixel(w_.edit, 0, 40));
  SetFocus(w_.button);
  Pump(50);
  EXPECT_TRUE(Near(WindowPixel(w_.edit, 0, 40), s.colours[skin::kEditBorder]))
      << "edit frame without focus " << Hex(WindowPixel(w_.edit, 0, 40));

  // A disabled button shows the disabled face and takes no click.
  EnableWindow(w_.button, FALSE);
  Pump(50);
  EXPECT_TRUE(Near(ClientPixel(w_.button, 4, y), s.colours[skin::kButtonDisabledFace]));
  MouseMoveTo(w_.button, b.right / 2, b.bottom / 2);
  MouseButton(true);
  MouseButton(false);
  Pump(80);
  EXPECT_EQ(2, w_.clicks);
}

TEST_F(SkinAttach, LaterSkinReplacesEarlierAndRefusedBlockKeepsIt) {
  ASSERT_EQ(0, AttachSkin(33));
  ASSERT_EQ(0, AttachSkin(1));
  ExpectStyled(w_, SchemeOf(1), "after switching to skin 1");

  std::vector<uint8_t> bad = SkinCopy(5);
  bad[40] ^= 0x55;
  bool balanced = false;
  EXPECT_EQ(static_cast<int32_t>(skin::SkinStatus::BadChecksum),
            AttachChecked(Attach(), bad.data(), static_cast<uint32_t>(bad.size()), &balanced));
  Pump(60);
  ExpectStyled(w_, SchemeOf(1), "after a refused block");
  ASSERT_EQ(0, AttachSkin(33));
  ExpectStyled(w_, SchemeOf(33), "back on skin 33");
}

// A window made after attaching is styled as it is created, even when its owner subclasses it
// afterwards with a procedure that answers the colour and background messages itself.
LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
WNDPROC g_ownerNext = nullptr;
LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(reinterpret_cast<HDC>(wParam), &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return 1;
  }
  if (message == WM_CTLCOLOREDIT) return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
  return CallWindowProcA(g_ownerNext, hwnd, message, wParam, lParam);
}

TEST_F(SkinAttach, WindowsCreatedLaterAreStyledEvenWhenSubclassedByTheirOwner) {
  ASSERT_EQ(0, AttachSkin(33));
  TestWindow later;
  DestroyTestWindow(&w_);
  ASSERT_TRUE(CreateTestWindow(&later, 420, 40));
  g_ownerNext = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(later.frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnerProc)));
  InvalidateRect(later.frame, nullptr, TRUE);
  SendMessageA(later.frame, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(later.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump(100);
  ExpectStyled(later, SchemeOf(33), "window created and subclassed after attaching");

  // Clicks still reach the owner's window procedure chain.
  SendMessageA(later.button, BM_CLICK, 0, 0);
  Pump(30);
  EXPECT_EQ(1, later.clicks);
  DestroyTestWindow(&later);
}

}  // namespace
