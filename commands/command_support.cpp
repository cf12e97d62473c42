// Runtime access, heap blocks and argument reading for the core commands.
#include "commands/command_support.h"

namespace corelib {

namespace {

RuntimeNotifyFn g_runtimeNotify = nullptr;

// The record read for an argument the caller did not pass.
const ArgRecord kOmitted{};

// Largest block the buffer ever asks for; beyond it the request is clamped so that the
// runtime's allocator reports exhaustion instead of the size wrapping around.
constexpr uint64_t kLargestBlock = 0xFFFFFF00u;

}  // namespace

void SetRuntimeNotify(RuntimeNotifyFn fn) { g_runtimeNotify = fn; }

int32_t Notify(int32_t code, uint32_t arg1, uint32_t arg2) {
  RuntimeNotifyFn fn = g_runtimeNotify;
  return fn ? fn(code, arg1, arg2) : 0;
}

void* Alloc(uint32_t size) { return reinterpret_cast<void*>(Notify(kSvcAlloc, size, 0)); }

void* TryAlloc(uint32_t size) { return reinterpret_cast<void*>(Notify(kSvcAlloc, size, 1)); }

void* Realloc(void* block, uint32_t size) {
  return reinterpret_cast<void*>(Notify(kSvcRealloc, reinterpret_cast<uint32_t>(block), size));
}

void Free(const void* block) {
  if (block) Notify(kSvcFree, reinterpret_cast<uint32_t>(block));
}

// Result blocks are exact: a text is its bytes plus the terminator, a byte set its 8-byte
// header plus the bytes. Length 0 is the null address, the system's empty value.
char* NewText(const void* bytes, uint32_t length) {
  if (length == 0) return nullptr;
  char* text = static_cast<char*>(Alloc(length + 1));
  if (!text) return nullptr;
  CopyBytes(text, bytes, length);
  text[length] = 0;
  return text;
}

uint8_t* NewByteSet(const void* bytes, uint32_t length) {
  if (length == 0) return nullptr;
  uint8_t* set = static_cast<uint8_t*>(Alloc(kByteSetHeader + length));
  if (!set) return nullptr;
  const int32_t header[2] = {1, static_cast<int32_t>(length)};
  std::memcpy(set, header, sizeof(header));
  std::memcpy(set + kByteSetHeader, bytes, length);
  return set;
}

uint8_t* NewZeroByteSet(uint32_t length) {
  if (length == 0) return nullptr;
  uint8_t* set = static_cast<uint8_t*>(Alloc(kByteSetHeader + length));
  if (!set) return nullptr;
  const int32_t header[2] = {1, static_cast<int32_t>(length)};
  std::memcpy(set, header, sizeof(header));
  std::memset(set + kByteSetHeader, 0, length);
  return set;
}

// Arguments past the count read as the omitted record, never as memory past the list.
const ArgRecord& Args::operator[](int32_t i) const {
  return (i >= 0 && i < count_) ? records_[i] : kOmitted;
}

const char* Args::Text(int32_t i) const {
  const ArgRecord& r = (*this)[i];
  if (r.tag != TAG_TEXT || r.text == nullptr) return "";
  return r.text;
}

int32_t Args::Int(int32_t i, int32_t fallback) const {
  const ArgRecord& r = (*this)[i];
  switch (r.tag) {
    case TAG_NONE: return fallback;
    case TAG_INT: return r.intValue;
    case TAG_BYTE: return r.byteValue;
    case TAG_SHORT: return r.shortValue;
    default:
      // Long, float, double and anything else: the runtime's conversion, which reports a
      // value that is not numeric.
      return Notify(kSvcToInt, reinterpret_cast<uint32_t>(&r));
  }
}

const uint8_t* Args::ByteSet(int32_t i, uint32_t* length) const {
  const ArgRecord& r = (*this)[i];
  if (r.tag != TAG_BYTESET || r.block == nullptr) {
    *length = 0;
    return nullptr;
  }
  *length = ::ByteSetLength(r.block);
  return ::ByteSetData(r.block);
}

Buffer::~Buffer() {
  if (data_ != inline_) Free(data_);
}

char* Buffer::TakeText() {
  if (failed_ || size_ == 0) return nullptr;
  if (data_ == inline_) return NewText(data_, size_);
  // The block becomes the text: exactly the length plus the terminator.
  uint8_t* text = data_;
  if (capacity_ != size_ + 1) {
    text = static_cast<uint8_t*>(Realloc(data_, size_ + 1));
    if (!text) return nullptr;  // no runtime; the destructor frees the old block
  }
  text[size_] = 0;
  data_ = inline_;
  size_ = 0;
  capacity_ = sizeof(inline_);
  return reinterpret_cast<char*>(text);
}

// Makes room for `extra` more bytes: at least double the capacity, copying out of the inline
// storage on the first growth and resizing the heap block after that.
bool Buffer::Grow(uint32_t extra) {
  if (failed_) return false;
  uint64_t need = uint64_t{size_} + extra;
  uint64_t next = uint64_t{capacity_} * 2;
  if (next < need) next = need;
  if (next > kLargestBlock) next = need > kLargestBlock ? kLargestBlock + 1 : kLargestBlock;
  uint8_t* grown;
  if (data_ == inline_) {
    grown = static_cast<uint8_t*>(Alloc(static_cast<uint32_t>(next)));
    if (grown) std::memcpy(grown, inline_, size_);
  } else {
    grown = static_cast<uint8_t*>(Realloc(data_, static_cast<uint32_t>(next)));
  }
  if (!grown || need > next) {
    failed_ = true;
    return false;
  }
  data_ = grown;
  capacity_ = static_cast<uint32_t>(next);
  return true;
}

}  // namespace corelib
