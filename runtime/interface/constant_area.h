// The program's constant area: one contiguous block of constant texts, byte sets and arrays.
// The runtime never frees or resizes a block inside it; a change copies it first. Program
// constants are put there with PROGRAM_CONSTANT; the linker orders the sections by name, so
// everything marked lies between the two markers.
#pragma once

#include <cstdint>

#define PROGRAM_CONSTANT_SECTION ".rdata$program_constants_m"
#define PROGRAM_CONSTANT __attribute__((section(PROGRAM_CONSTANT_SECTION), used))

extern "C" const uint8_t kConstantAreaStart[];
extern "C" const uint8_t kConstantAreaEnd[];

// The constant area's start and size, for the program's information record.
inline const void* ConstantAreaStart() { return kConstantAreaStart; }
inline uint32_t ConstantAreaSize() {
  return static_cast<uint32_t>(kConstantAreaEnd - kConstantAreaStart);
}
