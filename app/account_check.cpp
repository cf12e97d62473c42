// The account check: one verdict line per ID of the input box.
#include "account_check.h"

#include <optional>

#include "app_ids.h"
#include "constant_area.h"
#include "core_commands.h"
#include "globals.h"
#include "http_request.h"
#include "output_log.h"
#include "program_values.h"
#include "runtime_interface.h"
#include "url.h"
#include "window_routines.h"

namespace {

// The profile page's "wrong address" notice "请检查输入的网址是否正确。 " in UTF-8, as the
// page is served, with its trailing space.
PROGRAM_CONSTANT const char kProfileMissing[] =
    "\xE8\xAF\xB7\xE6\xA3\x80\xE6\x9F\xA5\xE8\xBE\x93\xE5\x85\xA5\xE7\x9A\x84\xE7\xBD"
    "\x91\xE5\x9D\x80\xE6\x98\xAF\xE5\x90\xA6\xE6\xAD\xA3\xE7\xA1\xAE\xE3\x80\x82\x20";
static_assert(sizeof kProfileMissing - 1 == 40);
// Search page markers, GBK.
PROGRAM_CONSTANT const char kLikedForums[] = "喜欢的贴吧";
PROGRAM_CONSTANT const char kForumIdentity[] = "贴吧身份";

PROGRAM_CONSTANT const char kProfilePrefix[] = "http://" SERVICE_MAIN_HOST "/p/";
PROGRAM_CONSTANT const char kProfileSuffix[] = "?from=tieba";
PROGRAM_CONSTANT const char kSearchPrefix[] = "http://" SERVICE_FORUM_HOST "/f/search/res?ie=utf-8&qw=";
PROGRAM_CONSTANT const char kLinePrefix[] = "账号 ";
PROGRAM_CONSTANT const char kRegistered[] = " 已注册！";
PROGRAM_CONSTANT const char kUnregistered[] = " 未注册！";
PROGRAM_CONSTANT const char kCheckFailed[] = " 检测失败！";
PROGRAM_CONSTANT const char kLineBreak[] = "\r\n";

// Set while a check runs: the handler pumps messages during requests, so a second click can
// arrive; it is ignored rather than replacing IdList under the running loop.
bool checkRunning = false;

// Member i (1-based) of IdList, fetched afresh with the index checks of array access.
const char* IdAt(int32_t i) {
  if (i < 1) ReportRuntimeError(4);
  if (static_cast<uint32_t>(i) > WordArrayCount(IdList)) ReportRuntimeError(1);
  return reinterpret_cast<const char*>(WordArrayMembers(IdList)[i - 1]);
}

// Fetches a page with only its address given and returns it as text: empty (null) when the
// request failed, the page was empty, or only part of it could be read, since a part of a page
// may lack a marker the whole page holds. Once the program is ending (its window was closed
// while the check dispatched messages) nothing more is fetched and a page still arriving is
// dropped: the result is then nothing at all, and the check stops.
std::optional<core::Text> FetchPage(core::Text address) {
  if (ProgramEnding()) return std::nullopt;
  // The address goes into the routine's variable, which may get a new text in its place.
  char* url = address.ReleaseText();
  core::Bytes body(网页_访问(&url));
  bool complete = LastPageComplete();
  const core::Text usedAddress(url);   // what the routine left in the variable is ours to free
  if (ProgramEnding()) return std::nullopt;
  if (!complete || body.empty()) return core::Text();
  return core::ToText(BytesArg(body.get()));
}

void WriteVerdict(const char* id, const char* verdict, uint32_t colour) {
  AppendLogLine(colour, prog::JoinText(kLinePrefix, id, verdict).c_str());
}

// Checks one ID: the profile page first; only when it says the address is wrong, the search
// page. A page that comes back empty is a failed request, never a verdict: the service's pages
// are never empty, and a page read only in part comes back empty. Nothing is written once the
// program is ending.
void CheckOne(int32_t i) {
  std::optional<core::Text> profile =
      FetchPage(prog::JoinText(kProfilePrefix, PercentEncode(IdAt(i)).get(), kProfileSuffix));
  if (!profile) return;
  if (profile->empty()) {
    WriteVerdict(IdAt(i), kCheckFailed, kGrey);
    return;
  }
  if (core::FindTextReverse(profile->c_str(), kProfileMissing) == -1) {
    WriteVerdict(IdAt(i), kRegistered, kRed);
    return;
  }
  std::optional<core::Text> search =
      FetchPage(prog::JoinText(kSearchPrefix, PercentEncode(IdAt(i), true).get()));
  if (!search) return;
  if (search->empty()) {
    WriteVerdict(IdAt(i), kCheckFailed, kGrey);
  } else if (core::FindTextReverse(search->c_str(), kLikedForums) == -1) {
    WriteVerdict(IdAt(i), kUnregistered, kGreen);
  } else if (core::FindTextReverse(search->c_str(), kForumIdentity) != -1) {
    WriteVerdict(IdAt(i), kRegistered, kRed);
  }
}

}  // namespace

extern "C" HandlerReturn __cdecl OnCheckClicked() {
  if (checkRunning) return kHandlerNoValue;
  checkRunning = true;
  ClearLog();
  core::Text input(reinterpret_cast<char*>(
      static_cast<uint32_t>(ReadUnitProperty(kStartWindowId, kInputBoxId, kEditContent, -1))));
  core::TextArray ids = core::SplitText(input.c_str(), kLineBreak);
  FreeTextArray(IdList);
  void* block = ids.Release();
  IdList = block ? static_cast<uint8_t*>(block) : NewWordArray();
  int32_t n = static_cast<int32_t>(WordArrayCount(IdList));
  // Closing the window during the check ends the program: the check stops and the message
  // loop ends the program as it does for any closed last window.
  for (int32_t i = 1; i <= n && !ProgramEnding(); ++i) CheckOne(i);
  checkRunning = false;
  return kHandlerNoValue;
}
