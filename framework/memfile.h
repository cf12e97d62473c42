// A file in memory: a growable block, or a read-only view of a block it does not own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fw {

class MemFile {
 public:
  // An empty, growable file; the buffer grows in steps of growStep bytes.
  explicit MemFile(uint32_t growStep = 1024);
  // A read-only view of `size` bytes at `data`; no copy is made.
  MemFile(const void* data, uint32_t size, uint32_t growStep = 1024);
  ~MemFile();
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;

  // Reads up to `count` bytes at the position; returns how many were read.
  uint32_t Read(void* out, uint32_t count);
  // Writes at the position, growing the file. False for a read-only view.
  bool Write(const void* data, uint32_t count);
  // Moves the position; clamped to [0, length].
  uint32_t Seek(int64_t offset, int origin);
  uint32_t Position() const { return position_; }
  uint32_t Length() const { return length_; }
  bool ReadOnly() const { return readOnly_; }
  const uint8_t* Data() const { return data_; }
  // Empties a growable file.
  void Clear();

 private:
  bool Grow(uint32_t needed);

  uint8_t* data_ = nullptr;
  uint32_t length_ = 0;
  uint32_t capacity_ = 0;
  uint32_t position_ = 0;
  uint32_t growStep_;
  bool readOnly_ = false;
};

}  // namespace fw
