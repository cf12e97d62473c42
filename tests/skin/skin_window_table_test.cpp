// The skin's handle-to-state table against a plain map, through growth and removals in every
// order (removal moves entries back along their probe runs, the part most easily got wrong).
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>

#include "skin/skin_window_table.h"

namespace {

HWND Handle(uint32_t v) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(v)); }
void* State(uint32_t v) { return reinterpret_cast<void*>(static_cast<uintptr_t>(v * 8 + 4)); }

TEST(SkinWindowTable, AgreesWithAMapThroughGrowthAndRemovals) {
  std::map<uint32_t, void*> model;
  std::mt19937 rng(7);
  // Handle values as the system hands them out: regular steps, so they cluster in the hash.
  auto randomHandle = [&] { return 0x10020u + 2u * (rng() % 3000); };
  for (int step = 0; step < 40000; ++step) {
    uint32_t h = randomHandle();
    if (rng() % 3 != 0) {
      bool stored = false;
      void* previous = skin::StoreWindowState(Handle(h), State(h + step), &stored);
      ASSERT_TRUE(stored);
      auto it = model.find(h);
      ASSERT_EQ(it == model.end() ? nullptr : it->second, previous) << "store " << std::hex << h;
      model[h] = State(h + step);
    } else {
      auto it = model.find(h);
      ASSERT_EQ(it == model.end() ? nullptr : it->second, skin::RemoveWindowState(Handle(h)))
          << "remove " << std::hex << h;
      if (it != model.end()) model.erase(it);
    }
    if (step % 1000 == 999) {
      for (uint32_t v = 0x10020u; v < 0x10020u + 6000u; v += 2) {
        auto it = model.find(v);
        ASSERT_EQ(it == model.end() ? nullptr : it->second, skin::FindWindowState(Handle(v)))
            << "find " << std::hex << v << " at step " << std::dec << step;
      }
    }
  }
  EXPECT_EQ(nullptr, skin::FindWindowState(nullptr));
}

}  // namespace
