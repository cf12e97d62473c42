// The button unit: creation with caption or picture, properties, click and default button.
#include "forms/button.h"

#include "forms/unit_support.h"

namespace forms {
namespace {

int32_t Clamp(int32_t v, int32_t low, int32_t high) { return v < low ? low : v > high ? high : v; }

constexpr DWORD kAlignMask = BS_LEFT | BS_RIGHT | BS_CENTER | BS_TOP | BS_BOTTOM | BS_VCENTER;

}  // namespace

// BS_LEFT / BS_CENTER / BS_RIGHT and BS_TOP / BS_VCENTER / BS_BOTTOM for the two choices,
// each clamped to 0..2 first.
DWORD ButtonAlignStyle(int32_t hAlign, int32_t vAlign) {
  static constexpr DWORD kH[3] = {BS_LEFT, BS_CENTER, BS_RIGHT};
  static constexpr DWORD kV[3] = {BS_TOP, BS_VCENTER, BS_BOTTOM};
  return kH[Clamp(hAlign, 0, 2)] | kV[Clamp(vAlign, 0, 2)];
}

// Fields in stored order. Versions 0 and 1 read alike; a font block that is not a whole
// LOGFONTA counts as no font.
bool ButtonProperties::Serialize(PropertyStream& s) {
  uint32_t version = kMaxVersion;
  if (!s.VersionField(version, kMaxVersion)) return false;
  s.Word(buttonType);
  s.Word(hAlign);
  s.Word(vAlign);
  s.Block(picture);
  s.Block(font);
  s.Text(caption);
  if (font.size() != kLogFontSize) font.clear();
  return true;
}

// The font and the decoded picture belong to the object; the system window is gone by now.
Button::~Button() {
  if (font_) DeleteObject(font_);
  FreePicture(picture_);
}

// Operation 1. A picture that cannot be decoded is dropped and the caption shows instead.
void* __cdecl Button::Create(const void* block, int32_t length, uint32_t style, void* parent,
                             uint32_t controlId, void*, int32_t left, int32_t top, int32_t width,
                             int32_t height, int32_t windowId, int32_t unitId, uint32_t, uint32_t) {
  auto* button = new Button(windowId, unitId);
  if (!LoadPropertyRecord(button->props_, block, length)) {
    delete button;
    return nullptr;
  }
  const ButtonProperties& p = button->props_;
  DWORD s = style | WS_CHILD | WS_CLIPSIBLINGS | BS_MULTILINE | ButtonAlignStyle(p.hAlign, p.vAlign);
  s |= p.buttonType == 1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  if (!p.picture.empty()) {
    button->picture_ = DecodePicture(p.picture.data(), static_cast<uint32_t>(p.picture.size()));
    if (button->picture_.kind == PictureKind::Icon) s |= BS_ICON;
    if (button->picture_.kind == PictureKind::Bitmap) s |= BS_BITMAP;
  }
  if (!button->fw::WindowObject::Create(0, "BUTTON", p.caption.c_str(), s, left, top, width, height,
                                        static_cast<HWND>(parent),
                                        reinterpret_cast<HMENU>(static_cast<uintptr_t>(controlId)))) {
    button->DiscardUnbuilt();
    return nullptr;
  }
  button->ApplyFont();
  if (button->picture_.kind == PictureKind::Icon)
    button->Send(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(button->picture_.icon));
  if (button->picture_.kind == PictureKind::Bitmap)
    button->Send(BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(button->picture_.bitmap));
  return static_cast<fw::WindowObject*>(button);
}

// Makes the stored font (or takes DEFAULT_GUI_FONT) and hands it to the control; the old
// font is deleted only after the control has the new one.
void Button::ApplyFont() {
  HFONT old = font_;
  font_ = props_.font.size() == kLogFontSize ? MakeUnitFont(props_.font.data()) : nullptr;
  Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  if (old) DeleteObject(old);
}

// Replaces the style bits under `mask`. BM_SETSTYLE keeps the button's own idea of its type
// (default or not) in step with the window style, and repaints.
void Button::ApplyStyleBits(DWORD mask, DWORD bits) {
  DWORD style = (static_cast<DWORD>(Style()) & ~mask) | bits;
  if (mask & BS_TYPEMASK) Send(BM_SETSTYLE, style & 0xFFFF, TRUE);
  SetWindowLongA(hwnd_, GWL_STYLE, static_cast<LONG>(style));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

// A default button is one whose style type is BS_DEFPUSHBUTTON (operation 10 asks this).
bool Button::IsDefault() const {
  return IsWindow() && (static_cast<DWORD>(Style()) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// The click arrives as the reflected BN_CLICKED; the focus events follow the system's own
// handling so that the handler sees the focus already moved.
LRESULT Button::UnitProc(UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case kReflectCommand:
      if (HIWORD(wParam) == BN_CLICKED) Click();
      return 0;
    case WM_SETFOCUS: {
      LRESULT r = Default();
      Raise(EVENT_GOT_FOCUS);
      return r;
    }
    case WM_KILLFOCUS: {
      LRESULT r = Default();
      Raise(EVENT_LOST_FOCUS);
      return r;
    }
    default:
      return Default();
  }
}

// Class-form values: blocks as (pointer, length) of the stored bytes, the caption as the
// stored text (not the window text), the choices as stored.
bool Button::Read(int32_t index, UnitValue* v) {
  switch (index) {
    case BUTTON_PICTURE:
      if (!props_.picture.empty()) {
        v->first = reinterpret_cast<uint32_t>(props_.picture.data());
        v->second = static_cast<uint32_t>(props_.picture.size());
      }
      return true;
    case BUTTON_TYPE: v->first = static_cast<uint32_t>(props_.buttonType); return true;
    case BUTTON_CAPTION: v->first = reinterpret_cast<uint32_t>(props_.caption.c_str()); return true;
    case BUTTON_HALIGN: v->first = static_cast<uint32_t>(props_.hAlign); return true;
    case BUTTON_VALIGN: v->first = static_cast<uint32_t>(props_.vAlign); return true;
    case BUTTON_FONT:
      if (props_.font.size() == kLogFontSize) {
        v->first = reinterpret_cast<uint32_t>(props_.font.data());
        v->second = kLogFontSize;
      }
      return true;
    default: return false;
  }
}

// True when the button must be re-created (a new picture is decoded only at creation).
bool Button::Write(int32_t index, const UnitValue& v) {
  int32_t w = static_cast<int32_t>(v.first);
  const auto* bytes = reinterpret_cast<const uint8_t*>(v.first);
  switch (index) {
    case BUTTON_PICTURE:
      if (bytes && v.second > 0) props_.picture.assign(bytes, bytes + v.second);
      else props_.picture.clear();
      return true;
    case BUTTON_TYPE:
      props_.buttonType = Clamp(w, 0, 1);
      ApplyStyleBits(BS_TYPEMASK, props_.buttonType == 1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      return false;
    case BUTTON_CAPTION: {
      const char* text = reinterpret_cast<const char*>(v.first);
      props_.caption = text ? text : "";
      SetText(props_.caption.c_str());
      return false;
    }
    case BUTTON_HALIGN:
    case BUTTON_VALIGN:
      (index == BUTTON_HALIGN ? props_.hAlign : props_.vAlign) = Clamp(w, 0, 2);
      ApplyStyleBits(kAlignMask, ButtonAlignStyle(props_.hAlign, props_.vAlign));
      return false;
    case BUTTON_FONT:
      if (bytes && v.second == kLogFontSize) props_.font.assign(bytes, bytes + kLogFontSize);
      else props_.font.clear();
      ApplyFont();
      return false;
    default: return false;
  }
}

// Operation 4: 1 when the button must be re-created in place (a new picture).
int32_t __cdecl Button::WriteOp(void* object, int32_t index, const UnitValue* value, int32_t* out) {
  if (out) *out = 0;
  auto* button = static_cast<Button*>(static_cast<fw::WindowObject*>(object));
  if (button == nullptr || value == nullptr || !button->IsWindow()) return 0;
  return button->Write(index, *value) ? 1 : 0;
}

// Operation 6: 1 when the class index is known.
int32_t __cdecl Button::ReadOp(void* object, int32_t index, UnitValue* value) {
  auto* button = static_cast<Button*>(static_cast<fw::WindowObject*>(object));
  if (button == nullptr || value == nullptr) return 0;
  return button->Read(index, value) ? 1 : 0;
}

// Operation 5: the current properties as a PropertyBlock in movable global memory.
void* __cdecl Button::SaveOp(void* object) {
  auto* button = static_cast<Button*>(static_cast<fw::WindowObject*>(object));
  if (button == nullptr) return nullptr;
  uint32_t length = 0;
  return SavePropertyRecord(button->props_, &length);
}

// Operation 10.
int32_t __cdecl Button::IsDefaultOp(void* object) {
  auto* button = static_cast<Button*>(static_cast<fw::WindowObject*>(object));
  return button != nullptr && button->IsDefault() ? 1 : 0;
}

// Operation 9: the caption and the font's face name.
void* __cdecl Button::TextVisitorOp(const void* block, int32_t length, UnitTextVisitorCallback visitor,
                                    void* user) {
  ButtonProperties props;
  if (visitor == nullptr || !LoadPropertyRecord(props, block, length)) return nullptr;
  VisitText(props.caption, visitor, user);
  VisitFontFace(props.font, visitor, user);
  uint32_t size = 0;
  return SavePropertyRecord(props, &size);
}

namespace {

// Operation entries by code; the class lacks 2, 3, 7, 8 and 11.
void* __cdecl ButtonInterface(int32_t op) {
  static void* const kOps[12] = {
      nullptr,
      reinterpret_cast<void*>(&Button::Create),
      nullptr,
      nullptr,
      reinterpret_cast<void*>(&Button::WriteOp),
      reinterpret_cast<void*>(&Button::SaveOp),
      reinterpret_cast<void*>(&Button::ReadOp),
      nullptr,
      nullptr,
      reinterpret_cast<void*>(&Button::TextVisitorOp),
      reinterpret_cast<void*>(&Button::IsDefaultOp),
      nullptr,
  };
  return op >= 0 && op < 12 ? kOps[op] : nullptr;
}

constexpr PropertyInfo Prop(uint16_t type) { return {nullptr, nullptr, nullptr, type, 0, nullptr}; }

constexpr PropertyInfo kButtonProperties[int{kCommonPropertyCount} + int{kButtonClassProperties}] = {
    kCommonPropertyInfos[0], kCommonPropertyInfos[1], kCommonPropertyInfos[2],
    kCommonPropertyInfos[3], kCommonPropertyInfos[4], kCommonPropertyInfos[5],
    kCommonPropertyInfos[6], kCommonPropertyInfos[7],
    Prop(PROP_TYPE_PICTURE),   // 8 Picture
    Prop(PROP_TYPE_CHOICE),    // 9 ButtonType
    Prop(PROP_TYPE_TEXT),      // 10 Caption
    Prop(PROP_TYPE_CHOICE),    // 11 HAlign
    Prop(PROP_TYPE_CHOICE),    // 12 VAlign
    Prop(PROP_TYPE_FONT),      // 13 Font
};
static_assert(sizeof kButtonProperties / sizeof *kButtonProperties == 14);

}  // namespace

const UnitClassInfo kButtonClass = {
    "按钮", "Button", {0, 0, 0}, kButtonClassFlags, {0, 0, 0},
    14, kButtonProperties, &ButtonInterface, {0, 0}};

}  // namespace forms
