// The output log: coloured lines appended to the rich edit box on the right.
#pragma once

#include <cstdint>

// Colours (0x00BBGGRR).
inline constexpr uint32_t kYellow = 0xFFFF;
inline constexpr uint32_t kRed = 0xFF;
inline constexpr uint32_t kGreen = 0xFF00;
inline constexpr uint32_t kGrey = 0xC0C0C0;

// Appends `line` and CR LF to the output box in 宋体 of `size` points and the given colour,
// then scrolls the box to its last line.
void AppendLogLine(uint32_t colour, const char* line, int32_t size = 9);
// Empties the output box.
void ClearLog();

// Holds the output box's painting while it lives: lines appended meanwhile are painted once,
// together, when it ends, with the box scrolled to its last line as each append leaves it.
class HeldRepaints {
 public:
  HeldRepaints();
  HeldRepaints(const HeldRepaints&) = delete;
  HeldRepaints& operator=(const HeldRepaints&) = delete;
  ~HeldRepaints();
};
