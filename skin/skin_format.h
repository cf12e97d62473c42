// Skin data blocks: the byte layout the skin library accepts, and its checked reader.
//
// A skin block describes one colour scheme. All numbers are little-endian.
//
//   Header, 32 bytes
//   offset size
//     0     4   magic "SKND"
//     4     2   format version, 1
//     6     2   header size in bytes, 32
//     8     4   total size of the block in bytes, header included; must equal the size the
//               caller passes
//    12     4   CRC-32 (the common polynomial 0xEDB88320, as in zip) of the whole block,
//               computed with these four bytes taken as zero
//    16     2   catalogue number of the scheme (informational)
//    18     2   number of sections that follow
//    20     4   flags, written as 0 (not read by this version)
//    24     8   reserved, written as 0 (not read)
//
//   Sections follow the header back to back, each:
//     u16 tag, u16 reserved (written as 0, not read), u32 payload length n, n payload bytes,
//     then 0-3 padding bytes so that the next section starts on a multiple of 4.
//   The last section must end exactly at the block's total size.
//
//   Tag 1  name: UTF-8 name of the scheme, at most 63 bytes (optional).
//   Tag 2  colours (required): u32 count, then count colours as u32 0x00BBGGRR, indexed by
//          SkinColour below. The count must cover every role this reader knows; further
//          entries (roles of later versions) are ignored. The high byte of a colour is 0.
//   Tag 3  metrics (optional): u32 count, then count int32 values: [0] corner radius of the
//          buttons in pixels, 0 to 12.
//   Other tags are skipped, so later versions can add sections without breaking this reader.
//
// A block that breaks any rule above is rejected as a whole.
#pragma once

#include <cstddef>
#include <cstdint>

namespace skin {

// Colour roles: the index of each colour in the colour table.
enum SkinColour : uint32_t {
  kWindowBack,          // client area of top-level windows and dialogs
  kWindowText,          // labels and other text drawn on the window background
  kButtonFaceTop,       // push button face, gradient from top ...
  kButtonFaceBottom,    // ... to bottom
  kButtonBorder,        // push button outline
  kButtonText,
  kButtonHotTop,        // face while the mouse is over the button
  kButtonHotBottom,
  kButtonPressedTop,    // face while the button is held down
  kButtonPressedBottom,
  kButtonDisabledFace,
  kButtonDisabledText,
  kAccent,              // focus ring, default button outline, focused edit frame
  kEditBack,
  kEditText,
  kEditBorder,
  kEditDisabledBack,    // read-only or disabled edit boxes
  kEditDisabledText,
  kCaptionActiveTop,    // title bar of the active window, gradient from top ...
  kCaptionActiveBottom, // ... to bottom; also the frame around an active window
  kCaptionActiveText,   // title and caption button glyphs
  kCaptionInactiveBack, // title bar and frame of an inactive window
  kCaptionInactiveText,
  kFrameBorder,         // outermost line of the window frame
  kColourCount
};

inline constexpr uint32_t kSkinMagic = 0x444E4B53;  // "SKND" read as a little-endian word
inline constexpr uint16_t kSkinVersion = 1;
inline constexpr uint32_t kSkinHeaderSize = 32;
inline constexpr uint32_t kSkinMaxSize = 1u << 20;   // larger blocks are refused unread
inline constexpr int32_t kMaxCornerRadius = 12;

enum SkinTag : uint16_t { kTagName = 1, kTagColours = 2, kTagMetrics = 3 };

// Why a block was refused; the values are the library's results (0 = accepted).
enum class SkinStatus : int32_t {
  kOk = 0,
  kNoData = 1,          // null address, or fewer bytes than a header
  kBadMagic = 2,
  kBadVersion = 3,
  kBadSize = 4,         // declared size differs from the size given, or is out of range
  kBadChecksum = 5,
  kBadContent = 6,      // sections malformed, colour table missing or short, values out of range
  kUnreadable = 7,      // the given address range is not readable memory
  kHookFailed = 8,      // the block was valid but the library could not attach to the thread
};

// A decoded scheme.
struct SkinScheme {
  uint32_t colours[kColourCount];  // COLORREF values
  int32_t cornerRadius;            // pixels
  uint16_t number;                 // catalogue number from the header
  char name[64];                   // UTF-8, zero-terminated
};

// CRC-32 of `size` bytes; `skipOffset` names 4 bytes that count as zero (or SIZE_MAX for none).
uint32_t Crc32(const uint8_t* data, size_t size, size_t skipOffset);

// Decodes and checks a block of exactly `size` bytes. The caller guarantees that the bytes are
// readable; every read inside is bounds-checked. On failure `out` is left untouched.
SkinStatus ParseSkin(const uint8_t* data, uint32_t size, SkinScheme* out);

}  // namespace skin
