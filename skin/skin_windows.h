// Attaching a skin to the windows of a thread.
//
// A thread-local CBT hook catches windows as they are created and styles these kinds:
//   frames   top-level windows with a caption, dialogs, and the parents of styled controls:
//            background and the colours of their child controls (WM_CTLCOLOR*), and for
//            captioned windows the frame and title bar;
//   buttons  push buttons of the system BUTTON class: painted by the library in every state;
//   edits    system EDIT boxes whose parent can be a frame: colours and border;
//            rich edit boxes get the border only and keep their own colours.
// Every other class is left alone. Windows that already exist when the skin is attached are
// styled the same way.
//
// Styling works by subclassing. Whoever subclasses a window after us would see its messages
// first, so each of our layers checks, as a message passes it, that the styling layer is
// still the window's first procedure; when another procedure has been put in front of it, a
// further layer goes on top (at most kMaxLevels per window). Only the topmost layer styles;
// the ones below pass messages straight on. Nothing a window does (clicks, keys, focus,
// notifications) is withheld from the procedures below: only painting and colour requests are
// answered by the library. The check costs a read of the window's procedure: no hook on the
// thread's messages and no window property, each of which would be a trip to the window
// server for every message the thread sends.
#pragma once

#include <windows.h>

#include "skin/skin_format.h"

namespace skin {

// Makes `scheme` the current skin, hooks the calling thread (once), styles its existing
// windows and repaints them. False when the hooks cannot be installed or GDI objects cannot
// be made; then nothing has changed.
bool AttachToThread(const SkinScheme& scheme, HINSTANCE module);

}  // namespace skin
