#include "output_log.h"

#include <cstring>

#include "app_ids.h"
#include "constant_area.h"
#include "core_commands.h"
#include "program_values.h"
#include "runtime_interface.h"

namespace {

PROGRAM_CONSTANT const char kFontName[] = "宋体";
PROGRAM_CONSTANT const char kLineEnd[] = "\r\n";
PROGRAM_CONSTANT const char kEmpty[] = "";

// A 字符格式 value: five words, owning its face name.
struct CharFormatValue {
  char* fontName;
  int32_t fontSize;   // points
  int32_t offset;     // points, positive raises
  int32_t effects;    // 1 bold, 2 italic, 4 underline, 8 strikeout, 16 protected
  uint32_t color;     // 0x00BBGGRR, 0xFF000000 automatic
};
static_assert(sizeof(CharFormatValue) == 20);

// SetSelCharFormat, the extended interface library's one command: applies a character format
// to the output box's selection.
void SetSelCharFormat(CharFormatValue* format) {
  CommandEntry entry = kProgramInfo.libraries[1]->commands[0];
  ArgRecord args[2] = {core::UnitArg(kStartWindowId, kOutputBoxId, kRichEditType),
                       MakeArg(kCharFormatType, reinterpret_cast<uint32_t>(format))};
  TypeTag tag;
  ProgramCallCommand(&CallExtensionCommand, entry, 2, args, &tag);
}

}  // namespace

void AppendLogLine(uint32_t colour, const char* line, int32_t size) {
  auto* format = static_cast<CharFormatValue*>(MemAlloc(sizeof(CharFormatValue)));
  std::memset(format, 0, sizeof *format);
  format->fontName = prog::CopyText(kFontName);
  format->fontSize = size;
  format->color = colour;
  SetSelCharFormat(format);

  char* text = prog::JoinText(line, kLineEnd);
  WriteUnitProperty(kStartWindowId, kOutputBoxId, kRichEditSelText, -1,
                    reinterpret_cast<uint32_t>(prog::TextArgument(text)), 0);
  MemFree(text);
  core::SendUnitMessage(core::UnitArg(kStartWindowId, kOutputBoxId, kRichEditType), 0x0115, 7, 0);

  MemFree(format->fontName);
  MemFree(format);
}

void ClearLog() {
  WriteUnitProperty(kStartWindowId, kOutputBoxId, kRichEditContent, -1,
                    reinterpret_cast<uint32_t>(kEmpty), 0);
}
