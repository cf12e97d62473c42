// Stand-ins for the form runtime and DLL binding while the runtime core is tested alone: no
// windows are known and no DLL command is declared. The template loader and property access
// are the real ones.
#include <windows.h>

#include "forms/form_runtime.h"
#include "runtime/dll_binding.h"
#include "runtime/errors.h"

namespace forms {
bool LoadStartWindow(int32_t) { return false; }
bool AnyWindowAlive() { return false; }
void DestroyAllWindows() {}
void* FindHandler(int32_t, int32_t, int32_t, int32_t) { return nullptr; }
int32_t RaiseIdleEvents(uint32_t, std::vector<HWND>&) { return 0; }
int32_t FormService(int32_t, uint32_t, uint32_t) { return 0; }
}  // namespace forms

namespace rt {
void* ResolveDllCommand(uint32_t) { RuntimeError("no DLL commands", 0); }
void ReleaseDllCommands() {}
}  // namespace rt

extern "C" void __cdecl RtCallDllCommand() { rt::RuntimeError("no DLL commands", 0); }
