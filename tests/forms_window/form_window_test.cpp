// Real form windows built from generated templates: loading, styles, events of buttons and
// edit boxes, keyboard navigation, closing, the end of the loop and modal windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "forms/button.h"
#include "forms/edit_box.h"
#include "forms/form_runtime.h"
#include "forms/form_window.h"
#include "forms/keyboard.h"
#include "forms/window_template.h"
#include "runtime/runtime_app.h"
#include "runtime/services.h"
#include "tests/forms_window/form_test_support.h"

using namespace formtest;

namespace {

// Every handler logs its name and arguments; the close handler answers what the test asks.
std::vector<std::string> calls;
int closeAnswer = -1;   // -1 no value, else the value returned
bool modalSawOwnerDisabled = false;

void Log(const std::string& line) { calls.push_back(line); }
std::string Joined() {
  std::string all;
  for (const std::string& c : calls) all += c + ";";
  return all;
}
bool Called(const std::string& line) {
  for (const std::string& c : calls)
    if (c == line) return true;
  return false;
}

}  // namespace

extern "C" {
HandlerReturn __cdecl OnButton1() { Log("Button1"); return kHandlerNoValue; }
HandlerReturn __cdecl OnButton2() { Log("Button2"); return kHandlerNoValue; }
HandlerReturn __cdecl OnButton3() { Log("Button3"); return kHandlerNoValue; }
HandlerReturn __cdecl OnButton1Focus() { Log("Button1Focus"); return kHandlerNoValue; }
HandlerReturn __cdecl OnFormCreated() { Log("Created"); return kHandlerNoValue; }
HandlerReturn __cdecl OnFormClose() {
  Log("Close");
  return closeAnswer < 0 ? kHandlerNoValue : HandlerValue(static_cast<uint32_t>(closeAnswer));
}
HandlerReturn __cdecl OnFormDestroy() { Log("Destroy"); return kHandlerNoValue; }
HandlerReturn __cdecl OnFormMoved() { Log("Moved"); return kHandlerNoValue; }
HandlerReturn __cdecl OnFormSized() { Log("Sized"); return kHandlerNoValue; }
HandlerReturn __cdecl OnFormFocus() { Log("FormFocus"); return kHandlerNoValue; }
HandlerReturn __cdecl OnFormKeyDown(uint32_t key, uint32_t mods) {
  Log("FormKey " + std::to_string(key) + " " + std::to_string(mods));
  return kHandlerNoValue;
}
HandlerReturn __cdecl OnFormWheel(uint32_t notches, uint32_t mods) {
  Log("Wheel " + std::to_string(static_cast<int32_t>(notches)) + " " + std::to_string(mods));
  return kHandlerNoValue;
}
HandlerReturn __cdecl OnEditChanged() { Log("EditChanged"); return kHandlerNoValue; }
HandlerReturn __cdecl OnEditFocus() { Log("EditFocus"); return kHandlerNoValue; }
HandlerReturn __cdecl OnEditKeyDown(uint32_t key, uint32_t mods) {
  Log("EditKey " + std::to_string(key) + " " + std::to_string(mods));
  // F2 is swallowed: the control never sees it.
  return key == VK_F2 ? HandlerValue(0) : kHandlerNoValue;
}
HandlerReturn __cdecl OnEditChar(uint32_t c) {
  if (c == 'x') return HandlerValue(0);     // swallowed
  if (c == 'y') return HandlerValue('z');   // replaced
  return kHandlerNoValue;
}
HandlerReturn __cdecl OnEditMouseDown(uint32_t x, uint32_t y, uint32_t mods) {
  Log("EditMouse " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(mods));
  return kHandlerNoValue;
}
HandlerReturn __cdecl OnEdit2Changed() { Log("Edit2Changed"); return kHandlerNoValue; }
HandlerReturn __cdecl OnEdit2LostFocus() { Log("Edit2Lost"); return kHandlerNoValue; }
HandlerReturn __cdecl OnSpin(uint32_t direction) {
  Log("Spin " + std::to_string(static_cast<int32_t>(direction)));
  return kHandlerNoValue;
}
HandlerReturn __cdecl OnDefaultClick() { Log("Default"); return kHandlerNoValue; }
HandlerReturn __cdecl OnOtherClick() { Log("Other"); return kHandlerNoValue; }
HandlerReturn __cdecl OnActivated() { Log("Activated"); return kHandlerNoValue; }
HandlerReturn __cdecl OnFirstActivation() { Log("FirstActivation"); return kHandlerNoValue; }
HandlerReturn __cdecl OnShown() { Log("Shown"); return kHandlerNoValue; }
// Wants idle time while the elapsed time is below 50 ms.
HandlerReturn __cdecl OnIdle(uint32_t elapsed) {
  Log("Idle");
  return HandlerValue(elapsed < 50 ? 1 : 0);
}
HandlerReturn __cdecl OnMenu() { Log("Menu"); return kHandlerNoValue; }
HandlerReturn __cdecl OnModalCreated() {
  Log("ModalCreated");
  // The menu bar holds the visible item, checked; its command raises the item's handler.
  HWND modal = FormHandle(kModalWindow);
  HMENU bar = GetMenu(modal);
  Log("MenuItems " + std::to_string(bar ? GetMenuItemCount(bar) : -1));
  if (bar && (GetMenuState(bar, 20001, MF_BYCOMMAND) & MF_CHECKED)) Log("Checked");
  SendMessageA(modal, WM_COMMAND, 20001, 0);
  return kHandlerNoValue;
}
HandlerReturn __cdecl OnModalClose() {
  Log("ModalClose");
  modalSawOwnerDisabled = !IsWindowEnabled(FormHandle(kFirstWindow));
  return kHandlerNoValue;
}
}  // extern "C"

