// A buffered archive over a MemFile: reads or writes words, counted texts, counted blocks and
// zero-terminated texts through a 4096-byte buffer. Reading past the end of the data throws
// ArchiveError with the offset where the short read happened; nothing is trusted.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/memfile.h"

namespace fw {

class ArchiveError : public std::runtime_error {
 public:
  ArchiveError(const char* what, uint32_t offset) : std::runtime_error(what), offset(offset) {}
  uint32_t offset;  // bytes consumed before the failing read
};

class Archive {
 public:
  enum Mode { kLoad, kStore };
  static constexpr uint32_t kBufferSize = 4096;

  Archive(MemFile& file, Mode mode);
  ~Archive();  // a storing archive flushes; errors at that point are lost, call Close() first
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  bool IsLoading() const { return mode_ == kLoad; }
  // Offset of the next byte to be read or written, from where the archive started.
  uint32_t Offset() const { return consumed_; }

  // Loading. Each throws ArchiveError when the data ends early.
  void ReadBytes(void* out, uint32_t count);
  uint32_t ReadWord();
  uint16_t ReadHalf();
  // A word n, then n bytes; n <= 0 is empty.
  std::string ReadCountedText();
  std::vector<uint8_t> ReadCountedBlock();
  // Bytes up to and without the zero terminator, which is consumed.
  std::string ReadZeroText();

  // Storing.
  void WriteBytes(const void* data, uint32_t count);
  void WriteWord(uint32_t value);
  void WriteHalf(uint16_t value);
  void WriteCountedText(const std::string& text);
  void WriteCountedBlock(const void* data, uint32_t count);
  void WriteZeroText(const std::string& text);

  // Flushes a storing archive.
  void Close();

 private:
  // A counted length, checked against the bytes left before anything is allocated.
  uint32_t ReadCount();
  void Fill();
  void Flush();

  MemFile& file_;
  Mode mode_;
  uint8_t buffer_[kBufferSize];
  uint32_t begin_ = 0;  // next unread byte in buffer_
  uint32_t end_ = 0;    // bytes valid (load) or bytes pending (store)
  uint32_t consumed_ = 0;
};

}  // namespace fw
