#include "framework/window.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <unordered_map>

namespace fw {
namespace {

// The permanent handle-to-object map. Windows belong to the main thread, but a lookup from
// another thread (a message sent across threads) must not race a change.
std::mutex& MapLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_map<HWND, WindowObject*>& HandleMap() {
  static std::unordered_map<HWND, WindowObject*> map;
  return map;
}

// The object being created on this thread, handed to the first message of its window.
thread_local WindowObject* g_pendingCreate = nullptr;

}  // namespace

WindowObject::~WindowObject() {
  if (hwnd_) {
    // The object dies before its window: stop routing messages to it.
    if (previousProc_) UnsubclassWindow();
    else Detach();
  }
}

WNDPROC ObjectWindowProc() { return &WindowObject::StaticProc; }

void WindowObject::MapHandle(HWND hwnd) {
  hwnd_ = hwnd;
  std::lock_guard<std::mutex> guard(MapLock());
  HandleMap()[hwnd] = this;
}

WindowObject* WindowObject::FromHandlePermanent(HWND hwnd) {
  if (!hwnd) return nullptr;
  std::lock_guard<std::mutex> guard(MapLock());
  auto it = HandleMap().find(hwnd);
  return it == HandleMap().end() ? nullptr : it->second;
}

bool WindowObject::Create(DWORD exStyle, const char* className, const char* title, DWORD style,
                          int x, int y, int width, int height, HWND parent, HMENU menu,
                          HINSTANCE instance) {
  assert(!hwnd_);
  if (!instance) instance = ::GetModuleHandleW(nullptr);
  std::wstring wideClass = WideFromGbk(className);
  std::wstring wideTitle = WideFromGbk(title);
  g_pendingCreate = this;
  HWND hwnd = ::CreateWindowExW(exStyle, wideClass.c_str(), title ? wideTitle.c_str() : nullptr, style, x, y,
                                width, height, parent, menu, instance, this);
  g_pendingCreate = nullptr;
  if (!hwnd) {
    hwnd_ = nullptr;
    return false;
  }
  // A system control has its own procedure: take it over now that it exists.
  if (FromHandlePermanent(hwnd) != this) return SubclassWindow(hwnd);
  return true;
}

bool WindowObject::SubclassWindow(HWND hwnd) {
  if (!hwnd || FromHandlePermanent(hwnd)) return false;
  MapHandle(hwnd);
  previousProc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticProc)));
  return true;
}

HWND WindowObject::UnsubclassWindow() {
  HWND hwnd = hwnd_;
  if (!hwnd) return nullptr;
  if (previousProc_) ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
  previousProc_ = nullptr;
  return Detach();
}

bool WindowObject::Attach(HWND hwnd) {
  if (!hwnd || hwnd_ || FromHandlePermanent(hwnd)) return false;
  MapHandle(hwnd);
  return true;
}

HWND WindowObject::Detach() {
  HWND hwnd = hwnd_;
  if (hwnd) {
    std::lock_guard<std::mutex> guard(MapLock());
    auto it = HandleMap().find(hwnd);
    if (it != HandleMap().end() && it->second == this) HandleMap().erase(it);
  }
  hwnd_ = nullptr;
  return hwnd;
}

BOOL WindowObject::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT WindowObject::WndProc(UINT, WPARAM, LPARAM) { return Default(); }

LRESULT WindowObject::Default() { return CallPrevious(current_.msg, current_.wParam, current_.lParam); }

LRESULT WindowObject::CallPrevious(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (controlWithheld_) return 0;
  if (previousProc_) return ::CallWindowProcW(previousProc_, hwnd_, msg, wParam, lParam);
  return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

// Routes one message to the object's WndProc, keeping the current message for Default() and
// restoring the outer one afterwards (window procedures nest). After WM_NCDESTROY the object
// may be gone (PostNcDestroy may delete it), so a frame that saw it touches nothing more.
LRESULT WindowObject::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
  CurrentMessage outer = current_;
  current_ = {msg, wParam, lParam};
  if (msg == WM_NCDESTROY) {
    LRESULT result = Default();
    previousProc_ = nullptr;
    Detach();
    current_ = outer;
    EndDispatch();
    return result;
  }
  DispatchFrame frame{false, frames_, nullptr};
  frames_ = &frame;
  LRESULT result = WndProc(msg, wParam, lParam);
  if (frame.destroyed) {
    if (frame.destroyOnReturn) ::DestroyWindow(frame.destroyOnReturn);
    return result;
  }
  frames_ = frame.outer;
  current_ = outer;
  return result;
}

void WindowObject::EndDispatch() {
  for (DispatchFrame* frame = frames_; frame; frame = frame->outer) frame->destroyed = true;
  frames_ = nullptr;
  PostNcDestroy();
}

namespace {

// Holds the window of a control whose object ended ahead of it: every message goes on to the
// control's own procedure, and the holder deletes itself with the window.
class ReturningControl : public WindowObject {
 public:
  ReturningControl(HWND hwnd, WNDPROC controlProc) {
    previousProc_ = controlProc;
    Attach(hwnd);
  }

 protected:
  void PostNcDestroy() override { delete this; }
};

}  // namespace

void WindowObject::DestroyWhenReturned(HWND hwnd) {
  WindowObject* object = FromHandlePermanent(hwnd);
  if (object && object->previousProc_ && object->frames_) object->EndAheadOfWindow();
  else ::DestroyWindow(hwnd);
}

// The object goes through its destruction now, with the control withheld from every message,
// and hands the window over to a holder that passes them on. The outermost of the object's
// frames still running destroys the window when it returns, when the control is done with it.
// Until then the window is hidden and a message-only window's child, out of its parent's
// child list, so neither the user nor a walk over the parent's children meets it.
void WindowObject::EndAheadOfWindow() {
  const HWND hwnd = hwnd_;
  const WNDPROC controlProc = previousProc_;
  DispatchFrame* outermost = frames_;
  while (outermost->outer) outermost = outermost->outer;
  outermost->destroyOnReturn = hwnd;

  controlWithheld_ = true;
  Dispatch(WM_DESTROY, 0, 0);
  controlWithheld_ = false;
  previousProc_ = nullptr;
  Detach();
  new ReturningControl(hwnd, controlProc);  // owned by the window from here on
  ::ShowWindow(hwnd, SW_HIDE);
  ::SetParent(hwnd, HWND_MESSAGE);
  EndDispatch();
}

LRESULT CALLBACK WindowObject::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowObject* self = FromHandlePermanent(hwnd);
  if (!self && g_pendingCreate) {
    self = g_pendingCreate;
    g_pendingCreate = nullptr;
    self->MapHandle(hwnd);
  }
  if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  return self->Dispatch(msg, wParam, lParam);
}

const char* RegisterHelperClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
  // One class per distinct set of attributes, named after them, registered once.
  static std::mutex lock;
  static std::unordered_map<std::string, bool> registered;
  char name[96];
  std::snprintf(name, sizeof name, "FwHelper:%x:%x:%x:%x", classStyle, reinterpret_cast<UINT_PTR>(cursor),
                reinterpret_cast<UINT_PTR>(background), reinterpret_cast<UINT_PTR>(icon));
  std::lock_guard<std::mutex> guard(lock);
  auto it = registered.find(name);
  if (it == registered.end()) {
    std::wstring wideName = WideFromGbk(name);
    WNDCLASSW wc{};
    wc.style = classStyle;
    wc.lpfnWndProc = ObjectWindowProc();
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = wideName.c_str();
    ::RegisterClassW(&wc);
    it = registered.emplace(name, true).first;
  }
  return it->first.c_str();
}

}  // namespace fw
