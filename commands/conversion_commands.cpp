// Conversion commands: any value to text, to a number, to its raw bytes, and integers to
// hexadecimal text.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "commands/command_support.h"
#include "commands/commands.h"
#include "commands/value_format.h"

namespace corelib {

namespace {

// The members of an array of a numeric kind as raw bytes; false for any other array.
bool NumericArrayBytes(const ArgRecord& v, const uint8_t** data, uint32_t* length) {
  *data = nullptr;
  *length = 0;
  const TypeTag member = v.tag & ~TAG_ARRAY;
  if (!IsNumericTag(member)) return false;
  if (v.block) {
    *data = ArrayMembers(v.block);
    *length = ArrayCount(v.block) * NumericWidth(member);
  }
  return true;
}

// The stored width of a single value of the kinds that have raw bytes; 0 for the others.
uint32_t StoredWidth(TypeTag tag) {
  switch (tag) {
    case TAG_BYTE: return 1;
    case TAG_SHORT: return 2;
    case TAG_INT:
    case TAG_FLOAT:
    case TAG_BOOL:
    case TAG_SUBPTR: return 4;
    case TAG_LONG:
    case TAG_DOUBLE:
    case TAG_DATETIME:
    case TAG_VALUE8: return 8;
    default: return 0;
  }
}

}  // namespace

// Byte sets and numeric arrays give their bytes up to the first zero byte; every other value
// gives its text form. Other arrays and kinds without a text form give the empty text.
CORE_COMMAND(ToText) {
  const ArgRecord& v = Args(count, args)[0];
  const uint8_t* data = nullptr;
  uint32_t n = 0;
  if (v.tag == TAG_BYTESET) {
    data = ::ByteSetData(v.block);
    n = ::ByteSetLength(v.block);
  } else if (v.tag & TAG_ARRAY) {
    if (!NumericArrayBytes(v, &data, &n)) return;
  } else {
    char buffer[kFormBufferSize];
    const char* text;
    n = TextForm(v, buffer, &text);
    SetPointer(result, NewText(text, n));
    return;
  }
  if (n == 0) return;
  if (const void* zero = std::memchr(data, 0, n)) {
    n = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - data);
  }
  SetPointer(result, NewText(data, n));
}

// Numbers keep their value (a byte unsigned, short and int signed), a logical its stored
// integer, a subroutine address its unsigned word; texts are read as decimal numbers after
// full-width forms are narrowed. Everything else, date-times included, is 0.
CORE_COMMAND(ToNumber) {
  const ArgRecord& v = Args(count, args)[0];
  double d = 0.0;
  switch (v.tag) {
    case TAG_BYTE: d = v.byteValue; break;
    case TAG_SHORT: d = v.shortValue; break;
    case TAG_INT:
    case TAG_BOOL: d = v.intValue; break;
    case TAG_LONG: d = static_cast<double>(v.longValue); break;
    case TAG_FLOAT: d = v.floatValue; break;
    case TAG_DOUBLE: d = v.doubleValue; break;
    case TAG_SUBPTR: d = v.words[0]; break;
    case TAG_TEXT: {
      // Full-width digits, signs and points read like their one-byte forms.
      if (!v.text) break;
      const uint32_t n = static_cast<uint32_t>(std::strlen(v.text));
      char local[256];
      char* copy = n < sizeof(local) ? local : static_cast<char*>(Alloc(n + 1));
      if (!copy) break;
      NormaliseNarrow(v.text, copy);
      d = ReadLeadingNumber(copy);
      if (copy != local) Free(copy);
      break;
    }
    default: break;
  }
  SetDouble(result, d);
}

// The raw bytes of a value: a text without its terminator, a copy of a byte set, the members
// of a numeric array, or a scalar's stored bytes in its own width. Other arrays and kinds
// give the empty byte set.
CORE_COMMAND(ToByteSet) {
  const ArgRecord& v = Args(count, args)[0];
  const uint8_t* data = nullptr;
  uint32_t n = 0;
  if (v.tag & TAG_ARRAY) {
    NumericArrayBytes(v, &data, &n);
  } else if (v.tag == TAG_TEXT) {
    if (v.text) {
      data = reinterpret_cast<const uint8_t*>(v.text);
      n = static_cast<uint32_t>(std::strlen(v.text));
    }
  } else if (v.tag == TAG_BYTESET) {
    data = ::ByteSetData(v.block);
    n = ::ByteSetLength(v.block);
  } else {
    data = reinterpret_cast<const uint8_t*>(&v.raw);
    n = StoredWidth(v.tag);
  }
  SetPointer(result, NewByteSet(data, n));
}

// "%X" of the 32-bit value: upper case, no prefix, two's complement for negative values.
CORE_COMMAND(ToHexText) {
  char buffer[16];
  int n =
      std::snprintf(buffer, sizeof(buffer), "%X", static_cast<uint32_t>(Args(count, args).Int(0)));
  SetPointer(result, NewText(buffer, n > 0 ? n : 0));
}

}  // namespace corelib
