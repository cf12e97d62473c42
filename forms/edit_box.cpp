// The edit box unit: creation, properties, the up-down control, the typed-character filter
// and the normalisation of numeric input when the box loses the focus.
#include "forms/edit_box.h"

#include <commctrl.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "forms/unit_support.h"

namespace forms {
namespace {

constexpr uint32_t kDefaultColor = 0xFF000000;
constexpr int kUpDownWidth = 18;   // pixels, to the right of the box

int32_t Clamp(int32_t v, int32_t low, int32_t high) { return v < low ? low : v > high ? high : v; }

// Reads an integer the way the numeric modes do: leading blanks, a sign, digits; anything
// else ends the number. Saturates at the 64-bit range; no digits give 0.
int64_t ParseInteger(const std::string& text) {
  long long v = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int64_t>(v);
}

int64_t Clamp64(int64_t v, int64_t low, int64_t high) { return v < low ? low : v > high ? high : v; }

// Decimal text of a 64-bit integer.
std::string IntegerText(int64_t v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v));
  return buffer;
}

// Where a text property value points: class-form texts are zero-terminated, null means "".
std::string TextOf(const UnitValue& value) {
  const char* text = reinterpret_cast<const char*>(value.first);
  return text ? std::string(text) : std::string();
}

}  // namespace

// Fields in stored order; the two data-binding names exist from version 2 on. Logical words
// travel as 0 / 1.
bool EditBoxProperties::Serialize(PropertyStream& s) {
  uint32_t version = kMaxVersion;
  if (!s.VersionField(version, kMaxVersion)) return false;
  s.Word(border);
  s.Word(textColor);
  s.Word(backColor);
  int32_t hide = hideSel ? 1 : 0;
  s.Word(hide);
  hideSel = hide != 0;
  s.Word(maxLength);
  int32_t multi = multiLine ? 1 : 0;
  s.Word(multi);
  multiLine = multi != 0;
  s.Word(scrollBars);
  s.Word(align);
  s.Word(inputMode);
  s.Short(passwordChar);
  s.Word(caseConversion);
  s.Word(spinMode);
  s.Word(spinMin);
  s.Word(spinMax);
  s.Word(selStart);
  s.Word(selLength);
  s.Block(font);
  s.Text(content);
  if (version >= 2) {
    s.Text(dataSource);
    s.Text(dataColumn);
  }
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
    case 5: result = IntegerText(Clamp64(ParseInteger(text), 0, 255)); break;
    case 6: result = IntegerText(Clamp64(ParseInteger(text), -32768, 32767)); break;
    case 7: result = IntegerText(Clamp64(ParseInteger(text), INT32_MIN, INT32_MAX)); break;
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
// to the other end.
int32_t StepSpinValue(const std::string& text, int32_t direction, int32_t low, int32_t high) {
  int64_t v = ParseInteger(text) + (direction > 0 ? 1 : -1);
  if (v > high) return low;
  if (v < low) return high;
  return static_cast<int32_t>(v);
}

// The brush and the font belong to the object; the up-down control went with WM_DESTROY.
EditBox::~EditBox() {
  if (font_) DeleteObject(font_);
  if (brush_) DeleteObject(brush_);
}

// Operation 1. The caller's style bits carry WS_DISABLED and WS_TABSTOP; the box is shown
// later by the window load.
void* __cdecl EditBox::Create(const void* block, int32_t length, uint32_t style, void* parent,
                              uint32_t controlId, void*, int32_t left, int32_t top, int32_t width,
                              int32_t height, int32_t windowId, int32_t unitId, uint32_t, uint32_t) {
  auto* box = new EditBox(windowId, unitId);
  if (!LoadPropertyRecord(box->props_, block, length)) {
    delete box;
    return nullptr;
  }
  const EditBoxProperties& p = box->props_;
  DWORD s = style | WS_CHILD | WS_CLIPSIBLINGS;
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

  box->RemakeBrush();
  if (!box->fw::WindowObject::Create(0, "EDIT", p.content.c_str(), s, left, top, width, height,
                                     static_cast<HWND>(parent),
                                     reinterpret_cast<HMENU>(static_cast<uintptr_t>(controlId)))) {
    box->DiscardUnbuilt();
    return nullptr;
  }
  box->ApplyFont();
  box->Send(EM_LIMITTEXT, static_cast<WPARAM>(p.maxLength > 0 ? p.maxLength : 0));
  if (p.inputMode == 2) box->Send(EM_SETPASSWORDCHAR, p.passwordChar & 0xFF);
  if (!p.multiLine && p.spinMode != 0) box->CreateUpDown(static_cast<HWND>(parent), controlId);
  box->Send(EM_SETSEL, static_cast<WPARAM>(p.selStart), p.selStart + p.selLength);
  box->Send(EM_SCROLLCARET);
  box->ApplyBorder();
  return static_cast<fw::WindowObject*>(box);
}

// The window text as GBK bytes. The length message may count characters, so the buffer
// allows two bytes for each.
std::string EditBox::LiveText() const {
  int length = GetWindowTextLengthA(hwnd_);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) * 2 + 2, '\0');
  int got = GetWindowTextA(hwnd_, text.data(), static_cast<int>(text.size()));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

