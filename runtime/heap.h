// The one heap for all values, and the constant area whose blocks are never freed.
#pragma once

#include <cstdint>

#include "runtime/interface/records.h"

namespace rt {

// Allocates `size` bytes; out of memory is a runtime error, so the result is never null.
void* MemAlloc(uint32_t size);
// Resizes a block; null allocates, a constant block is copied to a new heap block.
void* MemRealloc(void* block, uint32_t size);
// Frees a heap block; null and constant addresses are ignored.
void MemFree(void* block);
// Like MemAlloc but returns null on failure.
void* PlainAlloc(uint32_t size);

// The blocks the heap has handed out and not yet taken back. Tests read it to see that a
// block was freed, or that a request never reached the heap.
int32_t BusyBlockCount();

// The end of the constant range holding `address`, or null when it lies in none.
const uint8_t* ConstantAreaEnd(const void* address);
// Registers [start, start + size) as constant (runtime initialisation).
void AddConstantRange(const void* start, uint32_t size);
void ClearConstantRanges();

// Frees an array value: members first when they are texts or byte sets, then the block.
void FreeArrayValue(TypeTag tag, void* array);
// Redirects *variable to a heap copy when its array block lies in the constant area.
void MakeArrayWritable(uint32_t memberSize, void** variable);

// A new heap text holding `length` bytes of `text` and a terminator; null for length 0.
char* NewText(const char* text, uint32_t length);
// A new heap byte set {1, length, bytes}; null for length 0.
void* NewByteSet(const void* bytes, uint32_t length);

}  // namespace rt
