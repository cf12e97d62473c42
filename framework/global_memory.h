// Byte blocks in movable global memory: how a unit hands its saved properties to the runtime.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/scoped_handle.h"

namespace fw {

// A new movable, shareable (GMEM_MOVEABLE | GMEM_DDESHARE) block holding `size` bytes of
// `data`, unlocked, of exactly that size (an empty block takes one byte); empty on failure.
ScopedGlobal CopyToGlobal(const void* data, size_t size);

// The bytes of a global memory block, all GlobalSize of them; empty when it cannot be locked.
// The block stays the caller's.
std::vector<uint8_t> CopyFromGlobal(HGLOBAL memory);

}  // namespace fw
