// URL helpers.
#include "url.h"

#include <climits>
#include <cmath>
#include <string>

#include "core_ops.h"
#include "encodings.h"
#include "program_values.h"

using namespace prog;

namespace {
// Replaces a text variable by `next` (a new text), freeing the old one.
void Replace(char*& variable, char* next) {
  MemFree(variable);
  variable = next;
}
}  // namespace

// Every "https://" and then every "http://" is removed, wherever it stands; the host is what
// comes before the first "/" and then before the first ":".
char* UrlHost(const char* url) {
  char* u = ReplaceAll(url, "https://", nullptr);
  Replace(u, ReplaceAll(u, "http://", nullptr));
  int32_t k = FindText(u, "/");
  if (k > 0) Replace(u, TextLeft(u, k - 1));
  k = FindText(u, ":");
  if (k > 0) Replace(u, TextLeft(u, k - 1));
  char* host = ToLower(u);
  MemFree(u);
  return host;
}

// The path starts at the first "/" at or after where the host begins in the address.
char* UrlPath(const char* url) {
  char* host = UrlHost(url);
  int32_t p = FindText(url, TextArgument(host), 1, true);
  int32_t q = FindText(url, "/", p, true);
  MemFree(host);
  if (q > 0) return TextRight(url, static_cast<int32_t>(TextLength(url)) - q + 1);
  return CopyText("/");
}

// The port text follows the first ":" of the host-and-port part. For "http://" addresses
// that part starts after the scheme; for any other address it is everything before the first
// "/", which for "https://" is "https:" with an empty port text, so the port is 0.
int32_t UrlPort(const char* url) {
  char* hostPort;
  char* scheme = TextLeft(url, 7);
  if (EqualIgnoringCase(scheme, "http://")) {
    int32_t q = FindText(url, "/", 8, true);
    hostPort = q > 0 ? TextMid(url, 8, q - 8) : ReplaceText(url, 1, 7, nullptr);
  } else {
    int32_t q = FindText(url, "/", 1, true);
    hostPort = q > 0 ? TextLeft(url, q - 1) : CopyText(url);
  }
  MemFree(scheme);
  int32_t k = FindText(hostPort, ":", 1, true);
  char* portText = k > 0 ? TextRight(hostPort, static_cast<int32_t>(TextLength(hostPort)) - k)
                         : CopyText("80");
  double value = std::trunc(ToNumber(portText));
  MemFree(portText);
  MemFree(hostPort);
  // Out of range the conversion gives what the processor's truncating conversion gives.
  if (!(value >= -2147483648.0 && value <= 2147483647.0)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

char* PercentEncode(const char* text, bool keepUnreserved) {
  static const char kHex[] = "0123456789ABCDEF";
  char* utf8 = GbkToUtf8(text);
  std::string out;
  for (const char* p = TextArgument(utf8); *p; ++p) {
    uint8_t b = static_cast<uint8_t>(*p);
    bool literal = keepUnreserved && ((b >= 0x2C && b <= 0x39) || (b >= 0x41 && b <= 0x5A) ||
                                      (b >= 0x61 && b <= 0x7A));
    if (literal) {
      out += static_cast<char>(b);
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    }
    ProcessEvents();
  }
  MemFree(utf8);
  return NewText(out.data(), static_cast<uint32_t>(out.size()));
}
