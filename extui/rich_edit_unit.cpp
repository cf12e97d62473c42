#include "extui/rich_edit_unit.h"

#include <imm.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "extui/library_access.h"
#include "framework/deferred_delete.h"

namespace extui {
namespace {

// The loaded rich edit DLL, kept for the life of the process, and the window class it gave.
HMODULE g_module = nullptr;
HMODULE g_olderModule = nullptr;

const char kClassNew[] = "RichEdit20A";
const char kClassOld[] = "RICHEDIT";

// Loads the newer DLL, else the older one, the first time a box is created.
bool LoadRichEditModule() {
  if (g_module || g_olderModule) return true;
  g_module = ::LoadLibraryW(L"RICHED20.DLL");
  if (!g_module) g_olderModule = ::LoadLibraryW(L"RICHED32.DLL");
  return g_module || g_olderModule;
}

// The older DLL, loaded only when the newer class cannot be created.
void LoadOlderModule() {
  if (!g_olderModule) g_olderModule = ::LoadLibraryW(L"RICHED32.DLL");
}

// Whole-stream state: the bytes handed to the control, with the bytes already handed out
// dropped from the front by advancing `front`, so that the text is copied only once however
// many chunks the control asks for.
struct InStream {
  const std::string* bytes;
  size_t front;
  bool wide;  // UTF-16 units, two bytes each
};

// How many of the next `wanted` bytes (at least 1) can go out without ending the chunk inside a
// unit that must arrive whole: the two bytes of a double-byte character, or a CR LF pair. Every
// chunk starts on such a boundary, so the walk from its start is exact. Some controls decode
// each chunk on its own and would turn a character cut in two into two wrong ones, or a line
// break cut in two into two line breaks.
size_t WholeUnits(const char* data, size_t available, size_t wanted) {
  if (wanted >= available || wanted < 2) return std::min(wanted, available);
  size_t i = 0;
  while (i < wanted) {
    const bool pair = ::IsDBCSLeadByteEx(fw::kGbkCodePage, static_cast<BYTE>(data[i])) ||
                      (data[i] == '\r' && data[i + 1] == '\n');
    i += pair ? 2 : 1;
  }
  return i > wanted ? wanted - 1 : wanted;
}

// The same for UTF-16 text: whole units, and neither a surrogate pair nor a CR LF pair cut.
size_t WholeWideUnits(const char* data, size_t available, size_t wanted) {
  if (wanted >= available) return available;
  size_t n = wanted & ~size_t{1};
  if (n < 4) return n;
  wchar_t last, next;
  std::memcpy(&last, data + n - 2, 2);
  std::memcpy(&next, data + n, 2);
  const bool cut = (last >= 0xD800 && last <= 0xDBFF) || (last == L'\r' && next == L'\n');
  return cut ? n - 2 : n;
}

// Hands out at most what the control asks for, and always reports success.
DWORD CALLBACK StreamInCallback(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto* in = reinterpret_cast<InStream*>(cookie);
  const char* next = in->bytes->data() + in->front;
  const size_t available = in->bytes->size() - in->front;
  const size_t asked = static_cast<size_t>(std::max<LONG>(wanted, 0));
  const size_t n = in->wide ? WholeWideUnits(next, available, asked) : WholeUnits(next, available, asked);
  if (n) std::memcpy(buffer, next, n);
  in->front += n;
  *given = static_cast<LONG>(n);
  return 0;
}

// Appends every chunk the control writes.
DWORD CALLBACK StreamOutCallback(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* taken) {
  auto* out = reinterpret_cast<std::string*>(cookie);
  if (count > 0) out->append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(count));
  *taken = count;
  return 0;
}

// The default character format of every box: 9-point "宋体", automatic colour, no effects,
// DEFAULT_CHARSET. The mask names the character set and bold too, so a control that starts with
// another face or bold (as some do) is fully reset.
CHARFORMATA DefaultFormat() {
  CHARFORMATA cf;
  std::memset(&cf, 0, sizeof cf);
  cf.cbSize = sizeof cf;
  cf.dwMask = 0xF800001Fu;
  cf.dwEffects = CFE_AUTOCOLOR;
  cf.yHeight = 180;
  cf.bCharSet = DEFAULT_CHARSET;
  std::memcpy(cf.szFaceName, kDefaultFace, std::strlen(kDefaultFace) + 1);
  return cf;
}

// Set by the protection probe's parent when the probed control asks it through EN_PROTECTED.
bool g_probeNotified = false;

LRESULT CALLBACK ProbeParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == EN_PROTECTED) {
    g_probeNotified = true;
    return 1;  // refuse, as the box does
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Creates a hidden control whose text is protected, asks its parent through EN_PROTECTED, and
// types one character into the protected text. The control enforces protection when it asked,
// or when the text stayed as it was.
bool ProbeProtection() {
  static const wchar_t kProbeClass[] = L"ExtUiProtectionProbe";
  WNDCLASSW wc{};
  wc.lpfnWndProc = ProbeParentProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kProbeClass;
  ::RegisterClassW(&wc);  // fails harmlessly when already registered
  HWND parent = ::CreateWindowExW(0, kProbeClass, L"", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr,
                                  wc.hInstance, nullptr);
  if (!parent) return false;
  HWND edit = ::CreateWindowExW(0, g_module ? L"RichEdit20A" : L"RICHEDIT", L"", WS_CHILD | ES_MULTILINE,
                                0, 0, 100, 40, parent, nullptr, wc.hInstance, nullptr);
  bool enforced = false;
  if (edit) {
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"abc"));
    CHARRANGE all{0, -1};
    ::SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_PROTECTED;
    cf.dwEffects = CFE_PROTECTED;
    ::SendMessageW(edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    ::SendMessageW(edit, EM_SETEVENTMASK, 0, ENM_PROTECTED);
    CHARRANGE inside{1, 1};
    ::SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&inside));
    g_probeNotified = false;
    ::SendMessageW(edit, WM_CHAR, 'x', 1);
    wchar_t text[16] = {};
    ::SendMessageW(edit, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(text));
    enforced = g_probeNotified || std::wcscmp(text, L"abc") == 0;
  }
  ::DestroyWindow(parent);
  return enforced;
}

