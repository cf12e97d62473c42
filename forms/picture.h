// Minimal picture loader: icon, cursor and bitmap file bytes to system handles.
// Used for the window icon, button pictures and custom mouse pointers. Every reader checks
// each offset and length against the buffer; bytes it cannot decode give a null result.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/scoped_handle.h"

namespace forms {

// What a picture decoded to.
enum class PictureKind { kNone, kIcon, kBitmap };

// A decoded picture: exactly one of the handles is set unless kind is None. It owns them.
struct Picture {
  PictureKind kind = PictureKind::kNone;
  fw::ScopedIcon icon;
  fw::ScopedBitmap bitmap;
};

// Decodes icon-file, cursor-file or bitmap-file bytes. Icons and cursors become an icon of
// their first image's natural size; bitmaps a device-independent section. Never throws.
Picture DecodePicture(const uint8_t* bytes, uint32_t length);

// Makes an icon of about cx x cy pixels from icon-file bytes (the image closest in size, the
// deepest colour among equals); null when the bytes are not an icon file.
HICON IconFromFileBytes(const uint8_t* bytes, uint32_t length, int cx, int cy);

// Makes a cursor from cursor-file bytes (or icon-file bytes, hot spot at the centre).
HCURSOR CursorFromFileBytes(const uint8_t* bytes, uint32_t length);

}  // namespace forms
