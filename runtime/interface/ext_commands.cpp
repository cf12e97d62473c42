#include "runtime/interface/ext_commands.h"

#include <cstring>

#include "runtime/interface/runtime_interface.h"

namespace {

// A heap copy of a text, as the runtime's heap gives it.
char* CopyText(const char* text) {
  const size_t n = std::strlen(text);
  char* copy = static_cast<char*>(MemAlloc(static_cast<uint32_t>(n + 1)));
  std::memcpy(copy, text, n + 1);
  return copy;
}

}  // namespace

CharFormatValue* NewCharFormatValue() {
  auto* value = static_cast<CharFormatValue*>(MemAlloc(sizeof(CharFormatValue)));
  std::memset(value, 0, sizeof *value);
  value->fontName = CopyText("宋体");
  value->fontSize = 9;
  value->color = 0xFF000000u;
  return value;
}

void FreeCharFormatValue(CharFormatValue* value) {
  if (!value) return;
  if (value->fontName) MemFree(value->fontName);
  MemFree(value);
}

void SetCharFormatValueFont(CharFormatValue* value, const char* name) {
  if (!value) return;
  if (value->fontName) MemFree(value->fontName);
  value->fontName = (name && *name) ? CopyText(name) : nullptr;
}

// The command is the first of the library whose number the unit's type carries (library 2).
// A program without that library has nothing to call.
void SetSelCharFormat(int32_t windowId, int32_t unitId, const CharFormatValue* value) {
  const uint32_t library = (kRichEditTag >> 16) - 1;
  if (library >= kProgramInfo.libraryCount || !kProgramInfo.libraries[library]) return;
  const LibraryInfo& info = *kProgramInfo.libraries[library];
  if (info.commandCount < 1 || !info.commands) return;
  ArgRecord args[2] = {
      MakeArg(kRichEditTag, static_cast<uint32_t>(windowId) |
                                uint64_t{static_cast<uint32_t>(unitId)} << 32),
      MakeArg(kCharFormatTag, reinterpret_cast<uintptr_t>(value)),
  };
  TypeTag tag = 0;
  ProgramCallCommand(&CallExtensionCommand, info.commands[0], 2, args, &tag);
}
