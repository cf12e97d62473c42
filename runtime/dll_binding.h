// Declared DLL commands, bound on their first call.
#pragma once

#include <cstdint>

namespace rt {

// The address of DLL command `index`, binding it on the first call. A command that cannot be
// bound is a runtime error, so the result is never null.
void* ResolveDllCommand(uint32_t index);
// Releases every bound command's library reference and empties the table (end of program).
void ReleaseDllCommands();

}  // namespace rt

// The target of runtime interface slot 2: the command index in EAX, the function's own
// arguments in place. Continues in the DLL function, which returns straight to the caller.
extern "C" void __cdecl RtCallDllCommand();
