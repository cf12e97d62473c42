// Hooks and window procedures that apply the current skin (see skin_windows.h).
#include "skin/skin_windows.h"

#include <windowsx.h>

#include "skin/skin_caption.h"
#include "skin/skin_paint.h"
#include "skin/skin_window_table.h"

namespace skin {
namespace {

// Frames answer colour requests and paint the background; buttons are painted whole; edit
// boxes get colours and a border; rich edit boxes only the border (their colours are their
// owner's business).
enum class Role : uint8_t { kFrame, kButton, kEdit, kRichEditFrame };

constexpr int kMaxLevels = 4;

// One of our procedures in a window's chain, and the procedure it passes messages on to.
struct Level {
  WNDPROC next;
  bool wide;  // installed and called through the Unicode entry points
};

// Per-window state, kept in the window table from installation to WM_NCDESTROY.
struct WindowState {
  Role role;
  uint8_t levels;    // layers installed
  uint8_t active;    // the layer that styles
  bool hot;          // mouse over a button
  bool ncActive;     // frame drawn in the active colours (from WM_NCACTIVATE)
  WPARAM hotCaptionButton;  // hit-test code of the caption button under the mouse, or 0
  bool captionPressed;      // that button is held down
  Level level[kMaxLevels];
};

// The current palette; replaced as a whole when a new skin is attached. One skin holds for the
// whole process: a second thread that attaches shares it and replaces it for everyone.
Palette* g_palette = nullptr;

// Hooks per thread. A thread is hooked once and stays hooked for the life of the process.
struct ThreadHooks {
  DWORD threadId;
  HHOOK cbt;
};
constexpr int kMaxThreads = 16;
ThreadHooks g_threads[kMaxThreads];
SRWLOCK g_threadsLock = SRWLOCK_INIT;

// The state of a styled window, or null for a window the skin does not touch.
WindowState* StateOf(HWND window) { return static_cast<WindowState*>(FindWindowState(window)); }

// Passes a message on to the procedure below a layer through the entry point matching the
// way the layer was installed, so the message arrives exactly as it was sent.
LRESULT CallNext(const Level& level, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return level.wide ? CallWindowProcW(level.next, window, message, wParam, lParam)
                    : CallWindowProcA(level.next, window, message, wParam, lParam);
}

LRESULT Dispatch(int level, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One distinct procedure per layer and character set, so that each call knows its layer.
template <int L, bool Wide>
LRESULT CALLBACK LayerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Dispatch(L, window, message, wParam, lParam);
}

constexpr WNDPROC kLayerProcs[kMaxLevels][2] = {
    {LayerProc<0, false>, LayerProc<0, true>},
    {LayerProc<1, false>, LayerProc<1, true>},
    {LayerProc<2, false>, LayerProc<2, true>},
    {LayerProc<3, false>, LayerProc<3, true>},
};

// The window's first procedure as seen through the ANSI or the Unicode entry points (the
// system hands out a different value for a procedure of the other character set).
WNDPROC CurrentProc(HWND window, bool wide) {
  return reinterpret_cast<WNDPROC>(wide ? GetWindowLongPtrW(window, GWLP_WNDPROC)
                                        : GetWindowLongPtrA(window, GWLP_WNDPROC));
}

// Puts a new layer on top of the window's chain, matching the window's character set so that
// no message is translated on its way through our layer.
bool PushLayer(HWND window, WindowState* state) {
  int index = state->levels;
  if (index >= kMaxLevels) return false;
  bool wide = IsWindowUnicode(window) != FALSE;
  WNDPROC proc = kLayerProcs[index][wide];
  LONG_PTR previous = wide ? SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc))
                           : SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  if (!previous) return false;
  state->level[index].next = reinterpret_cast<WNDPROC>(previous);
  state->level[index].wide = wide;
  state->levels = static_cast<uint8_t>(index + 1);
  state->active = static_cast<uint8_t>(index);
  return true;
}

