// 网页_访问 against the local stand-in service (run inside the isolated network namespace by
// tools/standin/run-isolated.sh). www.baidu.com never receives cookies in this program, so
// its requests show exactly the routine's own header lines; cookie tests use hi.baidu.com.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

#include "program/dll_commands.h"
#include "runtime/runtime_app.h"
#include "tests/support/url_cache.h"
#include "tests/web/test_support.h"
#include "web/http_request.h"
#include "web/pending_page.h"

namespace {

const std::string kAcceptLine =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";
const std::string kUserAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n";

// The stand-in's record directory as a Windows path (Wine maps / to Z:).
std::string RecordDirectory() {
  const char* dir = std::getenv("STANDIN_RECORD_DIR");
  if (!dir) return "";
  std::string path = std::string("Z:") + dir;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// Every request the stand-in recorded so far, oldest first.
std::vector<std::string> RecordedRequests() {
  std::vector<std::string> names, out;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((RecordDirectory() + "\\req-*.bin").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do names.push_back(found.cFileName);
    while (FindNextFileA(h, &found));
    FindClose(h);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    std::ifstream f(RecordDirectory() + "\\" + n, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    out.push_back(s.str());
  }
  return out;
}

// How each request the stand-in recorded so far arrived ("http 80", "https 443"), oldest first,
// from the side file beside each request.
std::vector<std::string> RecordedSchemes() {
  std::vector<std::string> out;
  for (int i = 1;; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\req-%06d.json", i);
    std::ifstream f(RecordDirectory() + name);
    if (!f) break;
    std::stringstream s;
    s << f.rdbuf();
    bool tls = s.str().find("\"scheme\": \"https\"") != std::string::npos;
    out.push_back(tls ? "https 443" : "http 80");
    if (tls != (s.str().find("\"port\": 443") != std::string::npos)) out.back() += " (port?)";
  }
  return out;
}

// The request line's target of a recorded request.
std::string Target(const std::string& request) {
  size_t start = request.find(' ') + 1, end = request.find(' ', start);
  return request.substr(start, end - start);
}

// Deletes the prefix's persisted cookies, so nothing from an earlier run is sent.
void ClearPersistedCookies() {
  char profile[MAX_PATH] = {};
  GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
  for (const char* sub : {"\\AppData\\Local\\Microsoft\\Windows\\INetCookies",
                          "\\AppData\\Roaming\\Microsoft\\Windows\\Cookies"}) {
    std::string dir = std::string(profile) + sub;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) continue;
    do DeleteFileA((dir + "\\" + found.cFileName).c_str());
    while (FindNextFileA(h, &found));
    FindClose(h);
  }
}

class Http : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    StartTestRuntime();
    ClearPersistedCookies();
  }
  void SetUp() override {
    ASSERT_FALSE(RecordDirectory().empty()) << "run through tools/standin/run-isolated.sh";
    before_ = RecordedRequests().size();
  }
  void TearDown() override { ClearPersistedCookies(); }
  // Requests recorded since the test began, and how they arrived.
  std::vector<std::string> NewRequests() {
    std::vector<std::string> all = RecordedRequests();
    return std::vector<std::string>(all.begin() + std::min(before_, all.size()), all.end());
  }
  std::vector<std::string> NewSchemes() {
    std::vector<std::string> all = RecordedSchemes();
    return std::vector<std::string>(all.begin() + std::min(before_, all.size()), all.end());
  }
  void Restart() { before_ = RecordedRequests().size(); }
  // Waits until the stand-in has recorded `count` requests since the test began.
  bool WaitForRequests(size_t count) {
    for (int polls = 0; NewRequests().size() < count && polls < 1200; ++polls) Sleep(50);
    return NewRequests().size() >= count;
  }
  // Fetches an address given alone and returns the body.
  std::string Fetch(const std::string& address, int32_t conversion = 0) {
    char* url = HeapText(address);
    std::string body = TakeBytes(网页_访问(&url, 0, nullptr, nullptr, nullptr, nullptr, conversion));
    MemFree(url);
    return body;
  }

 private:
  size_t before_ = 0;
};

TEST_F(Http, AddressAloneSendsTheDefaultLinesAndNoCookie) {
  char* url = HeapText("  www.baidu.com/echo ");
  std::string body = TakeBytes(网页_访问(&url));
  EXPECT_STREQ(url, "http://www.baidu.com/echo") << "trimmed and given a scheme";
  MemFree(url);

  const std::string ours = kAcceptLine + "Referer: http://www.baidu.com/echo\r\n" +
                           "Accept-Language: zh-cn\r\n";
  EXPECT_EQ(body.rfind("GET /echo HTTP/1.1\r\n", 0), 0u) << body;
  EXPECT_NE(body.find(kUserAgent), std::string::npos) << body;
  EXPECT_NE(body.find("\r\n" + ours), std::string::npos) << body;
  EXPECT_EQ(body.find("Cookie:"), std::string::npos) << body;
  EXPECT_EQ(body.substr(body.size() - 4), "\r\n\r\n");
  ASSERT_EQ(NewRequests().size(), 1u);
  EXPECT_EQ(NewRequests()[0], body) << "the stand-in records what it echoes";
}

TEST_F(Http, CallerHeadersSuppressDefaultsIgnoringCase) {
  char* url = HeapText("http://www.baidu.com/echo");
  char* headers = HeapText("accept: text/html\r\nREFERER: http://elsewhere/\r\n");
  std::string body = TakeBytes(网页_访问(&url, 0, nullptr, &headers));
  EXPECT_EQ(std::string(headers),
            "accept: text/html\r\nREFERER: http://elsewhere/\r\nAccept-Language: zh-cn\r\n")
      << "the routine appends its lines to the caller's variable";
  EXPECT_EQ(body.find("image/gif"), std::string::npos);
  EXPECT_NE(body.find("accept: text/html\r\n"), std::string::npos);
  EXPECT_EQ(body.find("Referer: http://www.baidu.com"), std::string::npos);
  MemFree(url);
  MemFree(headers);
}

TEST_F(Http, PostWithAndWithoutData) {
  char* url = HeapText("http://www.baidu.com/echo");
  char* data = HeapText("a=1&b=2");
  char* headers = nullptr;
  std::string body = TakeBytes(网页_访问(&url, 1, nullptr, &headers, &data));
  EXPECT_EQ(body.rfind("POST /echo HTTP/1.1\r\n", 0), 0u) << body;
  EXPECT_NE(body.find("Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n"),
            std::string::npos) << body;
  EXPECT_EQ(body.substr(body.size() - 7), "a=1&b=2");

  MemFree(headers);
  headers = nullptr;
  MemFree(data);
  data = nullptr;
  body = TakeBytes(网页_访问(&url, 1, nullptr, &headers, &data));
  EXPECT_EQ(body.rfind("POST /echo HTTP/1.1\r\n", 0), 0u) << body;
  EXPECT_EQ(std::string(headers).find("Content-"), std::string::npos) << headers;
  EXPECT_EQ(body.find("Content-Type"), std::string::npos) << body;
  EXPECT_EQ(body.substr(body.size() - 4), "\r\n\r\n") << "no body sent";
  MemFree(url);
  MemFree(headers);
}

