// The window template and the WindowDirectory built from it.
//
// The program carries its windows as one serialised block. At start-up it is read once into
// the WindowDirectory: per window a WindowRecord holding the window's UnitList, one heap block
// of unit ids, item offsets and UnitItems. The unit list stays the live description of the
// window: the runtime keeps each unit's object pointer, cursor and common properties inside
// its item. Items have variable-length texts inside, so they are never cast to structs: a
// UnitItem is a located view (addresses into the block) read and written through memcpy.
//
// Every multi-byte number is little-endian. The loader reads only through TemplateReader, a
// bounds-checked cursor (a loading fw::Archive over a read-only fw::MemFile, 4096-byte
// buffer) that fails in one way: TemplateError, with the offset.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/archive.h"
#include "framework/memfile.h"
#include "runtime/interface/records.h"

namespace forms {

// Bits 0-23 serial (non-zero), bits 24-27 0x6 for every unit, bits 28-31 0x2 for menu items.
constexpr bool IsLookupUnitId(uint32_t id) { return (id & 0x00FFFFFFu) != 0 && (id & 0x0F000000u) != 0; }
constexpr bool IsMenuItemId(uint32_t id) { return (id >> 28) == 0x2 && (id >> 24 & 0xF) == 0x6; }

enum UnitFlagBits : uint32_t {
  kUnitVisible = 1,    // 可视
  kUnitDisabled = 2,   // 禁止
  kUnitTabStop = 4,
};
enum MenuFlagBits : uint32_t {
  kMenuHidden = 1,
  kMenuDisabled = 2,
  kMenuChecked = 4,
};

// A stored handler word meaning "no handler"; after loading, no handler is 0.
inline constexpr uint32_t kNoHandlerOffset = 0xFFFFFFFFu;

// One event binding as it lies in an item: event number, handler (an address after loading).
struct EventBinding {
  int32_t event;
  uint32_t handler;
};
static_assert(sizeof(EventBinding) == 8);

// Fixed byte positions inside an item.
inline constexpr uint32_t kItemNameOffset = 24;   // after type id, link and 4 reserved words
// Offsets from S (the first byte after the comment's terminator).
inline constexpr uint32_t kSObject = 0, kSLeft = 4, kSTop = 8, kSWidth = 12, kSHeight = 16,
                          kSCursor = 20, kSParent = 24, kSListCount = 28, kSList = 32;
// Menu items: offsets from S.
inline constexpr uint32_t kSMenuWord = 4, kSMenuFlags = 8, kSMenuCaption = 12;

// TemplateReader: the one bounds-checked cursor over a read-only block. Every read checks the
// remaining length first and throws TemplateError with the offset where it failed.
class TemplateError : public std::runtime_error {
 public:
  explicit TemplateError(uint32_t offset)
      : std::runtime_error("window template unreadable"), offset_(offset) {}
  uint32_t Offset() const { return offset_; }

 private:
  uint32_t offset_;
};

class TemplateReader {
 public:
  // A loading archive over `size` bytes at `data`; the block is not copied.
  TemplateReader(const void* data, uint32_t size)
      : file_(data, data ? size : 0), archive_(file_, fw::Archive::kLoad) {}
  TemplateReader(const TemplateReader&) = delete;
  TemplateReader& operator=(const TemplateReader&) = delete;

  uint32_t Position() const { return archive_.Offset(); }
  uint32_t Remaining() const { return file_.Length() - archive_.Offset(); }
  bool AtEnd() const { return Remaining() == 0; }

  uint32_t Word();
  int32_t SignedWord() { return static_cast<int32_t>(Word()); }
  uint16_t Short();
  // Counted text: word n, then n bytes; n <= 0 is the empty text.
  std::string CountedText();
  // Counted block: word n, then n bytes; n <= 0 is the empty block.
  std::vector<uint8_t> CountedBlock();
  // Zero-terminated text; the terminator is consumed.
  std::string ZeroText();
  // Exactly `n` raw bytes, checked against the data left before anything is allocated.
  std::vector<uint8_t> Raw(uint32_t n);
  // Fails with the current offset.
  [[noreturn]] void Fail() const { throw TemplateError(Position()); }

