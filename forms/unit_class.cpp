// The unit class model: class lookup by UnitTypeId, the class operations, PropertyRecord
// streams, mouse pointers and re-creation of a unit in place.
#include "forms/unit_class.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "forms/event_dispatch.h"
#include "framework/global_memory.h"
#include "framework/window.h"
#include "runtime/runtime_app.h"

namespace forms {

// Library number (high half) and class number (low half) both count from 1; ids with bit 31
// or 30 set are type tags, not classes. A record without a UnitInterface is an unused class.
const UnitClassInfo* FindUnitClassIn(const std::vector<const LibraryInfo*>& libraries,
                                     uint32_t typeId) {
  if (typeId == 0 || typeId > 0x3FFFFFFFu) return nullptr;
  uint32_t library = typeId >> 16, number = typeId & 0xFFFF;
  if (library < 1 || library > libraries.size() || number < 1) return nullptr;
  const LibraryInfo* info = libraries[library - 1];
  if (!info || !info->typeTable || number > info->typeCount) return nullptr;
  const UnitClassInfo* cls = static_cast<const UnitClassInfo*>(info->typeTable) + (number - 1);
  return cls->unitInterface ? cls : nullptr;
}

const UnitClassInfo* FindUnitClass(uint32_t typeId) {
  return FindUnitClassIn(rt::TheApp().libraries, typeId);
}

// Asks the class's UnitInterface for an operation; a class without one offers nothing.
void* UnitOperationEntry(const UnitClassInfo* cls, int32_t op) {
  return cls && cls->unitInterface ? cls->unitInterface(op) : nullptr;
}

// Every class hands out its object as a fw::WindowObject, so the handle is read the same way
// for the runtime's own units and for those of the libraries.
HWND UnitWindow(void* object) {
  return object ? static_cast<fw::WindowObject*>(object)->Handle() : nullptr;
}

bool IsUnitLive(const UnitItem& item) {
  if (!item || item.IsMenuItem()) return false;
  HWND hwnd = UnitWindow(item.Object());
  return hwnd && IsWindow(hwnd);
}

// Property numbers index the class's table directly, the common properties included.
const PropertyInfo* FindPropertyInfo(const UnitClassInfo* cls, int32_t number) {
  if (!cls || !cls->properties || number < 0 || static_cast<uint32_t>(number) >= cls->propertyCount)
    return nullptr;
  return cls->properties + number;
}

// The version is compared unsigned, so a stored negative version counts as too high.
bool PropertyStream::VersionField(uint32_t& version, uint32_t max) {
  if (loading_) {
    version = reader_.Word();
    return version <= max;
  }
  version = max;
  Put(&version, 4);
  return true;
}

// The field helpers read when loading and append when storing, so that a class writes its
// field order once, in Serialize().
void PropertyStream::Word(int32_t& v) {
  if (loading_) v = reader_.SignedWord();
  else Put(&v, 4);
}

void PropertyStream::Word(uint32_t& v) {
  if (loading_) v = reader_.Word();
  else Put(&v, 4);
}

void PropertyStream::Flag(int32_t& v) {
  int32_t word = v != 0 ? 1 : 0;
  Word(word);
  v = word != 0 ? 1 : 0;
}

void PropertyStream::Flag(bool& v) {
  int32_t word = v ? 1 : 0;
  Flag(word);
  v = word != 0;
}

void PropertyStream::Short(uint16_t& v) {
  if (loading_) v = reader_.Short();
  else Put(&v, 2);
}

// Counted text: length word, then the bytes without a terminator.
void PropertyStream::Text(std::string& v) {
  if (loading_) {
    v = reader_.CountedText();
    return;
  }
  uint32_t n = static_cast<uint32_t>(v.size());
  Put(&n, 4);
  Put(v.data(), n);
}

// Counted block: length word, then the bytes.
void PropertyStream::Block(std::vector<uint8_t>& v) {
  if (loading_) {
    v = reader_.CountedBlock();
    return;
  }
  uint32_t n = static_cast<uint32_t>(v.size());
  Put(&n, 4);
  Put(v.data(), n);
}

void PropertyStream::Put(const void* p, uint32_t n) {
  const uint8_t* bytes = static_cast<const uint8_t*>(p);
  out_.insert(out_.end(), bytes, bytes + n);
}

// Short data inside a block surfaces as TemplateError from the stream; it and a failed
// allocation both make the block unreadable rather than ending the program.
bool LoadPropertyRecord(PropertyRecord& record, const void* block, int32_t length) {
  record.Reset();
  if (!block || length < 1) return true;
  try {
    PropertyStream stream(block, static_cast<uint32_t>(length));
    return record.Serialize(stream);
  } catch (const TemplateError&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Movable, shareable global memory of exactly the written length, unlocked.
HGLOBAL SavePropertyRecord(PropertyRecord& record, uint32_t* length) {
  if (length) *length = 0;
  std::vector<uint8_t> bytes;
  try {
    PropertyStream stream;
    if (!record.Serialize(stream)) return nullptr;
    bytes = stream.Output();
  } catch (...) {
    return nullptr;
  }
  fw::ScopedGlobal memory = fw::CopyToGlobal(bytes.data(), bytes.size());
  if (memory && length) *length = static_cast<uint32_t>(bytes.size());
  return memory.Release();
}

namespace {

// The program's own hand cursor resource; the system's hand stands in when it is missing.
constexpr int32_t kHandCursorResource = 1032;

// StandardCursorTable: cursor number -> system cursor id (0: none).
constexpr int32_t kStandardCursors[kCursorCount] = {
    0,                    // 0 none
    32512,                // 1 arrow (IDC_ARROW)
    32515,                // 2 cross
    32513,                // 3 I-beam
    32514,                // 4 wait
    32651,                // 5 help
    32650,                // 6 app-starting
    32648,                // 7 slashed circle (IDC_NO)
    32646,                // 8 size-all
    32643,                // 9 size NE-SW
    32645,                // 10 size N-S
    32642,                // 11 size NW-SE
    32644,                // 12 size W-E
    32516,                // 13 up-arrow
    kHandCursorResource,  // 14 hand
};

// A cursor from cursor-file bytes (directory, then the image): the first image with its hot
// spot. Every offset is checked against the bytes given; null when they are not a cursor.
HCURSOR CursorFromFileBytes(const uint8_t* bytes, uint32_t length) {
  if (!bytes || length < 6 + 16) return nullptr;
  uint16_t reserved, type, count;
  std::memcpy(&reserved, bytes, 2);
  std::memcpy(&type, bytes + 2, 2);
  std::memcpy(&count, bytes + 4, 2);
  if (reserved != 0 || (type != 1 && type != 2) || count < 1) return nullptr;
  const uint8_t* entry = bytes + 6;
  uint16_t hotX, hotY;
  std::memcpy(&hotX, entry + 4, 2);
  std::memcpy(&hotY, entry + 6, 2);
  uint32_t size = LoadWord(entry + 8), offset = LoadWord(entry + 12);
  if (size < 40 || offset > length || size > length - offset) return nullptr;
  if (type == 1) hotX = hotY = 0;   // an icon file used as a cursor: hot spot at the corner
  std::vector<uint8_t> resource(4 + size);
  std::memcpy(resource.data(), &hotX, 2);
  std::memcpy(resource.data() + 2, &hotY, 2);
  std::memcpy(resource.data() + 4, bytes + offset, size);
  int width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
  return CreateIconFromResourceEx(resource.data(), static_cast<DWORD>(resource.size()), FALSE,
                                  0x00030000, width, height, LR_DEFAULTCOLOR);
}

// A private copy of a system cursor (or of the program's hand), so that every cursor the
// caller receives is its own to destroy.
HCURSOR CopyOfSystemCursor(int32_t id) {
  if (id <= 0 || id > 0xFFFF) return nullptr;   // anything else would be read as a name pointer
  HCURSOR shared = nullptr;
  if (id == kHandCursorResource) {
    shared = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    if (!shared) shared = LoadCursorA(nullptr, IDC_HAND);
  } else {
    shared = LoadCursorA(nullptr, MAKEINTRESOURCEA(id));
  }
  if (!shared) return nullptr;
  return static_cast<HCURSOR>(CopyImage(shared, IMAGE_CURSOR, 0, 0, 0));
}

}  // namespace

// Cursor numbers 0..14 map through the table; anything else is taken as an id already.
int32_t CursorNumberToId(int32_t number) {
  return number >= 0 && number < kCursorCount ? kStandardCursors[number] : number;
}

// The reverse lookup; ids that the table does not hold stay as they are.
int32_t CursorIdToNumber(int32_t id) {
  if (id == 0) return 0;
  for (int32_t n = 1; n < kCursorCount; ++n)
    if (kStandardCursors[n] == id) return n;
  return id;
}

// The first value is a word for blocks of at least 4 bytes, else the first byte. Blocks of
// more than 10 bytes that are not marked custom are first tried as cursor-file bytes whole.
HCURSOR MakeUnitCursor(const uint8_t* block, uint32_t length) {
  if (!block || length == 0) return nullptr;
  int32_t first = length >= 4 ? static_cast<int32_t>(LoadWord(block)) : block[0];
  if (first == kCustomCursor) return length > 4 ? CursorFromFileBytes(block + 4, length - 4) : nullptr;
  if (length > 10)
    if (HCURSOR fromBytes = CursorFromFileBytes(block, length)) return fromBytes;
  return CopyOfSystemCursor(CursorNumberToId(first));
}

void ReplaceUnitCursor(UnitItem item, HCURSOR cursor) {
  fw::ScopedCursor old(item.Cursor());
  item.SetCursor(cursor);
}

// Only a full first word is converted; shorter blocks carry their number in one byte.
void ConvertMousePointerBlock(std::vector<uint8_t>& block, bool toId) {
  if (block.size() < 4) return;
  int32_t first = static_cast<int32_t>(LoadWord(block.data()));
  StoreWord(block.data(), static_cast<uint32_t>(toId ? CursorNumberToId(first) : CursorIdToNumber(first)));
}

namespace {

// The window of the nearest unit before `index` that shares `parent`, or null.
HWND PreviousSibling(UnitList& units, uint32_t index, HWND parent) {
  for (uint32_t i = index; i-- > 1;) {
    UnitItem other = units.ItemAt(i);
    if (!IsUnitLive(other)) continue;
    HWND h = UnitWindow(other.Object());
    if (GetParent(h) == parent) return h;
  }
  return nullptr;
}

// A properties block saved by the class (operation 5), copied out of its global memory,
// which the runtime owns once the class hands it over. Empty when there is none.
std::vector<uint8_t> SavedBlock(UnitSaveFn save, void* object) {
  fw::ScopedGlobal memory(static_cast<HGLOBAL>(save(object)));
  return fw::CopyFromGlobal(memory.Get());
}

}  // namespace

// The application object's re-creation word, raised only around the old window's destruction.
bool RecreatingUnit() { return rt::TheApp().recreatingUnit != 0; }

// Saves the properties, builds the new object with the old window's rectangle (in its
// parent's client coordinates), control id and parent, moves a container's children over,
// stores the object in the item, stacks it where the old one stood, then destroys the old
// window while its destroyed notification is ignored, and puts the focus back.
bool RecreateUnit(int32_t windowId, uint32_t unitIndex) {
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  if (!record || unitIndex == 0) return false;
  UnitItem item = record->units.ItemAt(unitIndex);
  if (!IsUnitLive(item)) return false;
  const UnitClassInfo* cls = FindUnitClass(item.TypeId());
  if (!cls || (cls->flags & kClassNoRecreate)) return false;
  auto save = UnitOperationOf<UnitSaveFn>(cls, kUnitOpSave);
  auto create = UnitOperationOf<UnitCreateFn>(cls, kUnitOpCreate);
  if (!save || !create) return false;

  void* oldObject = item.Object();
  HWND oldWindow = UnitWindow(oldObject);
  std::vector<uint8_t> block = SavedBlock(save, oldObject);
  if (block.empty()) return false;

  // What the new window inherits from the old one.
  RECT rc;
  GetWindowRect(oldWindow, &rc);
  HWND parent = GetParent(oldWindow);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  UINT controlId = static_cast<UINT>(GetDlgCtrlID(oldWindow));
  HWND focus = GetFocus();
  bool hadFocus = focus && (focus == oldWindow || IsChild(oldWindow, focus));
  bool wasVisible = IsWindowVisible(oldWindow);
  uint32_t style = IsWindowEnabled(oldWindow) ? 0 : WS_DISABLED;
  if (item.TabStop()) style |= WS_TABSTOP;
  uint32_t unitId = item.Id();

  void* newObject = create(block.data(), static_cast<int32_t>(block.size()), style, parent, controlId,
                           nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, windowId,
                           static_cast<int32_t>(unitId), 0, 0);
  HWND newWindow = UnitWindow(newObject);
  if (!newWindow) return false;

  // A container's own children (units placed on it) move to the new window.
  if (cls->flags & kClassContainer) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(oldWindow, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    for (HWND c : children) SetParent(c, newWindow);
  }

  record->units.ItemAt(unitIndex).SetObject(newObject);
  HWND above = PreviousSibling(record->units, unitIndex, parent);
  SetWindowPos(newWindow, above ? above : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageA(newWindow, kMsgUnitsCreated, 0, 0);
  SendMessageA(newWindow, kMsgUnitsShown, 0, 0);
  if (wasVisible) ShowWindow(newWindow, SW_SHOWNA);

  // The old window's destruction must not clear the item, which holds the new object now.
  rt::RuntimeApp& app = rt::TheApp();
  // A handler of the unit's own notification may be what re-creates it: the old control then
  // keeps its window until it has returned from that notification.
  ++app.recreatingUnit;
  fw::WindowObject::DestroyWhenReturned(oldWindow);
  --app.recreatingUnit;

  // The focus follows the unit, or goes back where it was if destroying moved it.
  if (hadFocus) SetFocus(newWindow);
  else if (focus && IsWindow(focus) && GetFocus() != focus) SetFocus(focus);
  return true;
}

}  // namespace forms
