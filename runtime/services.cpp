// RuntimeNotify: every request a library makes of the runtime, as one table of request code
// and handler. Each handler takes the request's two arguments and returns its result; codes
// without a result of their own return 0.
#include "runtime/services.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "runtime/errors.h"
#include "runtime/events.h"
#include "runtime/form_hooks.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"

namespace rt {
namespace {

struct ServiceEntry {
  int32_t code;
  ServiceHandler handler;
};

template <typename T>
int32_t Word(T* pointer) {
  return static_cast<int32_t>(reinterpret_cast<uintptr_t>(pointer));
}
template <typename T>
T* Pointer(uint32_t word) {
  return reinterpret_cast<T*>(static_cast<uintptr_t>(word));
}

// Truncates toward zero; values a 32-bit integer cannot hold give what the processor's
// conversion gives (0x80000000), never undefined behaviour.
int32_t TruncateToInt(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(v);
}

void CopyText(char* buffer, const std::string& text) {
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

// Handlers of the runtime's own requests follow; window and unit requests go to the form
// runtime's handlers, through the hooks it registered.

int32_t Zero(uint32_t, uint32_t) { return 0; }

int32_t DefaultIconsService(uint32_t icons, uint32_t) {
  HICON* pair = Pointer<HICON>(icons);
  if (pair) DefaultIcons(&pair[0], &pair[1]);
  return 0;
}

// 1006: selector 1 or 2001 the program directory with its backslash, 2002 the file name,
// anything else the empty text.
int32_t PathIntoBuffer(uint32_t selector, uint32_t buffer) {
  char* out = Pointer<char>(buffer);
  if (!out) return 0;
  const ProgramPaths& paths = TheApp().paths;
  if (selector == 1 || selector == 2001) CopyText(out, paths.programDirectory + "\\");
  else if (selector == 2002) CopyText(out, paths.programFileName);
  else out[0] = 0;
  return 0;
}

int32_t AttachNewObject(uint32_t hwnd, uint32_t) {
  if (!hwnd) return 0;
  auto* object = new fw::WindowObject;
  object->Attach(Pointer<HWND__>(hwnd));
  return Word(object);
}

int32_t DeleteObject(uint32_t object, uint32_t) {
  delete Pointer<fw::WindowObject>(object);
  return 0;
}

int32_t DetachWindow(uint32_t object, uint32_t) {
  auto* window = Pointer<fw::WindowObject>(object);
  return window ? Word(window->Detach()) : 0;
}

int32_t WindowHandle(uint32_t object, uint32_t) {
  auto* window = Pointer<fw::WindowObject>(object);
  return window ? Word(window->Handle()) : 0;
}

// 1011: only a handle without a permanent object goes to an object without a handle.
int32_t AttachWindow(uint32_t hwnd, uint32_t object) {
  HWND handle = Pointer<HWND__>(hwnd);
  auto* window = Pointer<fw::WindowObject>(object);
  if (!window || window->Handle() || fw::WindowObject::FromHandlePermanent(handle)) return 0;
  return window->Attach(handle) ? 1 : 0;
}

// 1012: words are (window handle, routine, argument).
int32_t AddIdleCallback(uint32_t words, uint32_t) {
  const uint32_t* w = Pointer<const uint32_t>(words);
  if (w) TheApp().AddIdleCallback({Pointer<HWND__>(w[0]), reinterpret_cast<IdleRoutine>(w[1]), w[2]});
  return 0;
}

int32_t RemoveIdleCallback(uint32_t hwnd, uint32_t) {
  TheApp().RemoveIdleCallback(Pointer<HWND__>(hwnd));
  return 0;
}

int32_t ToInt(uint32_t record, uint32_t) { return ArgToInt(*Pointer<const ArgRecord>(record)); }
int32_t ProgramDirectory(uint32_t, uint32_t) { return Word(TheApp().paths.programDirectory.c_str()); }
int32_t ProgramFileName(uint32_t, uint32_t) { return Word(TheApp().paths.programFileName.c_str()); }
int32_t FireEventService(uint32_t record, uint32_t) { return FireEvent(Pointer<EventRecord>(record)); }
int32_t FireTypedEventService(uint32_t record, uint32_t) {
  return FireTypedEvent(Pointer<TypedEventRecord>(record));
}

int32_t BlockEvents(uint32_t, uint32_t) {
  ProcessPendingMessages();
  ++TheApp().eventBlockCount;
  return 0;
}

// 2010: never below 0.
int32_t UnblockEvents(uint32_t, uint32_t) {
  ProcessPendingMessages();
  RuntimeApp& app = TheApp();
  if (app.eventBlockCount > 0) --app.eventBlockCount;
  return 0;
}

int32_t ProcessEvents(uint32_t, uint32_t) {
  ProcessPendingMessages();
  return 0;
}

int32_t KeyLookup(uint32_t key, uint32_t) {
  const KeyEntry* entry = TheApp().FindKey(key);
  return entry ? entry->byte : -1;
}

int32_t KeyAdd(uint32_t key, uint32_t byte) {
  RuntimeApp& app = TheApp();
  if (!app.FindKey(key)) app.keys.push_back({key, static_cast<uint8_t>(byte)});
  return 0;
}

int32_t KeyRemove(uint32_t key, uint32_t) {
  auto& keys = TheApp().keys;
  auto it = std::find_if(keys.begin(), keys.end(), [key](const KeyEntry& e) { return e.key == key; });
  if (it == keys.end()) return 0;
  keys.erase(it);
  return 1;
}

// 2017: the unit whose handler is running, while one is.
int32_t EventSource(uint32_t out, uint32_t) {
  RuntimeApp& app = TheApp();
  if (app.eventSourceWindow == 0) return 0;
  int32_t* pair = Pointer<int32_t>(out);
  pair[0] = app.eventSourceWindow;
  pair[1] = app.eventSourceUnit;
  return 1;
}

int32_t IconRecordIndex(IconRecord* record) {
  const auto& list = TheApp().iconRecords;
  auto it = std::find(list.begin(), list.end(), record);
  return it == list.end() ? -1 : static_cast<int32_t>(it - list.begin());
}

int32_t AddIconRecord(uint32_t record, uint32_t) {
  auto* icon = Pointer<IconRecord>(record);
  if (icon && IconRecordIndex(icon) < 0) TheApp().iconRecords.push_back(icon);
  return 0;
}

int32_t RemoveIconRecord(uint32_t record, uint32_t) {
  auto* icon = Pointer<IconRecord>(record);
  int32_t i = IconRecordIndex(icon);
  if (i < 0) return 0;
  TheApp().iconRecords.erase(TheApp().iconRecords.begin() + i);
  ReleaseIconRecord(icon);
  return 0;
}

int32_t HasIconRecord(uint32_t record, uint32_t) {
  return IconRecordIndex(Pointer<IconRecord>(record)) >= 0 ? 1 : 0;
}

int32_t FreeArray(uint32_t tag, uint32_t array) {
  FreeArrayValue(tag, Pointer<void>(array));
  return 0;
}

// 2024: flag 0 never returns null; a nonzero flag may.
int32_t Allocate(uint32_t size, uint32_t mayFail) { return Word(mayFail ? PlainAlloc(size) : MemAlloc(size)); }
int32_t Free(uint32_t block, uint32_t) {
  MemFree(Pointer<void>(block));
  return 0;
}
int32_t Reallocate(uint32_t block, uint32_t size) { return Word(MemRealloc(Pointer<void>(block), size)); }
int32_t ErrorBox(uint32_t message, uint32_t) { RuntimeError(Pointer<const char>(message), 0); }
int32_t EndProgramService(uint32_t code, uint32_t) { EndProgramNow(static_cast<int32_t>(code)); }
int32_t RunMode(uint32_t, uint32_t) { return TheApp().runMode; }
int32_t UnitClassInfoService(uint32_t type, uint32_t) { return Word(LibraryTypeRecord(type)); }

// 2029: 2 for a type whose flags have bit 2, else 1 for bit 6, else 0.
int32_t TypeKind(uint32_t type, uint32_t) {
  const UnitClassInfo* record = LibraryTypeRecord(type);
  if (!record) return 0;
  return record->flags & kClassEventsA ? 2 : record->flags & kClassEvents ? 1 : 0;
}

// The interface identifier of the core library's object type 0x00010030.
constexpr uint8_t kUnknownIid[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};

// 2036: the core library's object type answers here; another library type asks its library.
int32_t TypeIid(uint32_t type, uint32_t out) {
  if (type == 0x00010030) {
    std::memcpy(Pointer<uint8_t>(out), kUnknownIid, sizeof kUnknownIid);
    return 1;
  }
  const LibraryInfo* info = LibraryOfType(type);
  return info && info->notify ? info->notify(kLibEventTypeIid, (type & 0xFFFF) - 1, out) : 0;
}

// Windows, units and menus belong to the form runtime: the entry calls the handler it
// registered for the request.
template <ServiceHandler FormHooks::*kHandler>
int32_t Form(uint32_t arg1, uint32_t arg2) {
  return (Forms().*kHandler)(arg1, arg2);
}

// Every request code in ascending order. Picture facilities (1003, 2034, 2035) have nothing to
// do in this program; it starts no background threads (2016) and has no 2002 answer but 0.
// The form runtime answers no general form, menu query or unit request (2015, 2038, 2039).
constexpr ServiceEntry kServices[] = {
    {kSvcDefaultIcons, DefaultIconsService},
    {kSvcWindowDirectory, Form<&FormHooks::windowDirectory>},
    {kSvcUnitClassInfo, UnitClassInfoService},
    {kSvcPictureConvert, Zero},
    {kSvcOne, [](uint32_t, uint32_t) { return 1; }},
    {kSvcFive, [](uint32_t, uint32_t) { return 5; }},
    {kSvcPathIntoBuffer, PathIntoBuffer},
    {kSvcAttachNewObject, AttachNewObject},
    {kSvcDeleteObject, DeleteObject},
    {kSvcDetachWindow, DetachWindow},
    {kSvcWindowHandle, WindowHandle},
    {kSvcAttachWindow, AttachWindow},
    {kSvcAddIdleCallback, AddIdleCallback},
    {kSvcRemoveIdleCallback, RemoveIdleCallback},
    {kSvcIsUnitWindow, Form<&FormHooks::isUnitWindow>},
    {kSvcReleaseUnitData, Form<&FormHooks::releaseUnitData>},
    {kSvcToInt, ToInt},
    {kSvcZero, Zero},
    {kSvcProgramDirectory, ProgramDirectory},
    {kSvcProgramFileName, ProgramFileName},
    {kSvcLoadWindow, Form<&FormHooks::loadWindow>},
    {kSvcUnitObject, Form<&FormHooks::unitObject>},
    {kSvcUnitObjectChecked, Form<&FormHooks::unitObjectChecked>},
    {kSvcFireEvent, FireEventService},
    {kSvcBlockEvents, BlockEvents},
    {kSvcUnblockEvents, UnblockEvents},
    {kSvcKeyLookup, KeyLookup},
    {kSvcKeyAdd, KeyAdd},
    {kSvcKeyRemove, KeyRemove},
    {kSvcDestroyFormObjects, Form<&FormHooks::destroyFormObjects>},
    {kSvcFormRequest, Zero},
    {kSvcStopThreads, Zero},
    {kSvcEventSource, EventSource},
    {kSvcProcessEvents, ProcessEvents},
    {kSvcAddIconRecord, AddIconRecord},
    {kSvcRemoveIconRecord, RemoveIconRecord},
    {kSvcHasIconRecord, HasIconRecord},
    {kSvcUnitFirstWord, Form<&FormHooks::unitTypeId>},
    {kSvcFreeArray, FreeArray},
    {kSvcAlloc, Allocate},
    {kSvcFree, Free},
    {kSvcRealloc, Reallocate},
    {kSvcError, ErrorBox},
    {kSvcEndProgram, EndProgramService},
    {kSvcTypeKind, TypeKind},
    {kSvcRunMode, RunMode},
    {kSvcFireTypedEvent, FireTypedEventService},
    {kSvcWindowCount, Form<&FormHooks::windowCount>},
    {kSvcWindowHandleAt, Form<&FormHooks::windowHandleAt>},
    {kSvcPictureFromBitmap, Zero},
    {kSvcReleaseObjectPair, Zero},
    {kSvcTypeIid, TypeIid},
    {kSvcMarkMenu, Form<&FormHooks::markMenu>},
    {kSvcMenuQuery, Zero},
    {kSvcUnitRequest, Zero},
    {kSvcRebuildMenu, Form<&FormHooks::rebuildMenu>},
};
static_assert(std::size(kServices) == kServiceCount);

// The codes ascend, so a request is found by binary search.
constexpr bool Ascending() {
  for (size_t i = 1; i < std::size(kServices); ++i)
    if (kServices[i - 1].code >= kServices[i].code) return false;
  return true;
}
static_assert(Ascending());

}  // namespace

int32_t ArgToInt(const ArgRecord& arg) {
  switch (arg.tag) {
    case TAG_BYTE: return arg.byteValue;
    case TAG_SHORT: return arg.shortValue;
    case TAG_INT: return arg.intValue;
    case TAG_LONG: return static_cast<int32_t>(arg.words[0]);
    case TAG_FLOAT: return TruncateToInt(arg.floatValue);
    case TAG_DOUBLE: return TruncateToInt(arg.doubleValue);
    default: RuntimeError("欲转换数据类型不是数值", 0);
  }
}

const LibraryInfo* LibraryOfType(uint32_t type) {
  if (ClassifyType(type) != TypeClass::kLibrary) return nullptr;
  const std::vector<const LibraryInfo*>& libraries = TheApp().libraries;
  uint32_t library = type >> 16, number = type & 0xFFFF;
  if (library < 1 || library > libraries.size() || number < 1) return nullptr;
  const LibraryInfo* info = libraries[library - 1];
  return info && number <= info->typeCount ? info : nullptr;
}

const UnitClassInfo* LibraryTypeRecord(uint32_t type) {
  const LibraryInfo* info = LibraryOfType(type);
  if (!info || !info->typeTable) return nullptr;
  return static_cast<const UnitClassInfo*>(info->typeTable) + ((type & 0xFFFF) - 1);
}

int32_t __cdecl RuntimeNotify(int32_t code, uint32_t arg1, uint32_t arg2) {
  const ServiceEntry* end = std::end(kServices);
  const ServiceEntry* entry = std::lower_bound(
      std::begin(kServices), end, code, [](const ServiceEntry& e, int32_t c) { return e.code < c; });
  return entry != end && entry->code == code ? entry->handler(arg1, arg2) : 0;
}

}  // namespace rt
