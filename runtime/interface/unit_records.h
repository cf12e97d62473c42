// Unit class records: how a library describes its unit classes to the form runtime.
//
// A library's data-type table (LibraryInfo::typeTable) is an array of 56-byte UnitClassInfo
// records; a class that the library does not implement is an all-zero record. Each class has a
// property table of 20-byte PropertyInfo records (the eight common properties first) and one
// UnitInterface entry function that maps an operation code to the class's routine for it.
// The runtime and the libraries read these records in place, so their layout is fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "runtime/interface/records.h"

// Property value type codes (PropertyInfo::type). The "application form" is what
// ReadUnitProperty returns and WriteUnitProperty takes; the "class form" is the two-word
// UnitValue exchanged with a class's read and write operations.
enum PropertyType : uint16_t {
  kPropTypeInt = 1000,           // int32                   | value
  kPropTypeInt1001 = 1001,      // int32 (positions, sizes) | value
  kPropTypeDouble = 1002,        // 8 bytes                 | two words
  kPropTypeBool = 1003,          // 0 / 1                   | value (read: true only when 1)
  kPropTypeDatetime = 1004,      // 8 bytes                 | two words
  kPropTypeText = 1005,          // heap text or null       | pointer to class-owned text
  kPropTypeChoice = 1006,        // int32 index             | value, negative written as 0
  kPropTypePicture = 1009,       // byte set or null        | (pointer, length)
  kPropTypeIcon = 1010,          // byte set                | (pointer, length)
  kPropTypeMousePointer = 1011, // byte set, cursor number | (pointer, length), cursor id
  kPropTypeSound = 1012,         // byte set                | (pointer, length)
  kPropTypeFont = 1013,          // by sub-item             | (pointer to LOGFONTA, 60)
  kPropTypeColor = 1014,         // COLORREF                | value
  kPropTypeColor1015 = 1015,    // COLORREF                | value
  kPropTypeFileName = 1016,     // text                    | pointer
  kPropTypeBackColor = 1017,    // COLORREF (0xFF000000 = system default) | value
  kPropTypeDataSource = 1018,   // text                    | pointer
  kPropTypeDataColumn = 1020,   // text                    | pointer
  kPropTypeBlock = 1023,         // byte set                | (pointer, length)
  kPropTypeAnimatedPicture = 1024,  // byte set            | (pointer, length)
};

// Which conversion a value type code takes. Codes the runtime does not know pass both words
// through unchanged (no pointer is followed).
enum class PropertyKind { kRaw, kInt, kDouble, kBool, kText, kChoice, kBlock, kMousePointer, kFont, kColor };

constexpr PropertyKind KindOfPropertyType(uint32_t type) {
  switch (type) {
    case 1000: case 1001: return PropertyKind::kInt;
    case 1002: case 1004: return PropertyKind::kDouble;
    case 1003: return PropertyKind::kBool;
    case 1005: case 1016: case 1018: case 1020: return PropertyKind::kText;
    case 1006: return PropertyKind::kChoice;
    case 1009: case 1010: case 1012: case 1023: case 1024: return PropertyKind::kBlock;
    case 1011: return PropertyKind::kMousePointer;
    case 1013: return PropertyKind::kFont;
    case 1014: case 1015: case 1017: return PropertyKind::kColor;
    default: return PropertyKind::kRaw;
  }
}

// The common properties every unit has, kept by the runtime in the unit's template item.
enum CommonProperty : int32_t {
  kPropLeft = 0,           // 左边, pixels
  kPropTop = 1,            // 顶边, pixels
  kPropWidth = 2,          // 宽度, pixels
  kPropHeight = 3,         // 高度, pixels
  kPropTag = 4,            // 标记, text
  kPropVisible = 5,        // 可视, logical
  kPropDisabled = 6,       // 禁止, logical
  kPropMousePointer = 7,  // 鼠标指针, mouse-pointer block
  kCommonPropertyCount = 8 // class properties start here; class index = number - 8
};

// Font sub-items of a font property (the fourth word of a property access).
enum FontSubItem : int32_t {
  kFontWhole = -1,      // 28-byte record: angle, bold, italic, strike-out, underline, size, face
  kFontAngle = 0,       // tenths of a degree
  kFontBold = 1,
  kFontItalic = 2,
  kFontStrikeout = 3,
  kFontUnderline = 4,
  kFontSize = 5,        // points
  kFontFace = 6,        // text
};
inline constexpr uint32_t kLogFontSize = 60;   // sizeof(LOGFONTA)
inline constexpr uint32_t kFontRecordSize = 28;