TEST_F(Http, CookieParameterBecomesCookieLine) {
  char* url = HeapText("http://www.baidu.com/echo");
  char* headers = nullptr;
  char* cookies = HeapText("a=1");
  std::string body = TakeBytes(网页_访问(&url, 0, nullptr, &headers, nullptr, &cookies));
  std::string sent = headers;
  EXPECT_EQ(sent.substr(sent.size() - 15), "Cookie: a=1\r\n\r\n");
  EXPECT_NE(body.find("\r\nCookie: a=1\r\n"), std::string::npos) << body;
  MemFree(url);
  MemFree(headers);
  MemFree(cookies);
}

TEST_F(Http, ReceivedCookiesAreStoredAndSentBack) {
  char* url = HeapText("http://hi.baidu.com/setcookie");
  char* responseHeaders = nullptr;
  std::string body = TakeBytes(
      网页_访问(&url, 0, nullptr, nullptr, nullptr, nullptr, 0, &responseHeaders));
  EXPECT_EQ(body, "cookies set");
  std::string raw = responseHeaders ? responseHeaders : "";
  EXPECT_EQ(raw.rfind("HTTP/1.1 200", 0), 0u) << raw;
  EXPECT_NE(raw.find("Set-Cookie: alpha=1; path=/\r\n"), std::string::npos) << raw;
  MemFree(url);
  MemFree(responseHeaders);

  // The cookie store now holds both for the host: a later request sends them.
  std::string echo = Fetch("http://hi.baidu.com/echo");
  size_t line = echo.find("\r\nCookie: ");
  ASSERT_NE(line, std::string::npos) << echo;
  std::string cookieLine = echo.substr(line + 2, echo.find("\r\n", line + 2) - line - 2);
  EXPECT_NE(cookieLine.find("alpha=1"), std::string::npos) << cookieLine;
  EXPECT_NE(cookieLine.find("beta=two"), std::string::npos) << cookieLine;
  EXPECT_LT(cookieLine.find("alpha=1"), cookieLine.find("beta=two")) << "stored in order";

  char value[256] = {};
  DWORD size = sizeof value;
  ASSERT_TRUE(InternetGetCookieA("http://hi.baidu.com", nullptr, value, &size));
  EXPECT_NE(std::string(value).find("beta=two"), std::string::npos) << value;
}

TEST_F(Http, HttpsAddressIsRequestedAsPlainHttp) {
  std::string body = Fetch("https://www.baidu.com/echo");
  EXPECT_EQ(body.rfind("GET /echo HTTP/1.1\r\n", 0), 0u) << body;
  EXPECT_NE(body.find("Referer: https://www.baidu.com/echo\r\n"), std::string::npos) << body;
}

TEST_F(Http, BodiesComeBackWhole) {
  EXPECT_EQ(Fetch("http://tieba.baidu.com/zeros"), std::string("ab\0cd\0\0ef\0", 10));
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "<html>MARKER-PAGE</html>");
  EXPECT_EQ(Fetch("http://tieba.baidu.com/redirect?to=http://www.baidu.com/marker"),
            "<html>MARKER-PAGE</html>");
  EXPECT_EQ(Fetch("http://tieba.baidu.com/slow?ms=300"), "slow page");
}

// The stand-in's large-body pattern: byte i is (7i + i / 1024) mod 256.
std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + (i >> 10)) & 0xFF);
  return s;
}

TEST_F(Http, SixteenMegabyteBodyIsByteExact) {
  const size_t size = 16u << 20;
  std::string body = Fetch("http://tieba.baidu.com/big?size=" + std::to_string(size));
  ASSERT_EQ(body.size(), size);
  EXPECT_TRUE(body == Pattern(size));
  std::string chunked = Fetch("http://tieba.baidu.com/big?chunked=1&size=100000");
  EXPECT_TRUE(chunked == Pattern(100000));
}

TEST_F(Http, OversizedHeaderBlockGivesBlanks) {
  char* url = HeapText("http://tieba.baidu.com/bigheaders?size=4000");
  char* responseHeaders = nullptr;
  std::string body = TakeBytes(
      网页_访问(&url, 0, nullptr, nullptr, nullptr, nullptr, 0, &responseHeaders));
  EXPECT_EQ(body, "small body");
  EXPECT_EQ(std::string(responseHeaders), std::string(2048, ' '));
  MemFree(url);
  MemFree(responseHeaders);
}

TEST_F(Http, ConversionsToGbk) {
  EXPECT_EQ(Fetch("http://tieba.baidu.com/utf8", 1), "张三 ok");
  std::string big5 = Fetch("http://tieba.baidu.com/big5", 2);
  EXPECT_TRUE(big5 == "体 ok" || big5 == "體 ok") << big5;
  // Without conversion the bytes stay as sent.
  EXPECT_EQ(Fetch("http://tieba.baidu.com/utf8"), "\xE5\xBC\xA0\xE4\xB8\x89 ok");
}

TEST_F(Http, FailuresGiveEmptyResult) {
  EXPECT_EQ(Fetch("http://www.baidu.com:81/refused"), "");
  EXPECT_EQ(Fetch("http://no-such-host.invalid/x"), "");
  EXPECT_EQ(Fetch("http://tieba.baidu.com/reset"), "");
  // A later request still works: nothing was left half open.
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "<html>MARKER-PAGE</html>");
}

// What the routine read is returned either way; whether it is the whole response is told
// apart: error pages and redirected pages are whole, a page cut short against its
// Content-Length, one cut by a reset and one without a status line are not, and a redirect
// loop is left after ten redirects with nothing.
TEST_F(Http, PartlyReadPagesComeBackAsReadButNotComplete) {
  struct Case {
    const char* path;
    const char* body;   // null: the body is not compared
    bool complete;
  };
  const Case cases[] = {
      {"/marker", "<html>MARKER-PAGE</html>", true},
      {"/no-such-page", "not here", true},
      {"/redirect?to=http://www.baidu.com/marker", "<html>MARKER-PAGE</html>", true},
      {"/p/hostile-short", "<html><body>profile of hostile-short</body></html>", false},
      {"/p/hostile-reset", nullptr, false},
      {"/p/hostile-nostatus", nullptr, false},
      {"/p/hostile-loop", "", false},
  };
  for (const Case& c : cases) {
    std::string body = Fetch(std::string("http://www.baidu.com") + c.path);
    if (c.body) {
      EXPECT_EQ(body, c.body) << c.path;
    }
    EXPECT_EQ(LastPageComplete(), c.complete) << c.path;
  }
  size_t loop = 0;
  for (const std::string& r : NewRequests()) loop += r.rfind("GET /p/hostile-loop ", 0) == 0;
  EXPECT_EQ(loop, 11u) << "the first request and ten redirects";
}

