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
// UTF-16 of `text`'s bytes in code page `codePage`, every byte counted (a zero byte too);
// empty for the empty text or one the code page cannot convert.
std::u16string Widen(std::string_view text, uint32_t codePage);
// What to hand WinINet's wide functions for a GBK address or header block. WinINet turns the
// units back into bytes with the system's code page before they go on the wire, so the text is
// converted with that code page: wherever it carries the text's bytes unchanged (936 itself,
// and the bytes of most GBK texts on 950 and 1252) the wire holds exactly the bytes a Chinese
// system sends. Where it cannot (UTF-8 as the system code page, for one), the bytes above 0x7F
// are escaped as %XX first, so the wire holds the same address in escaped form instead of
// substitute characters. Empty for the empty text.
std::u16string TextForWinINet(std::string_view text);
core::Text GbkToUtf8(const char* text);
core::Text Utf8ToGbk(const char* text);
// Big5 to GBK keeping the (traditional) characters. A character GBK cannot hold ends the
// result just before it.
core::Text Big5ToGbk(const char* text);
// GBK with traditional characters mapped to simplified ones, byte length kept.
core::Text ToSimplifiedChinese(const char* text);
core::Text Big5ToGbkSimplified(const char* text);
