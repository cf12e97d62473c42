// The core text, conversion and file operations the web routines use, with the meaning the
// core library gives them: GBK texts (a byte of 0x80 or more starts a two-byte character),
// 1-based byte positions, -1 for not found, null for the empty text. Results are new heap
// texts owned by the caller.
#pragma once

#include <cstdint>

namespace prog {

// Position of the first occurrence of `sought` at or after `start` (1-based), or -1.
// `ignoreCase` folds ASCII letters only. Matches are tried at character boundaries.
int32_t FindText(const char* text, const char* sought, int32_t start = 1, bool ignoreCase = false);
// Every occurrence of `sought` replaced, left to right, case-sensitive.
char* ReplaceAll(const char* text, const char* sought, const char* replacement);
// The first, last or middle bytes of a text, clamped to its length.
char* TextLeft(const char* text, int32_t count);
char* TextRight(const char* text, int32_t count);
char* TextMid(const char* text, int32_t start, int32_t count);
// Deletes `length` bytes at `start` and inserts `replacement` there.
char* ReplaceText(const char* text, int32_t start, int32_t length, const char* replacement);
// Blanks are 0x20 and the full-width space A1 A1.
char* TrimSpaces(const char* text);
char* RemoveAllSpaces(const char* text);
char* ToUpper(const char* text);
char* ToLower(const char* text);
// Equality ignoring the case of single-byte letters; two-byte characters compare as units.
bool EqualIgnoringCase(const char* a, const char* b);
// The numeric value of a text: full-width digits and signs count, parsing as atof does.
double ToNumber(const char* text);
// Dispatches the window messages that are waiting (a waiting WM_QUIT stays queued).
void ProcessEvents();

// A memory file read and written by lines.
class MemoryFile;
MemoryFile* OpenMemoryFile();
void WriteText(MemoryFile* file, const char* text);
void SeekToFileStart(MemoryFile* file);
// True at the end; in text mode also when the next byte is 0x00 or 0x1A.
bool IsEndOfFile(MemoryFile* file, bool textMode = false);
// The next line: ends at LF (consumed), or before 0x00 / 0x1A (left unread); one CR before
// the end is dropped.
char* ReadLine(MemoryFile* file);
void CloseFile(MemoryFile* file);

}  // namespace prog
