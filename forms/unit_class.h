// The unit class model: resolving a UnitTypeId to its class record, calling the class's
// UnitInterface operations, the shared PropertyRecord load/save through versioned streams, the
// RecordUnit base of the form runtime's units, mouse pointers, and re-creation of a unit in
// place.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "forms/event_dispatch.h"
#include "forms/unit_operations.h"
#include "forms/window_template.h"
#include "runtime/interface/records.h"
#include "runtime/interface/unit_records.h"

namespace forms {

// The class record of a UnitTypeId (library number << 16 | class number, both from 1), looked
// up in the program's library list; null for ids outside 1..0x3FFFFFFF, numbers outside their
// tables, and all-zero records.
const UnitClassInfo* FindUnitClass(uint32_t typeId);
// The same lookup over an explicit library list (the one above uses the runtime's).
const UnitClassInfo* FindUnitClassIn(const std::vector<const LibraryInfo*>& libraries,
                                     uint32_t typeId);

// The routine of operation `op`, or null when the class or the operation is missing.
void* UnitOperationEntry(const UnitClassInfo* cls, int32_t op);
template <typename Fn>
Fn UnitOperationOf(const UnitClassInfo* cls, int32_t op) {
  return reinterpret_cast<Fn>(UnitOperationEntry(cls, op));
}

// The system window of a unit object (a fw::WindowObject); null for a null object.
HWND UnitWindow(void* object);
// A unit is live when its object slot holds an object whose system window exists.
bool IsUnitLive(const UnitItem& item);

// The PropertyInfo of property `number` of a class, or null past its table.
const PropertyInfo* FindPropertyInfo(const UnitClassInfo* cls, int32_t number);

// PropertyRecord: the base of every class's own property record. A class resets its fields to
// their defaults and serialises them in one routine for both directions (PropertyStream knows
// which). The first field is the version: VersionField() stores the class's maximum and, when
// loading, refuses a stored version above it.
class PropertyStream {
 public:
  // A loading stream over a block, or a storing stream into a growable buffer.
  PropertyStream(const void* block, uint32_t length) : reader_(block, length), loading_(true) {}
  PropertyStream() : reader_(nullptr, 0), loading_(false) {}

  bool IsLoading() const { return loading_; }
  // The stored version (loading) or `max` (storing). False when a loaded version is above
  // `max`; the record must then be refused.
  bool VersionField(uint32_t& version, uint32_t max);
  void Word(int32_t& v);
  void Word(uint32_t& v);
  // A logical word: stored as 0 / 1; any non-zero word loads as true (1).
  void Flag(bool& v);
  void Flag(int32_t& v);
  void Short(uint16_t& v);
  void Text(std::string& v);               // counted text
  void Block(std::vector<uint8_t>& v);     // counted block

  // A logical field kept in an int32_t, for Fields().
  struct LogicalWord {
    int32_t& value;
  };
  // Several fields in their stored order, each by its type: int32_t and uint32_t words,
  // uint16_t shorts, bool and LogicalWord logical words, texts and blocks.
  template <typename... Values>
  void Fields(Values&&... fields) {
    (Field(fields), ...);
  }

  // Bytes written so far (storing).
  const std::vector<uint8_t>& Output() const { return out_; }

 private:
  void Put(const void* p, uint32_t n);
  void Field(int32_t& v) { Word(v); }
  void Field(uint32_t& v) { Word(v); }
  void Field(uint16_t& v) { Short(v); }
  void Field(bool& v) { Flag(v); }
  void Field(LogicalWord v) { Flag(v.value); }
  void Field(std::string& v) { Text(v); }
  void Field(std::vector<uint8_t>& v) { Block(v); }