TEST_F(Http, WaitingMessagesAreDispatchedDuringTheRequest) {
  DispatchCounter counter;
  counter.Post();
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "<html>MARKER-PAGE</html>");
  EXPECT_EQ(counter.Dispatched(), 1);
}

TEST_F(Http, BadMethodShowsNoticeAndSendsNothing) {
  char* url = HeapText("http://www.baidu.com/echo");
  BoxWatcher watcher;
  uint8_t* body = 网页_访问(&url, 2);
  BoxSeen seen = watcher.Wait();
  EXPECT_EQ(body, nullptr);
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.text, "【网页_访问】命令的第二个【访问方式】参数有误,请返回修改");
  EXPECT_EQ(seen.caption, "友情提醒");
  EXPECT_TRUE(NewRequests().empty());
  MemFree(url);
}


// The lines the routine adds for an address given alone, as sent for `address`.
std::string RoutineLines(const std::string& address) {
  return kAcceptLine + "Referer: " + address + "\r\nAccept-Language: zh-cn\r\n";
}

// Redirects are followed by the routine: the same header lines on every leg (the Referer of
// the first address), cookies a redirect sets sent on the next leg, locations relative to the
// host or to the folder, other hosts, and WinINet's method rules.
TEST_F(Http, RedirectsAreFollowedWithTheSameLines) {
  const std::string first = "http://hi.baidu.com/moved?to=/echo&cookie=leg%3D7";
  std::string body = Fetch(first);
  EXPECT_TRUE(LastPageComplete());
  EXPECT_EQ(body.rfind("GET /echo HTTP/1.1\r\n", 0), 0u) << body;
  std::vector<std::string> legs = NewRequests();
  ASSERT_EQ(legs.size(), 2u);
  for (const std::string& leg : legs) {
    EXPECT_NE(leg.find(kUserAgent), std::string::npos) << leg;
    EXPECT_NE(leg.find("\r\n" + RoutineLines(first)), std::string::npos) << leg;
  }
  size_t cookie = legs[1].find("\r\nCookie: ");
  ASSERT_NE(cookie, std::string::npos) << legs[1];
  EXPECT_NE(legs[1].find("leg=7", cookie), std::string::npos) << legs[1];

  body = Fetch("http://tieba.baidu.com/moved?status=301&to=http%3A%2F%2Fwww.baidu.com%2Fecho");
  EXPECT_EQ(body.rfind("GET /echo HTTP/1.1\r\nHost: www.baidu.com\r\n", 0), 0u) << body;
  EXPECT_EQ(Fetch("http://www.baidu.com/moved?status=307&to=marker"), "<html>MARKER-PAGE</html>");

  // After a POST: 301, 302 and 303 make the next leg a GET without the data or its form and
  // length lines; 307 and 308 send the same POST again, data included.
  struct Case { const char* status; const char* start; bool keepsData; };
  for (const Case& c : {Case{"301", "GET", false}, Case{"302", "GET", false}, Case{"303", "GET", false},
                        Case{"307", "POST", true}, Case{"308", "POST", true}}) {
    Restart();
    char* url = HeapText(std::string("http://www.baidu.com/moved?status=") + c.status + "&to=/echo");
    char* data = HeapText("a=1&b=2");
    std::string echo = TakeBytes(网页_访问(&url, 1, nullptr, nullptr, &data));
    legs = NewRequests();
    ASSERT_EQ(legs.size(), 2u) << c.status;
    EXPECT_EQ(legs[0].rfind("POST /moved?", 0), 0u) << legs[0];
    EXPECT_EQ(legs[0].substr(legs[0].size() - 7), "a=1&b=2") << legs[0];
    EXPECT_EQ(legs[1], echo) << c.status;
    EXPECT_EQ(echo.rfind(std::string(c.start) + " /echo HTTP/1.1\r\n", 0), 0u) << c.status << echo;
    for (const std::string line : {"\r\nContent-Length: 7\r\n",
                                   "\r\nContent-Type: application/x-www-form-urlencoded\r\n"})
      EXPECT_EQ(echo.find(line) != std::string::npos, c.keepsData) << c.status << echo;
    EXPECT_EQ(echo.substr(echo.size() - 4) == "\r\n\r\n", !c.keepsData) << c.status << echo;
    EXPECT_EQ(echo.size() > 7 && echo.substr(echo.size() - 7) == "a=1&b=2", c.keepsData) << echo;
    MemFree(url);
    MemFree(data);
  }
}

// A redirect to https is followed over TLS on 443 with the same lines, the cookie the redirect
// set and Host without a port, as WinINet's own following makes it; back to http the next leg
// is plain again. A server whose certificate is not trusted, or does not name it, is a failure.
TEST_F(Http, RedirectsToHttpsAreFollowedOverTls) {
  const std::string first = "http://hi.baidu.com/moved?to=https%3A%2F%2Fhi.baidu.com%2Fecho&cookie=tls%3D9";
  std::string echo = Fetch(first);
  EXPECT_TRUE(LastPageComplete());
  EXPECT_EQ(echo.rfind("GET /echo HTTP/1.1\r\nHost: hi.baidu.com\r\n", 0), 0u) << echo;
  EXPECT_NE(echo.find("\r\n" + RoutineLines(first)), std::string::npos) << echo;
  EXPECT_NE(echo.find("tls=9"), std::string::npos) << echo;
  EXPECT_EQ(NewSchemes(), (std::vector<std::string>{"http 80", "https 443"}));

  Restart();
  EXPECT_EQ(Fetch("http://www.baidu.com/moved?to=https%3A%2F%2Fwww.baidu.com%2Fmoved%3Fto%3Dhttp%253A%252F%252Fwww.baidu.com%252Fmarker"),
            "<html>MARKER-PAGE</html>");
  EXPECT_EQ(NewSchemes(), (std::vector<std::string>{"http 80", "https 443", "http 80"})) << "https to http";

  for (const char* host : {"untrusted.test", "wrongname.test"}) {
    Restart();
    EXPECT_EQ(Fetch(std::string("http://www.baidu.com/moved?to=https%3A%2F%2F") + host + "%2Fmarker"), "") << host;
    EXPECT_FALSE(LastPageComplete()) << host;
    EXPECT_EQ(LastPageStatus(), 0u) << host;
  }
}

