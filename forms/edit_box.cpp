// The edit box unit: creation, properties, the up-down control, the typed-character filter
// and the normalisation of numeric input when the box loses the focus.
#include "forms/edit_box.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "forms/unit_support.h"

namespace forms {
namespace {

constexpr int kUpDownWidth = 18;   // pixels, to the right of the box

// Reads an integer the way the numeric modes do: leading blanks, a sign, digits; anything
// else ends the number. Saturates at the 64-bit range; no digits give 0.
int64_t ParseInteger(const std::string& text) {
  long long v = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int64_t>(v);
}

// Decimal text of a 64-bit integer.
std::string IntegerText(int64_t v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v));
  return buffer;
}

// The control's UTF-16 password character for the stored byte, read as code page 936 reads it.
WPARAM PasswordUnit(uint32_t stored) {
  char byte = static_cast<char>(stored & 0xFF);
  std::wstring wide = fw::WideFromGbk(&byte, 1);
  return byte == 0 || wide.empty() ? 0 : wide[0];
}

// Style bits of a box from its properties and the caller's bits (WS_DISABLED, WS_TABSTOP).
DWORD EditStyle(const EditBoxProperties& p, uint32_t callerStyle) {
  DWORD s = callerStyle | WS_CHILD | WS_CLIPSIBLINGS;
  if (!p.hideSel) s |= ES_NOHIDESEL;
  if (p.multiLine) {
    s |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    if (p.scrollBars == 1 || p.scrollBars == 3) s |= ES_AUTOHSCROLL | WS_HSCROLL;
    if (p.scrollBars == 2 || p.scrollBars == 3) s |= WS_VSCROLL;
  } else {
    s |= ES_AUTOHSCROLL;
  }
  if (p.align == 1) s |= ES_CENTER;
  if (p.align == 2) s |= ES_RIGHT;
  if (p.inputMode == 1) s |= ES_READONLY;
  if (p.inputMode == 2) s |= ES_PASSWORD;
  if (p.caseConversion == 1) s |= ES_LOWERCASE;
  if (p.caseConversion == 2) s |= ES_UPPERCASE;
  return s;
}

// Properties the control takes only at its creation: a changed value makes the runtime
// re-create the box. Logical ones store any non-zero value as 1; choices are clamped.
struct CreationProperty {
  int32_t index;
  int32_t EditBoxProperties::*field;
  bool logical;
  int32_t high;   // choices: 0..high
};
constexpr CreationProperty kCreationProperties[] = {
    {kEditHideSel, &EditBoxProperties::hideSel, true, 1},
    {kEditMultiLine, &EditBoxProperties::multiLine, true, 1},
    {kEditScrollBars, &EditBoxProperties::scrollBars, false, 3},
    {kEditAlign, &EditBoxProperties::align, false, 2},
    {kEditCase, &EditBoxProperties::caseConversion, false, 2},
    {kEditSpinMode, &EditBoxProperties::spinMode, false, 2},
};

}  // namespace

// Fields in stored order; the two data-binding names exist from version 2 on. Logical words
// travel as 0 / 1.
bool EditBoxProperties::Serialize(PropertyStream& s) {
  uint32_t version = kMaxVersion;
  if (!s.VersionField(version, kMaxVersion)) return false;
  s.Fields(border, textColor, backColor, Logical(hideSel), maxLength, Logical(multiLine), scrollBars, align,
           inputMode, passwordChar, caseConversion, spinMode, spinMin, spinMax, selStart, selLength, font, content);
  if (version >= 2) s.Fields(dataSource, dataColumn);
  // A font block that is not a whole LOGFONTA is no font at all.
  if (font.size() != kLogFontSize) font.clear();
  return true;
}

// Integer modes take "-" and digits, decimal modes also ".", the byte mode digits only;
// control characters (below 32) always pass so that editing keys keep working.
bool EditCharAllowed(int32_t mode, uint32_t c) {
  if (c < 32) return true;
  bool digit = c >= '0' && c <= '9';
  switch (mode) {
    case 3: case 6: case 7: case 8: return digit || c == '-';
    case 4: case 9: case 10: return digit || c == '-' || c == '.';
    case 5: return digit;
    default: return true;
  }
}

