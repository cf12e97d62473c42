// The one crossing between the product's texts and Windows.
//
// Inside, every text is GBK (code page 936), whatever code page the system runs with. Windows
// is asked through its wide functions only, with each text converted explicitly here, so a
// system whose ANSI code page is 950, 1252 or 65001 sees the same characters a Chinese one
// does. Conversions never fail: bytes GBK does not define, and characters GBK cannot hold,
// become what the system's own code page 936 conversion makes of them.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

inline constexpr UINT kGbkCodePage = 936;

// GBK bytes (up to `length`, or to the terminating zero when -1) as UTF-16.
std::wstring WideFromGbk(const char* text, int length = -1);
// UTF-16 units (up to `length`, or to the terminating zero when -1) as GBK.
std::string GbkFromWide(const wchar_t* text, int length = -1);
// A path the system gives as UTF-16 (a module's file name, a found file's name) as GBK: without
// the system's best-fit look-alikes (â would become a and name another, existing folder), each
// character GBK cannot hold becomes '?', which names no file.
std::string GbkPathFromWide(const wchar_t* path, int length = -1);
// A path for the wide file functions. A path of characters GBK cannot hold reached the product
// as a lossy text already; such a text names no file, as a missing file would not.
inline std::wstring WidePath(const char* path) { return WideFromGbk(path); }
// True when `wide` converts to GBK without a substitute character.
bool GbkHolds(const wchar_t* wide, int length = -1);

// The character set to name for the product's texts where a font record says DEFAULT_CHARSET,
// the system locale's own: on a Chinese system that is GB2312 already and stays as it is;
// elsewhere GB2312_CHARSET is named, or fonts without Chinese glyphs are picked.
BYTE TextCharSet(BYTE recorded);

// A window's text as GBK, and a GBK text as the window's text.
std::string GbkWindowText(HWND hwnd);
BOOL SetGbkWindowText(HWND hwnd, const char* text);

// A message box with a GBK text and caption.
int GbkMessageBox(HWND owner, const char* text, const char* caption, UINT style);

}  // namespace fw
