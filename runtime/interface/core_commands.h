// The core library's commands as typed functions for program code. Each function builds the
// argument records, calls the command through the runtime interface (CallCoreCommand) and
// hands back what the command returned. Texts, byte sets and arrays come back in small
// owning holders that release them with MemFree; Release() takes the block out of a holder.
//
// Arguments of "any kind" take an ArgRecord (TextArg, IntArg, BytesArg, ... of records.h).
// An optional argument left as std::nullopt (or a null text) is passed as omitted.
#pragma once

#include <windows.h>
#undef MessageBox
#undef SetFileAttributes

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "runtime/interface/core_command_ids.h"
#include "runtime/interface/records.h"

namespace core {

// An owned heap block (null for the empty value), released with MemFree.
class OwnedBlock {
 public:
  OwnedBlock() = default;
  explicit OwnedBlock(void* block) : block_(block) {}
  OwnedBlock(OwnedBlock&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  OwnedBlock& operator=(OwnedBlock&& other) noexcept;
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;
  ~OwnedBlock();

  bool empty() const { return block_ == nullptr; }
  // Gives up ownership: the caller frees the block.
  void* Release() {
    void* b = block_;
    block_ = nullptr;
    return b;
  }

 protected:
  void* block_ = nullptr;
};

// An owned text.
class Text : public OwnedBlock {
 public:
  using OwnedBlock::OwnedBlock;
  // The text, "" when empty; valid while the holder lives.
  const char* c_str() const { return block_ ? static_cast<const char*>(block_) : ""; }
  char* get() const { return static_cast<char*>(block_); }
  char* ReleaseText() { return static_cast<char*>(Release()); }
};

// An owned byte set.
class Bytes : public OwnedBlock {
 public:
  using OwnedBlock::OwnedBlock;
  uint8_t* get() const { return static_cast<uint8_t*>(block_); }
  uint32_t size() const { return ::ByteSetLength(block_); }
  const uint8_t* data() const { return ::ByteSetData(block_); }
};

// An owned one-dimensional text array (members are owned too).
class TextArray {
 public:
  TextArray() = default;
  explicit TextArray(void* block) : block_(block) {}
  TextArray(TextArray&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  TextArray& operator=(TextArray&& other) noexcept;
  TextArray(const TextArray&) = delete;
  TextArray& operator=(const TextArray&) = delete;
  ~TextArray();

  uint32_t size() const { return block_ ? ::ArrayCount(block_) : 0; }
  // Member i (0-based), "" for an empty member.
  const char* operator[](uint32_t i) const;
  // Gives up ownership of the block and its members.
  void* Release() {
    void* b = block_;
    block_ = nullptr;
    return b;
  }

 private:
  void* block_ = nullptr;
};

using OptInt = std::optional<int32_t>;

// Text commands (positions are 1-based; -1 means not found).
int32_t TextLength(const char* text);
Text TextLeft(const char* text, int32_t count);
Text TextRight(const char* text, int32_t count);
Text TextMid(const char* text, int32_t start, int32_t count);
Text CharText(uint8_t code);
Text SpaceText(int32_t count);
int32_t FindText(const char* text, const char* sought, OptInt start = {}, bool ignoreCase = false);
int32_t FindTextReverse(const char* text, const char* sought, OptInt start = {},
                        bool ignoreCase = false);
Text ReplaceText(const char* text, int32_t start, int32_t length,
                 const char* replacement = nullptr);
Text ReplaceSubtext(const char* text, const char* sought, const char* replacement = nullptr,
                    OptInt start = {}, OptInt count = {}, bool caseSensitive = false);
TextArray SplitText(const char* text, const char* delimiter = nullptr, OptInt maxParts = {});
Text TrimSpaces(const char* text);
Text RemoveAllSpaces(const char* text);
Text ToUpper(const char* text);
Text ToLower(const char* text);
int32_t CompareText(const char* text1, const char* text2, bool caseSensitive);
int32_t ByteSetLength(const void* byteSet);
Bytes ByteSetLeft(const void* byteSet, int32_t count);
Bytes ZeroByteSet(int32_t count);

// Conversions.
Text ToText(const ArgRecord& value);
double ToNumber(const ArgRecord& value);
Bytes ToByteSet(const ArgRecord& value);
Text ToHexText(int32_t value);

// Files.
Text GetRunDirectory();
bool FileExists(const char* path);
bool SetFileAttributes(const char* path, int32_t attributes);
bool WriteToFile(const char* path, std::initializer_list<const void*> byteSets);
int32_t OpenMemoryFile();
void CloseFile(int32_t file);
bool SeekToFileStart(int32_t file);
Text ReadLine(int32_t file);
bool WriteText(int32_t file, std::initializer_list<ArgRecord> values);
bool IsEndOfFile(int32_t file, std::optional<bool> textMode = {});

// The system.
int32_t MessageBox(const ArgRecord& message, int32_t buttons, const char* caption = nullptr);
void ProcessEvents();
int32_t SendUnitMessage(const ArgRecord& unit, int32_t message, int32_t wParam, int32_t lParam);

// The argument record of a unit: window id in the low word, unit id in the high word, the
// unit's type number as tag.
inline ArgRecord UnitArg(int32_t windowId, int32_t unitId, uint32_t unitType) {
  return MakeArg(unitType,
                 uint64_t{static_cast<uint32_t>(unitId)} << 32 | static_cast<uint32_t>(windowId));
}

}  // namespace core
