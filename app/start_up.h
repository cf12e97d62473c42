// Start-up of the checker, and the instructions and exit buttons.
#pragma once

#include <cstdint>

#include "records.h"

// Writes the carried skin library next to the program as a hidden file, unless a file of that
// name is already there.
void EnsureSkinLibraryFile();
// Attaches skin `number` (1-33) of the carried skins; any other number attaches none.
void ApplySkin(int32_t number);

// The start window's created event: the skin, then the update check, which ends the program
// with a message when the update page does not name this version.
extern "C" HandlerReturn __cdecl OnStartWindowCreated();
// The instructions button: five usage lines in yellow, appended on every click.
extern "C" HandlerReturn __cdecl OnUsageClicked();
// The exit button: ends the program with exit code 0 (globals released first).
extern "C" HandlerReturn __cdecl OnExitClicked();
