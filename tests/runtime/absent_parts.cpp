// Stand-ins for the form runtime while the runtime core is tested alone: no windows are known.
// The template loader and property access are the real ones; DLL binding is the real one too.
#include <windows.h>

#include "forms/form_runtime.h"
#include "runtime/errors.h"

namespace forms {
bool LoadStartWindow(int32_t) { return false; }
bool AnyWindowAlive() { return false; }
void DestroyAllWindows() {}
void* FindHandler(int32_t, int32_t, int32_t, int32_t) { return nullptr; }
int32_t RaiseIdleEvents(uint32_t, std::vector<HWND>&) { return 0; }
int32_t FormService(int32_t, uint32_t, uint32_t) { return 0; }
}  // namespace forms
