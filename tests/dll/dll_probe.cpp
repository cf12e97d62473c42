// A program whose DLL declarations name our test library, for the binding tests. Started with
// one case word on its command line, it calls the chosen command through the program side of
// the runtime interface and ends with the command's result as its exit code. Failing cases
// end in the runtime error box instead, which the test reads and closes.
#include <windows.h>

#include <cstring>
#include <initializer_list>

#include "runtime/interface/runtime_interface.h"

namespace {

enum Command : uint32_t {
  kAdd2,            // bindtest.dll Add2 (two arguments)
  kTriple,          // bindtest.dll Triple
  kHidden,          // bindtest.dll #9
  kMissingExport,   // bindtest.dll NoSuchExport
  kMissingLibrary,  // nosuchlib.dll Anything
  kMissingSystem,   // system list NoSuchFunction
  kMissingOrdinal,  // bindtest.dll #999
  kLstrlen,         // system list lstrlenA (Kernel32)
  kMetrics,         // system list GetSystemMetrics (User32 only)
  kAbsolute,        // full path of bindtest.dll, Triple (filled in at start)
  kCount
};

char g_absolutePath[MAX_PATH] = "";

const char* const kFiles[kCount] = {"bindtest.dll", "bindtest.dll", "bindtest.dll", "bindtest.dll",
                                    "nosuchlib.dll", "",            "bindtest.dll", "",
                                    "",              g_absolutePath};
const char* const kNames[kCount] = {"Add2",        "Triple",     "#9",         "NoSuchExport",
                                    "Anything",    "NoSuchFunction", "#999",   "lstrlenA",
                                    "GetSystemMetrics", "Triple"};

uint32_t Call(Command c, std::initializer_list<uint32_t> words) {
  return ProgramCallDll(c, words.begin(), static_cast<uint32_t>(words.size()));
}

bool Is(const char* command, const char* word) { return std::strstr(command, word) != nullptr; }

}  // namespace

extern "C" const ProgramInfo kProgramInfo = {
    3, 0, 0x14805, 0, nullptr, 0, nullptr, 0, 0, nullptr, kCount, kFiles, kNames};

extern "C" int32_t __cdecl ProgramEntry() {
  ProgramOtherHelp(kHelpInitialiseRuntime, nullptr, 0);
  // The library's full path, with its drive letter: loaded only as given.
  GetModuleFileNameA(nullptr, g_absolutePath, MAX_PATH);
  std::strcpy(std::strrchr(g_absolutePath, '\\') + 1, "bindtest.dll");

  const char* line = GetCommandLineA();
  int32_t code = 0;
  if (Is(line, " add")) code = Call(kAdd2, {2, 3});
  else if (Is(line, " twice")) code = Call(kTriple, {4}) + Call(kTriple, {5});
  else if (Is(line, " ordinal")) code = Call(kHidden, {42});
  else if (Is(line, " stack-long")) code = Call(kAdd2, {1, 2, 3});   // one argument too many
  else if (Is(line, " stack-short")) code = Call(kAdd2, {1});        // one argument too few
  else if (Is(line, " missing-export")) code = Call(kMissingExport, {});
  else if (Is(line, " missing-library")) code = Call(kMissingLibrary, {});
  else if (Is(line, " missing-system")) code = Call(kMissingSystem, {});
  else if (Is(line, " missing-ordinal")) code = Call(kMissingOrdinal, {});
  else if (Is(line, " system-list"))
    code = Call(kLstrlen, {reinterpret_cast<uint32_t>("abcd")}) == 4 &&
                   static_cast<int32_t>(Call(kMetrics, {SM_CXSCREEN})) == GetSystemMetrics(SM_CXSCREEN)
               ? 7 : 1;
  else if (Is(line, " absolute")) code = Call(kAbsolute, {11});
  EndProgram(code);
}
