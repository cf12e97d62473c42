// The notice box and the enumeration of visible top-level windows.
#include "program/window_routines.h"

#include <cstring>

#include "program/dll_commands.h"
#include "program/globals.h"
#include "program/program_values.h"
#include "program/window_info.h"
#include "program/word_array.h"
#include "runtime/interface/core_commands.h"

namespace {

constexpr int32_t kDefaultStyle = 0x40;   // MB_ICONINFORMATION with an OK button
constexpr int32_t kTitleBuffer = 256;
constexpr int32_t kClassBuffer = 50;
constexpr uint32_t kGbk = 936;

// UTF-16 units up to their first zero unit (at most `count`) as GBK, cut to `limit` bytes at a
// character boundary, as a text the caller takes over.
char* GbkOfUnits(const char16_t* units, int32_t count, int32_t limit) {
  int32_t n = 0;
  while (n < count && units[n] != 0) ++n;
  char out[kTitleBuffer * 2 + 2] = {};
  int32_t bytes = n > 0 ? dll::WideCharToMultiByte(kGbk, 0, units, n, out, sizeof out - 1, nullptr, nullptr) : 0;
  int32_t kept = 0;
  for (int32_t i = 0; i < bytes;) {
    int32_t step = static_cast<uint8_t>(out[i]) >= 0x81 && i + 1 < bytes ? 2 : 1;
    if (i + step > limit) break;
    i += step;
    kept = i;
  }
  return prog::NewText(out, static_cast<uint32_t>(kept)).ReleaseText();
}

// Reads a window text with a wide call into a buffer of `size` spaces and keeps it up to its
// first zero unit, as GBK of at most size - 1 bytes (what a narrow call into `size` bytes
// keeps). The terminator after the spaces keeps the read in bounds if the call writes none.
template <typename Reader>
char* ReadIntoSpaces(int32_t size, Reader read) {
  char16_t buffer[kTitleBuffer + 1];
  for (int32_t i = 0; i < size; ++i) buffer[i] = u' ';
  buffer[size] = 0;
  read(buffer, size);
  return GbkOfUnits(buffer, size, size - 1);
}

// A GBK text as zero-terminated UTF-16 units on the program heap.
core::Bytes UnitsOfGbk(const char* text) {
  int32_t n = dll::MultiByteToWideChar(kGbk, 0, text, -1, nullptr, 0);
  core::Bytes units = prog::NewByteSet(nullptr, static_cast<uint32_t>(n > 0 ? n : 1) * 2);
  if (n > 0) dll::MultiByteToWideChar(kGbk, 0, text, -1, units.get() + kByteSetHeader, n);
  return units;
}

}  // namespace

// Called by EnumWindows for every top-level window. Its record is built locally and a copy
// joins WindowList only when the window is visible; the thread id is the result of a second
// GetWindowThreadProcessId call. Runs inside a system callback, so nothing here throws.
extern "C" int32_t __stdcall CollectVisibleWindow(uint32_t window, uint32_t) {
  WindowInfo* info = static_cast<WindowInfo*>(MemAlloc(sizeof(WindowInfo)));
  std::memset(info, 0, sizeof *info);
  if (dll::IsWindowVisible(window)) {
    info->handle = window;
    uint32_t processId = 0, scratch = 0;
    dll::GetWindowThreadProcessId(window, &processId);
    info->processId = processId;
    info->threadId = dll::GetWindowThreadProcessId(window, &scratch);
    info->title = ReadIntoSpaces(kTitleBuffer, [&](char16_t* b, int32_t n) {
      dll::GetWindowTextW(window, b, n);
    });
    info->className = ReadIntoSpaces(kClassBuffer, [&](char16_t* b, int32_t n) {
      dll::GetClassNameW(window, b, n);
    });
    AppendWord(&WindowList, reinterpret_cast<uint32_t>(CopyWindowInfo(*info)));
  }
  FreeWindowInfo(info);
  return 1;
}

// Enumerates, hands the caller a copy of WindowList (its old array released first) and
// empties WindowList again, so the global list holds records only during one enumeration.
int32_t ListVisibleWindows(uint8_t** list) {
  dll::EnumWindows(CollectVisibleWindow, 0);
  // The caller gets copies; the enumeration's own list is emptied again.
  uint8_t* copy = NewWordArray();
  uint32_t count = WordArrayCount(WindowList);
  for (uint32_t i = 0; i < count; ++i) {
    auto* info = reinterpret_cast<const WindowInfo*>(WordArrayMembers(WindowList)[i]);
    AppendWord(&copy, reinterpret_cast<uint32_t>(CopyWindowInfo(*info)));
  }
  FreeWindowInfoArray(*list);
  *list = copy;
  FreeWindowInfoArray(WindowList);
  WindowList = NewWordArray();
  return static_cast<int32_t>(WordArrayCount(*list));
}

// The first visible window of the process in enumeration order (top of the Z order first).
uint32_t FindProcessWindow(uint32_t processId) {
  uint8_t* windows = NewWordArray();
  int32_t n = ListVisibleWindows(&windows);
  uint32_t found = 0;
  for (int32_t i = 0; i < n; ++i) {
    auto* info = reinterpret_cast<const WindowInfo*>(WordArrayMembers(windows)[i]);
    if (info->processId == processId) {
      found = info->handle;
      break;
    }
  }
  FreeWindowInfoArray(windows);
  return found;
}

// Without an owner the box belongs to this process's first visible window, or to none while
// the process shows no window (during start-up, for example).
int32_t ShowNotice(const char* message, std::optional<int32_t> style,
                   std::optional<const char*> caption, std::optional<uint32_t> owner) {
  uint32_t window = owner ? *owner : FindProcessWindow(dll::GetCurrentProcessId());
  const char* title = caption ? *caption : "友情提醒";
  core::Bytes wideMessage = UnitsOfGbk(message);
  core::Bytes wideTitle = UnitsOfGbk(title);
  return dll::MessageBoxW(window, reinterpret_cast<const char16_t*>(wideMessage.data()),
                          reinterpret_cast<const char16_t*>(wideTitle.data()), style.value_or(kDefaultStyle)) - 1;
}
