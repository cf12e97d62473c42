// Declarations and typed wrappers of the program's DLL commands.
#include "program/dll_commands.h"

#include <initializer_list>

namespace dll {

// An empty file name makes the runtime search its system library list; a file name without
// ".dll" is completed by the system loader.
const char* const kFiles[kCommandCount] = {
    "SkinH_QX.dll", "wininet.dll", "wininet.dll", "wininet.dll",  "wininet.dll",
    "wininet.dll",  "wininet.dll", "wininet.dll", "wininet.dll",  "kernel32.dll",
    "",             "",            "",            "user32.dll",   "",
    "user32.dll",   "",            "kernel32.dll", "kernel32",    "kernel32",
    "user32.dll",   "wininet.dll", "kernel32.dll", "kernel32.dll", "kernel32.dll",
    "kernel32.dll", "kernel32.dll", "kernel32.dll", "user32.dll",   "kernel32.dll",
    "wininet.dll",  "wininet.dll", "kernel32.dll", "kernel32.dll",
    "shell32.dll",  "kernel32.dll", "kernel32.dll", "kernel32.dll", "kernel32.dll",
    "kernel32.dll", "kernel32.dll", "kernel32.dll", "kernel32.dll",
    "kernel32.dll", "kernel32.dll", "wininet.dll",
};

const char* const kNames[kCommandCount] = {
    "SkinH_AttachRes",     "InternetOpenW",    "InternetConnectW",
    "HttpOpenRequestW",    "HttpSendRequestW", "InternetReadFile",
    "HttpQueryInfoA",      "InternetCloseHandle", "InternetSetCookieA",
    "GetCurrentProcessId", "MessageBoxW",      "EnumWindows",
    "IsWindowVisible",     "GetWindowThreadProcessId", "GetWindowTextW",
    "GetClassNameW",       "MultiByteToWideChar", "WideCharToMultiByte",
    "WideCharToMultiByte", "LCMapStringA",     "PeekMessageA",
    "InternetSetOptionA",  "CreateThread",     "CreateEventA",
    "SetEvent",            "WaitForSingleObject", "CloseHandle",
    "GetModuleHandleExA",  "MsgWaitForMultipleObjectsEx", "GetProcAddress",
    "InternetQueryDataAvailable", "InternetQueryOptionA", "GetTickCount",
    "LoadLibraryW",        "SHGetFolderPathW",
    "CreateDirectoryW",    "SetErrorMode",     "CreateFileW",
    "GetFileSize",         "ReadFile",         "MoveFileExW",
    "DeleteFileW",         "GetModuleFileNameW", "GetFileAttributesW",
    "WriteFile",           "InternetGetCookieExA",
};

namespace {

// Every argument is one 32-bit word: integers as they are, texts and buffers as addresses.
uint32_t Word(const void* address) { return reinterpret_cast<uint32_t>(address); }
uint32_t Word(int32_t value) { return static_cast<uint32_t>(value); }
uint32_t Word(EnumProc routine) { return reinterpret_cast<uint32_t>(routine); }
uint32_t Word(ThreadProc routine) { return reinterpret_cast<uint32_t>(routine); }

uint32_t Call(Command command, std::initializer_list<uint32_t> words) {
  return ProgramCallDll(command, words.begin(), static_cast<uint32_t>(words.size()));
}

}  // namespace

int32_t SkinH_AttachRes(const void* data, uint32_t size, const char* options, uint32_t a,
                        uint32_t b, uint32_t c) {
  return Call(kSkinAttachRes, {Word(data), size, Word(options), a, b, c});
}

Handle InternetOpenW(const char16_t* agent, uint32_t accessType, const char16_t* proxy,
                     const char16_t* bypass, uint32_t flags) {
  return Call(kInternetOpen, {Word(agent), accessType, Word(proxy), Word(bypass), flags});
}

Handle InternetConnectW(Handle internet, const char16_t* server, uint32_t port,
                        const char16_t* user, const char16_t* password, uint32_t service,
                        uint32_t flags, uint32_t context) {
  return Call(kInternetConnect, {internet, Word(server), port, Word(user), Word(password), service,
                                 flags, context});
}

Handle HttpOpenRequestW(Handle connection, const char16_t* verb, const char16_t* object,
                        const char16_t* version, const char16_t* referrer,
                        const char16_t* const* accept, uint32_t flags, uint32_t context) {
  return Call(kHttpOpenRequest, {connection, Word(verb), Word(object), Word(version),
                                 Word(referrer), Word(accept), flags, context});
}

int32_t HttpSendRequestW(Handle request, const char16_t* headers, uint32_t headersLength,
                         const void* optional, uint32_t optionalLength) {
  return Call(kHttpSendRequest,
              {request, Word(headers), headersLength, Word(optional), optionalLength});
}

int32_t InternetReadFile(Handle file, void* buffer, uint32_t toRead, uint32_t* read) {
  return Call(kInternetReadFile, {file, Word(buffer), toRead, Word(read)});
}

int32_t HttpQueryInfoA(Handle request, uint32_t level, void* buffer, uint32_t* length,
                       uint32_t* index) {
  return Call(kHttpQueryInfo, {request, level, Word(buffer), Word(length), Word(index)});
}

int32_t InternetCloseHandle(Handle handle) { return Call(kInternetCloseHandle, {handle}); }

int32_t InternetSetCookieA(const char* url, const char* name, const char* data) {
  return Call(kInternetSetCookie, {Word(url), Word(name), Word(data)});
}

uint32_t GetCurrentProcessId() { return Call(kGetCurrentProcessId, {}); }

int32_t MessageBoxW(Handle owner, const char16_t* text, const char16_t* caption, uint32_t style) {
  return Call(kMessageBox, {owner, Word(text), Word(caption), style});
}

int32_t EnumWindows(EnumProc proc, uint32_t param) {
  return Call(kEnumWindows, {Word(proc), param});
}

int32_t IsWindowVisible(Handle window) { return Call(kIsWindowVisible, {window}); }

uint32_t GetWindowThreadProcessId(Handle window, uint32_t* processId) {
  return Call(kGetWindowThreadProcessId, {window, Word(processId)});
}

int32_t GetWindowTextW(Handle window, char16_t* buffer, int32_t size) {
  return Call(kGetWindowText, {window, Word(buffer), Word(size)});
}

int32_t GetClassNameW(Handle window, char16_t* buffer, int32_t size) {
  return Call(kGetClassName, {window, Word(buffer), Word(size)});
}

int32_t MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* text, int32_t length,
                            void* wide, int32_t wideLength) {
  return Call(kMultiByteToWideChar,
              {codePage, flags, Word(text), Word(length), Word(wide), Word(wideLength)});
}

