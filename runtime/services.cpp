// RuntimeNotify: every request a library makes of the runtime, by request code.
#include "runtime/services.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "forms/form_runtime.h"
#include "runtime/errors.h"
#include "runtime/events.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"

namespace rt {
namespace {

// Truncates toward zero; values a 32-bit integer cannot hold give what the processor's
// conversion gives (0x80000000), never undefined behaviour.
int32_t TruncateToInt(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Adds an idle callback for a live window that has none yet.
void AddIdleCallback(const uint32_t* words) {
  RuntimeApp& app = TheApp();
  HWND hwnd = reinterpret_cast<HWND>(words[0]);
  IdleRoutine routine = reinterpret_cast<IdleRoutine>(words[1]);
  if (!::IsWindow(hwnd) || !routine) return;
  if (std::find(app.idleWindows.begin(), app.idleWindows.end(), hwnd) != app.idleWindows.end()) return;
  app.idleWindows.push_back(hwnd);
  app.idleRoutines.push_back(routine);
  app.idleArguments.push_back(words[2]);
}

void RemoveIdleCallback(HWND hwnd) {
  RuntimeApp& app = TheApp();
  for (size_t i = app.idleWindows.size(); i-- > 0;) {
    if (app.idleWindows[i] != hwnd) continue;
    app.idleWindows.erase(app.idleWindows.begin() + i);
    app.idleRoutines.erase(app.idleRoutines.begin() + i);
    app.idleArguments.erase(app.idleArguments.begin() + i);
  }
}

int32_t FindKey(uint32_t key) {
  const auto& keys = TheApp().keyWords;
  auto it = std::find(keys.begin(), keys.end(), key);
  return it == keys.end() ? -1 : static_cast<int32_t>(it - keys.begin());
}

void CopyText(char* buffer, const std::string& text) {
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

int32_t IconRecordIndex(IconRecord* record) {
  const auto& list = TheApp().iconRecords;
  auto it = std::find(list.begin(), list.end(), record);
  return it == list.end() ? -1 : static_cast<int32_t>(it - list.begin());
}

void StopBackgroundThreads() {
  RuntimeApp& app = TheApp();
  ::EnterCriticalSection(&app.threadLock);
  for (HANDLE stop : app.backgroundStopEvents) ::SetEvent(stop);
  ::LeaveCriticalSection(&app.threadLock);
}

// The interface identifier of the core library's object type 0x00010030.
constexpr uint8_t kUnknownIid[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};

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

const UnitClassInfo* LibraryTypeRecord(uint32_t type) {
  if (ClassifyType(type) != TypeClass::Library) return nullptr;
  const std::vector<const LibraryInfo*>& libraries = TheApp().libraries;
  uint32_t library = type >> 16, number = type & 0xFFFF;
  if (library < 1 || library > libraries.size() || number < 1) return nullptr;
  const LibraryInfo* info = libraries[library - 1];
  if (!info || !info->typeTable || number > info->typeCount) return nullptr;
  return static_cast<const UnitClassInfo*>(info->typeTable) + (number - 1);
}

namespace {
// Service 2029: 2 for a type whose flags have bit 2, else 1 for bit 6, else 0.
int32_t LibraryTypeKind(uint32_t type) {
  const UnitClassInfo* record = LibraryTypeRecord(type);
  if (!record) return 0;
  return record->flags & 0x4 ? 2 : record->flags & 0x40 ? 1 : 0;
}
}  // namespace

int32_t __cdecl RuntimeNotify(int32_t code, uint32_t arg1, uint32_t arg2) {
  RuntimeApp& app = TheApp();
  switch (code) {
    case SVC_DEFAULT_ICONS: {
      HICON* icons = reinterpret_cast<HICON*>(arg1);
      DefaultIcons(&icons[0], &icons[1]);
      return 0;
    }
    case SVC_ONE: return 1;
    case SVC_FIVE: return 5;
    case SVC_PATH_INTO_BUFFER: {
      char* buffer = reinterpret_cast<char*>(arg2);
      if (!buffer) return 0;
      if (arg1 == 1 || arg1 == 2001) CopyText(buffer, app.programDirectory + "\\");
      else if (arg1 == 2002) CopyText(buffer, app.programFileName);
      else buffer[0] = 0;
      return 0;
    }
    case SVC_ATTACH_NEW_OBJECT: {
      HWND hwnd = reinterpret_cast<HWND>(arg1);
      if (!hwnd) return 0;
      auto* object = new fw::WindowObject;
      object->Attach(hwnd);
      return reinterpret_cast<int32_t>(object);
    }
    case SVC_DELETE_OBJECT: delete reinterpret_cast<fw::WindowObject*>(arg1); return 0;
    case SVC_DETACH_WINDOW: {
      auto* object = reinterpret_cast<fw::WindowObject*>(arg1);
      return object ? reinterpret_cast<int32_t>(object->Detach()) : 0;
    }
    case SVC_WINDOW_HANDLE: {
      auto* object = reinterpret_cast<fw::WindowObject*>(arg1);
      return object ? reinterpret_cast<int32_t>(object->Handle()) : 0;
    }
    case SVC_ATTACH_WINDOW: {
      HWND hwnd = reinterpret_cast<HWND>(arg1);
      auto* object = reinterpret_cast<fw::WindowObject*>(arg2);
      if (!object || object->Handle() || fw::WindowObject::FromHandlePermanent(hwnd)) return 0;
      return object->Attach(hwnd) ? 1 : 0;
    }
    case SVC_ADD_IDLE_CALLBACK: AddIdleCallback(reinterpret_cast<const uint32_t*>(arg1)); return 0;
    case SVC_REMOVE_IDLE_CALLBACK: RemoveIdleCallback(reinterpret_cast<HWND>(arg1)); return 0;

    case SVC_TO_INT: return ArgToInt(*reinterpret_cast<const ArgRecord*>(arg1));
    case SVC_ZERO: return 0;
    case SVC_PROGRAM_DIRECTORY: return reinterpret_cast<int32_t>(app.programDirectory.c_str());
    case SVC_PROGRAM_FILE_NAME: return reinterpret_cast<int32_t>(app.programFileName.c_str());
    case SVC_FIRE_EVENT: return FireEvent(reinterpret_cast<EventRecord*>(arg1));
    case SVC_FIRE_TYPED_EVENT: return FireTypedEvent(reinterpret_cast<TypedEventRecord*>(arg1));
    case SVC_BLOCK_EVENTS:
      ProcessPendingMessages();
      ++app.eventBlockCount;
      return 0;
    case SVC_UNBLOCK_EVENTS:
      ProcessPendingMessages();
      if (app.eventBlockCount > 0) --app.eventBlockCount;
      return 0;
    case SVC_PROCESS_EVENTS: ProcessPendingMessages(); return 0;

    case SVC_KEY_LOOKUP: {
      int32_t i = FindKey(arg1);
      return i < 0 ? -1 : app.keyBytes[i];
    }
    case SVC_KEY_ADD:
      if (FindKey(arg1) < 0) {
        app.keyWords.push_back(arg1);
        app.keyBytes.push_back(static_cast<uint8_t>(arg2));
      }
      return 0;
    case SVC_KEY_REMOVE: {
      int32_t i = FindKey(arg1);
      if (i < 0) return 0;
      app.keyWords.erase(app.keyWords.begin() + i);
      app.keyBytes.erase(app.keyBytes.begin() + i);
      return 1;
    }

    case SVC_STOP_THREADS: StopBackgroundThreads(); return 0;
    case SVC_EVENT_SOURCE: {
      if (app.eventSourceWindow == 0) return 0;
      int32_t* out = reinterpret_cast<int32_t*>(arg1);
      out[0] = app.eventSourceWindow;
      out[1] = app.eventSourceUnit;
      return 1;
    }

    case SVC_ADD_ICON_RECORD: {
      auto* record = reinterpret_cast<IconRecord*>(arg1);
      if (record && IconRecordIndex(record) < 0) app.iconRecords.push_back(record);
      return 0;
    }
    case SVC_REMOVE_ICON_RECORD: {
      auto* record = reinterpret_cast<IconRecord*>(arg1);
      int32_t i = IconRecordIndex(record);
      if (i < 0) return 0;
      app.iconRecords.erase(app.iconRecords.begin() + i);
      ReleaseIconRecord(record);
      return 0;
    }
    case SVC_HAS_ICON_RECORD: return IconRecordIndex(reinterpret_cast<IconRecord*>(arg1)) >= 0 ? 1 : 0;

    case SVC_FREE_ARRAY: FreeArrayValue(arg1, reinterpret_cast<void*>(arg2)); return 0;
    case SVC_ALLOC:
      return reinterpret_cast<int32_t>(arg2 ? PlainAlloc(arg1) : MemAlloc(arg1));
    case SVC_FREE: MemFree(reinterpret_cast<void*>(arg1)); return 0;
    case SVC_REALLOC: return reinterpret_cast<int32_t>(MemRealloc(reinterpret_cast<void*>(arg1), arg2));
    case SVC_ERROR: RuntimeError(reinterpret_cast<const char*>(arg1), 0);
    case SVC_END_PROGRAM: EndProgramNow(static_cast<int32_t>(arg1));
    case SVC_RUN_MODE: return app.runMode;
    case SVC_UNIT_CLASS_INFO: return reinterpret_cast<int32_t>(LibraryTypeRecord(arg1));
    case SVC_TYPE_KIND: return LibraryTypeKind(arg1);

    case SVC_TYPE_IID: {
      uint8_t* out = reinterpret_cast<uint8_t*>(arg2);
      if (arg1 == 0x00010030) {
        std::memcpy(out, kUnknownIid, sizeof kUnknownIid);
        return 1;
      }
      if (ClassifyType(arg1) != TypeClass::Library) return 0;
      uint32_t library = arg1 >> 16, type = arg1 & 0xFFFF;
      if (library < 1 || library > app.libraries.size() || type < 1) return 0;
      const LibraryInfo* info = app.libraries[library - 1];
      if (!info || type > info->typeCount || !info->notify) return 0;
      return info->notify(LIB_EVENT_TYPE_IID, type - 1, arg2);
    }

    // Picture facilities: this program carries no picture objects.
    case SVC_PICTURE_CONVERT:
    case SVC_PICTURE_FROM_BITMAP:
    case SVC_RELEASE_OBJECT_PAIR:
      return 0;

    // Windows, units, classes and menus belong to the form runtime.
    case SVC_WINDOW_DIRECTORY:
    case SVC_IS_UNIT_WINDOW:
    case SVC_RELEASE_UNIT_DATA:
    case SVC_LOAD_WINDOW:
    case SVC_UNIT_OBJECT:
    case SVC_UNIT_OBJECT_CHECKED:
    case SVC_DESTROY_FORM_OBJECTS:
    case SVC_FORM_REQUEST:
    case SVC_UNIT_FIRST_WORD:
    case SVC_WINDOW_COUNT:
    case SVC_WINDOW_HANDLE_AT:
    case SVC_MARK_MENU:
    case SVC_MENU_QUERY:
    case SVC_UNIT_REQUEST:
    case SVC_REBUILD_MENU:
      return forms::FormService(code, arg1, arg2);
    default:
      return 0;
  }
}

}  // namespace rt
