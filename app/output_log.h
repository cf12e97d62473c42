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
