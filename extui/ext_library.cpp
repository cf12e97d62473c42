#include "extui/ext_library.h"

#include "extui/char_format.h"
#include "extui/library_access.h"
#include "extui/rich_edit_class.h"
#include "extui/rich_edit_unit.h"

namespace extui {

const char kUnitNotLoaded[] = "指定窗口或窗口组件不存在或尚未载入";

namespace {

const UnitClassInfo kCharFormatClass = {
    "字符格式", "CharFormat", {0, 0, 0}, 0, {0, 0, 0}, 0, nullptr, nullptr, {0, 0},
};

}  // namespace

// Types 1-9; only the character format (4) and the rich edit box (6) are implemented, the
// others are empty records.
const UnitClassInfo kExtUiDataTypes[kExtUiTypeCount] = {
    {}, {}, {}, kCharFormatClass, {}, kRichEditClass, {}, {}, {},
};

const CommandEntry kExtUiCommands[kExtUiCommandCount] = {&SetSelCharFormat};

// The unit is resolved through the runtime (service 2007), which reports a unit that is not
// loaded as a fatal error and does not come back. Anything else that is not a rich edit box, or
// a missing format record, changes nothing.
void __cdecl SetSelCharFormat(ArgRecord*, int32_t count, ArgRecord* args) {
  if (count < 2 || !args) return;
  const ArgRecord& unitArg = args[0];
  const ArgRecord& formatArg = args[1];
  const int32_t object =
      Notify(kSvcUnitObjectChecked, unitArg.words[0], unitArg.words[1]);
  if (!object || unitArg.tag != kRichEditType) return;
  auto* window = reinterpret_cast<fw::WindowObject*>(static_cast<uintptr_t>(object));
  auto* unit = dynamic_cast<RichEditUnit*>(window);
  const auto* format = reinterpret_cast<const CharFormat*>(static_cast<uintptr_t>(formatArg.words[0]));
  if (!unit || !format || formatArg.tag != kCharFormatType) return;
  unit->ApplyCharFormat(*format);
}

int32_t __cdecl ExtUiLibraryNotify(int32_t event, uint32_t arg1, uint32_t) {
  if (event != kLibEventStart) return -1;
  SetRuntimeNotify(reinterpret_cast<RuntimeNotifyFn>(static_cast<uintptr_t>(arg1)));
  return 0;
}

}  // namespace extui

// Version 1.0 of the library; the name and identifier are the library's own.
extern "C" const LibraryInfo kExtUiLibraryInfo = {
    kLibraryFormat,
    "5E3A1C7B9D2F4A6E8B0C1D2E3F4A5B6C",
    {1, 0, 1},
    {0, 0, 0, 0},
    "扩展界面库",
    1,
    0,
    0,
    {0, 0, 0, 0, 0, 0, 0, 0},
    extui::kExtUiTypeCount,
    extui::kExtUiDataTypes,
    {0, 0},
    extui::kExtUiCommandCount,
    0,
    extui::kExtUiCommands,
    {0, 0},
    &extui::ExtUiLibraryNotify,
    {0, 0, 0, 0, 0},
};
