// The numbered memory file: a growable byte buffer with a position, named by program code
// through its file number, which is the object's address entered in the runtime's open-file
// registry with kind 2.
#pragma once

#include <cstdint>

namespace corelib {

inline constexpr int32_t kMemoryFileKind = 2;
// Buffer sizes are whole multiples of this step.
inline constexpr uint32_t kMemoryFileGrowth = 1024;

class MemoryFile {
 public:
  // A new empty file entered in the registry; null when no block can be had.
  static MemoryFile* Open();
  // The memory file registered under `number`, or null for an unknown number or a
  // registered object of another kind.
  static MemoryFile* Find(int32_t number);
  // Removes `number` from the registry and releases the file. False for an unknown number.
  static bool Close(int32_t number);

  int32_t Number() const { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(this)); }
  uint32_t Position() const { return position_; }
  uint32_t Length() const { return size_; }
  void Seek(uint32_t position) { position_ = position < size_ ? position : size_; }
  void SeekToEnd() { position_ = size_; }

  // Copies up to n bytes from the position on and advances past them.
  uint32_t Read(void* out, uint32_t n);
  // Writes n bytes at the position, growing the buffer as needed, and advances. False (and
  // nothing written) when the buffer cannot grow.
  bool Write(const void* bytes, uint32_t n);

 private:
  bool Reserve(uint64_t needed);

  uint8_t* data_;
  uint32_t size_;
  uint32_t capacity_;
  uint32_t position_;
};

}  // namespace corelib
