// Positions of the core library's commands in its command table. The program's typed command
// layer and the library itself both index the table with these numbers, so the order is part
// of the interface: text commands first, then conversions, files and system commands.
#pragma once

#include <cstdint>

enum CoreCommandId : uint32_t {
  // Text and byte-set commands.
  kCmdTextLength,
  kCmdTextLeft,
  kCmdTextRight,
  kCmdTextMid,
  kCmdCharText,
  kCmdSpaceText,
  kCmdFindText,
  kCmdFindTextReverse,
  kCmdReplaceText,
  kCmdReplaceSubtext,
  kCmdSplitText,
  kCmdTrimSpaces,
  kCmdRemoveAllSpaces,
  kCmdToUpper,
  kCmdToLower,
  kCmdCompareText,
  kCmdByteSetLength,
  kCmdByteSetLeft,
  kCmdZeroByteSet,
  // Conversions, files and the system.
  kCmdToText,
  kCmdToNumber,
  kCmdToByteSet,
  kCmdToHexText,
  kCmdGetRunDirectory,
  kCmdFileExists,
  kCmdSetFileAttributes,
  kCmdWriteToFile,
  kCmdOpenMemoryFile,
  kCmdCloseFile,
  kCmdSeekToFileStart,
  kCmdReadLine,
  kCmdWriteText,
  kCmdIsEndOfFile,
  kCmdMessageBox,
  kCmdProcessEvents,
  kCmdSendUnitMessage,
  kCoreCommandCount
};
static_assert(kCoreCommandCount == 36);
