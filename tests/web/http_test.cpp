// 网页_访问 against the local stand-in service (run inside the isolated network namespace by
// tools/standin/run-isolated.sh). www.baidu.com never receives cookies in this program, so
// its requests show exactly the routine's own header lines; cookie tests use hi.baidu.com.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "dll_commands.h"
#include "http_request.h"
#include "runtime/runtime_app.h"
#include "test_support.h"

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
  // Requests recorded since the test began.
  std::vector<std::string> NewRequests() {
    std::vector<std::string> all = RecordedRequests();
    return std::vector<std::string>(all.begin() + std::min(before_, all.size()), all.end());
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


// Spies bound in place of the WinINet commands: they record every handle opened and closed,
// and can make one of the three opening calls fail.
struct HandleLog {
  std::vector<std::string> events;
  int failAt = 0;   // 1: InternetOpenA, 2: InternetConnectA, 3: HttpOpenRequestA
  HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
  std::string Name(HINTERNET h) const {
    return h == internet ? "internet" : h == connection ? "connection" : h == request ? "request" : "other";
  }
} handleLog;

HINTERNET WINAPI SpyOpen(LPCSTR agent, DWORD type, LPCSTR proxy, LPCSTR bypass, DWORD flags) {
  if (handleLog.failAt == 1) return nullptr;
  return handleLog.internet = InternetOpenA(agent, type, proxy, bypass, flags);
}
HINTERNET WINAPI SpyConnect(HINTERNET internet, LPCSTR server, INTERNET_PORT port, LPCSTR user,
                            LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context) {
  if (handleLog.failAt == 2) return nullptr;
  return handleLog.connection =
             InternetConnectA(internet, server, port, user, password, service, flags, context);
}
HINTERNET WINAPI SpyOpenRequest(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version,
                                LPCSTR referrer, LPCSTR* accept, DWORD flags, DWORD_PTR context) {
  if (handleLog.failAt == 3) return nullptr;
  return handleLog.request =
             HttpOpenRequestA(connection, verb, object, version, referrer, accept, flags, context);
}
struct CookieCall {
  std::string url, name, value;
  bool operator==(const CookieCall&) const = default;
};
void PrintTo(const CookieCall& c, std::ostream* os) { *os << c.url << " " << c.name << "=" << c.value; }
std::vector<CookieCall> cookieCalls;
std::string Str(const char* s) { return s ? s : "(null)"; }
BOOL WINAPI SpySetCookie(LPCSTR url, LPCSTR name, LPCSTR data) {
  cookieCalls.push_back({Str(url), Str(name), Str(data)});
  return InternetSetCookieA(url, name, data);
}
BOOL WINAPI SpyClose(HINTERNET handle) {
  handleLog.events.push_back(handleLog.Name(handle));
  return InternetCloseHandle(handle);
}
// The exchange's calls in the order they are made, whichever thread makes them: "send",
// "read <count>", "query <level>".
std::vector<std::string> exchange;
BOOL WINAPI SpySend(HINTERNET request, LPCSTR headers, DWORD length, LPVOID optional, DWORD optionalLength) {
  exchange.push_back("send");
  return HttpSendRequestA(request, headers, length, optional, optionalLength);
}
BOOL WINAPI SpyRead(HINTERNET file, LPVOID buffer, DWORD size, LPDWORD count) {
  BOOL ok = InternetReadFile(file, buffer, size, count);
  exchange.push_back("read " + std::to_string(*count));
  return ok;
}
BOOL WINAPI SpyQuery(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index) {
  exchange.push_back("query " + std::to_string(level));
  return HttpQueryInfoA(request, level, buffer, length, index);
}

class HttpHandles : public Http {
 protected:
  void SetUp() override {
    Http::SetUp();
    handleLog = HandleLog{};
    cookieCalls.clear();
    Spy(dll::kInternetSetCookie, reinterpret_cast<void*>(&SpySetCookie));
    Spy(dll::kInternetOpen, reinterpret_cast<void*>(&SpyOpen));
    Spy(dll::kInternetConnect, reinterpret_cast<void*>(&SpyConnect));
    Spy(dll::kHttpOpenRequest, reinterpret_cast<void*>(&SpyOpenRequest));
    Spy(dll::kInternetCloseHandle, reinterpret_cast<void*>(&SpyClose));
    exchange.clear();
    Spy(dll::kHttpSendRequest, reinterpret_cast<void*>(&SpySend));
    Spy(dll::kInternetReadFile, reinterpret_cast<void*>(&SpyRead));
    Spy(dll::kHttpQueryInfo, reinterpret_cast<void*>(&SpyQuery));
  }
  void TearDown() override {
    // Unbound again: the next call binds the real functions.
    for (uint32_t c : {dll::kInternetOpen, dll::kInternetConnect, dll::kHttpOpenRequest,
                       dll::kInternetCloseHandle, dll::kInternetSetCookie, dll::kHttpSendRequest,
                       dll::kInternetReadFile, dll::kHttpQueryInfo})
      rt::TheApp().dll.addresses[c] = nullptr;
    Http::TearDown();
  }
  static void Spy(uint32_t command, void* routine) { rt::TheApp().dll.addresses[command] = routine; }
  std::vector<std::string> Closed() const { return handleLog.events; }
};

using Order = std::vector<std::string>;

TEST_F(HttpHandles, ClosedInReverseOrderOnEveryPath) {
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "<html>MARKER-PAGE</html>");
  EXPECT_EQ(Closed(), (Order{"request", "connection", "internet"}));

  handleLog = HandleLog{};
  EXPECT_EQ(Fetch("http://www.baidu.com:81/refused"), "");
  EXPECT_EQ(Closed(), (Order{"request", "connection", "internet"})) << "failed send";

  handleLog = HandleLog{};
  handleLog.failAt = 3;
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "");
  EXPECT_EQ(Closed(), (Order{"connection", "internet"})) << "request not opened";

  handleLog = HandleLog{};
  handleLog.failAt = 2;
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "");
  EXPECT_EQ(Closed(), (Order{"internet"})) << "connection not opened";

  handleLog = HandleLog{};
  handleLog.failAt = 1;
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "");
  EXPECT_TRUE(Closed().empty()) << "nothing opened";
}

