// Reading and parsing the checker's settings file.
#include "app/settings_file.h"

#include "program/dll_commands.h"
#include "program/program_values.h"
#include "runtime/interface/constant_area.h"
#include "runtime/interface/core_commands.h"
#include "web/encodings.h"

namespace {

PROGRAM_CONSTANT const char kSettingsFileName[] = "\\checker.ini";

constexpr uint32_t kGbk = 936;
constexpr uint32_t kUtf8 = 65001;
constexpr uint32_t kLargestFile = 1u << 20;
// CreateFileW: GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING.
constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kShareReadWrite = 3;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kInvalidHandle = 0xFFFFFFFF;

// The file's bytes; empty when it is missing, unreadable or larger than kLargestFile.
std::string ReadSettingsBytes() {
  core::Text path = prog::JoinText(core::GetRunDirectory().c_str(), kSettingsFileName);
  core::Bytes wide = MultiByteToUtf16(path.c_str(), kGbk);
  if (wide.empty()) return {};
  dll::Handle file = dll::CreateFileW(reinterpret_cast<const char16_t*>(wide.data()), kGenericRead,
                                      kShareReadWrite, nullptr, kOpenExisting, 0, 0);
  if (file == kInvalidHandle || file == 0) return {};
  uint32_t high = 0;
  uint32_t size = dll::GetFileSize(file, &high);
  std::string bytes;
  if (high == 0 && size != kInvalidHandle && size <= kLargestFile) {
    bytes.resize(size);
    uint32_t got = 0;
    if (size && (!dll::ReadFile(file, bytes.data(), size, &got, nullptr) || got != size)) bytes.clear();
  }
  dll::CloseHandle(file);
  return bytes;
}

// UTF-16 of `bytes` in code page `codePage`, through the text form (ending at a zero byte).
std::u16string Convert(const std::string& bytes, uint32_t codePage) {
  core::Text text = prog::NewText(bytes.data(), static_cast<uint32_t>(bytes.size()));
  core::Bytes units = MultiByteToUtf16(text.c_str(), codePage);
  if (units.size() < 2) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(units.data()), units.size() / 2 - 1);
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::u16string Lower(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return out;
}

}  // namespace

SettingsFile::SettingsFile() : SettingsFile(Decode(ReadSettingsBytes())) {}

SettingsFile::SettingsFile(std::u16string_view text) { Parse(text); }

std::u16string SettingsFile::Decode(const std::string& bytes) {
  auto starts = [&](const char* mark, size_t n) { return bytes.compare(0, n, mark, n) == 0; };
  if (starts("\xEF\xBB\xBF", 3)) return Convert(bytes.substr(3), kUtf8);
  bool little = starts("\xFF\xFE", 2), big = starts("\xFE\xFF", 2);
  if (!little && !big) return Convert(bytes, kGbk);
  std::u16string units;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    auto lo = static_cast<uint8_t>(bytes[little ? i : i + 1]);
    auto hi = static_cast<uint8_t>(bytes[little ? i + 1 : i]);
    units.push_back(static_cast<char16_t>(hi << 8 | lo));
  }
  return units;
}

void SettingsFile::Parse(std::u16string_view text) {
  std::u16string section;
  while (!text.empty()) {
    size_t end = text.find_first_of(u"\r\n");
    std::u16string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.front() == u'[') {
      size_t close = line.find(u']');
      section = close == std::u16string_view::npos ? u"" : Lower(Trim(line.substr(1, close - 1)));
      continue;
    }
    size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos || section.empty()) continue;
    std::u16string_view value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    entries_.push_back({section, Lower(Trim(line.substr(0, equals))), std::u16string(value)});
  }
}

std::optional<std::u16string> SettingsFile::Value(std::u16string_view section,
                                                  std::u16string_view key) const {
  std::u16string s = Lower(section), k = Lower(key);
  // The first section of the name counts: keys of a later section of the same name do not.
  size_t first = entries_.size();
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].section == s) {
      first = i;
      break;
    }
  for (size_t i = first; i < entries_.size() && entries_[i].section == s; ++i)
    if (entries_[i].key == k) return entries_[i].value;
  return std::nullopt;
}
