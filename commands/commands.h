// The core library's command entries. Every entry has the one command signature: the result
// record (zeroed by the caller), the argument count and the first argument record.
#pragma once

#include <cstdint>

#include "runtime/interface/core_command_ids.h"
#include "runtime/interface/records.h"

#define CORE_COMMAND(name) void __cdecl name(ArgRecord* result, int32_t count, ArgRecord* args)

namespace corelib {

// Text and byte sets.
CORE_COMMAND(TextLength);
CORE_COMMAND(TextLeft);
CORE_COMMAND(TextRight);
CORE_COMMAND(TextMid);
CORE_COMMAND(CharText);
CORE_COMMAND(SpaceText);
CORE_COMMAND(FindText);
CORE_COMMAND(FindTextReverse);
CORE_COMMAND(ReplaceText);
CORE_COMMAND(ReplaceSubtext);
CORE_COMMAND(SplitText);
CORE_COMMAND(TrimSpaces);
CORE_COMMAND(RemoveAllSpaces);
CORE_COMMAND(ToUpper);
CORE_COMMAND(ToLower);
CORE_COMMAND(CompareText);
CORE_COMMAND(ByteSetLength);
CORE_COMMAND(ByteSetLeft);
CORE_COMMAND(ZeroByteSet);

// Conversions.
CORE_COMMAND(ToText);
CORE_COMMAND(ToNumber);
CORE_COMMAND(ToByteSet);
CORE_COMMAND(ToHexText);

// Disk files and numbered files.
CORE_COMMAND(FileExists);
CORE_COMMAND(SetFileAttributes);
CORE_COMMAND(WriteToFile);
CORE_COMMAND(OpenMemoryFile);
CORE_COMMAND(CloseFile);
CORE_COMMAND(SeekToFileStart);
CORE_COMMAND(ReadLine);
CORE_COMMAND(WriteText);
CORE_COMMAND(IsEndOfFile);

// The system.
CORE_COMMAND(GetRunDirectory);
CORE_COMMAND(MessageBox);
CORE_COMMAND(ProcessEvents);
CORE_COMMAND(SendUnitMessage);

}  // namespace corelib

// The command table in command-number order (CoreCommandId) and the library's notification
// entry: event 1 hands over the runtime's service function, event 6 marks the end.
extern "C" const CommandEntry kCoreCommands[kCoreCommandCount];
extern "C" int32_t __cdecl CoreLibraryNotify(int32_t event, uint32_t arg1, uint32_t arg2);

// The library records the program lists in its ProgramInfo.
extern "C" const LibraryInfo kCoreLibraryInfo;
extern "C" const LibraryInfo kSpecialLibraryInfo;
