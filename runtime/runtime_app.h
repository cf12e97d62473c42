// The application object: runtime state, start-up, the message loop with idle processing,
// and the one end-of-program clean-up.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/scoped_handle.h"
#include "framework/window.h"
#include "runtime/interface/records.h"

namespace rt {

// The message with which another thread hands the end of the program to the main thread.
inline constexpr UINT kEndProgramMessage = 0x83E7;
// Sent during pre-translation to windows that are not window objects; a window created by a
// library answers with the address of its handler object.
inline constexpr UINT kQueryObjectMessage = 0x8002;

// An idle callback of a library: called with its argument while the queue is empty, for as
// long as its window lives (services 1012 and 1013).
using IdleRoutine = void(__cdecl*)(uint32_t argument);
struct IdleCallback {
  HWND window;
  IdleRoutine routine;
  uint32_t argument;
};

// The program's routine that releases its global variables.
using GlobalsCleanupRoutine = void(__cdecl*)();

// An icon record of the libraries: an icon and the buffer it was made from.
struct IconRecord {
  HICON icon;
  void* buffer;
};

// A key of the libraries' key list (services 2011-2013) and the byte kept with it.
struct KeyEntry {
  uint32_t key;
  uint8_t byte;
};

// Where the program lives.
struct ProgramPaths {
  std::string programDirectory;   // the executable's directory, without a trailing backslash
  std::string programFileName;    // the executable's file name
  std::string moduleDirectory;    // the application module's directory, with the backslash
};

// Declared DLL commands: four parallel arrays, one entry per command.
struct DllCommandTable {
  std::vector<const char*> files;
  std::vector<const char*> names;
  std::vector<HMODULE> modules;
  std::vector<void*> addresses;
};

// A hidden tool window that receives the end of the program from other threads.
class HelperWindow : public fw::WindowObject {
 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

class RuntimeApp : public fw::App {
 public:
  BOOL InitInstance() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnIdle(int32_t count) override;
  int ExitInstance() override;

  // Runtime initialisation from the program's information record.
  void Initialise(const ProgramInfo& info);
  // The message loop: mode 0 is the main loop, mode 1 a modal window's loop, which also ends
  // when modalWindowId drops to 0 and leaves a WM_QUIT queued for the main loop.
  void RunLoop(int mode);
  // The end-of-program clean-up. Runs its steps once; a call from another thread hands the
  // end to the main thread.
  void Cleanup(int32_t code);

  // Adds a callback for a live window that has none yet and a routine that is not null.
  void AddIdleCallback(const IdleCallback& callback);
  void RemoveIdleCallback(HWND window);
  // Calls the callbacks from the last to the first, dropping those whose window is gone.
  void RunIdleCallbacks();
  // The entry of `key` in the key list, or null.
  const KeyEntry* FindKey(uint32_t key) const;

  int32_t runMode = 0;   // from the program's information record; service 2030
  ProgramPaths paths;
  std::vector<const LibraryInfo*> libraries;
  std::vector<uint32_t> libraryValues;   // one per library, handed back at the end
  DllCommandTable dll;

  int32_t eventBlockCount = 0;   // while positive, no handler of the program runs
  int32_t eventSourceWindow = 0;
  int32_t eventSourceUnit = 0;
  int32_t loopStarted = 0;
  int32_t modalWindowId = 0;     // the window shown modally, 0 when none
  int32_t recreatingUnit = 0;

  std::vector<IdleCallback> idleCallbacks;
  DWORD mainThreadId = 0;
  std::vector<IconRecord*> iconRecords;
  std::vector<KeyEntry> keys;
  HelperWindow* helperWindow = nullptr;
  bool oleInitialised = false;
  GlobalsCleanupRoutine globalsCleanup = nullptr;
  fw::ScopedIcon defaultIconLarge;
  fw::ScopedIcon defaultIconSmall;
  bool ending = false;

 private:
  void CreateHelperWindow();
  void SetProgramPaths();
  void NotifyLibrariesOfStart(const ProgramInfo& info);

  // Idle state: framework idle work pending, start of the idle period, windows that declined
  // idle events in this period.
  BOOL frameworkIdlePending_ = FALSE;
  DWORD idleStart_ = 0;
  std::vector<HWND> idleDeclined_;
};

// The one application object.
RuntimeApp& TheApp();

// Loads the "DEFAULT_ICON" resource on first use.
void DefaultIcons(HICON* large, HICON* small);

// Clears an icon record, destroys its icon and frees its buffer and the record.
void ReleaseIconRecord(IconRecord* record);

// Processes pending messages, leaving a pending WM_QUIT queued.
void ProcessPendingMessages();

// Runs the clean-up and exits the process. Never returns.
[[noreturn]] void EndProgramNow(int32_t code);

}  // namespace rt