// A program handler runs inside the unit's own message handling or operations (a SelText write
// raises event 0 before it returns), and it may destroy the box, for instance by a write that
// re-creates it. A unit whose window goes while any unit procedure or operation is still on the
// stack is deleted later, once none is. An operation (called from outside the units) deletes
// the waiting units when it ends as the outermost frame; a procedure cannot, so waiting units
// go at the next outermost entry of a procedure instead.
fw::DeleteQueue& Doomed() {
  static fw::DeleteQueue queue;
  return queue;
}

}  // namespace

bool RichEditUnit::SystemEnforcesProtection() {
  static int state = -1;
  if (state < 0) {
    if (!LoadRichEditModule()) return false;
    state = ProbeProtection() ? 1 : 0;
  }
  return state == 1;
}

// Builds the unit: loads the system DLL once, reads the PropertyBlock, creates the control
// with the style the properties ask for (falling back to the older window class), then sets the
// default format, the content, the limit, the selection and the looks, and only then turns on
// the notifications, so that creation raises no events.
RichEditUnit* RichEditUnit::Create(const forms::UnitCreateArgs& args) {
  if (!LoadRichEditModule()) return nullptr;
  SystemEnforcesProtection();  // measured before the first box exists

  auto* unit = new (std::nothrow) RichEditUnit;
  if (!unit) return nullptr;
  if (!unit->props_.Load(args.block, args.blockLength)) {
    delete unit;
    return nullptr;
  }
  unit->windowId_ = args.windowId;
  unit->unitId_ = args.unitId;
  unit->designFlag_ = static_cast<int32_t>(args.classWord2);
  const RichEditProps& p = unit->props_;

  // Style: the form runtime's base bits, a child window, and the box's own choices. A
  // multi-line box always scrolls vertically; without word wrap it scrolls sideways as well.
  DWORD style = args.style | WS_CHILD;
  if (!p.hideSel) style |= ES_NOHIDESEL;
  if (p.allowMultiLines != 1) {
    style |= ES_AUTOHSCROLL;
  } else if (p.autoNextLine) {
    style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;  // 0x201044
  } else {
    style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN | WS_VSCROLL |
             WS_HSCROLL;  // 0x3010C4
  }
  if (p.readOnly) style |= ES_READONLY;
  style |= WS_CLIPSIBLINGS;

  HMENU id = reinterpret_cast<HMENU>(static_cast<uintptr_t>(args.controlId));
  bool created = g_module && unit->WindowObject::Create(0, kClassNew, "", style, args.left, args.top,
                                                        args.width, args.height, args.parent, id);
  if (!created) {
    LoadOlderModule();
    created = unit->WindowObject::Create(0, kClassOld, "", style, args.left, args.top, args.width,
                                         args.height, args.parent, id);
  }
  if (!created) {
    delete unit;
    return nullptr;
  }

  // A box without a limit of its own takes the largest one the control knows; a written 0
  // later is passed through as it is (the control's own default limit).
  unit->ApplyDefaultFormat();
  unit->StreamIn(p.content, unit->StreamFormat());
  unit->Control(EM_EXLIMITTEXT, 0, p.maxAllowLength > 0 ? p.maxAllowLength : 0x7FFFFFFF);
  unit->SetSelection(p.selStart, p.selLength);
  unit->ApplyBackColor();
  unit->ApplyBorder();
  unit->Control(EM_SETEVENTMASK, 0, kRichEditEventMask);
  unit->Control(EM_SETOPTIONS, ECOOP_OR, ECO_AUTOWORDSELECTION);
  unit->Control(EM_SETMODIFY, 0, 0);
  return unit;
}

