#include "extui/char_format.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "extui/library_access.h"
#include "framework/gbk_text.h"

namespace extui {

const char kDefaultFace[] = "宋体";

void InitCharFormat(CharFormat* value) {
  std::memset(value, 0, sizeof *value);
  value->fontName = RuntimeCopyText(kDefaultFace);
  value->fontSize = 9;
  value->color = kAutoColor;
}

CharFormat* NewCharFormat() {
  auto* value = static_cast<CharFormat*>(RuntimeAlloc(sizeof(CharFormat)));
  if (value) InitCharFormat(value);
  return value;
}

void ReleaseCharFormat(CharFormat* value) {
  if (!value) return;
  RuntimeFree(value->fontName);
  value->fontName = nullptr;
  RuntimeFree(value);
}

void SetCharFormatFontName(CharFormat* value, const char* name) {
  if (!value) return;
  RuntimeFree(value->fontName);
  value->fontName = (name && *name) ? RuntimeCopyText(name) : nullptr;
}

// The face field holds 31 bytes and a terminator. A longer name cannot be a real face name (the
// system limits face names to the same 32 bytes), and cutting it would leave either a
// different face or half of a double-byte character. Such a name is therefore replaced by the
// default face "宋体", the same rule the runtime applies to the face of a font property. The
// length scan stops at 32 bytes, so a name without a terminator is never read further.
const char* EffectiveFaceName(const CharFormat& value) {
  if (!value.fontName) return "";
  constexpr size_t kField = sizeof(CHARFORMATA::szFaceName);
  const void* end = std::memchr(value.fontName, 0, kField);
  return end ? value.fontName : kDefaultFace;
}

CHARFORMATA ToCharFormatA(const CharFormat& value) {
  CHARFORMATA cf;
  std::memset(&cf, 0, sizeof cf);
  cf.cbSize = sizeof cf;
  cf.dwMask = kCharFormatMask;
  cf.dwEffects = static_cast<DWORD>(value.effects) & kEffectAll;
  if (value.color == kAutoColor) {
    cf.dwEffects |= CFE_AUTOCOLOR;
  } else {
    cf.crTextColor = value.color;
  }
  cf.yHeight = static_cast<LONG>(static_cast<uint32_t>(value.fontSize) * 20u);
  cf.yOffset = static_cast<LONG>(static_cast<uint32_t>(value.offset) * 20u);
  const char* face = EffectiveFaceName(value);
  std::memcpy(cf.szFaceName, face, std::strlen(face) + 1);  // at most 32 bytes, see above
  return cf;
}

CHARFORMATW Widened(const CHARFORMATA& cf) {
  CHARFORMATW wide;
  std::memset(&wide, 0, sizeof wide);
  wide.cbSize = sizeof wide;
  wide.dwMask = cf.dwMask;
  wide.dwEffects = cf.dwEffects;
  wide.yHeight = cf.yHeight;
  wide.yOffset = cf.yOffset;
  wide.crTextColor = cf.crTextColor;
  wide.bCharSet = fw::TextCharSet(cf.bCharSet);
  wide.bPitchAndFamily = cf.bPitchAndFamily;
  std::wstring face = fw::WideFromGbk(cf.szFaceName, static_cast<int>(strnlen(cf.szFaceName, LF_FACESIZE)));
  face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
  std::memcpy(wide.szFaceName, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
  return wide;
}

}  // namespace extui
