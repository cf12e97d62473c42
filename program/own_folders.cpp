// The program's own folders by their UTF-16 names, and the wide file calls on them.
#include "program/own_folders.h"

#include "program/dll_commands.h"

namespace {

constexpr uint32_t kFirstBuffer = 260;        // MAX_PATH units
constexpr uint32_t kLongestPath = 32768;      // the longest path the wide functions take
constexpr int32_t kLocalAppData = 0x1C;       // CSIDL_LOCAL_APPDATA
constexpr uint32_t kNoAttributes = 0xFFFFFFFF;  // INVALID_FILE_ATTRIBUTES
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kCreateNew = 1, kCreateAlways = 2;
constexpr dll::Handle kInvalidHandle = 0xFFFFFFFF;

}  // namespace

// The buffer grows until the name fits: a name cut at the buffer's end would be another folder.
std::u16string ProgramFolder() {
  for (uint32_t size = kFirstBuffer; size <= kLongestPath; size *= 2) {
    std::u16string path(size, u'\0');
    uint32_t n = dll::GetModuleFileNameW(0, path.data(), size);
    if (n == 0) return {};
    if (n >= size) continue;
    path.resize(n);
    size_t cut = path.rfind(u'\\');
    return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut);
  }
  return {};
}

std::u16string LocalAppDataFolder() {
  char16_t units[kFirstBuffer + 1] = {};
  if (dll::SHGetFolderPathW(0, kLocalAppData, 0, 0, units) != 0) return {};
  return units;
}

std::u16string PathIn(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  path += u'\\';
  path += name;
  return path;
}

bool SomethingAt(const std::u16string& path) { return dll::GetFileAttributesW(path.c_str()) != kNoAttributes; }

bool WriteNewFile(const std::u16string& path, const uint8_t* bytes, uint32_t size, uint32_t attributes,
                  bool replace) {
  dll::Handle file = dll::CreateFileW(path.c_str(), kGenericWrite, 0, nullptr, replace ? kCreateAlways : kCreateNew,
                                      attributes, 0);
  if (file == kInvalidHandle || file == 0) return false;
  uint32_t written = 0;
  bool whole = size == 0 || (dll::WriteFile(file, bytes, size, &written, nullptr) && written == size);
  whole = dll::CloseHandle(file) && whole;
  if (!whole) dll::DeleteFileW(path.c_str());
  return whole;
}