namespace {

// Timer routine: closes the modal window from inside its own loop.
void CALLBACK CloseModalSoon(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (HWND modal = FormHandle(kModalWindow)) PostMessageA(modal, WM_CLOSE, 0, 0);
}

void CALLBACK DestroyModalSoon(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (HWND modal = FormHandle(kModalWindow)) DestroyWindow(modal);
}

class FormWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitialiseTestProgram(); }
  void SetUp() override {
    calls.clear();
    closeAnswer = -1;
  }
  void TearDown() override {
    closeAnswer = -1;
    rt::TheApp().loopStarted = 0;
    forms::DestroyAllWindows();
    Pump();
    MSG quit;
    while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
  }
};

TEST_F(FormWindowTest, LoadBuildsTheWindowWithItsStylesUnitsAndFirstEvents) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  HWND form = FormHandle(kFirstWindow);
  ASSERT_TRUE(IsWindow(form));
  char title[64] = {};
  GetWindowTextA(form, title, sizeof title);
  EXPECT_STREQ("测试窗体", title);

  // Fixed dialog frame with caption, system menu and minimise box; centred at its size.
  DWORD style = static_cast<DWORD>(GetWindowLongA(form, GWL_STYLE));
  EXPECT_EQ(static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN),
            style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN));
  RECT r;
  GetWindowRect(form, &r);
  EXPECT_EQ(320, r.right - r.left);
  EXPECT_EQ(260, r.bottom - r.top);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 320) / 2, r.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 260) / 2, r.top);
  EXPECT_NE(nullptr, reinterpret_cast<HICON>(SendMessageA(form, WM_GETICON, ICON_BIG, 0)));
  EXPECT_NE(nullptr, reinterpret_cast<HICON>(SendMessageA(form, WM_GETICON, ICON_SMALL, 0)));
  EXPECT_EQ(form, rt::TheApp().mainWindow) << "the start window is where pre-translation stops";

  // Control ids by creation order: highest index first, from 100 in steps of 10.
  EXPECT_EQ(100, GetDlgCtrlID(UnitHandle(kFirstWindow, kEdit1)));
  EXPECT_EQ(110, GetDlgCtrlID(UnitHandle(kFirstWindow, kEdit2)));
  EXPECT_EQ(120, GetDlgCtrlID(UnitHandle(kFirstWindow, kButton1)));
  EXPECT_EQ(130, GetDlgCtrlID(UnitHandle(kFirstWindow, kButton2)));
  EXPECT_EQ(140, GetDlgCtrlID(UnitHandle(kFirstWindow, kButton3)));
  EXPECT_TRUE(IsWindowVisible(UnitHandle(kFirstWindow, kButton3)));

  // Created, moved, sized come first; the first unit in Tab order has the focus.
  ASSERT_GE(calls.size(), 3u) << Joined();
  EXPECT_EQ("Created", calls[0]);
  EXPECT_EQ("Moved", calls[1]);
  EXPECT_EQ("Sized", calls[2]);
  EXPECT_EQ(UnitHandle(kFirstWindow, kEdit1), Focused(form));
  EXPECT_TRUE(Called("EditFocus")) << Joined();

  // A second load of a loaded window activates it and creates nothing.
  calls.clear();
  EXPECT_TRUE(forms::LoadStartWindow(kFirstWindow));
  EXPECT_EQ(form, FormHandle(kFirstWindow));
  EXPECT_FALSE(Called("Created"));
}

TEST_F(FormWindowTest, ShowingRaisesFirstActivationBeforeActivation) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  auto at = [](const char* name) { return std::find(calls.begin(), calls.end(), std::string(name)) - calls.begin(); };
  ASSERT_TRUE(Called("FirstActivation")) << Joined();
  ASSERT_TRUE(Called("Activated")) << Joined();
  EXPECT_LT(at("FirstActivation"), at("Activated"));
  EXPECT_TRUE(Called("Shown")) << Joined();
  EXPECT_LT(at("Sized"), at("Shown")) << "created, moved and sized come before the window shows";
  // Only the first activation of the window's life raises event 8.
  calls.clear();
  SendMessageA(FormHandle(kFirstWindow), WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageA(FormHandle(kFirstWindow), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_FALSE(Called("FirstActivation")) << Joined();
  EXPECT_TRUE(Called("Activated")) << Joined();
}

TEST_F(FormWindowTest, IdleEventsStopForAWindowThatDeclines) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  ASSERT_TRUE(forms::LoadStartWindow(kSecondWindow));   // binds no idle event
  Pump();
  calls.clear();
  std::vector<HWND> declined;
  EXPECT_EQ(1, forms::RaiseIdleEvents(10, declined));
  EXPECT_EQ((std::vector<HWND>{FormHandle(kSecondWindow)}), declined);
  EXPECT_EQ(0, forms::RaiseIdleEvents(60, declined));
  EXPECT_EQ(2u, declined.size());
  EXPECT_EQ(0, forms::RaiseIdleEvents(70, declined));
  EXPECT_EQ(2, std::count(calls.begin(), calls.end(), std::string("Idle"))) << "declined windows get no more";
}

TEST_F(FormWindowTest, AUnitWithAnEventLinkUsesTheLinkedUnitsBindings) {
  ASSERT_TRUE(forms::LoadStartWindow(kSecondWindow));
  Pump();
  calls.clear();
  SendMessageA(UnitHandle(kSecondWindow, kLinked), BM_CLICK, 0, 0);
  Pump();
  EXPECT_TRUE(Called("Default")) << Joined();
}

