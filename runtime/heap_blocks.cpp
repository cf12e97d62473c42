// The runtime's block store: the process heap, or the guarded store of a test build.
#include "runtime/heap_blocks.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace rt::blocks {

#if !RUNTIME_GUARDED_HEAP

namespace {
HANDLE Heap() {
  static HANDLE heap = ::GetProcessHeap();
  return heap;
}
}  // namespace

bool Guarded() { return false; }
void* Allocate(uint32_t size) { return ::HeapAlloc(Heap(), 0, size); }
void* Reallocate(void* block, uint32_t size) { return ::HeapReAlloc(Heap(), 0, block, size); }
void Release(void* block) { ::HeapFree(Heap(), 0, block); }
uint32_t Size(const void* block) { return static_cast<uint32_t>(::HeapSize(Heap(), 0, block)); }

#else

namespace {

// A slot is a run of committed data pages followed by one guard page that is only reserved,
// never committed. The block lies at the very end of the data pages; this record lies at the
// start of the first one.
struct SlotHeader {
  uint32_t magic;
  uint32_t size;        // bytes asked for
  uint32_t dataPages;   // committed pages before the guard page
};
static_assert(sizeof(SlotHeader) == 12);
constexpr uint32_t kSlotMagic = 0x4B4C4253;
constexpr uint32_t kLargestBlock = 0x40000000;   // larger requests fail like an exhausted heap
constexpr uint32_t kArenaSizes[] = {512u << 20, 256u << 20, 128u << 20, 64u << 20};

// A reserved address range carved into slots from its low end.
struct Arena {
  uintptr_t start;
  uintptr_t end;
  uintptr_t next;
};

// A freed slot, inaccessible until it leaves the quarantine.
struct QuarantinedSlot {
  uintptr_t base;
  uint32_t slotPages;
};

class GuardedStore {
 public:
  void* Allocate(uint32_t size);
  void Release(void* block);
  uint32_t Size(const void* block);

 private:
  const SlotHeader* HeaderOf(const void* block, const char* operation);
  uintptr_t TakeSlot(uint32_t slotPages);
  uintptr_t CarveSlot(uint32_t slotPages);
  void Quarantine(uintptr_t base, uint32_t slotPages);
  void DrainQuarantine();
  bool InArena(uintptr_t address);

