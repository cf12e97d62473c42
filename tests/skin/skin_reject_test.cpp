// Skin blocks the library refuses: every kind of damage gives a failure result, the call
// never faults, and the windows keep the standard look with their own window procedures.
// This runs in a process of its own, in which no skin is ever attached.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/skin/skin_test_support.h"

using namespace skintest;
using skin::SkinStatus;

namespace {

struct Case {
  const char* what;
  SkinStatus expected;
  std::vector<uint8_t> block;
  uint32_t size;  // the size passed; the block's own size unless a case says otherwise
};

void PutU32(std::vector<uint8_t>* b, size_t at, uint32_t v) { std::memcpy(b->data() + at, &v, 4); }

// Offset of the first section with `tag` (its tag word), found by walking the sections.
size_t SectionAt(const std::vector<uint8_t>& b, uint16_t tag) {
  size_t at = 32;
  while (at + 8 <= b.size()) {
    uint16_t t;
    uint32_t length;
    std::memcpy(&t, b.data() + at, 2);
    std::memcpy(&length, b.data() + at + 4, 4);
    if (t == tag) return at;
    at += 8 + (length + 3) / 4 * 4;
  }
  ADD_FAILURE() << "no section " << tag;
  return 32;
}

// Damaged copies of skin 33, one per way a block can be wrong.
std::vector<Case> DamagedBlocks() {
  std::vector<Case> cases;
  auto add = [&](const char* what, SkinStatus expected, std::vector<uint8_t> b, long size = -1) {
    uint32_t n = size < 0 ? static_cast<uint32_t>(b.size()) : static_cast<uint32_t>(size);
    cases.push_back({what, expected, std::move(b), n});
  };
  const std::vector<uint8_t> good = SkinCopy(33);
  std::vector<uint8_t> b;

  add("fewer bytes than a header", SkinStatus::kNoData, std::vector<uint8_t>(good.begin(), good.begin() + 31));
  b = good; b[0] = 'X'; add("bad magic", SkinStatus::kBadMagic, b);
  b = good; b[4] = 2; Reseal(&b); add("unknown version", SkinStatus::kBadVersion, b);
  b = good; b[6] = 40; Reseal(&b); add("wrong header size", SkinStatus::kBadVersion, b);
  add("size given one short", SkinStatus::kBadSize, good, static_cast<long>(good.size()) - 1);
  b = good; b.push_back(0); add("size given one long", SkinStatus::kBadSize, b);
  b = good; b.resize(good.size() + 4); PutU32(&b, 8, static_cast<uint32_t>(b.size())); Reseal(&b);
  add("declared size not matching the content", SkinStatus::kBadContent, b);
  b = good; b[good.size() - 5] ^= 0x01; add("one flipped bit", SkinStatus::kBadChecksum, b);
  b = good; b[12] ^= 0xFF; add("damaged checksum", SkinStatus::kBadChecksum, b);
  b = good; b[18] = 9; Reseal(&b); add("more sections than present", SkinStatus::kBadContent, b);
  const size_t colours = SectionAt(good, skin::kTagColours);  // tag, reserved, length, count, colours
  const size_t metrics = SectionAt(good, skin::kTagMetrics);
  b = good; PutU32(&b, 36, 0x7FFFFFF0); Reseal(&b); add("section longer than the block", SkinStatus::kBadContent, b);
  b = good; PutU32(&b, colours + 8, 3); Reseal(&b); add("colour table too short", SkinStatus::kBadContent, b);
  b = good; b[colours + 15] = 0x80; Reseal(&b); add("colour with a high byte", SkinStatus::kBadContent, b);
  b = good; PutU32(&b, metrics + 12, 99); Reseal(&b); add("corner radius out of range", SkinStatus::kBadContent, b);
  b = good; b[colours] = 7; Reseal(&b); add("colour table missing", SkinStatus::kBadContent, b);
  return cases;
}

class SkinReject : public ::testing::Test {
 protected:
  void SetUp() override {
    HMODULE module = LoadCarriedLibrary();
    ASSERT_NE(module, nullptr);
    attach_ = FindAttach(module);
    ASSERT_NE(attach_, nullptr);
    ASSERT_TRUE(CreateTestWindow(&w_, 880, 60));
    for (HWND h : {w_.frame, w_.button, w_.edit}) procs_.push_back(GetWindowLongPtrA(h, GWLP_WNDPROC));
    back_ = ClientPixel(w_.frame, 300, 200);
    face_ = ClientPixel(w_.button, 4, 16);
    field_ = ClientPixel(w_.edit, 20, 100);
  }
  void TearDown() override { DestroyTestWindow(&w_); }