TEST_F(FormWindowTest, ButtonsRaiseTheirBoundHandlersIncludingTheOneAtOffsetZero) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  calls.clear();
  SendMessageA(UnitHandle(kFirstWindow, kButton1), BM_CLICK, 0, 0);
  SendMessageA(UnitHandle(kFirstWindow, kButton2), BM_CLICK, 0, 0);
  SendMessageA(UnitHandle(kFirstWindow, kButton3), BM_CLICK, 0, 0);
  Pump();
  EXPECT_TRUE(Called("Button1")) << Joined();
  EXPECT_TRUE(Called("Button2")) << Joined();
  EXPECT_TRUE(Called("Button3")) << Joined();
}

TEST_F(FormWindowTest, EditBoxRaisesChangeKeyCharacterAndMouseEvents) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  HWND edit = UnitHandle(kFirstWindow, kEdit1);
  SetFocus(edit);
  Pump();
  calls.clear();

  // Typed characters pass through the common character event: x is swallowed, y becomes z.
  for (char c : std::string("axyb")) PostMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
  Pump();
  EXPECT_EQ("azb", WindowText(edit));
  EXPECT_EQ(3, std::count(calls.begin(), calls.end(), std::string("EditChanged"))) << Joined();

  // Key codes are normalised: the keypad's digits are the main digits, its minus, point and
  // divide those of the main keyboard; times and plus keep their own codes.
  std::vector<std::pair<UINT, int>> keypad = {{VK_SUBTRACT, 189}, {VK_DECIMAL, 190}, {VK_DIVIDE, 191},
                                              {VK_MULTIPLY, VK_MULTIPLY}, {VK_ADD, VK_ADD}};
  for (UINT digit = 0; digit <= 9; ++digit) keypad.push_back({VK_NUMPAD0 + digit, '0' + digit});
  calls.clear();
  for (auto [key, code] : keypad) PostMessageA(edit, WM_KEYDOWN, key, 0);
  Pump();
  std::vector<std::string> expected;
  for (auto [key, code] : keypad) expected.push_back("EditKey " + std::to_string(code) + " 0");
  std::vector<std::string> reported;
  for (const std::string& call : calls)
    if (call.rfind("EditKey ", 0) == 0) reported.push_back(call);
  EXPECT_EQ(expected, reported);

  // Mouse coordinates are client coordinates of the unit, sign-extended.
  calls.clear();
  PostMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 9));
  PostMessageA(edit, WM_LBUTTONUP, 0, MAKELPARAM(7, 9));
  Pump();
  EXPECT_TRUE(Called("EditMouse 7,9 0")) << Joined();

  // The window's own common events carry the window item.
  calls.clear();
  HWND form = FormHandle(kFirstWindow);
  PostMessageA(form, WM_KEYDOWN, 'Q', 0);
  PostMessageA(form, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), 0);
  Pump();
  EXPECT_TRUE(Called("FormKey 81 0")) << Joined();
  EXPECT_TRUE(Called("Wheel -2 0")) << Joined();
}

TEST_F(FormWindowTest, WritingContentRaisesTheChangeEventExactlyOnce) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  calls.clear();
  void* object = UnitObject(kFirstWindow, kEdit1);
  auto write = forms::UnitOperationOf<UnitWriteFn>(&forms::kEditBoxClass, kUnitOpWrite);
  UnitValue value{reinterpret_cast<uint32_t>("第一行\r\n第二行"), 0};
  EXPECT_EQ(0, write(object, forms::kEditContent, &value, nullptr));
  Pump();
  EXPECT_EQ(1, std::count(calls.begin(), calls.end(), std::string("EditChanged"))) << Joined();
  EXPECT_EQ("第一行\r\n第二行", WindowText(UnitHandle(kFirstWindow, kEdit1)));

  // SelStart -1 then SelText appends at the end.
  UnitValue end{static_cast<uint32_t>(-1), 0};
  write(object, forms::kEditSelStart, &end, nullptr);
  UnitValue tail{reinterpret_cast<uint32_t>("!"), 0};
  write(object, forms::kEditSelText, &tail, nullptr);
  EXPECT_EQ("第一行\r\n第二行!", WindowText(UnitHandle(kFirstWindow, kEdit1)));
}

TEST_F(FormWindowTest, TabMovesByTabWordThenDescendingIndex) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  // All tab words 0: descending index.
  uint32_t expected[] = {kEdit2, kButton1, kButton2, kButton3, kEdit1};
  for (uint32_t unit : expected) {
    PressKey(Focused(FormHandle(kFirstWindow)), VK_TAB);
    EXPECT_EQ(UnitHandle(kFirstWindow, unit), Focused(FormHandle(kFirstWindow))) << std::hex << unit;
  }
  // Shift+Tab goes back.
  PressKey(Focused(FormHandle(kFirstWindow)), VK_TAB, VK_SHIFT);
  EXPECT_EQ(UnitHandle(kFirstWindow, kButton3), Focused(FormHandle(kFirstWindow)));

  // Tab words ascending, equal words by descending index; a hidden unit is skipped.
  ASSERT_TRUE(forms::LoadStartWindow(kSecondWindow));
  Pump();
  forms::FormWindow* second = forms::FormWindow::Of(forms::TheWindowDirectory().Find(kSecondWindow));
  ASSERT_NE(nullptr, second);
  std::vector<uint32_t> order = forms::TabOrder(*second->Units());
  EXPECT_EQ((std::vector<uint32_t>{3, 2, 1, 4}), order);
  // Kept off the taskbar: owned by the runtime's hidden helper window.
  EXPECT_EQ(rt::TheApp().helperWindow->Handle(), GetWindow(FormHandle(kSecondWindow), GW_OWNER));
  EXPECT_FALSE(GetWindowLongA(FormHandle(kSecondWindow), GWL_STYLE) & WS_POPUP) << "no owner was given";
  EXPECT_EQ(nullptr, GetWindow(FormHandle(kFirstWindow), GW_OWNER));
  EXPECT_EQ(UnitHandle(kSecondWindow, kOther), Focused(FormHandle(kSecondWindow)));
}

