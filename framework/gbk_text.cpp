#include "framework/gbk_text.h"

#include <vector>

namespace fw {

std::wstring WideFromGbk(const char* text, int length) {
  if (!text) return std::wstring();
  int n = ::MultiByteToWideChar(kGbkCodePage, 0, text, length, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(kGbkCodePage, 0, text, length, wide.data(), n);
  if (length < 0) wide.resize(static_cast<size_t>(n) - 1);  // the terminator was counted
  return wide;
}

std::string GbkFromWide(const wchar_t* text, int length) {
  if (!text) return std::string();
  int n = ::WideCharToMultiByte(kGbkCodePage, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string gbk(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(kGbkCodePage, 0, text, length, gbk.data(), n, nullptr, nullptr);
  if (length < 0) gbk.resize(static_cast<size_t>(n) - 1);
  return gbk;
}

std::string GbkPathFromWide(const wchar_t* path, int length) {
  if (!path) return std::string();
  int n = ::WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, path, length, nullptr, 0, "?", nullptr);
  if (n <= 0) return std::string();
  std::string gbk(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, path, length, gbk.data(), n, "?", nullptr);
  if (length < 0) gbk.resize(static_cast<size_t>(n) - 1);
  return gbk;
}

bool GbkHolds(const wchar_t* wide, int length) {
  BOOL lossy = FALSE;
  ::WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr, &lossy);
  return !lossy;
}

BYTE TextCharSet(BYTE recorded) {
  return recorded == DEFAULT_CHARSET && ::GetACP() != kGbkCodePage ? GB2312_CHARSET : recorded;
}

// The length is asked first; a text that grows meanwhile is cut, never overrun.
std::string GbkWindowText(HWND hwnd) {
  int length = ::GetWindowTextLengthW(hwnd);
  if (length <= 0) return std::string();
  std::vector<wchar_t> wide(static_cast<size_t>(length) + 1, L'\0');
  int got = ::GetWindowTextW(hwnd, wide.data(), length + 1);
  return GbkFromWide(wide.data(), got > 0 ? got : 0);
}

BOOL SetGbkWindowText(HWND hwnd, const char* text) {
  return ::SetWindowTextW(hwnd, WideFromGbk(text ? text : "").c_str());
}

int GbkMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  std::wstring wideText = WideFromGbk(text ? text : "");
  std::wstring wideCaption = WideFromGbk(caption ? caption : "");
  return ::MessageBoxW(owner, wideText.c_str(), caption ? wideCaption.c_str() : nullptr, style);
}

}  // namespace fw
