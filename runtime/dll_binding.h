// Binding of the program's declared DLL commands.
// The program declares every outside function it calls as a numbered (library file, exported
// name) pair. Program code calls a command by number through CallDllCommand; the first call
// loads the library and looks the export up, later calls jump straight to the stored address.
// A command that cannot be bound ends the program through the runtime error box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rt {

// The four parallel arrays of the application object's DLL command table, one entry per
// declared command: the declaration's two texts, then the module handle and the resolved
// address (both 0 until the first successful call).
struct DllCommandTable {
  std::vector<const char*> files;     // library file name or path; "" = system library list
  std::vector<const char*> names;     // exported name; "#n" = ordinal n
  std::vector<void*> modules;         // LoadLibraryA reference held by this command
  std::vector<uintptr_t> addresses;   // resolved function address
  std::string programDirectory;       // executable's directory, no trailing backslash
  std::string moduleDirectory;        // module instance's directory, trailing backslash
};

// The process's one table.
DllCommandTable& DllCommands();

// Sizes the table to `count` commands and copies the declarations (runtime initialisation).
// The directories are those of the application object: the program directory without and
// the module directory with a trailing backslash; both steer the search for relative names.
void InitDllCommands(uint32_t count, const char* const* files, const char* const* names,
                     const std::string& programDirectory, const std::string& moduleDirectory);

// Returns the address of command `index`, binding it on first use. Never returns 0: a library
// or export that cannot be found ends the program with the runtime error box.
uintptr_t ResolveDllCommand(uint32_t index);

// Releases every library reference the commands took and empties the table (program end).
void ReleaseDllCommands();

}  // namespace rt

extern "C" {
// The CallDllCommand slot target: command index in EAX, the function's native arguments and
// the caller's return address in place. Continues in the DLL function, which returns straight
// to the caller. Not callable from C++.
void RtCallDllCommand();
// The resolve step the trampoline calls (cdecl, so the trampoline needs no C++ name).
uintptr_t __cdecl RtResolveDllCommand(uint32_t index);
}
