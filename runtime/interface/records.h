// Binary records shared by the runtime, its libraries and the program.
// Every struct here mirrors bytes that another side reads in place, so each one is standard
// layout and trivially copyable, and its size and field offsets are asserted.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

static_assert(sizeof(void*) == 4, "the runtime and its records are 32-bit only");

// Type tags. A value travels as an 8-byte payload plus a 32-bit tag. The system types live in
// 0x80000000-0xBFFFFFFF; the six numeric tags have low words 0x0101-0x0601 with member widths
// 1, 2, 4, 8, 4, 8. Library types use their type number (library << 16 | type, both from 1).
// TAG_ARRAY set means the payload is the address of an ArrayBlock whose members carry the tag
// with that bit cleared. Tag 0 marks an argument the caller left out.
using TypeTag = uint32_t;

inline constexpr TypeTag TAG_NONE = 0;
inline constexpr TypeTag TAG_BYTE = 0x80000101;
inline constexpr TypeTag TAG_SHORT = 0x80000201;
inline constexpr TypeTag TAG_INT = 0x80000301;
inline constexpr TypeTag TAG_LONG = 0x80000401;
inline constexpr TypeTag TAG_FLOAT = 0x80000501;
inline constexpr TypeTag TAG_DOUBLE = 0x80000601;
inline constexpr TypeTag TAG_BOOL = 0x80000002;
inline constexpr TypeTag TAG_DATETIME = 0x80000003;
inline constexpr TypeTag TAG_TEXT = 0x80000004;
inline constexpr TypeTag TAG_BYTESET = 0x80000005;
inline constexpr TypeTag TAG_SUBPTR = 0x80000006;
inline constexpr TypeTag TAG_VALUE8 = 0x80000008;
inline constexpr TypeTag TAG_ARRAY = 0x20000000;

// The core library's third data type; typed event arguments of this type pass both words.
inline constexpr TypeTag TYPE_CORE_THIRD = 0x00010003;

// True for the six numeric tags (byte, short, int, long, float, double).
constexpr bool IsNumericTag(TypeTag tag) {
  return (tag & 0xFFFF0000u) == 0x80000000u && (tag & 0xFFu) == 0x01 && (tag >> 8 & 0xFFu) >= 1 &&
         (tag >> 8 & 0xFFu) <= 6;
}

// Member width in bytes of a numeric tag; 0 for any other tag.
constexpr uint32_t NumericWidth(TypeTag tag) {
  constexpr uint32_t widths[] = {1, 2, 4, 8, 4, 8};
  return IsNumericTag(tag) ? widths[(tag >> 8 & 0xFF) - 1] : 0;
}

// Classification of a 32-bit data-type number.
enum class TypeClass : uint32_t { kNone = 0, kSystem = 1, kProgram = 2, kLibrary = 3 };

constexpr TypeClass ClassifyType(uint32_t type) {
  if (type == 0) return TypeClass::kNone;
  if (type >= 0x80000000u && type <= 0xBFFFFFFFu) return TypeClass::kSystem;
  if (type >= 0x00000001u && type <= 0x3FFFFFFFu) return TypeClass::kLibrary;
  return TypeClass::kProgram;
}

// Records are packed to 4 bytes: 8-byte fields sit at 4-byte offsets, as the records define.
#pragma pack(push, 4)

// ArgRecord: one argument or result of a library command.
// The value is a scalar in its own width, zero-extended to 8 bytes, or a block address in the
// low half with the high half 0.
struct ArgRecord {
  union {
    uint8_t byteValue;
    int16_t shortValue;
    int32_t intValue;
    int64_t longValue;
    float floatValue;
    double doubleValue;
    uint32_t words[2];
    const char* text;        // TAG_TEXT: zero-terminated GBK, or null for the empty text
    uint8_t* block;          // TAG_BYTESET and arrays: ArrayBlock address, or null
    uint64_t raw;
  };
  TypeTag tag;
};
static_assert(sizeof(ArgRecord) == 12);
static_assert(offsetof(ArgRecord, tag) == 8);
static_assert(std::is_standard_layout_v<ArgRecord> && std::is_trivially_copyable_v<ArgRecord>);
#pragma pack(pop)