// Sets the text without raising event 0 for the change notification it causes.
void EditBox::SetTextQuietly(const std::string& text) {
  quiet_ = true;
  SetText(text.c_str());
  quiet_ = false;
}

// Makes the font from the stored LOGFONTA (character set, precisions, quality and pitch
// forced) or takes DEFAULT_GUI_FONT, then applies the minimum height.
void EditBox::ApplyFont() {
  HFONT old = font_;
  font_ = nullptr;
  if (props_.font.size() == kLogFontSize) font_ = MakeUnitFont(props_.font.data());
  Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  if (old) DeleteObject(old);
  ApplyMinimumHeight();
}

// A single-line box is at least one Chinese character plus the two edges tall.
void EditBox::ApplyMinimumHeight() {
  if (props_.multiLine) return;
  HDC dc = GetDC(hwnd_);
  HGDIOBJ previous = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SIZE size{};
  GetTextExtentPoint32A(dc, "国", 2, &size);
  SelectObject(dc, previous);
  ReleaseDC(hwnd_, dc);
  int minimum = size.cy + 2 * GetSystemMetrics(SM_CYEDGE);
  RECT r;
  GetWindowRect(hwnd_, &r);
  if (r.bottom - r.top < minimum) {
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, minimum,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// Border 0 none, 1 sunken, 2 raised, 3 shallow sunken, 4 frame, 5 single line.
void EditBox::ApplyBorder() {
  static constexpr DWORD kExBits[6] = {0, WS_EX_CLIENTEDGE, WS_EX_DLGMODALFRAME, WS_EX_STATICEDGE,
                                       WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME, 0};
  int32_t border = Clamp(props_.border, 0, 5);
  DWORD ex = static_cast<DWORD>(ExStyle()) & ~(WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME | WS_EX_STATICEDGE);
  DWORD style = static_cast<DWORD>(Style()) & ~WS_BORDER;
  if (border == 5) style |= WS_BORDER;
  SetWindowLongA(hwnd_, GWL_EXSTYLE, static_cast<LONG>(ex | kExBits[border]));
  SetWindowLongA(hwnd_, GWL_STYLE, static_cast<LONG>(style));
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (upDown_) {
    DWORD upEx = static_cast<DWORD>(GetWindowLongA(upDown_, GWL_EXSTYLE)) & ~WS_EX_STATICEDGE;
    if (border == 0 || border == 1 || border == 3) upEx |= WS_EX_STATICEDGE;
    SetWindowLongA(upDown_, GWL_EXSTYLE, static_cast<LONG>(upEx));
    SetWindowPos(upDown_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The background brush of BackColor (0xFF000000 = the button-face colour).
void EditBox::RemakeBrush() {
  if (brush_) DeleteObject(brush_);
  COLORREF back = props_.backColor == kDefaultColor ? GetSysColor(COLOR_BTNFACE) : props_.backColor;
  brush_ = CreateSolidBrush(back);
}

// The up-down control is a sibling in the box's parent with control id + 4. It reports to the
// parent, which hands its notifications to the box through the reflect-target property.
void EditBox::CreateUpDown(HWND parent, uint32_t controlId) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&icc);
  int32_t border = Clamp(props_.border, 0, 5);
  DWORD ex = border == 0 || border == 1 || border == 3 ? WS_EX_STATICEDGE : 0;
  RECT r;
  GetWindowRect(hwnd_, &r);
  upDown_ = CreateWindowExA(ex, UPDOWN_CLASSA, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, kUpDownWidth,
                            r.bottom - r.top, parent,
                            reinterpret_cast<HMENU>(static_cast<uintptr_t>(controlId + 4)),
                            GetModuleHandleA(nullptr), nullptr);
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
void EditBox::ApplySpinRange() {
  if (!upDown_) return;
  int32_t low = props_.spinMin < props_.spinMax ? props_.spinMin : props_.spinMax;
  int32_t high = props_.spinMin < props_.spinMax ? props_.spinMax : props_.spinMin;
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
  int32_t low = props_.spinMin < props_.spinMax ? props_.spinMin : props_.spinMax;
  int32_t high = props_.spinMin < props_.spinMax ? props_.spinMax : props_.spinMin;
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
  SetTextColor(dc, props_.textColor == kDefaultColor ? GetSysColor(COLOR_WINDOWTEXT) : props_.textColor);
  SetBkColor(dc, props_.backColor == kDefaultColor ? GetSysColor(COLOR_BTNFACE) : props_.backColor);
  return reinterpret_cast<LRESULT>(brush_);
}

// Typed characters pass the input filter; focus changes raise -7 and -8 (after the text is
// normalised); reflected notifications give event 0 and the up-down steps; colours come from
// the properties; the up-down control follows the box's position, visibility and state.
LRESULT EditBox::UnitProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CHAR:
      if (!EditCharAllowed(props_.inputMode, static_cast<uint32_t>(wParam))) return 0;
      return Default();
    case WM_SETFOCUS: {
      LRESULT r = Default();
      Raise(EVENT_GOT_FOCUS);
      return r;
    }
    case WM_KILLFOCUS: {
      Normalise();
      LRESULT r = Default();
      Raise(EVENT_LOST_FOCUS);
      return r;
    }
    case kReflectCommand:
      if (HIWORD(wParam) == EN_CHANGE && !quiet_) Raise(0);
      return 0;
    case kReflectNotify: {
      auto* hdr = reinterpret_cast<NMHDR*>(lParam);
      if (hdr == nullptr || hdr->code != static_cast<UINT>(UDN_DELTAPOS)) return 0;
      OnSpin(reinterpret_cast<NMUPDOWN*>(lParam)->iDelta > 0 ? 1 : -1);
      return 1;  // the control's own position never moves; the text is the value
    }
    case kReflectCtlColorEdit:
    case kReflectCtlColorStatic:
      return OnCtlColor(reinterpret_cast<HDC>(wParam));
    case WM_ERASEBKGND: {
      if (props_.multiLine) return Default();
      RECT r;
      GetClientRect(hwnd_, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, brush_);
      return 1;
    }
    case WM_WINDOWPOSCHANGED: {
      LRESULT r = Default();
      PlaceUpDown();
      return r;
    }
    case WM_SHOWWINDOW: {
      // Shown or hidden while its parent is hidden, the box gets no position change: only this.
      LRESULT r = Default();
      if (upDown_ && lParam == 0) ShowWindow(upDown_, wParam ? SW_SHOWNA : SW_HIDE);
      return r;
    }
    case WM_ENABLE:
      if (upDown_) EnableWindow(upDown_, static_cast<BOOL>(wParam));
      return Default();
    case WM_DESTROY:
      if (upDown_) {
        RemovePropA(upDown_, kReflectTargetProp);
        DestroyWindow(upDown_);
        upDown_ = nullptr;
      }
      return Default();
    default:
      return Default();
  }
}

// Class-form values. Content, the selection and the selected text come from the live
// control; the rest are the stored values. Texts point into a buffer the object keeps until
// the next read.
bool EditBox::Read(int32_t index, UnitValue* v) {
  auto text = [&](const std::string& t) {
    readBuffer_ = t;
    v->first = reinterpret_cast<uint32_t>(readBuffer_.c_str());
  };
  auto word = [&](int32_t w) { v->first = static_cast<uint32_t>(w); };
  DWORD start = 0, end = 0;
  switch (index) {
    case EDIT_CONTENT: text(LiveText()); return true;
    case EDIT_BORDER: word(props_.border); return true;
    case EDIT_TEXT_COLOR: v->first = props_.textColor; return true;
    case EDIT_BACK_COLOR: v->first = props_.backColor; return true;
    case EDIT_FONT:
      if (props_.font.size() == kLogFontSize) {
        v->first = reinterpret_cast<uint32_t>(props_.font.data());
        v->second = kLogFontSize;
      }
      return true;
    case EDIT_HIDE_SEL: word(props_.hideSel); return true;
    case EDIT_MAX_LENGTH: word(props_.maxLength); return true;
    case EDIT_MULTI_LINE: word(props_.multiLine); return true;
    case EDIT_SCROLL_BARS: word(props_.scrollBars); return true;
    case EDIT_ALIGN: word(props_.align); return true;
    case EDIT_INPUT_MODE: word(props_.inputMode); return true;
    case EDIT_PASSWORD_CHAR: {
      // The field holds the character's bytes in stored order: a two-byte character's lead
      // byte is the low half.
      uint16_t c = props_.passwordChar;
      std::string t;
      if (c & 0xFF) t.push_back(static_cast<char>(c & 0xFF));
      if ((c & 0xFF) && (c >> 8)) t.push_back(static_cast<char>(c >> 8));
      text(t);
      return true;
    }
    case EDIT_CASE: word(props_.caseConversion); return true;
    case EDIT_SPIN_MODE: word(props_.spinMode); return true;
    case EDIT_SPIN_MIN: word(props_.spinMin); return true;
    case EDIT_SPIN_MAX: word(props_.spinMax); return true;
    case EDIT_SEL_START:
      Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      word(static_cast<int32_t>(start));
      return true;
    case EDIT_SEL_LENGTH:
      Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      word(static_cast<int32_t>(end - start));
      return true;
    case EDIT_SEL_TEXT:
      Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      text(CharacterRange(hwnd_, start, end));
      return true;
    case EDIT_DATA_SOURCE: text(props_.dataSource); return true;
    case EDIT_DATA_COLUMN: text(props_.dataColumn); return true;
    default: return false;
  }
}

// Returns true when the unit must be re-created for the change to show.
bool EditBox::Write(int32_t index, const UnitValue& v) {
  int32_t w = static_cast<int32_t>(v.first);
  // Properties that only take effect in a new control: re-create when the value changed.
  auto recreate = [&](auto& field, auto value) {
    bool changed = field != value;
    field = value;
    return changed;
  };
  switch (index) {
    case EDIT_CONTENT:  // the change event once, not once per notification
      SetTextQuietly(TextOf(v));
      Raise(0);
      return false;
    case EDIT_BORDER: props_.border = Clamp(w, 0, 5); ApplyBorder(); return false;
    case EDIT_TEXT_COLOR: props_.textColor = v.first; InvalidateRect(hwnd_, nullptr, TRUE); return false;
    case EDIT_BACK_COLOR:
      props_.backColor = v.first;
      RemakeBrush();
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE);
      return false;
    case EDIT_FONT: {
      const auto* bytes = reinterpret_cast<const uint8_t*>(v.first);
      if (bytes && v.second == kLogFontSize) props_.font.assign(bytes, bytes + kLogFontSize);
      else props_.font.clear();
      ApplyFont();
      return false;
    }
    case EDIT_HIDE_SEL: return recreate(props_.hideSel, w != 0);
    case EDIT_MAX_LENGTH:
      props_.maxLength = w < 0 ? 0 : w;
      Send(EM_LIMITTEXT, static_cast<WPARAM>(props_.maxLength));
      return false;
    case EDIT_MULTI_LINE: return recreate(props_.multiLine, w != 0);
    case EDIT_SCROLL_BARS: return recreate(props_.scrollBars, Clamp(w, 0, 3));
    case EDIT_ALIGN: return recreate(props_.align, Clamp(w, 0, 2));
    case EDIT_INPUT_MODE:
      props_.inputMode = Clamp(w, 0, 11);
      Send(EM_SETPASSWORDCHAR, props_.inputMode == 2 ? props_.passwordChar & 0xFF : 0);
      Send(EM_SETREADONLY, props_.inputMode == 1);
      InvalidateRect(hwnd_, nullptr, TRUE);
      return false;
    case EDIT_PASSWORD_CHAR: {
      // An empty text keeps the old character: a password character of 0 would show the
      // password in plain text.
      std::string t = TextOf(v);
      if (!t.empty()) props_.passwordChar = static_cast<uint8_t>(t[0]);
      if (props_.inputMode == 2) {
        Send(EM_SETPASSWORDCHAR, props_.passwordChar & 0xFF);
        InvalidateRect(hwnd_, nullptr, TRUE);
      }
      return false;
    }
    case EDIT_CASE: return recreate(props_.caseConversion, Clamp(w, 0, 2));
    case EDIT_SPIN_MODE: return recreate(props_.spinMode, Clamp(w, 0, 2));
    case EDIT_SPIN_MIN: props_.spinMin = w; ApplySpinRange(); return false;
    case EDIT_SPIN_MAX: props_.spinMax = w; ApplySpinRange(); return false;
    case EDIT_SEL_START: {  // -1: caret to the end; other negatives 0; the selection collapses
      int32_t length = static_cast<int32_t>(Send(WM_GETTEXTLENGTH));
      int32_t start = w == -1 ? length : w < 0 ? 0 : w;
      props_.selStart = start;
      props_.selLength = 0;
      Send(EM_SETSEL, static_cast<WPARAM>(start), start);
      Send(EM_SCROLLCARET);
      return false;
    }
    case EDIT_SEL_LENGTH: {  // -1: everything selected; other negatives 0
      DWORD start = 0;
      Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
      if (w == -1) {
        props_.selStart = 0;
        props_.selLength = static_cast<int32_t>(Send(WM_GETTEXTLENGTH));
        Send(EM_SETSEL, 0, -1);
      } else {
        props_.selStart = static_cast<int32_t>(start);
        props_.selLength = w < 0 ? 0 : w;
        Send(EM_SETSEL, start, static_cast<LPARAM>(start) + props_.selLength);
      }
      return false;
    }
    case EDIT_SEL_TEXT: {  // replaces the selection; the change event comes from the control
      std::string t = TextOf(v);
      Send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(t.c_str()));
      return false;
    }
    // Data binding needs data-source units, which this runtime does not carry: the names are
    // kept for the saved block and read back as written.
    case EDIT_DATA_SOURCE: props_.dataSource = TextOf(v); return false;
    case EDIT_DATA_COLUMN: props_.dataColumn = TextOf(v); return false;
    default: return false;
  }
}

