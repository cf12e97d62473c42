// Stand-in while the runtime library has no definition of its own.
#include <windows.h>

#include <vector>

extern "C" void __cdecl RtCallDllCommand() {}
