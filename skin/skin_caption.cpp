// Frame and title bar painting (see skin_caption.h).
#include "skin/skin_caption.h"

namespace skin {
namespace {

// Where the system puts the parts of a window's frame, in window coordinates.
struct FrameLayout {
  int width, height;   // whole window
  int frame;           // thickness of the frame on every side
  RECT caption;        // title bar
  RECT close, maximize, minimize;  // caption buttons; empty when absent
  bool hasMinMax;
};

// Colour a fraction num/den of the way from a to b.
COLORREF Mix(COLORREF a, COLORREF b, int num, int den) {
  auto channel = [&](int shift) {
    int x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    return static_cast<COLORREF>(x + (y - x) * num / den) << shift;
  };
  return channel(0) | channel(8) | channel(16);
}

// Solid fill without making a brush (an opaque empty text run paints its rectangle).
void Fill(HDC dc, const RECT& rc, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

// The frame thickness is measured (distance from the window edge to the client area, less any
// client edge) rather than derived from styles, so it holds whatever the system decided. The
// caption buttons follow the system's classic layout: close at the right, maximise and
// minimise side by side to its left, each SM_CXSIZE wide with a 2-pixel margin.
bool Measure(HWND window, FrameLayout* out) {
  RECT wr, cr;
  if (!GetWindowRect(window, &wr) || !GetClientRect(window, &cr)) return false;
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  LONG style = GetWindowLongW(window, GWL_STYLE);
  LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
  FrameLayout l{};
  l.width = wr.right - wr.left;
  l.height = wr.bottom - wr.top;
  int edge = (exStyle & WS_EX_CLIENTEDGE) ? GetSystemMetrics(SM_CXEDGE) : 0;
  l.frame = origin.x - wr.left - edge;
  int clientTop = origin.y - wr.top;
  if (l.frame < 1 || l.width <= 2 * l.frame || clientTop <= l.frame) return false;

  bool tool = (exStyle & WS_EX_TOOLWINDOW) != 0;
  int captionHeight = GetSystemMetrics(tool ? SM_CYSMCAPTION : SM_CYCAPTION);
  l.caption = {l.frame, l.frame, l.width - l.frame, l.frame + captionHeight};
  if (l.caption.bottom > clientTop) l.caption.bottom = clientTop;

  int cx = GetSystemMetrics(tool ? SM_CXSMSIZE : SM_CXSIZE);
  int cy = GetSystemMetrics(tool ? SM_CYSMSIZE : SM_CYSIZE);
  int right = l.width - l.frame, top = l.frame;
  auto button = [&](int rightEdge) { return RECT{rightEdge - cx, top + 2, rightEdge - 2, top + cy - 2}; };
  if (style & WS_SYSMENU) {
    l.close = button(right);
    l.hasMinMax = !tool && (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    if (l.hasMinMax) {
      l.maximize = button(right - cx);
      l.minimize = button(right - 2 * cx + 2);
    }
  }
  *out = l;
  return true;
}

// One caption button: a soft rounded plate with its glyph drawn in lines.
enum class Glyph { kClose, kMaximize, kRestore, kMinimize };

// Under the mouse the plate lights up, in red for the close button as users expect; held
// down it darkens.
void DrawCaptionButton(HDC dc, const RECT& rc, Glyph glyph, COLORREF back, COLORREF ink, bool enabled,
                       bool hot, bool pressed) {
  if (rc.right - rc.left < 6 || rc.bottom - rc.top < 6) return;
  COLORREF plateColour = Mix(back, ink, 1, 6), edgeColour = Mix(back, ink, 1, 3);
  bool close = glyph == Glyph::kClose;
  if (pressed && enabled) {
    plateColour = close ? RGB(0x94, 0x1E, 0x12) : Mix(back, 0, 1, 3);
    edgeColour = close ? RGB(0xC4, 0x2B, 0x1C) : Mix(back, ink, 1, 3);
    if (close) ink = RGB(0xFF, 0xFF, 0xFF);
  } else if (hot && enabled) {
    plateColour = close ? RGB(0xC4, 0x2B, 0x1C) : Mix(back, ink, 1, 3);
    edgeColour = close ? RGB(0xE8, 0x6A, 0x5C) : Mix(back, ink, 1, 2);
    if (close) ink = RGB(0xFF, 0xFF, 0xFF);
  }
  HBRUSH plate = CreateSolidBrush(plateColour);
  HPEN edge = CreatePen(PS_SOLID, 1, edgeColour);
  HGDIOBJ oldBrush = SelectObject(dc, plate);
  HGDIOBJ oldPen = SelectObject(dc, edge);
  RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, 5, 5);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(plate);
  DeleteObject(edge);

  // The glyph sits in a centred square of two fifths of the button's height.
  int size = (rc.bottom - rc.top) * 2 / 5;
  int cx = (rc.left + rc.right) / 2, cy = (rc.top + rc.bottom) / 2;
  int l = cx - size / 2, t = cy - size / 2, r = l + size, b = t + size;
  HPEN pen = CreatePen(PS_SOLID, 1, enabled ? ink : Mix(ink, back, 3, 5));
  oldPen = SelectObject(dc, pen);
  HGDIOBJ oldFill = SelectObject(dc, GetStockObject(NULL_BRUSH));
  switch (glyph) {
    case Glyph::kClose:
      // Two strokes a pixel apart on each diagonal give a crisp cross at small sizes.
      for (int d = 0; d < 2; ++d) {
        MoveToEx(dc, l + d, t, nullptr);
        LineTo(dc, r + d, b + 1);
        MoveToEx(dc, r - 1 + d, t, nullptr);
        LineTo(dc, l - 1 + d, b + 1);
      }
      break;
    case Glyph::kMaximize:
      Rectangle(dc, l, t, r + 1, b + 1);
      MoveToEx(dc, l, t + 1, nullptr);
      LineTo(dc, r + 1, t + 1);
      break;
    case Glyph::kRestore:
      Rectangle(dc, l + 2, t, r + 1, b - 1);
      Rectangle(dc, l, t + 2, r - 1, b + 1);
      break;
    case Glyph::kMinimize:
      MoveToEx(dc, l, b, nullptr);
      LineTo(dc, r + 1, b);
      MoveToEx(dc, l, b - 1, nullptr);
      LineTo(dc, r + 1, b - 1);
      break;
  }
  SelectObject(dc, oldFill);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

// The window's small icon as the system would show it; null for dialogs without one.
HICON SmallIcon(HWND window) {
  HICON icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
  if (!icon) icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
  if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
  if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
  return icon;
}

// The title in the system's caption font.
void DrawTitle(HWND window, HDC dc, RECT area, COLORREF ink, bool tool) {
  wchar_t text[256];
  int length = GetWindowTextW(window, text, 256);
  if (length <= 0) return;
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  HFONT font = nullptr;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    font = CreateFontIndirectW(tool ? &metrics.lfSmCaptionFont : &metrics.lfCaptionFont);
  HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ink);
  DrawTextW(dc, text, length, &area, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, old);
  if (font) DeleteObject(font);
}

}  // namespace

bool HasSkinnedCaption(HWND window) {
  LONG style = GetWindowLongW(window, GWL_STYLE);
  return !(style & WS_CHILD) && (style & WS_CAPTION) == WS_CAPTION;
}

// The frame ring is filled directly; the title bar is composed in a memory bitmap and copied
// in one step, so the title never flickers between the system's drawing and ours.
void PaintCaptionFrame(HWND window, HDC target, const Palette& palette, bool active, WPARAM hotButton,
                       bool pressed) {
  if (!HasSkinnedCaption(window) || IsIconic(window) || !IsWindowVisible(window)) return;
  FrameLayout l;
  if (!Measure(window, &l)) return;
  const SkinScheme& s = palette.scheme;
  COLORREF top = active ? s.colours[kCaptionActiveTop] : s.colours[kCaptionInactiveBack];
  COLORREF bottom = active ? s.colours[kCaptionActiveBottom] : s.colours[kCaptionInactiveBack];
  COLORREF ink = active ? s.colours[kCaptionActiveText] : s.colours[kCaptionInactiveText];

  HDC dc = target ? target : GetWindowDC(window);
  if (!dc) return;
  // Frame: outer line, then the ring in the title bar's lower colour.
  RECT outer = {0, 0, l.width, l.height};
  HBRUSH border = CreateSolidBrush(s.colours[kFrameBorder]);
  FrameRect(dc, &outer, border);
  DeleteObject(border);
  RECT ring[4] = {{1, 1, l.width - 1, l.frame},
                  {1, l.height - l.frame, l.width - 1, l.height - 1},
                  {1, l.frame, l.frame, l.height - l.frame},
                  {l.width - l.frame, l.frame, l.width - 1, l.height - l.frame}};
  for (const RECT& r : ring)
    if (r.right > r.left && r.bottom > r.top) Fill(dc, r, bottom);

  // Title bar: vertical gradient, icon, caption buttons from the right, then the title in the
  // space left between icon and buttons.
  int w = l.caption.right - l.caption.left, h = l.caption.bottom - l.caption.top;
  HDC mem = w > 0 && h > 0 ? CreateCompatibleDC(dc) : nullptr;
  HBITMAP bitmap = mem ? CreateCompatibleBitmap(dc, w, h) : nullptr;
  if (bitmap) {
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    for (int y = 0; y < h; ++y) {
      RECT row = {0, y, w, y + 1};
      Fill(mem, row, Mix(top, bottom, y, h > 1 ? h - 1 : 1));
    }
    bool tool = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
    int textLeft = 4;
    HICON icon = tool ? nullptr : SmallIcon(window);
    if (icon) {
      int size = GetSystemMetrics(SM_CXSMICON);
      DrawIconEx(mem, 3, (h - size) / 2, icon, size, size, 0, nullptr, DI_NORMAL);
      textLeft = 3 + size + 4;
    }
    auto local = [&](RECT r) {
      OffsetRect(&r, -l.caption.left, -l.caption.top);
      return r;
    };
    int textRight = w - 2;
    if (l.close.right > l.close.left) {
      DrawCaptionButton(mem, local(l.close), Glyph::kClose, bottom, ink, true, hotButton == HTCLOSE,
                        pressed && hotButton == HTCLOSE);
      textRight = local(l.close).left - 2;
    }
    if (l.hasMinMax) {
      LONG style = GetWindowLongW(window, GWL_STYLE);
      DrawCaptionButton(mem, local(l.maximize), IsZoomed(window) ? Glyph::kRestore : Glyph::kMaximize, bottom, ink,
                        (style & WS_MAXIMIZEBOX) != 0, hotButton == HTMAXBUTTON, pressed && hotButton == HTMAXBUTTON);
      DrawCaptionButton(mem, local(l.minimize), Glyph::kMinimize, bottom, ink, (style & WS_MINIMIZEBOX) != 0,
                        hotButton == HTMINBUTTON, pressed && hotButton == HTMINBUTTON);
      textRight = local(l.minimize).left - 2;
    }
    DrawTitle(window, mem, RECT{textLeft, 0, textRight, h}, ink, tool);
    BitBlt(dc, l.caption.left, l.caption.top, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteObject(bitmap);
  }
  if (mem) DeleteDC(mem);
  if (!target) ReleaseDC(window, dc);
}

LRESULT CaptionHitTest(HWND window, POINT screen, LRESULT system) {
  if (!HasSkinnedCaption(window) || IsIconic(window)) return system;
  FrameLayout l;
  RECT wr;
  if (!Measure(window, &l) || !GetWindowRect(window, &wr)) return system;
  POINT at = {screen.x - wr.left, screen.y - wr.top};  // window coordinates, as the layout's
  if (!IsRectEmpty(&l.close) && PtInRect(&l.close, at)) return HTCLOSE;
  if (l.hasMinMax && PtInRect(&l.maximize, at)) return HTMAXBUTTON;
  if (l.hasMinMax && PtInRect(&l.minimize, at)) return HTMINBUTTON;
  bool systemButton = system == HTCLOSE || system == HTMAXBUTTON || system == HTMINBUTTON || system == HTHELP;
  return systemButton && PtInRect(&l.caption, at) ? HTCAPTION : system;
}

// The compositor's non-client rendering policy is switched off through dwmapi, loaded only
// where it exists, so the library keeps no link to it.
void AllowOwnFrame(HWND window) {
  static HMODULE dwm = nullptr;
  static bool tried = false;
  if (!tried) {
    tried = true;
    dwm = LoadLibraryW(L"dwmapi.dll");
  }
  if (!dwm) return;
  using SetAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  auto set = reinterpret_cast<SetAttribute>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")));
  if (!set) return;
  const DWORD kNonClientRenderingPolicy = 2, kDisabled = 1;
  DWORD policy = kDisabled;
  set(window, kNonClientRenderingPolicy, &policy, sizeof policy);
}

}  // namespace skin
