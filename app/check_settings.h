// The check's settings, read from `checker.ini` in the program's folder when a check starts
// (app/settings_file.h):
//
//   [check]
//   parallel=8
//
// `parallel` is how many IDs may have their requests in flight at once. The program only reads
// the file, never writes it.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr int32_t kMinParallel = 1;
inline constexpr int32_t kMaxParallel = 16;

// The `parallel` value of the settings file: 1 when there is no file, no [check] section, no
// key, or a value that is not a whole number; a whole number outside 1..16 is clamped into it.
int32_t ReadParallelSetting();

// The same rule for a value as the file gives it (blanks around it removed): optional sign,
// then decimal digits, nothing else; any number of digits.
int32_t ParallelFromText(std::u16string_view value);
