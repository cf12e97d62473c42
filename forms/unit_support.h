// Small helpers the form runtime's units share: fonts from a stored LOGFONTA, default colours,
// character ranges of a control's text, the text visitor's rewriting, and the value-to-text
// conversions of the numeric input modes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/scoped_handle.h"
#include "framework/window.h"
#include "runtime/interface/unit_records.h"

namespace forms {

// A stored LOGFONTA (face name GBK) and the system's wide record, converted both ways with
// code page 936; a face name is cut to 31 bytes or characters.
LOGFONTW WideLogFont(const LOGFONTA& font);
LOGFONTA GbkLogFont(const LOGFONTW& font);

// Makes a font from a stored 60-byte LOGFONTA with the character set forced to
// DEFAULT_CHARSET (GB2312's on a system that is not Chinese, see fw::TextCharSet), output and
// clip precision 0, PROOF_QUALITY and pitch-and-family 0.
HFONT MakeUnitFont(const uint8_t* logFont);
// The font of units without one of their own: DEFAULT_GUI_FONT where it carries the GB2312
// character set (a Chinese system), elsewhere the same font with that character set, made once
// for the process, so that the GBK texts find glyphs whatever the system's locale.
HFONT UnitDefaultFont();
// Gives a control the font of a stored LOGFONTA block (UnitDefaultFont() when the block is not
// 60 bytes) and keeps it in `font`; the font held before goes only once the control has the
// new one.
void ApplyUnitFont(fw::Window control, const std::vector<uint8_t>& logFont, fw::ScopedFont& font);

// The colour a unit stores for "the system's default" (0xFF000000).
inline constexpr uint32_t kSystemDefaultColor = 0xFF000000;
// A stored colour, or the system colour `systemIndex` for the default.
inline COLORREF ColorOrSystem(uint32_t color, int systemIndex) {
  return color == kSystemDefaultColor ? GetSysColor(systemIndex) : color;
}

// The GBK text between character positions [start, end) of a control's text.
std::string CharacterRange(HWND hwnd, uint32_t start, uint32_t end);

// Offers a text to a text visitor and takes its replacement, if any.
void VisitText(std::string& text, UnitTextVisitorCallback visitor, void* user);
// The same for the face name inside a stored LOGFONTA block (kept to 31 bytes).
void VisitFontFace(std::vector<uint8_t>& font, UnitTextVisitorCallback visitor, void* user);

// The runtime's value-to-text conversions as the numeric input modes use them.
std::string SingleText(float value);
std::string DoubleText(double value);
bool ParseDateTime(const std::string& text, double* value);
std::string DateTimeText(double value);

}  // namespace forms
