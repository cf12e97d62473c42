// The form window object: creation styles, window properties, window events, background,
// cursors, closing and final destruction.
#include "forms/form_window.h"

#include <windowsx.h>

#include <algorithm>

#include "forms/form_runtime.h"
#include "forms/keyboard.h"
#include "forms/picture.h"
#include "forms/unit_support.h"
#include "runtime/runtime_app.h"
#include "runtime/services.h"

namespace forms {
namespace {

constexpr char kDefaultClassName[] = "WTWindow";

// Guards the activation events against re-entry (a handler that activates another window).
bool g_inActivation = false;

// Registers the form window class once per name: double clicks, redraw on resize, the arrow
// cursor and no background brush (the window paints its own background).
bool RegisterFormClass(const char* name) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  std::wstring wideName = fw::WideFromGbk(name);
  WNDCLASSW existing{};
  if (GetClassInfoW(instance, wideName.c_str(), &existing)) return true;
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = fw::ObjectWindowProc();
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = wideName.c_str();
  return RegisterClassW(&wc) != 0;
}

}  // namespace

// Fields in stored order; the fields added by versions 2 to 6 are read only from blocks of
// that version or later. Logical words travel as 0 / 1.
bool WindowProperties::Serialize(PropertyStream& s) {
  uint32_t version = kMaxVersion;
  if (!s.VersionField(version, kMaxVersion)) return false;
  s.Fields(border, pictureMode, backColor, maxButton, minButton, controlBox, startPosition, movable, musicPlayMode,
           enterMovesFocus, escCloses, f1Help, helpContext);
  if (version >= 2) s.Fields(showInTaskbar);
  if (version >= 3) s.Fields(dragByClient, shape);
  if (version >= 4) s.Fields(alwaysOnTop);
  if (version >= 5) s.Fields(property30);
  if (version >= 6) s.Fields(className);
  s.Fields(backPicture, icon, backMusic, caption, helpFile);
  return true;
}

// The creation table: frame by Border, caption when there is a title or a control box,
// sizable borders 1/3/5, tool window 3/4, client edge 5/6, the two boxes, the start position
// bits, and a pop-up when there is an owner.
FormStyles FormWindowStyles(const WindowProperties& p, bool hasOwner, bool child) {
  FormStyles st;
  int32_t border = std::clamp(p.border, 0, 6);
  st.style = WS_CLIPCHILDREN;
  if (border != 0) {
    st.style |= WS_DLGFRAME;
    if (!p.caption.empty() || p.controlBox) st.style |= WS_CAPTION;
    if (p.controlBox) st.style |= WS_SYSMENU;
  }
  if (SizableBorder(border)) st.style |= WS_THICKFRAME;
  if (border == 3 || border == 4) st.exStyle |= WS_EX_TOOLWINDOW;
  if (border == 5 || border == 6) st.exStyle |= WS_EX_CLIENTEDGE;
  if (p.maxButton) st.style |= WS_MAXIMIZEBOX;
  if (p.minButton) st.style |= WS_MINIMIZEBOX;
  if (p.startPosition == kStartMinimised) st.style |= WS_MINIMIZE;
  if (p.startPosition == kStartMaximised && SizableBorder(border)) st.style |= WS_MAXIMIZE;
  if (child) st.style |= WS_CHILD;
  else if (hasOwner) st.style |= WS_POPUP;
  return st;
}

