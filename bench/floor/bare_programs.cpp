// The floor under the checker's benchmarks: the least a program of our own must do to make the
// platform calls that the checker makes for a piece of work (WinINet for the pages, the rich
// edit control for the lines, one plain window), and nothing else.
//   bare_programs window          one bare fetch of the update page, then a plain top-level
//                                 window of the start window's size, shown at once
//   bare_programs start           the platform's part of the checker's start: OLE and the common
//                                 controls initialised, the start window's units created, the
//                                 update page fetched, the window shown
//   bare_programs check FETCHES   the start window's layout; "检测" fetches FETCHES pages (the
//                                 profile page, then the search page) for every ID of the input
//                                 box and appends one coloured verdict line per ID
//   bare_programs parallel N      as check 1, with the pages fetched by N worker threads (see
//                                 CheckInParallel)
//   bare_programs output [COUNT]  "说明" appends the output benchmark's lines (or the first COUNT)
// Every window closes on WM_CLOSE, which ends the program.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <wininet.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/common/bench_shared.h"
#include "bench/floor/stream_text.h"

namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr char kAcceptLine[] =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";
constexpr char kAcceptLanguageLine[] = "Accept-Language: zh-cn\r\n";

// The checker's start window: its size and its units' places (pixels).
constexpr int kWindowWidth = 418, kWindowHeight = 417;
constexpr int kCheckId = 100, kUsageId = 101, kExitId = 102;

HWND g_input = nullptr;
HWND g_output = nullptr;
int g_fetches = 1;
int g_workers = 0;  // parallel mode: worker threads fetching the pages; 0 in the other modes
bool g_outputMode = false;
int g_lines = bench::kLogLines;

// Dispatches every waiting message, as the checker does before each read and after each line.
void DispatchPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// The host and path of an address "http://host/path", and the checker's three header lines for
// a request of it.
void SplitAddress(const std::string& url, std::string* host, std::string* path, std::string* headers) {
  std::string_view rest = std::string_view(url).substr(7);  // after "http://"
  size_t slash = rest.find('/');
  *host = std::string(rest.substr(0, slash));
  *path = std::string(slash == std::string_view::npos ? "/" : rest.substr(slash));
  *headers = std::string(kAcceptLine) + "Referer: " + url + "\r\n" + kAcceptLanguageLine;
}

// The three handles of one bare exchange, opened in order for `url` (the request with the
// given flags) and closed in reverse order; `headers` holds the checker's three header lines.
struct BareExchange {
  HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
  std::string headers;

  BareExchange(const std::string& url, DWORD flags) {
    std::string host, path;
    SplitAddress(url, &host, &path, &headers);
    internet = InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (internet)
      connection = InternetConnectA(internet, host.c_str(), 0, nullptr, nullptr,
                                    INTERNET_SERVICE_HTTP, 0, 0);
    if (connection)
      request = HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.1", nullptr, nullptr,
                                 flags, 0);
  }
  ~BareExchange() {
    for (HINTERNET h : {request, connection, internet})
      if (h) InternetCloseHandle(h);
  }
  // The next leg of a redirect to `location` ("http://" or "https://" host and path): the
  // connection and request of the last leg closed, new ones opened, over TLS for https.
  bool Redirect(const std::string& location, DWORD flags) {
    for (HINTERNET* h : {&request, &connection}) {
      if (*h) InternetCloseHandle(*h);
      *h = nullptr;
    }
    const bool secure = location.rfind("https://", 0) == 0;
    std::string_view rest = std::string_view(location).substr(secure ? 8 : 7);
    size_t slash = rest.find('/');
    std::string host(rest.substr(0, slash)), path(slash == std::string_view::npos ? "/" : rest.substr(slash));
    connection = InternetConnectA(internet, host.c_str(), secure ? 443 : 80, nullptr, nullptr,
                                  INTERNET_SERVICE_HTTP, 0, 0);
    if (connection)
      request = HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.1", nullptr, nullptr,
                                 flags | (secure ? INTERNET_FLAG_SECURE : 0), 0);
    return request != nullptr;
  }
  BareExchange(const BareExchange&) = delete;
  BareExchange& operator=(const BareExchange&) = delete;
  bool Send() const {
    return request && HttpSendRequestA(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                                       const_cast<char*>(""), 0);
  }
};

// One bare exchange: open, connect, request with the checker's three header lines, the body in
// 1024-byte reads with waiting messages dispatched before each, the header block into 2048
// bytes, three closes. Returns the body's length.
size_t Fetch(const std::string& url) {
  BareExchange exchange(url, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE);
  std::string body;
  if (exchange.request) {
    exchange.Send();
    char buffer[1024];
    for (;;) {
      DispatchPending();
      DWORD count = 0;
      InternetReadFile(exchange.request, buffer, sizeof buffer, &count);
      if (count == 0) break;
      body.append(buffer, count);
    }
    char headerBlock[2048];
    DWORD length = sizeof headerBlock;
    HttpQueryInfoA(exchange.request, HTTP_QUERY_RAW_HEADERS_CRLF, headerBlock, &length, nullptr);
  }
  return body.size();
}