 private:
  fw::MemFile file_;
  fw::Archive archive_;
};

// Word helpers for unaligned positions inside items.
inline uint32_t LoadWord(const uint8_t* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
inline void StoreWord(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// UnitItem: a located item. Parse() walks the item once, checking every position against the
// item's length; the accessors then read and write at the remembered positions. A view stays
// valid until its unit list changes size (tag, mouse pointer or menu caption replaced).
class UnitItem {
 public:
  UnitItem() = default;
  // Walks `length` bytes of item data at `data` for a unit with `id`. False when the walk
  // leaves the item (the item is malformed); the view is then empty.
  bool Parse(uint8_t* data, uint32_t length, uint32_t id);

  explicit operator bool() const { return data_ != nullptr; }
  uint8_t* Data() const { return data_; }
  uint32_t Length() const { return length_; }
  uint32_t Id() const { return id_; }
  bool IsMenuItem() const { return menu_; }

  uint32_t TypeId() const { return LoadWord(data_); }
  uint32_t EventLink() const { return LoadWord(data_ + 4); }
  const char* Name() const { return reinterpret_cast<const char*>(data_ + kItemNameOffset); }
  const char* Comment() const { return reinterpret_cast<const char*>(data_ + comment_); }
  // Offset of S inside the item.
  uint32_t SOffset() const { return s_; }

  // Runtime slots and geometry (ordinary items and the window item).
  void* Object() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(S(kSObject))); }
  void SetObject(void* object) { SetS(kSObject, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object))); }
  int32_t Left() const { return static_cast<int32_t>(S(kSLeft)); }
  int32_t Top() const { return static_cast<int32_t>(S(kSTop)); }
  int32_t Width() const { return static_cast<int32_t>(S(kSWidth)); }
  int32_t Height() const { return static_cast<int32_t>(S(kSHeight)); }
  void SetLeft(int32_t v) { SetS(kSLeft, static_cast<uint32_t>(v)); }
  void SetTop(int32_t v) { SetS(kSTop, static_cast<uint32_t>(v)); }
  void SetWidth(int32_t v) { SetS(kSWidth, static_cast<uint32_t>(v)); }
  void SetHeight(int32_t v) { SetS(kSHeight, static_cast<uint32_t>(v)); }
  HCURSOR Cursor() const { return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(S(kSCursor))); }
  void SetCursor(HCURSOR cursor) { SetS(kSCursor, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(cursor))); }
  uint32_t ParentId() const { return S(kSParent); }
  uint32_t ListCount() const { return listCount_; }
  uint32_t ListId(uint32_t i) const { return i < listCount_ ? S(kSList + 4 * i) : 0; }

  // The MousePointerBlock's bytes (without its count word) and length.
  const uint8_t* MousePointer() const { return data_ + mouse_ + 4; }
  uint32_t MousePointerLength() const { return mouseLength_; }
  // The tag text (标记).
  const char* Tag() const { return reinterpret_cast<const char*>(data_ + tag_); }

  uint32_t Flags() const { return LoadWord(data_ + flags_); }
  void SetFlags(uint32_t flags) { StoreWord(data_ + flags_, flags); }
  bool Visible() const { return Flags() & kUnitVisible; }
  bool Disabled() const { return Flags() & kUnitDisabled; }
  bool TabStop() const { return Flags() & kUnitTabStop; }
  int32_t TabOrder() const { return static_cast<int32_t>(LoadWord(data_ + flags_ + 4)); }

  uint32_t BindingCount() const { return bindingCount_; }
  EventBinding Binding(uint32_t i) const;
  void SetBindingHandler(uint32_t i, uint32_t handler);
  // The handler bound to `event`, or 0 (none bound, or bound to no handler).
  uint32_t HandlerFor(int32_t event) const;

  // The class's PropertyBlock: the rest of the item.
  const uint8_t* PropertyBlock() const { return data_ + props_; }
  uint32_t PropertyBlockLength() const { return length_ - props_; }

  // Menu items.
  uint32_t MenuFlags() const { return S(kSMenuFlags); }
  void SetMenuFlags(uint32_t flags) { SetS(kSMenuFlags, flags); }
  const char* MenuCaption() const { return reinterpret_cast<const char*>(data_ + s_ + kSMenuCaption); }
  uint32_t MenuHandler() const { return LoadWord(data_ + menuHandler_); }
  void SetMenuHandler(uint32_t handler) { StoreWord(data_ + menuHandler_, handler); }

  // Item-relative positions of the variable parts (for edits that resize the item).
  uint32_t MouseOffset() const { return mouse_; }
  uint32_t TagOffset() const { return tag_; }
  uint32_t MenuCaptionOffset() const { return s_ + kSMenuCaption; }

 private:
  uint32_t S(uint32_t off) const { return LoadWord(data_ + s_ + off); }
  void SetS(uint32_t off, uint32_t v) { StoreWord(data_ + s_ + off, v); }

  uint8_t* data_ = nullptr;
  uint32_t length_ = 0;
  uint32_t id_ = 0;
  bool menu_ = false;
  uint32_t comment_ = 0, s_ = 0, listCount_ = 0, mouse_ = 0, mouseLength_ = 0, tag_ = 0,
           flags_ = 0, bindings_ = 0, bindingCount_ = 0, props_ = 0, menuHandler_ = 0;
};

