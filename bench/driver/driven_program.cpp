#include "bench/driver/driven_program.h"

#include <cstring>
#include <string_view>

#include "tests/support/process_window.h"

namespace bench {
namespace {

double Frequency() {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return static_cast<double>(f.QuadPart);
}

}  // namespace

double Now() {
  static const double frequency = Frequency();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

bool DrivenProgram::Start(const std::string& commandLine) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  if (char* slash = std::strrchr(path, '\\')) *slash = '\0';
  std::string command = commandLine;
  STARTUPINFOA si{sizeof si};
  return CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, path, &si, &pi_);
}

bool DrivenProgram::WaitForWindow(const char* title, int pollMs, int limitMs) {
  const double limit = Now() + limitMs / 1000.0;
  for (;;) {
    window_ = FindWindowOfProcess(pi_.dwProcessId, [&](HWND w) { return CaptionOf(w) == title; });
    if (window_) {
      windowSeenAt_ = Now();
      break;
    }
    if (Now() > limit || WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(pollMs)) == WAIT_OBJECT_0)
      return false;
  }
  input_ = FindChildWindow(window_, "Edit");
  output_ = FindChildWindow(window_, "RichEdit20A");
  return true;
}

void DrivenProgram::Type(const std::string& text) {
  SendMessageA(input_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void DrivenProgram::Click(const char* caption) {
  PostMessageA(FindChildWindow(window_, "Button", caption), BM_CLICK, 0, 0);
}

void DrivenProgram::ClickAndWait(const char* caption) {
  DWORD_PTR ignored;
  SendMessageTimeoutA(FindChildWindow(window_, "Button", caption), BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &ignored);
}

// The output box's text as another process can read it, with its line breaks counted. The
// buffer holds `expected` lines of 64 bytes and more: the control answers nothing at all when
// its text does not fit.
int DrivenProgram::CountLineBreaks(int expected) {
  std::vector<char> text(static_cast<size_t>(expected + 1) * 64 + 65536);
  SendMessageA(output_, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text_ = text.data();
  int breaks = 0;
  for (char c : text_) breaks += c == '\r';
  return breaks;
}

std::string DrivenProgram::LastLine() const {
  size_t end = text_.find_last_not_of("\r\n");
  if (end == std::string::npos) return "";
  size_t start = text_.find_last_of("\r\n", end);
  return text_.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
}

int DrivenProgram::LinesHolding(const std::string& part) const {
  int lines = 0;
  for (size_t start = 0; start < text_.size();) {
    size_t end = text_.find('\r', start);
    if (end == std::string::npos) end = text_.size();
    lines += std::string_view(text_).substr(start, end - start).find(part) != std::string_view::npos;
    start = end + 2;
  }
  return lines;
}

double DrivenProgram::WaitForLines(int count, int pollMs, int limitMs) {
  const double limit = Now() + limitMs / 1000.0;
  double nextTextCheck = 0;
  for (;;) {
    DWORD_PTR lines = 0;
    // Each display line counts, and the empty paragraph after the last line break too; a
    // wrapped line counts more than once, so the text itself decides.
    if (SendMessageTimeoutA(output_, EM_GETLINECOUNT, 0, 0, SMTO_NORMAL, static_cast<UINT>(limitMs), &lines) &&
        static_cast<int>(lines) > count && Now() >= nextTextCheck) {
      double seen = Now();
      if (CountLineBreaks(count) >= count) return seen;
      nextTextCheck = Now() + 0.5;
    }
    if (Now() > limit || WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(pollMs)) == WAIT_OBJECT_0)
      return -1;
  }
}

void DrivenProgram::WaitUntilAnswering() {
  DWORD_PTR ignored;
  SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
}

void DrivenProgram::End() {
  if (!pi_.hProcess) return;
  TerminateProcess(pi_.hProcess, 1);
  WaitForSingleObject(pi_.hProcess, 30000);
  CloseHandle(pi_.hProcess);
  CloseHandle(pi_.hThread);
  pi_ = {};
}

}  // namespace bench
