// Reading and parsing the checker's settings file.
#include "app/settings_file.h"

#include "program/dll_commands.h"
#include "program/own_folders.h"
#include "runtime/interface/constant_area.h"
#include "web/encodings.h"

namespace {

PROGRAM_CONSTANT const char16_t kSettingsFileName[] = u"checker.ini";

constexpr uint32_t kGbk = 936;
constexpr uint32_t kUtf8 = 65001;
constexpr uint32_t kLargestFile = 1u << 20;
// CreateFileW: GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING.
constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kShareReadWrite = 3;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kInvalidHandle = 0xFFFFFFFF;

// The file's bytes, read whole. A file that cannot be opened is missing only when nothing of
// its name is there: one that is there (locked by another program, a folder) is unreadable.
SettingsFile::State ReadSettingsBytes(const std::u16string& path, std::string* bytes) {
  using State = SettingsFile::State;
  dll::Handle file = dll::CreateFileW(path.c_str(), kGenericRead, kShareReadWrite, nullptr, kOpenExisting, 0, 0);
  if (file == kInvalidHandle || file == 0) return SomethingAt(path) ? State::kUnreadable : State::kMissing;
  uint32_t high = 0;
  uint32_t size = dll::GetFileSize(file, &high);
  State state = State::kUnreadable;
  if (high == 0 && size != kInvalidHandle && size <= kLargestFile) {
    bytes->resize(size);
    uint32_t got = 0;
    if (size == 0 || (dll::ReadFile(file, bytes->data(), size, &got, nullptr) && got == size)) state = State::kRead;
  }
  dll::CloseHandle(file);
  if (state != State::kRead) bytes->clear();
  return state;
}

// Whether `bytes` are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF)
// with at least one byte above 0x7F: pure ASCII reads the same either way.
bool IsUtf8Text(std::string_view bytes) {
  bool high = false;
  for (size_t i = 0; i < bytes.size();) {
    auto b = static_cast<uint8_t>(bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    high = true;
    size_t more = b >= 0xC2 && b <= 0xDF ? 1 : b >= 0xE0 && b <= 0xEF ? 2 : b >= 0xF0 && b <= 0xF4 ? 3 : 0;
    if (more == 0 || i + more >= bytes.size()) return false;
    // The second byte's range narrows for the first bytes that would allow bad forms.
    auto second = static_cast<uint8_t>(bytes[i + 1]);
    uint8_t low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    uint8_t top = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > top) return false;
    for (size_t k = 2; k <= more; ++k)
      if ((static_cast<uint8_t>(bytes[i + k]) & 0xC0) != 0x80) return false;
    i += more + 1;
  }
  return high;
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

// The text after '=' up to an inline comment: a ';' or '#' after a blank.
std::u16string_view WithoutComment(std::u16string_view text) {
  for (size_t i = 1; i < text.size(); ++i)
    if ((text[i] == u';' || text[i] == u'#') && IsBlank(text[i - 1])) return text.substr(0, i);
  return text;
}

}  // namespace

SettingsFile::SettingsFile() {
  std::u16string folder = ProgramFolder();
  if (folder.empty()) {
    state_ = State::kMissing;
    return;
  }
  path_ = PathIn(folder, kSettingsFileName);
  std::string bytes;
  state_ = ReadSettingsBytes(path_, &bytes);
  if (state_ == State::kRead) Parse(bytes);
}

SettingsFile::SettingsFile(std::string_view bytes) { Parse(bytes); }

// Splits into lines before decoding: at the bytes CR and LF, or for UTF-16 at those units.
void SettingsFile::Parse(std::string_view bytes) {
  std::u16string section;
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  const bool little = starts("\xFF\xFE"), big = starts("\xFE\xFF");
  if (little || big) {
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      auto lo = static_cast<uint8_t>(bytes[little ? i : i + 1]);
      auto hi = static_cast<uint8_t>(bytes[little ? i + 1 : i]);
      units.push_back(static_cast<char16_t>(hi << 8 | lo));
    }
    std::u16string_view text = units;
    while (!text.empty()) {
      size_t end = text.find_first_of(u"\r\n");
      ParseLine(text.substr(0, end), section);
      text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);
    }
    return;
  }
  uint32_t codePage = kGbk;
  if (starts("\xEF\xBB\xBF")) {
    bytes.remove_prefix(3);
    codePage = kUtf8;
  } else if (IsUtf8Text(bytes)) {
    codePage = kUtf8;
  }
  while (!bytes.empty()) {
    size_t end = bytes.find_first_of("\r\n");
    ParseLine(Widen(bytes.substr(0, end), codePage), section);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
  }
}

void SettingsFile::ParseLine(std::u16string_view line, std::u16string& section) {
  line = Trim(line);
  if (line.empty() || line.front() == u';' || line.front() == u'#') return;
  if (line.front() == u'[') {
    size_t close = line.find(u']');
    section = close == std::u16string_view::npos ? u"" : Lower(Trim(line.substr(1, close - 1)));
    return;
  }
  size_t equals = line.find(u'=');
  if (equals == std::u16string_view::npos || section.empty()) return;
  std::u16string_view written = Trim(WithoutComment(line.substr(equals + 1)));
  std::u16string_view value = written;
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  entries_.push_back({section, Lower(Trim(line.substr(0, equals))), {std::u16string(value), std::u16string(written)}});
}

std::optional<SettingsFile::Setting> SettingsFile::Value(std::u16string_view section,
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
    if (entries_[i].key == k) return entries_[i].setting;
  return std::nullopt;
}
