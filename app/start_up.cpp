// Start-up of the checker (skin and update check), and the instructions and exit buttons.
#include "app/start_up.h"

#include <cstring>
#include <string>

#include "app/app_ids.h"
#include "app/carried_data.h"
#include "app/check_pace.h"
#include "app/check_settings.h"
#include "app/output_log.h"
#include "app/verdict.h"
#include "program/dll_commands.h"
#include "program/own_folders.h"
#include "program/program_state.h"
#include "program/program_values.h"
#include "runtime/interface/constant_area.h"
#include "runtime/interface/core_commands.h"
#include "runtime/interface/runtime_interface.h"
#include "web/http_request.h"
#include "web/pending_page.h"

namespace {

PROGRAM_CONSTANT const char16_t kSkinFileName[] = u"SkinH_QX.dll";
PROGRAM_CONSTANT const char kSkinExport[] = "SkinH_AttachRes";
PROGRAM_CONSTANT const char16_t kUserSkinFolder[] = u"柚工坊";
PROGRAM_CONSTANT const char16_t kSkinTemporaryName[] = u"SkinH_QX.";
PROGRAM_CONSTANT const char16_t kTemporaryEnd[] = u".tmp";
PROGRAM_CONSTANT const char kEmpty[] = "";
PROGRAM_CONSTANT const char kUpdateCheckPage[] = "http://" SERVICE_BLOG_HOST "/柚工坊/item/1121dbf01dc7637dc9f337a5";
PROGRAM_CONSTANT const char kUpdateMarker[] = "青柚百度贴吧未注册账号检测机V1.1";
PROGRAM_CONSTANT const char kUpdateFailed[] = "网络连接失败或该程序已更新！，请重新下载！";
PROGRAM_CONSTANT const char kUsage1[] = "本程序由柚工坊制作，只为交流使用，由使用者造成的任何后果本人概不负责。";
PROGRAM_CONSTANT const char kUsage3[] = "使用说明：";
PROGRAM_CONSTANT const char kUsage4[] = "一行输入一个ID，点击检测即可。";
PROGRAM_CONSTANT const char kUsage5[] = "欢迎向本人反馈BUG。。";

constexpr uint32_t kHiddenAttribute = 2;
constexpr int32_t kSkinNumber = 33;
// No "bad image" or "insert disk" box of the system while the program loads its own files
// (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX): a damaged file just fails to load.
constexpr uint32_t kQuietErrorMode = 0x0001 | 0x8000;
constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kShareRead = 0x1;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kNormalAttributes = 0x80;
constexpr dll::Handle kInvalidHandle = 0xFFFFFFFF;
constexpr uint32_t kReplaceExisting = 0x1;   // MOVEFILE_REPLACE_EXISTING
constexpr uint32_t kWriteThrough = 0x8;      // MOVEFILE_WRITE_THROUGH
constexpr uint32_t kCompareChunk = 4096;     // bytes read per step of the comparison

// Writes the carried library to `path` as a hidden file (fresh, or over a file that is there).
bool WriteCarriedLibrary(const std::u16string& path, bool replace) {
  return WriteNewFile(path, ByteSetData(kSkinLibraryByteSet), ByteSetLength(kSkinLibraryByteSet),
                      kHiddenAttribute, replace);
}

// The user's own folder for the library (under the local application data), made when
// missing; empty when the system names none.
std::u16string UserSkinDirectory() {
  std::u16string base = LocalAppDataFolder();
  if (base.empty()) return {};
  std::u16string directory = PathIn(base, kUserSkinFolder);
  dll::CreateDirectoryW(directory.c_str(), nullptr);
  return directory;
}

// Loads the library from exactly `path` and keeps it loaded, so that the skin command binds
// to this very module; false when the file is no library or lacks the skin's export. A
// damaged file makes no system box appear, and the caller's error mode is back afterwards.
bool SkinLibraryLoads(const std::u16string& path) {
  uint32_t previous = dll::SetErrorMode(kQuietErrorMode);
  dll::Handle module = dll::LoadLibraryW(path.c_str());
  dll::SetErrorMode(previous);
  return module != 0 && dll::GetProcAddress(module, kSkinExport) != 0;
}

// A file opened for reading that nobody may write, rename or delete while it is open.
class HeldFile {
 public:
  explicit HeldFile(const std::u16string& path)
      : handle_(dll::CreateFileW(path.c_str(), kGenericRead, kShareRead, nullptr, kOpenExisting,
                                 kNormalAttributes, 0)) {}
  ~HeldFile() {
    if (IsOpen()) dll::CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool IsOpen() const { return handle_ != kInvalidHandle && handle_ != 0; }

  // True when the file holds exactly the bytes of `byteSet`: the size first, then the bytes.
  bool Holds(const uint8_t* byteSet) const {
    uint32_t high = 0;
    uint32_t size = dll::GetFileSize(handle_, &high);
    if (high != 0 || size != ByteSetLength(byteSet)) return false;
    const uint8_t* expected = ByteSetData(byteSet);
    uint8_t chunk[kCompareChunk];
    for (uint32_t at = 0; at < size;) {
      uint32_t wanted = size - at < kCompareChunk ? size - at : kCompareChunk;
      uint32_t read = 0;
      if (!dll::ReadFile(handle_, chunk, wanted, &read, nullptr) || read != wanted) return false;
      if (std::memcmp(chunk, expected + at, read) != 0) return false;
      at += read;
    }
    return true;
  }

 private:
  dll::Handle handle_ = kInvalidHandle;
};

// Puts a fresh copy of the carried library at `path` in one step: written to a file of this
// process's own in the same folder, then renamed over whatever is at `path`, so no reader
// ever meets a half-written library. False when the folder takes no file or the old one
// cannot be replaced (a read-only folder, or a copy another running program has loaded).
bool ReplaceWithCarriedLibrary(const std::u16string& directory, const std::u16string& path) {
  std::u16string temporary = PathIn(directory, kSkinTemporaryName);
  for (char c : std::to_string(dll::GetCurrentProcessId())) temporary += static_cast<char16_t>(c);
  temporary += kTemporaryEnd;
  if (WriteCarriedLibrary(temporary, true) &&
      dll::MoveFileExW(temporary.c_str(), path.c_str(), kReplaceExisting | kWriteThrough))
    return true;
  dll::DeleteFileW(temporary.c_str());
  return false;
}

}  // namespace

// The per-user library is a fixed path that any program of the user can write, so it is
// loaded only while it holds exactly the carried library, and held open against changes from
// the comparison until it is loaded. Anything else there (another build's library, a damaged
// copy, a planted file) is replaced by a fresh copy, which is checked in the same way.
bool LoadCheckedSkinLibrary(const std::u16string& directory) {
  std::u16string path = PathIn(directory, kSkinFileName);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt == 1 && !ReplaceWithCarriedLibrary(directory, path)) return false;
    HeldFile file(path);
    if (file.IsOpen() && file.Holds(kSkinLibraryByteSet)) return SkinLibraryLoads(path);
  }
  return false;
}

