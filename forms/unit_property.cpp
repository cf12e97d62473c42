// Property access by number: ReadUnitProperty and WriteUnitProperty. The eight common
// properties live in the unit's template item and work whether or not the unit exists; class
// properties go through the class's read and write operations, converted between the
// program's value form and the class's two-word form by the property's type code.
#include "forms/unit_property.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "forms/form_runtime.h"
#include "forms/unit_class.h"
#include "forms/unit_support.h"
#include "forms/window_template.h"
#include "framework/scoped_handle.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/interface/services.h"
#include "runtime/runtime_app.h"

namespace forms {

namespace {

constexpr char kNoWindowText[] = "未载入欲访问窗口组件所在的窗口";
constexpr char kNotLoadedText[] = "指定窗口尚未载入";
constexpr char kNoUnitText[] = "指定窗口或窗口组件不存在或尚未载入";
constexpr char kDefaultFace[] = "宋体";

uint32_t Low(uint64_t v) { return static_cast<uint32_t>(v); }
uint32_t High(uint64_t v) { return static_cast<uint32_t>(v >> 32); }
uint64_t Pack(uint32_t low, uint32_t high) { return uint64_t{high} << 32 | low; }
uint64_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// A new heap text (null for an empty or missing text), as every text read hands out.
uint64_t TextValue(const char* text) {
  if (!text || !*text) return 0;
  return Address(rt::NewText(text, static_cast<uint32_t>(std::strlen(text))));
}

// The bytes of a byte set or other array value: its members, whatever its dimensions.
void ArrayBytes(const void* array, const uint8_t** data, uint32_t* length) {
  *data = nullptr;
  *length = 0;
  if (!array) return;
  int32_t dims = ArrayDims(array);
  if (dims < 1) return;
  *data = ArrayMembers(const_cast<void*>(array));
  *length = ArrayCount(array);
}

// The located item of (window, unit); unit id 0 is the window itself. A window that is not in
// the directory and a unit that is not in the window are runtime errors.
struct Target {
  WindowRecord* record;
  uint32_t index;
};

Target FindTarget(int32_t windowId, int32_t unitId) {
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  if (!record) rt::RuntimeError(kNoWindowText, 0);
  int32_t index = unitId == 0 ? (record->units.Count() ? 0 : -1)
                              : record->units.IndexOf(static_cast<uint32_t>(unitId));
  if (index < 0) rt::RuntimeError(kNoUnitText, 0);
  return {record, static_cast<uint32_t>(index)};
}

// The live window rectangle; left/top in the parent's client coordinates for child windows.
RECT LiveRect(HWND hwnd) {
  RECT rc;
  GetWindowRect(hwnd, &rc);
  HWND parent = GetParent(hwnd);
  if (parent && (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

// LOGPIXELSY of the screen, for converting between points and font heights.
int ScreenPixelsPerInch() {
  fw::WindowDc screen(nullptr);
  int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
  return dpi > 0 ? dpi : 96;
}

// The font a class holds, or the system's default GUI font when it gives no 60-byte block.
LOGFONTA CurrentFont(UnitReadFn read, void* object, int32_t classIndex) {
  LOGFONTA font;
  UnitValue v{0, 0};
  if (read && read(object, classIndex, &v) && v.first && v.second == kLogFontSize) {
    std::memcpy(&font, reinterpret_cast<const void*>(static_cast<uintptr_t>(v.first)), sizeof font);
    font.lfFaceName[LF_FACESIZE - 1] = 0;
    return font;
  }
  LOGFONTW wide;
  std::memset(&wide, 0, sizeof wide);
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof wide, &wide);
  return GbkLogFont(wide);
}

// Reads a mouse-pointer block and gives the program its bytes with a cursor number in front.
uint64_t MousePointerValue(const uint8_t* bytes, uint32_t length) {
  if (!bytes || length == 0) return 0;
  std::vector<uint8_t> copy(bytes, bytes + length);
  ConvertMousePointerBlock(copy, false);
  return Address(rt::NewByteSet(copy.data(), length));
}

// The class form of the program's value for one property (fonts are handled by the caller).
// `keep` owns any bytes the class form points into until the write returns.
// Choices never go below 0, logicals become exactly 0 or 1, null texts become "", byte
// sets become (bytes, length), and a mouse pointer's cursor number becomes a cursor id.
UnitValue ToClassForm(PropertyKind kind, uint64_t value, std::vector<uint8_t>& keep) {
  switch (kind) {
    case PropertyKind::kChoice: {
      int32_t v = static_cast<int32_t>(Low(value));
      return {static_cast<uint32_t>(v < 0 ? 0 : v), 0};
    }
    case PropertyKind::kBool: return {Low(value) != 0 ? 1u : 0u, 0};
    case PropertyKind::kDouble:
    case PropertyKind::kRaw: return {Low(value), High(value)};
    case PropertyKind::kText: {
      const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(Low(value)));
      return {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text ? text : "")), 0};
    }
    case PropertyKind::kBlock:
    case PropertyKind::kMousePointer: {
      const uint8_t* data;
      uint32_t length;
      ArrayBytes(reinterpret_cast<const void*>(static_cast<uintptr_t>(Low(value))), &data, &length);
      if (length == 0) return {0, 0};
      keep.assign(data, data + length);
      if (kind == PropertyKind::kMousePointer) ConvertMousePointerBlock(keep, true);
      return {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(keep.data())), length};
    }
    default: return {Low(value), 0};
  }
}