  // The window looks and behaves as before any attach attempt.
  void ExpectUntouched(const char* what) {
    SCOPED_TRACE(what);
    Pump(20);
    InvalidateRect(w_.frame, nullptr, TRUE);
    RedrawWindow(w_.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(20);
    EXPECT_EQ(Hex(back_), Hex(ClientPixel(w_.frame, 300, 200)));
    EXPECT_EQ(Hex(face_), Hex(ClientPixel(w_.button, 4, 16)));
    EXPECT_EQ(Hex(field_), Hex(ClientPixel(w_.edit, 20, 100)));
    HWND windows[] = {w_.frame, w_.button, w_.edit};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(procs_[i], GetWindowLongPtrA(windows[i], GWLP_WNDPROC));
      EXPECT_EQ(nullptr, GetPropW(windows[i], L"SkinWindowState"));
    }
  }

  int32_t Call(const void* data, uint32_t size) {
    bool balanced = false;
    int32_t result = AttachChecked(attach_, data, size, &balanced);
    EXPECT_TRUE(balanced);
    return result;
  }

  AttachFn attach_ = nullptr;
  TestWindow w_;
  std::vector<LONG_PTR> procs_;
  COLORREF back_ = 0, face_ = 0, field_ = 0;
};

TEST_F(SkinReject, DamagedBlocksAreRefusedAndChangeNothing) {
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), back_) << "the test window starts in the standard look";
  for (const Case& c : DamagedBlocks()) {
    EXPECT_EQ(static_cast<int32_t>(c.expected), Call(c.block.data(), c.size)) << c.what;
    ExpectUntouched(c.what);
  }
}

TEST_F(SkinReject, BadAddressesAreRefusedWithoutFault) {
  const std::vector<uint8_t> good = SkinCopy(33);
  const uint32_t n = static_cast<uint32_t>(good.size());
  EXPECT_EQ(static_cast<int32_t>(SkinStatus::kNoData), Call(nullptr, 0));
  EXPECT_EQ(static_cast<int32_t>(SkinStatus::kNoData), Call(nullptr, n));
  EXPECT_EQ(static_cast<int32_t>(SkinStatus::kBadSize), Call(good.data(), 0xFFFFFFFFu));

  // A page that cannot be read, a page reserved but never committed, and a block whose end
  // runs over from a readable page into an unreadable one.
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  uint8_t* pages = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  DWORD old;
  ASSERT_TRUE(VirtualProtect(pages + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &old));
  EXPECT_EQ(static_cast<int32_t>(SkinStatus::kUnreadable), Call(pages + si.dwPageSize, n));
  uint8_t* straddle = pages + si.dwPageSize - n / 2;
  std::memcpy(straddle, good.data(), n / 2);
  EXPECT_EQ(static_cast<int32_t>(SkinStatus::kUnreadable), Call(straddle, n));
  void* reserved = VirtualAlloc(nullptr, si.dwPageSize, MEM_RESERVE, PAGE_NOACCESS);
  EXPECT_EQ(static_cast<int32_t>(SkinStatus::kUnreadable), Call(reserved, n));
  EXPECT_EQ(static_cast<int32_t>(SkinStatus::kUnreadable), Call(reinterpret_cast<const void*>(0x10), n));
  VirtualFree(reserved, 0, MEM_RELEASE);
  VirtualFree(pages, 0, MEM_RELEASE);
  ExpectUntouched("after bad addresses");
}

}  // namespace
