// What the platform's own calls cost in memory and time, without the checker around them; run by
// hand to tell the platform's share of the checker's growth from its own (README, "Memory over a
// long list"). Prints one line per measurement.
//   platform_memory fetch COUNT THREADS [cache] [shared]
//       COUNT profile pages of registered IDs fetched by THREADS worker threads, each exchange as
//       the bare parallel fetch makes it but for the header lines (its own internet handle unless
//       "shared", a redirect to https followed over TLS, pages kept out of the Internet cache
//       unless "cache"); the
//       resident size and the busy bytes of the process's heaps every 500 pages, the elapsed
//       time at the end. Inside the stand-in's network, with STANDIN_HTTPS_REDIRECT=302 for the
//       TLS leg:  tools/standin/run-isolated.sh tools/wine-run.sh platform_memory.exe fetch 4000 16
//   platform_memory lines COUNT LENGTH [plain] [replace] [noundo]
//       COUNT lines of LENGTH characters written into a rich edit control as the output box
//       writes them (coloured, streamed in over the selection; "plain", "replace" and "noundo"
//       leave out the colour, replace the selection instead, turn the undo history off); the
//       growth of the process heap per line.
#include <windows.h>
#include <psapi.h>
#include <richedit.h>
#include <wininet.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bench/common/bench_shared.h"
#include "bench/floor/stream_text.h"

namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

bool HasWord(int argc, char** argv, const char* word) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], word) == 0) return true;
  return false;
}

// The busy bytes of every heap of the process, each walked under its lock.
size_t HeapBytes() {
  HANDLE heaps[64];
  DWORD count = GetProcessHeaps(64, heaps);
  size_t bytes = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    PROCESS_HEAP_ENTRY entry{};
    HeapLock(heaps[i]);
    while (HeapWalk(heaps[i], &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    HeapUnlock(heaps[i]);
  }
  return bytes;
}

double ResidentMb() {
  PROCESS_MEMORY_COUNTERS counters{sizeof counters};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.WorkingSetSize / 1048576.0;
}

struct Fetching {
  int count = 0;
  DWORD flags = 0;
  HINTERNET shared = nullptr;   // the one internet handle of every exchange, or null
  std::atomic<int> next{0}, done{0}, failed{0};
};

// One leg: the connection and request for `host`:`port` `path`, the send, the body read as it
// arrives, the queries of the bare parallel fetch; the Location of a redirect into `location`.
bool Leg(HINTERNET internet, const std::string& host, INTERNET_PORT port, const std::string& path, DWORD flags,
         std::string* location) {
  HINTERNET connection = InternetConnectA(internet, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection) return false;
  HINTERNET request = HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.1", nullptr, nullptr, flags, 0);
  bool answered = request && HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  if (answered) {
    char buffer[2048];
    for (DWORD available = 0, read = 0;; available = read = 0) {
      if (!InternetQueryDataAvailable(request, &available, 0, 0) || available == 0) break;
      if (!InternetReadFile(request, buffer, available < 1024 ? available : 1024, &read) || read == 0) break;
    }
    DWORD status = 0, length = sizeof status;
    HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr);
    length = sizeof buffer - 1;
    location->clear();
    if (status >= 301 && status <= 308 && HttpQueryInfoA(request, HTTP_QUERY_LOCATION, buffer, &length, nullptr))
      location->assign(buffer, length);
    length = sizeof buffer;
    HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer, &length, nullptr);
    answered = status == 200 || !location->empty();
  }
  if (request) InternetCloseHandle(request);
  InternetCloseHandle(connection);
  return answered;
}

DWORD WINAPI FetchPages(void* parameter) {
  auto* f = static_cast<Fetching*>(parameter);
  for (int i; (i = f->next++) < f->count;) {
    HINTERNET internet = f->shared ? f->shared : InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    char id[32];
    std::snprintf(id, sizeof id, "taken%05d", i + 1);
    std::string url = bench::ProfileAddress(id), location;
    std::string_view rest = std::string_view(url).substr(7);
    bool whole = Leg(internet, std::string(rest.substr(0, rest.find('/'))), 80, std::string(rest.substr(rest.find('/'))),
                     f->flags, &location);
    if (whole && location.rfind("https://", 0) == 0) {
      rest = std::string_view(location).substr(8);
      whole = Leg(internet, std::string(rest.substr(0, rest.find('/'))), 443, std::string(rest.substr(rest.find('/'))),
                  f->flags | INTERNET_FLAG_SECURE, &location);
    }
    if (!f->shared) InternetCloseHandle(internet);
    f->failed += !whole;
    ++f->done;
  }
  return 0;
}

