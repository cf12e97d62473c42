// Speed of the scanning text commands. Each command runs over GBK-heavy texts of two sizes;
// the report gives nanoseconds per byte, the ratio to a plain character walk over the same
// text (the least a one-pass command has to do), and the growth from the small to the large
// text divided by the growth in size (about 1 when the command is linear).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "runtime/interface/services.h"

namespace {

int32_t __cdecl Heap(int32_t code, uint32_t a1, uint32_t a2) {
  HANDLE heap = GetProcessHeap();
  switch (code) {
    case SVC_ALLOC: return reinterpret_cast<int32_t>(HeapAlloc(heap, 0, a1 ? a1 : 1));
    case SVC_FREE: HeapFree(heap, 0, reinterpret_cast<void*>(a1)); return 0;
    case SVC_REALLOC:
      return reinterpret_cast<int32_t>(a1 ? HeapReAlloc(heap, 0, reinterpret_cast<void*>(a1), a2)
                                          : HeapAlloc(heap, 0, a2));
    default: return 0;
  }
}

// ASCII words, commas, blanks of both widths and two-byte characters.
std::string MakeText(size_t n, uint32_t seed) {
  static const char* const kPieces[] = {"abc",
                                        ",",
                                        " ",
                                        "\xA1\xA1",
                                        "\xB0\xA1",
                                        "\xD5\xCB",
                                        "Key",
                                        "\x81"
                                        "a",
                                        "\r\n"};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) s += kPieces[rng() % (sizeof(kPieces) / sizeof(kPieces[0]))];
  s.resize(n);
  if (static_cast<uint8_t>(s.back()) >= 0x80) s.back() = 'z';
  return " " + s + " ";
}

double Now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Frees whatever block a command returned (texts, byte sets; arrays with their members).
void Release(CoreCommandId id, const ArgRecord& r) {
  if (!r.block) return;
  if (id == CMD_SPLIT_TEXT) {
    int32_t n;
    std::memcpy(&n, r.block + 4, 4);
    for (int32_t i = 0; i < n; ++i) {
      void* m;
      std::memcpy(&m, r.block + 8 + 4 * i, 4);
      Heap(SVC_FREE, reinterpret_cast<uint32_t>(m), 0);
    }
  }
  Heap(SVC_FREE, reinterpret_cast<uint32_t>(r.block), 0);
}

// Seconds per call of command `id`, best of several rounds.
double TimeCommand(CoreCommandId id, std::vector<ArgRecord> args, bool returnsInt) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    double t0 = Now();
    ArgRecord r{};
    kCoreCommands[id](&r, static_cast<int32_t>(args.size()), args.data());
    double t = Now() - t0;
    if (!returnsInt) Release(id, r);
    if (t < best) best = t;
  }
  return best;
}

// The baseline: one walk over the characters, counting blanks so the loop is not removed.
volatile uint32_t gSink;
double TimeWalk(const std::string& s) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    double t0 = Now();
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
    gSink = blanks;
    double t = Now() - t0;
    if (t < best) best = t;
  }
  return best;
}

}  // namespace

int main() {
  CoreLibraryNotify(LIB_EVENT_START, reinterpret_cast<uint32_t>(&Heap), 0);
  const size_t kSmall = 1 << 16, kLarge = 1 << 22;
  std::string small = MakeText(kSmall, 1), large = MakeText(kLarge, 1);
  struct Case {
    const char* name;
    CoreCommandId id;
    bool returnsInt;
    std::vector<ArgRecord> (*args)(const std::string&);
  };
  static const Case kCases[] = {
      {"FindText (absent)", CMD_FIND_TEXT, true,
       [](const std::string& s) {
         return std::vector<ArgRecord>{TextArg(s.c_str()), TextArg("Keyz")};
       }},
      {"FindText ignore case", CMD_FIND_TEXT, true,
       [](const std::string& s) {
         return std::vector<ArgRecord>{TextArg(s.c_str()), TextArg("KEYZ"), IntArg(1),
                                       BoolArg(true)};
       }},
      {"FindTextReverse", CMD_FIND_TEXT_REVERSE, true,
       [](const std::string& s) {
         return std::vector<ArgRecord>{TextArg(s.c_str()), TextArg("Key")};
       }},
      {"ReplaceSubtext", CMD_REPLACE_SUBTEXT, false,
       [](const std::string& s) {
         return std::vector<ArgRecord>{TextArg(s.c_str()), TextArg("abc"), TextArg("<x>"),
                                       OmittedArg(),       OmittedArg(),   BoolArg(true)};
       }},
      {"SplitText", CMD_SPLIT_TEXT, false,
       [](const std::string& s) {
         return std::vector<ArgRecord>{TextArg(s.c_str()), TextArg("\r\n")};
       }},
      {"TrimSpaces", CMD_TRIM_SPACES, false,
       [](const std::string& s) { return std::vector<ArgRecord>{TextArg(s.c_str())}; }},
      {"RemoveAllSpaces", CMD_REMOVE_ALL_SPACES, false,
       [](const std::string& s) { return std::vector<ArgRecord>{TextArg(s.c_str())}; }},
      {"ToUpper", CMD_TO_UPPER, false,
       [](const std::string& s) { return std::vector<ArgRecord>{TextArg(s.c_str())}; }},
  };
  const double walkSmall = TimeWalk(small), walkLarge = TimeWalk(large);
  std::printf("%-22s %10s %12s %14s\n", "command", "ns/byte", "x char walk", "growth/size");
  std::printf("%-22s %10.2f %12.2f %14.2f\n", "(character walk)", walkLarge * 1e9 / large.size(),
              1.0, (walkLarge / walkSmall) / (double(large.size()) / small.size()));
  for (const Case& c : kCases) {
    double ts = TimeCommand(c.id, c.args(small), c.returnsInt);
    double tl = TimeCommand(c.id, c.args(large), c.returnsInt);
    std::printf("%-22s %10.2f %12.2f %14.2f\n", c.name, tl * 1e9 / large.size(), tl / walkLarge,
                (tl / ts) / (double(large.size()) / small.size()));
  }
  return 0;
}
