// The shape every unit class shares, so that a class's own file holds only what is particular
// to it:
//   - UnitOperations<Unit> generates the class's UnitInterface entry and the trampolines
//     behind it from the member functions the class has;
//   - WithCommonProperties and MakeUnitClass build the property table (the eight common
//     properties first) and the class record;
//   - small helpers read and write class-form values and apply the border styles of a box.
//
// Header-only and free of runtime calls: the extended interface library builds its rich edit
// box on it too, and reaches the runtime only through RuntimeNotify.
#pragma once

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

#include "framework/window.h"
#include "runtime/interface/unit_records.h"

namespace forms {

// Everything a class's create operation (UnitInterface code 1) receives, in argument order.
struct UnitCreateArgs {
  const void* block;     // PropertyBlock, may be null
  int32_t blockLength;   // bytes
  uint32_t style;        // WS_DISABLED / WS_TABSTOP from the runtime
  HWND parent;           // the owner for the window item
  uint32_t controlId;
  void* menu;            // the window item's menu bar, else null
  int32_t left, top, width, height;  // pixels
  int32_t windowId, unitId;
  uint32_t classWord1, classWord2;   // class-specific (child flag, design flag)
};

// The unit behind an operation's object argument: every class hands out its object as the
// fw::WindowObject it derives from.
template <class Unit>
Unit* UnitOf(void* object) {
  return static_cast<Unit*>(static_cast<fw::WindowObject*>(object));
}

// ---------------------------------------------------------------------------------------------
// UnitOperations<Unit>: the UnitInterface of a class, generated from these members of Unit
// (each one optional but Create; a missing one leaves its operation out):
//   static Unit* Create(const UnitCreateArgs&)                         1 create
//   int32_t Query(int32_t question)                                    2 query
//   bool WriteProperty(int32_t index, const UnitValue&)                4 write; true re-creates
//   HGLOBAL SaveProperties()                                           5 save
//   bool ReadProperty(int32_t index, UnitValue*)                       6 read; false: unknown
//   bool ClaimsKey(int32_t key)                                        8 claims key
//   static HGLOBAL VisitTexts(block, length, visitor, user)            9 text visitor
//   bool IsDefault()                                                   10 is default
//   bool PreTranslate(MSG*)                                            11 pre-translate
// The trampolines answer 0 or null for a null object (and a null value), clear the write's
// out word, and pass global memory blocks on to the runtime, which owns them from then on.
// The members are public, or private with UnitOperations<Unit> a friend.
// ---------------------------------------------------------------------------------------------
template <class Unit>
class UnitOperations {
 public:
  // The class's UnitInterface entry function.
  static void* __cdecl Entry(int32_t operation) {
    switch (operation) {
      case UNIT_OP_CREATE: return Address(&Create);
      case UNIT_OP_QUERY: if constexpr (kQuery) return Address(&Query); break;
      case UNIT_OP_WRITE: if constexpr (kWrite) return Address(&Write); break;
      case UNIT_OP_SAVE: if constexpr (kSave) return Address(&Save); break;
      case UNIT_OP_READ: if constexpr (kRead) return Address(&Read); break;
      case UNIT_OP_CLAIMS_KEY: if constexpr (kClaimsKey) return Address(&ClaimsKey); break;
      case UNIT_OP_TEXT_VISITOR: if constexpr (kVisitTexts) return Address(&VisitTexts); break;
      case UNIT_OP_IS_DEFAULT: if constexpr (kIsDefault) return Address(&IsDefault); break;
      case UNIT_OP_PRETRANSLATE: if constexpr (kPreTranslate) return Address(&PreTranslate); break;
      default: break;
    }
    return nullptr;
  }

  // Whether the class provides operation `operation`; a class file asserts the list it means
  // to have, so that a member missed by a typo cannot drop an operation unnoticed.
  static constexpr bool Provides(int32_t operation) {
    switch (operation) {
      case UNIT_OP_CREATE: return true;
      case UNIT_OP_QUERY: return kQuery;
      case UNIT_OP_WRITE: return kWrite;
      case UNIT_OP_SAVE: return kSave;
      case UNIT_OP_READ: return kRead;
      case UNIT_OP_CLAIMS_KEY: return kClaimsKey;
      case UNIT_OP_TEXT_VISITOR: return kVisitTexts;
      case UNIT_OP_IS_DEFAULT: return kIsDefault;
      case UNIT_OP_PRETRANSLATE: return kPreTranslate;
      default: return false;
    }
  }
  // Exactly the operations listed, no other.
  static constexpr bool ProvidesExactly(std::initializer_list<int32_t> operations) {
    for (int32_t op = 0; op <= UNIT_OP_PRETRANSLATE; ++op) {
      bool listed = std::find(operations.begin(), operations.end(), op) != operations.end();
      if (listed != Provides(op)) return false;
    }
    return true;
  }

