// Owning holders of system handles: GDI objects, icons, cursors, global memory, memory device
// contexts, menus and accelerator tables.
//
// ScopedHandle<Traits> holds one handle and closes it in its destructor. It is move-only, so a
// handle has exactly one owner, and closing keeps the thread's last error: a holder that goes
// out of scope between a failing call and the GetLastError that reads its reason does not
// overwrite it. A traits class names the handle type (Handle) and how it is closed (Close);
// HandleTraits makes one from a handle type and the one system call that closes it.
#pragma once

#include <windows.h>

#include <utility>

namespace fw {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Close(); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  // Gives the handle up without closing it.
  Handle Release() { return std::exchange(handle_, nullptr); }
  // Closes the held handle (if any) and takes `handle` instead.
  void Reset(Handle handle = nullptr) {
    if (handle == handle_) return;
    Close();
    handle_ = handle;
  }

 private:
  void Close() {
    if (handle_ == nullptr) return;
    DWORD lastError = ::GetLastError();
    Traits::Close(handle_);
    ::SetLastError(lastError);
    handle_ = nullptr;
  }

  Handle handle_ = nullptr;
};

// The traits of a handle type closed by one system call.
template <typename H, auto CloseFunction>
struct HandleTraits {
  using Handle = H;
  static void Close(H handle) { CloseFunction(handle); }
};

// GDI objects (fonts, brushes, bitmaps, regions) go with DeleteObject.
using ScopedFont = ScopedHandle<HandleTraits<HFONT, &::DeleteObject>>;
using ScopedBrush = ScopedHandle<HandleTraits<HBRUSH, &::DeleteObject>>;
using ScopedBitmap = ScopedHandle<HandleTraits<HBITMAP, &::DeleteObject>>;
using ScopedRegion = ScopedHandle<HandleTraits<HRGN, &::DeleteObject>>;
using ScopedIcon = ScopedHandle<HandleTraits<HICON, &::DestroyIcon>>;
using ScopedCursor = ScopedHandle<HandleTraits<HCURSOR, &::DestroyCursor>>;
using ScopedGlobal = ScopedHandle<HandleTraits<HGLOBAL, &::GlobalFree>>;
using ScopedMemoryDc = ScopedHandle<HandleTraits<HDC, &::DeleteDC>>;   // from CreateCompatibleDC
using ScopedMenu = ScopedHandle<HandleTraits<HMENU, &::DestroyMenu>>;
using ScopedAccelerators = ScopedHandle<HandleTraits<HACCEL, &::DestroyAcceleratorTable>>;

// A window's device context (GetDC), released to its window at the end of the scope.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// An object selected into a device context for the scope; the previous one is put back.
class ScopedSelection {
 public:
  ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~ScopedSelection() {
    if (previous_) ::SelectObject(dc_, previous_);
  }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace fw
