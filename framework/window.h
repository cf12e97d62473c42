// Window wrappers: a non-owning handle holder and an owning object with a window procedure.
//
// WindowObject keeps a permanent handle-to-object map. Create() parks the object pointer in a
// thread-local slot before CreateWindowEx, and the first message the new window receives
// (WM_GETMINMAXINFO, before WM_NCCREATE and its lpParam) takes it from there into the map. A
// system control runs its own class procedure instead, so it never sees the slot: once
// CreateWindowEx returns, Create() subclasses it (SubclassWindow). The entry is removed at
// WM_NCDESTROY. One static procedure calls the virtual WndProc; messages a class does not
// handle go to Default(), which is the previous procedure of a subclassed control or
// DefWindowProc.
//
// Every window object is a wide (UTF-16) window: created, subclassed and defaulted through the
// wide functions, so that no text passing through it is converted with the system's ANSI code
// page. Class names and titles are GBK and converted on the way in.
#pragma once

#include <windows.h>

#include <cassert>
#include <cstdint>

#include "framework/gbk_text.h"

namespace fw {

// A cheap, non-owning window handle. Each method is one call.
class Window {
 public:
  Window(HWND hwnd = nullptr) : hwnd_(hwnd) {}
  HWND Handle() const { return hwnd_; }
  operator HWND() const { return hwnd_; }
  bool IsWindow() const { return hwnd_ && ::IsWindow(hwnd_); }
  LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) const { assert(hwnd_); return ::SendMessageW(hwnd_, msg, w, l); }
  BOOL Post(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageW(hwnd_, msg, w, l); }
  BOOL Show(int cmd) const { assert(hwnd_); return ::ShowWindow(hwnd_, cmd); }
  BOOL Enable(bool on) const { assert(hwnd_); return ::EnableWindow(hwnd_, on); }
  BOOL Move(int x, int y, int w, int h, bool repaint = true) const { assert(hwnd_); return ::MoveWindow(hwnd_, x, y, w, h, repaint); }
  HWND Parent() const { return ::GetParent(hwnd_); }
  LONG Style() const { return ::GetWindowLongW(hwnd_, GWL_STYLE); }
  LONG ExStyle() const { return ::GetWindowLongW(hwnd_, GWL_EXSTYLE); }
  // The text is GBK; the window is given it in UTF-16.
  BOOL SetText(const char* text) const { assert(hwnd_); return SetGbkWindowText(hwnd_, text); }
  HWND SetFocus() const { return ::SetFocus(hwnd_); }
  BOOL Destroy() const { return ::DestroyWindow(hwnd_); }

 protected:
  HWND hwnd_;
};

// An owning window object with a virtual window procedure.
class WindowObject : public Window {
 public:
  WindowObject() = default;
  WindowObject(const WindowObject&) = delete;
  WindowObject& operator=(const WindowObject&) = delete;
  virtual ~WindowObject();

  // Creates the window; the object is attached before the first message arrives.
  bool Create(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
              int width, int height, HWND parent, HMENU menu, HINSTANCE instance = nullptr);
  // Takes over an existing window by replacing its procedure; Default() then calls the old one.
  bool SubclassWindow(HWND hwnd);
  // Undoes SubclassWindow and leaves the window alive.
  HWND UnsubclassWindow();
  // Attaches a handle without touching its procedure (the object only answers lookups).
  bool Attach(HWND hwnd);
  HWND Detach();

  // The object of a handle in the permanent map, or null.
  static WindowObject* FromHandlePermanent(HWND hwnd);

  // Destroys a window, unless it is a subclassed control still inside one of its own messages
  // further up the stack: a notification it sent reached a handler that destroys it. The
  // control's procedure is then still running on data its window owns, and destroying the
  // window would free that data under it. Such a window's object ends at once, as if the window
  // were destroyed (WM_DESTROY and the final message reach the object, not the control), while
  // the window itself, hidden and detached from its parent, stays the control's until its
  // outermost message returns, and is destroyed then.
  static void DestroyWhenReturned(HWND hwnd);

  // Offered each message before dispatch when this window or one of its children is its target.
  virtual BOOL PreTranslateMessage(MSG* msg);

  // The one procedure of every window object.
  static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 protected:
  // The window procedure of this object; unhandled messages go to Default().
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // Runs after WM_NCDESTROY, when the handle is gone; a class that owns itself deletes here.
  virtual void PostNcDestroy() {}
  // Default processing of the current message.
  LRESULT Default();
  LRESULT CallPrevious(UINT msg, WPARAM wParam, LPARAM lParam);

  // While the object ends ahead of its busy control's window, Default() reaches nothing.
  bool controlWithheld_ = false;

  // The current message, for Default().
  struct CurrentMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  CurrentMessage current_{};
  WNDPROC previousProc_ = nullptr;

 private:
  // One per message being dispatched to this object, innermost first. WM_NCDESTROY marks them
  // all, so that no frame touches the object after PostNcDestroy may have deleted it. A frame
  // with a window to destroy is the outermost one of an object that ended ahead of its window.
  struct DispatchFrame {
    bool destroyed;
    DispatchFrame* outer;
    HWND destroyOnReturn;
  };
  DispatchFrame* frames_ = nullptr;

  LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
  void MapHandle(HWND hwnd);
  // The end of the object that WM_NCDESTROY brings: no frame touches it any more, PostNcDestroy.
  void EndDispatch();
  // DestroyWhenReturned for a control inside its own messages.
  void EndAheadOfWindow();
};

// Registers (once) a window class with the given cursor and background brush and returns its
// name. The class uses WindowObject's procedure, so objects created on it get their WndProc.
const char* RegisterHelperClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon);

// The procedure to give window classes whose windows are WindowObjects created with Create().
WNDPROC ObjectWindowProc();

}  // namespace fw
