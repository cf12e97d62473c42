// What every core command shares: the runtime's service function, heap blocks obtained
// through it, a checked view of the argument records, and the growable result buffer.
// Commands reach the runtime only through the function stored here.
#pragma once

#include <cstdint>
#include <cstring>

#include "runtime/interface/records.h"
#include "runtime/interface/services.h"

namespace corelib {

// Stores the runtime's service function (library notification event 1).
void SetRuntimeNotify(RuntimeNotifyFn fn);
// Calls the runtime's service function; 0 without calling while none has been stored.
int32_t Notify(int32_t code, uint32_t arg1 = 0, uint32_t arg2 = 0);

// Heap blocks of the runtime's one heap. Alloc ends the program on exhaustion (the runtime
// reports it); TryAlloc returns null instead. Both give null when no runtime is attached.
void* Alloc(uint32_t size);
void* TryAlloc(uint32_t size);
void* Realloc(void* block, uint32_t size);
void Free(const void* block);

// A new text of `length` bytes plus terminator; null (the empty text) for length 0.
char* NewText(const void* bytes, uint32_t length);
// A new byte set {1, length, bytes}; null (the empty byte set) for length 0.
uint8_t* NewByteSet(const void* bytes, uint32_t length);
// A byte set of `length` zero bytes; null for length 0.
uint8_t* NewZeroByteSet(uint32_t length);

// Copies n bytes. The scanning commands copy many short runs (a member, the text between two
// occurrences), for which a call into the C runtime's memcpy costs more than the copy; those
// are copied here four bytes at a time, longer ones by memcpy.
inline void CopyBytes(void* to, const void* from, uint32_t n) {
  uint8_t* d = static_cast<uint8_t*>(to);
  const uint8_t* s = static_cast<const uint8_t*>(from);
  if (n > 32) {
    std::memcpy(d, s, n);
    return;
  }
  for (; n >= 4; n -= 4, d += 4, s += 4) {
    uint32_t word;
    std::memcpy(&word, s, 4);
    std::memcpy(d, &word, 4);
  }
  for (; n != 0; --n) *d++ = *s++;
}

// A byte of 0x80 or more starts a two-byte character.
constexpr bool IsLead(uint8_t b) { return b >= 0x80; }
// ASCII case folding used by the case-insensitive searches: A-Z become a-z, nothing else.
constexpr uint8_t FoldAscii(uint8_t b) { return (b >= 'A' && b <= 'Z') ? b + 32 : b; }

// The argument list of one command call. Indexes past the count read as omitted records, so a
// caller that passes too few arguments gets the omitted-argument behaviour, never a stray read.
class Args {
 public:
  Args(int32_t count, const ArgRecord* records)
      : count_(count > 0 && records ? count : 0), records_(records) {}

  int32_t Count() const { return count_; }
  const ArgRecord& operator[](int32_t i) const;
  // True when argument i exists and its tag is not 0.
  bool Given(int32_t i) const { return i < count_ && records_[i].tag != TAG_NONE; }

  // The text of argument i: "" when omitted, null, or not a text.
  const char* Text(int32_t i) const;
  // Integer argument i: `fallback` when omitted. Byte, short and int are read in place; the
  // other kinds are converted by the runtime's numeric conversion.
  int32_t Int(int32_t i, int32_t fallback = 0) const;
  // Logical argument i: true for any nonzero value.
  bool Flag(int32_t i) const { return Given(i) && (*this)[i].words[0] != 0; }
  // Logical argument i that counts as true only for exactly 1.
  bool FlagExactlyOne(int32_t i) const { return Given(i) && (*this)[i].words[0] == 1; }
  // Byte set argument i: its data and length (length 0 when omitted, null or not a byte set).
  const uint8_t* ByteSet(int32_t i, uint32_t* length) const;

 private:
  int32_t count_;
  const ArgRecord* records_;
};

// A byte buffer that grows while a result is assembled and then becomes an exact result block.
// Small results stay in the inline storage and are copied out; larger ones grow geometrically
// in a heap block of the runtime's, which TakeText hands over trimmed to its exact size. An
// allocation that cannot be made marks the buffer failed and the result empty.
class Buffer {
 public:
  Buffer() = default;
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer();

  void Append(const void* bytes, uint32_t n) {
    if (n == 0) return;
    if (n > capacity_ - size_ && !Grow(n)) return;
    CopyBytes(data_ + size_, bytes, n);
    size_ += n;
  }
  void Push(uint8_t b) {
    if (size_ == capacity_ && !Grow(1)) return;
    data_[size_++] = b;
  }
  // Makes room for `total` bytes in all, so that a caller that knows a bound on the result
  // fills one block without regrowing it.
  void Reserve(uint32_t total) {
    if (total > capacity_) Grow(total - size_);
  }
  uint32_t Size() const { return size_; }
  const uint8_t* Data() const { return data_; }

  // The contents as a new exact text (null when empty or failed). A heap block is handed over
  // itself, resized to the length plus the terminator, and the buffer starts again empty.
  char* TakeText();
  // The contents as a new exact byte set (null when empty or failed).
  uint8_t* TakeByteSet() const { return failed_ ? nullptr : NewByteSet(data_, size_); }

 private:
  bool Grow(uint32_t extra);

  uint8_t inline_[256];
  uint8_t* data_ = inline_;
  uint32_t size_ = 0;
  uint32_t capacity_ = sizeof(inline_);
  bool failed_ = false;
};

// Result setters: a command writes only the value part; the caller knows the type.
inline void SetInt(ArgRecord* result, int32_t v) { result->intValue = v; }
inline void SetBool(ArgRecord* result, bool v) { result->intValue = v ? 1 : 0; }
inline void SetDouble(ArgRecord* result, double v) { result->doubleValue = v; }
inline void SetPointer(ArgRecord* result, const void* p) {
  result->words[0] = reinterpret_cast<uint32_t>(p);
}

}  // namespace corelib
