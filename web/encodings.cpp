// Code-page conversions through UTF-16, by the declared DLL commands.
#include "web/encodings.h"

#include <cstring>

#include "program/dll_commands.h"
#include "program/program_values.h"

using prog::NewByteSet;
using prog::NewText;
using prog::TextLength;

namespace {

constexpr uint32_t kGbk = 936;
constexpr uint32_t kBig5 = 950;
constexpr uint32_t kUtf8 = 65001;
constexpr uint32_t kLocaleChinesePrc = 0x0804;
constexpr uint32_t kMapSimplifiedChinese = 0x02000000;

// The text of a zero-padded buffer up to its first zero byte, as a new text.
core::Text TextOfBuffer(const char* buffer, uint32_t size) {
  const void* zero = std::memchr(buffer, 0, size);
  uint32_t n = zero ? static_cast<uint32_t>(static_cast<const char*>(zero) - buffer) : size;
  return NewText(buffer, n);
}

// A scratch block on the program heap, filled with `fill` and freed with its holder.
struct Scratch {
  explicit Scratch(uint32_t size, int fill)
      : block(MemAlloc(size ? size : 1)), data(block.get()) {
    std::memset(data, fill, size ? size : 1);
  }
  core::Text block;
  char* data;
};

}  // namespace

// Asks for the number of units first (terminator included), then converts into a zeroed
// buffer of exactly that many units.
core::Bytes MultiByteToUtf16(const char* text, uint32_t codePage) {
  int32_t n = dll::MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (n <= 0) return core::Bytes();
  core::Bytes units = NewByteSet(nullptr, static_cast<uint32_t>(n) * 2);
  dll::MultiByteToWideChar(codePage, 0, text, -1, units.get() + kByteSetHeader, n);
  return units;
}

std::u16string Widen(std::string_view text, uint32_t codePage) {
  if (text.empty()) return {};
  const auto length = static_cast<int32_t>(text.size());
  int32_t n = dll::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::u16string units(static_cast<size_t>(n), u'\0');
  dll::MultiByteToWideChar(codePage, 0, text.data(), length, units.data(), n);
  return units;
}

namespace {

// Whether `units` turn back into exactly `text` in code page `codePage`, no substitute used.
bool NarrowsTo(const std::u16string& units, std::string_view text, uint32_t codePage) {
  const auto count = static_cast<int32_t>(units.size());
  int32_t m = dll::WideCharToMultiByte(codePage, 0, units.data(), count, nullptr, 0, nullptr, nullptr);
  if (m != static_cast<int32_t>(text.size())) return false;
  std::string back(static_cast<size_t>(m), '\0');
  int32_t usedDefault = 0;
  dll::WideCharToMultiByteDefault(codePage, 0, units.data(), count, back.data(), m, "?", &usedDefault);
  return !usedDefault && back == text;
}

}  // namespace

std::u16string TextForWinINet(std::string_view text) {
  constexpr uint32_t kSystemCodePage = 0;   // CP_ACP
  std::u16string units = Widen(text, kSystemCodePage);
  if (text.empty() || NarrowsTo(units, text, kSystemCodePage)) return units;
  static const char kHex[] = "0123456789ABCDEF";
  std::u16string escaped;
  for (char c : text) {
    auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      escaped += static_cast<char16_t>(b);
    } else {
      escaped += u'%';
      escaped += static_cast<char16_t>(kHex[b >> 4]);
      escaped += static_cast<char16_t>(kHex[b & 0x0F]);
    }
  }
  return escaped;
}

// The byte set's own length bounds the conversion: units without a terminating zero unit
// (a byte set made elsewhere) are converted up to their end instead of read past it.
core::Text Utf16ToMultiByte(const uint8_t* units, uint32_t codePage) {
  const uint8_t* wide = ByteSetData(units);
  uint32_t count = ByteSetLength(units) / 2;
  if (count == 0) return core::Text();
  int32_t m = dll::WideCharToMultiByte(codePage, 0, wide, static_cast<int32_t>(count), nullptr, 0,
                                       nullptr, nullptr);
  if (m <= 0) return core::Text();
  Scratch buffer(static_cast<uint32_t>(m) + 1, 0);
  dll::WideCharToMultiByte(codePage, 0, wide, static_cast<int32_t>(count), buffer.data, m, nullptr,
                           nullptr);
  return TextOfBuffer(buffer.data, static_cast<uint32_t>(m));
}

namespace {
core::Text Convert(const char* text, uint32_t from, uint32_t to) {
  return Utf16ToMultiByte(MultiByteToUtf16(text, from).get(), to);
}
}  // namespace

core::Text GbkToUtf8(const char* text) { return Convert(text, kGbk, kUtf8); }
core::Text Utf8ToGbk(const char* text) { return Convert(text, kUtf8, kGbk); }

// The default character is the empty text, so a character GBK cannot represent becomes a
// zero byte and the result ends just before it.
core::Text Big5ToGbk(const char* text) {
  int32_t n = dll::MultiByteToWideChar(kBig5, 0, text, -1, nullptr, 0);
  Scratch units(n > 0 ? static_cast<uint32_t>(n) * 2 : 0, 0);
  if (n > 0) dll::MultiByteToWideChar(kBig5, 0, text, -1, units.data, n);
  int32_t k = dll::WideCharToMultiByteDefault(kGbk, 0, n > 0 ? units.data : nullptr, n, nullptr, 0,
                                              "", nullptr);
  if (k <= 0) return core::Text();
  Scratch out(static_cast<uint32_t>(k) + 1, ' ');
  out.data[k] = '\0';
  dll::WideCharToMultiByteDefault(kGbk, 0, units.data, n, out.data, k, "", nullptr);
  return TextOfBuffer(out.data, static_cast<uint32_t>(k));
}

// The mapping keeps the byte length; when the system refuses it the result is that many
// blanks.
core::Text ToSimplifiedChinese(const char* text) {
  uint32_t len = TextLength(text);
  Scratch out(len + 1, ' ');
  out.data[len] = '\0';
  dll::LCMapStringA(kLocaleChinesePrc, kMapSimplifiedChinese, text, static_cast<int32_t>(len),
                    len ? out.data : nullptr, static_cast<int32_t>(len));
  return TextOfBuffer(out.data, len);
}

core::Text Big5ToGbkSimplified(const char* text) {
  return ToSimplifiedChinese(Big5ToGbk(text).get());
}