// The value of an echoed request's Cookie line; "" when it has none.
std::string CookieLine(const std::string& request) {
  size_t at = request.find("\r\nCookie: ");
  if (at == std::string::npos) return "";
  at += 10;
  return request.substr(at, request.find("\r\n", at) - at);
}

// Cookies stay with the host and the scheme of the answer that set them: after a redirect to
// another host whose page sets cookies, the first host gets none of them; cookies set over TLS
// (by a redirect's TLS leg and by a TLS page) go on later TLS legs to their host, after those
// set over plain HTTP, and never on a plain request.
TEST_F(Http, CookiesStayWithTheHostAndSchemeThatSetThem) {
  std::ofstream(RecordDirectory() + "\\overrides.json", std::ios::binary)
      << R"({"other.test/tls-page": {"status": 200, "body": "set", "headers": [["Set-Cookie", "tlsPage=4; path=/; Max-Age=600"]]}})";
  EXPECT_EQ(Fetch("http://www.baidu.com/moved?to=http%3A%2F%2Fother.test%2Fsetcookie"), "cookies set");
  EXPECT_EQ(Fetch("http://www.baidu.com/moved?to=https%3A%2F%2Fother.test%2Fmoved%3Fto%3D%252Ftls-page%26cookie%3DtlsLeg%253D3"),
            "set");
  EXPECT_EQ(NewSchemes(), (std::vector<std::string>{"http 80", "http 80", "http 80", "https 443", "https 443"}));
  EXPECT_EQ(CookieLine(Fetch("http://www.baidu.com/echo")), "");
  EXPECT_EQ(CookieLine(Fetch("http://other.test/echo")), "alpha=1; beta=two");
  EXPECT_EQ(CookieLine(Fetch("http://other.test/moved?to=https%3A%2F%2Fother.test%2Fecho")),
            "alpha=1; beta=two; tlsLeg=3; tlsPage=4");
  EXPECT_EQ(CookieLine(Fetch("http://www.baidu.com/moved?to=https%3A%2F%2Fwww.baidu.com%2Fecho")), "");
  DeleteFileA((RecordDirectory() + "\\overrides.json").c_str());
}

// The target of the leg after a redirect to `location`, made by the routine and by WinINet's own
// following (a plain InternetOpenUrlA), from the requests the stand-in recorded.
struct Legs { std::string ours, platforms; };

// Redirect targets as WinINet's own following requests them, with the differences that its
// implementation here has from RFC 3986 (an empty reference, a lone query, a fragment sent on the
// request line) asserted as RFC 3986 resolves them. A Location longer than the first buffer
// is read whole.
TEST_F(Http, LocationsResolveAsWinInetsOwnFollowingResolvesThem) {
  auto legs = [&](const std::string& location) {
    std::string json = "{\"www.baidu.com/go/here\": {\"status\": 302, \"headers\": [[\"Location\", \"" + location + "\"]]}}";
    std::ofstream(RecordDirectory() + "\\overrides.json", std::ios::binary) << json;
    const std::string address = "http://www.baidu.com/go/here?from=x";
    Legs out;
    Restart();
    Fetch(address);
    std::vector<std::string> ours = NewRequests();
    out.ours = ours.size() >= 2 ? Target(ours[1]) : "(none)";
    Restart();
    HINTERNET internet = InternetOpenA("probe", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (HINTERNET page = InternetOpenUrlA(internet, address.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0)) {
      char buffer[1024];
      DWORD n = 1;
      while (n && InternetReadFile(page, buffer, sizeof buffer, &n)) {}
      InternetCloseHandle(page);
    }
    InternetCloseHandle(internet);
    std::vector<std::string> platforms = NewRequests();
    out.platforms = platforms.size() >= 2 ? Target(platforms[1]) : "(none)";
    DeleteFileA((RecordDirectory() + "\\overrides.json").c_str());
    return out;
  };
  for (const char* location : {"/marker?x=1", "sibling", "./sibling", "../up", "//www.baidu.com/marker",
                               "HTTP://www.baidu.com/Marker", "/sp ace"}) {
    Legs l = legs(location);
    EXPECT_EQ(l.ours, l.platforms) << location;
  }
  // Longer than the 2048 bytes first asked for; Wine's WinINet cuts a header line at 4 KB.
  const std::string longPath = "/marker?" + std::string(3000, 'q');
  struct Rfc { std::string location, expected; };
  for (const Rfc& c : {Rfc{"?a=1", "/go/here?a=1"}, Rfc{"", "/go/here?from=x"}, Rfc{"/marker#part", "/marker"},
                       Rfc{"/\\u00d5\\u00c5", "/%D5%C5"}, Rfc{longPath, longPath}}) {
    Legs l = legs(c.location);
    EXPECT_EQ(l.ours, c.expected) << c.location.substr(0, 20) << " (" << l.ours.size() << " bytes)";
    if (l.platforms != c.expected)
      std::printf("platform difference: %s -> %s\n", c.location.substr(0, 20).c_str(), l.platforms.substr(0, 20).c_str());
  }
}

// Pages fetched through PendingPage: the same request as 网页_访问 with the address alone, and
// sixteen in flight at once (the stand-in answers none of them before it holds all sixteen).
TEST_F(Http, PendingPagesAreFetchedTogether) {
  std::string alone = Fetch(" www.baidu.com/echo");
  {
    web::PendingPage page(" www.baidu.com/echo");
    web::PendingPage* one = &page;
    while (!page.Finished()) ASSERT_TRUE(web::WaitForPages(&one, 1, 0xFFFFFFFF));
    EXPECT_TRUE(page.Complete());
    EXPECT_EQ(TakeBytes(page.TakeBody()), alone) << "byte for byte";
  }

  web::AllowConnectionsPerServer(16);
  DWORD connections = 0, size = sizeof connections;
  ASSERT_TRUE(InternetQueryOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections, &size));
  EXPECT_GE(connections, 16u);
  std::vector<std::unique_ptr<web::PendingPage>> pages;
  std::vector<web::PendingPage*> list;
  for (int i = 0; i < 16; ++i) {
    pages.push_back(std::make_unique<web::PendingPage>("http://tieba.baidu.com/gather?id=sixteen&n=16"));
    list.push_back(pages.back().get());
  }
  DispatchCounter counter;
  counter.Post();
  int waits = 0;
  auto unfinished = [&] { return std::count_if(list.begin(), list.end(), [](auto* p) { return !p->Finished(); }); };
  while (unfinished() > 0 && waits++ < 16) ASSERT_TRUE(web::WaitForPages(list.data(), list.size(), 0xFFFFFFFF));
  EXPECT_EQ(unfinished(), 0) << "every wait sees at least one more page finish";
  EXPECT_GE(counter.Dispatched(), 1);
  for (auto* page : list) {
    EXPECT_TRUE(page->Complete());
    EXPECT_EQ(TakeBytes(page->TakeBody()), "together");
  }
}

