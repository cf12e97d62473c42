// The skin library attached to live windows: the carried library loads under its file name,
// skin 33 restyles the title bar, the window background, the push button and the edit box,
// and the controls
// still take clicks, keys and focus. Later skins replace it; refused blocks leave it in place.
#include <gtest/gtest.h>

#include "tests/skin/skin_test_support.h"

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
    ASSERT_TRUE(CreateTestWindow(&w_, 880, 700));
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

  // The title bar and the frame, read from a PrintWindow copy (a window manager may own the
  // frame on screen): active colours, inactive ones once the window is told it lost the
  // activation, active again when it regains it.
  RECT wr;
  GetWindowRect(w_.frame, &wr);
  POINT origin = {0, 0};
  ClientToScreen(w_.frame, &origin);
  int frame = origin.x - wr.left, captionHeight = GetSystemMetrics(SM_CYCAPTION);
  int captionRow = frame + captionHeight / 2, middle = (wr.right - wr.left) / 2;
  COLORREF activeTitle = FaceAt(s.colours[skin::kCaptionActiveTop], s.colours[skin::kCaptionActiveBottom],
                                captionRow - frame, captionHeight);
  auto printed = [&](int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, wr.right - wr.left, wr.bottom - wr.top);
    HGDIOBJ old = SelectObject(mem, bitmap);
    PrintWindow(w_.frame, mem, 0);
    COLORREF c = GetPixel(mem, x, y);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return c;
  };
  SendMessageA(w_.frame, WM_NCACTIVATE, TRUE, 0);
  EXPECT_TRUE(Near(printed(middle, captionRow), activeTitle, 3))
      << "active title bar " << Hex(printed(middle, captionRow)) << " expected " << Hex(activeTitle);
  EXPECT_TRUE(Near(printed(0, (wr.bottom - wr.top) / 2), s.colours[skin::kFrameBorder]))
      << "frame line " << Hex(printed(0, (wr.bottom - wr.top) / 2));
  SendMessageA(w_.frame, WM_NCACTIVATE, FALSE, 0);
  EXPECT_TRUE(Near(printed(middle, captionRow), s.colours[skin::kCaptionInactiveBack]))
      << "inactive title bar " << Hex(printed(middle, captionRow));
  SendMessageA(w_.frame, WM_NCACTIVATE, TRUE, 0);
  EXPECT_TRUE(Near(printed(middle, captionRow), activeTitle, 3));

  // The close button lights up red under the mouse and goes back when the mouse leaves.
  int closePlateX = (wr.right - wr.left) - frame - GetSystemMetrics(SM_CXSIZE) + 3;
  int closePlateY = frame + GetSystemMetrics(SM_CYSIZE) / 2;
  SendMessageA(w_.frame, WM_NCMOUSEMOVE, HTCLOSE, MAKELPARAM(wr.right - frame - 6, wr.top + closePlateY));
  EXPECT_TRUE(Near(printed(closePlateX, closePlateY), RGB(0xC4, 0x2B, 0x1C), 3))
      << "close button under the mouse " << Hex(printed(closePlateX, closePlateY));
  SendMessageA(w_.frame, WM_NCMOUSELEAVE, 0, 0);
  EXPECT_FALSE(Near(printed(closePlateX, closePlateY), RGB(0xC4, 0x2B, 0x1C), 40));

  // Caption buttons pressed with the mouse: released on the button they act (minimise),
  // released elsewhere they do nothing.
  int cx = GetSystemMetrics(SM_CXSIZE), cy = GetSystemMetrics(SM_CYSIZE);
  POINT minimize = {wr.right - frame - 2 * cx - cx / 2 + 1, wr.top + frame + cy / 2};
  auto press = [&](POINT releaseAt) {
    ScreenToClient(w_.frame, &releaseAt);
    PostMessageA(w_.frame, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(releaseAt.x, releaseAt.y));
    PostMessageA(w_.frame, WM_LBUTTONUP, 0, MAKELPARAM(releaseAt.x, releaseAt.y));
    SendMessageA(w_.frame, WM_NCLBUTTONDOWN, HTMINBUTTON, MAKELPARAM(minimize.x, minimize.y));
  };
  ASSERT_EQ(HTMINBUTTON, SendMessageA(w_.frame, WM_NCHITTEST, 0, MAKELPARAM(minimize.x, minimize.y)));
  press(POINT{wr.left + 100, wr.top + 100});
  EXPECT_FALSE(IsIconic(w_.frame)) << "released away from the button";
  press(minimize);
  EXPECT_TRUE(IsIconic(w_.frame)) << "released on the minimise button";
  ShowWindow(w_.frame, SW_SHOWNOACTIVATE);
  SendMessageA(w_.frame, WM_NCACTIVATE, TRUE, 0);
  Pump(50);

  // Text typed into the edit box is drawn in the edit text colour: some pixel of the text
  // row carries it (the text is anti-aliased, so look for the brightest match).
  SetWindowTextA(w_.edit, "MMMM");
  Pump(50);
  bool found = false;
  for (int x = 2; x < 40 && !found; ++x)
    for (int y = 2; y < 14 && !found; ++y) found = Near(ClientPixel(w_.edit, x, y), s.colours[skin::kEditText], 24);
  EXPECT_TRUE(found) << "no pixel of the edit text has the edit text colour";
}

