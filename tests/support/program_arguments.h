// The command line of a small test program (a mode word, then the path of its log file) and
// the log itself.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace test_support {

// Splits the program's command line into the mode word and the rest (the log path).
inline void ReadModeAndPath(char* mode, size_t modeSize, char* path, size_t pathSize) {
  const char* line = GetCommandLineA();
  if (*line == '"') {
    const char* close = std::strchr(line + 1, '"');
    line = close ? close + 1 : line + std::strlen(line);
  } else {
    while (*line && *line != ' ') ++line;
  }
  while (*line == ' ') ++line;
  size_t n = 0;
  while (*line && *line != ' ' && n + 1 < modeSize) mode[n++] = *line++;
  mode[n] = 0;
  while (*line == ' ') ++line;
  std::snprintf(path, pathSize, "%s", line);
}

// Appends `line` and a line break to the log file at `path`; opened and closed each time, so
// the log is complete even when the program ends abruptly.
inline void AppendToLog(const char* path, const char* line) {
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\n", line);
    std::fclose(f);
  }
}

}  // namespace test_support