void RichEditUnit::ApplyDefaultFormat() {
  CHARFORMATW cf = Widened(DefaultFormat());
  Control(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
}

// When the control's window is gone the unit tells the runtime and deletes itself.
void RichEditUnit::PostNcDestroy() {
  Notify(kSvcReleaseUnitData, static_cast<uint32_t>(windowId_), static_cast<uint32_t>(unitId_));
  Doomed().DeleteOrDefer(this);
}

// The record alone would hold the content and selection last written or read, and a window
// re-created from it (after a write of AllowMultiLines, AutoNextLine or ReadOnly) would lose
// every line appended since and put the caret back at the start. The live control is the truth.
HGLOBAL RichEditUnit::SaveProperties() {
  if (!designFlag_ && hwnd_) {
    props_.content = StreamOut(StreamFormat());
    CHARRANGE sel{0, 0};
    Control(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    props_.selStart = sel.cpMin;
    props_.selLength = sel.cpMax - sel.cpMin;
  }
  return props_.Save(nullptr);
}

HGLOBAL RichEditUnit::VisitTexts(const void* block, int32_t length, UnitTextVisitorCallback visitor, void* user) {
  RichEditProps props;
  if (!props.Load(block, length)) return nullptr;
  if (visitor) {
    const char* replacement = visitor(props.content.c_str(), user);
    if (replacement) props.content = replacement;
  }
  return props.Save(nullptr);
}

// Writes one class property; see the property table of the class for what each index means.
// Out-of-range values are clamped. The answer is true only for a change of a property that the
// control takes at creation alone (multi-line, word wrap, read-only): the form runtime then
// re-creates the window from the saved properties.
bool RichEditUnit::WriteProperty(int32_t index, const UnitValue& v) {
  fw::DeleteQueue::Frame frame(Doomed(), true);
  const uint32_t first = v.first;
  const auto value = static_cast<int32_t>(first);
  const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(first));
  if (!text) text = "";
  switch (index) {
    case kPropContextType:
      props_.contextType = std::clamp(value, 0, 1);
      return false;
    case kPropContent:
      props_.content = text;
      if (hwnd_) StreamIn(props_.content, StreamFormat());
      return false;
    case kPropBorder:
      props_.border = std::clamp(value, 0, 5);
      ApplyBorder();
      return false;
    case kPropBackColor:
      props_.backColor = first;
      ApplyBackColor();
      return false;
    case kPropAllowMultiLines:
    case kPropAutoNextLine:
    case kPropReadOnly: {
      int32_t& slot = index == kPropAllowMultiLines ? props_.allowMultiLines
                      : index == kPropAutoNextLine  ? props_.autoNextLine
                                                    : props_.readOnly;
      const bool changed = slot != value;
      slot = value;
      return changed;
    }
    case kPropHideSel:
      if (props_.hideSel != value) {
        props_.hideSel = value;
        Control(EM_HIDESELECTION, static_cast<WPARAM>(value), 1);
      }
      return false;
    case kPropMaxAllowLength:
      props_.maxAllowLength = std::max(value, 0);
      Control(EM_EXLIMITTEXT, 0, props_.maxAllowLength);
      return false;
    case kPropSelStart:
      props_.selStart = std::max(value, 0);
      SetSelection(props_.selStart, props_.selLength);
      return false;
    case kPropSelLength:
      props_.selLength = std::max(value, -1);
      SetSelection(props_.selStart, props_.selLength);
      return false;
    case kPropSelText: {
      // Replaces the selection and leaves the caret after the inserted text.
      const std::string bytes(text);
      StreamIn(bytes, StreamFormat() | SFF_SELECTION);
      return false;
    }
    case kPropModified:
      if (!designFlag_) Control(EM_SETMODIFY, value ? 1 : 0, 0);
      return false;
    default:
      return false;
  }
}

// Reads one class property into out[0] (an int32, or the address of a text this unit keeps).
// The stored properties answer from the record; content, selection, limit and the modified
// flag come from the live control, except in design mode, where the record answers and the
// selected text reads as empty.
bool RichEditUnit::ReadProperty(int32_t index, UnitValue* out) {
  *out = UnitValue{0, 0};
  auto put = [&](int32_t v) { forms::PutWord(out, v); };
  auto putText = [&](const std::string& s) { forms::PutText(out, s); };
  const bool live = !designFlag_ && hwnd_;
  CHARRANGE sel{0, 0};
  if (live && (index == kPropSelStart || index == kPropSelLength))
    Control(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
  switch (index) {
    case kPropContextType: put(props_.contextType); return true;
    case kPropBorder: put(props_.border); return true;
    case kPropBackColor: out->first = props_.backColor; return true;
    case kPropAllowMultiLines: put(props_.allowMultiLines); return true;
    case kPropAutoNextLine: put(props_.autoNextLine); return true;
    case kPropReadOnly: put(props_.readOnly); return true;
    case kPropHideSel: put(props_.hideSel); return true;
    case kPropContent:
      if (live) props_.content = StreamOut(StreamFormat());
      putText(props_.content);
      return true;
    case kPropMaxAllowLength:
      put(live ? static_cast<int32_t>(Control(EM_GETLIMITTEXT)) : props_.maxAllowLength);
      return true;
    case kPropSelStart: put(live ? sel.cpMin : props_.selStart); return true;
    case kPropSelLength: put(live ? sel.cpMax - sel.cpMin : props_.selLength); return true;
    case kPropSelText:
      selTextScratch_ = live ? StreamOut(StreamFormat() | SFF_SELECTION) : std::string();
      putText(selTextScratch_);
      return true;
    case kPropModified:
      // Some controls answer -1 for "modified"; the property is a logical, 0 or 1.
      put(live && Control(EM_GETMODIFY) != 0 ? 1 : 0);
      return true;
    default:
      return false;
  }
}

// SetSelCharFormat's effect: with an empty selection the format becomes that of the insertion
// point, so the text inserted there next takes it.
void RichEditUnit::ApplyCharFormat(const CharFormat& value) {
  fw::DeleteQueue::Frame frame(Doomed(), true);
  CHARFORMATW cf = Widened(ToCharFormatA(value));
  Control(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

// The whole content or the selection (SFF_SELECTION) in the given format, chunk by chunk.
// Plain text leaves the control as UTF-16 and becomes GBK here, whatever the system's code
// page; RTF names its own code page.
std::string RichEditUnit::StreamOut(int format) {
  std::string out;
  if (!hwnd_) return out;
  const bool wide = !(format & SF_RTF);
  EDITSTREAM es{};
  es.dwCookie = reinterpret_cast<DWORD_PTR>(&out);
  es.pfnCallback = StreamOutCallback;
  Control(EM_STREAMOUT, static_cast<WPARAM>(wide ? format | SF_UNICODE : format), reinterpret_cast<LPARAM>(&es));
  if (!wide) return out;
  return fw::GbkFromWide(reinterpret_cast<const wchar_t*>(out.data()), static_cast<int>(out.size() / 2));
}

// Replaces the whole content, or the selection with SFF_SELECTION, by `bytes`. Plain GBK text
// goes in as UTF-16, so the system's code page never reads it.
void RichEditUnit::StreamIn(const std::string& bytes, int format) {
  if (!hwnd_) return;
  const bool wide = !(format & SF_RTF);
  std::string units;
  if (wide) {
    std::wstring text = fw::WideFromGbk(bytes.data(), static_cast<int>(bytes.size()));
    units.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    format |= SF_UNICODE;
  }
  InStream in{wide ? &units : &bytes, 0, wide};
  EDITSTREAM es{};
  es.dwCookie = reinterpret_cast<DWORD_PTR>(&in);
  es.pfnCallback = StreamInCallback;
  Control(EM_STREAMIN, static_cast<WPARAM>(format), reinterpret_cast<LPARAM>(&es));
}

// A negative length selects everything; otherwise the selection runs from start (at least 0)
// for length characters, the end held within the position range.
void RichEditUnit::SetSelection(int32_t start, int32_t length) {
  if (!hwnd_) return;
  CHARRANGE range{0, -1};
  if (length >= 0) {
    start = std::max(start, 0);
    range.cpMin = start;
    range.cpMax = static_cast<LONG>(std::min<int64_t>(int64_t{start} + length, INT32_MAX));
  }
  Control(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

// 0xFF000000 asks for the system colour (wParam 1); any other value is the colour itself.
void RichEditUnit::ApplyBackColor() {
  if (!hwnd_) return;
  if (props_.backColor == 0xFF000000u) Control(EM_SETBKGNDCOLOR, 1, 0xFFFFFF);
  else Control(EM_SETBKGNDCOLOR, 0, props_.backColor);
}

// Clears the border bits (client edge, modal frame, static edge; the thin border), sets those
// of the chosen style, and lets the frame be recomputed without moving the window.
void RichEditUnit::ApplyBorder() {
  if (hwnd_) forms::ApplyUnitBorder(hwnd_, props_.border);
}

// The control's procedure as the unit sees it: the runtime's object query, the notifications
// its parent hands back, and, where the control itself does not enforce protection, the
// keyboard and clipboard messages that could edit protected text.
LRESULT RichEditUnit::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  Doomed().Flush();  // only when no unit procedure or operation is running now
  fw::DeleteQueue::Frame frame(Doomed());
  return OnMessage(msg, wParam, lParam);
}

LRESULT RichEditUnit::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kMsgQueryUnitObject: return reinterpret_cast<LRESULT>(this);
    case kReflectBase + WM_COMMAND: return OnReflectedCommand(HIWORD(wParam));
    case kReflectBase + WM_NOTIFY: return OnReflectedNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_GETTEXT: return OnGetText(wParam, reinterpret_cast<wchar_t*>(lParam));
    case WM_GETTEXTLENGTH: return OnGetTextLength();
    case WM_SETTEXT: return OnSetText(reinterpret_cast<const wchar_t*>(lParam));
    case WM_CHAR:
    case WM_IME_CHAR:
    case WM_IME_COMPOSITION:
    case WM_KEYDOWN:
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR: return OnEditingMessage(msg, wParam, lParam);
    case WM_SETREDRAW: return OnSetRedraw(wParam != 0);
    default: return Default();
  }
}

// A keyboard or clipboard message that would edit protected text is dropped where the control
// does not refuse it itself.
LRESULT RichEditUnit::OnEditingMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!SystemEnforcesProtection() && RefusesEdit(msg, wParam, lParam)) return 0;
  return Default();
}

// Painting turned back on repaints the whole box, frame and scroll bar included: what was
// written while it was off has not been painted, and not every rich edit control invalidates
// itself here.
LRESULT RichEditUnit::OnSetRedraw(bool redraw) {
  LRESULT result = Default();
  if (redraw) ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  return result;
}

// The control's text with CR LF line ends, as its own WM_GETTEXT gives it, cut to the buffer.
LRESULT RichEditUnit::OnGetText(WPARAM size, wchar_t* buffer) {
  if (!buffer || size == 0) return 0;
  GETTEXTEX get{static_cast<DWORD>(size * sizeof(wchar_t)), GT_USECRLF, 1200, nullptr, nullptr};
  LRESULT got = Control(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(buffer));
  return got > 0 ? got : Default();  // the older control knows no EM_GETTEXTEX
}

LRESULT RichEditUnit::OnGetTextLength() {
  GETTEXTLENGTHEX length{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
  LRESULT n = Control(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length));
  return n > 0 ? n : Default();  // the older control knows no EM_GETTEXTLENGTHEX
}

LRESULT RichEditUnit::OnSetText(const wchar_t* text) {
  SETTEXTEX set{ST_DEFAULT, 1200};
  return Control(EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set), reinterpret_cast<LPARAM>(text ? text : L""));
}

