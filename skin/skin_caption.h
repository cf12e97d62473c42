// The frame and title bar of captioned top-level windows in the skin's colours.
//
// The drawing is the library's, and so is the hit-testing of the caption buttons it draws: a
// composited frame places the system's own buttons elsewhere than the classic slots the skin
// paints, so the system's answer is corrected to the buttons the user sees. The system keeps
// measuring the frame, moving, sizing and the system menu.
#pragma once

#include <windows.h>

#include "skin/skin_paint.h"

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

// The hit-test code for a point (screen pixels) of a skinned window, given the system's code
// for it: the code of the caption button painted there; the title bar (HTCAPTION) where the
// system has a button the skin does not paint; otherwise the system's code.
LRESULT CaptionHitTest(HWND window, POINT screen, LRESULT system);

// Asks the desktop compositor, where there is one, to let the window draw its own frame;
// without this a composited frame would cover the skinned one. Does nothing elsewhere.
void AllowOwnFrame(HWND window);

}  // namespace skin
