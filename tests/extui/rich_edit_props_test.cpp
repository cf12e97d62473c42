// The rich edit box's PropertyBlock: reading, refusing and writing it back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "extui/rich_edit_props.h"

using extui::RichEditProps;

namespace {

std::vector<uint8_t> Block(std::vector<int32_t> words, const std::string& content) {
  words.push_back(static_cast<int32_t>(content.size()));
  std::vector<uint8_t> bytes(words.size() * 4);
  std::memcpy(bytes.data(), words.data(), bytes.size());
  bytes.insert(bytes.end(), content.begin(), content.end());
  return bytes;
}

// The output box of the program: plain text, sunken, black, multi-line, wrapped, 48 bytes.
const std::vector<int32_t> kOutputBox = {1, 0, 1, 0, 1, 1, 0, 1, 0, 0, 0};

TEST(RichEditPropsTest, ReadsTheOutputBoxAndWritesItBackUnchanged) {
  const auto block = Block(kOutputBox, "");
  ASSERT_EQ(block.size(), 48u);
  RichEditProps p;
  ASSERT_TRUE(p.Load(block.data(), static_cast<int32_t>(block.size())));
  EXPECT_EQ(p.border, 1);
  EXPECT_EQ(p.backColor, 0u) << "black, not the default colour";
  EXPECT_EQ(p.allowMultiLines, 1);
  EXPECT_EQ(p.hideSel, 1);
  EXPECT_EQ(p.Serialize(), std::string(block.begin(), block.end()));

  uint32_t length = 0;
  HGLOBAL saved = p.Save(&length);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(length, 48u);
  EXPECT_EQ(GlobalSize(saved), 48u) << "exactly the block's length";
  EXPECT_EQ(std::memcmp(GlobalLock(saved), block.data(), 48), 0);
  GlobalUnlock(saved);
  GlobalFree(saved);
}

TEST(RichEditPropsTest, VersionsAndDamagedBlocks) {
  RichEditProps p;
  auto v0 = Block({0, 1, 3, 0x123456, 0, 0, 1, 0, 100, 2, 3}, "abc");
  ASSERT_TRUE(p.Load(v0.data(), static_cast<int32_t>(v0.size()))) << "version 0 is accepted";
  EXPECT_EQ(p.contextType, 1);
  EXPECT_EQ(p.content, "abc");
  EXPECT_EQ(p.maxAllowLength, 100);
  const std::string again = p.Serialize();
  EXPECT_EQ(again[0], 1) << "written back as version 1";

  auto v2 = Block({2, 0, 1, 0, 1, 1, 0, 1, 0, 0, 0}, "");
  EXPECT_FALSE(p.Load(v2.data(), static_cast<int32_t>(v2.size())));

  // Short data: cut inside the fixed part, and a content length beyond the block.
  auto good = Block(kOutputBox, "hello");
  EXPECT_FALSE(p.Load(good.data(), 20));
  EXPECT_FALSE(p.Load(good.data(), static_cast<int32_t>(good.size()) - 1));
  auto huge = Block(kOutputBox, "");
  const int32_t big = 0x7FFFFFF0;
  std::memcpy(huge.data() + 44, &big, 4);
  EXPECT_FALSE(p.Load(huge.data(), static_cast<int32_t>(huge.size())));
  EXPECT_EQ(p.border, 1) << "a refused block leaves the defaults";

  // Empty or missing blocks keep every default.
  EXPECT_TRUE(p.Load(nullptr, 48));
  EXPECT_TRUE(p.Load(good.data(), 0));
  EXPECT_EQ(p.backColor, 0xFF000000u);
  EXPECT_EQ(p.maxAllowLength, 0);
  // A negative content length is an empty content.
  auto negative = Block(kOutputBox, "");
  const int32_t minus = -5;
  std::memcpy(negative.data() + 44, &minus, 4);
  EXPECT_TRUE(p.Load(negative.data(), static_cast<int32_t>(negative.size())));
  EXPECT_EQ(p.content, "");
}

}  // namespace
