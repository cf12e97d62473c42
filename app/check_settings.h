// The check's settings, read from `checker.ini` in the program's folder (app/settings_file.h):
//
//   [check]
//   parallel=8        ; 1..16 IDs in flight at once, or auto
//   retries=2         ; 0..5 more tries for an ID whose exchange failed
//   [network]
//   proxy=host:port   ; or system, or empty
//
// The check reads them when it starts, the start-up the proxy before its update check. The
// program only reads the file, never writes it; without it every value is the default and the
// program behaves exactly as without these settings. Nothing the file gives is replaced in
// silence: a value that cannot be understood is named in a notice at the click on "检测" (the
// check then goes on with the default), and a file that is there but cannot be read whole, or a
// proxy value that cannot be understood, stops every request with a notice (the file may name
// a proxy, and a direct connection would go around it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int32_t kMinParallel = 1;
inline constexpr int32_t kMaxParallel = 16;
inline constexpr int32_t kMaxRetries = 5;
// `retries` when `parallel=auto` names none: a refusal costs a try, and adapting to a service
// means being refused now and then.
inline constexpr int32_t kAutoRetries = 3;

// How requests reach the service. kInvalid: the value is none of the accepted forms; then no
// request is made at all (the user asked for a proxy, and a direct connection would go around
// it): the start-up and a check say so in a notice instead (CheckSettings::refusal).
enum class ProxyKind { kDirect, kServer, kSystem, kInvalid };

struct ProxySetting {
  ProxyKind kind = ProxyKind::kDirect;
  std::string server;     // kServer: "host:port" as written, ASCII
  std::string argument;   // kServer: what Argument() gives

  // The proxy argument of 网页_访问 and PendingPage for it: "" (direct), web::kSystemProxy, or
  // the server for plain and TLS legs alike ("host:port https=host:port"). Not for kInvalid.
  const char* Argument() const;
};

struct CheckSettings {
  // How many IDs may be in flight at once. With `adaptive` (parallel=auto) this is the ceiling
  // of an allowance that starts at kAutoStartAllowance (app/check_window.h) and follows the service's answers; with retries
  // a failed page also lowers a fixed number for a while (app/check_pace.h).
  int32_t parallel = kMinParallel;
  bool adaptive = false;
  int32_t retries = 0;
  ProxySetting proxy;
  // Values of `parallel` and `retries` that cannot be understood, one notice line each naming
  // the key and the value as written; the defaults stand in for them.
  std::u16string unusable;
  // Why no request may be made (an unreadable file, a proxy value that cannot be understood),
  // as a notice line naming the file or the value; empty when requests may go out.
  std::u16string refusal;

  // Whether the check runs the windowed engine (app/parallel_check.h) rather than asking one
  // ID after the other: for more than one ID in flight, for retries, and for `auto`.
  bool Windowed() const { return parallel > 1 || adaptive || retries > 0; }
  // The notice of a click on "检测": the unusable values' lines, then the refusal; empty when
  // the file gives nothing to tell.
  std::u16string Notice() const;
};

// Every setting of the file, by the rules below; the defaults when there is no file.
CheckSettings ReadCheckSettings();

// Shows `lines` (notice lines of CheckSettings) in one message box, as the program's other
// notices are shown; the texts are UTF-16, so a path or value GBK cannot hold shows as it is.
void ShowSettingsNotice(const std::u16string& lines);

// The proxy setting of one value, by the rule below.
ProxySetting ProxyFromText(std::u16string_view value);

// The rules for the values as the file gives them (inline comment and blanks around them
// removed), where a missing key and an empty value are the default:
//   parallel: "auto" in any letter case; else a whole number (optional sign, then decimal
//     digits, nothing else, any number of digits) clamped into 1..16; anything else is 1 and
//     a line of `unusable`.
//   retries: a whole number clamped into 0..5; anything else is the default and a line of
//     `unusable`. The default is 0, or 3 with `parallel=auto`.
//   proxy: empty is a direct connection; "system" in any letter case the system's proxy
//     settings; "host:port" an HTTP proxy, where the host is a name or an IPv4 address of
//     letters, digits, '.', '-' and '_' (not starting or ending with '.' or '-') and the port
//     a decimal number from 1 to 65535 without sign; anything else is kInvalid.
