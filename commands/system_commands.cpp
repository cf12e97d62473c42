// System commands: the program's run directory, the message box, pumping waiting window
// messages and sending a message to a unit's window.
#include <windows.h>
#undef MessageBox

#include <cstdint>
#include <cstring>

#include "commands/command_support.h"
#include "commands/commands.h"
#include "commands/value_format.h"
#include "framework/gbk_text.h"

namespace corelib {

namespace {

// The caption of a message box whose caption argument was left out.
constexpr char kDefaultCaption[] = "信息：";

// System-modal boxes keep their style; all others are made task-modal.
constexpr uint32_t kSystemModal = 0x1000;
constexpr uint32_t kTaskModal = 0x2000;

// The answer of the system's message box (IDOK 1 ... IDNO 7) as the command's button number
// (0 ... 6); anything else reads as 0.
int32_t ButtonNumber(int answer) { return answer >= 1 && answer <= 7 ? answer - 1 : 0; }

}  // namespace

// A copy of the runtime's program directory (no trailing backslash); empty when it has none.
CORE_COMMAND(GetRunDirectory) {
  (void)count;
  (void)args;
  const char* dir = reinterpret_cast<const char*>(Notify(kSvcProgramDirectory));
  if (dir) SetPointer(result, NewText(dir, static_cast<uint32_t>(std::strlen(dir))));
}

// Shows the text form of the first argument with no owner window. The task-modal bit is
// added with OR, so a buttons value that already carries it is passed on unchanged.
CORE_COMMAND(MessageBox) {
  Args a(count, args);
  char messageBuffer[kFormBufferSize];
  const char* message;
  TextForm(a[0], messageBuffer, &message);
  char captionBuffer[kFormBufferSize];
  const char* caption = kDefaultCaption;
  if (a.Given(2)) TextForm(a[2], captionBuffer, &caption);
  uint32_t style = static_cast<uint32_t>(a.Int(1));
  if (!(style & kSystemModal)) style |= kTaskModal;
  SetInt(result, ButtonNumber(fw::GbkMessageBox(nullptr, message, caption, style)));
}

// The runtime dispatches the waiting messages (a waiting WM_QUIT stays queued); program
// handlers may run before this returns.
CORE_COMMAND(ProcessEvents) {
  (void)result;
  (void)count;
  (void)args;
  Notify(kSvcProcessEvents);
}

// The unit argument carries the window id in its low word and the unit id in its high word.
// The runtime resolves it to the unit's window object (a unit that is not loaded is its fatal
// error) and then to the window handle.
CORE_COMMAND(SendUnitMessage) {
  Args a(count, args);
  const ArgRecord& unit = a[0];
  const uint32_t object =
      static_cast<uint32_t>(Notify(kSvcUnitObjectChecked, unit.words[0], unit.words[1]));
  HWND window = object ? reinterpret_cast<HWND>(Notify(kSvcWindowHandle, object)) : nullptr;
  if (!window) return;
  const LRESULT answer = SendMessageA(window, static_cast<UINT>(a.Int(1)),
                                      static_cast<WPARAM>(a.Int(2)), static_cast<LPARAM>(a.Int(3)));
  SetInt(result, static_cast<int32_t>(answer));
}

}  // namespace corelib