// Threads of this process. The test framework starts a thread of its own the first time the
// test's thread keeps a trace or reports a failure: it is started before the first count, so
// that it never counts as new.
size_t ThreadsOfThisProcess() {
  { SCOPED_TRACE("threads"); }
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{sizeof entry};
  size_t count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    count += entry.th32OwnerProcessID == GetCurrentProcessId();
  CloseHandle(snapshot);
  return count;
}

// Runs sixteen exchanges at once (the stand-in answers none before it holds all sixteen), which
// leaves the idle pool full: later exchanges, one at a time or sixteen at once, need no new
// thread. Returns the threads of this process then.
size_t ThreadsWithAFullPool() {
  static int round = 0;
  const std::string address = "http://tieba.baidu.com/gather?n=16&id=pool" + std::to_string(++round);
  web::AllowConnectionsPerServer(16);
  std::vector<std::unique_ptr<web::PendingPage>> pages;
  std::vector<web::PendingPage*> list;
  for (int i = 0; i < 16; ++i) {
    pages.push_back(std::make_unique<web::PendingPage>(address.c_str()));
    list.push_back(pages.back().get());
  }
  while (std::any_of(list.begin(), list.end(), [](auto* p) { return !p->Finished(); }))
    if (!web::WaitForPages(list.data(), list.size(), 0xFFFFFFFF)) break;
  for (auto* page : list) EXPECT_EQ(TakeBytes(page->TakeBody()), "together");
  return ThreadsOfThisProcess();
}

// Makes tieba.baidu.com/held-NAME hold its answer ("held") until ReleaseHeld(NAME); returns its
// address. Each name is released once, for good.
std::string HoldPage(const std::string& name) {
  std::ofstream(RecordDirectory() + "\\overrides.json", std::ios::binary)
      << "{\"tieba.baidu.com/held-" << name << "\": {\"hold\": \"" << name << "\", \"body\": \"held\"}}";
  return "http://tieba.baidu.com/held-" + name;
}
void ReleaseHeld(const std::string& name) {
  std::ofstream(RecordDirectory() + "\\release-" + name);
  DeleteFileA((RecordDirectory() + "\\overrides.json").c_str());
}

// Exchanges one after another hand their helper back to the idle pool: fifty of them start no
// thread.
TEST_F(Http, HelpersAreReused) {
  const size_t threads = ThreadsWithAFullPool();
  for (int i = 0; i < 50; ++i)
    ASSERT_EQ(Fetch("http://tieba.baidu.com/marker"), "<html>MARKER-PAGE</html>") << i;
  EXPECT_LE(ThreadsOfThisProcess(), threads) << "threads before: " << threads;
}

// Exchanges abandoned while their server holds the answer leave their helpers inside the send;
// past the bound of such helpers a new page fails at once, sending nothing, rather than making
// its blocking calls on the calling thread. Once the server answers, the helpers end and pages
// go through again.
TEST_F(Http, AbandonedHelpersAreBounded) {
  const size_t threadsBefore = ThreadsWithAFullPool();
  web::AllowConnectionsPerServer(64);
  const uint32_t left = web::AbandonedHelpers();   // earlier tests may leave some
  const uint32_t more = web::kMaxAbandonedHelpers - left;
  const std::string held = HoldPage("bound");
  {
    std::vector<std::unique_ptr<web::PendingPage>> dropped;
    for (uint32_t i = 0; i < more; ++i)
      dropped.push_back(std::make_unique<web::PendingPage>((held + "?n=" + std::to_string(i)).c_str()));
    ASSERT_TRUE(WaitForRequests(more));
  }
  EXPECT_EQ(web::AbandonedHelpers(), web::kMaxAbandonedHelpers);
  Restart();
  web::PendingPage refused("http://tieba.baidu.com/marker");
  EXPECT_TRUE(refused.Finished());
  EXPECT_FALSE(refused.Complete());
  EXPECT_TRUE(NewRequests().empty());
  EXPECT_LE(ThreadsOfThisProcess(), threadsBefore + more + 1);
  ReleaseHeld("bound");
  for (int polls = 0; polls < 1200 && (web::AbandonedHelpers() > left ||
                                       ThreadsOfThisProcess() > threadsBefore); ++polls)
    Sleep(50);
  EXPECT_LE(web::AbandonedHelpers(), left);
  EXPECT_LE(ThreadsOfThisProcess(), threadsBefore) << "every dropped page's helper ended";
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "<html>MARKER-PAGE</html>");
}

// Spies bound in place of the WinINet commands: they record every handle opened and closed,
// and can make one of the three opening calls fail.
struct HandleLog {
  std::vector<std::string> events;
  int failAt = 0;   // 1: InternetOpenW, 2: InternetConnectW, 3: HttpOpenRequestW
  HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
  std::string Name(HINTERNET h) const {
    return h == internet ? "internet" : h == connection ? "connection" : h == request ? "request" : "other";
  }
} g_handleLog;

// WinINet handles the exchanges opened and have not closed yet, on whichever thread.
std::atomic<int> g_openHandles{0};
HINTERNET Opened(HINTERNET handle) {
  if (handle) ++g_openHandles;
  return handle;
}

