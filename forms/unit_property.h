// Helpers of property access that stand on their own: the clamps of the common position and
// size properties and the font sub-items. ReadUnitProperty and WriteUnitProperty themselves
// are declared in form_runtime.h.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/interface/unit_records.h"

namespace forms {

// Positions are clamped to -32627..32627; sizes to 0..32627.
inline constexpr int32_t kMaxCoordinate = 32627;
int32_t ClampPosition(int32_t value);
int32_t ClampSize(int32_t value);

// A font sub-item (FontSubItem) as the program reads it: logicals 0/1, the angle in tenths of
// a degree, the size in points at `dpi`, the face name as a new heap text (null when empty);
// kFontWhole gives a new 28-byte heap record (angle, bold, italic, strike-out, underline,
// size, face-name text). Unknown sub-items read 0.
uint64_t ReadFontSubItem(const LOGFONTA& font, int32_t subItem, int dpi);
// Changes a sub-item of `font`: the angle modulo 3600 (made non-negative) into escapement and
// orientation; bold as weight 700 or 0; the size as -MulDiv(|points|, dpi, 72); a face name of
// 1 to 31 bytes (anything else becomes "宋体"); kFontWhole from a 28-byte record. False, with
// `font` unchanged, for an unknown sub-item or a null record.
bool WriteFontSubItem(LOGFONTA& font, int32_t subItem, uint64_t value, int dpi);

}  // namespace forms