// Starts styling a window in the given role; nothing happens to a window already styled.
// A window being created (`created`) has seen no message yet, so a state found under its
// handle belongs to an earlier window of the same handle value whose end the skin never saw
// (someone had taken all of our layers out of its chain); that state is dropped.
void Install(HWND window, Role role, bool created) {
  if (!created && StateOf(window)) return;
  auto* state = static_cast<WindowState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WindowState)));
  if (!state) return;
  state->role = role;
  bool stored = false;
  if (void* stale = StoreWindowState(window, state, &stored)) HeapFree(GetProcessHeap(), 0, stale);
  if (!stored) {
    HeapFree(GetProcessHeap(), 0, state);
    return;
  }
  if (!PushLayer(window, state)) {
    RemoveWindowState(window);
    HeapFree(GetProcessHeap(), 0, state);
    return;
  }
  if (role == Role::kFrame && HasSkinnedCaption(window)) {
    state->ncActive = GetActiveWindow() == window;
    AllowOwnFrame(window);
  }
}

// Keeps the styling layer in front, checked by each of our layers as a message passes it.
// A layer that is the window's first procedure becomes the active one (also when another
// procedure above it has taken itself out again). When the active layer finds another
// procedure in front of it, a new layer goes on top and the window is repainted through it.
// Returns true when the message at hand is styled by `level`: the active layer, or the one
// that was active until this message (the new layer on top has not seen this message).
bool KeepOnTop(HWND window, WindowState* state, int level) {
  const Level& own = state->level[level];
  if (CurrentProc(window, own.wide) == kLayerProcs[level][own.wide]) {
    state->active = static_cast<uint8_t>(level);
    return true;
  }
  if (level != state->active) return false;
  if (PushLayer(window, state)) InvalidateRect(window, nullptr, TRUE);
  return true;
}

// Class name comparisons ignore case, as the system does.
bool ClassIs(const wchar_t* name, const wchar_t* expected) { return lstrcmpiW(name, expected) == 0; }

bool StartsWith(const wchar_t* name, const wchar_t* prefix) {
  for (; *prefix; ++name, ++prefix) {
    if (*name == 0 || (*name | 0x20) != (*prefix | 0x20)) return false;
  }
  return true;
}

// A parent may hold styled controls unless it is itself a system control (a combo box's edit,
// an IP address box's fields and the like keep the look of their owner).
bool CanContain(HWND parent) {
  if (!parent || !IsWindow(parent)) return false;
  WindowState* state = StateOf(parent);
  if (state) return state->role == Role::kFrame;
  wchar_t name[64] = {};
  if (!GetClassNameW(parent, name, 64)) return false;
  static const wchar_t* const kSystemPrefixes[] = {
      L"Button", L"Edit", L"Static", L"ComboBox", L"ComboLBox", L"ListBox", L"ScrollBar",
      L"RichEdit", L"Sys", L"msctls_", L"ToolbarWindow32", L"ReBarWindow32", L"tooltips_class32",
      L"IME", L"MDIClient"};
  for (const wchar_t* prefix : kSystemPrefixes)
    if (StartsWith(name, prefix)) return false;
  return true;
}

// Push buttons with a caption; picture buttons and owner-drawn ones are left to their owner.
bool IsPushButtonStyle(LONG style) {
  LONG type = style & BS_TYPEMASK;
  return (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) && !(style & (BS_BITMAP | BS_ICON));
}

// Decides the role of a window from its class and style; false for windows left alone.
bool Classify(HWND window, LONG style, HWND parent, Role* role) {
  wchar_t name[64] = {};
  if (!GetClassNameW(window, name, 64)) return false;
  if (!(style & WS_CHILD)) {
    if (ClassIs(name, L"#32770") || (style & WS_CAPTION) == WS_CAPTION) {
      *role = Role::kFrame;
      return !StartsWith(name, L"IME") && !ClassIs(name, L"#32768");
    }
    return false;
  }
  if (ClassIs(name, L"Button") && IsPushButtonStyle(style) && CanContain(parent)) {
    *role = Role::kButton;
    return true;
  }
  if (ClassIs(name, L"Edit") && CanContain(parent)) {
    *role = Role::kEdit;
    return true;
  }
  if (StartsWith(name, L"RichEdit") && CanContain(parent)) {
    *role = Role::kRichEditFrame;
    return true;
  }
  return false;
}

// Styles a control's parent as a frame so that it answers the control's colour requests.
void EnsureFrame(HWND parent) {
  if (StateOf(parent)) return;
  Install(parent, Role::kFrame, false);
  InvalidateRect(parent, nullptr, TRUE);
}

// Styles one window if its kind is one the skin handles: a window being created, or one that
// existed when the skin was attached.
void StyleWindow(HWND window, LONG style, HWND parent, bool created) {
  Role role;
  if (!Classify(window, style, parent, &role)) return;
  if (role != Role::kFrame) EnsureFrame(parent);
  Install(window, role, created);
}

