// Positions of the core library's commands in its command table. The program's typed command
// layer and the library itself both index the table with these numbers, so the order is part
// of the interface: text commands first, then conversions, files and system commands.
#pragma once

#include <cstdint>

enum CoreCommandId : uint32_t {
  // Text and byte-set commands.
  CMD_TEXT_LENGTH,
  CMD_TEXT_LEFT,
  CMD_TEXT_RIGHT,
  CMD_TEXT_MID,
  CMD_CHAR_TEXT,
  CMD_SPACE_TEXT,
  CMD_FIND_TEXT,
  CMD_FIND_TEXT_REVERSE,
  CMD_REPLACE_TEXT,
  CMD_REPLACE_SUBTEXT,
  CMD_SPLIT_TEXT,
  CMD_TRIM_SPACES,
  CMD_REMOVE_ALL_SPACES,
  CMD_TO_UPPER,
  CMD_TO_LOWER,
  CMD_COMPARE_TEXT,
  CMD_BYTE_SET_LENGTH,
  CMD_BYTE_SET_LEFT,
  CMD_ZERO_BYTE_SET,
  // Conversions, files and the system.
  CMD_TO_TEXT,
  CMD_TO_NUMBER,
  CMD_TO_BYTE_SET,
  CMD_TO_HEX_TEXT,
  CMD_GET_RUN_DIRECTORY,
  CMD_FILE_EXISTS,
  CMD_SET_FILE_ATTRIBUTES,
  CMD_WRITE_TO_FILE,
  CMD_OPEN_MEMORY_FILE,
  CMD_CLOSE_FILE,
  CMD_SEEK_TO_FILE_START,
  CMD_READ_LINE,
  CMD_WRITE_TEXT,
  CMD_IS_END_OF_FILE,
  CMD_MESSAGE_BOX,
  CMD_PROCESS_EVENTS,
  CMD_SEND_UNIT_MESSAGE,
  kCoreCommandCount
};
static_assert(kCoreCommandCount == 36);
