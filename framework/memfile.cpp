#include "framework/memfile.h"

#include <cstdlib>
#include <cstring>
#include <windows.h>

namespace fw {

MemFile::MemFile(uint32_t growStep) : growStep_(growStep ? growStep : 1024) {}

MemFile::MemFile(const void* data, uint32_t size, uint32_t growStep)
    : data_(static_cast<uint8_t*>(const_cast<void*>(data))),
      length_(size),
      capacity_(size),
      growStep_(growStep ? growStep : 1024),
      readOnly_(true) {}

MemFile::~MemFile() {
  if (!readOnly_) std::free(data_);
}

uint32_t MemFile::Read(void* out, uint32_t count) {
  uint32_t available = length_ - position_;
  if (count > available) count = available;
  if (count) std::memcpy(out, data_ + position_, count);
  position_ += count;
  return count;
}

// Grows the buffer to hold `needed` bytes, rounded up to the growth step.
bool MemFile::Grow(uint32_t needed) {
  if (needed <= capacity_) return true;
  uint64_t rounded = (uint64_t{needed} + growStep_ - 1) / growStep_ * growStep_;
  if (rounded > 0x7FFFFFFF) return false;
  void* grown = std::realloc(data_, static_cast<size_t>(rounded));
  if (!grown) return false;
  data_ = static_cast<uint8_t*>(grown);
  capacity_ = static_cast<uint32_t>(rounded);
  return true;
}

bool MemFile::Write(const void* data, uint32_t count) {
  if (readOnly_) return false;
  uint64_t end = uint64_t{position_} + count;
  if (end > 0x7FFFFFFF || !Grow(static_cast<uint32_t>(end))) return false;
  if (count) std::memcpy(data_ + position_, data, count);
  position_ = static_cast<uint32_t>(end);
  if (position_ > length_) length_ = position_;
  return true;
}

uint32_t MemFile::Seek(int64_t offset, int origin) {
  int64_t base = origin == FILE_CURRENT ? position_ : origin == FILE_END ? length_ : 0;
  int64_t target = base + offset;
  if (target < 0) target = 0;
  if (target > length_) target = length_;
  position_ = static_cast<uint32_t>(target);
  return position_;
}

void MemFile::Clear() {
  if (readOnly_) return;
  length_ = position_ = 0;
}

}  // namespace fw
