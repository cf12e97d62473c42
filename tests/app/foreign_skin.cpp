// A library that is not the program's skin library but looks like it from outside: a valid
// DLL with the skin's export. Loading it leaves a named event behind for the process's life,
// so a test can tell from outside that it was loaded.
#include <windows.h>

#include <cstdint>

extern "C" int32_t __stdcall SkinH_AttachRes(const void*, uint32_t, const char*, int32_t, int32_t,
                                             int32_t) {
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) CreateEventW(nullptr, TRUE, FALSE, L"ForeignSkinLibraryLoaded");
  return TRUE;
}
