// Start-up of the checker, and the instructions and exit buttons.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/interface/core_commands.h"
#include "runtime/interface/records.h"

// Writes the carried skin library next to the program as a hidden file, unless a file of
// that name is already there. Gives the file's path, or empty when the program's folder takes
// no file (a read-only folder). The folder is the program's by its UTF-16 name
// (program/own_folders.h).
std::u16string EnsureSkinLibraryFile();
// Loads the copy of the skin library in `directory` (the user's own folder) only while it
// holds exactly the carried library, held open against writes, renames and deletion from the
// comparison until it is loaded; anything else there is replaced by a fresh copy first. True
// when it is loaded.
bool LoadCheckedSkinLibrary(const std::u16string& directory);
// Loads a skin library: the file next to the program as it is; where there is none, the copy
// in the user's own folder (%LOCALAPPDATA%\柚工坊) by LoadCheckedSkinLibrary. True when a
// library with the skin's export is loaded. Libraries are loaded with the system's error boxes
// off, and the caller's error mode is back afterwards.
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
