// The special-function library's record. The program links the library but uses none of
// its facilities, so it defines no data types, no commands and no notification entry.
#include "commands/commands.h"

namespace {
constexpr char kSpecialLibraryId[] = "A41D72C85E0F4B9380D6E2B1C7F5398A";
constexpr char kSpecialLibraryName[] = "特殊功能库";
}  // namespace

extern "C" const LibraryInfo kSpecialLibraryInfo = {
    kLibraryFormat,
    kSpecialLibraryId,
    {1, 0, 0},
    {0, 0, 0, 0},
    kSpecialLibraryName,
    1,
    0,
    0xC0000000,
    {0, 0, 0, 0, 0, 0, 0, 0},
    0,
    nullptr,
    {0, 0},
    0,
    0,
    nullptr,
    {0, 0},
    nullptr,
    {0, 0, 0, 0, 0},
};
