// Disk-file commands and the numbered memory files: existence and attributes of a path,
// writing byte sets to a new file, and line-wise reading and writing of memory files.
// None of them raises an error; failure shows in the result.
#include <windows.h>
#undef SetFileAttributes

#include <cstdint>
#include <cstring>

#include "commands/command_support.h"
#include "commands/commands.h"
#include "commands/memory_file.h"
#include "commands/value_format.h"
#include "framework/gbk_text.h"

namespace corelib {

namespace {

// Bytes the line reader takes from the file per read.
constexpr uint32_t kLineChunk = 512;

// The bytes that end a line: LF, the zero byte and the end-of-text mark 0x1A. None of them
// can be the second byte of a two-byte character (those are 0x40 or more), so a first byte
// directly before one of them stays a lone byte of the line and the terminator still counts.
inline bool EndsLine(uint8_t b) { return b == 0x0A || b == 0x00 || b == 0x1A; }

// Closes a handle when it goes out of scope.
struct FileHandle {
  HANDLE h;
  ~FileHandle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

}  // namespace

// True when anything matches the path, so directories and wildcard patterns count. Paths are
// GBK and reach the system in UTF-16, whatever its code page.
CORE_COMMAND(FileExists) {
  const char* path = Args(count, args).Text(0);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(fw::WidePath(path).c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  SetBool(result, search != INVALID_HANDLE_VALUE);
}

// Only the read-only, hidden, system and archive bits are passed on.
CORE_COMMAND(SetFileAttributes) {
  Args a(count, args);
  SetBool(result, SetFileAttributesW(fw::WidePath(a.Text(0)).c_str(), static_cast<uint32_t>(a.Int(1)) & 0x27) != 0);
}

// Creates (or replaces) the file with exclusive access and writes every further byte-set
// argument in order. A write that fails leaves what was written on disk and gives false.
CORE_COMMAND(WriteToFile) {
  Args a(count, args);
  const char* path = a.Text(0);
  if (*path == 0) return;
  FileHandle file{
      CreateFileW(fw::WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) return;
  for (int32_t i = 1; i < a.Count(); ++i) {
    uint32_t n;
    const uint8_t* data = a.ByteSet(i, &n);
    if (n == 0) continue;
    DWORD written = 0;
    if (!WriteFile(file.h, data, n, &written, nullptr) || written != n) return;
  }
  HANDLE h = file.h;
  file.h = INVALID_HANDLE_VALUE;
  SetBool(result, CloseHandle(h) != 0);
}

// A new empty memory file; its number is what the other file commands take.
CORE_COMMAND(OpenMemoryFile) {
  (void)count;
  (void)args;
  MemoryFile* file = MemoryFile::Open();
  SetInt(result, file ? file->Number() : 0);
}

// Closes and releases a memory file; an unknown or already closed number does nothing.
CORE_COMMAND(CloseFile) {
  (void)result;
  MemoryFile::Close(Args(count, args).Int(0));
}

// Rewinds a memory file; false for an unknown number.
CORE_COMMAND(SeekToFileStart) {
  MemoryFile* file = MemoryFile::Find(Args(count, args).Int(0));
  if (!file) return;
  file->Seek(0);
  SetBool(result, true);
}

// Reads the next line in 512-byte pieces. LF ends the line and is consumed; 0x00 and 0x1A
// end it and stay unread, so that the text-mode end test sees them. A call that starts right
// at such a byte consumes it instead: otherwise a reader that keeps calling would never move
// past it. One CR before the end of the line is dropped.
CORE_COMMAND(ReadLine) {
  MemoryFile* file = MemoryFile::Find(Args(count, args).Int(0));
  if (!file) return;
  Buffer line;
  const uint32_t start = file->Position();
  uint8_t chunk[kLineChunk];
  for (;;) {
    const uint32_t at = file->Position();
    const uint32_t got = file->Read(chunk, kLineChunk);
    if (got == 0) break;
    uint32_t i = 0;
    while (i < got && !EndsLine(chunk[i])) ++i;
    line.Append(chunk, i);
    if (i == got) continue;
    const bool consumed = chunk[i] == 0x0A || at + i == start;
    file->Seek(at + i + (consumed ? 1 : 0));
    break;
  }
  uint32_t n = line.Size();
  if (n && line.Data()[n - 1] == 0x0D) --n;
  SetPointer(result, NewText(line.Data(), n));
}

// Writes the text form of each further argument at the position, without separators or a
// line end. Values without a text form (byte sets among them) are skipped.
CORE_COMMAND(WriteText) {
  Args a(count, args);
  MemoryFile* file = MemoryFile::Find(a.Int(0));
  if (!file) return;
  const uint32_t start = file->Position();
  for (int32_t i = 1; i < a.Count(); ++i) {
    char buffer[kFormBufferSize];
    const char* text;
    const uint32_t n = TextForm(a[i], buffer, &text);
    if (!file->Write(text, n)) {
      file->Seek(start);
      return;
    }
  }
  SetBool(result, true);
}

// True at or past the end. In text mode (exactly 1) a 0x00 or 0x1A at the position counts
// as the end too; the position is left where it was.
CORE_COMMAND(IsEndOfFile) {
  Args a(count, args);
  SetBool(result, true);
  MemoryFile* file = MemoryFile::Find(a.Int(0));
  if (!file) return;
  const uint32_t position = file->Position();
  if (position >= file->Length()) return;
  if (a.FlagExactlyOne(1)) {
    uint8_t b = 0;
    if (file->Read(&b, 1) == 1 && b != 0x00 && b != 0x1A) SetBool(result, false);
    file->Seek(position);
    return;
  }
  SetBool(result, false);
}

}  // namespace corelib
