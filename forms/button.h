// The button unit (按钮, class 11 of the core library): the system "BUTTON" push button with a
// caption or a picture. Its one class event is the click (event 0).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "forms/event_dispatch.h"
#include "forms/picture.h"
#include "forms/unit_class.h"
#include "runtime/interface/unit_records.h"

namespace forms {

// The class record the core library's data-type table holds for class 11.
extern const UnitClassInfo kButtonClass;

// Class indexes (property number - 8).
enum ButtonProperty : int32_t {
  BUTTON_PICTURE = 0, BUTTON_TYPE, BUTTON_CAPTION, BUTTON_HALIGN, BUTTON_VALIGN, BUTTON_FONT,
  kButtonClassProperties
};

// The button's own properties as its PropertyBlock stores them (maximum version 1).
struct ButtonProperties : PropertyRecord {
  static constexpr uint32_t kMaxVersion = 1;
  std::vector<uint8_t> picture;
  int32_t buttonType = 0;           // 0 normal, 1 default button
  std::string caption = "按钮";
  int32_t hAlign = 1;               // 0 left, 1 centre, 2 right
  int32_t vAlign = 1;               // 0 top, 1 centre, 2 bottom
  std::vector<uint8_t> font;        // empty or a 60-byte LOGFONTA

  void Reset() override { *this = ButtonProperties(); }
  bool Serialize(PropertyStream& stream) override;
};

class Button : public UnitObject {
 public:
  static void* __cdecl Create(const void* block, int32_t length, uint32_t style, void* parent,
                              uint32_t controlId, void* menu, int32_t left, int32_t top,
                              int32_t width, int32_t height, int32_t windowId, int32_t unitId,
                              uint32_t classWord1, uint32_t classWord2);
  static int32_t __cdecl WriteOp(void* object, int32_t index, const UnitValue* value, int32_t* out);
  static void* __cdecl SaveOp(void* object);
  static int32_t __cdecl ReadOp(void* object, int32_t index, UnitValue* value);
  static int32_t __cdecl IsDefaultOp(void* object);
  static void* __cdecl TextVisitorOp(const void* block, int32_t length,
                                     UnitTextVisitorCallback visitor, void* user);

  // Raises the click event (Enter key and mnemonics use this as well as the control).
  void Click() { Raise(0); }
  bool IsDefault() const;
  const ButtonProperties& Properties() const { return props_; }
  PictureKind ShownPicture() const { return picture_.kind; }

 protected:
  LRESULT UnitProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  Button(int32_t windowId, int32_t unitId) : UnitObject(windowId, unitId) {}
  ~Button() override;

  bool Write(int32_t index, const UnitValue& value);
  bool Read(int32_t index, UnitValue* value);
  void ApplyFont();
  void ApplyStyleBits(DWORD mask, DWORD bits);

  ButtonProperties props_;
  HFONT font_ = nullptr;
  Picture picture_;
};

// Style bits of the alignment choices.
DWORD ButtonAlignStyle(int32_t hAlign, int32_t vAlign);

}  // namespace forms
