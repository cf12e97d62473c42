// The check's settings.
#include "app/check_settings.h"

#include <optional>

#include "app/settings_file.h"
#include "runtime/interface/constant_area.h"
#include "runtime/interface/core_commands.h"
#include "web/exchange.h"

namespace {

PROGRAM_CONSTANT const char kInvalidProxy[] =
    "checker.ini 中 [network] 的 proxy 设置无效，未向网站发出任何请求。"
    "请填写 主机:端口（如 127.0.0.1:8080）、system，或留空直接连接。";

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

CheckSettings ReadCheckSettings() {
  SettingsFile file;
  CheckSettings settings;
  if (std::optional<std::u16string> parallel = file.Value(u"check", u"parallel")) {
    settings.adaptive = SameLetters(*parallel, u"auto");
    settings.parallel = settings.adaptive ? kMaxParallel
                                          : WholeNumber(*parallel, kMinParallel, kMaxParallel).value_or(kMinParallel);
  }
  std::optional<std::u16string> retries = file.Value(u"check", u"retries");
  const int32_t fallback = settings.adaptive ? kAutoRetries : 0;
  settings.retries = retries ? WholeNumber(*retries, 0, kMaxRetries).value_or(fallback) : fallback;
  std::optional<std::u16string> proxy = file.Value(u"network", u"proxy");
  if (proxy) settings.proxy = ProxyFromText(*proxy);
  return settings;
}

ProxySetting ReadProxySetting() { return ReadCheckSettings().proxy; }

void ShowInvalidProxyNotice() { core::MessageBox(TextArg(kInvalidProxy), 0); }
