// Lazy binding of declared DLL commands, and the release of their libraries at program end.
#include "runtime/dll_binding.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/gbk_text.h"
#include "runtime/errors.h"
#include "runtime/runtime_app.h"

namespace rt {
namespace {

// Searched in this order for a command whose library file name is empty.
constexpr const char* kSystemLibraries[] = {"Kernel32.dll", "Gdi32.dll",  "User32.dll",
                                            "Advapi32.dll", "Mpr.dll",    "Shell32.dll"};

// The key GetProcAddress takes: the name itself, or for "#n" the ordinal n (low 16 bits).
LPCSTR ExportKey(const char* name) {
  if (name[0] == '#') return MAKEINTRESOURCEA(std::atoi(name + 1) & 0xFFFF);
  return name;
}

// Empty file name: the first system library that exports the key binds it. Libraries that
// load but lack the export are released again at once.
void* BindFromSystemList(LPCSTR key, HMODULE& module) {
  for (const char* library : kSystemLibraries) {
    HMODULE h = LoadLibraryW(fw::WideFromGbk(library).c_str());
    if (!h) continue;
    FARPROC address = GetProcAddress(h, key);
    if (address) {
      module = h;
      return reinterpret_cast<void*>(address);
    }
    FreeLibrary(h);
  }
  return nullptr;
}

// Loads a library file with the system's error boxes off for the call (a damaged file just
// fails to load) and the caller's error mode back afterwards.
HMODULE LoadQuietly(const std::string& path) {
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE h = LoadLibraryW(fw::WidePath(path.c_str()).c_str());
  SetErrorMode(previous);
  return h;
}

// Named library: a plain file name (no folder in it) of a library the process has already
// loaded binds to that very module, as the system's loader would give it for the name, so a
// library the program loaded and checked itself is never joined by a second file of the same
// name. Otherwise a relative name is tried next to the program, then in the module directory,
// and only then along the system's own search order; a name with a drive letter (any ':') is
// loaded only as given. A library found early that lacks the export is not passed over for a
// later location: the first library that loads is the one that binds.
HMODULE LoadNamedLibrary(const RuntimeApp& app, const char* file) {
  HMODULE h = nullptr;
  if (!std::strpbrk(file, ":\\/") &&
      GetModuleHandleExW(0, fw::WidePath(file).c_str(), &h))   // takes a reference
    return h;
  if (!std::strchr(file, ':')) {
    h = LoadQuietly(app.paths.programDirectory + "\\" + file);
    if (!h && !app.paths.moduleDirectory.empty()) h = LoadQuietly(app.paths.moduleDirectory + file);
  }
  if (!h) h = LoadQuietly(file);
  return h;
}

// Ends the program with the binding failure message: the file name is named unless the
// command was looked for in the system library list. The exported name appears as written,
// so an ordinal shows as "#n".
[[noreturn]] void ReportUnbound(const char* file, const char* name) {
  std::string message;
  if (file[0] == '\0') {
    message = "无法找到指定DLL库文件中的输出命令“";
    message += name;
    message += "”";
  } else {
    message = "无法找到指定DLL库文件“";
    message += file;
    message += "”中的输出命令“";
    message += name;
    message += "”";
  }
  RuntimeError(message.c_str(), 0);
}

}  // namespace

// Resolves command `index`. The table is written only on success, so a failure leaves the
// entry unbound; the failure never returns to the program.
void* ResolveDllCommand(uint32_t index) {
  RuntimeApp& app = TheApp();
  DllCommandTable& t = app.dll;
  if (index >= t.addresses.size()) {
    // Only declared indexes are valid. An undeclared one would read past the table, so it
    // ends the program the way an unbindable command does, naming the index it asked for.
    char name[16];
    std::snprintf(name, sizeof name, "#%u", index);
    ReportUnbound("", name);
  }
  if (t.addresses[index]) return t.addresses[index];

  // A missing declaration text reads as the empty text.
  const char* file = t.files[index] ? t.files[index] : "";
  const char* name = t.names[index] ? t.names[index] : "";
  LPCSTR key = ExportKey(name);
  HMODULE module = nullptr;
  void* address = nullptr;
  if (file[0] == '\0') {
    address = BindFromSystemList(key, module);
  } else {
    module = LoadNamedLibrary(app, file);
    if (module) address = reinterpret_cast<void*>(GetProcAddress(module, key));
  }
  if (!address) {
    if (module) FreeLibrary(module);
    ReportUnbound(file, name);
  }
  t.modules[index] = module;
  t.addresses[index] = address;
  return address;
}

// Every bound command holds its own library reference, so a library shared by several
// commands is released as often as it was loaded.
void ReleaseDllCommands() {
  DllCommandTable& t = TheApp().dll;
  for (HMODULE module : t.modules)
    if (module) FreeLibrary(module);
  t.files.clear();
  t.names.clear();
  t.modules.clear();
  t.addresses.clear();
}

}  // namespace rt

// The resolve step of the trampoline (runtime/dll_trampoline.S), with a C name it can call.
extern "C" void* __cdecl RtResolveDllCommand(uint32_t index) {
  return rt::ResolveDllCommand(index);
}
