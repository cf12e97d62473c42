// A probe loaded into a running checker from outside: it counts the busy blocks of the
// runtime heap. The runtime allocates every value on the process heap through the checker's
// own imports of HeapAlloc, HeapReAlloc and HeapFree; the probe points the slots of HeapAlloc
// and HeapFree at counting wrappers (a resized block stays one block), so blocks of the system DLLs (the rich edit control, WinINet), which use
// the same heap through their own imports, are left out. The count starts at 0 when the probe
// is installed: it tells how many blocks were allocated and not freed since, which is all that
// a comparison before and after a piece of work needs. It also sums the busy bytes of the
// process heap and of the C runtime's heap, for the rows of memory growth.
#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

using AllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using FreeFn = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID);

AllocFn g_alloc = nullptr;
FreeFn g_free = nullptr;
volatile LONG g_busy = 0;

LPVOID WINAPI CountingAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  LPVOID block = g_alloc(heap, flags, size);
  if (block && heap == GetProcessHeap()) InterlockedIncrement(&g_busy);
  return block;
}

BOOL WINAPI CountingFree(HANDLE heap, DWORD flags, LPVOID block) {
  BOOL freed = g_free(heap, flags, block);
  if (freed && block && heap == GetProcessHeap()) InterlockedDecrement(&g_busy);
  return freed;
}

// Points the main module's import slot of `name` (from any DLL) at `wrapper`; returns the
// address the slot held, or null when the module imports no such function.
void* Redirect(const char* name, void* wrapper) {
  auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleA(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return nullptr;
  for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
    if (!desc->OriginalFirstThunk) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      void* previous = reinterpret_cast<void*>(slots->u1.Function);
      DWORD protection;
      VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
      InterlockedExchange(reinterpret_cast<volatile LONG*>(&slots->u1.Function),
                          static_cast<LONG>(reinterpret_cast<uintptr_t>(wrapper)));
      VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
      return previous;
    }
  }
  return nullptr;
}

}  // namespace

// Thread routines, started in the checker's process by the driver.
// Installs the wrappers once; 1 when both imports were found.
extern "C" __declspec(dllexport) DWORD WINAPI InstallHeapCounter(LPVOID) {
  if (g_alloc) return 1;
  // The originals are known before any slot changes, so a wrapper never runs without them.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  g_alloc = reinterpret_cast<AllocFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "HeapAlloc")));
  g_free = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "HeapFree")));
  if (!g_alloc || !g_free) return 0;
  bool alloc = Redirect("HeapAlloc", reinterpret_cast<void*>(&CountingAlloc)) != nullptr;
  bool free = Redirect("HeapFree", reinterpret_cast<void*>(&CountingFree)) != nullptr;
  return alloc && free ? 1 : 0;
}

// The count since installation, as the thread's exit code (a signed value).
extern "C" __declspec(dllexport) DWORD WINAPI ReadHeapCounter(LPVOID) {
  return static_cast<DWORD>(g_busy);
}

namespace {

// The kilobytes held by the busy blocks of `heap`, walked under its lock; 0 for no heap.
DWORD BusyKilobytes(HANDLE heap) {
  if (!heap) return 0;
  unsigned long long bytes = 0;
  PROCESS_HEAP_ENTRY entry{};
  HeapLock(heap);
  while (HeapWalk(heap, &entry))
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
  HeapUnlock(heap);
  return static_cast<DWORD>(bytes / 1024);
}

}  // namespace

// The busy kilobytes of the process heap (the runtime's values, and what the system DLLs
// allocate there: WinINet, the rich edit control) and of the C runtime's heap (malloc and the
// C++ heap's new), as the thread's exit code. Need no installation.
extern "C" __declspec(dllexport) DWORD WINAPI ProcessHeapKilobytes(LPVOID) {
  return BusyKilobytes(GetProcessHeap());
}

extern "C" __declspec(dllexport) DWORD WINAPI CrtHeapKilobytes(LPVOID) {
  using HeapHandleFn = intptr_t(__cdecl*)();
  auto heapHandle = reinterpret_cast<HeapHandleFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("msvcrt.dll"), "_get_heap_handle")));
  return heapHandle ? BusyKilobytes(reinterpret_cast<HANDLE>(heapHandle())) : 0;
}
