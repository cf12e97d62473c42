#include "framework/global_memory.h"

#include <algorithm>
#include <cstring>

namespace fw {

ScopedGlobal CopyToGlobal(const void* data, size_t size) {
  ScopedGlobal memory(::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, std::max<size_t>(size, 1)));
  if (!memory) return memory;
  void* p = ::GlobalLock(memory.Get());
  if (!p) return ScopedGlobal();
  if (size) std::memcpy(p, data, size);
  ::GlobalUnlock(memory.Get());
  return memory;
}

std::vector<uint8_t> CopyFromGlobal(HGLOBAL memory) {
  std::vector<uint8_t> bytes;
  if (!memory) return bytes;
  const SIZE_T size = ::GlobalSize(memory);
  const auto* p = static_cast<const uint8_t*>(::GlobalLock(memory));
  if (!p) return bytes;
  bytes.assign(p, p + size);
  ::GlobalUnlock(memory);
  return bytes;
}

}  // namespace fw
