// The edit box unit (编辑框, class 5 of the core library): the system "EDIT" control with
// border styles, colours, a font, numeric input modes and an optional up-down control.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "forms/event_dispatch.h"
#include "forms/unit_class.h"
#include "forms/unit_operations.h"
#include "framework/scoped_handle.h"
#include "runtime/interface/unit_records.h"

namespace forms {

// The class record the core library's data-type table holds for class 5.
extern const UnitClassInfo kEditBoxClass;

// Class indexes (property number - 8).
enum EditBoxProperty : int32_t {
  kEditContent = 0, kEditBorder, kEditTextColor, kEditBackColor, kEditFont, kEditHideSel,
  kEditMaxLength, kEditMultiLine, kEditScrollBars, kEditAlign, kEditInputMode,
  kEditPasswordChar, kEditCase, kEditSpinMode, kEditSpinMin, kEditSpinMax, kEditSelStart,
  kEditSelLength, kEditSelText, kEditDataSource, kEditDataColumn,
  kEditBoxClassProperties
};

// The edit box's own properties as its PropertyBlock stores them (maximum version 2).
struct EditBoxProperties : PropertyRecord {
  static constexpr uint32_t kMaxVersion = 2;
  int32_t border = 1;                  // 0..5
  uint32_t textColor = 0;              // COLORREF
  uint32_t backColor = 0xFFFFFF;       // COLORREF; 0xFF000000 = button face
  std::vector<uint8_t> font;           // empty or a 60-byte LOGFONTA
  int32_t hideSel = 1;                 // logical, 0 / 1
  int32_t maxLength = 0;               // 0 = the system's limit
  int32_t multiLine = 0;               // logical, 0 / 1
  int32_t scrollBars = 0;              // 0..3
  int32_t align = 0;                   // 0..2
  int32_t inputMode = 0;               // 0..11
  uint16_t passwordChar = '*';
  int32_t caseConversion = 0;          // 0..2
  int32_t spinMode = 0;                // 0..2
  int32_t spinMin = 0;
  int32_t spinMax = 100;
  int32_t selStart = 0;
  int32_t selLength = 0;
  std::string content;
  std::string dataSource;
  std::string dataColumn;

  void Reset() override { *this = EditBoxProperties(); }
  // Fields in stored order; the two data-binding names exist from version 2 on.
  bool Serialize(PropertyStream& stream) override;
};

// Decides whether a typed character passes the input mode's filter.
bool EditCharAllowed(int32_t inputMode, uint32_t character);
// The text an input mode makes of `text` when the box loses the focus.
std::string NormaliseEditText(int32_t inputMode, const std::string& text);
// One up-down step with wrap-around: the text read as an integer, +1 or -1, and a result
// outside [low, high] becomes the other end.
int32_t StepSpinValue(const std::string& text, int32_t direction, int32_t low, int32_t high);
// The end of a selection of `length` from `start`, saturated at the 32-bit limits.
int32_t SelectionEnd(int32_t start, int32_t length);

class EditBox : public RecordUnit<EditBoxProperties> {
 public:
  explicit EditBox(const UnitCreateArgs& args) : RecordUnit(args) {}
  // The attached up-down control (a sibling window), or null.
  HWND UpDown() const { return upDown_; }

  // Unit operations (UnitOperations<EditBox>): 1 create, 4 write, 5 save (the live text and
  // selection first), 6 read, 8 claims key, 9 text visitor.
  static EditBox* Create(const UnitCreateArgs& args);
  bool WriteProperty(int32_t index, const UnitValue& value);
  HGLOBAL SaveProperties();
  bool ReadProperty(int32_t index, UnitValue* value);
  bool ClaimsKey(int32_t key) const;
  static HGLOBAL VisitTexts(const void* block, int32_t length, UnitTextVisitorCallback visitor, void* user);

 protected:
  LRESULT UnitProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  bool WriteCreationProperty(int32_t index, int32_t value, bool* recreate);
  std::string LiveText() const;
  std::string PasswordText() const;
  void SetTextQuietly(const std::string& text);
  void SetSelStart(int32_t start);
  void SetSelLength(int32_t length);
  void ApplyInputMode();
  void ApplyPasswordChar(const std::string& text);
  void ApplyMinimumHeight();
  void ApplyBorder();
  void RemakeBrush();
  void CreateUpDown(HWND parent, uint32_t controlId);
  std::pair<int32_t, int32_t> SpinRange() const;
  void ApplySpinRange();
  void PlaceUpDown();
  void OnSpin(int32_t direction);
  void Normalise();
  // Handlers of UnitProc, one per message.
  LRESULT OnChar(uint32_t character);
  LRESULT OnSetFocus();
  LRESULT OnKillFocus();
  LRESULT OnReflectedCommand(WORD code);
  LRESULT OnReflectedNotify(NMHDR* header);
  LRESULT OnCtlColor(HDC dc);
  LRESULT OnEraseBkgnd(HDC dc);
  LRESULT OnWindowPosChanged();
  LRESULT OnShowWindow(bool shown, UINT status);
  LRESULT OnEnable(bool enabled);
  LRESULT OnDestroy();

  fw::ScopedBrush brush_;
  fw::ScopedFont font_;         // made from props_.font; empty with DEFAULT_GUI_FONT
  HWND upDown_ = nullptr;       // a sibling window, destroyed with the box
  bool quiet_ = false;          // the runtime itself is setting the text: no event 0
};

}  // namespace forms