// The normal form of a numeric mode's text: integers clamped to the mode's range, decimals
// and date-times re-formatted by the runtime's conversions. "0" becomes the empty text in
// modes 5 to 10; text modes are left as typed.
std::string NormaliseEditText(int32_t mode, const std::string& text) {
  std::string result;
  switch (mode) {
    case 5: result = IntegerText(std::clamp<int64_t>(ParseInteger(text), 0, 255)); break;
    case 6: result = IntegerText(std::clamp<int64_t>(ParseInteger(text), -32768, 32767)); break;
    case 7: result = IntegerText(std::clamp<int64_t>(ParseInteger(text), INT32_MIN, INT32_MAX)); break;
    case 8: result = IntegerText(ParseInteger(text)); break;
    case 9: result = SingleText(static_cast<float>(std::strtod(text.c_str(), nullptr))); break;
    case 10: result = DoubleText(std::strtod(text.c_str(), nullptr)); break;
    case 11: {
      double when = 0;
      return ParseDateTime(text, &when) && when != 0 ? DateTimeText(when) : std::string();
    }
    default: return text;
  }
  return result == "0" ? std::string() : result;
}

// The number in the text (0 when there is none) plus or minus one; leaving the range wraps
// to the other end. A number of up to 19 digits saturates at the 64-bit ends; it is brought
// to just beyond the 32-bit range first, which keeps it outside every range after a step and
// the step itself far from overflowing.
int32_t StepSpinValue(const std::string& text, int32_t direction, int32_t low, int32_t high) {
  constexpr int64_t kBeyond = int64_t{1} << 32;
  int64_t v = std::clamp(ParseInteger(text), -kBeyond, kBeyond) + (direction > 0 ? 1 : -1);
  if (v > high) return low;
  if (v < low) return high;
  return static_cast<int32_t>(v);
}

// start + length, saturated at the 32-bit limits; the control clamps an end past the text.
int32_t SelectionEnd(int32_t start, int32_t length) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{start} + length, INT32_MIN, INT32_MAX));
}

// Operation 1. The caller's style bits carry WS_DISABLED and WS_TABSTOP; the box is shown
// later by the window load.
EditBox* EditBox::Create(const UnitCreateArgs& a) {
  auto* box = NewUnit<EditBox>(a);
  if (!box) return nullptr;
  const EditBoxProperties& p = box->props_;
  box->RemakeBrush();
  if (!box->fw::WindowObject::Create(0, "EDIT", p.content.c_str(), EditStyle(p, a.style), a.left, a.top, a.width,
                                     a.height, a.parent, reinterpret_cast<HMENU>(static_cast<uintptr_t>(a.controlId)))) {
    box->DiscardUnbuilt();
    return nullptr;
  }
  ApplyUnitFont(*box, p.font, box->font_);
  box->ApplyMinimumHeight();
  box->Send(EM_LIMITTEXT, static_cast<WPARAM>(p.maxLength > 0 ? p.maxLength : 0));
  if (p.inputMode == 2) box->Send(EM_SETPASSWORDCHAR, PasswordUnit(p.passwordChar));
  if (!p.multiLine && p.spinMode != 0) box->CreateUpDown(a.parent, a.controlId);
  box->Send(EM_SETSEL, static_cast<WPARAM>(p.selStart), SelectionEnd(p.selStart, p.selLength));
  box->Send(EM_SCROLLCARET);
  box->ApplyBorder();
  return box;
}

// The window text as GBK bytes, converted from the control's UTF-16 text with code page 936
// whatever the system's own code page is.
std::string EditBox::LiveText() const { return fw::GbkWindowText(hwnd_); }

// Sets the text without raising event 0 for the change notification it causes.
void EditBox::SetTextQuietly(const std::string& text) {
  quiet_ = true;
  SetText(text.c_str());
  quiet_ = false;
}

