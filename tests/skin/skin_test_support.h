// Shared pieces of the skin library tests: loading the carried library the way the program
// does, a test window with a push button and an edit box, pixel reading and input.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "skin/skin_format.h"

namespace skintest {

using AttachFn = int32_t(__stdcall*)(const uint8_t*, uint32_t, const char*, int32_t, int32_t, int32_t);

// Writes the carried library byte set to a fresh temporary folder as "SkinH_QX.dll" and loads
// it. Returns null on failure.
HMODULE LoadCarriedLibrary(std::string* path = nullptr);

// The library's SkinH_AttachRes, or null.
AttachFn FindAttach(HMODULE module);

// Calls the export with the program's argument pattern (data, size, "", 0, 0, 0) from
// assembly, and reports whether the stack pointer after the call equals the one before it.
int32_t AttachChecked(AttachFn attach, const void* data, uint32_t size, bool* stackBalanced);

// A skin block from the carried set (1-based number) as a mutable copy, and its scheme.
std::vector<uint8_t> SkinCopy(int number);
skin::SkinScheme SchemeOf(int number);

// Recomputes the checksum of a block after a deliberate change to its content.
void Reseal(std::vector<uint8_t>* block);

// A top-level window with a push button and a multi-line edit box, all ANSI, as the form
// runtime makes them. The window counts the button's clicks. Keep x + 360 and y + 240 on the
// screen.
struct TestWindow {
  HWND frame = nullptr;
  HWND button = nullptr;
  HWND edit = nullptr;
  int clicks = 0;
  std::function<void()> onClick;  // runs inside the click notification, when set
};
bool CreateTestWindow(TestWindow* window, int x, int y);
void DestroyTestWindow(TestWindow* window);

// Dispatches pending messages for about `ms` milliseconds and lets the windows paint.
void Pump(int ms);

// Colour of a pixel of a window: client coordinates, or window coordinates for the frame.
COLORREF ClientPixel(HWND window, int x, int y);
COLORREF WindowPixel(HWND window, int x, int y);

// The pixels of a window's client area, row by row, as shown.
std::vector<COLORREF> ClientImage(HWND window);

// True when every channel differs by at most `tolerance`.
bool Near(COLORREF a, COLORREF b, int tolerance = 2);
std::string Hex(COLORREF c);

// Gradient colour of a button face at row y of h rows (as the library draws it).
COLORREF FaceAt(COLORREF top, COLORREF bottom, int y, int height);

}  // namespace skintest
