// A library that is not the program's skin library but looks like it from outside: a valid
// DLL with the skin's export. Loading it leaves a named event behind for the process's life,
// so a test can tell from outside that it was loaded. While it is being loaded it also notes
// what a loader of the skin library promises for that moment: whether its own file was held
// against renames and deletion, and the process's error mode.
#include <windows.h>

#include <cstdint>

namespace {
int32_t g_heldWhileLoading = -1;
uint32_t g_errorModeWhileLoading = 0;
}  // namespace

extern "C" int32_t __stdcall SkinH_AttachRes(const void*, uint32_t, const char*, int32_t, int32_t,
                                             int32_t) {
  return 0;
}

// 1 when nobody could open the file for deletion (a rename needs that too) while it was being
// loaded, 0 when somebody could; and the error mode of that moment.
extern "C" void __stdcall LoadingState(int32_t* held, uint32_t* errorMode) {
  *held = g_heldWhileLoading;
  *errorMode = g_errorModeWhileLoading;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  CreateEventW(nullptr, TRUE, FALSE, L"ForeignSkinLibraryLoaded");
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(instance, path, MAX_PATH);
  HANDLE file = CreateFileW(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  g_heldWhileLoading = file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  g_errorModeWhileLoading = SetErrorMode(0);
  SetErrorMode(g_errorModeWhileLoading);
  return TRUE;
}
