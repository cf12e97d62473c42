// URL helpers, built on the core text commands.
#include "web/url.h"

#include <algorithm>
#include <climits>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "program/program_values.h"
#include "runtime/interface/core_commands.h"
#include "web/encodings.h"

using prog::TextArgument;

// Every "https://" and then every "http://" is removed, wherever it stands; the host is what
// comes before the first "/" and then before the first ":".
core::Text UrlHost(const char* url) {
  core::Text u = core::ReplaceSubtext(TextArgument(url), "https://", nullptr, {}, {}, true);
  u = core::ReplaceSubtext(u.c_str(), "http://", nullptr, {}, {}, true);
  int32_t k = core::FindText(u.c_str(), "/");
  if (k > 0) u = core::TextLeft(u.c_str(), k - 1);
  k = core::FindText(u.c_str(), ":");
  if (k > 0) u = core::TextLeft(u.c_str(), k - 1);
  return core::ToLower(u.c_str());
}

// The path starts at the first "/" at or after where the host begins in the address.
core::Text UrlPath(const char* url) {
  url = TextArgument(url);
  core::Text host = UrlHost(url);
  int32_t p = core::FindText(url, host.c_str(), 1, true);
  int32_t q = core::FindText(url, "/", p, true);
  if (q > 0) return core::TextRight(url, core::TextLength(url) - q + 1);
  return prog::CopyText("/");
}

// The port text follows the first ":" of the host-and-port part. For "http://" addresses
// that part starts after the scheme; for any other address it is everything before the first
// "/", which for "https://" is "https:" with an empty port text, so the port is 0.
int32_t UrlPort(const char* url) {
  url = TextArgument(url);
  core::Text hostPort;
  if (core::CompareText(core::TextLeft(url, 7).c_str(), "http://", false) == 0) {
    int32_t q = core::FindText(url, "/", 8, true);
    hostPort = q > 0 ? core::TextMid(url, 8, q - 8) : core::ReplaceText(url, 1, 7);
  } else {
    int32_t q = core::FindText(url, "/", 1, true);
    hostPort = q > 0 ? core::TextLeft(url, q - 1) : prog::CopyText(url);
  }
  int32_t k = core::FindText(hostPort.c_str(), ":", 1, true);
  core::Text portText = k > 0 ? core::TextRight(hostPort.c_str(), core::TextLength(hostPort.c_str()) - k)
                              : prog::CopyText("80");
  double value = std::trunc(core::ToNumber(TextArg(portText.c_str())));
  // Out of range the conversion gives what the processor's truncating conversion gives.
  if (!(value >= -2147483648.0 && value <= 2147483647.0)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

core::Text PercentEncode(const char* text, bool keepUnreserved) {
  static const char kHex[] = "0123456789ABCDEF";
  core::Text utf8 = GbkToUtf8(text);
  core::Bytes bytes = core::ToByteSet(TextArg(utf8.c_str()));
  std::string out;
  for (uint32_t i = 0; i < bytes.size(); ++i) {
    uint8_t b = bytes.data()[i];
    bool literal = keepUnreserved && ((b >= 0x2C && b <= 0x39) || (b >= 0x41 && b <= 0x5A) ||
                                      (b >= 0x61 && b <= 0x7A));
    if (literal) {
      out += static_cast<char>(b);
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    }
    core::ProcessEvents();
  }
  return prog::NewText(out.data(), static_cast<uint32_t>(out.size()));
}

namespace {

// A reference taken apart as RFC 3986's appendix B does; a part not given is nullopt.
struct Reference {
  std::optional<std::string> scheme, authority, query;
  std::string path;
};

Reference TakeApart(std::string_view text) {
  Reference r;
  text = text.substr(0, text.find('#'));
  size_t colon = text.find(':');
  if (colon != std::string_view::npos && colon > 0 && colon < text.find_first_of("/?") &&
      std::isalpha(static_cast<unsigned char>(text[0])) &&
      text.substr(0, colon).find_first_not_of(
          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.") == std::string_view::npos) {
    std::string scheme(text.substr(0, colon));
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    r.scheme = scheme;
    text.remove_prefix(colon + 1);
  }
  if (text.substr(0, 2) == "//") {
    size_t end = text.find_first_of("/?", 2);
    r.authority = std::string(text.substr(2, end == std::string_view::npos ? end : end - 2));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end);
  }
  size_t question = text.find('?');
  r.path = std::string(text.substr(0, question));
  if (question != std::string_view::npos) r.query = std::string(text.substr(question + 1));
  return r;
}

// RFC 3986, 5.2.4: "." and ".." segments removed.
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  while (!in.empty()) {
    if (in.substr(0, 3) == "../") in.remove_prefix(3);
    else if (in.substr(0, 2) == "./") in.remove_prefix(2);
    else if (in.substr(0, 3) == "/./") in.remove_prefix(2);
    else if (in == "/.") in = "/";
    else if (in.substr(0, 4) == "/../" || in == "/..") {
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      size_t cut = out.rfind('/');
      out.erase(cut == std::string::npos ? 0 : cut);
      if (in.empty()) break;
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      size_t next = in.find('/', in[0] == '/' ? 1 : 0);
      out += in.substr(0, next);
      in.remove_prefix(next == std::string_view::npos ? in.size() : next);
    }
  }
  return out;
}

// Spaces, control bytes and bytes above 0x7F as %XX; every other byte as it is.
std::string EscapeUnsafe(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    auto b = static_cast<uint8_t>(c);
    if (b > 0x20 && b < 0x7F) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    }
  }
  return out;
}

