// One-dimensional arrays of 4-byte members (texts or record addresses) as the program keeps
// them: ArrayBlocks {1, count, members} on the runtime heap.
#pragma once

#include <cstdint>

// A new empty array; its member count (0 for a null array); its first member.
uint8_t* NewWordArray();
uint32_t WordArrayCount(const uint8_t* array);
uint32_t* WordArrayMembers(uint8_t* array);
// Appends one member; the block is reallocated to 8 + 4 x (count + 1) bytes.
void AppendWord(uint8_t** array, uint32_t member);
// Frees every member as a text, then the block.
void FreeTextArray(uint8_t* array);
