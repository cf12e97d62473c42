// Request codes of RuntimeNotify, the runtime's one service function for libraries.
// A library stores the function it receives with kLibEventStart and makes every request to
// the runtime through it: RuntimeNotify(code, arg1, arg2) -> 32-bit result.
#pragma once

#include <cstdint>

enum ServiceCode : int32_t {
  kSvcDefaultIcons = 1000,        // addr of two words <- large and small "DEFAULT_ICON"
  kSvcWindowDirectory = 1001,     // -> address of the WindowDirectory
  kSvcUnitClassInfo = 1002,      // type number -> UnitClassInfo address or 0
  kSvcPictureConvert = 1003,      // picture object, kind (picture facilities)
  kSvcOne = 1004,                  // -> 1
  kSvcFive = 1005,                 // -> 5
  kSvcPathIntoBuffer = 1006,     // selector, buffer
  kSvcAttachNewObject = 1007,    // window handle -> new window object
  kSvcDeleteObject = 1008,        // object
  kSvcDetachWindow = 1009,        // window object -> handle
  kSvcWindowHandle = 1010,        // window object -> handle
  kSvcAttachWindow = 1011,        // handle, window object -> 1 or 0
  kSvcAddIdleCallback = 1012,    // addr of (handle, routine, argument)
  kSvcRemoveIdleCallback = 1013, // handle
  kSvcIsUnitWindow = 1014,       // handle -> 1 or 0
  kSvcReleaseUnitData = 2000,    // window id, unit id
  kSvcToInt = 2001,               // ArgRecord address -> int32
  kSvcZero = 2002,                 // -> 0
  kSvcProgramDirectory = 2003,    // -> runtime's own text, no trailing backslash
  kSvcProgramFileName = 2004,    // -> runtime's own text
  kSvcLoadWindow = 2005,          // addr of (window id, parent object, third word)
  kSvcUnitObject = 2006,          // window id, unit id -> window object or 0
  kSvcUnitObjectChecked = 2007,  // as 2006; a missing unit is a runtime error
  kSvcFireEvent = 2008,           // EventRecord* -> 1 if a handler ran
  kSvcBlockEvents = 2009,
  kSvcUnblockEvents = 2010,
  kSvcKeyLookup = 2011,           // key -> byte or -1
  kSvcKeyAdd = 2012,              // key, byte
  kSvcKeyRemove = 2013,           // key -> 1 if present
  kSvcDestroyFormObjects = 2014,
  kSvcFormRequest = 2015,         // addr of three words
  kSvcStopThreads = 2016,
  kSvcEventSource = 2017,         // addr of two words -> 1 while a handler runs
  kSvcProcessEvents = 2018,
  kSvcAddIconRecord = 2019,
  kSvcRemoveIconRecord = 2020,
  kSvcHasIconRecord = 2021,
  kSvcUnitFirstWord = 2022,      // window id, unit id -> UnitTypeId word or 0
  kSvcFreeArray = 2023,           // tag, array address
  kSvcAlloc = 2024,                // size, flag (nonzero: may return 0)
  kSvcFree = 2025,                 // address
  kSvcRealloc = 2026,              // address, size
  kSvcError = 2027,                // message text; does not return
  kSvcEndProgram = 2028,          // exit code; does not return
  kSvcTypeKind = 2029,            // library type number -> 2, 1 or 0
  kSvcRunMode = 2030,
  kSvcFireTypedEvent = 2031,     // TypedEventRecord* -> 1 if a handler ran
  kSvcWindowCount = 2032,
  kSvcWindowHandleAt = 2033,     // 0-based window number -> handle or 0
  kSvcPictureFromBitmap = 2034,
  kSvcReleaseObjectPair = 2035,
  kSvcTypeIid = 2036,             // type number, addr of 16 bytes
  kSvcMarkMenu = 2037,            // window id
  kSvcMenuQuery = 2038,           // menu query record
  kSvcUnitRequest = 2039,         // window id, unit id
  kSvcRebuildMenu = 2040,         // window id
};
// The request codes are 1000-1014 and 2000-2040.
inline constexpr uint32_t kServiceCount = 15 + 41;
