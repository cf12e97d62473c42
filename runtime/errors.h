// The runtime error box: the one place every fatal condition ends.
#pragma once

#include <cstdint>

namespace rt {

// The message of numbered error 1-11.
const char* NumberedErrorText(int32_t number);
// Builds the box text: the code line only for a nonzero code, the message line only for a
// non-empty message.
void FormatErrorText(char* out, uint32_t capacity, const char* message, int32_t code);
// Shows the error box ("错误", MB_ICONERROR), skips the globals clean-up and ends the program
// with exit code -1. Blocks events first, so no handler runs while the box is up.
[[noreturn]] void RuntimeError(const char* message, int32_t code);
// Runtime interface slot 1: numbered errors.
[[noreturn]] void __cdecl ReportRuntimeError(int32_t number);

}  // namespace rt
