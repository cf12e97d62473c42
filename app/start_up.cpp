// Start-up of the checker (skin and update check), and the instructions and exit buttons.
#include "app/start_up.h"

#include <cstring>

#include "app/app_ids.h"
#include "app/carried_data.h"
#include "app/check_settings.h"
#include "app/output_log.h"
#include "program/dll_commands.h"
#include "program/program_values.h"
#include "runtime/interface/constant_area.h"
#include "runtime/interface/core_commands.h"
#include "runtime/interface/runtime_interface.h"
#include "web/encodings.h"
#include "web/http_request.h"

namespace {

PROGRAM_CONSTANT const char kSkinFileName[] = "\\SkinH_QX.dll";
PROGRAM_CONSTANT const char kSkinExport[] = "SkinH_AttachRes";
PROGRAM_CONSTANT const char kUserSkinFolder[] = "\\柚工坊";
PROGRAM_CONSTANT const char kSubstitute[] = "?";
PROGRAM_CONSTANT const char kEmpty[] = "";
PROGRAM_CONSTANT const char kUpdateCheckPage[] = "http://" SERVICE_BLOG_HOST "/柚工坊/item/1121dbf01dc7637dc9f337a5";
PROGRAM_CONSTANT const char kUpdateMarker[] = "青柚百度贴吧未注册账号检测机V1.1";
PROGRAM_CONSTANT const char kUpdateFailed[] = "网络连接失败或该程序已更新！，请重新下载！";
PROGRAM_CONSTANT const char kUsage1[] = "本程序由柚工坊制作，只为交流使用，由使用者造成的任何后果本人概不负责。";
PROGRAM_CONSTANT const char kUsage3[] = "使用说明：";
PROGRAM_CONSTANT const char kUsage4[] = "一行输入一个ID，点击检测即可。";
PROGRAM_CONSTANT const char kUsage5[] = "欢迎向本人反馈BUG。。";

constexpr int32_t kHiddenAttribute = 2;
constexpr int32_t kSkinNumber = 33;
constexpr int32_t kLocalAppData = 0x1C;  // CSIDL_LOCAL_APPDATA
constexpr uint32_t kGbk = 936;
constexpr uint32_t kPathUnits = 260;     // MAX_PATH

// Writes the carried library to `path` as a hidden file unless a file of that name is there;
// true when one is there afterwards.
bool PlaceSkinLibrary(const char* path) {
  if (!core::FileExists(path)) {
    core::WriteToFile(path, {kSkinLibraryByteSet});
    if (!core::FileExists(path)) return false;
    core::SetFileAttributes(path, kHiddenAttribute);
  }
  return true;
}

// The user's own folder for the library (under the local application data), made when
// missing; the empty text when the system names none or GBK cannot hold its path.
core::Text UserSkinDirectory() {
  char16_t units[kPathUnits + 1] = {};
  if (dll::SHGetFolderPathW(0, kLocalAppData, 0, 0, units) != 0) return core::Text();
  uint32_t n = 0;
  while (n < kPathUnits && units[n] != 0) ++n;
  core::Bytes wide = prog::NewByteSet(units, n * 2);
  core::Text base = Utf16ToMultiByte(wide.get(), kGbk);
  if (base.empty() || core::FindText(base.c_str(), kSubstitute) != -1) return core::Text();
  core::Text directory = prog::JoinText(base.c_str(), kUserSkinFolder);
  core::Bytes path = MultiByteToUtf16(directory.c_str(), kGbk);
  if (!path.empty()) dll::CreateDirectoryW(reinterpret_cast<const char16_t*>(path.data()), nullptr);
  return directory;
}

// Loads the library from exactly `path` and keeps it loaded, so that the skin command binds
// to this very module; false when the file is no library or lacks the skin's export.
bool SkinLibraryLoads(const char* path) {
  core::Bytes wide = MultiByteToUtf16(path, kGbk);
  if (wide.empty()) return false;
  dll::Handle module = dll::LoadLibraryW(reinterpret_cast<const char16_t*>(wide.data()));
  return module != 0 && dll::GetProcAddress(module, kSkinExport) != 0;
}

}  // namespace

// Next to the program when its folder takes the file; otherwise in the user's own folder, and
// only when nothing of that name is next to the program, so that the skin command, which looks
// there first, finds the module loaded from the user's folder.
core::Text EnsureSkinLibraryFile() {
  core::Text directory = core::GetRunDirectory();
  core::Text path = prog::JoinText(directory.c_str(), kSkinFileName);
  if (PlaceSkinLibrary(path.c_str())) return path;
  core::Text user = UserSkinDirectory();
  if (user.empty()) return core::Text();
  path = prog::JoinText(user.c_str(), kSkinFileName);
  if (!PlaceSkinLibrary(path.c_str())) return core::Text();
  return path;
}

// The skin is optional: a library that cannot be written or loaded leaves the window as the
// system draws it, with no message.
void ApplySkin(int32_t number) {
  core::Text library = EnsureSkinLibraryFile();
  if (library.empty() || !SkinLibraryLoads(library.c_str())) return;
  const uint8_t* block = number >= 1 && number <= static_cast<int32_t>(kSkinDataCount)
                             ? kSkinDataByteSets[number - 1]
                             : nullptr;
  core::Bytes copy = block ? prog::NewByteSet(ByteSetData(block), ByteSetLength(block)) : core::Bytes();
  dll::SkinH_AttachRes(copy.data(), copy.size(), kEmpty, 0, 0, 0);
}

extern "C" HandlerReturn __cdecl OnStartWindowCreated() {
  ApplySkin(kSkinNumber);
  // The update check goes through the proxy of the settings file, as the check's requests do;
  // a proxy setting that names no usable proxy ends the program with a notice instead, as a
  // failed update check does, without a request made around the proxy.
  const ProxySetting proxy = ReadProxySetting();
  if (proxy.kind == ProxyKind::kInvalid) {
    ShowInvalidProxyNotice();
    EndProgram(0);
  }
  core::Text proxyText = prog::CopyText(proxy.Argument());
  char* proxyVariable = proxyText.get();
  // The routine's address variable holds a copy: the routine may give it a new text.
  char* url = prog::CopyText(kUpdateCheckPage).ReleaseText();
  core::Bytes body(网页_访问(&url, 0, &proxyVariable));
  core::Text finalAddress(url);
  core::Text page = body.empty() ? core::Text() : core::ToText(BytesArg(body.get()));
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