// A single-line box is at least one Chinese character plus the two edges tall.
void EditBox::ApplyMinimumHeight() {
  if (props_.multiLine) return;
  SIZE size{};
  {
    fw::WindowDc dc(hwnd_);
    fw::ScopedSelection font(dc.Get(), font_ ? font_.Get() : UnitDefaultFont());
    GetTextExtentPoint32W(dc.Get(), L"\u56FD", 1, &size);  // 国
  }
  int minimum = size.cy + 2 * GetSystemMetrics(SM_CYEDGE);
  RECT r;
  GetWindowRect(hwnd_, &r);
  if (r.bottom - r.top < minimum) {
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, minimum,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The box's border; the up-down control has a shallow edge beside the borders 0, 1 and 3.
void EditBox::ApplyBorder() {
  ApplyUnitBorder(hwnd_, props_.border);
  if (!upDown_) return;
  int32_t border = std::clamp(props_.border, 0, 5);
  DWORD upEx = static_cast<DWORD>(GetWindowLongA(upDown_, GWL_EXSTYLE)) & ~WS_EX_STATICEDGE;
  if (border == 0 || border == 1 || border == 3) upEx |= WS_EX_STATICEDGE;
  SetWindowLongA(upDown_, GWL_EXSTYLE, static_cast<LONG>(upEx));
  SetWindowPos(upDown_, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The background brush of BackColor (0xFF000000 = the button-face colour).
void EditBox::RemakeBrush() { brush_.Reset(CreateSolidBrush(ColorOrSystem(props_.backColor, COLOR_BTNFACE))); }
// The up-down control is a sibling in the box's parent with control id + 4. It reports to the
// parent, which hands its notifications to the box through the reflect-target property.
void EditBox::CreateUpDown(HWND parent, uint32_t controlId) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&icc);
  int32_t border = std::clamp(props_.border, 0, 5);
  DWORD ex = border == 0 || border == 1 || border == 3 ? WS_EX_STATICEDGE : 0;
  RECT r;
  GetWindowRect(hwnd_, &r);
  upDown_ = CreateWindowExW(ex, UPDOWN_CLASSW, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, kUpDownWidth,
                            r.bottom - r.top, parent,
                            reinterpret_cast<HMENU>(static_cast<uintptr_t>(controlId + 4)),
                            GetModuleHandleW(nullptr), nullptr);
  if (upDown_ == nullptr) {
    props_.spinMode = 0;
    return;
  }
  SetPropA(upDown_, kReflectTargetProp, hwnd_);
  ApplySpinRange();
  EnableWindow(upDown_, IsWindowEnabled(hwnd_));
  PlaceUpDown();
}

// The up-down range with the smaller end as lower bound, whichever end was written first.
std::pair<int32_t, int32_t> EditBox::SpinRange() const { return std::minmax(props_.spinMin, props_.spinMax); }

void EditBox::ApplySpinRange() {
  if (!upDown_) return;
  auto [low, high] = SpinRange();
  SendMessageA(upDown_, UDM_SETRANGE32, static_cast<WPARAM>(low), high);
}

// 18 pixels wide, as tall as the box, directly to its right, shown when the box is. The box's
// own visible bit decides, not whether it is on screen now: while the window loads, its parent
// is still hidden, and the up-down control must come up with the box when the window shows.
void EditBox::PlaceUpDown() {
  if (!upDown_) return;
  RECT r;
  GetWindowRect(hwnd_, &r);
  MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
  UINT show = (Style() & WS_VISIBLE) ? SWP_SHOWWINDOW : SWP_HIDEWINDOW;
  SetWindowPos(upDown_, hwnd_, r.right, r.top, kUpDownWidth, r.bottom - r.top, SWP_NOACTIVATE | show);
}

// An arrow of the up-down control: mode 1 steps the number with wrap-around, mode 2 raises
// event 1 (1 up, -1 down). Only for an enabled, visible box.
void EditBox::OnSpin(int32_t direction) {
  if (!IsWindowEnabled(hwnd_) || !IsWindowVisible(hwnd_)) return;
  if (props_.spinMode == 2) {
    Raise(1, {static_cast<uint32_t>(direction > 0 ? 1 : -1)});
    return;
  }
  if (props_.spinMode != 1) return;
  auto [low, high] = SpinRange();
  SetText(IntegerText(StepSpinValue(LiveText(), direction, low, high)).c_str());
  Send(EM_SETSEL, 0, -1);
  ::SetFocus(hwnd_);
}

// Before the lost-focus event: the input mode's normal form replaces the text when it
// differs; the caret goes to the old selection start. The runtime sets this text itself, so
// it raises no change event: the program hears only the lost focus.
void EditBox::Normalise() {
  std::string text = LiveText();
  std::string normal = NormaliseEditText(props_.inputMode, text);
  if (normal == text) return;
  DWORD start = 0;
  Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  SetTextQuietly(normal);
  Send(EM_SETSEL, start, start);
  Send(EM_SCROLLCARET);
}

// Colours of the reflected WM_CTLCOLOREDIT / WM_CTLCOLORSTATIC: text in TextColor on the
// background brush.
LRESULT EditBox::OnCtlColor(HDC dc) {
  SetTextColor(dc, ColorOrSystem(props_.textColor, COLOR_WINDOWTEXT));
  SetBkColor(dc, ColorOrSystem(props_.backColor, COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(brush_.Get());
}

// Typed characters pass the input filter; focus changes raise -7 and -8 (after the text is
// normalised); reflected notifications give event 0 and the up-down steps; colours come from
// the properties; the up-down control follows the box's position, visibility and state.
LRESULT EditBox::UnitProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CHAR: return OnChar(static_cast<uint32_t>(wParam));
    case WM_SETFOCUS: return OnSetFocus();
    case WM_KILLFOCUS: return OnKillFocus();
    case kReflectCommand: return OnReflectedCommand(HIWORD(wParam));
    case kReflectNotify: return OnReflectedNotify(reinterpret_cast<NMHDR*>(lParam));
    case kReflectCtlColorEdit:
    case kReflectCtlColorStatic: return OnCtlColor(reinterpret_cast<HDC>(wParam));
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_WINDOWPOSCHANGED: return OnWindowPosChanged();
    case WM_SHOWWINDOW: return OnShowWindow(wParam != 0, static_cast<UINT>(lParam));
    case WM_ENABLE: return OnEnable(wParam != 0);
    case WM_DESTROY: return OnDestroy();
    default: return Default();
  }
}

// A character the input mode does not take is dropped.
LRESULT EditBox::OnChar(uint32_t character) {
  return EditCharAllowed(props_.inputMode, character) ? Default() : 0;
}

LRESULT EditBox::OnSetFocus() {
  LRESULT result = Default();
  Raise(kEventGotFocus);
  return result;
}

// The text takes its input mode's normal form before the focus moves on.
LRESULT EditBox::OnKillFocus() {
  Normalise();
  LRESULT result = Default();
  Raise(kEventLostFocus);
  return result;
}

// A change of the text raises event 0, unless the runtime itself is setting it.
LRESULT EditBox::OnReflectedCommand(WORD code) {
  if (code == EN_CHANGE && !quiet_) Raise(0);
  return 0;
}

// An arrow of the up-down control steps the text or raises event 1.
LRESULT EditBox::OnReflectedNotify(NMHDR* header) {
  if (header == nullptr || header->code != static_cast<UINT>(UDN_DELTAPOS)) return 0;
  OnSpin(reinterpret_cast<NMUPDOWN*>(header)->iDelta > 0 ? 1 : -1);
  return 1;  // the control's own position never moves; the text is the value
}

// A single-line box fills its background with BackColor; a multi-line one leaves it to the
// control.
LRESULT EditBox::OnEraseBkgnd(HDC dc) {
  if (props_.multiLine) return Default();
  RECT r;
  GetClientRect(hwnd_, &r);
  FillRect(dc, &r, brush_.Get());
  return 1;
}

LRESULT EditBox::OnWindowPosChanged() {
  LRESULT result = Default();
  PlaceUpDown();
  return result;
}

// The box itself shown or hidden (status 0) takes the up-down control along: while its parent
// is hidden the box gets no position change, so only this tells. When the parent opens or
// closes, the up-down control, a sibling, follows by itself.
LRESULT EditBox::OnShowWindow(bool shown, UINT status) {
  LRESULT result = Default();
  if (upDown_ && status == 0) ShowWindow(upDown_, shown ? SW_SHOWNA : SW_HIDE);
  return result;
}

LRESULT EditBox::OnEnable(bool enabled) {
  if (upDown_) EnableWindow(upDown_, enabled);
  return Default();
}

// The up-down control is a sibling: it goes with the box.
LRESULT EditBox::OnDestroy() {
  if (upDown_) {
    RemovePropA(upDown_, kReflectTargetProp);
    DestroyWindow(upDown_);
    upDown_ = nullptr;
  }
  return Default();
}

// Class-form values. Content, the selection and the selected text come from the live
// control; the rest are the stored values. Texts point into a buffer the object keeps until
// the next read.
bool EditBox::ReadProperty(int32_t index, UnitValue* v) {
  if (!IsWindow()) return false;
  auto text = [&](std::string t) { PutKeptText(v, std::move(t)); };
  DWORD start = 0, end = 0;
  if (index == kEditSelStart || index == kEditSelLength || index == kEditSelText)
    Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  switch (index) {
    case kEditContent: text(LiveText()); return true;
    case kEditBorder: PutWord(v, props_.border); return true;
    case kEditTextColor: v->first = props_.textColor; return true;
    case kEditBackColor: v->first = props_.backColor; return true;
    case kEditFont: PutBlock(v, props_.font); return true;
    case kEditHideSel: PutWord(v, props_.hideSel); return true;
    case kEditMaxLength: PutWord(v, props_.maxLength); return true;
    case kEditMultiLine: PutWord(v, props_.multiLine); return true;
    case kEditScrollBars: PutWord(v, props_.scrollBars); return true;
    case kEditAlign: PutWord(v, props_.align); return true;
    case kEditInputMode: PutWord(v, props_.inputMode); return true;
    case kEditPasswordChar: text(PasswordText()); return true;
    case kEditCase: PutWord(v, props_.caseConversion); return true;
    case kEditSpinMode: PutWord(v, props_.spinMode); return true;
    case kEditSpinMin: PutWord(v, props_.spinMin); return true;
    case kEditSpinMax: PutWord(v, props_.spinMax); return true;
    case kEditSelStart: PutWord(v, static_cast<int32_t>(start)); return true;
    case kEditSelLength: PutWord(v, static_cast<int32_t>(end - start)); return true;
    case kEditSelText: text(CharacterRange(hwnd_, start, end)); return true;
    case kEditDataSource: text(props_.dataSource); return true;
    case kEditDataColumn: text(props_.dataColumn); return true;
    default: return false;
  }
}

// The field holds the character's bytes in stored order: a two-byte character's lead byte is
// the low half.
std::string EditBox::PasswordText() const {
  uint16_t c = props_.passwordChar;
  std::string t;
  if (c & 0xFF) t.push_back(static_cast<char>(c & 0xFF));
  if ((c & 0xFF) && (c >> 8)) t.push_back(static_cast<char>(c >> 8));
  return t;
}

// A property the control takes only at creation is stored and, when it changed, answered
// with a re-creation. False for any other property.
bool EditBox::WriteCreationProperty(int32_t index, int32_t value, bool* recreate) {
  for (const CreationProperty& p : kCreationProperties) {
    if (p.index != index) continue;
    int32_t stored = p.logical ? (value != 0 ? 1 : 0) : std::clamp(value, 0, p.high);
    *recreate = props_.*p.field != stored;
    props_.*p.field = stored;
    return true;
  }
  return false;
}

// Returns true when the unit must be re-created for the change to show.
bool EditBox::WriteProperty(int32_t index, const UnitValue& v) {
  if (!IsWindow()) return false;
  int32_t w = static_cast<int32_t>(v.first);
  bool recreate = false;
  if (WriteCreationProperty(index, w, &recreate)) return recreate;
  switch (index) {
    case kEditContent:  // the change event once, not once per notification
      SetTextQuietly(TextOf(v));
      Raise(0);
      break;
    case kEditBorder: props_.border = std::clamp(w, 0, 5); ApplyBorder(); break;
    case kEditTextColor: props_.textColor = v.first; InvalidateRect(hwnd_, nullptr, TRUE); break;
    case kEditBackColor:
      props_.backColor = v.first;
      RemakeBrush();
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE);
      break;
    case kEditFont:
      props_.font = FontOf(v);
      ApplyUnitFont(*this, props_.font, font_);
      ApplyMinimumHeight();
      break;
    case kEditMaxLength:
      props_.maxLength = w < 0 ? 0 : w;
      Send(EM_LIMITTEXT, static_cast<WPARAM>(props_.maxLength));
      break;
    case kEditInputMode: props_.inputMode = std::clamp(w, 0, 11); ApplyInputMode(); break;
    case kEditPasswordChar: ApplyPasswordChar(TextOf(v)); break;
    case kEditSpinMin: props_.spinMin = w; ApplySpinRange(); break;
    case kEditSpinMax: props_.spinMax = w; ApplySpinRange(); break;
    case kEditSelStart: SetSelStart(w); break;
    case kEditSelLength: SetSelLength(w); break;
    case kEditSelText: {  // replaces the selection; the change event comes from the control
      std::wstring t = fw::WideFromGbk(TextOf(v).c_str());
      Send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(t.c_str()));
      break;
    }
    // Data binding needs data-source units, which this runtime does not carry: the names are
    // kept for the saved block and read back as written.
    case kEditDataSource: props_.dataSource = TextOf(v); break;
    case kEditDataColumn: props_.dataColumn = TextOf(v); break;
    default: break;
  }
  return false;
}

