// The core library's command table and notification entry.
#include "commands/command_support.h"
#include "commands/commands.h"

// In command-number order; CoreCommandId names the positions.
extern "C" const CommandEntry kCoreCommands[kCoreCommandCount] = {
    corelib::TextLength,      corelib::TextLeft,
    corelib::TextRight,       corelib::TextMid,
    corelib::CharText,        corelib::SpaceText,
    corelib::FindText,        corelib::FindTextReverse,
    corelib::ReplaceText,     corelib::ReplaceSubtext,
    corelib::SplitText,       corelib::TrimSpaces,
    corelib::RemoveAllSpaces, corelib::ToUpper,
    corelib::ToLower,         corelib::CompareText,
    corelib::ByteSetLength,   corelib::ByteSetLeft,
    corelib::ZeroByteSet,     corelib::ToText,
    corelib::ToNumber,        corelib::ToByteSet,
    corelib::ToHexText,       corelib::GetRunDirectory,
    corelib::FileExists,      corelib::SetFileAttributes,
    corelib::WriteToFile,     corelib::OpenMemoryFile,
    corelib::CloseFile,       corelib::SeekToFileStart,
    corelib::ReadLine,        corelib::WriteText,
    corelib::IsEndOfFile,     corelib::MessageBox,
    corelib::ProcessEvents,   corelib::SendUnitMessage,
};
static_assert(sizeof(kCoreCommands) / sizeof(kCoreCommands[0]) == 36);

// Event 1 hands over the runtime's service function, which every command uses from then on.
// At the end (event 6) the library holds nothing of its own to release: numbered files still
// open belong to the runtime's registry. Other events have no meaning here.
extern "C" int32_t __cdecl CoreLibraryNotify(int32_t event, uint32_t arg1, uint32_t arg2) {
  (void)arg2;
  if (event == kLibEventStart) {
    corelib::SetRuntimeNotify(reinterpret_cast<RuntimeNotifyFn>(arg1));
  }
  return 0;
}
