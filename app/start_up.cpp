// Start-up of the checker (skin and update check), and the instructions and exit buttons.
#include "start_up.h"

#include <cstring>

#include "app_ids.h"
#include "carried_data.h"
#include "constant_area.h"
#include "core_commands.h"
#include "dll_commands.h"
#include "http_request.h"
#include "output_log.h"
#include "program_values.h"
#include "runtime_interface.h"

namespace {

PROGRAM_CONSTANT const char kSkinFileName[] = "\\SkinH_QX.dll";
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

}  // namespace

void EnsureSkinLibraryFile() {
  core::Text directory = core::GetRunDirectory();
  core::Text path = prog::JoinText(directory.c_str(), kSkinFileName);
  if (!core::FileExists(path.c_str())) {
    core::WriteToFile(path.c_str(), {kSkinLibraryByteSet});
    core::SetFileAttributes(path.c_str(), kHiddenAttribute);
  }
}

void ApplySkin(int32_t number) {
  EnsureSkinLibraryFile();
  const uint8_t* block = number >= 1 && number <= static_cast<int32_t>(kSkinDataCount)
                             ? kSkinDataByteSets[number - 1]
                             : nullptr;
  core::Bytes copy = block ? prog::NewByteSet(ByteSetData(block), ByteSetLength(block)) : core::Bytes();
  dll::SkinH_AttachRes(copy.data(), copy.size(), kEmpty, 0, 0, 0);
}

extern "C" HandlerReturn __cdecl OnStartWindowCreated() {
  ApplySkin(kSkinNumber);
  // The routine's address variable holds a copy: the routine may give it a new text.
  char* url = prog::CopyText(kUpdateCheckPage).ReleaseText();
  core::Bytes body(网页_访问(&url));
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
