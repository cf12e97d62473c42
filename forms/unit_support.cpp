// Helpers shared by the form runtime's units.
#include "forms/unit_support.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

#if __has_include("runtime/values.h")
#include "runtime/values.h"
#define FORMS_HAVE_RUNTIME_VALUES 1
#endif

namespace forms {

// The stored face name need not be terminated: it is cut at its last byte.
HFONT MakeUnitFont(const uint8_t* logFont) {
  if (logFont == nullptr) return nullptr;
  LOGFONTA lf;
  static_assert(sizeof lf == kLogFontSize);
  std::memcpy(&lf, logFont, sizeof lf);
  lf.lfFaceName[LF_FACESIZE - 1] = '\0';  // a stored name need not be terminated
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = 0;
  lf.lfClipPrecision = 0;
  lf.lfQuality = PROOF_QUALITY;
  lf.lfPitchAndFamily = 0;
  lf.lfCharSet = fw::TextCharSet(lf.lfCharSet);
  LOGFONTW wide = WideLogFont(lf);
  return CreateFontIndirectW(&wide);
}

// The records differ only in the face name, which is the last field.
LOGFONTW WideLogFont(const LOGFONTA& font) {
  LOGFONTW wide;
  static_assert(offsetof(LOGFONTA, lfFaceName) == offsetof(LOGFONTW, lfFaceName));
  std::memcpy(&wide, &font, offsetof(LOGFONTA, lfFaceName));
  std::wstring face = fw::WideFromGbk(font.lfFaceName, static_cast<int>(strnlen(font.lfFaceName, LF_FACESIZE)));
  face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
  std::memset(wide.lfFaceName, 0, sizeof wide.lfFaceName);
  std::memcpy(wide.lfFaceName, face.data(), face.size() * sizeof(wchar_t));
  return wide;
}

LOGFONTA GbkLogFont(const LOGFONTW& font) {
  LOGFONTA narrow;
  std::memcpy(&narrow, &font, offsetof(LOGFONTW, lfFaceName));
  std::string face = fw::GbkFromWide(font.lfFaceName, static_cast<int>(wcsnlen(font.lfFaceName, LF_FACESIZE)));
  std::memset(narrow.lfFaceName, 0, sizeof narrow.lfFaceName);
  std::memcpy(narrow.lfFaceName, face.data(), std::min<size_t>(face.size(), LF_FACESIZE - 1));
  return narrow;
}

HFONT UnitDefaultFont() {
  static const HFONT font = [] {
    HFONT stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW lf;
    if (GetObjectW(stock, sizeof lf, &lf) != sizeof lf || lf.lfCharSet == GB2312_CHARSET) return stock;
    lf.lfCharSet = GB2312_CHARSET;  // the stock font names the system locale's set
    HFONT made = CreateFontIndirectW(&lf);
    return made ? made : stock;
  }();
  return font;
}

void ApplyUnitFont(fw::Window control, const std::vector<uint8_t>& logFont, fw::ScopedFont& font) {
  fw::ScopedFont made(logFont.size() == kLogFontSize ? MakeUnitFont(logFont.data()) : nullptr);
  HGDIOBJ shown = made ? static_cast<HGDIOBJ>(made.Get()) : UnitDefaultFont();
  control.Send(WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
  font = std::move(made);
}

// Selection positions count characters; the text is taken wide and the range converted back
// to GBK, so two-byte characters are never split.
std::string CharacterRange(HWND hwnd, uint32_t start, uint32_t end) {
  int length = GetWindowTextLengthW(hwnd);
  if (length <= 0 || start >= end) return std::string();
  std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(hwnd, wide.data(), length + 1);
  wide.resize(got > 0 ? static_cast<size_t>(got) : 0);
  if (start >= wide.size()) return std::string();
  if (end > wide.size()) end = static_cast<uint32_t>(wide.size());
  return fw::GbkFromWide(wide.data() + start, static_cast<int>(end - start));
}

// A null answer keeps the text.
void VisitText(std::string& text, UnitTextVisitorCallback visitor, void* user) {
  if (visitor == nullptr) return;
  if (const char* replacement = visitor(text.c_str(), user)) text = replacement;
}

// The face name sits at its LOGFONTA offset; a replacement is cut to 31 bytes.
void VisitFontFace(std::vector<uint8_t>& font, UnitTextVisitorCallback visitor, void* user) {
  if (visitor == nullptr || font.size() != kLogFontSize) return;
  constexpr size_t kFace = offsetof(LOGFONTA, lfFaceName);
  char face[LF_FACESIZE] = {};
  std::memcpy(face, font.data() + kFace, LF_FACESIZE - 1);
  const char* replacement = visitor(face, user);
  if (replacement == nullptr) return;
  std::memset(font.data() + kFace, 0, LF_FACESIZE);
  std::memcpy(font.data() + kFace, replacement, strnlen(replacement, LF_FACESIZE - 1));
}

#ifdef FORMS_HAVE_RUNTIME_VALUES
std::string SingleText(float value) { return rt::FloatToText(value); }
std::string DoubleText(double value) { return rt::DoubleToText(value); }
bool ParseDateTime(const std::string& text, double* value) { return rt::TextToDateTime(text.c_str(), value); }
std::string DateTimeText(double value) { return rt::DateTimeToText(value); }
#else
// Until the runtime's value conversions are linked in: shortest round-trip decimal forms.
std::string SingleText(float value) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.7g", static_cast<double>(value));
  return buffer;
}
std::string DoubleText(double value) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}
bool ParseDateTime(const std::string&, double*) { return false; }
std::string DateTimeText(double) { return std::string(); }
#endif

}  // namespace forms
