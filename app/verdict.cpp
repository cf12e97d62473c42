// The markers, addresses and lines of the account check.
#include "app/verdict.h"

#include "app/app_ids.h"
#include "app/output_log.h"
#include "program/globals.h"
#include "program/program_values.h"
#include "program/word_array.h"
#include "runtime/interface/constant_area.h"
#include "web/url.h"

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

void WriteLine(int32_t i, const char* verdict, uint32_t colour) {
  AppendLogLine(colour, prog::JoinText(kLinePrefix, IdAt(i), verdict).c_str());
}

}  // namespace

const char* IdAt(int32_t i) {
  if (i < 1) ReportRuntimeError(4);
  if (static_cast<uint32_t>(i) > WordArrayCount(IdList)) ReportRuntimeError(1);
  return reinterpret_cast<const char*>(WordArrayMembers(IdList)[i - 1]);
}

core::Text ProfileAddress(int32_t i) {
  return prog::JoinText(kProfilePrefix, PercentEncode(IdAt(i)).get(), kProfileSuffix);
}

core::Text SearchAddress(int32_t i) {
  return prog::JoinText(kSearchPrefix, PercentEncode(IdAt(i), true).get());
}

core::Text PageText(core::Bytes body, bool complete, uint32_t status) {
  if (!complete || body.empty() || IsRefusal(status)) return core::Text();
  return core::ToText(BytesArg(body.get()));
}

Verdict JudgeProfile(const core::Text& page) {
  if (page.empty()) return Verdict::kFailed;
  if (core::FindTextReverse(page.c_str(), kProfileMissing) == -1) return Verdict::kRegistered;
  return Verdict::kAskSearch;
}

Verdict JudgeSearch(const core::Text& page) {
  if (page.empty()) return Verdict::kFailed;
  if (core::FindTextReverse(page.c_str(), kLikedForums) == -1) return Verdict::kUnregistered;
  if (core::FindTextReverse(page.c_str(), kForumIdentity) != -1) return Verdict::kRegistered;
  return Verdict::kNoLine;
}

void WriteVerdict(int32_t i, Verdict verdict) {
  switch (verdict) {
    case Verdict::kRegistered: return WriteLine(i, kRegistered, kRed);
    case Verdict::kUnregistered: return WriteLine(i, kUnregistered, kGreen);
    case Verdict::kFailed: return WriteLine(i, kCheckFailed, kGrey);
    case Verdict::kAskSearch:
    case Verdict::kNoLine: return;
  }
}