// Builders that write payload and tag together.
constexpr ArgRecord MakeArg(TypeTag tag, uint64_t raw) {
  ArgRecord r{};
  r.raw = raw;
  r.tag = tag;
  return r;
}
inline ArgRecord IntArg(int32_t v) { return MakeArg(TAG_INT, static_cast<uint32_t>(v)); }
inline ArgRecord BoolArg(bool v) { return MakeArg(TAG_BOOL, v ? 1 : 0); }
inline ArgRecord TextArg(const char* v) { return MakeArg(TAG_TEXT, reinterpret_cast<uint32_t>(v)); }
inline ArgRecord BytesArg(const void* v) { return MakeArg(TAG_BYTESET, reinterpret_cast<uint32_t>(v)); }
inline ArgRecord DoubleArg(double v) { ArgRecord r{}; r.doubleValue = v; r.tag = TAG_DOUBLE; return r; }
inline constexpr ArgRecord OmittedArg() { return ArgRecord{}; }

// ArrayBlock: int32 dimension count d, d int32 sizes, then the members without gaps.
// A byte set is {1, length, bytes}; an empty array is {1, 0}.
inline constexpr uint32_t kByteSetHeader = 8;

inline int32_t ArrayDims(const void* block) { return static_cast<const int32_t*>(block)[0]; }
inline int32_t* ArraySizes(void* block) { return static_cast<int32_t*>(block) + 1; }
// Members start after the count word and the d size words.
inline uint8_t* ArrayMembers(void* block) {
  return static_cast<uint8_t*>(block) + 4 + 4 * ArrayDims(block);
}
// Product of the dimension sizes.
inline uint32_t ArrayCount(const void* block) {
  const int32_t* w = static_cast<const int32_t*>(block);
  uint32_t n = 1;
  for (int32_t i = 0; i < w[0]; ++i) n *= static_cast<uint32_t>(w[1 + i]);
  return n;
}
inline uint32_t ByteSetLength(const void* set) { return set ? static_cast<const uint32_t*>(set)[1] : 0; }
inline const uint8_t* ByteSetData(const void* set) {
  return set ? static_cast<const uint8_t*>(set) + kByteSetHeader : nullptr;
}

// Library records.

// A library command: result record, argument count, first argument (records lie contiguously).
using CommandEntry = void(__cdecl*)(ArgRecord* result, int32_t count, ArgRecord* args);
// The runtime's one service function for libraries.
using RuntimeNotifyFn = int32_t(__cdecl*)(int32_t code, uint32_t arg1, uint32_t arg2);
// A library's notification entry, called by the runtime.
using LibraryNotifyFn = int32_t(__cdecl*)(int32_t event, uint32_t arg1, uint32_t arg2);

// Events the runtime sends to a library's LibraryNotify.
enum LibraryEvent : int32_t {
  kLibEventStart = 1,      // arg1: RuntimeNotifyFn
  kLibEventEnd = 6,        // arg1: the library's per-library value
  kLibEventTypeIid = 8,   // arg1: 0-based type index, arg2: address of 16 bytes
};

inline constexpr uint32_t kLibraryFormat = 20000101;  // 0x01312D65

struct LibraryInfo {
  uint32_t format;                 // 0x00 kLibraryFormat
  const char* guid;                // 0x04 32 hexadecimal digits
  uint32_t version[3];             // 0x08 major, minor, build
  uint32_t moreVersion[4];         // 0x14
  const char* name;                // 0x24 GBK name
  uint32_t one;                    // 0x28 1
  uint32_t reserved2C;             // 0x2C
  uint32_t flags;                  // 0x30
  uint32_t reserved34[8];          // 0x34-0x50
  uint32_t typeCount;              // 0x54
  const void* typeTable;           // 0x58 56-byte UnitClassInfo entries
  uint32_t reserved5C[2];          // 0x5C, 0x60
  uint32_t commandCount;           // 0x64
  uint32_t reserved68;             // 0x68
  const CommandEntry* commands;    // 0x6C
  uint32_t reserved70[2];          // 0x70, 0x74
  LibraryNotifyFn notify;          // 0x78
  uint32_t reserved7C[5];          // 0x7C-0x8C
};
static_assert(sizeof(LibraryInfo) == 144);
static_assert(offsetof(LibraryInfo, guid) == 0x04);
static_assert(offsetof(LibraryInfo, version) == 0x08);
static_assert(offsetof(LibraryInfo, moreVersion) == 0x14);
static_assert(offsetof(LibraryInfo, name) == 0x24);
static_assert(offsetof(LibraryInfo, one) == 0x28);
static_assert(offsetof(LibraryInfo, flags) == 0x30);
static_assert(offsetof(LibraryInfo, typeCount) == 0x54);
static_assert(offsetof(LibraryInfo, typeTable) == 0x58);
static_assert(offsetof(LibraryInfo, commandCount) == 0x64);
static_assert(offsetof(LibraryInfo, commands) == 0x6C);
static_assert(offsetof(LibraryInfo, notify) == 0x78);
static_assert(std::is_standard_layout_v<LibraryInfo> && std::is_trivially_copyable_v<LibraryInfo>);