// Class flags (UnitClassInfo::flags).
enum UnitClassFlag : uint32_t {
  kClassEventsA = 0x04,              // raises events (0x04 or 0x40)
  kClassNoRecreate = 0x10,           // cannot be re-created in place
  kClassPretranslate = 0x20,          // pre-translates window messages (operation 11)
  kClassEvents = 0x40,                // raises events
  kClassContainer = 0x80,             // children move to the new object on re-creation
  kClassPagedContainer = 0x100,      // the item's word list names the units on its pages
  kClassChildRoutingA = 0x200,
  kClassOptionButton = 0x400,
  kClassPushButton = 0x800,          // Enter key candidate (operation 10)
  kClassCheckBox = 0x1000,
  kClassLabel = 0x2000,
  kClassMnemonicMask = 0x7C00,       // captions are searched for mnemonics
  kClassWindowless = 0x8000,          // never shown, never focused
  kClassNoFocus = 0x10000,
  kClassMediaPlayer = 0x80000,
  kClassDockable = 0x100000,          // stacked along the window's top or bottom edge
  kClassChildRouting = 0x200000,
  kClassDragMovesWindow = 0x4000000,
};
constexpr bool ClassRaisesEvents(uint32_t flags) { return (flags & (kClassEventsA | kClassEvents)) != 0; }

// Flags of the classes the program uses.
inline constexpr uint32_t kWindowClassFlags = 0x800000D0;
inline constexpr uint32_t kEditBoxClassFlags = 0x80000040;
inline constexpr uint32_t kButtonClassFlags = 0x80000840;
inline constexpr uint32_t kRichEditClassFlags = 0x00000040;

// UnitInterface: the class entry function maps an operation code to the operation's routine,
// or null when the class lacks it. Every operation returns 0 or null for a null object.
// The object is the unit's window object: a fw::WindowObject*, passed as void*; the runtime
// takes only its window handle from it.
enum UnitOperation : int32_t {
  kUnitOpCreate = 1,
  kUnitOpQuery = 2,          // class-specific
  kUnitOpWrite = 4,
  kUnitOpSave = 5,
  kUnitOpRead = 6,
  kUnitOpClass7 = 7,        // class-specific
  kUnitOpClaimsKey = 8,
  kUnitOpTextVisitor = 9,
  kUnitOpIsDefault = 10,
  kUnitOpPretranslate = 11,
};

using UnitInterfaceFn = void*(__cdecl*)(int32_t operation);

// The class form of a property value: one or two words. Integers, logicals, choices and
// colours use `first`; texts put a pointer to zero-terminated class-owned text in `first`;
// blocks and fonts put (pointer, length); 8-byte numbers use both words, low word first.
struct UnitValue {
  uint32_t first;
  uint32_t second;
};
static_assert(sizeof(UnitValue) == 8);

// 1: create. (block, length, style, parent HWND, control id, menu HMENU or 0, left, top, width,
// height, window id, unit id, class word 1, class word 2) -> new object or null.
using UnitCreateFn = void*(__cdecl*)(const void* block, int32_t length, uint32_t style,
                                     void* parent, uint32_t controlId, void* menu, int32_t left,
                                     int32_t top, int32_t width, int32_t height, int32_t windowId,
                                     int32_t unitId, uint32_t classWord1, uint32_t classWord2);
// 2: query. (object, question) -> answer.
using UnitQueryFn = int32_t(__cdecl*)(void* object, int32_t question);
// 4: write property. (object, class index, value, optional out word set to 0) -> 1 when the
// unit must be re-created for the change to show.
using UnitWriteFn = int32_t(__cdecl*)(void* object, int32_t classIndex, const UnitValue* value,
                                      int32_t* outWord);
