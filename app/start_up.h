// Start-up of the checker, and the instructions and exit buttons.
#pragma once

#include <cstdint>

#include "runtime/interface/core_commands.h"
#include "runtime/interface/records.h"

// Writes the carried skin library next to the program as a hidden file, unless a file of
// that name is already there. Gives the file's path, or the empty text when the program's
// folder takes no file (read-only, or a path GBK cannot hold).
core::Text EnsureSkinLibraryFile();
// Loads a skin library: the file next to the program as it is; where there is none, the copy
// in the user's own folder (%LOCALAPPDATA%\柚工坊), loaded only when its bytes are exactly the
// carried library and written again otherwise. True when a library with the skin's export is
// loaded.
bool LoadSkinLibrary();
// Attaches skin `number` (1-33) of the carried skins; any other number attaches none. Without
// a library that loads, nothing is attached and the program goes on unskinned.
void ApplySkin(int32_t number);

// The start window's created event: the skin, then the update check, which ends the program
// with a message when the update page does not name this version.
extern "C" HandlerReturn __cdecl OnStartWindowCreated();
// The instructions button: five usage lines in yellow, appended on every click.
extern "C" HandlerReturn __cdecl OnUsageClicked();
// The exit button: ends the program with exit code 0 (globals released first).
extern "C" HandlerReturn __cdecl OnExitClicked();