TEST_F(FormWindowTest, EnterClicksTheDefaultButtonUnlessAMultiLineBoxClaimsIt) {
  ASSERT_TRUE(forms::LoadStartWindow(kSecondWindow));
  Pump();
  SetFocus(UnitHandle(kSecondWindow, kSingleLine));
  Pump();
  calls.clear();
  PressKey(UnitHandle(kSecondWindow, kSingleLine), VK_RETURN);
  EXPECT_TRUE(Called("Default")) << Joined();

  HWND multi = UnitHandle(kSecondWindow, kMultiLine);
  SetFocus(multi);
  Pump();
  calls.clear();
  PressKey(multi, VK_RETURN);
  EXPECT_FALSE(Called("Default")) << Joined();
  EXPECT_EQ("\r\n", WindowText(multi));

  // With 回车下移输入点 set, Enter outside a default button moves on in Tab order instead.
  forms::WriteUnitProperty(kSecondWindow, 0, 8 + forms::kWinEnterMovesFocus, -1, 1);
  SetFocus(UnitHandle(kSecondWindow, kSingleLine));
  Pump();
  calls.clear();
  PressKey(UnitHandle(kSecondWindow, kSingleLine), VK_RETURN);
  EXPECT_FALSE(Called("Default")) << Joined();
  EXPECT_EQ(UnitHandle(kSecondWindow, kDefault), Focused(FormHandle(kSecondWindow)));
  // On the default button itself Enter still clicks it.
  PressKey(UnitHandle(kSecondWindow, kDefault), VK_RETURN);
  EXPECT_TRUE(Called("Default")) << Joined();
}

TEST_F(FormWindowTest, EscapeClosesOnlyWhenTheWindowSaysSo) {
  ASSERT_TRUE(forms::LoadStartWindow(kSecondWindow));   // Escape does not close this one
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  PressKey(UnitHandle(kSecondWindow, kSingleLine), VK_ESCAPE);
  EXPECT_TRUE(IsWindow(FormHandle(kSecondWindow)));
  PressKey(UnitHandle(kFirstWindow, kEdit1), VK_ESCAPE);
  EXPECT_EQ(nullptr, FormHandle(kFirstWindow));
  EXPECT_TRUE(Called("Close")) << Joined();
  EXPECT_TRUE(Called("Destroy")) << Joined();
}

TEST_F(FormWindowTest, CloseHandlerReturningFalseKeepsTheWindow) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  HWND form = FormHandle(kFirstWindow);
  closeAnswer = 0;
  SendMessageA(form, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(form));
  // The same handler refuses the end of the session.
  EXPECT_EQ(FALSE, SendMessageA(form, WM_QUERYENDSESSION, 0, 0));
  closeAnswer = 1;
  EXPECT_EQ(TRUE, SendMessageA(form, WM_QUERYENDSESSION, 0, 0));
  closeAnswer = -1;   // a handler without a value lets it close
  SendMessageA(form, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(form));
  EXPECT_EQ(nullptr, UnitObject(kFirstWindow, kButton1));

  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  closeAnswer = 1;
  SendMessageA(FormHandle(kFirstWindow), WM_CLOSE, 0, 0);
  EXPECT_EQ(nullptr, FormHandle(kFirstWindow));
}

TEST_F(FormWindowTest, DestroyingTheLastWindowAfterTheLoopStartedQuitsWithZero) {
  rt::TheApp().loopStarted = 1;
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  ASSERT_TRUE(forms::LoadStartWindow(kSecondWindow));
  Pump();
  MSG quit;
  DestroyWindow(FormHandle(kFirstWindow));
  EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "one window is left";
  EXPECT_TRUE(forms::AnyWindowAlive());
  DestroyWindow(FormHandle(kSecondWindow));
  EXPECT_FALSE(forms::AnyWindowAlive());
  ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(0u, quit.wParam);
  EXPECT_EQ(nullptr, rt::TheApp().mainWindow) << "a destroyed main window is forgotten";
}

struct ClassCount {
  char cls[64];
  int count;
};

BOOL CALLBACK CountClass(HWND h, LPARAM p) {
  auto* search = reinterpret_cast<ClassCount*>(p);
  char cls[64] = {};
  GetClassNameA(h, cls, sizeof cls);
  if (std::strcmp(cls, search->cls) == 0) ++search->count;
  return TRUE;
}