// Centring uses integer halves of the screen size less the window size.
POINT FormWindowOrigin(const WindowProperties& p, int32_t left, int32_t top, int32_t width,
                       int32_t height) {
  if (p.startPosition != kStartCentred) return POINT{left, top};
  return POINT{(GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2};
}

// Item 0 holds the window object while the window is loaded.
FormWindow* FormWindow::Of(WindowRecord* record) {
  if (record == nullptr || record->units.Count() == 0) return nullptr;
  UnitItem item = record->units.ItemAt(0);
  if (!item || item.TypeId() != kWindowTypeId) return nullptr;
  return UnitOf<FormWindow>(item.Object());
}

// The window's record, looked up again each time: the directory owns it.
WindowRecord* FormWindow::Record() const { return TheWindowDirectory().Find(windowId_); }

// The record's slots hold each instance under its window object.
std::optional<InstanceUnits> FormWindow::Units() const {
  WindowRecord* record = Record();
  if (record == nullptr) return std::nullopt;
  return InstanceUnits(*record, static_cast<const fw::WindowObject*>(this));
}

// Operation 1 of the window class. The owner (parent argument) makes a pop-up; a window
// loaded modally or kept off the taskbar is owned by the runtime's helper window when the
// program runs in a run mode other than 0.
FormWindow* FormWindow::Create(const UnitCreateArgs& a) {
  auto* form = NewUnit<FormWindow>(a);
  if (!form) return nullptr;
  const WindowProperties& p = form->props_;
  form->child_ = a.classWord2 != 0;
  form->modal_ = LoadingModally();
  HWND owner = a.parent;
  rt::RuntimeApp& app = rt::TheApp();
  if (owner == nullptr && !form->child_ && (form->modal_ || !p.showInTaskbar) && app.runMode != 0 &&
      app.helperWindow != nullptr)
    owner = app.helperWindow->Handle();
  // Only an owner the caller gave makes a pop-up; the helper window's ownership does not.
  form->popup_ = a.parent != nullptr;
  FormStyles st = FormWindowStyles(p, form->popup_, form->child_);
  // Only the disabled bit applies to the window: WS_TABSTOP would be a maximise box here.
  st.style |= a.style & WS_DISABLED;
  POINT origin = FormWindowOrigin(p, a.left, a.top, a.width, a.height);
  const char* className = p.className.empty() ? kDefaultClassName : p.className.c_str();
  if (!RegisterFormClass(className) ||
      !form->fw::WindowObject::Create(st.exStyle, className, p.caption.c_str(), st.style, origin.x, origin.y,
                                      a.width, a.height, owner, static_cast<HMENU>(a.menu))) {
    form->DiscardUnbuilt();
    return nullptr;
  }
  form->ApplyFrameStyles();
  RECT r;
  GetWindowRect(form->hwnd_, &r);
  if (!IsIconic(form->hwnd_) && !IsZoomed(form->hwnd_) &&
      (r.right - r.left != a.width || r.bottom - r.top != a.height))
    SetWindowPos(form->hwnd_, nullptr, 0, 0, a.width, a.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  form->ApplyIcons();
  form->ApplyShape();
  form->Send(WM_SETFONT, reinterpret_cast<WPARAM>(UnitDefaultFont()), FALSE);
  if (p.alwaysOnTop) form->ApplyTopmost();
  if (!p.movable) DeleteMenu(GetSystemMenu(form->hwnd_, FALSE), SC_MOVE, MF_BYCOMMAND);
  return form;
}

// Re-applies the frame and caption-bar styles (the system adds a caption to overlapped
// windows on creation; property writes change the frame later).
void FormWindow::ApplyFrameStyles() {
  constexpr DWORD kFrameBits = WS_CAPTION | WS_DLGFRAME | WS_BORDER | WS_SYSMENU | WS_THICKFRAME |
                               WS_MAXIMIZEBOX | WS_MINIMIZEBOX;
  constexpr DWORD kFrameEx = WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE;
  FormStyles st = FormWindowStyles(props_, popup_, child_);
  DWORD style = (static_cast<DWORD>(Style()) & ~kFrameBits) | (st.style & kFrameBits);
  DWORD ex = (static_cast<DWORD>(ExStyle()) & ~kFrameEx) | (st.exStyle & kFrameEx);
  SetWindowLongA(hwnd_, GWL_STYLE, static_cast<LONG>(style));
  SetWindowLongA(hwnd_, GWL_EXSTYLE, static_cast<LONG>(ex));
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Big and small icons from the icon-file bytes, or the program's default icons (which belong
// to the runtime). Icons made before go once the window has the new ones.
void FormWindow::ApplyIcons() {
  fw::ScopedIcon big, small;
  if (!props_.icon.empty()) {
    uint32_t size = static_cast<uint32_t>(props_.icon.size());
    big.Reset(IconFromFileBytes(props_.icon.data(), size, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)));
    small.Reset(IconFromFileBytes(props_.icon.data(), size, GetSystemMetrics(SM_CXSMICON),
                                  GetSystemMetrics(SM_CYSMICON)));
  }
  HICON shownBig = nullptr, shownSmall = nullptr;
  if (big || small) {
    if (!big) big.Reset(CopyIcon(small.Get()));
    if (!small) small.Reset(CopyIcon(big.Get()));
    shownBig = big.Get();
    shownSmall = small.Get();
  } else {
    uint32_t words[2] = {0, 0};
    rt::RuntimeNotify(kSvcDefaultIcons, reinterpret_cast<uint32_t>(words), 0);
    shownBig = reinterpret_cast<HICON>(words[0]);
    shownSmall = reinterpret_cast<HICON>(words[1]);
  }
  Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(shownBig));
  Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(shownSmall));
  bigIcon_ = std::move(big);
  smallIcon_ = std::move(small);
}

