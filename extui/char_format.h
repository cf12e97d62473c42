// The character format (字符格式 / CharFormat), data type 4 of the extended interface library.
//
// A value is a 20-byte heap record; program code fills one in and hands its address to the rich
// edit box's SetSelCharFormat command (type tag kCharFormatType). The record owns its FontName
// text. The conversion below turns a value into the system's 60-byte ANSI CHARFORMAT.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "runtime/interface/ext_commands.h"

namespace extui {

// Type number of the character format: library 2, type 4.
inline constexpr uint32_t kCharFormatType = 0x00020004;

// Bits of CharFormat::effects; the same values as the system's CFE_ bits.
enum CharEffect : int32_t {
  kEffectBold = 1,
  kEffectItalic = 2,
  kEffectUnderline = 4,
  kEffectStrikeout = 8,
  kEffectProtected = 16,
  kEffectAll = 31,  // higher bits are ignored
};

// The automatic (system) text colour.
inline constexpr uint32_t kAutoColor = 0xFF000000u;

// The record, shared with program code (which sees it as CharFormatValue).
using CharFormat = ::CharFormatValue;
static_assert(sizeof(CharFormat) == 20);

// The system's ANSI CHARFORMAT, as the rich edit control reads it.
static_assert(sizeof(CHARFORMATA) == 60);
static_assert(offsetof(CHARFORMATA, dwMask) == 4);
static_assert(offsetof(CHARFORMATA, dwEffects) == 8);
static_assert(offsetof(CHARFORMATA, yHeight) == 12);
static_assert(offsetof(CHARFORMATA, yOffset) == 16);
static_assert(offsetof(CHARFORMATA, crTextColor) == 20);
static_assert(offsetof(CHARFORMATA, bCharSet) == 24);
static_assert(offsetof(CHARFORMATA, szFaceName) == 26);
static_assert(sizeof(CHARFORMATA::szFaceName) == 32);

// What a converted value always sets: size, colour, face, offset and the five effects. The
// character set is left out, so it stays as the control's default format set it.
inline constexpr DWORD kCharFormatMask = 0xF000001Fu;

// The default face name "宋体" (GBK).
extern const char kDefaultFace[];

// A new value on the runtime heap with the defaults: a fresh copy of "宋体", 9 points,
// offset 0, no effects, automatic colour.
CharFormat* NewCharFormat();
// Frees the face text and then the record. Null is ignored.
void ReleaseCharFormat(CharFormat* value);
// Replaces the face name: the old text is freed first; the new one is a fresh heap copy
// (null or "" leaves the name empty).
void SetCharFormatFontName(CharFormat* value, const char* name);
// Sets the defaults on a record whose fontName is not owned (a zeroed block).
void InitCharFormat(CharFormat* value);

// The face name that a conversion writes: the value's own name when it fits the 32-byte field
// with its terminator, else the default face (see the .cpp for why).
const char* EffectiveFaceName(const CharFormat& value);

// Turns a value into the system's record. Never fails; sizes are multiplied without a range
// check, as 32-bit integers.
CHARFORMATA ToCharFormatA(const CharFormat& value);

// The same record with its GBK face name in UTF-16, as the control is given it: the control
// reads a narrow record's face name in the system's code page, which need not be 936. The
// default character set becomes GB2312's on other systems (fw::TextCharSet).
CHARFORMATW Widened(const CHARFORMATA& cf);

}  // namespace extui