// ProgramInfo: 13 words the program carries; the runtime reads it once at initialisation.
struct ProgramInfo {
  uint32_t runMode;                       // 1
  uint32_t reserved;                      // 2
  uint32_t word3;                         // 3 stored plus one
  uintptr_t codeBase;                     // 4 added to every handler offset of the templates
  const void* constantStart;              // 5
  uint32_t constantSize;                  // 6 bytes; 0 registers no range
  const void* templateStart;              // 7
  uint32_t templateSize;                  // 8 bytes; 0 loads no windows
  uint32_t libraryCount;                  // 9
  const LibraryInfo* const* libraries;    // 10 library number = position + 1
  uint32_t dllCommandCount;               // 11
  const char* const* dllFiles;            // 12 library file per DLL command (may be empty)
  const char* const* dllNames;            // 13 exported name; "#n" is ordinal n
};
static_assert(sizeof(ProgramInfo) == 13 * 4);
static_assert(offsetof(ProgramInfo, codeBase) == 12);
static_assert(offsetof(ProgramInfo, templateSize) == 28);
static_assert(offsetof(ProgramInfo, dllNames) == 48);
static_assert(std::is_standard_layout_v<ProgramInfo> && std::is_trivially_copyable_v<ProgramInfo>);

// Event records: how a library asks the runtime to run a handler of the program.
struct EventRecord {
  int32_t windowId;
  int32_t unitId;
  int32_t event;
  int32_t argCount;        // 0-5
  uint32_t args[5];
  int32_t resultPresent;   // set to 1 by the runtime when the handler returned a value
  uint32_t result;
};
static_assert(sizeof(EventRecord) == 44);
static_assert(offsetof(EventRecord, args) == 16);
static_assert(offsetof(EventRecord, resultPresent) == 36);
static_assert(offsetof(EventRecord, result) == 40);

#pragma pack(push, 4)
inline constexpr uint32_t kTypedArgByRef = 1;    // first value word is the variable's address
inline constexpr uint32_t kTypedArgFull8 = 2;    // pass both value words

struct TypedEventArg {
  uint64_t value;
  TypeTag tag;
  uint32_t flags;
};
static_assert(sizeof(TypedEventArg) == 16);

struct TypedEventRecord {
  int32_t windowId;
  int32_t unitId;
  int32_t event;
  int32_t argCount;        // 0-12
  TypedEventArg args[12];
  int32_t resultPresent;
  uint64_t result;
};
static_assert(sizeof(TypedEventRecord) == 220);
static_assert(offsetof(TypedEventRecord, args) == 16);
static_assert(offsetof(TypedEventRecord, resultPresent) == 208);
static_assert(offsetof(TypedEventRecord, result) == 212);
#pragma pack(pop)

// Handler calling convention. A handler is a cdecl routine of the program taking 32-bit words
// (two for an 8-byte argument) and returning a HandlerReturn: the value, up to 8 bytes, and
// whether it produced one. The record is larger than 8 bytes, so it comes back through the
// hidden result address that the caller passes, and no half of an 8-byte value is lost. The
// runtime tells "no handler" apart by FindHandler itself.
#pragma pack(push, 4)
struct HandlerReturn {
  uint64_t value;      // 32-bit results in the low half, high half 0
  uint32_t present;    // 1 when the handler produced a value
};
#pragma pack(pop)
static_assert(sizeof(HandlerReturn) == 12);
static_assert(offsetof(HandlerReturn, present) == 8);
static_assert(std::is_standard_layout_v<HandlerReturn> && std::is_trivially_copyable_v<HandlerReturn>);

// A 32-bit result (integer, logical, text address).
inline constexpr HandlerReturn HandlerValue(uint32_t v) { return HandlerReturn{v, 1}; }
// An 8-byte result (long integer, date-time, 8-byte value), both halves.
inline constexpr HandlerReturn HandlerValue8(uint64_t v) { return HandlerReturn{v, 1}; }
// A double result, its bits unchanged.
inline constexpr HandlerReturn HandlerDouble(double v) {
  return HandlerReturn{std::bit_cast<uint64_t>(v), 1};
}
inline constexpr HandlerReturn kHandlerNoValue{0, 0};