 private:
  static constexpr bool kQuery = requires(Unit& u) { u.Query(int32_t{}); };
  static constexpr bool kWrite = requires(Unit& u, const UnitValue& v) { u.WriteProperty(int32_t{}, v); };
  static constexpr bool kSave = requires(Unit& u) { u.SaveProperties(); };
  static constexpr bool kRead = requires(Unit& u, UnitValue* v) { u.ReadProperty(int32_t{}, v); };
  static constexpr bool kClaimsKey = requires(Unit& u) { u.ClaimsKey(int32_t{}); };
  static constexpr bool kVisitTexts = requires(UnitTextVisitorCallback f) {
    Unit::VisitTexts(static_cast<const void*>(nullptr), int32_t{}, f, static_cast<void*>(nullptr));
  };
  static constexpr bool kIsDefault = requires(Unit& u) { u.IsDefault(); };
  static constexpr bool kPreTranslate = requires(Unit& u, MSG* m) { u.PreTranslate(m); };

  template <typename Fn>
  static void* Address(Fn fn) {
    return reinterpret_cast<void*>(fn);
  }

  static void* __cdecl Create(const void* block, int32_t length, uint32_t style, void* parent,
                              uint32_t controlId, void* menu, int32_t left, int32_t top,
                              int32_t width, int32_t height, int32_t windowId, int32_t unitId,
                              uint32_t classWord1, uint32_t classWord2) {
    Unit* unit = Unit::Create(UnitCreateArgs{block, length, style, static_cast<HWND>(parent), controlId,
                                             menu, left, top, width, height, windowId, unitId,
                                             classWord1, classWord2});
    return unit ? static_cast<fw::WindowObject*>(unit) : nullptr;
  }
  static int32_t __cdecl Query(void* object, int32_t question) {
    Unit* unit = UnitOf<Unit>(object);
    return unit ? unit->Query(question) : 0;
  }
  static int32_t __cdecl Write(void* object, int32_t index, const UnitValue* value, int32_t* out) {
    if (out) *out = 0;
    Unit* unit = UnitOf<Unit>(object);
    return unit && value && unit->WriteProperty(index, *value) ? 1 : 0;
  }
  static void* __cdecl Save(void* object) {
    Unit* unit = UnitOf<Unit>(object);
    return unit ? unit->SaveProperties() : nullptr;
  }
  static int32_t __cdecl Read(void* object, int32_t index, UnitValue* value) {
    Unit* unit = UnitOf<Unit>(object);
    return unit && value && unit->ReadProperty(index, value) ? 1 : 0;
  }
  static int32_t __cdecl ClaimsKey(void* object, int32_t key) {
    Unit* unit = UnitOf<Unit>(object);
    return unit && unit->ClaimsKey(key) ? 1 : 0;
  }
  static void* __cdecl VisitTexts(const void* block, int32_t length, UnitTextVisitorCallback visitor,
                                  void* user) {
    return Unit::VisitTexts(block, length, visitor, user);
  }
  static int32_t __cdecl IsDefault(void* object) {
    Unit* unit = UnitOf<Unit>(object);
    return unit && unit->IsDefault() ? 1 : 0;
  }
  static int32_t __cdecl PreTranslate(void* object, void* msg) {
    Unit* unit = UnitOf<Unit>(object);
    return unit && unit->PreTranslate(static_cast<MSG*>(msg)) ? 1 : 0;
  }