std::string_view TrimBlanks(std::string_view s) {
  size_t first = s.find_first_not_of(" \t"), last = s.find_last_not_of(" \t");
  return first == std::string_view::npos ? std::string_view() : s.substr(first, last - first + 1);
}

bool IsWebScheme(const std::optional<std::string>& scheme) {
  return scheme == "http" || scheme == "https";
}

}  // namespace

std::optional<std::string> ResolveLocation(std::string_view base, std::string_view location) {
  Reference b = TakeApart(base), r = TakeApart(TrimBlanks(location)), t;
  if (r.scheme && !IsWebScheme(r.scheme)) return std::nullopt;
  if (r.scheme) {
    t = r;
    t.path = RemoveDotSegments(r.path);
  } else {
    if (r.authority) {
      t.authority = r.authority;
      t.path = RemoveDotSegments(r.path);
      t.query = r.query;
    } else {
      if (r.path.empty()) {
        t.path = b.path;
        t.query = r.query ? r.query : b.query;
      } else {
        if (r.path[0] == '/') {
          t.path = RemoveDotSegments(r.path);
        } else if (b.authority && b.path.empty()) {
          t.path = RemoveDotSegments("/" + r.path);
        } else {
          size_t slash = b.path.rfind('/');
          t.path = RemoveDotSegments(
              (slash == std::string::npos ? std::string() : b.path.substr(0, slash + 1)) + r.path);
        }
        t.query = r.query;
      }
      t.authority = b.authority;
    }
    t.scheme = b.scheme;
  }
  if (!IsWebScheme(t.scheme) || !t.authority) return std::nullopt;
  std::string address = *t.scheme + "://" + *t.authority + t.path;
  if (t.query) address += "?" + *t.query;
  address = EscapeUnsafe(address);
  if (!SplitLegAddress(address)) return std::nullopt;
  return address;
}

