// The account check: one verdict line per ID of the input box.
#include "app/account_check.h"

#include <optional>
#include <string>

#include "app/app_ids.h"
#include "app/check_settings.h"
#include "app/output_log.h"
#include "app/parallel_check.h"
#include "app/verdict.h"
#include "program/globals.h"
#include "program/program_values.h"
#include "program/program_state.h"
#include "program/word_array.h"
#include "runtime/interface/constant_area.h"
#include "runtime/interface/core_commands.h"
#include "runtime/interface/runtime_interface.h"
#include "web/http_request.h"

namespace {

PROGRAM_CONSTANT const char kLineBreak[] = "\r\n";

// Set while a check runs: the handler pumps messages during requests, so a second click can
// arrive; it is ignored rather than replacing IdList under the running loop.
bool g_checkRunning = false;

// Fetches a page with only its address given and returns it as PageText judges it. Once the
// program is ending (its window was closed while the check dispatched messages) nothing more
// is fetched and a page still arriving is dropped: the result is then nothing at all, and the
// check stops.
std::optional<core::Text> FetchPage(core::Text address, const ProxySetting& proxy) {
  if (ProgramEnding()) return std::nullopt;
  // The address goes into the routine's variable, which may get a new text in its place.
  char* url = address.ReleaseText();
  core::Text proxyText = prog::CopyText(proxy.Argument());
  char* proxyVariable = proxyText.get();
  core::Bytes body(网页_访问(&url, 0, &proxyVariable));
  bool complete = LastPageComplete();
  uint32_t status = LastPageStatus();
  const core::Text usedAddress(url);   // what the routine left in the variable is ours to free
  if (ProgramEnding()) return std::nullopt;
  return PageText(std::move(body), complete, status);
}

// Checks one ID: the profile page first; only when it says the address is wrong, the search
// page. Nothing is written once the program is ending.
void CheckOne(int32_t i, const ProxySetting& proxy) {
  std::optional<core::Text> profile = FetchPage(ProfileAddress(i), proxy);
  if (!profile) return;
  Verdict verdict = JudgeProfile(*profile);
  if (verdict == Verdict::kAskSearch) {
    std::optional<core::Text> search = FetchPage(SearchAddress(i), proxy);
    if (!search) return;
    verdict = JudgeSearch(*search);
  }
  WriteVerdict(i, verdict);
}

// Replaces IdList with the input box's lines, split at CR LF; returns their count.
int32_t TakeInputIds() {
  core::Text input(reinterpret_cast<char*>(
      static_cast<uint32_t>(ReadUnitProperty(kStartWindowId, kInputBoxId, kEditContent, -1))));
  core::TextArray ids = core::SplitText(input.c_str(), kLineBreak);
  FreeTextArray(IdList);
  void* block = ids.Release();
  IdList = block ? static_cast<uint8_t*>(block) : NewWordArray();
  return static_cast<int32_t>(WordArrayCount(IdList));
}

}  // namespace

extern "C" HandlerReturn __cdecl OnCheckClicked() {
  if (g_checkRunning) return kHandlerNoValue;
  g_checkRunning = true;
  const CheckSettings settings = ReadCheckSettings();
  // What the settings file gives that cannot be used as written is named once a click. An
  // unreadable file or a proxy value that cannot be understood stops the check before it asks
  // anything (and before the box is cleared): a direct connection would go around the proxy
  // the user asked for. Other values' defaults stand in for them, and the check goes on. Clicks
  // while the notice is up are ignored like those during a check.
  if (std::u16string notice = settings.Notice(); !notice.empty()) ShowSettingsNotice(notice);
  if (!settings.refusal.empty()) {
    g_checkRunning = false;
    return kHandlerNoValue;
  }
  ClearLog();
  int32_t n = TakeInputIds();
  // Closing the window during the check ends the program: the check stops and the message
  // loop ends the program as it does for any closed last window. Without settings for several
  // IDs in flight, retries or `auto` the IDs are asked one after the other, as always.
  if (settings.Windowed()) {
    CheckInParallel(n, settings);
  } else {
    for (int32_t i = 1; i <= n && !ProgramEnding(); ++i) CheckOne(i, settings.proxy);
  }
  g_checkRunning = false;
  return kHandlerNoValue;
}
