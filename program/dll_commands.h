// The program's declared DLL commands: the two name tables its information record points at,
// and one typed wrapper per command. Each wrapper passes the native argument words through
// ProgramCallDll, which binds the command on its first call and raises runtime error 6 when
// the function leaves the stack anywhere but where it was before the arguments went on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/interface/runtime_interface.h"

namespace dll {

// Command numbers, in declaration order.
enum Command : uint32_t {
  kSkinAttachRes,              // SkinH_QX.dll
  kInternetOpen,               // wininet.dll
  kInternetConnect,
  kHttpOpenRequest,
  kHttpSendRequest,
  kInternetReadFile,
  kHttpQueryInfo,
  kInternetCloseHandle,
  kInternetSetCookie,
  kGetCurrentProcessId,        // kernel32.dll
  kMessageBox,                 // system library list
  kEnumWindows,                // system library list
  kIsWindowVisible,            // system library list
  kGetWindowThreadProcessId,   // user32.dll
  kGetWindowText,              // system library list
  kGetClassName,               // user32.dll
  kMultiByteToWideChar,        // system library list
  kWideCharToMultiByte,        // kernel32.dll
  kWideCharToMultiByteDefault, // kernel32 (the same function, used with a default character)
  kLCMapString,                // kernel32
  kPeekMessage,                // user32.dll
  kInternetSetOption,          // wininet.dll
  kCreateThread,               // kernel32.dll
  kCreateEvent,                // kernel32.dll
  kSetEvent,                   // kernel32.dll
  kWaitForSingleObject,        // kernel32.dll
  kCloseHandle,                // kernel32.dll
  kGetModuleHandleEx,          // kernel32.dll
  kMsgWaitForMultipleObjectsEx,  // user32.dll
  kGetProcAddress,             // kernel32.dll
  kInternetQueryDataAvailable,  // wininet.dll
  kInternetQueryOption,        // wininet.dll
  kGetTickCount,               // kernel32.dll
  kLoadLibrary,                // kernel32.dll (the wide variant)
  kGetFolderPath,              // shell32.dll
  kCreateDirectory,            // kernel32.dll (the wide variant)
  kSetErrorMode,               // kernel32.dll
  kCreateFile,                 // kernel32.dll (the wide variant)
  kGetFileSize,                // kernel32.dll
  kReadFile,                   // kernel32.dll
  kMoveFileEx,                 // kernel32.dll (the wide variant)
  kDeleteFile,                 // kernel32.dll (the wide variant)
  kGetModuleFileName,          // kernel32.dll (the wide variant)
  kGetFileAttributes,          // kernel32.dll (the wide variant)
  kWriteFile,                  // kernel32.dll
  kInternetGetCookieEx,        // wininet.dll
  kCommandCount
};
static_assert(kCommandCount == 46);

// Library file and exported name per command, for the program's information record.
extern const char* const kFiles[kCommandCount];
extern const char* const kNames[kCommandCount];

// Handles and addresses travel as 32-bit words.
using Handle = uint32_t;
using EnumProc = int32_t(__stdcall*)(uint32_t window, uint32_t param);
using ThreadProc = uint32_t(__stdcall*)(void* parameter);

// A window message as PeekMessageA fills it in (MSG).
struct Message {
  Handle window;
  uint32_t message;
  uint32_t wParam;
  uint32_t lParam;
  uint32_t time;   // milliseconds since system start
  int32_t x, y;    // cursor position in screen pixels
};
static_assert(sizeof(Message) == 28);
static_assert(offsetof(Message, message) == 4 && offsetof(Message, time) == 16);

int32_t SkinH_AttachRes(const void* data, uint32_t size, const char* options, uint32_t a,
                        uint32_t b, uint32_t c);
// The wide variants: addresses and header lines are handed over as web/encodings.h's
// TextForWinINet makes them, so that the bytes WinINet sends are those of a Chinese system.
Handle InternetOpenW(const char16_t* agent, uint32_t accessType, const char16_t* proxy,
                     const char16_t* bypass, uint32_t flags);
Handle InternetConnectW(Handle internet, const char16_t* server, uint32_t port,
                        const char16_t* user, const char16_t* password, uint32_t service,
                        uint32_t flags, uint32_t context);
Handle HttpOpenRequestW(Handle connection, const char16_t* verb, const char16_t* object,
                        const char16_t* version, const char16_t* referrer,
                        const char16_t* const* accept, uint32_t flags, uint32_t context);
int32_t HttpSendRequestW(Handle request, const char16_t* headers, uint32_t headersLength,
                         const void* optional, uint32_t optionalLength);
int32_t InternetReadFile(Handle file, void* buffer, uint32_t toRead, uint32_t* read);
int32_t HttpQueryInfoA(Handle request, uint32_t level, void* buffer, uint32_t* length,
                       uint32_t* index);
int32_t InternetCloseHandle(Handle handle);
int32_t InternetSetCookieA(const char* url, const char* name, const char* data);
uint32_t GetCurrentProcessId();
// The wide variants: texts cross into the system as UTF-16 converted from GBK with code page
// 936, so they read the same whatever the system's own code page is.
int32_t MessageBoxW(Handle owner, const char16_t* text, const char16_t* caption, uint32_t style);
int32_t EnumWindows(EnumProc proc, uint32_t param);
int32_t IsWindowVisible(Handle window);
uint32_t GetWindowThreadProcessId(Handle window, uint32_t* processId);
int32_t GetWindowTextW(Handle window, char16_t* buffer, int32_t size);
int32_t GetClassNameW(Handle window, char16_t* buffer, int32_t size);
int32_t MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* text, int32_t length,
                            void* wide, int32_t wideLength);