// The password character in mode 2 (cleared otherwise); read-only exactly in mode 1.
void EditBox::ApplyInputMode() {
  Send(EM_SETPASSWORDCHAR, props_.inputMode == 2 ? PasswordUnit(props_.passwordChar) : 0);
  Send(EM_SETREADONLY, props_.inputMode == 1);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

// An empty text keeps the old character: a password character of 0 would show the password
// in plain text.
void EditBox::ApplyPasswordChar(const std::string& text) {
  if (!text.empty()) props_.passwordChar = static_cast<uint8_t>(text[0]);
  if (props_.inputMode != 2) return;
  Send(EM_SETPASSWORDCHAR, PasswordUnit(props_.passwordChar));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

// -1 puts the caret at the end; other negatives at 0; the selection collapses. The text's
// length is its length in GBK bytes, as the narrow length message gives it on a Chinese system;
// the control clamps a position past the end to the end.
void EditBox::SetSelStart(int32_t w) {
  int32_t length = static_cast<int32_t>(LiveText().size());
  int32_t start = w == -1 ? length : w < 0 ? 0 : w;
  props_.selStart = start;
  props_.selLength = 0;
  Send(EM_SETSEL, static_cast<WPARAM>(start), start);
  Send(EM_SCROLLCARET);
}

// -1 selects everything; other negatives select nothing from the current start.
void EditBox::SetSelLength(int32_t w) {
  DWORD start = 0;
  Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  if (w == -1) {
    props_.selStart = 0;
    props_.selLength = static_cast<int32_t>(LiveText().size());
    Send(EM_SETSEL, 0, -1);
    return;
  }
  props_.selStart = static_cast<int32_t>(start);
  props_.selLength = w < 0 ? 0 : w;
  Send(EM_SETSEL, start, SelectionEnd(static_cast<int32_t>(start), props_.selLength));
}

// Operation 5: the current properties, live text and selection included.
HGLOBAL EditBox::SaveProperties() {
  if (IsWindow()) {
    props_.content = LiveText();
    DWORD start = 0, end = 0;
    Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    props_.selStart = static_cast<int32_t>(start);
    props_.selLength = static_cast<int32_t>(end - start);
  }
  return RecordUnit::SaveProperties();
}

// Operation 8: a multi-line, writable box keeps Enter for a line break.
bool EditBox::ClaimsKey(int32_t key) const {
  if (key != VK_RETURN || !IsWindow()) return false;
  bool readOnly = props_.inputMode == 1 || (Style() & ES_READONLY) != 0;
  return props_.multiLine && !readOnly;
}

// Operation 9: offers the content, the font's face name and the two data names to the
// visitor and returns the block rewritten with its replacements.
HGLOBAL EditBox::VisitTexts(const void* block, int32_t length, UnitTextVisitorCallback visitor, void* user) {
  EditBoxProperties props;
  if (visitor == nullptr || !LoadPropertyRecord(props, block, length)) return nullptr;
  VisitText(props.content, visitor, user);
  VisitFontFace(props.font, visitor, user);
  VisitText(props.dataSource, visitor, user);
  VisitText(props.dataColumn, visitor, user);
  return SavePropertyRecord(props);
}

namespace {

// Value types of the edit box's own properties, numbered from 8 (see EditBoxProperty).
constexpr uint16_t kOwnTypes[] = {
    kPropTypeText,                                           // Content
    kPropTypeChoice, kPropTypeColor, kPropTypeBackColor,  // Border, TextColor, BackColor
    kPropTypeFont, kPropTypeBool, kPropTypeInt1001,       // Font, HideSel, MaxAllowLength
    kPropTypeBool, kPropTypeChoice, kPropTypeChoice,       // AllowMultiLines, ScrollBars, Align
    kPropTypeChoice, kPropTypeText, kPropTypeChoice,       // InputMode, PasswordChar, CaseConversion
    kPropTypeChoice, kPropTypeInt1001, kPropTypeInt1001, // SpinMode, SpinMin, SpinMax
    kPropTypeInt1001, kPropTypeInt1001, kPropTypeText,   // SelStart, SelLength, SelText
    kPropTypeDataSource, kPropTypeDataColumn,             // DataSource, DataColumn
};
static_assert(std::size(kOwnTypes) == kEditBoxClassProperties);
constexpr auto kProperties = WithCommonProperties(kOwnTypes);

}  // namespace

static_assert(UnitOperations<EditBox>::ProvidesExactly(
    {kUnitOpCreate, kUnitOpWrite, kUnitOpSave, kUnitOpRead, kUnitOpClaimsKey, kUnitOpTextVisitor}));
constinit const UnitClassInfo kEditBoxClass =
    MakeUnitClass<EditBox>("编辑框", "EditBox", kEditBoxClassFlags, kProperties);

}  // namespace forms
