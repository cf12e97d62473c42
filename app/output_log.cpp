#include "app/output_log.h"

#include "app/app_ids.h"
#include "program/program_values.h"
#include "runtime/interface/constant_area.h"
#include "runtime/interface/core_commands.h"
#include "runtime/interface/ext_commands.h"
#include "runtime/interface/runtime_interface.h"

namespace {

PROGRAM_CONSTANT const char kLineEnd[] = "\r\n";
PROGRAM_CONSTANT const char kEmpty[] = "";

constexpr int32_t kSetRedraw = 0x000B;   // WM_SETREDRAW
constexpr int32_t kVScroll = 0x0115;     // WM_VSCROLL
constexpr int32_t kScrollBottom = 7;     // SB_BOTTOM

int32_t SendToOutputBox(int32_t message, int32_t wParam) {
  return core::SendUnitMessage(core::UnitArg(kStartWindowId, kOutputBoxId, kRichEditTag), message,
                               wParam, 0);
}

}  // namespace

void AppendLogLine(uint32_t colour, const char* line, int32_t size) {
  CharFormatValue* format = NewCharFormatValue();
  format->fontSize = size;
  format->color = colour;
  SetSelCharFormat(kStartWindowId, kOutputBoxId, format);

  core::Text text = prog::JoinText(line, kLineEnd);
  WriteUnitProperty(kStartWindowId, kOutputBoxId, kRichEditSelText, -1,
                    reinterpret_cast<uint32_t>(text.c_str()), 0);
  SendToOutputBox(kVScroll, kScrollBottom);

  FreeCharFormatValue(format);
}

void ClearLog() {
  WriteUnitProperty(kStartWindowId, kOutputBoxId, kRichEditContent, -1,
                    reinterpret_cast<uint32_t>(kEmpty), 0);
}

// The rich edit box repaints itself in full when its painting is turned back on.
HeldRepaints::HeldRepaints() { SendToOutputBox(kSetRedraw, 0); }

HeldRepaints::~HeldRepaints() { SendToOutputBox(kSetRedraw, 1); }