// Top-level windows of the thread with the class of `form`.
int WindowsOfClass(HWND form) {
  ClassCount search{{}, 0};
  GetClassNameA(form, search.cls, sizeof search.cls);
  EnumThreadWindows(GetCurrentThreadId(), CountClass, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

// The instance that stays behind is the one the ids address: a property written through the
// runtime moves its button, a click reaches the button's handler, and the button's cursor is
// still its own.
void ExpectUnitsOfInstanceWork(HWND form) {
  ASSERT_EQ(form, FormHandle(kFirstWindow));
  HWND button = UnitHandle(kFirstWindow, kButton1);
  ASSERT_TRUE(IsChild(form, button));
  forms::WriteUnitProperty(kFirstWindow, kButton1, kPropLeft, -1, 33);
  EXPECT_EQ(33, static_cast<int32_t>(forms::ReadUnitProperty(kFirstWindow, kButton1, kPropLeft, -1)));
  RECT r;
  GetWindowRect(button, &r);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(33, r.left);
  calls.clear();
  SendMessageA(button, BM_CLICK, 0, 0);
  EXPECT_TRUE(Called("Button1")) << Joined();
  SetCursor(nullptr);
  SendMessageA(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(button), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  HCURSOR own = forms::TheWindowDirectory().Find(kFirstWindow)->units.ItemById(kButton1).Cursor();
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(own, &info)) << "the cursor was destroyed with the other instance";
  DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  EXPECT_EQ(own, GetCursor());
}

// While a newer instance is alive, the older one acts on its own units: Tab moves among its
// own windows, a key in its edit box reaches the edit box's handler, its button shows its own
// cursor, and its unit windows are known as unit windows (1014).
void ExpectOlderInstanceActsOnItsOwnUnits(HWND older, HWND newer) {
  HWND edit1 = GetDlgItem(older, 100), edit2 = GetDlgItem(older, 110), button1 = GetDlgItem(older, 120);
  ASSERT_TRUE(edit1 && edit2 && button1);
  ASSERT_NE(edit1, UnitHandle(kFirstWindow, kEdit1)) << "the ids address the newer instance";
  PressKey(edit1, VK_TAB);
  EXPECT_EQ(edit2, Focused(older));
  calls.clear();
  PressKey(edit1, 'Q');
  EXPECT_TRUE(Called("EditKey 81 0")) << Joined();

  forms::WindowRecord* record = forms::TheWindowDirectory().Find(kFirstWindow);
  ASSERT_EQ(1u, record->parked.size());
  HCURSOR own = record->parked.front().slots[static_cast<uint32_t>(record->units.IndexOf(kButton1))].cursor;
  ASSERT_NE(nullptr, own);
  SetCursor(nullptr);
  SendMessageA(older, WM_SETCURSOR, reinterpret_cast<WPARAM>(button1), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(own, GetCursor());

  auto isUnitWindow = [](HWND h) { return rt::RuntimeNotify(kSvcIsUnitWindow, reinterpret_cast<uint32_t>(h), 0); };
  EXPECT_EQ(1, isUnitWindow(edit1));
  EXPECT_EQ(1, isUnitWindow(GetDlgItem(newer, 100)));
  EXPECT_EQ(0, isUnitWindow(older)) << "a window is not a unit window";
}

TEST_F(FormWindowTest, FurtherInstancesOwnTheirUnitsAndTheLastOneRestoresTheRecord) {
  forms::WindowRecord* record = forms::TheWindowDirectory().Find(kFirstWindow);
  const std::vector<uint8_t> defined = record->units.Bytes();
  for (bool firstGoesFirst : {true, false}) {
    SCOPED_TRACE(firstGoesFirst ? "the first instance goes first" : "the further instance goes first");
    ASSERT_EQ(1, forms::LoadWindow(kFirstWindow, 0, false, nullptr));
    Pump();
    HWND first = FormHandle(kFirstWindow);
    // Instance flag 0 only activates the loaded window.
    calls.clear();
    EXPECT_EQ(1, forms::LoadWindow(kFirstWindow, 0, false, nullptr));
    Pump();
    EXPECT_FALSE(Called("Created")) << Joined();
    EXPECT_EQ(1, WindowsOfClass(first));
    EXPECT_EQ(first, FormHandle(kFirstWindow));

    // With the flag set a further window is built; the ids address its units from then on.
    ASSERT_EQ(1, forms::LoadWindow(kFirstWindow, 1, false, nullptr));
    Pump();
    EXPECT_TRUE(Called("Created")) << Joined();
    HWND further = FormHandle(kFirstWindow);
    EXPECT_NE(first, further);
    EXPECT_EQ(2, WindowsOfClass(first));
    EXPECT_TRUE(IsChild(further, UnitHandle(kFirstWindow, kEdit1)));
    ExpectOlderInstanceActsOnItsOwnUnits(first, further);

    // One goes and its objects are deleted; the other's units work on.
    DestroyWindow(firstGoesFirst ? first : further);
    Pump();
    forms::FlushDeletedUnits();
    HWND remaining = firstGoesFirst ? further : first;
    ExpectUnitsOfInstanceWork(remaining);
    EXPECT_TRUE(forms::AnyWindowAlive());

    // The last one gone, the record is as a single load leaves it.
    DestroyWindow(remaining);
    Pump();
    forms::FlushDeletedUnits();
    EXPECT_EQ(nullptr, FormHandle(kFirstWindow));
    EXPECT_FALSE(record->snapshot.has_value());
    EXPECT_TRUE(record->parked.empty());
    EXPECT_TRUE(defined == record->units.Bytes()) << "the unit list is back at its template state";
  }
}

// Steps run by the running message loop: a further instance of the first window whose buttons
// cannot be made, then, once the loop has gone on, the older instance used and destroyed.
HWND olderInstance = nullptr;
int32_t furtherLoadResult = -1;
UINT_PTR pendingStep = 0;

void CALLBACK UseThenDestroyOlderInstance(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  pendingStep = 0;
  forms::WindowRecord* record = forms::TheWindowDirectory().Find(kFirstWindow);
  EXPECT_TRUE(record->parked.empty());
  EXPECT_EQ(1, WindowsOfClass(olderInstance)) << "what the failed load made is gone";
  EXPECT_EQ(0, rt::TheApp().eventBlockCount);
  ExpectUnitsOfInstanceWork(olderInstance);
  DestroyWindow(olderInstance);
}

void CALLBACK LoadFurtherInstanceThatFails(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  {
    ButtonsFailToCreate failing;
    furtherLoadResult = forms::LoadWindow(kFirstWindow, 1, false, nullptr);
  }
  pendingStep = SetTimer(nullptr, 0, 0, &UseThenDestroyOlderInstance);
}

// A further instance that fails while its units are made (the window and two edit boxes
// exist by then) is taken down again; the older instance keeps its units and the running loop
// goes on until that window goes.
TEST_F(FormWindowTest, AFailedFurtherInstanceLeavesTheOlderOneWorkingAndTheLoopRunning) {
  forms::WindowRecord* record = forms::TheWindowDirectory().Find(kFirstWindow);
  const std::vector<uint8_t> defined = record->units.Bytes();
  ASSERT_EQ(1, forms::LoadWindow(kFirstWindow, 0, false, nullptr));
  Pump();
  olderInstance = FormHandle(kFirstWindow);
  furtherLoadResult = -1;
  calls.clear();
  rt::TheApp().loopStarted = 1;
  SetTimer(nullptr, 0, 0, &LoadFurtherInstanceThatFails);
  rt::TheApp().RunLoop(0);
  if (pendingStep) KillTimer(nullptr, pendingStep);
  EXPECT_EQ(0, furtherLoadResult);
  EXPECT_TRUE(Called("Button1")) << "the loop ended before the older window was used";
  EXPECT_FALSE(IsWindow(olderInstance)) << "the loop ended while the older window was alive";
  forms::FlushDeletedUnits();
  EXPECT_TRUE(record->parked.empty());
  EXPECT_FALSE(record->snapshot.has_value());
  EXPECT_TRUE(defined == record->units.Bytes()) << "the unit list is back at its template state";
}

TEST_F(FormWindowTest, UpDownStepsTheNumberAndWrapsAtTheEnds) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  HWND form = FormHandle(kFirstWindow);
  HWND edit = UnitHandle(kFirstWindow, kEdit2);
  HWND spin = GetDlgItem(form, 114);
  ASSERT_NE(nullptr, spin);
  RECT box, arrows;
  GetWindowRect(edit, &box);
  GetWindowRect(spin, &arrows);
  EXPECT_EQ(box.right, arrows.left);
  EXPECT_EQ(18, arrows.right - arrows.left);
  EXPECT_EQ(box.bottom - box.top, arrows.bottom - arrows.top);

  auto press = [&](int delta) {
    NMUPDOWN nm{};
    nm.hdr.hwndFrom = spin;
    nm.hdr.idFrom = 114;
    nm.hdr.code = UDN_DELTAPOS;
    nm.iDelta = delta;
    SendMessageA(form, WM_NOTIFY, 114, reinterpret_cast<LPARAM>(&nm));
    return WindowText(edit);
  };
  // Range 0..100: stepping onto an end stays there; only stepping past it wraps.
  SetWindowTextA(edit, "99");
  EXPECT_EQ("100", press(1));
  EXPECT_EQ("0", press(1));
  EXPECT_EQ("100", press(-1));
  SetWindowTextA(edit, "1");
  EXPECT_EQ("0", press(-1));
  SetWindowTextA(edit, "abc");
  EXPECT_EQ("1", press(1));
  EXPECT_EQ(edit, Focused(FormHandle(kFirstWindow)));

  // Loaded with a hidden window, the up-down control still shows with it, and then follows
  // the box: hidden, shown, disabled and moved together.
  EXPECT_TRUE(IsWindowVisible(spin));
  forms::WriteUnitProperty(kFirstWindow, kEdit2, kPropVisible, -1, 0);
  EXPECT_FALSE(IsWindowVisible(spin));
  forms::WriteUnitProperty(kFirstWindow, kEdit2, kPropVisible, -1, 1);
  EXPECT_TRUE(IsWindowVisible(spin));
  forms::WriteUnitProperty(kFirstWindow, kEdit2, kPropDisabled, -1, 1);
  EXPECT_FALSE(IsWindowEnabled(spin));
  forms::WriteUnitProperty(kFirstWindow, kEdit2, kPropLeft, -1, 30);
  GetWindowRect(edit, &box);
  GetWindowRect(spin, &arrows);
  EXPECT_EQ(box.right, arrows.left);
  EXPECT_EQ(box.top, arrows.top);
}

TEST_F(FormWindowTest, SpinModeTwoRaisesEventOneAfterTheBoxIsRecreated) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  HWND oldBox = UnitHandle(kFirstWindow, kEdit2);
  SetWindowTextA(oldBox, "42");
  forms::WriteUnitProperty(kFirstWindow, kEdit2, 8 + forms::kEditSpinMode, -1, 2);
  Pump();
  HWND box = UnitHandle(kFirstWindow, kEdit2);
  ASSERT_NE(nullptr, box);
  EXPECT_NE(oldBox, box) << "a new spin mode needs a new control";
  EXPECT_EQ("42", WindowText(box)) << "the text survives the re-creation";
  HWND form = FormHandle(kFirstWindow);
  HWND spin = GetDlgItem(form, 114);
  ASSERT_NE(nullptr, spin);
  calls.clear();
  NMUPDOWN nm{};
  nm.hdr.hwndFrom = spin;
  nm.hdr.idFrom = 114;
  nm.hdr.code = UDN_DELTAPOS;
  nm.iDelta = -1;
  SendMessageA(form, WM_NOTIFY, 114, reinterpret_cast<LPARAM>(&nm));
  EXPECT_TRUE(Called("Spin -1")) << Joined();
  EXPECT_EQ("42", WindowText(box)) << "mode 2 leaves the text alone";
}

TEST_F(FormWindowTest, ANewPictureRecreatesTheButtonWhichStillClicks) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  HWND old = UnitHandle(kFirstWindow, kButton1);
  // A byte set: dimension count 1, length, then a 2 x 2 24-bit bitmap file.
  std::vector<uint8_t> set = {1, 0, 0, 0, 70, 0, 0, 0, 'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
                              40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0};
  set.resize(8 + 70, 0x80);
  forms::WriteUnitProperty(kFirstWindow, kButton1, 8 + forms::kButtonPicture, -1, reinterpret_cast<uintptr_t>(set.data()));
  Pump();
  HWND button = UnitHandle(kFirstWindow, kButton1);
  ASSERT_NE(nullptr, button);
  EXPECT_NE(old, button);
  EXPECT_TRUE(GetWindowLongA(button, GWL_STYLE) & BS_BITMAP);
  EXPECT_EQ(120, GetDlgCtrlID(button)) << "same control id";
  calls.clear();
  SendMessageA(button, BM_CLICK, 0, 0);
  Pump();
  EXPECT_TRUE(Called("Button1")) << Joined();
}