// The program's form of a class value.
// Logicals are true only for exactly 1; texts and blocks are copied into new heap blocks,
// empty ones read as null; a mouse pointer's cursor id becomes its cursor number again.
uint64_t ToApplicationForm(PropertyKind kind, const UnitValue& v) {
  switch (kind) {
    case PropertyKind::kBool: return v.first == 1 ? 1 : 0;
    case PropertyKind::kDouble:
    case PropertyKind::kRaw: return Pack(v.first, v.second);
    case PropertyKind::kText: return TextValue(reinterpret_cast<const char*>(static_cast<uintptr_t>(v.first)));
    case PropertyKind::kBlock:
      if (!v.first || v.second == 0) return 0;
      return Address(rt::NewByteSet(reinterpret_cast<const void*>(static_cast<uintptr_t>(v.first)), v.second));
    case PropertyKind::kMousePointer:
      return MousePointerValue(reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(v.first)), v.second);
    default: return v.first;
  }
}

// Menu items: 0 caption, 1 check mark, 2 disabled, 3 visible (menu flag bit 0 clear).
uint64_t ReadMenuProperty(const UnitItem& item, int32_t property) {
  uint32_t flags = item.MenuFlags();
  switch (property) {
    case 0: return TextValue(item.MenuCaption());
    case 1: return (flags & kMenuChecked) ? 1 : 0;
    case 2: return (flags & kMenuDisabled) ? 1 : 0;
    case 3: return (flags & kMenuHidden) ? 0 : 1;
    default: return 0;
  }
}

// Stores a menu item's caption or flag bit in the item; any real change rebuilds the window's
// menu bar and accelerators from the items.
void WriteMenuProperty(int32_t windowId, Target t, int32_t property, uint64_t value) {
  UnitItem item = t.record->units.ItemAt(t.index);
  uint32_t flags = item.MenuFlags(), newFlags = flags;
  bool on = Low(value) != 0;
  switch (property) {
    case 0: {
      const char* caption = reinterpret_cast<const char*>(static_cast<uintptr_t>(Low(value)));
      if (!caption) caption = "";
      if (std::strcmp(caption, item.MenuCaption()) == 0) return;
      t.record->units.ReplaceMenuCaption(t.index, caption);
      break;
    }
    case 1: newFlags = on ? flags | kMenuChecked : flags & ~kMenuChecked; break;
    case 2: newFlags = on ? flags | kMenuDisabled : flags & ~kMenuDisabled; break;
    case 3: newFlags = on ? flags & ~kMenuHidden : flags | kMenuHidden; break;
    default: return;
  }
  if (property != 0) {
    if (newFlags == flags) return;
    item.SetMenuFlags(newFlags);
  }
  RebuildMenu(windowId);
}

