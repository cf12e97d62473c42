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

// One row of a class's operation table; `address` is null for an operation the class lacks.
struct UnitOperationRow {
  int32_t operation;
  bool provided;
  void* (*address)();
};

// A trampoline's address as the entry function hands it out. The table keeps this routine
// rather than the address itself: a routine's address as data is no constant expression.
template <auto kTrampoline>
void* UnitTrampolineAddress() {
  return reinterpret_cast<void*>(kTrampoline);
}

// The row of operation record Op; its trampoline must be exactly the routine the runtime
// calls through.
template <class Op>
constexpr UnitOperationRow UnitOperationRowOf() {
  static_assert(std::is_same_v<decltype(&Op::Call), typename Op::Routine>);
  if constexpr (Op::kProvided) return {Op::kOperation, true, &UnitTrampolineAddress<&Op::Call>};
  else return {Op::kOperation, false, nullptr};
}

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
//
// Each operation is one nested record: its number, whether Unit has the member, the routine
// type the runtime calls through, and the trampoline. One constant table of them answers both
// the entry function and the compile-time Provides; a trampoline is compiled only for a class
// that has its member.
template <class Unit>
class UnitOperations {
 public:
  // The class's UnitInterface entry function.
  static void* __cdecl Entry(int32_t operation) {
    const UnitOperationRow* row = Find(operation);
    return row && row->provided ? row->address() : nullptr;
  }

  // Whether the class provides operation `operation`; a class file asserts the list it means
  // to have, so that a member missed by a typo cannot drop an operation unnoticed.
  static constexpr bool Provides(int32_t operation) {
    const UnitOperationRow* row = Find(operation);
    return row && row->provided;
  }
  // Exactly the operations listed, no other.
  static constexpr bool ProvidesExactly(std::initializer_list<int32_t> operations) {
    for (int32_t op = 0; op <= kUnitOpPretranslate; ++op) {
      bool listed = std::find(operations.begin(), operations.end(), op) != operations.end();
      if (listed != Provides(op)) return false;
    }
    return true;
  }

 private:
  struct CreateOp {
    static constexpr int32_t kOperation = kUnitOpCreate;
    static constexpr bool kProvided = true;
    using Routine = UnitCreateFn;
    static void* __cdecl Call(const void* block, int32_t length, uint32_t style, void* parent,
                              uint32_t controlId, void* menu, int32_t left, int32_t top,
                              int32_t width, int32_t height, int32_t windowId, int32_t unitId,
                              uint32_t classWord1, uint32_t classWord2) {
      Unit* unit = Unit::Create(UnitCreateArgs{block, length, style, static_cast<HWND>(parent), controlId,
                                               menu, left, top, width, height, windowId, unitId,
                                               classWord1, classWord2});
      return unit ? static_cast<fw::WindowObject*>(unit) : nullptr;
    }
  };
  struct QueryOp {
    static constexpr int32_t kOperation = kUnitOpQuery;
    static constexpr bool kProvided = requires(Unit& u) { u.Query(int32_t{}); };
    using Routine = UnitQueryFn;
    static int32_t __cdecl Call(void* object, int32_t question) {
      Unit* unit = UnitOf<Unit>(object);
      return unit ? unit->Query(question) : 0;
    }
  };
  struct WriteOp {
    static constexpr int32_t kOperation = kUnitOpWrite;
    static constexpr bool kProvided = requires(Unit& u, const UnitValue& v) { u.WriteProperty(int32_t{}, v); };
    using Routine = UnitWriteFn;
    static int32_t __cdecl Call(void* object, int32_t index, const UnitValue* value, int32_t* out) {
      if (out) *out = 0;
      Unit* unit = UnitOf<Unit>(object);
      return unit && value && unit->WriteProperty(index, *value) ? 1 : 0;
    }
  };
  struct SaveOp {
    static constexpr int32_t kOperation = kUnitOpSave;
    static constexpr bool kProvided = requires(Unit& u) { u.SaveProperties(); };
    using Routine = UnitSaveFn;
    static void* __cdecl Call(void* object) {
      Unit* unit = UnitOf<Unit>(object);
      return unit ? unit->SaveProperties() : nullptr;
    }
  };
  struct ReadOp {
    static constexpr int32_t kOperation = kUnitOpRead;
    static constexpr bool kProvided = requires(Unit& u, UnitValue* v) { u.ReadProperty(int32_t{}, v); };
    using Routine = UnitReadFn;
    static int32_t __cdecl Call(void* object, int32_t index, UnitValue* value) {
      Unit* unit = UnitOf<Unit>(object);
      return unit && value && unit->ReadProperty(index, value) ? 1 : 0;
    }
  };
  struct ClaimsKeyOp {
    static constexpr int32_t kOperation = kUnitOpClaimsKey;
    static constexpr bool kProvided = requires(Unit& u) { u.ClaimsKey(int32_t{}); };
    using Routine = UnitClaimsKeyFn;
    static int32_t __cdecl Call(void* object, int32_t key) {
      Unit* unit = UnitOf<Unit>(object);
      return unit && unit->ClaimsKey(key) ? 1 : 0;
    }
  };
  struct VisitTextsOp {
    static constexpr int32_t kOperation = kUnitOpTextVisitor;
    static constexpr bool kProvided = requires(UnitTextVisitorCallback f) {
      Unit::VisitTexts(static_cast<const void*>(nullptr), int32_t{}, f, static_cast<void*>(nullptr));
    };
    using Routine = UnitTextVisitorFn;
    static void* __cdecl Call(const void* block, int32_t length, UnitTextVisitorCallback visitor, void* user) {
      return Unit::VisitTexts(block, length, visitor, user);
    }
  };
  struct IsDefaultOp {
    static constexpr int32_t kOperation = kUnitOpIsDefault;
    static constexpr bool kProvided = requires(Unit& u) { u.IsDefault(); };
    using Routine = UnitIsDefaultFn;
    static int32_t __cdecl Call(void* object) {
      Unit* unit = UnitOf<Unit>(object);
      return unit && unit->IsDefault() ? 1 : 0;
    }
  };
  struct PreTranslateOp {
    static constexpr int32_t kOperation = kUnitOpPretranslate;
    static constexpr bool kProvided = requires(Unit& u, MSG* m) { u.PreTranslate(m); };
    using Routine = UnitPreTranslateFn;
    static int32_t __cdecl Call(void* object, void* msg) {
      Unit* unit = UnitOf<Unit>(object);
      return unit && unit->PreTranslate(static_cast<MSG*>(msg)) ? 1 : 0;
    }
  };

  // Every operation a class may provide, by number.
  static constexpr UnitOperationRow kOperations[] = {
      UnitOperationRowOf<CreateOp>(),    UnitOperationRowOf<QueryOp>(),     UnitOperationRowOf<WriteOp>(),
      UnitOperationRowOf<SaveOp>(),      UnitOperationRowOf<ReadOp>(),      UnitOperationRowOf<ClaimsKeyOp>(),
      UnitOperationRowOf<VisitTextsOp>(), UnitOperationRowOf<IsDefaultOp>(), UnitOperationRowOf<PreTranslateOp>(),
  };

  static constexpr const UnitOperationRow* Find(int32_t operation) {
    for (const UnitOperationRow& row : kOperations)
      if (row.operation == operation) return &row;
    return nullptr;
  }
};

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

// Border styles of the boxes: 0 none, 1 sunken, 2 raised, 3 shallow sunken, 4 frame, 5 single
// line (the thin WS_BORDER); values outside 0..5 are clamped.
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
