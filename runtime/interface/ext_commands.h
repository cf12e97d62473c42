// The program's typed access to the extended interface library (library 2): the character
// format value (data type 4) and the rich edit box's one command, SetSelCharFormat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "runtime/interface/records.h"

// Type numbers of the library's types, used as argument tags.
inline constexpr TypeTag kCharFormatTag = 0x00020004;  // 字符格式 value: address of the record
inline constexpr TypeTag kRichEditTag = 0x00020006;    // 超级编辑框 unit: window id, unit id

// A character format value: a 20-byte heap record that owns its face name text.
struct CharFormatValue {
  char* fontName;    // GBK face name on the runtime heap; null = empty
  int32_t fontSize;  // points
  int32_t offset;    // points above (positive) or below (negative) the baseline
  int32_t effects;   // 1 bold, 2 italic, 4 underline, 8 strikeout, 16 protected
  uint32_t color;    // 0x00BBGGRR; 0xFF000000 = the automatic colour
};
static_assert(sizeof(CharFormatValue) == 20);
static_assert(offsetof(CharFormatValue, fontSize) == 4);
static_assert(offsetof(CharFormatValue, offset) == 8);
static_assert(offsetof(CharFormatValue, effects) == 12);
static_assert(offsetof(CharFormatValue, color) == 16);
static_assert(std::is_standard_layout_v<CharFormatValue> && std::is_trivially_copyable_v<CharFormatValue>);

// A new value with the defaults ("宋体", 9 points, offset 0, no effects, automatic colour),
// allocated with MemAlloc. FreeCharFormatValue frees the face text and then the record.
CharFormatValue* NewCharFormatValue();
void FreeCharFormatValue(CharFormatValue* value);
// Replaces the face name (the old text is freed; the new one is a heap copy, "" leaves it empty).
void SetCharFormatValueFont(CharFormatValue* value, const char* name);

// Applies the value to the selection of rich edit box (windowId, unitId), or to its insertion
// point when nothing is selected, through CallExtensionCommand. A box that is not loaded is
// the runtime's fatal error.
void SetSelCharFormat(int32_t windowId, int32_t unitId, const CharFormatValue* value);