// The window procedures of the three roles follow; they run in the active layer only.

// Only edit boxes the skin styles get the edit colours (not a combo box's edit, for instance).
bool IsStyledEdit(HWND control) {
  WindowState* state = StateOf(control);
  return state && state->role == Role::kEdit;
}

// Messages with which the system redraws a title bar by itself (text, icon, caption button
// tracking, the end of a move or a menu), after which the skinned one is drawn again.
bool CaptionMayHavePainted(UINT message) {
  switch (message) {
    case WM_SETTEXT: case WM_SETICON: case WM_STYLECHANGED: case WM_SYSCOMMAND:
    case WM_NCLBUTTONDOWN: case WM_NCLBUTTONUP: case WM_NCLBUTTONDBLCLK: case WM_NCRBUTTONUP:
    case WM_EXITMENULOOP: case WM_EXITSIZEMOVE: case WM_CREATE:
    case WM_NCMOUSEMOVE: case WM_NCMOUSELEAVE:  // themed frames light up their buttons
      return true;
    default:
      return false;
  }
}

void RepaintCaption(HWND window, WindowState* state) {
  if (g_palette) PaintCaptionFrame(window, nullptr, *g_palette, state->ncActive, state->hotCaptionButton,
                                   state->captionPressed);
}

// The system command a caption button gives, or 0 when the button is absent or disabled.
WPARAM CaptionButtonCommand(HWND window, WPARAM hit) {
  LONG style = GetWindowLongW(window, GWL_STYLE);
  switch (hit) {
    case HTCLOSE: {
      if (GetClassLongW(window, GCL_STYLE) & CS_NOCLOSE) return 0;
      HMENU menu = GetSystemMenu(window, FALSE);
      UINT state = menu ? GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) : 0;
      return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) ? 0 : SC_CLOSE;
    }
    case HTMINBUTTON: return (style & WS_MINIMIZEBOX) ? SC_MINIMIZE : 0;
    case HTMAXBUTTON: return (style & WS_MAXIMIZEBOX) ? (IsZoomed(window) ? SC_RESTORE : SC_MAXIMIZE) : 0;
    default: return 0;
  }
}

// Press and hold on a caption button, tracked here instead of by the system so that the button
// keeps the skinned look while held: the mouse is captured, the button shows pressed while the
// pointer stays on it, and releasing it there sends the same system command the system would.
// Returns false (the system then handles the press) for buttons that are absent or disabled.
bool TrackCaptionButton(HWND window, WindowState* state, WPARAM hit) {
  WPARAM command = CaptionButtonCommand(window, hit);
  if (!command) return false;
  SetCapture(window);
  state->hotCaptionButton = hit;
  state->captionPressed = true;
  RepaintCaption(window, state);
  POINT release = {0, 0};
  for (;;) {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
      if (msg.hwnd != window || (msg.message != WM_MOUSEMOVE && msg.message != WM_LBUTTONUP)) continue;
      // Under capture the position is in client coordinates of this window.
      POINT at = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      ClientToScreen(window, &at);
      bool on = SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)) == static_cast<LRESULT>(hit);
      if (StateOf(window) != state) return true;
      if (msg.message == WM_LBUTTONUP) {
        state->captionPressed = on;
        release = at;
        break;
      }
      if (on != state->captionPressed) {
        // Off the button it shows plain (not hot), back on it pressed again.
        state->captionPressed = on;
        state->hotCaptionButton = on ? hit : 0;
        RepaintCaption(window, state);
      }
      continue;
    }
    // Capture taken away (another window, a message box): the press is abandoned.
    if (GetCapture() != window) {
      if (StateOf(window) != state) return true;
      state->captionPressed = false;
      break;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  bool clicked = state->captionPressed;
  if (GetCapture() == window) ReleaseCapture();
  state->captionPressed = false;
  state->hotCaptionButton = 0;
  RepaintCaption(window, state);
  // Sent to the whole chain, as the system does: the owner may handle the command itself.
  if (clicked) SendMessageW(window, WM_SYSCOMMAND, command, MAKELPARAM(release.x, release.y));
  return true;
}