// However the calls are spread over hand-overs between the threads, the exchange is one send,
// 1024-byte reads up to the empty one, then the header block and the announced length.
TEST_F(HttpHandles, ExchangeMakesItsCallsInOrder) {
  const size_t size = 40000;   // more reads than one hand-over makes
  ASSERT_EQ(Fetch("http://tieba.baidu.com/big?size=" + std::to_string(size)).size(), size);
  Order expected{"send"};
  for (size_t left = size; left; left -= std::min<size_t>(left, 1024))
    expected.push_back("read " + std::to_string(std::min<size_t>(left, 1024)));
  expected.insert(expected.end(), {"read 0", "query 22", "query " + std::to_string(0x20000005)});
  EXPECT_EQ(exchange, expected);

  exchange.clear();
  EXPECT_EQ(Fetch("http://tieba.baidu.com/marker"), "<html>MARKER-PAGE</html>");
  EXPECT_EQ(exchange, (Order{"send", "read 24", "read 0", "query 22", "query " + std::to_string(0x20000005)}));
}

TEST_F(HttpHandles, SetCookieLinesGoToTheCookieStoreInOrder) {
  EXPECT_EQ(Fetch("http://hi.baidu.com/setcookie"), "cookies set");
  EXPECT_EQ(cookieCalls, (std::vector<CookieCall>{{"http://hi.baidu.com", "alpha", "1; path=/"},
                                                  {"http://hi.baidu.com", "beta", "two; path=/"}}));
  // Without "=" the name is empty (passed as null) and the value is the whole rest.
  cookieCalls.clear();
  Fetch("http://hi.baidu.com/cookie-noeq");
  EXPECT_EQ(cookieCalls, (std::vector<CookieCall>{{"http://hi.baidu.com", "(null)", "lonely"}}));
  // An oversized header block reads as blanks, so none of its cookies is stored by the routine.
  cookieCalls.clear();
  Fetch("http://hi.baidu.com/bigheaders?size=4000");
  EXPECT_TRUE(cookieCalls.empty());
}

TEST_F(HttpHandles, ControlByteInHeadersNeitherStallsNorLosesCookies) {
  // A header holding 0x1A stands before two Set-Cookie lines: the routine returns, and both
  // cookies after it are stored.
  EXPECT_EQ(Fetch("http://hi.baidu.com/ctrlz-cookie"), "ok");
  EXPECT_EQ(cookieCalls, (std::vector<CookieCall>{{"http://hi.baidu.com", "gamma", "3; path=/"},
                                                  {"http://hi.baidu.com", "delta", "4; path=/"}}));
}

}  // namespace
