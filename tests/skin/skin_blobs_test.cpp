// The packed skin data: the carried library is the built one with the one undecorated export,
// all 33 carried skin blocks are accepted and distinct, and the reader keeps to its format
// rules for the cases the library tests do not reach (later sections, names).
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "runtime/interface/constant_area.h"
#include "skin/skin_blobs.h"
#include "tests/skin/skin_test_support.h"

using namespace skintest;

namespace {

uint32_t Word(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Export names (directory 0) or imported library names (directory 1) of a PE image held in
// memory as a file (not mapped): RVAs are turned into file offsets through the section table.
std::vector<std::string> DirectoryNames(const std::vector<uint8_t>& image, int directory) {
  std::vector<std::string> names;
  uint32_t pe = Word(&image[0x3C]);
  uint16_t sections, optionalSize;
  std::memcpy(&sections, &image[pe + 6], 2);
  std::memcpy(&optionalSize, &image[pe + 20], 2);
  const uint8_t* optional = &image[pe + 24];
  uint32_t directoryRva = Word(optional + 96 + 8 * directory);
  const uint8_t* table = optional + optionalSize;
  auto offsetOf = [&](uint32_t rva) -> size_t {
    for (int i = 0; i < sections; ++i) {
      const uint8_t* s = table + 40 * i;
      uint32_t va = Word(s + 12), size = Word(s + 8), raw = Word(s + 20);
      if (rva >= va && rva < va + size) return raw + (rva - va);
    }
    return 0;
  };
  size_t dir = offsetOf(directoryRva);
  if (!dir) return names;
  if (directory == 1) {
    for (; Word(&image[dir + 12]) != 0; dir += 20) {
      std::string name(reinterpret_cast<const char*>(&image[offsetOf(Word(&image[dir + 12]))]));
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      names.push_back(name);
    }
    return names;
  }
  uint32_t count = Word(&image[dir + 24]);
  size_t nameTable = offsetOf(Word(&image[dir + 32]));
  for (uint32_t i = 0; i < count; ++i) names.emplace_back(reinterpret_cast<const char*>(&image[offsetOf(Word(&image[nameTable + 4 * i]))]));
  return names;
}

TEST(SkinBlobs, CarriedLibraryIsTheBuiltDllWithOneExportAndSystemImports) {
  std::ifstream file(SKIN_LIBRARY_FILE, std::ios::binary);
  ASSERT_TRUE(file) << SKIN_LIBRARY_FILE;
  std::vector<uint8_t> built((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(1u, Word(kSkinLibraryByteSet)) << "a byte set has one dimension";
  ASSERT_EQ(built.size(), Word(kSkinLibraryByteSet + 4));
  EXPECT_EQ(built.size() + 8, kSkinLibraryByteSetSize);
  EXPECT_EQ(0, std::memcmp(built.data(), kSkinLibraryByteSet + 8, built.size()));
  EXPECT_EQ(std::vector<std::string>{"SkinH_AttachRes"}, DirectoryNames(built, 0));
  // Only system libraries; and no C++ runtime inside (it would make the file several times larger).
  for (const std::string& name : DirectoryNames(built, 1))
    EXPECT_TRUE(name == "kernel32.dll" || name == "user32.dll" || name == "gdi32.dll" || name == "msvcrt.dll") << name;
  EXPECT_LT(built.size(), 80u * 1024);

  std::string path;
  HMODULE module = LoadCarriedLibrary(&path);
  ASSERT_NE(module, nullptr) << path;
  EXPECT_NE(nullptr, GetProcAddress(module, "SkinH_AttachRes"));
  EXPECT_EQ(nullptr, GetProcAddress(module, "_SkinH_AttachRes@24"));
  EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

// Relative luminance contrast of two colours (1 to 21); text under 4.5 is hard to read.
double Contrast(COLORREF a, COLORREF b) {
  auto luminance = [](COLORREF c) {
    double channel[3];
    for (int i = 0; i < 3; ++i) {
      double v = ((c >> (8 * i)) & 0xFF) / 255.0;
      channel[i] = v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    }
    return 0.2126 * channel[0] + 0.7152 * channel[1] + 0.0722 * channel[2];
  };
  double x = luminance(a), y = luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// Placed in the program's constant section, the byte sets lie inside the constant area, so the
// runtime treats them as constants (never freed, copied before a change).
TEST(SkinBlobs, ByteSetsLieInsideTheProgramConstantArea) {
  const uint8_t* start = static_cast<const uint8_t*>(ConstantAreaStart());
  const uint8_t* end = start + ConstantAreaSize();
  auto inside = [&](const uint8_t* set, uint32_t size) { return set >= start && set + size <= end; };
  EXPECT_TRUE(inside(kSkinLibraryByteSet, kSkinLibraryByteSetSize));
  for (uint32_t i = 0; i < kSkinDataCount; ++i) EXPECT_TRUE(inside(kSkinDataByteSets[i], kSkinDataByteSetSizes[i]));
}

TEST(SkinBlobs, AllCarriedSkinsAreAcceptedDistinctAndReadable) {
  EXPECT_EQ(kSkinData33ByteSet, kSkinDataByteSets[32]);
  EXPECT_EQ(kSkinData33ByteSetSize, kSkinDataByteSetSizes[32]);
  std::set<std::string> names;
  std::set<COLORREF> backgrounds;
  for (uint32_t n = 1; n <= kSkinDataCount; ++n) {
    SCOPED_TRACE(n);
    const uint8_t* set = kSkinDataByteSets[n - 1];
    EXPECT_EQ(1u, Word(set));
    EXPECT_EQ(Word(set + 4) + 8, kSkinDataByteSetSizes[n - 1]);
    skin::SkinScheme s{};
    ASSERT_EQ(skin::SkinStatus::kOk, skin::ParseSkin(set + 8, Word(set + 4), &s));
    EXPECT_EQ(n, s.number);
    names.insert(s.name);
    backgrounds.insert(s.colours[skin::kWindowBack]);
    using namespace skin;
    EXPECT_GE(Contrast(s.colours[kButtonText], s.colours[kButtonFaceTop]), 4.5);
    EXPECT_GE(Contrast(s.colours[kButtonText], s.colours[kButtonFaceBottom]), 4.5);
    EXPECT_GE(Contrast(s.colours[kButtonText], s.colours[kButtonPressedTop]), 4.5);
    EXPECT_GE(Contrast(s.colours[kButtonText], s.colours[kButtonHotBottom]), 4.5);
    EXPECT_GE(Contrast(s.colours[kEditText], s.colours[kEditBack]), 4.5);
    EXPECT_GE(Contrast(s.colours[kWindowText], s.colours[kWindowBack]), 4.5);
    EXPECT_GE(Contrast(s.colours[kButtonDisabledText], s.colours[kButtonDisabledFace]), 1.8);
    // Titles are large bold text, for which a lower contrast still reads well.
    EXPECT_GE(Contrast(s.colours[kCaptionActiveText], s.colours[kCaptionActiveTop]), 3.5);
    EXPECT_GE(Contrast(s.colours[kCaptionActiveText], s.colours[kCaptionActiveBottom]), 3.5);
    EXPECT_GE(Contrast(s.colours[kCaptionInactiveText], s.colours[kCaptionInactiveBack]), 3.5);
  }
  EXPECT_EQ(kSkinDataCount, names.size());
  EXPECT_EQ(kSkinDataCount, backgrounds.size());
}

// Appends a section to a block and fixes the header (section count, size, checksum).
void AppendSection(std::vector<uint8_t>* block, uint16_t tag, const std::string& payload) {
  uint8_t head[8] = {static_cast<uint8_t>(tag), static_cast<uint8_t>(tag >> 8), 0, 0};
  uint32_t length = static_cast<uint32_t>(payload.size());
  std::memcpy(head + 4, &length, 4);
  block->insert(block->end(), head, head + 8);
  block->insert(block->end(), payload.begin(), payload.end());
  block->resize(block->size() + (4 - length % 4) % 4);
  (*block)[18]++;
  uint32_t size = static_cast<uint32_t>(block->size());
  std::memcpy(block->data() + 8, &size, 4);
  Reseal(block);
}

TEST(SkinFormat, LaterSectionsAreSkippedAndNamesAreChecked) {
  std::vector<uint8_t> block = SkinCopy(7);
  AppendSection(&block, 40, "a section of a later version");
  skin::SkinScheme s{};
  EXPECT_EQ(skin::SkinStatus::kOk, skin::ParseSkin(block.data(), static_cast<uint32_t>(block.size()), &s));
  EXPECT_EQ(SchemeOf(7).colours[skin::kAccent], s.colours[skin::kAccent]);

  // A second name section replaces the first; one of 64 bytes has no room for its end mark.
  AppendSection(&block, skin::kTagName, "Renamed");
  ASSERT_EQ(skin::SkinStatus::kOk, skin::ParseSkin(block.data(), static_cast<uint32_t>(block.size()), &s));
  EXPECT_STREQ("Renamed", s.name);
  AppendSection(&block, skin::kTagName, std::string(64, 'n'));
  skin::SkinScheme untouched{};
  untouched.number = 999;
  EXPECT_EQ(skin::SkinStatus::kBadContent, skin::ParseSkin(block.data(), static_cast<uint32_t>(block.size()), &untouched));
  EXPECT_EQ(999, untouched.number) << "a refused block leaves the result alone";
}

TEST(SkinFormat, ChecksumIsTheCommonCrc32) {
  const uint8_t text[] = "123456789";
  EXPECT_EQ(0xCBF43926u, skin::Crc32(text, 9, SIZE_MAX));
  const uint8_t zeros[4] = {};
  EXPECT_EQ(skin::Crc32(zeros, 4, SIZE_MAX), skin::Crc32(text, 4, 0));
}

}  // namespace
