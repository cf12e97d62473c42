#include "runtime/other_help.h"

#include <cstring>

#include "framework/gbk_text.h"
#include "runtime/heap.h"
#include "runtime/program_binding.h"
#include "runtime/runtime_app.h"

namespace rt {
namespace {

// Whether a found entry passes the helper's filter.
// A name GBK cannot hold would come back as a text that names no file: it is passed over.
bool Accepts(const WIN32_FIND_DATAW& entry, uint32_t mask, int32_t filesOnly) {
  if (!fw::GbkHolds(entry.cFileName)) return false;
  if (filesOnly) return !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  if (mask == 0) return entry.dwFileAttributes == 0;
  return (entry.dwFileAttributes & (mask & 0x37)) != 0;
}

ProgramBinding& Binding() {
  static ProgramBinding binding;
  return binding;
}

}  // namespace

void BindProgram(const ProgramInfo* info, int32_t(__cdecl* entry)()) {
  Binding().info = info;
  Binding().entry = entry;
}

const ProgramBinding& BoundProgram() { return Binding(); }

char* __cdecl HelpFindFile(const char* pattern, uint32_t mask, int32_t filesOnly, HANDLE* handle) {
  WIN32_FIND_DATAW entry;
  bool found;
  if (pattern && *pattern) {
    if (*handle) ::FindClose(*handle);
    *handle = ::FindFirstFileW(fw::WidePath(pattern).c_str(), &entry);
    if (*handle == INVALID_HANDLE_VALUE) *handle = nullptr;
    found = *handle != nullptr;
  } else {
    if (!*handle) return nullptr;
    found = ::FindNextFileW(*handle, &entry);
  }
  while (found && !Accepts(entry, mask, filesOnly)) found = ::FindNextFileW(*handle, &entry);
  if (!found) {
    if (*handle) ::FindClose(*handle);
    *handle = nullptr;
    return nullptr;
  }
  std::string name = fw::GbkFromWide(entry.cFileName);
  return NewText(name.data(), static_cast<uint32_t>(name.size()));
}

void __cdecl HelpCloseSearch(HANDLE handle) {
  if (handle) ::FindClose(handle);
}

void __cdecl HelpMakeArrayWritable(uint32_t memberSize, void** variable) {
  MakeArrayWritable(memberSize, variable);
}

void __cdecl HelpSetGlobalsCleanup(void(__cdecl* routine)()) { TheApp().globalsCleanup = routine; }

// This program has no values of library-defined types with properties; the helpers answer
// nothing and change nothing.
uint64_t __cdecl HelpReadObjectProperty(uint32_t, void*, int32_t, uint32_t) { return 0; }
void __cdecl HelpWriteObjectProperty(uint32_t, void*, int32_t, uint32_t, uint64_t, uint32_t) {}

void __cdecl HelpInitialiseRuntime() {
  const ProgramBinding& binding = BoundProgram();
  static const ProgramInfo kNoProgram{};
  TheApp().Initialise(binding.info ? *binding.info : kNoProgram);
}

}  // namespace rt
