// How the HTTP routine's page body grows: the byte-set builder against the step-by-step
// concatenation (a new block of the joined length per 1024-byte chunk) that produces the
// same bytes. Prints times and the ratio for growing page sizes; the builder's time per byte
// stays flat while the concatenation's grows with the page.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "program/program_values.h"
#include "runtime/interface/runtime_interface.h"

namespace {

constexpr uint32_t kChunk = 1024;

uint8_t* ByConcatenation(const uint8_t* chunk, uint32_t chunks) {
  uint8_t* body = nullptr;
  for (uint32_t i = 0; i < chunks; ++i) {
    uint32_t old = ByteSetLength(body);
    uint8_t* joined = static_cast<uint8_t*>(MemAlloc(8 + old + kChunk));
    reinterpret_cast<int32_t*>(joined)[0] = 1;
    reinterpret_cast<uint32_t*>(joined)[1] = old + kChunk;
    if (old) std::memcpy(joined + 8, body + 8, old);
    std::memcpy(joined + 8 + old, chunk, kChunk);
    MemFree(body);
    body = joined;
  }
  return body;
}

uint8_t* ByBuilder(const uint8_t* chunk, uint32_t chunks) {
  prog::ByteSetBuilder builder;
  for (uint32_t i = 0; i < chunks; ++i) builder.Append(chunk, kChunk);
  return builder.Finish();
}

template <typename F>
double Seconds(F f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

extern "C" const ProgramInfo kProgramInfo = {};
extern "C" int32_t __cdecl ProgramEntry() { return 0; }

int main() {
  ProgramOtherHelp(kHelpInitialiseRuntime, nullptr, 0);
  std::vector<uint8_t> chunk(kChunk);
  for (uint32_t i = 0; i < kChunk; ++i) chunk[i] = static_cast<uint8_t>(i * 7);
  std::printf("%10s %14s %14s %8s\n", "page", "builder ms", "concat ms", "ratio");
  for (uint32_t chunks : {256u, 1024u, 4096u, 8192u}) {
    uint8_t* a = nullptr;
    uint8_t* b = nullptr;
    double builder = Seconds([&] { a = ByBuilder(chunk.data(), chunks); });
    double concat = Seconds([&] { b = ByConcatenation(chunk.data(), chunks); });
    bool same = ByteSetLength(a) == ByteSetLength(b) &&
                std::memcmp(a, b, 8 + ByteSetLength(a)) == 0;
    std::printf("%8u KB %14.2f %14.2f %8.1f%s\n", chunks, builder * 1e3, concat * 1e3,
                concat / (builder > 0 ? builder : 1e-9), same ? "" : "  (bytes differ!)");
    MemFree(a);
    MemFree(b);
  }
  return 0;
}
