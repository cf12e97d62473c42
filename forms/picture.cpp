// Minimal picture loader: icon, cursor and bitmap file bytes to system handles.
#include "forms/picture.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace forms {
namespace {

// Little-endian reads; callers have checked the range.
uint16_t Word16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Word32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24;
}

// True when [offset, offset + size) lies inside a buffer of `length` bytes.
bool InRange(uint32_t length, uint32_t offset, uint32_t size) {
  return offset <= length && size <= length - offset;
}

// One image of an icon or cursor file directory.
struct DirEntry {
  int width;       // pixels; a stored 0 means 256
  int height;
  uint16_t hotX;   // cursor files keep the hot spot where icons keep planes and depth
  uint16_t hotY;
  uint16_t bitCount;
  uint32_t size;
  uint32_t offset;
};

// Reads the directory of an icon (type 1) or cursor (type 2) file. Entries whose image lies
// outside the buffer are dropped; an empty result means the bytes are not such a file.
std::vector<DirEntry> ReadIconDirectory(const uint8_t* bytes, uint32_t length, uint16_t* type) {
  std::vector<DirEntry> entries;
  if (bytes == nullptr || length < 6 || Word16(bytes) != 0) return entries;
  *type = Word16(bytes + 2);
  if (*type != 1 && *type != 2) return entries;
  uint32_t count = Word16(bytes + 4);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t at = 6 + 16 * i;
    if (!InRange(length, at, 16)) break;
    const uint8_t* e = bytes + at;
    DirEntry d{};
    d.width = e[0] ? e[0] : 256;
    d.height = e[1] ? e[1] : 256;
    d.hotX = Word16(e + 4);
    d.hotY = Word16(e + 6);
    d.bitCount = *type == 1 ? Word16(e + 6) : 0;
    d.size = Word32(e + 8);
    d.offset = Word32(e + 12);
    // An image needs at least its 40-byte header (or the 8-byte PNG signature).
    if (d.size < 8 || !InRange(length, d.offset, d.size)) continue;
    entries.push_back(d);
  }
  return entries;
}

// Picks the entry closest to cx x cy; among equally close ones the deepest colour wins.
const DirEntry* PickEntry(const std::vector<DirEntry>& entries, int cx, int cy) {
  const DirEntry* best = nullptr;
  int bestDistance = 0;
  for (const DirEntry& e : entries) {
    int distance = (cx > 0 ? std::abs(e.width - cx) : 0) + (cy > 0 ? std::abs(e.height - cy) : 0);
    if (best == nullptr || distance < bestDistance ||
        (distance == bestDistance && e.bitCount > best->bitCount)) {
      best = &e;
      bestDistance = distance;
    }
  }
  return best;
}

// Makes an icon or cursor from one image. The system reader wants a cursor image prefixed by
// its hot spot, so a cursor gets a copy with the two 16-bit words in front.
HICON ImageToHandle(const uint8_t* bytes, const DirEntry& e, bool asIcon, int cx, int cy) {
  const uint8_t* image = bytes + e.offset;
  if (asIcon) {
    return CreateIconFromResourceEx(const_cast<uint8_t*>(image), e.size, TRUE, 0x00030000, cx, cy,
                                    LR_DEFAULTCOLOR);
  }
  std::vector<uint8_t> withHotSpot(4 + e.size);
  withHotSpot[0] = static_cast<uint8_t>(e.hotX);
  withHotSpot[1] = static_cast<uint8_t>(e.hotX >> 8);
  withHotSpot[2] = static_cast<uint8_t>(e.hotY);
  withHotSpot[3] = static_cast<uint8_t>(e.hotY >> 8);
  std::memcpy(withHotSpot.data() + 4, image, e.size);
  return CreateIconFromResourceEx(withHotSpot.data(), static_cast<DWORD>(withHotSpot.size()), FALSE,
                                  0x00030000, cx, cy, LR_DEFAULTCOLOR);
}