TEST_F(FormWindowTest, AltMnemonicClicksTheButtonWithoutTakingTheFocus) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  HWND edit = UnitHandle(kFirstWindow, kEdit1);
  SetFocus(edit);
  calls.clear();
  BYTE state[256] = {};
  GetKeyboardState(state);
  state[VK_MENU] = 0x80;
  SetKeyboardState(state);
  PostMessageA(edit, WM_SYSKEYDOWN, 'F', 0x20000001);
  Pump();
  state[VK_MENU] = 0;
  SetKeyboardState(state);
  EXPECT_TRUE(Called("Button1")) << Joined();
  EXPECT_EQ(edit, Focused(FormHandle(kFirstWindow)));
}

TEST_F(FormWindowTest, ByteInputFiltersTypingAndClampsWhenTheFocusLeaves) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  HWND edit = UnitHandle(kFirstWindow, kEdit2);
  SetFocus(edit);
  Pump();
  for (char c : std::string("3a-0.0")) PostMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
  Pump();
  EXPECT_EQ("300", WindowText(edit));
  calls.clear();
  SetFocus(UnitHandle(kFirstWindow, kButton1));
  Pump();
  EXPECT_EQ("255", WindowText(edit));
  // The runtime's own normalisation is no change the program hears of: only the lost focus.
  std::vector<std::string> edit2Events;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(edit2Events),
               [](const std::string& c) { return c.rfind("Edit2", 0) == 0; });
  EXPECT_EQ((std::vector<std::string>{"Edit2Lost"}), edit2Events) << Joined();

  SetFocus(edit);
  SetWindowTextA(edit, "0");
  SetFocus(UnitHandle(kFirstWindow, kButton1));
  Pump();
  EXPECT_EQ("", WindowText(edit));
}

