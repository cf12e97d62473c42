// The helpers behind OtherHelp, in their fixed order. Each is cdecl and receives the
// caller's arguments as they were pushed.
#pragma once

#include <windows.h>

#include <cstdint>

namespace rt {

// 0: with a non-empty pattern, closes any search in *handle and starts a new one; with an
// empty pattern, continues it. Returns a new text with the next accepted entry's name, or
// null when none remains (the search is then closed and *handle cleared).
char* __cdecl HelpFindFile(const char* pattern, uint32_t mask, int32_t filesOnly, HANDLE* handle);
// 1: closes a search started by helper 0.
void __cdecl HelpCloseSearch(HANDLE handle);
// 2: copies a constant array block to the heap before the program changes it.
void __cdecl HelpMakeArrayWritable(uint32_t memberSize, void** variable);
// 3: the program's globals clean-up routine.
void __cdecl HelpSetGlobalsCleanup(void(__cdecl* routine)());
// 4 and 5: properties of values of library-defined data types, through the type's class.
uint64_t __cdecl HelpReadObjectProperty(uint32_t type, void* object, int32_t property, uint32_t extra);
void __cdecl HelpWriteObjectProperty(uint32_t type, void* object, int32_t property, uint32_t valueType,
                                     uint64_t value, uint32_t extent);
// 6: runtime initialisation from the bound program's information record.
void __cdecl HelpInitialiseRuntime();

}  // namespace rt
