// The typed command layer: argument records in, CallCoreCommand through the runtime
// interface, owned results out.
#include "runtime/interface/core_commands.h"

#include "runtime/interface/runtime_interface.h"

namespace core {

namespace {

// The command's entry in the core library's table (the first library of the program).
CommandEntry Entry(CoreCommandId id) { return kProgramInfo.libraries[0]->commands[id]; }

// Calls command `id` with the given records and returns the result value. A call without
// arguments still passes a valid (unread) argument address.
uint64_t Call(CoreCommandId id, const ArgRecord* args, int32_t count) {
  ArgRecord none{};
  ArgRecord* first = count ? const_cast<ArgRecord*>(args) : &none;
  return ProgramCallCommand(CallCoreCommand, Entry(id), count, first, nullptr);
}

uint64_t Call(CoreCommandId id, std::initializer_list<ArgRecord> args) {
  return Call(id, args.begin(), static_cast<int32_t>(args.size()));
}

// Result readers.
int32_t AsInt(uint64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }
bool AsBool(uint64_t v) { return static_cast<uint32_t>(v) != 0; }
void* AsBlock(uint64_t v) { return reinterpret_cast<void*>(static_cast<uint32_t>(v)); }
Text AsText(uint64_t v) { return Text(AsBlock(v)); }
Bytes AsBytes(uint64_t v) { return Bytes(AsBlock(v)); }

// Argument builders: a text argument is never null; an optional one left out is omitted.
ArgRecord Txt(const char* text) { return TextArg(text ? text : ""); }
ArgRecord OptTxt(const char* text) { return text ? TextArg(text) : OmittedArg(); }
ArgRecord Opt(OptInt v) { return v ? IntArg(*v) : OmittedArg(); }

// The empty byte set passed where a byte-set argument is null.
const int32_t kEmptyByteSet[2] = {1, 0};
ArgRecord Set(const void* byteSet) { return BytesArg(byteSet ? byteSet : kEmptyByteSet); }

}  // namespace

OwnedBlock& OwnedBlock::operator=(OwnedBlock&& other) noexcept {
  if (this != &other) {
    MemFree(block_);
    block_ = other.block_;
    other.block_ = nullptr;
  }
  return *this;
}

OwnedBlock::~OwnedBlock() { MemFree(block_); }

TextArray& TextArray::operator=(TextArray&& other) noexcept {
  if (this != &other) {
    TextArray dropped(block_);
    block_ = other.block_;
    other.block_ = nullptr;
  }
  return *this;
}

// A text array owns its members: each is freed before the block itself.
TextArray::~TextArray() {
  if (!block_) return;
  char** members = reinterpret_cast<char**>(ArrayMembers(block_));
  for (uint32_t i = 0, n = size(); i < n; ++i) MemFree(members[i]);
  MemFree(block_);
}

const char* TextArray::operator[](uint32_t i) const {
  if (i >= size()) return "";
  const char* member = reinterpret_cast<char* const*>(ArrayMembers(block_))[i];
  return member ? member : "";
}

int32_t TextLength(const char* text) { return AsInt(Call(kCmdTextLength, {Txt(text)})); }

Text TextLeft(const char* text, int32_t count) {
  return AsText(Call(kCmdTextLeft, {Txt(text), IntArg(count)}));
}

Text TextRight(const char* text, int32_t count) {
  return AsText(Call(kCmdTextRight, {Txt(text), IntArg(count)}));
}

Text TextMid(const char* text, int32_t start, int32_t count) {
  return AsText(Call(kCmdTextMid, {Txt(text), IntArg(start), IntArg(count)}));
}

Text CharText(uint8_t code) { return AsText(Call(kCmdCharText, {MakeArg(TAG_BYTE, code)})); }

Text SpaceText(int32_t count) { return AsText(Call(kCmdSpaceText, {IntArg(count)})); }

int32_t FindText(const char* text, const char* sought, OptInt start, bool ignoreCase) {
  return AsInt(Call(kCmdFindText, {Txt(text), Txt(sought), Opt(start), BoolArg(ignoreCase)}));
}

int32_t FindTextReverse(const char* text, const char* sought, OptInt start, bool ignoreCase) {
  return AsInt(
      Call(kCmdFindTextReverse, {Txt(text), Txt(sought), Opt(start), BoolArg(ignoreCase)}));
}

Text ReplaceText(const char* text, int32_t start, int32_t length, const char* replacement) {
  return AsText(
      Call(kCmdReplaceText, {Txt(text), IntArg(start), IntArg(length), OptTxt(replacement)}));
}

Text ReplaceSubtext(const char* text, const char* sought, const char* replacement, OptInt start,
                    OptInt count, bool caseSensitive) {
  return AsText(Call(kCmdReplaceSubtext, {Txt(text), Txt(sought), OptTxt(replacement), Opt(start),
                                           Opt(count), BoolArg(caseSensitive)}));
}

TextArray SplitText(const char* text, const char* delimiter, OptInt maxParts) {
  return TextArray(AsBlock(Call(kCmdSplitText, {Txt(text), OptTxt(delimiter), Opt(maxParts)})));
}

Text TrimSpaces(const char* text) { return AsText(Call(kCmdTrimSpaces, {Txt(text)})); }

Text RemoveAllSpaces(const char* text) { return AsText(Call(kCmdRemoveAllSpaces, {Txt(text)})); }

Text ToUpper(const char* text) { return AsText(Call(kCmdToUpper, {Txt(text)})); }

Text ToLower(const char* text) { return AsText(Call(kCmdToLower, {Txt(text)})); }

int32_t CompareText(const char* text1, const char* text2, bool caseSensitive) {
  return AsInt(Call(kCmdCompareText, {Txt(text1), Txt(text2), BoolArg(caseSensitive)}));
}

int32_t ByteSetLength(const void* byteSet) {
  return AsInt(Call(kCmdByteSetLength, {Set(byteSet)}));
}

Bytes ByteSetLeft(const void* byteSet, int32_t count) {
  return AsBytes(Call(kCmdByteSetLeft, {Set(byteSet), IntArg(count)}));
}

Bytes ZeroByteSet(int32_t count) { return AsBytes(Call(kCmdZeroByteSet, {IntArg(count)})); }

Text ToText(const ArgRecord& value) { return AsText(Call(kCmdToText, &value, 1)); }

// The command leaves a double in the result value; its 8 bytes are taken as they are.
double ToNumber(const ArgRecord& value) {
  const uint64_t v = Call(kCmdToNumber, &value, 1);
  double d;
  static_assert(sizeof(d) == sizeof(v));
  __builtin_memcpy(&d, &v, sizeof(d));
  return d;
}

Bytes ToByteSet(const ArgRecord& value) { return AsBytes(Call(kCmdToByteSet, &value, 1)); }

Text ToHexText(int32_t value) { return AsText(Call(kCmdToHexText, {IntArg(value)})); }

Text GetRunDirectory() { return AsText(Call(kCmdGetRunDirectory, nullptr, 0)); }

bool FileExists(const char* path) { return AsBool(Call(kCmdFileExists, {Txt(path)})); }

bool SetFileAttributes(const char* path, int32_t attributes) {
  return AsBool(Call(kCmdSetFileAttributes, {Txt(path), IntArg(attributes)}));
}

// A command's first argument followed by a list of further ones, laid out contiguously as
// the call convention wants. Short lists stay on the stack; longer ones get a heap block.
class RecordList {
 public:
  RecordList(const ArgRecord& first, uint32_t further)
      : records_(further < kInline
                     ? inline_
                     : static_cast<ArgRecord*>(MemAlloc((further + 1) * sizeof(ArgRecord)))) {
    records_[0] = first;
  }
  ~RecordList() {
    if (records_ != inline_) MemFree(records_);
  }
  void Add(const ArgRecord& r) { records_[count_++] = r; }
  uint64_t Call(CoreCommandId id) { return core::Call(id, records_, count_); }