HINTERNET WINAPI SpyOpen(LPCWSTR agent, DWORD type, LPCWSTR proxy, LPCWSTR bypass, DWORD flags) {
  if (g_handleLog.failAt == 1) return nullptr;
  return g_handleLog.internet = Opened(InternetOpenW(agent, type, proxy, bypass, flags));
}
HINTERNET WINAPI SpyConnect(HINTERNET internet, LPCWSTR server, INTERNET_PORT port, LPCWSTR user,
                            LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context) {
  if (g_handleLog.failAt == 2) return nullptr;
  return g_handleLog.connection =
             Opened(InternetConnectW(internet, server, port, user, password, service, flags, context));
}
// When set, requests are opened without INTERNET_FLAG_NO_CACHE_WRITE: WinINet may then keep
// their pages in the user's Internet cache.
bool g_cacheWrites = false;
HINTERNET WINAPI SpyOpenRequest(HINTERNET connection, LPCWSTR verb, LPCWSTR object, LPCWSTR version,
                                LPCWSTR referrer, LPCWSTR* accept, DWORD flags, DWORD_PTR context) {
  if (g_handleLog.failAt == 3) return nullptr;
  if (g_cacheWrites) flags &= ~static_cast<DWORD>(INTERNET_FLAG_NO_CACHE_WRITE);
  return g_handleLog.request =
             Opened(HttpOpenRequestW(connection, verb, object, version, referrer, accept, flags, context));
}
struct CookieCall {
  std::string url, name, value;
  bool operator==(const CookieCall&) const = default;
};
void PrintTo(const CookieCall& c, std::ostream* os) { *os << c.url << " " << c.name << "=" << c.value; }
std::vector<CookieCall> g_cookieCalls;
std::string Str(const char* s) { return s ? s : "(null)"; }
BOOL WINAPI SpySetCookie(LPCSTR url, LPCSTR name, LPCSTR data) {
  g_cookieCalls.push_back({Str(url), Str(name), Str(data)});
  return InternetSetCookieA(url, name, data);
}
BOOL WINAPI SpyClose(HINTERNET handle) {
  g_handleLog.events.push_back(g_handleLog.Name(handle));
  --g_openHandles;
  return InternetCloseHandle(handle);
}
// The helper of an abandoned exchange closes its handles itself.
BOOL WINAPI SpyHelperClose(HINTERNET handle) {
  --g_openHandles;
  return InternetCloseHandle(handle);
}
// The tick count the exchanges see: the system's, moved on by g_tickShift, so that a test can
// start an exchange just before the 32-bit count wraps and move its clock past the deadline.
std::atomic<DWORD> g_tickShift{0};
DWORD WINAPI SpyTickCount() { return GetTickCount() + g_tickShift.load(); }
// The exchange's calls in the order they are made, on whichever thread: "send",
// "available <count>", "read <count>", "query <level>". The helper threads call them through
// addresses taken with GetProcAddress, so the spies are handed out there.
std::vector<std::string> g_exchangeCalls;
std::mutex g_exchangeCallsLock;
void NoteCall(std::string call) {
  std::lock_guard<std::mutex> lock(g_exchangeCallsLock);
  g_exchangeCalls.push_back(std::move(call));
}
BOOL WINAPI SpySend(HINTERNET request, LPCWSTR headers, DWORD length, LPVOID optional, DWORD optionalLength) {
  NoteCall("send");
  return HttpSendRequestW(request, headers, length, optional, optionalLength);
}
BOOL WINAPI SpyAvailable(HINTERNET file, LPDWORD available, DWORD flags, DWORD_PTR context) {
  BOOL ok = InternetQueryDataAvailable(file, available, flags, context);
  NoteCall("available " + std::to_string(ok ? *available : 0));
  return ok;
}
BOOL WINAPI SpyRead(HINTERNET file, LPVOID buffer, DWORD size, LPDWORD count) {
  BOOL ok = InternetReadFile(file, buffer, size, count);
  NoteCall("read " + std::to_string(*count));
  return ok;
}
// When set, a Location query answers that it needs this many bytes.
DWORD g_locationNeeds = 0;
BOOL WINAPI SpyQuery(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index) {
  NoteCall("query " + std::to_string(level));
  if (level == HTTP_QUERY_LOCATION && g_locationNeeds > *length) {
    *length = g_locationNeeds;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  return HttpQueryInfoA(request, level, buffer, length, index);
}
FARPROC WINAPI SpyGetProcAddress(HMODULE module, LPCSTR name) {
  const std::pair<const char*, void*> spies[] = {
      {"HttpSendRequestW", reinterpret_cast<void*>(&SpySend)},
      {"InternetQueryDataAvailable", reinterpret_cast<void*>(&SpyAvailable)},
      {"InternetReadFile", reinterpret_cast<void*>(&SpyRead)},
      {"HttpQueryInfoA", reinterpret_cast<void*>(&SpyQuery)},
      {"InternetCloseHandle", reinterpret_cast<void*>(&SpyHelperClose)},
      {"GetTickCount", reinterpret_cast<void*>(&SpyTickCount)}};
  for (const auto& [spied, spy] : spies)
    if (HIWORD(name) && std::strcmp(name, spied) == 0) return reinterpret_cast<FARPROC>(spy);
  return GetProcAddress(module, name);
}

class HttpHandles : public Http {
 protected:
  void SetUp() override {
    Http::SetUp();
    g_handleLog = HandleLog{};
    g_cookieCalls.clear();
    Spy(dll::kInternetSetCookie, reinterpret_cast<void*>(&SpySetCookie));
    Spy(dll::kInternetOpen, reinterpret_cast<void*>(&SpyOpen));
    Spy(dll::kInternetConnect, reinterpret_cast<void*>(&SpyConnect));
    Spy(dll::kHttpOpenRequest, reinterpret_cast<void*>(&SpyOpenRequest));
    Spy(dll::kInternetCloseHandle, reinterpret_cast<void*>(&SpyClose));
    g_exchangeCalls.clear();
    Spy(dll::kGetProcAddress, reinterpret_cast<void*>(&SpyGetProcAddress));
    g_openHandles = 0;
    g_tickShift = 0;
    Spy(dll::kGetTickCount, reinterpret_cast<void*>(&SpyTickCount));
  }
  void TearDown() override {
    // Unbound again: the next call binds the real functions.
    for (uint32_t c : {dll::kInternetOpen, dll::kInternetConnect, dll::kHttpOpenRequest,
                       dll::kInternetCloseHandle, dll::kInternetSetCookie, dll::kGetProcAddress,
                       dll::kGetTickCount})
      rt::TheApp().dll.addresses[c] = nullptr;
    Http::TearDown();
  }
  static void Spy(uint32_t command, void* routine) { rt::TheApp().dll.addresses[command] = routine; }
  std::vector<std::string> Closed() const { return g_handleLog.events; }
};

using Order = std::vector<std::string>;

TEST_F(HttpHandles, ClosedInReverseOrderOnEveryPath) {
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "<html>MARKER-PAGE</html>");
  EXPECT_EQ(Closed(), (Order{"request", "connection", "internet"}));

  g_handleLog = HandleLog{};
  EXPECT_EQ(Fetch("http://www.baidu.com:81/refused"), "");
  EXPECT_EQ(Closed(), (Order{"request", "connection", "internet"})) << "failed send";

  g_handleLog = HandleLog{};
  g_handleLog.failAt = 3;
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "");
  EXPECT_EQ(Closed(), (Order{"connection", "internet"})) << "request not opened";

  g_handleLog = HandleLog{};
  g_handleLog.failAt = 2;
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "");
  EXPECT_EQ(Closed(), (Order{"internet"})) << "connection not opened";

  g_handleLog = HandleLog{};
  g_handleLog.failAt = 1;
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "");
  EXPECT_TRUE(Closed().empty()) << "nothing opened";
}

