// The skin library and the skin blocks as the program carries them: constant byte sets laid
// out like every byte set of the program ({int32 1, int32 length, bytes}, see ArrayBlock in
// runtime/interface/records.h), generated at build time by tools/skin_pack/skin_pack.py from the
// built library and the scheme table. A target gets them with add_skin_blobs(target) in CMake
// (tools/skin_pack/SkinBlobs.cmake); with SECTION ".rdata$program_constants_m" the arrays lie
// inside the program's constant area (runtime/interface/constant_area.h).
//
// The ...Size words give the whole byte set in bytes (8 header bytes plus the length).
#pragma once

#include <cstdint>

// The skin library DLL, written out by the program as its skin library file.
extern "C" const uint8_t kSkinLibraryByteSet[];
extern "C" const uint32_t kSkinLibraryByteSetSize;

// The skin blocks, numbered 1 to kSkinDataCount; number 33 is the one the program applies.
inline constexpr uint32_t kSkinDataCount = 33;
extern "C" const uint8_t kSkinData33ByteSet[];
extern "C" const uint32_t kSkinData33ByteSetSize;
// Every block by number - 1, and the total size of each byte set.
extern "C" const uint8_t* const kSkinDataByteSets[kSkinDataCount];
extern "C" const uint32_t kSkinDataByteSetSizes[kSkinDataCount];
