// Stand-in while the runtime library has no definition of its own.
#include <windows.h>

#include <vector>

#include "runtime/dll_binding.h"

void rt::ReleaseDllCommands() {}