// Common properties 0-7, read from the live window when the unit exists, else from the item.
uint64_t ReadCommonProperty(const UnitItem& item, int32_t property) {
  bool live = IsUnitLive(item);
  HWND hwnd = live ? UnitWindow(item.Object()) : nullptr;
  RECT rc{};
  if (live && property <= kPropHeight) rc = LiveRect(hwnd);
  switch (property) {
    case kPropLeft: return static_cast<uint32_t>(live ? rc.left : item.Left());
    case kPropTop: return static_cast<uint32_t>(live ? rc.top : item.Top());
    case kPropWidth: return static_cast<uint32_t>(live ? rc.right - rc.left : item.Width());
    case kPropHeight: return static_cast<uint32_t>(live ? rc.bottom - rc.top : item.Height());
    case kPropTag: return TextValue(item.Tag());
    case kPropVisible: return (live ? IsWindowVisible(hwnd) != 0 : item.Visible()) ? 1 : 0;
    case kPropDisabled: return (live ? !IsWindowEnabled(hwnd) : item.Disabled()) ? 1 : 0;
    case kPropMousePointer: return MousePointerValue(item.MousePointer(), item.MousePointerLength());
    default: return 0;
  }
}

// Common properties 0-7: stored into the item, then applied to the live window.
void WriteCommonProperty(Target t, int32_t property, uint64_t value) {
  UnitList& units = t.record->units;
  UnitItem item = units.ItemAt(t.index);
  bool live = IsUnitLive(item);
  HWND hwnd = live ? UnitWindow(item.Object()) : nullptr;
  int32_t v = static_cast<int32_t>(Low(value));
  const UINT keep = SWP_NOZORDER | SWP_NOACTIVATE;
  switch (property) {
    // Moves keep the size and z-order; the other coordinate comes from the live window.
    case kPropLeft:
    case kPropTop: {
      v = ClampPosition(v);
      property == kPropLeft ? item.SetLeft(v) : item.SetTop(v);
      if (!live) return;
      RECT rc = LiveRect(hwnd);
      SetWindowPos(hwnd, nullptr, property == kPropLeft ? v : rc.left, property == kPropTop ? v : rc.top,
                   0, 0, keep | SWP_NOSIZE);
      return;
    }
    // Resizes keep the position and z-order.
    case kPropWidth:
    case kPropHeight: {
      v = ClampSize(v);
      property == kPropWidth ? item.SetWidth(v) : item.SetHeight(v);
      if (!live) return;
      RECT rc = LiveRect(hwnd);
      SetWindowPos(hwnd, nullptr, 0, 0, property == kPropWidth ? v : rc.right - rc.left,
                   property == kPropHeight ? v : rc.bottom - rc.top, keep | SWP_NOMOVE);
      return;
    }
    // The tag lives only in the item: the unit list grows or shrinks with it.
    case kPropTag:
      units.ReplaceTag(t.index, reinterpret_cast<const char*>(static_cast<uintptr_t>(Low(value))));
      return;
    // Hiding always hides; showing leaves windowless classes alone, shows the window item
    // normally and a unit without activating it.
    case kPropVisible: {
      bool show = v != 0;
      item.SetFlags(show ? item.Flags() | kUnitVisible : item.Flags() & ~kUnitVisible);
      if (!live) return;
      if (!show) {
        ShowWindow(hwnd, SW_HIDE);
        return;
      }
      const UnitClassInfo* cls = FindUnitClass(item.TypeId());
      if (cls && (cls->flags & kClassWindowless)) return;
      ShowWindow(hwnd, t.index == 0 ? SW_SHOW : SW_SHOWNA);
      return;
    }
    case kPropDisabled: {
      bool disable = v != 0;
      item.SetFlags(disable ? item.Flags() | kUnitDisabled : item.Flags() & ~kUnitDisabled);
      if (live) EnableWindow(hwnd, !disable);
      return;
    }
    // The item keeps a cursor id in the block's first word; the program gives a number.
    case kPropMousePointer: {
      const uint8_t* data;
      uint32_t length;
      ArrayBytes(reinterpret_cast<const void*>(static_cast<uintptr_t>(Low(value))), &data, &length);
      std::vector<uint8_t> block(data, data + length);
      ConvertMousePointerBlock(block, true);
      // The cursor slot holds a cursor only while the unit exists; the next load builds it
      // from the stored block otherwise.
      units.ReplaceMousePointer(t.index, block.data(), static_cast<uint32_t>(block.size()));
      UnitItem moved = units.ItemAt(t.index);
      ReplaceUnitCursor(moved, live ? MakeUnitCursor(moved.MousePointer(), moved.MousePointerLength()) : nullptr);
      if (live) {
        POINT p;
        if (GetCursorPos(&p)) SetCursorPos(p.x, p.y);   // the new cursor shows at once
      }
      return;
    }
    default: return;
  }
}

}  // namespace

