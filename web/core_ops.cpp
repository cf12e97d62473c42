// Core text and file operations for the web routines.
#include "core_ops.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "program_values.h"

namespace prog {
namespace {

inline bool IsLead(uint8_t b) { return b >= 0x80; }
inline uint8_t Fold(uint8_t b) { return (b >= 'A' && b <= 'Z') ? b + 32 : b; }

char* FromString(const std::string& s) { return NewText(s.data(), static_cast<uint32_t>(s.size())); }

// Length of the character at p: 2 for a lead byte followed by a byte, 1 otherwise; 0 for a
// lone lead byte in front of the terminator, which ends every scan.
uint32_t CharLength(const char* p) {
  if (!IsLead(static_cast<uint8_t>(*p))) return 1;
  return p[1] ? 2 : 0;
}

bool IsBlankAt(const char* p, uint32_t& width) {
  if (*p == ' ') return width = 1, true;
  if (static_cast<uint8_t>(p[0]) == 0xA1 && static_cast<uint8_t>(p[1]) == 0xA1) return width = 2, true;
  return false;
}

}  // namespace

int32_t FindText(const char* text, const char* sought, int32_t start, bool ignoreCase) {
  text = TextArgument(text);
  sought = TextArgument(sought);
  const uint32_t L = TextLength(text), M = TextLength(sought);
  const uint32_t b = start > 1 ? static_cast<uint32_t>(start - 1) : 0;
  if (b >= L) return -1;
  if (M == 0) return 1;
  const char* p = text + b;
  uint32_t remaining = L - b;
  while (remaining >= M) {
    bool match = true;
    for (uint32_t i = 0; i < M && match; ++i) {
      uint8_t x = p[i], y = sought[i];
      match = ignoreCase ? Fold(x) == Fold(y) : x == y;
    }
    if (match) return static_cast<int32_t>(p - text) + 1;
    uint32_t step = CharLength(p);
    if (step == 0) break;
    p += step;
    remaining = remaining > step ? remaining - step : 0;
  }
  return -1;
}

char* ReplaceAll(const char* text, const char* sought, const char* replacement) {
  text = TextArgument(text);
  const uint32_t L = TextLength(text), M = TextLength(sought);
  if (L == 0 || M == 0) return CopyText(text);
  std::string out;
  const char* p = text;
  uint32_t remaining = L;
  while (remaining >= M) {
    if (std::memcmp(p, sought, M) == 0) {
      out += TextArgument(replacement);
      p += M;
      remaining -= M;
      continue;
    }
    uint32_t step = CharLength(p);
    if (step == 0) { remaining = 0; ++p; break; }   // a lone lead byte is dropped
    out.append(p, step);
    p += step;
    remaining -= step;
  }
  if (remaining) out.append(p, remaining);
  return FromString(out);
}

char* TextLeft(const char* text, int32_t count) {
  uint32_t L = TextLength(text);
  if (count <= 0) return nullptr;
  return NewText(text, static_cast<uint32_t>(count) < L ? count : L);
}

char* TextRight(const char* text, int32_t count) {
  uint32_t L = TextLength(text);
  if (count <= 0) return nullptr;
  uint32_t n = static_cast<uint32_t>(count) < L ? count : L;
  return NewText(text + L - n, n);
}

char* TextMid(const char* text, int32_t start, int32_t count) {
  int64_t L = TextLength(text), p = int64_t{start} - 1;
  if (p < 0 || p >= L || count <= 0) return nullptr;
  int64_t n = count < L - p ? count : L - p;
  return NewText(text + p, static_cast<uint32_t>(n));
}

char* ReplaceText(const char* text, int32_t start, int32_t length, const char* replacement) {
  text = TextArgument(text);
  int64_t L = TextLength(text);
  int64_t pos = start - 1 > 0 ? start - 1 : 0;
  if (pos > L) pos = L;
  int64_t n = length > 0 ? length : 0;
  if (n > L - pos) n = L - pos;
  std::string out(text, pos);
  out += TextArgument(replacement);
  out.append(text + pos + n);
  return FromString(out);
}

char* TrimSpaces(const char* text) {
  text = TextArgument(text);
  uint32_t w = 0;
  while (*text && IsBlankAt(text, w)) text += w;
  const char* p = text;
  const char* runStart = nullptr;   // where the current run of trailing blanks began
  while (*p) {
    if (IsBlankAt(p, w)) {
      if (!runStart) runStart = p;
      p += w;
      continue;
    }
    uint32_t step = CharLength(p);
    if (step == 0) { runStart = p; break; }   // a lone lead byte at the end is dropped
    runStart = nullptr;
    p += step;
  }
  const char* end = runStart ? runStart : p;
  return NewText(text, static_cast<uint32_t>(end - text));
}

char* RemoveAllSpaces(const char* text) {
  text = TextArgument(text);
  std::string out;
  uint32_t w = 0;
  for (const char* p = text; *p;) {
    if (IsBlankAt(p, w)) { p += w; continue; }
    uint32_t step = CharLength(p);
    if (step == 0) break;
    out.append(p, step);
    p += step;
  }
  return FromString(out);
}

namespace {
char* MapCase(const char* text, char from, char to, int delta) {
  char* out = CopyText(text);
  if (!out) return out;
  for (char* p = out; *p;) {
    if (IsLead(static_cast<uint8_t>(*p))) {
      p += p[1] ? 2 : 1;
      continue;
    }
    if (*p >= from && *p <= to) *p = static_cast<char>(*p + delta);
    ++p;
  }
  return out;
}
}  // namespace

char* ToUpper(const char* text) { return MapCase(text, 'a', 'z', -32); }
char* ToLower(const char* text) { return MapCase(text, 'A', 'Z', 32); }

bool EqualIgnoringCase(const char* a, const char* b) {
  a = TextArgument(a);
  b = TextArgument(b);
  while (*a && *b) {
    uint8_t x = *a, y = *b;
    if (IsLead(x) || IsLead(y)) {
      if (x != y || a[1] != b[1]) return false;
      if (!a[1]) return true;
      a += 2, b += 2;
      continue;
    }
    if (Fold(x) != Fold(y)) return false;
    ++a, ++b;
  }
  return *a == *b;
}

double ToNumber(const char* text) {
  // Full-width forms of ASCII (A3 A1..A3 FE) become the ASCII byte, the full-width space a
  // blank, before the text is parsed.
  std::string narrow;
  for (const char* p = TextArgument(text); *p;) {
    uint8_t a = p[0], b = p[1];
    if (IsLead(a)) {
      if (!b) break;
      if (a == 0xA3 && b >= 0xA1 && b <= 0xFE) narrow += static_cast<char>(b & 0x7F);
      else if (a == 0xA1 && b == 0xA1) narrow += ' ';
      else if (a == 0xA1 && b == 0xAB) narrow += '~';
      else if (a == 0xA1 && (b == 0xEE || b == 0xEF)) narrow += '*';
      else narrow.append(p, 2);
      p += 2;
    } else {
      narrow += static_cast<char>(a);
      ++p;
    }
  }
  return std::atof(narrow.c_str());
}

void ProcessEvents() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Memory file: bytes and a position.
class MemoryFile {
 public:
  std::string bytes;
  size_t position = 0;
};

MemoryFile* OpenMemoryFile() { return new MemoryFile; }

void WriteText(MemoryFile* file, const char* text) {
  uint32_t n = TextLength(text);
  if (file->position > file->bytes.size()) file->bytes.resize(file->position);
  file->bytes.replace(file->position, n, text ? text : "", n);
  file->position += n;
}

void SeekToFileStart(MemoryFile* file) { file->position = 0; }

bool IsEndOfFile(MemoryFile* file, bool textMode) {
  if (file->position >= file->bytes.size()) return true;
  if (!textMode) return false;
  char next = file->bytes[file->position];
  return next == 0x00 || next == 0x1A;
}

char* ReadLine(MemoryFile* file) {
  const std::string& s = file->bytes;
  size_t p = file->position, end = s.size();
  size_t i = p;
  while (i < end) {
    uint8_t b = s[i];
    if (b == 0x0A || b == 0x00 || b == 0x1A) break;
    // A lead byte and a valid second byte (0x40-0xFE) are one character, never a terminator.
    if (IsLead(b) && i + 1 < end && static_cast<uint8_t>(s[i + 1]) >= 0x40 &&
        static_cast<uint8_t>(s[i + 1]) != 0xFF)
      i += 2;
    else
      ++i;
  }
  if (i > end) i = end;
  std::string line = s.substr(p, i - p);
  file->position = (i < end && s[i] == 0x0A) ? i + 1 : i;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return FromString(line);
}

void CloseFile(MemoryFile* file) { delete file; }

}  // namespace prog
