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

// An idle callback: called with its argument while the queue is empty.
using IdleRoutine = void(__cdecl*)(uint32_t argument);
// The program's routine that releases its global variables.
using GlobalsCleanupRoutine = void(__cdecl*)();

// An icon record of the libraries: an icon and the buffer it was made from.
struct IconRecord {
  HICON icon;
  void* buffer;
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
  RuntimeApp();
  ~RuntimeApp() override;

  BOOL InitInstance() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnIdle(int32_t count) override;
  int ExitInstance() override;

  // Runtime initialisation from the program's information record.
  void Initialise(const ProgramInfo& info);
  // The message loop: mode 0 is the main loop, mode 1 a modal window's loop, which also ends
  // when modalWindowId drops to 0.
  void RunLoop(int mode);
  // The end-of-program clean-up. Runs its steps once; a call from another thread hands the
  // end to the main thread.
  void Cleanup(int32_t code);

  // State from the program's information record.
  int32_t runMode = 0;
  int32_t reservedWord = 0;
  int32_t word3PlusOne = 0;
  const ProgramInfo* program = nullptr;

  std::string programDirectory;   // without a trailing backslash
  std::string programFileName;
  std::string moduleDirectory;    // with a trailing backslash

  std::vector<const LibraryInfo*> libraries;
  std::vector<uint32_t> libraryValues;
  DllCommandTable dll;
  std::vector<HMODULE> extraModules;
  std::vector<std::string> extraModuleNames;

  int32_t eventBlockCount = 0;
  int32_t eventSourceWindow = 0;
  int32_t eventSourceUnit = 0;
  int32_t loopStarted = 0;
  int32_t modalWindowId = 0;
  int32_t recreatingUnit = 0;

  std::vector<HWND> idleWindows;
  std::vector<IdleRoutine> idleRoutines;
  std::vector<uint32_t> idleArguments;

  DWORD mainThreadId = 0;
  std::vector<IconRecord*> iconRecords;
  std::vector<uint32_t> keyWords;     // services 2011-2013
  std::vector<uint8_t> keyBytes;
  bool socketsStarted = false;
  HelperWindow* helperWindow = nullptr;
  bool oleInitialised = false;
  HANDLE heap = nullptr;
  GlobalsCleanupRoutine globalsCleanup = nullptr;
  fw::ScopedIcon defaultIconLarge;
  fw::ScopedIcon defaultIconSmall;
  bool ending = false;

  // Guards the background-thread list of the media facilities.
  CRITICAL_SECTION threadLock;
  std::vector<HANDLE> backgroundThreads;
  std::vector<HANDLE> backgroundStopEvents;

 private:
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