  TemplateReader reader_;
  bool loading_;
  std::vector<uint8_t> out_;
};

// Marks an int32_t field as a logical word for PropertyStream::Fields().
inline PropertyStream::LogicalWord Logical(int32_t& value) { return {value}; }

class PropertyRecord {
 public:
  virtual ~PropertyRecord() = default;
  // Sets every field to the class default.
  virtual void Reset() = 0;
  // Reads or writes the fields in their stored order; false refuses the block. Short data
  // throws TemplateError from the stream, which the helpers below turn into false.
  virtual bool Serialize(PropertyStream& stream) = 0;
};

// Resets the record, then reads the block into it. A null block or a length below 1 keeps the
// defaults and succeeds; an unreadable block (short data, version above the maximum) fails.
bool LoadPropertyRecord(PropertyRecord& record, const void* block, int32_t length);
// Writes the record into a movable, shareable global memory block of exactly the written
// length and returns it (with the length in *length); null and 0 on failure.
HGLOBAL SavePropertyRecord(PropertyRecord& record, uint32_t* length = nullptr);

// RecordUnit: the base of the form runtime's unit classes, which keep their own properties in a
// PropertyRecord. It holds the record, reads it from the block at creation and saves it for
// operation 5. A class derives as `class Button : public RecordUnit<ButtonProperties>`, keeps
// its destructor private (units own themselves and are never made on the stack) and builds its
// object in its create operation with NewUnit.
template <class Props>
class RecordUnit : public UnitObject {
 public:
  const Props& Properties() const { return props_; }
  // Operation 5: the properties as a PropertyBlock in movable global memory.
  HGLOBAL SaveProperties() { return SavePropertyRecord(props_); }

 protected:
  explicit RecordUnit(const UnitCreateArgs& args) : UnitObject(args.windowId, args.unitId) {}

  // The first step of a create operation: a new object with its properties read from the
  // block; null (nothing made) when the block cannot be read.
  // A text for a read operation: kept in the unit until its next such read, and pointed at
  // by the value.
  void PutKeptText(UnitValue* value, std::string text) {
    readText_ = std::move(text);
    PutText(value, readText_);
  }

  template <class Unit>
  static Unit* NewUnit(const UnitCreateArgs& args) {
    Unit* unit = new Unit(args);
    RecordUnit& base = *unit;
    if (LoadPropertyRecord(base.props_, args.block, args.blockLength)) return unit;
    delete static_cast<fw::WindowObject*>(unit);
    return nullptr;
  }

  Props props_;

 private:
  std::string readText_;
};

// Mouse pointers: cursor numbers 0..14 of the StandardCursorTable, -1 custom cursor bytes.
inline constexpr int32_t kCursorCount = 15;
inline constexpr int32_t kCustomCursor = -1;
// System cursor id of a cursor number; numbers outside 0..14 (other than -1) are taken as a
// system cursor id already. 0 (none) gives 0; the hand cursor is the program's resource 1032.
int32_t CursorNumberToId(int32_t number);
// The reverse: cursor number of a system cursor id; ids not in the table are kept.
int32_t CursorIdToNumber(int32_t id);
// Builds the cursor of a MousePointerBlock; null keeps the default cursor. Every cursor
// returned is a private one (system cursors are copied): the caller destroys it with
// DestroyCursor.
HCURSOR MakeUnitCursor(const uint8_t* block, uint32_t length);
// Puts `cursor` into the item's cursor slot (S+20), which owns its cursor, and destroys the
// one the slot held before.
void ReplaceUnitCursor(UnitItem item, HCURSOR cursor);
// Rewrites the first word of a block of at least 4 bytes from cursor number to cursor id
// (toId) or back. Shorter blocks are left as they are.
void ConvertMousePointerBlock(std::vector<uint8_t>& block, bool toId);

// Re-creation in place: saves the unit's properties, builds a new object from them with the
// old window's rectangle, control id and parent, stores it into the item and destroys the old
// window. Skipped for classes flagged 0x10 and for the window item. True when a new object
// now stands in the item.
bool RecreateUnit(int32_t windowId, uint32_t unitIndex);
// True while RecreateUnit is destroying the old window: its destroyed notification (2000)
// must then leave the item alone, which now holds the new object.
bool RecreatingUnit();

}  // namespace forms
