// Drawing with a skin: the GDI objects made from a scheme and the routines that paint push
// buttons, edit box frames and window backgrounds with them.
#pragma once

#include <windows.h>

#include "skin/skin_format.h"

namespace skin {

// A scheme together with the brushes the window procedures hand out. One palette is current at
// a time; a new skin makes a new palette and the old one is destroyed after the repaint.
struct Palette {
  SkinScheme scheme;
  HBRUSH windowBrush;
  HBRUSH editBrush;
  HBRUSH editDisabledBrush;

  COLORREF Colour(SkinColour role) const { return scheme.colours[role]; }
};

// Makes a palette with its brushes; null when GDI is out of objects.
Palette* CreatePalette(const SkinScheme& scheme);
void DestroyPalette(Palette* palette);

// Visual state of a push button at the moment of painting.
struct ButtonLook {
  bool pressed;
  bool hot;
  bool focused;      // focus cue shown (focused and the cue not hidden by the UI state)
  bool enabled;
  bool isDefault;
};

// Reads the state of a push button from the control itself; `hot` comes from the caller,
// which tracks the mouse.
ButtonLook ReadButtonLook(HWND button, bool hot);

// Paints the whole client area of a push button into `dc` (double-buffered): rounded face with
// a vertical gradient, outline, caption in the button's font and alignment, focus cue.
void PaintPushButton(HWND button, HDC dc, const Palette& palette, const ButtonLook& look);

// Draws the border of an edit box over the system's frame (called after WM_NCPAINT): the outer
// ring in the border colour (the accent while focused), inner rings in the box's background.
// With `ownBackground` (rich edit boxes, which choose their background themselves) the inner
// rings take the colour found just inside the client area.
void PaintEditFrame(HWND edit, const Palette& palette, bool ownBackground);

// Fills the client area of `window` in `dc` with the window background colour.
void FillBackground(HWND window, HDC dc, const Palette& palette);

}  // namespace skin
