// Loads damaged window templates in a child process, so that the test driving it can tell a
// crash or a hang from a clean refusal.
//
//   template_probe truncate FILE FIRST LAST   every prefix of FILE of FIRST..LAST-1 bytes
//   template_probe mutate FILE SEED COUNT     COUNT seeded random mutations of FILE
//
// Each case is copied so that its last byte sits just before a no-access page: a read past
// the end faults at once instead of going unnoticed. A case must either load (and then walk
// cleanly through every accessor) or fail with TemplateError. The probe prints
// "loaded=N refused=M" and exits 0; any other outcome exits non-zero.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "forms/window_template.h"

namespace {

// A copy of `bytes` that ends exactly at a guard page.
class GuardedCopy {
 public:
  explicit GuardedCopy(const std::vector<uint8_t>& bytes) {
    const size_t page = 4096;
    size_t dataPages = (bytes.size() + page - 1) / page;
    total_ = (dataPages + 1) * page;
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, total_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!base_) std::abort();
    DWORD old;
    VirtualProtect(base_ + dataPages * page, page, PAGE_NOACCESS, &old);
    data_ = base_ + dataPages * page - bytes.size();
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
  }
  ~GuardedCopy() { VirtualFree(base_, 0, MEM_RELEASE); }
  const uint8_t* Data() const { return data_; }

 private:
  uint8_t* base_;
  uint8_t* data_;
  size_t total_;
};

uint32_t sink;   // keeps the reads from being optimised away; printed at the end

// Reads every field of every item the way the form window and property access do, and edits
// the variable-length parts, which must keep the list walkable.
void Exercise(forms::WindowDirectory& directory) {
  for (uint32_t w = 0; w < directory.Count(); ++w) {
    forms::WindowRecord* record = directory.At(w);
    if (directory.Find(directory.IdAt(w)) == nullptr) std::abort();
    record->TakeSnapshot();
    forms::UnitList& units = record->units;
    for (uint32_t i = 0; i <= units.Count(); ++i) {
      forms::UnitItem item = units.ItemAt(i);
      if (i == units.Count()) {
        if (item) std::abort();
        break;
      }
      if (!item) std::abort();   // Assign() accepted the list, so every item must walk
      sink += item.TypeId() + item.EventLink() + static_cast<uint32_t>(std::strlen(item.Name())) +
              static_cast<uint32_t>(std::strlen(item.Comment()));
      if (item.IsMenuItem()) {
        sink += item.MenuFlags() + item.MenuHandler() + static_cast<uint32_t>(std::strlen(item.MenuCaption()));
        units.ReplaceMenuCaption(i, "menu caption");
        continue;
      }
      sink += item.Left() + item.Top() + item.Width() + item.Height() + item.ParentId() +
              item.Flags() + item.TabOrder() + item.HandlerFor(0) + item.HandlerFor(-1);
      for (uint32_t k = 0; k < item.ListCount(); ++k) sink += item.ListId(k);
      for (uint32_t k = 0; k < item.MousePointerLength(); ++k) sink += item.MousePointer()[k];
      for (uint32_t k = 0; k < item.PropertyBlockLength(); ++k) sink += item.PropertyBlock()[k];
      sink += static_cast<uint32_t>(std::strlen(item.Tag()));
      forms::UnitItem byId = units.ItemById(units.IdAt(i));
      if (forms::IsLookupUnitId(units.IdAt(i)) && !byId) std::abort();
      units.ReplaceTag(i, "a longer tag than before");
      units.ReplaceTag(i, nullptr);
      const uint8_t pointer[] = {3, 0, 0, 0};
      units.ReplaceMousePointer(i, pointer, sizeof pointer);
    }
    units.RelocateHandlers(0x1000);
    record->RestoreSnapshot();
  }
}

