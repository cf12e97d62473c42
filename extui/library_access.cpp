#include "extui/library_access.h"

#include <cstring>

namespace extui {

namespace {
// Set once at library start-up on the main thread; read from the main thread only.
RuntimeNotifyFn g_notify = nullptr;
}

void SetRuntimeNotify(RuntimeNotifyFn notify) { g_notify = notify; }
RuntimeNotifyFn GetRuntimeNotify() { return g_notify; }

int32_t Notify(int32_t code, uint32_t arg1, uint32_t arg2) {
  return g_notify ? g_notify(code, arg1, arg2) : 0;
}

// Flag 0: the runtime's allocation never returns null (it ends the program instead).
void* RuntimeAlloc(uint32_t size) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(Notify(kSvcAlloc, size, 0)));
}

void RuntimeFree(void* block) {
  if (block) Notify(kSvcFree, reinterpret_cast<uintptr_t>(block), 0);
}

char* RuntimeCopyText(const char* text) {
  const size_t n = text ? std::strlen(text) : 0;
  char* copy = static_cast<char*>(RuntimeAlloc(static_cast<uint32_t>(n + 1)));
  if (!copy) return nullptr;
  if (n) std::memcpy(copy, text, n);
  copy[n] = '\0';
  return copy;
}

}  // namespace extui