// Content changes and focus changes become unit events; scrolling notes are taken and ignored.
LRESULT RichEditUnit::OnReflectedCommand(WORD code) {
  switch (code) {
    case EN_CHANGE: RaiseEvent(kEventChanged); return 0;
    case EN_SETFOCUS: RaiseEvent(kEventGotFocus); return 0;
    case EN_KILLFOCUS: RaiseEvent(kEventLostFocus); return 0;
    default: return 0;  // EN_HSCROLL, EN_VSCROLL and the rest are taken and ignored
  }
}

// Selection changes become event 1 (not while the protection check moves the selection);
// EN_PROTECTED gets the box's protection answer.
LRESULT RichEditUnit::OnReflectedNotify(NMHDR* header) {
  if (!header) return 0;
  switch (header->code) {
    case EN_SELCHANGE:
      if (!probing_) RaiseEvent(kEventSelChanged);
      return 0;
    case EN_PROTECTED: return ProtectedAnswer(reinterpret_cast<ENPROTECTED*>(header)->msg);
    default: return 0;
  }
}

// Hands the event to the runtime (service 2008), which runs the program's handler if one is
// bound. The handler may destroy this unit: nothing of the object is used afterwards.
void RichEditUnit::RaiseEvent(int32_t event) {
  EventRecord record{};
  record.windowId = windowId_;
  record.unitId = unitId_;
  record.event = event;
  Notify(kSvcFireEvent, reinterpret_cast<uintptr_t>(&record), 0);
}

