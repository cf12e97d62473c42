// Speed of the scanning text commands over 1 MB of text, against the least such work can cost:
// over GBK-heavy text, a plain walk over its characters; over ASCII HTML, std::string_view's
// own search and split. SplitText is also set against a walk that allocates its members'
// blocks, which shows how much of its time is the heap's. Each command and its floor run in
// turn, several times, and the medians are printed one row each, tab-separated, for the
// benchmark driver:
//   row <TAB> name <TAB> runs <TAB> our seconds <TAB> floor seconds <TAB> goal ratio (0: reported only)
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "commands/commands.h"
#include "runtime/interface/services.h"

namespace {

constexpr size_t kTextSize = 1 << 20;
constexpr int kRuns = 41;

int32_t __cdecl Heap(int32_t code, uint32_t a1, uint32_t a2) {
  HANDLE heap = GetProcessHeap();
  switch (code) {
    case kSvcAlloc: return reinterpret_cast<int32_t>(HeapAlloc(heap, 0, a1 ? a1 : 1));
    case kSvcFree: HeapFree(heap, 0, reinterpret_cast<void*>(a1)); return 0;
    case kSvcRealloc:
      return reinterpret_cast<int32_t>(a1 ? HeapReAlloc(heap, 0, reinterpret_cast<void*>(a1), a2)
                                          : HeapAlloc(heap, 0, a2));
    default: return 0;
  }
}

// ASCII words, commas, blanks of both widths, two-byte characters (one with an ASCII trail
// byte) and line breaks, half of the bytes in two-byte characters.
std::string GbkText(size_t n) {
  static const char* const kPieces[] = {"abc", ",", " ", "\xA1\xA1", "\xB0\xA1", "\xD5\xCB",
                                        "\xC4\xE3\xBA\xC3", "Key", "\x81" "a", "\r\n"};
  std::mt19937 rng(1);
  std::string s;
  while (s.size() < n) s += kPieces[rng() % (sizeof(kPieces) / sizeof(kPieces[0]))];
  s.resize(n);
  if (static_cast<uint8_t>(s.back()) >= 0x80) s.back() = 'z';
  return s;
}

// A page of list rows such as a forum serves.
std::string HtmlText(size_t n) {
  std::mt19937 rng(2);
  std::string s = "<html><head><title>list</title></head><body><ul>\r\n";
  char row[160];
  while (s.size() < n) {
    unsigned id = rng() % 100000;
    std::snprintf(row, sizeof row,
                  "<li class=\"item\"><a href=\"/p/user%u?from=list\">user%u</a> <span>%u posts</span></li>\r\n",
                  id, id, rng() % 1000);
    s += row;
  }
  s.resize(n);
  return s;
}

double Now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Frees whatever block a command returned (texts; arrays with their members).
void Release(CoreCommandId id, const ArgRecord& r) {
  if (!r.block) return;
  if (id == kCmdSplitText) {
    int32_t n;
    std::memcpy(&n, r.block + 4, 4);
    for (int32_t i = 0; i < n; ++i) {
      void* m;
      std::memcpy(&m, r.block + 8 + 4 * i, 4);
      Heap(kSvcFree, reinterpret_cast<uint32_t>(m), 0);
    }
  }
  Heap(kSvcFree, reinterpret_cast<uint32_t>(r.block), 0);
}

volatile uint32_t g_sink;

// The least a one-pass command over GBK text does: one walk over its characters, counting
// blanks so the loop stays.
void WalkCharacters(const std::string& s) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(s.c_str());
  uint32_t blanks = 0;
  while (*p) {
    if (*p >= 0x80) {
      if (!p[1]) break;
      p += 2;
    } else {
      blanks += *p == ' ';
      ++p;
    }
  }
  g_sink = blanks;
}

// The least SplitText over GBK text can cost with its allocations: the same walk, and at each
// CR LF at a character boundary one block for the member (none for an empty one) of the size
// the command gives it, then the array block. The blocks are freed after the timing.
std::vector<void*> g_floorBlocks;

void WalkAllocatingMembers(const std::string& s) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(s.c_str());
  const uint8_t* member = p;
  uint32_t members = 0;
  auto add = [&](const uint8_t* end) {
    ++members;
    if (end != member) g_floorBlocks.push_back(HeapAlloc(GetProcessHeap(), 0, end - member + 1));
  };
  while (*p) {
    if (*p >= 0x80) {
      if (!p[1]) break;
      p += 2;
    } else if (*p == '\r' && p[1] == '\n') {
      add(p);
      p += 2;
      member = p;
    } else {
      ++p;
    }
  }
  if (*member) add(reinterpret_cast<const uint8_t*>(s.c_str()) + s.size());
  g_floorBlocks.push_back(HeapAlloc(GetProcessHeap(), 0, 8 + 4 * members));
}