// The runtime slots of one item as one instance of a window fills them: its object (S+0) and
// its cursor (S+20).
struct UnitSlots {
  void* object = nullptr;
  HCURSOR cursor = nullptr;
};

// UnitList: one block of C unit ids, C item offsets (from the end of the offset table) and the
// items, each a length word L then L bytes. Assign() checks the whole block once: every item
// lies in the block, follows its predecessor without a gap, and walks inside its length.
// Copies are deep (the snapshot taken at window load is a copy).
class UnitList {
 public:
  UnitList() = default;
  // Takes the block for `count` units; false (list left empty) when it is malformed.
  bool Assign(std::vector<uint8_t> block, uint32_t count);

  uint32_t Count() const { return count_; }
  const std::vector<uint8_t>& Bytes() const { return block_; }

  // Unit id by index; 0 past the end.
  uint32_t IdAt(uint32_t index) const;
  // Index of the first item with `id`, or -1 (also for ids that fail IsLookupUnitId).
  int32_t IndexOf(uint32_t id) const;
  bool IsMenuItemAt(uint32_t index) const { return index < count_ && IsMenuItemId(IdAt(index)); }
  // Item by index (empty past the end) and by id (empty if absent).
  UnitItem ItemAt(uint32_t index);
  UnitItem ItemById(uint32_t id);

  // The slots of every item but the menu items, by index. TakeSlots() hands them out and
  // leaves them empty; PutSlots() writes a set taken before back in.
  std::vector<UnitSlots> TakeSlots();
  void PutSlots(const std::vector<UnitSlots>& slots);

  // Adds `codeBase` to every stored handler; a stored 0xFFFFFFFF becomes 0.
  void RelocateHandlers(uintptr_t codeBase);

  // Replace a variable-length part of item `index`; the block grows or shrinks and the item's
  // length and the offsets of the following items move with it. False for a bad index.
  bool ReplaceTag(uint32_t index, const char* tag);
  bool ReplaceMousePointer(uint32_t index, const uint8_t* bytes, uint32_t length);
  bool ReplaceMenuCaption(uint32_t index, const char* caption);

 private:
  uint32_t OffsetAt(uint32_t index) const;
  bool ReplaceRange(uint32_t index, uint32_t itemOffset, uint32_t oldLength,
                    const uint8_t* bytes, uint32_t newLength);

  std::vector<uint8_t> block_;
  uint32_t count_ = 0;
};

// One window of the template: its stored header words and texts, and its live unit list.
struct WindowRecord {
  uint32_t headerWord1 = 0;   // kept, not read (0xFFFFFFFF in the program's template)
  uint32_t headerWord2 = 0;   // kept, not read
  std::string text1;          // kept, not read
  std::string text2;
  UnitList units;             // the live unit list
  // Copy of `units` taken when the window starts to load; restored when it is destroyed.
  std::optional<UnitList> snapshot;

