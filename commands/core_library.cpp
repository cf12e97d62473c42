// The core library's record: its data types (defined by the form runtime, which builds the
// units of those types), its 36 commands and its notification entry.
#include "commands/commands.h"
#include "runtime/interface/unit_records.h"

// The core library's data-type table: 51 unit class records, provided by the form runtime
// (window, edit box and button classes; empty records for the rest).
extern const UnitClassInfo kCoreDataTypes[51];

namespace {
constexpr char kCoreLibraryId[] = "6C3E9A1F0B4D47E2A58C13F97D20B6E4";
constexpr char kCoreLibraryName[] = "核心命令库";
}  // namespace

extern "C" const LibraryInfo kCoreLibraryInfo = {
    kLibraryFormat,
    kCoreLibraryId,
    {5, 0, 64},
    {0, 0, 0, 0},
    kCoreLibraryName,
    1,
    0,
    0xC0000001,
    {0, 0, 0, 0, 0, 0, 0, 0},
    51,
    kCoreDataTypes,
    {0, 0},
    kCoreCommandCount,
    0,
    kCoreCommands,
    {0, 0},
    CoreLibraryNotify,
    {0, 0, 0, 0, 0},
};