// The controls are driven with the messages the system's input would deliver, sent straight to
// them: other test programs may share the display, so no real pointer or key input is used.
TEST_F(SkinAttach, ControlsKeepWorkingWhenSkinned) {
  ASSERT_EQ(0, AttachSkin(33));
  skin::SkinScheme s = SchemeOf(33);
  RECT b = ClientRectOf(w_.button);
  const int y = b.bottom / 2;
  const LPARAM centre = MAKELPARAM(b.right / 2, b.bottom / 2);
  auto faceIs = [&](skin::SkinColour top, skin::SkinColour bottom, const char* what) {
    COLORREF got = ClientPixel(w_.button, 4, y);
    COLORREF want = FaceAt(s.colours[top], s.colours[bottom], y, b.bottom);
    EXPECT_TRUE(Near(got, want, 3)) << what << ": " << Hex(got) << " expected " << Hex(want);
  };

  // Mouse over, held down, released: hot face, pressed face, one click notification.
  SendMessageA(w_.button, WM_MOUSEMOVE, 0, centre);
  faceIs(skin::kButtonHotTop, skin::kButtonHotBottom, "button under the mouse");
  SendMessageA(w_.button, WM_LBUTTONDOWN, MK_LBUTTON, centre);
  faceIs(skin::kButtonPressedTop, skin::kButtonPressedBottom, "held button");
  SendMessageA(w_.button, WM_LBUTTONUP, 0, centre);
  Pump(30);
  EXPECT_EQ(1, w_.clicks);
  SendMessageA(w_.button, WM_MOUSELEAVE, 0, 0);
  faceIs(skin::kButtonFaceTop, skin::kButtonFaceBottom, "button after the mouse left");

  // Keyboard: space on the focused button clicks it; the focus shows as an accent outline.
  SetFocus(w_.button);
  Pump(30);
  EXPECT_TRUE(Near(ClientPixel(w_.button, 0, y), s.colours[skin::kAccent]))
      << "focused button outline " << Hex(ClientPixel(w_.button, 0, y));
  SendMessageA(w_.button, WM_KEYDOWN, VK_SPACE, 0x00390001);
  SendMessageA(w_.button, WM_KEYUP, VK_SPACE, 0xC0390001);
  Pump(30);
  EXPECT_EQ(2, w_.clicks);

  // Tab from the button moves the focus on, through the same dialog key handling as before.
  MSG tab = {w_.button, WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {0, 0}};
  EXPECT_TRUE(IsDialogMessageA(w_.frame, &tab));
  EXPECT_EQ(w_.edit, GetFocus());

  // Typing into the edit box; its frame shows the accent colour while it has the focus.
  SetFocus(w_.edit);
  for (char c : {'a', 'b', '\r', 'c'}) SendMessageA(w_.edit, WM_CHAR, static_cast<unsigned char>(c), 1);
  Pump(50);
  char text[32] = {};
  GetWindowTextA(w_.edit, text, sizeof text);
  EXPECT_STREQ("ab\r\nc", text);
  EXPECT_TRUE(Near(WindowPixel(w_.edit, 0, 40), s.colours[skin::kAccent]))
      << "focused edit frame " << Hex(WindowPixel(w_.edit, 0, 40));
  SetFocus(w_.button);
  Pump(30);
  EXPECT_TRUE(Near(WindowPixel(w_.edit, 0, 40), s.colours[skin::kEditBorder]))
      << "edit frame without focus " << Hex(WindowPixel(w_.edit, 0, 40));

  // A disabled button shows the disabled face; enabled again, it clicks again.
  EnableWindow(w_.button, FALSE);
  Pump(30);
  EXPECT_TRUE(Near(ClientPixel(w_.button, 4, y), s.colours[skin::kButtonDisabledFace]));
  EnableWindow(w_.button, TRUE);
  SendMessageA(w_.button, BM_CLICK, 0, 0);
  Pump(30);
  EXPECT_EQ(3, w_.clicks);
}

