// Conversions between the code pages the program meets: GBK (936) for all its own texts,
// UTF-8 (65001) for addresses and pages, Big5 (950) for traditional Chinese pages. Every
// conversion goes through UTF-16 with the system's code-page functions, called as declared
// DLL commands. No conversion reports an error: what cannot be converted comes back empty.
// Results are new heap blocks in their owning holders.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/interface/core_commands.h"

// UTF-16 units of `text` in code page `codePage` as a byte set, terminating zero unit
// included; null when the text cannot be converted (the empty text included).
core::Bytes MultiByteToUtf16(const char* text, uint32_t codePage = 65001);
// The text in code page `codePage` (0: the system's ANSI code page) of a UTF-16 byte set.
// Characters the code page lacks become its default character.
core::Text Utf16ToMultiByte(const uint8_t* units, uint32_t codePage = 0);
// UTF-16 of a GBK text, for handing a text to the system's wide functions: the same units on
// every system code page. Empty for the empty text.
std::u16string GbkToWide(std::string_view text);
core::Text GbkToUtf8(const char* text);
core::Text Utf8ToGbk(const char* text);
// Big5 to GBK keeping the (traditional) characters. A character GBK cannot hold ends the
// result just before it.
core::Text Big5ToGbk(const char* text);
// GBK with traditional characters mapped to simplified ones, byte length kept.
core::Text ToSimplifiedChinese(const char* text);
core::Text Big5ToGbkSimplified(const char* text);
