// The character format record and its conversion to the system's CHARFORMAT.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "extui/char_format.h"
#include "extui/library_access.h"
#include "tests/extui/fake_runtime.h"

using namespace extui;
using extui_test::Runtime;

namespace {

class CharFormatTest : public ::testing::Test {
 protected:
  void SetUp() override { extui_test::InstallFakeRuntime(); }
};

TEST_F(CharFormatTest, NewValueConvertsToNinePointAutomaticSongti) {
  CharFormat* value = NewCharFormat();
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value->fontName, "宋体");
  EXPECT_EQ(value->fontSize, 9);
  EXPECT_EQ(value->color, 0xFF000000u);

  const CHARFORMATA cf = ToCharFormatA(*value);
  EXPECT_EQ(cf.cbSize, 60u);
  EXPECT_EQ(cf.dwMask, 0xF000001Fu) << "no CFM_CHARSET";
  EXPECT_EQ(cf.dwEffects, static_cast<DWORD>(CFE_AUTOCOLOR));
  EXPECT_EQ(cf.yHeight, 180);
  EXPECT_EQ(cf.yOffset, 0);
  EXPECT_EQ(cf.crTextColor, 0u);
  EXPECT_EQ(cf.bCharSet, 0);
  EXPECT_EQ(cf.bPitchAndFamily, 0);
  EXPECT_STREQ(cf.szFaceName, "宋体");
  ReleaseCharFormat(value);
  EXPECT_EQ(Runtime().allocations, Runtime().frees) << "record and face text both freed";
}

// Only 0xFF000000 means automatic; black and red are real colours.
TEST_F(CharFormatTest, ColoursAndEffects) {
  CharFormat v{};
  InitCharFormat(&v);
  v.color = 0x000000FF;
  CHARFORMATA cf = ToCharFormatA(v);
  EXPECT_EQ(cf.crTextColor, 0xFFu);
  EXPECT_EQ(cf.dwEffects & CFE_AUTOCOLOR, 0u);

  v.color = 0;
  cf = ToCharFormatA(v);
  EXPECT_EQ(cf.crTextColor, 0u);
  EXPECT_EQ(cf.dwEffects & CFE_AUTOCOLOR, 0u) << "black is not the automatic colour";

  v.effects = 3;
  EXPECT_EQ(ToCharFormatA(v).dwEffects, static_cast<DWORD>(CFE_BOLD | CFE_ITALIC));
  v.effects = 32;
  EXPECT_EQ(ToCharFormatA(v).dwEffects, 0u) << "higher bits are ignored";
  v.effects = -1;
  EXPECT_EQ(ToCharFormatA(v).dwEffects, 31u);

  v.offset = -2;
  v.fontSize = 12;
  cf = ToCharFormatA(v);
  EXPECT_EQ(cf.yOffset, -40);
  EXPECT_EQ(cf.yHeight, 240);
  ReleaseCharFormat(nullptr);  // harmless
  RuntimeFree(v.fontName);
}

// An empty name gives an all-zero face field while CFM_FACE stays in the mask.
TEST_F(CharFormatTest, EmptyFontName) {
  CharFormat* value = NewCharFormat();
  SetCharFormatFontName(value, "");
  EXPECT_EQ(value->fontName, nullptr);
  const CHARFORMATA cf = ToCharFormatA(*value);
  EXPECT_NE(cf.dwMask & CFM_FACE, 0u);
  for (char c : cf.szFaceName) EXPECT_EQ(c, 0);
  ReleaseCharFormat(value);
  EXPECT_EQ(Runtime().allocations, Runtime().frees);
}

// Names of 31 bytes fit the 32-byte field; longer names are replaced by the default face and
// nothing is written past the field.
TEST_F(CharFormatTest, LongFontNamesNeverLeaveTheField) {
  struct Guarded {
    CHARFORMATA cf;
    unsigned char canary[16];
  } out;
  CharFormat* value = NewCharFormat();

  const std::string fits(31, 'F');
  SetCharFormatFontName(value, fits.c_str());
  std::memset(&out, 0xAB, sizeof out);
  out.cf = ToCharFormatA(*value);
  EXPECT_EQ(std::string(out.cf.szFaceName), fits);

  for (size_t length : {32u, 33u, 200u}) {
    SetCharFormatFontName(value, std::string(length, 'L').c_str());
    std::memset(&out, 0xAB, sizeof out);
    out.cf = ToCharFormatA(*value);
    EXPECT_STREQ(out.cf.szFaceName, "宋体") << length;
    for (unsigned char c : out.canary) ASSERT_EQ(c, 0xAB) << length;
  }
  // A long GBK name is not cut in the middle of a character either.
  std::string gbk;
  for (int i = 0; i < 20; ++i) gbk += "宋";
  SetCharFormatFontName(value, gbk.c_str());
  EXPECT_STREQ(ToCharFormatA(*value).szFaceName, "宋体");

  ReleaseCharFormat(value);
  EXPECT_EQ(Runtime().allocations, Runtime().frees) << "each replaced name was freed";
}

}  // namespace
