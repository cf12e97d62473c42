// Checked reader of skin blocks (layout in skin_format.h).
#include "skin/skin_format.h"

#include <cstring>

namespace skin {
namespace {

// A bounds-checked cursor over the block: every read either succeeds inside the block or
// marks the cursor failed and returns 0, so a truncated or lying block can never be read past.
class Cursor {
 public:
  Cursor(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}

  uint32_t Offset() const { return pos_; }
  bool Failed() const { return failed_; }
  uint32_t Remaining() const { return failed_ ? 0 : size_ - pos_; }

  uint16_t U16() {
    if (!Need(2)) return 0;
    uint16_t v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  uint32_t U32() {
    if (!Need(4)) return 0;
    uint32_t v = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
                 static_cast<uint32_t>(data_[pos_ + 2]) << 16 | static_cast<uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return v;
  }
  // Address of the next n bytes, which the cursor then passes over; null when they do not fit.
  const uint8_t* Bytes(uint32_t n) {
    if (!Need(n)) return nullptr;
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }

 private:
  bool Need(uint32_t n) {
    if (failed_ || n > size_ - pos_) {
      failed_ = true;
      return false;
    }
    return true;
  }

  const uint8_t* data_;
  uint32_t size_;
  uint32_t pos_ = 0;
  bool failed_ = false;
};

// Reads a colour table payload into `colours`; false when it is short or a colour has a
// non-zero high byte.
bool ReadColours(const uint8_t* payload, uint32_t length, uint32_t* colours) {
  Cursor c(payload, length);
  uint32_t count = c.U32();
  if (c.Failed() || count < kColourCount || count > (length - 4) / 4) return false;
  for (uint32_t i = 0; i < kColourCount; ++i) {
    uint32_t v = c.U32();
    if (v > 0x00FFFFFF) return false;
    colours[i] = v;
  }
  return !c.Failed();
}

// Reads a metrics payload; values absent from a short table keep their defaults.
bool ReadMetrics(const uint8_t* payload, uint32_t length, SkinScheme* scheme) {
  Cursor c(payload, length);
  uint32_t count = c.U32();
  if (c.Failed() || count > (length - 4) / 4) return false;
  if (count >= 1) {
    int32_t radius = static_cast<int32_t>(c.U32());
    if (radius < 0 || radius > kMaxCornerRadius) return false;
    scheme->cornerRadius = radius;
  }
  return !c.Failed();
}

}  // namespace

// Table-driven CRC-32; the table is built on first use.
uint32_t Crc32(const uint8_t* data, size_t size, size_t skipOffset) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    uint8_t b = (i >= skipOffset && i - skipOffset < 4) ? 0 : data[i];
    crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFu;
}

// Checks the header in order of cheapness (size, magic, version, declared size, checksum),
// then walks the sections. The result goes to `out` only when everything checked out.
SkinStatus ParseSkin(const uint8_t* data, uint32_t size, SkinScheme* out) {
  if (!data || size < kSkinHeaderSize) return SkinStatus::kNoData;
  if (size > kSkinMaxSize) return SkinStatus::kBadSize;

  Cursor c(data, size);
  if (c.U32() != kSkinMagic) return SkinStatus::kBadMagic;
  uint16_t version = c.U16();
  uint16_t headerSize = c.U16();
  if (version != kSkinVersion || headerSize != kSkinHeaderSize) return SkinStatus::kBadVersion;
  if (c.U32() != size) return SkinStatus::kBadSize;
  uint32_t checksum = c.U32();
  if (Crc32(data, size, 12) != checksum) return SkinStatus::kBadChecksum;

  SkinScheme scheme{};
  scheme.cornerRadius = 3;  // used when the block has no metrics section
  scheme.number = c.U16();
  uint16_t sections = c.U16();
  c.Bytes(12);  // flags and reserved words, not interpreted by this version

  // Each section is read whole (header, payload, padding) before it is interpreted, so a
  // length that runs past the block stops the walk before any payload is touched.
  bool haveColours = false;
  for (uint16_t i = 0; i < sections; ++i) {
    uint16_t tag = c.U16();
    c.U16();
    uint32_t length = c.U32();
    const uint8_t* payload = c.Bytes(length);
    c.Bytes((4 - length % 4) % 4);
    if (c.Failed()) return SkinStatus::kBadContent;
    switch (tag) {
      case kTagName:
        if (length >= sizeof scheme.name) return SkinStatus::kBadContent;
        std::memcpy(scheme.name, payload, length);
        scheme.name[length] = 0;
        break;
      case kTagColours:
        if (!ReadColours(payload, length, scheme.colours)) return SkinStatus::kBadContent;
        haveColours = true;
        break;
      case kTagMetrics:
        if (!ReadMetrics(payload, length, &scheme)) return SkinStatus::kBadContent;
        break;
      default:
        break;  // a section of a later version
    }
  }
  // Bytes after the last section mean the header's section count or sizes are wrong.
  if (!haveColours || c.Remaining() != 0) return SkinStatus::kBadContent;
  *out = scheme;
  return SkinStatus::kOk;
}

}  // namespace skin