int Fetch(int count, int threads, bool cache, bool shared) {
  Fetching f;
  f.count = count;
  f.flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT | (cache ? 0 : INTERNET_FLAG_NO_CACHE_WRITE);
  DWORD connections = static_cast<DWORD>(threads);
  for (DWORD option : {INTERNET_OPTION_MAX_CONNS_PER_SERVER, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER})
    InternetSetOptionA(nullptr, option, &connections, sizeof connections);
  if (shared) f.shared = InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  std::printf("fetch %d pages, %d threads, %s, %s internet handle\n", count, threads,
              cache ? "cache written" : "cache left alone", shared ? "one shared" : "an own");
  const DWORD start = GetTickCount();
  std::vector<HANDLE> workers;
  for (int w = 0; w < threads; ++w) workers.push_back(CreateThread(nullptr, 0, FetchPages, &f, 0, nullptr));
  for (int reported = 0; WaitForMultipleObjects(static_cast<DWORD>(workers.size()), workers.data(), TRUE, 100) == WAIT_TIMEOUT;) {
    if (f.done < reported + 500) continue;
    reported = f.done / 500 * 500;
    std::printf("  %5d pages: resident %.1f MB, heaps %.1f MB\n", f.done.load(), ResidentMb(), HeapBytes() / 1048576.0);
    std::fflush(stdout);
  }
  std::printf("  %5d pages (%d failed) in %lu ms: resident %.1f MB, heaps %.1f MB\n", f.done.load(), f.failed.load(),
              GetTickCount() - start, ResidentMb(), HeapBytes() / 1048576.0);
  for (HANDLE worker : workers) CloseHandle(worker);
  if (f.shared) InternetCloseHandle(f.shared);
  return f.failed ? 1 : 0;
}

int Lines(int count, int length, bool plain, bool replace, bool noUndo) {
  LoadLibraryA("RICHED20.DLL");
  HWND window = CreateWindowExA(0, "STATIC", bench::kBareTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 418, 417,
                                nullptr, nullptr, nullptr, nullptr);
  HWND box = CreateWindowExA(WS_EX_CLIENTEDGE, "RichEdit20A", "",
                             WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL, 216, 24,
                             192, 344, window, nullptr, nullptr, nullptr);
  SendMessageA(box, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
  if (noUndo) SendMessageA(box, EM_SETUNDOLIMIT, 0, 0);
  const size_t before = HeapBytes();
  for (int i = 1; i <= count; ++i) {
    if (!plain) {
      CHARFORMATA cf{};
      cf.cbSize = sizeof cf;
      cf.dwMask = 0xF000001F;
      cf.crTextColor = 0xFF;
      cf.yHeight = 180;
      std::strcpy(cf.szFaceName, "宋体");
      SendMessageA(box, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    }
    std::string line = bench::LogLine(i);
    line.resize(static_cast<size_t>(length) > line.size() ? static_cast<size_t>(length) : line.size(), 'x');
    line += "\r\n";
    if (replace) {
      SendMessageA(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    } else {
      std::string_view rest = line;
      EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&rest), 0, bench::GiveText};
      SendMessageA(box, EM_STREAMIN, SF_TEXT | SFF_SELECTION, reinterpret_cast<LPARAM>(&es));
    }
    SendMessageA(box, WM_VSCROLL, SB_BOTTOM, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  const size_t after = HeapBytes();
  std::printf("lines %d of at least %d bytes%s%s%s: heaps +%.2f KB a line\n", count, length, plain ? ", plain" : "",
              replace ? ", replaced" : "", noUndo ? ", no undo" : "", (after - before) / 1024.0 / count);
  DestroyWindow(window);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const int count = argc > 2 ? std::atoi(argv[2]) : 0, second = argc > 3 ? std::atoi(argv[3]) : 0;
  if (mode == "fetch" && count > 0 && second >= 1 && second <= 64)
    return Fetch(count, second, HasWord(argc, argv, "cache"), HasWord(argc, argv, "shared"));
  if (mode == "lines" && count > 0)
    return Lines(count, second, HasWord(argc, argv, "plain"), HasWord(argc, argv, "replace"), HasWord(argc, argv, "noundo"));
  std::fprintf(stderr, "usage: platform_memory fetch COUNT THREADS [cache] [shared] | lines COUNT LENGTH [plain] [replace] [noundo]\n");
  return 2;
}
