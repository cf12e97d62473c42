// Request codes of RuntimeNotify, the runtime's one service function for libraries.
// A library stores the function it receives with LIB_EVENT_START and makes every request to
// the runtime through it: RuntimeNotify(code, arg1, arg2) -> 32-bit result.
#pragma once

#include <cstdint>

enum ServiceCode : int32_t {
  SVC_DEFAULT_ICONS = 1000,        // addr of two words <- large and small "DEFAULT_ICON"
  SVC_WINDOW_DIRECTORY = 1001,     // -> address of the WindowDirectory
  SVC_UNIT_CLASS_INFO = 1002,      // type number -> UnitClassInfo address or 0
  SVC_PICTURE_CONVERT = 1003,      // picture object, kind (picture facilities)
  SVC_ONE = 1004,                  // -> 1
  SVC_FIVE = 1005,                 // -> 5
  SVC_PATH_INTO_BUFFER = 1006,     // selector, buffer
  SVC_ATTACH_NEW_OBJECT = 1007,    // window handle -> new window object
  SVC_DELETE_OBJECT = 1008,        // object
  SVC_DETACH_WINDOW = 1009,        // window object -> handle
  SVC_WINDOW_HANDLE = 1010,        // window object -> handle
  SVC_ATTACH_WINDOW = 1011,        // handle, window object -> 1 or 0
  SVC_ADD_IDLE_CALLBACK = 1012,    // addr of (handle, routine, argument)
  SVC_REMOVE_IDLE_CALLBACK = 1013, // handle
  SVC_IS_UNIT_WINDOW = 1014,       // handle -> 1 or 0
  SVC_RELEASE_UNIT_DATA = 2000,    // window id, unit id
  SVC_TO_INT = 2001,               // ArgRecord address -> int32
  SVC_ZERO = 2002,                 // -> 0
  SVC_PROGRAM_DIRECTORY = 2003,    // -> runtime's own text, no trailing backslash
  SVC_PROGRAM_FILE_NAME = 2004,    // -> runtime's own text
  SVC_LOAD_WINDOW = 2005,          // addr of (window id, parent object, third word)
  SVC_UNIT_OBJECT = 2006,          // window id, unit id -> window object or 0
  SVC_UNIT_OBJECT_CHECKED = 2007,  // as 2006; a missing unit is a runtime error
  SVC_FIRE_EVENT = 2008,           // EventRecord* -> 1 if a handler ran
  SVC_BLOCK_EVENTS = 2009,
  SVC_UNBLOCK_EVENTS = 2010,
  SVC_KEY_LOOKUP = 2011,           // key -> byte or -1
  SVC_KEY_ADD = 2012,              // key, byte
  SVC_KEY_REMOVE = 2013,           // key -> 1 if present
  SVC_DESTROY_FORM_OBJECTS = 2014,
  SVC_FORM_REQUEST = 2015,         // addr of three words
  SVC_STOP_THREADS = 2016,
  SVC_EVENT_SOURCE = 2017,         // addr of two words -> 1 while a handler runs
  SVC_PROCESS_EVENTS = 2018,
  SVC_ADD_ICON_RECORD = 2019,
  SVC_REMOVE_ICON_RECORD = 2020,
  SVC_HAS_ICON_RECORD = 2021,
  SVC_UNIT_FIRST_WORD = 2022,      // window id, unit id -> UnitTypeId word or 0
  SVC_FREE_ARRAY = 2023,           // tag, array address
  SVC_ALLOC = 2024,                // size, flag (nonzero: may return 0)
  SVC_FREE = 2025,                 // address
  SVC_REALLOC = 2026,              // address, size
  SVC_ERROR = 2027,                // message text; does not return
  SVC_END_PROGRAM = 2028,          // exit code; does not return
  SVC_TYPE_KIND = 2029,            // library type number -> 2, 1 or 0
  SVC_RUN_MODE = 2030,
  SVC_FIRE_TYPED_EVENT = 2031,     // TypedEventRecord* -> 1 if a handler ran
  SVC_WINDOW_COUNT = 2032,
  SVC_WINDOW_HANDLE_AT = 2033,     // 0-based window number -> handle or 0
  SVC_PICTURE_FROM_BITMAP = 2034,
  SVC_RELEASE_OBJECT_PAIR = 2035,
  SVC_TYPE_IID = 2036,             // type number, addr of 16 bytes
  SVC_MARK_MENU = 2037,            // window id
  SVC_MENU_QUERY = 2038,           // menu query record
  SVC_UNIT_REQUEST = 2039,         // window id, unit id
  SVC_REBUILD_MENU = 2040,         // window id
};
// The request codes are 1000-1014 and 2000-2040.
inline constexpr uint32_t kServiceCount = 15 + 41;