// What a keyboard or clipboard message does to the text, the keys with Ctrl and Shift as they
// are held now.
RichEditUnit::EditKind RichEditUnit::EditKindOf(UINT msg, WPARAM wParam, LPARAM lParam) {
  const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
  const bool shift = ::GetKeyState(VK_SHIFT) < 0;
  switch (msg) {
    case WM_CHAR:
      if (wParam == '\b') return EditKind::kDeleteBack;
      if (wParam >= 0x20 || wParam == '\t' || wParam == '\r' || wParam == '\n') return EditKind::kInsert;
      return EditKind::kNone;
    case WM_IME_CHAR: return EditKind::kInsert;
    case WM_IME_COMPOSITION: return (lParam & GCS_RESULTSTR) ? EditKind::kInsert : EditKind::kNone;
    case WM_PASTE: return EditKind::kInsert;
    case WM_CUT:
    case WM_CLEAR: return EditKind::kRemove;
    case WM_KEYDOWN:
      switch (wParam) {
        case VK_BACK: return EditKind::kDeleteBack;
        case VK_DELETE: return shift ? EditKind::kRemove : EditKind::kDeleteForward;
        case VK_RETURN: return EditKind::kInsert;
        case VK_INSERT: return shift ? EditKind::kInsert : EditKind::kNone;
        case 'V': return ctrl ? EditKind::kInsert : EditKind::kNone;
        case 'X': return ctrl ? EditKind::kRemove : EditKind::kNone;
        default: return EditKind::kNone;
      }
    default: return EditKind::kNone;
  }
}

