#include "output_log.h"

#include "app_ids.h"
#include "constant_area.h"
#include "core_commands.h"
#include "ext_commands.h"
#include "program_values.h"
#include "runtime_interface.h"

namespace {

PROGRAM_CONSTANT const char kLineEnd[] = "\r\n";
PROGRAM_CONSTANT const char kEmpty[] = "";

}  // namespace

void AppendLogLine(uint32_t colour, const char* line, int32_t size) {
  CharFormatValue* format = NewCharFormatValue();
  format->fontSize = size;
  format->color = colour;
  SetSelCharFormat(kStartWindowId, kOutputBoxId, format);

  core::Text text = prog::JoinText(line, kLineEnd);
  WriteUnitProperty(kStartWindowId, kOutputBoxId, kRichEditSelText, -1,
                    reinterpret_cast<uint32_t>(text.c_str()), 0);
  core::SendUnitMessage(core::UnitArg(kStartWindowId, kOutputBoxId, kRichEditTag), 0x0115, 7, 0);

  FreeCharFormatValue(format);
}

void ClearLog() {
  WriteUnitProperty(kStartWindowId, kOutputBoxId, kRichEditContent, -1,
                    reinterpret_cast<uint32_t>(kEmpty), 0);
}