  void TakeSnapshot() { snapshot = units; }
  void RestoreSnapshot() {
    if (snapshot) units = std::move(*snapshot);
    snapshot.reset();
  }
  void DiscardSnapshot() { snapshot.reset(); }

  // A window can be loaded as further instances of itself. The slots of `units` hold the
  // objects of the instance loaded last; every other live instance keeps its own slots here
  // (its window object and its slots by item index), oldest first, until it takes the slots
  // of `units` back or is destroyed. The snapshot belongs to the first instance and comes back
  // when the last one goes.
  struct ParkedInstance {
    void* window;
    std::vector<UnitSlots> slots;
  };
  std::vector<ParkedInstance> parked;

  // A further instance is about to be built: the one in the slots keeps them aside.
  void ParkInstance() {
    UnitItem windowItem = units.ItemAt(0);
    parked.push_back({windowItem ? windowItem.Object() : nullptr, units.TakeSlots()});
  }
  // The instance parked last takes the slots of `units` again.
  void UnparkLastInstance() {
    units.PutSlots(parked.back().slots);
    parked.pop_back();
  }
};

// The units of one live instance of a window as that instance holds them: the slots of the
// record's unit list while it is the instance loaded last, else its parked entry, found by the
// instance's window object (the address its window item's slot holds). Whatever a form window
// does for itself (its focus order, the unit under the mouse or a key, the unit's cursor) reads
// objects and cursors through this view, so an older instance never reaches the objects of the
// newest; what is addressed by window id and unit id stays with the slots of the list. A window
// that is in neither place (not yet placed by its load, or already released) has no objects.
// The instance is looked for at every read: a view held while handlers run, which may load or
// destroy instances and so move the parked slots, reads where the slots are now.
class InstanceUnits {
 public:
  InstanceUnits(WindowRecord& record, const void* window) : record_(&record), window_(window) {}
  // Every live instance of the record: the one in the list's slots, then the parked ones.
  static std::vector<InstanceUnits> AllOf(WindowRecord& record);

  // The shared description of the units (ids, types, flags, bindings).
  UnitList& List() const { return record_->units; }
  uint32_t Count() const { return record_->units.Count(); }
  // The object and cursor of item `index` in this instance; null for menu items and past the
  // end.
  void* Object(uint32_t index) const { return SlotsAt(index).object; }
  HCURSOR Cursor(uint32_t index) const { return SlotsAt(index).cursor; }

 private:
  UnitSlots SlotsAt(uint32_t index) const;

  WindowRecord* record_;
  const void* window_;
};

// The windows of the template in stored order, each under its window id.
class WindowDirectory {
 public:
  uint32_t Count() const { return static_cast<uint32_t>(records_.size()); }
  // Record by window id (linear search of the ids); null if absent.
  WindowRecord* Find(int32_t windowId);
  // Window id of a record (search of the records); 0 if the record is not here.
  int32_t IdOf(const WindowRecord* record) const;
  // Record and id by position; null / 0 past the end.
  WindowRecord* At(uint32_t position);
  int32_t IdAt(uint32_t position) const;

  void Add(int32_t windowId, std::unique_ptr<WindowRecord> record);
  // Moves every record of `other` to the end of this directory.
  void TakeFrom(WindowDirectory& other);
  void Clear();

 private:
  std::vector<int32_t> ids_;
  std::vector<std::unique_ptr<WindowRecord>> records_;
};

// The runtime's one directory (RuntimeNotify 1001 hands out its address).
WindowDirectory& TheWindowDirectory();

// Reads a whole template (as ProgramInfo gives it) into `directory` and relocates its handlers
// by `codeBase`. Throws TemplateError on any read error; `directory` is untouched then.
void ReadWindowTemplate(const void* data, uint32_t size, uintptr_t codeBase,
                        WindowDirectory& directory);

}  // namespace forms
