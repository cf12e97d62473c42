// Drawing routines of the skin library (see skin_paint.h).
#include "skin/skin_paint.h"

namespace skin {
namespace {

// Selects a GDI object into a DC for one scope and puts the old one back.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
  ~SelectScope() {
    if (old_) SelectObject(dc_, old_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Deletes a GDI object at the end of a scope.
class GdiObject {
 public:
  explicit GdiObject(HGDIOBJ object) : object_(object) {}
  ~GdiObject() {
    if (object_) DeleteObject(object_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  HGDIOBJ Get() const { return object_; }

 private:
  HGDIOBJ object_;
};

// Colour a fraction num/den of the way from a to b.
COLORREF Mix(COLORREF a, COLORREF b, int num, int den) {
  auto channel = [&](int shift) {
    int x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    return static_cast<COLORREF>(x + (y - x) * num / den) << shift;
  };
  return channel(0) | channel(8) | channel(16);
}

// Fills rc row by row from `top` to `bottom`; the rows are few (a button's height), so plain
// fills are as fast as any gradient call and need no extra system library.
void FillGradient(HDC dc, const RECT& rc, COLORREF top, COLORREF bottom) {
  int height = rc.bottom - rc.top;
  for (int y = 0; y < height; ++y) {
    RECT row = {rc.left, rc.top + y, rc.right, rc.top + y + 1};
    SetBkColor(dc, Mix(top, bottom, y, height > 1 ? height - 1 : 1));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &row, nullptr, 0, nullptr);
  }
}

// Paints the outline of a rounded rectangle region in one colour.
void FrameRegion(HDC dc, HRGN region, COLORREF colour) {
  GdiObject brush(CreateSolidBrush(colour));
  if (brush.Get()) FrameRgn(dc, region, static_cast<HBRUSH>(brush.Get()), 1, 1);
}

// DrawText flags for the caption from the button's alignment styles (centred by default).
UINT CaptionFormat(LONG style, bool hidePrefix) {
  UINT format = hidePrefix ? DT_HIDEPREFIX : 0;
  switch (style & BS_CENTER) {
    case BS_LEFT: format |= DT_LEFT; break;
    case BS_RIGHT: format |= DT_RIGHT; break;
    default: format |= DT_CENTER; break;
  }
  if (style & BS_MULTILINE) return format | DT_WORDBREAK;
  switch (style & BS_VCENTER) {
    case BS_TOP: format |= DT_TOP; break;
    case BS_BOTTOM: format |= DT_BOTTOM; break;
    default: format |= DT_VCENTER; break;
  }
  return format | DT_SINGLELINE;
}

// Draws the caption inside `area`; a multi-line caption is centred vertically by measuring it.
void DrawCaption(HWND button, HDC dc, RECT area, LONG style, bool hidePrefix) {
  wchar_t text[512];
  int length = GetWindowTextW(button, text, 512);
  if (length <= 0) return;
  UINT format = CaptionFormat(style, hidePrefix);
  if (style & BS_MULTILINE) {
    RECT measure = area;
    DrawTextW(dc, text, length, &measure, format | DT_CALCRECT);
    int textHeight = measure.bottom - measure.top;
    int space = area.bottom - area.top - textHeight;
    if ((style & BS_VCENTER) == BS_BOTTOM) area.top += space;
    else if ((style & BS_VCENTER) != BS_TOP && space > 0) area.top += space / 2;
  }
  DrawTextW(dc, text, length, &area, format);
}

}  // namespace

// The brushes answer WM_CTLCOLOR* requests; they live as long as the palette, because the
// controls use a returned brush only while painting.
Palette* CreatePalette(const SkinScheme& scheme) {
  auto* palette = static_cast<Palette*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Palette)));
  if (!palette) return nullptr;
  palette->scheme = scheme;
  palette->windowBrush = CreateSolidBrush(scheme.colours[kWindowBack]);
  palette->editBrush = CreateSolidBrush(scheme.colours[kEditBack]);
  palette->editDisabledBrush = CreateSolidBrush(scheme.colours[kEditDisabledBack]);
  if (!palette->windowBrush || !palette->editBrush || !palette->editDisabledBrush) {
    DestroyPalette(palette);
    return nullptr;
  }
  return palette;
}

void DestroyPalette(Palette* palette) {
  if (!palette) return;
  if (palette->windowBrush) DeleteObject(palette->windowBrush);
  if (palette->editBrush) DeleteObject(palette->editBrush);
  if (palette->editDisabledBrush) DeleteObject(palette->editDisabledBrush);
  HeapFree(GetProcessHeap(), 0, palette);
}

// The focus cue follows the window's keyboard-cue state, as the system button does.
ButtonLook ReadButtonLook(HWND button, bool hot) {
  LRESULT state = SendMessageW(button, BM_GETSTATE, 0, 0);
  LRESULT ui = SendMessageW(button, WM_QUERYUISTATE, 0, 0);
  ButtonLook look{};
  look.pressed = (state & BST_PUSHED) != 0;
  look.enabled = IsWindowEnabled(button) != FALSE;
  look.hot = hot && look.enabled;
  look.focused = (state & BST_FOCUS) != 0 && !(ui & UISF_HIDEFOCUS);
  look.isDefault = (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  return look;
}

// Everything is drawn into a memory bitmap first and copied in one step, so the button never
// shows a half-drawn face.
void PaintPushButton(HWND button, HDC dc, const Palette& palette, const ButtonLook& look) {
  RECT rc;
  GetClientRect(button, &rc);
  int width = rc.right, height = rc.bottom;
  if (width <= 0 || height <= 0) return;

  HDC mem = CreateCompatibleDC(dc);
  if (!mem) return;
  GdiObject bitmap(CreateCompatibleBitmap(dc, width, height));
  if (!bitmap.Get()) {
    DeleteDC(mem);
    return;
  }
  {
    SelectScope selectBitmap(mem, bitmap.Get());
    // Corners outside the rounded face show the window background.
    FillRect(mem, &rc, palette.windowBrush);

    const SkinScheme& s = palette.scheme;
    COLORREF top = s.colours[kButtonFaceTop], bottom = s.colours[kButtonFaceBottom];
    COLORREF text = s.colours[kButtonText];
    if (!look.enabled) {
      top = bottom = s.colours[kButtonDisabledFace];
      text = s.colours[kButtonDisabledText];
    } else if (look.pressed) {
      top = s.colours[kButtonPressedTop];
      bottom = s.colours[kButtonPressedBottom];
    } else if (look.hot) {
      top = s.colours[kButtonHotTop];
      bottom = s.colours[kButtonHotBottom];
    }

    // The face is a rounded region: the gradient is clipped to it and its edge outlined,
    // in the accent colour for the default button and the focused one.
    int diameter = 2 * s.cornerRadius;
    GdiObject face(CreateRoundRectRgn(0, 0, width + 1, height + 1, diameter + 1, diameter + 1));
    if (face.Get()) {
      HRGN region = static_cast<HRGN>(face.Get());
      SelectClipRgn(mem, region);
      FillGradient(mem, rc, top, bottom);
      SelectClipRgn(mem, nullptr);
      bool accentOutline = look.enabled && (look.isDefault || look.focused);
      FrameRegion(mem, region, accentOutline ? s.colours[kAccent] : s.colours[kButtonBorder]);
      if (look.focused) {
        // A second, inner ring marks the keyboard focus.
        GdiObject inner(CreateRoundRectRgn(1, 1, width, height, diameter - 1, diameter - 1));
        if (inner.Get()) FrameRegion(mem, static_cast<HRGN>(inner.Get()), Mix(s.colours[kAccent], top, 1, 2));
      }
    } else {
      FillGradient(mem, rc, top, bottom);
    }

    // The caption in the button's own font (none set: the DC's default, as the system
    // button does), shifted by a pixel while pressed.
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
    SelectScope selectFont(mem, font);
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, text);
    RECT area = {4, 2, width - 4, height - 2};
    if (look.pressed) OffsetRect(&area, 1, 1);
    LONG style = GetWindowLongW(button, GWL_STYLE);
    bool hidePrefix = (SendMessageW(button, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) != 0;
    DrawCaption(button, mem, area, style, hidePrefix);

    BitBlt(dc, 0, 0, width, height, mem, 0, 0, SRCCOPY);
  }
  DeleteDC(mem);
}

// The frame rings: WS_BORDER and WS_EX_STATICEDGE give one pixel each, WS_EX_CLIENTEDGE two.
void PaintEditFrame(HWND edit, const Palette& palette, bool ownBackground) {
  LONG style = GetWindowLongW(edit, GWL_STYLE);
  LONG exStyle = GetWindowLongW(edit, GWL_EXSTYLE);
  int rings = ((style & WS_BORDER) ? 1 : 0) + ((exStyle & WS_EX_CLIENTEDGE) ? 2 : 0) +
              ((exStyle & WS_EX_STATICEDGE) ? 1 : 0);
  if (rings == 0) return;

  RECT rc;
  GetWindowRect(edit, &rc);
  OffsetRect(&rc, -rc.left, -rc.top);
  HDC dc = GetWindowDC(edit);
  if (!dc) return;
  const SkinScheme& s = palette.scheme;
  bool plain = IsWindowEnabled(edit) && !(style & ES_READONLY);
  COLORREF outer = GetFocus() == edit ? s.colours[kAccent] : s.colours[kEditBorder];
  COLORREF inner = plain ? s.colours[kEditBack] : s.colours[kEditDisabledBack];
  if (ownBackground) {
    COLORREF found = GetPixel(dc, rings, rings);
    if (found != CLR_INVALID) inner = found;
  }
  for (int ring = 0; ring < rings && rc.right - rc.left > 2 && rc.bottom - rc.top > 2; ++ring) {
    GdiObject brush(CreateSolidBrush(ring == 0 ? outer : inner));
    if (brush.Get()) FrameRect(dc, &rc, static_cast<HBRUSH>(brush.Get()));
    InflateRect(&rc, -1, -1);
  }
  ReleaseDC(edit, dc);
}

// Frames paint their whole client area on erase; children draw over it.
void FillBackground(HWND window, HDC dc, const Palette& palette) {
  RECT rc;
  GetClientRect(window, &rc);
  FillRect(dc, &rc, palette.windowBrush);
}

}  // namespace skin
