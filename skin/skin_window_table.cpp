// Handle-to-state table of the styled windows (see skin_window_table.h).
#include "skin/skin_window_table.h"

#include <cstdint>

namespace skin {
namespace {

struct Entry {
  HWND window;  // null: free slot
  void* state;
};

// Capacity is a power of two, at least kFirstCapacity; at most half of the slots are used, so
// a probe run stays short and always ends at a free slot.
constexpr uint32_t kFirstCapacity = 64;

Entry* g_entries = nullptr;
uint32_t g_capacity = 0;
uint32_t g_used = 0;
SRWLOCK g_lock = SRWLOCK_INIT;

// The home slot of a handle. Handle values are small and regular, so they are spread by a
// multiplicative hash (the golden ratio) whose high bits are taken.
uint32_t Home(HWND window, uint32_t capacity) {
  uint32_t h = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)) * 0x9E3779B9u;
  return (h >> 16) & (capacity - 1);
}

// The slot holding `window`, or the free slot that ends its probe run.
uint32_t Slot(HWND window, const Entry* entries, uint32_t capacity) {
  uint32_t mask = capacity - 1;
  uint32_t i = Home(window, capacity);
  while (entries[i].window && entries[i].window != window) i = (i + 1) & mask;
  return i;
}

// Moves every entry into a table of twice the size (or makes the first table). False when the
// memory cannot be had; the old table then stays as it was.
bool Grow() {
  uint32_t capacity = g_capacity ? g_capacity * 2 : kFirstCapacity;
  auto* entries = static_cast<Entry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, capacity * sizeof(Entry)));
  if (!entries) return false;
  for (uint32_t i = 0; i < g_capacity; ++i)
    if (g_entries[i].window) entries[Slot(g_entries[i].window, entries, capacity)] = g_entries[i];
  if (g_entries) HeapFree(GetProcessHeap(), 0, g_entries);
  g_entries = entries;
  g_capacity = capacity;
  return true;
}

}  // namespace

void* FindWindowState(HWND window) {
  if (!window) return nullptr;
  AcquireSRWLockShared(&g_lock);
  void* state = g_capacity ? g_entries[Slot(window, g_entries, g_capacity)].state : nullptr;
  ReleaseSRWLockShared(&g_lock);
  return state;
}

void* StoreWindowState(HWND window, void* state, bool* stored) {
  *stored = false;
  if (!window) return nullptr;
  AcquireSRWLockExclusive(&g_lock);
  void* previous = nullptr;
  if ((g_used + 1) * 2 <= g_capacity || Grow()) {
    Entry& e = g_entries[Slot(window, g_entries, g_capacity)];
    if (e.window) previous = e.state;
    else ++g_used;
    e = Entry{window, state};
    *stored = true;
  }
  ReleaseSRWLockExclusive(&g_lock);
  return previous;
}

// Removal closes the gap by moving later entries of the probe run back where their home slot
// allows it, so lookups never meet markers of removed entries.
void* RemoveWindowState(HWND window) {
  if (!window) return nullptr;
  AcquireSRWLockExclusive(&g_lock);
  void* state = nullptr;
  if (g_capacity) {
    uint32_t mask = g_capacity - 1;
    uint32_t gap = Slot(window, g_entries, g_capacity);
    if (g_entries[gap].window) {
      state = g_entries[gap].state;
      --g_used;
      for (uint32_t i = (gap + 1) & mask; g_entries[i].window; i = (i + 1) & mask) {
        // The entry at i may fill the gap when the gap lies on its probe path (home .. i).
        uint32_t home = Home(g_entries[i].window, g_capacity);
        if (((i - home) & mask) >= ((i - gap) & mask)) {
          g_entries[gap] = g_entries[i];
          gap = i;
        }
      }
      g_entries[gap] = Entry{nullptr, nullptr};
    }
  }
  ReleaseSRWLockExclusive(&g_lock);
  return state;
}

}  // namespace skin