// Positions and sizes as the common properties accept them.
int32_t ClampPosition(int32_t v) { return std::clamp(v, -kMaxCoordinate, kMaxCoordinate); }
int32_t ClampSize(int32_t v) { return std::clamp(v, 0, kMaxCoordinate); }

// A font sub-item as the program reads it; -1 gives a new 28-byte record.
uint64_t ReadFontSubItem(const LOGFONTA& font, int32_t subItem, int dpi) {
  switch (subItem) {
    case kFontAngle: return static_cast<uint32_t>(font.lfOrientation);
    case kFontBold: return font.lfWeight >= FW_BOLD ? 1 : 0;
    case kFontItalic: return font.lfItalic ? 1 : 0;
    case kFontStrikeout: return font.lfStrikeOut ? 1 : 0;
    case kFontUnderline: return font.lfUnderline ? 1 : 0;
    case kFontSize: return static_cast<uint32_t>(MulDiv(std::abs(font.lfHeight), 72, dpi));
    case kFontFace: {
      char face[LF_FACESIZE];
      std::memcpy(face, font.lfFaceName, LF_FACESIZE);
      face[LF_FACESIZE - 1] = 0;
      return TextValue(face);
    }
    case kFontWhole: {
      uint32_t* record = static_cast<uint32_t*>(rt::MemAlloc(kFontRecordSize));
      for (int32_t i = kFontAngle; i < kFontFace; ++i) record[i] = Low(ReadFontSubItem(font, i, dpi));
      record[kFontFace] = Low(ReadFontSubItem(font, kFontFace, dpi));
      return Address(record);
    }
    default: return 0;
  }
}

// Changes one sub-item of `font` (or all of them from a 28-byte record). False when nothing
// is to be written: an unknown sub-item or a null record.
bool WriteFontSubItem(LOGFONTA& font, int32_t subItem, uint64_t value, int dpi) {
  int32_t v = static_cast<int32_t>(Low(value));
  switch (subItem) {
    case kFontAngle: {
      int32_t angle = v % 3600;
      if (angle < 0) angle += 3600;
      font.lfEscapement = font.lfOrientation = angle;
      return true;
    }
    case kFontBold: font.lfWeight = v ? FW_BOLD : 0; return true;
    case kFontItalic: font.lfItalic = v ? 1 : 0; return true;
    case kFontStrikeout: font.lfStrikeOut = v ? 1 : 0; return true;
    case kFontUnderline: font.lfUnderline = v ? 1 : 0; return true;
    case kFontSize: {
      int32_t points = v == INT32_MIN ? INT32_MAX : std::abs(v);
      font.lfHeight = -MulDiv(points, dpi, 72);
      return true;
    }
    case kFontFace: {
      const char* face = reinterpret_cast<const char*>(static_cast<uintptr_t>(Low(value)));
      size_t n = face ? std::strlen(face) : 0;
      if (n == 0 || n >= LF_FACESIZE) face = kDefaultFace, n = std::strlen(kDefaultFace);
      std::memset(font.lfFaceName, 0, LF_FACESIZE);
      std::memcpy(font.lfFaceName, face, n);
      return true;
    }
    case kFontWhole: {
      const uint32_t* record = reinterpret_cast<const uint32_t*>(static_cast<uintptr_t>(Low(value)));
      if (!record) return false;
      for (int32_t i = kFontAngle; i <= kFontFace; ++i) WriteFontSubItem(font, i, record[i], dpi);
      return true;
    }
    default: return false;
  }
}