int32_t WideCharToMultiByte(uint32_t codePage, uint32_t flags, const void* wide, int32_t length,
                            char* text, int32_t textLength, const char* defaultChar,
                            int32_t* usedDefault);
int32_t WideCharToMultiByteDefault(uint32_t codePage, uint32_t flags, const void* wide,
                                   int32_t length, char* text, int32_t textLength,
                                   const char* defaultChar, int32_t* usedDefault);
int32_t LCMapStringA(uint32_t locale, uint32_t flags, const char* source, int32_t length,
                     char* target, int32_t targetLength);
int32_t PeekMessageA(Message* message, Handle window, uint32_t first, uint32_t last,
                     uint32_t remove);
int32_t InternetSetOptionA(Handle handle, uint32_t option, const void* buffer, uint32_t length);
Handle CreateThread(const void* security, uint32_t stackSize, ThreadProc start, void* parameter,
                    uint32_t flags, uint32_t* threadId);
Handle CreateEventA(const void* security, int32_t manualReset, int32_t initialState,
                    const char* name);
int32_t SetEvent(Handle event);
uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds);
int32_t CloseHandle(Handle object);
int32_t GetModuleHandleExA(uint32_t flags, const char* name, Handle* module);
// The skin library's placement and loading: a library loaded from exactly the given path, an
// export of it, a known per-user folder (CSIDL) and a new folder.
Handle LoadLibraryW(const char16_t* path);
int32_t SHGetFolderPathW(Handle owner, int32_t folder, Handle token, uint32_t flags, char16_t* path);
int32_t CreateDirectoryW(const char16_t* path, const void* security);
// The checked per-user copy of the skin library: the error mode around loading the program's
// own files, a file opened so that nobody else may change it while it is compared and loaded,
// its size and bytes, and the new copy's rename over the old one (or its removal).
uint32_t SetErrorMode(uint32_t mode);
Handle CreateFileW(const char16_t* path, uint32_t access, uint32_t share, const void* security,
                   uint32_t disposition, uint32_t attributes, Handle templateFile);
uint32_t GetFileSize(Handle file, uint32_t* high);
int32_t ReadFile(Handle file, void* buffer, uint32_t toRead, uint32_t* read, void* overlapped);
int32_t MoveFileExW(const char16_t* from, const char16_t* to, uint32_t flags);
int32_t DeleteFileW(const char16_t* path);
// The program's own folder by its UTF-16 name, whether a file is there, and the carried
// library written into a file created through the wide functions.
uint32_t GetModuleFileNameW(Handle module, char16_t* buffer, uint32_t size);
uint32_t GetFileAttributesW(const char16_t* path);
int32_t WriteFile(Handle file, const void* buffer, uint32_t toWrite, uint32_t* written, void* overlapped);
uint32_t MsgWaitForMultipleObjectsEx(uint32_t count, const Handle* objects, uint32_t milliseconds,
                                     uint32_t wakeMask, uint32_t flags);
uint32_t GetProcAddress(Handle module, const char* name);
int32_t InternetQueryDataAvailable(Handle file, uint32_t* available, uint32_t flags,
                                   uint32_t context);
int32_t InternetQueryOptionA(Handle handle, uint32_t option, void* buffer, uint32_t* length);
uint32_t GetTickCount();
int32_t InternetGetCookieExA(const char* url, const char* name, char* data, uint32_t* size,
                             uint32_t flags, void* reserved);
}  // namespace dll