// Next to the program, as a hidden file written only when nothing of that name is there (a
// file that is there is left as it is, whatever it holds). The file's path, or empty when the
// program's folder takes no file.
std::u16string EnsureSkinLibraryFile() {
  std::u16string folder = ProgramFolder();
  if (folder.empty()) return {};
  std::u16string path = PathIn(folder, kSkinFileName);
  if (!SomethingAt(path) && !WriteCarriedLibrary(path, false) && !SomethingAt(path)) return {};
  return path;
}

// The library next to the program is loaded as it is. Where the program's folder takes no
// file, the checked copy in the user's own folder is loaded instead. Either way the skin
// command's binding then takes the module loaded here, by its name, and searches no folder.
bool LoadSkinLibrary() {
  std::u16string path = EnsureSkinLibraryFile();
  if (!path.empty()) return SkinLibraryLoads(path);
  std::u16string user = UserSkinDirectory();
  return !user.empty() && LoadCheckedSkinLibrary(user);
}

// The skin is optional: a library that cannot be placed or loaded leaves the window as the
// system draws it, with no message.
void ApplySkin(int32_t number) {
  if (!LoadSkinLibrary()) return;
  const uint8_t* block = number >= 1 && number <= static_cast<int32_t>(kSkinDataCount)
                             ? kSkinDataByteSets[number - 1]
                             : nullptr;
  core::Bytes copy = block ? prog::NewByteSet(ByteSetData(block), ByteSetLength(block)) : core::Bytes();
  dll::SkinH_AttachRes(copy.data(), copy.size(), kEmpty, 0, 0, 0);
}

extern "C" HandlerReturn __cdecl OnStartWindowCreated() {
  ApplySkin(kSkinNumber);
  // The update check goes through the proxy of the settings file, as the check's requests do;
  // a settings file that cannot be read whole, or a proxy setting that names no usable proxy,
  // ends the program with a notice instead, as a failed update check does, without a request
  // made around the proxy.
  const CheckSettings settings = ReadCheckSettings();
  if (!settings.refusal.empty()) {
    ShowSettingsNotice(settings.refusal);
    EndProgram(0);
  }
  const ProxySetting& proxy = settings.proxy;
  core::Text proxyText = prog::CopyText(proxy.Argument());
  char* proxyVariable = proxyText.get();
  // With retries (or `auto`), a refusal is asked again after the pause the service named, else
  // after 2, 4, 8 ... s, up to the retries, before the box that ends the program; the wait
  // dispatches window messages, so the program may end meanwhile.
  const int32_t retries = settings.retries;
  core::Text page;
  for (int32_t failed = 0;; ++failed) {
    // The routine's address variable holds a copy: the routine may give it a new text.
    char* url = prog::CopyText(kUpdateCheckPage).ReleaseText();
    core::Bytes body(网页_访问(&url, 0, &proxyVariable));
    core::Text finalAddress(url);
    if (!IsRefusal(LastPageStatus()) || failed >= retries) {
      page = body.empty() ? core::Text() : core::ToText(BytesArg(body.get()));
      break;
    }
    const uint32_t pause = RetryPauseMs(RetryAfterMs(LastPageRetryAfter(), LastPageDate()), failed + 1,
                                        dll::GetTickCount());
    if (!web::WaitForPages(nullptr, 0, pause) || ProgramEnding()) return kHandlerNoValue;
  }
  if (core::FindTextReverse(page.c_str(), kUpdateMarker) == -1) {
    core::MessageBox(TextArg(kUpdateFailed), 0);
    EndProgram(0);
  }
  return kHandlerNoValue;
}

extern "C" HandlerReturn __cdecl OnUsageClicked() {
  const char* lines[] = {kUsage1, kEmpty, kUsage3, kUsage4, kUsage5};
  for (const char* line : lines) AppendLogLine(kYellow, line);
  return kHandlerNoValue;
}

// Ends the program at once, also from inside a request that is dispatching messages: the
// runtime's clean-up releases the globals and the process exits with code 0.
extern "C" HandlerReturn __cdecl OnExitClicked() {
  EndProgram(0);
}
