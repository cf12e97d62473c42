// The rich edit box's property record: its stored properties, their defaults, and the
// PropertyBlock form in which a window template keeps them.
//
// PropertyBlock (little-endian words): version (1; a higher one is refused, 0 is read as 1),
// ContextType, border, BackColor, AllowMultiLines, AutoNextLine, ReadOnly, HideSel,
// MaxAllowLength, SelStart, SelLength, then the content as a counted text (48 bytes + content).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace extui {

inline constexpr int32_t kRichEditBlockVersion = 1;
inline constexpr uint32_t kRichEditBlockFixedSize = 48;

// Border styles of the box.
enum RichEditBorder : int32_t {
  kBorderNone = 0,
  kBorderSunken = 1,
  kBorderRaised = 2,
  kBorderThinSunken = 3,
  kBorderFramed = 4,
  kBorderSingleLine = 5,
};

struct RichEditProps {
  int32_t contextType = 0;          // 0 plain text, 1 RTF
  std::string content;              // GBK bytes in the contextType format
  int32_t border = kBorderSunken;   // RichEditBorder
  uint32_t backColor = 0xFF000000u; // 0x00BBGGRR; 0xFF000000 = the system default
  int32_t allowMultiLines = 1;
  int32_t autoNextLine = 1;
  int32_t readOnly = 0;
  int32_t hideSel = 1;
  int32_t maxAllowLength = 0;       // characters; 0 = no limit of the box's own
  int32_t selStart = 0;             // 0-based character position
  int32_t selLength = 0;            // characters; -1 = everything

  // Back to the defaults above.
  void Reset() { *this = RichEditProps{}; }

  // Reset, then read a PropertyBlock. A null block or a length < 1 keeps the defaults. False
  // for a block that cannot be read: a version above 1, or data shorter than it announces.
  bool Load(const void* block, int32_t length);

  // The PropertyBlock bytes of the record, always with version 1.
  std::string Serialize() const;

  // Serialize() into a new movable global memory block of exactly the block's length; null
  // (and length 0) when the memory cannot be had.
  HGLOBAL Save(uint32_t* length) const;
};

}  // namespace extui
