// The button unit: creation with caption or picture, properties, click and default button.
#include "forms/button.h"

#include <algorithm>

#include "forms/unit_support.h"

namespace forms {
namespace {

constexpr DWORD kAlignMask = BS_LEFT | BS_RIGHT | BS_CENTER | BS_TOP | BS_BOTTOM | BS_VCENTER;

}  // namespace

// BS_LEFT / BS_CENTER / BS_RIGHT and BS_TOP / BS_VCENTER / BS_BOTTOM for the two choices,
// each clamped to 0..2 first.
DWORD ButtonAlignStyle(int32_t hAlign, int32_t vAlign) {
  static constexpr DWORD kH[3] = {BS_LEFT, BS_CENTER, BS_RIGHT};
  static constexpr DWORD kV[3] = {BS_TOP, BS_VCENTER, BS_BOTTOM};
  return kH[std::clamp(hAlign, 0, 2)] | kV[std::clamp(vAlign, 0, 2)];
}

// Fields in stored order. Versions 0 and 1 read alike; a font block that is not a whole
// LOGFONTA counts as no font.
bool ButtonProperties::Serialize(PropertyStream& s) {
  uint32_t version = kMaxVersion;
  if (!s.VersionField(version, kMaxVersion)) return false;
  s.Fields(buttonType, hAlign, vAlign, picture, font, caption);
  if (font.size() != kLogFontSize) font.clear();
  return true;
}

// Operation 1. A picture that cannot be decoded is dropped and the caption shows instead.
Button* Button::Create(const UnitCreateArgs& a) {
  auto* button = NewUnit<Button>(a);
  if (!button) return nullptr;
  const ButtonProperties& p = button->props_;
  DWORD s = a.style | WS_CHILD | WS_CLIPSIBLINGS | BS_MULTILINE | ButtonAlignStyle(p.hAlign, p.vAlign);
  s |= p.buttonType == 1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  Picture& picture = button->picture_;
  if (!p.picture.empty()) {
    picture = DecodePicture(p.picture.data(), static_cast<uint32_t>(p.picture.size()));
    if (picture.kind == PictureKind::kIcon) s |= BS_ICON;
    if (picture.kind == PictureKind::kBitmap) s |= BS_BITMAP;
  }
  if (!button->fw::WindowObject::Create(0, "BUTTON", p.caption.c_str(), s, a.left, a.top, a.width, a.height,
                                        a.parent, reinterpret_cast<HMENU>(static_cast<uintptr_t>(a.controlId)))) {
    button->DiscardUnbuilt();
    return nullptr;
  }
  ApplyUnitFont(*button, p.font, button->font_);
  if (picture.kind == PictureKind::kIcon)
    button->Send(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(picture.icon.Get()));
  if (picture.kind == PictureKind::kBitmap)
    button->Send(BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.bitmap.Get()));
  return button;
}

// Replaces the style bits under `mask`. BM_SETSTYLE keeps the button's own idea of its type
// (default or not) in step with the window style, and repaints.
void Button::ApplyStyleBits(DWORD mask, DWORD bits) {
  DWORD style = (static_cast<DWORD>(Style()) & ~mask) | bits;
  if (mask & BS_TYPEMASK) Send(BM_SETSTYLE, style & 0xFFFF, TRUE);
  SetWindowLongA(hwnd_, GWL_STYLE, static_cast<LONG>(style));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

bool Button::IsDefault() const {
  return IsWindow() && (static_cast<DWORD>(Style()) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// The click arrives as the reflected BN_CLICKED; the focus events follow the system's own
// handling so that the handler sees the focus already moved.
LRESULT Button::UnitProc(UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case kReflectCommand: return OnReflectedCommand(HIWORD(wParam));
    case WM_SETFOCUS: return OnSetFocus();
    case WM_KILLFOCUS: return OnKillFocus();
    default: return Default();
  }
}

LRESULT Button::OnReflectedCommand(WORD code) {
  if (code == BN_CLICKED) Click();
  return 0;
}

LRESULT Button::OnSetFocus() {
  LRESULT result = Default();
  Raise(kEventGotFocus);
  return result;
}

LRESULT Button::OnKillFocus() {
  LRESULT result = Default();
  Raise(kEventLostFocus);
  return result;
}

// Class-form values: blocks as (pointer, length) of the stored bytes, the caption as the
// stored text (not the window text), the choices as stored.
bool Button::ReadProperty(int32_t index, UnitValue* v) {
  switch (index) {
    case kButtonPicture: PutBlock(v, props_.picture); return true;
    case kButtonType: PutWord(v, props_.buttonType); return true;
    case kButtonCaption: PutText(v, props_.caption); return true;
    case kButtonHalign: PutWord(v, props_.hAlign); return true;
    case kButtonValign: PutWord(v, props_.vAlign); return true;
    case kButtonFont: PutBlock(v, props_.font); return true;
    default: return false;
  }
}

// True when the button must be re-created (a new picture is decoded only at creation).
bool Button::WriteProperty(int32_t index, const UnitValue& v) {
  if (!IsWindow()) return false;
  int32_t w = static_cast<int32_t>(v.first);
  switch (index) {
    case kButtonPicture: props_.picture = BlockOf(v); return true;
    case kButtonType:
      props_.buttonType = std::clamp(w, 0, 1);
      ApplyStyleBits(BS_TYPEMASK, props_.buttonType == 1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      break;
    case kButtonCaption:
      props_.caption = TextOf(v);
      SetText(props_.caption.c_str());
      break;
    case kButtonHalign:
    case kButtonValign:
      (index == kButtonHalign ? props_.hAlign : props_.vAlign) = std::clamp(w, 0, 2);
      ApplyStyleBits(kAlignMask, ButtonAlignStyle(props_.hAlign, props_.vAlign));
      break;
    case kButtonFont:
      props_.font = FontOf(v);
      ApplyUnitFont(*this, props_.font, font_);
      break;
    default: break;
  }
  return false;
}

// Operation 9: the caption and the font's face name.
HGLOBAL Button::VisitTexts(const void* block, int32_t length, UnitTextVisitorCallback visitor, void* user) {
  ButtonProperties props;
  if (visitor == nullptr || !LoadPropertyRecord(props, block, length)) return nullptr;
  VisitText(props.caption, visitor, user);
  VisitFontFace(props.font, visitor, user);
  return SavePropertyRecord(props);
}

namespace {

// Value types of the button's own properties: 8 Picture, 9 ButtonType, 10 Caption, 11 HAlign,
// 12 VAlign, 13 Font.
constexpr uint16_t kOwnTypes[] = {kPropTypePicture, kPropTypeChoice, kPropTypeText,
                                  kPropTypeChoice,  kPropTypeChoice, kPropTypeFont};
static_assert(std::size(kOwnTypes) == kButtonClassProperties);
constexpr auto kProperties = WithCommonProperties(kOwnTypes);

}  // namespace

static_assert(UnitOperations<Button>::ProvidesExactly(
    {kUnitOpCreate, kUnitOpWrite, kUnitOpSave, kUnitOpRead, kUnitOpTextVisitor, kUnitOpIsDefault}));
constinit const UnitClassInfo kButtonClass = MakeUnitClass<Button>("按钮", "Button", kButtonClassFlags, kProperties);

}  // namespace forms
