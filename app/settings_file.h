// The checker's settings file, `checker.ini` in the program's folder: read whole when a check
// starts, never written. The program reads it itself rather than through the system's profile
// functions, so that the same file gives the same values on every Windows: a file saved as UTF-8
// with a byte-order mark (as Notepad saves it) or as UTF-16 with its mark reads as one without.
//
// The form is the usual one: "[section]" lines, then "key=value" lines. Section and key names
// compare without regard to letter case; blanks (spaces and tabs) around names and values are
// dropped, and so is one pair of double or single quotes around a value. The first section of a
// name and the first key of a name in it count. Lines of any other form are skipped.
#pragma once

#include <optional>
#include <string>
#include <vector>

class SettingsFile {
 public:
  // Reads the file; a missing, unreadable or oversized file (over 1 MB) holds no values.
  SettingsFile();
  // Parses `text` (UTF-16) as the file's content; for the reading constructor and for tests.
  explicit SettingsFile(std::u16string_view text);

  // The value of `key` in `section`; nothing when the file does not give it.
  std::optional<std::u16string> Value(std::u16string_view section, std::u16string_view key) const;

  // The file's bytes as UTF-16: by its byte-order mark (UTF-8, UTF-16 little- or big-endian),
  // else as GBK. Bytes that cannot be converted leave the text empty.
  static std::u16string Decode(const std::string& bytes);

 private:
  struct Entry {
    std::u16string section, key, value;   // section and key in lower case
  };
  void Parse(std::u16string_view text);
  std::vector<Entry> entries_;
};
