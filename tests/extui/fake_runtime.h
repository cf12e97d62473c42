// A stand-in for the runtime's service function, for testing the library on its own: heap
// blocks, event records, unit lookups and destruction notices are recorded for the tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "extui/rich_edit_unit.h"

namespace extui_test {

struct RaisedEvent {
  int32_t windowId;
  int32_t unitId;
  int32_t event;
};

struct FakeRuntime {
  std::vector<RaisedEvent> events;
  std::vector<std::pair<int32_t, int32_t>> released;  // service 2000
  std::vector<std::string> errors;                    // service 2007 misses
  std::map<std::pair<int32_t, int32_t>, void*> units;  // (window id, unit id) -> object
  std::function<void(const RaisedEvent&)> onEvent;       // runs as a program handler would
  int allocations = 0;
  int frees = 0;

  void Reset() { *this = FakeRuntime{}; }
  int CountEvents(int32_t event) const;
};

FakeRuntime& Runtime();
// Hands the fake service function to the library (library event 1).
void InstallFakeRuntime();

// The top-level host window (one for the run, emptied of children on each call) that hands WM_COMMAND and WM_NOTIFY back to the child that sent them,
// as the form window does, and returns the child's answer.
HWND CreateHostWindow();

// Creates a box through the class's create operation on a host window, with a PropertyBlock
// (null for the defaults), and registers it with the fake runtime as (1, unitId).
extui::RichEditUnit* CreateBox(HWND host, const void* block = nullptr, int32_t length = 0,
                               int32_t unitId = 7, uint32_t designFlag = 0);

// Class operations through the UnitInterface, as the form runtime calls them.
int32_t WriteProp(extui::RichEditUnit* unit, int32_t classIndex, uint32_t value);
int32_t WriteText(extui::RichEditUnit* unit, int32_t classIndex, const char* text);
int32_t ReadInt(extui::RichEditUnit* unit, int32_t classIndex);
std::string ReadText(extui::RichEditUnit* unit, int32_t classIndex);

// Calls SetSelCharFormat through the library's command table with a unit and format record.
void SetSelFormat(int32_t windowId, int32_t unitId, const void* format);

// Whole content of a control as plain GBK text (streamed out).
std::string ControlText(HWND control);
// Processes pending messages of this thread.
void Pump();

}  // namespace extui_test