  // The trampolines are exactly the routines the runtime calls through.
  static_assert(std::is_same_v<decltype(&Create), UnitCreateFn>);
  static_assert(std::is_same_v<decltype(&Query), UnitQueryFn>);
  static_assert(std::is_same_v<decltype(&Write), UnitWriteFn>);
  static_assert(std::is_same_v<decltype(&Save), UnitSaveFn>);
  static_assert(std::is_same_v<decltype(&Read), UnitReadFn>);
  static_assert(std::is_same_v<decltype(&ClaimsKey), UnitClaimsKeyFn>);
  static_assert(std::is_same_v<decltype(&VisitTexts), UnitTextVisitorFn>);
  static_assert(std::is_same_v<decltype(&IsDefault), UnitIsDefaultFn>);
  static_assert(std::is_same_v<decltype(&PreTranslate), UnitPreTranslateFn>);
};

// ---------------------------------------------------------------------------------------------
// Property tables and class records.
// ---------------------------------------------------------------------------------------------

// The property table of a class whose records carry only value type codes (as the core
// library's do): the eight common properties, then the class's own, numbered from 8 on.
template <size_t N>
constexpr std::array<PropertyInfo, kCommonPropertyCount + N> WithCommonProperties(const uint16_t (&ownTypes)[N]) {
  std::array<PropertyInfo, kCommonPropertyCount + N> table{};
  for (size_t i = 0; i < kCommonPropertyCount; ++i) table[i] = kCommonPropertyInfos[i];
  for (size_t i = 0; i < N; ++i) table[kCommonPropertyCount + i] = {nullptr, nullptr, nullptr, ownTypes[i], 0, nullptr};
  return table;
}

// The 56-byte class record of Unit over a property table with static storage; its
// UnitInterface is UnitOperations<Unit>::Entry unless another entry is given.
template <class Unit, typename Table>
constexpr UnitClassInfo MakeUnitClass(const char* name, const char* englishName, uint32_t flags,
                                      const Table& properties, UnitInterfaceFn entry = &UnitOperations<Unit>::Entry) {
  return {name, englishName, {0, 0, 0}, flags, {0, 0, 0}, static_cast<uint32_t>(std::size(properties)),
          std::data(properties), entry, {0, 0}};
}

// ---------------------------------------------------------------------------------------------
// Class-form values (the two words exchanged with the read and write operations).
// ---------------------------------------------------------------------------------------------

// A text value: zero-terminated text the caller owns; null is the empty text.
inline std::string TextOf(const UnitValue& value) {
  const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(value.first));
  return text ? std::string(text) : std::string();
}
// A block value, (pointer, length): a null pointer or length 0 is the empty block.
inline std::vector<uint8_t> BlockOf(const UnitValue& value) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(value.first));
  if (bytes == nullptr || value.second == 0) return {};
  return std::vector<uint8_t>(bytes, bytes + value.second);
}
// A font value: a 60-byte LOGFONTA, or nothing (empty) for any other length.
inline std::vector<uint8_t> FontOf(const UnitValue& value) {
  return value.second == kLogFontSize ? BlockOf(value) : std::vector<uint8_t>();
}

// Writers for ReadProperty. A text points into storage the unit keeps until its next read; a
// block or font points at the stored bytes and leaves the value alone when there are none.
inline void PutWord(UnitValue* value, int32_t word) { value->first = static_cast<uint32_t>(word); }
inline void PutText(UnitValue* value, const std::string& text) {
  value->first = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text.c_str()));
}
inline void PutBlock(UnitValue* value, const std::vector<uint8_t>& block) {
  if (block.empty()) return;
  value->first = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block.data()));
  value->second = static_cast<uint32_t>(block.size());
}

// ---------------------------------------------------------------------------------------------
// Border styles of the boxes: 0 none, 1 sunken, 2 raised, 3 shallow sunken, 4 frame, 5 single
// line (the thin WS_BORDER); values outside 0..5 are clamped.
// ---------------------------------------------------------------------------------------------
inline constexpr DWORD kBorderExStyleMask = WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME | WS_EX_STATICEDGE;

// Replaces the window's border bits by those of `border` and has the frame recomputed without
// moving or sizing it.
inline void ApplyUnitBorder(HWND hwnd, int32_t border) {
  static constexpr DWORD kExStyles[6] = {0, WS_EX_CLIENTEDGE, WS_EX_DLGMODALFRAME, WS_EX_STATICEDGE,
                                         WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME, 0};
  border = std::clamp(border, 0, 5);
  DWORD ex = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_EXSTYLE)) & ~kBorderExStyleMask;
  DWORD style = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_STYLE)) & ~static_cast<DWORD>(WS_BORDER);
  if (border == 5) style |= WS_BORDER;
  ::SetWindowLongA(hwnd, GWL_EXSTYLE, static_cast<LONG>(ex | kExStyles[border]));
  ::SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(style));
  ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace forms