// One line as the output box appends it: the colour and face as the selection's format, the
// line and CR LF streamed in over the selection, a scroll to the bottom; then waiting messages.
void AppendLine(const std::string& line, COLORREF colour) {
  CHARFORMATA cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = 0xF000001F;
  cf.crTextColor = colour;
  cf.yHeight = 180;
  std::strcpy(cf.szFaceName, "宋体");
  SendMessageA(g_output, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  std::string text = line + "\r\n";
  std::string_view rest = text;
  EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&rest), 0, bench::GiveText};
  SendMessageA(g_output, EM_STREAMIN, SF_TEXT | SFF_SELECTION, reinterpret_cast<LPARAM>(&es));
  SendMessageA(g_output, WM_VSCROLL, SB_BOTTOM, 0);
  DispatchPending();
}

// "检测": the IDs of the input box, split at CR LF, each fetched and answered with one line.
void Check() {
  SetWindowTextA(g_output, "");
  int length = GetWindowTextLengthA(g_input);
  std::string input(static_cast<size_t>(length) + 1, '\0');
  input.resize(static_cast<size_t>(GetWindowTextA(g_input, input.data(), length + 1)));
  std::string_view rest = input;
  while (!rest.empty() && IsWindow(g_output)) {
    size_t end = rest.find("\r\n");
    std::string_view id = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    Fetch(bench::ProfileAddress(id));
    if (g_fetches > 1) Fetch(bench::SearchAddress(id));
    std::string line = "账号 " + std::string(id) + (g_fetches > 1 ? " 未注册！" : " 已注册！");
    AppendLine(line, g_fetches > 1 ? 0xFF00 : 0xFF);
  }
}

// One exchange as a worker thread of the parallel check makes it, with no messages to
// dispatch: open, connect, request (no automatic redirects) with the checker's three header
// lines, the body read as it becomes available in pieces of at most 1024 bytes until a read
// yields nothing, the status code, location, header block (2048 bytes) and content length
// queried; a redirect opens the next leg to its Location (over TLS for https) and does the
// same; three closes. Returns the last leg's body.
std::string FetchOnWorker(const std::string& url) {
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
  BareExchange exchange(url, flags);
  std::string body;
  for (int leg = 0; leg <= 10 && exchange.Send(); ++leg) {
    char buffer[2048];
    body.clear();
    for (;;) {
      DWORD available = 0, count = 0;
      InternetQueryDataAvailable(exchange.request, &available, 0, 0);
      InternetReadFile(exchange.request, buffer, available < 1024 ? available : 1024, &count);
      if (count == 0) break;
      body.append(buffer, count);
    }
    DWORD status = 0, length = sizeof status;
    HttpQueryInfoA(exchange.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr);
    char location[2048] = {};
    length = sizeof location - 1;
    bool redirect = status >= 301 && status <= 308 &&
                    HttpQueryInfoA(exchange.request, HTTP_QUERY_LOCATION, location, &length, nullptr);
    for (DWORD level : {HTTP_QUERY_RAW_HEADERS_CRLF, HTTP_QUERY_CONTENT_LENGTH}) {
      length = sizeof buffer;
      HttpQueryInfoA(exchange.request, level, buffer, &length, nullptr);
    }
    if (!redirect || !exchange.Redirect(location, flags)) break;
  }
  return body;
}

// What the worker threads of one parallel check share. Each worker takes the next ID and
// fetches its profile page; the page's slot is then marked done and `pageDone` set.
struct ParallelCheck {
  std::vector<std::string> ids;
  std::vector<std::string> pages;
  std::unique_ptr<std::atomic<bool>[]> done;
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};  // the window is gone: take no further ID
  HANDLE pageDone = nullptr;      // auto-reset event
};

DWORD WINAPI FetchPages(void* parameter) {
  auto* check = static_cast<ParallelCheck*>(parameter);
  for (;;) {
    size_t i = check->next++;
    if (check->stop || i >= check->ids.size()) return 0;
    check->pages[i] = FetchOnWorker(bench::ProfileAddress(check->ids[i]));
    check->done[i] = true;
    SetEvent(check->pageDone);
  }
}

// Returns once page `i` is done, dispatching messages while it waits; false when the window
// went away meanwhile.
bool WaitForPage(ParallelCheck& check, size_t i) {
  while (!check.done[i]) {
    MsgWaitForMultipleObjects(1, &check.pageDone, FALSE, INFINITE, QS_ALLINPUT);
    DispatchPending();
    if (!IsWindow(g_output)) return false;
  }
  return true;
}

