// Heap rules: constant blocks are never freed or resized in place.
#include <gtest/gtest.h>

#include <cstring>

#include <windows.h>

#include "runtime/heap.h"
#include "runtime/heap_blocks.h"

namespace {

struct ConstantRange : ::testing::Test {
  alignas(4) uint8_t area[64];
  void SetUp() override {
    for (int i = 0; i < 64; ++i) area[i] = static_cast<uint8_t>(i);
    rt::AddConstantRange(area, sizeof area);
  }
  void TearDown() override { rt::ClearConstantRanges(); }
};

TEST_F(ConstantRange, ReallocCopiesOnlyWhatTheRangeHolds) {
  uint8_t* grown = static_cast<uint8_t*>(rt::MemRealloc(area + 60, 100));
  ASSERT_NE(grown, area + 60);
  EXPECT_EQ(std::memcmp(grown, area + 60, 4), 0);
  rt::MemFree(grown);
  uint8_t* shrunk = static_cast<uint8_t*>(rt::MemRealloc(area, 3));
  EXPECT_EQ(std::memcmp(shrunk, area, 3), 0);
  rt::MemFree(shrunk);
  EXPECT_EQ(area[0], 0);  // untouched
}

TEST_F(ConstantRange, EndIsExclusiveAndFreeIgnoresConstants) {
  EXPECT_EQ(rt::ConstantAreaEnd(area), area + 64);
  EXPECT_EQ(rt::ConstantAreaEnd(area + 63), area + 64);
  EXPECT_EQ(rt::ConstantAreaEnd(area + 64), nullptr);
  int32_t busy = rt::BusyBlockCount();
  rt::MemFree(area + 10);  // ignored: the heap is never asked
  rt::MemFree(area);
  rt::MemFree(nullptr);
  EXPECT_EQ(rt::BusyBlockCount(), busy);
  EXPECT_EQ(area[10], 10);
}

TEST_F(ConstantRange, MakeWritableCopiesConstantArraysOnly) {
  int32_t* block = reinterpret_cast<int32_t*>(area);
  block[0] = 1;
  block[1] = 3;
  block[2] = 7;
  block[3] = 8;
  block[4] = 9;
  void* variable = block;
  rt::MakeArrayWritable(4, &variable);
  ASSERT_NE(variable, block);
  EXPECT_EQ(std::memcmp(variable, block, 20), 0);
  void* copy = variable;
  rt::MakeArrayWritable(4, &variable);
  EXPECT_EQ(variable, copy);  // already on the heap
  rt::MemFree(copy);
}

// An array of texts goes with its members; the empty member is skipped, and an array of
// numbers frees only its block.
TEST(Heap, FreeArrayValueFreesTextMembers) {
  int32_t busy = rt::BusyBlockCount();
  auto* array = static_cast<int32_t*>(rt::MemAlloc(8 + 3 * 4));
  array[0] = 1;
  array[1] = 3;
  array[2] = reinterpret_cast<int32_t>(rt::NewText("a", 1));
  array[3] = 0;  // the empty text
  array[4] = reinterpret_cast<int32_t>(rt::NewText("bc", 2));
  EXPECT_EQ(rt::BusyBlockCount(), busy + 3);
  rt::FreeArrayValue(TAG_TEXT | TAG_ARRAY, array);
  EXPECT_EQ(rt::BusyBlockCount(), busy);
  rt::FreeArrayValue(TAG_TEXT | TAG_ARRAY, nullptr);
  EXPECT_EQ(rt::BusyBlockCount(), busy);
  auto* numbers = static_cast<int32_t*>(rt::MemAlloc(8 + 2 * 4));
  numbers[0] = 1;
  numbers[1] = 2;
  numbers[2] = 0x1000;  // an integer that would be a bad address
  numbers[3] = 0x2000;
  rt::FreeArrayValue(TAG_INT | TAG_ARRAY, numbers);
  EXPECT_EQ(rt::BusyBlockCount(), busy);
  EXPECT_EQ(rt::NewText("x", 0), nullptr);
  EXPECT_EQ(rt::NewByteSet("x", 0), nullptr);
  void* set = rt::NewByteSet("xyz", 3);
  EXPECT_EQ(ByteSetLength(set), 3u);
  EXPECT_EQ(std::memcmp(ByteSetData(set), "xyz", 3), 0);
  rt::MemFree(set);
}

// True when every page of [p, p + n) can be read and written.
bool Accessible(const uint8_t* p, uint32_t n) {
  for (uintptr_t page = reinterpret_cast<uintptr_t>(p) & ~uintptr_t{rt::blocks::kPageSize - 1};
       page < reinterpret_cast<uintptr_t>(p) + n; page += rt::blocks::kPageSize) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(reinterpret_cast<void*>(page), &info, sizeof info);
    if (info.State != MEM_COMMIT || info.Protect != PAGE_READWRITE) return false;
  }
  return true;
}

// In the guarded build a block ends exactly where an inaccessible page begins, and a freed
// block is inaccessible at once.
TEST(GuardedHeap, BlocksEndAtAnInaccessiblePage) {
  if (!rt::blocks::Guarded()) GTEST_SKIP() << "plain heap build";
  for (uint32_t size : {0u, 1u, 13u, 4084u, 4085u, 4096u, 10001u}) {
    auto* block = static_cast<uint8_t*>(rt::MemAlloc(size));
    EXPECT_EQ((reinterpret_cast<uintptr_t>(block) + size) % rt::blocks::kPageSize, 0u) << size;
    EXPECT_TRUE(Accessible(block, size)) << size;
    EXPECT_FALSE(Accessible(block + size, 1)) << size;
    EXPECT_EQ(rt::blocks::Size(block), size);
    std::memset(block, 0xA5, size);
    auto* moved = static_cast<uint8_t*>(rt::MemRealloc(block, size + 3));
    EXPECT_NE(moved, block) << "a resized block always moves";
    EXPECT_TRUE(size == 0 || (moved[0] == 0xA5 && moved[size - 1] == 0xA5));
    EXPECT_FALSE(Accessible(block, size ? size : 1)) << size;
    rt::MemFree(moved);
    EXPECT_FALSE(Accessible(moved, size + 3)) << size;
  }
}

// A freed block stays inaccessible while the bounded quarantine holds it; after as many later
// frees as the quarantine has places, its pages serve a new block again.
TEST(GuardedHeap, QuarantineIsBounded) {
  if (!rt::blocks::Guarded()) GTEST_SKIP() << "plain heap build";
  auto* first = static_cast<uint8_t*>(rt::MemAlloc(24));
  rt::MemFree(first);
  int32_t reusedAfter = -1;
  for (int32_t frees = 0; frees <= 2 * int32_t{rt::blocks::kQuarantineBlocks} && reusedAfter < 0; ++frees) {
    auto* block = static_cast<uint8_t*>(rt::MemAlloc(24));
    if (block == first) reusedAfter = frees;
    else if (Accessible(first, 1)) ADD_FAILURE() << "freed block accessible after " << frees << " frees";
    rt::MemFree(block);
  }
  EXPECT_GE(reusedAfter, int32_t{rt::blocks::kQuarantineBlocks});
}

}  // namespace