// Decodes "BM" file bytes into a DIB section. Every size the header announces is checked
// against the bytes present before any pixel is copied.
HBITMAP BitmapFromFileBytes(const uint8_t* bytes, uint32_t length) {
  if (bytes == nullptr || length < 14 + 40 || bytes[0] != 'B' || bytes[1] != 'M') return nullptr;
  uint32_t bitsOffset = Word32(bytes + 10);
  const uint8_t* info = bytes + 14;
  uint32_t headerSize = Word32(info);
  if (headerSize < 40 || !InRange(length, 14, headerSize)) return nullptr;
  int32_t width = static_cast<int32_t>(Word32(info + 4));
  int32_t height = static_cast<int32_t>(Word32(info + 8));
  uint16_t bitCount = Word16(info + 14);
  uint32_t compression = Word32(info + 16);
  uint32_t usedColours = Word32(info + 32);
  if (width <= 0 || width > 0x4000 || height == 0 || height < -0x4000 || height > 0x4000) return nullptr;
  if (compression != BI_RGB && compression != BI_BITFIELDS) return nullptr;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return nullptr;
  uint32_t colours = bitCount <= 8 ? (usedColours ? usedColours : 1u << bitCount) : 0;
  if (colours > 256) return nullptr;
  uint32_t masks = compression == BI_BITFIELDS && headerSize == 40 ? 12 : 0;
  uint32_t infoSize = headerSize + masks + 4 * colours;
  if (!InRange(length, 14, infoSize)) return nullptr;
  uint32_t stride = ((static_cast<uint32_t>(width) * bitCount + 31) / 32) * 4;
  uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
  uint64_t imageSize = static_cast<uint64_t>(stride) * rows;
  if (imageSize > length || !InRange(length, bitsOffset, static_cast<uint32_t>(imageSize))) return nullptr;

  // The system copies the header, masks and colour table from one contiguous block.
  std::vector<uint8_t> header(info, info + infoSize);
  reinterpret_cast<BITMAPINFOHEADER*>(header.data())->biSizeImage = static_cast<DWORD>(imageSize);
  void* pixels = nullptr;
  fw::ScopedBitmap bitmap(CreateDIBSection(fw::WindowDc(nullptr).Get(), reinterpret_cast<BITMAPINFO*>(header.data()),
                                           DIB_RGB_COLORS, &pixels, nullptr, 0));
  if (!bitmap || pixels == nullptr) return nullptr;
  std::memcpy(pixels, bytes + bitsOffset, static_cast<size_t>(imageSize));
  GdiFlush();
  return bitmap.Release();
}

}  // namespace

// The icon of an icon (or cursor) file nearest the wanted size.
HICON IconFromFileBytes(const uint8_t* bytes, uint32_t length, int cx, int cy) {
  uint16_t type = 0;
  std::vector<DirEntry> entries = ReadIconDirectory(bytes, length, &type);
  const DirEntry* e = PickEntry(entries, cx, cy);
  if (e == nullptr) return nullptr;
  return ImageToHandle(bytes, *e, true, cx, cy);
}

// A cursor of the system cursor size from cursor-file bytes; an icon file gives a cursor
// whose hot spot is the middle of the image.
HCURSOR CursorFromFileBytes(const uint8_t* bytes, uint32_t length) {
  uint16_t type = 0;
  std::vector<DirEntry> entries = ReadIconDirectory(bytes, length, &type);
  const DirEntry* e = PickEntry(entries, GetSystemMetrics(SM_CXCURSOR), GetSystemMetrics(SM_CYCURSOR));
  if (e == nullptr) return nullptr;
  DirEntry image = *e;
  if (type == 1) {  // an icon used as a cursor points at its centre
    image.hotX = static_cast<uint16_t>(image.width / 2);
    image.hotY = static_cast<uint16_t>(image.height / 2);
  }
  return ImageToHandle(bytes, image, false, 0, 0);
}

// Icon and cursor files give an icon of their first image, "BM" files a bitmap; anything
// else, or damaged bytes, gives None.
Picture DecodePicture(const uint8_t* bytes, uint32_t length) {
  Picture picture;
  if (bytes == nullptr || length == 0) return picture;
  uint16_t type = 0;
  std::vector<DirEntry> entries = ReadIconDirectory(bytes, length, &type);
  if (!entries.empty()) {
    const DirEntry& first = entries.front();
    picture.icon.Reset(ImageToHandle(bytes, first, true, first.width, first.height));
    if (picture.icon) picture.kind = PictureKind::kIcon;
    return picture;
  }
  picture.bitmap.Reset(BitmapFromFileBytes(bytes, length));
  if (picture.bitmap) picture.kind = PictureKind::kBitmap;
  return picture;
}

}  // namespace forms
