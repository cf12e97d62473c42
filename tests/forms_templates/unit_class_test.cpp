// The unit class model on its own: class lookup by type id, versioned PropertyRecord streams,
// mouse pointers and font sub-items.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "forms/unit_class.h"
#include "forms/unit_property.h"
#include "runtime/heap.h"
#include "tests/forms_templates/test_unit_class.h"

namespace {

TEST(UnitClassLookup, ResolvesOnlyRealClasses) {
  std::vector<const LibraryInfo*> libraries = {&testunit::kLibrary, nullptr};
  const UnitClassInfo* table = static_cast<const UnitClassInfo*>(testunit::kLibrary.typeTable);
  EXPECT_EQ(&table[0], forms::FindUnitClassIn(libraries, 0x00010001));
  EXPECT_EQ(nullptr, forms::FindUnitClassIn(libraries, 0x00010002));  // all-zero record
  EXPECT_EQ(nullptr, forms::FindUnitClassIn(libraries, 0x00010003));  // past the type count
  EXPECT_EQ(nullptr, forms::FindUnitClassIn(libraries, 0x00010000));  // class number 0
  EXPECT_EQ(nullptr, forms::FindUnitClassIn(libraries, 0x00020001));  // null library record
  EXPECT_EQ(nullptr, forms::FindUnitClassIn(libraries, 0x00030001));  // no third library
  EXPECT_EQ(nullptr, forms::FindUnitClassIn(libraries, 0x40010001));  // bit 30: a type tag
  EXPECT_EQ(nullptr, forms::FindUnitClassIn(libraries, TAG_INT));
  EXPECT_EQ(nullptr, forms::FindUnitClassIn(libraries, 0));
  EXPECT_EQ(nullptr, forms::UnitOperationEntry(nullptr, kUnitOpCreate));
  EXPECT_EQ(nullptr, forms::UnitOperationEntry(&table[0], kUnitOpIsDefault));
  EXPECT_NE(nullptr, forms::UnitOperationEntry(&table[0], kUnitOpSave));
  EXPECT_EQ(nullptr, forms::FindPropertyInfo(&table[0], 18));
  EXPECT_EQ(kPropTypeFont, forms::FindPropertyInfo(&table[0], 15)->type);
}

std::vector<uint8_t> Saved(testunit::Record& record) {
  uint32_t length = 123;
  HGLOBAL memory = forms::SavePropertyRecord(record, &length);
  EXPECT_NE(nullptr, memory);
  if (!memory) return {};
  EXPECT_EQ(length, GlobalSize(memory));   // shrunk to exactly the written length
  EXPECT_TRUE(GlobalFlags(memory) & GMEM_DDESHARE);
  const uint8_t* p = static_cast<const uint8_t*>(GlobalLock(memory));
  std::vector<uint8_t> bytes(p, p + length);
  GlobalUnlock(memory);
  GlobalFree(memory);
  return bytes;
}

TEST(PropertyRecord, SavesAtTheMaximumVersionAndLoadsItBack) {
  testunit::Record record;
  record.text = "文本";
  record.block = {1, 2, 3};
  record.color = 0x00123456;
  record.half = 0x1234;
  std::vector<uint8_t> bytes = Saved(record);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(2u, forms::LoadWord(bytes.data()));
  testunit::Record loaded;
  loaded.number = 99;
  ASSERT_TRUE(forms::LoadPropertyRecord(loaded, bytes.data(), static_cast<int32_t>(bytes.size())));
  EXPECT_EQ(7, loaded.number);
  EXPECT_EQ("文本", loaded.text);
  EXPECT_EQ(record.block, loaded.block);
  EXPECT_EQ(0x1234, loaded.half);
  EXPECT_EQ(0x00123456u, loaded.color);
}

TEST(PropertyRecord, VersionsAboveTheMaximumAreRefusedLowerOnesKeepDefaults) {
  testunit::Record record;
  record.color = 5;
  record.number = 11;
  std::vector<uint8_t> bytes = Saved(record);
  testunit::Record loaded;
  for (uint32_t version : {3u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    std::vector<uint8_t> v = bytes;
    forms::StoreWord(v.data(), version);
    EXPECT_FALSE(forms::LoadPropertyRecord(loaded, v.data(), static_cast<int32_t>(v.size()))) << version;
  }
  // Version 1 has no colour field: drop its last word and the colour keeps its default.
  std::vector<uint8_t> v1(bytes.begin(), bytes.end() - 4);
  forms::StoreWord(v1.data(), 1);
  ASSERT_TRUE(forms::LoadPropertyRecord(loaded, v1.data(), static_cast<int32_t>(v1.size())));
  EXPECT_EQ(11, loaded.number);
  EXPECT_EQ(0xFF000000u, loaded.color);
  // No block, or a length below 1: all defaults, and success.
  loaded.number = 1;
  EXPECT_TRUE(forms::LoadPropertyRecord(loaded, nullptr, 20));
  EXPECT_EQ(7, loaded.number);
  loaded.number = 1;
  EXPECT_TRUE(forms::LoadPropertyRecord(loaded, bytes.data(), 0));
  EXPECT_EQ(7, loaded.number);
  // Every cut short of the whole block is unreadable.
  for (size_t n = 1; n < bytes.size(); ++n)
    EXPECT_FALSE(forms::LoadPropertyRecord(loaded, bytes.data(), static_cast<int32_t>(n))) << n;
}

// A 32 x 32 monochrome cursor file with its hot spot at (5, 6); with `custom`, preceded by
// the word -1 as a custom MousePointerBlock holds it.
std::vector<uint8_t> CursorFile(bool custom = false) {
  std::vector<uint8_t> f;
  auto put16 = [&](uint16_t v) { f.push_back(v & 0xFF); f.push_back(v >> 8); };
  auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
  const uint32_t image = 40 + 8 + 128 + 128;
  if (custom) put32(0xFFFFFFFF);
  put16(0); put16(2); put16(1);
  f.push_back(32); f.push_back(32); f.push_back(2); f.push_back(0);
  put16(5); put16(6); put32(image); put32(22);
  put32(40); put32(32); put32(64); put16(1); put16(1); put32(0); put32(256);
  put32(0); put32(0); put32(2); put32(0);
  put32(0x000000); put32(0xFFFFFF);
  for (int i = 0; i < 128; ++i) f.push_back(i % 8 < 4 ? 0xFF : 0x00);   // XOR
  for (int i = 0; i < 128; ++i) f.push_back(i < 64 ? 0x00 : 0xFF);      // AND
  return f;
}

TEST(MousePointer, NumbersAndIdsConvertThroughTheStandardTable) {
  EXPECT_EQ(32513, forms::CursorNumberToId(3));
  EXPECT_EQ(3, forms::CursorIdToNumber(32513));
  EXPECT_EQ(0, forms::CursorNumberToId(0));
  EXPECT_EQ(0, forms::CursorIdToNumber(0));
  EXPECT_EQ(-1, forms::CursorNumberToId(-1));
  EXPECT_EQ(99, forms::CursorNumberToId(99));      // outside the table: already an id
  for (int32_t n = 0; n < forms::kCursorCount; ++n)
    EXPECT_EQ(n, forms::CursorIdToNumber(forms::CursorNumberToId(n))) << n;
  std::vector<uint8_t> block = {3, 0, 0, 0, 9};
  forms::ConvertMousePointerBlock(block, true);
  EXPECT_EQ(32513u, forms::LoadWord(block.data()));
  EXPECT_EQ(9, block[4]);
  forms::ConvertMousePointerBlock(block, false);
  EXPECT_EQ(3u, forms::LoadWord(block.data()));
  std::vector<uint8_t> shortBlock = {3, 0};
  forms::ConvertMousePointerBlock(shortBlock, true);
  EXPECT_EQ((std::vector<uint8_t>{3, 0}), shortBlock);
}

TEST(MousePointer, CursorsFromBlocks) {
  auto make = [](std::vector<uint8_t> b) {
    return forms::MakeUnitCursor(b.data(), static_cast<uint32_t>(b.size()));
  };
  auto check = [](HCURSOR c, bool expected, const char* what) {
    EXPECT_EQ(expected, c != nullptr) << what;
    if (c) {
      EXPECT_TRUE(DestroyCursor(c)) << what << ": the caller owns the cursor";
    }
  };
  check(make({}), false, "empty block: default cursor");
  check(make({0, 0, 0, 0}), false, "number 0: none");
  check(make({3, 0, 0, 0}), true, "I-beam");
  check(make({3}), true, "a one-byte block holds its number in the byte");
  check(make({14, 0, 0, 0}), true, "hand");
  check(make({0x00, 0x7F, 0x00, 0x00}), true, "a system cursor id given directly (32512)");
  check(make({0x78, 0x56, 0x34, 0x12}), false, "an id beyond 16 bits is no cursor");
  std::vector<uint8_t> file = CursorFile();
  std::vector<uint8_t> custom = CursorFile(true);
  HCURSOR c = make(custom);
  ASSERT_NE(nullptr, c);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(c, &info));
  EXPECT_EQ(5u, info.xHotspot);
  EXPECT_EQ(6u, info.yHotspot);
  DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DestroyCursor(c);
  check(make(file), true, "cursor-file bytes as a whole");
  std::vector<uint8_t> broken = custom;
  forms::StoreWord(broken.data() + 4 + 18, 100000);   // image size beyond the data
  check(make(broken), false, "custom cursor with a bad directory");
  std::vector<uint8_t> noise(40, 0xAB);
  forms::StoreWord(noise.data(), 3);
  check(make(noise), true, "unreadable file bytes fall back to the number");
}

TEST(FontSubItems, WritesClampAndReadBack) {
  LOGFONTA f{};
  const int dpi = 96;
  ASSERT_TRUE(forms::WriteFontSubItem(f, kFontAngle, static_cast<uint32_t>(-10), dpi));
  EXPECT_EQ(3590, f.lfEscapement);
  EXPECT_EQ(3590, f.lfOrientation);
  forms::WriteFontSubItem(f, kFontAngle, 7205, dpi);
  EXPECT_EQ(5u, forms::ReadFontSubItem(f, kFontAngle, dpi));
  forms::WriteFontSubItem(f, kFontBold, 3, dpi);
  EXPECT_EQ(700, f.lfWeight);
  EXPECT_EQ(1u, forms::ReadFontSubItem(f, kFontBold, dpi));
  forms::WriteFontSubItem(f, kFontBold, 0, dpi);
  EXPECT_EQ(0, f.lfWeight);
  forms::WriteFontSubItem(f, kFontSize, static_cast<uint32_t>(-9), dpi);
  EXPECT_EQ(-12, f.lfHeight);
  EXPECT_EQ(9u, forms::ReadFontSubItem(f, kFontSize, dpi));
  forms::WriteFontSubItem(f, kFontUnderline, 1, dpi);
  EXPECT_EQ(1u, forms::ReadFontSubItem(f, kFontUnderline, dpi));

  std::string longest(31, 'a'), tooLong(32, 'a');
  forms::WriteFontSubItem(f, kFontFace, reinterpret_cast<uintptr_t>(longest.c_str()), dpi);
  EXPECT_EQ(longest, f.lfFaceName);
  for (const char* face : {tooLong.c_str(), "", static_cast<const char*>(nullptr)}) {
    forms::WriteFontSubItem(f, kFontFace, reinterpret_cast<uintptr_t>(face), dpi);
    EXPECT_STREQ("宋体", f.lfFaceName);
  }
  char* face = reinterpret_cast<char*>(static_cast<uintptr_t>(forms::ReadFontSubItem(f, kFontFace, dpi)));
  EXPECT_STREQ("宋体", face);
  rt::MemFree(face);

  LOGFONTA before = f;
  EXPECT_FALSE(forms::WriteFontSubItem(f, 7, 1, dpi));
  EXPECT_FALSE(forms::WriteFontSubItem(f, kFontWhole, 0, dpi));   // a null record
  EXPECT_EQ(0, std::memcmp(&before, &f, sizeof f));

  uint32_t record[7] = {900, 1, 1, 0, 0, 12, static_cast<uint32_t>(reinterpret_cast<uintptr_t>("黑体"))};
  ASSERT_TRUE(forms::WriteFontSubItem(f, kFontWhole, reinterpret_cast<uintptr_t>(record), dpi));
  uint32_t* back = reinterpret_cast<uint32_t*>(static_cast<uintptr_t>(forms::ReadFontSubItem(f, kFontWhole, dpi)));
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(900u, back[0]);
  EXPECT_EQ(1u, back[1]);
  EXPECT_EQ(1u, back[2]);
  EXPECT_EQ(0u, back[3]);
  EXPECT_EQ(0u, back[4]);
  EXPECT_EQ(12u, back[5]);
  EXPECT_STREQ("黑体", reinterpret_cast<const char*>(static_cast<uintptr_t>(back[6])));
  rt::MemFree(reinterpret_cast<void*>(static_cast<uintptr_t>(back[6])));
  rt::MemFree(back);
}

}  // namespace