  SRWLOCK lock_ = SRWLOCK_INIT;
  std::vector<Arena> arenas_;
  std::map<uint32_t, std::vector<uintptr_t>> freeSlots_;  // by slot pages, guard included
  QuarantinedSlot quarantine_[kQuarantineBlocks] = {};
  uint32_t oldest_ = 0;
  uint32_t quarantined_ = 0;
};

// Holds the store's lock for one scope.
class Locked {
 public:
  explicit Locked(SRWLOCK* lock) : lock_(lock) { ::AcquireSRWLockExclusive(lock_); }
  ~Locked() { ::ReleaseSRWLockExclusive(lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK* lock_;
};

// A heap request that names no live block: the code that made it is at fault, so the process
// stops here, where the fault shows, rather than at some later victim.
[[noreturn]] void Fault(const char* operation, const void* block, const char* why) {
  std::fprintf(stderr, "guarded heap: %s of %p: %s\n", operation, block, why);
  std::fflush(stderr);
  __builtin_trap();
}

bool GuardedStore::InArena(uintptr_t address) {
  for (const Arena& arena : arenas_)
    if (address >= arena.start && address < arena.end) return true;
  return false;
}

// The header of a live block, or a fault. The block's slot starts on the page that holds the
// byte sizeof(SlotHeader) before the block, because the slot is the smallest run of pages that
// holds the header and the block.
const SlotHeader* GuardedStore::HeaderOf(const void* block, const char* operation) {
  uintptr_t address = reinterpret_cast<uintptr_t>(block);
  uintptr_t base = (address - sizeof(SlotHeader)) & ~uintptr_t{kPageSize - 1};
  {
    Locked locked(&lock_);
    if (!InArena(base)) Fault(operation, block, "not a heap block");
  }
  MEMORY_BASIC_INFORMATION page{};
  ::VirtualQuery(reinterpret_cast<void*>(base), &page, sizeof page);
  if (page.State != MEM_COMMIT) Fault(operation, block, "block already freed");
  const SlotHeader* header = reinterpret_cast<const SlotHeader*>(base);
  if (header->magic != kSlotMagic || base + header->dataPages * kPageSize - header->size != address)
    Fault(operation, block, "not the start of a heap block");
  return header;
}

// A slot from the arenas' unused ends; a new arena when they are full.
uintptr_t GuardedStore::CarveSlot(uint32_t slotPages) {
  uintptr_t bytes = uintptr_t{slotPages} * kPageSize;
  for (Arena& arena : arenas_) {
    if (arena.end - arena.next >= bytes) {
      uintptr_t base = arena.next;
      arena.next += bytes;
      return base;
    }
  }
  for (uint32_t size : kArenaSizes) {
    if (size < bytes) break;
    void* start = ::VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
    if (!start) continue;
    uintptr_t s = reinterpret_cast<uintptr_t>(start);
    arenas_.push_back({s, s + size, s + bytes});
    return s;
  }
  return 0;
}

// A slot of exactly this many pages: a released one first, then a new one, and only when the
// address space is exhausted the quarantined ones.
uintptr_t GuardedStore::TakeSlot(uint32_t slotPages) {
  Locked locked(&lock_);
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto it = freeSlots_.find(slotPages);
    if (it != freeSlots_.end() && !it->second.empty()) {
      uintptr_t base = it->second.back();
      it->second.pop_back();
      return base;
    }
    if (uintptr_t base = CarveSlot(slotPages)) return base;
    DrainQuarantine();
  }
  return 0;
}

void GuardedStore::Quarantine(uintptr_t base, uint32_t slotPages) {
  Locked locked(&lock_);
  if (quarantined_ == kQuarantineBlocks) {
    const QuarantinedSlot& oldest = quarantine_[oldest_];
    freeSlots_[oldest.slotPages].push_back(oldest.base);
    oldest_ = (oldest_ + 1) % kQuarantineBlocks;
    --quarantined_;
  }
  quarantine_[(oldest_ + quarantined_) % kQuarantineBlocks] = {base, slotPages};
  ++quarantined_;
}

void GuardedStore::DrainQuarantine() {
  for (; quarantined_ > 0; --quarantined_, oldest_ = (oldest_ + 1) % kQuarantineBlocks)
    freeSlots_[quarantine_[oldest_].slotPages].push_back(quarantine_[oldest_].base);
}

void* GuardedStore::Allocate(uint32_t size) {
  if (size > kLargestBlock) return nullptr;
  uint32_t dataPages = (size + sizeof(SlotHeader) + kPageSize - 1) / kPageSize;
  uintptr_t base = TakeSlot(dataPages + 1);
  if (!base) return nullptr;
  if (!::VirtualAlloc(reinterpret_cast<void*>(base), dataPages * kPageSize, MEM_COMMIT, PAGE_READWRITE)) {
    Locked locked(&lock_);
    freeSlots_[dataPages + 1].push_back(base);
    return nullptr;
  }
  auto* header = reinterpret_cast<SlotHeader*>(base);
  *header = {kSlotMagic, size, dataPages};
  return reinterpret_cast<void*>(base + dataPages * kPageSize - size);
}

// The slot's pages are decommitted, so every later access faults until the quarantine hands
// the slot on.
void GuardedStore::Release(void* block) {
  const SlotHeader* header = HeaderOf(block, "free");
  uint32_t dataPages = header->dataPages;
  uintptr_t base = reinterpret_cast<uintptr_t>(header);
  ::VirtualFree(reinterpret_cast<void*>(base), dataPages * kPageSize, MEM_DECOMMIT);
  Quarantine(base, dataPages + 1);
}

uint32_t GuardedStore::Size(const void* block) { return HeaderOf(block, "size")->size; }

// Never destroyed: blocks may still be freed by destructors that run at process exit.
GuardedStore& Store() {
  static GuardedStore* store = new GuardedStore;
  return *store;
}

}  // namespace

bool Guarded() { return true; }
void* Allocate(uint32_t size) { return Store().Allocate(size); }

void* Reallocate(void* block, uint32_t size) {
  uint32_t old = Store().Size(block);
  void* moved = Store().Allocate(size);
  if (!moved) return nullptr;
  std::memcpy(moved, block, old < size ? old : size);
  Store().Release(block);
  return moved;
}

void Release(void* block) { Store().Release(block); }
uint32_t Size(const void* block) { return Store().Size(block); }

#endif

}  // namespace rt::blocks
