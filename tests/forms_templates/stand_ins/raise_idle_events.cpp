// Stand-in while the runtime library has no definition of its own.
#include <windows.h>

#include <vector>

#include "forms/form_runtime.h"

int32_t forms::RaiseIdleEvents(uint32_t, std::vector<HWND>&) { return 0; }