TEST_F(FormWindowTest, ModalWindowDisablesTheOthersAndItsLoopEndsWithIt) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  modalSawOwnerDisabled = false;
  // Close the modal window from inside its own loop, once it is up.
  SetTimer(nullptr, 0, 200, &CloseModalSoon);
  uint32_t words[3] = {static_cast<uint32_t>(kModalWindow), 0, 0};
  EXPECT_EQ(1, rt::RuntimeNotify(kSvcLoadWindow, reinterpret_cast<uint32_t>(words), 0));
  EXPECT_TRUE(Called("ModalCreated")) << Joined();
  EXPECT_TRUE(Called("MenuItems 1")) << Joined();
  EXPECT_TRUE(Called("Checked")) << Joined();
  EXPECT_TRUE(Called("Menu")) << Joined();
  EXPECT_TRUE(Called("ModalClose")) << Joined();
  EXPECT_TRUE(modalSawOwnerDisabled);
  EXPECT_TRUE(IsWindowEnabled(FormHandle(kFirstWindow)));
  EXPECT_EQ(0, rt::TheApp().modalWindowId);
  EXPECT_EQ(nullptr, FormHandle(kModalWindow));

  // Destroyed without being closed, a modal window still gives the others back.
  SetTimer(nullptr, 0, 200, &DestroyModalSoon);
  EXPECT_EQ(1, rt::RuntimeNotify(kSvcLoadWindow, reinterpret_cast<uint32_t>(words), 0));
  EXPECT_TRUE(IsWindowEnabled(FormHandle(kFirstWindow)));
  EXPECT_EQ(0, rt::TheApp().modalWindowId);
}

TEST_F(FormWindowTest, AUnitWhoseBlockCannotBeReadFailsTheLoadAndLeavesNothingBehind) {
  EXPECT_FALSE(forms::LoadStartWindow(kBadWindow));
  EXPECT_EQ(nullptr, FormHandle(kBadWindow));
  EXPECT_FALSE(forms::AnyWindowAlive());
  EXPECT_EQ(0, rt::TheApp().eventBlockCount);
}

