// Where the runtime's heap blocks come from. Normally the process heap; in a build with
// RUNTIME_GUARDED_HEAP, the guarded block store below, which places every block so that it
// ends exactly at a page boundary followed by an inaccessible page, and keeps freed blocks
// inaccessible for a while. A read or write past a block's end, or of a block after it was
// freed, then faults at once in the code that does it, instead of corrupting a neighbour.
//
// The functions here report failure by returning null; the heap unit (heap.h) turns that into
// the runtime's out-of-memory error where the rules require it.
#pragma once

#include <cstdint>

namespace rt::blocks {

// True in a build with the guarded block store.
bool Guarded();

// A new block of `size` bytes (contents undefined), or null.
void* Allocate(uint32_t size);
// The block resized to `size` bytes, its first min(old, new) bytes kept; null on failure, the
// old block then untouched. The guarded store always moves the block, so a stale address of
// the old block faults like any freed block.
void* Reallocate(void* block, uint32_t size);
// Returns a block. In the guarded store an address that is not the start of a live block
// faults at once.
void Release(void* block);
// The size the block was allocated with.
uint32_t Size(const void* block);

// The guarded store's fixed parameters, for its tests: the page size and how many freed
// blocks stay inaccessible before their pages can be used again.
inline constexpr uint32_t kPageSize = 4096;
inline constexpr uint32_t kQuarantineBlocks = 2048;

}  // namespace rt::blocks
