// Small helpers the edit box and the button share: fonts from a stored LOGFONTA, character
// ranges of a control's text, the text visitor's rewriting, and the value-to-text
// conversions of the numeric input modes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/interface/unit_records.h"

namespace forms {

// Makes a font from a stored 60-byte LOGFONTA with the character set forced to
// DEFAULT_CHARSET, output and clip precision 0, PROOF_QUALITY and pitch-and-family 0.
HFONT MakeUnitFont(const uint8_t* logFont);

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