// Checks one leg's calls from `at` on: the send, then reads each asking for no more than was
// available (at most 1024 bytes), up to nothing available, then the status, the Location (of a
// redirect only), the header block and the announced length. Returns the bytes read.
size_t CheckLeg(const Order& calls, size_t& at, bool redirect) {
  const auto take = [&](const std::string& word) -> long {
    if (at >= calls.size() || calls[at].rfind(word + " ", 0) != 0) {
      ADD_FAILURE() << "call " << at << ": expected " << word << ", got "
                    << (at < calls.size() ? calls[at] : "nothing");
      at = calls.size();
      return -1;
    }
    return std::stol(calls[at++].substr(word.size() + 1));
  };
  EXPECT_LT(at, calls.size());
  EXPECT_EQ(at < calls.size() ? calls[at++] : "", "send");
  size_t total = 0;
  for (long available; (available = take("available")) > 0;) {
    long read = take("read");
    EXPECT_EQ(read, std::min<long>(available, 1024)) << "call " << at - 1;
    total += read > 0 ? read : 0;
  }
  EXPECT_EQ(take("query"), 0x20000013) << "status";
  if (redirect) {
    EXPECT_EQ(take("query"), 33) << "location";
  }
  EXPECT_EQ(take("query"), 22) << "header block";
  EXPECT_EQ(take("query"), 0x20000005) << "announced length";
  return total;
}

// However the calls are spread over the threads, each leg is one send, reads of what is there
// up to the end of the body, then the header queries; a redirect's leg comes first.
TEST_F(HttpHandles, ExchangeMakesItsCallsInOrder) {
  const size_t size = 40000;
  ASSERT_EQ(Fetch("http://tieba.baidu.com/big?size=" + std::to_string(size)).size(), size);
  size_t at = 0;
  EXPECT_EQ(CheckLeg(g_exchangeCalls, at, false), size);
  EXPECT_EQ(at, g_exchangeCalls.size());

  g_exchangeCalls.clear();
  g_handleLog = HandleLog{};
  EXPECT_EQ(Fetch("http://tieba.baidu.com/redirect?to=/marker"), "<html>MARKER-PAGE</html>");
  at = 0;
  EXPECT_EQ(CheckLeg(g_exchangeCalls, at, true), 0u);
  EXPECT_EQ(CheckLeg(g_exchangeCalls, at, false), 24u);
  EXPECT_EQ(at, g_exchangeCalls.size());
  EXPECT_EQ(Closed(), (Order{"request", "connection", "request", "connection", "internet"}))
      << "each leg its connection and request, the exchange its internet handle";
}

// A Location longer than the buffer is asked again with the room the query names, up to a
// limit; a longer one fails the exchange rather than letting the redirect's own page be judged.
TEST_F(HttpHandles, LocationsOfAnyLengthAreReadUpToTheLimit) {
  g_locationNeeds = 3000;
  EXPECT_EQ(Fetch("http://tieba.baidu.com/redirect?to=/marker"), "<html>MARKER-PAGE</html>");
  g_locationNeeds = 1u << 20;
  EXPECT_EQ(Fetch("http://tieba.baidu.com/redirect?to=/marker"), "");
  EXPECT_FALSE(LastPageComplete());
  g_locationNeeds = 0;
}

TEST_F(HttpHandles, SetCookieLinesGoToTheCookieStoreInOrder) {
  EXPECT_EQ(Fetch("http://hi.baidu.com/setcookie"), "cookies set");
  EXPECT_EQ(g_cookieCalls, (std::vector<CookieCall>{{"http://hi.baidu.com/setcookie", "alpha", "1; path=/"},
                                                  {"http://hi.baidu.com/setcookie", "beta", "two; path=/"}}));
  // Without "=" the name is empty (passed as null) and the value is the whole rest.
  g_cookieCalls.clear();
  Fetch("http://hi.baidu.com/cookie-noeq");
  EXPECT_EQ(g_cookieCalls, (std::vector<CookieCall>{{"http://hi.baidu.com/cookie-noeq", "(null)", "lonely"}}));
  // An oversized header block reads as blanks, so none of its cookies is stored by the routine.
  g_cookieCalls.clear();
  Fetch("http://hi.baidu.com/bigheaders?size=4000");
  EXPECT_TRUE(g_cookieCalls.empty());
}

TEST_F(HttpHandles, ControlByteInHeadersNeitherStallsNorLosesCookies) {
  // A header holding 0x1A stands before two Set-Cookie lines: the routine returns, and both
  // cookies after it are stored.
  EXPECT_EQ(Fetch("http://hi.baidu.com/ctrlz-cookie"), "ok");
  EXPECT_EQ(g_cookieCalls, (std::vector<CookieCall>{{"http://hi.baidu.com/ctrlz-cookie", "gamma", "3; path=/"},
                                                  {"http://hi.baidu.com/ctrlz-cookie", "delta", "4; path=/"}}));
}

// Waits (a minute at most) until the helpers of dropped exchanges have closed every handle,
// freed their records and ended, then expects no handle open, no exchange record alive and no
// more threads than `threads` with a full pool.
void ExpectEverythingGivenBack(size_t threads) {
  for (int polls = 0; polls < 1200 && (g_openHandles > 0 || web::LiveExchangeRecords() > 0 ||
                                       ThreadsOfThisProcess() > threads); ++polls)
    Sleep(50);
  EXPECT_EQ(g_openHandles, 0) << "handles of dropped exchanges";
  EXPECT_EQ(web::LiveExchangeRecords(), 0u) << "records of ended exchanges";
  EXPECT_LE(ThreadsWithAFullPool(), threads) << "a dropped exchange's helper neither ended nor went back to the pool";
}

