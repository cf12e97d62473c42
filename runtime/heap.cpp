#include "runtime/heap.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "runtime/errors.h"
#include "runtime/heap_blocks.h"

namespace rt {
namespace {

// Ranges are written at start and end on the main thread only, read everywhere.
std::vector<std::pair<uintptr_t, uintptr_t>>& Ranges() {
  static std::vector<std::pair<uintptr_t, uintptr_t>> ranges;
  return ranges;
}

// Blocks handed out minus blocks handed back; changed only where the block store is asked.
volatile LONG g_busyBlocks = 0;

[[noreturn]] void OutOfMemory(uint32_t size) {
  char message[100];
  std::snprintf(message, sizeof message, "分配 %d 字节内存失败!", static_cast<int>(size));
  RuntimeError(message, 0);
}

}  // namespace

const uint8_t* ConstantAreaEnd(const void* address) {
  uintptr_t a = reinterpret_cast<uintptr_t>(address);
  for (const auto& [start, end] : Ranges())
    if (start <= a && a < end) return reinterpret_cast<const uint8_t*>(end);
  return nullptr;
}

void AddConstantRange(const void* start, uint32_t size) {
  uintptr_t s = reinterpret_cast<uintptr_t>(start);
  Ranges().emplace_back(s, s + size);
}

void ClearConstantRanges() { Ranges().clear(); }

int32_t BusyBlockCount() { return g_busyBlocks; }

void* PlainAlloc(uint32_t size) {
  void* block = blocks::Allocate(size);
  if (block) ::InterlockedIncrement(&g_busyBlocks);
  return block;
}

void* MemAlloc(uint32_t size) {
  void* block = PlainAlloc(size);
  if (!block) OutOfMemory(size);
  return block;
}

void* MemRealloc(void* block, uint32_t size) {
  if (!block) return MemAlloc(size);
  if (const uint8_t* end = ConstantAreaEnd(block)) {
    // A constant block stays untouched; the copy holds what fits of it.
    void* copy = MemAlloc(size);
    uint32_t available = static_cast<uint32_t>(end - static_cast<uint8_t*>(block));
    std::memcpy(copy, block, size < available ? size : available);
    return copy;
  }
  void* grown = blocks::Reallocate(block, size);
  if (!grown) OutOfMemory(size);
  return grown;
}

void MemFree(void* block) {
  if (!block || ConstantAreaEnd(block)) return;
  ::InterlockedDecrement(&g_busyBlocks);
  blocks::Release(block);
}

void FreeArrayValue(TypeTag tag, void* array) {
  if (!array) return;
  TypeTag member = tag & ~TAG_ARRAY;
  if (member == TAG_TEXT || member == TAG_BYTESET) {
    void** members = reinterpret_cast<void**>(ArrayMembers(array));
    uint32_t count = ArrayCount(array);
    for (uint32_t i = 0; i < count; ++i) MemFree(members[i]);
  }
  MemFree(array);
}

void MakeArrayWritable(uint32_t memberSize, void** variable) {
  void* block = *variable;
  if (!block || !ConstantAreaEnd(block)) return;
  uint32_t dims = static_cast<uint32_t>(ArrayDims(block));
  uint32_t bytes = 4 + 4 * dims + memberSize * ArrayCount(block);
  void* copy = MemAlloc(bytes);
  std::memcpy(copy, block, bytes);
  *variable = copy;
}

char* NewText(const char* text, uint32_t length) {
  if (length == 0) return nullptr;
  char* copy = static_cast<char*>(MemAlloc(length + 1));
  std::memcpy(copy, text, length);
  copy[length] = 0;
  return copy;
}

void* NewByteSet(const void* bytes, uint32_t length) {
  if (length == 0) return nullptr;
  uint8_t* set = static_cast<uint8_t*>(MemAlloc(kByteSetHeader + length));
  reinterpret_cast<int32_t*>(set)[0] = 1;
  reinterpret_cast<uint32_t*>(set)[1] = length;
  std::memcpy(set + kByteSetHeader, bytes, length);
  return set;
}

}  // namespace rt
