// URL helpers, built on the core text commands.
#include "web/url.h"

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

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

}  // namespace

// `base` is an address the routine made, so it starts with "http://" or "https://".
core::Text ResolveLocation(const char* base, const char* location) {
  std::string to = TextArgument(location), from = TextArgument(base);
  size_t first = to.find_first_not_of(" \t"), last = to.find_last_not_of(" \t");
  to = first == std::string::npos ? "" : to.substr(first, last - first + 1);
  if (StartsWithNoCase(to, "http://") || StartsWithNoCase(to, "https://"))
    return prog::CopyText(to.c_str());
  if (to.rfind("//", 0) == 0) return prog::JoinText("http:", to.c_str());
  size_t scheme = from.find("://");
  size_t pathStart = from.find_first_of("/?#", scheme == std::string::npos ? 0 : scheme + 3);
  std::string origin = from.substr(0, pathStart);
  if (to.rfind("/", 0) == 0) return prog::JoinText(origin.c_str(), to.c_str());
  std::string path = pathStart == std::string::npos ? "/" : from.substr(pathStart);
  path = path.substr(0, path.find_first_of("?#"));
  if (path.empty() || path[0] != '/') path = "/" + path;
  std::string folder = path.substr(0, path.rfind('/') + 1);
  return prog::JoinText(origin.c_str(), folder.c_str(), to.c_str());
}