// Works out which characters a keyboard or clipboard message would change, and whether any of
// them is protected. An insertion at an empty selection takes the insertion point's format,
// which is what the typed text would get, so typing inside or right after protected text is
// refused as well. Ctrl with Backspace or Delete takes a word.
bool RichEditUnit::RefusesEdit(UINT msg, WPARAM wParam, LPARAM lParam) {
  const EditKind kind = EditKindOf(msg, wParam, lParam);
  if (kind == EditKind::kNone) return false;
  const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
  CHARRANGE sel{0, 0};
  Control(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
  LONG start = sel.cpMin, end = sel.cpMax;
  if (start == end) {
    if (kind == EditKind::kRemove) return false;  // nothing selected, nothing removed
    if (kind == EditKind::kDeleteBack) {
      if (start == 0) return false;
      start = ctrl ? static_cast<LONG>(Control(EM_FINDWORDBREAK, WB_MOVEWORDLEFT, start)) : start - 1;
      start = std::clamp<LONG>(start, 0, end - 1);
    } else if (kind == EditKind::kDeleteForward) {
      GETTEXTLENGTHEX gtl{GTL_NUMCHARS | GTL_PRECISE, 1200};
      LONG length = static_cast<LONG>(Control(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&gtl)));
      if (length <= 0) length = static_cast<LONG>(Control(WM_GETTEXTLENGTH));  // older control
      if (end >= length) return false;
      end = ctrl ? static_cast<LONG>(Control(EM_FINDWORDBREAK, WB_MOVEWORDRIGHT, end)) : end + 1;
      end = std::clamp<LONG>(end, start + 1, length);
    }
  }
  if (!RangeIsProtected(start, end)) return false;
  return ProtectedAnswer(msg) != 0;
}

// Asks the control for the format of [start, end). The current selection is asked directly;
// any other range is selected for the moment with notifications off and the scroll position
// kept, then the selection is put back.
bool RichEditUnit::RangeIsProtected(LONG start, LONG end) {
  CHARRANGE sel{0, 0};
  Control(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
  CHARFORMATA cf{};
  cf.cbSize = sizeof cf;
  if (sel.cpMin == start && sel.cpMax == end) {
    Control(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  } else {
    probing_ = true;
    const LRESULT mask = Control(EM_SETEVENTMASK, 0, 0);
    POINT scroll{0, 0};
    const bool keepScroll = Control(EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll)) != 0;
    CHARRANGE range{start, end};
    Control(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    Control(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    Control(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    if (keepScroll) Control(EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    Control(EM_SETEVENTMASK, 0, mask);
    probing_ = false;
  }
  // A mixed selection has CFM_PROTECTED cleared from the mask: part of it is protected.
  return !(cf.dwMask & CFM_PROTECTED) || (cf.dwEffects & CFE_PROTECTED);
}

}  // namespace extui
