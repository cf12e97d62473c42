#include "framework/archive.h"

#include <cstring>

namespace fw {

Archive::Archive(MemFile& file, Mode mode) : file_(file), mode_(mode) {}

Archive::~Archive() {
  if (mode_ == kStore) {
    try {
      Flush();
    } catch (...) {
    }
  }
}

void Archive::Fill() {
  begin_ = 0;
  end_ = file_.Read(buffer_, kBufferSize);
}

void Archive::ReadBytes(void* out, uint32_t count) {
  uint8_t* dest = static_cast<uint8_t*>(out);
  while (count) {
    if (begin_ == end_) {
      Fill();
      if (end_ == 0) throw ArchiveError("short read", consumed_);
    }
    uint32_t n = end_ - begin_;
    if (n > count) n = count;
    std::memcpy(dest, buffer_ + begin_, n);
    begin_ += n;
    dest += n;
    count -= n;
    consumed_ += n;
  }
}

uint32_t Archive::ReadWord() {
  uint32_t value;
  ReadBytes(&value, 4);
  return value;
}

uint16_t Archive::ReadHalf() {
  uint16_t value;
  ReadBytes(&value, 2);
  return value;
}

// A counted length is checked against what the file can still hold before anything is
// allocated, so a corrupt length fails as a short read instead of a huge allocation.
static uint32_t CheckedCount(int32_t n, uint32_t remaining, uint32_t offset) {
  if (n <= 0) return 0;
  if (static_cast<uint32_t>(n) > remaining) throw ArchiveError("length beyond the data", offset);
  return static_cast<uint32_t>(n);
}

uint32_t Archive::ReadCount() {
  int32_t n = static_cast<int32_t>(ReadWord());
  return CheckedCount(n, (end_ - begin_) + (file_.Length() - file_.Position()), consumed_);
}

std::string Archive::ReadCountedText() {
  uint32_t n = ReadCount();
  std::string text(n, '\0');
  if (n) ReadBytes(text.data(), n);
  return text;
}

std::vector<uint8_t> Archive::ReadCountedBlock() {
  uint32_t n = ReadCount();
  std::vector<uint8_t> block(n);
  if (n) ReadBytes(block.data(), n);
  return block;
}

std::string Archive::ReadZeroText() {
  std::string text;
  for (;;) {
    char c;
    ReadBytes(&c, 1);
    if (c == 0) return text;
    text.push_back(c);
  }
}

void Archive::Flush() {
  if (mode_ != kStore || end_ == 0) return;
  if (!file_.Write(buffer_, end_)) throw ArchiveError("write failed", consumed_);
  end_ = 0;
}

void Archive::WriteBytes(const void* data, uint32_t count) {
  const uint8_t* src = static_cast<const uint8_t*>(data);
  while (count) {
    if (end_ == kBufferSize) Flush();
    uint32_t n = kBufferSize - end_;
    if (n > count) n = count;
    std::memcpy(buffer_ + end_, src, n);
    end_ += n;
    src += n;
    count -= n;
    consumed_ += n;
  }
}

void Archive::WriteWord(uint32_t value) { WriteBytes(&value, 4); }
void Archive::WriteHalf(uint16_t value) { WriteBytes(&value, 2); }

void Archive::WriteCountedText(const std::string& text) {
  WriteWord(static_cast<uint32_t>(text.size()));
  WriteBytes(text.data(), static_cast<uint32_t>(text.size()));
}

void Archive::WriteCountedBlock(const void* data, uint32_t count) {
  WriteWord(count);
  WriteBytes(data, count);
}

void Archive::WriteZeroText(const std::string& text) {
  WriteBytes(text.c_str(), static_cast<uint32_t>(text.size()) + 1);
}

void Archive::Close() { Flush(); }

}  // namespace fw
