// Stand-in while the runtime library has no definition of its own.
#include <windows.h>

#include <vector>

#include "forms/form_runtime.h"

int32_t forms::FormService(int32_t, uint32_t, uint32_t) { return 0; }
