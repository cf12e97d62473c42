// The core library's record with its commands and notification entry only, for test programs
// that run program code on the runtime without the form runtime (the library's data types
// belong to the form runtime). Header only; the user links the commands library.
#pragma once

#include "commands/commands.h"

inline LibraryInfo CommandsOnlyCoreLibrary() {
  LibraryInfo info{};
  info.format = kLibraryFormat;
  info.one = 1;
  info.commandCount = kCoreCommandCount;
  info.commands = kCoreCommands;
  info.notify = CoreLibraryNotify;
  return info;
}