// Frame and title bar of a captioned window: the system draws first (it also draws menus and
// scroll bars there), the skinned frame goes over it as soon as the message returns. Nested
// messages repaint on their own, so a move loop or a long handler never leaves the system's
// frame showing. WM_PRINT with PRF_NONCLIENT (PrintWindow) gets the skinned frame in its DC.
LRESULT CaptionProc(WindowState* state, const Level& next, HWND window, UINT message, WPARAM wParam,
                    LPARAM lParam) {
  if (message == WM_NCACTIVATE) state->ncActive = wParam != 0;
  if (message == WM_NCHITTEST) {
    LRESULT system = CallNext(next, window, message, wParam, lParam);
    if (StateOf(window) != state) return system;
    return CaptionHitTest(window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, system);
  }
  if (message == WM_NCMOUSEMOVE) {
    WPARAM hot = (wParam == HTCLOSE || wParam == HTMAXBUTTON || wParam == HTMINBUTTON) ? wParam : 0;
    if (hot && !state->hotCaptionButton) {
      TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE | TME_NONCLIENT, window, 0};
      TrackMouseEvent(&track);
    }
    state->hotCaptionButton = hot;
  }
  if (message == WM_NCLBUTTONDOWN && (wParam == HTCLOSE || wParam == HTMINBUTTON || wParam == HTMAXBUTTON) &&
      TrackCaptionButton(window, state, wParam))
    return 0;
  if (message == WM_NCMOUSELEAVE || message == WM_NCLBUTTONDOWN) state->hotCaptionButton = 0;
  LRESULT result = CallNext(next, window, message, wParam, lParam);
  if (StateOf(window) != state) return result;  // destroyed meanwhile
  if (g_palette) {
    if (message == WM_CREATE) AllowOwnFrame(window);
    HDC printDc = message == WM_PRINT && (lParam & PRF_NONCLIENT) ? reinterpret_cast<HDC>(wParam) : nullptr;
    if (message != WM_PRINT || printDc)
      PaintCaptionFrame(window, printDc, *g_palette, state->ncActive, state->hotCaptionButton, state->captionPressed);
  }
  return result;
}

// The colours a frame hands a child that asks for them.
LRESULT ChildColours(HDC dc, COLORREF text, COLORREF back, HBRUSH brush) {
  SetTextColor(dc, text);
  SetBkColor(dc, back);
  return reinterpret_cast<LRESULT>(brush);
}

LRESULT WindowColours(HDC dc, const Palette& p) {
  return ChildColours(dc, p.Colour(kWindowText), p.Colour(kWindowBack), p.windowBrush);
}

LRESULT EditColours(HDC dc, const Palette& p) {
  return ChildColours(dc, p.Colour(kEditText), p.Colour(kEditBack), p.editBrush);
}

// Read-only and disabled edit boxes ask as static controls; they keep the edit look, dimmed.
LRESULT StaticColours(HWND child, HDC dc, const Palette& p) {
  if (!IsStyledEdit(child)) return WindowColours(dc, p);
  return ChildColours(dc, p.Colour(kEditDisabledText), p.Colour(kEditDisabledBack), p.editDisabledBrush);
}

LRESULT EraseFrame(HWND window, HDC dc, const Palette& p) {
  FillBackground(window, dc, p);
  return 1;
}

// Colour requests of a frame's children: edit boxes get the edit colours, every other child
// that asks (labels, check boxes, group boxes, read-only edits) the window colours.
LRESULT FrameProc(WindowState* state, const Level& next, HWND window, UINT message, WPARAM wParam,
                  LPARAM lParam) {
  if ((message == WM_NCPAINT || message == WM_NCACTIVATE || message == WM_PRINT || message == WM_NCHITTEST ||
       CaptionMayHavePainted(message)) &&
      HasSkinnedCaption(window))
    return CaptionProc(state, next, window, message, wParam, lParam);
  const Palette& p = *g_palette;
  HDC dc = reinterpret_cast<HDC>(wParam);
  HWND child = reinterpret_cast<HWND>(lParam);
  switch (message) {
    case WM_ERASEBKGND: return EraseFrame(window, dc, p);
    case WM_CTLCOLORDLG: return WindowColours(dc, p);
    case WM_CTLCOLORBTN: return WindowColours(dc, p);
    case WM_CTLCOLOREDIT: if (IsStyledEdit(child)) return EditColours(dc, p); break;
    case WM_CTLCOLORSTATIC: return StaticColours(child, dc, p);
    default: break;
  }
  return CallNext(next, window, message, wParam, lParam);
}

