// The check's settings.
#include "app/check_settings.h"

#include <optional>

#include "app/settings_file.h"
#include "program/dll_commands.h"
#include "runtime/interface/constant_area.h"
#include "web/exchange.h"

namespace {

PROGRAM_CONSTANT const char16_t kUnusableStart[] = u"checker.ini 中 [check] 的 ";
PROGRAM_CONSTANT const char16_t kUnusableEnd[] = u" 无法识别，本次按默认值检测。";
PROGRAM_CONSTANT const char16_t kInvalidProxyStart[] = u"checker.ini 中 [network] 的 proxy=";
PROGRAM_CONSTANT const char16_t kInvalidProxyEnd[] =
    u" 无效，未向网站发出任何请求。请填写 主机:端口（如 127.0.0.1:8080）、system，或留空直接连接。";
PROGRAM_CONSTANT const char16_t kUnreadableStart[] = u"无法完整读取设置文件 ";
PROGRAM_CONSTANT const char16_t kUnreadableEnd[] = u"，未向网站发出任何请求。";
PROGRAM_CONSTANT const char16_t kNoticeCaption[] = u"信息：";
PROGRAM_CONSTANT const char16_t kLineBreak[] = u"\r\n";
constexpr uint32_t kTaskModal = 0x2000;
// A value named in a notice is cut after this many characters.
constexpr size_t kLongestNamedValue = 64;

constexpr int32_t kMaxPort = 65535;
constexpr size_t kMaxHostLength = 253;

// A whole number as the file may give it: optional sign, then decimal digits and nothing
// else, clamped into low..high; nothing when it is no whole number. Any number of digits: the
// value saturates past `high`.
std::optional<int32_t> WholeNumber(std::u16string_view value, int32_t low, int32_t high) {
  bool negative = !value.empty() && value.front() == u'-';
  if (!value.empty() && (value.front() == u'-' || value.front() == u'+')) value.remove_prefix(1);
  if (value.empty()) return std::nullopt;
  int32_t number = 0;
  for (char16_t c : value) {
    if (c < u'0' || c > u'9') return std::nullopt;
    number = number > high ? number : number * 10 + (c - u'0');
  }
  if (negative) return low;
  return number < low ? low : number > high ? high : number;
}

bool SameLetters(std::u16string_view value, std::u16string_view lower) {
  if (value.size() != lower.size()) return false;
  for (size_t i = 0; i < value.size(); ++i) {
    char16_t c = value[i] >= u'A' && value[i] <= u'Z' ? value[i] - u'A' + u'a' : value[i];
    if (c != lower[i]) return false;
  }
  return true;
}

bool IsHostCharacter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'.' || c == u'-' || c == u'_';
}

// A value as a notice names it: control characters (a zero byte in the file) as '?', and a
// long value cut with an ellipsis so the box stays on the screen.
std::u16string Named(std::u16string_view written) {
  std::u16string out;
  for (char16_t c : written.substr(0, kLongestNamedValue)) out += c < u' ' ? u'?' : c;
  if (written.size() > kLongestNamedValue) out += u'…';
  return out;
}

void AddLine(std::u16string* lines, std::u16string_view line) {
  if (!lines->empty()) *lines += kLineBreak;
  *lines += line;
}

void AddUnusable(std::u16string* lines, std::u16string_view key, std::u16string_view written) {
  AddLine(lines, std::u16string(kUnusableStart) + std::u16string(key) + u'=' + Named(written) + kUnusableEnd);
}

}  // namespace

ProxySetting ProxyFromText(std::u16string_view value) {
  ProxySetting setting;
  if (value.empty()) return setting;
  if (SameLetters(value, u"system")) {
    setting.kind = ProxyKind::kSystem;
    return setting;
  }
  setting.kind = ProxyKind::kInvalid;
  size_t colon = value.find(u':');
  if (colon == std::u16string_view::npos) return setting;
  std::u16string_view host = value.substr(0, colon), port = value.substr(colon + 1);
  if (host.empty() || host.size() > kMaxHostLength || host.front() == u'.' || host.front() == u'-' ||
      host.back() == u'.' || host.back() == u'-')
    return setting;
  for (char16_t c : host)
    if (!IsHostCharacter(c)) return setting;
  if (port.empty() || port.front() == u'+' || port.front() == u'-') return setting;
  std::optional<int32_t> number = WholeNumber(port, 0, kMaxPort + 1);
  if (!number || *number < 1 || *number > kMaxPort) return setting;
  setting.kind = ProxyKind::kServer;
  for (char16_t c : value) setting.server.push_back(static_cast<char>(c));
  // The request routine names its proxy for http:// addresses ("http=" before the value), and
  // WinINet on Windows sends an https:// leg of a redirect directly unless the list names a
  // proxy for it as well.
  setting.argument = setting.server + " https=" + setting.server;
  return setting;
}

const char* ProxySetting::Argument() const {
  return kind == ProxyKind::kSystem ? web::kSystemProxy : argument.c_str();
}

// The defaults stand in for a missing file, section or key, and for an empty value; a value
// that is there and cannot be understood is named in a notice line as well.
CheckSettings ReadCheckSettings() {
  SettingsFile file;
  CheckSettings settings;
  if (file.state() == SettingsFile::State::kUnreadable) {
    settings.refusal = std::u16string(kUnreadableStart) + file.path() + kUnreadableEnd;
    return settings;
  }
  if (std::optional<SettingsFile::Setting> parallel = file.Value(u"check", u"parallel")) {
    settings.adaptive = SameLetters(parallel->value, u"auto");
    std::optional<int32_t> number = WholeNumber(parallel->value, kMinParallel, kMaxParallel);
    settings.parallel = settings.adaptive ? kMaxParallel : number.value_or(kMinParallel);
    if (!settings.adaptive && !number && !parallel->value.empty())
      AddUnusable(&settings.unusable, u"parallel", parallel->written);
  }
  const int32_t fallback = settings.adaptive ? kAutoRetries : 0;
  settings.retries = fallback;
  if (std::optional<SettingsFile::Setting> retries = file.Value(u"check", u"retries")) {
    std::optional<int32_t> number = WholeNumber(retries->value, 0, kMaxRetries);
    settings.retries = number.value_or(fallback);
    if (!number && !retries->value.empty()) AddUnusable(&settings.unusable, u"retries", retries->written);
  }
  if (std::optional<SettingsFile::Setting> proxy = file.Value(u"network", u"proxy")) {
    settings.proxy = ProxyFromText(proxy->value);
    if (settings.proxy.kind == ProxyKind::kInvalid)
      settings.refusal = std::u16string(kInvalidProxyStart) + Named(proxy->written) + kInvalidProxyEnd;
  }
  return settings;
}

std::u16string CheckSettings::Notice() const {
  std::u16string lines = unusable;
  if (!refusal.empty()) AddLine(&lines, refusal);
  return lines;
}

void ShowSettingsNotice(const std::u16string& lines) {
  dll::MessageBoxW(0, lines.c_str(), kNoticeCaption, kTaskModal);
}