TEST_F(FormWindowTest, CommonPropertyWritesClampAndAreDiscardedWhenTheWindowGoes) {
  // A write while the window is not loaded changes the stored item: the next load uses it.
  forms::WriteUnitProperty(kFirstWindow, kButton3, kPropLeft, -1, 12);
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  EXPECT_EQ(12u, static_cast<uint32_t>(forms::ReadUnitProperty(kFirstWindow, kButton3, kPropLeft, -1)));

  // Writes to the live window clamp and move it.
  forms::WriteUnitProperty(kFirstWindow, kButton1, kPropLeft, -1, 40000);
  EXPECT_EQ(32627, static_cast<int32_t>(forms::ReadUnitProperty(kFirstWindow, kButton1, kPropLeft, -1)));
  forms::WriteUnitProperty(kFirstWindow, kButton1, kPropWidth, -1, static_cast<uint32_t>(-5));
  EXPECT_EQ(0, static_cast<int32_t>(forms::ReadUnitProperty(kFirstWindow, kButton1, kPropWidth, -1)));
  forms::WriteUnitProperty(kFirstWindow, kButton1, kPropLeft, -1, 33);
  RECT r;
  GetWindowRect(UnitHandle(kFirstWindow, kButton1), &r);
  MapWindowPoints(nullptr, FormHandle(kFirstWindow), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(33, r.left);

  // Destroyed and loaded again: the template's values are back, the write before the first
  // load included (it was part of the state the snapshot was taken from).
  DestroyWindow(FormHandle(kFirstWindow));
  Pump();
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  EXPECT_EQ(200, static_cast<int32_t>(forms::ReadUnitProperty(kFirstWindow, kButton1, kPropLeft, -1)));
  EXPECT_EQ(60, static_cast<int32_t>(forms::ReadUnitProperty(kFirstWindow, kButton1, kPropWidth, -1)));
  EXPECT_EQ(12, static_cast<int32_t>(forms::ReadUnitProperty(kFirstWindow, kButton3, kPropLeft, -1)));
  DestroyWindow(FormHandle(kFirstWindow));
  forms::WriteUnitProperty(kFirstWindow, kButton3, kPropLeft, -1, 200);
}

TEST_F(FormWindowTest, UnitsShowTheMousePointerOfTheirBlock) {
  ASSERT_TRUE(forms::LoadStartWindow(kFirstWindow));
  Pump();
  HWND form = FormHandle(kFirstWindow);
  SetCursor(nullptr);
  SendMessageA(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(UnitHandle(kFirstWindow, kButton1)),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  HCURSOR built = forms::TheWindowDirectory().Find(kFirstWindow)->units.ItemById(kButton1).Cursor();
  ASSERT_NE(nullptr, built) << "mouse pointer 3 is the I-beam";
  EXPECT_EQ(built, GetCursor());
  // A unit without a pointer of its own leaves the choice to the default processing.
  SetCursor(built);
  SendMessageA(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(UnitHandle(kFirstWindow, kButton2)),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_NE(built, GetCursor());
}

TEST_F(FormWindowTest, DockableBarsStackAlongTheTopAndBottomEdges) {
  ASSERT_TRUE(forms::LoadStartWindow(kDockWindow));
  Pump();
  HWND form = FormHandle(kDockWindow);
  auto place = [&](uint32_t unit) {
    RECT r;
    GetWindowRect(UnitHandle(kDockWindow, unit), &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  RECT client;
  GetClientRect(form, &client);
  // Top bars in index order from the top, each keeping its left edge and size.
  EXPECT_EQ(5, place(0x16010031).left);
  EXPECT_EQ(0, place(0x16010031).top);
  EXPECT_EQ(20, place(0x16010033).top);
  EXPECT_EQ(9, place(0x16010033).left);
  EXPECT_EQ(25, place(0x16010033).bottom - place(0x16010033).top);
  EXPECT_EQ(client.bottom - 30, place(0x16010032).top);
  // A new size lays them out again.
  SetWindowPos(form, nullptr, 0, 0, 300, 260, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(form, &client);
  EXPECT_EQ(client.bottom - 30, place(0x16010032).top);
  EXPECT_EQ(7, place(0x16010032).left);
}

TEST_F(FormWindowTest, UnitsHearTheyExistAndAreShownHighestIndexFirst) {
  PrivateMessages().clear();
  ASSERT_TRUE(forms::LoadStartWindow(kDockWindow));
  Pump();
  const std::vector<std::pair<UINT, uint32_t>> expected = {
      {0x806F, 0x16010033}, {0x806F, 0x16010032}, {0x806F, 0x16010031},
      {0x8076, 0x16010033}, {0x8076, 0x16010032}, {0x8076, 0x16010031}};
  EXPECT_EQ(expected, PrivateMessages());
}

TEST_F(FormWindowTest, HandlersAreFoundOnlyWhileEventsAreNotBlocked) {
  EXPECT_NE(nullptr, forms::FindHandler(kFirstWindow, kButton1, 0, 0));
  EXPECT_EQ(kFirstWindow, rt::TheApp().eventSourceWindow);
  EXPECT_EQ(static_cast<int32_t>(kButton1), rt::TheApp().eventSourceUnit);
  EXPECT_EQ(nullptr, forms::FindHandler(kFirstWindow, kButton1, 5, 0)) << "no binding for event 5";
  // Unit id 0 is the window item, whose id becomes the event source.
  EXPECT_NE(nullptr, forms::FindHandler(kFirstWindow, 0, 0, 0));
  EXPECT_EQ(0x06010000, rt::TheApp().eventSourceUnit);
  ++rt::TheApp().eventBlockCount;
  EXPECT_EQ(nullptr, forms::FindHandler(kFirstWindow, kButton1, 0, 0));
  --rt::TheApp().eventBlockCount;
  rt::TheApp().eventSourceWindow = 0;
}

}  // namespace
