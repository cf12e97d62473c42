// Entry of the skin library: SkinH_AttachRes checks a skin block and attaches it to the
// calling thread's windows.
#include <windows.h>

#include <cstdint>

#include "skin/skin_format.h"
#include "skin/skin_windows.h"

namespace {

HINSTANCE g_module = nullptr;

// True when every byte of [data, data + size) lies in committed, readable memory. The caller's
// address is not trusted: a wrong pointer or length must give a failure, not a fault.
bool IsReadable(const uint8_t* data, uint32_t size) {
  uintptr_t begin = reinterpret_cast<uintptr_t>(data);
  uintptr_t end = begin + size;
  if (end < begin) return false;
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  for (uintptr_t at = begin; at < end;) {
    MEMORY_BASIC_INFORMATION info;
    if (!VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info)) return false;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
        !(info.Protect & kReadable))
      return false;
    uintptr_t next = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (next <= at) return false;
    at = next;
  }
  return true;
}

}  // namespace

// Attaches the skin block at `data` (`size` bytes) to the windows of the calling thread.
// `options` is an option text and `reserved1` to `reserved3` are reserved words; callers pass
// an empty text and zeros, and this version reads none of them.
// Returns 0 when the skin is attached, otherwise the reason it was refused (skin::SkinStatus);
// a refused block changes nothing, and a skin attached earlier stays in place.
extern "C" int32_t __stdcall SkinH_AttachRes(const uint8_t* data, uint32_t size, const char* options,
                                             int32_t reserved1, int32_t reserved2, int32_t reserved3) {
  (void)options;
  (void)reserved1;
  (void)reserved2;
  (void)reserved3;
  using skin::SkinStatus;
  if (!data || size < skin::kSkinHeaderSize) return static_cast<int32_t>(SkinStatus::kNoData);
  if (size > skin::kSkinMaxSize) return static_cast<int32_t>(SkinStatus::kBadSize);
  if (!IsReadable(data, size)) return static_cast<int32_t>(SkinStatus::kUnreadable);
  skin::SkinScheme scheme;
  SkinStatus status = skin::ParseSkin(data, size, &scheme);
  if (status != SkinStatus::kOk) return static_cast<int32_t>(status);
  if (!skin::AttachToThread(scheme, g_module)) return static_cast<int32_t>(SkinStatus::kHookFailed);
  return static_cast<int32_t>(SkinStatus::kOk);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