// Shape 0 is the plain rectangle; 1 an ellipse; the other shapes a rounded rectangle. The
// window owns a region it was given.
void FormWindow::ApplyShape() {
  if (props_.shape == 0) {
    SetWindowRgn(hwnd_, nullptr, TRUE);
    return;
  }
  RECT r;
  GetWindowRect(hwnd_, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  fw::ScopedRegion region(props_.shape == 1 ? CreateEllipticRgn(0, 0, w, h)
                                            : CreateRoundRectRgn(0, 0, w, h, w / 8, h / 8));
  if (region && SetWindowRgn(hwnd_, region.Get(), TRUE)) region.Release();
}

// Topmost on; clearing it also lifts every other loaded window that keeps AlwaysOnTop and has
// no taskbar button back to the top.
void FormWindow::ApplyTopmost() {
  SetWindowPos(hwnd_, props_.alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (props_.alwaysOnTop) return;
  WindowDirectory& directory = TheWindowDirectory();
  for (uint32_t i = 0; i < directory.Count(); ++i) {
    FormWindow* other = Of(directory.At(i));
    if (other == nullptr || other == this || !other->IsWindow()) continue;
    if (other->props_.alwaysOnTop && !other->props_.showInTaskbar)
      SetWindowPos(other->hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

// StartPosition written to a visible window: 1 re-centres, 2 minimises, 3 maximises, 0
// restores.
void FormWindow::ApplyStartPosition() {
  if (!IsWindowVisible(hwnd_)) return;
  switch (props_.startPosition) {
    case kStartCentred: {
      RECT r;
      GetWindowRect(hwnd_, &r);
      POINT o = FormWindowOrigin(props_, r.left, r.top, r.right - r.left, r.bottom - r.top);
      SetWindowPos(hwnd_, nullptr, o.x, o.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    case kStartMinimised: ShowWindow(hwnd_, SW_MINIMIZE); break;
    case kStartMaximised: ShowWindow(hwnd_, SW_MAXIMIZE); break;
    default: ShowWindow(hwnd_, SW_RESTORE); break;
  }
}

namespace {

// Collects and disables the parentless top-level windows of the thread other than `self`.
struct DisableContext {
  HWND self;
  std::vector<std::pair<HWND, bool>>* list;
};

BOOL CALLBACK DisableOne(HWND h, LPARAM l) {
  auto* c = reinterpret_cast<DisableContext*>(l);
  if (h != c->self && GetParent(h) == nullptr) {
    bool wasEnabled = !EnableWindow(h, FALSE);
    c->list->emplace_back(h, wasEnabled);
  }
  return TRUE;
}

}  // namespace

// A modal load leaves only this window usable: every other parentless top-level window of the
// thread is disabled and its previous state remembered.
void FormWindow::DisableOtherWindows() {
  modal_ = true;
  disabledWindows_.clear();
  DisableContext context{hwnd_, &disabledWindows_};
  EnumThreadWindows(GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(&context));
}

// Gives the windows disabled for a modal window their previous state back (once).
void FormWindow::ReenableOtherWindows() {
  for (auto& [h, wasEnabled] : disabledWindows_)
    if (::IsWindow(h)) EnableWindow(h, wasEnabled);
  disabledWindows_.clear();
}

// Event 1 first. A handler that returned false refuses the close of a top-level window loaded
// with instance flag 0. The handler may have destroyed the window itself.
LRESULT FormWindow::OnClose() {
  HWND self = hwnd_;
  EventOutcome outcome = Raise(1);
  if (!::IsWindow(self) || hwnd_ != self) return 0;
  if (outcome.Refused() && !child_ && instance_ == 0) return 0;
  ReenableOtherWindows();
  return Default();
}

// The first activation raises event 8 before 5; deactivation remembers the focused child for
// the next WM_SETFOCUS and raises 6.
LRESULT FormWindow::OnActivate(bool active) {
  HWND self = hwnd_;
  if (!active) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) rememberedFocus_ = focus;
  }
  LRESULT result = Default();
  if (g_inActivation) return result;
  g_inActivation = true;
  if (active) {
    if (!activatedOnce_) {
      activatedOnce_ = true;
      Raise(8);
    }
    if (::IsWindow(self)) Raise(5);
  } else {
    Raise(6);
  }
  g_inActivation = false;
  return result;
}

// Event -7 for the window, then the focus goes back to the remembered child, or to the first
// unit in tab order.
LRESULT FormWindow::OnSetFocus() {
  HWND self = hwnd_;
  Raise(kEventGotFocus);
  if (!::IsWindow(self)) return 0;
  if (rememberedFocus_ && ::IsWindow(rememberedFocus_) && IsChild(hwnd_, rememberedFocus_)) {
    ::SetFocus(rememberedFocus_);
    return 0;
  }
  if (HWND first = FirstInTabOrder(*this)) ::SetFocus(first);
  return 0;
}

void FormWindow::RaiseFocusedEvent() {
  HWND focus = GetFocus();
  if (focus == hwnd_) {
    Raise(kEventGotFocus);
    return;
  }
  std::optional<InstanceUnits> units = Units();
  int32_t unit = 0;
  if (focus && units && IsChild(hwnd_, focus) && FindUnitOfWindow(*units, hwnd_, focus, &unit))
    RaiseEvent(windowId_, unit, kEventGotFocus);
}

// Over the client area or a unit: the cursor of the item's MousePointerBlock. False when the
// item has none.
bool FormWindow::ShowItemCursor(HWND under, UINT hitTest) {
  if (hitTest != HTCLIENT) return false;
  std::optional<InstanceUnits> units = Units();
  if (!units) return false;
  int32_t index = -1, unit = 0;
  if (under == hwnd_) index = 0;
  else if (FindUnitOfWindow(*units, hwnd_, under, &unit)) index = units->List().IndexOf(static_cast<uint32_t>(unit));
  HCURSOR cursor = index >= 0 ? units->Cursor(static_cast<uint32_t>(index)) : nullptr;
  if (cursor == nullptr) return false;
  SetCursor(cursor);
  return true;
}

// Background: the colour everywhere, then the picture placed by PictureMode (0 top-left at
// natural size, 1 tiled, 2 centred and scaled down to fit, 3 stretched).
void FormWindow::PaintBackground(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, fw::ScopedBrush(CreateSolidBrush(ColorOrSystem(props_.backColor, COLOR_BTNFACE))).Get());
  if (!backDecoded_) {
    backDecoded_ = true;
    Picture picture = DecodePicture(props_.backPicture.data(), static_cast<uint32_t>(props_.backPicture.size()));
    backBitmap_ = std::move(picture.bitmap);
  }
  if (!backBitmap_) return;
  BITMAP bm{};
  GetObjectA(backBitmap_.Get(), sizeof bm, &bm);
  if (bm.bmWidth <= 0 || bm.bmHeight <= 0) return;
  fw::ScopedMemoryDc memoryDc(CreateCompatibleDC(dc));
  HDC memory = memoryDc.Get();
  fw::ScopedSelection selected(memory, backBitmap_.Get());
  int cw = client.right, ch = client.bottom;
  switch (std::clamp(props_.pictureMode, 0, 3)) {
    case 0: BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, memory, 0, 0, SRCCOPY); break;
    case 1:
      for (int y = 0; y < ch; y += bm.bmHeight)
        for (int x = 0; x < cw; x += bm.bmWidth) BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, memory, 0, 0, SRCCOPY);
      break;
    case 2: {
      double scale = std::min({1.0, double(cw) / bm.bmWidth, double(ch) / bm.bmHeight});
      int w = static_cast<int>(bm.bmWidth * scale), h = static_cast<int>(bm.bmHeight * scale);
      SetStretchBltMode(dc, HALFTONE);
      StretchBlt(dc, (cw - w) / 2, (ch - h) / 2, w, h, memory, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
      break;
    }
    default:
      SetStretchBltMode(dc, HALFTONE);
      StretchBlt(dc, 0, 0, cw, ch, memory, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
      break;
  }
}

// Units of dockable classes: style type 1 stacks from the top down, type 3 from the bottom
// up; each keeps its left edge, width and height.
void FormWindow::LayoutDockedUnits() {
  std::optional<InstanceUnits> units = Units();
  if (!units) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  int topEdge = 0, bottomEdge = client.bottom;
  for (uint32_t i = 1; i < units->Count(); ++i) {
    if (units->List().IsMenuItemAt(i)) continue;
    UnitItem item = units->List().ItemAt(i);
    const UnitClassInfo* cls = item ? FindUnitClass(item.TypeId()) : nullptr;
    HWND h = UnitWindow(units->Object(i));
    if (cls == nullptr || !(cls->flags & kClassDockable) || h == nullptr || GetParent(h) != hwnd_) continue;
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    int height = r.bottom - r.top;
    DWORD type = static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)) & 3;
    if (type == 1) {
      SetWindowPos(h, nullptr, r.left, topEdge, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      topEdge += height;
    } else if (type == 3) {
      bottomEdge -= height;
      SetWindowPos(h, nullptr, r.left, bottomEdge, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
}

// Window events from the system's messages (close 1, destroy 2, move 3, size 4, activation
// 5/6/8, show 10/11, focus -7), the cursor and background, and notifications reflected to the
// units that sent them.
LRESULT FormWindow::UnitProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE: return OnClose();
    case WM_QUERYENDSESSION: return OnQueryEndSession();
    case WM_DESTROY: return OnDestroy();
    case WM_MOVE: return OnMove();
    case WM_SIZE: return OnSize();
    case WM_ACTIVATE: return OnActivate(LOWORD(wParam) != WA_INACTIVE);
    case WM_SHOWWINDOW: return OnShowWindow(wParam != 0);
    case WM_SETFOCUS: return OnSetFocus();
    case WM_SETCURSOR: return OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam));
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_COMMAND: return OnCommand(wParam, reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: return OnNotify(wParam, reinterpret_cast<NMHDR*>(lParam));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return OnCtlColor(msg, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case kMsgLayout: return OnLayout();
    default: return Default();
  }
}

// The session is ending: the close event may refuse it, after the system's own answer.
LRESULT FormWindow::OnQueryEndSession() {
  LRESULT result = Default();
  return Raise(1).Refused() ? FALSE : result;
}

// Event 2, then what the window owns goes with it: help opened with F1 and the menu bar.
LRESULT FormWindow::OnDestroy() {
  // A modal window destroyed without WM_CLOSE must not leave the others disabled.
  ReenableOtherWindows();
  // The message pre-translation walk must not stop at a window that is gone.
  if (rt::TheApp().mainWindow == hwnd_) rt::TheApp().mainWindow = nullptr;
  Raise(2);
  if (!helpFile_.empty()) WinHelpW(hwnd_, fw::WidePath(helpFile_.c_str()).c_str(), HELP_QUIT, 0);
  {  // the menu bar is the window's: detached and destroyed here
    fw::ScopedMenu menu(GetMenu(hwnd_));
    if (menu) SetMenu(hwnd_, nullptr);
  }
  return Default();
}

// Event 3 after the system has moved the window.
LRESULT FormWindow::OnMove() {
  LRESULT result = Default();
  Raise(3);
  return result;
}

// Event 4 after the docked units and the window's shape follow the new size.
LRESULT FormWindow::OnSize() {
  LRESULT result = Default();
  LayoutDockedUnits();
  if (props_.shape != 0) ApplyShape();
  Raise(4);
  return result;
}

// Event 10 when the window is shown, 11 when it is hidden.
LRESULT FormWindow::OnShowWindow(bool shown) {
  LRESULT result = Default();
  Raise(shown ? 10 : 11);
  return result;
}

// The cursor of the item under the mouse, else the class cursor.
LRESULT FormWindow::OnSetCursor(HWND under, UINT hitTest) {
  return ShowItemCursor(under, hitTest) ? TRUE : Default();
}

// The window paints its whole background itself.
LRESULT FormWindow::OnEraseBkgnd(HDC dc) {
  PaintBackground(dc);
  return 1;
}

// A control's command goes back to the unit that sent it; a menu command raises the event of
// its menu item.
LRESULT FormWindow::OnCommand(WPARAM wParam, HWND control) {
  if (control != nullptr) return SendMessageA(control, kReflectCommand, wParam, reinterpret_cast<LPARAM>(control));
  if (LOWORD(wParam) >= kMenuCommandBase) RaiseMenuCommand(*this, LOWORD(wParam));
  return 0;
}

// A notification goes back to the unit that sent it. A unit's own control reports for itself;
// only a helper control (an up-down) names its unit in a window property, which would cost a
// trip to the window server for every notification of a unit (a rich edit box sends one per
// line written).
LRESULT FormWindow::OnNotify(WPARAM wParam, NMHDR* header) {
  if (header == nullptr || header->hwndFrom == nullptr) return Default();
  HWND target = header->hwndFrom;
  if (!fw::WindowObject::FromHandlePermanent(target)) {
    if (auto named = static_cast<HWND>(GetPropA(target, kReflectTargetProp))) target = named;
  }
  return SendMessageA(target, kReflectNotify, wParam, reinterpret_cast<LPARAM>(header));
}

// The control's unit chooses its colours; a unit that does not gets the system's.
LRESULT FormWindow::OnCtlColor(UINT msg, HDC dc, HWND control) {
  LRESULT brush =
      SendMessageA(control, kReflectBase + msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
  return brush ? brush : Default();
}

// Posted when a unit changed in a way that may move the docked units.
LRESULT FormWindow::OnLayout() {
  LayoutDockedUnits();
  return 0;
}

// Final destruction: the accelerators go; the runtime releases this instance's slots with
// their cursors and, for the last instance, restores the unit list from its snapshot (2000
// for the window); and when the message loop runs and no window is left the program's loop
// is told to end with code 0.
void FormWindow::PostNcDestroy() {
  ncDestroyed_ = true;
  accelerators_.Reset();
  rt::RuntimeNotify(kSvcReleaseUnitData, static_cast<uint32_t>(windowId_), 0);
  if (rt::TheApp().loopStarted && !AnyWindowAlive()) PostQuitMessage(0);
  UnitDeleteQueue().Defer(this);
}

// Class-form values of the window properties: texts and blocks point into the object.
bool FormWindow::ReadProperty(int32_t index, UnitValue* v) {
  auto text = [&](std::string t) { PutKeptText(v, std::move(t)); };
  switch (index) {
    case kWinCaption: text(props_.caption); return true;
    case kWinBorder: PutWord(v, props_.border); return true;
    case kWinBackColor: v->first = props_.backColor; return true;
    case kWinBackPicture: PutBlock(v, props_.backPicture); return true;
    case kWinPictureMode: PutWord(v, props_.pictureMode); return true;
    case kWinBackMusic: PutBlock(v, props_.backMusic); return true;
    case kWinMusicPlayMode: PutWord(v, props_.musicPlayMode); return true;
    case kWinControlBox: PutWord(v, props_.controlBox); return true;
    case kWinMaxButton: PutWord(v, props_.maxButton); return true;
    case kWinMinButton: PutWord(v, props_.minButton); return true;
    case kWinStartPosition: PutWord(v, props_.startPosition); return true;
    case kWinMovable: PutWord(v, props_.movable); return true;
    case kWinIcon: PutBlock(v, props_.icon); return true;
    case kWinEnterMovesFocus: PutWord(v, props_.enterMovesFocus); return true;
    case kWinEscCloses: PutWord(v, props_.escCloses); return true;
    case kWinF1Help: PutWord(v, props_.f1Help); return true;
    case kWinHelpFile: text(props_.helpFile); return true;
    case kWinHelpContext: PutWord(v, props_.helpContext); return true;
    case kWinShowInTaskbar: PutWord(v, props_.showInTaskbar); return true;
    case kWinDragByClient: PutWord(v, props_.dragByClient); return true;
    case kWinShape: PutWord(v, props_.shape); return true;
    case kWinAlwaysOnTop: PutWord(v, props_.alwaysOnTop); return true;
    case kWinProperty30: PutWord(v, props_.property30); return true;
    case kWinClassName: text(props_.className); return true;
    default: return false;
  }
}

// Window properties apply to the live window at once; the window item is never re-created.
bool FormWindow::WriteProperty(int32_t index, const UnitValue& v) {
  if (!IsWindow()) return false;
  int32_t w = static_cast<int32_t>(v.first);
  switch (index) {
    case kWinCaption:
      props_.caption = TextOf(v);
      SetText(props_.caption.c_str());
      ApplyFrameStyles();
      break;
    case kWinBorder: props_.border = std::clamp(w, 0, 6); ApplyFrameStyles(); break;
    case kWinBackColor: props_.backColor = v.first; InvalidateRect(hwnd_, nullptr, TRUE); break;
    case kWinBackPicture:
      props_.backPicture = BlockOf(v);
      backBitmap_.Reset();
      backDecoded_ = false;
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case kWinPictureMode: props_.pictureMode = std::clamp(w, 0, 3); InvalidateRect(hwnd_, nullptr, TRUE); break;
    case kWinBackMusic: props_.backMusic = BlockOf(v); break;
    case kWinMusicPlayMode: props_.musicPlayMode = std::clamp(w, 0, 2); break;
    case kWinControlBox: props_.controlBox = w != 0; ApplyFrameStyles(); break;
    case kWinMaxButton: props_.maxButton = w != 0; ApplyFrameStyles(); break;
    case kWinMinButton: props_.minButton = w != 0; ApplyFrameStyles(); break;
    case kWinStartPosition: props_.startPosition = std::clamp(w, 0, 3); ApplyStartPosition(); break;
    case kWinMovable:
      props_.movable = w != 0;
      GetSystemMenu(hwnd_, TRUE);  // back to the standard menu, Move included
      if (!props_.movable) DeleteMenu(GetSystemMenu(hwnd_, FALSE), SC_MOVE, MF_BYCOMMAND);
      break;
    case kWinIcon: props_.icon = BlockOf(v); ApplyIcons(); break;
    case kWinEnterMovesFocus: props_.enterMovesFocus = w != 0; break;
    case kWinEscCloses: props_.escCloses = w != 0; break;
    case kWinF1Help: props_.f1Help = w != 0; break;
    case kWinHelpFile: props_.helpFile = TextOf(v); break;
    case kWinHelpContext: props_.helpContext = w; break;
    case kWinShowInTaskbar: props_.showInTaskbar = w != 0; break;
    case kWinDragByClient: props_.dragByClient = w != 0; break;
    case kWinShape: props_.shape = std::clamp(w, 0, 29); ApplyShape(); break;
    case kWinAlwaysOnTop: props_.alwaysOnTop = w != 0; ApplyTopmost(); break;
    case kWinProperty30: props_.property30 = w != 0; break;
    case kWinClassName: props_.className = TextOf(v); break;
    default: break;
  }
  return false;
}

namespace {

// Value types of the window's own properties, numbered from 8 (see WindowProperty).
constexpr uint16_t kOwnTypes[] = {
    kPropTypeText, kPropTypeChoice, kPropTypeBackColor,  // Caption, Border, BackColor
    kPropTypePicture, kPropTypeChoice,                     // BackPicture, PictureMode
    kPropTypeSound, kPropTypeChoice,                       // BackMusic, MusicPlayMode
    kPropTypeBool, kPropTypeBool, kPropTypeBool,          // ControlBox, MaxButton, MinButton
    kPropTypeChoice, kPropTypeBool, kPropTypeIcon,        // StartPosition, Movable, WindowIcon
    kPropTypeBool, kPropTypeBool,                          // 回车下移输入点, EscCloses
    kPropTypeBool, kPropTypeFileName, kPropTypeInt1001, // F1Help, HelpFile, HelpContext
    kPropTypeBool, kPropTypeBool, kPropTypeChoice,        // ShowInTaskbar, DragByClient, WindowShape
    kPropTypeBool, kPropTypeBool, kPropTypeText,          // AlwaysOnTop, property 30, WindowClassName
};
static_assert(std::size(kOwnTypes) == kWindowClassProperties);
constexpr auto kProperties = WithCommonProperties(kOwnTypes);

}  // namespace

static_assert(UnitOperations<FormWindow>::ProvidesExactly({kUnitOpCreate, kUnitOpWrite, kUnitOpSave, kUnitOpRead}));
constinit const UnitClassInfo kWindowClass = MakeUnitClass<FormWindow>("窗口", "Window", kWindowClassFlags, kProperties);

}  // namespace forms