// Messages after which the system button procedure may have drawn the standard face.
bool ButtonMayHavePainted(UINT message) {
  switch (message) {
    case BM_SETSTATE: case BM_SETCHECK: case BM_SETSTYLE: case BM_CLICK:
    case WM_SETFOCUS: case WM_KILLFOCUS: case WM_ENABLE: case WM_SETTEXT: case WM_SETFONT:
    case WM_UPDATEUISTATE: case WM_STYLECHANGED: case WM_CAPTURECHANGED:
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_MOUSEMOVE:
    case WM_KEYDOWN: case WM_KEYUP: case WM_SYSKEYUP:
      return true;
    default:
      return false;
  }
}

// Draws the skinned face at once, over whatever the system button just drew.
void PaintButtonNow(HWND button, const WindowState& state) {
  if (!IsWindowVisible(button) || !g_palette) return;
  HDC dc = GetDC(button);
  if (!dc) return;
  PaintPushButton(button, dc, *g_palette, ReadButtonLook(button, state.hot));
  ReleaseDC(button, dc);
}

// WM_PAINT of a push button: the skinned face in its current state.
LRESULT PaintButtonFace(HWND button, const WindowState& state) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(button, &ps);
  if (dc) PaintPushButton(button, dc, *g_palette, ReadButtonLook(button, state.hot));
  EndPaint(button, &ps);
  return 0;
}

LRESULT PrintButtonFace(HWND button, HDC dc, const WindowState& state) {
  PaintPushButton(button, dc, *g_palette, ReadButtonLook(button, state.hot));
  return 0;
}

// The first move over a button makes it hot and asks to hear when the mouse leaves.
void TrackHotButton(HWND button, WindowState* state) {
  if (state->hot) return;
  state->hot = true;
  TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, button, 0};
  TrackMouseEvent(&track);
}

// Push buttons are painted here in every state. The system procedure still handles every
// message (clicks, keys, focus, notifications); when it may have drawn its own face, the
// skinned face is drawn over it as soon as the message returns. A click handler can run for
// long inside WM_LBUTTONUP (pumping messages meanwhile), so nothing waits for outer messages.
LRESULT ButtonProc(WindowState* state, const Level& next, HWND window, UINT message, WPARAM wParam,
                   LPARAM lParam) {
  if (!IsPushButtonStyle(GetWindowLongW(window, GWL_STYLE)))
    return CallNext(next, window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: return PaintButtonFace(window, *state);
    case WM_PRINTCLIENT: return PrintButtonFace(window, reinterpret_cast<HDC>(wParam), *state);
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEMOVE: TrackHotButton(window, state); break;
    case WM_MOUSELEAVE: state->hot = false; break;
    default: break;
  }
  if (!ButtonMayHavePainted(message) && message != WM_MOUSELEAVE)
    return CallNext(next, window, message, wParam, lParam);

  LRESULT result = CallNext(next, window, message, wParam, lParam);
  // The message may have destroyed the button (a click that closes the window).
  if (StateOf(window) == state) PaintButtonNow(window, *state);
  return result;
}

// Messages after which the system has drawn an edit box's border, or its look has changed.
bool EditFrameMayHaveChanged(UINT message) {
  switch (message) {
    case WM_NCPAINT: case WM_SETFOCUS: case WM_KILLFOCUS: case WM_ENABLE: case EM_SETREADONLY:
    case WM_STYLECHANGED:
      return true;
    default:
      return false;
  }
}

// Edit boxes take their text colours from the frame; here the background is erased and the
// border drawn, after the system has drawn the non-client area and whenever the focus or
// enabled state changes.
LRESULT EditProc(WindowState* state, const Level& next, HWND window, UINT message, WPARAM wParam,
                 LPARAM lParam) {
  if (message == WM_ERASEBKGND && state->role == Role::kEdit) {
    // An owner that fills the box itself on erase would flash its own colour first.
    bool plain = IsWindowEnabled(window) && !(GetWindowLongW(window, GWL_STYLE) & ES_READONLY);
    RECT rc;
    GetClientRect(window, &rc);
    FillRect(reinterpret_cast<HDC>(wParam), &rc, plain ? g_palette->editBrush : g_palette->editDisabledBrush);
    return 1;
  }
  LRESULT result = CallNext(next, window, message, wParam, lParam);
  if (!EditFrameMayHaveChanged(message)) return result;
  if (StateOf(window) == state && IsWindowVisible(window) && g_palette)
    PaintEditFrame(window, *g_palette, state->role == Role::kRichEditFrame);
  if (message == EM_SETREADONLY) InvalidateRect(window, nullptr, TRUE);
  return result;
}