int32_t WideCharToMultiByte(uint32_t codePage, uint32_t flags, const void* wide, int32_t length,
                            char* text, int32_t textLength, const char* defaultChar,
                            int32_t* usedDefault) {
  return Call(kWideCharToMultiByte, {codePage, flags, Word(wide), Word(length), Word(text),
                                     Word(textLength), Word(defaultChar), Word(usedDefault)});
}

int32_t WideCharToMultiByteDefault(uint32_t codePage, uint32_t flags, const void* wide,
                                   int32_t length, char* text, int32_t textLength,
                                   const char* defaultChar, int32_t* usedDefault) {
  return Call(kWideCharToMultiByteDefault,
              {codePage, flags, Word(wide), Word(length), Word(text), Word(textLength),
               Word(defaultChar), Word(usedDefault)});
}

int32_t LCMapStringA(uint32_t locale, uint32_t flags, const char* source, int32_t length,
                     char* target, int32_t targetLength) {
  return Call(kLCMapString,
              {locale, flags, Word(source), Word(length), Word(target), Word(targetLength)});
}

int32_t PeekMessageA(Message* message, Handle window, uint32_t first, uint32_t last,
                     uint32_t remove) {
  return Call(kPeekMessage, {Word(message), window, first, last, remove});
}

int32_t InternetSetOptionA(Handle handle, uint32_t option, const void* buffer, uint32_t length) {
  return Call(kInternetSetOption, {handle, option, Word(buffer), length});
}

