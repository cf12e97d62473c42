#include "bench/driver/heap_probe_client.h"

#include <cstring>
#include <string>

namespace bench {
namespace {

constexpr char kProbeName[] = "heap_probe.dll";

std::string ProbePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  if (char* slash = std::strrchr(path, '\\')) slash[1] = '\0';
  return std::string(path) + kProbeName;
}

// Runs `routine(argument)` on a new thread of `process` and returns its exit code.
std::optional<DWORD> RunRemote(HANDLE process, uintptr_t routine, void* argument) {
  HANDLE thread = CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(routine),
                                     argument, 0, nullptr);
  if (!thread) return std::nullopt;
  std::optional<DWORD> result;
  DWORD code = 0;
  if (WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &code)) result = code;
  CloseHandle(thread);
  return result;
}

// The offset of an exported routine of the probe from the probe's base, the same in every
// process that loads it.
uintptr_t RoutineOffset(const char* name) {
  HMODULE local = LoadLibraryExA(ProbePath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (!local) return 0;
  FARPROC routine = GetProcAddress(local, name);
  uintptr_t offset = routine ? reinterpret_cast<uintptr_t>(routine) - reinterpret_cast<uintptr_t>(local) : 0;
  FreeLibrary(local);
  return offset;
}

}  // namespace

bool HeapProbe::Attach(HANDLE process) {
  if (!Load(process)) return false;
  uintptr_t install = RoutineOffset("InstallHeapCounter");
  std::optional<DWORD> installed = install ? RunRemote(process, remoteBase_ + install, nullptr) : std::nullopt;
  return installed && *installed == 1;
}

bool HeapProbe::Load(HANDLE process) {
  process_ = process;
  const std::string path = ProbePath();
  void* remotePath = VirtualAllocEx(process, nullptr, path.size() + 1, MEM_COMMIT, PAGE_READWRITE);
  if (!remotePath || !WriteProcessMemory(process, remotePath, path.c_str(), path.size() + 1, nullptr))
    return false;
  // The system DLLs lie at the same address in every process, LoadLibraryA with them.
  auto loadLibrary = reinterpret_cast<uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA"));
  std::optional<DWORD> base = RunRemote(process, loadLibrary, remotePath);
  VirtualFreeEx(process, remotePath, 0, MEM_RELEASE);
  if (!base || !*base) return false;
  remoteBase_ = *base;
  return true;
}

std::optional<long> HeapProbe::BusyBlocks() const {
  uintptr_t read = RoutineOffset("ReadHeapCounter");
  if (!remoteBase_ || !read) return std::nullopt;
  std::optional<DWORD> count = RunRemote(process_, remoteBase_ + read, nullptr);
  if (!count) return std::nullopt;
  return static_cast<long>(static_cast<LONG>(*count));
}

std::optional<long> HeapProbe::HeapKilobytes(bool crt) const {
  uintptr_t read = RoutineOffset(crt ? "CrtHeapKilobytes" : "ProcessHeapKilobytes");
  if (!remoteBase_ || !read) return std::nullopt;
  std::optional<DWORD> kilobytes = RunRemote(process_, remoteBase_ + read, nullptr);
  if (!kilobytes) return std::nullopt;
  return static_cast<long>(*kilobytes);
}

}  // namespace bench