// Entry of every layer: pass-through unless this layer styles the message and a skin is set.
// At WM_NCDESTROY the lowest layer, the last of ours to see the window, frees the state.
LRESULT Dispatch(int level, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowState* state = StateOf(window);
  if (!state) return DefWindowProcW(window, message, wParam, lParam);
  Level next = state->level[level];
  if (message == WM_NCDESTROY) {
    LRESULT result = CallNext(next, window, message, wParam, lParam);
    if (level == 0) {
      RemoveWindowState(window);
      HeapFree(GetProcessHeap(), 0, state);
    }
    return result;
  }
  if (!g_palette || message == WM_DESTROY || !KeepOnTop(window, state, level))
    return CallNext(next, window, message, wParam, lParam);
  switch (state->role) {
    case Role::kFrame: return FrameProc(state, next, window, message, wParam, lParam);
    case Role::kButton: return ButtonProc(state, next, window, message, wParam, lParam);
    case Role::kEdit:
    case Role::kRichEditFrame: return EditProc(state, next, window, message, wParam, lParam);
  }
  return CallNext(next, window, message, wParam, lParam);
}

// The thread hooks follow: each new window of a hooked thread is styled as it is created, and
// attaching styles the windows that already exist.

// The calling thread's CBT hook, for passing the call on.
HHOOK HookOfThread() {
  DWORD id = GetCurrentThreadId();
  AcquireSRWLockShared(&g_threadsLock);
  HHOOK hook = nullptr;
  for (const ThreadHooks& t : g_threads)
    if (t.threadId == id) hook = t.cbt;
  ReleaseSRWLockShared(&g_threadsLock);
  return hook;
}

// New windows are styled as they are created, before their first message.
LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && g_palette) {
    HWND window = reinterpret_cast<HWND>(wParam);
    const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
    StyleWindow(window, static_cast<LONG>(cs->style), cs->hwndParent, true);
  }
  return CallNextHookEx(HookOfThread(), code, wParam, lParam);
}

// Installs the hook for the calling thread unless it has it already.
bool HookThread(HINSTANCE module) {
  DWORD id = GetCurrentThreadId();
  AcquireSRWLockExclusive(&g_threadsLock);
  ThreadHooks* slot = nullptr;
  bool done = false;
  for (ThreadHooks& t : g_threads) {
    if (t.threadId == id) done = true;
    else if (!t.threadId && !slot) slot = &t;
  }
  if (!done && slot) {
    HHOOK cbt = SetWindowsHookExW(WH_CBT, CbtHook, module, id);
    if (cbt) {
      *slot = ThreadHooks{id, cbt};
      done = true;
    }
  }
  ReleaseSRWLockExclusive(&g_threadsLock);
  return done;
}

// Enumeration callbacks: style what already exists (children after their top-level window,
// so that a control finds its frame already styled), then repaint everything.
BOOL CALLBACK StyleChild(HWND window, LPARAM) {
  StyleWindow(window, GetWindowLongW(window, GWL_STYLE), GetParent(window), false);
  return TRUE;
}

BOOL CALLBACK StyleTopLevel(HWND window, LPARAM) {
  StyleWindow(window, GetWindowLongW(window, GWL_STYLE), nullptr, false);
  EnumChildWindows(window, StyleChild, 0);
  return TRUE;
}

BOOL CALLBACK Repaint(HWND window, LPARAM) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return TRUE;
}

}  // namespace

// The module is pinned first: from now on window procedures and hooks point into it, so it
// must stay loaded even when its loader frees it at the end of the program.
bool AttachToThread(const SkinScheme& scheme, HINSTANCE module) {
  HMODULE pinned = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                          reinterpret_cast<LPCWSTR>(&AttachToThread), &pinned))
    return false;
  Palette* palette = CreatePalette(scheme);
  if (!palette) return false;
  if (!HookThread(module)) {
    DestroyPalette(palette);
    return false;
  }
  Palette* old = g_palette;
  g_palette = palette;
  DWORD thread = GetCurrentThreadId();
  EnumThreadWindows(thread, StyleTopLevel, 0);
  EnumThreadWindows(thread, Repaint, 0);
  DestroyPalette(old);
  return true;
}

}  // namespace skin