// Operation 4: 1 when the box must be re-created in place for the change to show.
int32_t __cdecl EditBox::WriteOp(void* object, int32_t index, const UnitValue* value, int32_t* out) {
  if (out) *out = 0;
  auto* box = static_cast<EditBox*>(static_cast<fw::WindowObject*>(object));
  if (box == nullptr || value == nullptr || !box->IsWindow()) return 0;
  return box->Write(index, *value) ? 1 : 0;
}

// Operation 6: 1 when the class index is known.
int32_t __cdecl EditBox::ReadOp(void* object, int32_t index, UnitValue* value) {
  auto* box = static_cast<EditBox*>(static_cast<fw::WindowObject*>(object));
  if (box == nullptr || value == nullptr || !box->IsWindow()) return 0;
  return box->Read(index, value) ? 1 : 0;
}

// Operation 5: the current properties, live text and selection included.
void* __cdecl EditBox::SaveOp(void* object) {
  auto* box = static_cast<EditBox*>(static_cast<fw::WindowObject*>(object));
  if (box == nullptr) return nullptr;
  if (box->IsWindow()) {
    box->props_.content = box->LiveText();
    DWORD start = 0, end = 0;
    box->Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    box->props_.selStart = static_cast<int32_t>(start);
    box->props_.selLength = static_cast<int32_t>(end - start);
  }
  uint32_t length = 0;
  return SavePropertyRecord(box->props_, &length);
}