 private:
  static constexpr uint32_t kInline = 16;
  ArgRecord inline_[kInline];
  ArgRecord* records_;
  int32_t count_ = 1;
};

bool WriteToFile(const char* path, std::initializer_list<const void*> byteSets) {
  RecordList records(Txt(path), static_cast<uint32_t>(byteSets.size()));
  for (const void* set : byteSets) records.Add(Set(set));
  return AsBool(records.Call(kCmdWriteToFile));
}

int32_t OpenMemoryFile() { return AsInt(Call(kCmdOpenMemoryFile, nullptr, 0)); }

void CloseFile(int32_t file) { Call(kCmdCloseFile, {IntArg(file)}); }

bool SeekToFileStart(int32_t file) { return AsBool(Call(kCmdSeekToFileStart, {IntArg(file)})); }

Text ReadLine(int32_t file) { return AsText(Call(kCmdReadLine, {IntArg(file)})); }

bool WriteText(int32_t file, std::initializer_list<ArgRecord> values) {
  RecordList records(IntArg(file), static_cast<uint32_t>(values.size()));
  for (const ArgRecord& v : values) records.Add(v);
  return AsBool(records.Call(kCmdWriteText));
}

bool IsEndOfFile(int32_t file, std::optional<bool> textMode) {
  return AsBool(
      Call(kCmdIsEndOfFile, {IntArg(file), textMode ? BoolArg(*textMode) : OmittedArg()}));
}

int32_t MessageBox(const ArgRecord& message, int32_t buttons, const char* caption) {
  return AsInt(Call(kCmdMessageBox, {message, IntArg(buttons), OptTxt(caption)}));
}

void ProcessEvents() { Call(kCmdProcessEvents, nullptr, 0); }

int32_t SendUnitMessage(const ArgRecord& unit, int32_t message, int32_t wParam, int32_t lParam) {
  return AsInt(
      Call(kCmdSendUnitMessage, {unit, IntArg(message), IntArg(wParam), IntArg(lParam)}));
}

}  // namespace core