// A long list as the parallel check asks it: three hundred pages, sixteen in flight, every
// other one through a redirect to TLS. Each page comes whole, and once they are over no
// handle is open, no exchange record is alive and no thread runs beyond the full pool.
TEST_F(HttpHandles, ALongListGivesBackEveryHandleRecordAndThread) {
  const size_t threads = ThreadsWithAFullPool();
  g_openHandles = 0;
  const std::string plain = "http://tieba.baidu.com/marker";
  const std::string redirected = "http://hi.baidu.com/moved?to=https%3A%2F%2Fhi.baidu.com%2Fmarker";
  std::vector<std::unique_ptr<web::PendingPage>> pages(300);
  size_t started = 0, whole = 0;
  auto inFlight = [&] {
    std::vector<web::PendingPage*> list;
    for (auto& page : pages)
      if (page && !page->Finished()) list.push_back(page.get());
    return list;
  };
  while (whole < pages.size()) {
    std::vector<web::PendingPage*> list = inFlight();
    for (; list.size() < 16 && started < pages.size(); ++started) {
      pages[started] = std::make_unique<web::PendingPage>((started % 2 ? redirected : plain).c_str());
      list.push_back(pages[started].get());
    }
    ASSERT_TRUE(web::WaitForPages(list.data(), list.size(), 0xFFFFFFFF));
    for (auto& page : pages) {
      if (!page || !page->Finished()) continue;
      EXPECT_TRUE(page->Complete());
      EXPECT_EQ(TakeBytes(page->TakeBody()), "<html>MARKER-PAGE</html>");
      page.reset();
      ++whole;
    }
  }
  ExpectEverythingGivenBack(threads);
}

// No page is written to the user's Internet cache, over plain HTTP or over TLS, and the request
// on the wire is byte for byte the one the same exchange sends when WinINet may keep its page
// there (which it then does: that is where pages would go).
TEST_F(HttpHandles, PagesStayOutOfTheUrlCacheWithTheSameRequestOnTheWire) {
  const std::vector<std::string> before = UrlCacheFiles();
  const std::string address = "http://www.baidu.com/echo?cache=kept";
  g_cacheWrites = true;
  const std::string kept = Fetch(address);
  g_cacheWrites = false;
  ASSERT_FALSE(NewUrlCacheFiles(before).empty()) << "the page WinINet may keep";
  const std::vector<std::string> withOnePage = UrlCacheFiles();
  EXPECT_EQ(Fetch(address), kept) << "the echoed request";
  EXPECT_EQ(Fetch("http://hi.baidu.com/moved?to=https%3A%2F%2Fhi.baidu.com%2Fmarker"), "<html>MARKER-PAGE</html>");
  EXPECT_EQ(NewUrlCacheFiles(withOnePage), std::vector<std::string>{});
}

// Once the program is ending (the quit message waits), waiting gives up at once and leaves the
// pages unfinished, and the routine itself returns at once with nothing. A page dropped then
// gives back its thread and its handles: one whose call is still blocked as soon as its server
// answers, one whose leg has ended at once.
TEST_F(HttpHandles, ProgramEndingLeavesPagesUnfinished) {
  const size_t threads = ThreadsWithAFullPool();
  const uint32_t abandoned = web::AbandonedHelpers();
  const HANDLE legFinished = reinterpret_cast<HANDLE>(web::LegFinishedEvent());
  WaitForSingleObject(legFinished, 0);   // drops an earlier leg's signal that no wait took
  const std::string held = HoldPage("ending");
  {
    web::PendingPage blocked(held.c_str());
    ASSERT_TRUE(WaitForRequests(1));
    web::PendingPage answered("http://tieba.baidu.com/marker");
    web::PendingPage* both[] = {&blocked, &answered};
    PostQuitMessage(0);
    EXPECT_FALSE(web::WaitForPages(both, 2, 0xFFFFFFFF));
    EXPECT_FALSE(blocked.Finished());
    EXPECT_FALSE(answered.Finished());
    EXPECT_EQ(Fetch(held), "");
    EXPECT_FALSE(LastPageComplete());
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(WaitForSingleObject(legFinished, 60000), WAIT_OBJECT_0) << "the answered page's leg ended";
  }
  ReleaseHeld("ending");
  ExpectEverythingGivenBack(threads);
  EXPECT_LE(web::AbandonedHelpers(), abandoned);
}

// The exchanges' clock is the 32-bit tick count, which changes sign and wraps: an exchange whose
// clock starts just before either keeps its 60 s and still ends at its deadline after it. Before
// the deadline pages come whole, through a redirect and held across the wrap; past it, a page
// whose body drips ends incomplete (with no more than was read), and one whose server holds its
// answer (the send itself blocks then) ends empty. Calls still running are left to their
// helpers, which give back their threads and handles once the server answers.
TEST_F(HttpHandles, DeadlinesHoldAcrossTheTickCountersWrap) {
  const size_t threads = ThreadsWithAFullPool();
  for (DWORD start : {0xFFFFFFFFu - 5000, 0x7FFFFFFFu - 5000}) {
    const std::string name = std::to_string(start);
    SCOPED_TRACE("clock starting at " + name);
    g_tickShift = start - GetTickCount();
    EXPECT_EQ(Fetch("http://tieba.baidu.com/redirect?to=/marker"), "<html>MARKER-PAGE</html>");
    Restart();
    const std::string across = HoldPage("across" + name);
    web::PendingPage page(across.c_str());
    web::PendingPage* one = &page;
    ASSERT_TRUE(WaitForRequests(1));
    web::WaitForPages(&one, 1, 0);   // advanced while its call is blocked, before the wrap
    EXPECT_FALSE(page.Finished());
    g_tickShift += 30000;            // past the wrap, before the deadline
    ReleaseHeld("across" + name);
    while (!page.Finished()) ASSERT_TRUE(web::WaitForPages(&one, 1, 0xFFFFFFFF));
    EXPECT_TRUE(page.Complete());
    EXPECT_EQ(TakeBytes(page.TakeBody()), "held");

    Restart();
    g_tickShift = start - GetTickCount();
    const std::string held = HoldPage("deadline" + name);
    web::PendingPage dripping("http://tieba.baidu.com/drip?part=body&ms=100"), blocked(held.c_str());
    web::PendingPage* both[] = {&dripping, &blocked};
    ASSERT_TRUE(WaitForRequests(2));
    web::WaitForPages(both, 2, 0);
    EXPECT_FALSE(dripping.Finished() || blocked.Finished());
    g_tickShift += web::Exchange::kDeadlineMs + 1000;
    for (int polls = 0; polls < 600 && !(dripping.Finished() && blocked.Finished()); ++polls)
      web::WaitForPages(both, 2, 100);
    ASSERT_TRUE(dripping.Finished() && blocked.Finished()) << "the deadline was never reached";
    EXPECT_FALSE(dripping.Complete());
    std::string part = TakeBytes(dripping.TakeBody());
    EXPECT_LT(part.size(), 200u);
    EXPECT_EQ(part.find_first_not_of('d'), std::string::npos) << part;
    EXPECT_FALSE(blocked.Complete());
    EXPECT_EQ(TakeBytes(blocked.TakeBody()), "");
    ReleaseHeld("deadline" + name);
  }
  ExpectEverythingGivenBack(threads);
}

}  // namespace