// Operation 8: a multi-line, writable box keeps Enter for a line break.
int32_t __cdecl EditBox::ClaimsKeyOp(void* object, int32_t key) {
  auto* box = static_cast<EditBox*>(static_cast<fw::WindowObject*>(object));
  if (box == nullptr || key != VK_RETURN || !box->IsWindow()) return 0;
  bool readOnly = box->props_.inputMode == 1 || (box->Style() & ES_READONLY) != 0;
  return box->props_.multiLine && !readOnly ? 1 : 0;
}

// Operation 9: offers the content, the font's face name and the two data names to the
// visitor and returns the block rewritten with its replacements.
void* __cdecl EditBox::TextVisitorOp(const void* block, int32_t length, UnitTextVisitorCallback visitor,
                                     void* user) {
  EditBoxProperties props;
  if (visitor == nullptr || !LoadPropertyRecord(props, block, length)) return nullptr;
  VisitText(props.content, visitor, user);
  VisitFontFace(props.font, visitor, user);
  VisitText(props.dataSource, visitor, user);
  VisitText(props.dataColumn, visitor, user);
  uint32_t size = 0;
  return SavePropertyRecord(props, &size);
}

namespace {

// Operation entries by code; the class lacks 2, 3, 7, 10 and 11.
void* __cdecl EditBoxInterface(int32_t op) {
  static void* const kOps[12] = {
      nullptr,
      reinterpret_cast<void*>(&EditBox::Create),
      nullptr,
      nullptr,
      reinterpret_cast<void*>(&EditBox::WriteOp),
      reinterpret_cast<void*>(&EditBox::SaveOp),
      reinterpret_cast<void*>(&EditBox::ReadOp),
      nullptr,
      reinterpret_cast<void*>(&EditBox::ClaimsKeyOp),
      reinterpret_cast<void*>(&EditBox::TextVisitorOp),
      nullptr,
      nullptr,
  };
  return op >= 0 && op < 12 ? kOps[op] : nullptr;
}

constexpr PropertyInfo Prop(uint16_t type) { return {nullptr, nullptr, nullptr, type, 0, nullptr}; }

constexpr PropertyInfo kEditBoxProperties[int{kCommonPropertyCount} + int{kEditBoxClassProperties}] = {
    kCommonPropertyInfos[0], kCommonPropertyInfos[1], kCommonPropertyInfos[2],
    kCommonPropertyInfos[3], kCommonPropertyInfos[4], kCommonPropertyInfos[5],
    kCommonPropertyInfos[6], kCommonPropertyInfos[7],
    Prop(PROP_TYPE_TEXT),        // 8 Content
    Prop(PROP_TYPE_CHOICE),      // 9 Border
    Prop(PROP_TYPE_COLOR),       // 10 TextColor
    Prop(PROP_TYPE_BACK_COLOR),  // 11 BackColor
    Prop(PROP_TYPE_FONT),        // 12 Font
    Prop(PROP_TYPE_BOOL),        // 13 HideSel
    Prop(PROP_TYPE_INT_1001),    // 14 MaxAllowLength
    Prop(PROP_TYPE_BOOL),        // 15 AllowMultiLines
    Prop(PROP_TYPE_CHOICE),      // 16 ScrollBars
    Prop(PROP_TYPE_CHOICE),      // 17 Align
    Prop(PROP_TYPE_CHOICE),      // 18 InputMode
    Prop(PROP_TYPE_TEXT),        // 19 PasswordChar
    Prop(PROP_TYPE_CHOICE),      // 20 CaseConversion
    Prop(PROP_TYPE_CHOICE),      // 21 SpinMode
    Prop(PROP_TYPE_INT_1001),    // 22 SpinMin
    Prop(PROP_TYPE_INT_1001),    // 23 SpinMax
    Prop(PROP_TYPE_INT_1001),    // 24 SelStart
    Prop(PROP_TYPE_INT_1001),    // 25 SelLength
    Prop(PROP_TYPE_TEXT),        // 26 SelText
    Prop(PROP_TYPE_DATA_SOURCE), // 27 DataSource
    Prop(PROP_TYPE_DATA_COLUMN), // 28 DataColumn
};
static_assert(sizeof kEditBoxProperties / sizeof *kEditBoxProperties == 29);

}  // namespace

const UnitClassInfo kEditBoxClass = {
    "编辑框", "EditBox", {0, 0, 0}, kEditBoxClassFlags, {0, 0, 0},
    29, kEditBoxProperties, &EditBoxInterface, {0, 0}};

}  // namespace forms
