// Drives the checker from another process, as a user would: starts the program, finds its
// window and units, types into the input box, clicks buttons, and reads the output box's lines
// and their colours from the screen. Used by the end-to-end tests and by run.sh's sample check.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/message_box.h"

namespace checker_driver {

inline const char kTitle[] = "青柚贴吧未注册账号检测机V1.1";

// The running checker: its process, its window and the units on it.
class Checker {
 public:
  Checker() {
    std::string dir = TestDirectory();
    std::string command = "\"" + dir + "\\checker.exe\"";
    STARTUPINFOA si{sizeof si};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.c_str(), &si, &pi_))
      return;
    WaitForInputIdle(pi_.hProcess, 10000);
  }
  ~Checker() {
    if (pi_.hProcess) {
      if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 1);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
  }

  // The output box's text while the window exists, visible or not; "" when it does not.
  std::string OutputOfAnyWindow() {
    HWND w = FindWindowA(nullptr, kTitle);
    HWND box = w ? FindChildWindow(w, "RichEdit20A") : nullptr;
    if (!box) return "";
    std::vector<char> buffer(1 << 16);
    SendMessageA(box, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
  }

  // Waits for the start window; false when the program ended or never showed it.
  bool WaitForWindow() {
    window_ = WaitForWindowOfProcess(pi_, [](HWND w) { return CaptionOf(w) == kTitle; }, 30000);
    if (!window_) return false;
    input_ = FindChildWindow(window_, "Edit");
    output_ = FindChildWindow(window_, "RichEdit20A");
    if (!output_) output_ = FindChildWindow(window_, "RICHEDIT");
    return input_ && output_;
  }

  void Type(const char* text) {
    SendMessageA(input_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  void Click(const char* caption) {
    PostMessageA(FindChildWindow(window_, "Button", caption), BM_CLICK, 0, 0);
  }

  // The output box's text. The rich edit box gives nothing at all when its text does not fit
  // the buffer (a GBK character takes two bytes), so a box of several lines that reads as
  // empty is read again with a larger buffer.
  std::string Output() {
    for (size_t size = 1 << 16;; size *= 4) {
      std::vector<char> buffer(size);
      SendMessageA(output_, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer.data()));
      if (buffer[0] || size >= (1u << 24) || SendMessageA(output_, EM_GETLINECOUNT, 0, 0) <= 1)
        return buffer.data();
    }
  }

  // Waits until the output box holds `count` lines (each ending in a line break).
  std::vector<std::string> WaitForLines(size_t count, int timeoutMs = 20000) {
    std::vector<std::string> lines;
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
      lines = Lines();
      if (lines.size() >= count) break;
      Sleep(100);
    }
    return lines;
  }

  std::vector<std::string> Lines() {
    std::string text = Output();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') {
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
      }
    }
    return lines;
  }

  // The colour of each of the first `count` lines of the output box: the one known colour
  // (0x00BBGGRR) found in the line's band of pixel rows on screen (a wrapped line takes several
  // rows of text), or 0 for none (an empty line). Positions come from the control itself.
  std::vector<COLORREF> LineColours(size_t count, const std::vector<COLORREF>& known) {
    SendMessageA(output_, WM_VSCROLL, SB_TOP, 0);
    RedrawWindow(output_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Sleep(300);
    RECT r;
    GetClientRect(output_, &r);
    POINT origin{0, 0};
    ClientToScreen(output_, &origin);
    // Top of each line, from the character index of its start: a two-byte character counts
    // one, and the line end one (the control keeps a paragraph mark). One more slot holds the
    // next line's top, or the last line's bottom when there is no next line.
    std::vector<int> tops(count + 1, 0);
    size_t found_tops = 0;
    LONG index = 0;
    for (const std::string& line : Lines()) {
      if (found_tops == tops.size()) break;
      LRESULT packed = SendMessageA(output_, EM_POSFROMCHAR, index, 0);
      tops[found_tops++] = static_cast<short>(HIWORD(packed));
      for (size_t i = 0; i < line.size(); ++i, ++index)
        if (static_cast<unsigned char>(line[i]) >= 0x80) ++i;
      ++index;
    }
    if (found_tops == count && count > 0) {
      const int height = count > 1 ? tops[1] - tops[0] : 12;
      tops[count] = tops[count - 1] + height;
      found_tops = count + 1;
    }
    HDC screen = GetDC(nullptr);
    std::vector<COLORREF> colours;
    for (size_t line = 0; line + 1 < found_tops; ++line) {
      COLORREF found = 0;
      for (int y = tops[line]; y < tops[line + 1] && y < r.bottom && !found; ++y)
        for (int x = 0; x < r.right && !found; ++x) {
          COLORREF c = GetPixel(screen, origin.x + x, origin.y + y);
          for (COLORREF k : known)
            if (c == k) found = k;
        }
      colours.push_back(found);
    }
    ReleaseDC(nullptr, screen);
    return colours;
  }

  // The message box of the program, if one is showing: its caption and text; presses OK.
  // `beforeAnswer` runs while the box is still up.
  bool AnswerBox(std::string* caption, std::string* text, int timeoutMs = 20000,
                 const std::function<void()>& beforeAnswer = {}) {
    if (!pi_.hProcess) return false;
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
      if (HWND box = FindMessageBox(pi_.dwProcessId)) {
        BoxSeen seen = ReadMessageBox(box);
        *caption = seen.caption;
        *text = seen.text;
        if (beforeAnswer) beforeAnswer();
        PressOk(box);
        return true;
      }
      if (WaitForSingleObject(pi_.hProcess, 50) == WAIT_OBJECT_0) return false;
    }
    return false;
  }

  // True when the output box answers a window message within `ms` milliseconds: the program's
  // window thread is taking messages. The default limit is generous: it tells a window that
  // answers from one that hangs, not how fast it answers.
  bool Answers(UINT ms = 30000) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(output_, WM_NULL, 0, 0, SMTO_NORMAL, ms, &result) != 0;
  }

  // Closes the window as its close box and Alt+F4 do (the system command SC_CLOSE), or with
  // the Escape key pressed in the input box.
  void CloseWindow() { PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }
  void PressEscape() {
    PostMessageA(input_, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(input_, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  }

  // Waits for the program to end and returns its exit code (0xDEAD when it did not end in
  // time). A message box that shows meanwhile is answered and its text kept in `box`.
  DWORD WaitForExitAnsweringBoxes(std::string* box, int timeoutMs = 20000) {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
      if (HWND found = FindMessageBox(pi_.dwProcessId)) {
        *box = ReadMessageBox(found).text;
        PressOk(found);
      }
      if (WaitForSingleObject(pi_.hProcess, 50) == WAIT_OBJECT_0) return WaitForExit(0);
    }
    return 0xDEAD;
  }

  DWORD WaitForExit(int timeoutMs = 30000) {
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }

  HWND window() const { return window_; }

 private:
  PROCESS_INFORMATION pi_{};
  HWND window_ = nullptr;
  HWND input_ = nullptr;
  HWND output_ = nullptr;
};


}  // namespace checker_driver
