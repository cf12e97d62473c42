// The test stand-in for the runtime's service function.
#include "tests/commands/test_runtime.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <map>

#include "runtime/heap_blocks.h"

namespace testrt {

namespace {

int32_t g_live = 0;
std::map<int32_t, int32_t> g_requests;
std::map<uint32_t, uint8_t> g_registry;
std::map<uint64_t, void*> g_units;
const char* g_runDirectory = nullptr;

uint64_t UnitKey(uint32_t w, uint32_t u) { return uint64_t{w} << 32 | u; }

// The numeric conversion of service 2001: numbers are cut toward zero.
int32_t ToInt(const ArgRecord* r) {
  switch (r->tag) {
    case TAG_BYTE: return r->byteValue;
    case TAG_SHORT: return r->shortValue;
    case TAG_INT: return r->intValue;
    case TAG_LONG: return static_cast<int32_t>(r->longValue);
    case TAG_FLOAT: return static_cast<int32_t>(r->floatValue);
    case TAG_DOUBLE: return static_cast<int32_t>(r->doubleValue);
    default: throw FatalError("欲转换数据类型不是数值");
  }
}

// Heap requests go to the runtime's own block store, so in a guarded build a command that
// reads or writes past a block, or uses a freed one, faults in the test that makes it do so.
int32_t __cdecl StandIn(int32_t code, uint32_t a1, uint32_t a2) {
  ++g_requests[code];
  switch (code) {
    case kSvcAlloc: {
      void* p = rt::blocks::Allocate(a1);
      if (!p && a2 == 0) throw FatalError("分配内存失败");
      if (p) ++g_live;
      return reinterpret_cast<int32_t>(p);
    }
    case kSvcFree:
      if (a1) {
        rt::blocks::Release(reinterpret_cast<void*>(a1));
        --g_live;
      }
      return 0;
    case kSvcRealloc: {
      if (!a1) return StandIn(kSvcAlloc, a2, 0);
      void* p = rt::blocks::Reallocate(reinterpret_cast<void*>(a1), a2);
      if (!p) throw FatalError("分配内存失败");
      return reinterpret_cast<int32_t>(p);
    }
    case kSvcToInt: return ToInt(reinterpret_cast<const ArgRecord*>(a1));
    case kSvcKeyLookup: {
      auto it = g_registry.find(a1);
      return it == g_registry.end() ? -1 : it->second;
    }
    case kSvcKeyAdd: g_registry.emplace(a1, static_cast<uint8_t>(a2)); return 0;
    case kSvcKeyRemove: return g_registry.erase(a1) ? 1 : 0;
    case kSvcProgramDirectory: return reinterpret_cast<int32_t>(g_runDirectory);
    case kSvcUnitObjectChecked: {
      auto it = g_units.find(UnitKey(a1, a2));
      if (it == g_units.end()) throw FatalError("指定窗口或窗口组件不存在或尚未载入");
      return reinterpret_cast<int32_t>(&it->second);  // the "window object"
    }
    case kSvcWindowHandle:
      return a1 ? reinterpret_cast<int32_t>(*reinterpret_cast<void**>(a1)) : 0;
    case kSvcError: throw FatalError(reinterpret_cast<const char*>(a1));
    default: return 0;
  }
}

}  // namespace

void Attach() {
  g_requests.clear();
  g_registry.clear();
  g_units.clear();
  g_runDirectory = nullptr;
  CoreLibraryNotify(kLibEventStart, reinterpret_cast<uint32_t>(&StandIn), 0);
}

int32_t LiveBlocks() { return g_live; }
uint32_t BlockSize(const void* block) { return rt::blocks::Size(block); }
void FreeBlock(const void* block) { StandIn(kSvcFree, reinterpret_cast<uint32_t>(block), 0); }
int32_t RequestCount(int32_t code) { return g_requests[code]; }
void AddUnit(int32_t w, int32_t u, void* handle) { g_units[UnitKey(w, u)] = handle; }
void RegisterKey(uint32_t key, uint8_t kind) { g_registry.emplace(key, kind); }
void SetRunDirectory(const char* dir) { g_runDirectory = dir; }

ArgRecord CallWith(CoreCommandId id, const std::vector<ArgRecord>& args) {
  ArgRecord result{};
  // The list lies in its own block, so a read past the count would show up under a checker;
  // a call without arguments still gets a valid address.
  std::vector<ArgRecord> copy(args);
  if (copy.empty()) copy.push_back(ArgRecord{});
  kCoreCommands[id](&result, static_cast<int32_t>(args.size()), copy.data());
  return result;
}

ArgRecord Call(CoreCommandId id, std::initializer_list<ArgRecord> args) {
  return CallWith(id, std::vector<ArgRecord>(args));
}

std::optional<std::string> TakeText(const ArgRecord& result) {
  const char* t = result.text;
  if (!t) return std::nullopt;
  std::string s(t);
  EXPECT_FALSE(s.empty()) << "an empty text must come back as null";
  EXPECT_EQ(BlockSize(t), s.size() + 1) << "a text block is exactly its length plus one";
  FreeBlock(t);
  return s;
}

std::string Text(const ArgRecord& result) { return TakeText(result).value_or(""); }

std::optional<std::string> TakeBytes(const ArgRecord& result) {
  const uint8_t* b = result.block;
  if (!b) return std::nullopt;
  int32_t header[2];
  std::memcpy(header, b, sizeof(header));
  EXPECT_EQ(header[0], 1);
  EXPECT_GT(header[1], 0) << "an empty byte set must come back as null";
  EXPECT_EQ(BlockSize(b), 8u + header[1]);
  std::string s(reinterpret_cast<const char*>(b + 8), header[1]);
  FreeBlock(b);
  return s;
}

std::vector<std::optional<std::string>> TakeTextArray(const ArgRecord& result) {
  std::vector<std::optional<std::string>> members;
  uint8_t* b = result.block;
  EXPECT_NE(b, nullptr) << "a text array is always a block";
  if (!b) return members;
  int32_t header[2];
  std::memcpy(header, b, sizeof(header));
  EXPECT_EQ(header[0], 1);
  EXPECT_EQ(BlockSize(b), 8u + 4u * header[1]);
  for (int32_t i = 0; i < header[1]; ++i) {
    char* m;
    std::memcpy(&m, b + 8 + 4 * i, 4);
    ArgRecord r{};
    r.text = m;
    members.push_back(TakeText(r));
  }
  FreeBlock(b);
  return members;
}

ByteSet::ByteSet(const std::string& bytes) : storage_(8 + bytes.size()) {
  const int32_t header[2] = {1, static_cast<int32_t>(bytes.size())};
  std::memcpy(storage_.data(), header, 8);
  std::memcpy(storage_.data() + 8, bytes.data(), bytes.size());
}

}  // namespace testrt
