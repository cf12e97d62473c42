// The checker's settings file, `checker.ini` in the program's folder (found by its UTF-16 name,
// program/own_folders.h): read whole when a check starts, never written. The program reads it
// itself rather than through the system's profile functions, so that the same file gives the
// same values on every Windows.
//
// Lines end at the bytes CR and LF, split before anything is decoded (neither byte can be part
// of a GBK or UTF-8 character, so a comment cannot swallow the line after it). A line is then
// decoded by the file's byte-order mark (UTF-8, UTF-16 little- or big-endian; UTF-16 is split
// at its own CR and LF units); without one, a file that is valid UTF-8 and holds bytes above
// 0x7F is UTF-8 (as Notepad saves it by default), anything else GBK.
//
// The form is the usual one: "[section]" lines, then "key=value" lines. Section and key names
// compare without regard to letter case; blanks (spaces and tabs) around names and values are
// dropped. A line whose first character is ';' or '#' is a comment, and so is the rest of a
// value from a ';' or '#' after a blank ("parallel=8 ; eight" gives "8"). One pair of double or
// single quotes around a value is dropped. The first section of a name and the first key of a
// name in it count. Lines of any other form are skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class SettingsFile {
 public:
  enum class State {
    kMissing,     // no file of that name: no values, the program as without settings
    kRead,        // read whole
    kUnreadable,  // there, but not read whole: locked, over 1 MB, a folder, a read error
  };
  // One value: as the program takes it, and as the line has it (quotes kept) for notices.
  struct Setting {
    std::u16string value, written;
  };

  // Reads the file beside the program.
  SettingsFile();
  // Parses `bytes` as the file's content.
  explicit SettingsFile(std::string_view bytes);

  State state() const { return state_; }
  // The file's full path (empty for parsed bytes).
  const std::u16string& path() const { return path_; }
  // The value of `key` in `section`; nothing when the file does not give it.
  std::optional<Setting> Value(std::u16string_view section, std::u16string_view key) const;

 private:
  struct Entry {
    std::u16string section, key;   // in lower case
    Setting setting;
  };
  void Parse(std::string_view bytes);
  void ParseLine(std::u16string_view line, std::u16string& section);

  State state_ = State::kRead;
  std::u16string path_;
  std::vector<Entry> entries_;
};
