// Numbered memory files kept in the runtime's heap and open-file registry.
#include "commands/memory_file.h"

#include <cstring>

#include "commands/command_support.h"

namespace corelib {

// The file object itself lives in the runtime's heap, so the file number is a heap address
// that the registry can vouch for.
MemoryFile* MemoryFile::Open() {
  MemoryFile* file = static_cast<MemoryFile*>(Alloc(sizeof(MemoryFile)));
  if (!file) return nullptr;
  file->data_ = nullptr;
  file->size_ = file->capacity_ = file->position_ = 0;
  Notify(kSvcKeyAdd, reinterpret_cast<uint32_t>(file), kMemoryFileKind);
  return file;
}

// A number is trusted only when the registry knows it as a memory file; anything else (an
// unknown number, a stale one, a file of another kind) is not followed.
MemoryFile* MemoryFile::Find(int32_t number) {
  if (number == 0) return nullptr;
  if (Notify(kSvcKeyLookup, static_cast<uint32_t>(number)) != kMemoryFileKind) return nullptr;
  return reinterpret_cast<MemoryFile*>(static_cast<uintptr_t>(static_cast<uint32_t>(number)));
}

bool MemoryFile::Close(int32_t number) {
  MemoryFile* file = Find(number);
  if (!file) return false;
  // Only the caller that takes the entry out of the registry releases the object.
  if (Notify(kSvcKeyRemove, static_cast<uint32_t>(number)) != 1) return false;
  Free(file->data_);
  Free(file);
  return true;
}

// Reads stop at the end of the data; a read at the end gives 0 bytes.
uint32_t MemoryFile::Read(void* out, uint32_t n) {
  uint32_t available = size_ - position_;
  if (n > available) n = available;
  if (n) std::memcpy(out, data_ + position_, n);
  position_ += n;
  return n;
}

// Writing past the end extends the file; writing inside it overwrites in place.
bool MemoryFile::Write(const void* bytes, uint32_t n) {
  if (n == 0) return true;
  uint64_t end = uint64_t{position_} + n;
  if (end > capacity_ && !Reserve(end)) return false;
  std::memcpy(data_ + position_, bytes, n);
  position_ = static_cast<uint32_t>(end);
  if (position_ > size_) size_ = position_;
  return true;
}

// Grows the buffer to whole growth steps, at least doubling it so that a file written in
// many small pieces is copied only a logarithmic number of times. A block that cannot be had
// leaves the file as it was.
bool MemoryFile::Reserve(uint64_t needed) {
  uint64_t next = uint64_t{capacity_} * 2;
  if (next < needed) next = needed;
  next = (next + kMemoryFileGrowth - 1) / kMemoryFileGrowth * kMemoryFileGrowth;
  if (next >= 0x80000000u) {
    if (needed >= 0x80000000u) return false;
    next = needed;
  }
  uint8_t* grown = static_cast<uint8_t*>(TryAlloc(static_cast<uint32_t>(next)));
  if (!grown) return false;
  if (size_) std::memcpy(grown, data_, size_);
  Free(data_);
  data_ = grown;
  capacity_ = static_cast<uint32_t>(next);
  return true;
}

}  // namespace corelib