void FreeFloorBlocks() {
  for (void* block : g_floorBlocks) HeapFree(GetProcessHeap(), 0, block);
  g_floorBlocks.clear();
}

// The string_view counterparts of the four commands over ASCII text.
void ViewFind(std::string_view s, std::string_view what) { g_sink = static_cast<uint32_t>(s.find(what)); }
void ViewFindReverse(std::string_view s, std::string_view what) { g_sink = static_cast<uint32_t>(s.rfind(what)); }
void ViewSplit(std::string_view s, std::string_view at) {
  std::vector<std::string_view> pieces;
  for (size_t end; (end = s.find(at)) != std::string_view::npos; s.remove_prefix(end + at.size()))
    pieces.push_back(s.substr(0, end));
  if (!s.empty()) pieces.push_back(s);
  g_sink = static_cast<uint32_t>(pieces.size());
}
void ViewReplace(std::string_view s, std::string_view what, std::string_view with) {
  std::string out;
  out.reserve(s.size());
  for (size_t at; (at = s.find(what)) != std::string_view::npos; s.remove_prefix(at + what.size())) {
    out.append(s.substr(0, at));
    out.append(with);
  }
  out.append(s);
  g_sink = static_cast<uint32_t>(out.size());
}

struct Case {
  const char* name;
  CoreCommandId id;
  bool returnsBlock;
  std::vector<ArgRecord> args;
  void (*floor)(const std::string& text);
  double goal;
  void (*afterFloor)() = nullptr;  // releases what the floor made, outside the timing
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs the command and its floor in turn (floor first in every other round, so drift falls on
// both) and prints the medians.
void Measure(const Case& c, const std::string& text) {
  std::vector<double> ours, floor;
  for (int run = 0; run < kRuns; ++run) {
    for (int half = 0; half < 2; ++half) {
      if ((half == 0) == (run % 2 == 0)) {
        std::vector<ArgRecord> args = c.args;
        ArgRecord r{};
        double t0 = Now();
        kCoreCommands[c.id](&r, static_cast<int32_t>(args.size()), args.data());
        ours.push_back(Now() - t0);
        if (c.returnsBlock) Release(c.id, r);
      } else {
        double t0 = Now();
        c.floor(text);
        floor.push_back(Now() - t0);
        if (c.afterFloor) c.afterFloor();
      }
    }
  }
  std::printf("row\t%s\t%d\t%.6f\t%.6f\t%g\n", c.name, kRuns, Median(ours), Median(floor), c.goal);
  std::fflush(stdout);
}

}  // namespace

int main() {
  CoreLibraryNotify(kLibEventStart, reinterpret_cast<uint32_t>(&Heap), 0);
  const std::string gbk = GbkText(kTextSize), html = HtmlText(kTextSize);
  const char* g = gbk.c_str();
  const char* h = html.c_str();
  const Case kCases[] = {
      {"FindText, 1 MB GBK", kCmdFindText, false, {TextArg(g), TextArg("Keyz")}, WalkCharacters, 2},
      {"FindTextReverse, 1 MB GBK", kCmdFindTextReverse, false, {TextArg(g), TextArg("Keyz")}, WalkCharacters, 2},
      {"SplitText, 1 MB GBK", kCmdSplitText, true, {TextArg(g), TextArg("\r\n")}, WalkCharacters, 2},
      {"  the same, floor with the members' blocks", kCmdSplitText, true,
       {TextArg(g), TextArg("\r\n")}, WalkAllocatingMembers, 0, FreeFloorBlocks},
      {"ReplaceSubtext, 1 MB GBK", kCmdReplaceSubtext, true,
       {TextArg(g), TextArg("abc"), TextArg("<x>"), OmittedArg(), OmittedArg(), BoolArg(true)}, WalkCharacters, 2},
      {"FindText, 1 MB HTML", kCmdFindText, false, {TextArg(h), TextArg("<table>")},
       [](const std::string& s) { ViewFind(s, "<table>"); }, 0},
      {"FindTextReverse, 1 MB HTML", kCmdFindTextReverse, false, {TextArg(h), TextArg("<table>")},
       [](const std::string& s) { ViewFindReverse(s, "<table>"); }, 0},
      {"SplitText, 1 MB HTML", kCmdSplitText, true, {TextArg(h), TextArg("\r\n")},
       [](const std::string& s) { ViewSplit(s, "\r\n"); }, 0},
      {"ReplaceSubtext, 1 MB HTML", kCmdReplaceSubtext, true,
       {TextArg(h), TextArg("span"), TextArg("div"), OmittedArg(), OmittedArg(), BoolArg(true)},
       [](const std::string& s) { ViewReplace(s, "span", "div"); }, 0},
  };
  g_floorBlocks.reserve(kTextSize / 8);
  for (const Case& c : kCases) {
    Measure(c, c.floor == WalkCharacters || c.floor == WalkAllocatingMembers ? gbk : html);
  }
  return 0;
}