Handle CreateThread(const void* security, uint32_t stackSize, ThreadProc start, void* parameter,
                    uint32_t flags, uint32_t* threadId) {
  return Call(kCreateThread,
              {Word(security), stackSize, Word(start), Word(parameter), flags, Word(threadId)});
}

Handle CreateEventA(const void* security, int32_t manualReset, int32_t initialState,
                    const char* name) {
  return Call(kCreateEvent, {Word(security), Word(manualReset), Word(initialState), Word(name)});
}

int32_t SetEvent(Handle event) { return Call(kSetEvent, {event}); }

uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) {
  return Call(kWaitForSingleObject, {object, milliseconds});
}

int32_t CloseHandle(Handle object) { return Call(kCloseHandle, {object}); }

int32_t GetModuleHandleExA(uint32_t flags, const char* name, Handle* module) {
  return Call(kGetModuleHandleEx, {flags, Word(name), Word(module)});
}

uint32_t MsgWaitForMultipleObjectsEx(uint32_t count, const Handle* objects, uint32_t milliseconds,
                                     uint32_t wakeMask, uint32_t flags) {
  return Call(kMsgWaitForMultipleObjectsEx, {count, Word(objects), milliseconds, wakeMask, flags});
}

Handle LoadLibraryW(const char16_t* path) { return Call(kLoadLibrary, {Word(path)}); }

uint32_t GetProcAddress(Handle module, const char* name) {
  return Call(kGetProcAddress, {module, Word(name)});
}

int32_t InternetQueryDataAvailable(Handle file, uint32_t* available, uint32_t flags,
                                   uint32_t context) {
  return Call(kInternetQueryDataAvailable, {file, Word(available), flags, context});
}

int32_t InternetQueryOptionA(Handle handle, uint32_t option, void* buffer, uint32_t* length) {
  return Call(kInternetQueryOption, {handle, option, Word(buffer), Word(length)});
}

uint32_t GetTickCount() { return Call(kGetTickCount, {}); }

int32_t SHGetFolderPathW(Handle owner, int32_t folder, Handle token, uint32_t flags, char16_t* path) {
  return Call(kGetFolderPath, {owner, Word(folder), token, flags, Word(path)});
}

int32_t CreateDirectoryW(const char16_t* path, const void* security) {
  return Call(kCreateDirectory, {Word(path), Word(security)});
}

uint32_t SetErrorMode(uint32_t mode) { return Call(kSetErrorMode, {mode}); }

Handle CreateFileW(const char16_t* path, uint32_t access, uint32_t share, const void* security,
                   uint32_t disposition, uint32_t attributes, Handle templateFile) {
  return Call(kCreateFile,
              {Word(path), access, share, Word(security), disposition, attributes, templateFile});
}

uint32_t GetFileSize(Handle file, uint32_t* high) { return Call(kGetFileSize, {file, Word(high)}); }

int32_t ReadFile(Handle file, void* buffer, uint32_t toRead, uint32_t* read, void* overlapped) {
  return Call(kReadFile, {file, Word(buffer), toRead, Word(read), Word(overlapped)});
}

int32_t MoveFileExW(const char16_t* from, const char16_t* to, uint32_t flags) {
  return Call(kMoveFileEx, {Word(from), Word(to), flags});
}

int32_t DeleteFileW(const char16_t* path) { return Call(kDeleteFile, {Word(path)}); }

uint32_t GetModuleFileNameW(Handle module, char16_t* buffer, uint32_t size) {
  return Call(kGetModuleFileName, {module, Word(buffer), size});
}

uint32_t GetFileAttributesW(const char16_t* path) { return Call(kGetFileAttributes, {Word(path)}); }

int32_t WriteFile(Handle file, const void* buffer, uint32_t toWrite, uint32_t* written, void* overlapped) {
  return Call(kWriteFile, {file, Word(buffer), toWrite, Word(written), Word(overlapped)});
}

int32_t InternetGetCookieExA(const char* url, const char* name, char* data, uint32_t* size,
                             uint32_t flags, void* reserved) {
  return Call(kInternetGetCookieEx, {Word(url), Word(name), Word(data), Word(size), flags, Word(reserved)});
}

}  // namespace dll
