// Texts and byte sets on the runtime's heap.
#include "program/program_values.h"

#include <cstring>

namespace prog {

uint32_t TextLength(const char* text) {
  return text ? static_cast<uint32_t>(std::strlen(text)) : 0;
}

core::Text NewText(const char* bytes, uint32_t length) {
  if (length == 0) return core::Text();
  char* text = static_cast<char*>(MemAlloc(length + 1));
  std::memcpy(text, bytes, length);
  text[length] = '\0';
  return core::Text(text);
}

core::Text CopyText(const char* text) { return NewText(text, TextLength(text)); }

core::Text JoinText(const char* a, const char* b, const char* c, const char* d) {
  const char* parts[] = {a, b, c, d};
  uint32_t total = 0;
  for (const char* p : parts) total += TextLength(p);
  if (total == 0) return core::Text();
  char* text = static_cast<char*>(MemAlloc(total + 1));
  char* out = text;
  for (const char* p : parts) {
    uint32_t n = TextLength(p);
    if (n) std::memcpy(out, p, n);
    out += n;
  }
  *out = '\0';
  return core::Text(text);
}

// The old text goes with the holder that takes it over (a constant text is left alone by the
// runtime's release).
void AssignText(char** variable, core::Text value) {
  if (*variable == value.get()) {
    value.Release();
    return;
  }
  core::Text old(*variable);
  *variable = value.ReleaseText();
}

void AppendText(char** variable, const char* tail) {
  if (TextLength(tail) == 0) return;
  AssignText(variable, JoinText(*variable, tail));
}

core::Bytes NewByteSet(const void* bytes, uint32_t length) {
  if (length == 0) return core::Bytes();
  uint8_t* set = static_cast<uint8_t*>(MemAlloc(kByteSetHeader + length));
  reinterpret_cast<int32_t*>(set)[0] = 1;
  reinterpret_cast<uint32_t*>(set)[1] = length;
  if (bytes) std::memcpy(set + kByteSetHeader, bytes, length);
  else std::memset(set + kByteSetHeader, 0, length);
  return core::Bytes(set);
}

ByteSetBuilder::~ByteSetBuilder() { MemFree(block_); }

// Grows the block by doubling (from 1 KiB), so a body read in 1 KiB chunks is copied a
// logarithmic number of times instead of once per chunk.
void ByteSetBuilder::Append(const void* bytes, uint32_t length) {
  if (length == 0) return;
  if (length > capacity_ - length_) {
    uint32_t wanted = length_ + length;
    uint32_t capacity = capacity_ ? capacity_ : 1024;
    while (capacity < wanted) capacity = capacity > 0x40000000u ? wanted : capacity * 2;
    block_ = static_cast<uint8_t*>(MemRealloc(block_, kByteSetHeader + capacity));
    capacity_ = capacity;
  }
  std::memcpy(block_ + kByteSetHeader + length_, bytes, length);
  length_ += length;
}

// Trims the block to exactly header plus length and writes the header.
uint8_t* ByteSetBuilder::Finish() {
  if (length_ == 0) return nullptr;
  uint8_t* set = static_cast<uint8_t*>(MemRealloc(block_, kByteSetHeader + length_));
  reinterpret_cast<int32_t*>(set)[0] = 1;
  reinterpret_cast<uint32_t*>(set)[1] = length_;
  block_ = nullptr;
  length_ = capacity_ = 0;
  return set;
}

}  // namespace prog
