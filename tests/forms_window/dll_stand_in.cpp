// The test programs declare no DLL commands. Until the DLL binding is part of the runtime
// library, the runtime's references to it need stand-ins.
#include "runtime/errors.h"

namespace rt {
void ReleaseDllCommands() {}
void* ResolveDllCommand(unsigned) { RuntimeError("no DLL commands", 0); }
}  // namespace rt

extern "C" void __cdecl RtCallDllCommand() { rt::RuntimeError("no DLL commands", 0); }