// "检测" with g_workers threads: the IDs of the input box are fetched by the workers, each
// taking the next one, while this thread appends their lines in input order as their pages
// are done.
void CheckInParallel() {
  SetWindowTextA(g_output, "");
  int length = GetWindowTextLengthA(g_input);
  std::string input(static_cast<size_t>(length) + 1, '\0');
  input.resize(static_cast<size_t>(GetWindowTextA(g_input, input.data(), length + 1)));
  ParallelCheck check;
  for (std::string_view rest = input; !rest.empty();) {
    size_t end = rest.find("\r\n");
    check.ids.emplace_back(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
  }
  check.pages.resize(check.ids.size());
  check.done = std::make_unique<std::atomic<bool>[]>(check.ids.size());
  check.pageDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  // WinINet on Windows keeps only a few connections to one server at a time; the checker
  // raises that cap to its number of IDs in flight, and so does the floor.
  DWORD connections = static_cast<DWORD>(g_workers);
  for (DWORD option : {INTERNET_OPTION_MAX_CONNS_PER_SERVER, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER})
    InternetSetOptionA(nullptr, option, &connections, sizeof connections);
  std::vector<HANDLE> workers;
  for (int w = 0; w < g_workers; ++w) workers.push_back(CreateThread(nullptr, 0, FetchPages, &check, 0, nullptr));
  // A page is freed once its line is written, as the checker frees it.
  for (size_t i = 0; i < check.ids.size() && WaitForPage(check, i); ++i) {
    AppendLine("账号 " + check.ids[i] + " 已注册！", 0xFF);
    std::string().swap(check.pages[i]);
  }
  check.stop = true;
  for (HANDLE worker : workers) {
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
  }
  CloseHandle(check.pageDone);
}

void WriteLogLines() {
  for (int i = 1; i <= g_lines && IsWindow(g_output); ++i) AppendLine(bench::LogLine(i), 0xFF);
}

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kCheckId && !g_outputMode)
        g_workers > 0 ? CheckInParallel() : Check();
      if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kUsageId && g_outputMode) WriteLogLines();
      if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kExitId) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, msg, wParam, lParam);
  }
}

HWND CreateMainWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "BareWindow";
  RegisterClassA(&wc);
  int x = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
  return CreateWindowExA(0, "BareWindow", bench::kBareTitle,
                         WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                         kWindowWidth, kWindowHeight, nullptr, nullptr, wc.hInstance, nullptr);
}

// The start window's units: the input box, the three buttons and the output box, the latter
// set up as the checker's rich edit box sets up its control.
void CreateUnits(HWND window) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  const DWORD child = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  g_input = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                            child | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 8, 24, 144, 344,
                            window, reinterpret_cast<HMENU>(10), instance, nullptr);
  const struct {
    const char* caption;
    int id, top;
  } kButtons[] = {{"检测", kCheckId, 88}, {"说明", kUsageId, 176}, {"退出", kExitId, 264}};
  for (const auto& b : kButtons)
    CreateWindowExA(0, "BUTTON", b.caption, child | BS_PUSHBUTTON, 160, b.top, 48, 24, window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), instance, nullptr);
  LoadLibraryA("RICHED20.DLL");
  g_output = CreateWindowExA(WS_EX_CLIENTEDGE, "RichEdit20A", "",
                             child | WS_CLIPSIBLINGS | ES_MULTILINE | ES_AUTOVSCROLL |
                                 ES_WANTRETURN | WS_VSCROLL,
                             216, 24, 192, 344, window, reinterpret_cast<HMENU>(20), instance, nullptr);
  CHARFORMATA cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = 0xF800001F;
  cf.dwEffects = CFE_AUTOCOLOR;
  cf.yHeight = 180;
  std::strcpy(cf.szFaceName, "宋体");
  SendMessageA(g_output, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
  SendMessageA(g_output, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
  SendMessageA(g_output, EM_SETBKGNDCOLOR, 0, 0);
  SendMessageA(g_output, EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SCROLL | ENM_SELCHANGE | ENM_PROTECTED);
  SendMessageA(g_output, EM_SETOPTIONS, ECOOP_OR, ECO_AUTOWORDSELECTION);
}

// OLE and the common controls, initialised as the checker's runtime does at its start. Loaded
// here on demand, so that the other modes start without them.
void InitialiseLikeTheRuntime() {
  using OleInitializeFn = HRESULT(WINAPI*)(void*);
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto oleInitialize = reinterpret_cast<OleInitializeFn>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("ole32.dll"), "OleInitialize")));
  auto initCommonControls = reinterpret_cast<InitCommonControlsExFn>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("comctl32.dll"), "InitCommonControlsEx")));
  if (oleInitialize) oleInitialize(nullptr);
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_UPDOWN_CLASS};
  if (initCommonControls) initCommonControls(&classes);
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "window") {
    Fetch(bench::kUpdateAddress);
  } else if (mode == "start") {
    InitialiseLikeTheRuntime();
  } else if (mode == "check") {
    g_fetches = argc > 2 ? std::atoi(argv[2]) : 1;
  } else if (mode == "parallel") {
    g_workers = argc > 2 ? std::atoi(argv[2]) : 0;
    if (g_workers < 1 || g_workers > 16) return 2;
  } else if (mode == "output") {
    g_outputMode = true;
    if (argc > 2) g_lines = std::atoi(argv[2]);
  } else {
    return 2;
  }
  HWND window = CreateMainWindow();
  if (!window) return 1;
  if (mode != "window") CreateUnits(window);
  if (mode == "start") Fetch(bench::kUpdateAddress);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
