// The extended interface library: its LibraryInfo record, its data-type table (nine types: the
// character format is type 4, the rich edit box class 6), its one command and its
// notification entry.
#pragma once

#include <cstdint>

#include "runtime/interface/records.h"
#include "runtime/interface/unit_records.h"

// The library record the program lists among its libraries.
extern "C" const LibraryInfo kExtUiLibraryInfo;

namespace extui {

inline constexpr uint32_t kExtUiTypeCount = 9;
inline constexpr uint32_t kExtUiCommandCount = 1;

extern const UnitClassInfo kExtUiDataTypes[kExtUiTypeCount];
extern const CommandEntry kExtUiCommands[kExtUiCommandCount];

// The fatal error of a command whose unit is not loaded (reported by the runtime itself).
extern const char kUnitNotLoaded[];

// SetSelCharFormat: argument 1 the rich edit box (window id in the low half of the value, unit
// id in the high half, tag 0x00020006), argument 2 the address of a 字符格式 record (tag
// 0x00020004). Applies the format to the box's selection, or to its insertion point when the
// selection is empty. Writes no result.
void __cdecl SetSelCharFormat(ArgRecord* result, int32_t count, ArgRecord* args);

// Library notifications: event 1 hands over RuntimeNotify (answer 0); every other event
// answers -1.
int32_t __cdecl ExtUiLibraryNotify(int32_t event, uint32_t arg1, uint32_t arg2);

}  // namespace extui
