// The rich edit box unit (超级编辑框 / RichEdit), class 6 of the extended interface library.
//
// The unit object owns a system rich edit control ("RichEdit20A", or "RICHEDIT" where only the
// older DLL exists), keeps the box's stored properties, turns the control's notifications into
// unit events, and streams texts in and out of the control in plain text or RTF.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <cstdint>
#include <string>

#include "extui/char_format.h"
#include "extui/rich_edit_props.h"
#include "forms/unit_operations.h"
#include "framework/window.h"

namespace extui {

// Type number of the rich edit box: library 2, class 6.
inline constexpr uint32_t kRichEditType = 0x00020006;
// The runtime's private message asking a window for its unit object.
inline constexpr UINT kMsgQueryUnitObject = 0x8002;
// Notifications the form window hands back to the control that sent them: the message number
// plus this base, with the same wParam and lParam; the answer goes back to the control.
inline constexpr UINT kReflectBase = 0x2000;
// The event mask the box runs with: changes, scrolling, selection changes and protection.
inline constexpr LPARAM kRichEditEventMask = ENM_CHANGE | ENM_SCROLL | ENM_SELCHANGE | ENM_PROTECTED;
static_assert(kRichEditEventMask == 0x280005);

// Class-relative property indexes (property number - 8).
enum RichEditProperty : int32_t {
  kPropContextType = 0,
  kPropContent,
  kPropBorder,
  kPropBackColor,
  kPropAllowMultiLines,
  kPropAutoNextLine,
  kPropReadOnly,
  kPropHideSel,
  kPropMaxAllowLength,
  kPropSelStart,
  kPropSelLength,
  kPropSelText,
  kPropModified,
  kRichEditClassPropertyCount
};
static_assert(kRichEditClassPropertyCount == 13);

// Unit events.
enum RichEditEvent : int32_t {
  kEventChanged = 0,
  kEventSelChanged = 1,
  kEventGotFocus = -7,
  kEventLostFocus = -8,
};

class RichEditUnit : public fw::WindowObject {
 public:
  // Applies a character format to the current selection (or the insertion point).
  void ApplyCharFormat(const CharFormat& value);

  const RichEditProps& Props() const { return props_; }
  int32_t WindowId() const { return windowId_; }
  int32_t UnitId() const { return unitId_; }

  // The one protection rule of the box: a change to protected text is refused (nonzero)
  // unless it is a character-format change.
  static LRESULT ProtectedAnswer(UINT message) { return message == EM_SETCHARFORMAT ? 0 : 1; }

  // Whether this platform's control refuses edits of protected text by itself (asking its
  // parent with EN_PROTECTED). Measured once per process with a hidden probe control; where it
  // does not, the unit filters the edits itself.
  static bool SystemEnforcesProtection();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void PostNcDestroy() override;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnSetRedraw(bool redraw);

 private:
  friend class forms::UnitOperations<RichEditUnit>;
  RichEditUnit() = default;

  // Operations 1, 2, 4, 5, 6, 8 and 9 (forms::UnitOperations).
  // Creates the unit and its control; null when neither rich edit DLL nor window class can be
  // had, or the PropertyBlock is refused. The second class word is the design flag.
  static RichEditUnit* Create(const forms::UnitCreateArgs& args);
  // Question 5 asks whether the box is multi-line; every other question is answered yes.
  int32_t Query(int32_t question) const { return question == 5 ? props_.allowMultiLines : 1; }
  // True when the window must be re-created for the change.
  bool WriteProperty(int32_t index, const UnitValue& value);
  // The current PropertyBlock. A live box first takes its content and selection from the
  // control, so that a box re-created from the block shows what the old one showed.
  HGLOBAL SaveProperties();
  // An int32, or the address of a text the unit owns; false for an unknown index.
  bool ReadProperty(int32_t index, UnitValue* value);
  // Enter stays in a multi-line box.
  bool ClaimsKey(int32_t key) const { return key == VK_RETURN && props_.allowMultiLines == 1; }
  // The box's one text is its content; the visitor may replace it, and the block comes back
  // saved again (null for a block that cannot be read).
  static HGLOBAL VisitTexts(const void* block, int32_t length, UnitTextVisitorCallback visitor, void* user);

  // One message to the control; 0 once its window is gone.
  LRESULT Control(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return hwnd_ ? ::SendMessageW(hwnd_, msg, wParam, lParam) : 0;
  }

  // Whole-content and selection streaming in the ContextType format.
  int StreamFormat() const { return props_.contextType == 1 ? SF_RTF : SF_TEXT; }
  std::string StreamOut(int format);
  void StreamIn(const std::string& bytes, int format);

  void SetSelection(int32_t start, int32_t length);
  void ApplyBorder();
  void ApplyBackColor();
  void ApplyDefaultFormat();

  // The window text in UTF-16 from the control's own UTF-16 text, never through the ANSI code
  // page of the control's narrow class.
  LRESULT OnGetText(WPARAM size, wchar_t* buffer);
  LRESULT OnGetTextLength();
  LRESULT OnSetText(const wchar_t* text);

  LRESULT OnReflectedCommand(WORD code);
  LRESULT OnReflectedNotify(NMHDR* header);
  void RaiseEvent(int32_t event);

  // Self-enforced protection: true when the message would edit protected text and the box's
  // protection answer refuses it.
  LRESULT OnEditingMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  enum class EditKind { kNone, kInsert, kDeleteBack, kDeleteForward, kRemove };
  static EditKind EditKindOf(UINT msg, WPARAM wParam, LPARAM lParam);
  bool RefusesEdit(UINT msg, WPARAM wParam, LPARAM lParam);
  bool RangeIsProtected(LONG start, LONG end);

  RichEditProps props_;
  int32_t windowId_ = 0;
  int32_t unitId_ = 0;
  int32_t designFlag_ = 0;
  std::string selTextScratch_;  // the last SelText read, owned here
  bool probing_ = false;        // selection moved by the protection check: no events
};

}  // namespace extui
