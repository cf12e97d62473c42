// The jar of the cookies set over TLS: RFC 6265's storage model, kept in memory.
#include "web/cookie_jar.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "web/http_date.h"

namespace web {

namespace {

std::string_view Trim(std::string_view s) {
  size_t first = s.find_first_not_of(" \t"), last = s.find_last_not_of(" \t");
  return first == std::string_view::npos ? std::string_view() : s.substr(first, last - first + 1);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// RFC 6265 5.2.2: an optional "-" and digits; anything else is no Max-Age.
std::optional<int64_t> ParseMaxAge(std::string_view text) {
  bool negative = !text.empty() && text[0] == '-';
  std::string_view digits = text.substr(negative ? 1 : 0);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit)) return std::nullopt;
  int64_t value = 0;
  for (char c : digits) value = std::min<int64_t>(value * 10 + (c - '0'), INT32_MAX);
  return negative ? -value : value;
}

// RFC 6265 5.1.4: the folder of the request path, "/" for a path of one segment or none.
std::string DefaultPath(std::string_view path) {
  size_t slash = path.rfind('/');
  if (path.empty() || path[0] != '/' || slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

bool IsAddressLiteral(std::string_view host) {
  return host.find(':') != std::string_view::npos ||
         host.find_first_not_of("0123456789.") == std::string_view::npos;
}

// RFC 6265 5.1.3: the host is the domain or a name inside it.
bool DomainMatches(std::string_view host, std::string_view domain) {
  if (host == domain) return true;
  return host.size() > domain.size() && host.ends_with(domain) &&
         host[host.size() - domain.size() - 1] == '.' && !IsAddressLiteral(host);
}

// RFC 6265 5.1.4: the request path is the cookie's path or lies below it.
bool PathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (requestPath.empty()) requestPath = "/";
  if (!requestPath.starts_with(cookiePath)) return false;
  return requestPath.size() == cookiePath.size() || cookiePath.back() == '/' ||
         requestPath[cookiePath.size()] == '/';
}

}  // namespace

void CookieJar::Keep(std::string_view host, std::string_view path, std::string_view line,
                     int64_t now) {
  size_t semicolon = line.find(';');
  std::string_view pair = line.substr(0, semicolon);
  std::string_view attributes =
      semicolon == std::string_view::npos ? std::string_view() : line.substr(semicolon + 1);
  Cookie cookie;
  size_t equals = pair.find('=');
  // Without "=" the whole pair is the value of a nameless cookie, as WinINet's store takes it.
  cookie.name = equals == std::string_view::npos ? std::string() : std::string(Trim(pair.substr(0, equals)));
  cookie.value = Trim(equals == std::string_view::npos ? pair : pair.substr(equals + 1));
  if (cookie.name.empty() && cookie.value.empty()) return;

  std::optional<int64_t> maxAge, expires;
  std::string domain;
  cookie.path = DefaultPath(path);
  while (!attributes.empty()) {
    size_t next = attributes.find(';');
    std::string_view attribute = attributes.substr(0, next);
    attributes = next == std::string_view::npos ? std::string_view() : attributes.substr(next + 1);
    size_t split = attribute.find('=');
    std::string key = Lower(Trim(attribute.substr(0, split)));
    std::string_view value = split == std::string_view::npos ? std::string_view() : Trim(attribute.substr(split + 1));
    if (key == "expires") {
      if (auto date = HttpDateSeconds(value)) expires = date;
    } else if (key == "max-age") {
      if (auto seconds = ParseMaxAge(value)) maxAge = seconds;
    } else if (key == "domain" && !value.empty()) {
      domain = Lower(value.substr(value[0] == '.' ? 1 : 0));
    } else if (key == "path") {
      cookie.path = !value.empty() && value[0] == '/' ? std::string(value) : DefaultPath(path);
    }
  }
  cookie.domain = std::string(host);
  if (!domain.empty()) {
    if (!DomainMatches(host, domain)) return;
    // A single label stands in for the public suffixes, which a cookie may not name: such a
    // domain keeps the cookie to the host when it is the host, else the cookie is refused.
    if (domain.find('.') != std::string::npos) {
      cookie.domain = domain;
      cookie.hostOnly = false;
    } else if (domain != host) {
      return;
    }
  }
  if (maxAge) cookie.expires = *maxAge <= 0 ? INT64_MIN : now + *maxAge;
  else cookie.expires = expires ? *expires : INT64_MAX;

  auto same = std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) {
    return c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path;
  });
  if (cookie.expires <= now) {
    if (same != cookies_.end()) cookies_.erase(same);
    return;
  }
  if (same != cookies_.end()) {
    *same = std::move(cookie);
    return;
  }
  cookies_.push_back(std::move(cookie));
  const std::string& added = cookies_.back().domain;
  if (std::count_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) { return c.domain == added; }) >
      static_cast<ptrdiff_t>(kPerDomain))
    cookies_.erase(std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) { return c.domain == added; }));
  if (cookies_.size() > kTotal) cookies_.erase(cookies_.begin());
}

std::string CookieJar::CookiesFor(std::string_view host, std::string_view path, int64_t now) {
  std::erase_if(cookies_, [&](const Cookie& c) { return c.expires <= now; });
  std::vector<const Cookie*> sent;
  for (const Cookie& c : cookies_)
    if ((c.hostOnly ? host == c.domain : DomainMatches(host, c.domain)) && PathMatches(path, c.path))
      sent.push_back(&c);
  std::stable_sort(sent.begin(), sent.end(),
                   [](const Cookie* a, const Cookie* b) { return a->path.size() > b->path.size(); });
  std::string line;
  for (const Cookie* c : sent) {
    if (!line.empty()) line += "; ";
    line += c->name.empty() ? c->value : c->name + "=" + c->value;
  }
  return line;
}

CookieJar& TlsCookieJar() {
  static CookieJar jar;
  return jar;
}

}  // namespace web
