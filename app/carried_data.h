// The constant data the build generates and carries inside the program, beside the texts each
// routine declares for itself: the start window's template, and the skin library with its 33
// skin blocks. Byte sets are laid out like every byte set of the program ({int32 1, int32
// length, bytes}); the skin data lies in the constant area.
#pragma once

#include <cstdint>

// The serialised window template and its size in bytes.
extern "C" const unsigned char kStartWindowTemplate[];
extern "C" const unsigned kStartWindowTemplateSize;

// The skin library DLL, written out as the program's skin library file.
extern "C" const uint8_t kSkinLibraryByteSet[];
// The skin blocks, numbered 1 to kSkinDataCount, by number - 1.
inline constexpr uint32_t kSkinDataCount = 33;
extern "C" const uint8_t* const kSkinDataByteSets[kSkinDataCount];