// Window, then item (menu items answer from their flags and caption), then the common
// properties from the item or the live window; class properties need the unit to exist.
uint64_t ReadUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index) {
  Target t = FindTarget(windowId, unitId);
  UnitItem item = t.record->units.ItemAt(t.index);
  if (item.IsMenuItem()) return ReadMenuProperty(item, property);
  if (property < kCommonPropertyCount) return ReadCommonProperty(item, property);
  if (!IsUnitLive(item)) rt::RuntimeError(kNotLoadedText, 0);
  const UnitClassInfo* cls = FindUnitClass(item.TypeId());
  const PropertyInfo* info = FindPropertyInfo(cls, property);
  auto read = UnitOperationOf<UnitReadFn>(cls, kUnitOpRead);
  if (!info || !read) return 0;
  // Class properties number from 0 in the class; fonts are read whole, then by sub-item.
  int32_t classIndex = property - kCommonPropertyCount;
  PropertyKind kind = KindOfPropertyType(info->type);
  if (kind == PropertyKind::kFont)
    return ReadFontSubItem(CurrentFont(read, item.Object(), classIndex), index, ScreenPixelsPerInch());
  UnitValue v{0, 0};
  if (!read(item.Object(), classIndex, &v)) return 0;
  return ToApplicationForm(kind, v);
}

// Common properties are always stored in the item; class properties need the unit to exist
// and are handed to the class's write operation, which may ask for re-creation in place
// (not for the window item). Events stay blocked while the unit is re-created.
void WriteUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index, uint64_t value) {
  Target t = FindTarget(windowId, unitId);
  UnitItem item = t.record->units.ItemAt(t.index);
  if (item.IsMenuItem()) {
    WriteMenuProperty(windowId, t, property, value);
    return;
  }
  if (property < 0) return;
  if (property < kCommonPropertyCount) {
    WriteCommonProperty(t, property, value);
    return;
  }
  if (!IsUnitLive(item)) rt::RuntimeError(kNotLoadedText, 0);
  const UnitClassInfo* cls = FindUnitClass(item.TypeId());
  const PropertyInfo* info = FindPropertyInfo(cls, property);
  auto write = UnitOperationOf<UnitWriteFn>(cls, kUnitOpWrite);
  if (!info || !write) return;
  int32_t classIndex = property - kCommonPropertyCount;
  PropertyKind kind = KindOfPropertyType(info->type);
  void* object = item.Object();

  // A font sub-item changes the class's current font, which is then written back whole.
  std::vector<uint8_t> keep;
  LOGFONTA font;
  UnitValue v;
  if (kind == PropertyKind::kFont) {
    font = CurrentFont(UnitOperationOf<UnitReadFn>(cls, kUnitOpRead), object, classIndex);
    if (!WriteFontSubItem(font, index, value, ScreenPixelsPerInch())) return;
    v = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&font)), kLogFontSize};
  } else {
    v = ToClassForm(kind, value, keep);
  }
  // The class answers 1 when its system window must be rebuilt for the change to show; the
  // write may also have destroyed the window (a handler ran), hence the second check.
  int32_t outWord = 0;
  if (write(object, classIndex, &v, &outWord) != 1 || t.index == 0) return;
  if (!IsUnitLive(t.record->units.ItemAt(t.index))) return;
  rt::RuntimeApp& app = rt::TheApp();
  ++app.eventBlockCount;
  RecreateUnit(windowId, t.index);
  --app.eventBlockCount;
}

}  // namespace forms
