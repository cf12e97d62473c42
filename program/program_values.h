// Program-side value helpers: texts and byte sets as the runtime lays them out, allocated on
// the runtime's heap through the runtime interface. A text is a zero-terminated GBK block
// (null for the empty text); a byte set is an ArrayBlock {1, length, bytes} (null when empty).
// Every block returned here belongs to the caller, who frees it with MemFree.
#pragma once

#include <cstdint>

#include "runtime_interface.h"

namespace prog {

// Length in bytes of a text; 0 for the null (empty) text.
uint32_t TextLength(const char* text);

// A new text of `length` bytes copied from `bytes`; null when length is 0.
char* NewText(const char* bytes, uint32_t length);
// A new copy of a text; null for the empty text.
char* CopyText(const char* text);
// A new text: the concatenation of up to four texts (null parts count as empty).
char* JoinText(const char* a, const char* b, const char* c = nullptr, const char* d = nullptr);
// Stores `value` in a text variable and frees what it held (program assignment semantics).
void AssignText(char** variable, char* value);
// Appends `tail` to a text variable.
void AppendText(char** variable, const char* tail);
// The address to pass where a non-null text is needed: the empty text becomes "".
inline const char* TextArgument(const char* text) { return text ? text : ""; }

// A new byte set holding `length` bytes; null when length is 0.
uint8_t* NewByteSet(const void* bytes, uint32_t length);

// Builds a byte set by appending. The block grows geometrically, so n appends cost amortised
// linear time, and Finish trims it to exactly 8 + length bytes: the same block a chain of
// step-by-step concatenations would produce.
class ByteSetBuilder {
 public:
  ByteSetBuilder() = default;
  ByteSetBuilder(const ByteSetBuilder&) = delete;
  ByteSetBuilder& operator=(const ByteSetBuilder&) = delete;
  ~ByteSetBuilder();

  void Append(const void* bytes, uint32_t length);
  uint32_t Length() const { return length_; }
  // Hands the finished byte set to the caller (null when nothing was appended).
  uint8_t* Finish();

 private:
  uint8_t* block_ = nullptr;
  uint32_t length_ = 0;
  uint32_t capacity_ = 0;   // bytes available after the 8-byte header
};

}  // namespace prog
