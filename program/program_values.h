// Program-side value helpers: texts and byte sets as the runtime lays them out, allocated on
// the runtime's heap through the runtime interface. A text is a zero-terminated GBK block
// (null for the empty text); a byte set is an ArrayBlock {1, length, bytes} (null when empty).
// Texts and byte sets come back in the owning holders of the program interface, which free
// them; a block leaves its holder only where it is handed on (into a program variable, an
// array of the program, or to the runtime).
#pragma once

#include <cstdint>

#include "runtime/interface/core_commands.h"
#include "runtime/interface/runtime_interface.h"

namespace prog {

// Length in bytes of a text; 0 for the null (empty) text.
uint32_t TextLength(const char* text);

// A new text of `length` bytes copied from `bytes`; empty when length is 0.
core::Text NewText(const char* bytes, uint32_t length);
// A new copy of a text; empty for the empty text.
core::Text CopyText(const char* text);
// A new text: the concatenation of up to four texts (null parts count as empty).
core::Text JoinText(const char* a, const char* b, const char* c = nullptr, const char* d = nullptr);
// Program assignment: the variable takes `value` and the text it held is released.
void AssignText(char** variable, core::Text value);
// Appends `tail` to a text variable.
void AppendText(char** variable, const char* tail);
// The address to pass where a non-null text is needed: the empty text becomes "".
inline const char* TextArgument(const char* text) { return text ? text : ""; }

// A new byte set holding `length` bytes (zeros when `bytes` is null); empty when length is 0.
core::Bytes NewByteSet(const void* bytes, uint32_t length);

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