// 5: save properties. (object) -> movable global memory block (HGLOBAL) holding the current
// PropertyBlock at the class's maximum version, shrunk to its length; or null.
using UnitSaveFn = void*(__cdecl*)(void* object);
// 6: read property. (object, class index, value to fill) -> 1 if the index is known.
using UnitReadFn = int32_t(__cdecl*)(void* object, int32_t classIndex, UnitValue* value);
// 8: claims key. (object, virtual key) -> true if the unit handles the key itself.
using UnitClaimsKeyFn = int32_t(__cdecl*)(void* object, int32_t key);
// 9: text visitor. The visitor gets each text the block holds and returns a replacement
// (or null to keep it); the operation returns the rewritten block as an HGLOBAL, or null.
using UnitTextVisitorCallback = const char*(__cdecl*)(const char* text, void* user);
using UnitTextVisitorFn = void*(__cdecl*)(const void* block, int32_t length,
                                          UnitTextVisitorCallback visitor, void* user);
// 10: is default. (object) -> true for a default push button.
using UnitIsDefaultFn = int32_t(__cdecl*)(void* object);
// 11: pre-translate. (object, MSG*) -> true if the message was consumed.
using UnitPreTranslateFn = int32_t(__cdecl*)(void* object, void* msg);

#pragma pack(push, 4)

// One property of a class; properties are numbered by their position in the table.
struct PropertyInfo {
  const char* name;          // 0  GBK name, may be null
  const char* englishName;   // 4  may be null
  const char* description;   // 8  may be null
  uint16_t type;             // 12 PropertyType
  uint16_t flags;            // 14 editor hints; the runtime does not read them
  const char* choices;       // 16 choice texts, each zero-terminated, one after another
};
static_assert(sizeof(PropertyInfo) == 20);
static_assert(offsetof(PropertyInfo, description) == 8);
static_assert(offsetof(PropertyInfo, type) == 12);
static_assert(offsetof(PropertyInfo, flags) == 14);
static_assert(offsetof(PropertyInfo, choices) == 16);
static_assert(std::is_standard_layout_v<PropertyInfo> && std::is_trivially_copyable_v<PropertyInfo>);

// One unit class (one data type) of a library.
struct UnitClassInfo {
  const char* name;                  // 0  GBK class name, e.g. "编辑框"
  const char* englishName;           // 4  e.g. "EditBox"
  uint32_t reserved08[3];            // 8
  uint32_t flags;                    // 20 UnitClassFlag bits
  uint32_t reserved18[3];            // 24
  uint32_t propertyCount;            // 36 common properties included
  const PropertyInfo* properties;    // 40
  UnitInterfaceFn unitInterface;     // 44
  uint32_t reserved30[2];            // 48
};
static_assert(sizeof(UnitClassInfo) == 56);
static_assert(offsetof(UnitClassInfo, flags) == 20);
static_assert(offsetof(UnitClassInfo, propertyCount) == 36);
static_assert(offsetof(UnitClassInfo, properties) == 40);
static_assert(offsetof(UnitClassInfo, unitInterface) == 44);
static_assert(offsetof(UnitClassInfo, reserved30) == 48);
static_assert(std::is_standard_layout_v<UnitClassInfo> && std::is_trivially_copyable_v<UnitClassInfo>);

#pragma pack(pop)

// The eight common property records every class table starts with (type codes only, as the
// core library's tables carry them). Library tables may use their own named copies.
inline constexpr PropertyInfo kCommonPropertyInfos[kCommonPropertyCount] = {
    {nullptr, nullptr, nullptr, kPropTypeInt1001, 0, nullptr},
    {nullptr, nullptr, nullptr, kPropTypeInt1001, 0, nullptr},
    {nullptr, nullptr, nullptr, kPropTypeInt1001, 0, nullptr},
    {nullptr, nullptr, nullptr, kPropTypeInt1001, 0, nullptr},
    {nullptr, nullptr, nullptr, kPropTypeText, 0, nullptr},
    {nullptr, nullptr, nullptr, kPropTypeBool, 0, nullptr},
    {nullptr, nullptr, nullptr, kPropTypeBool, 0, nullptr},
    {nullptr, nullptr, nullptr, kPropTypeMousePointer, 0, nullptr},
};

// Unit type ids: library number << 16 | class number, both from 1.
constexpr uint32_t MakeUnitTypeId(uint32_t library, uint32_t classNumber) {
  return library << 16 | classNumber;
}
inline constexpr uint32_t kWindowTypeId = 0x00010001;
inline constexpr uint32_t kEditBoxTypeId = 0x00010005;
inline constexpr uint32_t kButtonTypeId = 0x0001000B;
inline constexpr uint32_t kRichEditTypeId = 0x00020006;