// Loads one case: 1 loaded, 0 refused with TemplateError; anything else ends the probe.
int LoadCase(const std::vector<uint8_t>& bytes, long caseNumber) {
  GuardedCopy copy(bytes);
  forms::WindowDirectory directory;
  try {
    forms::ReadWindowTemplate(copy.Data(), static_cast<uint32_t>(bytes.size()), 0x400000, directory);
  } catch (const forms::TemplateError&) {
    if (directory.Count() != 0) std::abort();   // a refused template adds nothing
    return 0;
  } catch (...) {
    std::printf("case %ld: unexpected exception\n", caseNumber);
    std::fflush(stdout);
    std::exit(4);
  }
  Exercise(directory);
  return 1;
}

uint32_t PickWord(std::mt19937& rng, const std::vector<uint8_t>& bytes, size_t at) {
  static const uint32_t kValues[] = {0, 1, 2, 4, 8, 0xFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                     0xFFFFFFFE, 0x10000, 0x26010000};
  switch (rng() % 4) {
    case 0: return kValues[rng() % (sizeof kValues / sizeof kValues[0])];
    case 1: return static_cast<uint32_t>(bytes.size() + rng() % 16 - 8);
    case 2: {
      uint32_t old = 0;
      if (at + 4 <= bytes.size()) std::memcpy(&old, bytes.data() + at, 4);
      return old + static_cast<uint32_t>(static_cast<int32_t>(rng() % 33) - 16);
    }
    default: return static_cast<uint32_t>(rng());
  }
}

// One to three random damages: bytes, words with telling values, cut-outs, insertions.
std::vector<uint8_t> Mutate(const std::vector<uint8_t>& original, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes = original;
  int rounds = 1 + static_cast<int>(rng() % 3);
  for (int r = 0; r < rounds && !bytes.empty(); ++r) {
    size_t at = rng() % bytes.size();
    switch (rng() % 5) {
      case 0:
        for (int k = 0; k < 1 + static_cast<int>(rng() % 8) && at + k < bytes.size(); ++k)
          bytes[at + k] = static_cast<uint8_t>(rng());
        break;
      case 1: {
        // Words matter most: lengths, counts and offsets. Favour the early structure.
        if (rng() % 2) at = rng() % std::min<size_t>(bytes.size(), 1200);
        uint32_t v = PickWord(rng, bytes, at);
        for (int k = 0; k < 4 && at + k < bytes.size(); ++k) bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
        break;
      }
      case 2: {
        size_t n = std::min<size_t>(1 + rng() % 16, bytes.size() - at);
        bytes.erase(bytes.begin() + at, bytes.begin() + at + n);
        break;
      }
      case 3: {
        size_t n = 1 + rng() % 16;
        for (size_t k = 0; k < n; ++k) bytes.insert(bytes.begin() + at, static_cast<uint8_t>(rng()));
        break;
      }
      default:
        bytes.resize(at);
        break;
    }
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: template_probe truncate|mutate FILE A B\n");
    return 2;
  }
  std::ifstream in(argv[2], std::ios::binary);
  std::vector<uint8_t> original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return 2;
  long a = std::strtol(argv[3], nullptr, 0), b = std::strtol(argv[4], nullptr, 0);
  long loaded = 0, refused = 0;
  if (std::strcmp(argv[1], "truncate") == 0) {
    for (long n = a; n < b && n <= static_cast<long>(original.size()); ++n) {
      std::vector<uint8_t> prefix(original.begin(), original.begin() + n);
      (LoadCase(prefix, n) ? loaded : refused)++;
    }
  } else if (std::strcmp(argv[1], "mutate") == 0) {
    for (long i = 0; i < b; ++i) {
      uint32_t seed = static_cast<uint32_t>(a + i);
      (LoadCase(Mutate(original, seed), seed) ? loaded : refused)++;
    }
  } else {
    return 2;
  }
  std::printf("loaded=%ld refused=%ld checksum=%u\n", loaded, refused, sink);
  return 0;
}
