// One-dimensional arrays of 4-byte members on the runtime heap.
#include "program/word_array.h"

#include "runtime/interface/runtime_interface.h"

uint8_t* NewWordArray() {
  auto* block = static_cast<uint32_t*>(MemAlloc(8));
  block[0] = 1;
  block[1] = 0;
  return reinterpret_cast<uint8_t*>(block);
}

uint32_t WordArrayCount(const uint8_t* array) {
  return array ? reinterpret_cast<const uint32_t*>(array)[1] : 0;
}

uint32_t* WordArrayMembers(uint8_t* array) { return reinterpret_cast<uint32_t*>(array) + 2; }

// Grows the block by one member, as the program's arrays grow.
void AppendWord(uint8_t** array, uint32_t member) {
  if (!*array) *array = NewWordArray();
  uint32_t count = WordArrayCount(*array);
  *array = static_cast<uint8_t*>(MemRealloc(*array, 8 + 4 * (count + 1)));
  WordArrayMembers(*array)[count] = member;
  reinterpret_cast<uint32_t*>(*array)[1] = count + 1;
}

void FreeTextArray(uint8_t* array) {
  if (!array) return;
  uint32_t count = WordArrayCount(array);
  for (uint32_t i = 0; i < count; ++i) MemFree(reinterpret_cast<void*>(WordArrayMembers(array)[i]));
  MemFree(array);
}