// A click handler runs inside the button's own mouse message and may take long (the program
// fetches pages there, pumping messages). A handler that disables its button and changes its
// caption makes the system draw the button at once; what shows must still be the skinned
// face, the same a full repaint draws.
TEST_F(SkinAttach, ButtonStaysSkinnedWhileItsClickHandlerRuns) {
  ASSERT_EQ(0, AttachSkin(33));
  std::vector<COLORREF> shown, repainted;
  w_.onClick = [&] {
    EnableWindow(w_.button, FALSE);
    SetWindowTextA(w_.button, "Busy");
    Pump(30);
    shown = ClientImage(w_.button);
    InvalidateRect(w_.button, nullptr, TRUE);
    UpdateWindow(w_.button);
    repainted = ClientImage(w_.button);
    EnableWindow(w_.button, TRUE);
  };
  RECT b = ClientRectOf(w_.button);
  SendMessageA(w_.button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(b.right / 2, b.bottom / 2));
  SendMessageA(w_.button, WM_LBUTTONUP, 0, MAKELPARAM(b.right / 2, b.bottom / 2));
  w_.onClick = nullptr;
  ASSERT_EQ(1, w_.clicks);
  ASSERT_FALSE(repainted.empty());
  EXPECT_TRUE(shown == repainted) << "the button showed another face during its handler";
}

TEST_F(SkinAttach, LaterSkinReplacesEarlierAndRefusedBlockKeepsIt) {
  ASSERT_EQ(0, AttachSkin(33));
  ASSERT_EQ(0, AttachSkin(1));
  ExpectStyled(w_, SchemeOf(1), "after switching to skin 1");

  std::vector<uint8_t> bad = SkinCopy(5);
  bad[40] ^= 0x55;
  bool balanced = false;
  EXPECT_EQ(static_cast<int32_t>(skin::SkinStatus::kBadChecksum),
            AttachChecked(Attach(), bad.data(), static_cast<uint32_t>(bad.size()), &balanced));
  Pump(60);
  ExpectStyled(w_, SchemeOf(1), "after a refused block");
  ASSERT_EQ(0, AttachSkin(33));
  ExpectStyled(w_, SchemeOf(33), "back on skin 33");
}

// A window made after attaching is styled as it is created, even when its owner subclasses it
// afterwards with a procedure that answers the colour and background messages itself, and
// the owner subclasses the button too (as the form runtime does with its units).
LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
WNDPROC g_ownerNext = nullptr;
WNDPROC g_buttonNext = nullptr;
LRESULT CALLBACK OwnerButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(g_buttonNext, hwnd, message, wParam, lParam);
}
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
  ASSERT_TRUE(CreateTestWindow(&later, 880, 420));
  g_ownerNext = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(later.frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnerProc)));
  g_buttonNext = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(later.button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnerButtonProc)));
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

// Answers hit tests as a composited frame's default procedure does for a window that draws its
// own frame: the system's buttons are not where the classic slots are, so none is reported
// there and the whole title bar reads as caption.
LRESULT CALLBACK ComposedFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCHITTEST && (result == HTCLOSE || result == HTMAXBUTTON || result == HTMINBUTTON))
    return HTCAPTION;
  return result;
}

// On every frame style the centre of each painted caption button hit-tests as that button,
// whatever the system's own layout answers; where the system has a button the skin does not
// paint (context help), the point is title bar.
TEST_F(SkinAttach, CaptionButtonsHitTestWhereTheyArePainted) {
  ASSERT_EQ(0, AttachSkin(33));
  DestroyTestWindow(&w_);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ComposedFrameProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ComposedFrame";
  RegisterClassW(&wc);
  struct Frame {
    DWORD exStyle, style;
    std::vector<LRESULT> buttons;  // from the right
  };
  const Frame frames[] = {
      {0, WS_OVERLAPPEDWINDOW, {HTCLOSE, HTMAXBUTTON, HTMINBUTTON}},
      {0, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, {HTCLOSE, HTMAXBUTTON, HTMINBUTTON}},
      {WS_EX_TOOLWINDOW, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, {HTCLOSE}},
      {WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP, WS_CAPTION | WS_SYSMENU, {HTCLOSE, HTCAPTION}},
  };
  for (const Frame& f : frames) {
    HWND window = CreateWindowExW(f.exStyle | WS_EX_TOPMOST, L"ComposedFrame", L"Frame", f.style, 880, 420, 360, 240,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    Pump(50);
    RECT wr;
    GetWindowRect(window, &wr);
    POINT client = {0, 0};
    ClientToScreen(window, &client);
    int frame = client.x - wr.left;
    bool tool = (f.exStyle & WS_EX_TOOLWINDOW) != 0;
    int cx = GetSystemMetrics(tool ? SM_CXSMSIZE : SM_CXSIZE), cy = GetSystemMetrics(tool ? SM_CYSMSIZE : SM_CYSIZE);
    // Slot i from the right: cx wide; the minimise slot overlaps the maximise one by 2 pixels.
    for (size_t i = 0; i < f.buttons.size(); ++i) {
      int right = wr.right - frame - static_cast<int>(i) * cx + (i == 2 ? 2 : 0);
      POINT centre = {right - cx / 2 - 1, wr.top + frame + cy / 2};
      EXPECT_EQ(f.buttons[i], SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y)))
          << "style " << std::hex << f.style << " ex " << f.exStyle << " button " << i;
    }
    DestroyWindow(window);
  }
}

}  // namespace
