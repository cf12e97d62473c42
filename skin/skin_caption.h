// The frame and title bar of captioned top-level windows in the skin's colours.
//
// Only the drawing is the library's: the system keeps measuring the frame, hit-testing the
// title bar and its buttons, moving, sizing and the system menu. The caption buttons are drawn
// where the system places them, so a click lands on the button the user sees.
#pragma once

#include <windows.h>

#include "skin_paint.h"

namespace skin {

// True for windows whose frame the library paints: top-level, with a title bar.
bool HasSkinnedCaption(HWND window);

// Draws frame and title bar over what the system drew (called after WM_NCPAINT and after the
// messages with which the system redraws its title bar). `active` picks the active colours.
// `dc` is a DC in window coordinates (WM_PRINT), or null for the window's own DC.
// `hotButton` is the hit-test code (HTCLOSE, HTMAXBUTTON, HTMINBUTTON) of the caption button
// under the mouse, or 0; `pressed` shows that button held down.
void PaintCaptionFrame(HWND window, HDC dc, const Palette& palette, bool active, WPARAM hotButton,
                       bool pressed);

// Asks the desktop compositor, where there is one, to let the window draw its own frame;
// without this a composited frame would cover the skinned one. Does nothing elsewhere.
void AllowOwnFrame(HWND window);

}  // namespace skin