namespace {

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// RFC 3986 3.2.2: a registered name (unreserved bytes, sub-delimiters and %XX escapes), which
// also covers the bytes of an IPv4 address. Non-empty, as an http address needs a host.
bool IsRegisteredName(std::string_view host) {
  static constexpr std::string_view kAllowed =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~!$&'()*+,;=";
  if (host.empty()) return false;
  for (size_t i = 0; i < host.size(); ++i) {
    if (host[i] == '%') {
      if (i + 2 >= host.size() || !IsHexDigit(host[i + 1]) || !IsHexDigit(host[i + 2])) return false;
      i += 2;
    } else if (kAllowed.find(host[i]) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// RFC 3986 3.2.2: an IPv6 address as it stands between the brackets of an address: eight groups
// of one to four hex digits, a single "::" standing for one or more groups of zeros, and an
// IPv4 address in place of the last two groups.
bool IsIpv6Address(std::string_view text) {
  size_t elided = text.find("::");
  if (elided != std::string_view::npos && text.find("::", elided + 1) != std::string_view::npos) return false;
  int groups = 0;
  auto countGroups = [&](std::string_view part, bool last) {
    if (part.empty()) return true;
    size_t start = 0;
    for (;;) {
      size_t colon = part.find(':', start);
      std::string_view group = part.substr(start, colon == std::string_view::npos ? colon : colon - start);
      if (last && colon == std::string_view::npos && group.find('.') != std::string_view::npos) {
        // The IPv4 tail: four decimal numbers up to 255, without leading zeros.
        int numbers = 0;
        for (size_t at = 0; at <= group.size(); ++numbers) {
          size_t dot = std::min(group.find('.', at), group.size());
          std::string_view number = group.substr(at, dot - at);
          if (number.empty() || number.size() > 3 || (number.size() > 1 && number[0] == '0') ||
              number.find_first_not_of("0123456789") != std::string_view::npos ||
              std::stoi(std::string(number)) > 255)
            return false;
          at = dot + 1;
        }
        groups += 2;
        return numbers == 4;
      }
      if (group.empty() || group.size() > 4 || !std::all_of(group.begin(), group.end(), IsHexDigit)) return false;
      ++groups;
      if (colon == std::string_view::npos) return true;
      start = colon + 1;
    }
  };
  if (elided == std::string_view::npos) return countGroups(text, true) && groups == 8;
  return countGroups(text.substr(0, elided), false) && countGroups(text.substr(elided + 2), true) &&
         groups <= 7;
}

}  // namespace

// The authority is read as RFC 3986 3.2 reads it: user information up to the only "@" (dropped),
// then the host, a bracketed IPv6 address or a registered name, then at most one ":" and the
// port's digits (an empty port is the scheme's own).
std::optional<LegTarget> SplitLegAddress(std::string_view address) {
  Reference parts = TakeApart(address);
  if (!IsWebScheme(parts.scheme) || !parts.authority) return std::nullopt;
  LegTarget target;
  target.secure = *parts.scheme == "https";
  std::string_view authority = *parts.authority;
  size_t at = authority.find('@');
  if (at != std::string_view::npos) {
    if (authority.find('@', at + 1) != std::string_view::npos) return std::nullopt;
    authority.remove_prefix(at + 1);
  }
  std::string_view host, port;
  if (!authority.empty() && authority[0] == '[') {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(1, close - 1);
    std::string_view rest = authority.substr(close + 1);
    if (!rest.empty() && rest[0] != ':') return std::nullopt;
    if (!IsIpv6Address(host)) return std::nullopt;
    if (!rest.empty()) port = rest.substr(1);
  } else {
    size_t colon = authority.find(':');
    host = authority.substr(0, colon);
    if (!IsRegisteredName(host)) return std::nullopt;
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
  }
  target.port = target.secure ? 443 : 80;
  if (!port.empty()) {
    if (port.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    port.remove_prefix(std::min(port.find_first_not_of('0'), port.size()));
    if (port.empty() || port.size() > 5) return std::nullopt;
    target.port = static_cast<uint32_t>(std::stoul(std::string(port)));
    if (target.port > 65535) return std::nullopt;
  }
  for (char c : host) target.host += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  target.object = parts.path.empty() ? "/" : parts.path;
  if (parts.query) target.object += "?" + *parts.query;
  return target;
}
