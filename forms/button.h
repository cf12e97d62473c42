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
#include "forms/unit_operations.h"
#include "framework/scoped_handle.h"
#include "runtime/interface/unit_records.h"

namespace forms {

// The class record the core library's data-type table holds for class 11.
extern const UnitClassInfo kButtonClass;

// Class indexes (property number - 8).
enum ButtonProperty : int32_t {
  kButtonPicture = 0, kButtonType, kButtonCaption, kButtonHalign, kButtonValign, kButtonFont,
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

class Button : public RecordUnit<ButtonProperties> {
 public:
  explicit Button(const UnitCreateArgs& args) : RecordUnit(args) {}
  // Raises the click event (Enter key and mnemonics use this as well as the control).
  void Click() { Raise(0); }
  PictureKind ShownPicture() const { return picture_.kind; }

  // Unit operations (UnitOperations<Button>): 1 create, 4 write, 5 save (the record's), 6 read,
  // 9 text visitor, and 10: a default button is one whose style type is BS_DEFPUSHBUTTON.
  static Button* Create(const UnitCreateArgs& args);
  bool WriteProperty(int32_t index, const UnitValue& value);
  bool ReadProperty(int32_t index, UnitValue* value);
  static HGLOBAL VisitTexts(const void* block, int32_t length, UnitTextVisitorCallback visitor, void* user);
  bool IsDefault() const;

 protected:
  LRESULT UnitProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void ApplyStyleBits(DWORD mask, DWORD bits);
  // Handlers of UnitProc, one per message.
  LRESULT OnReflectedCommand(WORD code);
  LRESULT OnSetFocus();
  LRESULT OnKillFocus();

  fw::ScopedFont font_;
  Picture picture_;
};

// Style bits of the alignment choices.
DWORD ButtonAlignStyle(int32_t hAlign, int32_t vAlign);

}  // namespace forms
